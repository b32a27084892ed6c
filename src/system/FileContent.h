#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// Reading a file's bytes for a comparison of contents, and what the file system says of where
// they lie: without disturbing more of the page cache than the reading needs, and without
// following a link. Calls that fail return false or -1 with errno set.
namespace FileContent {

// A regular file at `path`, or `name` in an open folder, opened to be read: a link at its end is
// refused (ELOOP), a device, pipe or socket never opened (they could block or never end), and its
// access time left alone where the process may.
int OpenForReading(const char *path);
int OpenForReadingAt(int dirFd, const char *name);
// Every byte asked for unless the file ends first; -1 with errno set.
qint64 ReadAt(int fd, char *into, qint64 size, qint64 offset);
// The bytes asked for as far as the page cache holds them, without waiting on the disk: fewer
// than asked when the cache holds only the first ones or the file ends; -1 with errno EAGAIN when
// the first is not cached, or another errno when the file system cannot tell.
qint64 ReadCachedAt(int fd, char *into, qint64 size, qint64 offset);
// Where the next bytes the file system stores begin, at `offset` or after it, and where they end
// (the next hole, or the file's end): what lies between is a hole, read as zeros without a disk
// read. The file's size when nothing is stored from `offset` on; -1 with errno set.
qint64 NextData(int fd, qint64 offset, qint64 size);
qint64 NextHole(int fd, qint64 offset, qint64 size);
// Whether the bytes at `offset` were already in the page cache, asked without reading the disk.
// A file system that cannot tell says yes: its pages are then never dropped.
bool IsCached(int fd, qint64 offset);
// The file is about to be read front to back.
void AdviseSequential(int fd);
// Drops the file's pages from the page cache: what was read for a comparison only.
void DropCached(int fd);

// Where the file's first bytes lie on the device, and whether the file system says another
// file shares them (a reflink copy); false where it cannot tell (no FIEMAP, inline or no data).
bool FirstExtent(int fd, quint64 &physical, bool &shared);

// Asks the file system to make `length` bytes of `target` share `source`'s storage, after it
// compares both itself, under its own locks. 0 when done; EBADE when the contents differ;
// EOPNOTSUPP, EXDEV or EINVAL where the file system cannot.
int ShareIdenticalRange(int sourceFd, int targetFd, quint64 length);

} // namespace FileContent
