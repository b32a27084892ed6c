#include "Walker.h"

#include "AddressSpace.h"
#include "BlockDevice.h"
#include "FileRecordCodec.h"
#include "FileSystem.h"
#include "FolderListing.h"
#include "SaturatingMath.h"
#include "ThisProcess.h"
#include "UniqueFd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <system_error>

using FolderId = WalkSink::FolderId;

// A listed folder whose subfolders wait to be opened: their names, one after another, and while
// the walk's budget of descriptors allows, the folder's own, so that each subfolder opens with
// one call relative to the folder that was listed, by whichever thread takes it. Shared by the
// subfolders' tasks; the last one to go closes it and gives its descriptor back to the budget.
class Walker::ListedFolder
{
public:
    ListedFolder(FolderId folder, QByteArrayView names, int fd, std::atomic<int> &budget)
        : m_folder(folder)
        , m_names(names.toByteArray())
        , m_fd(fd)
        , m_budget(budget)
    {}
    ~ListedFolder()
    {
        if (m_fd >= 0) {
            FileSystem::Close(m_fd);
            m_budget.fetch_add(1, std::memory_order_relaxed);
        }
    }
    ListedFolder(const ListedFolder &) = delete;
    ListedFolder &operator=(const ListedFolder &) = delete;

    FolderId folder() const { return m_folder; }
    // -1 when the budget was spent as the folder was listed.
    int fd() const { return m_fd; }
    QByteArrayView name(quint32 at, quint32 length) const
    {
        return QByteArrayView(m_names).sliced(at, length);
    }

private:
    FolderId m_folder;
    QByteArray m_names;
    int m_fd;
    std::atomic<int> &m_budget;
};

struct Walker::Task
{
    std::shared_ptr<const ListedFolder> parent; // none: the root, already recorded as folder 0
    quint32 nameAt = 0;
    quint32 nameLength = 0;
    quint32 ordinal = 0;
    quint64 inode = 0;
    qint64 date = 0; // the folder's own last-write time, from its parent's listing

    QByteArrayView name() const { return parent->name(nameAt, nameLength); }
};

namespace {

// The last few folders a thread listed stay open: the next task is usually a child of one of
// them, which then opens with one call relative to it instead of a walk down from the root.
class DescriptorCache
{
public:
    explicit DescriptorCache(int capacity)
        : m_capacity(std::clamp(capacity, 0, MaxSlots))
    {}
    ~DescriptorCache() { clear(); }

    // Closes every kept folder; false when none was kept.
    bool clear()
    {
        bool closed = false;
        for (Slot &slot : m_slots) {
            if (slot.fd >= 0) {
                FileSystem::Close(slot.fd);
                closed = true;
            }
            slot = Slot();
        }
        return closed;
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
        if (m_capacity == 0) {
            FileSystem::Close(fd);
            return;
        }
        Slot *oldest = &m_slots[0];
        for (Slot &slot : std::span(m_slots).first(size_t(m_capacity)))
            if (slot.used < oldest->used)
                oldest = &slot;
        if (oldest->fd >= 0)
            FileSystem::Close(oldest->fd);
        *oldest = {folder, fd, ++m_clock};
    }

    static constexpr int MaxSlots = 8;

private:
    struct Slot
    {
        FolderId folder = WalkSink::NoFolder;
        int fd = -1;
        quint64 used = 0;
    };
    std::array<Slot, MaxSlots> m_slots{};
    int m_capacity;
    quint64 m_clock = 0;
};

// How long one open waits for another thread to give back a descriptor before it reports
// the process's limit as the reason a folder was left out.
constexpr auto DescriptorWait = std::chrono::seconds(5);
// Descriptors left for the rest of the process (a window loading an icon, the tool's output).
constexpr int SpareDescriptors = 4;
// What one thread holds besides its kept folders: the folder it lists, and a second one while it
// opens a folder piece by piece down a long path.
constexpr int DescriptorsInUse = 2;
// The address space one thread reserves: its stack, its listing buffer, and its share of what
// the records and the queue of folders reserve as it walks.
constexpr quint64 ThreadBytes = WalkThread::StackSize + 512 * 1024;
constexpr size_t ListingBufferBytes = 64 * 1024;
constexpr int SpinningDiskThreads = 2;

} // namespace

class Walker::Worker
{
public:
    Worker(Walker &walker, int index)
        : m_walker(walker)
        , m_index(index)
        , m_buffer(ListingBufferBytes)
        , m_cache(walker.m_keptDescriptors)
    {}

    void run()
    {
        if (m_walker.m_niceness > 0)
            ThisProcess::LowerThreadPriority(m_walker.m_niceness);
        Task task;
        while (m_walker.pop(task)) {
            m_walker.waitWhileHeld();
            process(task);
            m_walker.taskDone();
        }
        m_walker.m_current[m_index].store(WalkSink::NoFolder, std::memory_order_relaxed);
    }

private:
    void process(Task &task)
    {
        UniqueFd fd;
        bool byPath = false;
        if (!task.parent) {
            fd.reset(withDescriptor([&] { return FileSystem::Duplicate(m_walker.m_rootFd); }));
            if (!fd.isOpen())
                m_walker.fail(errno); // the root is recorded: its listing cannot be left out
        } else {
            fd.reset(openFolder(task, byPath));
        }
        if (!fd.isOpen())
            return;
        FolderListing listing(fd.get(), m_buffer);
        FolderId folder = m_walker.m_rootFolder;
        if (task.parent) {
            if (!isListedOne(task, fd.get(), byPath, listing)) {
                m_walker.m_sink.skippedFolder(task.parent->folder(), task.name(), ENOENT);
                return;
            }
            folder = m_walker.m_sink.openedFolder(task.parent->folder(), task.name(), task.date,
                                                  task.ordinal, task.inode);
            task.parent.reset(); // the last subfolder opened lets the parent go
        }
        m_walker.m_current[m_index].store(folder, std::memory_order_relaxed);
        if (list(folder, fd, listing) == Listed::WithSubfolders)
            m_cache.keep(folder, fd.release());
    }

    // Runs an open that may find the process out of descriptors. Those are not the folder's
    // fault: make room by closing the folders this thread keeps, then wait for the other
    // threads to give theirs back. open() must not rely on a kept descriptor after a retry.
    template<typename Open> int withDescriptor(Open open)
    {
        std::optional<std::chrono::steady_clock::time_point> deadline; // from the first refusal
        std::atomic<bool> &out = m_walker.m_outOfDescriptors;
        for (;;) {
            const int fd = open();
            if (fd >= 0 || (errno != EMFILE && errno != ENFILE)) {
                if (fd >= 0 && out.load(std::memory_order_relaxed))
                    out.store(false, std::memory_order_relaxed);
                return fd;
            }
            if (m_cache.clear())
                continue;
            const auto now = std::chrono::steady_clock::now();
            if (!deadline)
                deadline = now + DescriptorWait;
            const bool gaveUp = out.load(std::memory_order_relaxed) || now > *deadline;
            if (gaveUp)
                out.store(true, std::memory_order_relaxed);
            if (gaveUp || m_walker.wasStopped()) {
                errno = EMFILE;
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Opens a listed subfolder: relative to the folder listed, held for it or still kept by this
    // thread, or else by its path from the root.
    int openFolder(const Task &task, bool &byPath)
    {
        const ListedFolder &parent = *task.parent;
        const QByteArrayView name = task.name();
        const int fd = withDescriptor([&] {
            if (parent.fd() >= 0)
                return FileSystem::OpenChild(parent.fd(), name);
            if (const int parentFd = m_cache.find(parent.folder()); parentFd >= 0)
                return FileSystem::OpenChild(parentFd, name);
            byPath = true;
            const QByteArray relative = m_walker.m_sink.pathOf(parent.folder())
                                            .sliced(m_walker.m_rootPath.size())
                                            .append(name);
            return FileSystem::OpenBelow(m_walker.m_rootFd, relative);
        });
        if (fd < 0)
            m_walker.m_sink.skippedFolder(parent.folder(), name, errno);
        return fd;
    }

    // Whether the folder opened is the one listed, on this volume, not another that took its
    // name since, nor one that was mounted over it: that is told as gone, never walked in the
    // listed one's place. Opened relative to the folder listed, with no link followed, its "."
    // entry tells it for free; a mount over it would show another number but for a
    // coincidence, and the walk counts nothing of another volume's even then. Opened by its
    // path, a folder on the way may have been swapped for a link: its status says where it is.
    bool isListedOne(const Task &task, int fd, bool byPath, FolderListing &listing) const
    {
        if (!byPath && listing.ownInode() == task.inode)
            return true;
        FileStatus status;
        return FileSystem::StatusOf(fd, status) && status.device == m_walker.m_rootDevice &&
               status.inode == task.inode;
    }

    // What is left to do with a listed folder's descriptor, when it was not handed to its
    // subfolders: close it, or keep it for them while this thread can.
    enum class Listed { Alone, WithSubfolders };

    Listed list(FolderId folder, UniqueFd &folderFd, FolderListing &listing)
    {
        const int fd = folderFd.get();
        m_files.clear();
        m_children.clear();
        m_childNames.clear();
        CountedBytes counted;
        quint32 subfolders = 0;
        bool denied = false;
        FolderListing::Entry entry;
        FileStatus status;
        const quint64 rootDevice = m_walker.m_rootDevice;
        const ExcludePatterns *exclude = m_walker.m_exclude.get();
        qsizetype folderPathLength = 0;
        if (exclude) {
            m_path = m_walker.m_matchRoot +
                     m_walker.m_sink.pathOf(folder).sliced(m_walker.m_rootPath.size());
            folderPathLength = m_path.size();
        }
        while (listing.next(entry)) {
            if (m_walker.m_stop.load(std::memory_order_relaxed))
                return Listed::Alone;
            m_walker.waitWhileHeld();
            const QByteArrayView name(entry.name, entry.nameLength);
            if (exclude) {
                m_path.truncate(folderPathLength);
                m_path.append(name);
                if (exclude->excludes(m_path)) {
                    // Left unread, as ncdu leaves it, and out of the entries, as its export
                    // read back would: its kind is what the listing says.
                    m_walker.m_sink.excludedEntry(folder, name, entry.isDirectory);
                    continue;
                }
            }
            if (!FileSystem::StatusAt(fd, entry.name, status)) {
                const int error = errno;
                // The name and, where the listing tells it, the kind are all that is known: a
                // file keeps its row with no size or date and counts nothing, even one gone since
                // the listing, which is told like any other (its bytes may have moved elsewhere
                // in the tree, behind the walk). A folder that can be listed but not searched
                // says so once for all its entries.
                if (error != EACCES)
                    m_walker.m_sink.unreadEntry(folder, name, error);
                else if (!denied)
                    m_walker.m_sink.unreadEntry(folder, {}, EACCES);
                denied = denied || error == EACCES;
                if (entry.isDirectory)
                    ++subfolders;
                else
                    m_files.add(name, 0, FileRecord::UnknownDate);
                continue;
            }
            if (status.isFolder()) {
                // Another volume mounted here has its own drive; it is counted, not entered.
                if (status.device == rootDevice) {
                    if (m_walker.isAncestor(status.inode, folder)) {
                        m_walker.m_sink.cycleFolder(folder, name);
                    } else {
                        m_children.push_back({nullptr, quint32(m_childNames.size()),
                                              quint32(name.size()), subfolders, status.inode,
                                              status.modified});
                        m_childNames.append(name.data(), size_t(name.size()));
                    }
                } else {
                    m_walker.m_sink.otherVolume(folder, name);
                }
                ++subfolders;
                continue;
            }
            // A file mounted here from another volume belongs to that volume's total.
            if (status.device != rootDevice)
                continue;
            bool counts = true;
            if (status.links > 1)
                counts = m_walker.m_hardLinks.meet({status.device, status.inode, status.links,
                                                    CountedBytes(status.size, status.allocated),
                                                    folder, m_files.count()});
            if (counts) {
                counted.size = SaturatingAdd(counted.size, status.size);
                counted.allocated = SaturatingAdd(counted.allocated, status.allocated);
            }
            m_files.add(name, status.size, status.modified, status.allocated);
        }
        if (listing.error() != 0)
            m_walker.m_sink.unreadEntry(folder, {}, listing.error());
        m_walker.m_sink.listedFolder(folder, m_files, counted, subfolders);
        m_walker.m_listed.fetch_add(1, std::memory_order_relaxed);
        if (m_walker.m_shallow) {
            for (const Task &child : m_children)
                m_walker.m_sink.openedFolder(
                    folder, QByteArrayView(m_childNames).sliced(child.nameAt, child.nameLength),
                    child.date, child.ordinal, child.inode);
            return Listed::Alone;
        }
        if (m_children.empty())
            return Listed::Alone;
        const bool hold = m_walker.takeFromBudget();
        std::shared_ptr<const ListedFolder> parent;
        try {
            parent = std::make_shared<const ListedFolder>(folder, m_childNames, hold ? fd : -1,
                                                          m_walker.m_heldBudget);
        } catch (...) {
            if (hold)
                m_walker.m_heldBudget.fetch_add(1, std::memory_order_relaxed);
            throw;
        }
        if (hold)
            folderFd.release();
        for (Task &child : m_children)
            child.parent = parent;
        m_walker.push(m_children);
        return hold ? Listed::Alone : Listed::WithSubfolders;
    }

    Walker &m_walker;
    int m_index;
    std::vector<char> m_buffer;
    FileRecordWriter m_files;
    std::vector<Task> m_children;
    // Theirs, one after another: a plain string, whose append is a copy, where QByteArray's
    // goes through a general insert.
    std::string m_childNames;
    QByteArray m_path; // an entry's, for the patterns of what the walk leaves out
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
    m_threadsByDefault = options.threads <= 0;
    m_niceness = std::clamp(options.niceness, 0, 19);
    m_holdBack = options.holdBack;
    m_givenRoot = options.rootFd;
    m_shallow = options.shallow;
    if (options.exclude && !options.exclude->isEmpty())
        m_exclude = std::move(options.exclude);
    m_current.reset(new std::atomic<FolderId>[size_t(m_threadCount)]);
    for (int i = 0; i < m_threadCount; ++i)
        m_current[i].store(WalkSink::NoFolder, std::memory_order_relaxed);
}

Walker::~Walker()
{
    requestStop();
    wait();
    if (m_rootFd >= 0)
        FileSystem::Close(m_rootFd);
}

bool Walker::start()
{
    m_rootFd =
        m_givenRoot >= 0 ? FileSystem::Duplicate(m_givenRoot) : FileSystem::OpenFolder(m_rootPath);
    FileStatus status;
    if (m_rootFd < 0 || !FileSystem::StatusOf(m_rootFd, status)) {
        m_error.store(errno);
        m_done.store(true, std::memory_order_release);
        return false;
    }
    m_rootDevice = status.device;
    m_sink.walkedDevice(status.device);
    if (m_exclude) {
        m_matchRoot = FileSystem::ResolvedPath(m_rootPath);
        if (m_matchRoot.isEmpty())
            m_matchRoot = m_rootPath;
        else if (!m_matchRoot.endsWith('/'))
            m_matchRoot += '/';
    }
    if (m_threadsByDefault && BlockDevice::IsRotational(status.device).value_or(false))
        m_threadCount = std::min(m_threadCount, SpinningDiskThreads);
    // Each thread's descriptors come out of what the process has left; with too few for all of
    // them, fewer threads walk.
    const int free = ThisProcess::FreeDescriptors() - SpareDescriptors;
    // Their stacks and buffers come out of the address space left, of which the records need
    // the most: under a tight limit, fewer threads walk.
    const quint64 room = AddressSpace::Left() / 4 / ThreadBytes;
    const int threads =
        std::clamp(std::min(free / (DescriptorsInUse + 1), int(std::min<quint64>(room, 256))), 1,
                   m_threadCount);
    // What the threads keep is the fallback for subfolders whose parent holds no descriptor:
    // half of what is left to each. Of the rest, listed folders may hold half for their
    // subfolders; the other half stays with the process, as a window opens files while its
    // walk runs.
    m_keptDescriptors =
        std::clamp((free / threads - DescriptorsInUse) / 2, 0, DescriptorCache::MaxSlots);
    m_heldBudget.store(std::max(0, free - threads * (DescriptorsInUse + m_keptDescriptors)) / 2);
    try {
        m_rootFolder =
            m_sink.openedFolder(WalkSink::NoFolder, m_rootPath, status.modified, 0, status.inode);
        m_queue.push_back(Task());
    } catch (const std::bad_alloc &) {
        m_error.store(ENOMEM);
        m_done.store(true, std::memory_order_release);
        return false;
    }
    // start() holds the walk open until every thread is started, so that none of them can
    // finish it early; a thread that cannot start leaves the work to the others.
    m_running.store(1);
    // A walk that yields starts its threads from one that has lowered its own priority first:
    // a thread is born with its creator's, and eight born at the window's would each run ahead
    // of it for their first moments.
    // When it cannot start, they start from here.
    if (m_niceness > 0 && m_launcher.start([this, threads] {
            ThisProcess::LowerThreadPriority(m_niceness);
            startWorkers(threads);
        }))
        return true;
    // One folder alone is listed here: a thread started for it would cost more than its listing.
    startWorkers(m_shallow ? 0 : threads);
    return true;
}

void Walker::waitWhileHeld() const
{
    if (!m_holdBack)
        return;
    // Nothing is held here: the thread is between two entries, with no lock taken.
    for (int held = m_holdBack->load(std::memory_order_acquire); held != 0;
         held = m_holdBack->load(std::memory_order_acquire))
        m_holdBack->wait(held, std::memory_order_acquire);
}

void Walker::startWorkers(int threads)
{
    // A thread that cannot start, for want of memory, address space or a process slot, leaves
    // the walk to those that did: nothing is said, as nothing is left out.
    try {
        m_threads.reserve(size_t(threads));
    } catch (const std::bad_alloc &) {
        threads = 0;
    }
    for (int i = 0; i < threads; ++i) {
        m_running.fetch_add(1);
        WalkThread thread;
        if (!thread.start([this, i] { runWorker(i); })) {
            m_running.fetch_sub(1);
            break;
        }
        m_threads.push_back(std::move(thread));
    }
    m_started = std::max(1, int(m_threads.size()));
    if (m_threads.empty())
        runWorker(0); // walks here, and lets go of start()'s hold on the way out
    else
        workerExited();
}

void Walker::runWorker(int index)
{
    try {
        Worker(*this, index).run();
    } catch (const std::bad_alloc &) {
        fail(ENOMEM);
    }
    workerExited();
}

// A walk that cannot go on ends like a stopped one, with the reason kept.
void Walker::fail(int error)
{
    int none = 0;
    m_error.compare_exchange_strong(none, error);
    requestStop();
}

void Walker::requestStop()
{
    {
        std::lock_guard lock(m_queueLock);
        m_stop.store(true, std::memory_order_relaxed);
    }
    m_queueChanged.notify_all();
}

void Walker::wait()
{
    // The launcher fills m_threads; once it is joined, the list is complete.
    m_launcher.join();
    for (WalkThread &thread : m_threads)
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

bool Walker::takeFromBudget()
{
    int left = m_heldBudget.load(std::memory_order_relaxed);
    while (left > 0 &&
           !m_heldBudget.compare_exchange_weak(left, left - 1, std::memory_order_relaxed))
        ;
    return left > 0;
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
    // The last thread out finishes the walk. The folders a stopped walk left waiting let go of
    // the descriptors held for them now, not when the walker goes.
    {
        std::lock_guard lock(m_queueLock);
        m_queue.clear();
    }
    if (!wasStopped()) {
        try {
            m_hardLinks.settle(m_sink);
        } catch (const std::bad_alloc &) {
            fail(ENOMEM);
        }
    }
    m_done.store(true, std::memory_order_release);
    if (m_finished)
        m_finished();
}

// Directories have one name each on Linux; a second one on the same device, above, is a bind
// mount of an ancestor into its own tree.
bool Walker::isAncestor(quint64 inode, FolderId folder) const
{
    for (FolderId at = folder; at != WalkSink::NoFolder; at = m_sink.parentOf(at))
        if (m_sink.inodeOf(at) == inode)
            return true;
    return false;
}

bool Walk(const QByteArray &rootPath, WalkSink &sink, Walker::Options options)
{
    Walker walker(rootPath, sink, options);
    if (!walker.start()) {
        errno = walker.error();
        return false;
    }
    walker.wait();
    errno = walker.error();
    return errno == 0;
}
