#pragma once

#include "DriveScan.h"

#include <QByteArrayList>
#include <QByteArrayView>

#include <functional>
#include <mutex>
#include <utility>
#include <vector>

// Brings a volume's records in line with a change made on the disk after its walk, without
// walking the volume again: a file or a folder gone, or a folder walked afresh. The totals
// afterwards are those a full walk of the changed volume would give, hard links included: when
// the link whose bytes count goes, the bytes move to the link a full walk would count next.
// Edits run on one thread at a time while others read the records.
class RecordsEdit
{
public:
    using FolderId = WalkSink::FolderId;

    explicit RecordsEdit(DriveScan &scan)
        : m_scan(scan)
        , m_held(scan.editLock())
    {}

    // What one folder holds now, for relistFolder.
    struct Relisting
    {
        // A walk of the folder alone (Walker::Options::shallow): its files, and its subfolders
        // unlisted.
        const DriveScan *listing = nullptr;
        // Complete walks of listed subfolders that had no record, or another folder's, by name.
        std::vector<std::pair<QByteArray, const DriveScan *>> walked;
        // Listed subfolders that could not be opened: their names and why.
        std::vector<FolderNote> unopened;
    };

    // The file `name` of the folder is gone; false when the folder has no such file record.
    bool removeFile(FolderId folder, QByteArrayView name);
    // The folder is gone, with everything below it. The volume's root cannot go.
    bool removeFolder(FolderId folder);
    // `part` holds a complete walk of the folder's path: its records take the place of the
    // folder's. Returns the folder's new id, or NoFolder for the root, which a walk of the whole
    // volume replaces instead.
    FolderId replaceFolder(FolderId folder, const DriveScan &part);
    // `part` holds a complete walk of a folder `name` in `parent` that has no record yet;
    // `listing` names the parent's subfolders in listing order now, which places the new one
    // among its siblings. Returns the new folder's id.
    FolderId addFolder(FolderId parent, QByteArrayView name, const QByteArrayList &listing,
                       const DriveScan &part);

    // The folder's files become those listed now; its subfolders gone from the listing, or
    // replaced by others of the same name, go with everything below them; the walked ones are
    // added. Subfolders still listed keep their records. Returns the folders to list again:
    // those that hold other links of files whose size changed, and the subfolders kept whose
    // date moved.
    std::vector<FolderId> relistFolder(FolderId folder, const Relisting &now);
    // The folder can no longer be opened: its records go, and its parent notes it unread.
    bool forgetUnreadable(FolderId folder, int error);

    // The folder's date as the disk gives it now: a folder's date moves with what it holds.
    void takeDateFromDisk(FolderId folder);

private:
    void removeSubtree(FolderId folder);
    FolderId graft(FolderId parent, QByteArrayView name, quint32 ordinal, const DriveScan &part);
    // Drops the links that `gone` picks, moving the bytes of a counted one to the file's next
    // link; returns the bytes of counted links whose file has no link left.
    CountedBytes dropLinks(std::vector<HardLink> &links,
                           const std::function<bool(const HardLink &)> &gone);
    // Looks among the records made before `before`, `skip` aside.
    void adoptLateLinks(std::vector<HardLink> &links, const std::vector<HardLink> &added,
                        FolderId before, FolderId skip = WalkSink::NoFolder);
    void mergeLinks(std::vector<HardLink> &links, std::vector<HardLink> added);
    // What could not be read follows the records: notes that `gone` picks go, `added` come.
    void editNotes(const std::function<bool(const FolderNote &)> &gone,
                   std::vector<FolderNote> added = {});
    bool walksBefore(const HardLink &a, const HardLink &b) const;

    DriveScan &m_scan;
    std::unique_lock<std::mutex> m_held;
};
