#include "DriveScan.h"
#include "ListSubfolders.h"
#include "RecordsEdit.h"
#include "TreeOracle.h"
#include "Walker.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Walks as user nobody, whom permissions bind: root reads everything. The walk's threads take
// the file-system identity of the thread that starts them.
bool WalkAsNobody(const QByteArray &root, DriveScan &scan)
{
    ::setfsuid(65534);
    const bool walked = Walk(root, scan);
    ::setfsuid(0);
    return walked;
}

// What the records say could not be read, with the root's total, in an order of its own.
QByteArrayList Unread(const DriveScan &scan)
{
    QByteArrayList lines{"total " + QByteArray::number(scan.totalSize()),
                         "counts " + QByteArray::number(scan.unreadFolders()) + ' ' +
                             QByteArray::number(scan.unreadFiles())};
    for (const FolderNote &n : scan.folderNotes())
        lines.append("note " + scan.pathOf(n.folder).sliced(scan.rootPath().size()) + n.name + ' ' +
                     QByteArray::number(n.kind) + ' ' + QByteArray::number(n.error));
    for (const QByteArray &line : scan.unreadSample())
        lines.append("sample " + line);
    std::ranges::sort(lines);
    return lines;
}

} // namespace

// Records edited after a change on the disk equal a fresh walk of the changed tree.
class TestEdit : public QObject
{
    Q_OBJECT
private slots:
    void matchesFreshWalk_data();
    void matchesFreshWalk();
    void unreadFollowsEdits_data();
    void unreadFollowsEdits();
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

// What could not be read follows an edit: the status and the saved scans say what a fresh walk
// would.
void TestEdit::unreadFollowsEdits_data()
{
    QTest::addColumn<QByteArray>("before"); // shell commands before the walk
    QTest::addColumn<QByteArray>("change"); // and after it
    QTest::addColumn<QByteArray>("edit");

    const auto row = [](const char *name, const char *before, const char *change,
                        const char *edit) {
        QTest::newRow(name) << QByteArray(before) << QByteArray(change) << QByteArray(edit);
    };
    row("refresh: readable again", "chmod 000 a/b", "chmod 755 a/b", "refresh a/");
    row("refresh: unreadable since", "", "chmod 000 a/b", "refresh a/");
    row("refresh: files unreadable since", "", "chmod 644 a/b", "refresh a/");
    row("refresh elsewhere", "chmod 000 a/b", "", "refresh d/");
    row("folder gone with an unreadable one in it", "chmod 000 a/b", "rm -r a", "folder a/");
    row("new folder that could not be opened before", "mkdir n; chmod 000 n",
        "chmod 755 n; truncate -s 9 n/f", "add n/");
}

void TestEdit::unreadFollowsEdits()
{
    if (::geteuid() != 0)
        QSKIP("needs root, to walk as another user");
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, change);
    QFETCH(QByteArray, edit);
    QTemporaryDir dir;
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    QVERIFY(QDir::setCurrent(dir.path()));
    for (const QByteArray spec : {"a/b/x=5", "a/b/y=6", "a/c=1", "d/z=2"})
        Make(spec);
    Shell(before);
    DriveScan scan(root);
    QVERIFY(WalkAsNobody(root, scan));
    QVERIFY(scan.unreadFolders() > 0 || before.isEmpty());
    Shell(change);

    const QByteArray path = edit.sliced(edit.indexOf(' ') + 1);
    RecordsEdit records(scan);
    if (edit.startsWith("folder ")) {
        QVERIFY(records.removeFolder(WalkSink::FolderId(scan.indexOf(root + path))));
    } else {
        DriveScan part(root + path);
        QVERIFY(WalkAsNobody(root + path, part));
        if (edit.startsWith("refresh "))
            QVERIFY(records.replaceFolder(WalkSink::FolderId(scan.indexOf(root + path)), part) !=
                    WalkSink::NoFolder);
        else
            QVERIFY(records.addFolder(0, path.chopped(1), ListSubfolders(root), part) !=
                    WalkSink::NoFolder);
    }
    DriveScan fresh(root);
    QVERIFY(WalkAsNobody(root, fresh));
    QCOMPARE(Unread(scan), Unread(fresh));
}

QTEST_GUILESS_MAIN(TestEdit)
#include "tst_edit.moc"
