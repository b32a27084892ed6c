#include "DriveScan.h"
#include "FolderCollection.h"
#include "FolderRecord.h"
#include "Walker.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <list>
#include <map>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

constexpr qint64 DefaultDate = 1'600'000'000;
constexpr int DirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;

// Trees are described first, then made from the description. What the walk should record is
// worked out from the description and the file system's listing order, never from the walk.
struct Entry
{
    enum Kind { Regular, HardLink, Symlink, Fifo, Socket };
    QByteArray name;
    Kind kind = Regular;
    quint64 size = 0;    // as stat gives it
    QByteArray target{}; // Symlink: where it points; HardLink: the group its links share
    qint64 date = DefaultDate;
};

struct Folder
{
    QByteArray name;
    std::vector<Entry> files{};
    std::list<Folder> folders{}; // a list, so that references to subfolders stay valid

    Folder &folder(const QByteArray &n) { return folders.emplace_back(Folder{.name = n}); }
    Folder &file(const QByteArray &n, quint64 size, qint64 date = DefaultDate,
                 Entry::Kind kind = Entry::Regular, const QByteArray &target = {})
    {
        files.push_back({n, kind, size, target, date});
        return *this;
    }
    Folder &link(const QByteArray &n, const QByteArray &group, quint64 size)
    {
        return file(n, size, DefaultDate, Entry::HardLink, group);
    }
};

// Made relative to the parent folder, so that a chain may run past PATH_MAX.
struct Builder
{
    int baseFd;
    std::map<QByteArray, QByteArray> firstLinks; // group: the path of its first link below base

    bool make(int dirFd, const QByteArray &dirPath, const Entry &e)
    {
        const char *name = e.name.constData();
        bool ok = true;
        if (e.kind == Entry::Symlink) {
            ok = ::symlinkat(e.target.constData(), dirFd, name) == 0;
        } else if (e.kind == Entry::Fifo || e.kind == Entry::Socket) {
            ok =
                ::mknodat(dirFd, name, (e.kind == Entry::Fifo ? S_IFIFO : S_IFSOCK) | 0644, 0) == 0;
        } else if (e.kind == Entry::HardLink && firstLinks.contains(e.target)) {
            ok = ::linkat(baseFd, firstLinks[e.target].constData(), dirFd, name, 0) == 0;
        } else {
            const int fd = ::openat(dirFd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            ok = fd >= 0 && ::ftruncate(fd, off_t(e.size)) == 0;
            ::close(fd);
            if (e.kind == Entry::HardLink)
                firstLinks[e.target] = dirPath + e.name;
        }
        const timespec times[2] = {{time_t(e.date), 0}, {time_t(e.date), 0}};
        return ok && ::utimensat(dirFd, name, times, AT_SYMLINK_NOFOLLOW) == 0;
    }

    bool build(int parentFd, QByteArray path, const Folder &folder)
    {
        if (::mkdirat(parentFd, folder.name.constData(), 0755) != 0)
            return false;
        const int fd = ::openat(parentFd, folder.name.constData(), DirFlags);
        path += folder.name + '/';
        const bool ok =
            fd >= 0 &&
            std::ranges::all_of(folder.files, [&](auto &e) { return make(fd, path, e); }) &&
            std::ranges::all_of(folder.folders, [&](auto &f) { return build(fd, path, f); });
        ::close(fd);
        return ok;
    }
};

bool Build(const QByteArray &base, const Folder &root)
{
    const int baseFd = ::open(base.constData(), DirFlags);
    const bool ok = Builder{baseFd, {}}.build(baseFd, {}, root);
    if (!ok)
        qWarning("cannot make %s: %s", root.name.constData(), std::strerror(errno));
    ::close(baseFd);
    return ok;
}

QByteArray FileLine(QByteArrayView name, quint64 size, qint64 date)
{
    return name.toByteArray() + " | " + QByteArray::number(size) + " | " + QByteArray::number(date);
}

struct Expected
{
    quint64 total = 0;
    qint64 date = 0;
    quint32 subfolders = 0;
    QByteArrayList files{}; // FileLine of each, in listing order
};
using Expectation = std::map<QByteArray, Expected>; // by path below the root: "", "a/b/"

// A one-thread walk in pre-order: a folder's own files, then its subfolders in listing order. The
// first link of a hard-linked file met this way is the one that counts.
quint64 Expect(const Folder &folder, int parentFd, const QByteArray &relative,
               std::set<QByteArray> &countedLinks, Expectation &out)
{
    QHash<QByteArray, const Entry *> files;
    for (const Entry &entry : folder.files)
        files.insert(entry.name, &entry);
    DIR *dir = ::fdopendir(::openat(parentFd, folder.name.constData(), DirFlags));
    struct stat st;
    ::fstat(::dirfd(dir), &st);
    Expected e{.date = st.st_mtim.tv_sec};
    std::vector<const Folder *> entered;
    while (const dirent *d = ::readdir(dir)) {
        const QByteArray name(d->d_name);
        if (::fstatat(::dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISDIR(st.st_mode)) {
            const auto sub = std::ranges::find(folder.folders, name, &Folder::name);
            e.subfolders += name != "." && name != "..";
            if (sub != folder.folders.end())
                entered.push_back(&*sub);
        } else if (const Entry *entry = files.value(name)) {
            e.files.append(FileLine(name, entry->size, entry->date));
            if (entry->kind != Entry::HardLink || countedLinks.insert(entry->target).second)
                e.total += entry->size;
        }
    }
    for (const Folder *sub : entered)
        e.total += Expect(*sub, ::dirfd(dir), relative + sub->name + '/', countedLinks, out);
    ::closedir(dir);
    return (out[relative] = std::move(e)).total;
}

Expectation ExpectedRecords(const QByteArray &base, const Folder &root)
{
    Expectation out;
    std::set<QByteArray> countedLinks;
    const int baseFd = ::open(base.constData(), DirFlags);
    Expect(root, baseFd, {}, countedLinks, out);
    ::close(baseFd);
    return out;
}

QByteArrayList Lines(const Expectation &records)
{
    QByteArrayList lines;
    for (const auto &[relative, e] : records) {
        lines.append(relative + " total " + QByteArray::number(e.total) + " subfolders " +
                     QByteArray::number(e.subfolders) + " date " + QByteArray::number(e.date));
        for (const QByteArray &file : e.files)
            lines.append(relative + ": " + file);
    }
    return lines;
}

void Verify(const DriveScan &scan, const Expectation &expected)
{
    Expectation recorded;
    for (qsizetype i = 0; i < scan.count(); ++i) {
        const FolderRecord folder = scan.folder(i);
        QCOMPARE(scan.indexOf(folder.path()), i);
        QVERIFY2(i == 0 || scan.parentOf(WalkSink::FolderId(i)) < WalkSink::FolderId(i),
                 "a folder's record comes after its parent's");
        Expected &e = recorded[folder.path().sliced(scan.rootPath().size())];
        e = {folder.size(), folder.date(), folder.subfolderEntries(), {}};
        for (const FileRecord &file : folder.files())
            e.files.append(FileLine(file.name, file.size, file.date));
        QCOMPARE(qsizetype(folder.fileCount()), e.files.size());
    }
    QCOMPARE(Lines(recorded), Lines(expected));
}

void VerifyWalk(const QByteArray &root, const Expectation &expected, int threads = 2)
{
    DriveScan scan(root);
    QVERIFY(Walk(root, scan, Walker::Options{threads}));
    Verify(scan, expected);
}

// Waits for a walk with a generous limit, so that a hang fails the test instead of stalling it.
bool Finish(Walker &walker)
{
    QElapsedTimer timer;
    timer.start();
    while (!walker.isFinished() && !timer.hasExpired(20000))
        std::this_thread::sleep_for(1ms);
    if (walker.isFinished())
        walker.wait();
    return walker.isFinished();
}

// Runs a command line in which "@" is the tool, "%1" the root, and "nobody" makes what follows
// run as another user when the test runs as root (and is dropped otherwise). The exit code (-1
// for a crash or a hang), the output and the errors.
std::tuple<int, QByteArray, QByteArray> RunTool(const QString &command, const QString &root)
{
    QStringList arguments;
    for (QString word : command.split(u' ', Qt::SkipEmptyParts)) {
        if (word == u"nobody"_s) {
            if (::geteuid() == 0)
                arguments += {u"setpriv"_s, u"--reuid=65534"_s, u"--regid=65534"_s,
                              u"--clear-groups"_s, u"--"_s};
            continue;
        }
        arguments.append(word == u"@"_s ? QString::fromUtf8(QUARNEL_SCAN_TOOL)
                                        : word.replace(u"%1"_s, root));
    }
    QProcess process;
    process.setWorkingDirectory(root);
    // The leak checker of a sanitized build needs a thread of its own at exit.
    if (command.contains(u"--nproc"_s)) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"ASAN_OPTIONS"_s, u"detect_leaks=0"_s);
        process.setProcessEnvironment(environment);
    }
    process.start(arguments.takeFirst(), arguments);
    const bool ended =
        process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

QByteArrayList SortedLines(const QByteArray &output)
{
    QByteArrayList lines = output.split('\n');
    lines.removeAll(QByteArray());
    std::ranges::sort(lines);
    return lines;
}

// What quarnel-scan should print for a tree, in sorted lines.
QByteArrayList ToolLines(const Expectation &records)
{
    QByteArrayList lines;
    for (const auto &[relative, e] : records)
        lines.append((relative.isEmpty() ? "."_ba : relative.chopped(1)) + '\t' +
                     QByteArray::number(e.total) + '\t' + QByteArray::number(e.files.size()) +
                     '\t' + QByteArray::number(e.subfolders));
    std::ranges::sort(lines);
    return lines;
}

// A sink whose memory runs out after a number of folders.
class StarvedScan : public DriveScan
{
public:
    StarvedScan(const QByteArray &root, int folders)
        : DriveScan(root)
        , m_left(folders)
    {}
    FolderId openedFolder(FolderId parent, QByteArrayView name, qint64 date, quint32 ordinal,
                          quint64 inode) override
    {
        if (m_left.fetch_sub(1) <= 0)
            throw std::bad_alloc();
        return DriveScan::openedFolder(parent, name, date, ordinal, inode);
    }

private:
    std::atomic<int> m_left;
};

// A sink beside which something else in the process takes every free descriptor for a moment,
// as a window loading icons might: the walk must wait for them, not leave folders out.
class CrowdedScan : public DriveScan
{
public:
    using DriveScan::DriveScan;
    ~CrowdedScan() override
    {
        if (m_giver.joinable())
            m_giver.join();
    }
    FolderId openedFolder(FolderId parent, QByteArrayView name, qint64 date, quint32 ordinal,
                          quint64 inode) override
    {
        if (m_opened.fetch_add(1) == 20) {
            // The thread takes them itself, once started: a sanitizer checking the new thread's
            // type needs a descriptor of its own.
            m_giver = std::thread([this] {
                std::vector<int> taken;
                for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
                    taken.push_back(fd);
                m_crowded.test_and_set();
                m_crowded.notify_all();
                std::this_thread::sleep_for(100ms);
                for (const int fd : taken)
                    ::close(fd);
            });
            m_crowded.wait(false);
        }
        return DriveScan::openedFolder(parent, name, date, ordinal, inode);
    }

private:
    std::atomic<int> m_opened{0};
    std::atomic_flag m_crowded;
    std::thread m_giver;
};

} // namespace

class TestWalk : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void hostileTree_data();
    void hostileTree();
    void filesVanishingDuringTheWalk();
    void runningWalk_data();
    void runningWalk();
    void collectionKeepsVolumesApart();
    void commandLine_data();
    void commandLine();
    void memoryRunsOut();
    void descriptorsTakenMeanwhile();

private:
    // On a memory file system when there is one: a hundred thousand files take far longer on disk.
    QTemporaryDir m_tmp{(QFileInfo(u"/dev/shm"_s).isWritable() ? u"/dev/shm"_s : QDir::tempPath()) +
                        u"/tst_walk-XXXXXX"_s};
    QByteArray m_base;
    QByteArray m_hostileRoot; // ends with "/", as do the other roots
    Expectation m_hostile;
    QByteArray m_bigRoot;
    Expectation m_big;
};

void TestWalk::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    m_base = QFile::encodeName(m_tmp.path());
    QCOMPARE(::chmod(m_base.constData(), 0755), 0); // for the walk as another user
    Folder root{.name = "hostile"_ba};
    Folder *chain = &root.folder("deep"_ba);
    for (int level = 0; level < 40; ++level) {
        chain->folder("side"_ba); // a second task at each level, for another thread to take
        chain = &chain->folder(QByteArray::number(level).leftJustified(200, 'd'));
    }
    chain->file("bottom"_ba, 4242);

    Folder &names = root.folder("names"_ba);
    quint64 size = 1;
    for (const QByteArray &name :
         {"line\nbreak"_ba, "tab\there"_ba, "100%"_ba, "back\\slash"_ba, "-rf"_ba, "--help"_ba,
          QByteArray(255, 'n'), "\xff\xfe"_ba, "del\x7f"_ba, " lead space"_ba})
        names.file(name, size *= 2);
    names.folder("dir\nnl"_ba).file("in"_ba, 1000);
    names.folder(QByteArray(255, 'F')).file(QByteArray(255, 'f'), 2000);
    names.folder("\xff\xfe-dir"_ba).file("\x80"_ba, 3000);
    for (const QByteArray &name : {"back\\slash-dir"_ba, "été"_ba, "line\xe2\x80\xa8sep"_ba})
        names.folder(name);
    root.folder("Docs"_ba).file("a"_ba, 10);
    root.folder("docs"_ba).file("a"_ba, 20).file("b"_ba, 30);
    Folder &many = root.folder("many"_ba);
    for (int i = 0; i < 100'000; ++i)
        many.file("f"_ba + QByteArray::number(i).rightJustified(6, '0'), quint64(i % 10));

    // Hard links. "top" has its first link in the parent of the others. In each mirrored group
    // the first link in pre-order lies past a folder of 3,000 files in one sibling, while the
    // other sibling holds a link at its top, which a second thread reaches long before; either
    // sibling may be listed first, so one of the two groups always puts that race to the test.
    Folder &links = root.folder("links"_ba);
    links.link("same1"_ba, "S"_ba, 1 << 10).link("same2"_ba, "S"_ba, 1 << 10);
    links.link("top"_ba, "T"_ba, 1 << 11).link("lonely"_ba, "L"_ba, 1 << 12);
    for (const auto &[name, near, far] :
         {std::tuple{"a"_ba, "G1"_ba, "G2"_ba}, {"b"_ba, "G2"_ba, "G1"_ba}}) {
        Folder &sibling = links.folder(name);
        sibling.link(near, near, near == "G1" ? 1 << 13 : 1 << 14).link("top"_ba, "T"_ba, 1 << 11);
        Folder &slow = sibling.folder("slow"_ba);
        for (int i = 0; i < 3000; ++i)
            slow.file("pad"_ba + QByteArray::number(i), 0);
        slow.folder("end"_ba).link(far, far, far == "G1" ? 1 << 13 : 1 << 14);
    }

    Folder &kinds = root.folder("kinds"_ba);
    kinds.file("plain"_ba, 777).folder("target"_ba).file("inside"_ba, 5);
    for (const QByteArray &link :
         {"to-file:plain"_ba, "to-dir:target"_ba, "to-root:/"_ba, "loop-a:loop-b"_ba,
          "loop-b:loop-a"_ba, "dangling:no/where"_ba}) {
        const QByteArray target = link.sliced(link.indexOf(':') + 1);
        kinds.file(link.first(link.indexOf(':')), quint64(target.size()), DefaultDate,
                   Entry::Symlink, target);
    }
    kinds.file("pipe"_ba, 0, DefaultDate, Entry::Fifo);
    kinds.file("sock"_ba, 0, DefaultDate, Entry::Socket);
    root.folder("sparse"_ba)
        .file("huge"_ba, 5ull << 30)
        .folder("in"_ba)
        .file("x"_ba, 5ull << 30 | 1);
    root.folder("empty"_ba);
    Folder &dates = root.folder("dates"_ba);
    for (const qint64 date : {0ll, -86400ll, 2'000'000'000ll, 1'000'000'000ll})
        dates.file("d"_ba + QByteArray::number(date), 3, date);
    QVERIFY(Build(m_base, root));
    // The other link of "lonely" lies outside the walked tree.
    QCOMPARE(::link((m_base + "/hostile/links/lonely").constData(),
                    (m_base + "/lonely-outside").constData()),
             0);
    m_hostileRoot = m_base + "/hostile/";
    m_hostile = ExpectedRecords(m_base, root);
    QVERIFY(std::ranges::any_of(m_hostile, [](auto &r) { return r.first.size() > PATH_MAX; }));

    Folder big{.name = "big"_ba};
    for (int t = 0; t < 100; ++t) {
        Folder &top = big.folder("t"_ba + QByteArray::number(t)).file("top"_ba, quint64(1000 + t));
        for (int l = 0; l < 200; ++l) {
            Folder &leaf = top.folder("l"_ba + QByteArray::number(l));
            for (int j = 0; j < l % 3; ++j)
                leaf.file("f"_ba + QByteArray::number(j), quint64(1 + j + l));
        }
    }
    QVERIFY(Build(m_base, big));
    m_bigRoot = m_base + "/big/";
    m_big = ExpectedRecords(m_base, big);

    Folder cli{.name = "cli"_ba};
    cli.file("file"_ba, 6).folder("-dash"_ba).file("six"_ba, 6);
    QVERIFY(Build(m_base, cli));
    QCOMPARE(::symlink("cli", (m_base + "/cli-link").constData()), 0);

    Folder faults{.name = "faults"_ba};
    faults.file("a"_ba, 10).folder("other"_ba).file("w"_ba, 7);
    faults.folder("sub"_ba)
        .file("x"_ba, 100)
        .file("y"_ba, 1000)
        .folder("deeper"_ba)
        .file("z"_ba, 5);
    Folder cycles{.name = "cycles"_ba};
    cycles.folder("a"_ba).file("f"_ba, 100).folder("b"_ba);
    cycles.folder("c"_ba).file("g"_ba, 3).folder("d"_ba).folder("e"_ba);
    Folder locked{.name = "locked"_ba};
    locked.file("rootfile"_ba, 3).folder("open"_ba).file("a"_ba, 10);
    locked.folder("none"_ba).file("x"_ba, 100).folder("sub"_ba);
    locked.folder("readonly"_ba)
        .file("f1"_ba, 7)
        .file("f2"_ba, 9)
        .folder("sub"_ba)
        .file("z"_ba, 99);
    locked.folder("searchonly"_ba).file("y"_ba, 50);
    Folder mounted{.name = "mounted"_ba};
    mounted.file("before"_ba, 11).folder("after"_ba).file("x"_ba, 13);
    mounted.folder("mp"_ba).file("hidden"_ba, 999); // out of sight once a volume is mounted
    Folder bound{.name = "bound"_ba};
    bound.file("covered"_ba, 5).file("other"_ba, 7);
    QVERIFY(Build(m_base, faults) && Build(m_base, cycles) && Build(m_base, bound) &&
            Build(m_base, mounted) && Build(m_base, locked));
    QVERIFY(QDir().mkpath(QFile::decodeName(m_base + "/volume")));
}

// QTemporaryDir cannot remove paths longer than PATH_MAX.
void TestWalk::cleanupTestCase()
{
    QCOMPARE(QProcess::execute(u"rm"_s, {u"-rf"_s, m_tmp.path()}), 0);
}

void TestWalk::hostileTree_data()
{
    QTest::addColumn<int>("threads");
    for (const int threads : {1, 2, 8})
        QTest::addRow("%d threads", threads) << threads;
}

void TestWalk::hostileTree()
{
    QFETCH(int, threads);
    DriveScan scan(m_hostileRoot);
    Walker walker(m_hostileRoot, scan, Walker::Options{threads});
    QVERIFY(walker.start());
    if (!Finish(walker)) {
        // A walk stuck opening the FIFO gets a writer, so that it can end.
        ::close(::open((m_hostileRoot + "kinds/pipe").constData(), O_RDWR | O_NONBLOCK));
        QFAIL("the walk did not end");
    }
    QCOMPARE(walker.threadCount(), threads);
    QCOMPARE(walker.foldersListed(), quint64(m_hostile.size()));
    QCOMPARE(walker.currentFolder(), WalkSink::NoFolder);
    Verify(scan, m_hostile);

    // Parts on their own, where no other part keeps the threads busy: they race for hard links,
    // and open deep folders by paths longer than PATH_MAX.
    for (const QByteArray &part : {"links/"_ba, "deep/"_ba}) {
        Expectation expected;
        for (const auto &[relative, e] : m_hostile)
            if (relative.startsWith(part))
                expected.emplace(relative.sliced(part.size()), e);
        VerifyWalk(m_hostileRoot + part, expected, threads);
    }
}

void TestWalk::filesVanishingDuringTheWalk()
{
    Folder root{.name = "vanish"_ba};
    for (int l = 0; l < 144; ++l) {
        Folder &leaf = root.folder("l"_ba + QByteArray::number(l));
        leaf.folder("gone"_ba);
        for (int j = 0; j < 150; ++j)
            leaf.file("f"_ba + QByteArray::number(j), quint64(j) * 1000 + 1);
    }
    QVERIFY(Build(m_base, root));
    DriveScan scan(m_base + "/vanish/");
    Walker walker(scan.rootPath(), scan, Walker::Options{2});
    // Every other folder loses its files a sweep at a time, so that files go from folders while
    // they are being listed; an empty folder in each of them goes early on.
    std::jthread deleter([&] {
        for (int j = 0; j < 150; ++j) {
            for (int l = 1; l < 144; l += 2) {
                const QByteArray leaf = scan.rootPath() + 'l' + QByteArray::number(l) + '/';
                ::unlink((leaf + 'f' + QByteArray::number(j)).constData());
                if (j == 3)
                    ::rmdir((leaf + "gone").constData());
            }
        }
    });
    QVERIFY(walker.start());
    QVERIFY(Finish(walker));

    // Whatever vanished, every record adds up, and every recorded file is one that was made.
    std::vector<quint64> below(size_t(scan.count()), 0);
    for (qsizetype i = 1; i < scan.count(); ++i)
        below[scan.parentOf(WalkSink::FolderId(i))] += scan.sizeOf(WalkSink::FolderId(i));
    QByteArrayList problems;
    for (qsizetype i = 0; i < scan.count(); ++i) {
        const FolderRecord folder = scan.folder(i);
        quint64 own = 0;
        for (const FileRecord &file : folder.files()) {
            own += file.size;
            if (file.size != file.name.toByteArray().mid(1).toULongLong() * 1000 + 1)
                problems.append(folder.path() + FileLine(file.name, file.size, file.date));
        }
        if (folder.size() != own + below[size_t(i)])
            problems.append(folder.path() + " total " + QByteArray::number(folder.size()));
    }
    QVERIFY(scan.count() >= 1);
    QCOMPARE(problems, QByteArrayList());
}

void TestWalk::runningWalk_data()
{
    QTest::addColumn<bool>("stop");
    QTest::newRow("to the end") << false;
    QTest::newRow("stopped") << true;
}

// While the walk runs, totals only grow and a folder's files appear all at once; a stop ends the
// walk promptly, and what it recorded is whole.
void TestWalk::runningWalk()
{
    QFETCH(bool, stop);
    DriveScan scan(m_bigRoot);
    Walker walker(m_bigRoot, scan, Walker::Options{2});
    std::atomic<int> finishedCalls{0};
    walker.setFinishedHandler([&] { ++finishedCalls; });
    std::vector<std::pair<quint64, quint32>> seen(m_big.size()); // size and file count
    QByteArrayList problems;
    quint64 listed = 0;
    QVERIFY(walker.start());
    QElapsedTimer timer;
    timer.start();
    while (!walker.isFinished() && !timer.hasExpired(20000) && !(stop && listed >= 200)) {
        if (walker.foldersListed() < listed)
            problems.append("folders listed went back"_ba);
        listed = walker.foldersListed();
        for (size_t i = 0; i < std::min(size_t(scan.count()), seen.size()); ++i) {
            const auto id = WalkSink::FolderId(i);
            const std::pair now{scan.sizeOf(id), scan.fileCountOf(id)};
            if (now.first < seen[i].first || (seen[i].second != 0 && now.second != seen[i].second))
                problems.append(scan.pathOf(id));
            seen[i] = now;
        }
    }
    if (stop)
        walker.requestStop();
    timer.restart();
    QVERIFY(Finish(walker));
    QVERIFY2(timer.elapsed() < 2000, "stopping must not wait for the rest of the tree");
    QCOMPARE(finishedCalls.load(), 1);
    QCOMPARE(walker.wasStopped(), stop);
    QCOMPARE(scan.count() < qsizetype(m_big.size()), stop);
    for (qsizetype i = 0; i < scan.count(); ++i) {
        const FolderRecord folder = scan.folder(i);
        const auto it = m_big.find(folder.path().sliced(m_bigRoot.size()));
        if (it == m_big.end() || folder.size() > it->second.total ||
            (folder.fileCount() != 0 && folder.fileCount() != it->second.files.size()))
            problems.append(folder.path());
    }
    QCOMPARE(problems, QByteArrayList());
    if (!stop)
        Verify(scan, m_big);
}

void TestWalk::collectionKeepsVolumesApart()
{
    // "home" plays a volume mounted inside the other's tree, scanned as a drive of its own.
    Folder root{.name = "fc"_ba};
    root.file("a"_ba, 1).folder("x"_ba).file("y"_ba, 2);
    root.folder("home"_ba).file("h"_ba, 4).folder("u"_ba).file("k"_ba, 8);
    QVERIFY(Build(m_base, root));
    const QByteArray rootA = m_base + "/fc/", rootB = rootA + "home/";
    for (const bool removeOuter : {false, true}) {
        FolderCollection collection;
        QVERIFY(Walk(rootA, collection.addDrive(rootA)) && Walk(rootB, collection.addDrive(rootB)));
        QCOMPARE(collection.count(), qsizetype(6));
        QCOMPARE(collection.find(rootB + "u/").size(), quint64(8));
        for (const QByteArray &missing :
             {rootA + "X/", rootA + "HOME/u/", rootA + "x", rootA + "x/y/"})
            QVERIFY2(collection.find(missing).isNull(), missing.constData());
        // Removing one volume's records leaves the other's whole, found by path.
        collection.removeDrive(removeOuter ? rootA : rootB);
        collection.removeDrive(rootA + "x/"); // not a drive: nothing goes
        QCOMPARE(collection.count(), qsizetype(removeOuter ? 2 : 4));
        QCOMPARE(collection.find(removeOuter ? rootB : rootA).size(),
                 quint64(removeOuter ? 12 : 15));
        QCOMPARE(collection.find(rootA + "x/").isNull(), removeOuter);
    }
}

// The command-line walk: its arguments, resource limits, permissions, bind mounts and injected
// I/O errors. In a command, "@" is the tool and "%1" the row's tree (see RunTool). Set-up steps
// are "bind FROM TO", "tmpfs AT" (which then holds a 3,000-byte file "big") and "chmod MODE AT".
// Every text said must appear in the output or the errors; with none said, no errors. The
// expected lines come sorted; "=" stands for the oracle's lines of the big tree, "*" for any.
void TestWalk::commandLine_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArrayList>("says");
    QTest::addColumn<QByteArray>("lines");
    const auto row = [](const char *name, const char *command, const char *tree, int code,
                        const QByteArrayList &says, const QByteArray &lines,
                        const QStringList &setup = {}) {
        QTest::newRow(name) << QString::fromUtf8(command) << QString::fromUtf8(tree) << setup
                            << code << says << lines;
    };
    // A small tree: a 6-byte "file" and a folder "-dash" holding a 6-byte file.
    row("no root", "@", "cli", 2, {"no ROOT given"}, "");
    row("nonexistent root", "@ %1/missing", "cli", 2, {"cannot read"}, "");
    row("root is a file", "@ %1/file", "cli", 2, {"cannot read"}, "");
    row("two roots", "@ %1 %1", "cli", 2, {"only one ROOT"}, "");
    row("unknown option", "@ --frobnicate %1", "cli", 2, {"unknown option --frobnicate"}, "");
    row("threads zero", "@ --threads 0 %1", "cli", 2, {"--threads needs"}, "");
    row("threads too many", "@ --threads=257 %1", "cli", 2, {"--threads needs"}, "");
    row("threads trailing junk", "@ --threads=3x %1", "cli", 2, {"--threads needs"}, "");
    row("threads without value", "@ %1 --threads", "cli", 2, {"--threads needs"}, "");
    row("help", "@ --help", "cli", 0, {"Usage: quarnel-scan"}, "*");
    row("help after a root", "@ %1 --help", "cli", 0, {"Usage: quarnel-scan"}, "*");
    row("threads given", "@ --threads 3 %1", "cli", 0, {}, ".\t12\t1\t1\n-dash\t6\t1\t0");
    row("dash root after --", "@ -- -dash", "cli", 0, {}, ".\t6\t1\t0");
    row("root is a link to a folder", "@ %1-link", "cli", 0, {}, ".\t12\t1\t1\n-dash\t6\t1\t0");
    row("names escaped", "@ --threads=2 %1", "hostile", 0,
        {"\nnames/dir\\x0anl\t1000\t1\t0\n", "\nnames/\\xff\\xfe-dir\t3000\t1\t0\n",
         "\nnames/back\\\\slash-dir\t0\t0\t0\n", "\nnames/été\t0\t0\t0\n",
         "\nnames/line\\xe2\\x80\\xa8sep\t0\t0\t0\n",
         "\nnames/" + QByteArray(255, 'F') + "\t2000\t1\t0\n"},
        "*");
    // Permissions alone leave out nothing the user could have seen: exit status 0. The r--
    // folder's files are listed with size 0, and said once, not file by file.
    row("unreadable folders", "nobody @ --summary %1", "locked", 0,
        {"cannot read %1/none: ", "cannot read the entries of %1/readonly/: ",
         "cannot read %1/searchonly: ", "unreadable folders 3, unreadable files 0\n"},
        ".\t13\t1\t4\nopen\t10\t1\t0\nreadonly\t0\t2\t1",
        {u"chmod 0 none"_s, u"chmod 444 readonly"_s, u"chmod 111 searchonly"_s});
    // The limit on processes holds only for a user without privileges.
    row("no thread can start", "prlimit --nproc=1 nobody @ --threads 8 --summary %1", "big", 0,
        {"with 1 threads"}, "=");
    row("some threads cannot start", "prlimit --nproc=3 nobody @ --threads 8 --summary %1", "big",
        0, {"folders 20101,"}, "=");
    row("16 descriptors", "prlimit --nofile=16 @ --threads 8 %1", "big", 0, {}, "=");
    row("8 descriptors", "prlimit --nofile=8 @ --threads 8 %1", "big", 0, {}, "=");
    const char *eio = "strace -f -o /dev/null -e inject=%s:error=EIO -P %s @ --threads 1 %%1";
    row("I/O error listing a folder", qPrintable(QString::asprintf(eio, "getdents64", "%1/sub")),
        "faults", 1, {"cannot list all of %1/sub/: Input/output error"},
        ".\t17\t1\t2\nother\t7\t1\t0\nsub\t0\t0\t0");
    row("I/O error reading a file", qPrintable(QString::asprintf(eio, "newfstatat", "y")), "faults",
        1, {"cannot read %1/sub/y: Input/output error"},
        ".\t122\t1\t2\nother\t7\t1\t0\nsub\t105\t1\t1\nsub/deeper\t5\t1\t0");
    row("I/O error opening a folder", qPrintable(QString::asprintf(eio, "openat", "deeper")),
        "faults", 1, {"cannot read %1/sub/deeper: Input/output error"},
        ".\t1117\t1\t2\nother\t7\t1\t0\nsub\t1100\t2\t1");
    row("bind-mount cycles", "@ %1", "cycles", 0,
        {"not entering %1/a/b: it is a folder above it again"},
        ".\t103\t0\t2\na\t100\t1\t1\nc\t3\t1\t1\nc/d\t0\t0\t1",
        {u"bind a a/b"_s, u"bind . c/d/e"_s});
    row("another volume mounted inside", "@ %1", "mounted", 0, {}, ".\t24\t1\t2\nafter\t13\t1\t0",
        {u"tmpfs mp"_s});
    row("file bound from another volume", "@ %1", "bound", 0, {}, ".\t7\t1\t0",
        {u"tmpfs ../volume"_s, u"bind ../volume/big covered"_s});
}

void TestWalk::commandLine()
{
    QFETCH(QString, command);
    QFETCH(QString, tree);
    QFETCH(QStringList, setup);
    QFETCH(QByteArrayList, says);
    QFETCH(QByteArray, lines);
    const QString root = QFile::decodeName(m_base) + u'/' + tree;
    if (command.startsWith(u"strace"_s) &&
        QProcess::execute(u"strace"_s, {u"-o"_s, u"/dev/null"_s, u"true"_s}) != 0)
        QSKIP("strace cannot run here: no I/O errors to inject");
    std::vector<std::function<void()>> undo;
    const auto undoAll = qScopeGuard([&] {
        for (auto step = undo.rbegin(); step != undo.rend(); ++step)
            (*step)();
    });
    for (const QString &step : setup) {
        const QStringList words = step.split(u' ');
        const QByteArray at = QFile::encodeName(root + u'/' + words.last());
        if (words[0] == u"chmod"_s) {
            QCOMPARE(::chmod(at.constData(), mode_t(words[1].toUInt(nullptr, 8))), 0);
            undo.push_back([at] { ::chmod(at.constData(), 0755); });
            continue;
        }
        if (::geteuid() != 0)
            QSKIP("mounting needs root");
        const QByteArray from = QFile::encodeName(root + u'/' + words[1]);
        if (words[0] == u"tmpfs"_s
                ? ::mount("none", at.constData(), "tmpfs", 0, "size=1m")
                : ::mount(from.constData(), at.constData(), nullptr, MS_BIND, nullptr))
            QSKIP(("cannot mount here: "_ba + std::strerror(errno)).constData());
        undo.push_back([at] { ::umount2(at.constData(), MNT_DETACH); });
        QFile big(QFile::decodeName(at + "/big"));
        QVERIFY(words[0] != u"tmpfs"_s || (big.open(QIODevice::WriteOnly) && big.resize(3000)));
    }

    const auto [code, out, err] = RunTool(command, root);
    QTEST(code, "exitCode");
    if (lines != "*")
        QCOMPARE(SortedLines(out), lines == "=" ? ToolLines(m_big) : SortedLines(lines));
    if (says.isEmpty())
        QCOMPARE(err, QByteArray());
    for (const QByteArray &said : says)
        QVERIFY2((out + err).contains(QString::fromUtf8(said).replace(u"%1"_s, root).toUtf8()),
                 (said + " in:\n" + err).constData());
}

// Memory that runs out mid-walk ends the walk with a reason, never the process.
void TestWalk::memoryRunsOut()
{
    StarvedScan scan(m_bigRoot, 500);
    errno = 0;
    QVERIFY(!Walk(m_bigRoot, scan, Walker::Options{4}));
    QCOMPARE(errno, ENOMEM);
    StarvedScan none(m_bigRoot, 0);
    Walker walker(m_bigRoot, none, Walker::Options{4});
    QVERIFY(!walker.start());
    QCOMPARE(walker.error(), ENOMEM);
}

void TestWalk::descriptorsTakenMeanwhile()
{
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 256); // so that taking them all is quick
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
    const auto restore = qScopeGuard([&] { ::setrlimit(RLIMIT_NOFILE, &saved); });
    CrowdedScan scan(m_bigRoot);
    QVERIFY(Walk(m_bigRoot, scan, Walker::Options{4}));
    Verify(scan, m_big);
}

QTEST_GUILESS_MAIN(TestWalk)
#include "tst_walk.moc"
