#include "FolderRelist.h"

#include "FileSystem.h"
#include "HeldPath.h"
#include "RecordsEdit.h"
#include "UniqueFd.h"
#include "Walker.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

using FolderId = WalkSink::FolderId;

// The folder opened for listing, checked to be the one recorded; -1 with `why` set otherwise.
int OpenRecorded(const DriveScan &scan, FolderId folder, const QByteArray &path,
                 HeldPath::Check &why)
{
    if (folder != 0) {
        const HeldPath held = HeldPath::open(scan, path.chopped(1));
        why = held.check();
        return why.ok() ? held.openItem(&why) : -1;
    }
    UniqueFd fd(FileSystem::OpenFolder(path));
    FileStatus status;
    if (!fd.isOpen() || !FileSystem::StatusOf(fd.get(), status)) {
        why = {HeldPath::Change::Unreadable, path, errno};
        return -1;
    }
    if (status.device != scan.device() || status.inode != scan.inodeOf(0)) {
        why = {HeldPath::Change::Replaced, path, 0};
        return -1;
    }
    return fd.release();
}

// Walks a new subfolder whole; false when the walk failed (errno set) or was stopped.
bool WalkUnlessStopped(const QByteArray &path, DriveScan &into, int folderFd,
                       const std::atomic<bool> *stop,
                       std::shared_ptr<const ExcludePatterns> exclude)
{
    Walker::Options whole;
    whole.rootFd = folderFd;
    whole.exclude = std::move(exclude);
    Walker walker(path, into, whole);
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    walker.setFinishedHandler([&] {
        const std::lock_guard hold(lock);
        done = true;
        ended.notify_all();
    });
    if (!walker.start()) {
        errno = walker.error();
        return false;
    }
    for (std::unique_lock hold(lock); !done;) {
        if (stop && stop->load(std::memory_order_relaxed))
            walker.requestStop();
        ended.wait_for(hold, std::chrono::milliseconds(20));
    }
    walker.wait();
    errno = walker.error() != 0 ? walker.error() : ECANCELED;
    return !walker.wasStopped() && walker.error() == 0;
}

} // namespace

FolderRelist::Result FolderRelist::Run(DriveScan &scan, const QByteArray &path,
                                       const std::atomic<bool> *stop,
                                       const QSet<QByteArray> *arrived)
{
    Result result;
    const qsizetype recorded = scan.indexOf(path);
    if (recorded < 0 || scan.device() == 0)
        return result;
    const auto folder = FolderId(recorded);
    HeldPath::Check why;
    UniqueFd fd(OpenRecorded(scan, folder, path, why));
    if (!fd.isOpen()) {
        result.error = why.error;
        // Gone, replaced or moved: its parent's listing tells. Unreadable now: a walk would
        // list it in its parent and open nothing.
        if (why.change == HeldPath::Change::Unreadable && why.where == path.chopped(1) &&
            why.error == EACCES && RecordsEdit(scan).forgetUnreadable(folder, why.error)) {
            result.changed = true;
            result.removed.append(path);
        }
        return result;
    }

    DriveScan listing(path);
    Walker::Options options;
    options.threads = 1;
    options.rootFd = fd.get();
    options.shallow = true;
    // What the walk left out stays out, a file made since with an excluded name too.
    options.exclude = scan.excludePatterns();
    if (!Walk(path, listing, options)) {
        result.error = errno;
        return result;
    }
    RecordsEdit::Relisting now{&listing, {}, {}};
    std::vector<std::unique_ptr<DriveScan>> walks;
    for (FolderId child : listing.subfoldersOf(0)) {
        const QByteArray name = listing.nameOf(child).toByteArray();
        const QByteArray childPath = path + name + '/';
        const qsizetype known = scan.indexOf(childPath);
        if (known >= 0 && scan.inodeOf(FolderId(known)) == listing.inodeOf(child) &&
            !(arrived && arrived->contains(childPath)))
            continue;
        UniqueFd childFd(FileSystem::OpenChild(fd.get(), name));
        FileStatus status;
        if (!childFd.isOpen()) {
            // Gone since the listing: the change that took it is heard of in its turn.
            if (!WalkSink::Vanished(errno))
                now.unopened.push_back({folder, name, FolderNote::Unread, errno});
            continue;
        }
        if (!FileSystem::StatusOf(childFd.get(), status) || status.inode != listing.inodeOf(child))
            continue;
        auto walk = std::make_unique<DriveScan>(childPath);
        if (!WalkUnlessStopped(childPath, *walk, childFd.get(), stop, scan.excludePatterns())) {
            if (stop && stop->load())
                return {}; // left as it was: its changes are no one's to follow now
            now.unopened.push_back({folder, name, FolderNote::Unread, errno});
            continue;
        }
        now.walked.emplace_back(name, walk.get());
        walks.push_back(std::move(walk));
        result.added.append(childPath);
    }

    if (stop && stop->load())
        return {};
    RecordsEdit edit(scan);
    const std::vector<FolderId> before = scan.subfoldersOf(folder);
    for (FolderId stale : edit.relistFolder(folder, now))
        result.stale.append(scan.pathOf(stale));
    for (FolderId child : before)
        if (scan.isRemoved(child))
            result.removed.append(scan.pathOf(child));
    result.changed = true;
    return result;
}
