#pragma once

#include "WalkSink.h"

#include <QByteArray>
#include <QByteArrayView>

#include <unordered_map>
#include <unordered_set>

class DriveScan;

// What a scan could not read, from its notes, to look up by folder: the folders whose listing
// stopped short, and the entries named in a folder that could not be opened or sized. Such an
// item is on the disk still; only its size is unknown. A copy: later notes do not change it.
class UnreadEntries
{
public:
    UnreadEntries() = default;
    explicit UnreadEntries(const DriveScan &scan);

    // The folder's own listing stopped short: some of its entries may be missing.
    bool listingStopped(WalkSink::FolderId folder) const { return m_stopped.contains(folder); }
    // The entry of the folder could not be opened (a folder) or sized (a file).
    bool contains(WalkSink::FolderId folder, QByteArrayView name) const;
    // The names of a folder's unread entries.
    const std::unordered_set<QByteArray> &namesIn(WalkSink::FolderId folder) const;

private:
    std::unordered_set<WalkSink::FolderId> m_stopped;
    std::unordered_map<WalkSink::FolderId, std::unordered_set<QByteArray>> m_names;
};
