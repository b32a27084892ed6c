#include "ListSubfolders.h"

#include "PosixDirectory.h"

#include <fcntl.h>
#include <unistd.h>

QList<QByteArray> ListSubfolders(const QByteArray &path)
{
    QList<QByteArray> names;
    const int fd = PosixDirectory::OpenBelow(
        AT_FDCWD, path.endsWith('/') && path.size() > 1 ? path.chopped(1) : path);
    if (fd < 0)
        return names;
    std::vector<char> buffer(32 * 1024);
    PosixDirectory::Listing listing(fd, buffer);
    PosixDirectory::Listing::Entry entry;
    PosixDirectory::Status status;
    while (listing.next(entry)) {
        // An entry the listing does not type is asked for its status, without following links.
        if (entry.isDirectory ||
            (entry.maybeDirectory && PosixDirectory::StatusAt(fd, entry.name, status) &&
             status.isDirectory))
            names.append(QByteArray(entry.name, entry.nameLength));
    }
    ::close(fd);
    return names;
}
