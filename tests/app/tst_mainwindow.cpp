#include "BoxCatcher.h"
#include "FolderTreeView.h"
#include "MainStatusBar.h"
#include "WindowFixtures.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ScanPhase)

// The window's own jobs: which commands it offers when, its drive commands and keys, the room it
// gives the work area, and its refusal to close during a scan.
class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setApplicationName(u"Quarnel"_s); }
    void commandStates_data();
    void commandStates();
    void driveCommands_data();
    void driveCommands();
    void keysActWhateverHasTheFocus();
    void workAreaTakesTheRoomLeft();
    void closeRefusedWhileScanning();
};

namespace {

// Every command, by the table's column that sets it: tree and size commands, stop, print, and
// those always offered; then the check marks.
const QList<QStringList> Enabled = {{u"FolderTreeview"_s, u"mnuViewSizeDisk"_s,
                                     u"mnuViewSizeParent"_s, u"SIZEDISK"_s, u"SIZEPARENT"_s},
                                    {u"mnuScanStop"_s, u"STOP"_s},
                                    {u"mnuFilePrint"_s, u"PRINT"_s},
                                    {u"mnuFileExit"_s, u"mnuScanRefresh"_s, u"REFRESH"_s, u"UP"_s,
                                     u"mnuHelpIndex"_s, u"mnuAbout"_s, u"mnuScanDisk"_s,
                                     u"drive:/"_s, u"drive:/media/d1"_s}};
const QStringList Checked = {u"mnuViewSizeDisk"_s, u"mnuViewSizeParent"_s, u"mnuViewToolBar"_s,
                             u"mnuViewStatusBar"_s};

} // namespace

void TestMainWindow::commandStates_data()
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

// Every command is set, whatever its state before.
void TestMainWindow::commandStates()
{
    QFETCH(ScanPhase, phase);
    QFETCH(bool, listHasRows);
    QFETCH(int, viewType);
    QFETCH(bool, barsShown);
    QFETCH(QString, expected);
    MainWindow window(NamedDrives(2), nullptr);
    QList<QObject *> commands;
    QString enabled;
    for (qsizetype group = 0; group < Enabled.size(); ++group) {
        const QList<QObject *> found = FindObjects(window, Enabled[group]);
        commands += found;
        enabled += QString(found.size(), group < 3 ? expected[group] : u'1');
    }
    QCOMPARE(commands.size(), 19);
    const QList<QObject *> toggles = FindObjects(window, Checked);
    QString checked;
    for (bool on : {viewType == 1, viewType != 1, barsShown, barsShown})
        checked += on ? u'1' : u'0';
    for (qsizetype i = 0; i < commands.size(); ++i)
        commands[i]->setProperty("enabled", enabled[i] == u'0');
    for (qsizetype i = 0; i < toggles.size(); ++i)
        toggles[i]->setProperty("checked", checked[i] == u'0');
    SetCommandStates(window.commands(), {phase, listHasRows, viewType, barsShown, barsShown});
    QCOMPARE(Flags(commands, "enabled"), enabled);
    QCOMPARE(Flags(toggles, "checked"), checked);
}

void TestMainWindow::driveCommands_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("none") << 0;
    QTest::newRow("one") << 1;
    QTest::newRow("eleven: keys for ten") << 11;
}

// A menu entry and a button per drive, a spacer between two buttons; an "&" in a mount point
// shows as it is.
void TestMainWindow::driveCommands()
{
    QFETCH(int, count);
    QList<Volume> drives = NamedDrives(count);
    if (count > 1)
        drives.last().mountPoint = "/media/a&b";
    MainWindow window(drives, nullptr);
    QStringList entries;
    for (const QAction *entry : window.findChildren<QAction *>(u"mnuScanDisk"_s))
        entries.append(entry->text());
    QCOMPARE(entries.size(), count);
    if (count > 0)
        QCOMPARE(entries.first(), u"[-&/-]\tCtrl+F1"_s);
    if (count == 11) {
        QCOMPARE(entries[9], u"[-&/media/d9-]\tCtrl+F10"_s);
        QCOMPARE(entries[10], u"[-&/media/a&&b-]"_s);
    }
    const QList<QAction *> buttons = window.findChild<QToolBar *>(u"Toolbar"_s)->actions();
    QCOMPARE(buttons.size(), std::max(0, 2 * count - 1));
    for (int i = 0; i < buttons.size(); ++i) {
        QCOMPARE(buttons[i]->isSeparator(), i % 2 == 1);
        if (i % 2 == 0)
            QCOMPARE(buttons[i]->toolTip(),
                     u"Disque Scanné [-"_s + QFile::decodeName(drives[i / 2].mountPoint) + u"-]"_s);
    }
}

// Ctrl+F1 to Ctrl+F10 pick a listed drive and Esc asks a scan to stop, from any widget of the
// window; the next pick forgets an earlier Esc.
void TestMainWindow::keysActWhateverHasTheFocus()
{
    TempVolume first, second;
    first.write(u"f"_s, 5);
    second.write(u"g"_s, 7);
    MainWindow window({first.volume(), second.volume()}, nullptr);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QString start = window.folderTree()->rootfolder();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3, Qt::ControlModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F11, Qt::ControlModifier);
    QCOMPARE(window.folderTree()->rootfolder(), start);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2, Qt::ControlModifier);
    QCOMPARE(window.folderTree()->rootfolder(), second.path() + u'/');
    QCOMPARE(window.diskSize(), quint64(7));

    for (const QString &name : {u"LVDirView"_s, u"picSplitter"_s, u"FolderTreeview"_s}) {
        QWidget *widget = window.findChild<QWidget *>(name);
        if (QWidget *inner = widget->findChild<QTreeView *>())
            widget = inner;
        window.driveCommand(1); // a drive walked before: no walk, the request cleared
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Escape);
        QVERIFY2(window.scans()->ScanDrive(first.volume()) == 0, qPrintable(name));
    }
}

void TestMainWindow::workAreaTakesTheRoomLeft()
{
    MainWindow window(NamedDrives(3), nullptr);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget *tree = window.folderTree();
    QWidget *splitter = window.findChild<QWidget *>(u"picSplitter"_s);
    QWidget *list = window.findChild<QWidget *>(u"LVDirView"_s);
    const auto top = [&](QWidget *w) { return w->mapTo(&window, QPoint(0, 0)).y(); };
    const int treeTop = top(tree);
    const int treeHeight = tree->height();
    const int barHeight = window.findChild<QToolBar *>(u"Toolbar"_s)->height();
    const int statusHeight = window.statusBar()->height();
    FindAction(window, u"mnuViewToolBar"_s)->trigger();
    QTRY_COMPARE(top(tree), treeTop - barHeight);
    FindAction(window, u"mnuViewStatusBar"_s)->trigger();
    QTRY_COMPARE(tree->height(), treeHeight + barHeight + statusHeight);
    QCOMPARE(top(list), top(tree));
    QCOMPARE(list->height(), tree->height());
    QCOMPARE(list->x(), splitter->x() + splitter->width());
    QCOMPARE(list->x() + list->width(), window.width());

    // So narrow that the list would be 120 twips or less: it keeps its last width.
    tree->resize(292, tree->height());
    const int listWidth = list->width();
    window.resize(300, window.height());
    QTRY_COMPARE(window.width(), 300);
    QVERIFY((300 - tree->width() - splitter->width()) * window.pixelTwips().perPixelX() <= 120);
    QCOMPARE(list->width(), listWidth);
}

void TestMainWindow::closeRefusedWhileScanning()
{
    TempVolume volume;
    volume.write(u"f"_s, 1);
    MainWindow window({volume.volume()}, nullptr);
    window.show();
    BoxCatcher box;
    bool closed = true;
    QTimer::singleShot(0, &window, [&] { closed = window.close(); });
    window.driveCommand(0);
    QVERIFY(!closed);
    QCOMPARE(box.text(), u"Arrêter Scan avant de Quitter"_s);
    QCOMPARE(box.title(), u"Quarnel"_s);
    QCOMPARE(box.icon(), QMessageBox::NoIcon);
    QVERIFY(window.close());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
