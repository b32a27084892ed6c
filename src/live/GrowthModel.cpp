#include "GrowthModel.h"

#include "Formatting.h"

#include <QFile>

#include <cmath>

GrowthModel::GrowthModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

void GrowthModel::setHeaders(const QStringList &headers)
{
    m_headers = headers;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void GrowthModel::setRows(const QByteArray &root, std::vector<GrowthLog::Row> rows, bool onDisk,
                          const QString &rateUnit)
{
    beginResetModel();
    m_root = root;
    m_rows = std::move(rows);
    m_onDisk = onDisk;
    m_rateUnit = rateUnit;
    endResetModel();
}

int GrowthModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int GrowthModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant GrowthModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const GrowthLog::Row &row = m_rows[size_t(index.row())];
    const qint64 growth = m_onDisk ? row.allocatedGrowth : row.growth;
    const quint64 size = m_onDisk ? row.allocated : row.size;
    if (role == PathRole)
        return row.path;
    if (role == Qt::TextAlignmentRole)
        return index.column() == Name ? QVariant() : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == SortRole) {
        switch (index.column()) {
        case Name:
            return QFile::decodeName(row.path);
        case Growth:
            return growth;
        case Rate:
            return row.rate;
        default:
            return size;
        }
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Name: {
        const QByteArray relative =
            row.path.startsWith(m_root) ? row.path.sliced(m_root.size()) : row.path;
        return relative.isEmpty() ? QFile::decodeName(m_root) : QFile::decodeName(relative);
    }
    case Growth:
        return (growth < 0 ? QString(QChar(0x2212)) : QStringLiteral("+")) +
               GroupedText(quint64(std::llabs(growth)));
    case Rate:
        return QString(m_rateUnit)
            .replace(QStringLiteral("%s"),
                     (row.rate < 0 ? QString(QChar(0x2212)) : QString()) +
                         GroupedText(quint64(std::llround(std::fabs(row.rate)))));
    default:
        return GroupedText(size);
    }
}

QVariant GrowthModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_headers.size())
        return {};
    return m_headers[section];
}
