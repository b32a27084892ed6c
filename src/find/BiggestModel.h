#pragma once

#include "BiggestFiles.h"

#include <QAbstractTableModel>
#include <QStringList>

// The biggest files of a volume: name, folder, both sizes and date as the list shows them. The
// rows come in the order they were kept; SortRole gives each cell's raw value so that a sorting
// proxy orders sizes and dates as numbers, not as their texts.
class BiggestModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Name, Folder, OnDisk, Size, Date, ColumnCount };
    enum Role {
        FolderPathRole = Qt::UserRole + 1, // QByteArray, ending with "/"
        NameRole,                          // QByteArray: the file's name
        SortRole,                          // the name and folder as shown, the numbers as such
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setHeaders(const QStringList &headers) { m_headers = headers; }
    // The hits name their folders by id in `scan`, which is read here for their paths.
    void setResult(const DriveScan &scan, SearchResult result);
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QVariant displayed(const SearchHit &hit, int row, int column) const;
    QVariant raw(const SearchHit &hit, int row, int column) const;

    QStringList m_headers;
    std::vector<SearchHit> m_hits;
    std::vector<QByteArray> m_folders; // each hit's folder path
};
