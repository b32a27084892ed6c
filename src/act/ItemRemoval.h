#pragma once

#include "DriveScan.h"
#include "PermanentDelete.h"

#include <QByteArray>

#include <vector>

// Moves an item of a scanned volume to the trash or deletes it for good, then brings the
// volume's records in line without walking it again: the item's records go and its ancestors are
// re-totalled; what went to a trash inside the volume is counted there, as a full walk would.
// Runs off the window's thread, beside readers of the records, never beside a scan.
class ItemRemoval
{
public:
    struct Result
    {
        int error = 0; // why nothing was done; the disk and the records are as they were
        std::vector<PermanentDelete::Failure> remaining; // a folder partly deleted: what stayed
        QByteArray trashedAs;
    };

    explicit ItemRemoval(DriveScan &scan)
        : m_scan(scan)
    {}

    Result moveToTrash(const QByteArray &path);
    Result deletePermanently(const QByteArray &path);

private:
    // The records of the item at `path` go; false when it had none.
    void forgetItem(const QByteArray &path);
    void recountTrash(const QByteArray &trashedAs);

    DriveScan &m_scan;
};
