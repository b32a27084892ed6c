#include "DriveScan.h"
#include "FolderCollection.h"
#include "Walker.h"
#include "colFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <list>
#include <map>
#include <thread>
#include <tuple>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/un.h>
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
    quint64 size = 0;    // Regular and HardLink: the apparent size
    QByteArray target{}; // Symlink: where it points; HardLink: the group its links share
    qint64 date = DefaultDate;

    quint64 statSize() const
    {
        if (kind == Symlink)
            return quint64(target.size());
        return kind == Fifo || kind == Socket ? 0 : size;
    }
};

struct Folder
{
    QByteArray name;
    std::vector<Entry> files{};
    std::list<Folder> folders{}; // a list, so that references to subfolders stay valid
    mode_t mode = 0755;
    bool entered = true; // false once another volume is mounted on it

    Folder &folder(const QByteArray &n) { return folders.emplace_back(Folder{.name = n}); }
    Folder &add(Entry entry)
    {
        files.push_back(std::move(entry));
        return *this;
    }
    Folder &file(const QByteArray &n, quint64 size, qint64 date = DefaultDate)
    {
        return add({.name = n, .size = size, .date = date});
    }
    Folder &link(const QByteArray &n, const QByteArray &group, quint64 size)
    {
        return add({.name = n, .kind = Entry::HardLink, .size = size, .target = group});
    }
};

// Made relative to the parent folder, so that a chain may run past PATH_MAX; a folder's mode is
// set once its contents exist.
struct Builder
{
    std::map<QByteArray, std::pair<int, QByteArray>> firstLinks; // group: folder and name

    ~Builder()
    {
        for (const auto &[group, first] : firstLinks)
            ::close(first.first);
    }

    bool make(int dirFd, const Entry &entry)
    {
        const char *name = entry.name.constData();
        bool ok = true;
        if (entry.kind == Entry::HardLink && firstLinks.contains(entry.target)) {
            const auto &[fd, firstName] = firstLinks[entry.target];
            ok = ::linkat(fd, firstName.constData(), dirFd, name, 0) == 0;
        } else if (entry.kind == Entry::Regular || entry.kind == Entry::HardLink) {
            const int fd = ::openat(dirFd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            ok = fd >= 0 && (entry.size == 0 || ::ftruncate(fd, off_t(entry.size)) == 0);
            if (fd >= 0)
                ::close(fd);
            if (entry.kind == Entry::HardLink)
                firstLinks[entry.target] = {::dup(dirFd), entry.name};
        } else if (entry.kind == Entry::Symlink) {
            ok = ::symlinkat(entry.target.constData(), dirFd, name) == 0;
        } else if (entry.kind == Entry::Fifo) {
            ok = ::mkfifoat(dirFd, name, 0644) == 0;
        } else {
            // Bound through the folder's descriptor, so that the address fits whatever the path.
            const QByteArray path =
                "/proc/self/fd/"_ba + QByteArray::number(dirFd) + '/' + entry.name;
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
            const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            ok = ::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
            ::close(s);
        }
        const timespec times[2] = {{time_t(entry.date), 0}, {time_t(entry.date), 0}};
        return ok && ::utimensat(dirFd, name, times, AT_SYMLINK_NOFOLLOW) == 0;
    }

    bool build(int parentFd, const Folder &folder)
    {
        if (::mkdirat(parentFd, folder.name.constData(), 0755) != 0)
            return false;
        const int fd = ::openat(parentFd, folder.name.constData(), DirFlags);
        bool ok = fd >= 0;
        for (auto entry = folder.files.begin(); ok && entry != folder.files.end(); ++entry)
            ok = make(fd, *entry);
        for (auto sub = folder.folders.begin(); ok && sub != folder.folders.end(); ++sub)
            ok = build(fd, *sub);
        ok = ok && (folder.mode == 0755 || ::fchmod(fd, folder.mode) == 0);
        ::close(fd);
        return ok;
    }
};

bool Build(const QByteArray &base, const Folder &root)
{
    const int baseFd = ::open(base.constData(), DirFlags);
    const bool ok = Builder().build(baseFd, root);
    if (!ok)
        qWarning("cannot make %s: %s", root.name.constData(), std::strerror(errno));
    ::close(baseFd);
    return ok;
}

// Trees go on a memory file system when there is one: making a hundred thousand files on a disk
// takes many times longer.
QString ScratchTemplate()
{
    struct statfs fs;
    if (::statfs("/dev/shm", &fs) == 0 && fs.f_type == TMPFS_MAGIC &&
        ::access("/dev/shm", W_OK) == 0)
        return u"/dev/shm/tst_walk-XXXXXX"_s;
    return QDir::tempPath() + u"/tst_walk-XXXXXX"_s;
}

struct Listed
{
    QByteArray name;
    bool isDirectory;
};

// The folder's entries in the file system's order. Reopened through /proc, since a folder that
// can be listed but not searched has no "." to open.
std::vector<Listed> ListFolder(int fd)
{
    std::vector<Listed> entries;
    const QByteArray self = "/proc/self/fd/"_ba + QByteArray::number(fd);
    DIR *dir = ::fdopendir(::open(self.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    while (const dirent *d = dir ? ::readdir(dir) : nullptr) {
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
            continue;
        struct stat st;
        const bool isDirectory = ::fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0
                                     ? S_ISDIR(st.st_mode)
                                     : d->d_type == DT_DIR;
        entries.push_back({QByteArray(d->d_name), isDirectory});
    }
    if (dir)
        ::closedir(dir);
    return entries;
}

// QDir cannot remove a tree whose paths exceed PATH_MAX; this goes folder by folder.
void RemoveTree(int parentFd, const QByteArray &name)
{
    if (const int fd = ::openat(parentFd, name.constData(), DirFlags); fd >= 0) {
        for (const Listed &entry : ListFolder(fd)) {
            if (entry.isDirectory)
                RemoveTree(fd, entry.name);
            else
                ::unlinkat(fd, entry.name.constData(), 0);
        }
        ::close(fd);
    }
    ::unlinkat(parentFd, name.constData(), AT_REMOVEDIR);
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
    QByteArrayList files; // FileLine of each, in listing order
};
// By path relative to the root: "" for the root, "a/b/" below it.
using Expectation = std::map<QByteArray, Expected>;

// An unprivileged one-thread walk in pre-order: a folder's own files, then its subfolders in
// listing order. The first link of a hard-linked file met this way is the one that counts.
quint64 Expect(const Folder &folder, int fd, const QByteArray &relative,
               QSet<QByteArray> &countedLinks, Expectation &out)
{
    Expected e;
    struct stat st;
    ::fstat(fd, &st);
    e.date = st.st_mtim.tv_sec;
    const bool searchable = folder.mode & S_IXUSR;
    QHash<QByteArray, const Entry *> files;
    for (const Entry &entry : folder.files)
        files.insert(entry.name, &entry);
    QHash<QByteArray, const Folder *> folders;
    for (const Folder &sub : folder.folders)
        folders.insert(sub.name, &sub);

    const std::vector<Listed> listing = ListFolder(fd);
    for (const Listed &listed : listing) {
        if (listed.isDirectory) {
            ++e.subfolders;
            continue;
        }
        const Entry *entry = files.value(listed.name);
        if (!entry) {
            e.files.append("not in the description: "_ba + listed.name);
            continue;
        }
        // In a folder that can be listed but not searched, only the names can be known.
        const quint64 size = searchable ? entry->statSize() : 0;
        e.files.append(FileLine(listed.name, size, searchable ? entry->date : 0));
        const bool linkCounted =
            entry->kind == Entry::HardLink && countedLinks.contains(entry->target);
        if (entry->kind == Entry::HardLink && searchable)
            countedLinks.insert(entry->target);
        e.total += linkCounted ? 0 : size;
    }
    for (const Listed &listed : listing) {
        const Folder *sub = folders.value(listed.name);
        if (!listed.isDirectory || !searchable || !sub || !sub->entered || !(sub->mode & S_IRUSR))
            continue;
        const int subFd = ::openat(fd, listed.name.constData(), DirFlags);
        e.total += Expect(*sub, subFd, relative + listed.name + '/', countedLinks, out);
        ::close(subFd);
    }
    return (out[relative] = std::move(e)).total;
}

Expectation ExpectedRecords(const QByteArray &base, const Folder &root)
{
    Expectation out;
    QSet<QByteArray> countedLinks;
    const int fd = ::open((base + '/' + root.name).constData(), DirFlags);
    Expect(root, fd, {}, countedLinks, out);
    ::close(fd);
    return out;
}

QByteArray Summary(const QByteArray &relative, quint64 total, qsizetype files, quint32 subfolders,
                   qint64 date)
{
    return relative + " total " + QByteArray::number(total) + " files " +
           QByteArray::number(files) + " subfolders " + QByteArray::number(subfolders) + " date " +
           QByteArray::number(date);
}

void Verify(const DriveScan &scan, const Expectation &expected)
{
    QCOMPARE(scan.count(), qsizetype(expected.size()));
    for (qsizetype i = 0; i < scan.count(); ++i) {
        const WalkSink::FolderId parent = scan.parentOf(WalkSink::FolderId(i));
        QVERIFY2(i == 0 ? parent == WalkSink::NoFolder : parent < WalkSink::FolderId(i),
                 "a folder's record comes after its parent's");
    }
    for (const auto &[relative, e] : expected) {
        const colFile folder = scan.folder(scan.indexOf(scan.rootPath() + relative));
        QVERIFY2(!folder.isNull(), relative.toHex().constData());
        QCOMPARE(folder.Path(), scan.rootPath() + relative);
        QCOMPARE(Summary(relative, folder.Size(), folder.Count(), folder.subfolderEntries(),
                         folder.LDate()),
                 Summary(relative, e.total, e.files.size(), e.subfolders, e.date));
        QByteArrayList files;
        for (const clsFile &file : folder.files())
            files.append(FileLine(file.LFile, file.LSize, file.LDate));
        QCOMPARE(files, e.files);
    }
}

// Waits for a walk with a generous limit, so that a hang fails the test instead of stalling it.
bool Finish(Walker &walker)
{
    QElapsedTimer timer;
    timer.start();
    while (!walker.isFinished() && !timer.hasExpired(20000))
        std::this_thread::sleep_for(1ms);
    if (!walker.isFinished())
        return false;
    walker.wait();
    return true;
}

struct ToolRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun RunTool(QStringList arguments, const QString &workingDirectory = {},
                bool unprivileged = false)
{
    QString program = QString::fromUtf8(QUARNEL_SCAN_TOOL);
    if (unprivileged) {
        arguments.prepend(program);
        arguments =
            QStringList{u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s, u"--"_s} +
            arguments;
        program = u"setpriv"_s;
    }
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

// Another user must reach the tree: every folder on the way needs search permission for others.
bool OthersCanReach(QByteArray path)
{
    for (; !path.isEmpty(); path.truncate(path.lastIndexOf('/'))) {
        struct stat st;
        if (::stat(path.constData(), &st) != 0 || !(st.st_mode & S_IXOTH))
            return false;
    }
    return true;
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
    void toolReportsEveryFolder();
    void unreadableFolders();
    void mountedVolumeIsCountedNotEntered();
    void filesVanishingDuringTheWalk();
    void stopEndsTheWalkEarly();
    void totalsOnlyGrowWhileTheWalkRuns();
    void collectionKeepsVolumesApart();
    void commandLine_data();
    void commandLine();

private:
    void buildBigTree();

    QTemporaryDir m_tmp{ScratchTemplate()};
    QByteArray m_base;
    QByteArray m_hostileRoot; // ends with "/"
    Expectation m_hostile;
    QByteArray m_bigRoot;
    Expectation m_big;
};

void TestWalk::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    m_base = QFile::encodeName(m_tmp.path());
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
    many.files.reserve(100'000);
    for (int i = 0; i < 100'000; ++i)
        many.file("f"_ba + QByteArray::number(i).rightJustified(6, '0'), quint64(i % 10));

    // Hard links. "top" has its first link in the parent of the others. In each mirrored group
    // the first link in pre-order lies past a folder of 3,000 files in one sibling, while the other
    // sibling holds a link at its top, which a second thread reaches long before; either sibling
    // may be listed first, so one of the two groups always puts that race to the test.
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

    Folder &special = root.folder("special"_ba);
    special.file("plain"_ba, 777);
    for (const auto &[name, target] : {std::pair{"to-file"_ba, "plain"_ba},
                                       {"to-dir"_ba, "target"_ba},
                                       {"to-root"_ba, "/"_ba},
                                       {"loop-a"_ba, "loop-b"_ba},
                                       {"loop-b"_ba, "loop-a"_ba},
                                       {"dangling"_ba, "nowhere/at/all"_ba}})
        special.add({.name = name, .kind = Entry::Symlink, .target = target});
    special.add({.name = "pipe"_ba, .kind = Entry::Fifo})
        .add({.name = "sock"_ba, .kind = Entry::Socket});
    special.folder("target"_ba).file("inside"_ba, 5);

    Folder &sparse = root.folder("sparse"_ba);
    sparse.file("huge"_ba, quint64(5) << 30)
        .folder("inner"_ba)
        .file("huge2"_ba, (quint64(5) << 30) + 1);

    root.folder("empty"_ba);
    root.folder("dates"_ba)
        .file("epoch"_ba, 3, 0)
        .file("before-epoch"_ba, 3, -86400)
        .file("y2033"_ba, 3, 2'000'000'000)
        .file("y2001"_ba, 3, 1'000'000'000);

    QVERIFY(Build(m_base, root));
    // The other link of "lonely" lies outside the walked tree.
    QCOMPARE(::link((m_base + "/hostile/links/lonely").constData(),
                    (m_base + "/lonely-outside").constData()),
             0);
    m_hostileRoot = m_base + "/hostile/";
    m_hostile = ExpectedRecords(m_base, root);
    qsizetype longest = 0;
    for (const auto &[relative, e] : m_hostile)
        longest = std::max(longest, relative.size());
    QVERIFY(longest > PATH_MAX);
}

void TestWalk::cleanupTestCase()
{
    const int fd = ::open(m_base.constData(), DirFlags);
    RemoveTree(fd, "hostile"_ba);
    ::close(fd);
}

void TestWalk::hostileTree_data()
{
    QTest::addColumn<int>("threads");
    QTest::newRow("1 thread") << 1;
    QTest::newRow("2 threads") << 2;
    QTest::newRow("8 threads") << 8;
}

void TestWalk::hostileTree()
{
    QFETCH(int, threads);
    DriveScan scan(m_hostileRoot);
    Walker walker(m_hostileRoot, scan, Walker::Options{threads});
    QVERIFY(walker.start());
    if (!Finish(walker)) {
        // A walk stuck opening the FIFO gets a writer, so that it can end.
        ::close(::open((m_hostileRoot + "special/pipe").constData(), O_RDWR | O_NONBLOCK));
        QFAIL("the walk did not end");
    }
    QCOMPARE(walker.threadCount(), threads);
    QCOMPARE(walker.foldersListed(), quint64(m_hostile.size()));
    QCOMPARE(walker.currentFolder(), WalkSink::NoFolder);
    Verify(scan, m_hostile);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(scan.indexOf(m_hostileRoot + "special/to-dir/"), qsizetype(-1));
    QCOMPARE(scan.indexOf(m_hostileRoot + "DOCS/"), qsizetype(-1));

    // Parts on their own, where no other part keeps the threads busy: they race for hard links,
    // and open deep folders by paths longer than PATH_MAX.
    for (const QByteArray &part : {"links/"_ba, "deep/"_ba}) {
        Expectation expected;
        for (const auto &[relative, e] : m_hostile)
            if (relative.startsWith(part))
                expected.emplace(relative.sliced(part.size()), e);
        DriveScan partScan(m_hostileRoot + part);
        QVERIFY(Walk(m_hostileRoot + part, partScan, Walker::Options{threads}));
        Verify(partScan, expected);
        if (QTest::currentTestFailed())
            return;
    }
}

void TestWalk::toolReportsEveryFolder()
{
    const ToolRun run = RunTool({u"--threads=2"_s, QFile::decodeName(m_hostileRoot.chopped(1))});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    const QByteArrayList lines = run.out.split('\n');
    QCOMPARE(lines.size(), qsizetype(m_hostile.size()) + 1);
    QCOMPARE(lines.back(), QByteArray());

    const auto line = [this](const QByteArray &shown, const QByteArray &relative) {
        const Expected &e = m_hostile.at(relative);
        return shown + '\t' + QByteArray::number(e.total) + '\t' +
               QByteArray::number(e.files.size()) + '\t' + QByteArray::number(e.subfolders);
    };
    QCOMPARE(lines.front(), line("."_ba, {}));
    const QByteArrayList expected = {
        line("names/dir\\x0anl"_ba, "names/dir\nnl/"_ba),
        line("names/\\xff\\xfe-dir"_ba, "names/\xff\xfe-dir/"_ba),
        line("names/back\\\\slash-dir"_ba, "names/back\\slash-dir/"_ba),
        line("names/été"_ba, "names/été/"_ba),
        line("names/line\\xe2\\x80\\xa8sep"_ba, "names/line\xe2\x80\xa8sep/"_ba),
        line("names/"_ba + QByteArray(255, 'F'), "names/"_ba + QByteArray(255, 'F') + '/'),
    };
    for (const QByteArray &wanted : expected)
        QVERIFY2(lines.contains(wanted), wanted.constData());
}

void TestWalk::unreadableFolders()
{
    const bool privileged = ::geteuid() == 0;
    if (privileged && QStandardPaths::findExecutable(u"setpriv"_s).isEmpty())
        QSKIP("running as root, and setpriv (util-linux) is needed to walk as another user");
    QTemporaryDir tmp(ScratchTemplate());
    QVERIFY(tmp.isValid());
    const QByteArray base = QFile::encodeName(tmp.path());
    QCOMPARE(::chmod(base.constData(), 0755), 0);
    if (privileged && !OthersCanReach(base))
        QSKIP("the temporary folder is out of reach of an unprivileged user");

    Folder root{.name = "locked"_ba};
    root.file("rootfile"_ba, 3).folder("open"_ba).file("a"_ba, 10);
    Folder &none = root.folder("none"_ba);
    none.file("x"_ba, 100).folder("sub"_ba);
    none.mode = 0;
    Folder &readOnly = root.folder("readonly"_ba);
    readOnly.file("f1"_ba, 7).file("f2"_ba, 9).folder("sub"_ba).file("z"_ba, 1000);
    readOnly.mode = 0444;
    root.folder("searchonly"_ba).file("y"_ba, 50).mode = 0111;
    const QByteArray path = base + "/locked";
    const auto unlock = qScopeGuard([&] {
        for (const char *name : {"/none", "/readonly", "/searchonly"})
            ::chmod((path + name).constData(), 0755);
    });
    QVERIFY(Build(base, root));

    const ToolRun run = RunTool({QFile::decodeName(path)}, {}, privileged);
    QCOMPARE(run.exitCode, 0);
    QByteArrayList lines = run.out.split('\n');
    std::sort(lines.begin(), lines.end());
    QCOMPARE(lines, (QByteArrayList{""_ba, ".\t13\t1\t4"_ba, "open\t10\t1\t0"_ba,
                                    "readonly\t0\t2\t1"_ba}));
    QCOMPARE(run.err.count('\n'), qsizetype(3));
    for (const QByteArray &name : {"/none: "_ba, "/readonly/sub: "_ba, "/searchonly: "_ba})
        QVERIFY2(run.err.contains("cannot read "_ba + path + name), run.err.constData());

    // The same walk in this process, as that user when running as root. In a folder that can be
    // listed but not searched, the names are known and the sizes and dates are not.
    const Expectation expected = ExpectedRecords(base, root);
    if (privileged && ::seteuid(65534) != 0)
        QFAIL("cannot take another user's identity");
    const auto regain = qScopeGuard([&] {
        if (privileged && ::seteuid(0) != 0)
            qFatal("cannot become root again");
    });
    DriveScan scan(path + '/');
    QVERIFY(Walk(path, scan, Walker::Options{2}));
    Verify(scan, expected);
}

void TestWalk::mountedVolumeIsCountedNotEntered()
{
    if (::geteuid() != 0)
        QSKIP("mounting a tmpfs inside the tree needs root");
    QTemporaryDir tmp(ScratchTemplate());
    QVERIFY(tmp.isValid());
    const QByteArray base = QFile::encodeName(tmp.path());
    Folder root{.name = "mounted"_ba};
    root.file("before"_ba, 11);
    Folder &mountPoint = root.folder("mp"_ba);
    mountPoint.file("hidden"_ba, 999); // under the mount, out of sight
    root.folder("after"_ba).file("x"_ba, 13);
    QVERIFY(Build(base, root));

    const QByteArray mountPath = base + "/mounted/mp";
    if (::mount("none", mountPath.constData(), "tmpfs", 0, "size=1m") != 0)
        QSKIP(("cannot mount a tmpfs here: "_ba + std::strerror(errno)).constData());
    const auto unmount = qScopeGuard([&] { ::umount2(mountPath.constData(), MNT_DETACH); });
    const int fd =
        ::open((mountPath + "/inside").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::ftruncate(fd, 500), 0);
    ::close(fd);
    mountPoint.entered = false;

    DriveScan scan(base + "/mounted/");
    QVERIFY(Walk(base + "/mounted", scan, Walker::Options{2}));
    Verify(scan, ExpectedRecords(base, root));
}

void TestWalk::filesVanishingDuringTheWalk()
{
    QTemporaryDir tmp(ScratchTemplate());
    QVERIFY(tmp.isValid());
    const QByteArray base = QFile::encodeName(tmp.path());
    const auto fileSize = [](int j) { return quint64(j + 1) * 1000 + 1; };
    Folder root{.name = "vanish"_ba};
    QByteArrayList leaves;
    for (int t = 0; t < 12; ++t) {
        Folder &top = root.folder("t"_ba + QByteArray::number(t));
        for (int l = 0; l < 12; ++l) {
            Folder &leaf = top.folder("l"_ba + QByteArray::number(l));
            leaf.folder("gone"_ba);
            for (int j = 0; j < 150; ++j)
                leaf.file("f"_ba + QByteArray::number(j), fileSize(j));
            leaves.append(base + "/vanish/" + top.name + '/' + leaf.name + '/');
        }
    }
    QVERIFY(Build(base, root));

    // Half the leaves lose their files a sweep at a time, so that files go from folders while
    // they are being listed; an empty folder in each of them goes early on.
    std::atomic<bool> go{false};
    std::thread deleter([&] {
        while (!go.load())
            std::this_thread::yield();
        for (int j = 0; j < 150; ++j) {
            for (qsizetype i = 1; i < leaves.size(); i += 2) {
                ::unlink((leaves[i] + 'f' + QByteArray::number(j)).constData());
                if (j == 3)
                    ::rmdir((leaves[i] + "gone").constData());
            }
        }
    });
    const auto joinDeleter = qScopeGuard([&] {
        go.store(true);
        deleter.join();
    });
    const QByteArray rootPath = base + "/vanish/";
    DriveScan scan(rootPath);
    Walker walker(rootPath, scan, Walker::Options{2});
    go.store(true);
    QVERIFY(walker.start());
    QVERIFY(Finish(walker));

    // Whatever vanished, every record adds up, and every recorded file is one that was made.
    const qsizetype count = scan.count();
    std::vector<quint64> belowSum(size_t(count), 0);
    for (qsizetype i = 1; i < count; ++i)
        belowSum[scan.parentOf(WalkSink::FolderId(i))] += scan.sizeOf(WalkSink::FolderId(i));
    QByteArrayList problems;
    for (qsizetype i = 0; i < count; ++i) {
        const colFile folder = scan.folder(i);
        quint64 own = 0;
        for (const clsFile &file : folder.files()) {
            bool ok = false;
            const int j = file.LFile.toByteArray().mid(1).toInt(&ok);
            if (!ok || file.LSize != fileSize(j))
                problems.append(folder.Path() + FileLine(file.LFile, file.LSize, file.LDate));
            own += file.LSize;
        }
        if (folder.Size() != own + belowSum[size_t(i)])
            problems.append(folder.Path() + " total " + QByteArray::number(folder.Size()));
    }
    QVERIFY(count >= 1);
    QCOMPARE(problems, QByteArrayList());
}

void TestWalk::buildBigTree()
{
    if (!m_big.empty())
        return;
    Folder root{.name = "big"_ba};
    for (int t = 0; t < 100; ++t) {
        Folder &top = root.folder("t"_ba + QByteArray::number(t));
        top.file("top"_ba, quint64(1000 + t));
        for (int l = 0; l < 200; ++l) {
            Folder &leaf = top.folder("l"_ba + QByteArray::number(l));
            for (int j = 0; j < l % 3; ++j)
                leaf.file("f"_ba + QByteArray::number(j), quint64(1 + j + l));
        }
    }
    QVERIFY(Build(m_base, root));
    m_bigRoot = m_base + "/big/";
    m_big = ExpectedRecords(m_base, root);
    QCOMPARE(m_big.size(), size_t(1 + 100 + 100 * 200));
}

void TestWalk::stopEndsTheWalkEarly()
{
    buildBigTree();
    DriveScan scan(m_bigRoot);
    Walker walker(m_bigRoot, scan, Walker::Options{2});
    std::atomic<int> finishedCalls{0};
    walker.setFinishedHandler([&] { ++finishedCalls; });
    QVERIFY(walker.start());
    QElapsedTimer timer;
    timer.start();
    while (walker.foldersListed() < 200 && !timer.hasExpired(10000))
        std::this_thread::yield();
    walker.requestStop();
    timer.restart();
    walker.wait();
    QVERIFY2(timer.elapsed() < 2000, "stopping must not wait for the rest of the tree");
    QVERIFY(walker.wasStopped());
    QVERIFY(walker.isFinished());
    QCOMPARE(finishedCalls.load(), 1);
    QVERIFY(scan.count() < qsizetype(m_big.size()));

    // What was recorded before the stop is whole: a folder's files are all there or none are.
    QByteArrayList problems;
    for (qsizetype i = 0; i < scan.count(); ++i) {
        const colFile folder = scan.folder(i);
        const auto it = m_big.find(folder.Path().sliced(m_bigRoot.size()));
        if (it == m_big.end() ||
            (folder.Count() != 0 && folder.Count() != it->second.files.size()) ||
            folder.Size() > it->second.total)
            problems.append(folder.Path());
    }
    QCOMPARE(problems, QByteArrayList());
}

void TestWalk::totalsOnlyGrowWhileTheWalkRuns()
{
    buildBigTree();
    DriveScan scan(m_bigRoot);
    Walker walker(m_bigRoot, scan, Walker::Options{2});
    const size_t folders = m_big.size();
    std::vector<quint64> lastSize(folders, 0);
    std::vector<quint32> seenCount(folders, 0);
    QByteArrayList problems;
    quint64 lastListed = 0;
    QVERIFY(walker.start());
    QElapsedTimer timer;
    timer.start();
    while (!walker.isFinished() && !timer.hasExpired(20000)) {
        if (walker.foldersListed() < lastListed)
            problems.append("folders listed went back"_ba);
        lastListed = walker.foldersListed();
        const size_t made = std::min(size_t(scan.count()), folders);
        for (size_t i = 0; i < made; ++i) {
            const auto id = WalkSink::FolderId(i);
            const quint64 size = scan.sizeOf(id);
            const quint32 files = scan.fileCountOf(id);
            if (size < lastSize[i] || (seenCount[i] != 0 && files != seenCount[i]))
                problems.append(scan.pathOf(id));
            lastSize[i] = size;
            seenCount[i] = files;
        }
    }
    QVERIFY(Finish(walker));
    QCOMPARE(problems, QByteArrayList());
    QCOMPARE(walker.foldersListed(), quint64(folders));
    Verify(scan, m_big);
}

void TestWalk::collectionKeepsVolumesApart()
{
    QTemporaryDir tmp(ScratchTemplate());
    QVERIFY(tmp.isValid());
    const QByteArray base = QFile::encodeName(tmp.path());
    // "home" plays a volume mounted inside the other's tree, scanned as a drive of its own.
    Folder root{.name = "fc"_ba};
    root.file("a"_ba, 1).folder("x"_ba).file("y"_ba, 2);
    Folder &home = root.folder("home"_ba);
    home.file("h"_ba, 4).folder("u"_ba).file("k"_ba, 8);
    home.folder("v"_ba);
    QVERIFY(Build(base, root));
    const QByteArray rootA = base + "/fc/";
    const QByteArray rootB = rootA + "home/";

    for (const bool removeOuter : {false, true}) {
        FolderCollection collection;
        QVERIFY(Walk(rootA, collection.addDrive(rootA)) && Walk(rootB, collection.addDrive(rootB)));
        QCOMPARE(collection.count(), qsizetype(8));
        QCOMPARE(collection.at(1).Path(), rootA);
        QCOMPARE(collection.at(5).drive(), collection.drive(rootA));
        QCOMPARE(collection.at(6).Path(), rootB);
        QCOMPARE(collection.at(8).drive(), collection.drive(rootB));
        QVERIFY(collection.at(0).isNull() && collection.at(9).isNull());
        QCOMPARE(collection.find(rootA + "x/").Size(), quint64(2));
        QCOMPARE(collection.find(rootB + "u/").Size(), quint64(8));
        for (const QByteArray &missing :
             {rootA + "X/", rootA + "HOME/u/", rootA + "x", rootA + "x/y/"})
            QVERIFY2(collection.find(missing).isNull(), missing.constData());

        // Every record of the other volume stays, by position and by path.
        const QByteArray removed = removeOuter ? rootA : rootB;
        const QByteArray kept = removeOuter ? rootB : rootA;
        collection.removeDrive(removed);
        const DriveScan *keptScan = collection.drive(kept);
        QVERIFY(keptScan && !collection.drive(removed));
        QCOMPARE(collection.count(), qsizetype(removeOuter ? 3 : 5));
        for (qsizetype i = 0; i < collection.count(); ++i) {
            QCOMPARE(collection.at(i + 1).drive(), keptScan);
            QCOMPARE(collection.find(keptScan->pathOf(WalkSink::FolderId(i))).drive(), keptScan);
        }
        QCOMPARE(collection.find(kept).Size(), quint64(removeOuter ? 12 : 15));
        QCOMPARE(collection.find(rootA + "x/").isNull(), removeOuter);
        collection.removeDrive(rootA + "x/"); // not a drive: nothing goes
        QCOMPARE(collection.count(), qsizetype(removeOuter ? 3 : 5));
    }
}

void TestWalk::commandLine_data()
{
    // "@" stands for a small tree: a 6-byte "file" and a folder "-dash" holding a 6-byte file.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("says");
    const auto row = [](const char *name, const QStringList &arguments, int code,
                        const QByteArray &says) {
        QTest::newRow(name) << arguments << code << says;
    };
    row("no root", {}, 2, "no ROOT given"_ba);
    row("nonexistent root", {u"@/missing"_s}, 2, "cannot read"_ba);
    row("root is a file", {u"@/file"_s}, 2, "cannot read"_ba);
    row("two roots", {u"@"_s, u"@"_s}, 2, "only one ROOT"_ba);
    row("unknown option", {u"--frobnicate"_s, u"@"_s}, 2, "unknown option --frobnicate"_ba);
    row("threads zero", {u"--threads"_s, u"0"_s, u"@"_s}, 2, "--threads needs"_ba);
    row("threads too many", {u"--threads=257"_s, u"@"_s}, 2, "--threads needs"_ba);
    row("threads trailing junk", {u"--threads=3x"_s, u"@"_s}, 2, "--threads needs"_ba);
    row("threads without value", {u"@"_s, u"--threads"_s}, 2, "--threads needs"_ba);
    row("help", {u"--help"_s}, 0, "Usage: quarnel-scan"_ba);
    row("help after a root", {u"@"_s, u"--help"_s}, 0, "Usage: quarnel-scan"_ba);
    row("threads given", {u"--threads"_s, u"3"_s, u"@"_s}, 0, ".\t12\t1\t1\n-dash\t6\t1\t0\n"_ba);
    row("dash root after --", {u"--"_s, u"-dash"_s}, 0, ".\t6\t1\t0\n"_ba);
}

void TestWalk::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, says);
    QTemporaryDir tmp(ScratchTemplate());
    QVERIFY(tmp.isValid());
    Folder root{.name = "cli"_ba};
    root.file("file"_ba, 6).folder("-dash"_ba).file("six"_ba, 6);
    QVERIFY(Build(QFile::encodeName(tmp.path()), root));
    const QString treePath = tmp.path() + u"/cli"_s;
    for (QString &argument : arguments)
        argument.replace(u"@"_s, treePath);

    const ToolRun run = RunTool(arguments, treePath);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2((run.out + run.err).contains(says), (run.out + run.err).constData());
    if (exitCode != 0)
        QCOMPARE(run.out, QByteArray());
}

QTEST_GUILESS_MAIN(TestWalk)
#include "tst_walk.moc"
