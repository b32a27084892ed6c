#include "DriveScan.h"
#include "ListSubfolders.h"
#include "RecordsEdit.h"
#include "TreeOracle.h"
#include "Walker.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

qint64 FolderDate(const QByteArray &path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0 ? st.st_mtim.tv_sec : 0;
}

void Shell(const QByteArray &commands)
{
    if (!commands.isEmpty())
        QCOMPARE(QProcess::execute(u"sh"_s, {u"-ec"_s, QString::fromUtf8(commands)}), 0);
}

} // namespace

// Records edited after a change on the disk equal a fresh walk of the changed tree.
class TestEdit : public QObject
{
    Q_OBJECT
private slots:
    void matchesFreshWalk_data();
    void matchesFreshWalk();
};

void TestEdit::matchesFreshWalk_data()
{
    QTest::addColumn<QByteArrayList>("tree");
    QTest::addColumn<QByteArray>("change"); // shell commands in the tree's folder
    QTest::addColumn<QByteArray>("edit");   // what to tell the records, and of which path

    const QByteArrayList links{"a/f=1000", "a/b/x=5", "c/h=7", "e/"};
    QTest::newRow("file gone") << QByteArrayList{"a/f=100", "a/g=7", "b/h=3"} << "rm a/f"_ba
                               << "file a/f"_ba;
    QTest::newRow("folder gone") << QByteArrayList{"a/b/x=5", "a/b/c/y=9", "a/z=1"}
                                 << "rm -r a/b"_ba
                                 << "folder a/b/"_ba;
    QTest::newRow("counted link gone, twin stays") << links << "ln a/f c/g; ln a/f e/g; rm a/f"_ba
                                                   << "file a/f"_ba;
    QTest::newRow("other link gone") << links << "ln a/f c/g; rm c/g"_ba
                                     << "file c/g"_ba;
    QTest::newRow("folder with the counted link gone") << links << "ln a/b/x c/g; rm -r a/b"_ba
                                                       << "folder a/b/"_ba;
    QTest::newRow("refresh: added, grown, removed")
        << QByteArrayList{"a/f=10", "a/b/x=5", "a/b/y=6"}
        << "echo >a/new; truncate -s 5000 a/f; rm a/b/x; mkdir a/d; truncate -s 3 a/d/q"_ba
        << "refresh a/"_ba;
    QTest::newRow("refresh: a folder became a file")
        << QByteArrayList{"a/b/x=5", "a/b/c/y=2", "a/g=1"} << "rm -r a/b; truncate -s 10 a/b"_ba
        << "refresh a/"_ba;
    QTest::newRow("refresh: the counted link outside")
        << links << "ln a/f c/g; truncate -s 2000 c/h"_ba
        << "refresh c/"_ba;
    QTest::newRow("refresh: the counted link inside")
        << links << "ln a/f c/g; ln a/f a/b/z; rm a/b/x"_ba
        << "refresh a/"_ba;
    QTest::newRow("new folder, with a link to a file already counted")
        << links << "mkdir -p n/m; truncate -s 50 n/m/f; ln a/f n/g; ln c/h n/m/k"_ba
        << "add n/"_ba;
}

void TestEdit::matchesFreshWalk()
{
    QFETCH(QByteArrayList, tree);
    QFETCH(QByteArray, change);
    QFETCH(QByteArray, edit);
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    QVERIFY(QDir::setCurrent(dir.path()));
    for (const QByteArray &spec : tree)
        Make(spec);
    // Links made before the walk are part of the tree, the rest is the change.
    const qsizetype removal = change.lastIndexOf(';');
    const bool linksFirst = change.startsWith("ln ") && removal > 0;
    if (linksFirst)
        Shell(change.first(removal));
    DriveScan scan(root);
    QVERIFY(Walk(root, scan));
    Shell(linksFirst ? change.sliced(removal + 1) : change);

    const QByteArray path = edit.sliced(edit.indexOf(' ') + 1);
    const QByteArray full = root + path;
    RecordsEdit records(scan);
    if (edit.startsWith("file ")) {
        const qsizetype slash = full.lastIndexOf('/');
        const auto folder = WalkSink::FolderId(scan.indexOf(full.first(slash + 1)));
        QVERIFY(records.removeFile(folder, full.sliced(slash + 1)));
        scan.setDate(folder, FolderDate(full.first(slash + 1)));
    } else if (edit.startsWith("folder ")) {
        const auto folder = WalkSink::FolderId(scan.indexOf(full));
        const WalkSink::FolderId parent = scan.parentOf(folder);
        QVERIFY(records.removeFolder(folder));
        scan.setDate(parent, FolderDate(scan.pathOf(parent)));
    } else {
        DriveScan part(full);
        QVERIFY(Walk(full, part));
        if (edit.startsWith("refresh ")) {
            QVERIFY(records.replaceFolder(WalkSink::FolderId(scan.indexOf(full)), part) !=
                    WalkSink::NoFolder);
        } else {
            QVERIFY(records.addFolder(0, path.chopped(1), ListSubfolders(root), part) !=
                    WalkSink::NoFolder);
            scan.setDate(0, FolderDate(root));
        }
    }
    Verify(scan, Oracle(root));
}

QTEST_GUILESS_MAIN(TestEdit)
#include "tst_edit.moc"
