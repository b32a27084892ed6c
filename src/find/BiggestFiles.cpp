#include "BiggestFiles.h"

#include <algorithm>
#include <cstring>

namespace {

// first0 + first1 against second0 + second1, byte by byte, without joining them.
int CompareJoined(QByteArrayView first0, QByteArrayView first1, QByteArrayView second0,
                  QByteArrayView second1)
{
    QByteArrayView a = first0;
    QByteArrayView b = second0;
    bool aSecondPart = false;
    bool bSecondPart = false;
    for (;;) {
        if (a.isEmpty() && !aSecondPart) {
            a = first1;
            aSecondPart = true;
        }
        if (b.isEmpty() && !bSecondPart) {
            b = second1;
            bSecondPart = true;
        }
        if (a.isEmpty() || b.isEmpty())
            return int(!a.isEmpty()) - int(!b.isEmpty());
        const qsizetype common = std::min(a.size(), b.size());
        if (const int order = std::memcmp(a.data(), b.data(), size_t(common)))
            return order;
        a = a.sliced(common);
        b = b.sliced(common);
    }
}

} // namespace

BiggestFiles::BiggestFiles(const DriveScan &scan, SizeMeasure measure, size_t keep)
    : m_scan(scan)
    , m_measure(measure)
    , m_keep(keep)
{
    m_heap.reserve(std::min<size_t>(keep, 1 << 16));
}

bool BiggestFiles::before(const Kept &a, const Kept &b) const
{
    if (a.key != b.key)
        return a.key > b.key;
    if (a.folder == b.folder)
        return CompareJoined(a.file.name, {}, b.file.name, {}) < 0;
    return CompareJoined(folderPath(a.folder), a.file.name, folderPath(b.folder), b.file.name) < 0;
}

const QByteArray &BiggestFiles::folderPath(WalkSink::FolderId folder) const
{
    auto found = m_paths.find(folder);
    if (found == m_paths.end())
        found = m_paths.emplace(folder, m_scan.pathOf(folder)).first;
    return found->second;
}

void BiggestFiles::offer(WalkSink::FolderId folder, const FileRecord &file)
{
    if (m_keep == 0)
        return;
    const auto order = [this](const Kept &a, const Kept &b) { return before(a, b); };
    const Kept candidate{SizeIn(m_measure, file), folder, file};
    if (m_heap.size() < m_keep) {
        m_heap.push_back(candidate);
        std::push_heap(m_heap.begin(), m_heap.end(), order);
        return;
    }
    // Most files are smaller than the smallest kept: one comparison of sizes turns them away.
    if (candidate.key < m_heap.front().key || !before(candidate, m_heap.front()))
        return;
    std::pop_heap(m_heap.begin(), m_heap.end(), order);
    m_heap.back() = candidate;
    std::push_heap(m_heap.begin(), m_heap.end(), order);
}

std::vector<SearchHit> BiggestFiles::take()
{
    std::sort_heap(m_heap.begin(), m_heap.end(),
                   [this](const Kept &a, const Kept &b) { return before(a, b); });
    std::vector<SearchHit> hits;
    hits.reserve(m_heap.size());
    for (const Kept &kept : m_heap)
        hits.push_back({kept.folder, kept.file.name.toByteArray(),
                        SizeIn(SizeMeasure::Apparent, kept.file),
                        SizeIn(SizeMeasure::OnDisk, kept.file), kept.file.date});
    m_heap.clear();
    m_paths.clear();
    return hits;
}

SearchResult BiggestFilesOf(const DriveScan &scan, SizeMeasure measure, size_t keep,
                            const std::atomic<bool> *cancelled, const NameFilter &accepts)
{
    SearchResult result;
    BiggestFiles biggest(scan, measure, keep);
    const qsizetype folders = scan.count();
    for (qsizetype index = 0; index < folders; ++index) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            return result;
        const auto folder = WalkSink::FolderId(index);
        FileRecordReader reader = scan.filesOf(folder);
        FileRecord file;
        while (reader.next(file)) {
            if (accepts && !accepts(file.name))
                continue;
            result.accept(SizeIn(measure, file));
            biggest.offer(folder, file);
        }
    }
    result.hits = biggest.take();
    result.complete = true;
    return result;
}
