#pragma once

#include <QByteArray>
#include <QObject>

class DriveScan;
class QMenu;
class QWidget;
class ScanController;

// The commands that change the disk or the records of an item the views show: walking a folder
// again, moving an item to the trash, deleting it for good. Each asks first, naming what it will
// touch; none runs during a scan; the work runs off the window's thread and every view follows.
class ActCommand : public QObject
{
    Q_OBJECT
public:
    ActCommand(ScanController *scans, QWidget *window);

    // Adds the commands' entries to an item's menu.
    void addEntries(QMenu *menu, const QByteArray &path);

    void refresh(const QByteArray &path);
    void moveToTrash(const QByteArray &path);
    void deletePermanently(const QByteArray &path);

private:
    // The records of the volume holding the item, or null.
    const DriveScan *holderOf(const QByteArray &path) const;
    // What the confirmation says of the item: its size, its files, whether it changed.
    QString describe(const DriveScan &scan, const QByteArray &path) const;
    // Says why the item may not go; false when it may.
    bool refused(const DriveScan &scan, const QByteArray &path);
    bool confirm(const QString &question, const QString &details, const QString &action);
    void deleteConfirmed(const QByteArray &path);
    void warn(const QString &text);

    ScanController *m_scans;
    QWidget *m_window;
};
