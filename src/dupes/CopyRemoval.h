#pragma once

#include "HeldPath.h"
#include "ItemRemoval.h"

#include <QByteArray>

#include <atomic>
#include <vector>

class DriveScan;

// Keeps one copy of a content and frees the others: each moved to the trash, deleted for good,
// or made to share the kept copy's storage (where the file system can: every name stays). Each
// copy is held from the volume's root down, then compared with the kept copy byte for byte just
// before the act, and left alone if anything differs or changed: its content, its size, its
// place, or what the walk recorded of it. The records follow what was done. Runs as an edit of
// the records, off the window's thread.
class CopyRemoval
{
public:
    enum class Way { Trash, Delete, Share };
    enum class Status {
        Done,
        Differs, // its bytes are not the kept copy's (any more)
        Changed, // it or the kept copy changed since the search, or is gone: see `removal`
        Refused, // a rail holds (see `removal`), or the file system cannot share
        Failed,  // the act failed: `error`
        Stopped, // not tried: stopped before
    };
    struct Outcome
    {
        QByteArray path;
        Status status = Status::Stopped;
        ItemRemoval::Result removal; // why it was refused or changed, for Trash and Delete
        int error = 0;
    };

    CopyRemoval(DriveScan &records, Way way)
        : m_records(records)
        , m_way(way)
    {}

    // `keep` and each of `remove`: full paths of files of the records, all of `size` bytes.
    // One outcome per copy to remove, in order. The kept copy is never touched; when it cannot
    // be held or read, every copy is left as it is (Changed).
    std::vector<Outcome> run(const QByteArray &keep, const std::vector<QByteArray> &remove,
                             quint64 size, const std::atomic<bool> *cancelled = nullptr);

    // What an attempt to share storage came to, from the file system's answer.
    static Status ShareStatus(int error);

private:
    DriveScan &m_records;
    Way m_way;
};
