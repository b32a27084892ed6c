#include "Walker.h"

#include "FileRecordCodec.h"
#include "PosixDirectory.h"
#include "SaturatingMath.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include <sys/resource.h>
#include <unistd.h>

using PosixDirectory::Status;
using FolderId = WalkSink::FolderId;

struct Walker::Task
{
    FolderId parent = WalkSink::NoFolder; // NoFolder: the root, already recorded as folder 0
    quint32 ordinal = 0;
    quint64 inode = 0;
    qint64 date = 0; // the folder's own last-write time, from its parent's listing
    QByteArray name;
};

// A file with more than one link, as one folder listed it.
struct Walker::LinkSeen
{
    quint64 inode;
    quint64 size;
    FolderId folder;
    quint32 position; // among the folder's files
    bool counted;
};

namespace {

// The last few folders a thread listed stay open: the next task is usually a child of one of
// them, which then opens with one call relative to it instead of a walk down from the root.
class DescriptorCache
{
public:
    ~DescriptorCache()
    {
        for (const Slot &slot : m_slots)
            if (slot.fd >= 0)
                ::close(slot.fd);
    }

    int find(FolderId folder)
    {
        for (Slot &slot : m_slots) {
            if (slot.fd >= 0 && slot.folder == folder) {
                slot.used = ++m_clock;
                return slot.fd;
            }
        }
        return -1;
    }

    void keep(FolderId folder, int fd)
    {
        Slot *oldest = &m_slots[0];
        for (Slot &slot : m_slots)
            if (slot.used < oldest->used)
                oldest = &slot;
        if (oldest->fd >= 0)
            ::close(oldest->fd);
        *oldest = {folder, fd, ++m_clock};
    }

private:
    struct Slot
    {
        FolderId folder = WalkSink::NoFolder;
        int fd = -1;
        quint64 used = 0;
    };
    std::array<Slot, 8> m_slots{};
    quint64 m_clock = 0;
};

} // namespace

class Walker::Worker
{
public:
    Worker(Walker &walker, int index) : m_walker(walker), m_index(index), m_buffer(64 * 1024) {}

    void run()
    {
        if (m_walker.m_niceness > 0)
            ::setpriority(PRIO_PROCESS, pid_t(::gettid()), m_walker.m_niceness);
        Task task;
        while (m_walker.pop(task)) {
            process(task);
            m_walker.taskDone();
        }
        m_walker.m_current[m_index].store(WalkSink::NoFolder, std::memory_order_relaxed);
        flushLinks();
    }

private:
    void process(const Task &task)
    {
        FolderId folder = m_walker.m_rootFolder;
        int fd = -1;
        if (task.parent == WalkSink::NoFolder) {
            fd = ::dup(m_walker.m_rootFd);
        } else {
            fd = openFolder(task);
            if (fd < 0)
                return;
            folder = m_walker.m_sink.openedFolder(task.parent, task.name, task.date, task.ordinal);
        }
        if (fd < 0)
            return;
        m_walker.m_current[m_index].store(folder, std::memory_order_relaxed);
        list(folder, fd);
        m_cache.keep(folder, fd);
    }

    // Opened relative to the parent's open descriptor, the name is the entry that was listed.
    // Opened by a path from the root, a folder on the way may have been swapped for a link since
    // it was listed: the folder reached must be the one listed, on this volume.
    int openFolder(const Task &task)
    {
        if (const int parentFd = m_cache.find(task.parent); parentFd >= 0)
            return checkOpened(task, PosixDirectory::OpenChild(parentFd, task.name));
        const QByteArray relative =
            m_walker.m_sink.pathOf(task.parent).sliced(m_walker.m_rootPath.size()) + task.name;
        const int fd = checkOpened(task, PosixDirectory::OpenBelow(m_walker.m_rootFd, relative));
        Status status;
        if (fd >= 0 && (!PosixDirectory::StatusOf(fd, status) ||
                        status.device != m_walker.m_rootDevice || status.inode != task.inode)) {
            ::close(fd);
            m_walker.m_sink.skippedFolder(task.parent, task.name, ESTALE);
            return -1;
        }
        return fd;
    }

    int checkOpened(const Task &task, int fd)
    {
        if (fd < 0)
            m_walker.m_sink.skippedFolder(task.parent, task.name, errno);
        return fd;
    }

    void list(FolderId folder, int fd)
    {
        m_files.clear();
        m_children.clear();
        quint64 counted = 0;
        quint32 subfolders = 0;
        PosixDirectory::Listing listing(fd, m_buffer);
        PosixDirectory::Listing::Entry entry;
        Status status;
        while (listing.next(entry)) {
            if (m_walker.m_stop.load(std::memory_order_relaxed))
                return;
            const QByteArrayView name(entry.name, entry.nameLength);
            if (!PosixDirectory::StatusAt(fd, entry.name, status)) {
                // Vanished since the listing: nothing to record. Unreadable (a folder that can be
                // listed but not searched): the entry exists, but only its name and, where the
                // listing tells it, its kind can be known; an untyped one counts as a file.
                if (errno != EACCES)
                    continue;
                if (entry.isDirectory) {
                    ++subfolders;
                    m_walker.m_sink.skippedFolder(folder, name, EACCES);
                } else {
                    m_files.add(name, 0, 0);
                }
                continue;
            }
            if (status.isDirectory) {
                // Another volume mounted here has its own drive; it is counted, not entered.
                if (status.device == m_walker.m_rootDevice)
                    m_children.push_back(
                        {folder, subfolders, status.inode, status.modified, name.toByteArray()});
                ++subfolders;
                continue;
            }
            bool counts = true;
            if (status.links > 1) {
                counts = m_walker.claimInode(status.inode);
                m_links.push_back({status.inode, status.size, folder, m_files.count(), counts});
            }
            if (counts)
                counted = SaturatingAdd(counted, status.size);
            m_files.add(name, status.size, status.modified);
        }
        m_walker.m_sink.listedFolder(folder, m_files, counted, subfolders);
        m_walker.m_listed.fetch_add(1, std::memory_order_relaxed);
        m_walker.push(m_children);
    }

    void flushLinks()
    {
        if (m_links.empty())
            return;
        std::lock_guard lock(m_walker.m_linksLock);
        m_walker.m_links.insert(m_walker.m_links.end(), m_links.begin(), m_links.end());
    }

    Walker &m_walker;
    int m_index;
    std::vector<char> m_buffer;
    FileRecordWriter m_files;
    std::vector<Task> m_children;
    std::vector<LinkSeen> m_links;
    DescriptorCache m_cache;
};

Walker::Walker(QByteArray rootPath, WalkSink &sink, Options options)
    : m_rootPath(std::move(rootPath))
    , m_sink(sink)
{
    if (!m_rootPath.endsWith('/'))
        m_rootPath += '/';
    // More threads than cores: on a cold cache most of them wait for the disk, and the disk
    // answers several requests at once faster than one after another.
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const int byDefault = std::clamp(4 * cores, 4, 16);
    m_threadCount = std::clamp(options.threads > 0 ? options.threads : byDefault, 1, 256);
    m_niceness = std::clamp(options.niceness, 0, 19);
    m_current.reset(new std::atomic<FolderId>[size_t(m_threadCount)]);
    for (int i = 0; i < m_threadCount; ++i)
        m_current[i].store(WalkSink::NoFolder, std::memory_order_relaxed);
}

Walker::~Walker()
{
    requestStop();
    m_queueChanged.notify_all();
    wait();
    if (m_rootFd >= 0)
        ::close(m_rootFd);
}

bool Walker::start()
{
    m_rootFd = PosixDirectory::OpenRoot(m_rootPath);
    Status status;
    if (m_rootFd < 0 || !PosixDirectory::StatusOf(m_rootFd, status)) {
        m_error = errno;
        m_done.store(true, std::memory_order_release);
        return false;
    }
    m_rootDevice = status.device;
    m_rootFolder = m_sink.openedFolder(WalkSink::NoFolder, m_rootPath, status.modified, 0);
    m_queue.push_back(Task());
    m_running.store(m_threadCount);
    for (int i = 0; i < m_threadCount; ++i)
        m_threads.emplace_back([this, i] {
            Worker(*this, i).run();
            workerExited();
        });
    return true;
}

void Walker::wait()
{
    for (std::thread &thread : m_threads)
        if (thread.joinable())
            thread.join();
}

WalkSink::FolderId Walker::currentFolder() const
{
    for (int i = 0; i < m_threadCount; ++i)
        if (const FolderId folder = m_current[i].load(std::memory_order_relaxed);
            folder != WalkSink::NoFolder)
            return folder;
    return WalkSink::NoFolder;
}

bool Walker::pop(Task &task)
{
    std::unique_lock lock(m_queueLock);
    m_queueChanged.wait(lock, [this] {
        return !m_queue.empty() || m_active == 0 || m_stop.load(std::memory_order_relaxed);
    });
    if (m_queue.empty() || m_stop.load(std::memory_order_relaxed)) {
        m_queueChanged.notify_all();
        return false;
    }
    task = std::move(m_queue.back());
    m_queue.pop_back();
    ++m_active;
    return true;
}

void Walker::push(std::vector<Task> &tasks)
{
    if (tasks.empty())
        return;
    std::lock_guard lock(m_queueLock);
    // Reversed, so that the first subfolder is taken next and opens relative to its parent.
    std::move(tasks.rbegin(), tasks.rend(), std::back_inserter(m_queue));
    // Wake no more threads than there is work for.
    if (tasks.size() == 1)
        m_queueChanged.notify_one();
    else
        m_queueChanged.notify_all();
    tasks.clear();
}

void Walker::taskDone()
{
    std::lock_guard lock(m_queueLock);
    if (--m_active == 0 && m_queue.empty())
        m_queueChanged.notify_all();
}

void Walker::workerExited()
{
    if (m_running.fetch_sub(1) != 1)
        return;
    // The last thread out finishes the walk.
    if (!wasStopped())
        settleHardLinks();
    m_done.store(true, std::memory_order_release);
    if (m_finished)
        m_finished();
}

bool Walker::claimInode(quint64 inode)
{
    std::lock_guard lock(m_inodeLock);
    return m_claimedInodes.insert(inode).second;
}

// Which thread met a hard-linked file first is a race; the totals must not be. The link that
// counts is the first in a one-thread walk's order, so move each file's size there.
void Walker::settleHardLinks()
{
    std::sort(m_links.begin(), m_links.end(),
              [](const LinkSeen &a, const LinkSeen &b) { return a.inode < b.inode; });
    for (auto group = m_links.begin(); group != m_links.end();) {
        const auto end = std::find_if(group, m_links.end(),
                                      [&](const LinkSeen &l) { return l.inode != group->inode; });
        const auto first = std::min_element(group, end, [this](const LinkSeen &a, const LinkSeen &b) {
            return walksBefore(a.folder, a.position, b.folder, b.position);
        });
        const auto counted = std::find_if(group, end, [](const LinkSeen &l) { return l.counted; });
        if (counted != end && counted != first && counted->folder != first->folder)
            m_sink.moveBytes(counted->folder, first->folder, counted->size);
        group = end;
    }
    m_links.clear();
}

// Order of a one-thread walk: a folder's files, then its subfolders one after another in
// listing order, each with everything below it.
bool Walker::walksBefore(FolderId a, quint32 positionA, FolderId b, quint32 positionB) const
{
    if (a == b)
        return positionA < positionB;
    std::vector<FolderId> chainA, chainB; // from the folder up to the root
    for (FolderId f = a; f != WalkSink::NoFolder; f = m_sink.parentOf(f))
        chainA.push_back(f);
    for (FolderId f = b; f != WalkSink::NoFolder; f = m_sink.parentOf(f))
        chainB.push_back(f);
    auto itA = chainA.rbegin();
    auto itB = chainB.rbegin();
    while (itA != chainA.rend() && itB != chainB.rend() && *itA == *itB) {
        ++itA;
        ++itB;
    }
    if (itA == chainA.rend())
        return true; // a holds b: a's own files come before its subfolders
    if (itB == chainB.rend())
        return false;
    return m_sink.ordinalOf(*itA) < m_sink.ordinalOf(*itB);
}

bool Walk(const QByteArray &rootPath, WalkSink &sink, Walker::Options options)
{
    Walker walker(rootPath, sink, options);
    if (!walker.start()) {
        errno = walker.error();
        return false;
    }
    walker.wait();
    return true;
}
