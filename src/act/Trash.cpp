#include "Trash.h"

#include "FileSystem.h"
#include "HeldPath.h"
#include "Paths.h"
#include "SafeOpen.h"
#include "ThisProcess.h"
#include "UniqueFd.h"

#include <QDateTime>

#include <cerrno>

using FileSystem::FolderAccess;

namespace {

QByteArray HomeData()
{
    QByteArray data = qgetenv("XDG_DATA_HOME");
    if (data.isEmpty() || !data.startsWith('/'))
        data = qgetenv("HOME") + "/.local/share";
    return data;
}

// The folder at the top of the volume holding `path`: the last one on the way up that is on the
// same device.
QByteArray TopOfVolume(const QByteArray &path, quint64 device)
{
    QByteArray top = path;
    while (top.size() > 1) {
        const qsizetype slash = top.lastIndexOf('/', top.endsWith('/') ? top.size() - 2 : -1);
        const QByteArray up = slash <= 0 ? QByteArray("/") : top.first(slash);
        FileStatus above;
        if (!FileSystem::StatusOfPath(up, above, FileSystem::FollowLink::Yes) ||
            above.device != device)
            break;
        top = up;
    }
    return top.endsWith('/') ? top : top + '/';
}

// A trash opened folder by folder: each the user's own (the top of the volume and the data folder
// aside), on the item's device, none of them a link.
struct OpenTrash
{
    QByteArray path; // the trash folder, ending with "/"
    QByteArray top;  // where the paths in its info files start; empty for the home trash
    UniqueFd trash;
    UniqueFd files;
    UniqueFd info;
    int error = 0;
    QByteArray where;

    bool fail(int code, const QByteArray &at)
    {
        error = code;
        where = RemoveSlash(at);
        return false;
    }

    bool accept(UniqueFd &fd, const QByteArray &at, quint64 device, bool own)
    {
        FileStatus status;
        if (!FileSystem::StatusOf(fd.get(), status))
            return fail(errno, at);
        if (status.device != device)
            return fail(EXDEV, at);
        if (own && status.owner != ThisProcess::UserId())
            return fail(EPERM, at);
        return true;
    }

    // The start: a folder named by its path, links followed (the user's data folder may be
    // reached through one), made when missing.
    bool openStart(UniqueFd &fd, const QByteArray &at, quint64 device, bool make)
    {
        fd.reset(FileSystem::OpenFolder(at, FolderAccess::Hold));
        if (!fd.isOpen() && errno == ENOENT && make && FileSystem::MakeFolder(at))
            fd.reset(FileSystem::OpenFolder(at, FolderAccess::Hold));
        return fd.isOpen() ? accept(fd, at, device, false) : fail(errno, at);
    }

    bool openChild(UniqueFd &fd, int dirFd, const QByteArray &at, quint64 device, bool make,
                   bool own)
    {
        const QByteArray name = at.sliced(at.lastIndexOf('/') + 1);
        fd.reset(SafeOpen::Folder(dirFd, name.constData(), FolderAccess::Hold));
        if (!fd.isOpen() && errno == ENOENT && make &&
            FileSystem::MakeFolderAt(dirFd, name.constData()))
            fd.reset(SafeOpen::Folder(dirFd, name.constData(), FolderAccess::Hold));
        // ENOTDIR says no more than ELOOP here: what stands there is no folder to use.
        if (!fd.isOpen())
            return fail(errno == ENOTDIR ? ELOOP : errno, at);
        return accept(fd, at, device, own);
    }

    bool openParts(quint64 device, bool make)
    {
        return openChild(files, trash.get(), path + "files", device, make, true) &&
               openChild(info, trash.get(), path + "info", device, make, true);
    }
};

OpenTrash Open(const QByteArray &itemPath, quint64 device, bool make)
{
    OpenTrash trash;
    const QByteArray home = HomeData();
    FileStatus status;
    if (FileSystem::StatusOfPath(home, status, FileSystem::FollowLink::Yes) &&
        status.device == device) {
        UniqueFd data;
        trash.path = home + "/Trash/";
        if (trash.openStart(data, home, device, make) &&
            trash.openChild(trash.trash, data.get(), home + "/Trash", device, make, true))
            trash.openParts(device, make);
        return trash;
    }
    const QByteArray top = TopOfVolume(itemPath, device);
    UniqueFd topFd;
    if (!trash.openStart(topFd, top, device, false))
        return trash;
    trash.top = top;
    const QByteArray uid = QByteArray::number(ThisProcess::UserId());
    // A shared .Trash counts only when sticky and not a link: otherwise anyone could read or
    // replace what others throw away.
    if (FileSystem::StatusAt(topFd.get(), ".Trash", status) && status.isFolder() && status.sticky) {
        OpenTrash shared;
        shared.top = top;
        shared.path = top + ".Trash/" + uid + '/';
        UniqueFd folder;
        if (shared.openChild(folder, topFd.get(), top + ".Trash", device, false, false) &&
            shared.openChild(shared.trash, folder.get(), top + ".Trash/" + uid, device, make,
                             true) &&
            shared.openParts(device, make))
            return shared;
    }
    trash.path = top + ".Trash-" + uid + '/';
    if (trash.openChild(trash.trash, topFd.get(), trash.path.chopped(1), device, make, true))
        trash.openParts(device, make);
    return trash;
}

} // namespace

QByteArray Trash::folderFor(const QByteArray &path)
{
    FileStatus status;
    if (!FileSystem::StatusOfPath(path, status, FileSystem::FollowLink::No))
        return {};
    OpenTrash trash = Open(path, status.device, false);
    if (trash.error != 0) {
        errno = trash.error;
        return {};
    }
    return trash.path;
}

Trash::Outcome Trash::move(const HeldPath &item)
{
    Outcome outcome;
    OpenTrash trash = Open(item.path(), item.item().device, true);
    if (trash.error != 0) {
        outcome.error = trash.error;
        outcome.unusable = trash.where;
        return outcome;
    }
    const QByteArray name = item.name();
    // A trash at the top of a volume keeps paths relative to that top, so the volume can be
    // mounted elsewhere and its trash still restores.
    QByteArray original = item.path();
    if (!trash.top.isEmpty() && original.startsWith(trash.top))
        original = original.sliced(trash.top.size());
    const QByteArray info =
        "[Trash Info]\nPath=" + original.toPercentEncoding("/") +
        "\nDeletionDate=" + QDateTime::currentDateTime().toString(Qt::ISODate).left(19).toUtf8() +
        "\n";
    // The info file, made exclusively, claims the name in the trash.
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const QByteArray trashed = attempt == 1 ? name : name + '.' + QByteArray::number(attempt);
        const QByteArray infoName = trashed + ".trashinfo";
        const int fd = FileSystem::CreateFileAt(trash.info.get(), infoName.constData());
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            outcome.error = errno;
            return outcome;
        }
        // Never over something already in files/ without its info; a full volume says so.
        int error = FileSystem::WriteAll(fd, info.constData(), info.size()) ? 0 : errno;
        if (!FileSystem::Close(fd) && error == 0)
            error = errno;
        if (error == 0 && !FileSystem::RenameNoReplace(item.parentFd(), name.constData(),
                                                       trash.files.get(), trashed.constData()))
            error = errno;
        NodeIdentity moved;
        if (error == 0 &&
            (!SafeOpen::IdentityAt(trash.files.get(), trashed.constData(), moved) ||
             moved.device != item.item().device || moved.inode != item.item().inode)) {
            // Something took the item's name between the last look and the move: it goes back.
            FileSystem::RenameNoReplace(trash.files.get(), trashed.constData(), item.parentFd(),
                                        name.constData());
            error = ESTALE;
        }
        if (error != 0) {
            FileSystem::RemoveFileAt(trash.info.get(), infoName.constData());
            if (error == EEXIST)
                continue;
            outcome.error = error;
            return outcome;
        }
        outcome.trashedAs = trash.path + "files/" + trashed;
        return outcome;
    }
    outcome.error = EEXIST;
    return outcome;
}
