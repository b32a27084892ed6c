#pragma once

#include "CommandStates.h"
#include "ScanController.h"
#include "SizeMeasureViews.h"
#include "TextTable.h"
#include "TwipsScale.h"
#include "Volume.h"
#include "WorkArea.h"

#include <QList>
#include <QMainWindow>

#include <functional>
#include <memory>

class BiggestCommand;
class DirListModel;
class DriveBar;
class DuplicatesCommand;
class FolderStatus;
class HistoryCommand;
class FolderTreeView;
class LayoutSettings;
class MainStatusBar;
class MainToolBar;
class KindsCommand;
class LiveCommand;
class RemoteScanCommand;
class SavedScanCommand;
class ScanComparison;
class MapCommand;
class PrintCommand;
class ReportCommand;
class SearchCommand;
class QAction;
class QMenu;
class SettingsStore;
class WindowKeys;

// The main window: the menus, the two toolbars, the status bar and the work area between them,
// wired to the commands; it closes only when no scan runs. Owns its widgets (through Qt's
// parenting) and its command objects; refers to the settings store without owning it.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    MainWindow(const QList<Volume> &drives, SettingsStore *settings, QWidget *parent = nullptr);
    ~MainWindow() override;

    ScanController *scans() const { return m_scans; }
    WorkArea *workArea() const { return m_workArea; }
    PrintCommand &print() { return *m_print; }
    const Commands &commands() const { return m_commands; }
    SavedScanCommand &savedScans() { return *m_saved; }
    RemoteScanCommand &remoteScans() { return *m_remote; }
    HistoryCommand &history() { return *m_history; }

    // The state the commands share, as tests and the benchmark read it.
    const FolderCollection &folders() const { return m_scans->folders(); }
    bool isScanning() const { return m_scans->isScanning(); }
    quint64 diskSize() const { return m_scans->diskSize(); }
    PercentBase percentBase() const { return m_percentBase; }
    SizeMeasure sizeMeasure() const { return m_measureViews->measure(); }
    const TwipsScale &pixelTwips() const { return m_pixelTwips; }
    MainStatusBar *statusPanels() const { return m_statusBar; }
    FolderTreeView *folderTree() const { return m_workArea->folderTree(); }
    DirListModel *listModel() const { return m_workArea->listModel(); }
    void driveCommand(int index) { m_scans->driveCommand(index); }
    // Walks a folder as a drive of its own for this run (one more drive button and entry), or
    // shows it if it was walked before; tells the user and returns false when path is no
    // folder. Nothing happens while a walk runs.
    bool scanFolder(const QByteArray &path);

    // Refills the list for the folder selected in the tree and shows the folder's total, at once
    // or, for a large folder, once it is read.
    void FillDirView();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildMenus();
    void buildFunctionBar();
    void driveAdded(int index);
    void scanFolderCommand();
    void searchCommand();
    void printCommand();
    void exclusionsCommand();
    using Command = std::function<void()>;
    QAction *addCommand(QMenu *menu, const char *name, TextId textId, const QKeySequence &key,
                        const Command &command);
    void applyCommandStates();
    void showListStatus(bool filled);

    // Compares the shown volume with an earlier scan in every view that shows growth; none ends
    // the comparison: the list loses its column, the map its colours by growth and their key.
    void setComparison(std::shared_ptr<const ScanComparison> earlier);
    void setPercentBase(PercentBase base);
    void setSizeMeasure(SizeMeasure measure);
    void toggleBar(QWidget *bar, const QAction *toggle);

    TwipsScale m_pixelTwips;
    SettingsStore *m_settings = nullptr; // may be null: nothing is restored or saved
    PercentBase m_percentBase = PercentBase::Folder;

    // Owned through Qt's parenting.
    MainToolBar *m_functionBar = nullptr;
    DriveBar *m_driveBar = nullptr;
    MainStatusBar *m_statusBar = nullptr;
    WorkArea *m_workArea = nullptr;
    ScanController *m_scans = nullptr;
    QMenu *m_scanMenu = nullptr;
    QAction *m_driveEntriesEnd = nullptr; // the separator the drives' entries go before
    QAction *m_mapToggle = nullptr;       // the map's menu entry and button
    QAction *m_onDiskToggle = nullptr;    // the measure's menu entry and button
    MapCommand *m_map = nullptr;
    BiggestCommand *m_biggest = nullptr;
    ReportCommand *m_report = nullptr;
    KindsCommand *m_kinds = nullptr;
    LiveCommand *m_live = nullptr;
    SavedScanCommand *m_saved = nullptr;
    RemoteScanCommand *m_remote = nullptr;
    SearchCommand *m_search = nullptr;
    DuplicatesCommand *m_duplicates = nullptr;
    HistoryCommand *m_history = nullptr;
    std::shared_ptr<const ScanComparison> m_earlier; // the scan the shown volume is compared with
    Commands m_commands; // the actions above whose states follow the window's

    std::unique_ptr<FolderStatus> m_folderStatus;
    std::unique_ptr<PrintCommand> m_print;
    std::unique_ptr<SizeMeasureViews> m_measureViews;
    std::unique_ptr<LayoutSettings> m_layout;
    std::unique_ptr<WindowKeys> m_keys; // declared last: it calls the rest and goes first
};
