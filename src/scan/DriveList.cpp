#include "DriveList.h"

#include "MountTable.h"

#include <QFile>

#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
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
        char *resolved = ::realpath(link.constData(), nullptr);
        if (!resolved)
            return false;
        QByteArray device(resolved);
        std::free(resolved);
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
    struct statvfs info
    {
    };
    int result = 0;
    do {
        result = ::statvfs(root.constData(), &info);
    } while (result != 0 && errno == EINTR);
    if (result != 0)
        return false;
    const quint64 blockSize = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
    space = DiskSpaceOf(info.f_blocks, info.f_bfree, blockSize);
    return true;
}
