#include "DirListModel.h"

#include "ScanComparison.h"

#include "CollationKeys.h"
#include "FileIconCache.h"
#include "FolderCollection.h"
#include "ListSubfolders.h"
#include "Paths.h"

#include <QColor>
#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <thread>
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

DirListModel::DirListModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

void DirListModel::setHeaders(const QStringList &headers)
{
    m_headers = headers;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void DirListModel::setFolderIcon(const QIcon &icon)
{
    m_folderIcon = icon;
    if (!m_rows.empty())
        emit dataChanged(index(0, Name), index(rowCount() - 1, Name), {Qt::DecorationRole});
}

void DirListModel::setViewPalette(const QPalette &palette)
{
    const Rgb base = palette.color(QPalette::Base).rgb() & 0xFFFFFF;
    const Rgb text = palette.color(QPalette::Text).rgb() & 0xFFFFFF;
    if (base == m_base && text == m_text)
        return;
    m_base = base;
    m_text = text;
    if (!m_rows.empty())
        emit dataChanged(index(0, Percent), index(rowCount() - 1, Percent), {Qt::ForegroundRole});
}

bool DirListModel::fill(const FolderCollection &folders, const QByteArray &folderPath,
                        PercentBase base, quint64 diskSize)
{
    beginResetModel();
    m_rows.clear();
    m_keys.clear();
    m_names.clear();
    m_namesRanked = false;
    m_folderPath = AddSlash(folderPath);
    m_folderGrowth.reset();
    const FolderRecord folder = folders.find(m_folderPath);
    // Read once: during a scan the total grows, and every row must share one reference.
    m_folderSize = SizeIn(m_measure, folder);
    if (folder.isNull()) {
        endResetModel();
        return false;
    }

    const quint64 reference = base == PercentBase::Disk ? diskSize : m_folderSize;
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
    for (const FileRecord &file : folder.files())
        add(file.name, file.name, SizeIn(m_measure, file), file.date, false);
    for (const auto &[path, subfolder] : subfolders)
        add(path, GetFolderName(path), SizeIn(m_measure, subfolder), subfolder.date(), true);
    if (m_earlier && m_folderPath.startsWith(m_earlier->current()))
        compareRows(folders);
    endResetModel();
    return true;
}

DirListModel::Row &DirListModel::appendRow(QByteArrayView key, QByteArrayView name)
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

void DirListModel::setComparison(std::shared_ptr<const ScanComparison> earlier,
                                 const QString &heading, const QString &newText,
                                 const QString &goneText)
{
    m_earlier = std::move(earlier);
    m_growthHeading = heading;
    m_newText = newText;
    m_goneText = goneText;
}

// Rows are matched by name and kind: a folder that became a file is one gone and one new.
void DirListModel::compareRows(const FolderCollection &folders)
{
    const DriveScan *scan = folders.locate(m_folderPath).first;
    const QByteArrayView relative = QByteArrayView(m_folderPath).sliced(scan->rootPath().size());
    if (const auto then = m_earlier->folderSize(relative, m_measure))
        m_folderGrowth = qint64(m_folderSize) - qint64(*then);
    std::vector<ScanComparison::Earlier> earlier = m_earlier->entries(relative, m_measure);
    std::unordered_map<QByteArray, size_t> byName; // "name" files, "name/" folders
    byName.reserve(earlier.size());
    for (size_t i = 0; i < earlier.size(); ++i)
        byName.emplace(earlier[i].isFolder ? earlier[i].name + '/' : earlier[i].name, i);
    std::vector<bool> matched(earlier.size());
    for (Row &row : m_rows) {
        QByteArray name =
            row.isFolder ? GetFolderName(keyOf(row).toByteArray()) + '/' : keyOf(row).toByteArray();
        const auto found = byName.find(name);
        if (found == byName.end()) {
            row.change = Change::New;
            row.growth = qint64(row.size);
            continue;
        }
        matched[found->second] = true;
        row.change = Change::Kept;
        row.growth = qint64(row.size) - qint64(earlier[found->second].size);
    }
    for (size_t i = 0; i < earlier.size(); ++i) {
        if (matched[i])
            continue;
        const ScanComparison::Earlier &gone = earlier[i];
        Row &row = appendRow(gone.isFolder ? m_folderPath + gone.name + '/' : gone.name, gone.name);
        row.date = FileRecord::UnknownDate;
        row.isFolder = gone.isFolder;
        row.change = Change::Gone;
        row.growth = -qint64(gone.size);
    }
}

QByteArrayView DirListModel::keyOf(const Row &row) const
{
    return QByteArrayView(m_keys).sliced(row.keyAt, row.keyLength);
}

QStringView DirListModel::nameOf(const Row &row) const
{
    return QStringView(m_names).sliced(row.nameAt, row.nameLength);
}

int DirListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int DirListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount + (m_earlier ? 1 : 0);
}

QVariant DirListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Row &row = m_rows[size_t(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return displayData(row, column);
    case Qt::ToolTipRole: // the whole name, when the column is too narrow for it
        return column == Name ? QVariant(nameOf(row).toString()) : QVariant();
    case Qt::DecorationRole:
        return decorationData(row, column);
    case Qt::TextAlignmentRole:
        return alignmentData(column);
    case Qt::ForegroundRole:
        if (row.change == Change::Gone) // no longer there: greyed, as a disabled entry
            return QColor(Qt::gray);
        if (column == Growth && row.growth != 0)
            return QColor(row.growth > 0 ? QColor(0xc0, 0x20, 0x20) : QColor(0x20, 0x80, 0x20));
        return column == Percent
                   ? QVariant(QColor::fromRgb(ReadablePercentColour(row.colour, m_base, m_text)))
                   : QVariant();
    case SortRole:
        return sortData(row, column);
    case KeyRole:
        return keyOf(row).toByteArray();
    case IsFolderRole:
        return row.isFolder;
    default:
        return {};
    }
}

QVariant DirListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return section == Growth ? m_growthHeading : m_headers.value(section);
    case Qt::TextAlignmentRole:
        return alignmentData(section);
    default:
        return {};
    }
}

QVariant DirListModel::displayData(const Row &row, int column) const
{
    switch (column) {
    case Name:
        return nameOf(row).toString();
    case Size:
        return SizeText(row.size);
    case Percent:
        return PercentText(row.percent);
    case Date:
        return row.date == FileRecord::UnknownDate
                   ? QString()
                   : DateText(QDateTime::fromSecsSinceEpoch(row.date));
    case Growth:
        return GrowthText(row);
    default:
        return {};
    }
}

QString DirListModel::GrowthText(const Row &row) const
{
    switch (row.change) {
    case Change::New:
        return m_newText;
    case Change::Gone:
        return m_goneText;
    case Change::Kept:
        if (row.growth == 0)
            return QStringLiteral("0");
        return (row.growth > 0 ? QStringLiteral("+") : QStringLiteral("-")) +
               SizeText(quint64(row.growth > 0 ? row.growth : -row.growth)).trimmed();
    case Change::Unknown:
        break;
    }
    return {};
}

QVariant DirListModel::decorationData(const Row &row, int column) const
{
    if (column != Name)
        return {};
    // Asked only for the rows a view shows, so a large folder does not wait for its icons.
    return row.isFolder ? m_folderIcon : FileIconCache::instance().iconFor(nameOf(row).toString());
}

QVariant DirListModel::sortData(const Row &row, int column) const
{
    switch (column) {
    case Name:
        return nameOf(row).toString();
    case Size:
        return row.size;
    case Percent:
        return row.percent;
    case Date:
        return row.date;
    case Growth:
        return row.growth;
    default:
        return {};
    }
}

QVariant DirListModel::alignmentData(int column)
{
    // An int rather than Qt::Alignment: Qt 6.4's views read the role with toInt().
    return int((column == Size || column == Growth ? Qt::AlignRight : Qt::AlignLeft) |
               Qt::AlignVCenter);
}

void DirListModel::rankNames()
{
    if (m_namesRanked)
        return;
    // Collating once per fill and then comparing ranks is many times faster than comparing
    // collation keys in every sort. Keys are slow to make, so for a large folder two halves are
    // keyed and sorted at once, on two cores, and then merged.
    struct Named
    {
        std::string_view key;
        quint32 row;
    };
    const auto less = [this](const Named &a, const Named &b) {
        int result = a.key.compare(b.key);
        if (result == 0) // names that collate alike, or bytes that decode alike
            result = keyOf(m_rows[a.row]).compare(keyOf(m_rows[b.row]));
        return result < 0;
    };
    const auto sortedPart = [&](quint32 from, quint32 to, CollationKeys &keys) {
        keys.reserve(to - from, size_t(to - from) * 48);
        for (quint32 row = from; row < to; ++row)
            keys.add(nameOf(m_rows[row]));
        std::vector<Named> part;
        part.reserve(to - from);
        for (quint32 row = from; row < to; ++row)
            part.push_back({keys.key(row - from), row});
        std::stable_sort(part.begin(), part.end(), less); // fewer comparisons than std::sort
        return part;
    };

    constexpr quint32 ShareFrom = 10000; // below this a second thread is not worth starting
    const auto count = quint32(m_rows.size());
    const quint32 half = count < ShareFrom ? count : count / 2;
    CollationKeys firstKeys, secondKeys; // one collator per thread
    std::vector<Named> second;
    std::thread helper;
    if (half < count)
        helper = std::thread([&] { second = sortedPart(half, count, secondKeys); });
    const std::vector<Named> first = sortedPart(0, half, firstKeys);
    if (helper.joinable())
        helper.join();

    auto a = first.begin();
    auto b = second.cbegin();
    for (quint32 rank = 0; rank < count; ++rank) {
        const bool fromFirst = b == second.cend() || (a != first.end() && !less(*b, *a));
        m_rows[(fromFirst ? a++ : b++)->row].nameRank = rank;
    }
    m_namesRanked = true;
}

void DirListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columnCount() || m_rows.size() < 2)
        return;
    rankNames(); // every column falls back to the name on ties

    const bool ascending = order == Qt::AscendingOrder;
    std::vector<quint32> sourceRows;
    switch (column) {
    case Size:
        sourceRows = OrderOfRows(
            m_rows, [](const Row &row) { return row.size; }, ascending);
        break;
    case Percent:
        sourceRows = OrderOfRows(
            m_rows, [](const Row &row) { return row.percent; }, ascending);
        break;
    case Date:
        sourceRows = OrderOfRows(
            m_rows, [](const Row &row) { return row.date; }, ascending);
        break;
    case Growth:
        sourceRows = OrderOfRows(
            m_rows, [](const Row &row) { return row.growth; }, ascending);
        break;
    default:
        sourceRows = OrderOfRows(
            m_rows, [](const Row &row) { return row.nameRank; }, ascending);
        break;
    }

    emit layoutAboutToBeChanged({}, VerticalSortHint);
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newRowOf(m_rows.size());
    for (const quint32 source : sourceRows) {
        newRowOf[source] = int(sorted.size());
        sorted.push_back(m_rows[source]);
    }
    m_rows = std::move(sorted);

    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &index : from)
        to.append(createIndex(newRowOf[size_t(index.row())], index.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, VerticalSortHint);
}
