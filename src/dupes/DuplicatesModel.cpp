#include "DuplicatesModel.h"

#include "DriveScan.h"
#include "Formatting.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <numeric>

std::shared_ptr<const DuplicatesModel::Rows>
DuplicatesModel::rowsOf(const DriveScan &scan, std::vector<DuplicateGroup> groups)
{
    auto rows = std::make_shared<Rows>();
    rows->groups.reserve(groups.size());
    for (DuplicateGroup &found : groups) {
        Group group;
        group.folders.reserve(found.copies.size());
        for (const DuplicateCopy &copy : found.copies) {
            group.folders.push_back(scan.pathOf(copy.folder));
            group.shared.push_back(found.isShared(copy));
        }
        group.waste = {found.waste(SizeMeasure::Apparent), found.waste(SizeMeasure::OnDisk)};
        for (size_t measure = 0; measure < 2; ++measure)
            rows->waste[measure] += group.waste[measure];
        group.group = std::move(found);
        rows->groups.push_back(std::move(group));
    }
    for (size_t measure = 0; measure < 2; ++measure) {
        std::vector<quint32> &order = rows->order[measure];
        order.resize(rows->groups.size());
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(), [&](quint32 a, quint32 b) {
            return rows->groups[a].waste[measure] > rows->groups[b].waste[measure];
        });
    }
    return rows;
}

void DuplicatesModel::setWords(Words words)
{
    m_words = std::move(words);
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (m_rows && !m_rows->groups.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void DuplicatesModel::setRows(std::shared_ptr<const Rows> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

// The groups' order changes with the measure: the views read them anew.
void DuplicatesModel::setSizeMeasure(SizeMeasure measure)
{
    if (measure == m_measure)
        return;
    beginResetModel();
    m_measure = measure;
    endResetModel();
}

const DuplicatesModel::Group *DuplicatesModel::groupOf(const QModelIndex &index) const
{
    if (!m_rows || !index.isValid() || index.model() != this)
        return nullptr;
    const size_t shown =
        index.internalId() == GroupRow ? size_t(index.row()) : size_t(index.internalId() - 1);
    return &m_rows->groups[m_rows->order[measureIndex()][shown]];
}

QModelIndex DuplicatesModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    return createIndex(row, column, parent.isValid() ? quintptr(parent.row()) + 1 : GroupRow);
}

QModelIndex DuplicatesModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == GroupRow)
        return {};
    return createIndex(int(child.internalId() - 1), 0, GroupRow);
}

int DuplicatesModel::rowCount(const QModelIndex &parent) const
{
    if (!m_rows)
        return 0;
    if (!parent.isValid())
        return int(m_rows->groups.size());
    if (parent.column() != 0 || parent.internalId() != GroupRow)
        return 0;
    return int(groupOf(parent)->group.copies.size());
}

int DuplicatesModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QVariant DuplicatesModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Group &group = *groupOf(index);
    if (role == GroupRole)
        return int(&group - m_rows->groups.data());
    if (role == Qt::TextAlignmentRole)
        return index.column() == Size || index.column() == OnDisk || index.column() == Waste
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    if (index.internalId() == GroupRow)
        return role == CopyRole ? QVariant(-1) : groupData(group, index.column(), role);
    return role == CopyRole ? QVariant(index.row())
                            : copyData(group, size_t(index.row()), index.column(), role);
}

// A group shows its first copy's name, the size of each copy, how many there are and what
// keeping one frees.
QVariant DuplicatesModel::groupData(const Group &group, int column, int role) const
{
    if (role != Qt::DisplayRole && role != SortRole)
        return {};
    const bool shown = role == Qt::DisplayRole;
    switch (column) {
    case Name:
        return QFile::decodeName(group.group.copies.front().name);
    case Size:
        return shown ? QVariant(SizeText(group.group.size)) : QVariant(group.group.size);
    case Copies:
        return shown ? QVariant(m_words.copies(group.group.copies.size()))
                     : QVariant(quint64(group.group.copies.size()));
    case Waste: {
        const quint64 waste = group.waste[measureIndex()];
        return shown ? QVariant(SizeText(waste)) : QVariant(waste);
    }
    default:
        return shown ? QVariant(QString()) : QVariant();
    }
}

QVariant DuplicatesModel::copyData(const Group &group, size_t at, int column, int role) const
{
    const DuplicateCopy &copy = group.group.copies[at];
    switch (role) {
    case FolderPathRole:
        return group.folders[at];
    case NameRole:
        return copy.name;
    case Qt::ToolTipRole:
        return column == Copies && group.shared[at] ? QVariant(m_words.sharedTip) : QVariant();
    case Qt::DisplayRole:
    case SortRole:
        break;
    default:
        return {};
    }
    const bool shown = role == Qt::DisplayRole;
    switch (column) {
    case Name:
        return QFile::decodeName(copy.name);
    case Folder:
        return QFile::decodeName(group.folders[at]);
    case Size:
        return shown ? QVariant(SizeText(group.group.size)) : QVariant(group.group.size);
    case OnDisk:
        return shown ? QVariant(SizeText(copy.allocated)) : QVariant(copy.allocated);
    case Date:
        if (!shown)
            return copy.date;
        return copy.date == FileRecord::UnknownDate
                   ? QString()
                   : DateText(QDateTime::fromSecsSinceEpoch(copy.date));
    case Copies:
        return copiesText(group, at);
    default:
        return shown ? QVariant(QString()) : QVariant();
    }
}

// Whether the copy's storage is shared, and how many names it has when more than one.
QString DuplicatesModel::copiesText(const Group &group, size_t at) const
{
    QStringList said;
    if (group.shared[at])
        said << m_words.shared;
    if (const quint32 names = group.group.copies[at].names; names > 1)
        said << m_words.names(names);
    return said.join(QStringLiteral(", "));
}

QVariant DuplicatesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_words.headers.size())
        return {};
    return m_words.headers[section];
}
