#include "MapCommand.h"

#include "DirListModel.h"
#include "DriveScan.h"
#include "FolderTreeView.h"
#include "FormatText.h"
#include "Formatting.h"
#include "ItemMenu.h"
#include "KindNames.h"
#include "MapGrowth.h"
#include "MapLegend.h"
#include "MapPane.h"
#include "MapView.h"
#include "ScanController.h"
#include "TextTable.h"
#include "WorkArea.h"

#include <QAction>
#include <QTreeView>

namespace {

// A walk redraws the map at most twice a second, and leaves the drawings no more than a
// twelfth of one core's time, so that the walk itself is hardly slowed.
constexpr qint64 WalkDrawingMs = 500;
constexpr double WalkDrawingShare = 12;
constexpr qint64 FirstWalkDrawingMs = 1000;

} // namespace

MapCommand::MapCommand(WorkArea *workArea, ScanController *scans, QAction *toggle, QObject *parent)
    : QObject(parent)
    , m_workArea(workArea)
    , m_scans(scans)
    , m_toggle(toggle)
    , m_map(workArea->mapPane()->view())
{
    m_toggle->setCheckable(true);
    connect(m_toggle, &QAction::triggered, this, &MapCommand::setShown);
    connect(workArea->folderTree(), &FolderTreeView::selectedFolderChanged, this,
            &MapCommand::follow);
    connect(scans, &ScanController::listOutdated, this, &MapCommand::follow);
    connect(scans, &ScanController::recordsFollowed, this, &MapCommand::follow);
    connect(scans, &ScanController::phaseChanged, this, [this] {
        if (m_scans->isScanning()) {
            m_walkClock.start();
            m_lastDrawing.invalidate();
        }
    });
    connect(scans, &ScanController::recordsGoing, m_map, &MapView::dropRecords);
    connect(scans, &ScanController::walkProgressed, this, &MapCommand::walkProgressed);
    connect(m_map, &MapView::folderClicked, workArea->folderTree(),
            &FolderTreeView::setSelectedfolder);
    connect(m_map, &MapView::fileClicked, workArea, &WorkArea::selectFile);
    connect(m_map, &MapView::menuRequested, this,
            [this](const QByteArray &path, const QPoint &at) { ItemMenu::popup(path, at, m_map); });
    connect(workArea->listView()->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &MapCommand::listRowChanged);
    // A refill moves the rows without a change of the current one.
    connect(workArea->listModel(), &QAbstractItemModel::modelReset, this,
            &MapCommand::listRowChanged);
}

void MapCommand::restored()
{
    m_toggle->setChecked(m_workArea->mapShown());
    follow();
}

void MapCommand::setShown(bool shown)
{
    m_toggle->setChecked(shown);
    m_workArea->setMapShown(shown);
    if (shown)
        follow();
    else
        m_map->dropRecords(); // a hidden map holds nothing
}

void MapCommand::follow()
{
    if (!m_workArea->mapShown())
        return;
    // After a walk the list is filled again: what it counted is then the list's to show.
    m_workArea->mapPane()->setCaption({});
    m_map->showFolder(&m_scans->folders(), m_workArea->folderTree()->selectedfolder());
    listRowChanged();
}

// The volume being walked, with what has been counted under the map, and the map itself from its
// totals so far once the walk has gone on for a while: a short walk shows only its final map.
void MapCommand::walkProgressed(const QByteArray &root)
{
    if (!m_workArea->mapShown())
        return;
    const auto [scan, top] = m_scans->folders().locate(root);
    if (!scan)
        return;
    const qsizetype folders = scan->count();
    quint64 files = 0;
    for (qsizetype folder = 0; folder < folders; ++folder)
        files += scan->fileCountOf(WalkSink::FolderId(folder));
    m_workArea->mapPane()->setCaption(
        FormatText(Text(TextId::MapCaption), folders, files, KilobyteText(scan->totalSize()),
                   QString::number(double(m_walkClock.elapsed()) / 1000, 'f', 1)
                       .replace(u'.', GetDecimalSeparator())));

    const auto interval =
        std::max(WalkDrawingMs, qint64(m_map->drawingCostMs() * WalkDrawingShare));
    if (m_walkClock.elapsed() < FirstWalkDrawingMs ||
        (m_lastDrawing.isValid() && m_lastDrawing.elapsed() < interval))
        return;
    m_lastDrawing.start();
    m_map->showFolder(&m_scans->folders(), root);
}

void MapCommand::listRowChanged()
{
    if (!m_workArea->mapShown())
        return;
    const QModelIndex current = m_workArea->listView()->currentIndex();
    const QByteArray key = current.data(DirListModel::KeyRole).toByteArray();
    // A subfolder's key is its path already.
    m_map->setHighlight(key.isEmpty() || current.data(DirListModel::IsFolderRole).toBool()
                            ? key
                            : m_workArea->folderTree()->selectedfolder() + key);
}

void MapCommand::setComparison(std::shared_ptr<const ScanComparison> earlier)
{
    m_comparing = earlier != nullptr;
    showLegend();
    m_map->setComparison(std::move(earlier));
}

void MapCommand::setChanges(std::shared_ptr<const MapGrowth::Changes> changes)
{
    m_changes = changes != nullptr;
    showLegend();
    m_map->setChanges(std::move(changes));
}

void MapCommand::showLegend()
{
    MapLegend *legend = m_workArea->mapPane()->legend();
    if (m_comparing)
        legend->setEntries(
            {Text(TextId::MapGrown), Text(TextId::MapShrunk), Text(TextId::MapUnchanged),
             Text(TextId::MapUnread)},
            {MapGrowth::Grown, MapGrowth::Shrunk, MapGrowth::Unchanged, MapGrowth::Unknown});
    else if (m_changes)
        legend->setEntries(
            {Text(TextId::MapGrown), Text(TextId::MapShrunk), Text(TextId::MapUnchanged)},
            {MapGrowth::Grown, MapGrowth::Shrunk, MapGrowth::Unchanged});
    else
        legend->setEntries(KindNames(), KindColours());
}

void MapCommand::setSizeMeasure(SizeMeasure measure)
{
    m_map->setSizeMeasure(measure);
}
