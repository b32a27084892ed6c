#include "DirListModel.h"
#include "Formatting.h"
#include "FolderTreeView.h"
#include "MainStatusBar.h"
#include "MainWindow.h"

#include <QApplication>
#include <QColor>
#include <QDateTime>
#include <QFileInfo>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace Qt::StringLiterals;

// Scans started from the real window on a volume that is a temporary folder of the test's own.
class TestScanCommands : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pickScanAndBrowse();
    void secondPickDoesNotWalkAgain();
    void stopInTheMiddle();
    void driveTheTreeCannotShow();
    void headingsSortWithTheirDirectionRules();

private:
    static void write(const QString &path, int bytes);
    QStringList names(const MainWindow &window) const;
    QAction *find(const MainWindow &window, const char *name) const;
    Volume volume(const QString &path) const;
};

void TestScanCommands::initTestCase()
{
    QApplication::setApplicationName(u"Quarnel"_s);
}

void TestScanCommands::write(const QString &path, int bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(QByteArray(bytes, 'x')), qint64(bytes));
}

QStringList TestScanCommands::names(const MainWindow &window) const
{
    QStringList result;
    const DirListModel *model = window.listModel();
    for (int row = 0; row < model->rowCount(); ++row)
        result.append(model->index(row, DirListModel::Name).data().toString());
    return result;
}

QAction *TestScanCommands::find(const MainWindow &window, const char *name) const
{
    return window.findChild<QAction *>(QLatin1StringView(name));
}

Volume TestScanCommands::volume(const QString &path) const
{
    Volume v;
    v.mountPoint = QFile::encodeName(path);
    v.kind = DriveKind::Fixed;
    return v;
}

void TestScanCommands::pickScanAndBrowse()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    write(dir.filePath(u"b.txt"_s), 3000);
    write(dir.filePath(u"sub/a.dat"_s), 1000);
    write(dir.filePath(u"sub/deeper/c"_s), 96);
    MainWindow window({volume(dir.path())}, nullptr);
    window.show();

    window.driveCommand(0);
    QVERIFY(!window.isScanning());
    QCOMPARE(window.diskSize(), quint64(4096));
    QCOMPARE(window.folders().count(), 3);
    QCOMPARE(window.statusPanels()->panelText(1), u"3 Repertoires Scannés"_s);
    QVERIFY(window.statusPanels()->panelText(2).startsWith(u"Espace Disque Libre : "_s));
    QVERIFY(window.statusPanels()->panelText(3).endsWith(u" Mb "_s));
    QVERIFY(!find(window, "mnuScanStop")->isEnabled());
    QVERIFY(!find(window, "STOP")->isEnabled());
    QVERIFY(find(window, "PRINT")->isEnabled());
    QVERIFY(window.folderTree()->isEnabled());
    QCOMPARE(names(window), (QStringList{u"b.txt"_s, u"sub"_s}));
    const DirListModel *model = window.listModel();
    QCOMPARE(model->index(1, DirListModel::Size).data().toString(), u"  1 096"_s);
    // Against the listed folder: 3000 of 4096 bytes is 73.2 %, red; 1096 is 26.8 %, green.
    QCOMPARE(model->index(0, DirListModel::Percent).data().toString(),
             QString(73, u'|') + u" 73.2%"_s);
    QCOMPARE(model->index(0, DirListModel::Percent).data(Qt::ForegroundRole).value<QColor>(),
             QColor(255, 0, 0));
    QCOMPARE(model->index(1, DirListModel::Percent).data(Qt::ForegroundRole).value<QColor>(),
             QColor(0, 192, 0));
    const QDateTime written = QFileInfo(dir.filePath(u"b.txt"_s)).lastModified();
    QCOMPARE(model->index(0, DirListModel::Date).data().toString(),
             DateText(QDateTime::fromSecsSinceEpoch(written.toSecsSinceEpoch())));

    // Browsing down and up again; the status bar gives the folder's total.
    window.folderTree()->setSelectedfolder(dir.filePath(u"sub"_s));
    QTRY_COMPARE(names(window), (QStringList{u"a.dat"_s, u"deeper"_s}));
    QCOMPARE(window.statusPanels()->panelText(1), u"[-sub-] :    1 Kb"_s);
    find(window, "UP")->trigger();
    QTRY_COMPARE(names(window), (QStringList{u"b.txt"_s, u"sub"_s}));
    find(window, "UP")->trigger(); // at the drive's root: nothing
    QCOMPARE(window.folderTree()->selectedfolder(), dir.path() + u'/');

    // A folder made after the scan has no record: an empty list, nothing to print.
    QVERIFY(QDir().mkpath(dir.filePath(u"later"_s)));
    window.folderTree()->reload();
    window.folderTree()->setSelectedfolder(dir.filePath(u"later"_s));
    QTRY_COMPARE(model->rowCount(), 0);
    QVERIFY(!find(window, "PRINT")->isEnabled());
    QVERIFY(!find(window, "mnuFilePrint")->isEnabled());

    // A rescan walks the drive anew and sees what changed.
    write(dir.filePath(u"later/new"_s), 904);
    find(window, "REFRESH")->trigger();
    QCOMPARE(window.diskSize(), quint64(5000));
    QCOMPARE(window.folders().count(), 4);
}

void TestScanCommands::secondPickDoesNotWalkAgain()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    write(dir.filePath(u"f"_s), 10);
    MainWindow window({volume(dir.path())}, nullptr);
    window.show();
    window.driveCommand(0);
    QCOMPARE(window.diskSize(), quint64(10));
    write(dir.filePath(u"g"_s), 20);
    window.driveCommand(0);
    QCOMPARE(window.diskSize(), quint64(10));
    QCOMPARE(window.folders().count(), 1);
    QVERIFY(!find(window, "mnuScanStop")->isEnabled());
}

void TestScanCommands::stopInTheMiddle()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (int i = 0; i < 3000; ++i)
        QVERIFY(QDir().mkpath(dir.filePath(u"d%1/e"_s.arg(i))));
    MainWindow window({volume(dir.path())}, nullptr);
    window.show();
    QTimer::singleShot(0, &window, &MainWindow::stopCommand);
    window.driveCommand(0);
    QCOMPARE(window.statusPanels()->panelText(1),
             u"Arrêter Scan du Disque [-"_s + dir.path() + u"-]"_s);
    QCOMPARE(window.folders().count(), 0);
    QCOMPARE(window.diskSize(), quint64(0));
    QVERIFY(!find(window, "mnuScanStop")->isEnabled());
    QVERIFY(!find(window, "STOP")->isEnabled());
    QVERIFY(!find(window, "PRINT")->isEnabled());
    QVERIFY(!window.folderTree()->isEnabled()); // no record left anywhere
}

// A volume whose root cannot be shown (gone, say) leaves the tree and the records as they were.
void TestScanCommands::driveTheTreeCannotShow()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    MainWindow window({volume(dir.filePath(u"gone"_s))}, nullptr);
    window.show();
    const QString root = window.folderTree()->rootfolder();
    window.driveCommand(0);
    QCOMPARE(window.folderTree()->rootfolder(), root);
    QCOMPARE(window.folders().count(), 0);
    QVERIFY(!window.isScanning());
    QVERIFY(!window.folderTree()->isEnabled());
    QVERIFY(!find(window, "STOP")->isEnabled());
}

void TestScanCommands::headingsSortWithTheirDirectionRules()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    write(dir.filePath(u"a"_s), 12);
    write(dir.filePath(u"b"_s), 1234567);
    write(dir.filePath(u"c"_s), 5);
    write(dir.filePath(u"d"_s), 0);
    MainWindow window({volume(dir.path())}, nullptr);
    window.show();
    window.driveCommand(0);
    QHeaderView *header = window.findChild<QTreeView *>(u"LVDirView"_s)->header();
    QCOMPARE(names(window), (QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s}));
    QCOMPARE(header->sortIndicatorSection(), 0);
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);

    const auto click = [&](int section) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
    };
    click(1); // another column keeps the direction
    QCOMPARE(names(window), (QStringList{u"d"_s, u"c"_s, u"a"_s, u"b"_s}));
    click(1); // the same column reverses it
    QCOMPARE(names(window), (QStringList{u"b"_s, u"a"_s, u"c"_s, u"d"_s}));
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    click(0);
    QCOMPARE(names(window), (QStringList{u"d"_s, u"c"_s, u"b"_s, u"a"_s}));
    // A refill keeps the column and the direction.
    find(window, "SIZEDISK")->trigger();
    QCOMPARE(names(window), (QStringList{u"d"_s, u"c"_s, u"b"_s, u"a"_s}));
    QCOMPARE(header->sortIndicatorSection(), 0);
}

QTEST_MAIN(TestScanCommands)
#include "tst_scancommands.moc"
