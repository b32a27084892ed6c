#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// What the kernel tells of the disks under the volumes.
namespace BlockDevice {

// Whether the disk holding a volume (a file's device number, st_dev) spins: a partition is
// asked of its disk. None when the kernel does not say, as for a volume with no disk of its own
// (tmpfs, a network share, btrfs). `sysfs` is where sysfs is mounted.
std::optional<bool> IsRotational(quint64 device, const QByteArray &sysfs = "/sys");

// A link of /dev/disk/by-uuid: a file system's UUID, and the block device it leads to.
struct UuidLink
{
    QByteArray uuid;
    quint64 device = 0; // the device node's number (its st_rdev)
    QByteArray node;    // the node's path, links resolved: "/dev/sda2"
};

// The links of a folder laid out as /dev/disk/by-uuid; those that lead to no block device are
// left out, and none are when the folder cannot be read.
QList<UuidLink> UuidLinks(const QByteArray &folder = "/dev/disk/by-uuid");

// A device number (st_dev, st_rdev) from its major and minor numbers, as mountinfo gives them.
quint64 DeviceNumber(quint32 major, quint32 minor);

} // namespace BlockDevice
