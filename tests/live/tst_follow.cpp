#include "ChangeSource.h"
#include "DriveScan.h"
#include "FolderRelist.h"
#include "LiveFollower.h"
#include "TreeOracle.h"
#include "Walker.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <csignal>
#include <map>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// One process's share of the churn: files made, grown, cut, removed, renamed and linked across
// folders, folders made, removed, moved and made unreadable and readable again.
void Churn(const QByteArray &root, unsigned seed, int operations)
{
    std::mt19937 random(seed);
    const auto pick = [&](unsigned n) { return QByteArray::number(random() % n); };
    const auto folder = [&] {
        QByteArray path = root + 'd' + pick(5) + '/';
        return random() % 3 == 0 ? path + 's' + pick(3) + '/' : path;
    };
    const auto name = [&](char kind) {
        return folder() + kind + QByteArray::number(seed) + pick(30);
    };
    static const QByteArray bytes(8192, 'x');
    for (int i = 0; i < operations; ++i) {
        const QByteArray file = name('f');
        // What each call says does not matter: many of them find nothing to act on.
        const auto ignore = [](auto) {};
        switch (random() % 11) {
        case 0:
        case 1:
            if (const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
                fd >= 0) {
                ignore(::write(fd, bytes.constData(), random() % 8192));
                ::close(fd);
            }
            break;
        case 2:
            ignore(::truncate(file.constData(), random() % 100000));
            break;
        case 3:
            ::unlink(file.constData());
            break;
        case 4:
            ::rename(file.constData(), name('f').constData());
            break;
        case 5:
            ignore(::link(file.constData(), name('l').constData()));
            break;
        case 6:
            ::unlink(name('l').constData());
            break;
        case 7:
            ::mkdir((folder() + 's' + pick(3)).constData(), 0755);
            break;
        case 8:
            ::rmdir((folder() + 's' + pick(3)).constData());
            break;
        case 9:
            ::rename((folder() + 's' + pick(3)).constData(),
                     (folder() + 's' + pick(3)).constData());
            break;
        default:
            ::chmod((folder() + 's' + pick(3)).constData(), random() % 2 ? 0 : 0755);
            break;
        }
    }
}

// Each folder's totals in both measures, its files and entries, by path below the root.
std::map<QByteArray, QByteArray> Totals(const DriveScan &scan)
{
    std::map<QByteArray, QByteArray> totals;
    for (qsizetype i = 0; i < scan.count(); ++i) {
        const auto folder = WalkSink::FolderId(i);
        if (!scan.isRemoved(folder))
            totals[scan.pathOf(folder).sliced(scan.rootPath().size())] =
                QByteArray::number(scan.sizeOf(folder)) + ' ' +
                QByteArray::number(scan.allocatedOf(folder)) + ' ' +
                QByteArray::number(scan.fileCountOf(folder)) + ' ' +
                QByteArray::number(scan.subfolderEntriesOf(folder));
    }
    return totals;
}

// Where the records differ from a fresh walk of their tree: the folders' totals with both sides,
// else the first of their other lines that differs; empty when they agree.
QByteArray AgainstFreshWalk(const DriveScan &live)
{
    DriveScan fresh(live.rootPath());
    if (!Walk(live.rootPath(), fresh))
        return "the fresh walk failed";
    const auto a = Totals(live), b = Totals(fresh);
    QByteArray out;
    for (const auto &[path, line] : a)
        if (const auto it = b.find(path); it == b.end() || it->second != line)
            out +=
                path + ": live " + line + ", fresh " + (it == b.end() ? "none" : it->second) + '\n';
    for (const auto &[path, line] : b)
        if (!a.contains(path))
            out += path + ": live none, fresh " + line + '\n';
    const QByteArrayList liveLines = RecordLines(live), freshLines = RecordLines(fresh);
    for (qsizetype i = 0; out.isEmpty() && i < std::max(liveLines.size(), freshLines.size()); ++i)
        if (liveLines.value(i) != freshLines.value(i))
            out = "live " + liveLines.value(i) + ", fresh " + freshLines.value(i);
    return out;
}

// The tree a churn starts from, walked; as nobody when `bound`, who stays the file-system user of
// this thread (and of the walk's and the follower's threads, which take it from this one).
std::shared_ptr<DriveScan> Walked(const QByteArray &root, bool bound = false)
{
    for (const char *spec : {"d0/a=5000", "d1/s0/b=70000", "d2/s1/", "d3/c=1", "d4/s2/e=3"})
        Make(spec);
    if (bound)
        ::setfsuid(65534);
    auto scan = std::make_shared<DriveScan>(root);
    return Walk(root, *scan) ? scan : nullptr;
}

// Churning processes, forked while this one has no other thread: a child forked beside running
// threads may find the allocator's lock held by one of them for ever. They wait for go(); a test
// that ends before sends none, and they leave without touching anything.
class Churners
{
public:
    Churners(const QByteArray &root, int operations)
    {
        if (::pipe2(m_gate, O_CLOEXEC) != 0)
            return;
        for (unsigned seed = 1; seed <= 4; ++seed) {
            const pid_t child = ::fork();
            if (child == 0) {
                // Nor do they outlive a test that died: they hold the runner's output open.
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                ::close(m_gate[1]);
                char go = 0;
                if (::read(m_gate[0], &go, 1) == 1)
                    Churn(root, seed, operations / 4);
                ::_exit(0);
            }
            if (child > 0)
                m_children.push_back(child);
        }
    }
    ~Churners() { finish(); }
    bool ready() const { return m_children.size() == 4; }
    void go()
    {
        [[maybe_unused]] const ssize_t n = ::write(m_gate[1], "1111", m_children.size());
        finish();
    }

private:
    void finish()
    {
        for (int &fd : m_gate)
            if (fd >= 0)
                ::close(std::exchange(fd, -1));
        for (const pid_t child : m_children)
            ::waitpid(child, nullptr, 0);
        m_children.clear();
    }

    int m_gate[2] = {-1, -1};
    std::vector<pid_t> m_children;
};

// Waits until the follower has caught up with the churn: on a busy machine a folder whose
// listing was slow waits its turn longer than any fixed quiet time.
bool Settled(const LiveFollower &follower)
{
    // Other programs' changes on the same file system wake it too: once caught up is enough.
    for (const auto deadline = std::chrono::steady_clock::now() + 60s;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(50ms))
        if (follower.isCurrent())
            return true;
    return false;
}

// A source that has lost every event: only an overflow is reported.
class LostEvents : public ChangeSource
{
public:
    // `eachFolder`: watches each folder, as inotify does, refusing those gone.
    explicit LostEvents(bool eachFolder = false)
        : m_eachFolder(eachFolder)
    {
        QVERIFY(::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) == 0);
    }
    ~LostEvents() override
    {
        ::close(m_pipe[0]);
        ::close(m_pipe[1]);
    }
    void overflow() { [[maybe_unused]] const ssize_t n = ::write(m_pipe[1], "!", 1); }
    int fd() const override { return m_pipe[0]; }
    void readEvents(Changes &into) override
    {
        char byte;
        while (::read(m_pipe[0], &byte, 1) == 1)
            into.overflow = true;
    }
    bool watchesEachFolder() const override { return m_eachFolder; }
    bool watch(const QByteArray &path) override
    {
        struct stat status;
        return !m_eachFolder || ::stat(path.constData(), &status) == 0;
    }
    void unwatch(const QByteArray &) override {}
    void unwatchBelow(const QByteArray &) override {}

private:
    bool m_eachFolder;
    int m_pipe[2] = {-1, -1};
};

} // namespace

// The live records equal a fresh walk of the volume however it changed, followed either way.
class TestFollow : public QObject
{
    Q_OBJECT
private slots:
    void churn_data();
    void churn();
    void overflowListsEverything();
    void changedBeforeStart_data();
    void changedBeforeStart();
    void stoppedListingChangesNothing();
    void movedBackReadAgain();
    void notFollowed();
};

void TestFollow::churn_data()
{
    QTest::addColumn<int>("backend");
    QTest::addColumn<bool>("bound"); // as a user whom permissions bind
    QTest::newRow("fanotify") << int(LiveFollower::Backend::Fanotify) << false;
    QTest::newRow("inotify") << int(LiveFollower::Backend::Inotify) << false;
    QTest::newRow("inotify, bound") << int(LiveFollower::Backend::Inotify) << true;
}

void TestFollow::churn()
{
    QFETCH(int, backend);
    QFETCH(bool, bound);
    const auto way = LiveFollower::Backend(backend);
    if (::geteuid() != 0 && (bound || way == LiveFollower::Backend::Fanotify))
        QSKIP("needs root");
    QTemporaryDir dir;
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    QVERIFY(QDir::setCurrent(dir.path()));
    const std::shared_ptr<DriveScan> scan = Walked(root, bound);
    QVERIFY(scan);
    // The benchmark asks for a long churn; a test run makes a short one.
    const int operations = qEnvironmentVariableIntValue("QUARNEL_CHURN_OPERATIONS");
    Churners churners(root, operations > 0 ? operations : 2000);
    QVERIFY(churners.ready());
    LiveFollower follower(scan, {100, way});
    if (!follower.start()) {
        ::setfsuid(0);
        if (follower.error() == EPERM || follower.error() == EINVAL)
            QSKIP("this kernel or process cannot follow a file system so");
        QFAIL(qPrintable(QString::number(follower.error())));
    }
    churners.go();
    const bool settled = Settled(follower);
    follower.stop();
    const QByteArray differences = AgainstFreshWalk(*scan);
    ::setfsuid(0);
    QVERIFY(settled);
    QVERIFY2(differences.isEmpty(), differences.constData());
    QProcess::execute(QStringLiteral("chmod"),
                      {QStringLiteral("-R"), QStringLiteral("u+rwx"), dir.path()});
}

void TestFollow::overflowListsEverything()
{
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    QVERIFY(QDir::setCurrent(dir.path()));
    const std::shared_ptr<DriveScan> scan = Walked(root);
    QVERIFY(scan);
    auto source = std::make_unique<LostEvents>();
    LostEvents *lost = source.get();
    LiveFollower follower(scan, std::move(source), {50, LiveFollower::Backend::None});
    std::atomic<int> batches{0};
    follower.setBatchHandler([&](const LiveFollower::Batch &batch) {
        QVERIFY(batch.overflow);
        ++batches;
    });
    QVERIFY(follower.start());
    // A first overflow answered shows the follower past its look at what changed since the walk,
    // which would otherwise see some of the churn itself on a busy machine.
    const auto overflowAnswered = [&](int count) {
        lost->overflow();
        for (int i = 0; i < 600 && batches < count; ++i)
            std::this_thread::sleep_for(50ms);
        return batches == count;
    };
    QVERIFY(overflowAnswered(1));
    Churn(root, 7, 300);
    QVERIFY(overflowAnswered(2));
    follower.stop();
    QCOMPARE(batches.load(), 2);
    const QByteArray differences = AgainstFreshWalk(*scan);
    QVERIFY2(differences.isEmpty(), differences.constData());
}

void TestFollow::changedBeforeStart_data()
{
    QTest::addColumn<bool>("eachFolder");
    QTest::addColumn<int>("moreFolders"); // enough, and the dates are looked at on two threads
    // Listening since before the walk: 1, fanotify; 2, a source that lost what it heard.
    QTest::addColumn<int>("heard");
    // The changed folder keeps the date it was recorded with, in whole seconds: changed within
    // the second it was read in.
    QTest::addColumn<bool>("sameSecond");
    QTest::newRow("one watch") << false << 0 << 0 << false;
    QTest::newRow("a watch on each folder") << true << 0 << 0 << false;
    QTest::newRow("a large volume, changed at both ends") << false << 5000 << 0 << false;
    QTest::newRow("heard since the walk, a file grown") << false << 0 << 1 << false;
    QTest::newRow("lost while walking") << false << 0 << 2 << false;
    QTest::newRow("changed within its second") << false << 0 << 0 << true;
}

// What changed between the walk and the follower's start is found by the folders' dates and read
// again, with no event to tell of it; a folder gone meanwhile cannot be watched, and is no reason
// not to follow.
void TestFollow::changedBeforeStart()
{
    QFETCH(bool, eachFolder);
    QFETCH(int, moreFolders);
    QFETCH(int, heard);
    QFETCH(bool, sameSecond);
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    // The mark hears its whole file system: a volume of the test's own, or other tests' files
    // made meanwhile could overflow its queue, and the grown file be missed for that.
    if (heard == 1 && ::mount("tmpfs", root.constData(), "tmpfs", 0, "size=16m") != 0)
        QSKIP("needs root");
    const auto unmount = qScopeGuard([&] {
        if (heard == 1)
            ::umount2(root.constData(), MNT_DETACH);
    });
    QVERIFY(QDir::setCurrent(dir.path()));
    for (int i = 0; i < moreFolders; ++i)
        Make("many/" + QByteArray::number(i) + '/');
    std::unique_ptr<ChangeSource> source;
    if (heard == 1 && !(source = LiveFollower::ListenBeforeWalk(root)))
        QSKIP("this kernel or process cannot follow a file system so");
    if (heard != 1)
        source = std::make_unique<LostEvents>(eachFolder);
    if (heard == 2)
        static_cast<LostEvents *>(source.get())->overflow();
    const std::shared_ptr<DriveScan> scan = Walked(root);
    QVERIFY(scan);
    if (heard == 1) // its folder's date stays
        Make("d0/a=9000");
    Make("d3/late=10");
    // Another date than the walk's whatever the clock's grain.
    const timespec dates[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    const timespec recorded[2] = {
        {0, UTIME_OMIT}, {scan->dateOf(WalkSink::FolderId(scan->indexOf(root + "d3/"))), 0}};
    QVERIFY(::utimensat(AT_FDCWD, "d3", sameSecond ? recorded : dates, 0) == 0);
    if (moreFolders > 0) { // the last folder walked
        const QByteArray last =
            scan->pathOf(WalkSink::FolderId(scan->count() - 1)).sliced(root.size());
        Make(last + "late=20");
        QVERIFY(::utimensat(AT_FDCWD, last.constData(), dates, 0) == 0);
    }
    QVERIFY(::rmdir("d2/s1") == 0 && ::utimensat(AT_FDCWD, "d2", dates, 0) == 0);
    LiveFollower follower(scan, std::move(source), {50, LiveFollower::Backend::None, heard > 0});
    std::atomic<int> batches{0};
    std::atomic<bool> everything{false};
    follower.setBatchHandler([&](const LiveFollower::Batch &batch) {
        everything = everything || batch.overflow;
        ++batches;
    });
    QVERIFY(follower.start());
    for (int i = 0; i < 600 && batches == 0; ++i)
        std::this_thread::sleep_for(50ms);
    follower.stop();
    QVERIFY(!everything);
    const QByteArray differences = AgainstFreshWalk(*scan);
    QVERIFY2(differences.isEmpty(), differences.constData());
}

// A follower told to stop leaves a listing under way, and the records as they were.
void TestFollow::stoppedListingChangesNothing()
{
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    QVERIFY(QDir::setCurrent(dir.path()));
    const std::shared_ptr<DriveScan> scan = Walked(root);
    QVERIFY(scan);
    Make("d0/new/f=300");
    const QByteArrayList before = RecordLines(*scan);
    std::atomic<bool> stop{true};
    QVERIFY(!FolderRelist::Run(*scan, root + "d0/", &stop).changed);
    QCOMPARE(RecordLines(*scan), before);
    stop = false;
    QCOMPARE(FolderRelist::Run(*scan, root + "d0/", &stop).added, QByteArrayList{root + "d0/new/"});
    const QByteArray differences = AgainstFreshWalk(*scan);
    QVERIFY2(differences.isEmpty(), differences.constData());
}

// A folder moved out, changed and moved back between two listings of its parent is the one
// recorded there, by its number and, within a second, by its date: named as arrived, it is read
// whole again.
void TestFollow::movedBackReadAgain()
{
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    QVERIFY(QDir::setCurrent(dir.path()));
    const std::shared_ptr<DriveScan> scan = Walked(root);
    QVERIFY(scan);
    QVERIFY(::rename(root + "d1/s0", root + "away") == 0);
    Make("away/new/f=300");
    Make("away/g=20");
    QVERIFY(::rename(root + "away", root + "d1/s0") == 0);
    const QSet<QByteArray> arrived{root + "d1/s0/"};
    QVERIFY(FolderRelist::Run(*scan, root + "d1/", nullptr, &arrived).changed);
    const QByteArray differences = AgainstFreshWalk(*scan);
    QVERIFY2(differences.isEmpty(), differences.constData());
}

// Records read from a saved file describe no folder of this machine: nothing follows or lists
// them again, whatever their paths name here. A walked folder gone since is not followed either.
void TestFollow::notFollowed()
{
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    const auto saved = std::make_shared<DriveScan>(root);
    saved->openedFolder(WalkSink::NoFolder, root, 0, 0, 0);
    LiveFollower follower(saved);
    QVERIFY(!follower.start());
    QCOMPARE(follower.error(), EINVAL);
    QVERIFY(!FolderRelist::Run(*saved, root).changed);
    QVERIFY(QDir::setCurrent(dir.path()));
    const std::shared_ptr<DriveScan> walked = Walked(root);
    QVERIFY(walked && QDir::setCurrent(QDir::tempPath()) && dir.remove());
    LiveFollower gone(walked);
    QVERIFY(!gone.start());
    QCOMPARE(gone.error(), ENOENT);
}

QTEST_GUILESS_MAIN(TestFollow)
#include "tst_follow.moc"
