#pragma once

#include "FileSearch.h"

#include <QAbstractTableModel>
#include <QStringList>

// The files a search found, the biggest first: name, folder, size and date as the list shows them.
class SearchModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Name, Folder, Size, Date, ColumnCount };
    enum Role {
        FolderPathRole = Qt::UserRole + 1, // QByteArray, ending with "/"
        NameRole,                          // QByteArray: the file's name
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setHeaders(const QStringList &headers)
    {
        m_headers = headers;
        emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    }
    // The hits name their folders by id in `scan`, which is read here for their paths.
    void setResult(const DriveScan &scan, SearchResult result);
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QStringList m_headers;
    std::vector<SearchHit> m_hits;
    std::vector<QByteArray> m_folders; // each hit's folder path
};
