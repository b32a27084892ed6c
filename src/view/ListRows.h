#pragma once

#include "Formatting.h"
#include "SizeMeasure.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <memory>
#include <optional>
#include <vector>

class FolderCollection;
class ScanComparison;

// What a row's percentage is of; the numbers are the ones the settings keep.
enum class PercentBase { Disk = 1, Folder = 2 };

// The rows of one folder as the directory list shows them: its files, then its scanned
// subfolders, read from the folder records of the last scans, with raw values only. Reading and
// ordering them touch nothing but the records and this object, so a large folder can be read
// and sorted on a thread of its own and handed to the list whole.
class ListRows
{
public:
    // Unknown: not compared; Unread: its size now or then could not be read, so what it gained is
    // unknown, whatever the records say; Unrecorded: a file the earlier state does not name,
    // keeping only some files, so whether it is new is unknown.
    enum class Change : quint8 { Unknown, Kept, New, Gone, Unread, Unrecorded };
    enum class Value { Name, Size, Percent, Date, Growth }; // what rows are ordered by

    // Plain values only: the texts live in two buffers, so that reading makes no allocation per
    // row and a new folder frees everything at once.
    struct Row
    {
        qsizetype keyAt = 0;
        qsizetype nameAt = 0;
        quint32 keyLength = 0;
        quint32 nameLength = 0;
        quint64 size = 0;
        double percent = 0.0;
        qint64 date = 0;
        quint32 nameRank = 0; // place in the complete name order, once the names are ranked
        Rgb colour = PercentColour::FirstRowFallback;
        bool isFolder = false;
        bool counted = true; // false at a hard-linked file's names but the one its bytes count at
        // Left out of the walk by a pattern: no size, no record; excludedFolder when the listing
        // said it was a folder.
        bool excluded = false;
        bool excludedFolder = false;
        Change change = Change::Unknown;
        qint64 growth = 0; // for a row gone since, minus what it held then
    };

    struct Options
    {
        PercentBase base = PercentBase::Folder; // percentages of diskSize, or of the folder
        quint64 diskSize = 0;
        SizeMeasure measure = SizeMeasure::Apparent;
        // Rows compared with an earlier scan of the volume, rows gone since added; or none.
        std::shared_ptr<const ScanComparison> earlier;
    };

    // The folder at folderPath: its file records in listing order, then every subfolder found
    // on the disk now that has a record, then what the walk's patterns left out of it. False, with
    // no rows, when the folder has no record.
    bool read(const FolderCollection &folders, const QByteArray &folderPath,
              const Options &options);

    size_t size() const { return m_rows.size(); }
    const Row &row(size_t index) const { return m_rows[index]; }
    QByteArrayView keyOf(const Row &row) const; // a file's name, a subfolder's path
    QStringView nameOf(const Row &row) const;
    const QByteArray &folderPath() const { return m_folderPath; } // ending with "/"
    quint64 folderSize() const { return m_folderSize; }           // 0 without a record
    // What the folder's rows gained since the earlier scan, what could not be read now or then
    // aside; nullopt without one, when the folder is new, or when it could not be read then.
    std::optional<qint64> folderGrowth() const { return m_folderGrowth; }

    // The rows in order of a value, ties by name then by key: the source row of each place.
    // Descending is the exact reverse of ascending.
    std::vector<quint32> orderBy(Value value, bool ascending);
    // Puts the rows in that order.
    void reorder(const std::vector<quint32> &sourceRows);

private:
    Row &appendRow(QByteArrayView key, QByteArrayView name);
    void addExcluded(const FolderCollection &folders);
    void compareRows(const FolderCollection &folders, const Options &options);
    void rankNames();

    std::vector<Row> m_rows;
    QByteArray m_keys; // every row's key, one after the other
    QString m_names;   // every row's decoded name, one after the other
    bool m_namesRanked = false;
    QByteArray m_folderPath;
    quint64 m_folderSize = 0;
    std::optional<qint64> m_folderGrowth;
};
