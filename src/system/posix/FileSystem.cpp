#include "FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace PosixDirectory {

namespace {

constexpr int DirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;
// A piece of a long relative path opened in one call stays well inside PATH_MAX.
constexpr qsizetype PieceLength = PATH_MAX / 2;

struct LinuxDirent64
{
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

void Fill(const struct stat &st, Status &status)
{
    status.isDirectory = S_ISDIR(st.st_mode);
    status.device = st.st_dev;
    status.inode = st.st_ino;
    status.size = st.st_size > 0 ? quint64(st.st_size) : 0;
    // st_blocks counts 512-byte units whatever the file system's block size.
    status.allocated = st.st_blocks > 0 ? quint64(st.st_blocks) * 512 : 0;
    status.links = st.st_nlink;
    status.modified = st.st_mtim.tv_sec;
}

} // namespace

int OpenRoot(const QByteArray &path)
{
    return ::open(path.constData(), DirectoryFlags);
}

int OpenChild(int parentFd, QByteArrayView name)
{
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

int FreeDescriptors()
{
    struct rlimit limit
    {
    };
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur > rlim_t(INT_MAX / 2))
        return INT_MAX / 2;
    const int allowed = int(limit.rlim_cur);
    DIR *open = ::opendir("/proc/self/fd");
    if (!open)
        return allowed - 16; // a guess at what a process holds before its work begins
    int used = -1;           // the listing's own descriptor
    while (const dirent *entry = ::readdir(open))
        used += entry->d_name[0] != '.';
    ::closedir(open);
    return std::max(0, allowed - used);
}

bool StatusOf(int fd, Status &status)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    Fill(st, status);
    return true;
}

bool StatusAt(int dirFd, const char *name, Status &status)
{
    struct stat st;
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0)
        return false;
    Fill(st, status);
    return true;
}

bool Listing::next(Entry &entry)
{
    for (;;) {
        if (m_at >= m_filled) {
            const long got = ::syscall(SYS_getdents64, m_fd, m_buffer.data(), m_buffer.size());
            if (got <= 0) {
                m_error = got < 0 ? errno : 0;
                return false;
            }
            m_filled = size_t(got);
            m_at = 0;
        }
        const auto *dirent = reinterpret_cast<const LinuxDirent64 *>(m_buffer.data() + m_at);
        m_at += dirent->d_reclen;
        const char *name = dirent->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        entry.name = name;
        entry.nameLength = qsizetype(std::strlen(name));
        entry.isDirectory = dirent->d_type == DT_DIR;
        entry.maybeDirectory = entry.isDirectory || dirent->d_type == DT_UNKNOWN;
        return true;
    }
}

} // namespace PosixDirectory
