#pragma once

#include "DuplicateGroup.h"

#include <QAbstractItemModel>
#include <QStringList>

#include <functional>
#include <memory>

class DriveScan;

// The groups of identical files a search found, as a tree: a row per group, the biggest waste
// first in the measure shown, its copies below it. A group shows the size of each copy, how many
// copies it has and what keeping one would free; a copy its name, folder, sizes and date, and
// whether its storage is shared with another copy (removing it frees nothing) or it has several
// names. The rows are made off the window's thread, paths and orders included, so that showing
// any number of them is one reset and each cell is read in constant time.
class DuplicatesModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column { Name, Folder, Size, OnDisk, Date, Copies, Waste, ColumnCount };
    enum Role {
        FolderPathRole = Qt::UserRole, // QByteArray, ending with "/"; a copy's row only
        NameRole,                      // QByteArray: a copy's name
        SortRole,                      // the texts as shown, the numbers as such
        GroupRole,                     // int: the group's place in rows(), on either row
        CopyRole,                      // int: the copy's place in its group; -1 on a group
    };

    // A group as shown: what the views read of it, worked out once.
    struct Group
    {
        DuplicateGroup group;
        std::vector<QByteArray> folders; // each copy's folder path, ending with "/"
        std::vector<bool> shared;        // each copy's DuplicateGroup::isShared
        std::array<quint64, 2> waste{};  // in each measure, Apparent first
    };
    struct Rows
    {
        std::vector<Group> groups; // as the search gave them
        // The groups' places, the biggest waste first, in each measure.
        std::array<std::vector<quint32>, 2> order;
        std::array<quint64, 2> waste{}; // all groups'
    };
    // Reads the copies' folders from the records: off the window's thread.
    static std::shared_ptr<const Rows> rowsOf(const DriveScan &scan,
                                              std::vector<DuplicateGroup> groups);

    // The texts the cells show besides names and numbers.
    struct Words
    {
        QStringList headers;
        std::function<QString(quint64)> copies; // a group's: "3 copies"
        QString shared;                         // a copy whose storage is shared
        std::function<QString(quint64)> names;  // a copy with several names: "2 noms"
        QString sharedTip;                      // why a shared copy frees nothing
    };

    using QAbstractItemModel::QAbstractItemModel;

    void setWords(Words words);
    void setRows(std::shared_ptr<const Rows> rows);
    void setSizeMeasure(SizeMeasure measure);
    void clear() { setRows(nullptr); }
    // Null when nothing is shown.
    const Rows *rows() const { return m_rows.get(); }
    // The group of a group's or a copy's row; null for an invalid index.
    const Group *groupOf(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    // A group's row has internal id 0; a copy's, its group's row plus one.
    static constexpr quintptr GroupRow = 0;

    QVariant groupData(const Group &group, int column, int role) const;
    QVariant copyData(const Group &group, size_t copy, int column, int role) const;
    QString copiesText(const Group &group, size_t copy) const;
    size_t measureIndex() const { return m_measure == SizeMeasure::OnDisk ? 1 : 0; }

    Words m_words;
    std::shared_ptr<const Rows> m_rows;
    SizeMeasure m_measure = SizeMeasure::Apparent;
};
