#include "MainWindow.h"

#include "AboutWindow.h"
#include "CPrintListView.h"
#include "DevicePrinter.h"
#include "DirListModel.h"
#include "DriveScanJob.h"
#include "FileIconCache.h"
#include "FolderTreeView.h"
#include "Formatting.h"
#include "FormatText.h"
#include "HelpWindow.h"
#include "Icons.h"
#include "ListSnapshot.h"
#include "MainLayout.h"
#include "MainStatusBar.h"
#include "PrintTarget.h"
#include "StopScan.h"
#include "TextTable.h"
#include "Paths.h"
#include "SortArrowStyle.h"
#include "modRegistry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QEventLoop>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

constexpr int SplitterWidth = 30; // twips
// How far Left and Right move the focused splitter bar: 10 pixels at 96 DPI.
constexpr int SplitterKeyStep = 150; // twips

QString Text(int id)
{
    return TextTable::text(id);
}

// A caption as a screen reader should say it: without its access-key "&"s.
QString WithoutAccessKeys(QString caption)
{
    return caption.remove(u'&');
}

// A toolbar's overflow button, shown when the window is too narrow for all its buttons, has no
// text of its own.
void NameOverflowButton(QToolBar *bar)
{
    if (auto *more = bar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("Autres boutons"));
}

// A label shown after an access-key "&": its own "&"s must show as they are.
QString EscapeAmpersands(QString text)
{
    return text.replace(u'&', QStringLiteral("&&"));
}

} // namespace

MainWindow::MainWindow(const QList<Volume> &drives, SettingsStore *settings, QWidget *parent)
    : QMainWindow(parent)
    , m_drives(drives)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quarnel"));
    setWindowIcon(AppIcon());
    StopScan = false;
    m_pixelTwips = TwipsScale::of(this);

    buildMenus();
    buildFunctionBar();
    Toolbar = new QToolBar(this);
    Toolbar->setObjectName(QStringLiteral("Toolbar"));
    Toolbar->setMovable(false);
    Toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // The drive bar is the one the view menu's "Barre d'outils" shows and hides.
    Toolbar->setAccessibleName(WithoutAccessKeys(Text(1003)));
    NameOverflowButton(Toolbar);
    addToolBarBreak();
    addToolBar(Toolbar);
    m_statusBar = new MainStatusBar(this);
    m_statusBar->setAccessibleName(WithoutAccessKeys(Text(1004)));
    setStatusBar(m_statusBar);
    buildWorkArea();
    buildDriveCommands(drives);

    // The smallest the window may be made, in pixels.
    setMinimumSize(300, 280);
    resize(m_pixelTwips.toPixelsX(WindowSettings::ClientWidth),
           m_pixelTwips.toPixelsY(WindowSettings::ClientHeight) + menuBar()->sizeHint().height());
    restoreSettings();
    // The empty list starts sorted by name, ascending.
    m_sort.startUp();
    sortList();
    qApp->installEventFilter(this);
    // Also written here, not only on activation: a window manager may never activate us.
    showFolderCount();
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(this);
}

QAction *MainWindow::addCommand(QMenu *menu, const char *name, int textId,
                                const QKeySequence &key, void (MainWindow::*command)())
{
    QAction *action = menu->addAction(Text(textId));
    action->setObjectName(QLatin1StringView(name));
    action->setShortcut(key);
    connect(action, &QAction::triggered, this, command);
    return action;
}

void MainWindow::buildMenus()
{
    menuBar()->setAccessibleName(QStringLiteral("Barre de menus"));
    QMenu *file = menuBar()->addMenu(Text(1000));
    file->setObjectName(QStringLiteral("mnuFile"));
    mnuFilePrint = addCommand(file, "mnuFilePrint", 1013, QKeySequence(Qt::CTRL | Qt::Key_P),
                              &MainWindow::printCommand);
    file->addSeparator();
    mnuFileExit = addCommand(file, "mnuFileExit", 1001, QKeySequence(Qt::CTRL | Qt::Key_X),
                             &MainWindow::exitCommand);

    QMenu *view = menuBar()->addMenu(Text(1002));
    view->setObjectName(QStringLiteral("mnuView"));
    mnuViewToolBar = addCommand(view, "mnuViewToolBar", 1003, {}, &MainWindow::toggleDriveBar);
    mnuViewStatusBar =
        addCommand(view, "mnuViewStatusBar", 1004, {}, &MainWindow::toggleStatusBar);
    for (QAction *toggle : {mnuViewToolBar, mnuViewStatusBar}) {
        toggle->setCheckable(true);
        toggle->setChecked(true);
    }
    view->addSeparator();
    QMenu *size = view->addMenu(Text(1005));
    size->setObjectName(QStringLiteral("mnuViewSize"));
    mnuViewSizeDisk = addCommand(size, "mnuViewSizeDisk", 1006, QKeySequence(Qt::CTRL | Qt::Key_D),
                                 &MainWindow::sizeDiskCommand);
    mnuViewSizeParent = addCommand(size, "mnuViewSizeParent", 1007,
                                   QKeySequence(Qt::CTRL | Qt::Key_F),
                                   &MainWindow::sizeParentCommand);
    for (QAction *entry : {mnuViewSizeDisk, mnuViewSizeParent})
        entry->setCheckable(true);
    mnuViewSizeParent->setChecked(true);

    mnuScan = menuBar()->addMenu(Text(1008));
    mnuScan->setObjectName(QStringLiteral("mnuScan"));
    // The stop entry shows Esc but has no shortcut of its own: the key handler acts on Esc.
    mnuScanStop = addCommand(mnuScan, "mnuScanStop", 1012, {}, &MainWindow::stopCommand);
    mnuScanStop->setText(Text(1012) + u'\t' + QStringLiteral("Esc"));
    mnuScan->addSeparator();
    mnuScanRefresh = addCommand(mnuScan, "mnuScanRefresh", 1014, QKeySequence(Qt::Key_F5),
                                &MainWindow::rescanCommand);
    mnuScan->addSeparator();

    QMenu *help = menuBar()->addMenu(Text(1009));
    help->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpIndex = addCommand(help, "mnuHelpIndex", 1010, QKeySequence(Qt::Key_F1),
                              &MainWindow::helpIndexCommand);
    help->addSeparator();
    mnuAbout = addCommand(help, "mnuAbout", 1011, QKeySequence(Qt::CTRL | Qt::Key_A),
                          &MainWindow::aboutCommand);

    mnuScanStop->setEnabled(false);
    mnuFilePrint->setEnabled(false);
    mnuViewSizeDisk->setEnabled(false);
    mnuViewSizeParent->setEnabled(false);
}

QAction *MainWindow::addButton(const char *key, int tipId, void (MainWindow::*command)())
{
    const QString name = QLatin1StringView(key);
    QAction *button = ToolbarFct->addAction(ToolIcon(name), QString());
    button->setObjectName(name);
    button->setToolTip(Text(tipId));
    // The button shows only a picture: a screen reader says its tooltip.
    ToolbarFct->widgetForAction(button)->setAccessibleName(Text(tipId));
    connect(button, &QAction::triggered, this, command);
    m_buttons.insert(name, button);
    return button;
}

void MainWindow::buildFunctionBar()
{
    ToolbarFct = new QToolBar(this);
    ToolbarFct->setObjectName(QStringLiteral("ToolbarFct"));
    ToolbarFct->setMovable(false);
    ToolbarFct->setAccessibleName(QStringLiteral("Barre de fonctions"));
    NameOverflowButton(ToolbarFct);
    addToolBar(ToolbarFct);
    addButton("SIZEDISK", 313, &MainWindow::sizeDiskCommand)->setEnabled(false);
    addButton("SIZEPARENT", 314, &MainWindow::sizeParentCommand)->setEnabled(false);
    ToolbarFct->addSeparator();
    addButton("PRINT", 321, &MainWindow::printCommand)->setEnabled(false);
    ToolbarFct->addSeparator();
    // The only command with no menu entry: its key is the file managers' "parent folder" key.
    addButton("UP", 316, &MainWindow::upCommand)->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Up));
    ToolbarFct->addSeparator();
    addButton("REFRESH", 317, &MainWindow::rescanCommand);
    ToolbarFct->addSeparator();
    addButton("STOP", 315, &MainWindow::stopCommand)->setEnabled(false);
}

// One button and one scan-menu entry per drive, labelled by the volume's mount point, with a
// spacer between two buttons; the first ten entries show their Ctrl+F key.
void MainWindow::buildDriveCommands(const QList<Volume> &drives)
{
    for (int i = 0; i < drives.size(); ++i) {
        const Volume &drive = drives[i];
        const QString label = QFile::decodeName(drive.label());
        QAction *button = Toolbar->addAction(DriveIcon(drive.kind), label);
        button->setObjectName(QStringLiteral("drive:") + label);
        button->setToolTip(FormatText(Text(308), label));
        connect(button, &QAction::triggered, this, [this, i] { driveCommand(i); });
        ++DriveButtonCount;
        ++DriveCount;

        QString caption = QStringLiteral("[-&") + EscapeAmpersands(label) + QStringLiteral("-]");
        if (i < 10)
            caption += QStringLiteral("\tCtrl+F") + QString::number(i + 1);
        QAction *entry = mnuScan->addAction(caption);
        entry->setObjectName(QStringLiteral("mnuScanDisk"));
        entry->setData(label);
        connect(entry, &QAction::triggered, this, [this, i] { driveCommand(i); });
        mnuScanDisk.append(entry);

        if (i + 1 < drives.size()) {
            Toolbar->addSeparator();
            ++DriveButtonCount;
        }
    }
}

void MainWindow::buildWorkArea()
{
    m_workArea = new QWidget(this);
    m_workArea->setObjectName(QStringLiteral("workArea"));
    setCentralWidget(m_workArea);

    FolderTreeview = new FolderTreeView(m_workArea);
    FolderTreeview->setEnabled(false);
    connect(FolderTreeview, &FolderTreeView::selectedFolderChanged, this,
            &MainWindow::FillDirView);

    picSplitter = new QWidget(m_workArea);
    picSplitter->setObjectName(QStringLiteral("picSplitter"));
    picSplitter->setCursor(Qt::SplitHCursor);
    picSplitter->setAccessibleName(QStringLiteral("Barre de séparation"));
    // Between the tree and the list in the Tab order; Left and Right then move it.
    picSplitter->setFocusPolicy(Qt::TabFocus);
    picSplitter->installEventFilter(this);

    LVDirView = new QTreeView(m_workArea);
    LVDirView->setObjectName(QStringLiteral("LVDirView"));
    LVDirView->setAccessibleName(QStringLiteral("Liste du dossier"));
    LVDirView->setRootIsDecorated(false);
    LVDirView->setUniformRowHeights(true);
    LVDirView->setAlternatingRowColors(false);
    m_listModel = new DirListModel(this);
    QStringList headings;
    for (int column = 0; column < DirListModel::ColumnCount; ++column)
        headings.append(Text(309 + column));
    m_listModel->setHeaders(headings);
    m_listModel->setFolderIcon(FolderIcon());
    FileIconCache::instance().setFallback(FileIcon());
    LVDirView->setModel(m_listModel);
    LVDirView->setSortingEnabled(false); // the list's own direction rules apply, below
    LVDirView->header()->setSectionsClickable(true);
    LVDirView->header()->setSortIndicatorShown(true);
    auto *arrows = new SortArrowStyle;
    arrows->setParent(LVDirView->header()); // the header does not own its style
    LVDirView->header()->setStyle(arrows);
    connect(LVDirView->header(), &QHeaderView::sectionClicked, this, &MainWindow::headingClicked);
    LVDirView->header()->setStretchLastSection(false);
    // The percentage colours must read on the list's background, dark or light.
    m_listModel->setViewPalette(LVDirView->palette());
    // The list takes the keys first, rather than the splitter before it in the Tab order.
    LVDirView->setFocus();

    m_workArea->installEventFilter(this);
}

void MainWindow::ArrangeControls()
{
    if (isMinimized() || !m_workArea)
        return;
    const int tx = m_pixelTwips.perPixelX();
    const int ty = m_pixelTwips.perPixelY();
    const int menuHeight = menuBar()->isVisible() ? menuBar()->height() : 0;
    MainLayout::Input in;
    in.clientWidth = width() * tx;
    in.clientHeight = (height() - menuHeight) * ty;
    in.functionBarHeight = ToolbarFct->height() * ty;
    in.driveBarShown = Toolbar->isVisibleTo(this);
    in.driveBarHeight = Toolbar->height() * ty;
    in.statusBarShown = m_statusBar->isVisibleTo(this);
    in.statusBarHeight = m_statusBar->height() * ty;
    in.treeLeft = FolderTreeview->x() * tx;
    in.treeWidth = FolderTreeview->width() * tx;
    in.splitterWidth = SplitterWidth;
    in.listWidth = LVDirView->width() * tx;
    const MainLayout::Placement out = MainLayout::Arrange(in);

    // The work area already starts below the bars Qt laid out; place relative to it.
    const int y = out.top / ty - (m_workArea->y() - menuHeight);
    const int height = out.room / ty;
    FolderTreeview->setGeometry(FolderTreeview->x(), y, FolderTreeview->width(), height);
    picSplitter->setGeometry(out.splitterLeft / tx, y, std::max(1, SplitterWidth / tx), height);
    LVDirView->setGeometry(out.listLeft / tx, y, out.listWidth / tx, height);
}

void MainWindow::SetMenuButtonState(bool state)
{
    FolderTreeview->setEnabled(state);
    mnuViewSizeDisk->setEnabled(state);
    mnuViewSizeParent->setEnabled(state);
    m_buttons.value(QStringLiteral("SIZEDISK"))->setEnabled(state);
    m_buttons.value(QStringLiteral("SIZEPARENT"))->setEnabled(state);
}

void MainWindow::setStopEnabled(bool enabled)
{
    mnuScanStop->setEnabled(enabled);
    m_buttons.value(QStringLiteral("STOP"))->setEnabled(enabled);
}

void MainWindow::setPrintEnabled(bool enabled)
{
    mnuFilePrint->setEnabled(enabled);
    m_buttons.value(QStringLiteral("PRINT"))->setEnabled(enabled);
}

void MainWindow::checkSizeEntries()
{
    mnuViewSizeDisk->setChecked(ViewType == 1);
    mnuViewSizeParent->setChecked(ViewType != 1);
}

void MainWindow::CheckMenuButton()
{
    if (colFolders.count() > 0)
        FillDirView();
    else
        SetMenuButtonState(false);
}

void MainWindow::FillDirView()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QByteArray folder = AddSlash(QFile::encodeName(FolderTreeview->selectedfolder()));
    if (!m_listModel->fill(colFolders, folder, ViewType, DiskSize)) {
        // Not scanned: an empty list, nothing to print, the status bar as it was.
        setPrintEnabled(false);
        QApplication::restoreOverrideCursor();
        return;
    }
    m_sort.refill();
    sortList();
    setPrintEnabled(m_listModel->rowCount() > 0);
    if (!Scanning)
        m_statusBar->setPanelText(1, QStringLiteral("[-") + QFile::decodeName(GetFolderName(folder)) +
                                         QStringLiteral("-] : ") + KilobyteText(m_listModel->folderSize()) +
                                         QStringLiteral(" Kb"));
    QApplication::restoreOverrideCursor();
}

void MainWindow::sortList()
{
    const int column = m_sort.column() - 1;
    m_listModel->sort(column, m_sort.order());
    LVDirView->header()->setSortIndicator(column, m_sort.order());
}

void MainWindow::headingClicked(int logicalIndex)
{
    m_sort.headingClicked(logicalIndex + 1);
    sortList();
}

Volume MainWindow::driveOfRoot(const QByteArray &root) const
{
    for (const Volume &drive : m_drives)
        if (drive.root() == root)
            return drive;
    // A root that is no listed volume (the tree before any pick): name it by its path.
    Volume drive;
    drive.mountPoint = root.size() > 1 ? root.chopped(1) : root;
    return drive;
}

void MainWindow::RemoveDriveFolders(const QByteArray &root)
{
    colFolders.removeDrive(root);
    setStopEnabled(false);
    m_buttons.value(QStringLiteral("PRINT"))->setEnabled(false);
}

quint64 MainWindow::ScanDrive(const Volume &drive)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The walk yields the cores to this window's thread, so the window never waits on it.
    DriveScanJob job(colFolders, drive.root(), Walker::Options{0, 10});
    QEventLoop walking;
    job.setFinishedHandler(
        [&walking] { QMetaObject::invokeMethod(&walking, &QEventLoop::quit, Qt::QueuedConnection); });
    const QString label = QFile::decodeName(drive.label());
    if (!job.start()) {
        QApplication::restoreOverrideCursor();
        showError(job.error(), QString::fromLocal8Bit(std::strerror(job.error())));
        return 0;
    }
    // The walk runs on its own threads; the window stays live and shows where it is a few
    // times a second.
    m_scanJob = &job;
    if (StopScan)
        job.requestStop();
    QTimer progress;
    connect(&progress, &QTimer::timeout, this, &MainWindow::showScanProgress);
    progress.start(200);
    showScanProgress();
    walking.exec();
    progress.stop();
    m_scanJob = nullptr;

    const quint64 total = job.finish();
    if (job.wasStopped()) {
        RemoveDriveFolders(drive.root());
        m_statusBar->setPanelText(1, FormatText(Text(305), label));
        QApplication::restoreOverrideCursor();
        return 0;
    }
    setStopEnabled(false);
    m_statusBar->setPanelText(1, FormatText(Text(301), colFolders.count()));
    m_statusBar->setPanelText(2, FormatText(Text(302), MegabyteText(job.diskSpace().FreeBytes)));
    m_statusBar->setPanelText(3, FormatText(Text(303), MegabyteText(job.diskSpace().TotalBytes)));
    QApplication::restoreOverrideCursor();
    return total;
}

void MainWindow::showScanProgress()
{
    if (!m_scanJob)
        return;
    const QByteArray folder = m_scanJob->currentFolder();
    if (!folder.isEmpty())
        m_statusBar->setPanelText(1, Text(304) + QFile::decodeName(folder));
}

// The program's error box: title and first word "Erreur", the number, then the description.
void MainWindow::showError(int number, const QString &description)
{
    QMessageBox::critical(this, Text(101),
                          Text(101) + u' ' + QString::number(number) + QStringLiteral("\r\n") + description);
}

// Shows a drive in the tree and the list, walking it first unless it was walked before.
void MainWindow::driveCommand(int index)
{
    if (index < 0 || index >= m_drives.size())
        return;
    SetMenuButtonState(true);
    StopScan = false;
    if (Scanning)
        return;
    const Volume &drive = m_drives[index];
    const QByteArray root = drive.root();
    const colFile record = colFolders.find(root);
    if (!record.isNull())
        DiskSize = record.Size();
    const QString kept = FolderTreeview->rootfolder();
    FolderTreeview->setRootfolder(QFile::decodeName(root));
    if (FolderTreeview->rootfolder() != QFile::decodeName(root)) {
        // The drive cannot be shown (a reader without a medium, say): all stays as it was.
        FolderTreeview->setRootfolder(kept);
        FolderTreeview->reload();
        CheckMenuButton();
        return;
    }
    FolderTreeview->reload();
    Scanning = true;
    if (record.isNull()) {
        setStopEnabled(true);
        DiskSize = ScanDrive(drive);
    }
    CheckMenuButton();
    Scanning = false;
}

// Walks the shown drive anew: its old records go first.
void MainWindow::rescanCommand()
{
    const QByteArray root = AddSlash(QFile::encodeName(FolderTreeview->rootfolder()));
    if (!Scanning)
        RemoveDriveFolders(root);
    SetMenuButtonState(true);
    StopScan = false;
    if (Scanning)
        return;
    Scanning = true;
    setStopEnabled(true);
    DiskSize = ScanDrive(driveOfRoot(root));
    FolderTreeview->reload();
    CheckMenuButton();
    Scanning = false;
}

// Asks the window to close, exactly as its close box does.
void MainWindow::exitCommand()
{
    close();
}

void MainWindow::stopCommand()
{
    StopScan = true;
    if (m_scanJob)
        m_scanJob->requestStop();
}

void MainWindow::sizeDiskCommand()
{
    ViewType = 1;
    checkSizeEntries();
    CheckMenuButton();
}

void MainWindow::sizeParentCommand()
{
    ViewType = 2;
    checkSizeEntries();
    CheckMenuButton();
}

void MainWindow::toggleDriveBar()
{
    Toolbar->setVisible(mnuViewToolBar->isChecked());
    ArrangeControls();
}

void MainWindow::toggleStatusBar()
{
    m_statusBar->setVisible(mnuViewStatusBar->isChecked());
    ArrangeControls();
}

// Shows the parent of the shown folder; at the drive's root there is none.
void MainWindow::upCommand()
{
    const QString folder = FolderTreeview->selectedfolder();
    if (folder == FolderTreeview->rootfolder())
        return;
    const QString parent = ParentFolder(AddSlash(folder));
    if (parent.isEmpty())
        return;
    FolderTreeview->setSelectedfolder(parent);
    FolderTreeview->reload();
}

// Prints the list as it is shown: every row in its order, the columns at their widths, under
// a title naming the drive. The window takes no events until the document is done.
void MainWindow::printCommand()
{
    std::unique_ptr<Printer> printer = choosePrinter();
    if (!printer) {
        m_statusBar->setPanelText(1, QString());
        return;
    }
    m_statusBar->setPanelText(1, Text(320));
    // Painted now: no event is processed before the document ends.
    m_statusBar->repaint();
    oSLV.reset();
    m_printDevice = std::move(printer);
    oSLV = std::make_unique<CPrintListView>(*m_printDevice);
    setUpPrintout(*oSLV);
    const PrintResult result = oSLV->PrintControl();
    if (!result.ok)
        reportPrintError(result.errorNumber, result.errorText);
    m_statusBar->setPanelText(1, QString());
}

std::unique_ptr<Printer> MainWindow::choosePrinter()
{
    if (m_printerFactory)
        return m_printerFactory();
    // Named after the folder shown, so that several printouts do not overwrite each other.
    QString name = QDir(FolderTreeview->selectedfolder()).dirName();
    if (name.isEmpty())
        name = u"racine"_s;
    std::unique_ptr<QPrinter> device = ChoosePrintTarget(this, u"Quarnel - "_s + name + u".pdf"_s);
    if (!device)
        return nullptr;
    return std::make_unique<DevicePrinter>(std::move(device), m_pixelTwips.perPixelX(),
                                           m_pixelTwips.perPixelY());
}

void MainWindow::setUpPrintout(CPrintListView &printout) const
{
    printout.SetControl(SnapshotOf(*LVDirView, m_pixelTwips.perPixelX(), m_pixelTwips.perPixelY(),
                                   QSize(16, 16)));
    CPage &page = printout.Page();
    page.SetBottomMargin(1);
    page.SetTopMargin(1);
    page.SetLeftMargin(1);
    page.SetRightMargin(1);
    Ctext &footer = page.Footer();
    footer.SetText(Text(318) + u"<pag>"_s);
    footer.Font().Name = u"Arial"_s;
    footer.Font().Size = 8;
    footer.SetAlignment(2);
    // The drive's label and root, whichever folder of it is shown.
    const Volume drive =
        driveOfRoot(AddSlash(QFile::encodeName(FolderTreeview->rootfolder())));
    Ctext &title = printout.Title();
    title.SetText(FormatText(Text(319), QFile::decodeName(drive.label()),
                             QFile::decodeName(drive.root())));
    title.Font().Bold = true;
    title.SetAlignment(2);
    title.Font().Italic = false;
    title.Font().Name = u"Times New Roman"_s;
    title.Font().Size = 14;
    printout.HeaderFont().Bold = true;
}

// The printout has been abandoned by now; the user hears and reads why.
void MainWindow::reportPrintError(int number, const QString &description)
{
    QApplication::beep();
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(),
                    QString::number(number) + u' ' + description, QMessageBox::Ok, this);
    box.exec();
}

void MainWindow::helpIndexCommand()
{
    HelpWindow::showIndex(this);
}

// Modal; when it closes, the window's activation writes the folder count again.
void MainWindow::aboutCommand()
{
    AboutWindow::showModal(this, m_settings);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (Scanning) {
        QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), Text(306),
                        QMessageBox::Ok, this);
        box.exec();
        event->ignore();
        return;
    }
    colFolders.clear();
    saveSettings();
    event->accept();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    ArrangeControls();
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        showFolderCount();
    QMainWindow::changeEvent(event);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == picSplitter) {
        // The splitter's own keys stop there; any other key goes on to the window's keys.
        if (handleSplitter(event) && event->type() == QEvent::KeyPress)
            return true;
        if (event->type() == QEvent::KeyPress)
            handleKey(watched, static_cast<const QKeyEvent *>(event));
    } else if (watched == m_workArea && event->type() == QEvent::Resize) {
        ArrangeControls();
    } else if (watched == LVDirView && event->type() == QEvent::PaletteChange) {
        // The desktop changed its colours (a switch to a dark theme, say).
        m_listModel->setViewPalette(LVDirView->palette());
    } else if (event->type() == QEvent::KeyPress) {
        handleKey(watched, static_cast<const QKeyEvent *>(event));
    }
    return QMainWindow::eventFilter(watched, event);
}

// Esc stops a scan and Ctrl+F1 to Ctrl+F10 pick the first ten drives, whatever has the focus;
// the key still goes on to its usual target.
bool MainWindow::handleKey(QObject *watched, const QKeyEvent *key)
{
    // A key travels up from the focus widget to its parents: act on its first delivery only.
    QWidget *focus = QApplication::focusWidget();
    if (watched != (focus ? static_cast<QObject *>(focus) : this) || key->isAutoRepeat())
        return false;
    if (focus && focus->window() != this)
        return false;
    if (key->key() == Qt::Key_Escape) {
        stopCommand();
        return true;
    }
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::ControlModifier && key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F10) {
        const int n = key->key() - Qt::Key_F1 + 1;
        if (n <= DriveCount)
            driveCommand(n - 1);
        return true;
    }
    return false;
}

// The splitter follows the screen cursor while a button is down on it, and moves by a step for
// Left and Right while it has the focus; a move that would leave no tree or too narrow a list is
// refused and not made up later.
bool MainWindow::handleSplitter(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        Drag = QCursor::pos();
        Dragging = true;
        return true;
    case QEvent::MouseMove: {
        if (!Dragging)
            return false;
        const QPoint now = QCursor::pos();
        const int dx = (now.x() - Drag.x()) * m_pixelTwips.perPixelX();
        Drag = now;
        moveSplitter(dx);
        return true;
    }
    case QEvent::MouseButtonRelease:
        Dragging = false;
        return true;
    case QEvent::KeyPress: {
        const auto *key = static_cast<const QKeyEvent *>(event);
        if (key->modifiers() & ~Qt::KeypadModifier)
            return false;
        if (key->key() == Qt::Key_Left)
            moveSplitter(-SplitterKeyStep);
        else if (key->key() == Qt::Key_Right)
            moveSplitter(SplitterKeyStep);
        else
            return false;
        return true;
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        picSplitter->update();
        return false;
    case QEvent::Paint:
        // Shows where the focus is; unfocused, the bar is the window's background.
        if (picSplitter->hasFocus()) {
            QPainter painter(picSplitter);
            painter.fillRect(picSplitter->rect(),
                             picSplitter->palette().color(QPalette::Highlight));
        }
        return false;
    default:
        return false;
    }
}

void MainWindow::moveSplitter(int dx)
{
    const int tx = m_pixelTwips.perPixelX();
    if (const auto width = MainLayout::DraggedTreeWidth(FolderTreeview->width() * tx,
                                                        LVDirView->width() * tx, dx)) {
        FolderTreeview->resize(*width / tx, FolderTreeview->height());
        ArrangeControls();
    }
}

void MainWindow::showFolderCount()
{
    m_statusBar->setPanelText(1, FormatText(Text(301), colFolders.count()));
}

void MainWindow::restoreSettings()
{
    const WindowSettings stored = m_settings ? LoadWindowSettings(*m_settings) : WindowSettings();
    mnuViewToolBar->setChecked(stored.viewBar);
    Toolbar->setVisible(stored.viewBar);
    mnuViewStatusBar->setChecked(stored.viewStatus);
    m_statusBar->setVisible(stored.viewStatus);
    ViewType = stored.viewType;
    FolderTreeview->resize(std::max(1, m_pixelTwips.toPixelsX(stored.folderSize)),
                           FolderTreeview->height());
    checkSizeEntries();
    for (int column = 0; column < DirListModel::ColumnCount; ++column)
        LVDirView->header()->resizeSection(
            column, m_pixelTwips.toPixelsX(stored.columnWidths[size_t(column)]));
    if (m_settings) {
        LoadWindowPos(*m_settings, *this, SettingName::MainLeft, SettingName::MainTop, m_pixelTwips);
        LoadWindowSize(*m_settings, *this, SettingName::MainWidth, SettingName::MainHeight,
                       m_pixelTwips);
    }
}

void MainWindow::saveSettings()
{
    if (!m_settings)
        return;
    const int tx = m_pixelTwips.perPixelX();
    const int ty = m_pixelTwips.perPixelY();
    WindowSettings settings;
    settings.viewBar = mnuViewToolBar->isChecked();
    settings.viewStatus = mnuViewStatusBar->isChecked();
    settings.viewType = ViewType;
    settings.folderSize = FolderTreeview->width() * tx;
    for (int column = 0; column < DirListModel::ColumnCount; ++column)
        settings.columnWidths[size_t(column)] = LVDirView->header()->sectionSize(column) * tx;
    const QRect outer = frameGeometry();
    settings.mainLeft = outer.x() * tx;
    settings.mainTop = outer.y() * ty;
    settings.mainWidth = outer.width() * tx;
    settings.mainHeight = outer.height() * ty;
    SaveWindowSettings(*m_settings, settings);
}
