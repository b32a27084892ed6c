#pragma once

#include "DuplicateGroup.h"

#include <atomic>

class DriveScan;

// How far a search has got, read by the window while the search runs.
struct DuplicateProgress
{
    std::atomic<quint64> bytesToRead{0}; // grows once when the files to read whole are known
    std::atomic<quint64> bytesRead{0};
    std::atomic<quint64> filesToRead{0};
    std::atomic<quint64> filesRead{0};
};

struct DuplicateOptions
{
    quint64 minimumSize = 1 << 20; // smaller files are left out
    SizeMeasure measure = SizeMeasure::Apparent;
    // Readers: enough to keep a solid-state disk busy. On a spinning disk one of them at a time
    // reads from the disk, the others hash what the page cache holds.
    int readers = 4;
};

// The groups of files of identical content below `top` in the records, read from the disk as
// it is now: candidates by size first (a file whose size no other file has cannot have a copy),
// then a hash of their first and last bytes, then a hash of all of them (XXH3, 128 bits), each
// step reading only the files the one before left together, in the order of their place on the
// disk. A file's names are one copy; a file that changed since the walk or could not be read is
// left out and counted. Runs on the calling thread and a few readers beside it; stops early
// when *cancelled becomes true.
DuplicateResult FindDuplicates(const DriveScan &scan, WalkSink::FolderId top,
                               const DuplicateOptions &options,
                               DuplicateProgress *progress = nullptr,
                               const std::atomic<bool> *cancelled = nullptr);
