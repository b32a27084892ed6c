#include "DriveScanJob.h"

#include "DriveScan.h"
#include "FolderCollection.h"

DriveScanJob::DriveScanJob(FolderCollection &folders, QByteArray rootPath, Walker::Options options)
    : m_folders(folders)
    , m_rootPath(std::move(rootPath))
{
    if (!m_rootPath.endsWith('/'))
        m_rootPath += '/';
    m_scan = &m_folders.addDrive(m_rootPath);
    m_walker = std::make_unique<Walker>(m_rootPath, *m_scan, options);
}

DriveScanJob::~DriveScanJob()
{
    // The walker writes into the records: it must be gone before they may go.
    m_walker.reset();
}

void DriveScanJob::setFinishedHandler(std::function<void()> handler)
{
    m_walker->setFinishedHandler(std::move(handler));
}

bool DriveScanJob::start()
{
    GetDiskSpace(m_rootPath, m_space);
    if (m_walker->start())
        return true;
    m_folders.removeDrive(m_rootPath);
    m_scan = nullptr;
    return false;
}

void DriveScanJob::requestStop()
{
    m_walker->requestStop();
}

void DriveScanJob::wait()
{
    m_walker->wait();
}

bool DriveScanJob::isFinished() const
{
    return m_walker->isFinished();
}

bool DriveScanJob::wasStopped() const
{
    return m_walker->wasStopped();
}

int DriveScanJob::error() const
{
    return m_walker->error();
}

qsizetype DriveScanJob::foldersSoFar() const
{
    return m_scan ? m_scan->count() : 0;
}

QByteArray DriveScanJob::currentFolder() const
{
    const WalkSink::FolderId folder = m_walker->currentFolder();
    return m_scan && folder != WalkSink::NoFolder ? m_scan->pathOf(folder) : QByteArray();
}

quint64 DriveScanJob::finish()
{
    m_walker->wait();
    if (!m_scan)
        return 0;
    if (m_walker->wasStopped()) {
        m_folders.removeDrive(m_rootPath);
        m_scan = nullptr;
        return 0;
    }
    return m_scan->totalSize();
}
