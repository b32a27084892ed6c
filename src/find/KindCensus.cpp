#include "KindCensus.h"

#include "KindCounter.h"

namespace {

// Calls visit(folder) for `top` and every folder below it. A folder's record is made before those
// below it, so one pass forward finds them all by their parents.
template<typename Visit>
bool ForEachFolderBelow(const DriveScan &scan, WalkSink::FolderId top,
                        const std::atomic<bool> *cancelled, Visit visit)
{
    const qsizetype count = scan.count();
    if (top >= quint64(count))
        return true;
    std::vector<bool> below(size_t(count - top));
    for (qsizetype index = top; index < count; ++index) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            return false;
        const auto folder = WalkSink::FolderId(index);
        if (folder != top) {
            const WalkSink::FolderId parent = scan.parentOf(folder);
            if (parent == WalkSink::NoFolder || parent < top || !below[parent - top])
                continue;
        }
        below[folder - top] = true;
        visit(folder);
    }
    return true;
}

} // namespace

KindCensus CountKinds(const DriveScan &scan, WalkSink::FolderId top, SizeMeasure measure,
                      const std::atomic<bool> *cancelled)
{
    KindCounter counter(measure);
    const bool complete = ForEachFolderBelow(scan, top, cancelled, [&](WalkSink::FolderId folder) {
        FileRecordReader reader = scan.filesOf(folder);
        FileRecord file;
        while (reader.next(file))
            counter.add(file);
    });
    KindCensus census = complete ? counter.census() : KindCensus();
    census.complete = complete;
    return census;
}

SearchResult FilesOfKind(const DriveScan &scan, WalkSink::FolderId top, FileKind kind,
                         const std::optional<QByteArray> &extension, SizeMeasure measure,
                         size_t keep, const std::atomic<bool> *cancelled)
{
    SearchResult result;
    KindCounter counter;
    BiggestFiles biggest(scan, measure, keep);
    std::vector<signed char> wanted; // per group: -1 not known yet, else 0 or 1
    const bool complete = ForEachFolderBelow(scan, top, cancelled, [&](WalkSink::FolderId folder) {
        FileRecordReader reader = scan.filesOf(folder);
        FileRecord file;
        while (reader.next(file)) {
            const KindCounter::Group group = counter.groupOf(file.name, file.size);
            if (group >= wanted.size())
                wanted.resize(group + 1, -1);
            if (wanted[group] < 0)
                wanted[group] = counter.kindOf(group) == kind &&
                                (!extension || *extension == counter.extensionOf(group));
            if (!wanted[group])
                continue;
            result.accept(SizeIn(measure, file));
            biggest.offer(folder, file);
        }
    });
    result.hits = biggest.take();
    result.complete = complete;
    return result;
}
