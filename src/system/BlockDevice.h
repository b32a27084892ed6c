#pragma once

#include <QByteArray>

#include <optional>

// What the kernel tells of the disks under the volumes.
namespace BlockDevice {

// Whether the disk holding a volume (a file's device number, st_dev) spins: a partition is
// asked of its disk. None when the kernel does not say, as for a volume with no disk of its own
// (tmpfs, a network share, btrfs). `sysfs` is where sysfs is mounted.
std::optional<bool> IsRotational(quint64 device, const QByteArray &sysfs = "/sys");

} // namespace BlockDevice
