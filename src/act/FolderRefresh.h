#pragma once

#include "DriveScan.h"
#include "HeldPath.h"
#include "UniqueFd.h"
#include "Walker.h"

#include <QByteArray>

#include <functional>
#include <memory>

// Walks one folder of a scanned volume again, with the walk's engine and rules, and puts what it
// found in place of the folder's records, its ancestors re-totalled. A folder without a record
// yet gets one under its nearest recorded ancestor; a folder gone from the disk loses its
// records. The folder is reached as an item to act on is: from the volume's root down, each folder
// on the way the one recorded, never through a link; a folder on which a volume or a bind mount
// now sits is refused, never counted in. The records change only once the walk is complete: a
// stopped refresh leaves them as they were. Runs beside readers of the records, never beside
// another edit or a scan.
class FolderRefresh
{
public:
    FolderRefresh(DriveScan &scan, QByteArray path, Walker::Options options = {});
    ~FolderRefresh();

    // Called once on a walk thread, after the records changed (or not, when stopped or failed).
    void setFinishedHandler(std::function<void()> handler);

    // Starts and returns at once; false when the folder is below no record of the scan, when
    // its way from the root changed since the walk (changed() says how), or when it could not be
    // walked for another reason than being gone (error() says why).
    bool start();
    void requestStop();
    void wait();
    bool wasStopped() const;
    int error() const { return m_error; }
    const HeldPath::Check &changed() const { return m_changed; }
    quint64 foldersListed() const;

    // Walks and waits; true when the records changed.
    static bool Run(DriveScan &scan, const QByteArray &path);

private:
    void apply();

    DriveScan &m_scan;
    QByteArray m_path; // ending with "/"
    Walker::Options m_options;
    std::unique_ptr<DriveScan> m_part;
    UniqueFd m_folder;
    std::unique_ptr<Walker> m_walker;
    std::function<void()> m_finished;
    int m_error = 0;
    HeldPath::Check m_changed;
    bool m_applied = false;
};
