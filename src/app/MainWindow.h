#pragma once

#include "FolderCollection.h"
#include "ListSort.h"
#include "TwipsScale.h"
#include "Volume.h"

#include <QHash>
#include <QList>
#include <QMainWindow>

#include <functional>
#include <memory>

class CPrintListView;
class DirListModel;
class DriveScanJob;
class FolderTreeView;
class MainStatusBar;
class Printer;
class QAction;
class QMenu;
class QToolBar;
class QTreeView;
class SettingsStore;

// The main window: two toolbars, the folder tree, the splitter bar and the list between them, the
// status bar, the menus and every command with its enabled and checked states. Owns its widgets
// (through Qt's parenting) and the folder collection; refers to the settings store without
// owning it.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    MainWindow(const QList<Volume> &drives, SettingsStore *settings, QWidget *parent = nullptr);
    ~MainWindow() override;

    // State the commands share.
    const FolderCollection &folders() const { return colFolders; }
    bool isScanning() const { return Scanning; }
    // Set by a scan command around its walk.
    void setScanning(bool scanning) { Scanning = scanning; }
    int viewType() const { return ViewType; }
    quint64 diskSize() const { return DiskSize; }
    int driveButtonCount() const { return DriveButtonCount; }
    int driveCount() const { return DriveCount; }
    const TwipsScale &pixelTwips() const { return m_pixelTwips; }
    MainStatusBar *statusPanels() const { return m_statusBar; }
    FolderTreeView *folderTree() const { return FolderTreeview; }

    // Commands, as the menus, buttons and keys run them.
    void driveCommand(int index);
    void rescanCommand();
    void stopCommand();
    void exitCommand();
    void sizeDiskCommand();
    void sizeParentCommand();
    void toggleDriveBar();
    void toggleStatusBar();
    void upCommand();
    void printCommand();
    void helpIndexCommand();
    void aboutCommand();

    // Enables or disables the folder tree and the two compare-size commands with their buttons.
    void SetMenuButtonState(bool state);
    // Refills the list when there are records, else turns the tree and size commands off.
    void CheckMenuButton();
    // Places tree, splitter and list in the working area.
    void ArrangeControls();
    // Refills the list for the folder selected in the tree.
    void FillDirView();
    // Walks a drive into the records, reporting in the status bar; its total, or 0 if stopped.
    quint64 ScanDrive(const Volume &drive);
    // Removes a drive's records; the stop commands and the print button go off.
    void RemoveDriveFolders(const QByteArray &root);
    DirListModel *listModel() const { return m_listModel; }

    // Where the print command sends its document; null from it means the user cancelled. By
    // default the default print queue, or a PDF file the user names when there is none.
    using PrinterFactory = std::function<std::unique_ptr<Printer>()>;
    void setPrinterFactory(PrinterFactory factory) { m_printerFactory = std::move(factory); }
    // The list printer of the last print command, with its settings; null before the first.
    const CPrintListView *lastPrintout() const { return oSLV.get(); }

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void buildFunctionBar();
    void buildDriveCommands(const QList<Volume> &drives);
    void buildWorkArea();
    QAction *addCommand(QMenu *menu, const char *name, int textId, const QKeySequence &key,
                        void (MainWindow::*command)());
    QAction *addButton(const char *key, int tipId, void (MainWindow::*command)());
    void setStopEnabled(bool enabled);
    void setPrintEnabled(bool enabled);
    void checkSizeEntries();
    bool handleKey(QObject *watched, const QKeyEvent *key);
    bool handleSplitter(const QEvent *event);
    void moveSplitter(int dx);
    void showFolderCount();
    void showScanProgress();
    void sortList();
    void headingClicked(int logicalIndex);
    Volume driveOfRoot(const QByteArray &root) const;
    void showError(int number, const QString &description);
    std::unique_ptr<Printer> choosePrinter();
    void setUpPrintout(CPrintListView &printout) const;
    void reportPrintError(int number, const QString &description);
    void restoreSettings();
    void saveSettings();

    // Shared state.
    FolderCollection colFolders;
    quint64 DiskSize = 0;
    int ViewType = 2;
    bool Scanning = false;
    int DriveButtonCount = 0;
    int DriveCount = 0;
    bool Dragging = false;
    QPoint Drag;
    TwipsScale m_pixelTwips;
    QList<Volume> m_drives;
    SettingsStore *m_settings = nullptr; // may be null: nothing is restored or saved

    // Widgets and commands, all owned through Qt's parenting.
    QToolBar *ToolbarFct = nullptr;
    QToolBar *Toolbar = nullptr;
    MainStatusBar *m_statusBar = nullptr;
    QWidget *m_workArea = nullptr;
    FolderTreeView *FolderTreeview = nullptr;
    QWidget *picSplitter = nullptr;
    QTreeView *LVDirView = nullptr;
    DirListModel *m_listModel = nullptr;
    ListSort m_sort;
    DriveScanJob *m_scanJob = nullptr; // the running walk, owned by ScanDrive while it runs
    QMenu *mnuScan = nullptr;
    QAction *mnuFilePrint = nullptr;
    QAction *mnuFileExit = nullptr;
    QAction *mnuViewToolBar = nullptr;
    QAction *mnuViewStatusBar = nullptr;
    QAction *mnuViewSizeDisk = nullptr;
    QAction *mnuViewSizeParent = nullptr;
    QAction *mnuScanStop = nullptr;
    QAction *mnuScanRefresh = nullptr;
    QAction *mnuHelpIndex = nullptr;
    QAction *mnuAbout = nullptr;
    QList<QAction *> mnuScanDisk;
    QHash<QString, QAction *> m_buttons; // the function toolbar's buttons by key

    // The last print command's printer and list printer, kept until the next one; the list
    // printer refers to the printer, so it is declared after it and goes first.
    PrinterFactory m_printerFactory;
    std::unique_ptr<Printer> m_printDevice;
    std::unique_ptr<CPrintListView> oSLV;
};
