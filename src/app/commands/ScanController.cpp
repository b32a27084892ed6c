#include "ScanController.h"

#include "ActTexts.h"
#include "DriveScanJob.h"
#include "FolderRefresh.h"
#include "FolderTreeView.h"
#include "FormatText.h"
#include "Formatting.h"
#include "MainStatusBar.h"
#include "PaintHold.h"
#include "Paths.h"
#include "SavedRootName.h"
#include "SystemErrorText.h"
#include "TextTable.h"
#include "WorkArea.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include <cstring>

ScanController::ScanController(const QList<Volume> &drives, WorkArea *workArea,
                               MainStatusBar *statusBar, QWidget *window)
    : QObject(window)
    , m_drives(drives)
    , m_workArea(workArea)
    , m_statusBar(statusBar)
    , m_window(window)
    , m_paintHold(new PaintHold(this))
    , m_progress(new QTimer(this))
    , m_aside([](const Continuation &next) { next(); })
{
    m_progress->setInterval(200);
    connect(m_progress, &QTimer::timeout, this, &ScanController::showProgress);
}

ScanController::~ScanController()
{
    if (m_asideStop) // a walk of another machine: its ssh ends, and the job with it
        m_asideStop();
    if (m_scanJob) {
        m_scanJob->requestStop();
        m_scanJob->wait();
    }
    if (m_refresh) {
        m_refresh->requestStop();
        m_refresh->wait();
    }
}

Volume ScanController::shownDrive() const
{
    const QByteArray root = m_workArea->folderTree()->rootfolder();
    for (const Volume &drive : m_drives)
        if (drive.root() == root)
            return drive;
    // A root that is no listed volume (the tree before any pick): name it by its path.
    Volume drive;
    drive.mountPoint = root.size() > 1 ? root.chopped(1) : root;
    return drive;
}

Volume ScanController::volumeHolding(const QByteArray &path) const
{
    Volume holding = shownDrive();
    if (!path.startsWith(holding.root()))
        return holding;
    // Folders walked as drives and saved scans are no volumes of their own.
    for (const Volume &drive : m_drives)
        if (drive.kind != DriveKind::Folder && drive.kind != DriveKind::Saved &&
            drive.root().size() > holding.root().size() && path.startsWith(drive.root()))
            holding = drive;
    return holding;
}

int ScanController::addDrive(const Volume &drive)
{
    for (int index = 0; index < m_drives.size(); ++index)
        if (m_drives[index].root() == drive.root())
            return index;
    m_drives.append(drive);
    return int(m_drives.size() - 1);
}

int ScanController::addSavedDrive(std::shared_ptr<DriveScan> records, qint64 savedAt)
{
    Volume drive;
    drive.savedAt = savedAt;
    drive.mountPoint =
        SavedRootLabel(records->rootPath(),
                       AddSlash(records->origin() ? records->origin()->root : records->rootPath()));
    drive.kind = DriveKind::Saved;
    m_workArea->stopReading();
    m_folders.adoptDrive(std::move(records));
    m_drives.append(drive);
    const int index = int(m_drives.size() - 1);
    emit driveAdded(index);
    return index;
}

void ScanController::driveCommand(int index)
{
    if (index < 0 || index >= m_drives.size())
        return;
    m_stopRequested = false;
    if (m_scanning)
        return;
    const Volume &drive = m_drives[index];
    const QByteArray root = drive.root();
    const FolderRecord record = m_folders.find(root);
    if (!record.isNull()) {
        m_diskSize = record.size();
        m_diskAllocated = record.allocated();
    }
    FolderTreeView *tree = m_workArea->folderTree();
    const QByteArray kept = tree->rootfolder();
    const std::shared_ptr<const DriveScan> keptRecords = tree->records();
    tree->setRecords(drive.kind == DriveKind::Saved ? m_folders.scanHolding(root) : nullptr);
    tree->setRootfolder(root);
    if (tree->rootfolder() != root) {
        // The drive cannot be shown (a reader without a medium, say): all stays as it was.
        tree->setRecords(keptRecords);
        tree->setRootfolder(kept);
        tree->reload();
        refillList();
        return;
    }
    // A new root was just read whole; the same root is read again, for what changed since.
    if (root == kept)
        tree->reload();
    m_scanning = true;
    if (record.isNull()) {
        setPhase(ScanPhase::ScanningDrive);
        m_reloadTree = false;
        ScanDrive(drive);
        return;
    }
    setPhase(ScanPhase::Scanned);
    showDiskSpace(drive); // another volume's, not the one shown before
    refillList();
    m_scanning = false;
    emit scanEnded();
}

void ScanController::rescanCommand()
{
    m_stopRequested = false;
    if (m_scanning)
        return;
    const Volume drive = shownDrive();
    // A saved scan is all there is of its volume here: nothing to walk, and its records stay.
    if (drive.kind == DriveKind::Saved)
        return;
    removeDrive(drive.root());
    m_scanning = true;
    setPhase(ScanPhase::Rescanning);
    m_reloadTree = true;
    ScanDrive(drive);
}

void ScanController::stopCommand()
{
    m_stopRequested = true;
    if (m_scanJob)
        m_scanJob->requestStop();
    if (m_refresh)
        m_refresh->requestStop();
    if (m_asideStop)
        m_asideStop();
}

std::shared_ptr<const DriveScan> ScanController::recordsToActOn(const QByteArray &path) const
{
    std::shared_ptr<const DriveScan> scan = m_folders.scanHolding(path);
    if (!scan || scan->device() == 0)
        return nullptr;
    for (const Volume &drive : m_drives)
        if (drive.root() == scan->rootPath())
            return drive.kind == DriveKind::Saved ? nullptr : scan;
    return scan; // a volume walked before the list of drives was read again
}

void ScanController::refreshFolder(const QByteArray &path)
{
    m_stopRequested = false;
    // A saved scan's paths are on no disk here.
    std::shared_ptr<DriveScan> scan =
        m_scanning || !recordsToActOn(path) ? nullptr : m_folders.scanHolding(path);
    if (!scan)
        return;
    if (path == scan->rootPath()) {
        rescanCommand();
        return;
    }
    m_scanning = true;
    setPhase(ScanPhase::Rescanning);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_refreshed = scan;
    m_refresh =
        std::make_unique<FolderRefresh>(*scan, path, Walker::Options{0, 10, m_paintHold->flag()});
    m_refresh->setFinishedHandler([this] {
        QMetaObject::invokeMethod(this, &ScanController::refreshEnded, Qt::QueuedConnection);
    });
    m_refreshShown = QFile::decodeName(path);
    if (!m_refresh->start()) {
        refreshEnded();
        return;
    }
    m_progress->start();
}

void ScanController::refreshEnded()
{
    m_progress->stop();
    const std::unique_ptr<FolderRefresh> refresh = std::move(m_refresh);
    refresh->wait();
    m_refreshed.reset();
    QApplication::restoreOverrideCursor();
    m_scanning = false;
    setPhase(ScanPhase::Scanned);
    followEdit();
    if (refresh->wasStopped())
        m_statusBar->setPanelText(1, FormatText(Text(TextId::RefreshStopped), m_refreshShown));
    else if (!refresh->changed().ok())
        QMessageBox::warning(m_window, Text(TextId::ErrorTitle),
                             ChangeText(refresh->changed(), TextId::ChangedNothingRefreshed));
    else if (refresh->error() != 0)
        showError(refresh->error(), SystemErrorText(refresh->error()));
    emit scanEnded();
}

bool ScanController::runEdit(const QByteArray &path, const QString &progress,
                             std::function<void(DriveScan &)> work, Continuation then)
{
    std::shared_ptr<DriveScan> scan =
        m_scanning || !recordsToActOn(path) ? nullptr : m_folders.scanHolding(path);
    if (!scan)
        return false;
    beginWork(ScanPhase::Editing, progress);
    m_aside.run([this, scan, work = std::move(work),
                 then = std::move(then)](const std::atomic<bool> &) -> Continuation {
        work(*scan);
        return [this, then] {
            endWork(ScanPhase::Scanned);
            followEdit();
            if (then)
                then();
            emit scanEnded();
        };
    });
    return true;
}

bool ScanController::runAside(const QString &progress, std::function<Continuation()> work)
{
    return startAside(ScanPhase::Waiting, progress, std::move(work));
}

bool ScanController::runStoppable(std::function<Continuation()> work, std::function<void()> stop,
                                  std::function<QString()> progressText)
{
    if (m_scanning)
        return false;
    m_asideStop = std::move(stop);
    m_asideProgress = std::move(progressText);
    m_progress->start();
    return startAside(ScanPhase::Fetching, m_asideProgress(), std::move(work));
}

bool ScanController::startAside(ScanPhase phase, const QString &progress,
                                std::function<Continuation()> work)
{
    if (m_scanning)
        return false;
    const ScanPhase before = m_phase;
    beginWork(phase, progress);
    m_aside.run([this, before, work = std::move(work)](const std::atomic<bool> &) -> Continuation {
        return [this, before, next = work()] {
            m_progress->stop();
            m_asideStop = nullptr;
            m_asideProgress = nullptr;
            endWork(before);
            showFolderCount(); // in place of the progress, whatever the next step says
            if (next)
                next();
            emit scanEnded();
        };
    });
    return true;
}

void ScanController::beginWork(ScanPhase phase, const QString &progress)
{
    m_scanning = true;
    setPhase(phase);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_statusBar->setPanelText(1, progress);
}

void ScanController::endWork(ScanPhase phase)
{
    QApplication::restoreOverrideCursor();
    m_scanning = false;
    setPhase(phase);
}

void ScanController::followEdit()
{
    // What a trash, a deletion or a walk of a folder changed on the volume shows at once.
    followLive();
    m_workArea->folderTree()->reload();
    refillList();
    showFolderCount();
}

void ScanController::followLive()
{
    if (const FolderRecord record = m_folders.find(shownDrive().root()); !record.isNull()) {
        m_diskSize = record.size();
        m_diskAllocated = record.allocated();
    }
    showDiskSpace(shownDrive());
}

void ScanController::showDiskSpace(const Volume &drive)
{
    DiskSpace space;
    const bool known = drive.kind != DriveKind::Saved && GetDiskSpace(drive.root(), space);
    showDiskSpace(known ? &space : nullptr);
}

void ScanController::showDiskSpace(const DiskSpace *space)
{
    m_statusBar->setPanelText(
        2, space ? FormatText(Text(TextId::FreeSpace), MegabyteText(space->FreeBytes)) : QString());
    m_statusBar->setPanelText(
        3,
        space ? FormatText(Text(TextId::TotalSpace), MegabyteText(space->TotalBytes)) : QString());
}

void ScanController::ScanDrive(const Volume &drive)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_walking = drive;
    // The walk yields the cores to this window's thread, so the window never waits on it.
    Walker::Options options{0, 10, m_paintHold->flag()};
    options.exclude = m_exclude;
    m_scanJob = std::make_unique<DriveScanJob>(m_folders, drive.root(), options);
    m_scanJob->setFinishedHandler([this] {
        QMetaObject::invokeMethod(this, &ScanController::walkEnded, Qt::QueuedConnection);
    });
    if (!m_scanJob->start()) {
        const int error = m_scanJob->error();
        m_scanJob.reset();
        QApplication::restoreOverrideCursor();
        setPhase(m_folders.count() > 0 ? ScanPhase::StoppedWithRecords
                                       : ScanPhase::StoppedWithoutRecords);
        showError(error, SystemErrorText(error));
        walkDone(0);
        return;
    }
    // The walk runs on its own threads; the window stays live and shows where it is a few
    // times a second.
    if (m_stopRequested)
        m_scanJob->requestStop();
    m_progress->start();
    showScanProgress();
}

void ScanController::walkEnded()
{
    m_progress->stop();
    const std::unique_ptr<DriveScanJob> job = std::move(m_scanJob);
    job->wait();
    // A stopped walk leaves no records: the views reading them (the map draws during a walk) are
    // told before they go, not after.
    if (job->wasStopped())
        removeDrive(m_walking.root());

    const quint64 total = job->finish();
    if (job->wasStopped()) {
        setPhase(m_folders.count() > 0 ? ScanPhase::StoppedWithRecords
                                       : ScanPhase::StoppedWithoutRecords);
        m_statusBar->setPanelText(
            1, FormatText(Text(TextId::ScanStopped), QFile::decodeName(m_walking.label())));
        QApplication::restoreOverrideCursor();
        // A walk that ran out of memory is said so; its partial records are gone.
        if (job->error() != 0)
            showError(job->error(), SystemErrorText(job->error()));
        walkDone(0);
        return;
    }
    setPhase(ScanPhase::Scanned);
    // Sparse disk images and preallocated files can make the files' sizes dwarf what the volume
    // holds; said in place of the folder count until the user moves on, with where to look.
    const quint64 used = job->diskSpace().TotalBytes -
                         std::min(job->diskSpace().TotalBytes, job->diskSpace().FreeBytes);
    m_aboveUsed = used > 0 && total / 2 > used ? FormatText(Text(TextId::ScanAboveUsed),
                                                            MegabyteText(total), MegabyteText(used))
                                               : QString();
    showFolderCount();
    showDiskSpace(&job->diskSpace());
    QApplication::restoreOverrideCursor();
    // Named before what follows the walk can start another.
    const QByteArray walked = m_walking.root();
    walkDone(total);
    emit walkCompleted(walked);
}

void ScanController::walkDone(quint64 total)
{
    m_diskSize = total;
    m_diskAllocated = total > 0 ? m_folders.find(m_walking.root()).allocated() : 0;
    if (m_reloadTree)
        m_workArea->folderTree()->reload();
    refillList();
    m_scanning = false;
    emit scanEnded();
}

void ScanController::showProgress()
{
    if (m_scanJob) {
        showScanProgress();
        emit walkProgressed(m_walking.root());
    } else if (m_refresh) {
        m_statusBar->setPanelText(1, FormatText(Text(TextId::RefreshingFolder), m_refreshShown) +
                                         QStringLiteral(" (%1)").arg(m_refresh->foldersListed()));
    } else if (m_asideProgress) {
        m_statusBar->setPanelText(1, m_asideProgress());
    }
}

void ScanController::showFolderCount()
{
    if (!m_aboveUsed.isEmpty() && m_measure == SizeMeasure::Apparent) {
        m_statusBar->setPanelText(1, m_aboveUsed);
        m_statusBar->setPanelToolTip(1, QString());
        return;
    }
    const quint32 unread = m_folders.unreadCount();
    if (unread == 0) {
        m_statusBar->setPanelText(1, FormatText(Text(TextId::FoldersScanned), m_folders.count()));
        m_statusBar->setPanelToolTip(1, QString());
        return;
    }
    m_statusBar->setPanelText(
        1, FormatText(Text(TextId::FoldersScannedUnread), m_folders.count(), unread));
    QStringList tip{Text(TextId::UnreadTip)};
    if (const quint32 vanished = m_folders.vanishedCount(); vanished > 0)
        tip.append(FormatText(Text(TextId::UnreadVanished), vanished));
    const qsizetype said = tip.size();
    for (const QByteArray &line : m_folders.unreadSample())
        tip.append(QString::fromLocal8Bit(line));
    if (unread > quint32(tip.size() - said))
        tip.append(QStringLiteral("..."));
    m_statusBar->setPanelToolTip(1, tip.join(u'\n'));
}

void ScanController::setPhase(ScanPhase phase)
{
    m_phase = phase;
    // A walk adds and may drop records, an edit changes them: the list reads them meanwhile
    // on the window's thread only.
    m_workArea->setReadAside(phase != ScanPhase::ScanningDrive && phase != ScanPhase::Rescanning &&
                             phase != ScanPhase::Editing);
    emit phaseChanged();
}

void ScanController::refillList()
{
    if (m_folders.count() > 0)
        emit listOutdated();
}

void ScanController::removeDrive(const QByteArray &root)
{
    m_workArea->stopReading();
    emit recordsGoing();
    m_folders.removeDrive(root);
    m_workArea->forgetList();
}

void ScanController::showScanProgress()
{
    if (!m_scanJob)
        return;
    const QByteArray folder = m_scanJob->currentFolder();
    if (!folder.isEmpty())
        m_statusBar->setPanelText(1, Text(TextId::ScanningFolder) + QFile::decodeName(folder));
}

// The program's error box: title and first word "Erreur", the number, then the description.
void ScanController::showError(int number, const QString &description)
{
    QMessageBox::critical(m_window, Text(TextId::ErrorTitle),
                          Text(TextId::ErrorTitle) + u' ' + QString::number(number) +
                              QStringLiteral("\r\n") + description);
}
