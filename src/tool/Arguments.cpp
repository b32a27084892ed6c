#include "Arguments.h"

#include "ExcludePatterns.h"

#include <QFile>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr const char *Usage =
    "Usage: quarnel-scan [--threads N] [--disk-usage] [--summary] [--export FILE]\n"
    "                    [--exclude PATTERN]... [--exclude-from FILE]... [--] ROOT\n"
    "       quarnel-scan --follow[=fanotify|inotify] [--threads N] [--disk-usage] [--] ROOT\n"
    "       quarnel-scan --duplicates [--min-size BYTES] [--disk-usage] [--] ROOT\n"
    "       quarnel-scan --import FILE [--disk-usage] [--summary] [--export FILE]\n"
    "       quarnel-scan --history [--threads N] [--disk-usage] [--summary] [--] ROOT\n"
    "       quarnel-scan --history --import FILE [--disk-usage] [--summary]\n"
    "       quarnel-scan --history-export [[--] ROOT]\n"
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
    "  --follow     after the walk, follow ROOT's changes: after each burst of them, print\n"
    "               one line per folder whose total changed (path, old total, new total),\n"
    "               until interrupted; =fanotify or =inotify says how (default: fanotify\n"
    "               where the process may, else inotify)\n"
    "  --duplicates after the walk, print the groups of files of identical content, the\n"
    "               most bytes to free first: a line \"SIZE bytes each, N copies, W bytes to\n"
    "               free\", the copies' paths, one a line, and an empty line. A file's hard\n"
    "               links are one copy; copies sharing their storage (reflinks) free nothing.\n"
    "               Then the folders whose files are copies of each other's: a line\n"
    "               \"folders P% identical, B bytes\", their paths, an empty line\n"
    "  --min-size BYTES  compare only files of at least BYTES bytes (default 1048576; K, M\n"
    "               and G multiply by 1024 once, twice, three times)\n"
    "  --history    after the lines, record the walk (or the saved scan, at the date it was\n"
    "               saved) in the history the program keeps of each volume's walks, in\n"
    "               $XDG_DATA_HOME/Orvanne/Quarnel/history.sqlite (~/.local/share/...), and\n"
    "               say on standard error where, or why it could not: then exit status 1\n"
    "  --history-export  print the history of the volume holding ROOT (of every volume\n"
    "               without ROOT) as CSV: a line per walk and folder with the walk's date\n"
    "               (UTC), the folder's path, its bytes, bytes on disk, files and folders\n"
    "               in and below it\n"
    "  --exclude PATTERN  leave out what PATTERN matches, as ncdu does: a shell pattern (*, ?,\n"
    "               [...], [!...], \\ escapes; * and ? match / too) tried on each item's\n"
    "               absolute path and on every tail of it that starts after a /. A folder\n"
    "               left out is not entered, a file not counted; both are named in --export.\n"
    "               May be given many times\n"
    "  --exclude-from FILE  leave out what any pattern of FILE matches, one a line\n"
    "  --help       print this help\n"
    "What cannot be read, or vanished or moved between its listing and its reading, is named\n"
    "on standard error and left out of the totals.\n"
    "Exit status: 0 when the walk completed, leaving out at most folders that could not be\n"
    "opened for lack of permission; 1 when something was left out for another reason (an I/O\n"
    "error, or an entry gone while the walk ran, say), the walk ran out of memory or the\n"
    "history could not be written or read; 2 on bad arguments or an unreadable ROOT.\n";

[[noreturn]] void Fail(const char *message, const char *detail = "")
{
    std::fprintf(stderr, "quarnel-scan: %s%s\nTry 'quarnel-scan --help'.\n", message, detail);
    std::exit(2);
}

// A number of bytes, with K, M or G for a power of 1024.
quint64 SizeArgument(const char *value)
{
    char *end = nullptr;
    errno = 0;
    const unsigned long long n = value && std::isdigit(static_cast<unsigned char>(*value))
                                     ? std::strtoull(value, &end, 10)
                                     : 0;
    int shift = 0;
    if (end && *end && !end[1])
        shift = *end == 'K' ? 10 : *end == 'M' ? 20 : *end == 'G' ? 30 : -1;
    if (!end || end == value || errno || shift < 0 || (*end && end[1]) ||
        (shift > 0 && n > (~0ull >> shift)))
        Fail("--min-size needs a number of bytes, as 1048576 or 1M");
    return quint64(n) << shift;
}

} // namespace

Arguments ParseArguments(int argc, char **argv)
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
        } else if (!optionsEnded && (arg == "--follow" || arg.starts_with("--follow="))) {
            args.follow = true;
            if (arg != "--follow") {
                args.followWith = QByteArray(argv[i] + std::strlen("--follow="));
                if (args.followWith != "fanotify" && args.followWith != "inotify")
                    Fail("--follow= takes fanotify or inotify");
            }
        } else if (!optionsEnded && arg == "--history") {
            args.history = true;
        } else if (!optionsEnded && arg == "--history-export") {
            args.historyExport = true;
        } else if (!optionsEnded && arg == "--duplicates") {
            args.duplicates = true;
        } else if (!optionsEnded && (arg == "--min-size" || arg.starts_with("--min-size="))) {
            const char *value = arg == "--min-size" ? (i + 1 < argc ? argv[++i] : nullptr)
                                                    : argv[i] + std::strlen("--min-size=");
            args.minimumSize = SizeArgument(value);
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
        } else if (!optionsEnded && (arg == "--exclude" || arg == "--exclude-from")) {
            if (i + 1 >= argc || argv[i + 1][0] == 0)
                Fail(arg == "--exclude" ? "--exclude needs a PATTERN"
                                        : "--exclude-from needs a FILE");
            if (arg == "--exclude") {
                args.exclude.append(QByteArray(argv[++i]));
                continue;
            }
            QFile file(QFile::decodeName(argv[++i]));
            if (!file.open(QIODevice::ReadOnly))
                Fail("cannot read the patterns of ", argv[i]);
            args.exclude += ExcludePatterns::FromLines(file.readAll());
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
    if (args.historyExport) {
        if (args.history || args.summary || args.diskUsage || args.follow || args.duplicates ||
            args.threads != 0 || !args.exportTo.isEmpty() || !args.importFrom.isEmpty() ||
            !args.exclude.isEmpty())
            Fail("--history-export reads the history alone: it takes no other option");
        return args;
    }
    if (args.history && (args.follow || args.duplicates || !args.exportTo.isEmpty()))
        Fail("--history records the lines' walk: it takes no --follow, --duplicates nor "
             "--export");
    if (args.root.isEmpty() == args.importFrom.isEmpty())
        Fail(args.root.isEmpty() ? "no ROOT given" : "--import reads no ROOT");
    if (!args.exclude.isEmpty() && !args.importFrom.isEmpty())
        Fail("--exclude chooses what a walk leaves out: --import reads what was saved");
    if (args.follow && !args.importFrom.isEmpty())
        Fail("--follow walks a ROOT: it reads no --import");
    if (args.duplicates && (args.follow || !args.importFrom.isEmpty() || !args.exportTo.isEmpty()))
        Fail("--duplicates reads the files of a walked ROOT: it takes no --follow, --import "
             "nor --export");
    if (args.follow && (!args.exportTo.isEmpty() || args.summary))
        Fail("--follow prints changes: it takes no --export nor --summary");
    return args;
}
