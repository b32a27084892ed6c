#pragma once

#include <QtGlobal>

#include <vector>

// Reads the entries of an open folder in batches, many at a time, skipping "." and "..": the one
// way the program lists a folder. The folder stays open, and the caller's.
class FolderListing
{
public:
    struct Entry
    {
        const char *name; // NUL-terminated, valid until the next call of next()
        qsizetype nameLength;
        bool maybeDirectory; // the listing says directory, or does not say
        bool isDirectory;    // the listing says directory
    };

    // The buffer is the caller's, reused from folder to folder: the walk lists millions.
    FolderListing(int fd, std::vector<char> &buffer);
    // With a buffer of its own.
    explicit FolderListing(int fd);
    FolderListing(const FolderListing &) = delete;
    FolderListing &operator=(const FolderListing &) = delete;

    // False at the end of the folder, or when it cannot be read further (and from then on): see
    // error().
    bool next(Entry &entry);
    // The folder's own inode number as its "." entry gives it, from the first batch, which is
    // read now when next() has not read it; 0 when that batch holds no "." or none could be
    // read. File systems that number their entries otherwise than their files (some network
    // and FUSE ones) may give another number than the folder's status.
    quint64 ownInode();
    // errno of a failed read, 0 if the listing ended normally.
    int error() const { return m_error; }
    int fd() const { return m_fd; }

    // What a batch reads at most when the buffer is the listing's own.
    static constexpr size_t OwnBufferBytes = 32 * 1024;

private:
    int m_fd;
    std::vector<char> m_own;
    std::vector<char> &m_buffer;
    size_t m_at = 0;
    size_t m_filled = 0;
    int m_error = 0;
    int m_batches = 0;
    bool m_ended = false;

    bool read();
};
