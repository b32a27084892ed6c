#pragma once

#include "DriveScan.h"
#include "FileKind.h"
#include "FileSearch.h"
#include "SizeMeasure.h"

#include <QByteArray>

#include <atomic>
#include <optional>
#include <vector>

struct ExtensionTally
{
    QByteArray extension; // lower-cased; empty for the files without one
    quint64 count = 0;
    quint64 bytes = 0;
};

struct KindTally
{
    FileKind kind = FileKind::Other;
    quint64 count = 0;
    quint64 bytes = 0;
    std::vector<ExtensionTally> extensions; // the biggest first
};

// The files of a folder and everything below it, by kind and extension.
struct KindCensus
{
    std::vector<KindTally> kinds; // those with files, in the kinds' order
    quint64 count = 0;
    quint64 bytes = 0;
    bool complete = false; // false when cancelled
};

// Reads the records alone, on whatever thread calls it, while a walk may still add to them. Bytes
// are counted in `measure`. Stops early when *cancelled becomes true.
KindCensus CountKinds(const DriveScan &scan, WalkSink::FolderId top, SizeMeasure measure,
                      const std::atomic<bool> *cancelled = nullptr);

// The files of one kind below `top` (and of one extension of it, when given), the biggest in
// `measure` first, at most `keep`, ties in path order.
SearchResult FilesOfKind(const DriveScan &scan, WalkSink::FolderId top, FileKind kind,
                         const std::optional<QByteArray> &extension, SizeMeasure measure,
                         size_t keep, const std::atomic<bool> *cancelled = nullptr);
