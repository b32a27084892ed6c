#include "DirListModel.h"
#include "FolderTreeView.h"
#include "MainStatusBar.h"
#include "WindowFixtures.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <functional>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using Steps = std::function<void(MainWindow &, const TempVolume &)>;
Q_DECLARE_METATYPE(Steps)

namespace {

// What can be used: tree (and size commands), stop, print entry, print button.
QString States(const MainWindow &window)
{
    return Flags(
        FindObjects(window, {u"FolderTreeview"_s, u"mnuScanStop"_s, u"mnuFilePrint"_s, u"PRINT"_s}),
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

void StopDuringNextScan(MainWindow &window)
{
    QTimer::singleShot(0, &window, [&window] { window.scans()->stopCommand(); });
}

} // namespace

// The drive, rescan and stop commands of the real window, on temporary folders taken for volumes.
class TestScanCommands : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setApplicationName(u"Quarnel"_s); }
    void commands_data();
    void commands();
    void browseTheScannedDrive();
    void headingsSortAndRefillsKeepTheOrder();
};

// Each row starts from the volume (4096 bytes in three folders) and a second one (10 bytes),
// neither scanned.
void TestScanCommands::commands_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<int>("folders");
    QTest::addColumn<quint64>("diskSize");
    QTest::addColumn<QString>("status"); // {} for the volume's path
    QTest::addColumn<QString>("states");
    QTest::newRow("pick") << Steps([](MainWindow &w, const TempVolume &) {
        QTimer::singleShot(0, &w, [&w] { QCOMPARE(States(w), u"1100"_s); });
        w.driveCommand(0);
    }) << 3 << quint64(4096)
                          << u"3 Repertoires Scannés"_s << u"1011"_s;
    QTest::newRow("second pick does not walk again")
        << Steps([](MainWindow &w, const TempVolume &v) {
               w.driveCommand(0);
               v.write(u"later"_s, 904);
               w.driveCommand(1);
               w.driveCommand(0);
           })
        << 4 << quint64(4096) << u"[-"_s << u"1011"_s;
    QTest::newRow("rescan walks again") << Steps([](MainWindow &w, const TempVolume &v) {
        w.driveCommand(0);
        v.write(u"later/new"_s, 904);
        // The list still shows the old records' rows, but they are gone.
        QTimer::singleShot(0, &w, [&w] { QCOMPARE(States(w), u"1100"_s); });
        FindAction(w, u"REFRESH"_s)->trigger();
    }) << 4 << quint64(5000) << u"4 Repertoires Scannés"_s
                                        << u"1011"_s;
    QTest::newRow("stopped, no record left") << Steps([](MainWindow &w, const TempVolume &) {
        StopDuringNextScan(w);
        w.driveCommand(0);
    }) << 0 << quint64(0) << QString() << u"0000"_s;
    QTest::newRow("rescan stopped, no record left") << Steps([](MainWindow &w, const TempVolume &) {
        w.driveCommand(0);
        StopDuringNextScan(w);
        w.scans()->rescanCommand();
    }) << 0 << quint64(0) << QString() << u"0000"_s;
    QTest::newRow("stopped beside another drive's records")
        << Steps([](MainWindow &w, const TempVolume &) {
               w.driveCommand(1);
               StopDuringNextScan(w);
               w.driveCommand(0);
           })
        << 1 << quint64(0) << QString() << u"1000"_s;
    QTest::newRow("Esc before a pick is forgotten") << Steps([](MainWindow &w, const TempVolume &) {
        w.scans()->stopCommand();
        w.driveCommand(0);
    }) << 3 << quint64(4096) << u"3 Repertoires Scannés"_s
                                                    << u"1011"_s;
    QTest::newRow("unreadable folder") << Steps([](MainWindow &w, const TempVolume &v) {
        v.mkpath(u"locked"_s);
        QFile::setPermissions(v.filePath(u"locked"_s), {});
        OverrideReadPermissions(false);
        w.driveCommand(0);
        OverrideReadPermissions(true);
    }) << 3 << quint64(4096) << u"3 Repertoires Scannés, 1 Illisibles"_s
                                       << u"1011"_s;
    QTest::newRow("drive the tree cannot show") << Steps([](MainWindow &w, const TempVolume &v) {
        QDir(v.path()).removeRecursively();
        w.driveCommand(0);
        QCOMPARE(w.folderTree()->rootfolder(), u"/"_s);
    }) << 0 << quint64(0) << u"0 Repertoires Scannés"_s
                                                << u"0000"_s;
}

void TestScanCommands::commands()
{
    QFETCH(Steps, steps);
    TempVolume volume, other;
    volume.write(u"b.txt"_s, 3000);
    volume.write(u"sub/a.dat"_s, 1000);
    volume.write(u"sub/deeper/c"_s, 96);
    other.write(u"f"_s, 10);
    MainWindow window({volume.volume(), other.volume()}, nullptr);
    window.show();
    steps(window, volume);
    QVERIFY(!window.isScanning());
    QTEST(int(window.folders().count()), "folders");
    QTEST(window.diskSize(), "diskSize");
    QFETCH(QString, status);
    const QString shown = window.statusPanels()->panelText(1);
    if (status.isNull())
        QCOMPARE(shown, u"Arrêter Scan du Disque [-"_s + volume.path() + u"-]"_s);
    else
        QVERIFY2(shown.startsWith(status), qPrintable(shown));
    // What could not be read is named where the count is.
    const auto *panel = window.statusPanels()->findChild<QLabel *>(u"panel1"_s);
    QCOMPARE(panel && panel->toolTip().contains(volume.filePath(u"locked"_s)),
             status.contains(u"Illisibles"_s));
    QTEST(States(window), "states");
}

// Down a folder and up again, the status bar giving its total; a folder with no record lists
// nothing and cannot be printed.
void TestScanCommands::browseTheScannedDrive()
{
    TempVolume volume;
    volume.write(u"b.txt"_s, 3000);
    volume.write(u"sub/a.dat"_s, 1000);
    volume.write(u"sub/deeper/c"_s, 96);
    const auto window = ScannedWindow({volume.volume()});
    const DirListModel &list = *window->listModel();
    QVERIFY(window->statusPanels()->panelText(2).startsWith(u"Espace Disque Libre : "_s));
    QVERIFY(window->statusPanels()->panelText(3).endsWith(u" Mb "_s));
    QCOMPARE(ListNames(list), (QStringList{u"b.txt"_s, u"sub"_s}));
    window->folderTree()->setSelectedfolder(volume.filePath(u"sub"_s));
    QCOMPARE(ListNames(list), (QStringList{u"a.dat"_s, u"deeper"_s}));
    QCOMPARE(window->statusPanels()->panelText(1), u"[-sub-] :    1 Kb"_s);
    FindAction(*window, u"UP"_s)->trigger();
    QCOMPARE(ListNames(list), (QStringList{u"b.txt"_s, u"sub"_s}));
    FindAction(*window, u"UP"_s)->trigger(); // at the drive's root: nothing
    QCOMPARE(window->folderTree()->selectedfolder(), volume.path() + u'/');

    volume.mkpath(u"later"_s);
    window->folderTree()->reload();
    window->folderTree()->setSelectedfolder(volume.filePath(u"later"_s));
    QCOMPARE(list.rowCount(), 0);
    QCOMPARE(States(*window), u"1000"_s);
}

// The sort rules are the list's; here, that the headings reach them and a refill keeps them.
void TestScanCommands::headingsSortAndRefillsKeepTheOrder()
{
    TempVolume volume;
    for (const auto &[name, size] : {std::pair{"a", 12}, {"b", 1234567}, {"c", 5}})
        volume.write(QLatin1StringView(name), size);
    const auto window = ScannedWindow({volume.volume()});
    QHeaderView *header = window->findChild<QTreeView *>(u"LVDirView"_s)->header();
    QCOMPARE(header->sortIndicatorSection(), 0);
    for (int click = 0; click < 2; ++click)
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
    const QStringList descending{u"b"_s, u"a"_s, u"c"_s};
    QCOMPARE(ListNames(*window->listModel()), descending);
    FindAction(*window, u"SIZEDISK"_s)->trigger();
    QCOMPARE(ListNames(*window->listModel()), descending);
    QCOMPARE(header->sortIndicatorSection(), 1);
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
}

QTEST_MAIN(TestScanCommands)
#include "tst_scancommands.moc"
