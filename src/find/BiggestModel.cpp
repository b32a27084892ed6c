#include "BiggestModel.h"

#include "Formatting.h"

#include <QDateTime>
#include <QFile>

void BiggestModel::setResult(const DriveScan &scan, SearchResult result)
{
    beginResetModel();
    m_hits = std::move(result.hits);
    m_folders.clear();
    m_folders.reserve(m_hits.size());
    for (const SearchHit &hit : m_hits)
        m_folders.push_back(scan.pathOf(hit.folder));
    endResetModel();
}

void BiggestModel::clear()
{
    beginResetModel();
    m_hits.clear();
    m_folders.clear();
    endResetModel();
}

int BiggestModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_hits.size());
}

int BiggestModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BiggestModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const SearchHit &hit = m_hits[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return displayed(hit, index.row(), index.column());
    case SortRole:
        return raw(hit, index.row(), index.column());
    case Qt::TextAlignmentRole:
        return index.column() == OnDisk || index.column() == Size
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    case FolderPathRole:
        return m_folders[size_t(index.row())];
    case NameRole:
        return hit.name;
    default:
        return {};
    }
}

// A file whose details could not be read has no sizes or date to show.
QVariant BiggestModel::displayed(const SearchHit &hit, int row, int column) const
{
    const bool unread = hit.date == FileRecord::UnknownDate;
    switch (column) {
    case Name:
    case Folder:
        return raw(hit, row, column);
    case OnDisk:
        return unread ? QString() : SizeText(hit.allocated);
    case Size:
        return unread ? QString() : SizeText(hit.size);
    case Date:
        return unread ? QString() : DateText(QDateTime::fromSecsSinceEpoch(hit.date));
    }
    return {};
}

QVariant BiggestModel::raw(const SearchHit &hit, int row, int column) const
{
    switch (column) {
    case Name:
        return QFile::decodeName(hit.name);
    case Folder:
        return QFile::decodeName(m_folders[size_t(row)]);
    case OnDisk:
        return hit.allocated;
    case Size:
        return hit.size;
    case Date:
        return hit.date;
    }
    return {};
}

QVariant BiggestModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_headers.size())
        return {};
    return m_headers[section];
}
