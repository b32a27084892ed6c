#pragma once

#include "BlockDevice.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

class DriveScan;

// Which walked folder a history belongs to: its volume, told by the file system's UUID, and the
// folder's path within that volume. A volume mounted at another path, or the same folder reached
// through a bind mount, gives the same identity, so its walks land in one history.
class VolumeIdentity
{
public:
    VolumeIdentity() = default;

    // The folder walked at `rootPath` ("/" at its end or not) on `device`, the walk's device
    // number (DriveScan::device()); 0 asks the folder itself. From this machine's mount table
    // and /dev/disk/by-uuid; null when the folder cannot be found.
    static VolumeIdentity OfWalkedFolder(const QByteArray &rootPath, quint64 device = 0);
    // The same from given tables: `resolvedRoot` is the folder's path with every link resolved,
    // `mountInfo` a text in the format of /proc/self/mountinfo, `uuidLinks` the by-uuid links.
    // A volume no link leads to (tmpfs, an overlay, a network share) is told by the mount's
    // source and device number instead, which last only as long as the mount.
    static VolumeIdentity FromTables(const QByteArray &resolvedRoot, quint64 device,
                                     QByteArrayView mountInfo,
                                     const QList<BlockDevice::UuidLink> &uuidLinks);
    // Records read from a saved scan: no device of this machine is known for them, so the
    // volume is told by the machine the file names and the saved root stands for the path
    // within it. Such a history never meets a walked folder's, even of the same folder.
    static VolumeIdentity OfSavedScan(const DriveScan &scan);

    bool isNull() const { return m_volumeKey.isEmpty(); }
    // "uuid:<UUID>", "mount:<type>:<source>:<major>:<minor>", or "saved:<host>".
    const QByteArray &volumeKey() const { return m_volumeKey; }
    // The walked folder within the volume, from the volume's own root: "/" or "/home/ann/".
    const QByteArray &pathInVolume() const { return m_pathInVolume; }
    // Where the folder was walked this time, ending with "/".
    const QByteArray &rootPath() const { return m_rootPath; }
    // What a person knows the volume by: where it is mounted, or the saved scan's root.
    const QByteArray &label() const { return m_label; }

    bool operator==(const VolumeIdentity &other) const
    {
        return m_volumeKey == other.m_volumeKey && m_pathInVolume == other.m_pathInVolume;
    }

private:
    QByteArray m_volumeKey;
    QByteArray m_pathInVolume;
    QByteArray m_rootPath;
    QByteArray m_label;
};
