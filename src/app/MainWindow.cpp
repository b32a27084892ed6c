#include "MainWindow.h"

#include "FolderTreeView.h"
#include "FormatText.h"
#include "HelpWindow.h"
#include "Icons.h"
#include "MainLayout.h"
#include "MainStatusBar.h"
#include "StopScan.h"
#include "TextTable.h"
#include "modRegistry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QStandardItemModel>
#include <QToolBar>
#include <QTreeView>

namespace {

constexpr int SplitterWidth = 30; // twips
constexpr int ColumnCount = 4;

QString Text(int id)
{
    return TextTable::text(id);
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
    addToolBarBreak();
    addToolBar(Toolbar);
    m_statusBar = new MainStatusBar(this);
    setStatusBar(m_statusBar);
    buildWorkArea();
    buildDriveCommands(drives);

    // The smallest the window may be made, in pixels.
    setMinimumSize(300, 280);
    resize(m_pixelTwips.toPixelsX(WindowSettings::ClientWidth),
           m_pixelTwips.toPixelsY(WindowSettings::ClientHeight) + menuBar()->sizeHint().height());
    restoreSettings();
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
    connect(button, &QAction::triggered, this, command);
    m_buttons.insert(name, button);
    return button;
}

void MainWindow::buildFunctionBar()
{
    ToolbarFct = new QToolBar(this);
    ToolbarFct->setObjectName(QStringLiteral("ToolbarFct"));
    ToolbarFct->setMovable(false);
    addToolBar(ToolbarFct);
    addButton("SIZEDISK", 313, &MainWindow::sizeDiskCommand)->setEnabled(false);
    addButton("SIZEPARENT", 314, &MainWindow::sizeParentCommand)->setEnabled(false);
    ToolbarFct->addSeparator();
    addButton("PRINT", 321, &MainWindow::printCommand)->setEnabled(false);
    ToolbarFct->addSeparator();
    addButton("UP", 316, &MainWindow::upCommand);
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
            &MainWindow::CheckMenuButton);

    picSplitter = new QWidget(m_workArea);
    picSplitter->setObjectName(QStringLiteral("picSplitter"));
    picSplitter->setCursor(Qt::SplitHCursor);
    picSplitter->installEventFilter(this);

    LVDirView = new QTreeView(m_workArea);
    LVDirView->setObjectName(QStringLiteral("LVDirView"));
    LVDirView->setRootIsDecorated(false);
    LVDirView->setUniformRowHeights(true);
    LVDirView->setAlternatingRowColors(false);
    m_listModel = new QStandardItemModel(0, ColumnCount, this);
    for (int column = 0; column < ColumnCount; ++column)
        m_listModel->setHeaderData(column, Qt::Horizontal, Text(309 + column));
    // Sizes are numbers: their column is right-aligned.
    m_listModel->setHeaderData(1, Qt::Horizontal, int(Qt::AlignRight | Qt::AlignVCenter),
                               Qt::TextAlignmentRole);
    LVDirView->setModel(m_listModel);
    LVDirView->header()->setStretchLastSection(false);

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
        setPrintEnabled(m_listModel->rowCount() > 0);
    else
        SetMenuButtonState(false);
}

void MainWindow::driveCommand(int index)
{
    if (index < 0 || index >= m_drives.size())
        return;
    SetMenuButtonState(true);
    StopScan = false;
    if (Scanning)
        return;
}

void MainWindow::rescanCommand()
{
    SetMenuButtonState(true);
    StopScan = false;
    if (Scanning)
        return;
}

// Asks the window to close, exactly as its close box does.
void MainWindow::exitCommand()
{
    close();
}

void MainWindow::stopCommand()
{
    StopScan = true;
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

void MainWindow::upCommand() {}

void MainWindow::printCommand() {}

void MainWindow::helpIndexCommand()
{
    HelpWindow::showIndex(this);
}

void MainWindow::aboutCommand() {}

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
    if (watched == picSplitter)
        handleSplitter(event);
    else if (watched == m_workArea && event->type() == QEvent::Resize)
        ArrangeControls();
    else if (event->type() == QEvent::KeyPress)
        handleKey(watched, static_cast<const QKeyEvent *>(event));
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

// The splitter follows the screen cursor while a button is down on it; a move that would leave
// no tree or too narrow a list is refused and not made up later.
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
        const int tx = m_pixelTwips.perPixelX();
        if (const auto width =
                MainLayout::DraggedTreeWidth(FolderTreeview->width() * tx, LVDirView->width() * tx, dx)) {
            FolderTreeview->resize(*width / tx, FolderTreeview->height());
            ArrangeControls();
        }
        return true;
    }
    case QEvent::MouseButtonRelease:
        Dragging = false;
        return true;
    default:
        return false;
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
    for (int column = 0; column < ColumnCount; ++column)
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
    for (int column = 0; column < ColumnCount; ++column)
        settings.columnWidths[size_t(column)] = LVDirView->header()->sectionSize(column) * tx;
    const QRect outer = frameGeometry();
    settings.mainLeft = outer.x() * tx;
    settings.mainTop = outer.y() * ty;
    settings.mainWidth = outer.width() * tx;
    settings.mainHeight = outer.height() * ty;
    SaveWindowSettings(*m_settings, settings);
}
