#pragma once

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>

class DriveScan;
struct ImportError;
class QWidget;
class ScanComparison;
class ScanImport;
class ScanController;

// Saved scans in the window: opening one (ours, ncdu's or gdu's) as a drive of its own, and
// saving the shown volume's scan. Reading and writing run off the window's thread while it
// stays live, and the command goes on once they are done; a file that cannot be read loads
// nothing and says where and why.
class SavedScanCommand : public QObject
{
    Q_OBJECT
public:
    SavedScanCommand(ScanController *scans, QWidget *window);

    void openCommand();
    void saveCommand();
    void compareCommand();
    // Starts reading the file, then opens it as a drive and shows it, or tells the user why it
    // cannot be read; false when a walk or another command's work is under way.
    bool open(const QString &fileName);
    // Starts writing the shown volume's scan; a failure is told once it is known. False when
    // there is nothing to save or the records are busy.
    bool save(const QString &fileName);
    // Starts reading the file, then compares the shown volume with it, or tells the user why it
    // cannot be read. A scan of another machine or root is compared only if the user says so:
    // its items would hardly be found here. False when nothing can be compared now.
    bool compare(const QString &fileName);
    // Why a saved scan could not be read, and where, in words.
    static QString ProblemText(const ImportError &error);

signals:
    // The shown volume is now compared with an earlier scan: the views that show growth follow.
    // None is never sent here: the window ends a comparison itself.
    void comparisonChanged(std::shared_ptr<const ScanComparison> earlier);

private:
    // What follows a read: the records, and when the scan was saved.
    using AfterRead = std::function<void(std::shared_ptr<DriveScan> records, qint64 savedAt)>;
    // Reads a saved scan off the window's thread, then hands it on; a file that cannot be read
    // is told to the user instead.
    bool read(const QString &fileName, const std::shared_ptr<ScanImport> &reader,
              const AfterRead &then);
    void compareWith(const QString &fileName, const ScanImport &reader, const QByteArray &root,
                     std::shared_ptr<DriveScan> earlier, qint64 savedAt);
    void warn(const QString &text);
    bool ask(const QString &question);

    ScanController *m_scans;
    QWidget *m_window;
};
