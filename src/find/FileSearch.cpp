#include "FileSearch.h"

#include <algorithm>

SearchResult SearchRecords(const DriveScan &scan, const NamePattern &pattern, size_t keep,
                           const std::atomic<bool> *cancelled)
{
    SearchResult result;
    const auto bigger = [](const SearchHit &a, const SearchHit &b) {
        return a.size != b.size ? a.size > b.size : a.name < b.name;
    };
    const qsizetype folders = scan.count();
    for (qsizetype index = 0; index < folders; ++index) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            return result;
        const auto folder = WalkSink::FolderId(index);
        FileRecordReader reader = scan.filesOf(folder);
        FileRecord file;
        while (reader.next(file)) {
            if (!pattern.matchesName(file.name))
                continue;
            ++result.found;
            result.hits.push_back({folder, file.name.toByteArray(), file.size, file.date});
            // Kept to twice what is asked, then cut back: the biggest survive.
            if (result.hits.size() >= 2 * keep + 1) {
                std::nth_element(result.hits.begin(), result.hits.begin() + qsizetype(keep),
                                 result.hits.end(), bigger);
                result.hits.resize(keep);
            }
        }
    }
    std::sort(result.hits.begin(), result.hits.end(), bigger);
    if (result.hits.size() > keep)
        result.hits.resize(keep);
    result.complete = true;
    return result;
}
