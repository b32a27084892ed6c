#include "HardLinkSettling.h"

#include "WalkOrder.h"

#include <algorithm>
#include <utility>

bool HardLinkSettling::meet(HardLink link)
{
    std::lock_guard lock(m_lock);
    link.counted = m_claimed.insert({link.device, link.inode}).second;
    m_links.push_back(link);
    return link.counted;
}

void HardLinkSettling::keepUncounted(HardLink link)
{
    link.counted = false;
    std::lock_guard lock(m_lock);
    m_uncounted.push_back(link);
}

void HardLinkSettling::settle(WalkSink &records)
{
    std::vector<HardLink> links;
    std::vector<HardLink> uncounted;
    {
        std::lock_guard lock(m_lock);
        links = std::exchange(m_links, {});
        uncounted = std::exchange(m_uncounted, {});
        m_claimed = {};
    }
    // Stable: a file's names keep the order they were met in, which a saved file's reader keeps.
    std::stable_sort(links.begin(), links.end(), [](const HardLink &a, const HardLink &b) {
        return a.device != b.device ? a.device < b.device : a.inode < b.inode;
    });
    for (auto group = links.begin(); group != links.end();) {
        const auto end = std::find_if(group, links.end(),
                                      [&](const HardLink &l) { return !l.sameFile(*group); });
        const auto first = std::min_element(group, end, [&](const HardLink &a, const HardLink &b) {
            return WalksBefore(records, a.folder, a.position, b.folder, b.position);
        });
        const auto counted = std::find_if(group, end, [](const HardLink &l) { return l.counted; });
        if (counted != end && counted->folder != first->folder)
            records.moveBytes(counted->folder, first->folder, counted->bytes);
        for (auto it = group; it != end; ++it) {
            it->counted = it == first;
            if (it->links == 0) // a saved file that does not say
                it->links = quint64(end - group);
        }
        group = end;
    }
    links.insert(links.end(), uncounted.begin(), uncounted.end());
    records.keepHardLinks(std::move(links));
}
