#include "BlockDevice.h"
#include "ChildProcess.h"
#include "FileSystem.h"
#include "FolderListing.h"
#include "TreeOracle.h"
#include "UniqueFd.h"
#include "WarmHeap.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include <sys/resource.h>

#include <sys/sysmacros.h>

using namespace Qt::StringLiterals;

// The system library's own behaviour, which the walk and the acts rely on.
class TestSystem : public QObject
{
    Q_OBJECT
private slots:
    void listing_data();
    void listing();
    void nameLengths();
    void failures_data();
    void failures();
    void rotational_data();
    void rotational();
    void child_data();
    void child();
    void childRefused_data();
    void childRefused();
    void warmHeap();
};

void TestSystem::listing_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("removed"); // after the listing, before each entry's status
    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("more than one batch") << 3000 << 0;
    QTest::newRow("entries gone since the listing") << 10 << 4;
}

// Every entry once, "." and ".." left out (the first one's number kept as the folder's), however
// many batches it takes; an entry gone since it was listed says so.
void TestSystem::listing()
{
    QFETCH(int, files);
    QFETCH(int, removed);
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    Make("f/");
    for (int i = 0; i < files; ++i)
        Make("f/" + QByteArray::number(i) + "=1");
    const UniqueFd fd(FileSystem::OpenFolder("f"));
    QVERIFY(fd.isOpen());
    std::set<QByteArray> names;
    FolderListing listing(fd.get());
    FileStatus own;
    QVERIFY(FileSystem::StatusOf(fd.get(), own));
    QCOMPARE(listing.ownInode(), own.inode); // its first batch read, and listed all the same
    FolderListing::Entry entry;
    while (listing.next(entry))
        QVERIFY(names.insert(QByteArray(entry.name, entry.nameLength)).second);
    QCOMPARE(listing.error(), 0);
    QCOMPARE(int(names.size()), files);
    for (int i = 0; i < removed; ++i)
        QVERIFY(FileSystem::RemoveFile("f/" + QByteArray::number(i)));
    FileStatus status;
    for (const QByteArray &name : names) {
        const bool gone = name.toInt() < removed;
        QCOMPARE(FileSystem::StatusAt(fd.get(), name.constData(), status), !gone);
        QCOMPARE(gone ? errno : int(status.size), gone ? ENOENT : 1);
    }
}

// A name's length is found from the padding at its record's end: every length a name can have,
// each against records of its neighbours' lengths.
void TestSystem::nameLengths()
{
    QTemporaryDir dir;
    std::set<QByteArray> made;
    for (int length = 1; length <= 255; ++length) {
        const QByteArray name = QByteArray::number(length).leftJustified(length, 'x');
        QVERIFY(QFile(dir.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly));
        made.insert(name);
    }
    const UniqueFd fd(FileSystem::OpenFolder(QFile::encodeName(dir.path())));
    FolderListing listing(fd.get());
    std::set<QByteArray> listed;
    FolderListing::Entry entry;
    while (listing.next(entry)) {
        QCOMPARE(entry.nameLength, qsizetype(std::strlen(entry.name)));
        listed.insert(entry.name);
    }
    QVERIFY(listed == made);
}

using Call = std::function<bool(int folder)>;
Q_DECLARE_METATYPE(Call)

// Each call that fails says so, with the system's own reason, and fills in nothing. `folder` is
// an open folder holding a file "f" and a folder "d" holding a file.
void TestSystem::failures_data()
{
    using namespace FileSystem;
    QTest::addColumn<Call>("call");
    QTest::addColumn<int>("error");
    static FileStatus status;
    static VolumeStatus volume;
    const auto row = [](const char *name, Call call, int error) {
        QTest::newRow(name) << call << error;
    };
    const auto opened = [](int fd) { return fd >= 0 && Close(fd); };
    row(
        "status of no descriptor", [](int) { return StatusOf(-1, status); }, EBADF);
    row(
        "status of a missing entry", [](int f) { return StatusAt(f, "none", status); }, ENOENT);
    row(
        "status of a missing path",
        [](int) { return StatusOfPath("none", status, FollowLink::No); }, ENOENT);
    row(
        "volume of a missing path", [](int) { return VolumeStatusOf(QByteArray("none"), volume); },
        ENOENT);
    row(
        "volume of no descriptor", [](int) { return VolumeStatusOf(-1, volume); }, EBADF);
    row(
        "link that is a file", [](int) { return !ReadLink("f").isNull(); }, EINVAL);
    row(
        "resolving a missing path", [](int) { return !ResolvedPath("none/x").isNull(); }, ENOENT);
    row(
        "listing a missing folder", [](int) { return MayListFolder("none"); }, ENOENT);
    row(
        "changing a missing folder", [](int) { return MayChangeFolder("none"); }, ENOENT);
    row(
        "changing no descriptor", [](int) { return MayChangeFolder(-1); }, EBADF);
    row(
        "making a folder there", [](int) { return MakeFolder("d"); }, EEXIST);
    row(
        "making a folder at a name taken", [](int f) { return MakeFolderAt(f, "f"); }, EEXIST);
    row(
        "moving onto a name taken", [](int f) { return RenameNoReplace(f, "f", f, "d"); }, EEXIST);
    row(
        "removing a folder as a file", [](int f) { return RemoveFileAt(f, "d"); }, EISDIR);
    row(
        "removing a folder that holds a file", [](int f) { return RemoveFolderAt(f, "d"); },
        ENOTEMPTY);
    row(
        "removing a missing file", [](int) { return RemoveFile("none"); }, ENOENT);
    row(
        "creating a file at a name taken", [=](int f) { return opened(CreateFileAt(f, "f")); },
        EEXIST);
    row(
        "opening a file as a folder", [=](int f) { return opened(OpenChild(f, "f")); }, ENOTDIR);
    row(
        "opening a missing folder", [=](int) { return opened(OpenFolder("none")); }, ENOENT);
    row(
        "a folder far below, missing",
        [=](int f) { return opened(OpenBelow(f, QByteArray(3000, 'a') + "/x")); }, ENAMETOOLONG);
    row(
        "writing to a folder", [=](int f) { return WriteAll(f, "x", 1); }, EBADF);
    row(
        "reading no descriptor",
        [](int) {
            char byte;
            return Read(-1, &byte, 1) >= 0;
        },
        EBADF);
    row(
        "duplicating no descriptor", [=](int) { return opened(Duplicate(-1)); }, EBADF);
}

void TestSystem::failures()
{
    QFETCH(Call, call);
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    Make("f=3");
    Make("d/g=1");
    const UniqueFd folder(FileSystem::OpenFolder("."));
    QVERIFY(folder.isOpen());
    errno = 0;
    QVERIFY(!call(folder.get()));
    QTEST(errno, "error");
}

void TestSystem::child_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<int>("kills"); // once it said its first line
    QTest::addColumn<int>("code");  // -1: killed
    QTest::addColumn<int>("signal");
    QTest::newRow("exits, its lines whole or cut")
        << "echo ready >&2; head -c 5000 /dev/zero | tr '\\0' x >&2; echo >&2; printf last >&2; exit 3"_ba
        << 0 << 3 << 0;
    QTest::newRow("stopped") << "echo ready >&2; exec sleep 30"_ba << 1 << -1 << SIGTERM;
    QTest::newRow("deaf to the first stop")
        << "trap '' TERM; echo ready >&2; exec sleep 5"_ba << 2 << -1 << SIGKILL;
}

// A program run beside this one: how it ended, its error lines (a long one cut), and a second
// stop that kills what ignored the first.
void TestSystem::child()
{
    QFETCH(QByteArray, script);
    QFETCH(int, kills);
    QFETCH(int, code);
    QFETCH(int, signal);
    // Where the tests before left their folders, gone: the shell would say so first.
    QVERIFY(QDir::setCurrent(QDir::tempPath()));
    std::mutex lock;
    QByteArrayList lines;
    ChildProcess child;
    QVERIFY(child.start({"sh", "-c", script}, {}, [&](const QByteArray &line) {
        const std::lock_guard hold(lock);
        lines.append(line);
    }));
    QVERIFY(QTest::qWaitFor([&] {
        const std::lock_guard hold(lock);
        return !lines.isEmpty();
    }));
    for (int i = 0; i < kills; ++i)
        child.kill();
    const ChildProcess::Status status = child.wait();
    QCOMPARE(status.exited, code >= 0);
    QCOMPARE(status.code, code);
    QCOMPARE(status.signal, signal);
    if (code >= 0)
        QCOMPARE(lines,
                 (QByteArrayList{"ready", QByteArray(ChildProcess::LineLimit, 'x'), "last"}));
}

// What cannot start says why; a child runs one program at a time.
void TestSystem::childRefused_data()
{
    QTest::addColumn<QByteArrayList>("arguments");
    QTest::addColumn<qsizetype>("input");
    QTest::addColumn<int>("error"); // 0: started
    const QByteArrayList quiet{"sh", "-c", "exit 0"};
    QTest::newRow("nothing to run") << QByteArrayList() << qsizetype(0) << EINVAL;
    QTest::newRow("no such program")
        << QByteArrayList{"/nonexistent/quarnel-test"} << qsizetype(0) << ENOENT;
    QTest::newRow("input too long") << quiet << ChildProcess::InputLimit + 1 << E2BIG;
    QTest::newRow("input at the limit") << quiet << ChildProcess::InputLimit << 0;
}

void TestSystem::childRefused()
{
    QFETCH(QByteArrayList, arguments);
    QFETCH(qsizetype, input);
    QFETCH(int, error);
    ChildProcess child;
    errno = 0;
    QCOMPARE(child.start(arguments, QByteArray(input, '\n'), {}), error == 0);
    if (error != 0) {
        QCOMPARE(errno, error);
        return;
    }
    errno = 0;
    QVERIFY(!child.start(arguments, {}, {})); // one at a time
    QCOMPARE(errno, EINVAL);
    QVERIFY(child.wait().exited);
}

void TestSystem::rotational_data()
{
    QTest::addColumn<unsigned>("minor"); // of major 8, in a sysfs laid out as the kernel's
    QTest::addColumn<std::optional<bool>>("rotational");
    QTest::newRow("spinning disk") << 0u << std::optional(true);
    QTest::newRow("partition of a spinning disk") << 1u << std::optional(true);
    QTest::newRow("solid-state disk") << 16u << std::optional(false);
    QTest::newRow("partition of a solid-state disk") << 17u << std::optional(false);
    QTest::newRow("no such device") << 99u << std::optional<bool>();
    QTest::newRow("a device with no queue") << 32u << std::optional<bool>();
    QTest::newRow("a virtual disk, said to spin") << 48u << std::optional<bool>();
}

// /sys/dev/block/MAJOR:MINOR links to the device's folder; a partition's lies inside its disk's,
// and only a disk has a queue.
void TestSystem::rotational()
{
    QFETCH(unsigned, minor);
    QTemporaryDir sysfs;
    QCOMPARE(
        QProcess::execute(
            u"sh"_s, {u"-c"_s,
                      u"cd \"$0\" && mkdir -p dev/block devices/sdc && for d in sda sdb "
                      "virtio1/block/vda; do mkdir -p devices/$d/queue devices/$d/${d}1; done "
                      "&& echo 1 >devices/sda/queue/rotational && echo 0 "
                      ">devices/sdb/queue/rotational && echo 1 "
                      ">devices/virtio1/block/vda/queue/rotational && cd dev/block && for l in "
                      "8:0=sda 8:1=sda/sda1 8:16=sdb 8:17=sdb/sdb1 8:32=sdc "
                      "8:48=virtio1/block/vda; do ln -s ../../devices/${l#*=} ${l%=*}; done"_s,
                      sysfs.path()}),
        0);
    QTEST(BlockDevice::IsRotational(makedev(8, minor), QFile::encodeName(sysfs.path())),
          "rotational");
}

// The reserve is for the reserving thread: its next allocations must find the pages already
// faulted in by the thread that released it, or the window's thread pays the faults after all.
void TestSystem::warmHeap()
{
#if defined(__SANITIZE_ADDRESS__) || !defined(__GLIBC__)
    QSKIP("another allocator than glibc's serves malloc here");
#else
    constexpr std::size_t Bytes = 8 << 20;
    void *reserve = WarmHeap::Reserve(Bytes);
    std::thread([reserve] { WarmHeap::Release(reserve, Bytes); }).join();
    rusage before{}, after{};
    ::getrusage(RUSAGE_THREAD, &before);
    auto *block = static_cast<volatile char *>(std::malloc(Bytes / 2));
    for (std::size_t at = 0; at < Bytes / 2; at += 4096)
        block[at] = 1;
    ::getrusage(RUSAGE_THREAD, &after);
    std::free(const_cast<char *>(block));
    QCOMPARE_LT(after.ru_minflt - before.ru_minflt, 64); // of 1,024 pages
#endif
}

QTEST_GUILESS_MAIN(TestSystem)
#include "tst_system.moc"
