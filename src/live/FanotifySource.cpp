#include "FanotifySource.h"

#include "FileStatus.h"
#include "FileSystem.h"

#include <cerrno>
#include <cstddef>
#include <cstring>

#include <fcntl.h>
#include <sys/fanotify.h>
#include <unistd.h>

namespace {

// Writes and truncations come as FAN_MODIFY; FAN_ATTRIB brings changes of mode, owner and dates.
// FAN_ONDIR: folders' own entries as well as files'.
constexpr quint64 MarkMask =
    FAN_CREATE | FAN_DELETE | FAN_MOVED_FROM | FAN_MOVED_TO | FAN_MODIFY | FAN_ATTRIB | FAN_ONDIR;

// Where an info record of a directory's id keeps the file system's id, then the handle.
constexpr size_t FsidAt = offsetof(fanotify_event_info_fid, fsid);
constexpr size_t HandleAt = offsetof(fanotify_event_info_fid, handle);

// A file handle, aligned, from the bytes of an event or of name_to_handle_at.
struct HandleStorage
{
    alignas(file_handle) char bytes[sizeof(file_handle) + MAX_HANDLE_SZ];
    file_handle *handle() { return reinterpret_cast<file_handle *>(bytes); }
};

QByteArray ParentOf(const QByteArray &folder)
{
    const qsizetype slash = folder.lastIndexOf('/', folder.size() - 2);
    return slash < 0 ? QByteArray() : folder.first(slash + 1);
}

// The path an open descriptor leads to, ending with "/"; empty when the folder has been removed.
QByteArray PathOf(int fd)
{
    QByteArray path = FileSystem::ReadLink("/proc/self/fd/" + QByteArray::number(fd));
    if (!path.startsWith('/'))
        return {};
    // The kernel's mark of a removed folder, unless a folder that still stands has that name.
    FileStatus status;
    if (path.endsWith(" (deleted)") && (!FileSystem::StatusOf(fd, status) || status.links == 0))
        return {};
    if (!path.endsWith('/'))
        path += '/';
    return path;
}

} // namespace

FanotifySource::FanotifySource(UniqueFd group, UniqueFd mount, const QByteArray &root)
    : m_group(std::move(group))
    , m_mount(std::move(mount))
    , m_root(root)
    , m_buffer(64 * 1024)
{}

std::unique_ptr<FanotifySource> FanotifySource::Open(const QByteArray &root, int &error)
{
    UniqueFd group(
        ::fanotify_init(FAN_CLASS_NOTIF | FAN_CLOEXEC | FAN_NONBLOCK | FAN_REPORT_DFID_NAME,
                        O_RDONLY | O_LARGEFILE));
    if (!group.isOpen() || ::fanotify_mark(group.get(), FAN_MARK_ADD | FAN_MARK_FILESYSTEM,
                                           MarkMask, AT_FDCWD, root.constData()) != 0) {
        error = errno;
        return nullptr;
    }
    UniqueFd mount(FileSystem::OpenFolder(root));
    if (!mount.isOpen()) {
        error = errno;
        return nullptr;
    }
    // Handles must lead back to folders (CAP_DAC_READ_SEARCH), or every event would be lost.
    HandleStorage storage;
    storage.handle()->handle_bytes = MAX_HANDLE_SZ;
    int mountId = 0;
    if (::name_to_handle_at(AT_FDCWD, root.constData(), storage.handle(), &mountId, 0) != 0) {
        error = errno;
        return nullptr;
    }
    const UniqueFd back(::open_by_handle_at(mount.get(), storage.handle(), O_PATH | O_CLOEXEC));
    if (!back.isOpen()) {
        error = errno;
        return nullptr;
    }
    // And then to paths: through /proc, which must be there, and the same the caller names.
    const QByteArray path = PathOf(back.get());
    if (path != root) {
        error = path.isEmpty() ? ENOENT : EXDEV;
        return nullptr;
    }
    error = 0;
    return std::unique_ptr<FanotifySource>(
        new FanotifySource(std::move(group), std::move(mount), root));
}

void FanotifySource::report(const QByteArray &folder, Changes &into) const
{
    // The root ends with "/": a sibling that merely starts with its name stays out.
    if (folder.startsWith(m_root))
        into.folders.insert(folder);
}

QByteArray FanotifySource::folderOf(QByteArrayView id, KnownFolders &known) const
{
    const QByteArray key = id.toByteArray();
    const auto found = known.constFind(key);
    if (found != known.constEnd())
        return *found;
    HandleStorage storage;
    const QByteArrayView handle = id.sliced(HandleAt - FsidAt);
    std::memcpy(storage.bytes, handle.data(), size_t(handle.size()));
    // ESTALE when the folder is gone; its parent has heard of that. ENOMEM comes too while
    // renames race the lookup of the folder's path (seen under churn): asked again.
    UniqueFd fd;
    for (int attempt = 0; attempt < 3 && !fd.isOpen(); ++attempt) {
        fd = UniqueFd(::open_by_handle_at(m_mount.get(), storage.handle(), O_PATH | O_CLOEXEC));
        if (!fd.isOpen() && errno != ENOMEM)
            break;
    }
    const QByteArray path = fd.isOpen() ? PathOf(fd.get()) : QByteArray();
    known.insert(key, path);
    return path;
}

void FanotifySource::take(QByteArrayView records, quint64 mask, Changes &into, KnownFolders &known)
{
    while (records.size() >= qsizetype(sizeof(fanotify_event_info_header))) {
        fanotify_event_info_header header;
        std::memcpy(&header, records.data(), sizeof header);
        if (header.len < sizeof header || header.len > records.size())
            return;
        const QByteArrayView record = records.first(header.len);
        records = records.sliced(header.len);
        // A file's own id (FAN_EVENT_INFO_TYPE_FID) says nothing of its folder.
        const bool named = header.info_type == FAN_EVENT_INFO_TYPE_DFID_NAME;
        if (!named && header.info_type != FAN_EVENT_INFO_TYPE_DFID)
            continue;
        file_handle handle;
        if (size_t(record.size()) < HandleAt + sizeof handle)
            continue;
        std::memcpy(&handle, record.data() + HandleAt, sizeof handle);
        const size_t idEnd = HandleAt + sizeof handle + handle.handle_bytes;
        if (handle.handle_bytes > MAX_HANDLE_SZ || idEnd > size_t(record.size()))
            continue;
        const QByteArray folder = folderOf(record.sliced(FsidAt, idEnd - FsidAt), known);
        if (folder.isEmpty())
            continue;
        const QByteArrayView rest = named ? record.sliced(idEnd) : QByteArrayView();
        const QByteArrayView name = rest.first(qstrnlen(rest.data(), size_t(rest.size())));
        report(folder, into);
        // A folder's own change (its mode, which may now bar or allow reading it, or its
        // dates) comes with its own handle and the name ".": its parent's listing holds them.
        if (name.isEmpty() || name == ".")
            report(ParentOf(folder), into);
        else if ((mask & FAN_ONDIR) && (mask & (FAN_CREATE | FAN_MOVED_TO)) &&
                 folder.startsWith(m_root))
            into.arrived.insert(folder + name.toByteArray() + '/');
    }
}

void FanotifySource::readEvents(Changes &into)
{
    KnownFolders known;
    for (;;) {
        const ssize_t length = ::read(m_group.get(), m_buffer.data(), m_buffer.size());
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0) // EAGAIN: all read
            return;
        size_t at = 0;
        while (at + sizeof(fanotify_event_metadata) <= size_t(length)) {
            // Events are aligned to 4 bytes only: copied out rather than read in place.
            fanotify_event_metadata event;
            std::memcpy(&event, m_buffer.data() + at, sizeof event);
            if (event.metadata_len < sizeof event || event.event_len < event.metadata_len ||
                at + event.event_len > size_t(length)) {
                into.overflow = true; // the rest of the read cannot be made sense of
                break;
            }
            if (event.fd >= 0) // never given with file handles, but ours to close if it were
                ::close(event.fd);
            if (event.vers != FANOTIFY_METADATA_VERSION || (event.mask & FAN_Q_OVERFLOW))
                into.overflow = true; // events we cannot read are lost as well
            else
                take(QByteArrayView(m_buffer.data() + at + event.metadata_len,
                                    event.event_len - event.metadata_len),
                     event.mask, into, known);
            at += event.event_len;
        }
    }
}
