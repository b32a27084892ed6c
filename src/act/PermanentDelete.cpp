#include "PermanentDelete.h"

#include "HeldPath.h"
#include "RaceHook.h"
#include "SafeOpen.h"
#include "UniqueFd.h"

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

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
        else if (::unlinkat(item.parentFd(), item.name().constData(), 0) != 0)
            failures.push_back({item.path(), errno});
        return failures;
    }

    // An explicit stack rather than recursion: a tree may be deeper than any thread's stack.
    struct Level
    {
        DIR *dir;
        NodeIdentity identity;
        QByteArray path; // ending with "/"
        QByteArray name;
    };
    std::vector<Level> levels;
    const auto enter = [&](int fd, const NodeIdentity &identity, const QByteArray &path,
                           const QByteArray &name) {
        RaceHook::Reach(RaceHook::Moment::EnteringFolder, path);
        DIR *dir = ::fdopendir(fd);
        if (!dir) {
            failures.push_back({path, errno});
            ::close(fd);
            return;
        }
        levels.push_back({dir, identity, path + '/', name});
    };
    HeldPath::Check why;
    const int topFd = item.openItem(&why);
    if (topFd < 0) {
        failures.push_back({item.path(), why.error != 0 ? why.error : ESTALE});
        return failures;
    }
    enter(topFd, top, item.path(), item.name());

    while (!levels.empty()) {
        Level &level = levels.back();
        const int fd = ::dirfd(level.dir);
        errno = 0;
        const dirent *entry = ::readdir(level.dir);
        if (!entry) {
            if (errno != 0)
                failures.push_back({level.path, errno});
            const Level done = level;
            levels.pop_back();
            const int parentFd = levels.empty() ? item.parentFd() : ::dirfd(levels.back().dir);
            // The folder goes only under its own name: one renamed away meanwhile, and whatever
            // took its name, stay.
            if (StillThere(parentFd, done.name, done.identity) &&
                ::unlinkat(parentFd, done.name.constData(), AT_REMOVEDIR) != 0 &&
                errno != ENOTEMPTY && errno != EEXIST && errno != ENOENT)
                failures.push_back({done.path.chopped(1), errno}); // not for what it keeps
            ::closedir(done.dir);
            continue;
        }
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = level.path + name;
        NodeIdentity child;
        if (!SafeOpen::IdentityAt(fd, entry->d_name, child)) {
            if (errno != ENOENT)
                failures.push_back({path, errno});
            continue;
        }
        if (child.device != top.device || (child.mount != 0 && child.mount != top.mount)) {
            failures.push_back({path, EXDEV}); // a volume or a bind mount: not this tree's
            continue;
        }
        if (!child.isFolder()) {
            // unlinkat never follows a link, and refuses a folder that took the name meanwhile.
            if (::unlinkat(fd, entry->d_name, 0) != 0 && errno != ENOENT)
                failures.push_back({path, errno});
            continue;
        }
        const int childFd = SafeOpen::Folder(fd, entry->d_name, O_RDONLY);
        NodeIdentity opened;
        if (childFd < 0 || !SafeOpen::IdentityOf(childFd, opened) || !opened.sameAs(child)) {
            const int error = childFd < 0 ? errno : ESTALE;
            if (childFd >= 0)
                ::close(childFd);
            if (error != ENOENT)
                failures.push_back({path, error});
            continue;
        }
        enter(childFd, opened, path, name);
    }
    return failures;
}
