#include "AboutWindow.h"
#include "DevicePrinter.h"
#include "DirListModel.h"
#include "FolderTreeView.h"
#include "HelpWindow.h"
#include "ListPrinter.h"
#include "MainStatusBar.h"
#include "PrintCommand.h"
#include "RecordingPrinter.h"
#include "SettingsStore.h"
#include "SplashWindow.h"
#include "StartUp.h"
#include "WindowFixtures.h"

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPrinter>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ScanPhase)

namespace {

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

// The window and its commands, dialogs and help, on temporary folders taken for volumes.
class TestWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void commandStates_data();
    void commandStates();
    void driveCommandsAndKeys();
    void closeRefusedWhileScanning();
    void scanCommands_data();
    void scanCommands();
    void browseAndSort();
    void print();
    void printCancelledOrFailed_data();
    void printCancelledOrFailed();
    void desktop();
    void aboutLauncher_data();
    void aboutLauncher();
    void help();
    void startUp();

private:
    // Ordered by name and by size differently: b.txt 3000, sub 4096 (a.dat, deeper/c), p 121.
    TempVolume m_volume;
};

void TestWindow::initTestCase()
{
    QApplication::setApplicationName(u"Quarnel"_s);
    QApplication::setApplicationVersion(u"1.0.0"_s);
    m_volume.write(u"b.txt"_s, 3000);
    m_volume.write(u"sub/a.dat"_s, 4000);
    m_volume.write(u"sub/deeper/c"_s, 96);
    m_volume.write(u"p/a"_s, 121);
}

void TestWindow::commandStates_data()
{
    QTest::addColumn<ScanPhase>("phase");
    QTest::addColumn<bool>("listHasRows");
    QTest::addColumn<int>("viewType");
    QTest::addColumn<bool>("barsShown");
    QTest::addColumn<QString>("expected"); // tree, stop, print
    using P = ScanPhase;
    QTest::newRow("start") << P::Start << false << 2 << true << u"000"_s;
    QTest::newRow("scanning a drive") << P::ScanningDrive << false << 2 << true << u"110"_s;
    QTest::newRow("scanning, a walked folder listed")
        << P::ScanningDrive << true << 1 << true << u"111"_s;
    QTest::newRow("rescanning") << P::Rescanning << false << 2 << true << u"110"_s;
    QTest::newRow("scanned") << P::Scanned << true << 1 << false << u"101"_s;
    QTest::newRow("scanned, empty folder") << P::Scanned << false << 2 << true << u"100"_s;
    QTest::newRow("stopped, other drives' records")
        << P::StoppedWithRecords << false << 2 << true << u"100"_s;
    QTest::newRow("stopped, no record, old rows still shown")
        << P::StoppedWithoutRecords << true << 7 << false << u"000"_s;
}

// Every command is set, whatever its state before: each starts the opposite of what is expected.
void TestWindow::commandStates()
{
    QFETCH(ScanPhase, phase);
    QFETCH(bool, listHasRows);
    QFETCH(int, viewType);
    QFETCH(bool, barsShown);
    QFETCH(QString, expected);
    // By the column that enables them: tree and size commands, stop, print, those always offered.
    const QList<QStringList> groups = {{u"FolderTreeview"_s, u"mnuViewSizeDisk"_s,
                                        u"mnuViewSizeParent"_s, u"SIZEDISK"_s, u"SIZEPARENT"_s},
                                       {u"mnuScanStop"_s, u"STOP"_s},
                                       {u"mnuFilePrint"_s, u"PRINT"_s},
                                       {u"mnuFileExit"_s, u"mnuScanRefresh"_s, u"REFRESH"_s,
                                        u"UP"_s, u"mnuHelpIndex"_s, u"mnuAbout"_s, u"mnuScanDisk"_s,
                                        u"drive:/"_s, u"drive:/media/d1"_s}};
    const QStringList toggles = {u"mnuViewSizeDisk"_s, u"mnuViewSizeParent"_s, u"mnuViewToolBar"_s,
                                 u"mnuViewStatusBar"_s};
    MainWindow window(NamedDrives(2), nullptr);
    QString enabled;
    for (qsizetype group = 0; group < groups.size(); ++group)
        for (const QString &name : groups[group])
            for (QObject *command : window.findChildren<QObject *>(name)) {
                enabled += group < 3 ? expected[group] : u'1';
                command->setProperty("enabled", enabled.back() == u'0');
            }
    QCOMPARE(enabled.size(), 19);
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

// A menu entry and a button per drive, a spacer between two buttons, keys for the first ten, an
// "&" shown as it is. Esc acts from any widget of the window.
void TestWindow::driveCommandsAndKeys()
{
    QList<Volume> drives = NamedDrives(11);
    drives.last().mountPoint = "/media/a&b";
    MainWindow many(drives, nullptr);
    QStringList entries;
    for (const QAction *entry : many.findChildren<QAction *>(u"mnuScanDisk"_s))
        entries.append(entry->text());
    QCOMPARE(entries.mid(9), (QStringList{u"[-&/media/d9-]\tCtrl+F10"_s, u"[-&/media/a&&b-]"_s}));
    const QList<QAction *> buttons = many.findChild<QToolBar *>(u"Toolbar"_s)->actions();
    QCOMPARE(buttons.size(), 21);
    QVERIFY(buttons[19]->isSeparator() && !buttons[20]->isSeparator());

    TempVolume second;
    MainWindow window({m_volume.volume(), second.volume()}, nullptr);
    window.show();
    QTest::keyClick(window.folderTree(), Qt::Key_F2, Qt::ControlModifier); // the last drive's key
    QCOMPARE(window.folderTree()->rootfolder(), second.path() + u'/');
    for (const QString &name : {u"LVDirView"_s, u"picSplitter"_s, u"FolderTreeview"_s}) {
        QWidget *widget = window.findChild<QWidget *>(name);
        if (QWidget *inner = widget->findChild<QTreeView *>())
            widget = inner;
        window.driveCommand(1); // a drive walked before: no walk, the request cleared
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Escape);
        QVERIFY2(window.scans()->ScanDrive(m_volume.volume()) == 0, qPrintable(name));
    }
}

void TestWindow::closeRefusedWhileScanning()
{
    MainWindow window({m_volume.volume()}, nullptr);
    window.show();
    BoxCatcher box;
    bool closed = true;
    QTimer::singleShot(0, &window, [&] { closed = window.close(); });
    window.driveCommand(0);
    QVERIFY(!closed);
    QCOMPARE(box.text, u"Arrêter Scan avant de Quitter"_s);
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QVERIFY(window.close());
}

// Each row starts from a volume (4096 bytes in three folders) and a second one (10 bytes), neither
// scanned, and takes these steps: "0" or "1" picks that drive, "F5" rescans, "Esc" asks to stop
// now, "stop" during the next walk, "busy" checks the states during it, "grow" adds a folder of
// 904 bytes, "lock" an unreadable folder, "gone" removes the volume.
void TestWindow::scanCommands_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("folders");
    QTest::addColumn<quint64>("diskSize");
    QTest::addColumn<QString>("status"); // {} for the stop message
    QTest::addColumn<QString>("states");
    const QString done = u"3 Repertoires Scannés"_s;
    QTest::newRow("pick") << u"busy 0"_s << 3 << quint64(4096) << done << u"1011"_s;
    QTest::newRow("second pick does not walk again")
        << u"0 grow 1 0"_s << 4 << quint64(4096) << u"[-"_s << u"1011"_s;
    QTest::newRow("rescan walks again")
        << u"0 grow busy F5"_s << 4 << quint64(5000) << u"4 Repertoires Scannés"_s << u"1011"_s;
    QTest::newRow("stopped, no record left")
        << u"stop 0"_s << 0 << quint64(0) << QString() << u"0000"_s;
    QTest::newRow("rescan stopped, no record left")
        << u"0 stop F5"_s << 0 << quint64(0) << QString() << u"0000"_s;
    QTest::newRow("stopped beside another drive's records")
        << u"1 stop 0"_s << 1 << quint64(0) << QString() << u"1000"_s;
    QTest::newRow("Esc before a pick is forgotten")
        << u"Esc 0"_s << 3 << quint64(4096) << done << u"1011"_s;
    QTest::newRow("unreadable folder") << u"lock 0"_s << 3 << quint64(4096)
                                       << u"3 Repertoires Scannés, 1 Illisibles"_s << u"1011"_s;
    QTest::newRow("drive the tree cannot show")
        << u"gone 0"_s << 0 << quint64(0) << u"0 Repertoires Scannés"_s << u"0000"_s;
}

void TestWindow::scanCommands()
{
    QFETCH(QString, steps);
    TempVolume volume, other;
    volume.write(u"b.txt"_s, 3000);
    volume.write(u"sub/a.dat"_s, 1000);
    volume.write(u"sub/deeper/c"_s, 96);
    other.write(u"f"_s, 10);
    MainWindow w({volume.volume(), other.volume()}, nullptr);
    w.show();
    for (const QString &step : steps.split(u' ')) {
        if (step == u"0"_s || step == u"1"_s)
            w.driveCommand(step.toInt());
        else if (step == u"F5"_s)
            w.findChild<QAction *>(u"REFRESH"_s)->trigger();
        else if (step == u"Esc"_s)
            w.scans()->stopCommand();
        else if (step == u"stop"_s)
            QTimer::singleShot(0, &w, [&w] { w.scans()->stopCommand(); });
        else if (step == u"busy"_s)
            QTimer::singleShot(0, &w, [&w] { QCOMPARE(States(w), u"1100"_s); });
        else if (step == u"grow"_s)
            volume.write(u"later/new"_s, 904);
        else if (step == u"gone"_s)
            QDir(volume.path()).removeRecursively();
        else if (step == u"lock"_s) {
            volume.mkpath(u"locked"_s);
            QFile::setPermissions(volume.filePath(u"locked"_s), {});
            OverrideReadPermissions(false);
        }
    }
    OverrideReadPermissions(true);
    QVERIFY(!w.isScanning());
    QTEST(int(w.folders().count()), "folders");
    QTEST(w.diskSize(), "diskSize");
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
    if (steps.startsWith(u"gone"_s))
        QCOMPARE(w.folderTree()->rootfolder(), u"/"_s);
}

// Up at the drive's root does nothing; a refill keeps the order; a folder with no record lists
// nothing and cannot be printed.
void TestWindow::browseAndSort()
{
    const auto window = ScannedWindow({m_volume.volume()});
    window->findChild<QAction *>(u"UP"_s)->trigger();
    QCOMPARE(window->folderTree()->selectedfolder(), m_volume.path() + u'/');
    QHeaderView *header = window->findChild<QTreeView *>(u"LVDirView"_s)->header();
    header->sectionClicked(DirListModel::Size);
    header->sectionClicked(DirListModel::Size);
    window->findChild<QAction *>(u"SIZEDISK"_s)->trigger();
    QCOMPARE(ListNames(*window->listModel()), (QStringList{u"sub"_s, u"b.txt"_s, u"p"_s}));

    m_volume.mkpath(u"later"_s);
    window->folderTree()->reload();
    window->folderTree()->setSelectedfolder(m_volume.filePath(u"later"_s));
    QCOMPARE(window->listModel()->rowCount(), 0);
    QCOMPARE(States(*window), u"1000"_s);
    QDir(m_volume.filePath(u"later"_s)).removeRecursively();
}

// The command's set-up of the printout; the page layout itself is the list printer's.
void TestWindow::print()
{
    const auto window = ScannedWindow({m_volume.volume()});
    auto *view = window->findChild<QTreeView *>(u"LVDirView"_s);
    // Sorted by size, largest first, with a selection: both as the user left them.
    view->header()->sectionClicked(DirListModel::Size);
    view->header()->sectionClicked(DirListModel::Size);
    view->selectionModel()->select(window->listModel()->index(1, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    RecordingPrinter *printer = nullptr;
    window->print().setPrinterFactory([&] {
        auto made = std::make_unique<RecordingPrinter>();
        printer = made.get();
        return made;
    });
    window->findChild<QAction *>(u"PRINT"_s)->trigger();
    QVERIFY(printer);
    QCOMPARE(window->statusPanels()->panelText(1), QString());
    QCOMPARE(window->print().lastPrintout()->PrintedItems(), 3);

    QStringList texts;
    QList<PrintFont> fonts;
    QList<double> centred; // how far each text is from the page's centre
    for (const RecordingPrinter::Call &call : printer->Calls())
        if (call.kind == RecordingPrinter::Kind::Print) {
            texts << call.text;
            fonts << call.font;
            // The recording printer's characters are 10 twips wide per point.
            centred << call.x + 5.0 * call.font.size * double(call.text.size()) -
                           printer->ScaleWidth() / 2;
        }
    // The opening space, the title, four headings, three rows of four texts, the footer.
    QCOMPARE(texts.size(), 1 + 1 + 4 + 3 * 4 + 1);
    QCOMPARE(texts[1], u"Disque [-%1-] Répertoire [-%1/-]"_s.arg(m_volume.path()));
    QCOMPARE(fonts[1], (PrintFont{u"Times New Roman"_s, 14, true, false, false, false}));
    QCOMPARE(centred[1], 0.0);
    QVERIFY(fonts[2].bold);
    QCOMPARE((QStringList{texts[6], texts[10], texts[14]}), ListNames(*window->listModel()));
    QCOMPARE(texts.last(), u"Page. 1"_s);
    QCOMPARE(fonts.last(), (PrintFont{u"Arial"_s, 8, false, false, false, false}));
    QCOMPARE(centred.last(), 0.0);
}

void TestWindow::printCancelledOrFailed_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("box");
    QTest::newRow("cancelled") << true << QString();
    QTest::newRow("device fails") << false << u"482 Printer error ("_s;
}

void TestWindow::printCancelledOrFailed()
{
    QFETCH(bool, cancel);
    QFETCH(QString, box);
    const auto window = ScannedWindow({m_volume.volume()});
    const QString path = m_volume.filePath(u"no/such/folder/out.pdf"_s);
    window->print().setPrinterFactory([&]() -> std::unique_ptr<Printer> {
        if (cancel)
            return nullptr;
        auto device = std::make_unique<QPrinter>();
        device->setOutputFormat(QPrinter::PdfFormat);
        device->setOutputFileName(path);
        return std::make_unique<DevicePrinter>(std::move(device), 15, 15);
    });
    BoxCatcher catcher;
    window->findChild<QAction *>(u"PRINT"_s)->trigger();
    QCOMPARE(catcher.text, box.isEmpty() ? box : box + path + u')');
    QCOMPARE(catcher.icon, box.isEmpty() ? QMessageBox::NoIcon : QMessageBox::Warning);
    QCOMPARE(window->statusPanels()->panelText(1), QString());
    QCOMPARE(window->print().lastPrintout() == nullptr, cancel);
    QVERIFY(!QFile::exists(path));
}

// As the desktop meets the window: whatever a user can reach or read has a name for screen readers,
// an emptied panel included; the list draws on the palette's background and follows its change,
// while the help keeps a light page under its dark text; Tab goes round tree, splitter and list;
// the focused splitter moves by 150 twips for Left and Right and lets other keys through; Alt+Up
// is Monter.
void TestWindow::desktop()
{
    const auto window = ScannedWindow({m_volume.volume()});
    window->statusPanels()->setPanelText(2, {});
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        const bool read = qobject_cast<QLabel *>(widget) || qobject_cast<QToolBar *>(widget) ||
                          qobject_cast<QToolButton *>(widget) || qobject_cast<QStatusBar *>(widget);
        if (widget->isVisible() && (widget->focusPolicy() != Qt::NoFocus || read))
            QVERIFY2(
                !QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name).isEmpty(),
                qPrintable(widget->objectName()));
    }

    HelpWindow help;
    const QPalette light = QApplication::palette();
    QPalette dark(QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    for (const QPalette &palette : {dark, light}) {
        QApplication::setPalette(palette);
        QCoreApplication::processEvents(); // as the desktop's would, the palette comes as an event
        QWidget *list = window->findChild<QTreeView *>(u"LVDirView"_s)->viewport();
        const QImage drawn = list->grab().toImage();
        QCOMPARE(drawn.pixelColor(drawn.width() / 2, drawn.height() - 3),
                 palette.color(QPalette::Base));
        QVERIFY(help.browser()->palette().color(QPalette::Base).lightness() > 200);
    }

    FolderTreeView *folders = window->folderTree();
    QWidget *splitter = window->findChild<QWidget *>(u"picSplitter"_s);
    QWidget *list = window->findChild<QWidget *>(u"LVDirView"_s);
    QTRY_COMPARE(QApplication::focusWidget(), list); // not the splitter before it
    for (QWidget *next : QList<QWidget *>{folders->findChild<QTreeView *>(), splitter, list}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    const int width = folders->width() - 150 / window->pixelTwips().perPixelX();
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Left, Qt::Key_Up})
        QTest::keyClick(splitter, key);
    QTest::keyClick(splitter, Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(folders->width(), width);
    QCOMPARE(list->x(), folders->x() + folders->width() + splitter->width());
    folders->setSelectedfolder(m_volume.filePath(u"sub"_s));
    QTest::keyClick(list, Qt::Key_Up, Qt::AltModifier);
    QCOMPARE(folders->selectedfolder(), folders->rootfolder());
}

void TestWindow::aboutLauncher_data()
{
    QTest::addColumn<QStringList>("entries"); // SysInfo/PATH and Location; "-" for none
    QTest::addColumn<bool>("programFile");    // hardinfo exists in the temporary folder
    QTest::addColumn<bool>("startWorks");
    QTest::addColumn<QString>("started"); // DIR: the temporary folder
    QTest::addColumn<bool>("unavailable");
    const QString program = u"DIR/hardinfo"_s;
    const QStringList both{u"/opt/si"_s, u"DIR"_s};
    QTest::newRow("entry 1 wins") << both << true << true << u"/opt/si"_s << false;
    QTest::newRow("entry 1 fails, 2 untried") << both << true << false << u"/opt/si"_s << true;
    QTest::newRow("entry 2 without the program")
        << QStringList{u"-"_s, u"DIR"_s} << false << true << QString() << true;
    QTest::newRow("entry 2") << QStringList{u"-"_s, u"DIR"_s} << true << true << program << false;
    QTest::newRow("entry 2 fails")
        << QStringList{u"-"_s, u"DIR"_s} << true << false << program << true;
    QTest::newRow("no entries") << QStringList{u"-"_s, u"-"_s} << true << true << QString() << true;
    QTest::newRow("value cut at NUL")
        << QStringList{u"/opt/si\0junk"_s, u"-"_s} << false << true << u"/opt/si"_s << false;
}

// Where the About window finds the system information program.
void TestWindow::aboutLauncher()
{
    QFETCH(QStringList, entries);
    QFETCH(bool, programFile);
    QFETCH(bool, startWorks);
    QFETCH(QString, started);
    QTemporaryDir dir;
    if (programFile)
        QVERIFY(QFile(dir.filePath(u"hardinfo"_s)).open(QIODevice::WriteOnly));
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
    steps.start = [&](const QString &program) {
        attempts += program;
        return startWorks;
    };
    steps.reportUnavailable = [&](QWidget *, const QString &text) { reports += text; };
    AboutWindow about(&store, nullptr, steps);
    about.StartSysInfo();
    QCOMPARE(attempts, started.replace(u"DIR"_s, dir.path()));
    QFETCH(bool, unavailable);
    QCOMPARE(reports, unavailable ? u"Le Systeme d'Information est indisponible"_s : QString());
}

// Where the help file is looked for; opened once, at the index, and anew once closed.
void TestWindow::help()
{
    QTemporaryDir root;
    const QString bin = root.filePath(u"bin"_s);
    const QString installed = root.filePath(u"share/quarnel/qnl.html"_s);
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(root.filePath(u"share/quarnel"_s)));
    QVERIFY(QFile(installed).open(QIODevice::WriteOnly));
    QVERIFY(QFile(bin + u"/qnl.html"_s).open(QIODevice::WriteOnly));
    QCOMPARE(HelpWindow::helpFilePath(bin), installed);
    QVERIFY(QFile::remove(installed));
    QCOMPARE(HelpWindow::helpFilePath(bin), bin + u"/qnl.html"_s);
    QVERIFY(QFile::remove(bin + u"/qnl.html"_s) && QDir().mkpath(bin + u"/qnl.html"_s));
    QCOMPARE(HelpWindow::helpFilePath(bin), u":/help/qnl.html"_s);

    QWidget owner;
    HelpWindow *window = HelpWindow::showIndex(&owner);
    QTextBrowser *browser = window->browser();
    QCOMPARE(browser->document()->firstBlock().text(), u"Aide de Quarnel"_s);
    browser->setSource(QUrl(u"#totaux"_s));
    QVERIFY(browser->verticalScrollBar()->value() > 0);
    QCOMPARE(HelpWindow::showIndex(&owner), window);
    QCOMPARE(browser->verticalScrollBar()->value(), 0);
    window->close();
    QTRY_VERIFY(!HelpWindow::instance());
    QVERIFY(!HelpWindow::showIndex(&owner)->browser()->isBackwardAvailable());
}

// The splash's caption; the window shows the count from the start and again on activation.
void TestWindow::startUp()
{
    QCOMPARE(SplashWindow::captionText(), u"Quarnel v1.0.0"_s);
    const auto window = StartUp(nullptr, 0);
    QCOMPARE(window->statusPanels()->panelText(1), u"0 Repertoires Scannés"_s);
    window->statusPanels()->setPanelText(1, QString());
    QApplication::setActiveWindow(window.get());
    QTRY_COMPARE(window->statusPanels()->panelText(1), u"0 Repertoires Scannés"_s);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
