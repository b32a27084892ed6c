#include "DriveScan.h"
#include "DriveScanJob.h"
#include "FolderCollection.h"
#include "FolderRecord.h"
#include "ListSubfolders.h"
#include "RecordsEdit.h"
#include "TreeOracle.h"
#include "Walker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

QByteArrayList SortedLines(const QByteArray &text)
{
    QByteArrayList lines = text.trimmed().split('\n');
    std::ranges::sort(lines);
    return lines;
}

// What quarnel-scan should print for a tree, in sorted lines.
QByteArrayList ToolLines(const Expectation &records)
{
    QByteArray text;
    for (const auto &[relative, e] : records)
        text += (relative.isEmpty() ? "."_ba : relative.chopped(1)) + '\t' +
                QByteArray::number(e.total) + '\t' + QByteArray::number(e.files.size()) + '\t' +
                QByteArray::number(e.subfolders) + '\n';
    return SortedLines(text);
}

// A scan that calls a hook before it records a folder, with how many it recorded before.
struct HookedScan : DriveScan
{
    using DriveScan::DriveScan;
    FolderId openedFolder(FolderId parent, QByteArrayView name, qint64 date, quint32 ordinal,
                          quint64 inode) override
    {
        hook(recorded++, name);
        return DriveScan::openedFolder(parent, name, date, ordinal, inode);
    }
    std::function<void(int, QByteArrayView)> hook;
    std::atomic<int> recorded{0};
};

// The process limited to 256 descriptors, quick to take every one of, while this lives.
struct FewDescriptors
{
    FewDescriptors()
    {
        ::getrlimit(RLIMIT_NOFILE, &saved);
        const rlimit low{std::min<rlim_t>(saved.rlim_cur, 256), saved.rlim_max};
        set = ::setrlimit(RLIMIT_NOFILE, &low) == 0;
    }
    ~FewDescriptors() { ::setrlimit(RLIMIT_NOFILE, &saved); }
    rlimit saved{};
    bool set = false;
};

// Runs a tool on the tree, or reads back what it wrote; the file's text, or the lines printed.
QByteArray Run(const QString &program, const QStringList &arguments, const QString &file)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    QFile written(file);
    return file.isEmpty() ? process.readAllStandardOutput()
                          : (written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray());
}

} // namespace

class TestWalk : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void hostileTree_data();
    void hostileTree();
    void endsEarly_data();
    void endsEarly();
    void commandLine_data();
    void commandLine();
    void diskUsage_data();
    void diskUsage();
    void descriptorsTakenMeanwhile();
    void descriptorsTakenForGood();
    void descriptorsBackAfterGivingUp();
    void holdsBackWhileAsked();
    void movedMeanwhile_data();
    void movedMeanwhile();
    void job_data();
    void job();
    void subfolders();
    void excludedAsByNcdu_data();
    void excludedAsByNcdu();

private:
    // On a memory file system when there is one: a hundred thousand files take far longer on disk.
    QTemporaryDir m_tmp{(QFileInfo(u"/dev/shm"_s).isWritable() ? u"/dev/shm"_s : QDir::tempPath()) +
                        u"/tst_walk-XXXXXX"_s};
    QByteArray m_base;
    QByteArray m_hostileRoot; // ends with "/", as does the other root
    QByteArray m_bigRoot;
    Expectation m_big;
};

void TestWalk::initTestCase()
{
    // Started without standard input, a program gets descriptor 0 for the first file it opens.
    ::close(STDIN_FILENO);
    QVERIFY(m_tmp.isValid());
    m_base = QFile::encodeName(m_tmp.path());
    QCOMPARE(::chmod(m_base.constData(), 0755), 0); // for the walk as another user
    QCOMPARE(::chdir(m_base.constData()), 0);
    // The command line's trees; "mounted/mp/hidden" goes out of sight once a volume is mounted.
    for (const QByteArray &spec :
         QByteArray("cli/file=6 cli/-dash/six=6 faults/a=10 faults/other/w=7 faults/sub/x=100 "
                    "faults/sub/y=1000 faults/sub/deeper/z=5 cycles/a/f=100 cycles/a/b/ "
                    "cycles/c/g=3 cycles/c/d/e/ locked/rootfile=3 locked/open/a=10 "
                    "locked/none/x=100 locked/none/sub/ locked/readonly/f1=7 locked/readonly/f2=9 "
                    "locked/readonly/sub/z=99 locked/searchonly/y=50 mounted/before=11 "
                    "mounted/covered=5 mounted/after/x=13 mounted/mp/hidden=999")
             .split(' '))
        Make(spec);
    for (int t = 0; t < 100; ++t) {
        const QByteArray top = "big/t" + QByteArray::number(t) + '/';
        Make(top + "top=" + QByteArray::number(1000 + t));
        for (int l = 0; l < 200; ++l) {
            const QByteArray leaf = top + 'l' + QByteArray::number(l) + '/';
            Make(leaf);
            for (int j = 0; j < l % 3; ++j)
                Make(leaf + 'f' + QByteArray::number(j) + '=' + QByteArray::number(1 + j + l));
        }
    }

    Make("hostile/");
    QCOMPARE(::chdir("hostile"), 0);
    for (const QByteArray &spec :
         QByteArray("Docs/a=10 docs/a=20 docs/b=30 empty\x7f/ sparse/huge=5368709120 "
                    "sparse/in/x=5368709121 kinds/plain=777 kinds/target/inside=5 "
                    "names/dir\nnl/in=1000 names/\xff\xfe-dir/\x80=3000 links/same1=1024 "
                    "links/top=2048 links/lonely=4096 links/a/G1=8192 links/b/G2=16384 "
                    "links/a/slow/end/ links/b/slow/end/")
             .split(' '))
        Make(spec);
    Make("names/" + QByteArray(255, 'F') + '/' + QByteArray(255, 'f') + "=2000");
    quint64 size = 1;
    for (const QByteArray &name :
         {"line\nbreak"_ba, "tab\there"_ba, "100%"_ba, "back\\slash"_ba, "-rf"_ba, "--help"_ba,
          QByteArray(255, 'n'), "\xff\xfe"_ba, "del\x7f"_ba, " lead space"_ba})
        Make("names/" + name + '=' + QByteArray::number(size *= 2));
    for (int i = 0; i < 100'000; ++i)
        Make("many/f" + QByteArray::number(i).rightJustified(6, '0') + '=' +
             QByteArray::number(i % 10));
    QCOMPARE(::mknod("kinds/sock", S_IFSOCK | 0644, 0), 0);

    for (const QByteArray &slow : {"links/a/slow/pad"_ba, "links/b/slow/pad"_ba})
        for (int i = 0; i < 3000; ++i)
            Make(slow + QByteArray::number(i) + "=0");
    // Hard links. "top" has its first link in the parent of the others. In each mirrored group
    // the first link in pre-order lies past a folder of 3,000 files in one sibling, while the
    // other sibling holds a link at its top, which a second thread reaches long before; either
    // sibling may be listed first, so one of the two groups always puts that race to the test.
    // The other link of "lonely" lies outside the walked tree. "cli-link" is the command line's
    // link to a folder.
    QCOMPARE(QProcess::execute(u"sh"_s,
                               {u"-c"_s,
                                u"cd kinds && ln -s plain to-file && ln -s target to-dir && "
                                "ln -s / to-root && ln -s loop-b loop-a && ln -s loop-a loop-b && "
                                "ln -s no/where dangling && mkfifo pipe && cd ../links && "
                                "ln same1 same2 && ln top a/top && ln top b/top && "
                                "ln a/G1 b/slow/end/G1 && ln b/G2 a/slow/end/G2 && "
                                "ln lonely ../../lonely-outside && ln -s cli ../../cli-link"_s}),
             0);

    // Past PATH_MAX, made a level at a time from inside the level above.
    Make("deep/");
    QCOMPARE(::chdir("deep"), 0);
    for (int level = 0; level < 40; ++level) {
        const QByteArray name = QByteArray::number(level).leftJustified(200, 'd');
        Make("side/"); // a second task at each level, for another thread to take
        Make(name + '/');
        QCOMPARE(::chdir(name.constData()), 0);
    }
    Make("bottom=4242");
    QCOMPARE(::chdir(m_base.constData()), 0);

    m_hostileRoot = m_base + "/hostile/";
    QVERIFY(std::ranges::any_of(Oracle(m_hostileRoot),
                                [](auto &record) { return record.first.size() > PATH_MAX; }));
    m_bigRoot = m_base + "/big/";
    m_big = Oracle(m_bigRoot);
}

// QTemporaryDir cannot remove paths longer than PATH_MAX, nor, without privileges, folders
// left unreadable.
void TestWalk::cleanupTestCase()
{
    QProcess::execute(u"chmod"_s, {u"-R"_s, u"u+rwx"_s, m_tmp.path() + u"/locked"_s});
    QCOMPARE(QProcess::execute(u"rm"_s, {u"-rf"_s, m_tmp.path()}), 0);
}

// The whole tree, and parts on their own, where no other part keeps the threads busy: they race
// for hard links, and open deep folders by paths longer than PATH_MAX.
void TestWalk::hostileTree_data()
{
    QTest::addColumn<QByteArray>("part");
    QTest::addColumn<int>("threads");
    for (const QByteArray &part : {""_ba, "links/"_ba, "deep/"_ba})
        for (const int threads : {1, 2, 8})
            QTest::addRow("%s %d threads", part.isEmpty() ? "all," : part.constData(), threads)
                << part << threads;
}

void TestWalk::hostileTree()
{
    QFETCH(QByteArray, part);
    QFETCH(int, threads);
    const QByteArray root = m_hostileRoot + part;
    DriveScan scan(root);
    Walker walker(root, scan, Walker::Options{threads});
    QVERIFY(walker.start());
    walker.wait();
    const Expectation expected = Oracle(root);
    QCOMPARE(walker.threadCount(), threads);
    QCOMPARE(walker.foldersListed(), quint64(expected.size()));
    QCOMPARE(walker.currentFolder(), WalkSink::NoFolder);
    Verify(scan, expected);
    // A root held open as descriptor 0, which a program started without standard input may
    // give it, is walked from that descriptor.
    const int held = ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(held >= 0 && ::dup2(held, 0) == 0 && ::close(held) == 0);
    DriveScan fromZero(root);
    QVERIFY(Walk(root + "elsewhere", fromZero, Walker::Options{threads, 0, nullptr, 0}));
    QVERIFY(::close(0) == 0);
    QCOMPARE(fromZero.totalSize(), scan.totalSize());
    // A root that is gone ends the walk at once, with the reason.
    Walker gone(root + "gone", scan, Walker::Options{threads});
    QVERIFY(!gone.start());
    QVERIFY(gone.isFinished());
    QCOMPARE(gone.error(), ENOENT);
}

void TestWalk::endsEarly_data()
{
    QTest::addColumn<int>("memoryFor"); // folders recorded before memory runs out
    QTest::newRow("stopped") << INT_MAX;
    QTest::newRow("out of memory") << 500;
    QTest::newRow("out of memory at the root: no start") << 0;
}

// While the walk runs, its records can be read and their totals only grow. A stop, or memory
// that runs out (which never ends the process), ends the walk promptly; its end is told once, and
// what it recorded is whole.
void TestWalk::endsEarly()
{
    QFETCH(int, memoryFor);
    HookedScan scan(m_bigRoot);
    scan.hook = [=](int recorded, QByteArrayView) {
        if (recorded >= memoryFor)
            throw std::bad_alloc();
    };
    Walker walker(m_bigRoot, scan, Walker::Options{2});
    std::atomic<int> ends{0};
    walker.setFinishedHandler([&] { ++ends; });
    std::vector<quint64> seen(m_big.size());
    QByteArrayList problems;
    const auto descriptors = [] {
        return QDir(u"/proc/self/fd"_s).entryList(QDir::AllEntries | QDir::System).size();
    };
    const qsizetype before = descriptors();
    QCOMPARE(walker.start(), memoryFor > 0);
    // Past the first thousand records, which the scan keeps in a block of their own.
    while (walker.foldersListed() < 2000 && !walker.isFinished()) {
        for (size_t i = 0; i < std::min(size_t(scan.count()), seen.size()); ++i) {
            if (const quint64 size = scan.sizeOf(WalkSink::FolderId(i));
                size < std::exchange(seen[i], size))
                problems.append(scan.pathOf(WalkSink::FolderId(i)));
        }
    }
    if (memoryFor == INT_MAX)
        walker.requestStop();
    QVERIFY2(QTest::qWaitFor([&] { return walker.isFinished(); }, 2000),
             "stopping must not wait for the rest of the tree");
    QCOMPARE(ends.load(), memoryFor > 0 ? 1 : 0);
    QCOMPARE(descriptors(), before + 1);          // the root's, until the walker goes
    QCOMPARE(walker.wasStopped(), memoryFor > 0); // memory that runs out stops the walk too
    QCOMPARE(walker.error(), memoryFor == INT_MAX ? 0 : ENOMEM);
    QVERIFY(scan.count() < qsizetype(m_big.size()));
    for (qsizetype i = 0; i < scan.count(); ++i) {
        const FolderRecord folder = scan.folder(i);
        const auto it = m_big.find(folder.path().sliced(m_bigRoot.size()));
        if (it == m_big.end() || folder.size() > it->second.total ||
            (folder.fileCount() != 0 && folder.fileCount() != it->second.files.size()))
            problems.append(folder.path());
    }
    QCOMPARE(problems, QByteArrayList());
}

// The command-line walk: its arguments, resource limits, permissions, mounts and injected errors.
// A command is a shell's, run in the row's tree, with "@" for the tool, "%1" for the tree's path
// and "nobody" to run what follows as another user when the test runs as root (dropped
// otherwise): a user of its own, as the limit on processes counts all of a user's processes on
// the machine. Every text said must appear in the output or the errors; with none said, no errors.
// The expected lines come sorted; "=" stands for the oracle's lines of the big tree, "*" for any.
void TestWalk::commandLine_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("tree");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArrayList>("says");
    QTest::addColumn<QByteArray>("lines");
    const auto row = [](const QByteArray &name, const QByteArray &command, const char *tree,
                        int code, const QByteArrayList &says, const QByteArray &lines) {
        QTest::newRow(name.constData())
            << QString::fromUtf8(command) << QString::fromUtf8(tree) << code << says << lines;
    };
    // A small tree: a 6-byte "file" and a folder "-dash" holding a 6-byte file.
    row("no root", "@", "cli", 2, {"no ROOT given"}, "");
    row("root is a file", "@ %1/file", "cli", 2, {"cannot read"}, "");
    row("two roots", "@ %1 %1", "cli", 2, {"only one ROOT"}, "");
    row("unknown option", "@ --frobnicate %1", "cli", 2, {"unknown option --frobnicate"}, "");
    row("threads zero", "@ --threads 0 %1", "cli", 2, {"--threads needs"}, "");
    row("threads too many", "@ --threads=257 %1", "cli", 2, {"--threads needs"}, "");
    row("threads trailing junk", "@ --threads=3x %1", "cli", 2, {"--threads needs"}, "");
    row("threads without value", "@ %1 --threads", "cli", 2, {"--threads needs"}, "");
    row("export without a file", "@ %1 --export", "cli", 2, {"--export needs a FILE"}, "");
    row("help", "@ --help", "cli", 0, {"Usage: quarnel-scan"}, "*");
    row("dash root after --", "@ -- -dash", "cli", 0, {}, ".\t6\t1\t0");
    row("root is a link to a folder", "@ %1-link", "cli", 0, {}, ".\t12\t1\t1\n-dash\t6\t1\t0");
    row("names escaped", "@ %1", "hostile", 0,
        {"\nnames/dir\\x0anl\t1000\t1\t0\n", "\nempty\\x7f\t0\t0\t0\n"}, "*");
    // A saved scan loads back as the walk's lines: through a pipe, and compressed in a file.
    row("saved and loaded", "@ --export - %1 | @ --import -", "big", 0, {}, "=");
    row("saved compressed, names escaped",
        "t=$(mktemp -d) && @ %1 | sort >$t/a && @ --export $t/s.json.zst %1 && @ --import "
        "$t/s.json.zst | sort >$t/b && cmp $t/a $t/b; s=$?; rm -rf $t; exit $s",
        "hostile", 0, {}, "");
    row("loads no other version", "printf '[2,0]' | @ --import -", "cli", 2,
        {"cannot load -: byte 2: a format version"}, "");
    row("import and a root", "@ --import x %1", "cli", 2, {"--import reads no ROOT"}, "");
    // Following: a file written after the walk is one line per folder whose total changed.
    row("follows the changes",
        "t=$(mktemp -d) && { @ --follow=inotify %1 >$t/o 2>$t/e & p=$!; } && until grep -q "
        "following $t/e; do sleep 0.05; done && head -c 1234 /dev/zero >%1/-dash/new && until "
        "grep -q \"$(printf '^.\\t12\\t1246')\" $t/o; do sleep 0.05; done; kill -INT $p; wait $p; "
        "s=$?; cat $t/o; cat $t/e >&2; rm -rf $t %1/-dash/new; exit $s",
        "cli", 0, {"following %1 (inotify)"}, ".\t12\t1246\n-dash\t6\t1240");
    // Files of identical content: the two 6-byte files, both holes.
    row("duplicates", "@ --duplicates --min-size 1 %1", "cli", 0,
        {"6 bytes each, 2 copies, 6 bytes to free\n%1/-dash/"}, "*");
    row("no duplicates above the minimum", "@ --duplicates --min-size=1K %1", "cli", 0, {}, "");
    row("minimum size with junk", "@ --duplicates --min-size 1X %1", "cli", 2, {"--min-size needs"},
        "");
    row("minimum size too big", "@ --duplicates --min-size 17179869184G %1", "cli", 2,
        {"--min-size needs"}, "");
    row("duplicates while following", "@ --duplicates --follow %1", "cli", 2,
        {"--duplicates reads"}, "");
    // The history, in a folder of the row's own: two walks of the tree, one from a saved scan,
    // read back; a damaged file changes none of the walk's lines.
    const QByteArray history = "t=$(mktemp -d) && export XDG_DATA_HOME=$t && ";
    const QByteArray dropped = "; s=$?; rm -rf $t; exit $s";
    row("history",
        history +
            "@ --history %1 && @ --history %1 >/dev/null && @ --export - %1 | @ --import - "
            "--history >/dev/null && @ --history-export %1 | cut -d, -f3,5,6 | tr -d \"\\r\"" +
            dropped,
        "cli", 0, {"recorded in the history /", "/Orvanne/Quarnel/history.sqlite"},
        ".\t12\t1\t1\n-dash\t6\t1\t0\napparent,files,folders\n12,2,1\n12,2,1\n6,1,0\n6,1,0");
    row("history damaged",
        history +
            "mkdir -p $t/Orvanne/Quarnel && yes | head -c 4096 "
            ">$t/Orvanne/Quarnel/history.sqlite && @ --history %1" +
            dropped,
        "cli", 1, {"not recorded in the history", "damaged"}, ".\t12\t1\t1\n-dash\t6\t1\t0");
    // Another program holds the file's write lock past the wait: the walk is printed all the same.
    row("history locked by another process",
        history +
            "@ --history %1 >/dev/null 2>&1 && { { echo 'BEGIN EXCLUSIVE;' && echo \".shell touch "
            "$t/held\" && until [ -e $t/done ]; do sleep 0.05; done; } | sqlite3 "
            "$t/Orvanne/Quarnel/history.sqlite >/dev/null 2>&1 & } && until [ -e $t/held ]; do "
            "sleep 0.05; done && @ --history %1; s=$?; touch $t/done; wait; rm -rf $t; exit $s",
        "cli", 1, {"not recorded in the history", "in use by another program"},
        ".\t12\t1\t1\n-dash\t6\t1\t0");
    row("history of a saved scan",
        history +
            "@ --export - %1 | @ --import - --history >/dev/null && @ --history-export | "
            "cut -d, -f3,5,6 | tr -d \"\\r\"" +
            dropped,
        "cli", 0, {"recorded in the history"}, "apparent,files,folders\n12,2,1\n6,1,0");
    row("history export with options", "@ --history-export --summary %1", "cli", 2,
        {"--history-export reads the history alone"}, "");
    row("history while following", "@ --history --follow %1", "cli", 2, {"--history records"}, "");
    row("follows and saves", "@ --follow --export x %1", "cli", 2, {"takes no --export"}, "");
    row("follows another way", "@ --follow=poll %1", "cli", 2, {"fanotify or inotify"}, "");
    // Each option that another rules out, alone beside it; options missing their value.
    for (const auto &[options, says] : std::initializer_list<std::pair<const char *, const char *>>{
             {"--history --duplicates %1", "--history records"},
             {"--history --export x %1", "--history records"},
             {"--exclude x --import f", "--exclude chooses"},
             {"--follow --import f", "--follow walks a ROOT"},
             {"--duplicates --import f", "--duplicates reads"},
             {"--duplicates --export x %1", "--duplicates reads"},
             {"--follow --summary %1", "takes no --export nor --summary"},
             {"%1 --threads=", "--threads needs"},
             {"%1 --export ''", "--export needs a FILE"},
             {"%1 --import", "--import needs a FILE"},
             {"%1 --exclude", "--exclude needs a PATTERN"},
             {"%1 --exclude-from ''", "--exclude-from needs a FILE"},
             {"%1 --exclude-from /nonexistent/patterns", "cannot read the patterns of"},
             {"--duplicates --min-size 1KK %1", "--min-size needs"}})
        row(QByteArray("refused: ") + options, QByteArray("@ ") + options, "cli", 2, {says}, "");
    row("empty ROOT", "@ ''", "cli", 2, {"ROOT is empty"}, "");
    row("a ROOT named -", "cd %1 && @ -", "cli", 2, {"cannot read -"}, "");
    row("threads at their bounds", "@ --threads 1 %1 && @ --threads=256 %1", "cli", 0, {},
        ".\t12\t1\t1\n-dash\t6\t1\t0\n.\t12\t1\t1\n-dash\t6\t1\t0");
    row("largest minimum size", "@ --duplicates --min-size 17179869183G %1", "cli", 0, {}, "");
    row("minimum size at the files' size", "@ --duplicates --min-size 6 %1 | head -c 9", "cli", 0,
        {}, "6 bytes e");
    // Permissions alone leave out nothing the user could have seen: exit status 0. The r--
    // folder's files are listed with size 0, and said once, not file by file.
    row("unreadable folders",
        "chmod 0 none && chmod 444 readonly && chmod 111 searchonly && nobody @ --summary %1",
        "locked", 0,
        {"cannot read %1/none: ", "cannot read the entries of %1/readonly/: ",
         "cannot read %1/searchonly: ", "unreadable folders 3, unreadable files 0\n"},
        ".\t13\t1\t4\nopen\t10\t1\t0\nreadonly\t0\t2\t1");
    // The limit on processes holds only for a user without privileges. The leak checker of a
    // sanitized build can run neither without a thread of its own at exit nor under a tracer.
    const QByteArray noLeaks = "ASAN_OPTIONS=detect_leaks=0 ", nproc = noLeaks + "prlimit --nproc=";
    row("no thread can start", nproc + "1 nobody @ --threads 8 --summary %1", "big", 0,
        {"with 1 threads"}, "=");
    row("some threads cannot start", nproc + "3 nobody @ --threads 8 --summary %1", "big", 0,
        {"folders 20101,"}, "=");
    row("16 descriptors", "prlimit --nofile=16 @ --threads 8 %1", "big", 0, {}, "=");
    row("8 descriptors", "prlimit --nofile=8 @ --threads 8 %1", "big", 0, {}, "=");
    // Eight threads listing a hundred wide folders want more descriptors held for the folders
    // below them than the limit leaves: the rest open by their paths.
    row("40 descriptors, wide folders", "prlimit --nofile=40 @ --threads 8 %1", "big", 0, {}, "=");
    // Two threads with room to keep a few folders each once the held ones run out.
    row("64 descriptors, two threads", "prlimit --nofile=64 @ --threads 2 %1", "big", 0, {}, "=");
    // Sixteen stacks of the usual 8 MiB alone would pass the limit, as would a malloc arena
    // for each thread.
    row("86 MB of address space", "prlimit --as=90000000 @ --threads 16 %1", "big", 0, {}, "=");
    // Errors injected on one path, as an I/O error or as an entry that went between its listing
    // and its reading (moved, maybe behind the walk): either is said and makes exit status 1.
    const std::tuple<const char *, const char *, QByteArray, QByteArray> injected[] = {
        {"getdents64", "%1/sub", "cannot list all of %1/sub/",
         ".\t17\t1\t2\nother\t7\t1\t0\nsub\t0\t0\t0"},
        {"newfstatat", "y", "cannot read %1/sub/y",
         ".\t122\t1\t2\nother\t7\t1\t0\nsub\t105\t1\t1\nsub/deeper\t5\t1\t0"},
        {"openat", "deeper", "cannot read %1/sub/deeper",
         ".\t1117\t1\t2\nother\t7\t1\t0\nsub\t1100\t2\t1"}};
    for (const auto &[call, path, said, lines] : injected) {
        for (const QByteArray &error : {"EIO"_ba, "ENOENT"_ba}) {
            // A file whose details could not be read keeps its row, with nothing counted.
            const QByteArray shown = QByteArrayView(call) == "newfstatat"
                                         ? QByteArray(lines).replace("sub\t105\t1", "sub\t105\t2")
                                         : lines;
            row(call + (' ' + error),
                noLeaks + "strace -f -o /dev/null -e inject=" + call + ":error=" + error + " -P " +
                    path + " @ --threads 1 %1",
                "faults", 1,
                {said + (error == "EIO" ? ": Input/output error" : ": No such file or directory")},
                shown);
        }
    }
    // A folder opened from its parent is known to be the one listed by its "." entry: the walk
    // asks no status of its own of it (an empty folder's walk counts those of the start).
    row("no folder's status asked again",
        "t=$(mktemp -d) && count() { " + noLeaks +
            "strace -f -o $t/trace -e trace=newfstatat @ \"$1\" >/dev/null && grep -c "
            "'newfstatat([0-9]*, \"\"' $t/trace; } && a=$(count %1) && b=$(count $t) && rm -rf $t "
            "&& [ $((a - b)) -lt 10 ]",
        "big", 0, {}, "");
    // A folder listed in part is marked in a saved scan, and counted unread again once loaded.
    row("listing error, saved and loaded",
        noLeaks + "strace -f -o /dev/null -e inject=getdents64:error=EIO -P %1/sub @ --threads 1 "
                  "--export - %1 | @ --import - --summary",
        "faults", 0,
        {"cannot list all of %1/sub/: Input/output error",
         "unreadable folders 1, unreadable files 0"},
        ".\t17\t1\t2\nother\t7\t1\t0\nsub\t0\t0\t0");
    // Mounts made in a namespace of the tool's own, which they go with. "mp" becomes another
    // volume, which has a drive of its own: counted as an entry, never entered; "covered" a file
    // of that volume, which belongs to its total.
    row("bind-mount cycles",
        "unshare -m sh -c \"mount --bind a a/b && mount --bind . c/d/e && @ %1\"", "cycles", 0,
        {"not entering %1/a/b: it is a folder above it again"},
        ".\t103\t0\t2\na\t100\t1\t1\nc\t3\t1\t1\nc/d\t0\t0\t1");
    row("another volume mounted inside",
        "unshare -m sh -c \"mount -t tmpfs none mp && >mp/f && mount --bind mp/f covered && @ %1\"",
        "mounted", 0, {}, ".\t24\t1\t2\nafter\t13\t1\t0");
    row("another volume mounted inside, saved and loaded",
        "unshare -m sh -c \"mount -t tmpfs none mp && >mp/f && mount --bind mp/f covered && @ "
        "--export "
        "- %1 | @ --import -\"",
        "mounted", 0, {}, ".\t24\t1\t2\nafter\t13\t1\t0");
}

void TestWalk::commandLine()
{
    QFETCH(QString, command);
    QFETCH(QString, tree);
    QFETCH(QByteArrayList, says);
    QFETCH(QByteArray, lines);
#ifdef QUARNEL_SANITIZED
    if (command.contains(u"--as="_s))
        QSKIP("the sanitizers reserve terabytes of address space");
#endif
    // Not every machine lets strace trace, or a mount namespace be made.
    for (const QString &needed : {u"strace"_s, u"unshare"_s})
        if (command.contains(needed + u' ') &&
            QProcess::execute(needed,
                              {needed == u"strace"_s ? u"-o/dev/null"_s : u"-m"_s, u"true"_s}))
            QSKIP("strace or a mount namespace cannot run here");
    const QString root = QFile::decodeName(m_base) + u'/' + tree;
    command.replace(u"@"_s, u"'"_s + QString::fromUtf8(QUARNEL_SCAN_TOOL) + u"'"_s)
        .replace(u"%1"_s, root)
        .replace(u"nobody"_s, ::geteuid() == 0
                                  ? u"setpriv --reuid=4242420 --regid=4242420 --clear-groups --"_s
                                  : QString());
    QProcess tool;
    tool.setWorkingDirectory(root);
    tool.start(u"sh"_s, {u"-c"_s, command});
    QVERIFY(tool.waitForFinished(60000));
    const QByteArray out = tool.readAllStandardOutput(), err = tool.readAllStandardError();
    QTEST(tool.exitCode(), "exitCode");
    if (lines != "*")
        QCOMPARE(SortedLines(out), lines == "=" ? ToolLines(m_big) : SortedLines(lines));
    if (says.isEmpty())
        QCOMPARE(err, QByteArray());
    for (const QByteArray &said : says)
        QVERIFY2((out + err).contains(QString::fromUtf8(said).replace(u"%1"_s, root).toUtf8()),
                 (said + " in:\n" + err).constData());
}

void TestWalk::diskUsage_data()
{
    QTest::addColumn<QByteArray>("mount");
    QTest::newRow("tmpfs") << "mount -t tmpfs none m"_ba;
    QTest::newRow("ext4, 4 KiB blocks") << "mkfs.ext4 -q -b 4096 img && mount -o loop img m"_ba;
    QTest::newRow("ext4, 1 KiB blocks") << "mkfs.ext4 -q -b 1024 img && mount -o loop img m"_ba;
}

// Bytes on disk against du's, which adds the folders' own blocks: those are taken off here, from
// find's count of them. Sparse, empty, part-filled and hard-linked files on file systems whose
// blocks differ.
void TestWalk::diskUsage()
{
    QFETCH(QByteArray, mount);
    if (::geteuid() != 0 || QProcess::execute(u"unshare"_s, {u"-m"_s, u"true"_s}) != 0)
        QSKIP("mounting needs root and a mount namespace");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray script =
        "cd '" + QFile::encodeName(dir.path()) + "' && mkdir m && truncate -s 64M img && " + mount +
        " && cd m && mkdir -p a/b c/d && printf x >a/one && : >a/empty && truncate -s 1G "
        "a/sparse && head -c 70000 /dev/urandom >a/b/data && ln a/b/data a/b/link && "
        "head -c 5000 /dev/urandom >c/five && dd if=/dev/zero of=c/d/tail bs=4096 seek=9 "
        "count=3 status=none && sync && '" QUARNEL_SCAN_TOOL "' --disk-usage . && echo -- && "
        "du -x -B1 . && echo -- && find . -xdev -type d -printf '%b %p\n'";
    QProcess shell;
    shell.start(u"unshare"_s, {u"-m"_s, u"sh"_s, u"-c"_s, QString::fromUtf8(script)});
    QVERIFY(shell.waitForFinished(60000));
    QCOMPARE(shell.readAllStandardError(), QByteArray());
    const QList<QByteArray> parts = shell.readAllStandardOutput().split('-');
    QCOMPARE(parts.size(), 5); // two "--" between three parts
    std::map<QByteArray, quint64> ours, expected, ownBlocks;
    for (const QByteArray &line : parts[0].trimmed().split('\n'))
        ours[line.split('\t')[0]] = line.split('\t')[1].toULongLong();
    for (const QByteArray &line : parts[4].trimmed().split('\n')) {
        const qsizetype space = line.indexOf(' ');
        ownBlocks[line.sliced(space + 1)] = line.first(space).toULongLong() * 512;
    }
    for (const QByteArray &line : parts[2].trimmed().split('\n')) {
        const QByteArray path = line.split('\t')[1];
        quint64 total = line.split('\t')[0].toULongLong();
        for (const auto &[folder, bytes] : ownBlocks)
            if (folder == path || folder.startsWith(path + '/'))
                total -= bytes;
        expected[path == "." ? path : path.sliced(2)] = total;
    }
    QCOMPARE(ours, expected);
    // The 1 GiB hole counts nothing, the linked file once: what matters is in the numbers.
    QVERIFY(ours["."] < 200000);
}

void TestWalk::movedMeanwhile_data()
{
    QTest::addColumn<QByteArray>("replacement"); // what takes the moved folder's name
    QTest::addColumn<int>("error");
    QTest::newRow("nothing") << QByteArray() << ENOENT;
    QTest::newRow("another folder") << "folder"_ba << ENOENT;
    QTest::newRow("a link to it") << "link"_ba << ENOTDIR;
}

// A folder listed, then moved before it is opened, takes its bytes out of the totals: it is
// counted and named among what could not be read, and whatever took its name is not walked in
// its place. A refresh afterwards says no more of it.
void TestWalk::movedMeanwhile()
{
    QFETCH(QByteArray, replacement);
    QFETCH(int, error);
    const QByteArray to = "t/moved"; // behind the walk, where it will not look again
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    for (const char *spec : {"t/p/one/x=1000", "t/p/two/y=98000"})
        Make(spec);
    const QByteArray root = QFile::encodeName(dir.path()) + "/t/";
    HookedScan scan(root);
    QByteArray moved; // the subfolder of p the walk opens second
    scan.hook = [&](int recorded, QByteArrayView name) {
        if (recorded != 2) // the root and p are listed; p's first subfolder is being opened
            return;
        moved = name == "one" ? "two" : "one";
        const QByteArray path = "t/p/" + moved;
        QCOMPARE(::rename(path.constData(), to.constData()), 0);
        if (replacement == "folder")
            Make(path + "/new=5000000");
        else if (replacement == "link")
            QCOMPARE(::symlink("../moved", path.constData()), 0);
    };
    QVERIFY(Walk(root, scan, Walker::Options{1}));
    QCOMPARE(scan.totalSize(), quint64(moved == "one" ? 98000 : 1000));
    QCOMPARE(std::tuple(scan.unreadFolders(), scan.unreadFiles(), scan.vanishedCount()),
             std::tuple(1u, 0u, 1u));
    QCOMPARE(scan.unreadSample(),
             QByteArrayList{root + "p/" + moved + ": " + std::strerror(error)});

    QCOMPARE(QProcess::execute(u"rm"_s, {u"-rf"_s, QFile::decodeName("t/p/" + moved)}), 0);
    QCOMPARE(::rename(to.constData(), ("t/p/" + moved).constData()), 0);
    DriveScan part(root + "p/");
    QVERIFY(Walk(root + "p/", part));
    RecordsEdit(scan).replaceFolder(WalkSink::FolderId(scan.indexOf(root + "p/")), part);
    QCOMPARE(std::tuple(scan.totalSize(), scan.unreadFolders(), scan.vanishedCount()),
             std::tuple(quint64(99000), 0u, 0u));
}

// A window's paint holds the walk back: nothing is listed while the flag is up, and the walk
// ends whole once it is down.
void TestWalk::holdsBackWhileAsked()
{
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    for (const char *spec : {"t/a/f=10", "t/b/g=20", "t/b/c/h=30"})
        Make(spec);
    const QByteArray root = QFile::encodeName(dir.path()) + "/t/";
    std::atomic<int> held{1};
    DriveScan scan(root);
    Walker walker(root, scan, Walker::Options{2, 0, &held});
    QVERIFY(walker.start());
    std::this_thread::sleep_for(100ms);
    QVERIFY(!walker.isFinished());
    QCOMPARE(walker.foldersListed(), quint64(0));
    held.store(0);
    held.notify_all();
    walker.wait();
    QCOMPARE(scan.totalSize(), quint64(60));
}

// Every free descriptor is taken for a moment, as a window loading icons might take them: the
// walk's other threads must wait for them, not leave folders out.
void TestWalk::descriptorsTakenMeanwhile()
{
    const FewDescriptors few;
    QVERIFY(few.set);
    HookedScan scan(m_bigRoot);
    scan.hook = [](int recorded, QByteArrayView) {
        if (recorded != 20)
            return;
        std::vector<int> taken;
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            taken.push_back(fd);
        std::this_thread::sleep_for(100ms); // the other threads run out meanwhile
        for (const int fd : taken)
            ::close(fd);
    };
    QVERIFY(Walk(m_bigRoot, scan, Walker::Options{4}));
    Verify(scan, m_big);
}

// Descriptors that never come back (another thread takes each one freed) cost one wait, not one
// per folder left: the walk ends and says which folders it could not open.
void TestWalk::descriptorsTakenForGood()
{
#ifdef QUARNEL_SANITIZED
    QSKIP("the sanitizers' type checks need descriptors of their own");
#endif
    const FewDescriptors few;
    QVERIFY(few.set);
    std::vector<int> taken;
    std::atomic<bool> walked{false};
    std::thread taker;
    const auto restore = qScopeGuard([&] {
        walked = true;
        if (taker.joinable())
            taker.join();
        for (const int fd : taken)
            ::close(fd);
    });
    HookedScan scan(m_bigRoot);
    scan.hook = [&](int recorded, QByteArrayView) {
        if (recorded == 20)
            taker = std::thread([&] {
                while (!walked) {
                    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
                    if (fd >= 0)
                        taken.push_back(fd);
                    else
                        std::this_thread::yield();
                }
            });
    };
    Walker walker(m_bigRoot, scan, Walker::Options{4});
    QVERIFY(walker.start());
    // A wait per folder left would take minutes.
    const bool ended = QTest::qWaitFor([&] { return walker.isFinished(); }, 60000);
    if (!ended)
        walker.requestStop();
    walker.wait();
    QVERIFY(ended);
    const std::vector<FolderNote> notes = scan.folderNotes();
    QVERIFY(!notes.empty());
    QVERIFY(std::all_of(notes.begin(), notes.end(),
                        [](const FolderNote &note) { return note.error == EMFILE; }));
    QCOMPARE(scan.unreadSample().size(),
             std::min(qsizetype(notes.size()), DriveScan::UnreadSampleSize));
}

// Having given up once, the walk waits again for a later shortage once descriptors came back:
// a moment without them late in a walk must not cost the folders after it.
void TestWalk::descriptorsBackAfterGivingUp()
{
#ifdef QUARNEL_SANITIZED
    QSKIP("the sanitizers' type checks need descriptors of their own");
#endif
    const FewDescriptors few;
    QVERIFY(few.set);
    struct CountedScan : HookedScan
    {
        using HookedScan::HookedScan;
        void skippedFolder(FolderId parent, QByteArrayView name, int error) override
        {
            ++(back ? skippedAfter : skippedBefore);
            HookedScan::skippedFolder(parent, name, error);
        }
        std::atomic<int> skippedBefore{0}, skippedAfter{0}, backAt{1 << 30};
        std::atomic<bool> back{false};
    } scan(m_bigRoot);
    // Takes every descriptor, and each one the walk frees, until told; then gives them back.
    const auto take = [&](const std::function<bool()> &until) {
        std::vector<int> taken;
        for (; !until(); std::this_thread::yield())
            for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
                taken.push_back(fd);
        for (const int fd : taken)
            ::close(fd);
    };
    std::thread taker;
    const auto join = qScopeGuard([&] {
        if (taker.joinable())
            taker.join();
    });
    // One walking thread: none frees descriptors for another meanwhile. Taken until it gave
    // up on a folder, given back, then taken for 100 ms twenty folders later.
    scan.hook = [&](int recorded, QByteArrayView) {
        if (recorded == 1) {
            taker = std::thread([&] {
                const auto end = std::chrono::steady_clock::now() + 30s;
                take([&] {
                    return scan.skippedBefore > 0 || std::chrono::steady_clock::now() > end;
                });
                scan.backAt = scan.recorded.load();
            });
        } else if (recorded == scan.backAt + 20) {
            taker.join();
            scan.back = true;
            taker = std::thread([&] {
                const auto end = std::chrono::steady_clock::now() + 100ms;
                take([&] { return std::chrono::steady_clock::now() > end; });
            });
        }
    };
    QVERIFY(Walk(m_bigRoot, scan, Walker::Options{1}));
    QVERIFY(scan.skippedBefore > 0);
    QVERIFY(scan.recorded > scan.backAt + 40);
    QCOMPARE(scan.skippedAfter.load(), 0);
}

void TestWalk::job_data()
{
    QTest::addColumn<bool>("readable");
    QTest::addColumn<bool>("stop");
    QTest::newRow("completed") << true << false;
    QTest::newRow("stopped: no record") << true << true;
    QTest::newRow("unreadable root: no record") << false << false;
}

// A drive's scan, as the window runs it; another drive's records stay whatever becomes of this one.
void TestWalk::job()
{
    QFETCH(bool, readable);
    QFETCH(bool, stop);
    const QByteArray kept = m_base + "/cli/",
                     root = readable ? m_base + "/faults/" : kept + "none/";
    FolderCollection folders;
    QVERIFY(Walk(kept, *folders.addDrive(kept)));
    DriveScanJob job(folders, root);
    bool handled = false;
    job.setFinishedHandler([&] { handled = true; });
    if (stop)
        job.requestStop();
    QCOMPARE(job.start(), readable);
    const bool completed = readable && !stop;
    QCOMPARE(job.finish(), completed ? quint64(1122) : 0);
    QCOMPARE(handled, readable);
    QCOMPARE(job.wasStopped(), stop);
    QCOMPARE(job.error(), readable ? 0 : ENOENT);
    QCOMPARE(job.diskSpace().TotalBytes > 0, readable);
    QCOMPARE(folders.count(), completed ? 6 : 2);
    QCOMPARE(folders.find(kept).size(), quint64(12));
}

// Only real folders; links to folders are files, as in the walk.
void TestWalk::subfolders()
{
    const QByteArray kinds = m_hostileRoot + "kinds/";
    QCOMPARE(ListSubfolders(kinds), QByteArrayList{"target"_ba});
    QCOMPARE(ListSubfolders(kinds.chopped(1)), QByteArrayList{"target"_ba});
    QVERIFY(ListSubfolders(kinds + "plain").isEmpty());
    QVERIFY(ListSubfolders("/").contains("proc")); // the root is not the working folder
    // With link counts, each folder is asked for its own, though the listing types it.
    QTemporaryDir dir;
    for (const char *path : {"two/x", "two/y", "none"})
        QVERIFY(QDir(dir.path()).mkpath(QString::fromLatin1(path)));
    const int fd = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY);
    QVERIFY(fd >= 0);
    std::vector<Subfolder> read = ReadSubfolders(fd, true);
    ::close(fd);
    std::ranges::sort(read, {}, &Subfolder::name);
    QCOMPARE(read.size(), size_t(2));
    QCOMPARE(read[0].name + ' ' + QByteArray::number(read[0].links), "none 2"_ba);
    QCOMPARE(read[1].name + ' ' + QByteArray::number(read[1].links), "two 4"_ba);
}

// The same tree, the same patterns: the same items left out and the same bytes counted as by
// ncdu, the tool the rules come from.
void TestWalk::excludedAsByNcdu_data()
{
    QTest::addColumn<QStringList>("patterns");
    QCOMPARE(::chdir(m_base.constData()), 0);
    for (const char *item : {"ex/src/main.c=100", "ex/src/main.o=2000", "ex/src/lib/util.o=3000",
                             "ex/node_modules/x/i.js=5000", "ex/app/node_modules/y.js=700",
                             "ex/app/.git/HEAD=41", "ex/cache/a.tmp=300", "ex/star*name=7"})
        Make(item);
    const QString root = QDir(QFile::decodeName(m_base)).canonicalPath() + u"/ex"_s;
    QTest::newRow("a name anywhere") << QStringList{u"node_modules"_s, root};
    QTest::newRow("suffixes, tails") << QStringList{u"*.o"_s, u"app/.git"_s, u"src/lib"_s, root};
    QTest::newRow("absolute path") << QStringList{root + u"/cache"_s, u"/src"_s, root};
    QTest::newRow("star across folders") << QStringList{u"ex*.js"_s, root};
    QTest::newRow("brackets, escapes") << QStringList{u"[!s]???"_s, u"star\\*name"_s, root};
    QTest::newRow("every item") << QStringList{u"*"_s, root};
}

void TestWalk::excludedAsByNcdu()
{
    QFETCH(QStringList, patterns);
    const QString ncdu = QStandardPaths::findExecutable(u"ncdu"_s), tool = QUARNEL_SCAN_TOOL ""_L1;
    if (ncdu.isEmpty())
        QSKIP("ncdu is not installed");
    const QString theirFile = QFile::decodeName(m_base) + u"/ncdu.json"_s,
                  ourFile = QFile::decodeName(m_base) + u"/ours.json"_s;
    QStringList theirs{u"-x"_s, u"-o"_s, theirFile}, ours{u"--export"_s, ourFile};
    for (qsizetype i = 0; i + 1 < patterns.size(); ++i) {
        theirs << u"--exclude"_s << patterns[i];
        ours << u"--exclude"_s << patterns[i];
    }
    const QByteArray expected = Run(ncdu, theirs << patterns.last(), theirFile);
    const QByteArray got = Run(tool, ours << patterns.last(), ourFile);
    QCOMPARE(got.count(R"("excluded":"pattern")"), expected.count(R"("excluded":"pattern")"));
    // Each file read back prints every folder's totals, files and entries.
    const QByteArray lines = Run(tool, {u"--import"_s, theirFile}, {});
    QVERIFY(lines.startsWith(".\t") && expected.contains(R"("excluded":"pattern")"));
    QCOMPARE(Run(tool, {u"--import"_s, ourFile}, {}), lines);
}

QTEST_GUILESS_MAIN(TestWalk)
#include "tst_walk.moc"
