#include "SafeOpen.h"

#include <QByteArray>
#include <QFile>

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace SafeOpen {

namespace {

std::atomic<bool> g_openat2{true};

// The mount an open descriptor was reached through, where statx does not say (kernels before
// 5.8): the kernel's own account of the descriptor. 0 when unknown.
quint64 MountFromFdInfo(int fd)
{
    QFile info(QStringLiteral("/proc/self/fdinfo/%1").arg(fd));
    if (!info.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : info.readAll().split('\n'))
        if (line.startsWith("mnt_id:"))
            return line.sliced(7).trimmed().toULongLong();
    return 0;
}

bool Identity(int dirFd, const char *name, int flags, NodeIdentity &identity)
{
    struct statx st;
    if (::statx(dirFd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_TYPE | STATX_INO | STATX_MNT_ID, &st) != 0)
        return false;
    identity.device = makedev(st.stx_dev_major, st.stx_dev_minor);
    identity.inode = st.stx_ino;
    identity.mount = (st.stx_mask & STATX_MNT_ID) != 0 ? st.stx_mnt_id : 0;
    identity.kind = S_ISDIR(st.stx_mode)   ? NodeIdentity::Kind::Folder
                    : S_ISLNK(st.stx_mode) ? NodeIdentity::Kind::Link
                                           : NodeIdentity::Kind::Other;
    if (identity.mount == 0 && (flags & AT_EMPTY_PATH) != 0)
        identity.mount = MountFromFdInfo(dirFd);
    return true;
}

int ViaOpenat(int dirFd, const char *name, int flags)
{
    const int fd = ::openat(dirFd, name, flags);
    if (fd < 0)
        return -1;
    NodeIdentity parent, child;
    if (!IdentityOf(dirFd, parent) || !IdentityOf(fd, child)) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    if (child.device != parent.device || child.mount != parent.mount) {
        ::close(fd);
        errno = EXDEV;
        return -1;
    }
    return fd;
}

} // namespace

int Folder(int dirFd, const char *name, FileSystem::FolderAccess access)
{
    const int flags = (access == FileSystem::FolderAccess::List ? O_RDONLY : O_PATH) | O_DIRECTORY |
                      O_NOFOLLOW | O_CLOEXEC;
    if (g_openat2.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = quint64(flags);
        how.resolve =
            RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
        const long fd = ::syscall(SYS_openat2, dirFd, name, &how, sizeof how);
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM))
            return int(fd);
        // No openat2 here (or a sandbox refuses it): the same rules, checked by hand.
    }
    return ViaOpenat(dirFd, name, flags);
}

bool IdentityOf(int fd, NodeIdentity &identity)
{
    return Identity(fd, "", AT_EMPTY_PATH, identity);
}

bool IdentityAt(int dirFd, const char *name, NodeIdentity &identity)
{
    return Identity(dirFd, name, 0, identity);
}

void UseOpenat2(bool use)
{
    g_openat2.store(use, std::memory_order_relaxed);
}

} // namespace SafeOpen
