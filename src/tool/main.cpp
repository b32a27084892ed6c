// quarnel-scan: walks a folder with Quarnel's engine and prints one line per folder record:
// path, total, files directly in it, directory entries directly in it. Or saves the scan in
// ncdu's export format, or reads such a file instead of walking.

#include "AddressSpace.h"
#include "Arguments.h"
#include "ChangeSource.h"
#include "DriveScan.h"
#include "Duplicates.h"
#include "Following.h"
#include "History.h"
#include "LiveFollower.h"
#include "Output.h"
#include "ReportingScan.h"
#include "SavedInput.h"
#include "ScanImport.h"
#include "ThisProcess.h"
#include "Walker.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

namespace {

void PrintSummary(const DriveScan &scan, const char *what, double readMs, int threads,
                  double outputMs)
{
    quint64 files = 0;
    for (qsizetype i = 0; i < scan.count(); ++i)
        files += scan.fileCountOf(WalkSink::FolderId(i));
    std::fprintf(
        stderr,
        "folders %lld, files %llu, total %llu bytes, unreadable folders %u, unreadable "
        "files %u\n"
        "%s %.1f ms with %d threads, report %.1f ms, records %.1f MiB, peak RSS %.1f MiB\n",
        static_cast<long long>(scan.count()), static_cast<unsigned long long>(files),
        static_cast<unsigned long long>(scan.totalSize()), scan.unreadFolders(), scan.unreadFiles(),
        what, readMs, threads, outputMs, double(scan.memoryUsed()) / 1048576.0,
        double(ThisProcess::PeakResidentBytes()) / 1048576.0);
}

double Milliseconds(std::chrono::steady_clock::duration d)
{
    return double(std::chrono::duration_cast<std::chrono::microseconds>(d).count()) / 1000;
}

int Import(const Arguments &args)
{
    const auto started = std::chrono::steady_clock::now();
    SavedInput input;
    ScanImport reader;
    std::unique_ptr<DriveScan> scan;
    if (input.open(args.importFrom))
        scan = reader.read(input);
    if (!scan) {
        const ImportError &error =
            input.error().problem != ImportError::None ? input.error() : reader.error();
        std::fprintf(stderr, "quarnel-scan: cannot load %s: %s\n", args.importFrom.constData(),
                     qPrintable(error.describe()));
        return 2;
    }
    const auto loaded = std::chrono::steady_clock::now();
    const bool written = Output(*scan, args);
    if (args.summary)
        PrintSummary(*scan, "load", Milliseconds(loaded - started), 1,
                     Milliseconds(std::chrono::steady_clock::now() - loaded));
    const bool recorded = !args.history || RecordInHistory(*scan, 0);
    return written && recorded ? 0 : 1;
}

int Run(const Arguments &args)
{
    if (args.historyExport)
        return ExportHistory(args);
    if (!args.importFrom.isEmpty())
        return Import(args);
    const auto started = std::chrono::steady_clock::now();
    const qint64 startedAt = QDateTime::currentSecsSinceEpoch();

    QByteArray rootPath = args.root;
    if (!rootPath.endsWith('/'))
        rootPath += '/';
    const auto records = std::make_shared<DriveScan>(rootPath);
    DriveScan &scan = *records;
    ReportingScan reporting(scan);
    Walker::Options options;
    options.threads = args.threads;
    if (!args.exclude.isEmpty()) {
        options.exclude = std::make_shared<const ExcludePatterns>(args.exclude);
        scan.setExcludePatterns(options.exclude);
    }
    // Set before the walk, what changes while it runs is heard.
    std::unique_ptr<ChangeSource> heard;
    if (args.follow && args.followWith != "inotify")
        heard = LiveFollower::ListenBeforeWalk(rootPath);
    Walker walker(rootPath, reporting, options);
    if (!walker.start()) {
        std::fprintf(stderr, "quarnel-scan: cannot read %s: %s\n", args.root.constData(),
                     std::strerror(walker.error()));
        return walker.error() == ENOMEM ? 1 : 2;
    }
    walker.wait();
    if (walker.error() != 0) {
        std::fprintf(stderr, "quarnel-scan: the walk of %s stopped: %s\n", args.root.constData(),
                     std::strerror(walker.error()));
        return 1;
    }
    if (args.follow)
        return Follow(records, args, std::move(heard));
    if (args.duplicates)
        return std::max(PrintDuplicates(scan, args), reporting.incomplete() ? 1 : 0);
    const auto walked = std::chrono::steady_clock::now();
    const bool written = Output(scan, args);
    if (args.summary)
        PrintSummary(scan, "walk", Milliseconds(walked - started), walker.threadCount(),
                     Milliseconds(std::chrono::steady_clock::now() - walked));
    // Recorded after the lines, which a failure to record never changes.
    const bool recorded = !args.history || RecordInHistory(scan, startedAt);
    return reporting.incomplete() || !written || !recorded ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    AddressSpace::FitMallocArenas();
    const Arguments args = ParseArguments(argc, argv);
    // The history is found under the program's names, and its driver loaded as a plugin, which
    // takes an application object.
    std::optional<QCoreApplication> application;
    if (args.history || args.historyExport) {
        QCoreApplication::setOrganizationName(QStringLiteral("Orvanne"));
        QCoreApplication::setApplicationName(QStringLiteral("Quarnel"));
        application.emplace(argc, argv);
    }
    try {
        return Run(args);
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "quarnel-scan: not enough memory to walk %s\n", args.root.constData());
        return 1;
    }
}
