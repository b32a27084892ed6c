#include "GrowthLog.h"

#include <algorithm>

namespace {

constexpr qint64 MinuteMs = 60 * 1000;
constexpr qint64 HourMs = 60 * MinuteMs;

qint64 Difference(quint64 now, quint64 before)
{
    return now >= before ? qint64(now - before) : -qint64(before - now);
}

} // namespace

void GrowthLog::record(const LiveFollower::Batch &batch, qint64 nowMs)
{
    const std::lock_guard hold(m_lock);
    for (const LiveFollower::FolderChange &change : batch.totals)
        add(change, nowMs);
    for (const LiveFollower::FolderChange &change : batch.files)
        add(change, nowMs);
}

void GrowthLog::add(const LiveFollower::FolderChange &change, qint64 nowMs)
{
    Entry &entry = m_entries[change.path];
    entry.recent.push_back({nowMs, Difference(change.newSize, change.oldSize),
                            Difference(change.newAllocated, change.oldAllocated)});
    entry.size = change.newSize;
    entry.allocated = change.newAllocated;
    const auto kept = std::find_if(entry.recent.begin(), entry.recent.end(),
                                   [&](const Step &step) { return step.at >= nowMs - HourMs; });
    for (auto step = entry.recent.begin(); step != kept; ++step) {
        entry.older += step->size;
        entry.olderAllocated += step->allocated;
    }
    entry.recent.erase(entry.recent.begin(), kept);
}

std::vector<GrowthLog::Row> GrowthLog::rows(Span span, qint64 nowMs, bool onDisk) const
{
    const std::lock_guard hold(m_lock);
    const qint64 from = span == Span::Minute ? nowMs - MinuteMs
                        : span == Span::Hour ? nowMs - HourMs
                                             : m_since;
    const double seconds = double(std::max<qint64>(1000, nowMs - std::max(from, m_since))) / 1000;
    std::vector<Row> rows;
    for (const auto &[path, entry] : m_entries) {
        Row row{path, 0, 0, 0, entry.size, entry.allocated};
        if (span == Span::SinceWalk) {
            row.growth = entry.older;
            row.allocatedGrowth = entry.olderAllocated;
        }
        for (const Step &step : entry.recent) {
            if (step.at >= from) {
                row.growth += step.size;
                row.allocatedGrowth += step.allocated;
            }
        }
        const qint64 measured = onDisk ? row.allocatedGrowth : row.growth;
        if (measured == 0)
            continue;
        row.rate = double(measured) / seconds;
        rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end(), [onDisk](const Row &a, const Row &b) {
        const qint64 ga = onDisk ? a.allocatedGrowth : a.growth;
        const qint64 gb = onDisk ? b.allocatedGrowth : b.growth;
        return ga != gb ? ga > gb : a.path < b.path;
    });
    return rows;
}

void GrowthLog::clear(qint64 nowMs)
{
    const std::lock_guard hold(m_lock);
    m_entries.clear();
    m_since = nowMs;
}

qint64 GrowthLog::netGrowth(const QByteArray &root, bool onDisk) const
{
    const std::lock_guard hold(m_lock);
    const auto found = m_entries.find(root);
    if (found == m_entries.end())
        return 0;
    qint64 total = onDisk ? found->second.olderAllocated : found->second.older;
    for (const Step &step : found->second.recent)
        total += onDisk ? step.allocated : step.size;
    return total;
}
