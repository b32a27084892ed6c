#include "RemovalCheck.h"

#include "FileSystem.h"
#include "MountTable.h"
#include "Paths.h"
#include "Trash.h"

#include <QFile>

namespace {

bool Inside(const QByteArray &path, const QByteArray &folder) // both without a final "/"
{
    return path == folder || (path.startsWith(folder) && path.at(folder.size()) == '/') ||
           folder == "/";
}

bool IsTrashName(const QByteArray &path, const QByteArray &trash) // trash ending with "/"
{
    const QByteArray folder = trash.chopped(1);
    return Inside(folder, path) || path == folder + "/files" || path == folder + "/info";
}

} // namespace

Refusal CheckRemoval(const QByteArray &volumeRoot, const QByteArray &path,
                     const QByteArrayList &mountPoints)
{
    // "/" stays "/": it is the root of its volume, not a name outside it.
    const QByteArray root = RemoveSlash(volumeRoot);
    const QByteArray item = RemoveSlash(path);
    if (!item.startsWith('/') || item.contains("/./") || item.contains("/../") ||
        item.endsWith("/.") || item.endsWith("/.."))
        return Refusal::OutsideVolume;
    if (item == root || item.isEmpty())
        return Refusal::VolumeRoot;
    if (!Inside(item, root))
        return Refusal::OutsideVolume;
    FileStatus status;
    if (!FileSystem::StatusOfPath(item, status, FileSystem::FollowLink::No))
        return Refusal::Missing;
    for (const QByteArray &mount : mountPoints)
        if (mount != "/" && Inside(mount, item))
            return Refusal::MountPoint;
    if (status.isFolder()) {
        const QByteArray trash = Trash::folderFor(item);
        if (!trash.isEmpty() && IsTrashName(item, trash))
            return Refusal::TrashFolder;
        // The trashes at the top of volumes, and their files/ and info/.
        const auto nameOf = [](const QByteArray &p) { return p.sliced(p.lastIndexOf('/') + 1); };
        const auto parentOf = [](const QByteArray &p) { return p.first(p.lastIndexOf('/')); };
        const auto isTrash = [&](const QByteArray &p) {
            const QByteArray name = nameOf(p);
            return name == ".Trash" || name.startsWith(".Trash-") ||
                   nameOf(parentOf(p)) == ".Trash";
        };
        const QByteArray name = nameOf(item);
        if (isTrash(item) || ((name == "files" || name == "info") && isTrash(parentOf(item))))
            return Refusal::TrashFolder;
    }
    return Refusal::None;
}

QByteArrayList CurrentMountPoints()
{
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    QByteArrayList points;
    if (table.open(QIODevice::ReadOnly))
        for (const MountEntry &entry : ParseMountInfo(table.readAll()))
            points.append(entry.mountPoint);
    return points;
}

bool ChangedSinceScan(const QByteArray &path, quint64 size, qint64 date)
{
    FileStatus status;
    if (!FileSystem::StatusOfPath(path, status, FileSystem::FollowLink::No))
        return true;
    if (status.isFolder())
        return status.modified != date;
    return status.size != size || status.modified != date;
}
