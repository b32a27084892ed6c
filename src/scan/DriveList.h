#pragma once

#include "Volume.h"

#include <QList>

// The volumes of this machine and their capacity.

// The volumes to offer (see SelectVolumes), read from /proc/self/mountinfo, with sizes from statvfs
// and the removable flag from /sys/dev/block. Empty if the mount table cannot be read.
QList<Volume> GetDriveList();

struct DiskSpace
{
    quint64 FreeBytes = 0;
    quint64 TotalBytes = 0;
};

// The space of a file system from its block counts: every free block counts, the reserved ones
// included, products too large for 64 bits give the largest value, and free never exceeds total.
DiskSpace DiskSpaceOf(quint64 blocks, quint64 freeBlocks, quint64 blockSize);

// The space of the file system holding root. On failure space is left as it was and the result is
// false.
bool GetDiskSpace(const QByteArray &root, DiskSpace &space);
