#pragma once

#include "Volume.h"

#include <QByteArrayView>
#include <QList>

// Reading the kernel's mount table and choosing from it the volumes worth offering. Nothing here
// touches the machine: what needs it (sizes, the removable flag) comes through a VolumeProbe, so
// the choice can be tried on any table.

// One line of /proc/self/mountinfo. Paths are decoded to the bytes the file system uses.
struct MountEntry
{
    quint32 major = 0;
    quint32 minor = 0;
    QByteArray root; // the folder of the file system seen at the mount point ("/" mostly)
    QByteArray mountPoint;
    QByteArray fsType;
    QByteArray source;
    QByteArray mountOptions; // per-mount options, comma-separated and left escaped: "rw,relatime"
    QByteArray superOptions; // the file system's own options: "rw,subvolid=257,subvol=/@home"
};

// The entries of a text in the format of /proc/self/mountinfo, in table order. The octal escapes
// the kernel writes for space, tab, newline and backslash are decoded; lines that do not have the
// expected fields are skipped.
QList<MountEntry> ParseMountInfo(QByteArrayView text);

// What the choice needs to ask the machine.
class VolumeProbe
{
public:
    virtual ~VolumeProbe() = default;
    // The size of the file system mounted there; 0 when it cannot be known.
    virtual quint64 totalBytes(const QByteArray &mountPoint) const = 0;
    // Whether the block device (or, for a partition, its disk) says it is removable.
    virtual bool isRemovableDevice(quint32 major, quint32 minor) const = 0;
};

// The volumes a file manager would offer, "/" first and then by mount point: the root file system
// (an overlay at "/" included), block-device and network file systems, and RAM disks outside the
// system folders. Pseudo file systems, read-only images, mounts hidden under a later mount at the
// same place, second mounts of a device already listed and empty file systems are left out.
QList<Volume> SelectVolumes(const QList<MountEntry> &entries, const VolumeProbe &probe);

// Adds root at the front when no volume is mounted at "/": inside a chroot, or a container whose
// root is a plain folder, the mount table has no line for it, yet that is where the files are.
void OfferRoot(QList<Volume> &volumes, const Volume &root);

// The kind of drive an entry is mounted from. The first that applies wins: floppy, CD-ROM, remote,
// RAM disk, removable (the device's flag or a mount under /media/ or /run/media/), fixed (a local
// block device), unknown.
DriveKind KindOf(const MountEntry &entry, bool removableDevice);
