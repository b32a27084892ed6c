#include "DriveList.h"
#include "DriveScan.h"
#include "ExcludePatterns.h"
#include "FileRecordCodec.h"
#include "FolderRecord.h"
#include "MountTable.h"
#include "PathEscape.h"
#include "Paths.h"

#include <QTest>

#include <limits>

#include <fnmatch.h>

using namespace Qt::StringLiterals;

// The scan library below the walk, with no trees to make: the mount table and the volumes, the
// records and the path functions.
class TestScan : public QObject
{
    Q_OBJECT
private slots:
    void parse();
    void selection_data();
    void selection();
    void diskSpace();
    void records_data();
    void records();
    void pathIndex();
    void escape_data();
    void escape();
    void paths_data();
    void paths();
    void excludeMatches_data();
    void excludeMatches();
    void excludePaths();
};

namespace {

constexpr quint64 Max = std::numeric_limits<quint64>::max();

using File = std::tuple<QByteArray, quint64, quint64, qint64>; // name, size, on disk, date

// "/mnt/empty" is empty; minor 17 is a removable device, whatever the major.
struct FakeProbe : VolumeProbe
{
    quint64 totalBytes(const QByteArray &point) const override
    {
        return point == "/mnt/empty" ? 0 : 1;
    }
    bool isRemovableDevice(quint32, quint32 minor) const override { return minor == 17; }
};

QByteArray KindText(DriveKind kind)
{
    static const char *const names[] = {"unknown",   "floppy", "fixed",  "cdrom",
                                        "removable", "remote", "ramdisk"};
    return names[int(kind)];
}

// Rows of an input and what it becomes.
void Rows(std::initializer_list<std::pair<QByteArray, QByteArray>> rows)
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    for (const auto &[input, expected] : rows)
        QTest::newRow(input.constData()) << input << expected;
}

} // namespace

// Each entry as "major:minor|root|mount point|mount options|type|source|super-block options". A
// line without the expected fields is skipped, and the next one read.
void TestScan::parse()
{
    const QByteArray table =
        "36 35 98:0 /mnt1 /mnt\\0402 rw,noatime master:1 shared:4 - ext3 /dev/root rw,e=c\n"
        "37 35 0:44 / /tmp/x rw - tmpfs  rw\n" // an empty source between the two spaces
        // Octal escapes are decoded once, in the root, the mount point and the source alike.
        "40 28 8:1 /a\\040b\\011c\\012 /a\\040b\\011c\\012 rw - ext4 /a\\040b\\011c\\012 rw\n"
        "41 28 8:2 /mnt/a\\134b /mnt/\\134040 rw - ext4 /mnt/\\089 rw\n"
        "70 28 8:33 / /bad rw ext4 /dev/sdc1 rw\n"              // no separator
        "70 28 8:33 / /bad rw - ext4 /dev/sdc1\n"               // no super-block options
        "70 28 833 / /bad rw - ext4 /dev/sdc1 rw\n"             // device without colon
        "70 28 4294967296:1 / /bad rw - ext4 /dev/sdc1 rw\n"    // device beyond 32 bits
        "70 28 8:33 / bad rw - ext4 /dev/sdc1 rw\n"             // relative mount point
        "70 x 8:33 / /bad rw - ext4 /dev/sdc1 rw\n"             // parent not a number
        "70 28 4294967295:4294967295 / /a rw - ext4 /dev/x rw"; // no final newline
    QByteArrayList found;
    for (const MountEntry &e : ParseMountInfo(table))
        found << QByteArray::number(e.major) + ':' + QByteArray::number(e.minor) + '|' + e.root +
                     '|' + e.mountPoint + '|' + e.mountOptions + '|' + e.fsType + '|' + e.source +
                     '|' + e.superOptions;
    QCOMPARE(found, QByteArrayList({"98:0|/mnt1|/mnt 2|rw,noatime|ext3|/dev/root|rw,e=c",
                                    "0:44|/|/tmp/x|rw|tmpfs||rw",
                                    "8:1|/a b\tc\n|/a b\tc\n|rw|ext4|/a b\tc\n|rw",
                                    "8:2|/mnt/a\\b|/mnt/\\040|rw|ext4|/mnt/\\089|rw",
                                    "4294967295:4294967295|/|/a|rw|ext4|/dev/x|rw"}));
}

void TestScan::selection_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QByteArray>("expected");
    // A desktop with every kind of mount that must be left out or merged.
    QTest::newRow("desktop")
        << R"(25 28 0:23 / /run rw - tmpfs tmpfs rw
43 28 0:33 / /run/lock rw - tmpfs tmpfs rw
46 28 0:37 / /runner rw - ramfs ramfs rw
60 28 259:9 / /mnt/squash rw - squashfs /dev/nvme0n1p9 ro
61 28 7:4 / /mnt/iso ro - ext4 /dev/mapper/iso ro
62 28 7:5 / /mnt/image rw - ext4 /dev/loop5 rw
63 28 8:18 / /mnt/ro-disk ro - ext4 /dev/sdb2 ro
66 28 0:80 / /mnt/btrfs-image ro - btrfs /dev/loop6 ro
70 28 8:33 / /data rw - ext4 /dev/sdc1 rw
71 28 8:33 /photos /srv/photos rw - ext4 /dev/sdc1 rw
72 28 8:49 /photos /srv/photos2 rw - ext4 /dev/sdd1 rw
73 28 8:49 / /data2 rw - ext4 /dev/sdd1 rw
28 1 259:2 / / rw - ext4 /dev/nvme0n1p2 rw
30 28 0:30 /@a /pool rw - btrfs /dev/sde rw,subvolid=256,subvol=/@a
31 28 0:30 /@b /pool/b rw - btrfs /dev/sde rw,subvolid=257,subvol=/@b
33 28 0:30 /@b/x /srv/b/x rw - btrfs /dev/sde rw,subvolid=257,subvol=/@b
40 28 0:40 / /tmp rw - tmpfs tmpfs rw
41 28 0:41 / /var/cache/build rw - tmpfs tmpfs rw
42 28 0:40 / /mnt/tmp-again rw - tmpfs tmpfs rw
80 28 0:50 / /run/user/1000/nas rw - nfs server:/export rw
91 28 0:46 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw
95 28 0:130 / /var/lib/docker/overlay2/abc/merged rw - overlay overlay rw
96 28 0:17 / /mnt/fuse rw - fuse.unknown unknown rw
97 28 8:17 / /mnt/usb rw - ext4 /dev/sdb1 rw
98 28 8:20 / /mnt/empty rw - ext4 /dev/sdb4 rw
100 28 0:90 / /mnt/data rw - tmpfs tmpfs rw
101 28 8:65 / /mnt/data rw - ext4 /dev/sdf1 rw
110 28 8:81 / /Z rw - ext4 /dev/sdg1 rw
111 28 8:82 / /été rw - ext4 /dev/sdg2 rw
120 28 2:17 / /media/floppy rw - vfat /dev/fd0 rw
121 28 8:112 / /media/cdrom ro - iso9660 /dev/sdh ro
122 28 11:0 / /mnt/mac ro - hfsplus /dev/sr0 ro
123 28 0:51 / /media/music rw - nfs4 nas:/music rw
124 28 0:52 / /mnt/sshfs rw - fuse host:/x rw
125 28 0:53 / /mnt/smb rw - fuse.smbnetfs //nas/share rw
126 28 0:54 / /media/ram rw - tmpfs host:/x rw
127 28 8:113 / /media/ann/Backup rw - ext4 /dev/sdh1 rw
128 28 8:114 / /media rw - ext4 /dev/sdh2 rw
129 28 8:115 / /mediashare/x rw - ext4 /dev/sdh3 rw
130 28 8:116 / /mnt/fdisk rw - ext4 /dev/fdisk rw
131 28 11:1 / /mnt/dvd ro - hfsplus /dev/cdrom ro
)"_ba
        << "/ fixed, /Z fixed, /data fixed, /data2 fixed, /media fixed, "
           "/media/ann/Backup removable, /media/cdrom cdrom, /media/floppy floppy, "
           "/media/music remote, /media/ram ramdisk, /mediashare/x fixed, /mnt/data fixed, "
           "/mnt/dvd cdrom, /mnt/fdisk fixed, /mnt/image fixed, /mnt/mac cdrom, /mnt/ro-disk "
           "fixed, "
           "/mnt/smb remote, /mnt/sshfs remote, /mnt/usb removable, /pool fixed, /pool/b fixed, "
           "/run/user/1000/nas remote, /runner ramdisk, /tmp ramdisk, /var/cache/build ramdisk, "
           "/été fixed"_ba;
    // The root offered in the table's stead shows as a floppy, a kind no "/" of a table has.
    QTest::newRow("chroot without a line for /")
        << "60 1 0:50 / /tmp/.X11-unix rw - tmpfs tmpfs rw\n"_ba
        << "/ floppy, /tmp/.X11-unix ramdisk"_ba;
    QTest::newRow("overlay root of a container")
        << "500 400 0:120 / / rw - overlay overlay rw,lowerdir=/l/A:/l/B,upperdir=/u\n"
           "504 500 259:2 /var/lib/docker/volumes/data/_data /data rw - ext4 /dev/nvme0n1p2 rw"_ba
        << "/ unknown, /data fixed"_ba;
}

// As GetDriveList chooses, root offered and all.
void TestScan::selection()
{
    QFETCH(QByteArray, table);
    QFETCH(QByteArray, expected);
    QList<Volume> volumes = SelectVolumes(ParseMountInfo(table), FakeProbe());
    OfferRoot(volumes, Volume{"/"_ba, DriveKind::Floppy});
    QByteArrayList found;
    for (const Volume &volume : volumes)
        found << volume.mountPoint + ' ' + KindText(volume.kind);
    QCOMPARE(found.join(", "), expected);
}

// Every free block counts; products beyond 64 bits saturate; free never exceeds total; a folder
// that cannot be asked leaves the space as it was.
void TestScan::diskSpace()
{
    const auto space = [](quint64 blocks, quint64 freeBlocks, quint64 blockSize) {
        const DiskSpace s = DiskSpaceOf(blocks, freeBlocks, blockSize);
        return std::pair(s.TotalBytes, s.FreeBytes);
    };
    QCOMPARE(space(3'000'000'000, 2'000'000'000, 4096),
             std::pair(12'288'000'000'000ull, 8'192'000'000'000ull));
    QCOMPARE(space(Max / 2, 10, 4), std::pair(Max, 40ull));
    QCOMPARE(space(Max / 2, Max / 3, 4), std::pair(Max, Max));
    QCOMPARE(space(100, 150, 512), std::pair(51200ull, 51200ull));
    DiskSpace untouched{7, 11};
    QVERIFY(!GetDiskSpace("/no/such/folder/quarnel-test"_ba, untouched));
    QCOMPARE(std::pair(untouched.FreeBytes, untouched.TotalBytes), std::pair(7ull, 11ull));
    QCOMPARE(GetDriveList().value(0).mountPoint, "/"_ba); // the machine's mounts vary, not this
}

// A folder's file records keep any name, size, bytes on disk and date, in their order, whatever
// the allocation unit; a file whose bytes on disk are its size rounded up to the unit costs its
// name and size and a byte. Totals beyond 64 bits saturate.
void TestScan::records_data()
{
    constexpr qint64 Latest = std::numeric_limits<qint64>::max();
    constexpr qint64 Day = 1733472000;
    QTest::addColumn<QList<File>>("files");
    QTest::addColumn<int>("packedBytes"); // -1: not checked
    QTest::newRow("4 KiB blocks") << QList<File>{{"a"_ba, 1, 4096, Day},
                                                 {"b"_ba, 4096, 4096, Day},
                                                 {"c"_ba, 4097, 8192, Day},
                                                 {""_ba, 0, 0, Day}}
                                  << 1 + 8 + 4 + 4 + 2;
    QTest::newRow("32 KiB clusters") << QList<File>{{"fat"_ba, 100, 32768, 0},
                                                    {"big"_ba, 40000, 65536, 0},
                                                    {"near"_ba, 32000, 32768, 0},
                                                    {"empty"_ba, 0, 0, 0}}
                                     << 1 + 5 + 7 + 8 + 7;
    // The unit of the folder written before fits.
    QTest::newRow("1 KiB blocks") << QList<File>{{"x"_ba, 1000, 1024, 5},
                                                 {"y"_ba, 1025, 2048, 5},
                                                 {"z"_ba, 3000, 3072, 5}}
                                  << 1 + 5 + 4 + 4;
    // Rounded up to the last folder's unit, the second size would wrap round to 0.
    QTest::newRow("unit after sparse files") << QList<File>{{"sparse"_ba, 5000, 0, 0},
                                                            {"huge"_ba, Max - 600, 0, 0},
                                                            {"empty"_ba, 0, 0, 0},
                                                            {"small"_ba, 100, 512, 0},
                                                            {"two"_ba, 5000, 5120, 0}}
                                             << -1;
    QTest::newRow("limits") << QList<File>{{""_ba, 0, 0, 0},
                                           {"sparse"_ba, 1ull << 33, 0, 1},
                                           {"compressed"_ba, 100000, 8192, 1},
                                           {"not in blocks"_ba, 3000, 3001, 1},
                                           {"preallocated"_ba, 0, 1ull << 20, 1},
                                           {"far above"_ba, 128, 1ull << 40, Day},
                                           {QByteArray(255, 'n'), Max, Max, Latest},
                                           {"rounding wraps"_ba, Max - 100, 0, Latest},
                                           {"rounded near 2^64"_ba, Max - 8291, Max - 8191, Latest},
                                           {"\xff\x00\n"_ba, 5ull << 30, 5ull << 30, -Latest - 1},
                                           {"before 1970"_ba, 10, 4096, -86400},
                                           {"unread"_ba, 0, 0, FileRecord::UnknownDate},
                                           {QByteArray(62, 's'), 1, 512, 0},
                                           {QByteArray(63, 't'), 1, 512, 0},
                                           {QByteArray(64, 'u'), 1, 1536, 0}}
                            << -1;
}

void TestScan::records()
{
    QFETCH(QList<File>, files);
    QFETCH(int, packedBytes);
    FileRecordWriter writer;
    writer.add("stale"_ba, 100, 2, 1024);
    writer.clear(); // a writer reused for the next folder starts afresh
    for (const auto &[name, size, allocated, date] : files)
        writer.add(name, size, date, allocated);
    if (packedBytes >= 0)
        QCOMPARE(writer.byteCount(), quint32(packedBytes));
    DriveScan scan("/"_ba);
    const auto root = scan.openedFolder(WalkSink::NoFolder, "/"_ba, 0, 0, 0);
    const auto folder = scan.openedFolder(root, "a"_ba, 0, 0, 0);
    scan.listedFolder(folder, writer, Max - 5, 0);
    scan.listedFolder(root, FileRecordWriter(), 100, 1);
    QCOMPARE(scan.totalSize(), Max);
    QCOMPARE(scan.folder(qsizetype(folder)).size(), Max - 5);
    QCOMPARE(scan.folder(qsizetype(folder)).fileCount(), quint32(files.size()));
    QList<File> read;
    for (const FileRecord &file : scan.folder(qsizetype(folder)).files())
        read.append({file.name.toByteArray(), file.size, file.allocated, file.date});
    QCOMPARE(read, files);
}

// Paths find their records, among enough folders that searches run into each other's slots,
// and no longer once removed, while those beside them still are.
void TestScan::pathIndex()
{
    DriveScan scan("/r/"_ba);
    QList<WalkSink::FolderId> ids{scan.openedFolder(WalkSink::NoFolder, "/r/"_ba, 0, 0, 0)};
    for (int i = 1; i < 3000; ++i)
        ids.append(scan.openedFolder(ids[i / 7], QByteArray::number(i), 0, 0, 0));
    for (int i = 1; i < 3000; i += 3)
        scan.forget(ids[i]);
    for (int i = 0; i < 3000; ++i)
        QCOMPARE(scan.indexOf(scan.pathOf(ids[i])), i % 3 == 1 ? -1 : qsizetype(ids[i]));
}

void TestScan::escape_data()
{
    // The first and last of the three-byte forms, and the last code point.
    Rows({{"é/\xe0\xa0\x80/\xef\xbf\xbd/😀/\xf4\x8f\xbf\xbf",
           "é/\xe0\xa0\x80/\xef\xbf\xbd/😀/\xf4\x8f\xbf\xbf"},
          {"del\x7f", "del\\x7f"},
          {"a\\b", "a\\\\b"},
          {"a\nb\tc", "a\\x0ab\\x09c"},
          {"\xc2\x9f", "\\xc2\\x9f"}, // the last C1 control
          {"\xc2\xa0", "\xc2\xa0"},   // the edges of the two-byte leads
          {"\xdf\xbf", "\xdf\xbf"},
          {"\xed\xbf\xbf", "\\xed\\xbf\\xbf"}, // the last surrogate
          {"\xed\xa0\x80", "\\xed\\xa0\\x80"},
          {"\xe2\x80\xa8|\xe2\x80\xa9", "\\xe2\\x80\\xa8|\\xe2\\x80\\xa9"},
          {"\xff\xfe", "\\xff\\xfe"},
          {"a\xc3", "a\\xc3"},
          {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
          {QByteArray("a\0b", 3), "a\\x00b"}});
}

void TestScan::escape()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(EscapePath(input), expected);
}

void TestScan::paths_data()
{
    // What AddSlash, ParentFolder and GetFolderName make of each path.
    Rows({{"", "||"},
          {"/", "/||/"},
          {"/a/", "/a/|/|a"},
          {"/a/b/", "/a/b/|/a/|b"},
          {"/home/ann", "/home/ann/|/home/|ann"},
          {"a/", "a/||a"},
          {"/data/\xff\xfe name/", "/data/\xff\xfe name/|/data/|\xff\xfe name"}});
}

// On the engine's bytes and on the display's text alike.
void TestScan::paths()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(AddSlash(input) + '|' + ParentFolder(input) + '|' + GetFolderName(input), expected);
    const QString text = QString::fromUtf8(input);
    QCOMPARE(AddSlash(text) + u'|' + ParentFolder(text) + u'|' + GetFolderName(text),
             QString::fromUtf8(expected));
}

// '*' and '?' take '/' too; a '[' with no ']' is itself; a final backslash matches nothing. Each
// row is also put to the C library's fnmatch in the C locale, the rules' reference.
void TestScan::excludeMatches_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("matches");
    static const char *const Rows[] = {"abc abc 1",
                                       "abc abd 0",
                                       "* ~ 1",
                                       "~ a 0",
                                       "a* a/b/c 1",
                                       "a?c a/c 1",
                                       "*.o main.oo 0",
                                       "*a*b xaxaxb 1",
                                       "*a*b xaxaxbx 0",
                                       "a*b*c acb 0",
                                       "**x x 1",
                                       "? ~ 0",
                                       "[!abc] b 0",
                                       "[^abc] d 1",
                                       "[a-c]x bx 1",
                                       "[a-c]x dx 0",
                                       "[]a] ] 1",
                                       "[!]a] ] 0",
                                       "[a-] - 1",
                                       "[[:digit:]]* 7 1",
                                       "[[:alpha:]] 7 0",
                                       "[/] / 1",
                                       "[abc [abc 1",
                                       "\\* * 1",
                                       "\\* x 0",
                                       "[\\]] ] 1",
                                       "a\\ a\\ 0",
                                       "* .hidden 1",
                                       "[[:alnum:]] a 1",
                                       "[[:upper:]] a 0",
                                       "[[:lower:]] a 1",
                                       "[[:space:]] \t 1",
                                       "[[:blank:]] \t 1",
                                       "[[:blank:]] a 0",
                                       "[[:punct:]] ! 1",
                                       "[[:xdigit:]] g 0",
                                       "[[:cntrl:]] \t 1",
                                       "[[:graph:]] ! 1",
                                       "[[:print:]] \t 0",
                                       "[[:nope:]] a 0",
                                       "[a[:digit:]] 5 1",
                                       "*a aba 1",
                                       "*ab abab 1"};
    for (const char *row : Rows) {
        QByteArrayList parts = QByteArray(row).split(' '); // "~": empty
        QTest::newRow(row) << parts[0].replace('~', "") << parts[1].replace('~', "")
                           << (parts[2] == "1");
    }
}

void TestScan::excludeMatches()
{
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, text);
    QFETCH(bool, matches);
    QCOMPARE(ExcludePatterns::Matches(pattern, text), matches);
    // This program sets no locale: the library's is "C".
    QCOMPARE(::fnmatch(pattern.constData(), text.constData(), 0) == 0, matches);
}

// The whole path, or a tail that starts after a '/'; a pattern that backtracks a naive matcher
// into years ends at once (this would hang, never pass slowly); the lines of --exclude-from.
void TestScan::excludePaths()
{
    const ExcludePatterns patterns({"node_modules", "app/.git", "/home/u/x", "/y", "u*.o"});
    for (const char *path : {"+/home/u/app/node_modules", "+/home/u/app/.git", "+/home/u/x",
                             "+/a/u/b.o", "-/home/u/node", "-/home/u/app/.gitx", "-/home/y"})
        QVERIFY2(patterns.excludes(path + 1) == (path[0] == '+'), path);
    const ExcludePatterns hostile({QByteArray("*a").repeated(40) + "*b"});
    const QByteArray path = '/' + QByteArray(255, 'a') + '/' + QByteArray(4000, 'a');
    QVERIFY(!hostile.excludes(path) && hostile.excludes(path + 'b'));
    QCOMPARE(ExcludePatterns::FromLines("a\r\n\n  b\n*.tmp \nlast"),
             QByteArrayList({"a", "  b", "*.tmp ", "last"}));
}

QTEST_APPLESS_MAIN(TestScan)
#include "tst_scan.moc"
