#include "OpenDeletedFiles.h"

#include "FileSystem.h"
#include "FolderListing.h"
#include "Paths.h"
#include "UniqueFd.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <unordered_set>

namespace {

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
    const UniqueFd processes(FileSystem::OpenFolder(procRoot));
    if (!processes.isOpen())
        return found;
    std::unordered_set<quint64> inodesSeen;
    FolderListing processList(processes.get());
    FolderListing::Entry process;
    while (processList.next(process)) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            return found;
        if (!IsNumberName(process.name))
            continue;
        const QByteArray folder = procRoot + '/' + process.name;
        const QByteArray fdFolder = folder + "/fd";
        const UniqueFd fds(FileSystem::OpenFolder(fdFolder));
        if (!fds.isOpen()) {
            // A process that ended while we looked has nothing left to hold.
            if (errno != ENOENT && errno != ESRCH)
                ++found.unreadProcesses;
            continue;
        }
        QByteArray name;
        bool named = false;
        FolderListing fdList(fds.get());
        FolderListing::Entry fd;
        while (fdList.next(fd)) {
            if (!IsNumberName(fd.name))
                continue;
            const QByteArray fdPath = fdFolder + '/' + fd.name;
            FileStatus status;
            // Followed, the link leads to the open file itself, named or not.
            if (!FileSystem::StatusOfPath(fdPath, status, FileSystem::FollowLink::Yes) ||
                status.device != device || status.kind != FileStatus::Kind::File ||
                status.links != 0)
                continue;
            if (!inodesSeen.insert(status.inode).second)
                continue;
            if (!named) {
                name = ProcessName(folder);
                named = true;
            }
            found.allocated += status.allocated;
            ++found.count;
            Keep(found.biggest,
                 OpenDeletedFile{QByteArray(process.name).toLongLong(), name,
                                 FileSystem::ReadLink(fdPath), status.allocated},
                 keep);
        }
    }
    found.complete = true;
    return found;
}
