#pragma once

#include "DriveScan.h"
#include "FolderRecord.h"

#include <QByteArray>
#include <QByteArrayList>

#include <memory>
#include <utility>
#include <vector>

// Every folder record of every drive scanned so far (the main window's colFolders). Records are
// grouped by the scan that made them, so that removing one volume's records never touches
// another's. The scans are shared: whoever reads them off the window's thread holds a copy of the
// collection (a few pointers) or a scan of it, and a scan removed meanwhile goes only once its
// last reader lets it go. Every reader finds a path's records the same way: in the scan of the
// deepest root that holds the path.
class FolderCollection
{
public:
    // Starts the records of a new scan of the volume whose root path (ending with "/") is given,
    // behind those already present.
    std::shared_ptr<DriveScan> addDrive(const QByteArray &rootPath);
    // Takes over records made elsewhere (a saved scan's), behind those already present.
    void adoptDrive(std::shared_ptr<DriveScan> scan);

    // Removes every record of the volume with this root path; records of other volumes stay.
    void removeDrive(QByteArrayView rootPath);
    void clear();

    // Folder records, those removed after their walk aside.
    qsizetype count() const;
    // The scan whose root is the longest start of `path` (a folder walked as a drive of its own
    // inside a walked volume is its own scan's); null when none.
    std::shared_ptr<DriveScan> scanHolding(QByteArrayView path) const;
    // The record whose path is exactly `path` (ending with "/"), in the scan holding it; a null
    // record when the folder has not been scanned.
    FolderRecord find(QByteArrayView path) const;
    // The scan holding `path` and the folder's id there; {null, NoFolder} when that scan has no
    // record of the folder.
    std::pair<std::shared_ptr<const DriveScan>, WalkSink::FolderId>
    locate(QByteArrayView path) const;
    // Folders and files the walks could not read, and the first few of them with why.
    quint32 unreadCount() const;
    // Of those, the entries that vanished or moved while a walk ran.
    quint32 vanishedCount() const;
    QByteArrayList unreadSample() const;

private:
    std::vector<std::shared_ptr<DriveScan>> m_drives;
};
