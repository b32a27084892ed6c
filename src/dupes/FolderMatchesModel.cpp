#include "FolderMatchesModel.h"

#include "DriveScan.h"
#include "Formatting.h"

#include <QFile>

std::shared_ptr<const FolderMatchesModel::Rows>
FolderMatchesModel::rowsOf(const DriveScan &scan, std::vector<FolderMatch> matches)
{
    auto rows = std::make_shared<Rows>();
    rows->paths.reserve(matches.size());
    for (const FolderMatch &match : matches) {
        std::vector<QByteArray> &paths = rows->paths.emplace_back();
        for (const WalkSink::FolderId folder : match.folders)
            paths.push_back(scan.pathOf(folder));
    }
    rows->matches = std::move(matches);
    return rows;
}

void FolderMatchesModel::setWords(Words words)
{
    m_words = std::move(words);
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void FolderMatchesModel::setRows(std::shared_ptr<const Rows> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

QModelIndex FolderMatchesModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    return createIndex(row, column, parent.isValid() ? quintptr(parent.row()) + 1 : MatchRow);
}

QModelIndex FolderMatchesModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == MatchRow)
        return {};
    return createIndex(int(child.internalId() - 1), 0, MatchRow);
}

int FolderMatchesModel::rowCount(const QModelIndex &parent) const
{
    if (!m_rows)
        return 0;
    if (!parent.isValid())
        return int(m_rows->matches.size());
    if (parent.column() != 0 || parent.internalId() != MatchRow)
        return 0;
    return int(m_rows->paths[size_t(parent.row())].size());
}

int FolderMatchesModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QVariant FolderMatchesModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const bool isMatch = index.internalId() == MatchRow;
    const size_t at = isMatch ? size_t(index.row()) : size_t(index.internalId() - 1);
    const FolderMatch &match = m_rows->matches[at];
    if (role == Qt::TextAlignmentRole)
        return index.column() == Folder ? QVariant() : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (!isMatch && role == FolderPathRole)
        return m_rows->paths[at][size_t(index.row())];
    if (role != Qt::DisplayRole && role != SortRole)
        return {};
    const bool shown = role == Qt::DisplayRole;
    if (!isMatch)
        return index.column() == Folder
                   ? QVariant(QFile::decodeName(m_rows->paths[at][size_t(index.row())]))
                   : QVariant();
    switch (index.column()) {
    case Folder: {
        QStringList paths;
        for (const QByteArray &path : m_rows->paths[at])
            paths << QFile::decodeName(path);
        return paths.join(m_words.between);
    }
    case Percent:
        return shown ? QVariant(m_words.percent(quint64(match.percent))) : QVariant(match.percent);
    case Bytes:
        return shown ? QVariant(SizeText(match.bytes)) : QVariant(match.bytes);
    default:
        return {};
    }
}

QVariant FolderMatchesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_words.headers.size())
        return {};
    return m_words.headers[section];
}
