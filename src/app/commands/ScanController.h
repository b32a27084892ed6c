#pragma once

#include "BackgroundJob.h"
#include "CommandStates.h"
#include "FolderCollection.h"
#include "SizeMeasure.h"
#include "Volume.h"

#include <QList>
#include <QObject>
#include <functional>
#include <memory>

class DriveScanJob;
class ExcludePatterns;
struct DiskSpace;
class FolderRefresh;
class PaintHold;
class MainStatusBar;
class QTimer;
class QWidget;
class WorkArea;

// The drive, rescan and stop commands: walks a drive into the records while the window stays
// live, shows its progress in the status bar, and keeps the scanning state and the user's stop
// request. Owns the records. Nothing here waits: a walk, a refresh or an edit starts, the window
// goes on, and what follows it runs in a slot once it has ended. While one runs, the phase keeps
// every other command that walks, edits or reads the records whole from starting.
class ScanController : public QObject
{
    Q_OBJECT
public:
    // A command's next step, run on the window's thread once its work aside is done.
    using Continuation = std::function<void()>;

    ScanController(const QList<Volume> &drives, WorkArea *workArea, MainStatusBar *statusBar,
                   QWidget *window);
    // Stops a walk under way and waits for it: it writes into the records.
    ~ScanController() override;

    const FolderCollection &folders() const { return m_folders; }
    MainStatusBar *statusBar() const { return m_statusBar; }
    void clearFolders()
    {
        emit recordsGoing();
        m_folders.clear();
    }
    // The shown volume's total in the measure chosen, or 0 when it has no complete scan.
    quint64 diskSize() const
    {
        return m_measure == SizeMeasure::OnDisk ? m_diskAllocated : m_diskSize;
    }
    void setSizeMeasure(SizeMeasure measure) { m_measure = measure; }
    SizeMeasure sizeMeasure() const { return m_measure; }
    bool isScanning() const { return m_scanning; }
    ScanPhase phase() const { return m_phase; }
    // The listed drive whose root the tree shows, or one named by that root's path.
    Volume shownDrive() const;
    // The volume that holds a folder of the tree: the mounted volume whose mount point is the
    // longest start of its path (one mounted inside the shown drive, say), or the shown drive.
    Volume volumeHolding(const QByteArray &path) const;

    const QList<Volume> &drives() const { return m_drives; }
    // Adds a drive for this run, a folder the user named; the index of the drive with the same
    // root when there is one already.
    int addDrive(const Volume &drive);
    // Adds a scan read from a file or from another machine as a drive of its own, labelled by its
    // origin and dated `savedAt`, its records taken over; its index.
    int addSavedDrive(std::shared_ptr<DriveScan> records, qint64 savedAt);
    // Shows a drive in the tree and the list, walking it first unless it was walked before; the
    // walk goes on after the call returns.
    void driveCommand(int index);
    // Walks the shown drive anew: its old records go first.
    void rescanCommand();
    // What the walks started from now on leave out; none: nothing. A walk keeps the patterns it
    // started with, for its refreshes too.
    void setExcludePatterns(std::shared_ptr<const ExcludePatterns> patterns)
    {
        m_exclude = std::move(patterns);
    }
    const std::shared_ptr<const ExcludePatterns> &excludePatterns() const { return m_exclude; }
    // The records an item is acted on through: those of the deepest volume holding it, when that
    // volume was walked on this machine; null for a saved scan's item, whatever its path says.
    std::shared_ptr<const DriveScan> recordsToActOn(const QByteArray &path) const;
    // Walks one folder of the shown records again, in place, with progress and stop as for a
    // drive; a volume's root is rescanned whole.
    void refreshFolder(const QByteArray &path);
    // Starts an edit of the records of the volume holding `path` off the window's thread, the
    // window live meanwhile and no scan beside it; once done, every view follows, then `then`
    // runs. False when no scan holds the path, a scan runs, or the records are a saved scan's.
    bool runEdit(const QByteArray &path, const QString &progress,
                 std::function<void(DriveScan &)> work, Continuation then = {});
    // Starts work that reads no records but must not run beside a walk or an edit (a saved scan
    // read or written, the trash sized), saying `progress` meanwhile; the continuation it returns
    // runs on the window's thread once it is done. False when a scan or an edit runs.
    bool runAside(const QString &progress, std::function<Continuation()> work);
    // Work aside the user may stop (Esc, the stop command call `stop`, from the window's thread,
    // while `work` runs) and whose progress the status bar shows a few times a second, as
    // `progressText` says it.
    bool runStoppable(std::function<Continuation()> work, std::function<void()> stop,
                      std::function<QString()> progressText);
    // Asks the running walk to stop; with none running, the next walk stops at once unless a
    // scan command clears the request first.
    void stopCommand();
    // Starts walking a drive into the records, reporting in the status bar; what follows the
    // walk (totals, list, tree) happens once it has ended, then scanEnded() is emitted.
    void ScanDrive(const Volume &drive);
    // The folders recorded in the status bar, with how many folders or files could not be read
    // and, in the panel's tooltip, which.
    void showFolderCount();
    // The live view changed the records of the volume shown: its totals and free space follow.
    void followLive();
    // The user has moved on: the note that sizes far exceed the volume's use has been seen.
    void forgetAboveUsed() { m_aboveUsed.clear(); }

signals:
    // The phase changed: the commands' states follow.
    void phaseChanged();
    // The records behind the selected folder may have changed: the list is to be filled again.
    void listOutdated();
    // The live view changed the records: the views other than the list follow.
    void recordsFollowed();
    // Records are about to be removed: whatever reads them stops.
    void recordsGoing();
    // A drive was added to the list, at this index: its commands are to be made.
    void driveAdded(int index);
    // A walk of the volume with this root ended complete, not stopped: its records are whole.
    void walkCompleted(const QByteArray &root);
    // A walk of the volume with this root went on a little further; a few times a second.
    void walkProgressed(const QByteArray &root);
    // A walk, a refresh, an edit or work aside has ended, and every view follows: the commands
    // may run again.
    void scanEnded();

private:
    void setPhase(ScanPhase phase);
    // The walk's threads have ended: its records are kept or dropped, and what follows runs.
    void walkEnded();
    // After a walk, with its total or 0: what every walk's command does next.
    void walkDone(quint64 total);
    void refreshEnded();
    void showProgress();
    // Enters and leaves a phase in which a command waits for its work aside.
    void beginWork(ScanPhase phase, const QString &progress);
    bool startAside(ScanPhase phase, const QString &progress, std::function<Continuation()> work);
    void endWork(ScanPhase phase);
    // After a walk, or a pick that needed none: the list follows the records, if any is left
    // (with none, the phase has already turned the list's commands off).
    void refillList();
    void removeDrive(const QByteArray &root);
    void showScanProgress();
    void showError(int number, const QString &description);
    // The free and total space of the drive's volume, read now; none for a saved scan's, whose
    // volume is on another machine.
    void showDiskSpace(const Volume &drive);
    // The space as read; none hides the two panels.
    void showDiskSpace(const DiskSpace *space);
    // After an edit of the records: totals, tree, list and views follow.
    void followEdit();

    QList<Volume> m_drives;
    WorkArea *m_workArea;
    MainStatusBar *m_statusBar;
    QWidget *m_window;
    PaintHold *m_paintHold; // the walks step aside while the windows paint
    FolderCollection m_folders;
    std::shared_ptr<const ExcludePatterns> m_exclude;
    quint64 m_diskSize = 0;
    quint64 m_diskAllocated = 0;
    QString m_aboveUsed; // said after a scan instead of the folder count, once
    SizeMeasure m_measure = SizeMeasure::Apparent;
    ScanPhase m_phase = ScanPhase::Start;
    bool m_scanning = false;
    bool m_stopRequested = false;
    QTimer *m_progress;                       // a few times a second while a walk or a refresh runs
    std::unique_ptr<DriveScanJob> m_scanJob;  // the running walk
    Volume m_walking;                         // its drive
    bool m_reloadTree = false;                // a rescan: the tree is read again after it
    std::unique_ptr<FolderRefresh> m_refresh; // the running refresh
    std::shared_ptr<DriveScan> m_refreshed;   // the records it walks into
    QString m_refreshShown;                   // its folder, as the status bar says it
    BackgroundJob<Continuation> m_aside;      // an edit or a command's work aside
    std::function<void()> m_asideStop;        // how to stop it, when it can be
    std::function<QString()> m_asideProgress; // what it has done so far, when it says
};
