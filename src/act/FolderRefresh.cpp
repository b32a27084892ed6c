#include "FolderRefresh.h"

#include "ListSubfolders.h"
#include "RaceHook.h"
#include "RecordsEdit.h"

#include <cerrno>

FolderRefresh::FolderRefresh(DriveScan &scan, QByteArray path, Walker::Options options)
    : m_scan(scan)
    , m_path(path.endsWith('/') ? std::move(path) : path + '/')
    , m_options(options)
{}

FolderRefresh::~FolderRefresh()
{
    if (m_walker) {
        m_walker->requestStop();
        m_walker->wait();
    }
}

void FolderRefresh::setFinishedHandler(std::function<void()> handler)
{
    m_finished = std::move(handler);
}

bool FolderRefresh::start()
{
    if (!m_path.startsWith(m_scan.rootPath()) || m_path == m_scan.rootPath()) {
        m_error = EINVAL;
        return false;
    }
    RaceHook::Reach(RaceHook::Moment::Refreshing, m_path);
    const QByteArray item = m_path.chopped(1);
    const HeldPath held = HeldPath::open(m_scan, item, HeldPath::ItemRule::AnyFolder);
    HeldPath::Check why = held.check();
    if (why.ok())
        m_folder.reset(held.openItem(&why));
    // Gone, or no longer a folder: what was recorded there goes. Anything else that changed on
    // the way is not this folder any more, and nothing is counted.
    using Change = HeldPath::Change;
    if (why.change == Change::Gone ||
        (why.where == item && (why.change == Change::Link || why.change == Change::NotFolder))) {
        apply();
        if (m_finished)
            m_finished();
        return true;
    }
    if (why.change == Change::Unreadable) {
        m_error = why.error;
        return false;
    }
    if (!why.ok()) {
        m_changed = why;
        return false;
    }
    m_options.rootFd = m_folder.get();
    m_options.exclude = m_scan.excludePatterns();
    m_part = std::make_unique<DriveScan>(m_path);
    m_walker = std::make_unique<Walker>(m_path, *m_part, m_options);
    m_walker->setFinishedHandler([this] {
        if (!m_walker->wasStopped() && m_walker->error() == 0)
            apply();
        if (m_finished)
            m_finished();
    });
    if (!m_walker->start()) {
        m_error = m_walker->error();
        m_walker.reset();
        return false;
    }
    return true;
}

void FolderRefresh::apply()
{
    const qsizetype recorded = m_scan.indexOf(m_path);
    const bool walked = m_part && m_part->count() > 0;
    if (recorded >= 0) {
        RecordsEdit edit(m_scan);
        const auto folder = WalkSink::FolderId(recorded);
        const WalkSink::FolderId parent = m_scan.parentOf(folder);
        m_applied = walked ? edit.replaceFolder(folder, *m_part) != WalkSink::NoFolder
                           : edit.removeFolder(folder);
        edit.takeDateFromDisk(parent);
        return;
    }
    if (!walked)
        return;
    // A new folder: under its parent when that has a record, else its nearest recorded
    // ancestor gets the whole new branch, walked again from there.
    const qsizetype slash = m_path.lastIndexOf('/', m_path.size() - 2);
    const QByteArray parentPath = m_path.first(slash + 1);
    const qsizetype parent = m_scan.indexOf(parentPath);
    if (parent < 0) {
        m_applied = parentPath != m_scan.rootPath() && Run(m_scan, parentPath);
        return;
    }
    const QByteArray name = m_path.sliced(slash + 1).chopped(1);
    RecordsEdit edit(m_scan); // not before: the walk above edits on a thread of its own
    m_applied = edit.addFolder(WalkSink::FolderId(parent), name, ListSubfolders(parentPath),
                               *m_part) != WalkSink::NoFolder;
    edit.takeDateFromDisk(WalkSink::FolderId(parent));
}

void FolderRefresh::requestStop()
{
    if (m_walker)
        m_walker->requestStop();
}

void FolderRefresh::wait()
{
    if (m_walker)
        m_walker->wait();
}

bool FolderRefresh::wasStopped() const
{
    return m_walker && m_walker->wasStopped();
}

quint64 FolderRefresh::foldersListed() const
{
    return m_walker ? m_walker->foldersListed() : 0;
}

bool FolderRefresh::Run(DriveScan &scan, const QByteArray &path)
{
    FolderRefresh refresh(scan, path);
    if (!refresh.start())
        return false;
    refresh.wait();
    return refresh.m_applied;
}
