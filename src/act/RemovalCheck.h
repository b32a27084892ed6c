#pragma once

#include <QByteArray>
#include <QByteArrayList>

// Why an item of a scanned volume may not be moved to the trash or deleted. The rails hold
// whatever the records say: they look at the disk as it is now.
enum class Refusal {
    None,
    OutsideVolume, // not below the scanned volume's root
    VolumeRoot,
    MountPoint,  // another volume is mounted there or inside it
    TrashFolder, // a trash folder itself, or a folder holding one
    Missing,     // no longer on the disk
};

// `mountPoints`: every mount point of the machine (from the mount table), without a final "/".
Refusal CheckRemoval(const QByteArray &volumeRoot, const QByteArray &path,
                     const QByteArrayList &mountPoints);

// The machine's mount points now, as CheckRemoval takes them.
QByteArrayList CurrentMountPoints();

// Whether the item's size or date differs from what the walk recorded: a file's size and date, a
// folder's date.
bool ChangedSinceScan(const QByteArray &path, quint64 size, qint64 date);
