#pragma once

#include "SizeMeasure.h"
#include "WalkSink.h"

#include <QByteArray>

#include <array>
#include <vector>

// One copy of a content: a file (one inode), named by the first of its names met in the records.
struct DuplicateCopy
{
    WalkSink::FolderId folder = WalkSink::NoFolder;
    QByteArray name;
    quint64 allocated = 0; // the bytes it takes on the disk
    qint64 date = 0;
    quint64 inode = 0;
    // Its names in the folders searched: more than one for a hard-linked file, which is still
    // one copy, freeing nothing while a name is left.
    quint32 names = 1;
    // Copies of a group with the same number share their storage (reflink copies): removing
    // one of them frees nothing.
    quint32 storage = 0;
};

// Files whose contents are the same, byte for byte as far as a 128-bit hash of all of them
// tells; compared byte for byte again before any of them is removed.
struct DuplicateGroup
{
    quint64 size = 0; // of each copy
    std::array<quint64, 2> hash{};
    std::vector<DuplicateCopy> copies; // at least two, in record order
    quint32 storages = 0;              // distinct storages among the copies

    // What keeping one copy frees, in the measure: every copy but one, those that share their
    // storage with another counted once.
    quint64 waste(SizeMeasure measure) const;
    // What keeping the copy at `kept` and removing one name of each other copy frees: nothing
    // of a copy that keeps another name, or whose storage a copy left in place shares.
    quint64 freedKeeping(size_t kept, SizeMeasure measure) const;
    // Whether the copy shares its storage with another copy of the group.
    bool isShared(const DuplicateCopy &copy) const;
};

// Folders whose files have the same contents, wholly (percent 100: one group of two or more
// folders) or for the most part (a pair). Only the files the search compared count.
struct FolderMatch
{
    std::vector<WalkSink::FolderId> folders;
    int percent = 0;
    quint64 bytes = 0; // the bytes of the files they have in common, in one folder
};

struct DuplicateResult
{
    std::vector<DuplicateGroup> groups; // the biggest waste first, in the measure asked for
    std::vector<FolderMatch> folders;   // identical groups first, then the nearest pairs
    quint64 candidates = 0;             // files of a size another file has: those compared
    quint64 bytesRead = 0;
    // Files that could not be read, or that changed since the walk: left out of every group.
    struct Unread
    {
        QByteArray path;
        int error = 0; // errno; 0 when the file changed since the walk
    };
    static constexpr qsizetype UnreadSampleSize = 10;
    quint32 unreadable = 0;
    std::vector<Unread> unreadSample; // the first few
    bool complete = false;            // false when stopped
    // The records were read from a saved scan: they describe no file of this machine, and
    // nothing was read.
    bool savedScan = false;

    quint64 waste(SizeMeasure measure) const;
};
