#include "DiskReport.h"

#include "FileSystem.h"

#include <QFile>
#include <QSet>

#include <algorithm>

VolumeSpace VolumeSpace::fromBlocks(quint64 blocks, quint64 free, quint64 available,
                                    quint64 blockSize)
{
    // A file system in the middle of a change may report counts out of order: clamp, do not wrap.
    free = std::min(free, blocks);
    available = std::min(available, free);
    return {blocks * blockSize, (blocks - free) * blockSize, (free - available) * blockSize, true};
}

qint64 DiskReport::difference() const
{
    return qint64(space.used) - qint64(scan.onDisk);
}

quint64 DiskReport::rest() const
{
    const qint64 rest = difference() - qint64(deleted.allocated);
    return rest > 0 ? quint64(rest) : 0;
}

quint64 DiskReport::excess() const
{
    const qint64 rest = difference() - qint64(deleted.allocated);
    return rest < 0 ? quint64(-rest) : 0;
}

QByteArrayList MountPointsInside(const QList<MountEntry> &entries, QByteArrayView root)
{
    QByteArrayList inside;
    for (const MountEntry &entry : entries) {
        const QByteArray folder =
            entry.mountPoint.endsWith('/') ? entry.mountPoint : entry.mountPoint + '/';
        if (folder.size() > root.size() && folder.startsWith(root) && !inside.contains(folder))
            inside.append(folder);
    }
    // A folder sorts right before everything inside it, so one pass keeps the outermost.
    std::sort(inside.begin(), inside.end());
    QByteArrayList outermost;
    for (const QByteArray &folder : std::as_const(inside))
        if (outermost.isEmpty() || !folder.startsWith(outermost.last()))
            outermost.append(folder);
    for (QByteArray &folder : outermost)
        folder.chop(1);
    return outermost;
}

VolumeSpace ReadVolumeSpace(const QByteArray &path)
{
    VolumeStatus status;
    if (!FileSystem::VolumeStatusOf(path, status))
        return {};
    return VolumeSpace::fromBlocks(status.blocks, status.freeBlocks, status.availableBlocks,
                                   status.blockSize);
}

DiskReport MakeDiskReport(const QByteArray &root, quint64 device, const ScanFigures &scan,
                          size_t keptFiles, const ReportSources &sources,
                          const std::atomic<bool> *cancelled, ReportScope scope)
{
    DiskReport report;
    report.root = root;
    report.scan = scan;
    report.scope = scope;
    // A saved scan's root is no path here; a folder's volume holds more than the folder, and its
    // processes' deleted files may have been anywhere on it.
    if (scope == ReportScope::Saved)
        return report;
    QFile mountInfo(QFile::decodeName(sources.mountInfo));
    if (mountInfo.open(QIODevice::ReadOnly))
        report.mountPoints = MountPointsInside(ParseMountInfo(mountInfo.readAll()), root);
    if (scope == ReportScope::Volume) {
        report.space = ReadVolumeSpace(root);
        report.deleted = FindOpenDeletedFiles(sources.procRoot, device, keptFiles, cancelled);
    }
    return report;
}
