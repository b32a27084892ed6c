#pragma once

#include <QByteArray>
#include <QObject>

#include <memory>

class DriveScan;
class QWidget;
class ScanComparison;
class ScanImport;
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
    void compareCommand();
    // Opens the file as a drive and shows it; false, with the user told why, when it cannot be
    // read.
    bool open(const QString &fileName);
    bool save(const QString &fileName);
    // Compares the shown volume with the scan in the file; false, with the user told why, when
    // it cannot be read. A scan of another machine or root is compared only if the user says
    // so: its items would hardly be found here.
    bool compare(const QString &fileName);

signals:
    // The shown volume is now compared with an earlier scan: the views that show growth follow.
    // None is never sent here: the window ends a comparison itself.
    void comparisonChanged(std::shared_ptr<const ScanComparison> earlier);

private:
    // Reads a saved scan off the window's thread; null, with the user told why, when it fails.
    // savedAt receives when the scan was saved.
    std::unique_ptr<DriveScan> read(const QString &fileName, ScanImport &reader, qint64 *savedAt);
    void warn(const QString &text);
    bool ask(const QString &question);

    ScanController *m_scans;
    QWidget *m_window;
};
