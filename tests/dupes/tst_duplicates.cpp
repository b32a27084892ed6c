#include "CopyRemoval.h"
#include "DriveScan.h"
#include "DuplicateSearch.h"
#include "FileContent.h"
#include "RaceHook.h"
#include "UniqueFd.h"
#include "Walker.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

using InodeGroups = std::set<std::set<quint64>>;

quint64 InodeOf(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 ? st.st_ino : 0;
}

// Bytes made from a seed: the same seed, the same bytes.
QByteArray Content(qint64 size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (qint64 at = 0; at + 4 <= size; at += 4) {
        const quint32 word = random.generate();
        std::memcpy(bytes.data() + at, &word, 4);
    }
    return bytes;
}

void WriteFile(const QByteArray &path, const QByteArray &bytes)
{
    QDir().mkpath(QString::fromUtf8(path.first(path.lastIndexOf('/'))));
    QFile file(QString::fromUtf8(path));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A tree from words: "path=SIZE:SEED" writes seeded bytes, "path=SIZE:SEED@AT" the same with
// the byte at AT changed, "path=SIZE:hole" a file of holes only, "path=SIZE:zero" one of zeros
// written out, "path>target" a second name of
// target. Sizes take K and M.
void MakeTree(const QByteArray &root, const QByteArray &spec)
{
    for (const QByteArray &word : spec.split(' ')) {
        if (const qsizetype link = word.indexOf('>'); link > 0) {
            QDir().mkpath(QString::fromUtf8(root + word.first(word.lastIndexOf('/', link) + 1)));
            QVERIFY(::link((root + word.sliced(link + 1)).constData(),
                           (root + word.first(link)).constData()) == 0);
            continue;
        }
        const qsizetype equals = word.indexOf('=');
        const QByteArray path = root + word.first(equals);
        QByteArray size = word.sliced(equals + 1);
        QByteArray seed = size.sliced(size.indexOf(':') + 1);
        size.truncate(size.indexOf(':'));
        const qint64 unit = size.endsWith('K') ? 1024 : size.endsWith('M') ? 1 << 20 : 1;
        if (unit > 1)
            size.chop(1);
        const qint64 bytes = size.toLongLong() * unit;
        if (seed == "zero") {
            WriteFile(path, QByteArray(bytes, 0));
            continue;
        }
        if (seed == "hole") {
            WriteFile(path, {});
            QVERIFY(::truncate(path.constData(), bytes) == 0);
            continue;
        }
        qint64 flip = -1;
        if (const qsizetype at = seed.indexOf('@'); at > 0) {
            flip = seed.sliced(at + 1).toLongLong();
            seed.truncate(at);
        }
        QByteArray content = Content(bytes, seed.toUInt());
        if (flip >= 0)
            content[flip] = char(content[flip] ^ 0x5a);
        WriteFile(path, content);
    }
}

std::shared_ptr<DriveScan> Walked(const QByteArray &root)
{
    auto scan = std::make_shared<DriveScan>(root);
    if (!Walk(root, *scan))
        qWarning("the walk of %s failed", root.constData());
    return scan;
}

InodeGroups InodesOf(const DuplicateResult &result)
{
    InodeGroups groups;
    for (const DuplicateGroup &group : result.groups) {
        std::set<quint64> inodes;
        for (const DuplicateCopy &copy : group.copies)
            inodes.insert(copy.inode);
        groups.insert(inodes);
    }
    return groups;
}

// "a,b;c,d": groups of paths below root, as the inodes they name.
InodeGroups ExpectedInodes(const QByteArray &root, const QByteArray &groups)
{
    InodeGroups expected;
    for (const QByteArray &group : groups.split(';')) {
        std::set<quint64> inodes;
        for (const QByteArray &path : group.split(','))
            if (!path.isEmpty())
                inodes.insert(InodeOf(root + path));
        if (!inodes.empty())
            expected.insert(inodes);
    }
    return expected;
}

DuplicateResult Search(const DriveScan &scan, quint64 minimum = 1)
{
    DuplicateOptions options;
    options.minimumSize = minimum;
    return FindDuplicates(scan, 0, options);
}

} // namespace

// Groups found on trees made to fool each step, and freeing them while someone changes the disk:
// what is freed is always a true copy of what is kept.
class TestDuplicates : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void groups_data();
    void groups();
    void leftOut();
    void folders();
    void savedScan();
    void pageCache();
    void stop();
    void removal_data();
    void removal();
    void shareAnswers();
    void reflinks();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_root;
};

void TestDuplicates::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_root = m_dir->path().toUtf8() + "/tree/";
    QDir().mkpath(QString::fromUtf8(m_root));
    qputenv("XDG_DATA_HOME", m_dir->path().toUtf8() + "/data");
    QDir().mkpath(m_dir->path() + u"/data"_s);
}

void TestDuplicates::groups_data()
{
    QTest::addColumn<QByteArray>("tree");
    QTest::addColumn<quint64>("minimum");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<quint64>("waste");

    QTest::newRow("copies in three folders") << "a/x=300K:1 b/x=300K:1 c/d/y=300K:1 e=300K:2"_ba
                                             << 1ull << "a/x,b/x,c/d/y"_ba << 600 * 1024ull;
    QTest::newRow("a file's names are one copy")
        << "c/x=200K:1 a/x>c/x b/x=200K:1 a/x2>c/x"_ba << 1ull << "a/x,b/x"_ba << 200 * 1024ull;
    // Its names met among files of another content of the same size are still its own.
    QByteArray mixed = "a/x=200K:1 a/w=200K:1";
    for (int at = 1; at <= 8; ++at)
        mixed += " a/x" + QByteArray::number(at) + ">a/x a/y" + QByteArray::number(at) + "=200K:2";
    QTest::newRow("names among other files")
        << mixed << 1ull << "a/x,a/w;a/y1,a/y2,a/y3,a/y4,a/y5,a/y6,a/y7,a/y8"_ba
        << 8 * 200 * 1024ull;
    QTest::newRow("names of one file alone are no group")
        << "a/x=200K:1 b/x>a/x"_ba << 1ull << ""_ba << 0ull;
    // Equal edges, a different middle: the whole hash tells them apart.
    QTest::newRow("the middle differs")
        << "x=2M:1 y=2M:1@1000000 z=2M:1"_ba << 1ull << "x,z"_ba << 2 * 1048576ull;
    QTest::newRow("the first byte differs") << "x=2M:1 y=2M:1@0"_ba << 1ull << ""_ba << 0ull;
    QTest::newRow("the last byte differs") << "x=2M:1 y=2M:1@2097151"_ba << 1ull << ""_ba << 0ull;
    QTest::newRow("small files read whole at once")
        << "x=10K:3 y=10K:3 z=10K:3@5000"_ba << 1ull << "x,y"_ba << 10 * 1024ull;
    QTest::newRow("holes only, and zeros written out")
        << "s=64M:hole t=64M:hole z=64M:zero u=64M:3"_ba << 1ull << "s,t,z"_ba
        << 2 * 64 * 1048576ull;
    QTest::newRow("below the minimum")
        << "x=100K:1 y=100K:1 z=2M:4 w=2M:4"_ba << 1048576ull << "z,w"_ba << 2 * 1048576ull;
    QTest::newRow("empty files are no copies") << "x=0:1 y=0:1"_ba << 0ull << ""_ba << 0ull;
}

void TestDuplicates::groups()
{
    QFETCH(QByteArray, tree);
    QFETCH(quint64, minimum);
    QFETCH(QByteArray, expected);
    QFETCH(quint64, waste);
    MakeTree(m_root, tree);
    const auto scan = Walked(m_root);
    const DuplicateResult result = Search(*scan, minimum);
    QVERIFY(result.complete);
    QCOMPARE(result.unreadable, 0u);
    QCOMPARE(InodesOf(result), ExpectedInodes(m_root, expected));
    QCOMPARE(result.waste(SizeMeasure::Apparent), waste);
    // A file's names are one copy, shown by the first of them by path; removing one name of
    // it frees nothing while the others stay.
    for (const DuplicateGroup &group : result.groups)
        for (size_t at = 0; at < group.copies.size(); ++at) {
            const DuplicateCopy &copy = group.copies[at];
            const bool linked = copy.inode == InodeOf(m_root + "a/x") && tree.contains('>');
            QCOMPARE(copy.names, linked ? quint32(tree.count('>') + 1) : 1u);
            if (linked) {
                QCOMPARE(scan->pathOf(copy.folder) + copy.name, m_root + "a/x");
                QCOMPARE(group.freedKeeping(at, SizeMeasure::Apparent), group.size);
                QCOMPARE(group.freedKeeping(1 - at, SizeMeasure::OnDisk), 0ull);
            }
        }
}

// Files that changed since the walk, or are no longer files, are told and left out.
void TestDuplicates::leftOut()
{
    MakeTree(m_root, "a=1M:1 b=1M:1 c=1M:1 d=300K:2 e=300K:2 f=300K:2");
    const auto scan = Walked(m_root);
    WriteFile(m_root + "a", Content(1 << 20, 1) + "x");
    QVERIFY(::unlink((m_root + "d").constData()) == 0);
    QVERIFY(::mkfifo((m_root + "d").constData(), 0600) == 0);
    const DuplicateResult result = Search(*scan);
    QCOMPARE(InodesOf(result), ExpectedInodes(m_root, "b,c;e,f"));
    QCOMPARE(result.unreadable, 2u);
    std::map<QByteArray, int> why;
    for (const DuplicateResult::Unread &unread : result.unreadSample)
        why[unread.path] = unread.error;
    QCOMPARE(why, (std::map<QByteArray, int>{{m_root + "a", 0}, {m_root + "d", EINVAL}}));
}

void TestDuplicates::folders()
{
    const QByteArray folder = "x=300K:1 y=200K:2 z/w=100K:3";
    QByteArray tree;
    for (const char *copy : {"one/", "two/", "deep/three/"})
        for (const QByteArray &word : folder.split(' '))
            tree += copy + word + ' ';
    tree += "small/v=100K:7 small/u=50K:8 small2/v=100K:7 small2/u=50K:8 ";
    // Most of it, not all: one file differs.
    tree += "near/x=300K:1 near/y=200K:9 near/z/w=100K:3 ";
    // Three like folders, each beside a file of its own: their parents nearly match, as pairs
    // of the identical three, which says it already.
    for (const char *parent : {"p1", "p2", "p3"})
        tree += QByteArray(parent) + "/c/a=20K:11 " + parent + "/c/b=20K:12 " + parent +
                "/e=5K:" + QByteArray::number(parent[1]) + ' ';
    tree.chop(1);
    MakeTree(m_root, tree);
    const auto scan = Walked(m_root);
    const DuplicateResult result = Search(*scan);
    QByteArrayList lines;
    for (const FolderMatch &match : result.folders) {
        std::set<QByteArray> paths;
        for (const WalkSink::FolderId id : match.folders)
            paths.insert(scan->pathOf(id).sliced(m_root.size()));
        lines << QByteArray::number(match.percent) + ' ' +
                     QByteArrayList(paths.begin(), paths.end()).join(' ');
    }
    // The most bytes to free first. The copies' subfolders match too, but inside folders that
    // match: not shown again, but for the one in a folder that only nearly matches. That folder
    // nearly matches the three copies: said once, as it has more in common with them than its
    // subfolder. 400 of its 600 KiB are theirs.
    QCOMPARE(lines.mid(0, 3),
             (QByteArrayList{"100 deep/three/ one/ two/", "100 deep/three/z/ near/z/ one/z/ two/z/",
                             "100 small/ small2/"}));
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[3], "100 p1/c/ p2/c/ p3/c/");
    // Of its three equal pairs, the first by path, whichever order the walk met them in.
    QCOMPARE(lines[4], "66 deep/three/ near/");
}

// A saved scan names files of another machine, or of this one as it was: none is read.
void TestDuplicates::savedScan()
{
    MakeTree(m_root, "a=1M:1 b=1M:1");
    const auto scan = Walked(m_root);
    scan->setOrigin({"elsewhere", m_root, 0});
    const DuplicateResult result = Search(*scan);
    QVERIFY(result.savedScan && result.groups.empty());
    QCOMPARE(result.candidates, 0u);
}

// What the search read of a file no one had read is dropped from the page cache; a file the
// user had read stays there.
void TestDuplicates::pageCache()
{
    MakeTree(m_root, "cold=2M:1 cold2=2M:1 warm=2M:2 warm2=2M:2");
    // The search asks a file's first page whether it was cached; two pages are looked at.
    const auto pages = [&](const char *name) {
        const UniqueFd fd(::open((m_root + name).constData(), O_RDONLY | O_CLOEXEC));
        return int(FileContent::IsCached(fd.get(), 0)) +
               int(FileContent::IsCached(fd.get(), 1 << 20));
    };
    const auto scan = Walked(m_root);
    // The kernel may page out what was just read on its own (a proactive reclaimer such as
    // DAMON's does, region by region), or keep a page a drop asked for on a busy machine: the
    // search is tried again, and one that dropped the wrong files would fail every time.
    for (int attempt = 0; attempt < 3; ++attempt) {
        for (const char *name : {"cold", "cold2"}) {
            const UniqueFd fd(::open((m_root + name).constData(), O_RDONLY | O_CLOEXEC));
            QVERIFY(::fdatasync(fd.get()) == 0);
            FileContent::DropCached(fd.get());
            if (attempt > 0)
                continue;
            if (pages(name) > 0)
                QSKIP("this file system does not say which pages are cached");
            // Asking brought nothing in (a read that may not wait reads ahead what it misses).
            QTest::qSleep(100);
            QCOMPARE(pages(name), 0);
        }
        for (const char *name : {"warm", "warm2"}) {
            QFile file(QString::fromUtf8(m_root + name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll().size(), 2 << 20);
        }
        QCOMPARE(Search(*scan).groups.size(), 2u);
        if (pages("cold") + pages("cold2") == 0 && pages("warm") + pages("warm2") == 4)
            return;
    }
    QFAIL("the search left what it read in the cache, or dropped what the user had read");
}

void TestDuplicates::stop()
{
    MakeTree(m_root, "a=4M:1 b=4M:1");
    const auto scan = Walked(m_root);
    const std::atomic<bool> cancelled{true};
    DuplicateOptions options;
    const DuplicateResult result = FindDuplicates(*scan, 0, options, nullptr, &cancelled);
    QVERIFY(!result.complete);
    QVERIFY(result.groups.empty());
}

void TestDuplicates::removal_data()
{
    QTest::addColumn<int>("way");
    QTest::addColumn<QByteArray>("meanwhile"); // done after the search, before the act
    QTest::addColumn<QByteArray>("atLastMoment");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("left"); // files left on the disk

    const int trash = int(CopyRemoval::Way::Trash);
    const int remove = int(CopyRemoval::Way::Delete);
    using S = CopyRemoval::Status;
    QTest::newRow("trash") << trash << ""_ba
                           << ""_ba << int(S::Done) << "keep"_ba;
    QTest::newRow("delete") << remove << ""_ba
                            << ""_ba << int(S::Done) << "keep"_ba;
    QTest::newRow("a byte changed since the search") << remove << "flip copy"_ba
                                                     << ""_ba << int(S::Differs) << "keep copy"_ba;
    QTest::newRow("the kept copy changed since the search")
        << trash << "flip keep"_ba
        << ""_ba << int(S::Differs) << "keep copy"_ba;
    QTest::newRow("written to at the last moment")
        << remove << ""_ba
        << "flip copy"_ba << int(S::Changed) << "keep copy"_ba;
    QTest::newRow("the kept copy gone") << remove << "gone keep"_ba
                                        << ""_ba << int(S::Changed) << "copy"_ba;
    QTest::newRow("replaced by a link to the kept copy")
        << remove << "link copy"_ba
        << ""_ba << int(S::Changed) << "keep copy"_ba;
    QTest::newRow("another name of the kept copy") << remove << "hardlink copy"_ba
                                                   << ""_ba << int(S::Refused) << "keep copy"_ba;
    QTest::newRow("shared where the file system cannot")
        << int(CopyRemoval::Way::Share) << ""_ba
        << ""_ba << int(S::Refused) << "keep copy"_ba;
}

void TestDuplicates::removal()
{
    QFETCH(int, way);
    QFETCH(QByteArray, meanwhile);
    QFETCH(QByteArray, atLastMoment);
    QFETCH(int, status);
    QFETCH(QByteArray, left);
    if (way == int(CopyRemoval::Way::Share) &&
        QList<QByteArray>{"xfs", "btrfs", "ocfs2", "bcachefs"}.contains(
            QStorageInfo(QString::fromUtf8(m_root)).fileSystemType()))
        QSKIP("the temporary folder's file system shares storage");
    MakeTree(m_root, "keep=1M:1 sub/copy=1M:1");
    const QByteArray keep = m_root + "keep";
    const QByteArray copy = m_root + "sub/copy";
    const auto scan = Walked(m_root);
    QCOMPARE(Search(*scan).groups.size(), 1u);

    const auto change = [&](const QByteArray &what) {
        const QByteArray path = what.endsWith("keep") ? keep : copy;
        if (what.startsWith("flip")) {
            // The same size: only the bytes tell.
            UniqueFd fd(::open(path.constData(), O_WRONLY | O_CLOEXEC));
            QVERIFY(::pwrite(fd.get(), "!", 1, 4096) == 1);
        } else if (what.startsWith("gone")) {
            QVERIFY(::unlink(path.constData()) == 0);
        } else if (what.startsWith("link")) {
            QVERIFY(::unlink(path.constData()) == 0);
            QVERIFY(::symlink(keep.constData(), path.constData()) == 0);
        } else if (what.startsWith("hardlink")) {
            QVERIFY(::unlink(path.constData()) == 0);
            QVERIFY(::link(keep.constData(), path.constData()) == 0);
        }
    };
    if (!meanwhile.isEmpty())
        change(meanwhile);
    RaceHook::Set([&](RaceHook::Moment moment, const QByteArray &) {
        if (moment == RaceHook::Moment::Acting && !atLastMoment.isEmpty())
            change(std::exchange(atLastMoment, {}));
    });
    const auto unset = qScopeGuard([] { RaceHook::Set({}); });
    const std::vector<CopyRemoval::Outcome> outcomes =
        CopyRemoval(*scan, CopyRemoval::Way(way)).run(keep, {copy}, 1 << 20);
    QCOMPARE(outcomes.size(), 1u);
    QCOMPARE(int(outcomes[0].status), status);

    QByteArrayList found;
    for (const QByteArray &name : {"keep"_ba, "copy"_ba})
        if (QFileInfo::exists(QString::fromUtf8(name == "keep" ? keep : copy)))
            found << name;
    QCOMPARE(found.join(' '), left);
    // The records follow what was done, and only that.
    const qsizetype sub = scan->indexOf(m_root + "sub/");
    QCOMPARE(scan->fileCountOf(WalkSink::FolderId(sub)), left.contains("copy") ? 1u : 0u);
    if (status == int(CopyRemoval::Status::Done) && way == int(CopyRemoval::Way::Trash))
        QVERIFY2(outcomes[0].removal.trashedAs.startsWith(m_dir->path().toUtf8() + "/data/Trash/"),
                 outcomes[0].removal.trashedAs.constData());
}

// What the file system cannot share is refused, not failed: another volume, a range or a kind of
// file it does not take.
void TestDuplicates::shareAnswers()
{
    using S = CopyRemoval::Status;
    for (const auto &[error, status] :
         {std::pair(0, S::Done), std::pair(EBADE, S::Differs), std::pair(EPERM, S::Refused),
          std::pair(EOPNOTSUPP, S::Refused), std::pair(EXDEV, S::Refused),
          std::pair(EINVAL, S::Refused), std::pair(EIO, S::Failed), std::pair(ENOSPC, S::Failed)})
        QVERIFY2(CopyRemoval::ShareStatus(error) == status, strerror(error));
}

// Reflink copies on a file system that has them: they take no room of their own, and a copy
// made to share the kept one's storage frees its own.
void TestDuplicates::reflinks()
{
    if (::geteuid() != 0 || QStandardPaths::findExecutable(u"mkfs.xfs"_s).isEmpty())
        QSKIP("needs root and mkfs.xfs for an XFS image of the test's own");
    const QByteArray image = m_dir->path().toUtf8() + "/xfs.img";
    const QByteArray mount = m_dir->path().toUtf8() + "/xfs/";
    QDir().mkpath(QString::fromUtf8(mount));
    const auto sh = [](const QByteArray &command) {
        return QProcess::execute(u"sh"_s, {u"-c"_s, QString::fromUtf8(command)});
    };
    if (sh("truncate -s 512M " + image + " && mkfs.xfs -q -m reflink=1 " + image +
           " && mount -o loop " + image + " " + mount) != 0)
        QSKIP("this machine cannot mount an XFS image");
    const auto unmount = qScopeGuard([&] { sh("umount " + mount); });
    MakeTree(mount, "a=4M:1 c=4M:1");
    QCOMPARE(sh("sync && cp --reflink=always " + mount + "a " + mount + "b"), 0);
    const auto scan = Walked(mount);
    DuplicateResult result = Search(*scan);
    QCOMPARE(result.groups.size(), 1u);
    const DuplicateGroup &group = result.groups[0];
    QCOMPARE(group.copies.size(), 3u);
    QCOMPARE(group.storages, 2u);
    QVERIFY(group.isShared(group.copies[0]) && group.isShared(group.copies[1]));
    QVERIFY(!group.isShared(group.copies[2]));
    QCOMPARE(group.waste(SizeMeasure::Apparent), 4ull << 20);
    for (size_t kept = 0; kept < 3; ++kept)
        QCOMPARE(group.freedKeeping(kept, SizeMeasure::OnDisk), 4ull << 20);

    const auto outcomes =
        CopyRemoval(*scan, CopyRemoval::Way::Share).run(mount + "a", {mount + "c"}, 4 << 20);
    QCOMPARE(int(outcomes[0].status), int(CopyRemoval::Status::Done));
    QCOMPARE(Content(4 << 20, 1), [&] {
        QFile file(QString::fromUtf8(mount + "c"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }());
    result = Search(*scan);
    QCOMPARE(result.groups.size(), 1u);
    QCOMPARE(result.groups[0].storages, 1u);
    QCOMPARE(result.waste(SizeMeasure::Apparent), 0ull);
}

QTEST_GUILESS_MAIN(TestDuplicates)
#include "tst_duplicates.moc"
