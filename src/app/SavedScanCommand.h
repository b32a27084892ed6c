#pragma once

#include <QByteArray>
#include <QObject>

class QWidget;
class ScanController;

// Saved scans in the window: opening one (ours, ncdu's or gdu's) as a drive of its own, and
// saving the shown volume's scan. Reading and writing run off the window's thread while it
// stays live; a file that cannot be read loads nothing and says where and why.
class SavedScanCommand : public QObject
{
    Q_OBJECT
public:
    SavedScanCommand(ScanController *scans, QWidget *window);

    void openCommand();
    void saveCommand();
    // Opens the file as a drive and shows it; false, with the user told why, when it cannot be
    // read.
    bool open(const QString &fileName);
    bool save(const QString &fileName);

private:
    void warn(const QString &text);

    ScanController *m_scans;
    QWidget *m_window;
};
