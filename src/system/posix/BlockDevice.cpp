#include "BlockDevice.h"

#include "FileSystem.h"
#include "FolderListing.h"
#include "UniqueFd.h"

#include <cerrno>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace BlockDevice {

std::optional<bool> IsRotational(quint64 device, const QByteArray &sysfs)
{
    // A link to the device's own folder; a partition's is inside its disk's, which has the queue.
    const QByteArray folder = sysfs + "/dev/block/" + QByteArray::number(major(device)) + ':' +
                              QByteArray::number(minor(device));
    for (const char *queue : {"/queue/rotational", "/../queue/rotational"}) {
        const UniqueFd fd(FileSystem::OpenFile(folder + queue, FileSystem::FileAccess::Read));
        if (!fd.isOpen()) {
            if (errno == ENOENT)
                continue;
            return std::nullopt;
        }
        char value[4] = {};
        if (FileSystem::Read(fd.get(), value, sizeof value) < 1)
            return std::nullopt;
        if (value[0] != '0' && value[0] != '1')
            return std::nullopt;
        // A virtual machine's disk says it spins whatever the host's storage is: unknown.
        const QByteArray place = FileSystem::ResolvedPath(folder);
        if (value[0] == '1' && (place.contains("/virtio") || place.contains("/xen")))
            return std::nullopt;
        return value[0] == '1';
    }
    return std::nullopt;
}

QList<UuidLink> UuidLinks(const QByteArray &folder)
{
    QList<UuidLink> links;
    const UniqueFd fd(FileSystem::OpenFolder(folder));
    if (!fd.isOpen())
        return links;
    FolderListing listing(fd.get());
    FolderListing::Entry entry;
    while (listing.next(entry)) {
        const QByteArray path = folder + '/' + QByteArray(entry.name, entry.nameLength);
        struct stat status;
        if (::stat(path.constData(), &status) != 0 || !S_ISBLK(status.st_mode))
            continue;
        links.append({QByteArray(entry.name, entry.nameLength), quint64(status.st_rdev),
                      FileSystem::ResolvedPath(path)});
    }
    return links;
}

quint64 DeviceNumber(quint32 majorNumber, quint32 minorNumber)
{
    return quint64(makedev(majorNumber, minorNumber));
}

} // namespace BlockDevice
