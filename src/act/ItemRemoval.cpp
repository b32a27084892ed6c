#include "ItemRemoval.h"

#include "FileSystem.h"
#include "FolderRefresh.h"
#include "RaceHook.h"
#include "RecordsEdit.h"
#include "SafeOpen.h"
#include "Trash.h"

#include <cerrno>

ItemRemoval::Result ItemRemoval::recheck(const HeldPath &item) const
{
    RaceHook::Reach(RaceHook::Moment::Acting, item.path());
    Result result;
    result.changed = item.isHeld() ? item.recheck() : item.check();
    if (result.changed.ok())
        result.refusal = CheckRemoval(m_scan.rootPath(), item.path(), CurrentMountPoints());
    return result;
}

ItemRemoval::Result ItemRemoval::moveToTrash(const HeldPath &item)
{
    Result result = recheck(item);
    if (result.refused())
        return result;
    const Trash::Outcome moved = Trash::move(item);
    if (moved.error == ESTALE) {
        // Another item took the name at the very last moment, and went back.
        result.changed = {HeldPath::Change::Replaced, item.path()};
        return result;
    }
    result.error = moved.error;
    result.trashUnusable = moved.unusable;
    result.trashedAs = moved.trashedAs;
    if (result.error != 0)
        return result;
    forgetItem(item.path());
    recountTrash(result.trashedAs);
    return result;
}

ItemRemoval::Result ItemRemoval::deletePermanently(const HeldPath &item)
{
    Result result = recheck(item);
    if (result.refused())
        return result;
    // A volume or a folder that forbids removing the item itself refuses it whole, rather than
    // after emptying it.
    VolumeStatus volume;
    if (FileSystem::VolumeStatusOf(item.parentFd(), volume) && volume.readOnly) {
        result.error = EROFS;
        return result;
    }
    if (!FileSystem::MayChangeFolder(item.parentFd())) {
        result.error = errno;
        return result;
    }
    result.remaining = PermanentDelete::remove(item);
    NodeIdentity now;
    if (!SafeOpen::IdentityAt(item.parentFd(), item.name().constData(), now) ||
        !now.sameAs(item.item())) {
        forgetItem(item.path());
        return result;
    }
    if (result.remaining.size() == 1 && result.remaining.front().path == item.path()) {
        // Nothing went: the disk and the records stay as they were.
        if (result.remaining.front().error == ESTALE)
            result.changed = {HeldPath::Change::Replaced, item.path()};
        else
            result.error = result.remaining.front().error;
        result.remaining.clear();
        return result;
    }
    // Partly gone: what stayed is walked again.
    if (item.item().isFolder())
        FolderRefresh::Run(m_scan, item.path());
    return result;
}

void ItemRemoval::forgetItem(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray parentPath = path.first(slash + 1);
    const qsizetype parent = m_scan.indexOf(parentPath);
    if (parent < 0)
        return;
    RecordsEdit edit(m_scan);
    if (const qsizetype folder = m_scan.indexOf(path + '/'); folder >= 0)
        edit.removeFolder(WalkSink::FolderId(folder));
    else
        edit.removeFile(WalkSink::FolderId(parent), QByteArrayView(path).sliced(slash + 1));
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
