#include "DirListModel.h"

#include "ScanComparison.h"

#include "FileIconCache.h"
#include "FolderCollection.h"

#include <QColor>
#include <QDateTime>
#include <QFile>

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
    if (m_list.size() > 0)
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
    if (m_list.size() > 0)
        emit dataChanged(index(0, Percent), index(rowCount() - 1, Percent), {Qt::ForegroundRole});
}

bool DirListModel::fill(const FolderCollection &folders, const QByteArray &folderPath,
                        PercentBase base, quint64 diskSize)
{
    ListRows rows;
    const bool read = rows.read(folders, folderPath, readOptions(base, diskSize));
    adopt(std::move(rows));
    return read;
}

ListRows::Options DirListModel::readOptions(PercentBase base, quint64 diskSize) const
{
    return {base, diskSize, m_measure, m_earlier};
}

void DirListModel::adopt(ListRows rows)
{
    beginResetModel();
    m_list = std::move(rows);
    endResetModel();
}

void DirListModel::setComparison(std::shared_ptr<const ScanComparison> earlier,
                                 const GrowthTexts &texts)
{
    // The column comes or goes: views must not ask for it meanwhile.
    beginResetModel();
    m_earlier = std::move(earlier);
    m_growthTexts = texts;
    endResetModel();
}

int DirListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_list.size());
}

int DirListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount + (m_earlier ? 1 : 0);
}

QVariant DirListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Row &row = m_list.row(size_t(index.row()));
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return displayData(row, column);
    case Qt::ToolTipRole: // the whole name, when the column is too narrow for it
        if (column == Growth && row.change == Change::Gone)
            return m_growthTexts.goneText;
        if (row.excluded && (column == Name || column == Size))
            return column == Name ? m_list.nameOf(row).toString() + u'\n' + m_excludedTip
                                  : m_excludedTip;
        // A hard-linked file's other names show no bytes: they say why.
        if (!row.counted && (column == Name || column == Size))
            return column == Name ? m_list.nameOf(row).toString() + u'\n' + m_linkedTip
                                  : m_linkedTip;
        return column == Name ? QVariant(m_list.nameOf(row).toString()) : QVariant();
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
        return m_list.keyOf(row).toByteArray();
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
        return section == Growth ? m_growthTexts.heading : m_headers.value(section);
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
        return m_list.nameOf(row).toString();
    case Size:
        return row.excluded ? m_excludedText : SizeText(row.size);
    case Percent:
        return row.excluded ? QString() : PercentText(row.percent);
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
        return m_growthTexts.newText;
    case Change::Unread:
        return m_growthTexts.unreadText;
    case Change::Unrecorded:
        return m_growthTexts.unknownText;
    case Change::Gone:
        if (row.growth == 0) // it held nothing: no amount tells it is gone
            return m_growthTexts.goneText;
        [[fallthrough]];
    case Change::Kept:
        // Nothing gained shows 0, with no sign: the size pattern leaves a zero blank.
        if (row.growth == 0)
            return QStringLiteral("0");
        return (row.growth > 0 ? QStringLiteral("+") : QStringLiteral("-")) +
               SizeText(row.growth > 0 ? quint64(row.growth) : 0 - quint64(row.growth)).trimmed();
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
    return row.isFolder || row.excludedFolder
               ? m_folderIcon
               : FileIconCache::instance().iconFor(m_list.nameOf(row).toString());
}

QVariant DirListModel::sortData(const Row &row, int column) const
{
    switch (column) {
    case Name:
        return m_list.nameOf(row).toString();
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

void DirListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columnCount() || m_list.size() < 2)
        return;
    const std::vector<quint32> sourceRows =
        m_list.orderBy(SortValue(column), order == Qt::AscendingOrder);

    emit layoutAboutToBeChanged({}, VerticalSortHint);
    std::vector<int> newRowOf(sourceRows.size());
    for (size_t place = 0; place < sourceRows.size(); ++place)
        newRowOf[sourceRows[place]] = int(place);
    m_list.reorder(sourceRows);

    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &index : from)
        to.append(createIndex(newRowOf[size_t(index.row())], index.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, VerticalSortHint);
}

ListRows::Value DirListModel::SortValue(int column)
{
    switch (column) {
    case Size:
        return ListRows::Value::Size;
    case Percent:
        return ListRows::Value::Percent;
    case Date:
        return ListRows::Value::Date;
    case Growth:
        return ListRows::Value::Growth;
    default:
        return ListRows::Value::Name;
    }
}
