#pragma once

#include "GrowthLog.h"
#include "LiveFollower.h"
#include "MapGrowth.h"

#include <QObject>

#include <memory>

class GrowthWindow;
class MainStatusBar;
class QTimer;
class ScanController;
class WorkArea;

// Keeps the window live: once a volume's walk is complete, its changes are followed and shown as
// they come, in the tree, the list, the totals and the free space, without a new walk and with
// what the user expanded, selected and scrolled to kept. The status bar says that the view is
// live and how much the volume changed since the walk, or why it cannot be.
class LiveCommand : public QObject
{
    Q_OBJECT
public:
    LiveCommand(ScanController *scans, WorkArea *workArea, MainStatusBar *statusBar,
                QObject *parent = nullptr);
    ~LiveCommand() override;
    // "What grew": opens the window, or brings it to the front.
    void openGrowth();
    GrowthWindow *growthWindow() const { return m_window; }

    // The shown list's records changed on the disk: it is to be filled again in place.
signals:
    void listChanged();
    // The records changed on the disk; said at most once a second, for the views that take
    // longer to follow (the map, the tool windows).
    void recordsChanged();
    // What the map is to be coloured by: the growth the window shows, or nothing.
    void mapChanges(std::shared_ptr<const MapGrowth::Changes> changes);

private:
    void followShown();
    void stop();
    void started(const std::shared_ptr<LiveFollower> &follower, bool following);
    void takeBatch(const LiveFollower::Batch &batch);
    void ended(const std::shared_ptr<LiveFollower> &follower, int error);
    void showChange();
    void showGrowth();
    void choose(const QByteArray &path);
    void colourMap(const std::vector<GrowthLog::Row> &rows, bool onDisk);

    ScanController *m_scans;
    WorkArea *m_workArea;
    MainStatusBar *m_statusBar;
    std::shared_ptr<LiveFollower> m_follower;
    // Listening since the walk under way began, for the follower that comes after it; not for
    // the records followed before it (a refresh of one folder), whose changes heard meanwhile
    // went with their follower.
    std::unique_ptr<ChangeSource> m_heard;
    QByteArray m_heardRoot;
    std::weak_ptr<const DriveScan> m_heardNotFor;
    quint64 m_walkSize = 0; // the volume's totals when following began
    quint64 m_walkAllocated = 0;
    QTimer *m_slow;
    // Written on the follower's thread, read aside: shared with the work under way.
    std::shared_ptr<GrowthLog> m_growth = std::make_shared<GrowthLog>();
    bool m_growthAside = false;       // rows being made for the window
    bool m_mapColoured = false;       // the map shows them
    GrowthWindow *m_window = nullptr; // made when first asked for, owned through parenting
    QTimer *m_ticking;                // while it shows, the last minute moves on
};
