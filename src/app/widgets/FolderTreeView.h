#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QWidget>

#include <memory>

class DriveScan;
class FolderTreeModel;
class QModelIndex;
class QTimer;
class QTreeView;

// The folder tree of the main window's left pane: the folders below one root folder, with the root
// itself as the single top item so that it can be selected. Hidden folders are shown; files and
// links to folders are not (the scan never follows links). Folder paths in and out are byte paths
// ending with "/", so that a folder named in any encoding can be selected. The tree does not watch
// the disk: the folders are read again on a root change and on reload().
class FolderTreeView : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QByteArray rootfolder READ rootfolder WRITE setRootfolder)
    Q_PROPERTY(QByteArray selectedfolder READ selectedfolder WRITE setSelectedfolder NOTIFY
                   selectedFolderChanged)

public:
    explicit FolderTreeView(QWidget *parent = nullptr);

    FolderTreeModel *model() const { return m_model; }

    QByteArray rootfolder() const { return m_root; }
    // The records whose folders the tree shows instead of the disk's (a saved scan's), or none;
    // set before the root. They must outlive their use here.
    void setRecords(std::shared_ptr<const DriveScan> records) { m_records = std::move(records); }
    const std::shared_ptr<const DriveScan> &records() const { return m_records; }
    // Shows the folder and selects it. A folder that cannot be shown (missing, not a folder, not
    // readable) leaves everything as it was; callers find out by reading the property back.
    void setRootfolder(const QByteArray &root);

    QByteArray selectedfolder() const { return m_selected; }
    // Selects a folder at or below the root, expanding its ancestors, even before they are listed.
    // A path the tree does not show is ignored.
    void setSelectedfolder(const QByteArray &path);

    // Reads the folders from disk again, keeping the expanded folders and the selection; when the
    // selected folder is gone, its nearest remaining ancestor is selected.
    void reload();

signals:
    // The selected folder became another one, by the user's hand or the program's.
    void selectedFolderChanged(const QByteArray &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuild(const QByteArrayList &expanded);
    void changeSelection(const QByteArray &folder);
    void showSelection();
    void userChangedCurrent(const QModelIndex &current);
    void collapsedFolder(const QModelIndex &index);
    void collectExpanded(const QModelIndex &parent, QByteArrayList &folders) const;
    bool isShownFolder(const QByteArray &folder) const;

    QTreeView *m_view;
    FolderTreeModel *m_model;
    QTimer *m_scrollTimer;
    QByteArray m_root;
    std::shared_ptr<const DriveScan> m_records;
    QByteArray m_selected;
    bool m_followSelection = false; // keep the selection in view while folders load around it
};
