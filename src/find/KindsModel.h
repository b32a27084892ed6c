#pragma once

#include "Formatting.h"
#include "KindCensus.h"

#include <QAbstractItemModel>
#include <QPalette>
#include <QStringList>

// The kinds of file of a folder and below as a tree: each kind a top row, with its map colour
// beside its name, and its extensions under it; how many files, their bytes, and their share of
// the folder's bytes as the list's coloured bar. Views sort it through SortRole.
class KindsModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column { Name, Count, Size, Share, ColumnCount };
    enum Role {
        // The raw value: the shown name (Name), quint64 (Count, Size), double (Share).
        SortRole = Qt::UserRole,
        KindRole,      // int: the FileKind of the row, or of an extension's kind
        ExtensionRole, // QByteArray: an extension row's extension; null on a kind's row
    };

    using QAbstractItemModel::QAbstractItemModel;

    void setHeaders(const QStringList &headers)
    {
        m_headers = headers;
        emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    }
    // One per FileKind, in their order; and the name shown for the files without an extension.
    void setNames(const QStringList &kindNames, const QString &noExtension);
    // The view's background and text colours, which the share's colours must read against.
    void setViewPalette(const QPalette &palette);
    void setCensus(KindCensus census);
    const KindCensus &census() const { return m_census; }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    // A kind's row has internal id 0; an extension's, its kind's row plus one.
    static constexpr quintptr KindRow = 0;

    QString nameOf(const QModelIndex &index) const;

    QStringList m_headers;
    QStringList m_kindNames;
    QString m_noExtension;
    Rgb m_base = 0xFFFFFF;
    Rgb m_text = 0x000000;
    KindCensus m_census;
};
