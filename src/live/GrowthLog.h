#pragma once

#include "LiveFollower.h"

#include <QByteArray>

#include <mutex>
#include <unordered_map>
#include <vector>

// What grew or shrank while the volume was followed, for "what is filling my disk right now":
// each change of a folder's total or a file's size, with when it was seen. Changes older than the
// longest span asked for are folded into each entry's growth since the walk, so that a long
// session keeps a few numbers per path, not its whole history. One thread may record while
// another asks: a burst of thousands of new files is recorded where it was listed, not on the
// window's thread.
class GrowthLog
{
public:
    enum class Span { Minute, Hour, SinceWalk };
    struct Row
    {
        QByteArray path;            // a folder's ends with "/"
        qint64 growth = 0;          // bytes, negative when it shrank
        qint64 allocatedGrowth = 0; // the same in bytes taken on the disk
        double rate = 0;            // bytes a second over the span, in the measure asked for
        quint64 size = 0;           // now
        quint64 allocated = 0;
    };

    void record(const LiveFollower::Batch &batch, qint64 nowMs);
    // What changed over the span, biggest growth first in the measure asked for (bytes taken on
    // the disk when `onDisk`); entries that came back to where they were are left out.
    std::vector<Row> rows(Span span, qint64 nowMs, bool onDisk) const;
    // Starts again from nothing: a new walk.
    void clear(qint64 nowMs);
    // The volume's net change since the walk, from its root's entry.
    qint64 netGrowth(const QByteArray &root, bool onDisk) const;

private:
    struct Step
    {
        qint64 at;
        qint64 size;
        qint64 allocated;
    };
    struct Entry
    {
        std::vector<Step> recent; // within the last hour, oldest first
        qint64 older = 0;         // growth before those
        qint64 olderAllocated = 0;
        quint64 size = 0;
        quint64 allocated = 0;
    };
    void add(const LiveFollower::FolderChange &change, qint64 nowMs);

    mutable std::mutex m_lock;
    std::unordered_map<QByteArray, Entry> m_entries;
    qint64 m_since = 0;
};
