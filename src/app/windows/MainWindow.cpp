#include "MainWindow.h"

#include "AboutWindow.h"
#include "ActCommand.h"
#include "BiggestCommand.h"
#include "DirListModel.h"
#include "DriveBar.h"
#include "DuplicatesCommand.h"
#include "ExcludePatterns.h"
#include "ExclusionsDialog.h"
#include "FolderChoice.h"
#include "FolderStatus.h"
#include "FolderTreeView.h"
#include "HelpWindow.h"
#include "HistoryCommand.h"
#include "Icons.h"
#include "ItemMenu.h"
#include "KindsCommand.h"
#include "LayoutSettings.h"
#include "LiveCommand.h"
#include "MainStatusBar.h"
#include "MainToolBar.h"
#include "MapCommand.h"
#include "PrintCommand.h"
#include "RemoteScanCommand.h"
#include "ReportCommand.h"
#include "SavedScanCommand.h"
#include "ScanComparison.h"
#include "ScanController.h"
#include "SearchCommand.h"
#include "SizeMeasureViews.h"
#include "SortMenu.h"
#include "TextTable.h"
#include "WindowKeys.h"
#include "WorkArea.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QMessageBox>

MainWindow::MainWindow(const QList<Volume> &drives, SettingsStore *settings, QWidget *parent)
    : QMainWindow(parent)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quarnel"));
    setWindowIcon(AppIcon());
    m_pixelTwips = TwipsScale::of(this);

    buildMenus();
    buildFunctionBar();
    m_driveBar = new DriveBar(m_scanMenu, m_driveEntriesEnd, this);
    addToolBarBreak();
    addToolBar(m_driveBar);
    m_statusBar = new MainStatusBar(this);
    // As its menu entry says, without the access key.
    m_statusBar->setAccessibleName(Text(TextId::MenuViewStatusBar).remove(u'&'));
    setStatusBar(m_statusBar);

    m_workArea = new WorkArea(this, m_functionBar, m_driveBar, m_statusBar, m_pixelTwips);
    setCentralWidget(m_workArea);
    m_commands.folderTree = m_workArea->folderTree();
    connect(m_workArea->folderTree(), &FolderTreeView::selectedFolderChanged, this,
            &MainWindow::FillDirView);
    connect(m_workArea, &WorkArea::listFilled, this, &MainWindow::showListStatus);
    connect(m_workArea, &WorkArea::listEmptied, this, &MainWindow::applyCommandStates);
    m_scans = new ScanController(drives, m_workArea, m_statusBar, this);
    if (const QByteArrayList patterns = LoadExcludePatterns(m_settings); !patterns.isEmpty())
        m_scans->setExcludePatterns(std::make_shared<const ExcludePatterns>(patterns));
    m_folderStatus = std::make_unique<FolderStatus>(m_scans, folderTree(), listModel());
    connect(m_scans, &ScanController::phaseChanged, this, &MainWindow::applyCommandStates);
    connect(m_scans, &ScanController::listOutdated, this, &MainWindow::FillDirView);
    connect(m_scans, &ScanController::scanEnded, m_workArea, &WorkArea::warmListMemory);
    connect(m_scans, &ScanController::driveAdded, this, &MainWindow::driveAdded);
    connect(m_driveBar, &DriveBar::drivePicked, this,
            [this](int index) { m_scans->driveCommand(index); });
    m_print = std::make_unique<PrintCommand>(this, m_workArea, m_statusBar, m_pixelTwips);
    m_map = new MapCommand(m_workArea, m_scans, m_mapToggle, this);
    m_biggest = new BiggestCommand(this, m_workArea, m_scans, m_settings, m_pixelTwips);
    m_report = new ReportCommand(m_scans, m_settings, m_pixelTwips, this);
    m_kinds = new KindsCommand(m_workArea, m_scans, settings, m_pixelTwips, this);
    m_live = new LiveCommand(m_scans, m_workArea, m_statusBar, this);
    connect(m_live, &LiveCommand::listChanged, this, [this] {
        m_workArea->refillInPlace(m_scans->folders(), m_percentBase, m_scans->diskSize());
    });
    // The views that take longer to follow the disk do, once a second at most.
    connect(m_live, &LiveCommand::recordsChanged, m_scans, &ScanController::recordsFollowed);
    connect(m_live, &LiveCommand::mapChanges, m_map, &MapCommand::setChanges);
    m_search = new SearchCommand(this, m_workArea, m_scans, m_settings, m_pixelTwips);
    m_duplicates = new DuplicatesCommand(this, m_workArea, m_scans, m_settings, m_pixelTwips);
    m_history = new HistoryCommand(this, m_workArea, m_scans, m_settings, m_pixelTwips,
                                   HistoryCommand::FileFor(m_settings));
    connect(m_scans, &ScanController::walkCompleted, m_history, &HistoryCommand::record);
    m_measureViews = std::make_unique<SizeMeasureViews>(
        SizeMeasureViews::Views{listModel(), m_scans, m_map, m_print.get(), m_biggest, m_kinds,
                                m_search, m_duplicates, m_history});
    m_saved = new SavedScanCommand(m_scans, this);
    m_remote = new RemoteScanCommand(m_scans, m_settings, this);
    const auto compared = [this](std::shared_ptr<const ScanComparison> earlier) {
        setComparison(std::move(earlier));
        FillDirView();
    };
    connect(m_saved, &SavedScanCommand::comparisonChanged, this, compared);
    connect(m_history, &HistoryCommand::comparisonChanged, this, compared);
    auto *act = new ActCommand(m_scans, this);
    ItemMenu::setActions(
        [act](QMenu *menu, const QByteArray &path) { act->addEntries(menu, path); },
        [act](const QByteArray &path, bool permanently) {
            permanently ? act->deletePermanently(path) : act->moveToTrash(path);
        });
    for (int index = 0; index < drives.size(); ++index)
        m_commands.alwaysOn << m_driveBar->addDrive(index, drives[index]);

    m_layout = std::make_unique<LayoutSettings>(
        settings,
        LayoutSettings::Parts{this, m_driveBar, m_commands.viewDriveBar, m_statusBar,
                              m_commands.viewStatusBar, m_workArea},
        m_pixelTwips);
    m_percentBase = m_layout->restore();
    m_map->restored();
    m_onDiskToggle->setChecked(m_layout->measure() == SizeMeasure::OnDisk);
    applyCommandStates();
    m_keys = std::make_unique<WindowKeys>(
        this, int(drives.size()), [this] { m_scans->stopCommand(); },
        [this](int index) { m_scans->driveCommand(index); });
    // Also written here, not only on activation: a window manager may never activate us.
    m_scans->showFolderCount();
}

// Whatever still reads the records (a drawing, a count, a search) lets go of them first, while
// every part of the window that hears of it is still there.
MainWindow::~MainWindow()
{
    ItemMenu::setActions({}, {});
    m_scans->clearFolders();
}

QAction *MainWindow::addCommand(QMenu *menu, const char *name, TextId textId,
                                const QKeySequence &key, const Command &command)
{
    QAction *action = menu->addAction(Text(textId));
    action->setObjectName(QLatin1StringView(name));
    action->setShortcut(key);
    if (command) // else its owner answers it
        connect(action, &QAction::triggered, this, command);
    return action;
}

void MainWindow::buildMenus()
{
    menuBar()->setAccessibleName(QStringLiteral("Barre de menus"));
    QMenu *file = menuBar()->addMenu(Text(TextId::MenuFile));
    file->setObjectName(QStringLiteral("mnuFile"));
    m_commands.print.append(addCommand(file, "mnuFilePrint", TextId::MenuFilePrint,
                                       QKeySequence(Qt::CTRL | Qt::Key_P),
                                       [this] { printCommand(); }));
    // The search and the saved scans come after the printout, and Quitter stays last.
    file->addSeparator();
    m_commands.alwaysOn.append(addCommand(file, "mnuFileSearch", TextId::MenuFileSearch,
                                          QKeySequence(Qt::Key_F3), [this] { searchCommand(); }));
    file->addSeparator();
    m_commands.openScan.append(addCommand(file, "mnuFileOpenScan", TextId::MenuFileOpenScan,
                                          QKeySequence(Qt::CTRL | Qt::Key_O),
                                          [this] { m_saved->openCommand(); }));
    m_commands.scanShown.append(addCommand(file, "mnuFileSaveScan", TextId::MenuFileSaveScan, {},
                                           [this] { m_saved->saveCommand(); }));
    m_commands.scanShown.append(addCommand(file, "mnuFileCompareScan", TextId::MenuFileCompareScan,
                                           {}, [this] { m_saved->compareCommand(); }));
    m_commands.endComparison =
        addCommand(file, "mnuFileEndCompare", TextId::MenuFileEndCompare, {}, [this] {
            setComparison(nullptr);
            FillDirView();
        });
    QMenu *history = file->addMenu(Text(TextId::MenuFileHistory));
    history->setObjectName(QStringLiteral("mnuFileHistory"));
    m_commands.savedShown.append(addCommand(history, "mnuFileHistoryAdd",
                                            TextId::MenuFileHistoryAdd, {},
                                            [this] { m_history->addShown(); }));
    m_commands.alwaysOn << addCommand(history, "mnuFileHistorySettings",
                                      TextId::MenuFileHistorySettings, {},
                                      [this] { m_history->settingsCommand(); })
                        << addCommand(history, "mnuFileHistoryForget",
                                      TextId::MenuFileHistoryForget, {},
                                      [this] { m_history->forgetCommand(); });
    // Another machine's folder, opened as a saved scan is.
    m_commands.openScan.append(addCommand(file, "mnuFileRemoteScan", TextId::MenuFileRemoteScan,
                                          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R),
                                          [this] { m_remote->command(); }));
    file->addSeparator();
    m_commands.alwaysOn.append(addCommand(file, "mnuFileExit", TextId::MenuFileExit,
                                          QKeySequence(Qt::CTRL | Qt::Key_X), [this] { close(); }));

    QMenu *view = menuBar()->addMenu(Text(TextId::MenuView));
    view->setObjectName(QStringLiteral("mnuView"));
    m_commands.viewDriveBar =
        addCommand(view, "mnuViewToolBar", TextId::MenuViewToolBar, {},
                   [this] { toggleBar(m_driveBar, m_commands.viewDriveBar); });
    m_commands.viewStatusBar =
        addCommand(view, "mnuViewStatusBar", TextId::MenuViewStatusBar, {},
                   [this] { toggleBar(m_statusBar, m_commands.viewStatusBar); });
    view->addSeparator();
    QMenu *size = view->addMenu(Text(TextId::MenuViewSize));
    size->setObjectName(QStringLiteral("mnuViewSize"));
    m_commands.sizeDisk = addCommand(size, "mnuViewSizeDisk", TextId::MenuViewSizeDisk,
                                     QKeySequence(Qt::CTRL | Qt::Key_D),
                                     [this] { setPercentBase(PercentBase::Disk); });
    m_commands.sizeParent = addCommand(size, "mnuViewSizeParent", TextId::MenuViewSizeParent,
                                       QKeySequence(Qt::CTRL | Qt::Key_F),
                                       [this] { setPercentBase(PercentBase::Folder); });
    m_commands.sizeCommands = {m_commands.sizeDisk, m_commands.sizeParent};
    size->addSeparator();
    // The measure's entry and the map's are buttons of the function bar too: one action each, so
    // that entry and button show the same state.
    m_onDiskToggle = addCommand(size, "mnuViewSizeOnDisk", TextId::MenuViewOnDisk, {}, {});
    connect(m_onDiskToggle, &QAction::toggled, this, [this](bool onDisk) {
        setSizeMeasure(onDisk ? SizeMeasure::OnDisk : SizeMeasure::Apparent);
    });
    m_commands.alwaysOn.append(m_onDiskToggle);
    auto *sort = new SortMenu([this](int column) { m_workArea->headingClicked(column); },
                              [this] { return m_workArea->sortColumn(); }, view);
    view->addMenu(sort);
    m_commands.alwaysOn << sort->actions();
    view->addSeparator();
    m_mapToggle =
        addCommand(view, "mnuViewMap", TextId::MenuViewMap, QKeySequence(Qt::CTRL | Qt::Key_M), {});
    m_commands.alwaysOn.append(m_mapToggle);
    for (QAction *toggle : {m_commands.viewDriveBar, m_commands.viewStatusBar, m_commands.sizeDisk,
                            m_commands.sizeParent, m_onDiskToggle, m_mapToggle})
        toggle->setCheckable(true);
    // The tool windows say so when no volume is scanned.
    m_commands.alwaysOn << addCommand(view, "mnuViewBiggest", TextId::MenuViewBiggest,
                                      QKeySequence(Qt::CTRL | Qt::Key_G),
                                      [this] { m_biggest->open(); })
                        << addCommand(view, "mnuViewKinds", TextId::MenuViewKinds,
                                      QKeySequence(Qt::CTRL | Qt::Key_T),
                                      [this] { m_kinds->show(); })
                        << addCommand(view, "mnuViewReport", TextId::MenuViewReport, {},
                                      [this] { m_report->run(); })
                        << addCommand(view, "mnuViewGrowth", TextId::MenuViewGrowth,
                                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G),
                                      [this] { m_live->openGrowth(); })
                        << addCommand(view, "mnuViewDuplicates", TextId::MenuViewDuplicates,
                                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D),
                                      [this] { m_duplicates->open(); })
                        << addCommand(view, "mnuViewHistory", TextId::MenuViewHistory,
                                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H),
                                      [this] { m_history->open(); })
                        << addCommand(view, "mnuViewExclusions", TextId::MenuViewExclusions, {},
                                      [this] { exclusionsCommand(); });

    m_scanMenu = menuBar()->addMenu(Text(TextId::MenuScan));
    m_scanMenu->setObjectName(QStringLiteral("mnuScan"));
    // The stop entry shows Esc but has no shortcut of its own: the window's keys act on Esc.
    QAction *stop = addCommand(m_scanMenu, "mnuScanStop", TextId::MenuScanStop, {},
                               [this] { m_scans->stopCommand(); });
    stop->setText(Text(TextId::MenuScanStop) + u'\t' + QStringLiteral("Esc"));
    m_commands.stop.append(stop);
    m_scanMenu->addSeparator();
    m_commands.alwaysOn.append(addCommand(m_scanMenu, "mnuScanRefresh", TextId::MenuScanRefresh,
                                          QKeySequence(Qt::Key_F5),
                                          [this] { m_scans->rescanCommand(); }));
    m_scanMenu->addSeparator();
    // The drives' entries go here, before the folder entry.
    m_driveEntriesEnd = m_scanMenu->addSeparator();
    m_commands.alwaysOn.append(addCommand(m_scanMenu, "mnuScanFolder", TextId::MenuScanFolder,
                                          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
                                          [this] { scanFolderCommand(); }));

    QMenu *help = menuBar()->addMenu(Text(TextId::MenuHelp));
    help->setObjectName(QStringLiteral("mnuHelp"));
    m_commands.alwaysOn.append(addCommand(help, "mnuHelpIndex", TextId::MenuHelpIndex,
                                          QKeySequence(Qt::Key_F1),
                                          [this] { HelpWindow::showIndex(this); }));
    help->addSeparator();
    m_commands.alwaysOn.append(addCommand(help, "mnuAbout", TextId::MenuAbout,
                                          QKeySequence(Qt::CTRL | Qt::Key_A),
                                          [this] { AboutWindow::showModal(this, m_settings); }));
}

void MainWindow::buildFunctionBar()
{
    auto *bar =
        new MainToolBar(QStringLiteral("ToolbarFct"), QStringLiteral("Barre de fonctions"), this);
    m_functionBar = bar;
    addToolBar(bar);
    m_commands.sizeCommands << bar->addButton("SIZEDISK", TextId::SizeDiskTip,
                                              [this] { setPercentBase(PercentBase::Disk); })
                            << bar->addButton("SIZEPARENT", TextId::SizeParentTip,
                                              [this] { setPercentBase(PercentBase::Folder); });
    bar->addShared(m_onDiskToggle, "ONDISK", TextId::OnDiskTip);
    bar->addSeparator();
    m_commands.print.append(bar->addButton("PRINT", TextId::PrintTip, [this] { printCommand(); }));
    bar->addSeparator();
    // The only command with no menu entry: its key is the file managers' "parent folder" key.
    QAction *up = bar->addButton("UP", TextId::UpTip, [this] { m_workArea->upCommand(); });
    up->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Up));
    bar->addSeparator();
    QAction *refresh =
        bar->addButton("REFRESH", TextId::RescanTip, [this] { m_scans->rescanCommand(); });
    m_commands.alwaysOn << up << refresh;
    bar->addSeparator();
    m_commands.stop.append(
        bar->addButton("STOP", TextId::StopTip, [this] { m_scans->stopCommand(); }));
    bar->addSeparator();
    bar->addShared(m_mapToggle, "MAP", TextId::MapTip);
}

void MainWindow::scanFolderCommand()
{
    if (m_scans->isScanning())
        return;
    if (const QByteArray folder = FolderChoice::ask(this); !folder.isEmpty())
        scanFolder(folder);
}

bool MainWindow::scanFolder(const QByteArray &path)
{
    if (m_scans->isScanning())
        return false;
    const QByteArray real = FolderChoice::realFolder(path, this);
    if (real.isEmpty())
        return false;
    const qsizetype known = m_scans->drives().size();
    const int index = m_scans->addDrive(Volume{real, DriveKind::Folder});
    if (index == known)
        driveAdded(index);
    m_scans->driveCommand(index);
    return true;
}

// A drive added for this run, a folder or a saved scan, gets its button, entry and key.
void MainWindow::driveAdded(int index)
{
    m_commands.alwaysOn << m_driveBar->addDrive(index, m_scans->drives()[index]);
    m_keys->setDriveCount(int(m_scans->drives().size()));
    applyCommandStates();
}

void MainWindow::applyCommandStates()
{
    WindowState state;
    state.phase = m_scans->phase();
    state.listHasRows = m_workArea->listHasRows();
    state.percentBase = m_percentBase;
    state.driveBarShown = m_driveBar->isVisibleTo(this);
    state.statusBarShown = m_statusBar->isVisibleTo(this);
    state.comparing = m_earlier != nullptr;
    state.savedShown = m_scans->shownDrive().kind == DriveKind::Saved;
    SetCommandStates(m_commands, state);
}

// The search window searches the shown volume.
void MainWindow::searchCommand()
{
    m_search->open();
}

// The printout is titled with the volume that holds the folder shown.
void MainWindow::printCommand()
{
    m_print->run(m_scans->volumeHolding(folderTree()->selectedfolder()));
}

void MainWindow::FillDirView()
{
    // Another volume is shown: the comparison was of the one before, and ends.
    if (m_earlier && m_scans->shownDrive().root() != m_earlier->current())
        setComparison(nullptr);
    m_workArea->FillDirView(m_scans->folders(), m_percentBase, m_scans->diskSize());
}

// Once the list shows the selected folder, now or once read aside: its name and total.
void MainWindow::showListStatus(bool filled)
{
    if (filled && !m_scans->isScanning()) {
        m_statusBar->setPanelText(1, m_folderStatus->text(m_earlier.get()));
        m_scans->forgetAboveUsed();
    }
    applyCommandStates();
}

void MainWindow::setSizeMeasure(SizeMeasure measure)
{
    m_measureViews->setMeasure(measure);
    if (m_scans->folders().count() > 0)
        FillDirView();
}

void MainWindow::setComparison(std::shared_ptr<const ScanComparison> earlier)
{
    m_earlier = std::move(earlier);
    listModel()->setComparison(m_earlier, {Text(TextId::ColumnGrowth), Text(TextId::GrowthNew),
                                           Text(TextId::GrowthGone), Text(TextId::GrowthUnread),
                                           Text(TextId::GrowthUnknown)});
    m_map->setComparison(m_earlier);
    applyCommandStates();
}

void MainWindow::setPercentBase(PercentBase base)
{
    m_percentBase = base;
    if (m_scans->folders().count() > 0)
        FillDirView();
    else
        applyCommandStates();
}

void MainWindow::toggleBar(QWidget *bar, const QAction *toggle)
{
    bar->setVisible(toggle->isChecked());
    m_workArea->ArrangeControls();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_scans->isScanning()) {
        QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(),
                        Text(TextId::StopBeforeQuit), QMessageBox::Ok, this);
        box.exec();
        event->ignore();
        return;
    }
    m_scans->clearFolders();
    m_layout->save(m_percentBase, sizeMeasure());
    m_search->save();
    m_biggest->save();
    m_report->save();
    m_kinds->save();
    m_duplicates->save();
    m_history->save();
    event->accept();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_workArea)
        m_workArea->ArrangeControls();
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_scans->showFolderCount();
    QMainWindow::changeEvent(event);
}

// Saved at once, and applied to the walks started from now on: the shown records stay as they
// were walked until F5 walks the volume again.
void MainWindow::exclusionsCommand()
{
    const auto &now = m_scans->excludePatterns();
    const std::optional<QByteArrayList> patterns = AskExclusions(
        this, now ? now->patterns() : QByteArrayList(), m_scans->folders().count() > 0);
    if (!patterns)
        return;
    SaveExcludePatterns(m_settings, *patterns);
    m_scans->setExcludePatterns(
        patterns->isEmpty() ? nullptr : std::make_shared<const ExcludePatterns>(*patterns));
}
