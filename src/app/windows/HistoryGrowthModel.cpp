#include "HistoryGrowthModel.h"

#include "ActTexts.h"
#include "TextTable.h"

#include <QFile>

namespace {

// "+12 Kb", "-3 Mb", "0".
QString ChangeText(qint64 change)
{
    if (change == 0)
        return QStringLiteral("0");
    const quint64 bytes = change > 0 ? quint64(change) : 0 - quint64(change);
    return (change > 0 ? QStringLiteral("+") : QStringLiteral("-")) +
           AmountText(bytes, std::nullopt);
}

QString NameOf(const QByteArray &path)
{
    const QByteArray bare = path.endsWith('/') ? path.chopped(1) : path;
    return QFile::decodeName(bare.sliced(bare.lastIndexOf('/') + 1));
}

} // namespace

HistoryGrowthModel::HistoryGrowthModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

void HistoryGrowthModel::setRows(std::vector<HistoryDatabase::Growth> rows, SizeMeasure measure)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_measure = measure;
    endResetModel();
}

int HistoryGrowthModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HistoryGrowthModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryGrowthModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const HistoryDatabase::Growth &row = m_rows[size_t(index.row())];
    const auto side = [&](const std::optional<HistoryDatabase::Value> &value) -> QVariant {
        if (!value)
            return {};
        const quint64 size = value->size(m_measure);
        return role == SortRole ? QVariant(size) : QVariant(AmountText(size, std::nullopt));
    };
    switch (role) {
    case Qt::DisplayRole:
    case SortRole:
        switch (Column(index.column())) {
        case Name:
            return NameOf(row.path);
        case Before:
            return side(row.before);
        case After:
            return side(row.after);
        case Change:
            return role == SortRole ? QVariant(row.change(m_measure))
                                    : QVariant(ChangeText(row.change(m_measure)));
        case ColumnCount:
            break;
        }
        return {};
    case PathRole:
        return row.path;
    case Qt::TextAlignmentRole:
        return int((index.column() == Name ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant HistoryGrowthModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (Column(section)) {
    case Name:
        return Text(TextId::HistorySubfolder);
    case Before:
        return Text(TextId::HistoryBefore);
    case After:
        return Text(TextId::HistoryAfter);
    case Change:
        return Text(TextId::ColumnGrowth);
    case ColumnCount:
        break;
    }
    return {};
}
