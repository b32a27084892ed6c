#pragma once

#include "DuplicateGroup.h"

#include <QAbstractItemModel>
#include <QStringList>

#include <functional>
#include <memory>

class DriveScan;

// The folders that copy each other, as a tree: a row per match, identical groups first, naming
// its folders, with how much of them is the same and the bytes they have in common; each of its
// folders below it, to be chosen. The
// paths are read off the window's thread, so that showing the matches is one reset.
class FolderMatchesModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column { Folder, Percent, Bytes, ColumnCount };
    enum Role {
        FolderPathRole = Qt::UserRole, // QByteArray, ending with "/"; a folder's row only
        SortRole,                      // the texts as shown, the numbers as such
    };

    struct Rows
    {
        std::vector<FolderMatch> matches;
        std::vector<std::vector<QByteArray>> paths; // each match's folders' paths, ending "/"
    };
    static std::shared_ptr<const Rows> rowsOf(const DriveScan &scan,
                                              std::vector<FolderMatch> matches);

    // The texts the cells show besides paths and numbers.
    struct Words
    {
        QStringList headers;
        QString between;                         // between a match's folders
        std::function<QString(quint64)> percent; // "87 %"
    };

    using QAbstractItemModel::QAbstractItemModel;

    void setWords(Words words);
    void setRows(std::shared_ptr<const Rows> rows);
    void clear() { setRows(nullptr); }
    const Rows *rows() const { return m_rows.get(); }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    // A match's row has internal id 0; a folder's, its match's row plus one.
    static constexpr quintptr MatchRow = 0;

    Words m_words;
    std::shared_ptr<const Rows> m_rows;
};
