#include "LiveCommand.h"

#include "BackgroundPool.h"
#include "ChangeSource.h"
#include "FolderTreeModel.h"
#include "FolderTreeView.h"
#include "FormatText.h"
#include "Formatting.h"
#include "GrowthWindow.h"
#include "MainStatusBar.h"
#include "ScanController.h"
#include "SystemErrorText.h"
#include "TextTable.h"
#include "WorkArea.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <QTimer>

#include <cerrno>

namespace {

QString Why(int error)
{
    switch (error) {
    case EREMOTE:
        return Text(TextId::LiveNoEvents);
    case ENOSPC:
        return Text(TextId::LiveTooManyFolders);
    default:
        return SystemErrorText(error);
    }
}

} // namespace

LiveCommand::LiveCommand(ScanController *scans, WorkArea *workArea, MainStatusBar *statusBar,
                         QObject *parent)
    : QObject(parent)
    , m_scans(scans)
    , m_workArea(workArea)
    , m_statusBar(statusBar)
    , m_slow(new QTimer(this))
    , m_ticking(new QTimer(this))
{
    m_ticking->setInterval(1000);
    connect(m_ticking, &QTimer::timeout, this, &LiveCommand::showGrowth);
    m_slow->setSingleShot(true);
    m_slow->setInterval(1000);
    connect(m_slow, &QTimer::timeout, this, &LiveCommand::recordsChanged);
    connect(scans, &ScanController::scanEnded, this, &LiveCommand::followShown);
    connect(scans, &ScanController::recordsGoing, this, &LiveCommand::stop);
    connect(scans, &ScanController::phaseChanged, this, [this] {
        const ScanPhase phase = m_scans->phase();
        if (phase != ScanPhase::ScanningDrive && phase != ScanPhase::Rescanning)
            return;
        const QByteArray root = m_scans->shownDrive().root();
        if (m_heard && m_heardRoot == root)
            return; // the same walk: a new mark would miss what the first one heard
        m_heardNotFor = m_follower ? m_follower->scan() : nullptr;
        stop();
        // Set before the walk: what changes while it runs is heard, and once it ends, following
        // starts without a look at every folder.
        m_heard = LiveFollower::ListenBeforeWalk(root);
        m_heardRoot = root;
    });
}

LiveCommand::~LiveCommand()
{
    stop();
}

// A volume walked whole and shown is followed from then on; a saved scan's records, or a walk
// stopped short, are not.
void LiveCommand::followShown()
{
    std::unique_ptr<ChangeSource> heard = std::move(m_heard);
    if (m_scans->phase() != ScanPhase::Scanned)
        return;
    const Volume shown = m_scans->shownDrive();
    std::shared_ptr<DriveScan> scan = m_scans->folders().scanHolding(shown.root());
    if (!scan || scan->device() == 0 || scan->rootPath() != shown.root()) {
        stop();
        return;
    }
    if (m_follower && m_follower->scan() == scan)
        return;
    stop();
    m_growth = std::make_shared<GrowthLog>();
    m_growth->clear(QDateTime::currentMSecsSinceEpoch());
    m_walkSize = scan->sizeOf(0);
    m_walkAllocated = scan->allocatedOf(0);
    LiveFollower::Options options;
    options.heardSinceWalk =
        heard && m_heardRoot == scan->rootPath() && scan != m_heardNotFor.lock();
    if (!options.heardSinceWalk)
        heard.reset(); // with none, the follower opens its own
    auto follower = std::make_shared<LiveFollower>(scan, std::move(heard), options);
    m_follower = follower;
    // Handed to the window's thread; dropped if this command goes first.
    // The growth is recorded on the follower's thread; the window hears of the folders.
    follower->setBatchHandler([this, growth = m_growth](const LiveFollower::Batch &batch) {
        growth->record(batch, QDateTime::currentMSecsSinceEpoch());
        LiveFollower::Batch folders = batch;
        folders.files.clear();
        QMetaObject::invokeMethod(
            this, [this, folders] { takeBatch(folders); }, Qt::QueuedConnection);
    });
    std::weak_ptr<LiveFollower> weak = follower;
    follower->setEndHandler([this, weak](int error) {
        QMetaObject::invokeMethod(
            this, [this, weak, error] { ended(weak.lock(), error); }, Qt::QueuedConnection);
    });
    // A watch per folder can take a while to set: not on the window's thread.
    auto *watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, follower] {
        started(follower, watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(BackgroundPool::submit([follower] { return follower->start(); }));
}

void LiveCommand::stop()
{
    if (!m_follower)
        return;
    m_follower->stop();
    m_follower.reset();
    m_statusBar->setLiveText({}, {});
}

void LiveCommand::started(const std::shared_ptr<LiveFollower> &follower, bool following)
{
    if (follower != m_follower)
        return;
    if (following) {
        showChange();
        return;
    }
    m_statusBar->setLiveText(FormatText(Text(TextId::LiveImpossible), Why(follower->error())), {});
    m_follower->stop();
}

void LiveCommand::ended(const std::shared_ptr<LiveFollower> &follower, int error)
{
    if (!follower || follower != m_follower)
        return;
    m_statusBar->setLiveText(FormatText(Text(TextId::LiveEnded), Why(error)), {});
}

void LiveCommand::takeBatch(const LiveFollower::Batch &batch)
{
    if (!m_follower || m_scans->isScanning())
        return;
    FolderTreeModel *tree = m_workArea->folderTree()->model();
    for (const QByteArray &folder : batch.reshaped)
        tree->relist(folder);
    m_scans->followLive();
    // The list shows the selected folder's entries with their totals: any change at or below it.
    QByteArray shown = m_workArea->folderTree()->selectedfolder();
    if (!shown.endsWith('/'))
        shown += '/';
    const auto below = [&](const QByteArray &path) { return path.startsWith(shown); };
    if (batch.overflow || std::any_of(batch.listed.begin(), batch.listed.end(), below) ||
        std::any_of(batch.totals.begin(), batch.totals.end(),
                    [&](const LiveFollower::FolderChange &c) { return below(c.path); }))
        emit listChanged();
    showChange();
    showGrowth();
    if (!m_slow->isActive())
        m_slow->start();
}

void LiveCommand::openGrowth()
{
    if (!m_window) {
        m_window = new GrowthWindow(qobject_cast<QWidget *>(parent()));
        connect(m_window, &GrowthWindow::spanChanged, this, &LiveCommand::showGrowth);
        connect(m_window, &GrowthWindow::colourMapChanged, this, &LiveCommand::showGrowth);
        connect(m_window, &GrowthWindow::pathChosen, this, &LiveCommand::choose);
        connect(m_window, &QDialog::finished, this, [this] {
            m_ticking->stop();
            colourMap({}, false); // the map goes back to its kinds with the window
        });
    }
    showGrowth();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_ticking->start();
}

void LiveCommand::showGrowth()
{
    if (!m_window || !m_window->isVisible() || m_growthAside)
        return;
    const bool live = m_follower && m_follower->backend() != LiveFollower::Backend::None;
    const QByteArray root = m_follower ? m_follower->scan()->rootPath() : QByteArray();
    const bool onDisk = m_scans->sizeMeasure() == SizeMeasure::OnDisk;
    if (!live) {
        m_window->showRows(root, {}, onDisk, false);
        return;
    }
    // Thousands of paths are sorted aside; the window takes the rows once made.
    m_growthAside = true;
    auto *watcher = new QFutureWatcher<std::vector<GrowthLog::Row>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, root, onDisk] {
        m_growthAside = false;
        if (m_window && m_window->isVisible()) {
            colourMap(watcher->result(), onDisk);
            m_window->showRows(root, watcher->result(), onDisk, true);
        }
        watcher->deleteLater();
    });
    watcher->setFuture(BackgroundPool::submit([growth = m_growth, span = m_window->span(), onDisk] {
        return growth->rows(span, QDateTime::currentMSecsSinceEpoch(), onDisk);
    }));
}

void LiveCommand::colourMap(const std::vector<GrowthLog::Row> &rows, bool onDisk)
{
    const bool wanted = m_window && m_window->isVisible() && m_window->colourMap();
    if (!wanted && !m_mapColoured)
        return;
    m_mapColoured = wanted;
    if (!wanted) {
        emit mapChanges(nullptr);
        return;
    }
    auto changes = std::make_shared<MapGrowth::Changes>();
    for (const GrowthLog::Row &row : rows)
        changes->emplace(row.path, onDisk ? row.allocatedGrowth : row.growth);
    emit mapChanges(std::move(changes));
}

// A folder is selected in the tree, a file in the list of its folder.
void LiveCommand::choose(const QByteArray &path)
{
    if (path.endsWith('/')) {
        m_workArea->folderTree()->setSelectedfolder(path);
        return;
    }
    const qsizetype slash = path.lastIndexOf('/');
    m_workArea->selectFile(path.first(slash + 1), path.sliced(slash + 1));
}

void LiveCommand::showChange()
{
    const FolderRecord root = m_scans->folders().find(m_follower->scan()->rootPath());
    const bool onDisk = m_scans->sizeMeasure() == SizeMeasure::OnDisk;
    const quint64 now = root.isNull() ? 0 : onDisk ? root.allocated() : root.size();
    const quint64 then = onDisk ? m_walkAllocated : m_walkSize;
    const QString change = now == then  ? QString()
                           : now > then ? u'+' + MegabyteText(now - then)
                                        : QChar(0x2212) + MegabyteText(then - now);
    m_statusBar->setLiveText(change.isEmpty() ? Text(TextId::LiveOn)
                                              : FormatText(Text(TextId::LiveChange), change),
                             Text(TextId::LiveToolTip));
}
