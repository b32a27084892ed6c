#include "MountTable.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <limits>

namespace {

// Kernel file systems that hold no user data; several of them are mounted on every machine.
constexpr QByteArrayView PseudoTypes[] = {
    "proc",       "sysfs",    "cgroup",          "cgroup2",     "devpts",    "devtmpfs",
    "securityfs", "debugfs",  "tracefs",         "pstore",      "bpf",       "mqueue",
    "hugetlbfs",  "configfs", "fusectl",         "binfmt_misc", "autofs",    "efivarfs",
    "rpc_pipefs", "nsfs",     "selinuxfs",       "smackfs",     "nfsd",      "cpuset",
    "usbfs",      "xenfs",    "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs"};

// Images that can only be read: snaps, live media, container layers. Their content belongs to a
// package, not to the user.
constexpr QByteArrayView ImageTypes[] = {"squashfs", "erofs", "cramfs", "fuse.squashfuse",
                                         "fuse.snapfuse"};

// File systems that live on another machine (or, for 9p, virtiofs and vboxsf, on the host of a
// virtual machine).
// clang-format off
constexpr QByteArrayView NetworkTypes[] = {
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "ncp", "afs", "ceph", "9p", "virtiofs",
    "vboxsf", "coda", "lustre", "beegfs", "gpfs", "orangefs", "glusterfs", "davfs", "sshfs",
    "fuse.sshfs", "fuse.glusterfs", "fuse.davfs2", "fuse.rclone", "fuse.s3fs", "fuse.curlftpfs",
    "fuse.ceph-fuse", "fuse.vmhgfs-fuse"};
// clang-format on

constexpr QByteArrayView RamDiskTypes[] = {"tmpfs", "ramfs"};

// Where the system keeps its own RAM disks (/dev/shm, /run/user/1000, /sys/fs/cgroup...).
constexpr QByteArrayView SystemFolders[] = {"/dev", "/run", "/sys", "/proc"};

constexpr quint32 LoopMajor = 7;

template<qsizetype N> bool IsOneOf(QByteArrayView value, const QByteArrayView (&list)[N])
{
    return std::find(std::begin(list), std::end(list), value) != std::end(list);
}

// The folder itself or anything below it; "/home2" is not below "/home".
bool IsAtOrUnder(QByteArrayView path, QByteArrayView folder)
{
    return path.startsWith(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

bool IsStrictlyUnder(QByteArrayView path, QByteArrayView folder)
{
    return path.size() > folder.size() && IsAtOrUnder(path, folder);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "/dev/sr0", "/dev/fd1u1440": the prefix followed by a unit number.
bool IsNumberedDevice(QByteArrayView source, QByteArrayView prefix)
{
    return source.size() > prefix.size() && source.startsWith(prefix) &&
           IsDigit(source[prefix.size()]);
}

// "server:/export", "[fe80::1]:/export", "https://host/dav" or "//server/share": a source that
// names another machine, whatever the file system calls itself.
bool LooksLikeNetworkSource(QByteArrayView source)
{
    if (source.startsWith("//"))
        return true;
    const qsizetype colon = source.indexOf(":/");
    return colon > 0 && !source.first(colon).contains('/');
}

bool HasOption(QByteArrayView options, QByteArrayView option)
{
    qsizetype start = 0;
    while (start <= options.size()) {
        qsizetype end = options.indexOf(',', start);
        if (end < 0)
            end = options.size();
        if (options.sliced(start, end - start) == option)
            return true;
        start = end + 1;
    }
    return false;
}

bool IsReadOnlyImage(const MountEntry &entry)
{
    if (IsOneOf(entry.fsType, ImageTypes))
        return true;
    const bool loop = entry.major == LoopMajor || entry.source.startsWith("/dev/loop");
    return loop && HasOption(entry.mountOptions, "ro");
}

bool IsOffered(const MountEntry &entry, DriveKind kind)
{
    if (IsOneOf(entry.fsType, PseudoTypes))
        return false;
    // Whatever the root is made of (an overlay in a container, an image on an appliance), it is
    // where the user's files are.
    if (entry.mountPoint == "/")
        return true;
    if (IsReadOnlyImage(entry))
        return false;
    switch (kind) {
    case DriveKind::Unknown:
        return false;
    case DriveKind::RamDisk:
        return std::none_of(
            std::begin(SystemFolders), std::end(SystemFolders),
            [&](QByteArrayView folder) { return IsAtOrUnder(entry.mountPoint, folder); });
    default:
        return true;
    }
}

// Of two mounts of one device, the one with the shorter mount point is the one users know.
bool IsBetterMount(const Volume &candidate, const Volume &kept)
{
    if (candidate.mountPoint.size() != kept.mountPoint.size())
        return candidate.mountPoint.size() < kept.mountPoint.size();
    return candidate.mountPoint < kept.mountPoint;
}

bool ParseNumber(QByteArrayView text, quint32 &value)
{
    if (text.isEmpty() || text.size() > 10)
        return false;
    quint64 result = 0;
    for (const char c : text) {
        if (!IsDigit(c))
            return false;
        result = result * 10 + quint64(c - '0');
    }
    if (result > std::numeric_limits<quint32>::max())
        return false;
    value = quint32(result);
    return true;
}

bool IsOctalDigit(char c)
{
    return c >= '0' && c <= '7';
}

// The kernel writes a space, tab, newline or backslash in a path as "\" and three octal digits.
// One pass only: "\134040" is a backslash followed by "040".
QByteArray Unescape(QByteArrayView field)
{
    QByteArray result;
    result.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
            IsOctalDigit(field[i + 2]) && IsOctalDigit(field[i + 3])) {
            const int code =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            result += char(code);
            i += 3;
        } else {
            result += c;
        }
    }
    return result;
}

// The fields of a line, split at every single space: an empty field (a mount with an empty
// source) stays a field.
QList<QByteArrayView> Fields(QByteArrayView line)
{
    QList<QByteArrayView> fields;
    qsizetype start = 0;
    while (true) {
        const qsizetype space = line.indexOf(' ', start);
        if (space < 0) {
            fields.append(line.sliced(start));
            return fields;
        }
        fields.append(line.sliced(start, space - start));
        start = space + 1;
    }
}

// What tells two mounts of one volume from mounts of two volumes. The subvolumes of a btrfs
// file system share its device number in the table, yet each has a device of its own to stat(),
// so a walk of one never enters another: each is a volume of its own. Bind mounts of one
// subvolume name the same subvolume id.
QByteArray VolumeIdentity(const MountEntry &entry)
{
    QByteArray identity = QByteArray::number(entry.major) + ':' + QByteArray::number(entry.minor);
    if (entry.fsType == "btrfs") {
        for (const QByteArray &option : entry.superOptions.split(','))
            if (option.startsWith("subvolid="))
                return identity + '#' + option;
        identity += '#' + entry.root;
    }
    return identity;
}

// "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue": mount and
// parent IDs, major:minor, root, mount point, options, any number of optional fields ended by
// "-", then type, source and super-block options.
bool ParseLine(QByteArrayView line, MountEntry &entry)
{
    const QList<QByteArrayView> fields = Fields(line);
    constexpr qsizetype FixedFields = 6;
    qsizetype separator = FixedFields;
    while (separator < fields.size() && fields[separator] != "-")
        ++separator;
    if (fields.size() - separator < 4)
        return false;

    quint32 id = 0;
    quint32 parent = 0;
    if (!ParseNumber(fields[0], id) || !ParseNumber(fields[1], parent))
        return false;
    const QByteArrayView device = fields[2];
    const qsizetype colon = device.indexOf(':');
    if (colon < 0 || !ParseNumber(device.first(colon), entry.major) ||
        !ParseNumber(device.sliced(colon + 1), entry.minor))
        return false;

    entry.root = Unescape(fields[3]);
    entry.mountPoint = Unescape(fields[4]);
    entry.mountOptions = fields[5].toByteArray();
    entry.fsType = Unescape(fields[separator + 1]);
    entry.source = Unescape(fields[separator + 2]);
    entry.superOptions = fields[separator + 3].toByteArray();
    return !entry.root.isEmpty() && entry.mountPoint.startsWith('/') && !entry.fsType.isEmpty();
}

} // namespace

QList<MountEntry> ParseMountInfo(QByteArrayView text)
{
    QList<MountEntry> entries;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        MountEntry entry;
        if (ParseLine(text.sliced(start, end - start), entry))
            entries.append(std::move(entry));
        start = end + 1;
    }
    return entries;
}

DriveKind KindOf(const MountEntry &entry, bool removableDevice)
{
    const QByteArray &source = entry.source;
    if (IsNumberedDevice(source, "/dev/fd"))
        return DriveKind::Floppy;
    if (entry.fsType == "iso9660" || entry.fsType == "udf" || IsNumberedDevice(source, "/dev/sr") ||
        IsNumberedDevice(source, "/dev/scd") || source == "/dev/cdrom" || source == "/dev/dvd")
        return DriveKind::CdRom;
    const bool ramDisk = IsOneOf(entry.fsType, RamDiskTypes);
    // A RAM disk's source is any name its owner chose, so it proves nothing there.
    if (IsOneOf(entry.fsType, NetworkTypes) || (!ramDisk && LooksLikeNetworkSource(source)))
        return DriveKind::Remote;
    if (ramDisk)
        return DriveKind::RamDisk;
    if (removableDevice || IsStrictlyUnder(entry.mountPoint, "/media") ||
        IsStrictlyUnder(entry.mountPoint, "/run/media"))
        return DriveKind::Removable;
    // ZFS names its pool where others name a device.
    if (source.startsWith("/dev/") || entry.major != 0 || entry.fsType == "zfs")
        return DriveKind::Fixed;
    return DriveKind::Unknown;
}

QList<Volume> SelectVolumes(const QList<MountEntry> &entries, const VolumeProbe &probe)
{
    // A mount over a place already mounted hides what was there: only the last one counts.
    QSet<QByteArray> placesSeen;
    QHash<QByteArray, Volume> byDevice;
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        const MountEntry &entry = *it;
        if (placesSeen.contains(entry.mountPoint))
            continue;
        placesSeen.insert(entry.mountPoint);

        const bool removable = entry.major != 0 && !IsOneOf(entry.fsType, PseudoTypes) &&
                               probe.isRemovableDevice(entry.major, entry.minor);
        const DriveKind kind = KindOf(entry, removable);
        if (!IsOffered(entry, kind) || probe.totalBytes(entry.mountPoint) == 0)
            continue;

        Volume volume;
        volume.mountPoint = entry.mountPoint;
        volume.kind = kind;
        const QByteArray identity = VolumeIdentity(entry);
        const auto kept = byDevice.constFind(identity);
        if (kept == byDevice.cend() || IsBetterMount(volume, *kept))
            byDevice.insert(identity, volume);
    }

    // "/" sorts before every other absolute path, so byte order alone puts it first.
    QList<Volume> volumes = byDevice.values();
    std::sort(volumes.begin(), volumes.end(),
              [](const Volume &a, const Volume &b) { return a.mountPoint < b.mountPoint; });
    return volumes;
}

void OfferRoot(QList<Volume> &volumes, const Volume &root)
{
    const bool listed = std::any_of(volumes.cbegin(), volumes.cend(),
                                    [](const Volume &volume) { return volume.mountPoint == "/"; });
    if (!listed)
        volumes.prepend(root);
}
