#include "FolderListing.h"

#include <algorithm>
#include <cerrno>

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// What getdents64 fills the buffer with; glibc declares no such type.
struct LinuxDirent64
{
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

} // namespace

FolderListing::FolderListing(int fd, std::vector<char> &buffer)
    : m_fd(fd)
    , m_buffer(buffer)
{}

FolderListing::FolderListing(int fd)
    : m_fd(fd)
    , m_own(OwnBufferBytes)
    , m_buffer(m_own)
{}

bool FolderListing::read()
{
    if (m_ended)
        return false;
    const long got = ::syscall(SYS_getdents64, m_fd, m_buffer.data(), m_buffer.size());
    if (got <= 0) {
        m_error = got < 0 ? errno : 0;
        m_ended = true;
        return false;
    }
    m_filled = size_t(got);
    m_at = 0;
    ++m_batches;
    return true;
}

bool FolderListing::next(Entry &entry)
{
    for (;;) {
        if (m_at >= m_filled && !read())
            return false;
        const auto *dirent = reinterpret_cast<const LinuxDirent64 *>(m_buffer.data() + m_at);
        m_at += dirent->d_reclen;
        const char *name = dirent->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        entry.name = name;
        // The name's end is in the record's last 8 bytes, which pad it with NULs to a multiple
        // of 8: no need to run through a long name to find it.
        const char *const recordEnd = reinterpret_cast<const char *>(dirent) + dirent->d_reclen;
        const char *end = std::max(name, recordEnd - 8);
        while (*end != 0)
            ++end;
        entry.nameLength = qsizetype(end - name);
        entry.isDirectory = dirent->d_type == DT_DIR;
        entry.maybeDirectory = entry.isDirectory || dirent->d_type == DT_UNKNOWN;
        return true;
    }
}

quint64 FolderListing::ownInode()
{
    if (m_batches == 0 && !read())
        return 0;
    if (m_batches != 1)
        return 0;
    for (size_t at = 0; at < m_filled;) {
        const auto *dirent = reinterpret_cast<const LinuxDirent64 *>(m_buffer.data() + at);
        if (dirent->d_name[0] == '.' && dirent->d_name[1] == 0)
            return dirent->d_ino;
        at += dirent->d_reclen;
    }
    return 0;
}
