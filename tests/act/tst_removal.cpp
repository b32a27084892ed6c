#include "DriveScan.h"
#include "FolderRefresh.h"
#include "HeldPath.h"
#include "ItemRemoval.h"
#include "RaceHook.h"
#include "RemovalCheck.h"
#include "SafeOpen.h"
#include "TreeOracle.h"
#include "Walker.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Moment = RaceHook::Moment;

// A path of 200 folders, which an act must not need a descriptor for each of.
const QByteArray Deep = QByteArray("deep/") + QByteArray("d/").repeated(200);

namespace {

// Someone else on the machine, with root's powers: a shell that makes the scratch volumes and
// changes them under the act at the moment a test chooses. It stays root when the test itself
// acts as an ordinary user.
class Neighbour
{
public:
    bool start()
    {
        m_shell.setProcessChannelMode(QProcess::MergedChannels);
        m_shell.start(u"sh"_s, {u"-s"_s});
        return m_shell.waitForStarted();
    }
    ~Neighbour()
    {
        m_shell.closeWriteChannel();
        m_shell.waitForFinished();
    }
    // Runs the commands in `dir`; their output, less the marker.
    QByteArray run(const QByteArray &commands, const QByteArray &dir)
    {
        m_shell.write("(cd '" + dir + "' && " + commands + ") 2>&1; echo \"@done $?\"\n");
        QByteArray out;
        while (!out.contains("@done ")) {
            if (!m_shell.waitForReadyRead(20000))
                qFatal("the neighbour's shell stopped answering");
            out += m_shell.readAll();
            if (out.contains("@done ") && !out.endsWith('\n'))
                out += m_shell.readAll();
        }
        const qsizetype marker = out.lastIndexOf("@done ");
        if (out.sliced(marker + 6).trimmed() != "0")
            qWarning("%s: %s", commands.constData(), out.constData());
        return out.first(marker);
    }

private:
    QProcess m_shell;
};

} // namespace

// Trash, delete and refresh on volumes of the test's own while someone changes them at the worst
// moment: a link swapped in on the way, a volume or a bind mount appearing, a folder renamed or
// replaced, the trash planted as a link. Whatever happens, nothing outside the chosen item
// changes, what is refused says why, and the records always equal a fresh walk's. Run as root and
// as an ordinary user, and without openat2.
class TestRemoval : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void races_data();
    void races();
    void rails_data();
    void rails();
    void changedSinceScan_data();
    void changedSinceScan();
    void recordsFromAFile();

private:
    // Every entry of the scratch area, other volumes included: "path type inode [size link]".
    QSet<QByteArray> listing();

    bool m_ready = false;
    Neighbour m_neighbour;
    QByteArray m_scratch; // the scratch area, a volume of its own, ending with "/"
    uid_t m_uid = 0;
};

void TestRemoval::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("the neighbour who mounts volumes needs root");
    // A mount namespace of our own, so the test volumes vanish with the test.
    QVERIFY(::unshare(CLONE_NEWNS) == 0);
    QVERIFY(::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0);
    QVERIFY(m_neighbour.start());
    // Started without standard input, a program gets descriptor 0 for the first file it opens.
    ::close(STDIN_FILENO);
    const QByteArray made = m_neighbour.run("mktemp -d /tmp/quarnel-act.XXXXXX", "/").trimmed();
    m_scratch = made + '/';
    m_neighbour.run("mount -t tmpfs -o size=16m,mode=755 none " + m_scratch, "/");
    m_neighbour.run("mkdir home", m_scratch);
    if (qEnvironmentVariableIsSet("QUARNEL_TEST_NO_OPENAT2"))
        SafeOpen::UseOpenat2(false);
    if (qEnvironmentVariableIsSet("QUARNEL_TEST_AS_NOBODY")) {
        m_uid = 65534;
        m_neighbour.run("chown 65534:65534 home", m_scratch);
        const gid_t gid = 65534;
        QVERIFY(::setgroups(1, &gid) == 0 && ::setresgid(gid, gid, gid) == 0 &&
                ::setresuid(m_uid, m_uid, m_uid) == 0);
        // The leak checker must still be allowed to look at the process.
        ::prctl(PR_SET_DUMPABLE, 1);
    }
    qputenv("XDG_DATA_HOME", m_scratch + "home"); // the home trash, on another volume
    m_ready = true;
}

void TestRemoval::cleanupTestCase()
{
    if (m_ready)
        m_neighbour.run("umount -R " + m_scratch + "; rmdir " + m_scratch, "/");
}

QSet<QByteArray> TestRemoval::listing()
{
    const QByteArray out = m_neighbour.run("find . -type d -printf '%P %y %i\\n'; "
                                           "find . ! -type d -printf '%P %y %i %s %l\\n'",
                                           m_scratch);
    QSet<QByteArray> entries;
    for (const QByteArray &line : out.split('\n'))
        if (!line.isEmpty() && !line.startsWith(' '))
            entries.insert(line);
    return entries;
}

void TestRemoval::races_data()
{
    // "ACTION ITEM MOMENT": trash, delete or refresh an item below the scratch area, the race run
    // at the moment named (scan: right after the walk, before the item is held; entering:PATH,
    // as a deletion enters that folder). Then the neighbour's commands, in the scratch area, and
    // what the act says: empty when all went, "partly" and what stayed when some did.
    QTest::addColumn<QByteArray>("act");
    QTest::addColumn<QByteArray>("race");
    QTest::addColumn<QByteArray>("why");
    const auto row = [](const char *name, const QByteArray &act, const char *race,
                        const char *why) {
        QTest::newRow(name) << act << QByteArray(race) << QByteArray(why);
    };
    const char *linkB = "mv v/a/b v/a/b.old && ln -s ../../out/a/b v/a/b";
    // Plain acts, nobody in the way.
    row("trash a file", "trash v/a/b/g acting", "", "");
    row("trash a folder", "trash v/a/b acting", "", "");
    row("trash a link to a folder", "trash v/l acting", "", "");
    row("delete a file under 1 KB", "delete v/a/h acting", "", "");
    row("delete a folder", "delete v/a acting", "", "");
    // More entries than one read of the folder lists, removed while it is listed.
    row("delete a folder of 3,000 files", "delete v/a acting",
        "mkdir v/a/n && (cd v/a/n && seq 3000 | xargs touch) && chown -R @ v/a/n", "");
    row("delete a hard link whose twin stays", "delete v/d/twin acting", "", "");
    // Deeper than the descriptors the act may hold (see races()).
    row("delete a file 200 folders deep", "delete v/" + Deep + "f acting", "", "");
    row("refresh a folder", "refresh v/a/b refreshing", "truncate -s 77 v/a/b/new", "");
    // A link swapped in on the way: after the walk, or while the question is on screen.
    row("after the walk, the file's folder is a link", "delete v/a/b/g scan", linkB, "link v/a/b");
    row("file: its folder becomes a link", "delete v/a/b/g acting", linkB, "link v/a/b");
    row("folder: becomes a link itself", "delete v/a/b acting", linkB, "link v/a/b");
    row("several levels up becomes a link", "delete v/a/b/c/f acting",
        "mv v/a v/a.old && ln -s ../out/a v/a", "link v/a");
    row("the file becomes a link", "delete v/a/b/g acting",
        "mv v/a/b/g v/a/b/g.old && ln -s ../../../out/a/b/g v/a/b/g", "link v/a/b/g");
    // Shut to us on the way.
    row("a folder on the way shut", "delete v/a/b/g acting", "chmod 000 v/a",
        "as a user: unreadable v/a/b");
    row("a file's folder listed but not searched", "delete v/a/b/g acting", "chmod 644 v/a/b",
        "as a user: unreadable v/a/b/g");
    // Renamed or replaced.
    row("folder renamed", "trash v/a/b acting", "mv v/a/b v/a/z", "gone v/a/b");
    row("folder replaced by a look-alike", "delete v/a/b acting",
        "mv v/a/b v/a/z && mkdir -p v/a/b/c && truncate -s 50 v/a/b/g", "replaced v/a/b");
    row("file's parent replaced", "delete v/a/b/g acting", "mv v/a v/z && cp -a v/z v/a",
        "replaced v/a");
    // Mounts appearing while the question is on screen.
    row("a volume mounted over the folder", "delete v/a/b acting", "mount -t tmpfs none v/a/b",
        "other volume v/a/b");
    row("a volume mounted inside", "delete v/a acting", "mount -t tmpfs none v/a/b", "mount point");
    row("a bind mount inside", "trash v/a acting", "mount --bind v/d v/a/b/c", "mount point");
    row("a folder on the way bound over itself", "delete v/a/b/g acting", "mount --bind v/a v/a",
        "other volume v/a");
    // The trash.
    row("trash folder planted as a link", "trash v/a/h acting", "ln -s ../out/trash v/.Trash-@",
        "trash ELOOP v/.Trash-@");
    row("trash's files planted as a link", "trash v/a/h acting",
        "mkdir -p v/.Trash-@ && chown @ v/.Trash-@ && ln -s ../../out/trash/files v/.Trash-@/files",
        "trash ELOOP v/.Trash-@/files");
    // A name the trash already holds: the item goes in under the next free one.
    row("a name the trash holds", "trash v/a/h acting",
        "mkdir -p v/.Trash-@/files v/.Trash-@/info && touch v/.Trash-@/info/h.trashinfo && "
        "chown -R @ v/.Trash-@ && chmod 700 v/.Trash-@",
        "");
    row("trash folder someone else's", "trash v/a/h acting",
        "mkdir -p v/.Trash-@/files v/.Trash-@/info && chown -R 1234 v/.Trash-@",
        "trash EPERM v/.Trash-@");
    for (const char *part : {"files", "info"}) {
        const QByteArray name = QByteArray("trash's ") + part + " someone else's";
        const QByteArray race = "mkdir -p v/.Trash-@/files v/.Trash-@/info && chown -R @ "
                                "v/.Trash-@ && chown 1234 v/.Trash-@/" +
                                QByteArray(part);
        const QByteArray why = "trash EPERM v/.Trash-@/" + QByteArray(part);
        row(name.constData(), "trash v/a/h acting", race.constData(), why.constData());
    }
    // No room for the trash's note of where the item was: it stays where it is.
    row("trash on a full volume", "trash v/a/h acting",
        "mkdir -p v/.Trash-@/files v/.Trash-@/info && chown -R @ v/.Trash-@ && chmod 700 "
        "v/.Trash-@ && (cat /dev/zero >v/filler 2>/dev/null; true)",
        "error No space left on device");
    // Anyone may write in a shared trash that is not sticky: it is passed over.
    row("shared trash not sticky", "trash v/a/h acting", "mkdir -m 777 v/.Trash", "");
    // Between two steps of a deletion.
    row("mid-deletion, a folder becomes a link", "delete v/a entering:v/a/b",
        "rm -r v/a/b/c && ln -s ../../../out/a/b/c v/a/b/c", "");
    row("mid-deletion, a bind mount appears", "delete v/a entering:v/a", "mount --bind v/d v/a/b/c",
        "partly v/a/b/c");
    row("mid-deletion, a volume appears", "delete v/a entering:v/a/b",
        "mount -t tmpfs none v/a/b/c && touch v/a/b/c/x", "partly v/a/b/c");
    // What the disk itself refuses: nothing is undone, what stayed is said.
    row("delete on a read-only volume", "delete v/a acting", "mount -o remount,ro v",
        "error Read-only file system");
    row("trash on a read-only volume", "trash v/a/h acting", "mount -o remount,ro v",
        "trash Read-only file system v/.Trash-@");
    row("a folder of root's inside", "delete v/a acting",
        "mkdir v/a/p && touch v/a/p/y && chown 0:0 v/a/p", "as a user: partly v/a/p/y");
    row("a folder shut to us inside", "delete v/a acting", "mkdir -m 700 v/a/p && chown 0:0 v/a/p",
        "as a user: partly v/a/p");
    row("a folder we may list but not look into", "delete v/a acting",
        "mkdir -m 744 v/a/p && touch v/a/p/y && chown 0:0 v/a/p", "as a user: partly v/a/p/y");
    // Refresh.
    row("refresh: the folder became a mount point", "refresh v/a/b refreshing",
        "mount -t tmpfs none v/a/b && truncate -s 9999 v/a/b/big", "other volume v/a/b");
    row("refresh: a folder on the way became a link", "refresh v/a/b refreshing",
        "mv v/a v/a.old && ln -s ../out/a v/a", "link v/a");
    row("refresh: the folder is gone", "refresh v/a/b refreshing", "rm -r v/a/b", "");
    row("refresh: a new folder in a new folder", "refresh v/n/m scan",
        "mkdir -p v/n/m && truncate -s 5 v/n/m/f v/n/g", "");
    row("refresh: the volume's root, walked whole instead", "refresh v refreshing", "",
        "error Invalid argument");
}

void TestRemoval::races()
{
    if (!m_ready)
        QSKIP("needs root");
    QFETCH(QByteArray, act);
    QFETCH(QByteArray, race);
    QFETCH(QByteArray, why);
    const QByteArrayList words = act.split(' ');
    const QByteArray action = words[0], item = words[1];
    const QByteArray at = words[2].contains(':') ? words[2].sliced(words[2].indexOf(':') + 1) : "";
    const int moment = words[2] == "scan"         ? -1
                       : words[2] == "acting"     ? int(Moment::Acting)
                       : words[2] == "refreshing" ? int(Moment::Refreshing)
                                                  : int(Moment::EnteringFolder);
    const QByteArray uid = QByteArray::number(m_uid);
    race.replace('@', uid);
    why.replace('@', uid);
    if (why.startsWith("as a user: "))
        why = m_uid != 0 ? why.sliced(11) : "";

    // The scanned volume v, and another one, out, holding the same names with other content.
    const QByteArray tree = "mkdir -p a/b/c d " + Deep +
                            " && truncate -s 2000 a/b/c/f && truncate -s 50 a/b/g a/h " + Deep +
                            "f && truncate -s 30 d/twin && ln d/twin a/twin && ln -s d l";
    m_neighbour.run("mkdir v out && mount -t tmpfs -o size=8m none v && mount -t tmpfs -o "
                    "size=8m none out && (cd v && " +
                        tree + ") && (cd out && " + tree +
                        " && mkdir -p trash/files trash/info) && chown -R " + uid + ":" + uid +
                        " v out",
                    m_scratch);
    const auto cleanup = qScopeGuard([&] {
        RaceHook::Set({});
        m_neighbour.run("umount -R v out; rm -rf v out; rm -rf home/*", m_scratch);
    });

    const QByteArray root = m_scratch + "v/";
    DriveScan scan(root);
    QVERIFY(Walk(root, scan));
    const quint64 totalBefore = scan.totalSize();
    const QByteArray path = m_scratch + item;

    QSet<QByteArray> before = listing();
    const auto raceNow = [&] {
        if (!race.isEmpty())
            m_neighbour.run(race, m_scratch);
        before = listing();
    };
    if (moment < 0)
        raceNow();
    bool raced = moment < 0;
    RaceHook::Set([&](Moment reached, const QByteArray &where) {
        if (!raced && int(reached) == moment && (at.isEmpty() || where == m_scratch + at)) {
            raced = true;
            raceNow();
        }
    });

    QByteArray said; // what the act says, as `why` writes it
    const auto relative = [&](const QByteArray &p) { return p.sliced(m_scratch.size()); };
    const char *changes[] = {"",         "saved",        "gone",         "link",
                             "replaced", "other volume", "not a folder", "unreadable"};
    // The act runs within a tight descriptor limit: it holds a few, whatever the depth.
    struct rlimit limit;
    QVERIFY(::getrlimit(RLIMIT_NOFILE, &limit) == 0);
    const struct rlimit tight = {std::min<rlim_t>(128, limit.rlim_cur), limit.rlim_max};
    QVERIFY(::setrlimit(RLIMIT_NOFILE, &tight) == 0);
    if (action == "refresh") {
        FolderRefresh refresh(scan, path + '/');
        int finished = 0;
        refresh.setFinishedHandler([&] { ++finished; });
        const bool started = refresh.start();
        if (started)
            refresh.wait();
        // Started, it ends once; refused, it never does and says why.
        QCOMPARE(finished, started ? 1 : 0);
        QCOMPARE(started, refresh.changed().ok() && refresh.error() == 0);
        if (!refresh.changed().ok())
            said =
                changes[int(refresh.changed().change)] + (' ' + relative(refresh.changed().where));
        else if (refresh.error() != 0)
            said = "error " + QByteArray(strerror(refresh.error()));
    } else {
        const HeldPath held = HeldPath::open(scan, path);
        ItemRemoval::Result result;
        if (!held.isHeld())
            result.changed = held.check();
        else
            result = action == "trash" ? ItemRemoval(scan).moveToTrash(held)
                                       : ItemRemoval(scan).deletePermanently(held);
        const int error = result.error;
        if (!result.changed.ok())
            said = changes[int(result.changed.change)] + (' ' + relative(result.changed.where));
        else if (result.refusal != Refusal::None)
            said = result.refusal == Refusal::MountPoint ? "mount point" : "refused";
        else if (!result.trashUnusable.isEmpty())
            said = "trash " +
                   QByteArray(error == ELOOP   ? "ELOOP"
                              : error == EPERM ? "EPERM"
                                               : strerror(error)) +
                   ' ' + relative(result.trashUnusable);
        else if (error != 0)
            said = "error " + QByteArray(strerror(error));
        else if (!result.remaining.empty())
            for (const PermanentDelete::Failure &failure : result.remaining)
                said += (said.isEmpty() ? "partly " : " ") + relative(failure.path);
    }
    QVERIFY(::setrlimit(RLIMIT_NOFILE, &limit) == 0);
    QVERIFY2(raced || race.isEmpty(), "the race's moment never came");
    QCOMPARE(said, why);

    // Nothing outside the chosen item changed; a refused act changed nothing at all.
    const QSet<QByteArray> after = listing();
    const bool refused = !why.isEmpty() && !why.startsWith("partly");
    const auto under = [&](const QByteArray &entry) {
        return entry.startsWith(item + ' ') || entry.startsWith(item + '/');
    };
    for (const QByteArray &gone : before - after)
        QVERIFY2(!refused && under(gone), "changed: " + gone);
    for (const QByteArray &added : after - before)
        QVERIFY2(action == "trash" && (added.startsWith("v/.Trash-" + uid + '/') ||
                                       added.startsWith("v/.Trash-" + uid + ' ')),
                 "appeared: " + added);
    if (!refused && action != "refresh")
        QCOMPARE(std::any_of(after.begin(), after.end(), under), why.startsWith("partly"));
    if (action == "trash" && !refused)
        QVERIFY(QFile::exists(QFile::decodeName(root + ".Trash-" + uid + "/info/" +
                                                item.sliced(item.lastIndexOf('/') + 1) +
                                                ".trashinfo")));

    // The records follow what was really done: untouched when refused, a fresh walk's otherwise
    // (a volume left mounted inside aside: a fresh walk would not enter it either, but the
    // oracle would; so is a shared trash made after the walk, which no refresh was asked for).
    if (refused)
        QCOMPARE(scan.totalSize(), totalBefore);
    else if (!race.contains("mount") && !race.endsWith("/.Trash"))
        Verify(scan, Oracle(root));
}

void TestRemoval::rails_data()
{
    // "@" stands for the scratch volume's root, without its final "/".
    QTest::addColumn<QByteArray>("root");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("refusal");
    const auto row = [](const char *name, const char *root, const char *path, Refusal refusal) {
        QTest::newRow(name) << QByteArray(root) << QByteArray(path) << int(refusal);
    };
    row("a file", "@/", "@/a/f", Refusal::None);
    row("a folder", "@/", "@/a/", Refusal::None);
    row("a folder named as a trash's", "@/", "@/a/files", Refusal::None);
    row("the root", "@/", "@/", Refusal::VolumeRoot);
    row("the root of /", "/", "/", Refusal::VolumeRoot);
    row("below /", "/", "@/a/f", Refusal::None);
    row("relative", "/", "a/f", Refusal::OutsideVolume);
    row("out by ..", "@/", "@/a/../../x", Refusal::OutsideVolume);
    row("through .", "@/", "@/a/./f", Refusal::OutsideVolume);
    row("ending with .", "@/", "@/a/.", Refusal::OutsideVolume);
    row("ending with ..", "@/", "@/a/..", Refusal::OutsideVolume);
    row("a sibling named alike", "@/", "@x/f", Refusal::OutsideVolume);
    row("gone", "@/", "@/a/nothing", Refusal::Missing);
    row("a mount point", "@/", "@/m", Refusal::MountPoint);
    row("holds a mount point", "@/", "@/n/", Refusal::MountPoint);
    // The trashes at the top of volumes, known by their names.
    row("a trash", "@/", "@/.Trash-0", Refusal::TrashFolder);
    row("a trash's files", "@/", "@/.Trash-0/files", Refusal::TrashFolder);
    row("a trash's info", "@/", "@/.Trash-0/info", Refusal::TrashFolder);
    row("another folder of a trash", "@/", "@/.Trash-0/other", Refusal::None);
    row("a shared trash", "@/", "@/.Trash", Refusal::TrashFolder);
    row("a user's shared trash", "@/", "@/.Trash/0", Refusal::TrashFolder);
    row("in a trash", "@/", "@/.Trash-0/files/old", Refusal::None);
    // The home trash, known by where it is.
    row("the home trash", "@/", "@/data/Trash", Refusal::TrashFolder);
    row("the home trash's files", "@/", "@/data/Trash/files", Refusal::TrashFolder);
    row("the home trash's info", "@/", "@/data/Trash/info", Refusal::TrashFolder);
    row("holds the home trash", "@/", "@/data", Refusal::TrashFolder);
    row("in the home trash", "@/", "@/data/Trash/files/old", Refusal::None);
}

void TestRemoval::rails()
{
    QFETCH(QByteArray, root);
    QFETCH(QByteArray, path);
    QFETCH(int, refusal);
    QTemporaryDir dir;
    const QByteArray top = QFile::encodeName(dir.path());
    QVERIFY(QDir::setCurrent(dir.path()));
    for (const char *spec :
         {"a/f=1", "a/files/", "m/", "n/o/", ".Trash-0/files/old/", ".Trash-0/info/",
          ".Trash-0/other/", ".Trash/0/", "data/Trash/info/", "data/Trash/files/old/"})
        Make(spec);
    const QByteArray home = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", top + "/data");
    const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", home); });
    const QByteArrayList mounts{"/", top + "/m", top + "/n/o"};
    QCOMPARE(int(CheckRemoval(root.replace('@', top), path.replace('@', top), mounts)), refusal);
}

void TestRemoval::changedSinceScan_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<quint64>("size");
    QTest::addColumn<qint64>("date");
    QTest::addColumn<bool>("changed");
    QTest::newRow("a file as it was") << "f"_ba << quint64(10) << qint64(1000) << false;
    QTest::newRow("a file resized") << "f"_ba << quint64(11) << qint64(1000) << true;
    QTest::newRow("a file touched") << "f"_ba << quint64(10) << qint64(999) << true;
    QTest::newRow("a folder: its date only") << "d"_ba << quint64(1) << qint64(1000) << false;
    QTest::newRow("a folder touched") << "d"_ba << quint64(0) << qint64(999) << true;
    QTest::newRow("gone") << "g"_ba << quint64(0) << qint64(0) << true;
}

void TestRemoval::changedSinceScan()
{
    QFETCH(QByteArray, path);
    QFETCH(quint64, size);
    QFETCH(qint64, date);
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    Make("f=10");
    Make("d/");
    const timespec times[2] = {{1000, 0}, {1000, 0}};
    QVERIFY(::utimensat(AT_FDCWD, "f", times, 0) == 0 && ::utimensat(AT_FDCWD, "d", times, 0) == 0);
    QTEST(ChangedSinceScan(path, size, date), "changed");
}

// Records read from a file name paths of another machine, even when the same path exists here:
// nothing is ever held through them.
void TestRemoval::recordsFromAFile()
{
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    QVERIFY(QDir::setCurrent(dir.path()));
    Make("a=10");
    DriveScan saved(root);
    saved.openedFolder(WalkSink::NoFolder, root, 0, 0, 0);
    const HeldPath held = HeldPath::open(saved, root + "a");
    QVERIFY(!held.isHeld());
    QCOMPARE(held.check().change, HeldPath::Change::NotOnThisMachine);
    QCOMPARE(ItemRemoval(saved).deletePermanently(held).changed.change,
             HeldPath::Change::NotOnThisMachine);
    QVERIFY(QFile::exists(dir.filePath(u"a"_s)));
}

QTEST_GUILESS_MAIN(TestRemoval)
#include "tst_removal.moc"
