#include "DriveList.h"

#include "FileSystem.h"
#include "MountTable.h"

#include <QFile>

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

quint64 SaturatingProduct(quint64 a, quint64 b)
{
    quint64 product = 0;
    if (__builtin_mul_overflow(a, b, &product))
        return std::numeric_limits<quint64>::max();
    return product;
}

// The first bytes of a small sysfs file; empty if it cannot be read.
QByteArray ReadSysFile(const QByteArray &path)
{
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(64).trimmed();
}

class MachineProbe : public VolumeProbe
{
public:
    quint64 totalBytes(const QByteArray &mountPoint) const override
    {
        DiskSpace space;
        return GetDiskSpace(mountPoint, space) ? space.TotalBytes : 0;
    }

    // A partition has no removable flag of its own: its disk, the folder above it in sysfs, has.
    bool isRemovableDevice(quint32 major, quint32 minor) const override
    {
        const QByteArray link =
            "/sys/dev/block/"_ba + QByteArray::number(major) + ':' + QByteArray::number(minor);
        QByteArray device = FileSystem::ResolvedPath(link);
        if (device.isEmpty())
            return false;
        if (QFile::exists(QFile::decodeName(device + "/partition")))
            device.truncate(device.lastIndexOf('/'));
        return ReadSysFile(device + "/removable") == "1";
    }
};

} // namespace

QList<Volume> GetDriveList()
{
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    const MachineProbe probe;
    QList<Volume> volumes = SelectVolumes(ParseMountInfo(table.readAll()), probe);
    if (probe.totalBytes("/"_ba) > 0) {
        Volume root;
        root.mountPoint = "/"_ba;
        root.kind = DriveKind::Fixed;
        OfferRoot(volumes, root);
    }
    return volumes;
}

DiskSpace DiskSpaceOf(quint64 blocks, quint64 freeBlocks, quint64 blockSize)
{
    DiskSpace space;
    space.TotalBytes = SaturatingProduct(blocks, blockSize);
    // Some network and FUSE file systems report more free blocks than blocks; the used part
    // must not come out negative.
    space.FreeBytes = std::min(SaturatingProduct(freeBlocks, blockSize), space.TotalBytes);
    return space;
}

bool GetDiskSpace(const QByteArray &root, DiskSpace &space)
{
    VolumeStatus volume;
    if (!FileSystem::VolumeStatusOf(root, volume))
        return false;
    space = DiskSpaceOf(volume.blocks, volume.freeBlocks, volume.blockSize);
    return true;
}
