// quarnel-scan: walks a folder with Quarnel's engine and prints one line per folder record:
// path, total, files directly in it, directory entries directly in it. Or saves the scan in
// ncdu's export format, or reads such a file instead of walking.

#include "AddressSpace.h"
#include "DriveScan.h"
#include "PathEscape.h"
#include "SavedInput.h"
#include "SavedOutput.h"
#include "ScanExport.h"
#include "ScanImport.h"
#include "ThisProcess.h"
#include "Walker.h"

#include <QByteArray>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>

namespace {

constexpr const char *Usage =
    "Usage: quarnel-scan [--threads N] [--disk-usage] [--summary] [--export FILE] [--] ROOT\n"
    "       quarnel-scan --import FILE [--disk-usage] [--summary] [--export FILE]\n"
    "       quarnel-scan --help\n"
    "Walks ROOT, staying on its file system and never following symbolic links below ROOT (a\n"
    "ROOT that is itself a link to a folder is followed), and prints one line per folder: path\n"
    "(relative to ROOT, \".\" for ROOT), total bytes of the files in and below it (hard links\n"
    "counted once), files directly in it, directory entries directly in it, separated by tabs.\n"
    "  --threads N  walk with at most N threads (default: four per core, 4 to 16)\n"
    "  --disk-usage total the bytes the files take on the disk (their allocated blocks)\n"
    "               rather than their sizes\n"
    "  --summary    print totals, threads and timings on standard error\n"
    "  --export FILE  write the scan to FILE in ncdu's JSON export format (which ncdu -f and\n"
    "               gdu -f read) instead of printing the lines; \"-\" is standard output, a\n"
    "               name ending in .gz or .zst is compressed with gzip or zstd\n"
    "  --import FILE  read a scan saved by quarnel-scan --export, ncdu -o or gdu -o (plain,\n"
    "               gzip or zstd) instead of walking, and print its lines as a walk would\n"
    "  --help       print this help\n"
    "What cannot be read, or vanished or moved between its listing and its reading, is named\n"
    "on standard error and left out of the totals.\n"
    "Exit status: 0 when the walk completed, leaving out at most folders that could not be\n"
    "opened for lack of permission; 1 when something was left out for another reason (an I/O\n"
    "error, or an entry gone while the walk ran, say) or the walk ran out of memory; 2 on bad\n"
    "arguments or an unreadable ROOT.\n";

struct Arguments
{
    QByteArray root;
    int threads = 0;
    bool summary = false;
    bool diskUsage = false;
    QByteArray exportTo;
    QByteArray importFrom;
};

[[noreturn]] void Fail(const char *message, const char *detail = "")
{
    std::fprintf(stderr, "quarnel-scan: %s%s\nTry 'quarnel-scan --help'.\n", message, detail);
    std::exit(2);
}

Arguments Parse(int argc, char **argv)
{
    Arguments args;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!optionsEnded && arg == "--help") {
            std::fputs(Usage, stdout);
            std::exit(0);
        } else if (!optionsEnded && arg == "--summary") {
            args.summary = true;
        } else if (!optionsEnded && arg == "--disk-usage") {
            args.diskUsage = true;
        } else if (!optionsEnded && (arg == "--threads" || arg.starts_with("--threads="))) {
            const char *value = arg == "--threads" ? (i + 1 < argc ? argv[++i] : nullptr)
                                                   : argv[i] + std::strlen("--threads=");
            char *end = nullptr;
            const long n = value ? std::strtol(value, &end, 10) : 0;
            if (!value || *value == 0 || *end != 0 || n < 1 || n > 256)
                Fail("--threads needs a number from 1 to 256");
            args.threads = int(n);
        } else if (!optionsEnded && (arg == "--export" || arg == "--import")) {
            if (i + 1 >= argc || argv[i + 1][0] == 0)
                Fail(arg == "--export" ? "--export needs a FILE" : "--import needs a FILE");
            (arg == "--export" ? args.exportTo : args.importFrom) = QByteArray(argv[++i]);
        } else if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.starts_with("-") && arg.size() > 1) {
            Fail("unknown option ", argv[i]);
        } else if (args.root.isEmpty()) {
            args.root = QByteArray(argv[i]);
            if (args.root.isEmpty())
                Fail("ROOT is empty");
        } else {
            Fail("only one ROOT may be given");
        }
    }
    if (args.root.isEmpty() == args.importFrom.isEmpty())
        Fail(args.root.isEmpty() ? "no ROOT given" : "--import reads no ROOT");
    return args;
}

// Reports what could not be read as it is met, then records like any scan.
class ReportingScan final : public WalkSink
{
public:
    explicit ReportingScan(DriveScan &scan)
        : m_scan(scan)
    {}
    FolderId openedFolder(FolderId parent, QByteArrayView name, qint64 date, quint32 ordinal,
                          quint64 inode) override
    {
        return m_scan.openedFolder(parent, name, date, ordinal, inode);
    }
    void listedFolder(FolderId folder, const FileRecordWriter &files, CountedBytes counted,
                      quint32 subfolderEntries) override
    {
        m_scan.listedFolder(folder, files, counted, subfolderEntries);
    }
    void skippedFolder(FolderId parent, QByteArrayView name, int error) override
    {
        m_scan.skippedFolder(parent, name, error);
        report("cannot read", m_scan.pathOf(parent).append(name), error, error != EACCES);
    }
    void unreadEntry(FolderId folder, QByteArrayView name, int error) override
    {
        m_scan.unreadEntry(folder, name, error);
        if (!name.isEmpty())
            report("cannot read", m_scan.pathOf(folder).append(name), error, true);
        else if (error == EACCES) // listed but not searchable: its entries have no sizes
            report("cannot read the entries of", m_scan.pathOf(folder), error, false);
        else
            report("cannot list all of", m_scan.pathOf(folder), error, true);
    }
    void cycleFolder(FolderId parent, QByteArrayView name) override
    {
        const QByteArray path = EscapePath(m_scan.pathOf(parent).append(name));
        std::lock_guard lock(m_lock);
        std::fprintf(stderr,
                     "quarnel-scan: not entering %s: it is a folder above it again (a bind "
                     "mount), already counted\n",
                     path.constData());
    }
    void otherVolume(FolderId parent, QByteArrayView name) override
    {
        m_scan.otherVolume(parent, name);
    }
    void moveBytes(FolderId from, FolderId to, CountedBytes bytes) override
    {
        m_scan.moveBytes(from, to, bytes);
    }
    void keepHardLinks(std::vector<HardLink> links) override
    {
        m_scan.keepHardLinks(std::move(links));
    }
    FolderId parentOf(FolderId folder) const override { return m_scan.parentOf(folder); }
    quint32 ordinalOf(FolderId folder) const override { return m_scan.ordinalOf(folder); }
    quint64 inodeOf(FolderId folder) const override { return m_scan.inodeOf(folder); }
    QByteArray pathOf(FolderId folder) const override { return m_scan.pathOf(folder); }

    // Something was left out for another reason than permissions.
    bool incomplete() const { return m_incomplete.load(); }

private:
    void report(const char *what, const QByteArray &path, int error, bool incomplete)
    {
        const QByteArray escaped = EscapePath(path);
        std::lock_guard lock(m_lock);
        std::fprintf(stderr, "quarnel-scan: %s %s: %s\n", what, escaped.constData(),
                     std::strerror(error));
        if (incomplete)
            m_incomplete.store(true);
    }

    DriveScan &m_scan;
    std::mutex m_lock;
    std::atomic<bool> m_incomplete{false};
};

void PrintRecords(const DriveScan &scan, bool diskUsage)
{
    const qsizetype rootLength = scan.rootPath().size();
    QByteArray out;
    out.reserve(1 << 20);
    quint64 files = 0;
    for (qsizetype i = 0; i < scan.count(); ++i) {
        const auto id = WalkSink::FolderId(i);
        const QByteArray relative = scan.pathOf(id).sliced(rootLength).chopped(i == 0 ? 0 : 1);
        out += relative.isEmpty() ? QByteArray(".") : EscapePath(relative);
        out += '\t';
        out += QByteArray::number(diskUsage ? scan.allocatedOf(id) : scan.sizeOf(id));
        out += '\t';
        out += QByteArray::number(scan.fileCountOf(id));
        out += '\t';
        out += QByteArray::number(scan.subfolderEntriesOf(id));
        out += '\n';
        files += scan.fileCountOf(id);
        if (out.size() > (1 << 20) - 8192) {
            std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
            out.clear();
        }
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
}

// Prints the records, or writes them to the export file; false when the export failed.
bool Output(const DriveScan &scan, const Arguments &args)
{
    if (args.exportTo.isEmpty()) {
        PrintRecords(scan, args.diskUsage);
        std::fflush(stdout);
        return true;
    }
    SavedOutput out;
    ScanExport writer(scan);
    if (!out.open(args.exportTo) || !writer.write(out)) {
        const QString why = writer.error().isEmpty() ? out.error() : writer.error();
        std::fprintf(stderr, "quarnel-scan: cannot write %s\n", qPrintable(why));
        return false;
    }
    return true;
}

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
    return written ? 0 : 1;
}

int Run(const Arguments &args)
{
    if (!args.importFrom.isEmpty())
        return Import(args);
    const auto started = std::chrono::steady_clock::now();

    QByteArray rootPath = args.root;
    if (!rootPath.endsWith('/'))
        rootPath += '/';
    DriveScan scan(rootPath);
    ReportingScan reporting(scan);
    Walker walker(rootPath, reporting, Walker::Options{args.threads});
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
    const auto walked = std::chrono::steady_clock::now();
    const bool written = Output(scan, args);
    if (args.summary)
        PrintSummary(scan, "walk", Milliseconds(walked - started), walker.threadCount(),
                     Milliseconds(std::chrono::steady_clock::now() - walked));
    return reporting.incomplete() || !written ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    AddressSpace::FitMallocArenas();
    const Arguments args = Parse(argc, argv);
    try {
        return Run(args);
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "quarnel-scan: not enough memory to walk %s\n", args.root.constData());
        return 1;
    }
}
