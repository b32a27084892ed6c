#include "FolderListing.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

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

// A record is at least 24 bytes and a multiple of 8 long, its name starting at byte 19 and
// padded with NULs to the end: the name ends at the first NUL of the record's last 8 bytes, or
// of the part of them that is the name. Found a word at a time, not a byte at a time: the walk
// does this for every entry.
qsizetype NameLength(const LinuxDirent64 *dirent)
{
    const char *const record = reinterpret_cast<const char *>(dirent);
    const size_t nameAt = offsetof(LinuxDirent64, d_name);
    const size_t lastWordAt = size_t(dirent->d_reclen) - 8;
    if (dirent->d_reclen < nameAt + 1 || dirent->d_reclen % 8 != 0)
        return qsizetype(std::strlen(record + nameAt));
    std::uint64_t word;
    std::memcpy(&word, record + lastWordAt, sizeof word);
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap64(word);
    // The bytes before the name, in a short record, count as set.
    if (lastWordAt < nameAt)
        word |= (std::uint64_t(1) << (8 * (nameAt - lastWordAt))) - 1;
    constexpr std::uint64_t Ones = 0x0101010101010101, Highs = 0x8080808080808080;
    const std::uint64_t zeros = (word - Ones) & ~word & Highs;
    if (zeros == 0) // cannot be, from the kernel
        return qsizetype(std::strlen(record + nameAt));
    return qsizetype(lastWordAt + size_t(std::countr_zero(zeros)) / 8 - nameAt);
}

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
        entry.nameLength = NameLength(dirent);
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
