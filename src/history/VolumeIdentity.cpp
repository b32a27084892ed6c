#include "VolumeIdentity.h"

#include "DriveScan.h"
#include "FileSystem.h"
#include "MountTable.h"

#include <QFile>

namespace {

QByteArray WithSlash(QByteArray path)
{
    if (!path.endsWith('/'))
        path += '/';
    return path;
}

// The folder itself or anything below it; "/home2" is not below "/home".
bool IsAtOrUnder(QByteArrayView path, QByteArrayView folder)
{
    if (folder == "/")
        return path.startsWith('/');
    return path.startsWith(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

// The mount the folder lies on: the deepest mount point above it, and of several mounts there
// the last, which hides the others.
const MountEntry *MountOf(const QList<MountEntry> &entries, QByteArrayView folder)
{
    const MountEntry *found = nullptr;
    for (const MountEntry &entry : entries)
        if (IsAtOrUnder(folder, entry.mountPoint) &&
            (!found || entry.mountPoint.size() >= found->mountPoint.size()))
            found = &entry;
    return found;
}

} // namespace

VolumeIdentity VolumeIdentity::OfWalkedFolder(const QByteArray &rootPath, quint64 device)
{
    const QByteArray resolved = FileSystem::ResolvedPath(rootPath);
    if (resolved.isEmpty())
        return {};
    if (device == 0) {
        FileStatus status;
        if (!FileSystem::StatusOfPath(resolved, status, FileSystem::FollowLink::Yes))
            return {};
        device = status.device;
    }
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    const QByteArray mountInfo = table.open(QIODevice::ReadOnly) ? table.readAll() : QByteArray();
    return FromTables(resolved, device, mountInfo, BlockDevice::UuidLinks());
}

VolumeIdentity VolumeIdentity::FromTables(const QByteArray &resolvedRoot, quint64 device,
                                          QByteArrayView mountInfo,
                                          const QList<BlockDevice::UuidLink> &uuidLinks)
{
    VolumeIdentity identity;
    QByteArray folder = resolvedRoot;
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    if (!folder.startsWith('/'))
        return identity;
    identity.m_rootPath = WithSlash(folder);

    const QList<MountEntry> entries = ParseMountInfo(mountInfo);
    const MountEntry *mount = MountOf(entries, folder);
    if (!mount) {
        // No table (a chroot without /proc): the device alone, and the path as it is.
        identity.m_volumeKey = "device:" + QByteArray::number(device);
        identity.m_pathInVolume = identity.m_rootPath;
        identity.m_label = identity.m_rootPath;
        return identity;
    }

    // What the mount shows of its file system starts at the entry's root: a bind mount of
    // /srv/data shows it at its mount point, a btrfs subvolume's root is the subvolume's path.
    const QByteArrayView below = QByteArrayView(folder).sliced(
        mount->mountPoint == "/" ? 1 : qMin(folder.size(), mount->mountPoint.size() + 1));
    QByteArray path = WithSlash(mount->root);
    if (!below.isEmpty())
        path.append(below.data(), below.size()).append('/');
    identity.m_pathInVolume = path;
    identity.m_label = mount->mountPoint;

    // The file system's UUID, from the link whose node is the mount's device. A btrfs mount's
    // device number is one the kernel made up, so its source names the node instead.
    const quint64 mountDevice = BlockDevice::DeviceNumber(mount->major, mount->minor);
    const BlockDevice::UuidLink *link = nullptr;
    for (const BlockDevice::UuidLink &candidate : uuidLinks)
        if (candidate.device == mountDevice || (device != 0 && candidate.device == device))
            link = &candidate;
    for (qsizetype i = 0; !link && i < uuidLinks.size(); ++i)
        if (!mount->source.isEmpty() && uuidLinks[i].node == mount->source)
            link = &uuidLinks[i];
    if (link)
        identity.m_volumeKey = "uuid:" + link->uuid;
    else
        identity.m_volumeKey = "mount:" + mount->fsType + ':' + mount->source + ':' +
                               QByteArray::number(mount->major) + ':' +
                               QByteArray::number(mount->minor);
    return identity;
}

VolumeIdentity VolumeIdentity::OfSavedScan(const DriveScan &scan)
{
    VolumeIdentity identity;
    const SavedOrigin *origin = scan.origin();
    const QByteArray root = origin && !origin->root.isEmpty() ? origin->root : scan.rootPath();
    identity.m_volumeKey = "saved:" + (origin ? origin->host : QByteArray());
    identity.m_pathInVolume = WithSlash(root);
    identity.m_rootPath = scan.rootPath();
    identity.m_label = root;
    return identity;
}
