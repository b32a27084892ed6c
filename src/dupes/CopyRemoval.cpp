#include "CopyRemoval.h"

#include "DriveScan.h"
#include "FileContent.h"
#include "FileStatus.h"
#include "RaceHook.h"
#include "UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr qint64 BlockBytes = 256 * 1024;

struct Opened
{
    UniqueFd fd;
    FileStatus status;
};

// The held file itself, opened through its held folder, never through a link; the status it
// has now, which must be the held item's and of the size the search read.
CopyRemoval::Status Open(const HeldPath &held, quint64 size, Opened &opened, int &error)
{
    if (!held.isHeld())
        return CopyRemoval::Status::Changed;
    opened.fd.reset(FileContent::OpenForReadingAt(held.parentFd(), held.name().constData()));
    if (!opened.fd.isOpen()) {
        error = errno;
        return error == ENOENT || error == ELOOP || error == EINVAL ? CopyRemoval::Status::Changed
                                                                    : CopyRemoval::Status::Failed;
    }
    if (!FileSystem::StatusOf(opened.fd.get(), opened.status)) {
        error = errno;
        return CopyRemoval::Status::Failed;
    }
    if (opened.status.inode != held.item().inode || opened.status.device != held.item().device ||
        opened.status.size != size)
        return CopyRemoval::Status::Changed;
    return CopyRemoval::Status::Done;
}

// Byte for byte, from the start; false on the first difference or a read that fails.
bool SameBytes(int a, int b, quint64 size, const std::atomic<bool> *cancelled, int &error)
{
    std::vector<char> first(static_cast<size_t>(BlockBytes));
    std::vector<char> second(static_cast<size_t>(BlockBytes));
    for (quint64 offset = 0; offset < size;) {
        if (cancelled && cancelled->load(std::memory_order_relaxed)) {
            error = ECANCELED;
            return false;
        }
        const qint64 want = qint64(std::min<quint64>(quint64(BlockBytes), size - offset));
        const qint64 gotFirst = FileContent::ReadAt(a, first.data(), want, qint64(offset));
        const qint64 gotSecond = FileContent::ReadAt(b, second.data(), want, qint64(offset));
        if (gotFirst < 0 || gotSecond < 0) {
            error = errno;
            return false;
        }
        if (gotFirst != want || gotSecond != want ||
            std::memcmp(first.data(), second.data(), size_t(want)) != 0)
            return false;
        offset += quint64(want);
    }
    return true;
}

bool SameStatus(const FileStatus &before, int fd)
{
    FileStatus now;
    return FileSystem::StatusOf(fd, now) && now.size == before.size &&
           now.changed == before.changed && now.inode == before.inode;
}

} // namespace

std::vector<CopyRemoval::Outcome> CopyRemoval::run(const QByteArray &keep,
                                                   const std::vector<QByteArray> &remove,
                                                   quint64 size, const std::atomic<bool> *cancelled)
{
    std::vector<Outcome> outcomes;
    for (const QByteArray &path : remove)
        outcomes.push_back({path, Status::Stopped, {}, 0});

    const HeldPath kept = HeldPath::open(m_records, keep);
    Opened keptFile;
    int keptError = 0;
    if (const Status status = Open(kept, size, keptFile, keptError); status != Status::Done) {
        for (Outcome &outcome : outcomes) {
            outcome.status = Status::Changed;
            outcome.removal.changed =
                kept.isHeld() ? HeldPath::Check{HeldPath::Change::Replaced, keep} : kept.check();
            outcome.error = keptError;
        }
        return outcomes;
    }

    for (Outcome &outcome : outcomes) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            break;
        const HeldPath copy = HeldPath::open(m_records, outcome.path);
        outcome.removal.changed = copy.check();
        Opened copyFile;
        outcome.status = Open(copy, size, copyFile, outcome.error);
        if (outcome.status == Status::Changed && outcome.removal.changed.ok())
            outcome.removal.changed = {HeldPath::Change::Replaced, outcome.path};
        if (outcome.status != Status::Done)
            continue;
        // Another name of the kept file: removing it would free nothing, sharing means nothing.
        if (copyFile.status.inode == keptFile.status.inode &&
            copyFile.status.device == keptFile.status.device) {
            outcome.status = Status::Refused;
            continue;
        }
        if (!SameBytes(keptFile.fd.get(), copyFile.fd.get(), size, cancelled, outcome.error)) {
            outcome.status = outcome.error == ECANCELED ? Status::Stopped
                             : outcome.error            ? Status::Failed
                                                        : Status::Differs;
            continue;
        }
        RaceHook::Reach(RaceHook::Moment::Acting, outcome.path);
        // Written to while it was compared, or since: the comparison says nothing any more.
        if (!SameStatus(keptFile.status, keptFile.fd.get()) ||
            !SameStatus(copyFile.status, copyFile.fd.get())) {
            outcome.status = Status::Changed;
            outcome.removal.changed = {HeldPath::Change::Replaced, outcome.path};
            continue;
        }
        if (m_way == Way::Share) {
            // The file system compares again itself, under its locks, and shares only if equal.
            outcome.error =
                FileContent::ShareIdenticalRange(keptFile.fd.get(), copyFile.fd.get(), size);
            outcome.status = ShareStatus(outcome.error);
            continue;
        }
        ItemRemoval removal(m_records);
        outcome.removal =
            m_way == Way::Trash ? removal.moveToTrash(copy) : removal.deletePermanently(copy);
        if (!outcome.removal.changed.ok())
            outcome.status = Status::Changed;
        else if (outcome.removal.refusal != Refusal::None)
            outcome.status = Status::Refused;
        else if (outcome.removal.error != 0 || !outcome.removal.remaining.empty())
            outcome.status = Status::Failed;
        else
            outcome.status = Status::Done;
        outcome.error = outcome.removal.error;
    }
    return outcomes;
}

// The file system refuses what it cannot share (another volume, a kind of file or a range it does
// not take, a file it may not write) rather than failing.
CopyRemoval::Status CopyRemoval::ShareStatus(int error)
{
    switch (error) {
    case 0:
        return Status::Done;
    case EBADE:
        return Status::Differs;
    case EPERM:
    case EOPNOTSUPP:
    case EXDEV:
    case EINVAL:
        return Status::Refused;
    default:
        return Status::Failed;
    }
}
