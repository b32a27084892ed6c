#include "FileContent.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace FileContent {

namespace {

// O_NONBLOCK so that a pipe met where a file was listed never holds the open; O_NOATIME keeps
// a comparison from looking like a use of the file, where the process owns it.
int OpenChecked(int dirFd, const char *name)
{
    const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
    int fd = ::openat(dirFd, name, flags | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = ::openat(dirFd, name, flags);
    if (fd < 0)
        return -1;
    struct stat st
    {
    };
    const bool known = ::fstat(fd, &st) == 0;
    if (!known || !S_ISREG(st.st_mode)) {
        const int error = known ? EINVAL : errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// Every byte asked for unless the file ends first, or, with RWF_NOWAIT, unless the rest is not
// cached: then what was read, or -1 with EAGAIN when nothing was.
qint64 ReadFlagged(int fd, char *into, qint64 size, qint64 offset, int flags)
{
    qint64 done = 0;
    while (done < size) {
        iovec vector{into + done, size_t(size - done)};
        const ssize_t got = ::preadv2(fd, &vector, 1, offset + done, flags);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && done > 0 && errno == EAGAIN)
            break;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

} // namespace

int OpenForReading(const char *path)
{
    return OpenChecked(AT_FDCWD, path);
}

int OpenForReadingAt(int dirFd, const char *name)
{
    return OpenChecked(dirFd, name);
}

qint64 ReadAt(int fd, char *into, qint64 size, qint64 offset)
{
    return ReadFlagged(fd, into, size, offset, 0);
}

qint64 NextData(int fd, qint64 offset, qint64 size)
{
    const off_t at = ::lseek(fd, offset, SEEK_DATA);
    if (at >= 0)
        return std::min<qint64>(at, size);
    // ENXIO: nothing stored from there on. A file system without holes says the data is here.
    return errno == ENXIO ? size : errno == EINVAL ? offset : -1;
}

qint64 NextHole(int fd, qint64 offset, qint64 size)
{
    const off_t at = ::lseek(fd, offset, SEEK_HOLE);
    return at >= 0 ? std::min<qint64>(at, size) : errno == EINVAL ? size : -1;
}

qint64 ReadCachedAt(int fd, char *into, qint64 size, qint64 offset)
{
    return ReadFlagged(fd, into, size, offset, RWF_NOWAIT);
}

bool IsCached(int fd, qint64 offset)
{
    // The page's residence, not a read that may not wait: on a miss, that read starts the read
    // ahead and may find the page there when it looks again, a cold file then taken for warm.
    static const auto page = ::sysconf(_SC_PAGESIZE);
    void *map = ::mmap(nullptr, size_t(page), PROT_READ, MAP_SHARED, fd, offset / page * page);
    if (map == MAP_FAILED)
        return true;
    unsigned char resident = 0;
    const bool told = ::mincore(map, size_t(page), &resident) == 0;
    ::munmap(map, size_t(page));
    return !told || (resident & 1) != 0;
}

void AdviseSequential(int fd)
{
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

void DropCached(int fd)
{
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
}

bool FirstExtent(int fd, quint64 &physical, bool &shared)
{
    // The kernel's header ends in an array of extents: room for one.
    alignas(fiemap) char request[sizeof(fiemap) + sizeof(fiemap_extent)] = {};
    auto *map = reinterpret_cast<fiemap *>(request);
    map->fm_start = 0;
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_extent_count = 1;
    if (::ioctl(fd, FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0)
        return false;
    const fiemap_extent &extent = map->fm_extents[0];
    // Data not yet written out, or kept in the inode, has no place of its own to compare.
    if (extent.fe_flags & (FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DELALLOC |
                           FIEMAP_EXTENT_DATA_INLINE | FIEMAP_EXTENT_NOT_ALIGNED))
        return false;
    physical = extent.fe_physical;
    shared = (extent.fe_flags & FIEMAP_EXTENT_SHARED) != 0;
    return true;
}

int ShareIdenticalRange(int sourceFd, int targetFd, quint64 length)
{
    quint64 done = 0;
    while (done < length) {
        alignas(file_dedupe_range) char
            request[sizeof(file_dedupe_range) + sizeof(file_dedupe_range_info)] = {};
        auto *range = reinterpret_cast<file_dedupe_range *>(request);
        file_dedupe_range_info &info = range->info[0];
        range->src_offset = done;
        range->src_length = length - done;
        range->dest_count = 1;
        info.dest_fd = targetFd;
        info.dest_offset = done;
        if (::ioctl(sourceFd, FIDEDUPERANGE, range) != 0)
            return errno;
        if (info.status == FILE_DEDUPE_RANGE_DIFFERS)
            return EBADE;
        if (info.status < 0)
            return -info.status;
        // File systems share at most so much per call; none at all means no progress to make.
        if (info.bytes_deduped == 0)
            return EIO;
        done += info.bytes_deduped;
    }
    return 0;
}

} // namespace FileContent
