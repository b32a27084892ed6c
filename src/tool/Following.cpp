#include "Following.h"

#include "ChangeSource.h"
#include "DriveScan.h"
#include "LiveFollower.h"
#include "PathEscape.h"

#include <QByteArray>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

void AppendNumber(QByteArray &out, quint64 value)
{
    out += QByteArray::number(value);
}

QByteArray Line(const QByteArray &root, const LiveFollower::FolderChange &change, bool diskUsage)
{
    const QByteArray relative = change.path.sliced(root.size());
    QByteArray line = relative.isEmpty() ? QByteArray(".") : EscapePath(relative.chopped(1));
    line += '\t';
    AppendNumber(line, diskUsage ? change.oldAllocated : change.oldSize);
    line += '\t';
    AppendNumber(line, diskUsage ? change.newAllocated : change.newSize);
    line += '\n';
    return line;
}

} // namespace

int Follow(std::shared_ptr<DriveScan> scan, const Arguments &args,
           std::unique_ptr<ChangeSource> heard)
{
    // Interrupted by a signal waited for here: the follower's thread, started after, inherits
    // the mask and is never the one interrupted.
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGHUP);
    sigaddset(&ending, SIGUSR1); // the follower's own end
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);

    const QByteArray root = scan->rootPath();
    LiveFollower::Options options;
    if (!args.followWith.isEmpty())
        options.only = args.followWith == "inotify" ? LiveFollower::Backend::Inotify
                                                    : LiveFollower::Backend::Fanotify;
    options.heardSinceWalk = heard != nullptr;
    LiveFollower follower(scan, std::move(heard), options); // with none, it opens its own
    follower.setBatchHandler([&](const LiveFollower::Batch &batch) {
        QByteArray out;
        if (batch.overflow)
            std::fputs("quarnel-scan: events were lost; every folder was listed again\n", stderr);
        for (const LiveFollower::FolderChange &change : batch.totals)
            if (args.diskUsage ? change.oldAllocated != change.newAllocated
                               : change.oldSize != change.newSize)
                out += Line(root, change, args.diskUsage);
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        std::fflush(stdout);
    });
    int ended = 0;
    follower.setEndHandler([&](int error) {
        ended = error;
        ::kill(::getpid(), SIGUSR1);
    });
    if (!follower.start()) {
        std::fprintf(stderr, "quarnel-scan: cannot follow the changes of %s: %s\n",
                     args.root.constData(),
                     follower.error() == EREMOTE ? "its file system does not report them"
                     : follower.error() == ENOSPC
                         ? "more folders than inotify watches left (fs.inotify.max_user_watches)"
                         : std::strerror(follower.error()));
        return 2;
    }
    std::fprintf(stderr, "quarnel-scan: following %s (%s)\n", args.root.constData(),
                 follower.backend() == LiveFollower::Backend::Fanotify ? "fanotify" : "inotify");
    int signal = 0;
    sigwait(&ending, &signal);
    follower.stop();
    if (signal == SIGUSR1) {
        std::fprintf(stderr, "quarnel-scan: following %s ended: %s\n", args.root.constData(),
                     std::strerror(ended));
        return 1;
    }
    return 0;
}
