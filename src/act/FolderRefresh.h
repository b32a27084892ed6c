#pragma once

#include "DriveScan.h"
#include "Walker.h"

#include <QByteArray>

#include <functional>
#include <memory>

// Walks one folder of a scanned volume again, with the walk's engine and rules, and puts what it
// found in place of the folder's records, its ancestors re-totalled. A folder without a record
// yet gets one under its nearest recorded ancestor; a folder gone from the disk loses its
// records. The records change only once the walk is complete: a stopped refresh leaves them as
// they were. Runs beside readers of the records, never beside another edit or a scan.
class FolderRefresh
{
public:
    FolderRefresh(DriveScan &scan, QByteArray path, Walker::Options options = {});
    ~FolderRefresh();

    // Called once on a walk thread, after the records changed (or not, when stopped or failed).
    void setFinishedHandler(std::function<void()> handler);

    // Starts and returns at once; false when the folder is below no record of the scan, or when
    // it could not be walked for another reason than being gone (error() says why).
    bool start();
    void requestStop();
    void wait();
    bool wasStopped() const;
    int error() const { return m_error; }
    quint64 foldersListed() const;

    // Walks and waits; true when the records changed.
    static bool Run(DriveScan &scan, const QByteArray &path);

private:
    void apply();

    DriveScan &m_scan;
    QByteArray m_path; // ending with "/"
    Walker::Options m_options;
    std::unique_ptr<DriveScan> m_part;
    std::unique_ptr<Walker> m_walker;
    std::function<void()> m_finished;
    int m_error = 0;
    bool m_applied = false;
};
