#pragma once

#include "BackgroundJob.h"
#include "DirListModel.h"
#include "ListSort.h"
#include "TwipsScale.h"

#include <QByteArray>
#include <QPoint>
#include <QSet>
#include <QWidget>

#include <optional>

class FolderCollection;
class FolderTreeView;
class MapPane;
class SplitBar;
class QMainWindow;
class QStatusBar;
class QToolBar;
class QTreeView;
struct WindowSettings;

// The main window's central widget: the folder tree, the splitter bar and the folder's list, laid
// out by the window's layout rules. The bars it lays out around belong to the window.
class ColumnFit;

class WorkArea : public QWidget
{
    Q_OBJECT
public:
    WorkArea(QMainWindow *window, QToolBar *functionBar, QToolBar *driveBar, QStatusBar *statusBar,
             TwipsScale pixelTwips);

    FolderTreeView *folderTree() const { return m_folderTree; }
    QTreeView *listView() const { return m_listView; }
    DirListModel *listModel() const { return m_listModel; }
    // The list shows a scanned folder's rows, as its last fill left it.
    bool listHasRows() const { return m_listHasRows; }
    // The records behind the list are gone; its rows stay shown until the next fill.
    void forgetList() { m_listHasRows = false; }
    // Has a pool thread fault in the memory the list's view takes to lay out a long folder's
    // rows (40 bytes a row), so that the window's thread does not when a folder is picked; done
    // at start, and again once a walk's allocations may have used it.
    void warmListMemory();

    // Places tree, splitter and list in the room the window's bars leave.
    void ArrangeControls();
    // Refills the list for the folder selected in the tree, in its sort; false when that folder
    // has no record. A large folder is read and sorted on another thread, and the list shows it
    // once done, while the window answers; listFilled() says when the list is filled, either way.
    bool FillDirView(const FolderCollection &folders, PercentBase base, quint64 diskSize);
    // The same, as the records behind the list changed under the user's eyes: the rows selected
    // stay selected, the current one current, and the list scrolled where it was.
    void refillInPlace(const FolderCollection &folders, PercentBase base, quint64 diskSize);
    // Whether large folders may be read on another thread: not while a walk or an edit changes
    // the records. Turning it off waits for a reading under way.
    void setReadAside(bool allowed);
    // Waits for a reading under way and drops it: the records are about to change.
    void stopReading();
    // Selects a file's folder in the tree, then its row in the list, scrolled into view.
    void selectFile(const QByteArray &folder, const QByteArray &name);
    // Selects the parent of the selected folder; at the drive's root there is none.
    void upCommand();
    // Sorts the list as a click on a column's heading does (column 0 is the name): the same
    // column a second time reverses the direction.
    void headingClicked(int logicalIndex);
    int sortColumn() const { return m_sort.column() - 1; }

    // The map under the list, and the bar between them; hidden until the user turns it on.
    MapPane *mapPane() const { return m_mapPane; }
    bool mapShown() const { return m_mapShown; }
    void setMapShown(bool shown);

    void restoreWidths(const WindowSettings &stored);
    void saveWidths(WindowSettings &settings) const;

signals:
    // The list shows the selected folder's rows, or, when filled is false, has none for it.
    void listFilled(bool filled);
    // The list was emptied to show a folder being read aside.
    void listEmptied();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitColumns();
    void buildList();
    bool handleSplitter(const QEvent *event);
    void moveSplitter(int dx);
    void sortList();
    void moveMapBar(int dy);
    void readAside(const FolderCollection &folders, const QByteArray &folder,
                   const ListRows::Options &options);
    void showRead(std::shared_ptr<ListRows> rows);
    void selectRow(const QByteArray &fileName);

    QMainWindow *m_window;
    QToolBar *m_functionBar;
    QToolBar *m_driveBar;
    QStatusBar *m_statusBar;
    TwipsScale m_pixelTwips;
    FolderTreeView *m_folderTree = nullptr;
    QWidget *m_splitter = nullptr;
    QTreeView *m_listView = nullptr;
    DirListModel *m_listModel = nullptr;
    ColumnFit *m_columnFit = nullptr;
    quint64 m_widestSize = 0; // the largest size the list may show: the volume's total
    ListSort m_sort;
    SplitBar *m_mapBar = nullptr;
    MapPane *m_mapPane = nullptr;
    bool m_mapShown = false;
    int m_mapHeight = 240; // pixels
    bool m_listHasRows = false;
    bool m_dragging = false;
    QPoint m_drag; // the screen cursor when the splitter last moved
    bool m_readAside = true;
    QByteArray m_fileToSelect; // once the folder being read aside is shown
    // Where the list stood before a refill in place, until the list is filled again.
    struct Place
    {
        QSet<QByteArray> selected; // keys, a folder's ending with "/"
        QByteArray current;
        int scroll = 0;
        QByteArray folder;
    };
    std::optional<Place> m_place;
    void restorePlace();
    // Declared last, so that it goes first: a reading under way reads the records.
    BackgroundJob<std::shared_ptr<ListRows>> m_reading{
        [this](std::shared_ptr<ListRows> rows) { showRead(std::move(rows)); }};
};
