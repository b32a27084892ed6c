#include "FolderTreeView.h"
#include "MainWindow.h"
#include "StopScan.h"
#include "modRegistry.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

using namespace Qt::StringLiterals;

// The main window driven as a user drives it, on a fake list of volumes and a settings file of
// the test's own.
class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void driveCommands_data();
    void driveCommands();
    void ctrlFunctionKeysBeyondTheList();
    void statesThroughCommands();
    void hidingBarsGivesTheirRoomToTheWorkArea();
    void narrowWindowKeepsTheListWidth();
    void closeRefusedWhileScanning();
    void firstRunThenEverySettingSaved();
    void storedSettingsRestored();

private:
    static QList<Volume> Drives(int count);
    QList<Volume> SmallDrives(int count);
    static QAction *Find(const MainWindow &window, const char *name);
    QTemporaryDir m_dir;
};

void TestMainWindow::initTestCase()
{
    QApplication::setApplicationName(u"Quarnel"_s);
    QVERIFY(m_dir.isValid());
}

// Volumes that are small folders of the test's own, each holding one file, so that picking one
// walks it in no time.
QList<Volume> TestMainWindow::SmallDrives(int count)
{
    QList<Volume> drives;
    for (int i = 0; i < count; ++i) {
        const QString root = m_dir.filePath(u"vol%1"_s.arg(i));
        QDir().mkpath(root);
        QFile file(root + u"/file"_s);
        if (!file.open(QIODevice::WriteOnly) || file.write("12345") != 5)
            qFatal("cannot write the test volume");
        Volume v;
        v.mountPoint = QFile::encodeName(root);
        v.kind = DriveKind::Fixed;
        drives.append(v);
    }
    return drives;
}

QList<Volume> TestMainWindow::Drives(int count)
{
    QList<Volume> drives;
    for (int i = 0; i < count; ++i) {
        Volume v;
        v.mountPoint = i == 0 ? "/"_ba : "/media/d" + QByteArray::number(i);
        v.kind = i % 2 ? DriveKind::Removable : DriveKind::Fixed;
        drives.append(v);
    }
    return drives;
}

QAction *TestMainWindow::Find(const MainWindow &window, const char *name)
{
    return window.findChild<QAction *>(QLatin1StringView(name));
}

void TestMainWindow::driveCommands_data()
{
    QTest::addColumn<int>("drives");
    QTest::addColumn<int>("buttonCount");
    QTest::newRow("none") << 0 << 0;
    QTest::newRow("one") << 1 << 1;
    QTest::newRow("three") << 3 << 5;
    QTest::newRow("eleven") << 11 << 21;
}

void TestMainWindow::driveCommands()
{
    QFETCH(int, drives);
    QFETCH(int, buttonCount);
    MainWindow window(Drives(drives), nullptr);
    QCOMPARE(window.driveCount(), drives);
    QCOMPARE(window.driveButtonCount(), buttonCount);

    const QList<QAction *> buttons = window.findChild<QToolBar *>(u"Toolbar"_s)->actions();
    QCOMPARE(buttons.size(), buttonCount);
    for (int i = 0; i < buttons.size(); ++i)
        QCOMPARE(buttons[i]->isSeparator(), i % 2 == 1); // drive, spacer, drive, ...

    const QList<QAction *> entries = window.findChildren<QAction *>(u"mnuScanDisk"_s);
    QCOMPARE(entries.size(), drives);
    if (drives == 0)
        return;
    QCOMPARE(entries[0]->text(), u"[-&/-]\tCtrl+F1"_s);
    QCOMPARE(buttons[0]->text(), u"/"_s);
    QCOMPARE(buttons[0]->toolTip(), u"Disque Scanné [-/-]"_s);
    if (drives >= 11) {
        QCOMPARE(entries[9]->text(), u"[-&/media/d9-]\tCtrl+F10"_s);
        QCOMPARE(entries[10]->text(), u"[-&/media/d10-]"_s);
    }
}

// Only the keys of existing drives act; Ctrl+F3 on two drives changes nothing.
void TestMainWindow::ctrlFunctionKeysBeyondTheList()
{
    MainWindow window(SmallDrives(2), nullptr);
    QVERIFY(!window.folderTree()->isEnabled());
    QTest::keyClick(&window, Qt::Key_F3, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_F11, Qt::ControlModifier);
    QVERIFY(!window.folderTree()->isEnabled());
    QTest::keyClick(&window, Qt::Key_F2, Qt::ControlModifier);
    QVERIFY(window.folderTree()->isEnabled());
}

void TestMainWindow::statesThroughCommands()
{
    const QList<Volume> drives = SmallDrives(2);
    MainWindow window(drives, nullptr);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QAction *sizeDisk = Find(window, "mnuViewSizeDisk");
    QAction *sizeParent = Find(window, "mnuViewSizeParent");
    const auto stateOf = [&] {
        return QList<bool>{window.folderTree()->isEnabled(), sizeDisk->isEnabled(),
                           sizeParent->isEnabled(), Find(window, "SIZEDISK")->isEnabled(),
                           Find(window, "SIZEPARENT")->isEnabled()};
    };
    const QList<bool> allOff(5, false);
    const QList<bool> allOn(5, true);

    // Nothing scanned yet.
    QCOMPARE(stateOf(), allOff);
    QVERIFY(!Find(window, "mnuScanStop")->isEnabled());
    QVERIFY(!Find(window, "STOP")->isEnabled());
    QVERIFY(!Find(window, "mnuFilePrint")->isEnabled());
    QVERIFY(!Find(window, "PRINT")->isEnabled());
    QVERIFY(Find(window, "UP")->isEnabled());
    QVERIFY(Find(window, "REFRESH")->isEnabled());
    QVERIFY(!sizeDisk->isChecked());
    QVERIFY(sizeParent->isChecked());

    // Esc with no scan running sets the flag, wherever the focus is; the next drive command
    // clears it first. A completed scan leaves stop off and print on (the list has a row).
    QVERIFY(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(StopScan);
    window.driveCommand(0);
    QVERIFY(!StopScan);
    QCOMPARE(stateOf(), allOn);
    QVERIFY(!Find(window, "STOP")->isEnabled());
    QVERIFY(Find(window, "PRINT")->isEnabled());
    QVERIFY(Find(window, "mnuFilePrint")->isEnabled());

    // The size commands switch the reference and the check marks.
    sizeDisk->trigger();
    QCOMPARE(window.viewType(), 1);
    QVERIFY(sizeDisk->isChecked());
    QVERIFY(!sizeParent->isChecked());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(window.viewType(), 2);
    QVERIFY(!sizeDisk->isChecked());
    QVERIFY(sizeParent->isChecked());

    // A command arriving during a scan only turns the size commands on and clears the flag.
    window.setScanning(true);
    window.SetMenuButtonState(false);
    StopScan = true;
    window.driveCommand(1);
    QCOMPARE(stateOf(), allOn);
    QVERIFY(!StopScan);
    window.setScanning(false);

    // Removing the drive's records turns stop and the print button off, not the print entry;
    // with no record left the tree and the size commands go off.
    window.RemoveDriveFolders(drives[0].root());
    QVERIFY(!Find(window, "PRINT")->isEnabled());
    QVERIFY(Find(window, "mnuFilePrint")->isEnabled());
    window.CheckMenuButton();
    QCOMPARE(stateOf(), allOff);
}

void TestMainWindow::hidingBarsGivesTheirRoomToTheWorkArea()
{
    MainWindow window(Drives(3), nullptr);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget *tree = window.folderTree();
    QWidget *list = window.findChild<QWidget *>(u"LVDirView"_s);
    const auto top = [&](QWidget *w) { return w->mapTo(&window, QPoint(0, 0)).y(); };
    const int treeTop = top(tree);
    const int treeHeight = tree->height();
    const int barHeight = window.findChild<QToolBar *>(u"Toolbar"_s)->height();
    const int statusHeight = window.statusBar()->height();

    Find(window, "mnuViewToolBar")->trigger();
    QTRY_COMPARE(top(tree), treeTop - barHeight);
    QTRY_COMPARE(tree->height(), treeHeight + barHeight);
    QCOMPARE(top(list), top(tree));
    QCOMPARE(list->height(), tree->height());

    Find(window, "mnuViewStatusBar")->trigger();
    QTRY_COMPARE(tree->height(), treeHeight + barHeight + statusHeight);
    QVERIFY(!Find(window, "mnuViewStatusBar")->isChecked());

    // The list sits right of the splitter and fills the window.
    const QWidget *splitter = window.findChild<QWidget *>(u"picSplitter"_s);
    QCOMPARE(list->x(), splitter->x() + splitter->width());
    QCOMPARE(list->x() + list->width(), window.width());
    QVERIFY(window.minimumSize() == QSize(300, 280));
}

// A window so narrow that the list would be 120 twips or less leaves the list at its last width.
void TestMainWindow::narrowWindowKeepsTheListWidth()
{
    const QString file = m_dir.filePath(u"wide-tree.conf"_s);
    {
        QSettings raw(file, QSettings::IniFormat);
        raw.setValue(u"Option/FolderSize"_s, 4380); // 292 pixels at 15 twips per pixel
    }
    SettingsStore store(file);
    MainWindow window(Drives(1), &store);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget *list = window.findChild<QWidget *>(u"LVDirView"_s);
    const int listWidth = list->width();
    QVERIFY(listWidth > 120);
    window.resize(300, window.height());
    QTRY_COMPARE(window.width(), 300);
    const int room = (300 - window.folderTree()->width() -
                      window.findChild<QWidget *>(u"picSplitter"_s)->width()) *
                     window.pixelTwips().perPixelX();
    QVERIFY(room <= 120);
    QCOMPARE(list->width(), listWidth);
}

void TestMainWindow::closeRefusedWhileScanning()
{
    MainWindow window(Drives(1), nullptr);
    window.show();
    window.setScanning(true);
    QString shownText, shownTitle;
    QMessageBox::Icon shownIcon = QMessageBox::Critical;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        shownText = box->text();
        shownTitle = box->windowTitle();
        shownIcon = box->icon();
        box->accept();
    });
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());
    QCOMPARE(shownText, u"Arrêter Scan avant de Quitter"_s);
    QCOMPARE(shownTitle, u"Quarnel"_s);
    QCOMPARE(shownIcon, QMessageBox::NoIcon);

    window.setScanning(false);
    QVERIFY(window.close());
}

void TestMainWindow::firstRunThenEverySettingSaved()
{
    const QString file = m_dir.filePath(u"first.conf"_s);
    SettingsStore store(file);
    {
        MainWindow window(Drives(1), &store);
        QVERIFY(Find(window, "mnuViewToolBar")->isChecked());
        QVERIFY(Find(window, "mnuViewStatusBar")->isChecked());
        QCOMPARE(window.viewType(), 2);
        QCOMPARE(window.folderTree()->width() * window.pixelTwips().perPixelX(), 2550);
        window.show();
        QVERIFY(window.close());
    }
    QSettings saved(file, QSettings::IniFormat);
    saved.beginGroup(u"Option"_s);
    const QStringList expected = {u"Date"_s, u"FolderSize"_s, u"MainHeight"_s, u"MainLeft"_s,
                                  u"MainTop"_s, u"MainWidth"_s, u"Name"_s, u"Size1"_s,
                                  u"Size2"_s, u"ViewBar"_s, u"ViewStatus"_s, u"ViewType"_s};
    QStringList keys = saved.childKeys();
    keys.sort();
    QCOMPARE(keys, expected);
    QCOMPARE(saved.value(u"ViewBar"_s).toString(), u"-1"_s);
    QCOMPARE(saved.value(u"FolderSize"_s).toString(), u"2550"_s);
    QCOMPARE(saved.value(u"Name"_s).toString(), u"1440"_s);
}

void TestMainWindow::storedSettingsRestored()
{
    const QString file = m_dir.filePath(u"stored.conf"_s);
    {
        QSettings raw(file, QSettings::IniFormat);
        raw.beginGroup(u"Option"_s);
        raw.setValue(u"ViewBar"_s, 0);
        raw.setValue(u"ViewType"_s, 7);
        raw.setValue(u"FolderSize"_s, 3000);
        raw.setValue(u"Size1"_s, u"2250"_s);
        raw.setValue(u"ViewStatus"_s, u"junk"_s);
    }
    SettingsStore store(file);
    MainWindow window(Drives(1), &store);
    QVERIFY(!Find(window, "mnuViewToolBar")->isChecked());
    QVERIFY(!window.findChild<QToolBar *>(u"Toolbar"_s)->isVisibleTo(&window));
    QVERIFY(Find(window, "mnuViewStatusBar")->isChecked()); // junk counts as absent
    QCOMPARE(window.viewType(), 7);
    QVERIFY(Find(window, "mnuViewSizeParent")->isChecked());
    QVERIFY(!Find(window, "mnuViewSizeDisk")->isChecked());
    QCOMPARE(window.folderTree()->width() * window.pixelTwips().perPixelX(), 3000);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
