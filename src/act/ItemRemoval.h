#pragma once

#include "DriveScan.h"
#include "HeldPath.h"
#include "PermanentDelete.h"
#include "RemovalCheck.h"

#include <QByteArray>

#include <vector>

// Moves a held item of a scanned volume to the trash or deletes it for good, then brings the
// volume's records in line without walking it again: the item's records go and its ancestors are
// re-totalled; what went to a trash inside the volume is counted there, as a full walk would.
// The item is looked at once more just before the act: anything changed on its way since it was
// held, or a rail that now holds, and nothing is done. Runs off the window's thread, beside
// readers of the records, never beside a scan.
class ItemRemoval
{
public:
    struct Result
    {
        // Why nothing was done, the disk and the records as they were: what changed since the
        // item was held, a rail that holds now, or the errno of what failed.
        HeldPath::Check changed;
        Refusal refusal = Refusal::None;
        int error = 0;
        QByteArray trashUnusable; // with error: the folder that leaves the volume no trash
        std::vector<PermanentDelete::Failure> remaining; // a folder partly deleted: what stayed
        QByteArray trashedAs;

        bool refused() const { return !changed.ok() || refusal != Refusal::None || error != 0; }
    };

    explicit ItemRemoval(DriveScan &scan)
        : m_scan(scan)
    {}

    Result moveToTrash(const HeldPath &item);
    Result deletePermanently(const HeldPath &item);

private:
    // The last look before acting.
    Result recheck(const HeldPath &item) const;
    // The records of the item at `path` go; false when it had none.
    void forgetItem(const QByteArray &path);
    void recountTrash(const QByteArray &trashedAs);

    DriveScan &m_scan;
};
