#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

// The walk's access to directories on POSIX systems: opening folders relative to an open parent
// (so that no path ever needs to fit PATH_MAX), reading entries in large batches, and reading an
// entry's status without following links or triggering automounts.
namespace PosixDirectory {

struct Status
{
    bool isDirectory = false;
    quint64 device = 0;
    quint64 inode = 0;
    quint64 size = 0;
    quint64 allocated = 0; // the blocks it takes, in bytes
    quint64 links = 1;
    qint64 modified = 0; // seconds since the epoch
};

// A folder named by a path, following a link at its end: a user who names a link as the root
// means the folder it leads to.
// Returns the descriptor, or -1 with errno set.
int OpenRoot(const QByteArray &path);
// A subfolder of an open folder; a link is never followed. -1 with errno set on failure.
int OpenChild(int parentFd, QByteArrayView name);
// A folder below an open one, by a relative path of any length. -1 with errno set on failure.
int OpenBelow(int baseFd, QByteArrayView relativePath);

bool StatusOf(int fd, Status &status);

// How many more descriptors the process may open under its limit.
int FreeDescriptors();
// `name` must be NUL-terminated.
bool StatusAt(int dirFd, const char *name, Status &status);

// Reads a folder's entries in batches, skipping "." and "..".
class Listing
{
public:
    struct Entry
    {
        const char *name; // NUL-terminated, valid until the next call of next()
        qsizetype nameLength;
        bool maybeDirectory; // the listing says directory, or does not say
        bool isDirectory;    // the listing says directory
    };

    // buffer is the caller's, reused from folder to folder.
    Listing(int fd, std::vector<char> &buffer)
        : m_fd(fd)
        , m_buffer(buffer)
    {}
    bool next(Entry &entry);
    // errno of a failed read, 0 if the listing ended normally.
    int error() const { return m_error; }

private:
    int m_fd;
    std::vector<char> &m_buffer;
    size_t m_at = 0;
    size_t m_filled = 0;
    int m_error = 0;
};

} // namespace PosixDirectory
