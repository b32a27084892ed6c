#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QWidget;
class RemoteScan;
class ScanController;
class SettingsStore;

// Walks a folder of another machine over the user's own ssh and opens the scan as a drive of its
// own, as an opened saved scan is: browsed, saved, compared, added to the history, never acted
// on. The scan is read as it arrives, off the window's thread; the status bar shows how far it
// has come, and the stop command ends it with nothing added. A walk that fails says why in words.
class RemoteScanCommand : public QObject
{
    Q_OBJECT
public:
    RemoteScanCommand(ScanController *scans, const SettingsStore *settings, QWidget *window);

    // Asks the machine and the folder, remembers them, then walks.
    void command();
    // Starts the walk of `folder` on `machine` (as ssh knows it, ":port" allowed); false when it
    // cannot start (another walk or work runs, or the machine is refused, which is told).
    bool walk(const QString &machine, const QString &folder);

private:
    void warn(const QString &text);

    ScanController *m_scans;
    const SettingsStore *m_settings;
    QWidget *m_window;
};
