#include "KindsModel.h"

#include <QColor>
#include <QFile>

void KindsModel::setNames(const QStringList &kindNames, const QString &noExtension)
{
    beginResetModel();
    m_kindNames = kindNames;
    m_noExtension = noExtension;
    endResetModel();
}

void KindsModel::setViewPalette(const QPalette &palette)
{
    m_base = palette.color(QPalette::Base).rgb() & 0xFFFFFF;
    m_text = palette.color(QPalette::Text).rgb() & 0xFFFFFF;
}

void KindsModel::setCensus(KindCensus census)
{
    beginResetModel();
    m_census = std::move(census);
    endResetModel();
}

QModelIndex KindsModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    return createIndex(row, column, parent.isValid() ? quintptr(parent.row()) + 1 : KindRow);
}

QModelIndex KindsModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == KindRow)
        return {};
    return createIndex(int(child.internalId() - 1), 0, KindRow);
}

int KindsModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(m_census.kinds.size());
    if (parent.column() != 0 || parent.internalId() != KindRow)
        return 0;
    return int(m_census.kinds[size_t(parent.row())].extensions.size());
}

int KindsModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QString KindsModel::nameOf(const QModelIndex &index) const
{
    if (index.internalId() == KindRow)
        return m_kindNames.value(int(m_census.kinds[size_t(index.row())].kind));
    const QByteArray &extension =
        m_census.kinds[index.internalId() - 1].extensions[size_t(index.row())].extension;
    return extension.isEmpty() ? m_noExtension : u'.' + QFile::decodeName(extension);
}

QVariant KindsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const bool isKind = index.internalId() == KindRow;
    const KindTally &kind = m_census.kinds[isKind ? size_t(index.row()) : index.internalId() - 1];
    const quint64 count = isKind ? kind.count : kind.extensions[size_t(index.row())].count;
    const quint64 bytes = isKind ? kind.bytes : kind.extensions[size_t(index.row())].bytes;
    const double share = Percentage(bytes, m_census.bytes);
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Name:
            return nameOf(index);
        case Count:
            return QString::number(count);
        case Size:
            return SizeText(bytes);
        case Share:
            return PercentText(share);
        }
        return {};
    case Qt::DecorationRole:
        return isKind && index.column() == Name ? QVariant(KindColour(kind.kind)) : QVariant();
    case Qt::ForegroundRole: {
        // Shares lie within 0 to 100, so no row needs the colour of the row before it.
        const Rgb band = PercentColourOf(share, PercentColour::FirstRowFallback);
        return index.column() == Share
                   ? QVariant(QColor::fromRgb(ReadablePercentColour(band, m_base, m_text)))
                   : QVariant();
    }
    case Qt::TextAlignmentRole:
        return int(
            (index.column() == Count || index.column() == Size ? Qt::AlignRight : Qt::AlignLeft) |
            Qt::AlignVCenter);
    case SortRole:
        switch (index.column()) {
        case Name:
            return nameOf(index);
        case Count:
            return count;
        case Size:
            return bytes;
        case Share:
            return share;
        }
        return {};
    case KindRole:
        return int(kind.kind);
    case ExtensionRole:
        return isKind ? QVariant() : QVariant(kind.extensions[size_t(index.row())].extension);
    default:
        return {};
    }
}

QVariant KindsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_headers.size())
        return {};
    return m_headers[section];
}
