#include "DriveList.h"
#include "MountTable.h"

#include <QTest>

#include <sys/sysmacros.h>

#include <limits>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(MountEntry)

class TestVolumes : public QObject
{
    Q_OBJECT
private slots:
    void desktopTable();
    void selection_data();
    void selection();
    void rootIsAlwaysOffered_data();
    void rootIsAlwaysOffered();
    void kindOf_data();
    void kindOf();
    void parse_data();
    void parse();
    void diskSpaceOf();
    void thisMachine();
};

namespace {

// Sizes and removable flags decided by the test instead of the machine: "/mnt/empty" is empty, the
// devices 8:17 and 11:0 are removable.
class FakeProbe : public VolumeProbe
{
public:
    quint64 totalBytes(const QByteArray &point) const override
    {
        return point == "/mnt/empty" ? 0 : 250'000'000'000;
    }
    bool isRemovableDevice(quint32 major, quint32 minor) const override
    {
        return (major == 8 && minor == 17) || (major == 11 && minor == 0);
    }
};

QByteArray KindText(DriveKind kind)
{
    static const char *const names[] = {"unknown",   "floppy", "fixed",  "cdrom",
                                        "removable", "remote", "ramdisk"};
    return names[int(kind)];
}

// The / line every small table starts with.
const QByteArray RootLine = "28 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw\n"_ba;

} // namespace

// A desktop as the kernel describes it, system mounts and all.
void TestVolumes::desktopTable()
{
    const QByteArray table =
        R"(25 28 0:23 / /run rw,nosuid,nodev,noexec,relatime shared:5 - tmpfs tmpfs rw,size=1608000k,mode=755
28 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw,errors=remount-ro
60 28 7:0 / /snap/core22/1380 ro,nodev,relatime shared:30 - squashfs /dev/loop0 ro,errors=continue
70 28 259:3 / /home rw,relatime shared:33 - ext4 /dev/nvme0n1p3 rw
71 28 259:1 / /boot/efi rw,relatime shared:34 - vfat /dev/nvme0n1p1 rw,fmask=0077,dmask=0077,codepage=437
72 28 0:35 / /tmp rw,nosuid,nodev shared:35 - tmpfs tmpfs rw,size=8039184k,nr_inodes=1048576
90 25 0:45 / /run/user/1000 rw,nosuid,nodev,relatime shared:50 - tmpfs tmpfs rw,mode=700,uid=1000
91 90 0:46 / /run/user/1000/gvfs rw,nosuid,nodev,relatime shared:51 - fuse.gvfsd-fuse gvfsd-fuse rw
100 28 0:50 / /mnt/nas rw,relatime shared:60 - nfs4 nas.local:/export/media rw,vers=4.2,addr=192.168.1.10
101 28 0:51 / /mnt/share rw,relatime shared:61 - cifs //fileserver/public rw,vers=3.1.1,username=ann
102 70 0:52 / /home/ann/remote rw,nosuid,nodev,relatime shared:62 - fuse.sshfs ann@build:/srv rw,user_id=1000
110 28 8:17 / /media/ann/USB\040STICK rw,nosuid,nodev,relatime shared:70 - vfat /dev/sdb1 rw,fmask=0022
111 28 11:0 / /media/cdrom ro,nosuid,nodev,relatime shared:71 - iso9660 /dev/sr0 ro,blocksize=2048
120 28 259:3 /ann/projects /srv/projects rw,relatime shared:33 - ext4 /dev/nvme0n1p3 rw
121 28 259:4 / /mnt/empty rw,relatime shared:80 - ext4 /dev/nvme0n1p4 rw
)"_ba;
    QByteArrayList described;
    for (const Volume &v : SelectVolumes(ParseMountInfo(table), FakeProbe()))
        described << v.root() + ", " + KindText(v.kind) + ", " + v.fsType + ' ' + v.source + ' ' +
                         QByteArray::number(major(v.deviceId)) + ':' +
                         QByteArray::number(minor(v.deviceId));
    const QByteArrayList expected = {
        "/, fixed, ext4 /dev/nvme0n1p2 259:2"_ba,
        "/boot/efi/, fixed, vfat /dev/nvme0n1p1 259:1"_ba,
        "/home/, fixed, ext4 /dev/nvme0n1p3 259:3"_ba,
        "/home/ann/remote/, remote, fuse.sshfs ann@build:/srv 0:52"_ba,
        "/media/ann/USB STICK/, removable, vfat /dev/sdb1 8:17"_ba,
        "/media/cdrom/, cdrom, iso9660 /dev/sr0 11:0"_ba,
        "/mnt/nas/, remote, nfs4 nas.local:/export/media 0:50"_ba,
        "/mnt/share/, remote, cifs //fileserver/public 0:51"_ba,
        "/tmp/, ramdisk, tmpfs tmpfs 0:35"_ba,
    };
    QCOMPARE(described, expected);
}

void TestVolumes::selection_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QByteArrayList>("expected");
    const auto row = [](const char *name, const QByteArray &table, const QByteArrayList &expected) {
        QTest::newRow(name) << table << expected;
    };
    row("empty table", {}, {});
    row("no root in the table", "70 1 259:3 / /home rw - ext4 /dev/nvme0n1p3 rw"_ba, {"/home"_ba});
    row("overlay root of a container",
        "500 400 0:120 / / rw,relatime - overlay overlay rw,lowerdir=/l/A:/l/B,upperdir=/u\n"
        "501 500 0:123 / /proc rw,relatime - proc proc rw\n"
        "502 500 0:124 / /dev rw,nosuid - tmpfs tmpfs rw,size=65536k,mode=755\n"
        "504 500 259:2 /var/lib/docker/volumes/data/_data /data rw - ext4 /dev/nvme0n1p2 rw"_ba,
        {"/"_ba, "/data"_ba});
    // Of two mounts of one device the shorter mount point stays, whichever came first.
    row("bind mounts",
        RootLine + "70 28 8:33 / /data rw - ext4 /dev/sdc1 rw\n"
                   "71 28 8:33 /photos /srv/photos rw - ext4 /dev/sdc1 rw\n"
                   "72 28 8:49 /photos /srv/photos2 rw - ext4 /dev/sdd1 rw\n"
                   "73 28 8:49 / /data2 rw - ext4 /dev/sdd1 rw"_ba,
        {"/"_ba, "/data"_ba, "/data2"_ba});
    // Each btrfs subvolume is walked on its own; a bind mount of one is still the same volume.
    row("btrfs subvolumes",
        "30 1 0:30 /@ / rw - btrfs /dev/nvme0n1p2 rw,ssd,subvolid=256,subvol=/@\n"
        "31 30 0:30 /@home /home rw - btrfs /dev/nvme0n1p2 rw,ssd,subvolid=257,subvol=/@home\n"
        "32 30 0:30 /@home /srv/home rw - btrfs /dev/nvme0n1p2 rw,ssd,subvolid=257,subvol=/@home\n"
        "33 30 0:30 /@home/ann /srv/ann rw - btrfs /dev/nvme0n1p2 rw,ssd,subvolid=257,subvol=/@home"_ba,
        {"/"_ba, "/home"_ba});
    row("each RAM disk has its own minor",
        RootLine + "72 28 0:40 / /tmp rw - tmpfs tmpfs rw\n"
                   "73 28 0:41 / /var/cache/build rw - tmpfs tmpfs rw\n"
                   "74 28 0:40 / /mnt/tmp-again rw - tmpfs tmpfs rw"_ba,
        {"/"_ba, "/tmp"_ba, "/var/cache/build"_ba});
    row("RAM disks in system folders",
        RootLine + "41 28 0:33 / /run/lock rw - tmpfs tmpfs rw\n"
                   "42 28 0:34 / /dev/shm rw - tmpfs tmpfs rw\n"
                   "43 28 0:35 / /sys/fs/cgroup rw - tmpfs tmpfs rw\n"
                   "44 28 0:36 / /run rw - tmpfs tmpfs rw\n"
                   "45 28 0:37 / /runner rw - ramfs ramfs rw\n"
                   "46 28 0:38 / /devel/scratch rw - tmpfs scratch rw"_ba,
        {"/"_ba, "/devel/scratch"_ba, "/runner"_ba});
    row("network file systems wherever they are",
        RootLine + "80 28 0:50 / /run/user/1000/nas rw - nfs server:/export rw\n"
                   "81 28 0:51 / /proc/share rw - fuse.something //host/share rw"_ba,
        {"/"_ba, "/proc/share"_ba, "/run/user/1000/nas"_ba});
    // btrfs gives an anonymous device number even on a loop device.
    row("read-only images",
        RootLine + "61 28 7:4 / /mnt/iso ro,relatime - iso9660 /dev/loop4 ro\n"
                   "62 28 7:5 / /mnt/image rw,relatime - ext4 /dev/loop5 rw\n"
                   "63 28 8:18 / /mnt/ro-disk ro,relatime - ext4 /dev/sdb2 ro\n"
                   "64 28 259:9 / /mnt/squash rw - squashfs /dev/nvme0n1p9 ro\n"
                   "65 28 0:70 / /mnt/erofs rw - erofs /dev/mapper/layer ro\n"
                   "66 28 0:80 / /mnt/btrfs-image ro - btrfs /dev/loop6 ro"_ba,
        {"/"_ba, "/mnt/image"_ba, "/mnt/ro-disk"_ba});
    row("pseudo and helper file systems, overlays away from the root",
        RootLine + "92 28 0:47 / /mnt/doc rw - fuse.portal portal rw\n"
                   "93 28 0:4 net:[4026532281] /mnt/netns rw - nsfs nsfs rw\n"
                   "94 28 0:60 / /mnt/proc rw - proc proc rw\n"
                   "95 28 0:130 / /var/lib/docker/overlay2/abc/merged rw - overlay overlay rw"_ba,
        {"/"_ba});
    row("a later mount hides an earlier one at the same place",
        RootLine + "70 28 0:40 / /mnt/data rw - tmpfs tmpfs rw\n"
                   "71 28 8:33 / /mnt/data rw - ext4 /dev/sdc1 rw\n"
                   "72 28 0:55 / /mnt/nas rw - autofs systemd-1 rw,fd=50\n"
                   "73 72 0:56 / /mnt/nas rw - nfs4 server:/export rw"_ba,
        {"/"_ba, "/mnt/data"_ba, "/mnt/nas"_ba});
    row("sorted by bytes",
        "70 1 8:33 / /Z rw - ext4 /dev/sdc1 rw\n"
        "71 1 8:34 / /\xc3\xa9t\xc3\xa9 rw - ext4 /dev/sdc2 rw\n"
        "72 1 8:35 / /a rw - ext4 /dev/sdc3 rw\n"_ba +
            RootLine,
        {"/"_ba, "/Z"_ba, "/a"_ba, "/\xc3\xa9t\xc3\xa9"_ba});
}

void TestVolumes::selection()
{
    QFETCH(QByteArray, table);
    QFETCH(QByteArrayList, expected);
    QByteArrayList found;
    for (const Volume &volume : SelectVolumes(ParseMountInfo(table), FakeProbe()))
        found << volume.mountPoint;
    QCOMPARE(found, expected);
}

void TestVolumes::rootIsAlwaysOffered_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QByteArrayList>("expected");
    QTest::addColumn<QByteArray>("rootSource");
    QTest::newRow("listed root kept") << RootLine + "60 1 8:17 / /media/usb rw - vfat /dev/sdb1 rw\n"_ba
                                      << QByteArrayList{"/"_ba, "/media/usb"_ba} << "/dev/nvme0n1p2"_ba;
    // A chroot sees only the mounts made inside it.
    QTest::newRow("chroot without a line for /")
        << "60 1 0:50 / /tmp/.X11-unix rw - tmpfs tmpfs rw\n"
           "61 1 0:5 / /proc rw - proc proc rw\n"_ba
        << QByteArrayList{"/"_ba, "/tmp/.X11-unix"_ba} << QByteArray();
}

void TestVolumes::rootIsAlwaysOffered()
{
    QFETCH(QByteArray, table);
    QFETCH(QByteArrayList, expected);
    QFETCH(QByteArray, rootSource);
    QList<Volume> volumes = SelectVolumes(ParseMountInfo(table), FakeProbe());
    OfferRoot(volumes, Volume{"/"_ba, {}, {}, DriveKind::Fixed, 1});
    QByteArrayList found;
    for (const Volume &volume : volumes)
        found << volume.mountPoint;
    QCOMPARE(found, expected);
    QCOMPARE(volumes.first().source, rootSource); // the table's own line wins when there is one
}

void TestVolumes::kindOf_data()
{
    QTest::addColumn<MountEntry>("entry");
    QTest::addColumn<bool>("removable");
    QTest::addColumn<QByteArray>("kind");
    const auto row = [](const char *name, const char *type, const char *source, const char *point,
                        quint32 major, bool removable, const char *kind) {
        QTest::newRow(name) << MountEntry{major, 1, "/"_ba, point, type, source, "rw"_ba, "rw"_ba}
                            << removable << QByteArray(kind);
    };
    row("floppy before removable", "vfat", "/dev/fd0", "/media/floppy", 2, true, "floppy");
    row("/dev/fd without a unit", "ext4", "/dev/fdisk", "/mnt/x", 8, false, "fixed");
    row("iso9660", "iso9660", "/dev/sr0", "/media/cdrom", 11, true, "cdrom");
    row("any file system on sr", "hfsplus", "/dev/sr0", "/mnt/mac", 11, false, "cdrom");
    row("network before removable", "nfs4", "nas:/music", "/media/music", 0, false, "remote");
    row("host:/path source", "fuse", "server:/export", "/mnt/x", 0, false, "remote");
    row("//host/share source", "fuse.smbnetfs", "//nas/share", "/mnt/x", 0, false, "remote");
    row("nfsd is not nfs", "nfsd", "nfsd", "/proc/fs/nfsd", 0, false, "unknown");
    row("tmpfs before removable", "tmpfs", "tmpfs", "/media/ram", 0, false, "ramdisk");
    row("removable flag", "fuseblk", "/dev/sdc1", "/mnt/win", 8, true, "removable");
    row("under /media", "ext4", "/dev/sdc1", "/media/ann/Backup", 8, false, "removable");
    row("/media itself", "ext4", "/dev/sda3", "/media", 8, false, "fixed");
    row("/mediashare", "ext4", "/dev/sda4", "/mediashare/x", 8, false, "fixed");
    row("overlay", "overlay", "overlay", "/", 0, false, "unknown");
}

void TestVolumes::kindOf()
{
    QFETCH(MountEntry, entry);
    QFETCH(bool, removable);
    QFETCH(QByteArray, kind);
    QCOMPARE(KindText(KindOf(entry, removable)), kind);
}

void TestVolumes::parse_data()
{
    // Each entry as "major:minor|root|mount point|mount options|type|source|super-block options".
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArrayList>("entries");
    QTest::newRow("every field")
        << "36 35 98:0 /mnt1 /mnt\\0402 rw,noatime master:1 shared:4 - ext3 /dev/root rw,e=c\n"
           "37 35 0:44 / /tmp/x rw - tmpfs  rw\n"_ba // an empty source between the two spaces
        << QByteArrayList{"98:0|/mnt1|/mnt 2|rw,noatime|ext3|/dev/root|rw,e=c"_ba,
                          "0:44|/|/tmp/x|rw|tmpfs||rw"_ba};

    // Octal escapes are decoded once, in the root, the mount point and the source alike.
    const auto escaped = [](const char *name, const QByteArray &written, const QByteArray &path) {
        QTest::newRow(name) << "40 28 8:1 " + written + ' ' + written + " rw - ext4 " + written +
                                   " rw"
                            << QByteArrayList{"8:1|" + path + '|' + path + "|rw|ext4|" + path +
                                              "|rw"};
    };
    escaped("space, tab, newline", "/a\\040b\\011c\\012"_ba, "/a b\tc\n"_ba);
    escaped("backslash", "/mnt/a\\134b"_ba, "/mnt/a\\b"_ba);
    escaped("decoded once", "/mnt/\\134040"_ba, "/mnt/\\040"_ba);
    escaped("not octal", "/mnt/\\089"_ba, "/mnt/\\089"_ba);

    // A line without the expected fields is skipped, and the next one read.
    const QByteArray good = "70 28 8:33 / /good rw - ext4 /dev/sdc1 rw"_ba;
    const auto skipped = [&](const char *name, const char *bad) {
        QTest::newRow(name) << QByteArray(bad) + '\n' + good + '\n'
                            << QByteArrayList{"8:33|/|/good|rw|ext4|/dev/sdc1|rw"_ba};
    };
    skipped("no separator", "70 28 8:33 / /bad rw ext4 /dev/sdc1 rw");
    skipped("no super-block options", "70 28 8:33 / /bad rw - ext4 /dev/sdc1");
    skipped("device without colon", "70 28 833 / /bad rw - ext4 /dev/sdc1 rw");
    skipped("device beyond 32 bits", "70 28 4294967296:1 / /bad rw - ext4 /dev/sdc1 rw");
    skipped("relative mount point", "70 28 8:33 / bad rw - ext4 /dev/sdc1 rw");
    QTest::newRow("no final newline, largest device")
        << "70 28 4294967295:4294967295 / /a rw - ext4 /dev/x rw\n"_ba + good
        << QByteArrayList{"4294967295:4294967295|/|/a|rw|ext4|/dev/x|rw"_ba,
                          "8:33|/|/good|rw|ext4|/dev/sdc1|rw"_ba};
}

void TestVolumes::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, entries);
    QByteArrayList found;
    for (const MountEntry &e : ParseMountInfo(text))
        found << QByteArray::number(e.major) + ':' + QByteArray::number(e.minor) + '|' + e.root +
                     '|' + e.mountPoint + '|' + e.mountOptions + '|' + e.fsType + '|' + e.source +
                     '|' + e.superOptions;
    QCOMPARE(found, entries);
}

// Every free block counts; products beyond 64 bits saturate; free never exceeds total.
void TestVolumes::diskSpaceOf()
{
    constexpr quint64 Max = std::numeric_limits<quint64>::max();
    const auto space = [](quint64 blocks, quint64 freeBlocks, quint64 blockSize) {
        const DiskSpace s = DiskSpaceOf(blocks, freeBlocks, blockSize);
        return std::pair(s.TotalBytes, s.FreeBytes);
    };
    QCOMPARE(space(3'000'000'000, 2'000'000'000, 4096),
             std::pair(12'288'000'000'000ull, 8'192'000'000'000ull));
    QCOMPARE(space(Max / 2, 10, 4), std::pair(Max, 40ull));
    QCOMPARE(space(Max / 2, Max / 3, 4), std::pair(Max, Max));
    QCOMPARE(space(100, 150, 512), std::pair(51200ull, 51200ull));
}

// The machine's mounts vary; only the root is certain.
void TestVolumes::thisMachine()
{
    DiskSpace space;
    QVERIFY(GetDiskSpace("/"_ba, space));
    QVERIFY(space.FreeBytes > 0 && space.FreeBytes <= space.TotalBytes);
    DiskSpace untouched{7, 11};
    QVERIFY(!GetDiskSpace("/no/such/folder/quarnel-test"_ba, untouched));
    QCOMPARE(std::pair(untouched.FreeBytes, untouched.TotalBytes), std::pair(7ull, 11ull));
    QCOMPARE(GetDriveList().value(0).mountPoint, "/"_ba);
}

QTEST_APPLESS_MAIN(TestVolumes)
#include "tst_volumes.moc"
