#include "DriveScanJob.h"
#include "FolderCollection.h"
#include "ListSubfolders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace Qt::StringLiterals;

class TestDriveScanJob : public QObject
{
    Q_OBJECT
private slots:
    void completedScanKeepsItsRecords();
    void stoppedScanLeavesNoRecordOfItsDrive();
    void unreadableRootLeavesNoRecord();
    void subfoldersReadAfresh();

private:
    static QByteArray makeTree(const QTemporaryDir &dir, const QString &name, int folders);
};

// name/ holding `folders` subfolders of one 100-byte file each.
QByteArray TestDriveScanJob::makeTree(const QTemporaryDir &dir, const QString &name, int folders)
{
    const QString root = dir.filePath(name);
    for (int i = 0; i < folders; ++i) {
        const QString folder = root + u"/f"_s + QString::number(i);
        QDir().mkpath(folder);
        QFile file(folder + u"/data"_s);
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(100, 'x')) != 100)
            qFatal("cannot write the test tree");
    }
    return QFile::encodeName(root) + '/';
}

void TestDriveScanJob::completedScanKeepsItsRecords()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray root = makeTree(dir, u"vol"_s, 30);
    FolderCollection folders;
    DriveScanJob job(folders, root);
    QVERIFY(job.start());
    QCOMPARE(job.finish(), quint64(3000));
    QVERIFY(job.isFinished());
    QCOMPARE(folders.count(), 31);
    QCOMPARE(folders.find(root).size(), quint64(3000));
    QCOMPARE(folders.find(root + "f7/").fileCount(), quint32(1));
    QVERIFY(job.diskSpace().TotalBytes > 0);
    QVERIFY(job.diskSpace().FreeBytes <= job.diskSpace().TotalBytes);
    QVERIFY(job.currentFolder().isEmpty());
}

void TestDriveScanJob::stoppedScanLeavesNoRecordOfItsDrive()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray kept = makeTree(dir, u"kept"_s, 5);
    const QByteArray stopped = makeTree(dir, u"stopped"_s, 200);
    FolderCollection folders;
    DriveScanJob first(folders, kept);
    QVERIFY(first.start());
    QCOMPARE(first.finish(), quint64(500));

    DriveScanJob second(folders, stopped);
    bool handled = false;
    second.setFinishedHandler([&] { handled = true; });
    second.requestStop();
    QVERIFY(second.start());
    QCOMPARE(second.finish(), quint64(0));
    QVERIFY(second.wasStopped());
    QVERIFY(handled);
    QVERIFY(folders.find(stopped).isNull());
    QCOMPARE(folders.count(), 6);
    QCOMPARE(folders.find(kept).size(), quint64(500));
}

void TestDriveScanJob::unreadableRootLeavesNoRecord()
{
    FolderCollection folders;
    DriveScanJob job(folders, "/nonexistent/quarnel/root"_ba);
    QVERIFY(!job.start());
    QCOMPARE(job.error(), ENOENT);
    QCOMPARE(folders.count(), 0);
    QCOMPARE(job.finish(), quint64(0));
}

// Only real folders, in listing order; links to folders are files, as in the walk.
void TestDriveScanJob::subfoldersReadAfresh()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray root = makeTree(dir, u"vol"_s, 3);
    QVERIFY(QFile::link(dir.filePath(u"vol/f0"_s), dir.filePath(u"vol/link"_s)));
    QVERIFY(QDir().mkpath(dir.filePath(u"vol/f1/inner"_s)));

    QList<QByteArray> expected;
    for (const QFileInfo &entry : QDir(dir.filePath(u"vol"_s))
                                      .entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks |
                                                     QDir::Hidden, QDir::Unsorted))
        expected.append(QFile::encodeName(entry.fileName()));
    QCOMPARE(ListSubfolders(root), expected);
    QCOMPARE(ListSubfolders(root.chopped(1)), expected);
    QCOMPARE(expected.size(), 3);
    QCOMPARE(ListSubfolders(root + "f1/"), QList<QByteArray>{"inner"_ba});
    QVERIFY(ListSubfolders(root + "f1/data").isEmpty());
    QVERIFY(ListSubfolders("/nonexistent/quarnel"_ba).isEmpty());
}

QTEST_APPLESS_MAIN(TestDriveScanJob)
#include "tst_drivescanjob.moc"
