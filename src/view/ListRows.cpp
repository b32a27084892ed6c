#include "ListRows.h"

#include "BackgroundPool.h"
#include "CollationKeys.h"
#include "DriveScan.h"
#include "FolderCollection.h"
#include "ListSubfolders.h"
#include "Paths.h"
#include "ScanComparison.h"
#include "UnreadEntries.h"

#include <QFile>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <unordered_map>

namespace {

// The rows in the order of (value, name rank). The ranks are unique, so the order is complete and
// descending is the exact reverse of ascending. Sorting small items rather than row numbers keeps
// every comparison within one cache line.
template<typename Rows, typename ValueOf>
std::vector<quint32> OrderOfRows(const Rows &rows, ValueOf valueOf, bool ascending)
{
    using Value = decltype(valueOf(rows.front()));
    struct Item
    {
        Value value;
        quint32 rank;
        quint32 row;
    };
    std::vector<Item> items;
    items.reserve(rows.size());
    for (quint32 row = 0; row < rows.size(); ++row)
        items.push_back({valueOf(rows[row]), rows[row].nameRank, row});
    const auto less = [](const Item &a, const Item &b) {
        return a.value < b.value || (!(b.value < a.value) && a.rank < b.rank);
    };
    if (ascending)
        std::stable_sort(items.begin(), items.end(), less);
    else
        std::stable_sort(items.begin(), items.end(),
                         [&](const Item &a, const Item &b) { return less(b, a); });
    std::vector<quint32> order;
    order.reserve(items.size());
    for (const Item &item : items)
        order.push_back(item.row);
    return order;
}

} // namespace

bool ListRows::read(const FolderCollection &folders, const QByteArray &folderPath,
                    const Options &options)
{
    m_rows.clear();
    m_keys.clear();
    m_names.clear();
    m_namesRanked = false;
    m_folderPath = AddSlash(folderPath);
    m_folderGrowth.reset();
    const FolderRecord folder = folders.find(m_folderPath);
    // Read once: during a scan the total grows, and every row must share one reference.
    m_folderSize = SizeIn(options.measure, folder);
    if (folder.isNull())
        return false;

    const quint64 reference = options.base == PercentBase::Disk ? options.diskSize : m_folderSize;
    // Outside 0 to 100 a row takes the colour of the row before it, in this order.
    Rgb colour = PercentColour::FirstRowFallback;
    const auto add = [&](QByteArrayView key, QByteArrayView name, quint64 size, qint64 date,
                         bool isFolder) {
        Row &row = appendRow(key, name);
        row.size = size;
        row.percent = Percentage(size, reference);
        row.date = date;
        colour = PercentColourOf(row.percent, colour);
        row.colour = colour;
        row.isFolder = isFolder;
    };

    // The disk decides which subfolders exist now, the records what they hold. A folder that
    // held none when scanned can only have unrecorded ones now, which get no row: skip the disk.
    // A saved scan's folder is on no disk here: its records are all there is.
    std::vector<std::pair<QByteArray, FolderRecord>> subfolders;
    if (!m_folderPath.startsWith('/')) {
        const auto [scan, id] = folders.locate(m_folderPath);
        for (const WalkSink::FolderId child : scan->subfoldersOf(id))
            subfolders.emplace_back(m_folderPath + scan->nameOf(child).toByteArray() + '/',
                                    scan->folder(child));
    } else if (folder.subfolderEntries() > 0) {
        for (const QByteArray &name : ListSubfolders(m_folderPath)) {
            QByteArray path = m_folderPath + name + '/';
            // None when made after the scan, or not listable during it.
            if (const FolderRecord subfolder = folders.find(path); !subfolder.isNull())
                subfolders.emplace_back(std::move(path), subfolder);
        }
    }
    m_rows.reserve(folder.fileCount() + subfolders.size());
    for (const FileRecord &file : folder.files()) {
        add(file.name, file.name, SizeIn(options.measure, file), file.date, false);
        m_rows.back().counted = file.counted;
    }
    for (const auto &[path, subfolder] : subfolders)
        add(path, GetFolderName(path), SizeIn(options.measure, subfolder), subfolder.date(), true);
    addExcluded(folders);
    if (options.earlier && m_folderPath.startsWith(options.earlier->current()))
        compareRows(folders, options);
    return true;
}

// Shown by name, so that nothing left out goes unseen, and counted nowhere. Its key is the name,
// as a file's is: an excluded folder has no record to open.
void ListRows::addExcluded(const FolderCollection &folders)
{
    const auto [scan, id] = folders.locate(m_folderPath);
    if (!scan || id == WalkSink::NoFolder || scan->excludedCount() == 0)
        return;
    for (const FolderNote &note : scan->folderNotes()) {
        if (note.kind != FolderNote::Excluded || note.folder != WalkSink::FolderId(id))
            continue;
        Row &row = appendRow(note.name, note.name);
        row.date = FileRecord::UnknownDate;
        row.counted = false;
        row.excluded = true;
        row.excludedFolder = note.isFolder;
    }
}

ListRows::Row &ListRows::appendRow(QByteArrayView key, QByteArrayView name)
{
    Row &row = m_rows.emplace_back();
    row.keyAt = m_keys.size();
    row.keyLength = quint32(key.size());
    m_keys.append(key);
    row.nameAt = m_names.size();
    m_names.append(QFile::decodeName(QByteArray::fromRawData(name.data(), name.size())));
    row.nameLength = quint32(m_names.size() - row.nameAt);
    return row;
}

// Rows are matched by name and kind: a folder that became a file is one gone and one new. What
// could not be read, now or then, is on the disk still: its change is unknown, never gone or new.
// So is a file an earlier state that names only some files does not name.
void ListRows::compareRows(const FolderCollection &folders, const Options &options)
{
    const bool everyFile = options.earlier->knowsEveryFile();
    const auto [scan, id] = folders.locate(m_folderPath);
    const QByteArrayView relative = QByteArrayView(m_folderPath).sliced(scan->rootPath().size());
    const UnreadEntries unreadNow(*scan);
    const bool stoppedNow = unreadNow.listingStopped(id);
    const ScanComparison::Folder then = options.earlier->folder(relative, options.measure);
    std::vector<ScanComparison::Earlier> earlier =
        options.earlier->entries(relative, options.measure);
    std::unordered_map<QByteArray, size_t> byName; // "name" files, "name/" folders
    byName.reserve(earlier.size());
    for (size_t i = 0; i < earlier.size(); ++i)
        byName.emplace(earlier[i].isFolder ? earlier[i].name + '/' : earlier[i].name, i);
    std::vector<bool> matched(earlier.size());
    for (Row &row : m_rows) {
        if (row.excluded) {
            // Counted then, left out now: what it held counts no more, told on its one row.
            const QByteArray name = keyOf(row).toByteArray();
            const auto found = byName.find(row.excludedFolder ? name + '/' : name);
            if (found != byName.end() && !earlier[found->second].unread) {
                matched[found->second] = true;
                row.change = Change::Kept;
                row.growth = -qint64(earlier[found->second].size);
            }
            continue;
        }
        const QByteArray name =
            row.isFolder ? GetFolderName(keyOf(row).toByteArray()) : keyOf(row).toByteArray();
        // A subfolder's listing that stopped short is noted in its own record.
        const bool unread = unreadNow.contains(id, name) ||
                            (row.isFolder && unreadNow.listingStopped(WalkSink::FolderId(
                                                 scan->indexOf(m_folderPath + name + '/')))) ||
                            (stoppedNow && !row.isFolder && row.date == FileRecord::UnknownDate);
        const auto found = byName.find(row.isFolder ? name + '/' : name);
        if (found != byName.end())
            matched[found->second] = true;
        if (unread || (found == byName.end() ? then.seen == ScanComparison::Seen::Unread
                                             : earlier[found->second].unread)) {
            row.change = Change::Unread;
        } else if (found == byName.end() && !row.isFolder && !everyFile) {
            row.change = Change::Unrecorded;
        } else if (found == byName.end()) {
            row.change = Change::New;
            row.growth = qint64(row.size);
        } else {
            row.change = Change::Kept;
            row.growth = qint64(row.size) - qint64(earlier[found->second].size);
        }
    }
    for (size_t i = 0; i < earlier.size(); ++i) {
        if (matched[i])
            continue;
        const ScanComparison::Earlier &gone = earlier[i];
        Row &row = appendRow(gone.isFolder ? m_folderPath + gone.name + '/' : gone.name, gone.name);
        row.date = FileRecord::UnknownDate;
        row.isFolder = gone.isFolder;
        // Missing from a listing that stopped short, or not opened now: maybe there still.
        if (gone.unread || stoppedNow || unreadNow.contains(id, gone.name)) {
            row.change = Change::Unread;
            continue;
        }
        row.change = Change::Gone;
        row.growth = -qint64(gone.size);
    }
    // What its rows gained: the change of its total, but for what could not be read, which
    // would count as lost or gained whole.
    if (then.seen == ScanComparison::Seen::Read && !everyFile) {
        // Files unnamed then gained what the total says they did.
        m_folderGrowth = qint64(m_folderSize) - qint64(then.size);
    } else if (then.seen == ScanComparison::Seen::Read) {
        m_folderGrowth = 0;
        for (const Row &row : m_rows)
            *m_folderGrowth += row.growth;
    }
}

QByteArrayView ListRows::keyOf(const Row &row) const
{
    return QByteArrayView(m_keys).sliced(row.keyAt, row.keyLength);
}

QStringView ListRows::nameOf(const Row &row) const
{
    return QStringView(m_names).sliced(row.nameAt, row.nameLength);
}

void ListRows::rankNames()
{
    if (m_namesRanked)
        return;
    // Collating once per fill and then comparing ranks is many times faster than comparing
    // collation keys in every sort. Keys are slow to make, so for a large folder two halves are
    // keyed and sorted at once, on two cores, and then merged.
    // The key's first 8 bytes, as one number whose order is theirs: most comparisons end there,
    // with no look into the keys' buffer.
    struct Named
    {
        quint64 prefix;
        std::string_view key;
        quint32 row;
    };
    const auto named = [](std::string_view key, quint32 row) {
        quint64 prefix = 0;
        for (size_t i = 0; i < 8; ++i)
            prefix = prefix << 8 | (i < key.size() ? quint64(std::uint8_t(key[i])) : 0);
        return Named{prefix, key, row};
    };
    // First-level keys order two names only where they differ within the shorter one; the rest,
    // mostly names alike but for accents or case, take the collator's whole keys, made once.
    std::vector<std::string> wholeKeys;
    const auto lessBy = [this, &wholeKeys](const CollationKeys &keys) {
        return [this, &wholeKeys, &keys](const Named &a, const Named &b) {
            // Decided by the prefixes where they differ within both keys: beyond a key's end,
            // its padding is no byte of it.
            if (const quint64 differ = a.prefix ^ b.prefix; differ != 0) {
                const auto at = size_t(std::countl_zero(differ) / 8);
                if (at < a.key.size() && at < b.key.size())
                    return a.prefix < b.prefix;
            }
            int result = keys.compare(a.key, b.key);
            if (result == 0 && keys.firstLevelOnly()) {
                for (const quint32 row : {a.row, b.row})
                    if (wholeKeys[row].empty())
                        keys.wholeKey(nameOf(m_rows[row]), wholeKeys[row]);
                result = wholeKeys[a.row].compare(wholeKeys[b.row]);
            }
            if (result == 0) // names that collate alike, or bytes that decode alike
                result = keyOf(m_rows[a.row]).compare(keyOf(m_rows[b.row]));
            return result < 0;
        };
    };
    const auto sortedPart = [&](quint32 from, quint32 to, CollationKeys &keys) {
        keys.reserve(to - from, size_t(to - from) * 48);
        for (quint32 row = from; row < to; ++row)
            keys.add(nameOf(m_rows[row]));
        std::vector<Named> part;
        part.reserve(to - from);
        for (quint32 row = from; row < to; ++row)
            part.push_back(named(keys.key(row - from), row));
        // fewer comparisons than std::sort
        std::stable_sort(part.begin(), part.end(), lessBy(keys));
        return part;
    };

    constexpr quint32 ShareFrom = 10000; // below this a second thread is not worth starting
    const auto count = quint32(m_rows.size());
    const quint32 half = count < ShareFrom ? count : count / 2;
    CollationKeys firstKeys, secondKeys; // one collator per thread
    const bool asciiOnly = CollationKeys::IsAsciiOnly(m_names);
    firstKeys.setAsciiOnly(asciiOnly);
    secondKeys.setAsciiOnly(asciiOnly);
    if (firstKeys.firstLevelOnly())
        wholeKeys.resize(count);
    std::vector<Named> first, second;
    if (half < count)
        BackgroundPool::runBoth([&] { first = sortedPart(0, half, firstKeys); },
                                [&] { second = sortedPart(half, count, secondKeys); });
    else
        first = sortedPart(0, half, firstKeys);

    // Both halves are done: the first's collator serves this thread.
    const auto less = lessBy(firstKeys);
    auto a = first.begin();
    auto b = second.cbegin();
    for (quint32 rank = 0; rank < count; ++rank) {
        const bool fromFirst = b == second.cend() || (a != first.end() && !less(*b, *a));
        m_rows[(fromFirst ? a++ : b++)->row].nameRank = rank;
    }
    m_namesRanked = true;
}

std::vector<quint32> ListRows::orderBy(Value value, bool ascending)
{
    rankNames(); // every value falls back to the name on ties
    switch (value) {
    case Value::Size:
        return OrderOfRows(
            m_rows, [](const Row &row) { return row.size; }, ascending);
    case Value::Percent:
        return OrderOfRows(
            m_rows, [](const Row &row) { return row.percent; }, ascending);
    case Value::Date:
        return OrderOfRows(
            m_rows, [](const Row &row) { return row.date; }, ascending);
    case Value::Growth:
        return OrderOfRows(
            m_rows, [](const Row &row) { return row.growth; }, ascending);
    case Value::Name:
        break;
    }
    // The ranks are the places in the name order already, each once.
    const auto count = quint32(m_rows.size());
    std::vector<quint32> order(count);
    for (quint32 row = 0; row < count; ++row)
        order[ascending ? m_rows[row].nameRank : count - 1 - m_rows[row].nameRank] = row;
    return order;
}

void ListRows::reorder(const std::vector<quint32> &sourceRows)
{
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    for (const quint32 source : sourceRows)
        sorted.push_back(m_rows[source]);
    m_rows = std::move(sorted);
}
