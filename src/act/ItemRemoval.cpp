#include "ItemRemoval.h"

#include "FolderRefresh.h"
#include "RecordsEdit.h"
#include "Trash.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

ItemRemoval::Result ItemRemoval::moveToTrash(const QByteArray &path)
{
    Result result;
    result.error = Trash::move(path, &result.trashedAs);
    if (result.error != 0)
        return result;
    forgetItem(path);
    recountTrash(result.trashedAs);
    return result;
}

ItemRemoval::Result ItemRemoval::deletePermanently(const QByteArray &path)
{
    Result result;
    const QByteArray item = path.endsWith('/') ? path.chopped(1) : path;
    // A volume or a folder that forbids removing the item itself refuses it whole, rather than
    // after emptying it.
    const QByteArray parent = item.first(item.lastIndexOf('/') + 1);
    struct statvfs volume;
    if (::statvfs(parent.constData(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0) {
        result.error = EROFS;
        return result;
    }
    if (::faccessat(AT_FDCWD, parent.constData(), W_OK | X_OK, AT_EACCESS) != 0) {
        result.error = errno;
        return result;
    }
    result.remaining = PermanentDelete::remove(item);
    struct stat st;
    if (::lstat(item.constData(), &st) != 0) {
        forgetItem(item);
        return result;
    }
    if (result.remaining.size() == 1 && result.remaining.front().path == item) {
        // Nothing went: the disk and the records stay as they were.
        result.error = result.remaining.front().error;
        result.remaining.clear();
        return result;
    }
    // Partly gone: what stayed is walked again.
    if (S_ISDIR(st.st_mode))
        FolderRefresh::Run(m_scan, item);
    return result;
}

void ItemRemoval::forgetItem(const QByteArray &path)
{
    const QByteArray item = path.endsWith('/') ? path.chopped(1) : path;
    const qsizetype slash = item.lastIndexOf('/');
    const QByteArray parentPath = item.first(slash + 1);
    const qsizetype parent = m_scan.indexOf(parentPath);
    if (parent < 0)
        return;
    RecordsEdit edit(m_scan);
    if (const qsizetype folder = m_scan.indexOf(item + '/'); folder >= 0)
        edit.removeFolder(WalkSink::FolderId(folder));
    else
        edit.removeFile(WalkSink::FolderId(parent), QByteArrayView(item).sliced(slash + 1));
    edit.takeDateFromDisk(WalkSink::FolderId(parent));
}

// A trash inside the scanned volume holds what went there and its info file: a full walk would
// count both, so the trash is walked again. A trash elsewhere is not this volume's business.
void ItemRemoval::recountTrash(const QByteArray &trashedAs)
{
    const QByteArray trash = trashedAs.first(trashedAs.lastIndexOf("/files/") + 1);
    if (!trash.startsWith(m_scan.rootPath()) || trash == m_scan.rootPath())
        return;
    FolderRefresh::Run(m_scan, trash);
}
