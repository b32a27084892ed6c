#include "FileSystem.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace FileSystem {

namespace {

constexpr int DirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;
// A piece of a long relative path opened in one call stays well inside PATH_MAX.
constexpr qsizetype PieceLength = PATH_MAX / 2;

FileStatus::Kind KindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FileStatus::Kind::File;
    if (S_ISDIR(mode))
        return FileStatus::Kind::Folder;
    return S_ISLNK(mode) ? FileStatus::Kind::Link : FileStatus::Kind::Other;
}

void Fill(const struct stat &st, FileStatus &status)
{
    status.kind = KindOf(st.st_mode);
    status.sticky = (st.st_mode & S_ISVTX) != 0;
    status.owner = st.st_uid;
    status.device = st.st_dev;
    status.inode = st.st_ino;
    status.size = st.st_size > 0 ? quint64(st.st_size) : 0;
    // st_blocks counts 512-byte units whatever the file system's block size.
    status.allocated = st.st_blocks > 0 ? quint64(st.st_blocks) * 512 : 0;
    status.links = st.st_nlink;
    status.modified = st.st_mtim.tv_sec;
    status.changed = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
}

void Fill(const struct statvfs &info, VolumeStatus &status)
{
    status.blocks = info.f_blocks;
    status.freeBlocks = info.f_bfree;
    status.availableBlocks = info.f_bavail;
    status.blockSize = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
    status.readOnly = (info.f_flag & ST_RDONLY) != 0;
}

} // namespace

int OpenFolder(const QByteArray &path, FolderAccess access)
{
    return ::open(path.constData(),
                  access == FolderAccess::List ? DirectoryFlags : O_PATH | O_DIRECTORY | O_CLOEXEC);
}

int OpenChild(int parentFd, QByteArrayView name)
{
    // A name fits on the stack (NAME_MAX): the walk opens every folder this way.
    std::array<char, 256> onStack;
    if (size_t(name.size()) < onStack.size()) {
        std::memcpy(onStack.data(), name.data(), size_t(name.size()));
        onStack[size_t(name.size())] = 0;
        return ::openat(parentFd, onStack.data(), DirectoryFlags | O_NOFOLLOW);
    }
    const QByteArray terminated = name.toByteArray();
    return ::openat(parentFd, terminated.constData(), DirectoryFlags | O_NOFOLLOW);
}

int OpenBelow(int baseFd, QByteArrayView relativePath)
{
    if (relativePath.size() < PieceLength)
        return OpenChild(baseFd, relativePath);
    // Open piece by piece, each piece ending at a "/", holding at most two descriptors.
    int fd = baseFd;
    while (!relativePath.isEmpty()) {
        qsizetype cut = relativePath.size();
        if (cut >= PieceLength) {
            cut = relativePath.first(PieceLength).lastIndexOf('/');
            if (cut <= 0) {
                errno = ENAMETOOLONG;
                cut = -1;
            }
        }
        const int next = cut < 0 ? -1 : OpenChild(fd, relativePath.first(cut));
        const int saved = errno;
        if (fd != baseFd)
            ::close(fd);
        if (next < 0) {
            errno = saved;
            return -1;
        }
        fd = next;
        relativePath = relativePath.sliced(std::min(cut + 1, relativePath.size()));
    }
    return fd;
}

int OpenBelowWorkingFolder(QByteArrayView path)
{
    return OpenBelow(AT_FDCWD, path);
}

int OpenFile(const QByteArray &path, FileAccess access)
{
    int flags = O_RDONLY | O_CLOEXEC;
    switch (access) {
    case FileAccess::Read:
        break;
    case FileAccess::Write:
        flags = O_WRONLY | O_APPEND | O_CLOEXEC;
        break;
    case FileAccess::Replace:
        flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
        break;
    }
    return ::open(path.constData(), flags, 0644);
}

int CreateFileAt(int dirFd, const char *name)
{
    return ::openat(dirFd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
}

int Duplicate(int fd)
{
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

bool Close(int fd)
{
    return ::close(fd) == 0;
}

qint64 Read(int fd, char *into, qint64 capacity)
{
    for (;;) {
        const ssize_t n = ::read(fd, into, size_t(capacity));
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

bool WriteAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool StatusOf(int fd, FileStatus &status)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    Fill(st, status);
    return true;
}

bool StatusAt(int dirFd, const char *name, FileStatus &status)
{
    struct stat st;
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0)
        return false;
    Fill(st, status);
    return true;
}

bool StatusOfPath(const QByteArray &path, FileStatus &status, FollowLink follow)
{
    struct stat st;
    const int result =
        follow == FollowLink::Yes ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st);
    if (result != 0)
        return false;
    Fill(st, status);
    return true;
}

bool VolumeStatusOf(const QByteArray &path, VolumeStatus &status)
{
    struct statvfs info
    {
    };
    int result = 0;
    do {
        result = ::statvfs(path.constData(), &info);
    } while (result != 0 && errno == EINTR);
    if (result != 0)
        return false;
    Fill(info, status);
    return true;
}

bool VolumeStatusOf(int fd, VolumeStatus &status)
{
    struct statvfs info
    {
    };
    if (::fstatvfs(fd, &info) != 0)
        return false;
    Fill(info, status);
    return true;
}

QByteArray ReadLink(const QByteArray &path)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(path.constData(), target.data(), size_t(target.size()));
    if (length < 0)
        return {};
    target.truncate(qsizetype(length));
    return target;
}

QByteArray ResolvedPath(const QByteArray &path)
{
    char *resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return {};
    QByteArray result(resolved);
    std::free(resolved);
    return result;
}

bool MayListFolder(const QByteArray &path)
{
    return ::access(path.constData(), R_OK | X_OK) == 0;
}

bool MayChangeFolder(const QByteArray &path)
{
    return ::access(path.constData(), W_OK | X_OK) == 0;
}

bool MayChangeFolder(int folderFd)
{
    return ::faccessat(folderFd, ".", W_OK | X_OK, AT_EACCESS) == 0;
}

bool MakeFolder(const QByteArray &path)
{
    return ::mkdir(path.constData(), 0700) == 0;
}

bool MakeFolderAt(int dirFd, const char *name)
{
    return ::mkdirat(dirFd, name, 0700) == 0;
}

bool RenameNoReplace(int fromDirFd, const char *fromName, int toDirFd, const char *toName)
{
    return ::renameat2(fromDirFd, fromName, toDirFd, toName, RENAME_NOREPLACE) == 0;
}

bool RemoveFileAt(int dirFd, const char *name)
{
    return ::unlinkat(dirFd, name, 0) == 0;
}

bool RemoveFolderAt(int dirFd, const char *name)
{
    return ::unlinkat(dirFd, name, AT_REMOVEDIR) == 0;
}

bool RemoveFile(const QByteArray &path)
{
    return ::unlink(path.constData()) == 0;
}

} // namespace FileSystem
