#include "DriveScan.h"
#include "FolderRefresh.h"
#include "FolderRelist.h"
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

void Shell(const QByteArray &commands)
{
    if (!commands.isEmpty())
        QCOMPARE(QProcess::execute(u"sh"_s, {u"-ec"_s, QString::fromUtf8(commands)}), 0);
}

// Walks as a user whom permissions bind, as root reads everything: as nobody when root. The walk's
// threads take the file-system identity of the thread that starts them.
bool WalkBound(const QByteArray &root, DriveScan &scan)
{
    const bool asRoot = ::geteuid() == 0;
    if (asRoot)
        ::setfsuid(65534);
    const bool walked = Walk(root, scan);
    if (asRoot)
        ::setfsuid(0);
    return walked;
}

} // namespace

// Records edited after a change on the disk equal a fresh walk of the changed tree, down to what
// could not be read, which the status and the saved scans report.
class TestEdit : public QObject
{
    Q_OBJECT
private slots:
    void matchesFreshWalk_data();
    void matchesFreshWalk();
    void excludedStayOut();
};

void TestEdit::matchesFreshWalk_data()
{
    QTest::addColumn<QByteArrayList>("tree");
    QTest::addColumn<QByteArray>("before"); // shell commands in the tree's folder, then the walk
    QTest::addColumn<QByteArray>("change"); // then these
    QTest::addColumn<QByteArray>("edit");   // what to tell the records, and of which path
    const auto row = [](const char *name, const QByteArrayList &tree, const char *before,
                        const char *change, const char *edit) {
        QTest::newRow(name) << tree << QByteArray(before) << QByteArray(change) << QByteArray(edit);
    };

    // e/same is as big as a/f, and is another file.
    const QByteArrayList links{"a/f=1000", "a/b/x=5", "c/h=7", "e/same=1000"};
    // Folders dated back, as the walk's second may be the change's too.
    row("file gone", {"a/f=100", "a/g=7", "b/h=3"}, "", "rm a/f; touch -d @1000 a", "file a/f");
    row("folder gone", {"a/b/x=5", "a/b/c/y=9", "a/z=1"}, "", "rm -r a/b; touch -d @1000 a",
        "folder a/b/");
    row("counted link gone, twin stays", links, "ln a/f c/g; ln a/f e/g", "rm a/f", "file a/f");
    row("other link gone", links, "ln a/f c/g", "rm c/g", "file c/g");
    row("folder with the counted link gone", links, "ln a/b/x c/g", "rm -r a/b", "folder a/b/");
    row("file gone before links in its folder", links, "ln c/h a/l1; ln c/h a/l2; ln c/h a/l3",
        "rm a/f", "file a/f");
    row("refresh: added, grown, removed", {"a/f=10", "a/b/x=5", "a/b/y=6"}, "",
        "echo >a/new; truncate -s 5000 a/f; rm a/b/x; mkdir a/d; truncate -s 3 a/d/q",
        "refresh a/");
    row("refresh: a folder became a file", {"a/b/x=5", "a/b/c/y=2", "a/g=1"}, "",
        "rm -r a/b; truncate -s 10 a/b", "refresh a/");
    row("refresh: the counted link outside", links, "ln a/f c/g", "truncate -s 2000 c/h",
        "refresh c/");
    row("refresh: the counted link inside", links, "ln a/f c/g; ln a/f a/b/z", "rm a/b/x",
        "refresh a/");
    row("new folder, with a link to a file already counted", links, "",
        "mkdir -p n/m; truncate -s 50 n/m/f; ln n/m/f n/m/f2; ln a/f n/g; ln c/h n/m/k", "add n/");
    const QByteArrayList plain{"a/b/x=5", "a/b/y=6", "a/c=1", "d/z=2"};
    row("refresh: readable again", plain, "chmod 000 a/b", "chmod 755 a/b", "refresh a/");
    row("refresh: unreadable since", plain, "", "chmod 000 a/b", "refresh a/");
    row("refresh: listable, not searchable since", plain, "", "chmod 644 a/b", "refresh a/");
    row("refresh elsewhere keeps what was unread", plain, "chmod 000 a/b", "", "refresh d/");
    row("folder gone with an unreadable one in it", plain, "chmod 000 a/b", "rm -r a", "folder a/");
    row("new folder that could not be opened before, beside one still shut", plain,
        "mkdir n u; chmod 000 n u", "chmod 755 n; truncate -s 9 n/f", "add n/");
    row("file gone from a folder that could not be searched", plain, "chmod 644 a/b", "rm a/b/x",
        "file a/b/x");
    // Relisted as a follower of the volume's changes would, folder by folder, in the order given
    // (the root as ""), then what each relisting found stale.
    row("relist: added, grown, removed", {"a/f=10", "a/b/x=5", "a/b/y=6"}, "",
        "echo >a/new; truncate -s 5000 a/f; rm a/b/x; mkdir a/d; truncate -s 3 a/d/q",
        "relist a/,a/b/");
    row("relist: folder moved elsewhere", plain, "", "mv a/b d/", "relist a/,d/");
    row("relist: folder replaced by another of its name", plain, "",
        "rm -r a/b; mkdir a/b; truncate -s 4 a/b/n", "relist a/,a/b/");
    row("relist: the root", plain, "", "truncate -s 9 top; rm -r d", "relist ");
    row("relist: a second link to a file counted alone", links, "", "ln c/h a/l", "relist a/");
    row("relist: a second link before the counted one", links, "", "ln c/h a/b/l", "relist a/b/");
    row("relist: the counted link gone", links, "ln a/f c/g", "rm a/f", "relist a/");
    row("relist: a linked file grown", links, "ln a/f c/g", "truncate -s 3000 c/g", "relist c/");
    row("relist: unreadable since", plain, "", "chmod 000 a/b", "relist a/b/");
    row("relist: unreadable since, beside one never read", plain, "mkdir a/u; chmod 000 a/u",
        "chmod 000 a/b", "relist a/b/");
    row("relist: readable again", plain, "chmod 000 a/b", "chmod 755 a/b", "relist a/");
    row("relist: a new folder shut", plain, "", "mkdir a/n; chmod 000 a/n", "relist a/");
    row("relist: a subfolder changed, found by its date", plain, "touch -d @1000 a/b",
        "truncate -s 50 a/b/new", "relist a/");
    row("relist: a folder gone is its parent's", plain, "", "rm -r a", "relist a/,");
    row("no such file", plain, "", "", "!file a/nothing");
    row("the root cannot go", plain, "", "", "!folder ");
    row("the root is walked again whole instead", plain, "", "", "!refresh ");
    row("a folder not in the root's listing", plain, "", "", "!add a/b/");
}

void TestEdit::matchesFreshWalk()
{
    QFETCH(QByteArrayList, tree);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, change);
    QFETCH(QByteArray, edit);
    QTemporaryDir dir;
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    QVERIFY(QDir::setCurrent(dir.path()));
    for (const QByteArray &spec : tree)
        Make(spec);
    Shell(before);
    DriveScan scan(root);
    QVERIFY(WalkBound(root, scan));
    Shell(change);

    // "!" first: the records refuse the edit, and stay as they were.
    const bool refused = edit.startsWith('!');
    const QByteArray path = edit.sliced(edit.indexOf(' ') + 1);
    const QByteArray full = root + path;
    if (edit.startsWith("relist ")) {
        QByteArrayList queue;
        for (const QByteArray &folder : path.split(','))
            queue.append(root + folder);
        const bool asRoot = ::geteuid() == 0;
        if (asRoot)
            ::setfsuid(65534);
        for (qsizetype i = 0; i < queue.size(); ++i)
            queue += FolderRelist::Run(scan, queue[i]).stale;
        if (asRoot)
            ::setfsuid(0);
    } else {
        RecordsEdit records(scan);
        if (edit.contains("file ")) {
            const qsizetype slash = full.lastIndexOf('/');
            const auto folder = WalkSink::FolderId(scan.indexOf(full.first(slash + 1)));
            QCOMPARE(records.removeFile(folder, full.sliced(slash + 1)), !refused);
            records.takeDateFromDisk(folder);
        } else if (edit.contains("folder ")) {
            const auto folder = WalkSink::FolderId(scan.indexOf(full));
            QCOMPARE(records.removeFolder(folder), !refused);
            if (!refused)
                records.takeDateFromDisk(scan.parentOf(folder));
        } else {
            DriveScan part(full);
            QVERIFY(WalkBound(full, part));
            if (edit.contains("refresh ")) {
                QCOMPARE(records.replaceFolder(WalkSink::FolderId(scan.indexOf(full)), part) !=
                             WalkSink::NoFolder,
                         !refused);
            } else {
                QCOMPARE(records.addFolder(0, path.chopped(1), ListSubfolders(root), part) !=
                             WalkSink::NoFolder,
                         !refused);
                records.takeDateFromDisk(0);
            }
        }
    }
    DriveScan fresh(root);
    QVERIFY(WalkBound(root, fresh));
    QCOMPARE(RecordLines(scan), RecordLines(fresh));
    // The oracle reads everything; where the walk could not, the fresh walk is the reference.
    if (fresh.unreadFolders() == 0)
        Verify(scan, Oracle(root));
}

// A file or folder made after the walk under a name it leaves out stays out when its folder is
// listed again, by the live view, or refreshed.
void TestEdit::excludedStayOut()
{
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(QDir(dir.path()).canonicalPath()) + '/';
    QVERIFY(QDir::setCurrent(dir.path()));
    Make("d/keep=10");
    const auto patterns = std::make_shared<const ExcludePatterns>(QByteArrayList{"*.tmp", "cache"});
    DriveScan scan(root);
    scan.setExcludePatterns(patterns);
    QVERIFY(Walk(root, scan, {.exclude = patterns}));
    for (const char *item : {"d/new.tmp=1000", "d/cache/c=2000", "d/more=5"})
        Make(item);
    QVERIFY(FolderRelist::Run(scan, root + "d/").changed && scan.totalSize() == 15);
    for (const char *item : {"d/b.tmp=1000", "d/e/cache/c=2000", "d/e/f=5"})
        Make(item);
    FolderRefresh again(scan, root + "d/");
    QVERIFY(again.start());
    again.wait();
    QCOMPARE(scan.totalSize(), 20u);
    QCOMPARE(scan.excludedCount(), 4u); // d/new.tmp, d/cache, d/b.tmp, d/e/cache
}

QTEST_GUILESS_MAIN(TestEdit)
#include "tst_edit.moc"
