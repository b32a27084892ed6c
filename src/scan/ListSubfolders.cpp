#include "ListSubfolders.h"

#include "FileSystem.h"

#include <fcntl.h>
#include <unistd.h>

std::vector<Subfolder> ReadSubfolders(int fd, bool linkCounts)
{
    std::vector<Subfolder> folders;
    std::vector<char> buffer(32 * 1024);
    PosixDirectory::Listing listing(fd, buffer);
    PosixDirectory::Listing::Entry entry;
    PosixDirectory::Status status;
    while (listing.next(entry)) {
        // An entry the listing does not type is asked for its status, without following links.
        const bool asked = entry.maybeDirectory && (linkCounts || !entry.isDirectory);
        if (!entry.maybeDirectory ||
            (asked && (!PosixDirectory::StatusAt(fd, entry.name, status) || !status.isDirectory)))
            continue;
        folders.push_back(
            {QByteArray(entry.name, entry.nameLength), linkCounts ? status.links : 0});
    }
    return folders;
}

QList<QByteArray> ListSubfolders(const QByteArray &path)
{
    QList<QByteArray> names;
    const int fd = PosixDirectory::OpenBelow(
        AT_FDCWD, path.endsWith('/') && path.size() > 1 ? path.chopped(1) : path);
    if (fd < 0)
        return names;
    for (Subfolder &folder : ReadSubfolders(fd, false))
        names.append(std::move(folder.name));
    ::close(fd);
    return names;
}
