#pragma once

#include "HardLink.h"
#include "WalkSink.h"

#include <mutex>
#include <unordered_set>
#include <utility>
#include <vector>

// Counts each file with more than one name once, in the totals of the folder of its first name
// in a one-thread walk's order, whichever name was met first: a walk's threads meet them in any
// order, and another tool's saved file may list them in another. The walk and the import of a
// saved scan both settle their links here, so their folders' totals agree.
class HardLinkSettling
{
public:
    // One name of a file with more than one, its `counted` ignored; from any thread. True when
    // it is the first name met of its file: its folder counts the file's bytes until settle().
    bool meet(HardLink link);
    // A name whose bytes count nowhere, as a saved file may mark it: kept, never settled.
    void keepUncounted(HardLink link);
    // Once every name has been met: moves each file's bytes from the folder that counted them to
    // that of its first name in walk order, marks that name counted, and hands all the names to
    // `records`, grouped by file. Leaves nothing met.
    void settle(WalkSink &records);

private:
    struct FileIdHash
    {
        size_t operator()(const std::pair<quint64, quint64> &id) const
        {
            return std::hash<quint64>()(id.second * 0x9e3779b97f4a7c15ull ^ id.first);
        }
    };

    std::mutex m_lock;
    // Files whose bytes already count, by device and inode.
    std::unordered_set<std::pair<quint64, quint64>, FileIdHash> m_claimed;
    std::vector<HardLink> m_links;
    std::vector<HardLink> m_uncounted;
};
