#pragma once

#include "GrowthLog.h"

#include <QAbstractTableModel>
#include <QStringList>

// The rows of "what grew": path below the root, growth, rate and size now, in the measure asked
// for. SortRole gives each column's value to sort by.
class GrowthModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Name, Growth, Rate, Size, ColumnCount };
    enum Role { SortRole = Qt::UserRole, PathRole };

    explicit GrowthModel(QObject *parent = nullptr);
    void setHeaders(const QStringList &headers);
    // `rateUnit` follows each rate ("%s/s" and the like, with %s for the number).
    void setRows(const QByteArray &root, std::vector<GrowthLog::Row> rows, bool onDisk,
                 const QString &rateUnit);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QByteArray m_root;
    std::vector<GrowthLog::Row> m_rows;
    QStringList m_headers;
    QString m_rateUnit;
    bool m_onDisk = false;
};
