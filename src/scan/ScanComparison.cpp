#include "ScanComparison.h"

#include "FolderRecord.h"

#include <algorithm>

namespace {

quint64 SizeIn(SizeMeasure measure, const ScanComparison::Totals::Sizes &sizes)
{
    return measure == SizeMeasure::OnDisk ? sizes.onDisk : sizes.apparent;
}

// "a/b/" of "a/b/c/" and of "a/b/name": where an item of the totals lies, and its name.
std::pair<QByteArray, QByteArray> Split(const QByteArray &path)
{
    const bool folder = path.endsWith('/');
    const QByteArrayView bare = folder ? QByteArrayView(path).chopped(1) : QByteArrayView(path);
    const qsizetype slash = bare.lastIndexOf('/');
    return {bare.first(slash + 1).toByteArray(), bare.sliced(slash + 1).toByteArray()};
}

} // namespace

ScanComparison::ScanComparison(std::shared_ptr<const DriveScan> earlier, QByteArray current,
                               qint64 savedAt)
    : m_earlier(std::move(earlier))
    , m_current(std::move(current))
    , m_savedAt(savedAt)
    , m_unread(*m_earlier)
{}

ScanComparison::ScanComparison(const Totals &earlier, QByteArray current, qint64 savedAt)
    : m_current(std::move(current))
    , m_savedAt(savedAt)
    , m_totals(earlier.folders)
    , m_everyFile(earlier.everyFile)
{
    for (const auto &[path, sizes] : earlier.files) {
        auto [folder, name] = Split(path);
        m_known[folder].push_back({std::move(name), sizes, false});
    }
    for (const auto &[path, sizes] : earlier.folders) {
        if (path.isEmpty())
            continue;
        auto [folder, name] = Split(path);
        m_known[folder].push_back({std::move(name), sizes, true});
    }
    // Files first, then by name, as a listing would give them.
    for (auto &[folder, items] : m_known)
        std::sort(items.begin(), items.end(), [](const Known &a, const Known &b) {
            return a.isFolder != b.isFolder ? b.isFolder : a.name < b.name;
        });
}

qsizetype ScanComparison::find(QByteArrayView relative) const
{
    return m_earlier->indexOf(m_earlier->rootPath() + relative.toByteArray());
}

ScanComparison::Folder ScanComparison::folder(QByteArrayView relative, SizeMeasure measure) const
{
    if (!m_earlier) {
        const auto found = m_totals.find(relative.toByteArray());
        if (found == m_totals.end())
            return {Seen::Absent};
        return {Seen::Read, SizeIn(measure, found->second)};
    }
    // Up from the folder to the nearest one with a record: the folder is unread when that one
    // was, or when it names the step below it among what it could not open.
    QByteArrayView path = relative;
    QByteArrayView below;
    for (;;) {
        if (const qsizetype found = find(path); found >= 0) {
            const auto id = WalkSink::FolderId(found);
            if (m_unread.listingStopped(id) || (!below.isEmpty() && m_unread.contains(id, below)))
                return {Seen::Unread};
            if (!below.isEmpty())
                return {Seen::Absent};
            return {Seen::Read, SizeIn(measure, m_earlier->folder(found))};
        }
        if (path.isEmpty())
            return {Seen::Absent};
        const qsizetype slash = path.chopped(1).lastIndexOf('/');
        below = path.sliced(slash + 1).chopped(1);
        path = path.first(slash + 1);
    }
}

std::vector<ScanComparison::Earlier> ScanComparison::entries(QByteArrayView relative,
                                                             SizeMeasure measure) const
{
    std::vector<Earlier> items;
    if (!m_earlier) {
        const auto found = m_known.find(relative.toByteArray());
        if (found != m_known.end())
            for (const Known &item : found->second)
                items.push_back({item.name, SizeIn(measure, item.sizes), item.isFolder, false});
        return items;
    }
    const qsizetype folder = find(relative);
    if (folder < 0)
        return items;
    const auto id = WalkSink::FolderId(folder);
    FileRecord file;
    for (FileRecordReader reader = m_earlier->filesOf(id); reader.next(file);)
        items.push_back({file.name.toByteArray(), SizeIn(measure, file), false,
                         m_unread.contains(id, file.name)});
    for (const WalkSink::FolderId child : m_earlier->subfoldersOf(id))
        items.push_back({m_earlier->nameOf(child).toByteArray(),
                         SizeIn(measure, m_earlier->folder(child)), true,
                         m_unread.listingStopped(child)});
    // Subfolders that could not be opened have no record, only their name.
    for (const QByteArray &name : m_unread.namesIn(id))
        if (m_earlier->indexOf(m_earlier->pathOf(id) + name + '/') < 0 &&
            std::none_of(items.begin(), items.end(),
                         [&](const Earlier &item) { return !item.isFolder && item.name == name; }))
            items.push_back({name, 0, true, true});
    return items;
}
