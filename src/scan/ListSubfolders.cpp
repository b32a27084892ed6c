#include "ListSubfolders.h"

#include "FileSystem.h"
#include "FolderListing.h"
#include "UniqueFd.h"

std::vector<Subfolder> ReadSubfolders(int fd, bool linkCounts)
{
    std::vector<Subfolder> folders;
    FolderListing listing(fd);
    FolderListing::Entry entry;
    FileStatus status;
    while (listing.next(entry)) {
        // An entry the listing does not type is asked for its status, without following links.
        const bool asked = entry.maybeDirectory && (linkCounts || !entry.isDirectory);
        if (!entry.maybeDirectory ||
            (asked && (!FileSystem::StatusAt(fd, entry.name, status) || !status.isFolder())))
            continue;
        folders.push_back(
            {QByteArray(entry.name, entry.nameLength), linkCounts ? status.links : 0});
    }
    return folders;
}

QList<QByteArray> ListSubfolders(const QByteArray &path)
{
    QList<QByteArray> names;
    const UniqueFd fd(FileSystem::OpenBelowWorkingFolder(
        path.endsWith('/') && path.size() > 1 ? path.chopped(1) : path));
    if (!fd.isOpen())
        return names;
    for (Subfolder &folder : ReadSubfolders(fd.get(), false))
        names.append(std::move(folder.name));
    return names;
}
