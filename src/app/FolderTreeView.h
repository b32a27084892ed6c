#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class FolderRootFilter;
class QFileSystemModel;
class QModelIndex;
class QTimer;
class QTreeView;

// The folder tree of the main window's left pane: the folders below one root folder, with the root
// itself as the single top item so that it can be selected. Hidden folders are shown; files and
// links to folders are not (the scan never follows links). Folder paths in and out end with "/".
// The tree does not watch the disk: the folders are read again on a root change and on reload().
// It owns its view, the file-system model and the filter between them, all through Qt's parenting.
class FolderTreeView : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString rootfolder READ rootfolder WRITE setRootfolder)
    Q_PROPERTY(QString selectedfolder READ selectedfolder WRITE setSelectedfolder NOTIFY
                   selectedFolderChanged)

public:
    explicit FolderTreeView(QWidget *parent = nullptr);

    QString rootfolder() const { return m_root; }
    // Shows the folder and selects it. A folder that cannot be shown (missing, not a folder, not
    // readable) leaves everything as it was; callers find out by reading the property back.
    void setRootfolder(const QString &root);

    QString selectedfolder() const { return m_selected; }
    // Selects a folder at or below the root, expanding its ancestors, even before the model has
    // loaded them. A path the tree does not show is ignored.
    void setSelectedfolder(const QString &path);

    // Reads the folders from disk again, keeping the expanded folders and the selection; when the
    // selected folder is gone, its nearest remaining ancestor is selected.
    void reload();

signals:
    // The selected folder became another one, by the user's hand or the program's.
    void selectedFolderChanged(const QString &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuild(const QStringList &expanded);
    void changeSelection(const QString &folder);
    void showSelection();
    void userChangedCurrent(const QModelIndex &current);
    void collapsedFolder(const QModelIndex &index);
    void collectExpanded(const QModelIndex &parent, QStringList &folders) const;
    bool isShownFolder(const QString &folder) const;
    QString folderPath(const QModelIndex &index) const;

    QTreeView *m_view;
    FolderRootFilter *m_filter;
    QFileSystemModel *m_model = nullptr; // replaced on every rebuild
    QTimer *m_scrollTimer;
    QString m_root;
    QString m_selected;
    bool m_followSelection = false; // keep the selection in view while folders load around it
};
