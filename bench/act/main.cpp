// quarnel-bench-act: what acting on a scanned volume costs. On a tree of ten folders of 100,000
// files each, in 100 subfolders of 1,000 (made under the folder given when missing): removing one
// such folder from the records of the whole tree, with the longest wait of an event loop running
// meanwhile, and refreshing one against a walk of that folder alone and quarnel-scan on it.
// Interleaved runs, warm caches; the ratios are the figures.
#include "DriveScan.h"
#include "FolderRefresh.h"
#include "RecordsEdit.h"
#include "Walker.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int Folders = 10;
constexpr int FilesPerFolder = 100000;

void MakeTree(const QByteArray &root)
{
    if (QDir(QString::fromUtf8(root + "d9/s99")).exists())
        return;
    std::printf("making %d x %d files under %s...\n", Folders, FilesPerFolder, root.constData());
    for (int d = 0; d < Folders; ++d) {
        const QByteArray folder = root + "d" + QByteArray::number(d);
        QDir().mkpath(QString::fromUtf8(folder));
        for (int f = 0; f < FilesPerFolder; ++f) {
            const QByteArray sub = folder + "/s" + QByteArray::number(f / 1000);
            if (f % 1000 == 0)
                QDir().mkpath(QString::fromUtf8(sub));
            const int fd = ::open((sub + "/f" + QByteArray::number(f)).constData(),
                                  O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
            if (fd >= 0) {
                if (::ftruncate(fd, f % 5000) != 0)
                    std::perror("ftruncate");
                ::close(fd);
            }
        }
    }
}

double Ms(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

// Runs work on a thread while this thread's event loop ticks every millisecond; the longest gap
// between ticks is how long a window would have waited.
double LongestGap(const std::function<void()> &work, double *workMs)
{
    QEventLoop loop;
    QElapsedTimer sinceTick;
    double longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, Ms(sinceTick));
        sinceTick.restart();
    });
    tick.start(1);
    sinceTick.start();
    std::thread worker([&] {
        QElapsedTimer timer;
        timer.start();
        work();
        *workMs = Ms(timer);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    return longest;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QByteArray root = argc > 1 ? QByteArray(argv[1]) : QByteArray("/tmp/quarnel-act-tree");
    if (!root.endsWith('/'))
        root += '/';
    MakeTree(root);

    DriveScan scan(root);
    QElapsedTimer timer;
    timer.start();
    Walk(root, scan);
    std::printf("tree: %lld folders, %llu bytes, walked in %.0f ms\n",
                static_cast<long long>(scan.count()),
                static_cast<unsigned long long>(scan.totalSize()), Ms(timer));

    std::printf("\nremoving a folder of %d files from the records:\n", FilesPerFolder);
    for (int d = 0; d < 5; ++d) {
        const auto folder =
            WalkSink::FolderId(scan.indexOf(root + "d" + QByteArray::number(d) + "/"));
        double ms = 0;
        const double gap = LongestGap([&] { RecordsEdit(scan).removeFolder(folder); }, &ms);
        std::printf("  run %d: %.2f ms, longest event-loop gap %.1f ms\n", d + 1, ms, gap);
    }

    std::printf("\nrefreshing a folder of %d files, against walking it alone:\n", FilesPerFolder);
    for (int d = 5; d < Folders; ++d) {
        const QByteArray folder = root + "d" + QByteArray::number(d) + "/";
        timer.restart();
        DriveScan alone(folder);
        Walk(folder, alone);
        const double walkMs = Ms(timer);
        timer.restart();
        QProcess tool;
        tool.setStandardOutputFile(QProcess::nullDevice());
        tool.start(QStringLiteral(QUARNEL_SCAN_PATH), {QString::fromUtf8(folder)});
        tool.waitForFinished(-1);
        const double toolMs = Ms(timer);
        double refreshMs = 0;
        const double gap = LongestGap([&] { FolderRefresh::Run(scan, folder); }, &refreshMs);
        std::printf("  run %d: refresh %.1f ms, walk %.1f ms (x%.2f), quarnel-scan %.1f ms "
                    "(x%.2f), longest gap %.1f ms\n",
                    d - 4, refreshMs, walkMs, refreshMs / walkMs, toolMs, refreshMs / toolMs, gap);
    }
    return 0;
}
