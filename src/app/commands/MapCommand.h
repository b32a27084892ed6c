#pragma once

#include "MapGrowth.h"

#include "SizeMeasure.h"

#include <QElapsedTimer>
#include <QObject>

#include <memory>

class MapView;
class ScanComparison;
class QAction;
class ScanController;
class WorkArea;

// The map's command and its ties to the rest of the window: it shows the folder selected in the
// tree, follows a walk from its partial totals, answers clicks by selecting in the tree and the
// list, and outlines the list's current row. Owned by the window through Qt's parenting.
class MapCommand : public QObject
{
    Q_OBJECT

public:
    // toggle: the checkable menu entry and button that show and hide the map.
    MapCommand(WorkArea *workArea, ScanController *scans, QAction *toggle, QObject *parent);

    // The map as the settings left it, once they are restored.
    void restored();
    void setShown(bool shown);
    void setSizeMeasure(SizeMeasure measure);
    // Colours by growth since an earlier scan, with a key to match; none: by kind again.
    void setComparison(std::shared_ptr<const ScanComparison> earlier);
    // Coloured by what changed while the volume was followed (null: no more), unless an earlier
    // scan is compared.
    void setChanges(std::shared_ptr<const MapGrowth::Changes> changes);

private:
    void follow();
    void walkProgressed(const QByteArray &root);
    void listRowChanged();
    void showLegend();

    WorkArea *m_workArea;
    ScanController *m_scans;
    QAction *m_toggle;
    MapView *m_map;
    QElapsedTimer m_walkClock;   // since the walk began
    QElapsedTimer m_lastDrawing; // since the map last followed the walk
    bool m_comparing = false;    // with an earlier scan
    bool m_changes = false;      // by what changed while followed
};
