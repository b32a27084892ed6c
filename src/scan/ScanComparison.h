#pragma once

#include "DriveScan.h"
#include "SizeMeasure.h"
#include "UnreadEntries.h"

#include <QByteArray>
#include <QByteArrayView>

#include <memory>
#include <unordered_map>
#include <vector>

// An earlier scan of a volume, to tell what grew since: items are matched by their path below
// each scan's root, so the comparison holds across a rescan, a reboot, or the volume mounted
// elsewhere. What the earlier scan could not read is unknown then, never gone or new. The earlier
// state is a scan's records, or only its folders' totals and its biggest files (as the history of
// walks keeps them): then a file it does not name is unknown too. Read-only once made; any thread
// may ask.
class ScanComparison
{
public:
    // An item of a folder as the earlier scan saw it.
    struct Earlier
    {
        QByteArray name;
        quint64 size = 0;
        bool isFolder = false;
        bool unread = false; // its size then is unknown
    };
    // A folder as the earlier scan saw it: not there, there but not (fully) read, or read.
    enum class Seen { Absent, Unread, Read };
    struct Folder
    {
        Seen seen = Seen::Absent;
        quint64 size = 0; // its total then, when read
    };

    // Folders' totals and the files known beside them, by their path below the root: "" for the
    // root, "a/b/" for a folder, "a/b/name" for a file.
    struct Totals
    {
        struct Sizes
        {
            quint64 apparent = 0;
            quint64 onDisk = 0;
        };
        std::unordered_map<QByteArray, Sizes> folders;
        std::unordered_map<QByteArray, Sizes> files;
        bool everyFile = false; // the files are all there were
    };

    // `current`: the root of the records compared with it, which no other volume's are.
    ScanComparison(std::shared_ptr<const DriveScan> earlier, QByteArray current,
                   qint64 savedAt = 0);
    ScanComparison(const Totals &earlier, QByteArray current, qint64 savedAt);

    // A scan's records; only when made from them.
    const DriveScan &earlier() const { return *m_earlier; }
    // Whether entries() names every file then; when not, a file it does not name is unknown.
    bool knowsEveryFile() const { return m_earlier != nullptr || m_everyFile; }
    const QByteArray &current() const { return m_current; }
    qint64 savedAt() const { return m_savedAt; }

    // The folder then, by its path below the root ("" for the root, "a/b/" below). A folder
    // below one that could not be opened then is unread too.
    Folder folder(QByteArrayView relative, SizeMeasure measure) const;
    // The folder's files and subfolders then, files first, in listing order, those that could
    // not be read among them; empty when it had no record then. From totals: the files known,
    // then the subfolders, by name.
    std::vector<Earlier> entries(QByteArrayView relative, SizeMeasure measure) const;

private:
    struct Known
    {
        QByteArray name;
        Totals::Sizes sizes;
        bool isFolder = false;
    };
    qsizetype find(QByteArrayView relative) const;

    std::shared_ptr<const DriveScan> m_earlier;
    QByteArray m_current;
    qint64 m_savedAt = 0;
    UnreadEntries m_unread;
    // Made from totals: each folder's total, and what it held, by its path.
    std::unordered_map<QByteArray, Totals::Sizes> m_totals;
    std::unordered_map<QByteArray, std::vector<Known>> m_known;
    bool m_everyFile = false;
};
