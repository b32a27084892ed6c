#include "InotifySource.h"

#include "FileStatus.h"
#include "FileSystem.h"
#include "FolderListing.h"
#include "Paths.h"

#include <QFile>

#include <algorithm>
#include <cerrno>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

// Writes and truncations come as IN_MODIFY; IN_ATTRIB brings changes of mode, owner and dates.
// Files already unlinked but still open say nothing: their folder has heard of the unlink.
constexpr uint32_t WatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY |
                               IN_ATTRIB | IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;

qint64 NumberIn(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const qint64 number = file.readAll().trimmed().toLongLong(&ok);
    return ok ? number : -1;
}

// The watches a process's inotify descriptors hold: a line each in their fdinfo.
qint64 WatchesHeldBy(const QByteArray &process)
{
    const QByteArray fdFolder = process + "/fd";
    const UniqueFd fds(FileSystem::OpenFolder(fdFolder));
    if (!fds.isOpen())
        return 0;
    qint64 held = 0;
    FolderListing listing(fds.get());
    FolderListing::Entry fd;
    while (listing.next(fd)) {
        if (!IsNumberName(fd.name) ||
            FileSystem::ReadLink(fdFolder + '/' + fd.name) != "anon_inode:inotify")
            continue;
        QFile info(QFile::decodeName(process + "/fdinfo/" + fd.name));
        if (!info.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : info.readAll().split('\n'))
            held += line.startsWith("inotify wd:") ? 1 : 0;
    }
    return held;
}

} // namespace

InotifySource::InotifySource(int fd, const QByteArray &root)
    : m_fd(fd)
    , m_root(root)
{}

std::unique_ptr<InotifySource> InotifySource::Open(const QByteArray &root, int &error)
{
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    error = 0;
    return std::unique_ptr<InotifySource>(new InotifySource(fd, root));
}

bool InotifySource::watch(const QByteArray &folder)
{
    if (!folder.startsWith(m_root)) {
        errno = EINVAL;
        return false;
    }
    // A final "/" would have a link there followed, whatever IN_DONT_FOLLOW says.
    const QByteArray path = folder.size() > 1 && folder.endsWith('/') ? folder.chopped(1) : folder;
    const int watch = ::inotify_add_watch(m_fd.get(), path.constData(), WatchMask);
    if (watch < 0)
        return false;
    // The kernel gives a folder already watched the watch it has: the folder was moved here.
    forget(watch);
    m_pathAt.insert(watch, quint32(m_paths.size()));
    m_paths.append(QByteArrayView(folder).sliced(m_root.size()));
    m_paths.append('\0');
    return true;
}

QByteArrayView InotifySource::pathAt(quint32 at) const
{
    return QByteArrayView(m_paths.constData() + at); // up to its NUL
}

void InotifySource::unwatch(const QByteArray &folder)
{
    if (!folder.startsWith(m_root))
        return;
    const QByteArrayView relative = QByteArrayView(folder).sliced(m_root.size());
    for (auto it = m_pathAt.cbegin(); it != m_pathAt.cend(); ++it) {
        if (pathAt(*it) == relative) {
            ::inotify_rm_watch(m_fd.get(), it.key());
            forget(it.key());
            return;
        }
    }
}

void InotifySource::unwatchBelow(const QByteArray &folder)
{
    if (!folder.startsWith(m_root))
        return;
    const QByteArrayView relative = QByteArrayView(folder).sliced(m_root.size());
    QList<int> below;
    for (auto it = m_pathAt.cbegin(); it != m_pathAt.cend(); ++it)
        if (pathAt(*it).startsWith(relative))
            below.append(it.key());
    for (const int watch : std::as_const(below)) {
        ::inotify_rm_watch(m_fd.get(), watch);
        forget(watch);
    }
}

void InotifySource::forget(int watch)
{
    const auto found = m_pathAt.constFind(watch);
    if (found == m_pathAt.cend())
        return;
    m_unused += pathAt(*found).size() + 1;
    m_pathAt.erase(found);
    // Once most of the paths kept are no watch's any more, the rest are packed again.
    if (m_unused > 4096 && m_unused > m_paths.size() / 2) {
        QByteArray packed;
        packed.reserve(m_paths.size() - m_unused);
        for (quint32 &at : m_pathAt) {
            const QByteArrayView path = pathAt(at);
            at = quint32(packed.size());
            packed.append(path);
            packed.append('\0');
        }
        m_paths = std::move(packed);
        m_unused = 0;
    }
}

void InotifySource::report(QByteArrayView relative, Changes &into) const
{
    into.folders.insert(m_root + relative.toByteArray());
}

void InotifySource::take(const inotify_event &event, Changes &into)
{
    if (event.mask & IN_Q_OVERFLOW) {
        into.overflow = true;
        return;
    }
    if (event.mask & IN_IGNORED) { // removed, unmounted, or unwatched
        forget(event.wd);
        return;
    }
    const auto at = m_pathAt.constFind(event.wd);
    if (at == m_pathAt.constEnd())
        return;
    const QByteArrayView path = pathAt(*at);
    if (event.len == 0) {
        // The folder's own mode or dates: its parent hears of it too, but the root has no
        // parent watched.
        if (event.mask & IN_ATTRIB)
            report(path, into);
        return;
    }
    report(path, into);
    if (!(event.mask & IN_ISDIR))
        return;
    const QByteArray child =
        m_root + path.toByteArray() + QByteArray(event.name, qstrnlen(event.name, event.len)) + '/';
    // A mode that now bars or allows reading a subfolder: it must be read again too.
    if (event.mask & IN_ATTRIB)
        into.folders.insert(child);
    if (event.mask & (IN_CREATE | IN_MOVED_TO))
        into.arrived.insert(child);
}

void InotifySource::readEvents(Changes &into)
{
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t length = ::read(m_fd.get(), buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0) // EAGAIN: all read
            return;
        for (size_t at = 0; at + sizeof(inotify_event) <= size_t(length);) {
            // The kernel pads each name so that the next event stays aligned.
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            take(*event, into);
            at += sizeof(inotify_event) + event->len;
        }
    }
}

qint64 InotifySource::WatchesAvailable()
{
    const qint64 limit = NumberIn(QStringLiteral("/proc/sys/fs/inotify/max_user_watches"));
    if (limit < 0)
        return -1;
    const UniqueFd processes(FileSystem::OpenFolder("/proc"));
    if (!processes.isOpen())
        return limit;
    // The kernel counts watches against the effective user, who owns the process's folder.
    const quint32 user = ::geteuid();
    qint64 held = 0;
    FolderListing listing(processes.get());
    FolderListing::Entry process;
    while (listing.next(process)) {
        const QByteArray folder = QByteArray("/proc/") + process.name;
        FileStatus status;
        if (IsNumberName(process.name) &&
            FileSystem::StatusOfPath(folder, status, FileSystem::FollowLink::No) &&
            status.owner == user)
            held += WatchesHeldBy(folder);
    }
    return std::max<qint64>(0, limit - held);
}
