#include "DiskReport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

class TestReport : public QObject
{
    Q_OBJECT
private slots:
    void balance_data();
    void balance();
    void mountPoints_data();
    void mountPoints();
    void openDeletedFile();
    void unreadProcesses();
};

void TestReport::balance_data()
{
    QTest::addColumn<quint64>("blocks");
    QTest::addColumn<quint64>("free");
    QTest::addColumn<quint64>("available");
    QTest::addColumn<quint64>("onDisk");
    QTest::addColumn<quint64>("deleted");
    QTest::addColumn<quint64>("used");
    QTest::addColumn<quint64>("reserved");
    QTest::addColumn<qint64>("difference");
    QTest::addColumn<quint64>("rest");
    QTest::addColumn<quint64>("excess");
    // Blocks of 4 KiB throughout.
    QTest::newRow("normal") << 1000ull << 400ull << 350ull << 2'000'000ull << 300'000ull
                            << 2'457'600ull << 204'800ull << 457'600ll << 157'600ull << 0ull;
    QTest::newRow("nothing deleted") << 1000ull << 400ull << 400ull << 2'000'000ull << 0ull
                                     << 2'457'600ull << 0ull << 457'600ll << 457'600ull << 0ull;
    QTest::newRow("scan above used")
        << 1000ull << 400ull << 350ull << 2'500'000ull << 0ull << 2'457'600ull << 204'800ull
        << -42'400ll << 0ull << 42'400ull;
    QTest::newRow("open files tip it over")
        << 1000ull << 400ull << 350ull << 2'400'000ull << 100'000ull << 2'457'600ull << 204'800ull
        << 57'600ll << 0ull << 42'400ull;
    QTest::newRow("counts out of order")
        << 1000ull << 1200ull << 1300ull << 0ull << 0ull << 0ull << 0ull << 0ll << 0ull << 0ull;
}

void TestReport::balance()
{
    QFETCH(quint64, blocks);
    QFETCH(quint64, free);
    QFETCH(quint64, available);
    DiskReport report;
    report.space = VolumeSpace::fromBlocks(blocks, free, available, 4096);
    QFETCH(quint64, onDisk);
    report.scan.onDisk = onDisk;
    QFETCH(quint64, deleted);
    report.deleted.allocated = deleted;
    QCOMPARE(report.space.total, blocks * 4096);
    QTEST(report.space.used, "used");
    QTEST(report.space.reserved, "reserved");
    QTEST(report.difference(), "difference");
    QTEST(report.rest(), "rest");
    QTEST(report.excess(), "excess");
}

// Nested mounts, a neighbour whose name starts like the root, an escaped blank and a mount
// point mounted twice.
const QByteArray MountTable =
    "21 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "22 21 0:5 / /proc rw shared:2 - proc proc rw\n"
    "23 22 0:6 / /proc/sys/fs/binfmt_misc rw - binfmt_misc binfmt_misc rw\n"
    "24 21 8:2 / /home rw shared:3 - ext4 /dev/sda2 rw\n"
    "25 24 8:3 / /home/ann/my\\040disk rw - vfat /dev/sdb1 rw\n"
    "26 25 0:40 / /home/ann/my\\040disk/inner rw - tmpfs tmpfs rw\n"
    "27 21 8:4 / /home2 rw - ext4 /dev/sda4 rw\n"
    "28 24 0:41 / /home/bob rw - tmpfs tmpfs rw\n"
    "29 24 0:42 / /home/bob rw - tmpfs tmpfs rw\n";

void TestReport::mountPoints_data()
{
    QTest::addColumn<QByteArray>("root");
    QTest::addColumn<QByteArrayList>("expected");
    QTest::newRow("system root") << "/"_ba << QByteArrayList{"/home", "/home2", "/proc"};
    QTest::newRow("home, not its neighbour nor itself")
        << "/home/"_ba << QByteArrayList{"/home/ann/my disk", "/home/bob"};
    QTest::newRow("nothing inside") << "/home2/"_ba << QByteArrayList{};
    QTest::newRow("a folder walked as a drive")
        << "/home/ann/"_ba << QByteArrayList{"/home/ann/my disk"};
}

void TestReport::mountPoints()
{
    QFETCH(QByteArray, root);
    QTEST(MountPointsInside(ParseMountInfo(MountTable), root), "expected");
}

// A file written, held open and deleted is found on its directory's volume with its blocks and
// this process; closed, it is gone. The report reads the mount table it is pointed at.
void TestReport::openDeletedFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    QFile table(dir.filePath(u"mountinfo"_s));
    QVERIFY(table.open(QIODevice::WriteOnly) && table.write(MountTable) > 0);
    table.close();
    struct stat folder;
    QCOMPARE(stat(root.constData(), &folder), 0);

    QFile file(dir.filePath(u"held.bin"_s));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QCOMPARE(file.write(QByteArray(256 * 1024, 'x')), 256 * 1024);
    QVERIFY(file.flush());
    QCOMPARE(fsync(file.handle()), 0);
    QVERIFY(QFile::remove(dir.filePath(u"held.bin"_s))); // the open handle keeps it
    struct stat held;
    QCOMPARE(fstat(file.handle(), &held), 0);
    QVERIFY(held.st_blocks > 0);

    const ReportSources sources{QFile::encodeName(table.fileName()), "/proc"};
    DiskReport report = MakeDiskReport(root, folder.st_dev, {}, 50, sources);
    QVERIFY(report.space.known && report.space.total > 0);
    QCOMPARE(report.mountPoints, QByteArrayList{});
    const auto mine = std::find_if(report.deleted.biggest.cbegin(), report.deleted.biggest.cend(),
                                   [](const OpenDeletedFile &f) { return f.pid == getpid(); });
    QVERIFY(mine != report.deleted.biggest.cend());
    QCOMPARE(mine->allocated, quint64(held.st_blocks) * 512);
    QVERIFY(mine->link.endsWith("held.bin (deleted)"));
    QVERIFY(!mine->process.isEmpty());
    QVERIFY(report.deleted.allocated >= mine->allocated && report.deleted.complete);
    // A folder's scan, or a saved one, is set against neither the volume nor its open files.
    for (const ReportScope scope : {ReportScope::Folder, ReportScope::Saved})
        QVERIFY(MakeDiskReport(root, folder.st_dev, {}, 50, sources, {}, scope).deleted.count == 0);

    // Two more held, smaller and bigger: kept to two, the list is the two biggest of all.
    std::vector<std::unique_ptr<QFile>> others;
    for (const int kib : {64, 512}) {
        others.push_back(std::make_unique<QFile>(dir.filePath(QString::number(kib))));
        QVERIFY(others.back()->open(QIODevice::ReadWrite));
        QCOMPARE(others.back()->write(QByteArray(kib * 1024, 'y')), kib * 1024);
        QVERIFY(others.back()->flush() && fsync(others.back()->handle()) == 0);
        QVERIFY(QFile::remove(others.back()->fileName())); // still open
    }
    const auto sizes = [&](size_t keep) {
        std::vector<quint64> allocated;
        for (const OpenDeletedFile &f : FindOpenDeletedFiles("/proc", folder.st_dev, keep).biggest)
            allocated.push_back(f.allocated);
        return allocated;
    };
    const std::vector<quint64> all = sizes(1000);
    QVERIFY(all.size() >= 3 && std::is_sorted(all.crbegin(), all.crend()));
    QCOMPARE(sizes(2), std::vector<quint64>(all.cbegin(), all.cbegin() + 2));
    others.clear();

    file.close();
    report = MakeDiskReport(root, folder.st_dev, {}, 50, sources);
    QVERIFY(std::none_of(report.deleted.biggest.cbegin(), report.deleted.biggest.cend(),
                         [](const OpenDeletedFile &f) { return f.pid == getpid(); }));
}

// A process that ended meanwhile is no loss; one whose files cannot be listed is counted.
void TestReport::unreadProcesses()
{
    QTemporaryDir proc;
    QVERIFY(proc.isValid());
    QDir(proc.path()).mkpath(u"12"_s);
    QDir(proc.path()).mkpath(u"13"_s);
    QDir(proc.path()).mkpath(u"self/fd"_s);
    QFile notAFolder(proc.filePath(u"13/fd"_s));
    QVERIFY(notAFolder.open(QIODevice::WriteOnly));
    const OpenDeletedFiles found = FindOpenDeletedFiles(QFile::encodeName(proc.path()), 0, 5);
    QCOMPARE(found.unreadProcesses, 1);
    QCOMPARE(found.count, 0);
    QVERIFY(found.complete);
}

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
