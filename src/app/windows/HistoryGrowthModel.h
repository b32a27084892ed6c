#pragma once

#include "HistoryDatabase.h"
#include "SizeMeasure.h"

#include <QAbstractTableModel>

#include <vector>

// The subfolders of one folder at two walks, the biggest growth first: name, size at the first,
// at the second, and the change. A subfolder that was not there at one of them shows nothing on
// that side. Flat: rows under the root only.
class HistoryGrowthModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Name, Before, After, Change, ColumnCount };
    enum Role {
        SortRole = Qt::UserRole, // raw values: the name, the bytes, the signed change
        PathRole,                // the subfolder's path below the walked root, ending with "/"
    };

    explicit HistoryGrowthModel(QObject *parent = nullptr);

    void setRows(std::vector<HistoryDatabase::Growth> rows, SizeMeasure measure);
    void clear() { setRows({}, m_measure); }
    const HistoryDatabase::Growth &row(int index) const { return m_rows[size_t(index)]; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<HistoryDatabase::Growth> m_rows;
    SizeMeasure m_measure = SizeMeasure::Apparent;
};
