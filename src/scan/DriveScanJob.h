#pragma once

#include "DriveList.h"
#include "Walker.h"

#include <QByteArray>

#include <functional>
#include <memory>

class DriveScan;
class FolderCollection;

// One scan of one drive into the folder collection: the part of a drive scan that needs no
// window. The volume's space is read before the walk; the walk fills a new set of records that
// readers see growing while it runs; a stopped or failed walk leaves no record of the drive.
// Progress, the stop request and the end are plain calls, so that a window or a tool can drive it.
// Refers to the collection without owning it.
class DriveScanJob
{
public:
    DriveScanJob(FolderCollection &folders, QByteArray rootPath, Walker::Options options = {});
    ~DriveScanJob();

    // Called once, on a walk thread, when the walk has ended.
    void setFinishedHandler(std::function<void()> handler);

    // Starts the walk and returns at once. False when the root cannot be listed or memory runs
    // short: the drive then has no record, and error() says why.
    bool start();
    void requestStop();
    void wait();
    bool wasStopped() const; // on request, or because the walk failed
    int error() const;       // why start() or the walk failed; 0 after a stop on request

    // While the walk runs.
    QByteArray currentFolder() const; // the path of a folder being listed, or empty

    // Once the walk has ended: the drive's total, or 0 after a stop or a failure, whose records
    // it removes.
    quint64 finish();
    const DiskSpace &diskSpace() const { return m_space; }

private:
    FolderCollection &m_folders;
    QByteArray m_rootPath;
    std::shared_ptr<DriveScan> m_scan; // shared with the collection, which may drop it first
    std::unique_ptr<Walker> m_walker;
    DiskSpace m_space;
};
