#pragma once

#include "MountTable.h"
#include "OpenDeletedFiles.h"

#include <QByteArray>
#include <QByteArrayList>

#include <atomic>

// Why a volume says more is used than a scan found: what the volume counts, what the scan counted,
// and the places the difference hides that can be named (files under other volumes' mount points,
// deleted files still open); what is left is the file system's own.

// What the volume says of itself, in bytes.
struct VolumeSpace
{
    quint64 total = 0;
    quint64 used = 0;
    // Kept back for the administrator: free, yet not offered to users; not part of `used`.
    quint64 reserved = 0;
    bool known = false;

    // From the counts statvfs() gives: all blocks, free blocks, free blocks users may take, and
    // the size of a block.
    static VolumeSpace fromBlocks(quint64 blocks, quint64 free, quint64 available,
                                  quint64 blockSize);
};

// The figures of the scan's records, read by the caller on the thread that owns them.
struct ScanFigures
{
    quint64 onDisk = 0;   // the root's bytes on disk
    quint64 apparent = 0; // the root's bytes of content
    quint32 unreadFolders = 0;
    quint32 unreadFiles = 0;
    quint32 vanished = 0; // of the unread, those gone or moved while the walk ran
    quint32 excluded = 0; // entries the walk's patterns left out, folders not entered
    // The first few of their paths.
    QByteArrayList excludedSample = {};
};

// Where the report reads the machine; tests point it at fixtures.
struct ReportSources
{
    QByteArray mountInfo = "/proc/self/mountinfo";
    QByteArray procRoot = "/proc";
};

// What a scan covers, and so what of the machine its figures can be set against.
enum class ReportScope {
    Volume, // a whole volume: against what it says it uses, and all that hides there
    Folder, // a folder walked as a drive: its volume holds more than it, so only the mount
            // points inside it are looked for
    Saved,  // read from a file: nothing of this machine belongs to it
};

struct DiskReport
{
    QByteArray root; // the volume's root folder, ending with "/"
    VolumeSpace space;
    ScanFigures scan;
    QByteArrayList mountPoints; // other volumes mounted inside the root, outermost only
    OpenDeletedFiles deleted;
    ReportScope scope = ReportScope::Volume;

    // The volume's used bytes less the scan's; below zero when the scan found more.
    qint64 difference() const;
    // The difference less the deleted files still open: the file system's own (metadata,
    // journal, snapshots) and whatever changed since the scan. Never below zero: see excess().
    quint64 rest() const;
    // By how much the scan and the open deleted files together exceed what the volume says is
    // used: a disk that changed since the scan.
    quint64 excess() const;
};

// The mount points strictly inside root ("/" or a folder ending with "/"), sorted, not
// repeated, leaving out those inside another of them: only what lies on the volume itself can
// hide its files.
QByteArrayList MountPointsInside(const QList<MountEntry> &entries, QByteArrayView root);

// The space the volume mounted at path says it has; not known when statvfs() fails.
VolumeSpace ReadVolumeSpace(const QByteArray &path);

// Reads the volume (statvfs), the mount table and the processes' open files, on whatever thread
// calls it: reading every process can take a while. device is the root's st_dev. What the scope
// cannot be compared with is not read.
DiskReport MakeDiskReport(const QByteArray &root, quint64 device, const ScanFigures &scan,
                          size_t keptFiles, const ReportSources &sources = {},
                          const std::atomic<bool> *cancelled = nullptr,
                          ReportScope scope = ReportScope::Volume);
