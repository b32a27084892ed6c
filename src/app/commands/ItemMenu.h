#pragma once

#include <QByteArray>
#include <QObject>
#include <QUrl>

#include <functional>

class QAbstractItemView;
class QMenu;
class QMimeData;
class QModelIndex;
class QPoint;
class QWidget;

// The menu of a file or folder that a view shows: open it, show it in the desktop's file manager,
// copy its path. Paths are byte paths, a folder's ending with "/". attach() gives a view's rows the
// menu; other views call popup() with the item under the pointer.
class ItemMenu : public QObject
{
    Q_OBJECT

public:
    // How a URL reaches the desktop; ShellOpen's platform step unless a test watches it.
    using Opener = std::function<bool(const QUrl &)>;
    // The path of a row's item; empty for a row that stands for nothing.
    using PathOf = std::function<QByteArray(const QModelIndex &)>;

    // The window's commands that change the disk: added to every item's menu, and called by
    // Delete (to the trash) and Shift+Delete (for good) on the views' rows.
    using Extender = std::function<void(QMenu *, const QByteArray &)>;
    using DeleteKey = std::function<void(const QByteArray &, bool permanently)>;
    static void setActions(Extender extend, DeleteKey deleteKey);

    // The menu on right click, the Menu key and Shift+F10 (the current row) over the view's rows.
    // The menu object lives as the view's child.
    static void attach(QAbstractItemView *view, PathOf pathOf);
    // Shows the menu of path at a screen point; it goes when closed.
    static void popup(const QByteArray &path, const QPoint &globalPos, QWidget *parent);
    // The menu of path, its entries acting on it; the caller owns it.
    static QMenu *build(const QByteArray &path, QWidget *parent, const Opener &open = {});

    static bool open(const QByteArray &path, const Opener &open = {});
    // Asks the session's file manager to show the item; when none answers (or there is no session
    // bus), opens the folder that holds it instead. The answer comes later, on this thread.
    static void showInFileManager(const QByteArray &path, const Opener &open = {});
    // The path as text and as a file URL, so that a file manager can paste the item.
    static QMimeData *pathData(const QByteArray &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ItemMenu(QAbstractItemView *view, PathOf pathOf);
    void showFor(const QModelIndex &index, const QPoint &globalPos);

    QAbstractItemView *m_view;
    PathOf m_pathOf;
};
