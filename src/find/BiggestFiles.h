#pragma once

#include "DriveScan.h"
#include "SaturatingMath.h"
#include "SizeMeasure.h"

#include <QByteArray>

#include <atomic>
#include <functional>
#include <unordered_map>
#include <vector>

// One file kept: its folder's id in the scan, its name bytes, both its sizes as they count (none at
// a hard link's names but the counted one, as in the list) and its date.
struct SearchHit
{
    WalkSink::FolderId folder;
    QByteArray name;
    quint64 size;
    quint64 allocated;
    qint64 date;
};

struct SearchResult
{
    std::vector<SearchHit> hits; // the biggest first, at most the number asked for
    qint64 found = 0;            // every file looked at and accepted, kept or not
    quint64 bytes = 0;           // what they all add up to in the measure asked for, as totals do
    bool complete = false;       // false when cancelled

    void accept(quint64 size)
    {
        ++found;
        bytes = SaturatingAdd(bytes, size);
    }
};

// Keeps the biggest of the files offered to it, in one measure. Among equal sizes the earlier
// full path wins, so which files are kept and their order never depend on the order they came in.
// A bounded heap: a file smaller than the last one kept costs one comparison, and nothing is
// copied until take(), so the names offered are held as views into the records, which must
// outlive it.
class BiggestFiles
{
public:
    BiggestFiles(const DriveScan &scan, SizeMeasure measure, size_t keep);

    void offer(WalkSink::FolderId folder, const FileRecord &file);
    // The files kept, the biggest first; leaves none behind.
    std::vector<SearchHit> take();

private:
    struct Kept
    {
        quint64 key; // the size in the measure
        WalkSink::FolderId folder;
        FileRecord file;
    };
    bool before(const Kept &a, const Kept &b) const;
    const QByteArray &folderPath(WalkSink::FolderId folder) const;

    const DriveScan &m_scan;
    SizeMeasure m_measure;
    size_t m_keep;
    std::vector<Kept> m_heap; // its front is the smallest kept, the first to go
    // Only the folders of files whose sizes tie are looked up, once each.
    mutable std::unordered_map<WalkSink::FolderId, QByteArray> m_paths;
};

// Whether a file's name bytes are wanted; an empty filter takes every file.
using NameFilter = std::function<bool(QByteArrayView name)>;

// The `keep` biggest files of a whole scan in a measure, read from the records alone, on whatever
// thread calls it; `found` and `bytes` count every file accepted. Stops early when *cancelled
// becomes true.
SearchResult BiggestFilesOf(const DriveScan &scan, SizeMeasure measure, size_t keep,
                            const std::atomic<bool> *cancelled = nullptr,
                            const NameFilter &accepts = {});
