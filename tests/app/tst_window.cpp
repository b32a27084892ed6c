#include "AboutWindow.h"
#include "ActCommand.h"
#include "BiggestModel.h"
#include "BiggestWindow.h"
#include "DevicePrinter.h"
#include "DirListModel.h"
#include "DuplicatesCommand.h"
#include "DuplicatesModel.h"
#include "DuplicatesWindow.h"
#include "ElideLeftDelegate.h"
#include "FolderMatchesModel.h"
#include "FolderTreeModel.h"
#include "FolderTreeView.h"
#include "GrowthModel.h"
#include "GrowthWindow.h"
#include "HelpWindow.h"
#include "HistoryCommand.h"
#include "HistoryGrowthModel.h"
#include "HistoryWindow.h"
#include "ItemMenu.h"
#include "KindNames.h"
#include "KindsModel.h"
#include "KindsWindow.h"
#include "ListPrinter.h"
#include "MainStatusBar.h"
#include "MainWindow.h"
#include "MapLayout.h"
#include "MapLegend.h"
#include "MapPane.h"
#include "MapView.h"
#include "PrintCommand.h"
#include "RecordingPrinter.h"
#include "ReportWindow.h"
#include "SavedScanCommand.h"
#include "SearchModel.h"
#include "SearchWindow.h"
#include "SettingsStore.h"
#include "SplitBar.h"
#include "TextTable.h"
#include "WindowFixtures.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>
#include <QValueAxis>

#include <map>
#include <tuple>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ScanPhase)

namespace {

// The walk ended and is written to the history.
bool Recorded(MainWindow &window)
{
    return Settled(window) && QTest::qWaitFor([&] { return !window.history().isBusy(); });
}

// One character per object of these names, in this order: '1' where the property is true.
QString Flags(const QWidget &window, const QStringList &names, const char *property)
{
    QString flags;
    for (const QString &name : names)
        for (const QObject *object : window.findChildren<QObject *>(name))
            flags += object->property(property).toBool() ? u'1' : u'0';
    return flags;
}

// A heading across the top for each column, and none elsewhere.
bool HeadedColumns(const QAbstractItemModel &model)
{
    const int columns = model.columnCount();
    for (int section = -1; section <= columns; ++section)
        for (const Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical})
            for (const int role : {int(Qt::DisplayRole), int(Qt::ToolTipRole)}) {
                const QVariant heading = model.headerData(section, orientation, role);
                if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
                            section < columns
                        ? heading.toString().isEmpty()
                        : heading.isValid())
                    return false;
            }
    return true;
}

// Counts the keys pressed that reach a widget.
class KeysSeen : public QObject
{
public:
    int keys = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        keys += event->type() == QEvent::KeyPress;
        return false;
    }
};

// What can be used: tree (and size commands), stop, print entry, print button.
QString States(const MainWindow &window)
{
    return Flags(window, {u"FolderTreeview"_s, u"mnuScanStop"_s, u"mnuFilePrint"_s, u"PRINT"_s},
                 "enabled");
}

// Root reads every folder; without these two capabilities its walk meets permissions as a
// user's does. Threads started meanwhile inherit the lack.
void OverrideReadPermissions(bool on)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    ::syscall(SYS_capget, &header, data);
    const quint32 bits = 1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH;
    data[0].effective =
        on ? data[0].effective | (bits & data[0].permitted) : data[0].effective & ~bits;
    ::syscall(SYS_capset, &header, data);
}

} // namespace

// The window and its commands, dialogs and help, on temporary folders taken for volumes. The
// end-to-end test drives the same window by the keyboard; what it checks is not checked again.
class TestWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void commandStates_data();
    void commandStates();
    void accessKeys();
    void listColumnsFit();
    void bigFolderReadAside();
    void splitBar();
    void mapKeyWraps();
    void storedColumnWidths();
    void driveCommandsAndKeys();
    void scanCommands_data();
    void scanCommands();
    void print();
    void oddNames();
    void biggestFiles();
    void biggestBeside_data();
    void biggestBeside();
    void commandsKeepTheRecordsTheyRead();
    void largeFolderReadAside();
    void sizeOnDisk();
    void live();
    void comparison();
    void savedScanRefused_data();
    void savedScanRefused();
    void savedScanNotWritten();
    void report();
    void kinds();
    void duplicates();
    void duplicatesQuestion_data();
    void duplicatesQuestion();
    void history();
    void historyDamaged();
    void historySavedScan();
    void historyOfNothing();
    void exclusions();
    void volumeReport_data();
    void volumeReport();
    void toolWindows_data();
    void toolWindows();
    void desktop();
    void aboutLauncher_data();
    void aboutLauncher();

private:
    QTemporaryDir m_volume; // the sample files
};

void TestWindow::initTestCase()
{
    Write(m_volume, Sample);
}

void TestWindow::commandStates_data()
{
    QTest::addColumn<ScanPhase>("phase");
    QTest::addColumn<bool>("listHasRows");
    QTest::addColumn<int>("viewType");
    QTest::addColumn<bool>("barsShown");
    QTest::addColumn<QString>("expected"); // tree, stop, print, open a scan, save and compare
    using P = ScanPhase;
    QTest::newRow("start") << P::Start << false << 2 << true << u"00010"_s;
    QTest::newRow("scanning a drive") << P::ScanningDrive << false << 2 << true << u"11000"_s;
    QTest::newRow("scanning, a walked folder listed")
        << P::ScanningDrive << true << 1 << true << u"11100"_s;
    QTest::newRow("rescanning") << P::Rescanning << false << 2 << true << u"11000"_s;
    QTest::newRow("scanned") << P::Scanned << true << 1 << false << u"10111"_s;
    QTest::newRow("scanned, empty folder") << P::Scanned << false << 2 << true << u"10011"_s;
    QTest::newRow("stopped, other drives' records")
        << P::StoppedWithRecords << false << 2 << true << u"10010"_s;
    QTest::newRow("stopped, no record, old rows still shown")
        << P::StoppedWithoutRecords << true << 7 << false << u"00010"_s;
    QTest::newRow("trashing, nothing to stop") << P::Editing << true << 1 << true << u"10100"_s;
    QTest::newRow("a saved scan read aside") << P::Waiting << true << 1 << true << u"10100"_s;
}

// Every command is set, whatever its state before: each starts the opposite of what is expected.
void TestWindow::commandStates()
{
    QFETCH(ScanPhase, phase);
    QFETCH(bool, listHasRows);
    QFETCH(int, viewType);
    QFETCH(bool, barsShown);
    QFETCH(QString, expected);
    // By the column that enables them: tree and size commands, stop, print, the saved scans'
    // two, those always offered.
    const QList<QStringList> groups = {{u"FolderTreeview"_s, u"mnuViewSizeDisk"_s,
                                        u"mnuViewSizeParent"_s, u"SIZEDISK"_s, u"SIZEPARENT"_s},
                                       {u"mnuScanStop"_s, u"STOP"_s},
                                       {u"mnuFilePrint"_s, u"PRINT"_s},
                                       {u"mnuFileOpenScan"_s},
                                       {u"mnuFileSaveScan"_s, u"mnuFileCompareScan"_s},
                                       {u"mnuFileExit"_s, u"mnuScanRefresh"_s, u"REFRESH"_s,
                                        u"UP"_s, u"mnuHelpIndex"_s, u"mnuAbout"_s, u"mnuScanDisk"_s,
                                        u"drive:/"_s, u"drive:/media/d1"_s}};
    const QStringList toggles = {u"mnuViewSizeDisk"_s, u"mnuViewSizeParent"_s, u"mnuViewToolBar"_s,
                                 u"mnuViewStatusBar"_s};
    MainWindow window({Volume{"/"}, Volume{"/media/d1"}}, nullptr);
    QString enabled;
    for (qsizetype group = 0; group < groups.size(); ++group)
        for (const QString &name : groups[group])
            for (QObject *command : window.findChildren<QObject *>(name)) {
                enabled += group < 5 ? expected[group] : u'1';
                command->setProperty("enabled", enabled.back() == u'0');
            }
    QCOMPARE(enabled.size(), 22);
    QString checked;
    for (bool on : {viewType == 1, viewType != 1, barsShown, barsShown})
        checked += on ? u'1' : u'0';
    for (qsizetype i = 0; i < toggles.size(); ++i)
        window.findChild<QAction *>(toggles[i])->setChecked(checked[i] == u'0');
    SetCommandStates(window.commands(),
                     {phase, listHasRows, PercentBase(viewType), barsShown, barsShown});
    QStringList all;
    for (const QStringList &group : groups)
        all += group;
    QCOMPARE(Flags(window, all, "enabled"), enabled);
    QCOMPARE(Flags(window, toggles, "checked"), checked);
}

// Within a menu, no two entries answer the same letter: the drives aside (each is a path, so
// "/"), and the two bars' entries, whose shared letter is as it always was.
void TestWindow::accessKeys()
{
    MainWindow window({Volume{"/"}, Volume{"/media/d1"}}, nullptr);
    std::unique_ptr<QMenu> item(ItemMenu::build("/x/", &window));
    QList<QMenu *> menus = window.menuBar()->findChildren<QMenu *>();
    menus.append(item.get());
    for (const QMenu *menu : std::as_const(menus)) {
        QHash<QChar, QString> taken;
        for (const QAction *entry : menu->actions()) {
            const QString text = QString(entry->text()).remove(u"&&"_s);
            const qsizetype at = text.indexOf(u'&');
            if (at < 0 || entry->objectName() == u"mnuScanDisk"_s || text.startsWith(u"&Barre"_s))
                continue;
            const QChar key = text.at(at + 1).toLower();
            QVERIFY2(!taken.contains(key), qPrintable(text + u" ~ "_s + taken.value(key)));
            taken.insert(key, text);
        }
    }
}

// With no width stored, sizes show whole and the name takes the room left, as the window grows;
// a column the user sizes stays as he leaves it.
void TestWindow::listColumnsFit()
{
    const auto window = ScannedWindow(m_volume);
    const auto *list = window->findChild<QTreeView *>(u"LVDirView"_s);
    QHeaderView *header = list->header();
    const auto widths = [header] { return header->length(); };
    QTRY_COMPARE(widths(), list->viewport()->width());
    QVERIFY(header->sectionSize(DirListModel::Size) >
            list->fontMetrics().horizontalAdvance(SizeText(window->diskSize())));
    window->resize(window->width() + 300, window->height());
    QTRY_COMPARE(widths(), list->viewport()->width());
    header->resizeSection(DirListModel::Date, 50);
    const int chosen = widths();
    int viewport = list->viewport()->width();
    for (const int by : {-200, 400}) {
        window->resize(window->width() + by, window->height());
        QTRY_COMPARE(list->viewport()->width(), viewport + by);
        viewport += by;
        QCOMPARE(widths(), chosen);
        QCOMPARE(header->sectionSize(DirListModel::Date), 50);
    }
}

// A folder of many entries is read aside: meanwhile the list is empty and printing it is off;
// once read, it shows every entry in the sort chosen.
void TestWindow::bigFolderReadAside()
{
    QTemporaryDir volume;
    QVERIFY(QDir(volume.path()).mkdir(u"big"_s));
    const QByteArray big = QFile::encodeName(volume.path()) + "/big/";
    for (int i = 0; i < 10000; ++i)
        QVERIFY(::close(::creat(big + QByteArray::number(i), 0644)) == 0);
    const auto window = ScannedWindow(volume);
    const QAction *print = window->findChild<QAction *>(u"mnuFilePrint"_s);
    QVERIFY(print->isEnabled());
    window->folderTree()->setSelectedfolder(big);
    QCOMPARE(window->listModel()->rowCount(), 0);
    QVERIFY(!print->isEnabled());
    QTRY_COMPARE(window->listModel()->rowCount(), 10000);
    QVERIFY(print->isEnabled());
}

// The bar above the map moves by a step for Up and Down alone, and follows a drag.
void TestWindow::splitBar()
{
    SplitBar bar;
    bar.resize(200, 6);
    bar.show();
    QSignalSpy moved(&bar, &SplitBar::moved);
    QTest::keyClick(&bar, Qt::Key_Up);
    QTest::keyClick(&bar, Qt::Key_Down, Qt::KeypadModifier);
    QTest::keyClick(&bar, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(&bar, Qt::Key_Down, Qt::ControlModifier);
    QTest::mousePress(&bar, Qt::LeftButton, {}, {10, 3});
    QTest::mouseMove(&bar, {12, 3}); // sideways only
    QTest::mouseMove(&bar, {12, 8});
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, {12, 8});
    QTest::mouseMove(&bar, {12, 20}); // no button down
    QCOMPARE(moved, (QList<QVariantList>{{-10}, {10}, {5}}));
}

// On a later start the widths come back as the user left them, and a percentage column left
// narrow still gives way from the bar's side, keeping the figure.
// The map's key takes the lines its names need in the width it is given, as that width changes.
void TestWindow::mapKeyWraps()
{
    QWidget box;
    auto *layout = new QVBoxLayout(&box);
    auto *key = new MapLegend(KindNames());
    layout->addWidget(new QWidget, 1);
    layout->addWidget(key);
    std::vector<int> heights;
    for (const int width : {1200, 150}) {
        box.resize(width, 600);
        box.show();
        QTRY_COMPARE(key->width(), width - 2 * layout->contentsMargins().left());
        QTRY_COMPARE(key->height(), key->heightForWidth(key->width()));
        heights.push_back(key->height());
    }
    QCOMPARE_GT(heights[1], heights[0]); // narrower, on more lines
}

void TestWindow::storedColumnWidths()
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(u"QNL.conf"_s));
    for (int start = 0; start < 2; ++start) {
        MainWindow window(QList{VolumeOf(m_volume)}, &store);
        window.show();
        const auto *list = window.findChild<QTreeView *>(u"LVDirView"_s);
        QVERIFY(
            dynamic_cast<ElideLeftDelegate *>(list->itemDelegateForColumn(DirListModel::Percent)));
        if (start == 1)
            QCOMPARE(list->header()->sectionSize(DirListModel::Percent), 40);
        list->header()->resizeSection(DirListModel::Percent, 40);
        window.close();
    }
}

// A menu entry and a button per drive, a spacer between two buttons, keys for the first ten, an
// "&" shown as it is; Esc with no walk running stops the next one a caller starts.
void TestWindow::driveCommandsAndKeys()
{
    QList<Volume> drives{Volume{"/"}};
    for (int i = 1; i < 10; ++i)
        drives.append(Volume{"/media/d" + QByteArray::number(i)});
    drives.append(Volume{"/media/a&b"});
    MainWindow many(drives, nullptr);
    QStringList entries;
    for (const QAction *entry : many.findChildren<QAction *>(u"mnuScanDisk"_s))
        entries.append(entry->text());
    QCOMPARE(entries.mid(9), (QStringList{u"[-&/media/d9-]\tCtrl+F10"_s, u"[-&/media/a&&b-]"_s}));
    const QList<QAction *> buttons = many.findChild<QToolBar *>(u"Toolbar"_s)->actions();
    QCOMPARE(buttons.size(), 21);
    QVERIFY(buttons[19]->isSeparator() && !buttons[20]->isSeparator());

    QTemporaryDir second;
    MainWindow window({VolumeOf(m_volume), VolumeOf(second)}, nullptr);
    window.show();
    // Held down, a key acts once: its repeats are not taken for more presses.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_F1, Qt::ControlModifier, QString(), true);
    QApplication::sendEvent(window.folderTree(), &repeat);
    QVERIFY(!window.isScanning());
    QTest::keyClick(window.folderTree(), Qt::Key_F2, Qt::ControlModifier); // the last drive's key
    QCOMPARE(window.folderTree()->rootfolder(), QFile::encodeName(second.path()) + '/');
    QTest::keyClick(window.focusWidget(), Qt::Key_Escape);
    window.scans()->ScanDrive(VolumeOf(m_volume));
    QVERIFY(Settled(window));
    QCOMPARE(window.diskSize(), 0u);
}

// Each row starts from the sample volume (7217 bytes, 4 folders) and a second one (10 bytes),
// neither scanned, and takes these steps: "0" or "1" picks that drive, "F5" rescans, "Esc" asks to
// stop now, "stop" during the next walk, "busy" checks the states during it and that the window
// will not close, "grow" adds a folder of 904 bytes, "lock" an unreadable folder, "gone" removes
// the volume.
void TestWindow::scanCommands_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("folders");
    QTest::addColumn<quint64>("diskSize");
    QTest::addColumn<QString>("status"); // {} for the stop message
    QTest::addColumn<QString>("states");
    QTest::newRow("pick, Esc before it forgotten")
        << u"Esc busy 0"_s << 4 << quint64(7217) << u"4 Repertoires Scannés"_s << u"1011"_s;
    QTest::newRow("second pick does not walk again")
        << u"0 grow 1 0"_s << 5 << quint64(7217) << u"[-"_s << u"1011"_s;
    QTest::newRow("rescan walks again")
        << u"0 grow busy F5"_s << 5 << quint64(8121) << u"5 Repertoires Scannés"_s << u"1011"_s;
    QTest::newRow("stopped, no record left")
        << u"stop 0"_s << 0 << quint64(0) << QString() << u"0000"_s;
    QTest::newRow("unreadable folder") << u"lock 0"_s << 4 << quint64(7217)
                                       << u"4 Repertoires Scannés, 1 Illisibles"_s << u"1011"_s;
    QTest::newRow("a folder as a drive of its own, picked twice")
        << u"sub sub"_s << 2 << quint64(4096) << u"2 Repertoires Scannés"_s << u"1011"_s;
    QTest::newRow("no folder to walk")
        << u"b.txt"_s << 0 << quint64(0) << u"0 Repertoires Scannés"_s << u"0000"_s;
    QTest::newRow("drive the tree cannot show")
        << u"gone 0"_s << 0 << quint64(0) << u"0 Repertoires Scannés"_s << u"0000"_s;
}

void TestWindow::scanCommands()
{
    QFETCH(QString, steps);
    QTemporaryDir volume, other;
    Write(volume, Sample);
    Write(other, {{u"f"_s, 10}});
    MainWindow w({VolumeOf(volume), VolumeOf(other)}, nullptr);
    w.show();
    // The views that read records are told before the records go, never after.
    int toldLate = 0;
    connect(w.scans(), &ScanController::recordsGoing, &w,
            [&] { toldLate += w.folders().count() == 0; });
    for (const QString &step : steps.split(u' ')) {
        if (step == u"0"_s || step == u"1"_s)
            w.driveCommand(step.toInt());
        else if (step == u"sub"_s || step == u"b.txt"_s) {
            BoxCatcher box;
            QCOMPARE(w.scanFolder(QFile::encodeName(volume.filePath(step))), step == u"sub"_s);
            QCOMPARE(box.text.startsWith(volume.filePath(step) + u" n'est pas"_s),
                     step == u"b.txt"_s);
        } else if (step == u"F5"_s)
            w.findChild<QAction *>(u"REFRESH"_s)->trigger();
        else if (step == u"Esc"_s)
            w.scans()->stopCommand();
        else if (step == u"stop"_s)
            QTimer::singleShot(0, &w, [&w] { w.scans()->stopCommand(); });
        else if (step == u"busy"_s)
            QTimer::singleShot(0, &w, [&w] {
                QCOMPARE(States(w), u"1100"_s);
                BoxCatcher box;
                QVERIFY(!w.close());
                QCOMPARE(box.text, u"Arrêter Scan avant de Quitter"_s);
            });
        else if (step == u"grow"_s)
            Write(volume, {{u"later/new"_s, 904}});
        else if (step == u"gone"_s)
            QDir(volume.path()).removeRecursively();
        else if (step == u"lock"_s) {
            QDir(volume.path()).mkdir(u"locked"_s);
            QFile::setPermissions(volume.filePath(u"locked"_s), {});
            OverrideReadPermissions(false);
        }
        QVERIFY(Settled(w));
    }
    OverrideReadPermissions(true);
    QCOMPARE(toldLate, 0);
    QVERIFY(!w.isScanning());
    QTEST(int(w.folders().count()), "folders");
    QTEST(w.diskSize(), "diskSize");
    // In bytes on the disk too, after a walk again as after the first.
    w.scans()->setSizeMeasure(SizeMeasure::OnDisk);
    QCOMPARE(w.scans()->diskSize(),
             w.diskSize() ? w.folders().find(w.folderTree()->rootfolder()).allocated() : 0);
    w.scans()->setSizeMeasure(SizeMeasure::Apparent);
    QFETCH(QString, status);
    const QString shown = w.statusPanels()->panelText(1);
    if (status.isNull())
        QCOMPARE(shown, u"Arrêter Scan du Disque [-"_s + volume.path() + u"-]"_s);
    else
        QVERIFY2(shown.startsWith(status), qPrintable(shown));
    // What could not be read is named where the count is.
    const auto *panel = w.statusPanels()->findChild<QLabel *>(u"panel1"_s);
    QCOMPARE(panel && panel->toolTip().contains(volume.filePath(u"locked"_s)),
             status.contains(u"Illisibles"_s));
    QTEST(States(w), "states");
    QCOMPARE(w.findChildren<QAction *>(u"mnuScanDisk"_s).size(), steps.contains(u"sub"_s) ? 3 : 2);
    if (steps.startsWith(u"gone"_s))
        QCOMPARE(w.folderTree()->rootfolder(), "/"_ba);
}

// The sort menu, whose order a refill keeps; the printout's title and footer, the page layout
// itself being the list printer's; a device that fails, reported in a box.
void TestWindow::print()
{
    const auto window = ScannedWindow(m_volume);
    QHeaderView *header = window->findChild<QTreeView *>(u"LVDirView"_s)->header();
    // From the keyboard: the sort menu's sizes twice, with a heading click's rules.
    header->sectionClicked(DirListModel::Date);
    for (int i = 0; i < 2; ++i)
        window->findChild<QAction *>(u"mnuViewSortBy1"_s)->trigger();
    window->findChild<QAction *>(u"SIZEDISK"_s)->trigger();
    QStringList shown;
    for (int row = 0; row < window->listModel()->rowCount(); ++row)
        shown << window->listModel()->index(row, DirListModel::Name).data().toString();
    QCOMPARE(shown, (QStringList{u"sub"_s, u"b.txt"_s, u"p"_s}));
    // What a window prints: the texts of a printout to a recording printer.
    const auto printed = [](MainWindow &printing) {
        RecordingPrinter *printer = nullptr;
        printing.print().setPrinterFactory([&] {
            auto made = std::make_unique<RecordingPrinter>();
            printer = made.get();
            return made;
        });
        printing.findChild<QAction *>(u"PRINT"_s)->trigger();
        QStringList texts;
        for (const RecordingPrinter::Call &call : printer->Calls())
            if (call.kind == RecordingPrinter::Kind::Print)
                texts << call.text;
        return texts;
    };
    const QStringList texts = printed(*window);
    // After the opening space: the drive's label and root, whichever folder is shown.
    QCOMPARE(texts[1], u"Disque [-%1-] Répertoire [-%1/-]"_s.arg(m_volume.path()));
    QCOMPARE(texts.last(), u"Page. 1"_s);
    // In bytes on disk, the title says so.
    window->findChild<QAction *>(u"mnuViewSizeOnDisk"_s)->trigger();
    QCOMPARE(printed(*window)[1], texts[1] + u" - Taille sur disque"_s);
    window->findChild<QAction *>(u"mnuViewSizeOnDisk"_s)->trigger();
    // A folder on a volume mounted inside the walked one: that volume names the printout and the
    // status bar.
    const QString sub = m_volume.filePath(u"sub"_s);
    MainWindow nested({VolumeOf(m_volume), Volume{QFile::encodeName(sub)}}, nullptr);
    nested.show();
    nested.driveCommand(0);
    QVERIFY(Settled(nested));
    nested.folderTree()->setSelectedfolder(QFile::encodeName(sub + u'/'));
    QTRY_VERIFY(nested.statusPanels()->panelText(1).startsWith(u"[-"_s + sub + u"-] : "_s));
    QCOMPARE(printed(nested)[1], u"Disque [-%1-] Répertoire [-%1/-]"_s.arg(sub));

    const QString pdf = m_volume.filePath(u"no/such/folder/out.pdf"_s);
    window->print().setPrinterFactory([&] {
        auto device = std::make_unique<QPrinter>();
        device->setOutputFormat(QPrinter::PdfFormat);
        device->setOutputFileName(pdf);
        return std::make_unique<DevicePrinter>(std::move(device), 15, 15);
    });
    BoxCatcher box;
    window->findChild<QAction *>(u"PRINT"_s)->trigger();
    QCOMPARE(box.text,
             u"482 Erreur d'imprimante ("_s + pdf + u" : fichier ou dossier introuvable)"_s);
}

// The comparison ends, its column and its key with it, by the menu or when another volume is
// shown; a scan of another root is taken only if the user says so.
void TestWindow::comparison()
{
    QTemporaryDir volume, other, files;
    Write(volume, Sample);
    MainWindow w({VolumeOf(volume), VolumeOf(other)}, nullptr);
    const QString mine = files.filePath(u"mine.json"_s);
    w.driveCommand(0);
    QVERIFY(Settled(w));
    QVERIFY(w.savedScans().save(mine) && Settled(w));
    const MapLegend *legend = w.workArea()->mapPane()->legend();
    const QString kinds = legend->accessibleName();
    QAction *end = w.findChild<QAction *>(u"mnuFileEndCompare"_s);
    for (const bool byMenu : {true, false}) {
        QVERIFY(w.savedScans().compare(mine) && Settled(w));
        QVERIFY(end->isEnabled() && legend->accessibleName() != kinds);
        byMenu ? end->trigger() : w.driveCommand(1);
        QVERIFY(Settled(w));
        QCOMPARE(w.listModel()->columnCount(), int(DirListModel::ColumnCount));
        QCOMPARE(legend->accessibleName(), kinds);
        QVERIFY(!end->isEnabled());
    }
    BoxCatcher box; // answered by neither button: no
    QVERIFY(w.savedScans().compare(mine) && Settled(w));
    QTRY_VERIFY(!box.text.isEmpty());
    QVERIFY(!end->isEnabled());
    QVERIFY2(box.text.endsWith(u"Comparer quand même ?"_s), qPrintable(box.text));
}

// A saved scan that cannot be loaded is refused with what is wrong and where; nothing is added.
void TestWindow::savedScanRefused_data()
{
    QTest::addColumn<QByteArray>("bytes"); // none: there is no such file
    QTest::addColumn<QString>("why");
    QTest::newRow("no file") << QByteArray()
                             << u"le fichier ne peut être lu (fichier ou dossier introuvable)"_s;
    QTest::newRow("not JSON") << "x"_ba << u"à l'octet 0, ce n'est pas le JSON attendu"_s;
    QTest::newRow("cut short") << R"([1,2,{},[{"name":"/"})"_ba
                               << u"à l'octet 21, le fichier s'arrête trop tôt"_s;
    QTest::newRow("more after the end")
        << R"([1,2,{},[{"name":"/"}]]x)"_ba << u"à l'octet 23, des données après la fin du scan"_s;
}

void TestWindow::savedScanRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, why);
    QTemporaryDir files;
    const QString file = files.filePath(u"scan.json"_s);
    QFile out(file);
    QVERIFY(bytes.isEmpty() ||
            (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size()));
    out.close();
    MainWindow w({VolumeOf(m_volume)}, nullptr);
    BoxCatcher box;
    QVERIFY(w.savedScans().open(file) && Settled(w));
    QTRY_VERIFY(!box.text.isEmpty());
    QCOMPARE(box.text, u"Impossible de lire le scan "_s + file + u" : "_s + why +
                           u". Rien n'a été chargé."_s);
    QCOMPARE(w.scans()->drives().size(), 1);
}

// A scan saved where no file can be made is said not written, and why.
void TestWindow::savedScanNotWritten()
{
    const auto window = ScannedWindow(m_volume);
    BoxCatcher box;
    const QString file = m_volume.filePath(u"nowhere/scan.json"_s);
    QVERIFY(window->savedScans().save(file) && Settled(*window));
    QTRY_VERIFY(!box.text.isEmpty());
    QVERIFY2(box.text.contains(file) && box.text.contains(u"introuvable"_s), qPrintable(box.text));
}

// A command waiting for its work aside holds the walks back: F5 pressed while the trash is sized
// for the question is refused, so the records the question names cannot go under it. And an edit
// finds a path's records as the views do: after a folder walked as a drive of its own inside a
// walked volume is walked again, a file deleted there leaves the list and the totals.
void TestWindow::biggestBeside_data()
{
    QTest::addColumn<int>("room"); // to the main window's right
    QTest::addColumn<bool>("beside");
    QTest::newRow("room to spare") << 800 << true;
    QTest::newRow("just room") << 780 << true;
    QTest::newRow("a pixel short") << 779 << false;
}

// The biggest files open to the main window's right at their first width when the screen has
// room for it, else over the main window's right half, never narrower than they can be read.
void TestWindow::biggestBeside()
{
    QFETCH(int, room);
    QFETCH(bool, beside);
    QWidget main;
    const QRect screen = main.screen()->availableGeometry();
    main.setGeometry(screen.right() + 1 - room - 600, screen.top(), 600, 400);
    BiggestWindow biggest;
    biggest.placeBeside(main);
    const int right = main.frameGeometry().right() + 1;
    QCOMPARE(std::pair(biggest.x(), biggest.width()),
             beside ? std::pair(right, 780) : std::pair(std::max(screen.left(), right - 520), 520));
}

void TestWindow::commandsKeepTheRecordsTheyRead()
{
    QTemporaryDir volume;
    Write(volume, {{u"sub/f"_s, 5000}, {u"g"_s, 10}, {u"other/h"_s, 7}});
    MainWindow w(QList{VolumeOf(volume)}, nullptr);
    w.show();
    w.driveCommand(0);
    const QByteArray sub = QFile::encodeName(volume.filePath(u"sub/"_s));
    QVERIFY(Settled(w) && w.scanFolder(sub) && Settled(w));
    QAction *rescan = w.findChild<QAction *>(u"REFRESH"_s);
    rescan->trigger();
    QVERIFY(Settled(w));
    QStringList asked;
    bool act = false;
    QTimer answering;
    connect(&answering, &QTimer::timeout, &w, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        asked << box->text();
        for (QAbstractButton *button : box->buttons())
            if ((box->buttonRole(button) == QMessageBox::DestructiveRole) == act)
                return button->click();
        box->buttons().constFirst()->click(); // a warning: closed, and counted
    });
    answering.start(20);
    ActCommand *acts = w.findChild<ActCommand *>();
    // A trash with something in it, so that there is a trash to size.
    QTemporaryDir data;
    QVERIFY(QDir(data.path()).mkpath(u"Trash/info"_s));
    Write(data, {{u"Trash/files/old"_s, 1}});
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const auto home = qScopeGuard([] { qunsetenv("XDG_DATA_HOME"); });
    int recordsGone = 0;
    connect(w.scans(), &ScanController::recordsGoing, &w, [&] { ++recordsGone; });
    QTimer::singleShot(0, &w, [&] { rescan->trigger(); });
    acts->moveToTrash(sub + 'f');
    QVERIFY(Settled(w) && QTest::qWaitFor([&] { return !asked.isEmpty(); }));
    QVERIFY2(asked.constFirst().contains(u"corbeille"_s), qPrintable(asked.join(u'|')));
    QCOMPARE(recordsGone, 0);

    act = true;
    acts->deletePermanently(sub + 'f');
    QVERIFY(QTest::qWaitFor([&] { return asked.size() == 3 && !w.isScanning(); }));
    QVERIFY(!QFile::exists(volume.filePath(u"sub/f"_s)));
    QCOMPARE(w.folders().find(sub).size(), 0u);
    w.folderTree()->setSelectedfolder(sub);
    QTRY_COMPARE(w.listModel()->rowCount(), 0);
    // A folder is found in the records as a file is, and goes the same way.
    acts->deletePermanently(QFile::encodeName(volume.filePath(u"other"_s)));
    QVERIFY(QTest::qWaitFor([&] { return asked.size() == 5 && !w.isScanning(); }));
    QVERIFY(!QFileInfo::exists(volume.filePath(u"other"_s)));
    // The root is refused, and why said; a file's row refreshes the folder that holds it.
    acts->deletePermanently(QFile::encodeName(volume.path()) + '/');
    QVERIFY(QTest::qWaitFor([&] { return asked.size() == 6; }));
    QCOMPARE(asked.last(), u"La racine du volume n'est pas supprimée."_s);
    Write(volume, {{u"sub/new"_s, 77}});
    acts->refresh(sub + "new");
    QVERIFY(Settled(w));
    QCOMPARE(w.folders().find(sub).size(), 77u);
}

// The biggest files' window before any scan says none was made; over a volume it shows its files,
// the biggest first, with room for twenty rows; a row chosen is shown in the tree and the list; a
// heading sorts; a rescan is followed.
void TestWindow::biggestFiles()
{
    QTemporaryDir volume;
    Write(volume, Sample);
    MainWindow window(QList{VolumeOf(volume)}, nullptr);
    window.show();
    window.findChild<QAction *>(u"mnuViewBiggest"_s)->trigger();
    auto *biggest = window.findChild<BiggestWindow *>();
    QCOMPARE(biggest->countText(), u"Aucun disque scanné"_s);
    window.driveCommand(0);
    QTRY_COMPARE(biggest->countText(), u"4 Fichiers affichés sur 4 Fichiers du disque"_s);
    QTreeView *table = biggest->table();
    QVERIFY(table->viewport()->height() >=
            20 * table->visualRect(table->model()->index(0, 0)).height());
    // The view taking the focus gives itself a current row, which moves nothing.
    const QByteArray shown = window.folderTree()->selectedfolder();
    QFocusEvent focus(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(table, &focus);
    QVERIFY(table->currentIndex().isValid());
    QCOMPARE(window.folderTree()->selectedfolder(), shown);
    table->setCurrentIndex(table->model()->index(0, 0));
    QCOMPARE(window.folderTree()->selectedfolder(), QFile::encodeName(volume.path()) + "/sub/");
    QCOMPARE(window.findChild<QTreeView *>(u"LVDirView"_s)->currentIndex().data(), u"a.dat"_s);
    // A heading clicked sorts by its column.
    QHeaderView *header = table->header();
    QTest::mouseClick(
        header->viewport(), Qt::LeftButton, {},
        {header->sectionViewportPosition(BiggestModel::Name) + 4, header->height() / 2});
    QCOMPARE(header->sortIndicatorSection(), int(BiggestModel::Name));
    QCOMPARE(table->model()->index(0, 0).data().toString(),
             header->sortIndicatorOrder() == Qt::AscendingOrder ? u"a"_s : u"c"_s);

    Write(volume, {{u"z"_s, 5}});
    window.findChild<QAction *>(u"REFRESH"_s)->trigger();
    QTRY_COMPARE(biggest->model()->rowCount(), 5);
    QVERIFY(HeadedColumns(*biggest->model()));
}

// A large folder is read and sorted on another thread: the list empties at once and shows it
// sorted once read, with its total in the status bar and a file chosen meanwhile selected. A
// folder picked before it is read wins, and a rescan meanwhile waits for the reading.
void TestWindow::largeFolderReadAside()
{
    QTemporaryDir volume;
    Files files{{u"a"_s, 1}};
    for (int i = 12000; i-- > 0;)
        files.append({u"big/f%1"_s.arg(i, 5, 10, QChar(u'0')), 0});
    Write(volume, files);
    const auto window = ScannedWindow(volume);
    const QByteArray root = QFile::encodeName(volume.path()) + '/';
    QAbstractItemModel *list = window->findChild<QTreeView *>(u"LVDirView"_s)->model();
    const auto pick = [&](const QByteArray &folder) {
        window->folderTree()->setSelectedfolder(folder);
    };

    pick(root + "big/");
    QCOMPARE(list->rowCount(), 0);
    pick(root);
    QCOMPARE(list->rowCount(), 2);
    QTest::qWait(300);
    QCOMPARE(list->rowCount(), 2);

    window->workArea()->selectFile(root + "big/", "f11999");
    QTRY_COMPARE(list->rowCount(), 12000);
    QCOMPARE(list->index(0, 0).data(), u"f00000"_s);
    QCOMPARE(window->findChild<QTreeView *>(u"LVDirView"_s)->currentIndex().data(), u"f11999"_s);
    QVERIFY(window->statusPanels()->panelText(1).startsWith(u"[-big-] :"_s));

    pick(root);
    pick(root + "big/");
    window->findChild<QAction *>(u"REFRESH"_s)->trigger();
    QTRY_COMPARE(list->rowCount(), 12000);
}

// The bytes on disk replace the sizes in the list and its percentages, and go back: a hole
// counts nothing, a part-filled block a whole one. A hole far above what the volume uses has the
// status bar say so, until the user moves on.
void TestWindow::sizeOnDisk()
{
    QTemporaryDir volume;
    const QByteArray root = QFile::encodeName(volume.path()) + '/';
    QFile hole(volume.filePath(u"hole"_s)), full(volume.filePath(u"full"_s));
    QVERIFY(hole.open(QIODevice::WriteOnly) && hole.resize(Q_INT64_C(8) << 40));
    QVERIFY(full.open(QIODevice::WriteOnly) && full.write(QByteArray(5000, 'x')) == 5000);
    hole.close();
    full.close();
    const auto window = ScannedWindow(volume);
    const auto sizes = [&] {
        std::map<QString, quint64> bytes;
        const QAbstractItemModel *list = window->findChild<QTreeView *>(u"LVDirView"_s)->model();
        for (int row = 0; row < list->rowCount(); ++row)
            bytes[list->index(row, 0).data().toString()] =
                list->index(row, DirListModel::Size).data(DirListModel::SortRole).toULongLong();
        return bytes;
    };
    const auto blocks = [&](const char *name) {
        struct stat st
        {
        };
        return ::stat(root + name, &st) == 0 ? quint64(st.st_blocks) * 512 : 1;
    };
    QVERIFY(window->statusPanels()->panelText(1).startsWith(u"Total Scanné 8388 608 Mb"_s));
    QApplication::setActiveWindow(window.get()); // an activation says the folder count again
    QVERIFY(window->statusPanels()->panelText(1).startsWith(u"Total Scanné"_s));
    QCOMPARE(sizes(),
             (std::map<QString, quint64>{{u"full"_s, 5000}, {u"hole"_s, quint64(8) << 40}}));
    QAction *toggle = window->findChild<QAction *>(u"mnuViewSizeOnDisk"_s);
    toggle->trigger();
    QCOMPARE(window->sizeMeasure(), SizeMeasure::OnDisk);
    QCOMPARE(sizes(), (std::map<QString, quint64>{{u"full"_s, blocks("full")},
                                                  {u"hole"_s, blocks("hole")}}));
    QVERIFY(blocks("full") >= 5000 && blocks("hole") < 10'000'000);
    QCOMPARE(window->listModel()->headerData(DirListModel::Size, Qt::Horizontal),
             u"Taille sur disque"_s);
    toggle->trigger();
    QCOMPARE(sizes()[u"hole"_s], quint64(8) << 40);
    QCOMPARE(window->statusPanels()->panelText(1).left(2), u"[-"_s); // the user has moved on
}

// After the walk the window follows the volume: a file written and a folder made by another
// program show in the list, the tree and the totals, the row the user selected stays selected,
// and what grew is listed biggest first.
void TestWindow::live()
{
    QTemporaryDir volume;
    Write(volume, {{u"a/x"_s, 100}, {u"b"_s, 10}});
    const auto window = ScannedWindow(volume);
    QTRY_VERIFY(window->statusPanels()->liveText().startsWith(u"En direct"_s));
    QTreeView *list = window->findChild<QTreeView *>(u"LVDirView"_s);
    const auto row = [&](const QString &name) {
        const QModelIndexList found = list->model()->match(
            list->model()->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly);
        return found.isEmpty() ? QModelIndex() : found.first();
    };
    list->setCurrentIndex(row(u"b"_s));
    const quint64 before = window->diskSize();
    Write(volume, {{u"grown"_s, 5000}, {u"new/y"_s, 7}});
    QTRY_COMPARE(window->diskSize(), before + 5007);
    QTRY_VERIFY(row(u"grown"_s).isValid() && row(u"new"_s).isValid());
    QCOMPARE(list->currentIndex(), row(u"b"_s));
    QVERIFY(list->selectionModel()->isRowSelected(row(u"b"_s).row()));
    QVERIFY(window->statusPanels()->liveText().contains(u"depuis le scan"_s));
    FolderTreeModel *tree = window->findChild<FolderTreeView *>()->model();
    QTRY_VERIFY(tree->rowCount(tree->index(0, 0)) == 2);

    window->findChild<QAction *>(u"mnuViewGrowth"_s)->trigger();
    auto *growth = window->findChild<GrowthWindow *>();
    QVERIFY(growth && growth->isVisible());
    QTRY_COMPARE(growth->model()->rowCount(), 3); // the root, the file and the new folder
    QCOMPARE(growth->model()->index(0, GrowthModel::Name).data().toString(),
             QString::fromUtf8(QFile::encodeName(volume.path()) + '/'));
    QCOMPARE(growth->model()->index(1, GrowthModel::Name).data().toString(), u"grown"_s);
    QCOMPARE(growth->model()->index(1, GrowthModel::Growth).data().toString(), u"+5 000"_s);
    QCOMPARE(growth->model()->index(2, GrowthModel::Name).data().toString(), u"new/"_s);
    QVERIFY(HeadedColumns(*growth->model()));
    // A row chosen is shown: a file in its folder's list, a folder in the tree.
    auto *table = growth->findChild<QTreeView *>();
    const auto choose = [&](const QString &name) {
        table->setCurrentIndex(
            table->model()->match(table->model()->index(0, 0), Qt::DisplayRole, name).value(0));
        QTest::keyClick(table, Qt::Key_Return);
    };
    choose(u"grown"_s);
    QCOMPARE(list->currentIndex(), row(u"grown"_s));
    choose(u"new/"_s);
    QCOMPARE(window->folderTree()->selectedfolder(), QFile::encodeName(volume.path()) + "/new/");
    // The changes on the map: its key names them, and nothing unread, which only a comparison has.
    const MapLegend *legend = window->workArea()->mapPane()->legend();
    const QString kinds = legend->accessibleName();
    growth->findChild<QCheckBox *>(u"chkGrowthMap"_s)->setChecked(true);
    QTRY_COMPARE(
        legend->accessibleName(),
        QStringList({Text(TextId::MapGrown), Text(TextId::MapShrunk), Text(TextId::MapUnchanged)})
            .join(u", "_s));
    growth->findChild<QCheckBox *>(u"chkGrowthMap"_s)->setChecked(false);
    QTRY_COMPARE(legend->accessibleName(), kinds);
}

// Ctrl+T counts the selected folder and below; Enter on a kind lists its files; one chosen is
// shown in the tree and the list while the window keeps its folder; the kind selected stands
// out on the map until the window closes.
void TestWindow::kinds()
{
    QTemporaryDir volume;
    Write(volume, Sample + Files{{u"sub/vm.ISO"_s, 5000}, {u"photo.jpg"_s, 2000}});
    const auto window = ScannedWindow(volume);
    const QByteArray root = QFile::encodeName(volume.path()) + '/';
    window->findChild<QAction *>(u"mnuViewMap"_s)->trigger();
    MapView *map = window->findChild<MapView *>();
    QTRY_VERIFY(map->layout() && !map->isDrawing());
    // The centre of a file's tile on screen, and its colour there.
    const auto centre = [&](const char *file) {
        const MapLayout &layout = *map->layout();
        for (quint32 tile = 0; tile < layout.tiles().size(); ++tile)
            if (map->pathOf(tile) == root + file) {
                const MapTile &t = layout.tiles()[tile];
                return QPointF((t.x + t.width / 2.0) * map->width() / layout.size().width(),
                               (t.y + t.height / 2.0) * map->height() / layout.size().height())
                    .toPoint();
            }
        return QPoint(-1, -1);
    };
    const auto colour = [&](const char *file) { return map->grab().toImage().pixel(centre(file)); };
    const QRgb plainPhoto = colour("photo.jpg"), plainImage = colour("sub/vm.ISO");
    QTest::keyClick(window.get(), Qt::Key_T, Qt::ControlModifier);
    auto *kinds = window->findChild<KindsWindow *>();
    QTRY_COMPARE(kinds->model()->census().count, 6u);
    QTreeView *view = kinds->kindsView();
    QCOMPARE(view->model()->headerData(KindsModel::Size, Qt::Horizontal), Text(TextId::ColumnSize));
    QVERIFY(HeadedColumns(*kinds->model()));
    QModelIndexList images;
    for (const FileKind kind : {FileKind::Picture, FileKind::DiskImage}) {
        images = view->model()->match(view->model()->index(0, 0), KindsModel::KindRole, int(kind));
        QCOMPARE(images.size(), 1);
        view->setCurrentIndex(images[0]);
        QCOMPARE(map->emphasis(), kind);
        // The kind chosen keeps its colour; the others are veiled.
        const bool photo = kind == FileKind::Picture;
        QCOMPARE(colour("photo.jpg") == plainPhoto, photo);
        QCOMPARE(colour("sub/vm.ISO") == plainImage, !photo);
    }
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_COMPARE(kinds->filesView()->model()->rowCount(), 1);
    kinds->filesView()->setCurrentIndex(kinds->filesView()->model()->index(0, 0));
    QCOMPARE(window->folderTree()->selectedfolder(), root + "sub/");
    QCOMPARE(window->findChild<QTreeView *>(u"LVDirView"_s)->currentIndex().data(), u"vm.ISO"_s);
    QVERIFY(!kinds->isCounting());
    QCOMPARE(kinds->model()->census().count, 6u);
    // A click on a heading sorts by it: the kinds by name, from the size's order.
    QHeaderView *header = view->header();
    QCOMPARE(header->sortIndicatorSection(), int(KindsModel::Size));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(KindsModel::Name) + 5, 5));
    QCOMPARE(header->sortIndicatorSection(), int(KindsModel::Name));
    kinds->close();
    QCOMPARE(map->emphasis(), std::nullopt);
}

// Ctrl+Shift+D searches the folder selected: the identical files, the biggest waste first, a copy
// with two names counted once, a file of the same size but other bytes left out, and the folders
// that mostly copy each other. A copy chosen is shown in the list. Keeping the oldest copy through
// the trash leaves it alone on the disk, the records follow, and the search runs again, as after
// a rescan.
void TestWindow::duplicates()
{
    QTemporaryDir volume, data;
    Write(volume, {{u"a/big"_s, 3000},
                   {u"b/big"_s, 3000},
                   {u"c/big copy"_s, 3000},
                   {u"a/small"_s, 2000},
                   {u"b/small"_s, 2000}});
    QFile other(volume.filePath(u"b/other"_s));
    QVERIFY(other.open(QIODevice::WriteOnly) && other.write(QByteArray(2000, 'y')) == 2000);
    other.close();
    const QByteArray root = QFile::encodeName(volume.path()) + '/';
    QVERIFY(::link(root + "a/small", root + "a/small-link") == 0);
    const timespec old[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    QVERIFY(::utimensat(AT_FDCWD, root + "c/big copy", old, 0) == 0);
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const auto home = qScopeGuard([] { qunsetenv("XDG_DATA_HOME"); });
    const auto window = ScannedWindow(volume);
    QTest::keyClick(window.get(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    auto *dupes = window->findChild<DuplicatesWindow *>(u"frmDuplicates"_s);
    QVERIFY(dupes && dupes->isVisible());
    QAbstractItemModelTester groupsTester(dupes->model()), foldersTester(dupes->folderModel());
    // Searched again once the typing pauses, and then the window is still: no timer left going.
    dupes->setMinimumSize(1);
    QTRY_VERIFY(dupes->hasResult() &&
                std::ranges::none_of(dupes->findChildren<QTimer *>(), &QTimer::isActive));
    window->findChild<QAction *>(u"mnuViewDuplicates"_s)->trigger(); // asked for again: kept
    QVERIFY(dupes->hasResult());
    const DuplicatesModel *groups = dupes->model();
    const auto cell = [&](int group, int copy, int column, int role = Qt::DisplayRole) {
        const QModelIndex top = groups->index(group, 0);
        return (copy < 0 ? top.siblingAtColumn(column) : groups->index(copy, column, top))
            .data(role);
    };
    QCOMPARE(groups->rowCount(), 2);
    QCOMPARE(cell(0, -1, DuplicatesModel::Waste, DuplicatesModel::SortRole).toULongLong(), 6000u);
    QCOMPARE(cell(0, -1, DuplicatesModel::Copies).toString(), u"3 copies"_s);
    QCOMPARE(cell(1, -1, DuplicatesModel::Waste, DuplicatesModel::SortRole).toULongLong(), 2000u);
    QCOMPARE(cell(1, 0, DuplicatesModel::Copies).toString(), u"2 noms"_s);
    QCOMPARE(groups->headerData(DuplicatesModel::Waste, Qt::Horizontal).toString(),
             Text(TextId::ColumnWaste));
    QVERIFY(HeadedColumns(*groups));
    for (int column = 0; column < DuplicatesModel::ColumnCount; ++column) // amounts to the right
        QCOMPARE(cell(0, 0, column, Qt::TextAlignmentRole).isValid(),
                 column == DuplicatesModel::Size || column == DuplicatesModel::OnDisk ||
                     column == DuplicatesModel::Waste);
    // On disk, the waste is in blocks; back in bytes as before.
    struct stat big, small;
    QVERIFY(::stat(root + "a/big", &big) == 0 && ::stat(root + "b/small", &small) == 0);
    QAction *onDisk = window->findChild<QAction *>(u"mnuViewSizeOnDisk"_s);
    onDisk->trigger();
    QCOMPARE(cell(0, -1, DuplicatesModel::Waste, DuplicatesModel::SortRole).toULongLong(),
             quint64(big.st_blocks) * 1024);
    QCOMPARE(cell(1, -1, DuplicatesModel::Waste, DuplicatesModel::SortRole).toULongLong(),
             quint64(small.st_blocks) * 512);
    onDisk->trigger();
    QCOMPARE(cell(0, -1, DuplicatesModel::Waste, DuplicatesModel::SortRole).toULongLong(), 6000u);
    QVERIFY2(dupes->statusText().startsWith(u"Groupes de fichiers identiques : 2,"_s),
             qPrintable(dupes->statusText()));
    const FolderMatchesModel *folders = dupes->folderModel();
    QCOMPARE(folders->rowCount(), 1);
    QVERIFY(HeadedColumns(*folders));
    QCOMPARE(
        folders->index(0, FolderMatchesModel::Percent).data(FolderMatchesModel::SortRole).toInt(),
        71);

    // Keeping the copy chosen asks for a copy, not a group.
    auto *keep = dupes->findChild<QComboBox *>(u"cboDuplicatesKeep"_s);
    auto *trash = dupes->findChild<QPushButton *>(u"btnDuplicatesTrash"_s);
    keep->setCurrentIndex(int(DuplicatesWindow::Keep::Chosen));
    dupes->table()->setCurrentIndex(groups->index(0, 0));
    QVERIFY(!trash->isEnabled() && trash->toolTip() == Text(TextId::DuplicatesChooseCopy));
    dupes->table()->setCurrentIndex(groups->index(0, 0, groups->index(0, 0)));
    QVERIFY(trash->isEnabled());
    keep->setCurrentIndex(int(DuplicatesWindow::Keep::Oldest));
    QCOMPARE(window->folderTree()->selectedfolder(), root + "a/");
    QCOMPARE(window->findChild<QTreeView *>(u"LVDirView"_s)->currentIndex().data(), u"big"_s);

    QStringList asked;
    QTimer answering;
    connect(&answering, &QTimer::timeout, dupes, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        asked << box->text();
        for (QAbstractButton *button : box->buttons())
            if (box->buttonRole(button) == QMessageBox::DestructiveRole)
                return button->click();
        box->buttons().constFirst()->click();
    });
    answering.start(20);
    dupes->table()->setCurrentIndex(groups->index(0, 0));
    trash->click();
    QVERIFY(Settled(*window));
    QTRY_VERIFY(dupes->hasResult());
    QCOMPARE(
        asked,
        QStringList{u"Garder un seul exemplaire et mettre les autres copies à la corbeille ?"_s});
    QVERIFY(QFile::exists(volume.filePath(u"c/big copy"_s)));
    QVERIFY(!QFile::exists(volume.filePath(u"a/big"_s)) &&
            !QFile::exists(volume.filePath(u"b/big"_s)));
    QCOMPARE(window->folders().find(root + "b/").size(), 4000u);
    QCOMPARE(groups->rowCount(), 1);

    Write(volume, {{u"c/small"_s, 2000}});
    window->findChild<QAction *>(u"REFRESH"_s)->trigger();
    QVERIFY(Settled(*window));
    QTRY_VERIFY(dupes->hasResult() && dupes->records() == window->folders().scanHolding(root));
    QCOMPARE(cell(0, -1, DuplicatesModel::Copies).toString(), u"3 copies"_s);
    // A copy whose bytes changed since the search is left as it is, and the user told which.
    QFile changed(volume.filePath(u"c/small"_s));
    QVERIFY(changed.open(QIODevice::WriteOnly) && changed.write(QByteArray(2000, 'z')) == 2000);
    changed.close();
    keep->setCurrentIndex(int(DuplicatesWindow::Keep::Chosen));
    dupes->table()->setCurrentIndex(groups->index(0, 0, groups->index(0, 0)));
    const QByteArray chosen =
        window->folderTree()->selectedfolder() +
        window->findChild<QTreeView *>(u"LVDirView"_s)->currentIndex().data().toString().toUtf8();
    trash->click();
    QVERIFY(Settled(*window));
    QTRY_COMPARE(asked.size(), 3);
    QVERIFY(QFile::exists(QFile::decodeName(chosen)));
    QVERIFY2(asked.last().startsWith(Text(TextId::DuplicatesLeftOne)) &&
                 asked.last().contains(u"c/small"_s),
             qPrintable(asked.last()));
    QVERIFY(QFile::exists(volume.filePath(u"c/small"_s)));
    keep->setCurrentIndex(int(DuplicatesWindow::Keep::Oldest));
    // A trash planted as a link is not used: the copies stay, and the user is told where; a
    // copy gone since the search is told gone.
    Write(volume, {{u"c/one"_s, 1500}, {u"c/two"_s, 1500}, {u"c/three"_s, 1500}});
    QVERIFY(QDir(data.filePath(u"Trash"_s)).removeRecursively() &&
            QFile::link(volume.path(), data.filePath(u"Trash"_s)));
    window->findChild<QAction *>(u"REFRESH"_s)->trigger();
    QVERIFY(Settled(*window));
    QTRY_VERIFY(dupes->hasResult() && groups->rowCount() == 1);
    dupes->table()->setCurrentIndex(groups->index(0, 0));
    QVERIFY(QFile::remove(volume.filePath(u"c/three"_s)));
    trash->click();
    QVERIFY(Settled(*window));
    QTRY_COMPARE(asked.size(), 5);
    QVERIFY2(
        asked.last().contains(u"Trash » est un lien symbolique"_s) &&
            asked.last().contains(u"three » a changé depuis la recherche : il n'existe plus"_s),
        qPrintable(asked.last()));
    QVERIFY(QFile::exists(volume.filePath(u"c/one"_s)) &&
            QFile::exists(volume.filePath(u"c/two"_s)));
    // Opened again, it takes the tree's folder.
    dupes->close();
    window->folderTree()->setSelectedfolder(root + "c/");
    QVERIFY(Settled(*window));
    window->findChild<QAction *>(u"mnuViewDuplicates"_s)->trigger();
    QCOMPARE(dupes->folderPath(), root + "c/");
}

void TestWindow::duplicatesQuestion_data()
{
    QTest::addColumn<int>("groups");
    QTest::addColumn<int>("going");     // copies that go in each group
    QTest::addColumn<int>("elsewhere"); // of those, copies with other names
    QTest::addColumn<int>("named");     // going copies the question names
    QTest::addColumn<int>("more");      // and counts
    QTest::addColumn<int>("otherNames");
    QTest::newRow("one copy") << 1 << 1 << 0 << 1 << 0 << 0;
    QTest::newRow("too many copies for one question") << 1 << 13 << 0 << 10 << 3 << 0;
    QTest::newRow("too many groups") << 5 << 1 << 0 << 3 << 2 << 0;
    QTest::newRow("as many other names as a question names") << 1 << 12 << 12 << 10 << 2 << 12;
    QTest::newRow("other names past the limit") << 2 << 10 << 10 << 10 << 10 << 12;
}

// Whatever the selection, the question stays short, and no copy that goes is left uncounted.
void TestWindow::duplicatesQuestion()
{
    QFETCH(int, groups);
    QFETCH(int, going);
    QFETCH(int, elsewhere);
    std::vector<DuplicatesWindow::Plan> plans(static_cast<size_t>(groups));
    int group = 0;
    for (DuplicatesWindow::Plan &plan : plans) {
        plan.keep = "/v/" + QByteArray::number(++group) + "/kept";
        for (int copy = 0; copy < going; ++copy) {
            plan.remove.push_back(plan.keep + QByteArray::number(copy));
            if (copy < elsewhere)
                plan.namedElsewhere.push_back(plan.remove.back());
        }
    }
    const QStringList lines = DuplicatesCommand::PlansText(plans).split(u'\n');
    const QString more = Text(TextId::DuplicatesMore).section(u'%', 0, 0);
    QTEST(int(lines.filter(QRegularExpression(u"^    /v/\\d+/kept\\d+$"_s)).size()), "named");
    const QStringList counted = lines.filter(more);
    QTEST(counted.isEmpty() ? 0 : counted.front().mid(more.size()).section(u' ', 0, 0).toInt(),
          "more");
    QTEST(int(lines.filter(Text(TextId::DuplicatesOtherNames).section(u"%s"_s, 1, 1)).size()),
          "otherNames");
}

// Each complete walk is recorded beside the settings; the history window shows the folder's
// walks on its chart and the subfolders that grew between the last two, and compares the list
// with the first: a file the history does not name then (it keeps the biggest 1,000) is unknown,
// never new.
void TestWindow::history()
{
    QTemporaryDir volume, dir;
    Write(volume, {{u"a/old"_s, 5000}, {u"b/stays"_s, 300}});
    Files many;
    for (int i = 0; i <= 1000; ++i)
        many.append({u"many/%1"_s.arg(i), 1});
    Write(volume, many);
    SettingsStore store(dir.filePath(u"QNL.conf"_s));
    MainWindow window({VolumeOf(volume)}, &store);
    QCOMPARE(window.history().file(), dir.filePath(u"history.sqlite"_s));
    window.show();
    window.driveCommand(0);
    QVERIFY(Recorded(window));
    QVERIFY(QFile::exists(window.history().file()));
    QTest::keyClick(&window, Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    auto *tool = window.findChild<HistoryWindow *>(u"frmHistory"_s);
    QVERIFY(tool && tool->isVisible());
    QTRY_COMPARE(tool->points().size(), size_t(1));
    QAbstractItemModelTester tester(tool->model());
    // Two walks to pick from are needed before either list can be used.
    auto *from = tool->findChild<QComboBox *>(u"cboHistoryFrom"_s);
    auto *to = tool->findChild<QComboBox *>(u"cboHistoryTo"_s);
    QVERIFY(!from->isEnabled() && !to->isEnabled());

    Write(volume, {{u"a/new"_s, 7000}, {u"a/old"_s, 6000}});
    window.findChild<QAction *>(u"REFRESH"_s)->trigger();
    QVERIFY(Settled(window));
    QTRY_VERIFY(!window.history().isBusy() && tool->points().size() == 2 && tool->hasGrowth());
    QVERIFY(from->isEnabled() && to->isEnabled());
    QCOMPARE(tool->series(SizeMeasure::Apparent)->count(), 2);
    QChartView *chart = tool->chart();
    QLineSeries *sizes = tool->series(SizeMeasure::Apparent);
    const QPoint second = chart->mapFromScene(chart->chart()->mapToPosition(sizes->at(1), sizes));
    QHelpEvent rest(QEvent::ToolTip, second, chart->viewport()->mapToGlobal(second));
    QApplication::sendEvent(chart->viewport(), &rest);
    QTRY_VERIFY(QToolTip::isVisible());
    QVERIFY2(QToolTip::text() == tool->pointText(1) &&
                 QToolTip::text().contains(u"Fichiers : 1004"_s),
             qPrintable(QToolTip::text()));
    const HistoryGrowthModel *growth = tool->model();
    QCOMPARE(growth->rowCount(), 3);
    QVERIFY(HeadedColumns(*growth));
    QCOMPARE(growth->index(0, HistoryGrowthModel::Name).data().toString(), u"a"_s);
    QCOMPARE(growth->index(0, HistoryGrowthModel::Change).data(HistoryGrowthModel::SortRole),
             QVariant(qint64(8000)));
    QCOMPARE(growth->index(1, HistoryGrowthModel::Change).data(HistoryGrowthModel::SortRole),
             QVariant(qint64(0)));

    tool->findChild<QPushButton *>(u"btnHistoryCompare"_s)->click();
    QTRY_COMPARE(window.listModel()->columnCount(), int(DirListModel::ColumnCount) + 1);
    const QByteArray root = QFile::encodeName(volume.path()) + '/';
    window.folderTree()->setSelectedfolder(root + "a/");
    QVERIFY(Settled(window));
    std::map<QString, QString> shown;
    for (int row = 0; row < window.listModel()->rowCount(); ++row)
        shown[window.listModel()->index(row, DirListModel::Name).data().toString()] =
            window.listModel()->index(row, DirListModel::Growth).data().toString();
    QCOMPARE(shown,
             (std::map<QString, QString>{{u"new"_s, u"inconnu"_s}, {u"old"_s, u"+1 000"_s}}));
    QVERIFY2(window.statusPanels()->panelText(1).contains(u"+8 Kb"_s),
             qPrintable(window.statusPanels()->panelText(1)));
    window.findChild<QAction *>(u"mnuFileEndCompare"_s)->trigger();
    QVERIFY(Settled(window));
    QCOMPARE(window.listModel()->columnCount(), int(DirListModel::ColumnCount));

    // Walks picked from the two lists, the earlier first whichever list names it; a pick out of
    // range changes nothing.
    Write(volume, {{u"a/third"_s, 1000}});
    window.findChild<QAction *>(u"REFRESH"_s)->trigger();
    QVERIFY(Settled(window));
    window.folderTree()->setSelectedfolder(root);
    QVERIFY(Settled(window));
    QTRY_VERIFY(!window.history().isBusy() && tool->points().size() == 3 && !tool->isReading());
    QScatterSeries *marks = nullptr; // the chart's marks on the walks picked
    for (QAbstractSeries *series : chart->chart()->series())
        if (auto *scatter = qobject_cast<QScatterSeries *>(series))
            marks = scatter;
    QVERIFY(marks);
    const auto picked = [&](int earlier, int later, qint64 change) {
        QTRY_VERIFY(!tool->isReading() && tool->hasGrowth());
        QCOMPARE(std::pair(tool->firstPicked(), tool->secondPicked()), std::pair(earlier, later));
        const QLineSeries *line = tool->series(window.sizeMeasure());
        QCOMPARE(marks->points(), (QList<QPointF>{line->at(earlier), line->at(later)}));
        QCOMPARE(growth->index(0, HistoryGrowthModel::Change).data(HistoryGrowthModel::SortRole),
                 QVariant(change));
    };
    from->setCurrentIndex(0);
    to->setCurrentIndex(2);
    picked(0, 2, 9000);
    from->setCurrentIndex(2);
    to->setCurrentIndex(1);
    picked(1, 2, 1000);
    tool->pickWalks(0, 3);
    tool->pickWalks(-1, 2);
    picked(1, 2, 1000);
    // A subfolder refreshed keeps the walks picked; the other measure compares them in bytes on
    // disk.
    tool->pickWalks(0, 1);
    picked(0, 1, 8000);
    window.scans()->refreshFolder(root + "a/");
    QVERIFY(Settled(window));
    picked(0, 1, 8000);
    window.findChild<QAction *>(u"mnuViewSizeOnDisk"_s)->trigger();
    picked(0, 1, qint64(tool->points()[1].onDisk - tool->points()[0].onDisk));
}

// The dialog's patterns reach the settings and the next walk: what they match is shown as left
// out and counted nowhere, and a window opened later starts with them.
void TestWindow::exclusions()
{
    QTemporaryDir volume, dir;
    Files files{{u"main.c"_s, 100}, {u"main.o"_s, 2000}, {u"node_modules/x.js"_s, 5000}};
    for (int i = 1; i <= 6; ++i)
        files.append({u"%1.o"_s.arg(i), 0});
    Write(volume, files);
    SettingsStore store(dir.filePath(u"QNL.conf"_s));
    MainWindow window({VolumeOf(volume)}, &store);
    window.show();
    window.driveCommand(0);
    QVERIFY(Settled(window));
    QTimer::singleShot(0, &window, [&] {
        auto *dialog = QApplication::activeModalWidget();
        QVERIFY(dialog->findChild<QLabel *>(u"lblExclusionsNextWalk"_s));
        dialog->findChild<QPlainTextEdit *>(u"txtExclusions"_s)
            ->setPlainText(u"node_modules\n*.o"_s);
        qobject_cast<QDialog *>(dialog)->accept();
    });
    window.findChild<QAction *>(u"mnuViewExclusions"_s)->trigger();
    QCOMPARE(MainWindow({}, &store).scans()->excludePatterns()->patterns().size(), 2);
    const QByteArray root = QFile::encodeName(volume.path()) + '/';
    QCOMPARE(window.folders().find(root).size(), 7100u); // until walked again
    window.findChild<QAction *>(u"REFRESH"_s)->trigger();
    QVERIFY(Settled(window));
    QCOMPARE(window.folders().find(root).size(), 100u);
    const QModelIndex sizes = window.listModel()->index(0, DirListModel::Size);
    QCOMPARE(
        window.listModel()->match(sizes, Qt::DisplayRole, Text(TextId::ExcludedSize), -1).size(),
        8);
    // The report names the first five left out, and says there are more.
    window.findChild<QAction *>(u"mnuViewReport"_s)->trigger();
    const auto *report = window.findChild<ReportWindow *>(u"frmReport"_s);
    QTRY_VERIFY(report->report() && !report->isReading());
    QCOMPARE(report->report()->scan.excluded, 8u);
    QCOMPARE(report->report()->scan.excludedSample.size(), 5);
    QVERIFY(report->view()->toPlainText().contains(u", ..."_s));
}

// A history file that is no database records nothing, says so in words, and the walk is whole.
void TestWindow::historyDamaged()
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(u"QNL.conf"_s));
    QFile damaged(dir.filePath(u"history.sqlite"_s));
    QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray(8192, 'x')) == 8192);
    damaged.close();
    MainWindow window({VolumeOf(m_volume)}, &store);
    window.driveCommand(0);
    QVERIFY(Recorded(window));
    QVERIFY(window.folders().count() > 0 && window.diskSize() > 0);
    const QString said = window.statusPanels()->panelText(1);
    QVERIFY2(said.startsWith(u"L'analyse n'a pas pu être ajoutée à l'historique : le fichier "_s) &&
                 said.contains(u"est endommagé"_s),
             qPrintable(said));
    QCOMPARE(window.history().problem(), said);

    // Forgetting puts the damaged file aside whole and starts a new one; the shown volume has no
    // history then, and says so.
    const auto forget = [&](const char *option) {
        QTimer::singleShot(0, &window, [&window, option] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog && dialog->objectName() == u"frmHistoryForget"_s);
            dialog->findChild<QRadioButton *>(QString::fromLatin1(option))->setChecked(true);
            QTimer::singleShot(0, &window, [] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                QVERIFY(box);
                for (QAbstractButton *button : box->buttons())
                    if (box->buttonRole(button) == QMessageBox::DestructiveRole)
                        button->click();
            });
            dialog->accept();
        });
        const QString before = window.statusPanels()->panelText(1);
        window.findChild<QAction *>(u"mnuFileHistoryForget"_s)->trigger();
        return QTest::qWaitFor([&] { return window.statusPanels()->panelText(1) != before; })
                   ? window.statusPanels()->panelText(1)
                   : QString();
    };
    const QString moved = forget("optForgetAll");
    QVERIFY2(moved.startsWith(u"Le fichier endommagé a été mis de côté : "_s), qPrintable(moved));
    QCOMPARE(QFileInfo(moved.section(u" : "_s, 1)).size(), 8192); // kept whole for a rescue
    QVERIFY(window.history().problem().isEmpty());
    QCOMPARE(forget("optForgetShown"),
             u"Aucun historique pour %1."_s.arg(QDir::toNativeSeparators(m_volume.path())));
}

// A saved scan opened is recorded only when asked, as a history of its own.
void TestWindow::historySavedScan()
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(u"QNL.conf"_s));
    MainWindow window({VolumeOf(m_volume)}, &store);
    QAction *add = window.findChild<QAction *>(u"mnuFileHistoryAdd"_s);
    window.driveCommand(0);
    QVERIFY(Settled(window) && !add->isEnabled());
    const QString saved = dir.filePath(u"saved.json"_s);
    QVERIFY(window.savedScans().save(saved) && Settled(window));
    QVERIFY(window.savedScans().open(saved) && Settled(window));
    QTRY_VERIFY(!window.history().isBusy());
    QVERIFY(add->isEnabled());
    add->trigger();
    QTRY_VERIFY(!window.history().isBusy());
    QVERIFY2(window.statusPanels()->panelText(1).startsWith(u"Scan ajouté à l'historique"_s),
             qPrintable(window.statusPanels()->panelText(1)));
    window.findChild<QAction *>(u"mnuViewHistory"_s)->trigger();
    const auto *tool = window.findChild<HistoryWindow *>(u"frmHistory"_s);
    QTRY_COMPARE(tool->points().size(), size_t(1));
    QCOMPARE(tool->points().front().apparent, window.diskSize());
}

// The walks kept are the user's to say: the dialog saves them in the settings and shows them
// again, and the next walk keeps no more. An empty folder's chart keeps a scale, its points on
// the bottom line.
void TestWindow::historyOfNothing()
{
    QTemporaryDir volume, dir;
    SettingsStore store(dir.filePath(u"QNL.conf"_s));
    MainWindow window({VolumeOf(volume)}, &store);
    int shown = -1;
    for (const int walks : {1, 1}) {
        QTimer::singleShot(0, &window, [&shown, walks] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog && dialog->objectName() == u"frmHistorySettings"_s);
            auto *keep = dialog->findChild<QSpinBox *>(u"spnHistoryKeep"_s);
            shown = keep->value();
            keep->setValue(walks);
            dialog->findChild<QCheckBox *>(u"chkHistoryThin"_s)->setChecked(false);
            dialog->accept();
        });
        window.findChild<QAction *>(u"mnuFileHistorySettings"_s)->trigger();
    }
    QCOMPARE(shown, 1);
    window.driveCommand(0);
    QVERIFY(Recorded(window));
    window.findChild<QAction *>(u"REFRESH"_s)->trigger();
    QVERIFY(Recorded(window));
    window.findChild<QAction *>(u"mnuViewHistory"_s)->trigger();
    const auto *tool = window.findChild<HistoryWindow *>(u"frmHistory"_s);
    QTRY_VERIFY(!tool->isReading() && tool->points().size() == 1);
    const auto *axis =
        qobject_cast<QValueAxis *>(tool->chart()->chart()->axes(Qt::Vertical).value(0));
    QVERIFY(axis && axis->min() == 0 && axis->max() > 0);
}

// As the desktop meets the window: on activation the folder count shows again; whatever a user
// can reach or read has a name for screen readers, an emptied panel included; the list's
// percentages take colours that read on the palette's background, while the help keeps a light
// page under its dark text; Tab goes round tree, splitter and list; the focused splitter moves
// by 150 twips for Left and Right and lets other keys through; Alt+Up is Monter. Folders named
// in no valid UTF-8 or with a line break are clicked in the tree and list their file.
void TestWindow::oddNames()
{
    QTemporaryDir volume;
    const QByteArray root = QFile::encodeName(volume.path()) + '/';
    const QByteArrayList names{"caf\xe9", "two\nlines"};
    for (const QByteArray &name : names) {
        QVERIFY(::mkdir(root + name, 0755) == 0);
        QVERIFY(::close(::creat(root + name + "/inside.txt", 0644)) == 0);
    }
    const auto window = ScannedWindow(volume);
    // Found by F3 from the records, as shown; a result chosen is shown in the tree and the
    // list.
    window->findChild<QAction *>(u"mnuFileSearch"_s)->trigger();
    auto *search = window->findChild<SearchWindow *>();
    search->patternEdit()->setText(u"INSIDE"_s);
    QTRY_COMPARE(search->model()->rowCount(), 2);
    QTRY_VERIFY(!search->isSearching());
    QVERIFY(HeadedColumns(*search->model()));
    const int chosen =
        search->model()->index(0, 0).data(SearchModel::FolderPathRole) == root + names[1] + '/' ? 0
                                                                                                : 1;
    QTreeView *results = search->findChild<QTreeView *>();
    // A flat list: no room left for branches before the names.
    QCOMPARE(results->visualRect(search->model()->index(0, 0)).left(), 0);
    results->setCurrentIndex(search->model()->index(chosen, 0));
    QCOMPARE(window->folderTree()->selectedfolder(), root + names[1] + '/');
    QCOMPARE(window->findChild<QTreeView *>(u"LVDirView"_s)->currentIndex().data(),
             u"inside.txt"_s);
    // Searched once for a pattern typed, the results stay, and the result chosen with them.
    QTest::qWait(600);
    QCOMPARE(results->currentIndex().row(), chosen);
    // An emptied pattern empties the results, and no search runs for it.
    search->patternEdit()->clear();
    QTRY_COMPARE(search->model()->rowCount(), 0);
    QVERIFY(!search->isSearching());
    QTest::qWait(50);
    QCOMPARE(search->findChild<QLabel *>(u"lblFound"_s)->text(), QString());
    window->folderTree()->setEnabled(true);
    auto *tree = window->folderTree()->findChild<QTreeView *>();
    const QModelIndex top = tree->model()->index(0, 0);
    QTRY_COMPARE(tree->model()->rowCount(top), 2);
    for (int row = 0; row < 2; ++row) {
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualRect(tree->model()->index(row, 0, top)).center());
        QCOMPARE(window->folderTree()->selectedfolder(), root + names[row] + '/');
        QCOMPARE(window->listModel()->rowCount(), 1);
        QCOMPARE(window->listModel()->index(0, DirListModel::Name).data(), u"inside.txt"_s);
        const QString status = window->statusPanels()->panelText(1); // on one line
        QVERIFY2(status.startsWith(u"[-"_s) && !status.contains(u'\n'), qPrintable(status));
        QVERIFY(::unlink(root + names[row] + "/inside.txt") == 0 &&
                ::rmdir(root + names[row]) == 0);
    }
}

// The report shows the scan's figures of the shown volume, follows a new scan and closes on
// Escape; the tree follows the new scan.
void TestWindow::report()
{
    QTemporaryDir volume;
    const auto write = [&](const QString &name, qsizetype size) {
        QFile file(volume.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'r')) == size;
    };
    QVERIFY(write(u"a.bin"_s, 8192) && QDir(volume.path()).mkdir(u"d"_s));
    const auto window = ScannedWindow(volume);
    window->findChild<QAction *>(u"mnuViewReport"_s)->trigger();
    auto *report = window->findChild<ReportWindow *>(u"frmReport"_s);
    QTRY_VERIFY(report->report() && !report->isReading());
    QCOMPARE(report->report()->scan.apparent, 8192u);
    QVERIFY(report->view()->toPlainText().contains(u"Trouvé par le scan"_s));
    QVERIFY(write(u"b.bin"_s, 100) && QDir(volume.path()).mkdir(u"e"_s));
    window->scans()->rescanCommand();
    QVERIFY(Settled(*window));
    QTRY_VERIFY(report->report()->scan.apparent == 8292u && !report->isReading());
    const QAbstractItemModel *tree = window->folderTree()->findChild<QTreeView *>()->model();
    QTRY_COMPARE(tree->rowCount(tree->index(0, 0)), 2); // the tree shows the new walk too
    QTest::keyClick(report->view(), Qt::Key_Escape);
    QVERIFY(!report->isVisible());
    // A tmpfs keeps no blocks aside for the administrator: nothing is said of them.
    QTemporaryDir memory(u"/dev/shm/quarnel-XXXXXX"_s);
    if (memory.isValid() && QStorageInfo(memory.path()).fileSystemType() == "tmpfs") {
        const auto other = ScannedWindow(memory);
        other->findChild<QAction *>(u"mnuViewReport"_s)->trigger();
        auto *shown = other->findChild<ReportWindow *>(u"frmReport"_s);
        QTRY_VERIFY(shown->report() && !shown->isReading());
        QVERIFY(shown->view()->toPlainText().contains(u"Trouvé par le scan"_s));
        QVERIFY(!shown->view()->toPlainText().contains(u"Blocs réservés"_s));
    }
    // Free space follows what changed on the volume: read again after a folder is walked again.
    const QString free = window->statusPanels()->panelText(2);
    QVERIFY(write(u"d/big"_s, 8 << 20));
    window->scans()->refreshFolder(QFile::encodeName(volume.filePath(u"d/"_s)));
    QVERIFY(Settled(*window));
    QVERIFY2(window->statusPanels()->panelText(2) != free, qPrintable(free));
}

// A whole volume's report sets what the scan found against what the volume says it uses; with no
// scan, or for a saved one, it has nothing to set against it.
void TestWindow::volumeReport_data()
{
    QTest::addColumn<bool>("scanned");
    QTest::addColumn<int>("scope");
    QTest::addColumn<QString>("rows"); // used, found, difference, the rest or the excess
    QTest::newRow("scanned") << true << int(ReportScope::Volume) << u"1111"_s;
    QTest::newRow("no scan") << false << int(ReportScope::Volume) << u"1000"_s;
    QTest::newRow("a folder walked as a drive") << true << int(ReportScope::Folder) << u"0100"_s;
    QTest::newRow("a saved scan") << true << int(ReportScope::Saved) << u"0100"_s;
}

void TestWindow::volumeReport()
{
    QFETCH(bool, scanned);
    QFETCH(int, scope);
    ReportWindow report;
    report.setVolume("/", scanned ? std::optional(ScanFigures{4096, 1000}) : std::nullopt,
                     ReportScope(scope));
    QTRY_VERIFY(report.report() && !report.isReading());
    const QString text = report.view()->toPlainText();
    const auto shown = [&](TextId id) { return text.contains(Text(id).section(u'\n', 0, 0)); };
    QString rows;
    for (const bool row :
         {shown(TextId::ReportUsed), shown(TextId::ReportFound), shown(TextId::ReportDifference),
          shown(TextId::ReportRest) || shown(TextId::ReportExcess)})
        rows += row ? u'1' : u'0';
    QTEST(rows, "rows");
}

void TestWindow::toolWindows_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("name");    // the window's
    QTest::addColumn<QString>("setting"); // the prefix of its place and size in the settings
    QTest::newRow("search") << u"mnuFileSearch"_s << u"frmSearch"_s << u"Search"_s;
    QTest::newRow("biggest files") << u"mnuViewBiggest"_s << u"frmBiggest"_s << u"Biggest"_s;
    QTest::newRow("kinds") << u"mnuViewKinds"_s << u"frmKinds"_s << u"Kinds"_s;
    QTest::newRow("report") << u"mnuViewReport"_s << u"frmReport"_s << u"Report"_s;
    QTest::newRow("duplicates") << u"mnuViewDuplicates"_s << u"frmDuplicates"_s << u"Duplicates"_s;
    QTest::newRow("history") << u"mnuViewHistory"_s << u"frmHistory"_s << u"History"_s;
}

// Each tool window is made once, over the main window and not modal, where the settings left it;
// its entry brings it back once closed, and the window's place is kept when the main window
// closes.
void TestWindow::toolWindows()
{
    QFETCH(QString, entry);
    QFETCH(QString, name);
    QFETCH(QString, setting);
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(u"QNL.conf"_s));
    const QString key = u"Option/"_s + setting;
    {
        QSettings ini(store.fileName(), QSettings::IniFormat);
        ini.setValue(key + u"Left"_s, u"1500"_s); // lengths are text
        ini.setValue(key + u"Top"_s, u"1500"_s);
    }
    {
        MainWindow window(QList{VolumeOf(m_volume)}, &store);
        window.show();
        window.driveCommand(0);
        QVERIFY(Settled(window));
        QAction *open = window.findChild<QAction *>(entry);
        open->trigger();
        auto *tool = window.findChild<QDialog *>(name);
        QVERIFY(tool && tool->isVisible() && !tool->isModal());
        QCOMPARE(tool->frameGeometry().left(), window.pixelTwips().toPixelsX(1500));
        tool->close();
        open->trigger();
        QVERIFY(tool->isVisible());
        QCOMPARE(window.findChildren<QDialog *>(name).size(), 1);
        tool->move(window.pixelTwips().toPixelsX(3000), tool->y());
        window.close();
    }
    QCOMPARE(QSettings(store.fileName(), QSettings::IniFormat).value(key + u"Left"_s).toInt(),
             3000);
}

void TestWindow::desktop()
{
    const auto window = ScannedWindow(m_volume);
    QApplication::setActiveWindow(nullptr);
    window->statusPanels()->setPanelText(1, {});
    window->statusPanels()->setPanelText(2, {});
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QCOMPARE(window->statusPanels()->panelText(1), u"4 Repertoires Scannés"_s);
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        const bool read = qobject_cast<QLabel *>(widget) || qobject_cast<QToolBar *>(widget) ||
                          qobject_cast<QToolButton *>(widget) || qobject_cast<QStatusBar *>(widget);
        if (widget->isVisible() && (widget->focusPolicy() != Qt::NoFocus || read))
            QVERIFY2(
                !QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name).isEmpty(),
                qPrintable(widget->objectName()));
    }
    const MainStatusBar fresh; // panels without a text are named by their place
    for (int panel = 1; panel <= MainStatusBar::PanelCount; ++panel) {
        const auto *label = fresh.findChild<QLabel *>(u"panel%1"_s.arg(panel));
        if (label->text().isEmpty())
            QCOMPARE(label->accessibleName(), u"Barre d'état %1"_s.arg(panel));
    }

    HelpWindow help; // showing the built-in copy
    QCOMPARE(help.browser()->document()->firstBlock().text(), u"Aide de Quarnel"_s);
    const QPalette light = QApplication::palette();
    QPalette dark = light; // on which light orange needs lightening
    dark.setColor(QPalette::Base, QColor(0x60, 0x60, 0x60));
    dark.setColor(QPalette::Text, Qt::white);
    QVariantList percentColours;
    for (const QPalette &palette : {dark, light}) {
        QApplication::setPalette(palette);
        QCoreApplication::processEvents(); // as the desktop's would, the palette comes as an
                                           // event
        percentColours
            << window->listModel()->index(0, DirListModel::Percent).data(Qt::ForegroundRole);
        QVERIFY(help.browser()->palette().color(QPalette::Base).lightness() > 200);
    }
    QVERIFY(percentColours[0] != percentColours[1]);

    FolderTreeView *folders = window->folderTree();
    QWidget *splitter = window->findChild<QWidget *>(u"picSplitter"_s);
    QWidget *list = window->findChild<QWidget *>(u"LVDirView"_s);
    QTRY_COMPARE(QApplication::focusWidget(), list); // not the splitter before it
    for (QWidget *next : QList<QWidget *>{folders->findChild<QTreeView *>(), splitter, list}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    const int width = folders->width() - 150 / window->pixelTwips().perPixelX();
    KeysSeen beyond; // the splitter's own keys stop there; the others go on to the window
    splitter->parentWidget()->installEventFilter(&beyond);
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Left, Qt::Key_Up})
        QTest::keyClick(splitter, key);
    QTest::keyClick(splitter, Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(folders->width(), width);
    QCOMPARE(beyond.keys, 3); // Up; Control, then Control+Right
    QCOMPARE(list->x(), folders->x() + folders->width() + splitter->width());
    // Dragged, it follows the screen cursor while the button is down.
    const auto drag = [&](QEvent::Type type, int x) {
        QCursor::setPos(splitter->mapToGlobal(QPoint(x, 5)));
        QMouseEvent event(type, QPointF(x, 5), splitter->mapToGlobal(QPointF(x, 5)), Qt::LeftButton,
                          Qt::LeftButton, {});
        QApplication::sendEvent(splitter, &event);
    };
    drag(QEvent::MouseButtonPress, 1);
    drag(QEvent::MouseMove, 31);
    drag(QEvent::MouseButtonRelease, 31);
    drag(QEvent::MouseMove, 61);
    QCOMPARE(folders->width(), width + 30);
    folders->setSelectedfolder(QFile::encodeName(m_volume.filePath(u"sub/"_s)));
    QTest::keyClick(list, Qt::Key_Up, Qt::AltModifier);
    QCOMPARE(folders->selectedfolder(), folders->rootfolder());

    // An empty panel shows no sliver; at the window's first size the space panels show whole
    // and a long first panel (a walk's path) is shortened instead.
    MainStatusBar *bar = window->statusPanels();
    const auto panel = [bar](int n) { return bar->findChild<QLabel *>(u"panel%1"_s.arg(n)); };
    QVERIFY(!panel(2)->isVisible());
    QVERIFY(bar->panelText(0).isNull() && bar->panelText(MainStatusBar::PanelCount + 1).isNull());
    window->resize(741, window->height());
    bar->setPanelText(2, u"Espace Disque Libre : 232 177 Mb"_s);
    bar->setPanelText(3, u"Espace Disque Total : 258 020 Mb"_s);
    bar->setPanelText(1, u"Scan Repertoire : /"_s + QString(300, u'x'));
    for (int n : {2, 3})
        QTRY_VERIFY(panel(n)->isVisible() && panel(n)->width() >= panel(n)->sizeHint().width());
    QVERIFY(panel(1)->width() >= 100 && panel(1)->width() < panel(1)->sizeHint().width());
}

void TestWindow::aboutLauncher_data()
{
    QTest::addColumn<QStringList>("entries"); // SysInfo/PATH and Location; "-" for none
    QTest::addColumn<bool>("startWorks");
    QTest::addColumn<QString>("started"); // DIR: a folder holding hardinfo
    QTest::newRow("entry 1 fails, 2 untried")
        << QStringList{u"/opt/si"_s, u"DIR"_s} << false << u"/opt/si"_s;
    QTest::newRow("entry 1 cut at NUL")
        << QStringList{u"/opt/si\0junk"_s, u"-"_s} << true << u"/opt/si"_s;
    QTest::newRow("entry 2") << QStringList{u"-"_s, u"DIR"_s} << true << u"DIR/hardinfo"_s;
    QTest::newRow("entry 2 without the program")
        << QStringList{u"-"_s, u"DIR/none"_s} << true << QString();
    QTest::newRow("no entries, hardinfo on the search path")
        << QStringList{u"-"_s, u"-"_s, u"on PATH"_s} << true << u"DIR/hardinfo"_s;
}

// Where the About window finds the system information program; unavailable unless one started.
void TestWindow::aboutLauncher()
{
    QFETCH(QStringList, entries);
    QFETCH(bool, startWorks);
    QFETCH(QString, started);
    QTemporaryDir dir;
    QFile program(dir.filePath(u"hardinfo"_s));
    QVERIFY(program.open(QIODevice::WriteOnly) && program.setPermissions(QFile::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", entries.size() > 2 ? QFile::encodeName(dir.path()) : "/nonexistent");
    const auto restore = qScopeGuard([&] { qputenv("PATH", path); });
    SettingsStore store(dir.filePath(u"QNL.conf"_s));
    {
        QSettings ini(store.fileName(), QSettings::IniFormat);
        for (int i = 0; i < 2; ++i)
            if (entries[i] != u"-"_s)
                ini.setValue(i ? u"SysInfo/Location"_s : u"SysInfo/PATH"_s,
                             QString(entries[i]).replace(u"DIR"_s, dir.path()));
    }
    QString attempts, reports;
    AboutWindow::Steps steps;
    steps.start = [&](const QString &name) {
        attempts += name;
        return startWorks;
    };
    steps.reportUnavailable = [&](QWidget *, const QString &text) { reports += text; };
    AboutWindow(&store, nullptr, steps).StartSysInfo();
    QCOMPARE(attempts, started.replace(u"DIR"_s, dir.path()));
    QCOMPARE(reports, startWorks && !started.isEmpty()
                          ? QString()
                          : u"Le Systeme d'Information est indisponible"_s);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
