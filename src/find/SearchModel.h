#pragma once

#include "FileSearch.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <vector>

// Files found in the records, in the order they were kept: name, folder, size and date as the list
// shows them. SortRole gives each cell's raw value, so that a sorting proxy orders sizes and dates
// as numbers, not as their texts. A model with other columns says which field each one shows.
class SearchModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Name, Folder, Size, Date, ColumnCount };
    enum Role {
        FolderPathRole = Qt::UserRole, // QByteArray, ending with "/"
        NameRole,                      // QByteArray: the file's name
        SortRole,                      // the name and folder as shown, the numbers as such
    };
    // What a column shows of a file.
    enum class Field { Name, Folder, OnDisk, Size, Date };

    explicit SearchModel(QObject *parent = nullptr)
        : SearchModel({Field::Name, Field::Folder, Field::Size, Field::Date}, parent)
    {}

    void setHeaders(const QStringList &headers)
    {
        m_headers = headers;
        emit headerDataChanged(Qt::Horizontal, 0, int(m_fields.size()) - 1);
    }
    // Shows other fields in the columns, the hits kept.
    void setFields(std::vector<Field> fields);
    // The hits name their folders by id in `scan`, which is read here for their paths.
    void setResult(const DriveScan &scan, SearchResult result);
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

protected:
    // fields: one per column, in order.
    SearchModel(std::vector<Field> fields, QObject *parent);

private:
    QVariant displayed(size_t row, Field field) const;
    QVariant raw(size_t row, Field field) const;

    std::vector<Field> m_fields;
    QStringList m_headers;
    std::vector<SearchHit> m_hits;
    std::vector<QByteArray> m_folders; // each hit's folder path
};
