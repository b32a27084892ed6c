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
// another's. Owns the scans.
class FolderCollection
{
public:
    // Starts the records of a new scan of the volume whose root path (ending with "/") is given,
    // behind those already present.
    DriveScan &addDrive(const QByteArray &rootPath);
    // Takes over records made elsewhere (a saved scan's), behind those already present.
    const DriveScan &adoptDrive(std::unique_ptr<DriveScan> scan);

    // Removes every record of the volume with this root path; records of other volumes stay.
    void removeDrive(QByteArrayView rootPath);
    void clear();

    // Folder records, those removed after their walk aside.
    qsizetype count() const;
    // The scan whose volume holds `path`, to edit its records; nullptr when none.
    DriveScan *scanHolding(QByteArrayView path);
    const DriveScan *scanHolding(QByteArrayView path) const;
    // The record whose path is exactly `path` (ending with "/"); a null record when the folder
    // has not been scanned.
    FolderRecord find(QByteArrayView path) const;
    // The scan holding the record of `path` and the record's folder id there; {nullptr, NoFolder}
    // when none.
    std::pair<const DriveScan *, WalkSink::FolderId> locate(QByteArrayView path) const;
    // Folders and files the walks could not read, and the first few of them with why.
    quint32 unreadCount() const;
    // Of those, the entries that vanished or moved while a walk ran.
    quint32 vanishedCount() const;
    QByteArrayList unreadSample() const;

private:
    std::vector<std::unique_ptr<DriveScan>> m_drives;
};
