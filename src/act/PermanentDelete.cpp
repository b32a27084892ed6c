#include "PermanentDelete.h"

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::vector<PermanentDelete::Failure> PermanentDelete::remove(const QByteArray &path)
{
    std::vector<Failure> failures;
    const QByteArray top = path.endsWith('/') ? path.chopped(1) : path;
    struct stat st;
    if (::lstat(top.constData(), &st) != 0)
        return {{top, errno}};
    if (!S_ISDIR(st.st_mode)) {
        if (::unlink(top.constData()) != 0)
            failures.push_back({top, errno});
        return failures;
    }
    const dev_t device = st.st_dev;

    // An explicit stack rather than recursion: a tree may be deeper than any thread's stack.
    struct Level
    {
        DIR *dir;
        QByteArray path; // ending with "/"
        QByteArray name;
    };
    std::vector<Level> levels;
    const int topFd = ::open(top.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR *topDir = topFd >= 0 ? ::fdopendir(topFd) : nullptr;
    if (!topDir) {
        failures.push_back({top, errno});
        if (topFd >= 0)
            ::close(topFd);
        return failures;
    }
    levels.push_back({topDir, top + '/', {}});
    while (!levels.empty()) {
        Level &level = levels.back();
        errno = 0;
        const dirent *entry = ::readdir(level.dir);
        if (!entry) {
            if (errno != 0)
                failures.push_back({level.path, errno});
            ::closedir(level.dir);
            const QByteArray name = level.name;
            const QByteArray folder = level.path.chopped(1);
            levels.pop_back();
            const int gone = levels.empty() ? ::rmdir(folder.constData())
                                            : ::unlinkat(::dirfd(levels.back().dir),
                                                         name.constData(), AT_REMOVEDIR);
            // A folder that keeps what could not go is not a failure of its own.
            if (gone != 0 && errno != ENOTEMPTY && errno != EEXIST)
                failures.push_back({folder, errno});
            continue;
        }
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const int fd = ::dirfd(level.dir);
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                failures.push_back({level.path + name, errno});
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            if (::unlinkat(fd, entry->d_name, 0) != 0 && errno != ENOENT)
                failures.push_back({level.path + name, errno});
            continue;
        }
        if (st.st_dev != device) {
            failures.push_back({level.path + name, EXDEV});
            continue;
        }
        const int childFd =
            ::openat(fd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        DIR *child = childFd >= 0 ? ::fdopendir(childFd) : nullptr;
        if (!child) {
            failures.push_back({level.path + name, errno});
            if (childFd >= 0)
                ::close(childFd);
            continue;
        }
        const QByteArray childPath = level.path + name + '/';
        levels.push_back({child, childPath, name});
    }
    return failures;
}
