#include "DriveScanJob.h"

#include "DriveScan.h"
#include "FolderCollection.h"

#include <cerrno>
#include <new>

DriveScanJob::DriveScanJob(FolderCollection &folders, QByteArray rootPath, Walker::Options options)
    : m_folders(folders)
    , m_rootPath(std::move(rootPath))
{
    if (!m_rootPath.endsWith('/'))
        m_rootPath += '/';
    try {
        m_scan = m_folders.addDrive(m_rootPath);
        m_scan->setExcludePatterns(options.exclude);
        m_walker = std::make_unique<Walker>(m_rootPath, *m_scan, options);
    } catch (const std::bad_alloc &) {
        // start() says so; no half drive stays behind.
        if (m_scan)
            m_folders.removeDrive(m_rootPath);
        m_scan = nullptr;
    }
}

DriveScanJob::~DriveScanJob()
{
    // The walker writes into the records: it must be gone before they may go.
    m_walker.reset();
}

void DriveScanJob::setFinishedHandler(std::function<void()> handler)
{
    if (m_walker)
        m_walker->setFinishedHandler(std::move(handler));
}

bool DriveScanJob::start()
{
    GetDiskSpace(m_rootPath, m_space);
    if (m_walker && m_walker->start())
        return true;
    if (m_scan)
        m_folders.removeDrive(m_rootPath);
    m_scan = nullptr;
    return false;
}

void DriveScanJob::requestStop()
{
    if (m_walker)
        m_walker->requestStop();
}

void DriveScanJob::wait()
{
    if (m_walker)
        m_walker->wait();
}

bool DriveScanJob::wasStopped() const
{
    return m_walker && m_walker->wasStopped();
}

int DriveScanJob::error() const
{
    return m_walker ? m_walker->error() : ENOMEM;
}

QByteArray DriveScanJob::currentFolder() const
{
    if (!m_walker)
        return {};
    const WalkSink::FolderId folder = m_walker->currentFolder();
    return m_scan && folder != WalkSink::NoFolder ? m_scan->pathOf(folder) : QByteArray();
}

quint64 DriveScanJob::finish()
{
    wait();
    if (!m_scan)
        return 0;
    if (m_walker->wasStopped()) {
        m_folders.removeDrive(m_rootPath);
        m_scan = nullptr;
        return 0;
    }
    return m_scan->totalSize();
}
