#include "SearchModel.h"

#include "Formatting.h"

#include <QDateTime>
#include <QFile>

SearchModel::SearchModel(std::vector<Field> fields, QObject *parent)
    : QAbstractTableModel(parent)
    , m_fields(std::move(fields))
{}

void SearchModel::setFields(std::vector<Field> fields)
{
    beginResetModel();
    m_fields = std::move(fields);
    endResetModel();
}

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
    return parent.isValid() ? 0 : int(m_fields.size());
}

QVariant SearchModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const auto row = size_t(index.row());
    const Field field = m_fields[size_t(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        return displayed(row, field);
    case SortRole:
        return raw(row, field);
    case Qt::TextAlignmentRole:
        return field == Field::OnDisk || field == Field::Size
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    case FolderPathRole:
        return m_folders[row];
    case NameRole:
        return m_hits[row].name;
    default:
        return {};
    }
}

// An unknown date hides the date only: a saved scan may give sizes without dates. A file whose
// details could not be read has no bytes, which show as no digit.
QVariant SearchModel::displayed(size_t row, Field field) const
{
    const SearchHit &hit = m_hits[row];
    switch (field) {
    case Field::Name:
    case Field::Folder:
        return raw(row, field);
    case Field::OnDisk:
        return SizeText(hit.allocated);
    case Field::Size:
        return SizeText(hit.size);
    case Field::Date:
        return hit.date == FileRecord::UnknownDate
                   ? QString()
                   : DateText(QDateTime::fromSecsSinceEpoch(hit.date));
    }
    return {};
}

QVariant SearchModel::raw(size_t row, Field field) const
{
    const SearchHit &hit = m_hits[row];
    switch (field) {
    case Field::Name:
        return QFile::decodeName(hit.name);
    case Field::Folder:
        return QFile::decodeName(m_folders[row]);
    case Field::OnDisk:
        return hit.allocated;
    case Field::Size:
        return hit.size;
    case Field::Date:
        return hit.date;
    }
    return {};
}

QVariant SearchModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_headers.size())
        return {};
    return m_headers[section];
}
