#pragma once

#include "HistoryError.h"
#include "KeepRule.h"
#include "SizeMeasure.h"
#include "VolumeIdentity.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class DriveScan;
class QIODevice;

// The history of walked folders: each walk's totals, every folder's values in both measures at
// every walk, and each walk's biggest files, in one SQLite file shared by the program and
// quarnel-scan. A folder's values are stored only when they differ from the ones it had at the
// walk before, so a walk that changes little costs little. Each operation is one transaction and
// answers with a HistoryError; a damaged, locked or read-only file is reported, never thrown at
// or deleted. One connection of its own: use an instance on one thread only.
class HistoryDatabase
{
public:
    // A walked folder's history.
    struct Volume
    {
        qint64 id = 0;
        QByteArray volumeKey;    // see VolumeIdentity
        QByteArray pathInVolume; // the walked folder within its volume
        QByteArray lastRoot;     // where it was last walked, ending with "/"
        QByteArray label;
        qint64 walkCount = 0;
        qint64 lastWalked = 0; // the newest walk's date; 0 when none
    };
    struct Walk
    {
        qint64 id = 0;
        qint64 volume = 0;
        qint64 date = 0; // seconds since the epoch
        quint64 apparent = 0;
        quint64 onDisk = 0;
        quint64 files = 0;    // in the whole walk
        quint64 folders = 0;  // the root included
        bool complete = true; // nothing was left unread
    };
    // A folder as one walk found it.
    struct Value
    {
        qint64 walk = 0;
        qint64 walkDate = 0;
        quint64 apparent = 0;
        quint64 onDisk = 0;
        quint64 files = 0;   // in it and below it
        quint64 folders = 0; // below it
        qint64 date = 0;     // its own last-write time
        quint64 size(SizeMeasure measure) const
        {
            return measure == SizeMeasure::OnDisk ? onDisk : apparent;
        }
    };
    // A subfolder at two walks; a side is empty when it did not exist then.
    struct Growth
    {
        QByteArray path; // relative to the walked root, ending with "/"
        std::optional<Value> before;
        std::optional<Value> after;
        qint64 change(SizeMeasure measure) const;
    };
    struct BigFile
    {
        QByteArray path; // relative to the walked root
        quint64 apparent = 0;
        quint64 onDisk = 0;
        qint64 date = 0;
    };

    // How many of each walk's biggest files are kept.
    static constexpr int BigFileCount = 1000;

    // The file the program and the tool share: history.sqlite in the application's data folder
    // (QStandardPaths::AppDataLocation, with the names "Orvanne" and "Quarnel" set).
    static QString DefaultFile();

    // Opens lazily: the first operation opens `file`, making it and its folder if need be.
    explicit HistoryDatabase(QString file = DefaultFile());
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase &) = delete;
    HistoryDatabase &operator=(const HistoryDatabase &) = delete;

    const QString &file() const { return m_file; }
    // How long an operation waits for another program's to end before it reports Locked; five
    // seconds unless set before the file is opened.
    void setBusyTimeout(int milliseconds) { m_busyTimeout = milliseconds; }
    // Opens now, makes the tables of a new file; what every other operation does first.
    HistoryError open();
    void close();

    // Records a walk made at `date` (seconds since the epoch) of the folder `identity` names.
    // The walk should be complete; one that left something unread is marked so. `walkId`
    // receives the new walk's id.
    HistoryError record(const DriveScan &scan, const VolumeIdentity &identity, qint64 date,
                        qint64 *walkId = nullptr);
    // Records read from a saved scan, at the date its origin says (else `fallbackDate`; NoDate
    // when neither says). A scan older than walks already recorded takes its place among them.
    HistoryError addSavedScan(const DriveScan &scan, qint64 fallbackDate = 0,
                              qint64 *walkId = nullptr);

    HistoryError volumes(std::vector<Volume> &out);
    // The history of this folder; NotFound when it has none.
    HistoryError findVolume(const VolumeIdentity &identity, Volume &out);
    // The walks of a volume, oldest first.
    HistoryError walks(qint64 volume, std::vector<Walk> &out);
    // The folder's values at every walk it existed at, oldest first. `folderPath` is relative to
    // the walked root: "" for the root, "a/b/" below it.
    HistoryError series(qint64 volume, QByteArrayView folderPath, std::vector<Value> &out);
    // The folder's direct subfolders at two walks, the biggest growth (in `measure`) first.
    HistoryError growth(qint64 volume, QByteArrayView folderPath, qint64 walkA, qint64 walkB,
                        SizeMeasure measure, std::vector<Growth> &out);
    // Every folder there at the walk, with its values then, by path relative to the walked
    // root: one read for a whole walk, where growth() reads one folder.
    HistoryError folderValues(qint64 volume, qint64 walk,
                              std::vector<std::pair<QByteArray, Value>> &out);
    // The walk's biggest files by size, biggest first.
    HistoryError biggestFiles(qint64 walk, std::vector<BigFile> &out);

    HistoryError forget(qint64 volume);
    HistoryError forgetAll();
    HistoryError forgetWalk(qint64 walk);
    // Removes the walks the rule lets go, of every volume, keeping what each remaining walk
    // reads exactly as it was.
    HistoryError thin(const KeepRule &rule, qint64 now);

    // One line per walk and folder: date, path, apparent bytes, bytes on disk, files, folders;
    // CSV with a header line (RFC 4180). Paths are the folder's full path when last walked.
    HistoryError exportCsv(qint64 volume, QIODevice &out, bool header = true);

    // Moves a damaged file aside, as <file>.damaged-<date>, and starts a new one. The only
    // operation that touches a file the others found damaged.
    HistoryError reset(QString *movedTo = nullptr);

private:
    struct Private;
    std::unique_ptr<Private> d;
    QString m_file;
    int m_busyTimeout = 5000;
};
