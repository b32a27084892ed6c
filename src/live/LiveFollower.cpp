#include "LiveFollower.h"

#include "ChangeSource.h"
#include "FileRecordCodec.h"
#include "FileSystem.h"
#include "FolderRelist.h"
#include "InotifySource.h"
#include "UniqueFd.h"

#include <QSet>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <optional>
#include <system_error>
#include <thread>

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

using FolderId = WalkSink::FolderId;

// The folder as the system names it, all links resolved and ending with "/", as fanotify names
// folders; empty, with errno set, when it cannot be resolved.
QByteArray ResolvedFolder(const QByteArray &path)
{
    QByteArray resolved = FileSystem::ResolvedPath(path);
    if (!resolved.isEmpty() && !resolved.endsWith('/'))
        resolved += '/';
    return resolved;
}

// File systems whose changes made on another machine raise no event here.
bool HearsOnlyLocalChanges(const QByteArray &path)
{
    struct statfs info
    {
    };
    if (::statfs(path.constData(), &info) != 0)
        return false;
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0x6969:     // NFS
    case 0xFF534D42: // CIFS
    case 0xFE534D42: // SMB2
    case 0x517B:     // SMB
    case 0x01021997: // 9P
    case 0x00C36400: // Ceph
    case 0x65735546: // FUSE (sshfs and the like)
        return true;
    default:
        return false;
    }
}

// A folder whose listing took long waits this many times as long before the next: a busy big
// folder takes at most a twentieth of a core.
constexpr int HoldFactor = 19;

// Folders with more files than this are followed as a whole: a folder of a hundred thousand
// files that changes all the time is one line of what grew, not a hundred thousand.
constexpr quint32 FilesFollowed = 10000;

// The files of a folder's record by name, with their sizes: none when it has no record, nothing
// when it has too many to follow one by one.
std::optional<std::map<QByteArray, CountedBytes>> FilesOf(const DriveScan &scan,
                                                          const QByteArray &path)
{
    std::map<QByteArray, CountedBytes> files;
    const qsizetype folder = scan.indexOf(path);
    if (folder < 0)
        return files;
    if (scan.fileCountOf(FolderId(folder)) > FilesFollowed)
        return std::nullopt;
    FileRecord file;
    for (FileRecordReader reader = scan.filesOf(FolderId(folder)); reader.next(file);)
        files[file.name.toByteArray()] = CountedBytes(file.size, file.allocated);
    return files;
}

void ChangesBetween(const std::map<QByteArray, CountedBytes> &before,
                    const std::map<QByteArray, CountedBytes> &after, const QByteArray &folder,
                    std::vector<LiveFollower::FolderChange> &into)
{
    for (const auto &[name, was] : before) {
        const auto now = after.find(name);
        const CountedBytes is = now == after.end() ? CountedBytes() : now->second;
        if (is.size != was.size || is.allocated != was.allocated)
            into.push_back({folder + name, was.size, is.size, was.allocated, is.allocated});
    }
    for (const auto &[name, is] : after)
        if (!before.contains(name))
            into.push_back({folder + name, 0, is.size, 0, is.allocated});
}

} // namespace

LiveFollower::LiveFollower(std::shared_ptr<DriveScan> scan, Options options)
    : m_scan(std::move(scan))
    , m_options(options)
{}

LiveFollower::LiveFollower(std::shared_ptr<DriveScan> scan, std::unique_ptr<ChangeSource> source,
                           Options options)
    : m_scan(std::move(scan))
    , m_options(options)
    , m_source(std::move(source))
{}

LiveFollower::~LiveFollower()
{
    stop();
}

std::unique_ptr<ChangeSource> LiveFollower::ListenBeforeWalk(const QByteArray &root)
{
    const QByteArray resolved = ResolvedFolder(root);
    int error = 0;
    return resolved.isEmpty() ? nullptr : ChangeSource::Fanotify(resolved, error);
}

void LiveFollower::setBatchHandler(std::function<void(const Batch &)> handler)
{
    m_batch = std::move(handler);
}

void LiveFollower::setEndHandler(std::function<void(int)> handler)
{
    m_ended = std::move(handler);
}

bool LiveFollower::start()
{
    const std::lock_guard hold(m_control);
    if (m_stop.load())
        return false;
    if (!m_scan || m_scan->device() == 0) {
        m_error = EINVAL;
        return false;
    }
    if (HearsOnlyLocalChanges(m_scan->rootPath())) {
        m_error = EREMOTE;
        return false;
    }
    m_resolvedRoot = ResolvedFolder(m_scan->rootPath());
    if (m_resolvedRoot.isEmpty()) {
        m_error = errno;
        return false;
    }
    bool opened = false;
    if (m_source) {
        m_backend = m_source->watchesEachFolder() ? Backend::Inotify : Backend::Fanotify;
        opened = !m_source->watchesEachFolder() || watchBelow(m_scan->rootPath());
    } else {
        opened = (m_options.only != Backend::Inotify && open(Backend::Fanotify)) ||
                 (m_options.only != Backend::Fanotify && open(Backend::Inotify));
    }
    if (!opened)
        return false;
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0) {
        m_error = errno;
        m_source.reset();
        return false;
    }
    m_thread = std::thread([this] {
        pthread_setname_np(pthread_self(), "quarnel-live"); // for top and a profiler
        run();
    });
    return true;
}

bool LiveFollower::open(Backend backend)
{
    int error = 0;
    const QByteArray &root = m_scan->rootPath();
    if (backend == Backend::Fanotify) {
        m_source = ChangeSource::Fanotify(m_resolvedRoot, error);
    } else {
        // Every folder takes a watch, out of what the user's other programs left.
        const qint64 folders = m_scan->count() - m_scan->removedCount();
        if (const qint64 left = InotifySource::WatchesAvailable(); left >= 0 && folders > left) {
            m_error = ENOSPC;
            return false;
        }
        m_source = ChangeSource::Inotify(root, error);
    }
    if (!m_source) {
        m_error = error;
        return false;
    }
    m_backend = backend;
    if (m_source->watchesEachFolder() && !watchBelow(root)) {
        m_source.reset();
        m_backend = Backend::None;
        return false;
    }
    return true;
}

bool LiveFollower::watchBelow(const QByteArray &path, QByteArrayList *watched)
{
    const qsizetype top = m_scan->indexOf(path);
    if (top < 0)
        return true;
    for (FolderId folder : m_scan->foldersBelow(FolderId(top))) {
        if (m_stop.load())
            return false;
        const QByteArray folderPath = m_scan->pathOf(folder);
        if (watched)
            watched->append(folderPath);
        if (!m_source->watch(folderPath)) {
            // Gone meanwhile, or unreadable since: its parent hears of it.
            if (errno == ENOENT || errno == ENOTDIR || errno == EACCES)
                continue;
            m_error = errno;
            return false;
        }
    }
    return true;
}

void LiveFollower::stop()
{
    m_stop.store(true);
    const std::lock_guard hold(m_control);
    if (m_wake >= 0) {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wake, &one, sizeof one);
    }
    if (m_thread.joinable())
        m_thread.join();
    if (m_wake >= 0) {
        ::close(m_wake);
        m_wake = -1;
    }
    m_source.reset();
}

bool LiveFollower::isCurrent() const
{
    if (!m_settled.load())
        return false;
    pollfd unread{m_source->fd(), POLLIN, 0};
    return ::poll(&unread, 1, 0) == 0;
}

QSet<QByteArray> LiveFollower::changedSinceWalk() const
{
    // Every folder is looked at once more, after the walk: from the root the walk opened, not
    // down its path each time, and on two threads for a large volume, so that the window is
    // soon quiet again.
    const QByteArray &root = m_scan->rootPath();
    const UniqueFd rootFd(FileSystem::OpenFolder(root, FileSystem::FolderAccess::Hold));
    // A folder dated in a second the records were being made in may have changed after it was
    // read, within that second: listed again. A second more, as the file system's clock may lag
    // the one read when they began.
    const qint64 racyFrom = m_scan->begun() - 1;
    const auto changedIn = [&](qsizetype from, qsizetype to) {
        QSet<QByteArray> changed;
        FileStatus status;
        for (qsizetype i = from; i < to && !m_stop.load(); ++i) {
            const auto folder = FolderId(i);
            if (m_scan->isRemoved(folder))
                continue;
            QByteArray path = m_scan->pathOf(folder);
            const bool read =
                rootFd.isOpen() && path.startsWith(root)
                    ? FileSystem::StatusAt(
                          rootFd.get(),
                          path.size() == root.size() ? "." : path.constData() + root.size(), status)
                    : FileSystem::StatusOfPath(path, status, FileSystem::FollowLink::No);
            if (!read || status.modified != m_scan->dateOf(folder) || status.modified >= racyFrom)
                changed.insert(std::move(path));
        }
        return changed;
    };
    constexpr qsizetype ShareFrom = 4096; // below this a second thread is not worth starting
    const qsizetype count = m_scan->count();
    if (count < ShareFrom)
        return changedIn(0, count);
    QSet<QByteArray> second;
    std::optional<std::thread> helper;
    try {
        helper.emplace([&] { second = changedIn(count / 2, count); });
    } catch (const std::system_error &) {
        return changedIn(0, count);
    }
    QSet<QByteArray> changed = changedIn(0, count / 2);
    helper->join();
    changed.unite(second);
    return changed;
}

void LiveFollower::run()
{
    using Clock = std::chrono::steady_clock;
    ChangeSource::Changes pending;
    if (m_options.heardSinceWalk) {
        // Changes of a file's content, which no folder's date shows, are among them.
        m_source->readEvents(pending);
        if (pending.overflow) {
            // Lost while the walk ran, which a volume busy elsewhere can do: the dates tell what
            // came or went, without listing every folder again.
            pending.overflow = false;
            pending.folders.unite(changedSinceWalk());
        }
    } else {
        pending.folders = changedSinceWalk();
    }
    Clock::time_point due = Clock::now();
    bool waiting = !pending.folders.isEmpty();
    while (!m_stop.load()) {
        int timeout = -1;
        if (waiting) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
            timeout = int(std::max<qint64>(0, left.count()));
        }
        pollfd fds[2] = {{m_source->fd(), POLLIN, 0}, {m_wake, POLLIN, 0}};
        m_settled.store(!waiting);
        const int polled = ::poll(fds, 2, timeout);
        // Before the source is read: until its changes are listed, they are in neither place.
        m_settled.store(false);
        if (polled < 0 && errno != EINTR)
            break;
        if (m_stop.load())
            break;
        if (fds[0].revents & POLLIN) {
            const qsizetype before = pending.folders.size();
            m_source->readEvents(pending);
            if (pending.folders.size() > before || pending.overflow) {
                const auto soon = Clock::now() + std::chrono::milliseconds(m_options.intervalMs);
                due = waiting ? std::min(due, soon) : soon;
                waiting = true;
            }
        }
        if (waiting && Clock::now() >= due) {
            // A folder whose listing is long waits in proportion before the next (HoldFactor).
            const Clock::time_point now = Clock::now();
            QByteArrayList folders;
            ChangeSource::Changes held;
            Clock::time_point next = now;
            const QByteArray &root = m_scan->rootPath();
            const auto recorded = [&](const QByteArray &changed) {
                return changed.startsWith(root) || !changed.startsWith(m_resolvedRoot)
                           ? changed
                           : root + changed.sliced(m_resolvedRoot.size());
            };
            for (const QByteArray &changed : std::as_const(pending.folders)) {
                const QByteArray folder = recorded(changed);
                const auto until = m_heldUntil.constFind(folder);
                if (!pending.overflow && until != m_heldUntil.constEnd() && *until > now) {
                    next = held.folders.isEmpty() ? *until : std::min(next, *until);
                    held.folders.insert(folder);
                } else {
                    folders.append(folder);
                }
            }
            const bool overflow = pending.overflow;
            QSet<QByteArray> arrived;
            for (const QByteArray &folder : std::as_const(pending.arrived)) {
                // Until its parent's turn comes, if that is held.
                const QByteArray path = recorded(folder);
                if (held.folders.contains(path.first(path.lastIndexOf('/', path.size() - 2) + 1)))
                    held.arrived.insert(path);
                else
                    arrived.insert(path);
            }
            pending = std::move(held);
            waiting = !pending.folders.isEmpty();
            due = next;
            process(std::move(folders), arrived, overflow);
        }
    }
}

void LiveFollower::process(QByteArrayList folders, const QSet<QByteArray> &arrived, bool overflow)
{
    DriveScan &scan = *m_scan;
    if (overflow) {
        // Which folders changed is lost: every one is listed again.
        folders.clear();
        for (qsizetype i = 0; i < scan.count(); ++i)
            if (!scan.isRemoved(FolderId(i)))
                folders.append(scan.pathOf(FolderId(i)));
    }
    // Parents first: a new folder is walked whole as its parent is listed.
    std::sort(folders.begin(), folders.end(), [](const QByteArray &a, const QByteArray &b) {
        const qsizetype da = a.count('/'), db = b.count('/');
        return da != db ? da < db : a < b;
    });

    // The totals before, of the folders listed, their subfolders and their ancestors.
    std::map<QByteArray, CountedBytes> before;
    // True when the folder was not noted yet.
    const auto note = [&](FolderId folder) {
        return before
            .try_emplace(scan.pathOf(folder),
                         CountedBytes(scan.sizeOf(folder), scan.allocatedOf(folder)))
            .second;
    };
    for (const QByteArray &path : std::as_const(folders)) {
        const qsizetype index = scan.indexOf(path);
        if (index < 0)
            continue;
        // Up to the first ancestor noted already, whose own ancestors are too.
        for (FolderId up = FolderId(index); up != WalkSink::NoFolder && note(up);
             up = scan.parentOf(up)) {
        }
        for (FolderId child : scan.subfoldersOf(FolderId(index)))
            note(child);
    }

    Batch batch;
    batch.overflow = overflow;
    QSet<QByteArray> seen(folders.cbegin(), folders.cend());
    const auto listLater = [&](const QByteArray &folder) {
        if (!seen.contains(folder)) {
            seen.insert(folder);
            folders.append(folder);
        }
    };
    for (qsizetype i = 0; i < folders.size() && !m_stop.load(); ++i) {
        const QByteArray path = folders[i];
        const auto started = std::chrono::steady_clock::now();
        const auto filesBefore = FilesOf(scan, path);
        const FolderRelist::Result result = FolderRelist::Run(scan, path, &m_stop, &arrived);
        if (result.changed && filesBefore) {
            if (const auto filesAfter = FilesOf(scan, path))
                ChangesBetween(*filesBefore, *filesAfter, path, batch.files);
        }
        const auto took = std::chrono::steady_clock::now() - started;
        if (took > std::chrono::milliseconds(2))
            m_heldUntil.insert(path, std::chrono::steady_clock::now() + HoldFactor * took);
        else
            m_heldUntil.remove(path);
        if (!result.changed)
            continue;
        if (!result.added.isEmpty() || !result.removed.isEmpty())
            batch.reshaped.append(path);
        batch.listed.append(path);
        if (m_source->watchesEachFolder()) {
            for (const QByteArray &gone : result.removed)
                m_source->unwatchBelow(gone);
            // Watched again: a folder that took the number of one gone lost its watch with it.
            bool watching = m_source->watch(path) || errno == ENOENT || errno == EACCES;
            // A folder walked before its watch was placed is listed again after: what changed
            // in between is seen.
            QByteArrayList watched;
            for (const QByteArray &added : result.added)
                watching = watching && watchBelow(added, &watched);
            for (const QByteArray &folder : std::as_const(watched))
                listLater(folder);
            if (!watching) {
                m_stop.store(true);
                if (m_ended)
                    m_ended(m_error ? m_error : errno);
                return;
            }
        }
        for (const QByteArray &added : result.added)
            before.try_emplace(added, CountedBytes());
        for (const QByteArray &stale : result.stale)
            listLater(stale);
    }

    for (const auto &[path, old] : before) {
        const qsizetype index = scan.indexOf(path);
        CountedBytes now;
        if (index >= 0)
            now = CountedBytes(scan.sizeOf(FolderId(index)), scan.allocatedOf(FolderId(index)));
        if (now.size != old.size || now.allocated != old.allocated)
            batch.totals.push_back({path, old.size, now.size, old.allocated, now.allocated});
    }
    if (m_batch && (!batch.listed.isEmpty() || overflow))
        m_batch(batch);
}
