#include "OpenDeletedFiles.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <unordered_set>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct CloseDirectory
{
    void operator()(DIR *directory) const { closedir(directory); }
};
using Directory = std::unique_ptr<DIR, CloseDirectory>;

Directory OpenDirectory(const QByteArray &path)
{
    return Directory(opendir(path.constData()));
}

bool IsNumber(const char *name)
{
    if (*name == '\0')
        return false;
    for (; *name; ++name)
        if (*name < '0' || *name > '9')
            return false;
    return true;
}

QByteArray ReadLink(const QByteArray &path)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = readlink(path.constData(), target.data(), size_t(target.size()));
    if (length < 0)
        return {};
    target.truncate(qsizetype(length));
    return target;
}

QByteArray ProcessName(const QByteArray &processFolder)
{
    QFile comm(QFile::decodeName(processFolder + "/comm"));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return comm.readLine(256).trimmed();
}

void Keep(std::vector<OpenDeletedFile> &biggest, OpenDeletedFile file, size_t keep)
{
    if (keep == 0)
        return;
    const auto bigger = [](const OpenDeletedFile &a, const OpenDeletedFile &b) {
        return a.allocated > b.allocated;
    };
    if (biggest.size() == keep) {
        if (!bigger(file, biggest.back()))
            return;
        biggest.pop_back();
    }
    biggest.insert(std::upper_bound(biggest.begin(), biggest.end(), file, bigger), std::move(file));
}

} // namespace

OpenDeletedFiles FindOpenDeletedFiles(const QByteArray &procRoot, quint64 device, size_t keep,
                                      const std::atomic<bool> *cancelled)
{
    OpenDeletedFiles found;
    const Directory processes = OpenDirectory(procRoot);
    if (!processes)
        return found;
    std::unordered_set<quint64> inodesSeen;
    while (const dirent *process = readdir(processes.get())) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            return found;
        if (!IsNumber(process->d_name))
            continue;
        const QByteArray folder = procRoot + '/' + process->d_name;
        const QByteArray fdFolder = folder + "/fd";
        const Directory fds = OpenDirectory(fdFolder);
        if (!fds) {
            // A process that ended while we looked has nothing left to hold.
            if (errno != ENOENT && errno != ESRCH)
                ++found.unreadProcesses;
            continue;
        }
        QByteArray name;
        bool named = false;
        while (const dirent *fd = readdir(fds.get())) {
            if (!IsNumber(fd->d_name))
                continue;
            const QByteArray fdPath = fdFolder + '/' + fd->d_name;
            struct stat status;
            // stat() follows the link to the open file itself, named or not.
            if (stat(fdPath.constData(), &status) != 0 || quint64(status.st_dev) != device ||
                !S_ISREG(status.st_mode) || status.st_nlink != 0)
                continue;
            if (!inodesSeen.insert(quint64(status.st_ino)).second)
                continue;
            if (!named) {
                name = ProcessName(folder);
                named = true;
            }
            const quint64 allocated = quint64(status.st_blocks) * 512;
            found.allocated += allocated;
            ++found.count;
            Keep(found.biggest,
                 OpenDeletedFile{QByteArray(process->d_name).toLongLong(), name, ReadLink(fdPath),
                                 allocated},
                 keep);
        }
    }
    found.complete = true;
    return found;
}
