#include "SearchModel.h"

#include "Formatting.h"

#include <QDateTime>
#include <QFile>

void SearchModel::setResult(const DriveScan &scan, SearchResult result)
{
    beginResetModel();
    m_hits = std::move(result.hits);
    m_folders.clear();
    m_folders.reserve(m_hits.size());
    for (const SearchHit &hit : m_hits)
        m_folders.push_back(scan.pathOf(hit.folder));
    endResetModel();
}

void SearchModel::clear()
{
    beginResetModel();
    m_hits.clear();
    m_folders.clear();
    endResetModel();
}

int SearchModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_hits.size());
}

int SearchModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SearchModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const SearchHit &hit = m_hits[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Name:
            return QFile::decodeName(hit.name);
        case Folder:
            return QFile::decodeName(m_folders[size_t(index.row())]);
        case Size:
            return hit.date == FileRecord::UnknownDate ? QString() : SizeText(hit.size);
        case Date:
            return hit.date == FileRecord::UnknownDate
                       ? QString()
                       : DateText(QDateTime::fromSecsSinceEpoch(hit.date));
        }
        return {};
    case Qt::TextAlignmentRole:
        return index.column() == Size ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case FolderPathRole:
        return m_folders[size_t(index.row())];
    case NameRole:
        return hit.name;
    default:
        return {};
    }
}

QVariant SearchModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_headers.size())
        return {};
    return m_headers[section];
}
