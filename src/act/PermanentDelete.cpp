#include "PermanentDelete.h"

#include "FileSystem.h"
#include "FolderListing.h"
#include "HeldPath.h"
#include "RaceHook.h"
#include "SafeOpen.h"
#include "UniqueFd.h"

#include <cerrno>
#include <memory>

namespace {

// Whether `name` in the folder is still the node met before, so that what is removed under that
// name is that node and nothing put in its place.
bool StillThere(int dirFd, const QByteArray &name, const NodeIdentity &met)
{
    NodeIdentity now;
    return SafeOpen::IdentityAt(dirFd, name.constData(), now) && now.sameAs(met);
}

} // namespace

std::vector<PermanentDelete::Failure> PermanentDelete::remove(const HeldPath &item)
{
    std::vector<Failure> failures;
    const NodeIdentity &top = item.item();
    if (!top.isFolder()) {
        if (!StillThere(item.parentFd(), item.name(), top))
            failures.push_back({item.path(), ESTALE});
        else if (!FileSystem::RemoveFileAt(item.parentFd(), item.name().constData()))
            failures.push_back({item.path(), errno});
        return failures;
    }

    // An explicit stack rather than recursion: a tree may be deeper than any thread's stack.
    struct Level
    {
        UniqueFd fd;
        FolderListing listing;
        NodeIdentity identity;
        QByteArray path; // ending with "/"
        QByteArray name;
    };
    std::vector<std::unique_ptr<Level>> levels;
    const auto enter = [&](int fd, const NodeIdentity &identity, const QByteArray &path,
                           const QByteArray &name) {
        RaceHook::Reach(RaceHook::Moment::EnteringFolder, path);
        levels.push_back(std::unique_ptr<Level>(
            new Level{UniqueFd(fd), FolderListing(fd), identity, path + '/', name}));
    };
    HeldPath::Check why;
    const int topFd = item.openItem(&why);
    if (topFd < 0) {
        failures.push_back({item.path(), why.error != 0 ? why.error : ESTALE});
        return failures;
    }
    enter(topFd, top, item.path(), item.name());

    FolderListing::Entry entry;
    while (!levels.empty()) {
        Level &level = *levels.back();
        const int fd = level.fd.get();
        if (!level.listing.next(entry)) {
            if (level.listing.error() != 0)
                failures.push_back({level.path, level.listing.error()});
            const std::unique_ptr<Level> done = std::move(levels.back());
            levels.pop_back();
            const int parentFd = levels.empty() ? item.parentFd() : levels.back()->fd.get();
            // The folder goes only under its own name: one renamed away meanwhile, and whatever
            // took its name, stay.
            if (StillThere(parentFd, done->name, done->identity) &&
                !FileSystem::RemoveFolderAt(parentFd, done->name.constData()) &&
                errno != ENOTEMPTY && errno != EEXIST && errno != ENOENT)
                failures.push_back({done->path.chopped(1), errno}); // not for what it keeps
            continue;
        }
        const QByteArray name(entry.name, entry.nameLength);
        const QByteArray path = level.path + name;
        NodeIdentity child;
        if (!SafeOpen::IdentityAt(fd, entry.name, child)) {
            if (errno != ENOENT)
                failures.push_back({path, errno});
            continue;
        }
        if (child.device != top.device || (child.mount != 0 && child.mount != top.mount)) {
            failures.push_back({path, EXDEV}); // a volume or a bind mount: not this tree's
            continue;
        }
        if (!child.isFolder()) {
            // Never follows a link, and refuses a folder that took the name meanwhile.
            if (!FileSystem::RemoveFileAt(fd, entry.name) && errno != ENOENT)
                failures.push_back({path, errno});
            continue;
        }
        const int childFd = SafeOpen::Folder(fd, entry.name, FileSystem::FolderAccess::List);
        NodeIdentity opened;
        if (childFd < 0 || !SafeOpen::IdentityOf(childFd, opened) || !opened.sameAs(child)) {
            const int error = childFd < 0 ? errno : ESTALE;
            if (childFd >= 0)
                FileSystem::Close(childFd);
            if (error != ENOENT)
                failures.push_back({path, error});
            continue;
        }
        enter(childFd, opened, path, name);
    }
    return failures;
}
