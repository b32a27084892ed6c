// quarnel-bench-gui: times what the user waits for in the window. A scan picked from the window
// (wall time, and how long the event loop goes without running, measured with a 10 ms timer),
// compared with quarnel-scan on the same tree; then the directory list of one folder of 100,000
// files: its fill and the sort of every column, and the expansion of that folder in the folder
// tree. See bench/README.md.

#include "BiggestModel.h"
#include "BiggestWindow.h"
#include "CollationKeys.h"
#include "DirListModel.h"
#include "DriveScanJob.h"
#include "FolderCollection.h"
#include "FolderTreeModel.h"
#include "FolderTreeView.h"
#include "HistoryCommand.h"
#include "HistoryDatabase.h"
#include "HistoryGrowthModel.h"
#include "HistoryWindow.h"
#include "KindsModel.h"
#include "KindsWindow.h"
#include "MainStatusBar.h"
#include "MainWindow.h"
#include "MapLayout.h"
#include "MapRenderer.h"
#include "MapView.h"
#include "RemoteScanCommand.h"
#include "SavedScanCommand.h"
#include "ScanComparison.h"
#include "SearchModel.h"
#include "SearchWindow.h"
#include "TextTable.h"
#include "Volume.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr const char *Usage =
    "Usage: quarnel-bench-gui [options] [TREE]\n"
    "Times a scan of TREE from the window against quarnel-scan, then the directory list of one\n"
    "folder of 100,000 files. Report on standard output, progress on standard error.\n"
    "  TREE                  default /var/tmp/quarnel-bench/tree (built by bench/make-tree.py)\n"
    "  --quarnel-scan PATH   default: the one built with this program\n"
    "  --wide DIR            the 100,000-file folder, built once (default "
    "/var/tmp/quarnel-bench/wide)\n"
    "  --window-runs N       scans from the window, and runs of --only saved or remote (default "
    "1)\n"
    "  --tick MS             the timer that finds the gaps of the scans from the window "
    "(default 10)\n"
    "  --scan-runs N         runs of quarnel-scan (default 3)\n"
    "  --reps N              repetitions of each list case (default 5)\n"
    "  --locale NAME         collation of the names (default en_US; \"system\": the "
    "environment's)\n"
    "  --saved FILE          the saved scan --only saved opens, then its root's folder of the\n"
    "                        most files when it holds 10,000 or more (default\n"
    "                        /var/tmp/quarnel-bench/ten-million.json, from bench/make-export.py)\n"
    "  --remote FILE         the scan --only remote reads through a stand-in for ssh (default\n"
    "                        /var/tmp/quarnel-bench/million.json, from bench/make-export.py)\n"
    "  --only window|list|map|find|saved|remote|live|history  run one part only (map: the map\n"
    "                        of TREE, drawn, resized, and shown during scans from the window;\n"
    "                        find: the biggest files and a search over TREE's records, from the\n"
    "                        command to the view; history: the history window over 100 walks\n"
    "                        of a tree it makes in memory)\n";

constexpr int TickMs = 10;
// One frame at 60 Hz, as for every stall.
constexpr double StallTargetMs = 16;
constexpr double RatioTarget = 1.15;
// From the key press to a quiet process, against the command-line walk's wall.
constexpr double IdleRatioTarget = 1.05;
constexpr double FillTargetMs = 150;
constexpr double SortTargetMs = 50;
// One frame at 60 Hz: opening a folder in the tree must never stall the window.
constexpr double ExpandStallTargetMs = 16;
constexpr quint32 WideFiles = 100000;
// Written into the marker; change it with the recipe, so that an old folder is not taken for a new
// one.
constexpr const char *WideRecipe = "files=100000 seed=1 layout=1";
// The folder opened in the tree: 100,000 entries, of which these are folders, the rest hard links
// to WIDE's files (no space taken).
constexpr quint32 TreeFolders = 10000;
constexpr const char *TreeRecipe = "entries=100000 folders=10000 seed=2";

struct Arguments
{
    QString tree = QStringLiteral("/var/tmp/quarnel-bench/tree");
    QString scan;
    QString wide = QStringLiteral("/var/tmp/quarnel-bench/wide");
    int windowRuns = 1;
    int tickMs = TickMs;
    int scanRuns = 3;
    int reps = 5;
    QString locale = QStringLiteral("en_US");
    bool window = true;
    bool list = true;
    bool map = true;
    bool find = true;
    bool saved = false;   // only when asked: its file takes a while to make
    bool live = false;    // only when asked: it makes files for a while
    bool history = false; // only when asked: it walks a tree a hundred times first
    QString savedFile = QStringLiteral("/var/tmp/quarnel-bench/ten-million.json");
    bool remote = false; // only when asked, as the saved scan
    QString remoteFile = QStringLiteral("/var/tmp/quarnel-bench/million.json");
};

[[noreturn]] void Fail(const QString &message)
{
    std::fprintf(stderr, "quarnel-bench-gui: %s\n", qPrintable(message));
    std::exit(2);
}

void Log(const QString &message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
    std::fflush(stderr);
}

Arguments Parse(const QStringList &argv)
{
    Arguments args;
    bool treeGiven = false;
    const auto value = [&](qsizetype &i) {
        if (i + 1 >= argv.size())
            Fail(argv[i] + QStringLiteral(" needs a value"));
        return argv[++i];
    };
    const auto count = [&](qsizetype &i) {
        bool ok = false;
        const int n = value(i).toInt(&ok);
        if (!ok || n < 1 || n > 100)
            Fail(argv[i - 1] + QStringLiteral(" needs a number from 1 to 100"));
        return n;
    };
    for (qsizetype i = 1; i < argv.size(); ++i) {
        const QString &arg = argv[i];
        if (arg == u"--help") {
            std::fputs(Usage, stdout);
            std::exit(0);
        } else if (arg == u"--quarnel-scan") {
            args.scan = value(i);
        } else if (arg == u"--wide") {
            args.wide = value(i);
        } else if (arg == u"--window-runs") {
            args.windowRuns = count(i);
        } else if (arg == u"--tick") {
            args.tickMs = count(i);
        } else if (arg == u"--scan-runs") {
            args.scanRuns = count(i);
        } else if (arg == u"--reps") {
            args.reps = count(i);
        } else if (arg == u"--locale") {
            args.locale = value(i);
        } else if (arg == u"--only") {
            const QString part = value(i);
            if (part != u"window" && part != u"list" && part != u"map" && part != u"find" &&
                part != u"saved" && part != u"remote" && part != u"live" && part != u"history")
                Fail(QStringLiteral(
                    "--only takes window, list, map, find, saved, remote, live or history"));
            args.window = part == u"window";
            args.list = part == u"list";
            args.map = part == u"map";
            args.find = part == u"find";
            args.saved = part == u"saved";
            args.remote = part == u"remote";
            args.live = part == u"live";
            args.history = part == u"history";
        } else if (arg == u"--saved") {
            args.savedFile = value(i);
        } else if (arg == u"--remote") {
            args.remoteFile = value(i);
        } else if (arg.startsWith(u'-')) {
            Fail(QStringLiteral("unknown option ") + arg + QStringLiteral("; try --help"));
        } else if (!treeGiven) {
            args.tree = arg;
            treeGiven = true;
        } else {
            Fail(QStringLiteral("only one TREE may be given"));
        }
    }
    args.tree = QDir::cleanPath(QFileInfo(args.tree).absoluteFilePath());
    args.wide = QDir::cleanPath(QFileInfo(args.wide).absoluteFilePath());
    return args;
}

// --- Measuring --------------------------------------------------------------------------------

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Nearest rank: the smallest value with at least p of the values at or below it.
double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = size_t(std::ceil(p * double(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

double Seconds(const timeval &t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

struct MachineCpu
{
    double busy = 0;  // seconds the machine's cores ran anything, outside idle and iowait
    double steal = 0; // seconds the hypervisor ran something else on our virtual cores
};

MachineCpu MachineCpuSeconds()
{
    std::ifstream stat("/proc/stat");
    std::string cpu;
    unsigned long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0,
                       steal = 0;
    stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
    const auto tick = double(sysconf(_SC_CLK_TCK));
    return {double(user + nice + system + irq + softirq) / tick, double(steal) / tick};
}

// CPU seconds of this process, its threads and its waited-for children.
double OwnCpuSeconds()
{
    rusage self{};
    rusage children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return Seconds(self.ru_utime) + Seconds(self.ru_stime) + Seconds(children.ru_utime) +
           Seconds(children.ru_stime);
}

// How many cores other processes kept busy while a stretch of the run went on, and how much
// the hypervisor held back: the figures are only as good as both are close to zero.
class LoadMeter
{
public:
    void begin()
    {
        m_clock.start();
        m_cpu = MachineCpuSeconds();
        m_own = OwnCpuSeconds();
    }
    void end()
    {
        const double wall = double(m_clock.nsecsElapsed()) / 1e9;
        const MachineCpu now = MachineCpuSeconds();
        const double other = (now.busy - m_cpu.busy) - (OwnCpuSeconds() - m_own);
        if (wall > 0.05) { // below a few clock ticks the figure is noise
            m_others.push_back(std::max(0.0, other) / wall);
            m_steals.push_back((now.steal - m_cpu.steal) / wall);
        }
    }
    bool any() const { return !m_others.empty(); }
    double mean() const { return Mean(m_others); }
    double worst() const { return Worst(m_others); }
    double stealMean() const { return Mean(m_steals); }
    double stealWorst() const { return Worst(m_steals); }

private:
    static double Mean(const std::vector<double> &v)
    {
        double sum = 0;
        for (double x : v)
            sum += x;
        return v.empty() ? 0 : sum / double(v.size());
    }
    static double Worst(const std::vector<double> &v)
    {
        return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
    }

    QElapsedTimer m_clock;
    MachineCpu m_cpu;
    double m_own = 0;
    std::vector<double> m_others;
    std::vector<double> m_steals;
};

LoadMeter g_load;

// --- The scan from the window ------------------------------------------------------------------

struct WindowRun
{
    double wallS = 0;   // driveCommand, from the call to its return
    double toFillS = 0; // from the call to the list's last reset: the walk and what precedes it
    double toIdleS = 0; // from the call to a quiet process: no thread of it at work any more
    double cpuS = 0;    // this process's CPU over the call
    std::vector<double>
        gapsMs; // between two timer ticks, and from the last tick to the settle's end
    double longestMs = 0;
    double longestAtS = 0;     // when the longest gap ended, from the call
    double longestCpuMs = 0;   // how much of it the window's thread spent running
    long longestPreempted = 0; // times the thread was taken off a core against its will in it
    double firstGapMs =
        0;             // from the call to the first tick: the pick's setup and the first repaint
    quint64 total = 0; // the drive's total as the window got it
    qsizetype folders = 0; // folder records after the scan
    int ticks = 0;
    bool ok = false;
};

// Creates a window over one volume whose mount point is `root`, shows it, and picks the volume
// while a 10 ms timer records how late each of its ticks comes.
// Runs the event loop until `done` holds or the time is up.
// Looks every pollMs: a wait for the process to fall quiet must not keep it busy itself.
void WaitFor(const std::function<bool()> &done, int ms = 20000, int pollMs = 1)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(pollMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

// Runs the event loop for so long: work left to it (layout, paint) gets done, or measured.
void Settle(int ms)
{
    WaitFor([] { return false; }, ms);
}

// Walks a folder into the records, as the window's scan does; returns its total.
quint64 WalkInto(FolderCollection &folders, const QString &folder)
{
    DriveScanJob job(folders, QFile::encodeName(folder) + '/');
    if (!job.start())
        Fail(QStringLiteral("cannot walk ") + folder);
    job.wait();
    return job.finish();
}

// With the map: shown under the list, with the window at `size`. tickMs: the timer that finds the
// gaps; a gap is at least one tick, so a finer one measures a short stall more closely.
WindowRun ScanFromWindow(const QString &root, bool withMap = false, QSize size = {},
                         int tickMs = TickMs)
{
    WindowRun run;
    Volume volume;
    volume.mountPoint = QFile::encodeName(root);
    volume.kind = DriveKind::Fixed;
    auto window = std::make_unique<MainWindow>(QList<Volume>{volume}, nullptr);
    if (size.isValid())
        window->resize(size);
    window->show();
    if (withMap)
        window->findChild<QAction *>(QStringLiteral("mnuViewMap"))->trigger();
    Settle(300); // the first show and paint are no part of the scan

    QElapsedTimer clock;
    qint64 lastTickNs = 0;
    qint64 fillStartNs = -1;
    // Whether a long gap was work on this thread or a wait (for a core, or a lock) tells where
    // to look: its CPU time and its involuntary context switches over the gap say which.
    const auto threadUsage = [] {
        rusage usage{};
        getrusage(RUSAGE_THREAD, &usage);
        return usage;
    };
    const auto cpuNsOf = [](const rusage &usage) {
        const auto ns = [](const timeval &t) {
            return qint64(t.tv_sec) * 1000000000 + qint64(t.tv_usec) * 1000;
        };
        return ns(usage.ru_utime) + ns(usage.ru_stime);
    };
    qint64 lastCpuNs = 0;
    long lastPreemptions = 0;
    const auto gap = [&](qint64 nowNs) {
        const double ms = double(nowNs - lastTickNs) / 1e6;
        const rusage usage = threadUsage();
        const qint64 cpuNs = cpuNsOf(usage);
        const long preempted = usage.ru_nivcsw;
        if (run.gapsMs.empty())
            run.firstGapMs = ms;
        run.gapsMs.push_back(ms);
        if (ms > run.longestMs) {
            run.longestMs = ms;
            run.longestAtS = double(nowNs) / 1e9;
            run.longestCpuMs = double(cpuNs - lastCpuNs) / 1e6;
            run.longestPreempted = preempted - lastPreemptions;
        }
        lastTickNs = nowNs;
        lastCpuNs = cpuNs;
        lastPreemptions = preempted;
    };
    // The list is reset by every fill: the pick empties it, and the walk's end fills it. A large
    // folder's rows come later, read aside: the list is filled once they are in.
    qint64 returnedNs = -1, filledNs = -1;
    QObject::connect(window->listModel(), &QAbstractItemModel::modelAboutToBeReset, window.get(),
                     [&] {
                         if (filledNs < 0)
                             fillStartNs = clock.nsecsElapsed();
                     });
    QObject::connect(window->listModel(), &QAbstractItemModel::modelReset, window.get(), [&] {
        if (window->listModel()->rowCount() > 0)
            filledNs = clock.nsecsElapsed();
    });
    // The whole process's CPU at each tick: it is quiet once its threads have stopped working,
    // which is what the user waits for before the machine is theirs again.
    std::vector<std::pair<qint64, double>> cpuAt;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(tickMs);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++run.ticks;
        const qint64 now = clock.nsecsElapsed();
        gap(now);
        cpuAt.emplace_back(now, OwnCpuSeconds());
    });

    g_load.begin();
    const double cpu0 = OwnCpuSeconds();
    {
        const rusage usage = threadUsage();
        lastCpuNs = cpuNsOf(usage);
        lastPreemptions = usage.ru_nivcsw;
    }
    clock.start();
    ticker.start();
    window->driveCommand(0);
    returnedNs = clock.nsecsElapsed();
    WaitFor([&] { return filledNs >= 0; });
    run.cpuS = OwnCpuSeconds() - cpu0;
    g_load.end();
    // Keep ticking a little: work the fill left to the event loop (layout, paint) is a stall too.
    Settle(250);
    ticker.stop();
    gap(clock.nsecsElapsed()); // a tail with no tick counts as a gap, however it ends
    // Quiet: under 5 % of one core over each 100 ms for half a second; idle from its start.
    const auto quietSince = [&]() -> qint64 {
        const qint64 span = 100'000'000, stretch = 500'000'000;
        qint64 since = -1;
        size_t from = 0;
        for (size_t i = 0; i < cpuAt.size(); ++i) {
            while (cpuAt[i].first - cpuAt[from].first > span)
                ++from;
            if (cpuAt[i].first - cpuAt[from].first < span * 9 / 10)
                continue;
            const bool quiet = cpuAt[i].second - cpuAt[from].second < 0.005;
            if (!quiet || cpuAt[from].first < filledNs)
                since = -1;
            else if (since < 0)
                since = cpuAt[from].first;
            if (since >= 0 && cpuAt[i].first - since >= stretch)
                return since;
        }
        return -1;
    };
    ticker.start();
    // Looking a thousand times a second, with the whole record each time, took some 5 % of a
    // core: as much as the quiet it looked for.
    WaitFor([&] { return quietSince() >= 0; }, 30000, 50);
    ticker.stop();
    run.toIdleS = double(quietSince()) / 1e9;

    run.wallS = double(std::max(returnedNs, filledNs)) / 1e9;
    run.toFillS = fillStartNs >= 0 ? double(fillStartNs) / 1e9 : run.wallS;
    run.total = window->diskSize();
    run.folders = window->folders().count();
    run.ok = run.folders > 0 && window->listModel()->rowCount() > 0;
    return run;
}

struct ChildRun
{
    double wallS = 0;
    double cpuS = 0;
    int status = -1;
};

// Runs a program with its output thrown away and reports its own wall and CPU time.
ChildRun RunChild(const std::vector<std::string> &argv)
{
    ChildRun run;
    std::vector<char *> cargv;
    for (const std::string &a : argv)
        cargv.push_back(const_cast<char *>(a.c_str()));
    cargv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    // Searched in PATH: the tree is built by "python3", wherever it is installed.
    const int error = posix_spawnp(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return run;
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.wallS = double(clock.nsecsElapsed()) / 1e9;
    run.cpuS = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

QString FindQuarnelScan(const QString &given)
{
    if (!given.isEmpty())
        return given;
    QStringList candidates{QStringLiteral(QUARNEL_SCAN_PATH)};
    const QString here = QCoreApplication::applicationDirPath();
    for (const char *up : {".", "..", "../..", "../../build"})
        candidates.append(here + u'/' + QLatin1StringView(up) + QStringLiteral("/quarnel-scan"));
    for (const QString &c : candidates)
        if (QFileInfo(c).isExecutable())
            return QDir::cleanPath(c);
    return {};
}

// --- The 100,000-file folder
// ----------------------------------------------------------------------

// splitmix64: the same folder on every machine for the same recipe.
class Random
{
public:
    explicit Random(quint64 seed)
        : m_state(seed)
    {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    quint64 below(quint64 n) { return next() % n; }
    bool chance(int percent) { return below(100) < quint64(percent); }

private:
    quint64 m_state;
};

// A name of 1 to about 100 bytes: syllables in mixed case, some accented or not Latin, digits,
// spaces and punctuation, mostly with an extension, so that collation has real work to do.
std::string MakeName(Random &random)
{
    static constexpr std::string_view Pieces[] = {
        "ka",   "lo",  "mi", "re", "tan", "pho",  "str",    "ei",    "qu", "zz", "ol", "ix",
        "an",   "be",  "Ka", "Lo", "MI",  "Re",   "TAN",    "Ph",    "é",  "É",  "ü",  "ß",
        "ñ",    "ø",   "à",  "ç",  "Œ",   "日本", "данные", "Ωμέγα", "0",  "1",  "7",  "42",
        "2023", "007", " ",  "-",  "_",   ".",    "(1)",    "~",     "'",  "+"};
    static constexpr std::string_view Extensions[] = {
        ".txt", ".jpg", ".JPG",  ".png",  ".pdf",  ".tar.gz", ".mp3", ".cpp",
        ".h",   ".log", ".json", ".docx", ".xlsx", ".zip",    ".o",   ".py"};
    // Short names are common, long ones rare: the lesser of two rolls.
    const auto length = size_t(1 + std::min(random.below(80), random.below(80)));
    std::string name;
    while (name.size() < length)
        name += Pieces[random.below(std::size(Pieces))];
    if (random.chance(80))
        name += Extensions[random.below(std::size(Extensions))];
    if (name == "." || name == "..")
        name += 'x';
    return name;
}

// Builds the folder once, beside its marker; a run finds both and reuses them. Sizes are made
// with ftruncate, so the files use no blocks whatever their length.
bool EnsureWideFolder(const QString &wide)
{
    const QString marker = wide + QStringLiteral(".complete");
    {
        QFile m(marker);
        if (m.open(QIODevice::ReadOnly) && m.readAll().trimmed() == WideRecipe &&
            QFileInfo(wide).isDir())
            return true;
    }
    if (QFileInfo::exists(wide)) {
        Log(wide +
            QStringLiteral(" exists but was not built for this benchmark, or not finished: "
                           "remove it (and ") +
            marker + QStringLiteral(") to rebuild"));
        return false;
    }
    const QString building = wide + QStringLiteral(".building");
    QDir(building).removeRecursively(); // an interrupted build of ours
    QDir().remove(marker);
    if (!QDir().mkpath(building)) {
        Log(QStringLiteral("cannot create ") + building);
        return false;
    }
    Log(QStringLiteral("building ") + wide + QStringLiteral(" (100,000 files, once) ..."));
    const int dir = open(QFile::encodeName(building).constData(), O_RDONLY | O_DIRECTORY);
    if (dir < 0)
        return false;
    Random random(1);
    std::unordered_set<std::string> names;
    names.reserve(WideFiles);
    // A few dates shared by many files, so that the date sort has ties to break.
    std::vector<qint64> sharedDates;
    const qint64 from = 1420070400; // 2015-01-01
    const qint64 span = 10LL * 365 * 86400;
    for (int i = 0; i < 50; ++i)
        sharedDates.push_back(from + qint64(random.below(quint64(span))));
    for (quint32 i = 0; i < WideFiles; ++i) {
        std::string name = MakeName(random);
        while (!names.insert(name).second)
            name += char('a' + random.below(26));
        quint64 size = 0;
        const quint64 roll = random.below(100);
        if (roll < 20)
            size = 0;
        else if (roll < 75)
            size = 1 + random.below(4096);
        else if (roll < 97)
            size = 4096 + random.below(1 << 20);
        else
            size = (1ULL << 20) + random.below(1ULL << 32);
        const qint64 date = random.chance(30) ? sharedDates[random.below(sharedDates.size())]
                                              : from + qint64(random.below(quint64(span)));
        const int fd = openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            Log(QStringLiteral("cannot create a file in ") + building + QStringLiteral(": ") +
                QString::fromLocal8Bit(std::strerror(errno)));
            close(dir);
            return false;
        }
        const timeval times[2] = {{date, 0}, {date, 0}};
        const bool ok = ftruncate(fd, off_t(size)) == 0 && futimes(fd, times) == 0;
        close(fd);
        if (!ok) {
            close(dir);
            return false;
        }
        if ((i + 1) % 20000 == 0)
            Log(QStringLiteral("  %1 files").arg(i + 1));
    }
    close(dir);
    if (!QDir().rename(building, wide))
        return false;
    QFile m(marker);
    if (!m.open(QIODevice::WriteOnly))
        return false;
    m.write(WideRecipe);
    m.write("\n");
    return true;
}

// --- The list of one folder --------------------------------------------------------------------

struct ListResult
{
    qsizetype rows = 0;
    quint64 folderTotal = 0;
    double prepareMs = 0; // the locale's collation rules and tables, loaded once
    std::vector<double> fillMs;
    std::vector<double> firstSortMs;
    std::vector<double> sortMs[DirListModel::ColumnCount][2]; // [column][0 ascending, 1 descending]
    WindowRun window; // the same folder picked in a window: fill and sort with the view attached
    std::vector<double> expandListedMs;  // the folder opened in the tree until its listing is in
    std::vector<double> expandLongestMs; // the longest event-loop gap over each of those
};

// Builds WIDE-tree once from WIDE, beside its marker.
bool EnsureTreeFolder(const QString &wide, const QString &target)
{
    const QString marker = target + QStringLiteral(".complete");
    QFile m(marker);
    if (m.open(QIODevice::ReadOnly) && m.readAll().trimmed() == TreeRecipe &&
        QFileInfo(target).isDir())
        return true;
    m.close();
    const QString building = target + QStringLiteral(".building");
    QDir(building).removeRecursively();
    if (QFileInfo::exists(target) || !QDir().mkpath(building))
        return false;
    Log(QStringLiteral("building ") + target + QStringLiteral(" (100,000 entries, once) ..."));
    const int from = open(QFile::encodeName(wide).constData(), O_RDONLY | O_DIRECTORY);
    const int to = open(QFile::encodeName(building).constData(), O_RDONLY | O_DIRECTORY);
    bool ok = from >= 0 && to >= 0;
    std::unordered_set<std::string> names;
    const QStringList files = QDir(wide).entryList(QDir::Files);
    for (qsizetype i = 0; ok && i < qsizetype(WideFiles - TreeFolders) && i < files.size(); ++i) {
        const QByteArray name = QFile::encodeName(files[i]);
        names.insert(name.toStdString());
        ok = linkat(from, name.constData(), to, name.constData(), 0) == 0;
    }
    Random random(2);
    for (quint32 i = 0; ok && i < TreeFolders; ++i) {
        std::string name = MakeName(random);
        while (!names.insert(name).second)
            name += char('a' + random.below(26));
        ok = mkdirat(to, name.c_str(), 0755) == 0;
    }
    if (from >= 0)
        close(from);
    if (to >= 0)
        close(to);
    if (!ok || names.size() != WideFiles || !QDir().rename(building, target) ||
        !m.open(QIODevice::WriteOnly))
        return false;
    m.write(TreeRecipe);
    m.write("\n");
    return true;
}

// Opens `wide` in a shown folder tree rooted at its parent while a 2 ms timer records how late each
// of its ticks comes, until the listing is in and 250 ms after. Returns {listed ms, longest gap
// ms}.
std::pair<double, double> ExpandInTree(const QString &wide)
{
    FolderTreeView tree;
    tree.resize(300, 600);
    tree.setEnabled(true);
    tree.show();
    tree.setRootfolder(QFile::encodeName(QFileInfo(wide).absolutePath()) + '/');
    FolderTreeModel *model = tree.model();
    WaitFor([model] { return !model->isListing(); }, 10000);
    Settle(100);
    const QModelIndex item = model->indexOf(QFile::encodeName(wide) + '/');

    QElapsedTimer clock;
    qint64 last = 0;
    double longest = 0;
    double listed = -1;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(2);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, double(now - last) / 1e6);
        last = now;
        if (listed < 0 && !model->isListing())
            listed = double(now) / 1e6;
    });
    clock.start();
    ticker.start();
    tree.findChild<QTreeView *>()->expand(item);
    WaitFor([&listed] { return listed >= 0; }, 60000);
    Settle(250);
    ticker.stop();
    longest = std::max(longest, double(clock.nsecsElapsed() - last) / 1e6);
    return {listed, longest};
}

double TimeMs(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return double(clock.nsecsElapsed()) / 1e6;
}

ListResult MeasureList(const QString &wide, int reps)
{
    ListResult result;
    FolderCollection folders;
    const QByteArray path = QFile::encodeName(wide) + '/';
    result.folderTotal = WalkInto(folders, wide);
    QStringList headings;
    for (int column = 0; column < DirListModel::ColumnCount; ++column)
        headings.append(TextTable::text(309 + column));
    const auto freshModel = [&] {
        auto model = std::make_unique<DirListModel>();
        model->setHeaders(headings);
        return model;
    };
    const auto fill = [&](DirListModel &model) {
        if (!model.fill(folders, path, PercentBase::Folder, result.folderTotal))
            Fail(QStringLiteral("no record for ") + wide);
    };

    // The window loads them on a worker thread when it opens, long before a list is sorted.
    result.prepareMs = TimeMs([] { CollationKeys::Prepare(); });
    g_load.begin();
    std::unique_ptr<DirListModel> model;
    for (int rep = 0; rep < reps; ++rep) {
        model.reset(); // the old model goes outside the timing
        model = freshModel();
        result.fillMs.push_back(TimeMs([&] { fill(*model); }));
        // The window sorts by name after a fill; the first sort ranks the names.
        result.firstSortMs.push_back(
            TimeMs([&] { model->sort(DirListModel::Name, Qt::AscendingOrder); }));
    }
    result.rows = model->rowCount();
    // Every later sort starts from an order unrelated to its own, as after a click on another
    // heading: size and percent go together, so each case starts from a column two away.
    for (int rep = 0; rep < reps; ++rep)
        for (int column = 0; column < DirListModel::ColumnCount; ++column)
            for (int descending = 0; descending < 2; ++descending) {
                model->sort((column + 2) % DirListModel::ColumnCount, Qt::AscendingOrder);
                const auto order = descending ? Qt::DescendingOrder : Qt::AscendingOrder;
                result.sortMs[column][descending].push_back(
                    TimeMs([&] { model->sort(column, order); }));
            }
    g_load.end();
    model.reset();
    folders.clear();

    const QString treeFolder = wide + QStringLiteral("-tree");
    if (!EnsureTreeFolder(wide, treeFolder))
        Fail(QStringLiteral("could not build ") + treeFolder);
    Log(QStringLiteral("opening ") + treeFolder + QStringLiteral(" in the folder tree ..."));
    for (int rep = 0; rep < reps; ++rep) {
        const auto [listed, longest] = ExpandInTree(treeFolder);
        result.expandListedMs.push_back(listed);
        result.expandLongestMs.push_back(longest);
    }
    Log(QStringLiteral("picking the wide folder in a window ..."));
    result.window = ScanFromWindow(wide);
    return result;
}

// --- The map ------------------------------------------------------------------------------------

constexpr QSize MapSize(1600, 500);
constexpr QSize MapWindowSize(1850, 1000); // leaves the map about MapSize
constexpr double MapDrawTargetMs = 250;
constexpr double MapResizeTargetMs = 100;
constexpr double MapStallTargetMs = 16;
constexpr double MapBytesTarget = 16;
constexpr double MapSlowdownTarget = 1.05;
// As for the tree's expansion: a 16 ms target needs a timer well under it.
constexpr int MapTickMs = 2;

struct MapResult
{
    qint64 entries = 0; // folders and files of TREE
    std::vector<double> drawMs;
    size_t layoutBytes = 0;
    size_t imageBytes = 0;
    std::vector<double> resizeMs; // from a resize to the first new image
    double dragLongestMs = 0;     // longest event-loop gap while the map is resized continuously
    std::vector<WindowRun> with, without;
};

MapResult MeasureMap(const QString &tree, int reps, int windowRuns)
{
    MapResult result;
    FolderCollection folders;
    const QByteArray root = QFile::encodeName(tree) + '/';
    WalkInto(folders, tree);
    const auto [scan, top] = folders.locate(root);
    if (!scan)
        Fail(QStringLiteral("no record for ") + tree);
    for (qsizetype folder = 0; folder < scan->count(); ++folder)
        result.entries += 1 + scan->fileCountOf(WalkSink::FolderId(folder));

    Log(QStringLiteral("drawing the map of ") + tree + QStringLiteral(" ..."));
    g_load.begin();
    for (int rep = 0; rep < reps; ++rep) {
        MapLayout layout;
        QImage image;
        result.drawMs.push_back(TimeMs([&] {
            layout = MapLayout::Build(*scan, top, QSizeF(MapSize));
            image = RenderMap(layout, 1);
        }));
        result.layoutBytes = layout.memoryUsed();
        result.imageBytes = size_t(image.sizeInBytes());
    }
    g_load.end();

    Log(QStringLiteral("resizing the map ..."));
    MapView view;
    view.resize(MapSize);
    view.show();
    view.showFolder(&folders, root);
    WaitFor([&] { return !view.isDrawing() && view.layout(); });
    QElapsedTimer clock;
    double shownAt = -1;
    QObject::connect(&view, &MapView::drawingShown,
                     [&] { shownAt = double(clock.nsecsElapsed()) / 1e6; });
    for (int rep = 0; rep < reps; ++rep) {
        shownAt = -1;
        clock.start();
        view.resize(MapSize - QSize(20 * (rep + 1), 8 * (rep + 1)));
        WaitFor([&] { return shownAt >= 0; });
        result.resizeMs.push_back(shownAt);
        WaitFor([&] { return !view.isDrawing(); });
    }
    // A drag of the bar above the map: a new height every 16 ms for two seconds.
    qint64 last = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(2);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        result.dragLongestMs = std::max(result.dragLongestMs, double(now - last) / 1e6);
        last = now;
    });
    QTimer drag;
    drag.setInterval(16);
    int step = 0;
    QObject::connect(&drag, &QTimer::timeout,
                     [&] { view.resize(MapSize.width(), MapSize.height() - 4 * (++step % 50)); });
    clock.start();
    ticker.start();
    drag.start();
    Settle(2000);
    drag.stop();
    ticker.stop();
    view.dropRecords();
    folders.clear();

    // Interleaved, so that a slow spell falls on both.
    for (int round = 0; round < windowRuns; ++round) {
        Log(QStringLiteral("scan from the window without and with the map, %1/%2 ...")
                .arg(round + 1)
                .arg(windowRuns));
        result.without.push_back(ScanFromWindow(tree, false, MapWindowSize, MapTickMs));
        result.with.push_back(ScanFromWindow(tree, true, MapWindowSize, MapTickMs));
    }
    return result;
}

// --- The report --------------------------------------------------------------------------------

// --- Finding what fills the volume ------------------------------------------------------------

constexpr double FindTargetMs = 150;
constexpr double FindStallTargetMs = 16;
// Three letters found in many of the tree's names, so that the search keeps its 1,000 biggest.
constexpr const char *SearchPattern = "ora";

// The longest wait of the event loop while it runs: a precise timer ticks every MapTickMs, and
// a gap between two ticks is how long the window could not answer.
class GapMeter
{
public:
    GapMeter()
    {
        m_ticker.setTimerType(Qt::PreciseTimer);
        m_ticker.setInterval(MapTickMs);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const qint64 cpu = ThreadCpuNs();
            m_gapsMs.push_back(double(now - m_lastTickNs) / 1e6);
            if (double(now - m_lastTickNs) / 1e6 > m_longestMs) {
                m_longestMs = double(now - m_lastTickNs) / 1e6;
                m_longestEndedS = double(now) / 1e9;
                m_longestCpuMs = double(cpu - m_lastCpuNs) / 1e6;
            }
            m_lastTickNs = now;
            m_lastCpuNs = cpu;
        });
    }
    // Starts afresh; the clock runs from here.
    void start()
    {
        m_clock.start();
        m_lastTickNs = 0;
        m_lastCpuNs = ThreadCpuNs();
        m_longestMs = 0;
        m_gapsMs.clear();
        m_ticker.start();
    }
    void stop() { m_ticker.stop(); }
    const QElapsedTimer &clock() const { return m_clock; }
    double longestMs() const { return m_longestMs; }
    const std::vector<double> &gapsMs() const { return m_gapsMs; }
    double longestEndedS() const { return m_longestEndedS; } // from start()
    // What the window's thread ran during the longest gap: the rest it waited for a core.
    double longestCpuMs() const { return m_longestCpuMs; }

private:
    QElapsedTimer m_clock;
    QTimer m_ticker;
    qint64 m_lastTickNs = 0;
    double m_longestMs = 0;
    double m_longestEndedS = 0;
    double m_longestCpuMs = 0;
    qint64 m_lastCpuNs = 0;
    std::vector<double> m_gapsMs;

    static qint64 ThreadCpuNs()
    {
        rusage usage{};
        getrusage(RUSAGE_THREAD, &usage);
        const auto ns = [](const timeval &t) {
            return qint64(t.tv_sec) * 1000000000 + qint64(t.tv_usec) * 1000;
        };
        return ns(usage.ru_utime) + ns(usage.ru_stime);
    }
};

// The live view, in a tree kept in memory so that files are made as fast as asked: how long the
// window waits before a change shows, what following costs idle, and the longest stall and the
// CPU taken while another process makes files at a steady rate.
struct LiveResult
{
    bool ok = false;
    double idleCore = 0;         // share of one core, nothing changing
    std::vector<double> shownMs; // a file written, until the totals and list show it
    double made = 0;             // files made a second
    double churnCore = 0;        // the whole process, while they were made
    double longestGapMs = 0;
    double longestGapCpuMs = 0;
};

LiveResult MeasureLive(const QString &tree, int reps, int rate)
{
    LiveResult result;
    QDir(tree).removeRecursively();
    for (int folder = 0; folder < 100; ++folder) {
        const QString dir = tree + QStringLiteral("/d%1").arg(folder);
        QDir().mkpath(dir);
        for (int file = 0; file < 100; ++file) {
            QFile out(dir + QStringLiteral("/f%1").arg(file));
            if (out.open(QIODevice::WriteOnly))
                out.write(QByteArray(file, 'w'));
        }
    }
    Volume volume;
    volume.mountPoint = QFile::encodeName(tree);
    volume.kind = DriveKind::Fixed;
    auto window = std::make_unique<MainWindow>(QList<Volume>{volume}, nullptr);
    window->show();
    Settle(300);
    window->driveCommand(0);
    WaitFor([&] { return !window->statusPanels()->liveText().isEmpty(); });
    Settle(3000); // the walk's last work aside, and the first look for what changed meanwhile
    if (window->statusPanels()->liveText().isEmpty())
        return result;
    // One event loop, not Settle's polling, whose own wake-ups would be most of what is measured.
    const auto runFor = [](int ms, const std::function<bool()> &done = {}) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        QTimer poll;
        if (done) {
            QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
                if (done())
                    loop.quit();
            });
            poll.start(50);
        }
        loop.exec();
    };
    double cpu0 = OwnCpuSeconds();
    runFor(10000);
    result.idleCore = (OwnCpuSeconds() - cpu0) / 10;

    for (int rep = 0; rep < reps; ++rep) {
        const quint64 before = window->diskSize();
        const quint64 bytes = 100'000'000 + quint64(rep);
        QFile big(tree + QStringLiteral("/d0/big"));
        QElapsedTimer clock;
        if (big.open(QIODevice::WriteOnly)) {
            const QByteArray chunk(1 << 20, '\1');
            for (quint64 left = bytes; left > 0;)
                left -= quint64(
                    big.write(chunk.constData(), qint64(std::min<quint64>(left, chunk.size()))));
            big.close();
        }
        clock.start();
        WaitFor([&] { return window->diskSize() == before + bytes; }, 10000);
        result.shownMs.push_back(double(clock.nsecsElapsed()) / 1e6);
        QFile::remove(tree + QStringLiteral("/d0/big"));
        WaitFor([&] { return window->diskSize() == before; }, 10000);
    }

    // Files made by another process, at a steady rate, while the window's event loop is timed.
    const QByteArray churn = QFile::encodeName(tree + QStringLiteral("/churn"));
    QDir().mkpath(QFile::decodeName(churn));
    constexpr int ChurnSeconds = 10;
    GapMeter gaps;
    cpu0 = OwnCpuSeconds();
    const pid_t child = ::fork();
    if (child == 0) {
        timespec start{};
        clock_gettime(CLOCK_MONOTONIC, &start);
        static const char payload[4000] = {};
        for (long made = 0;;) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            const double at =
                double(now.tv_sec - start.tv_sec) + double(now.tv_nsec - start.tv_nsec) / 1e9;
            if (at >= ChurnSeconds)
                ::_exit(int(std::min<long>(made / 1000, 255)));
            for (; made < long(at * rate); ++made) {
                const QByteArray name = churn + "/c" + QByteArray::number(qlonglong(made));
                const int fd = ::open(name.constData(), O_WRONLY | O_CREAT, 0644);
                if (fd >= 0) {
                    [[maybe_unused]] const ssize_t n = ::write(fd, payload, size_t(made % 4000));
                    ::close(fd);
                }
            }
            ::usleep(2000);
        }
    }
    gaps.start();
    int status = 0;
    runFor((ChurnSeconds + 20) * 1000, [&] { return ::waitpid(child, &status, WNOHANG) == child; });
    const double wall = double(gaps.clock().nsecsElapsed()) / 1e9;
    runFor(1000); // the last burst shown
    gaps.stop();
    result.churnCore = (OwnCpuSeconds() - cpu0) / (wall + 1);
    result.made = WIFEXITED(status) ? WEXITSTATUS(status) * 1000.0 / wall : 0;
    result.longestGapMs = gaps.longestMs();
    result.longestGapCpuMs = gaps.longestCpuMs();
    result.ok = true;
    window.reset();
    QDir(tree).removeRecursively();
    return result;
}

struct FindResult
{
    std::vector<double> biggestMs; // from the menu entry to the filled view
    std::vector<double> searchMs;  // from the end of the typing pause to the filled view
    std::vector<double> kindsMs;   // of the root, from the menu entry to the filled view
    double longestGapMs = 0;       // of the window's event loop over all of them
    int biggestRows = 0;
    int searchRows = 0;
    int kinds = 0;
};

// A window over TREE, scanned once; then each view's command is timed to the reset of its model,
// while a 2 ms timer finds the event loop's longest gap.
FindResult MeasureFind(const QString &tree, int reps)
{
    FindResult result;
    Volume volume;
    volume.mountPoint = QFile::encodeName(tree);
    volume.kind = DriveKind::Fixed;
    auto window = std::make_unique<MainWindow>(QList<Volume>{volume}, nullptr);
    window->show();
    Settle(300);
    Log(QStringLiteral("scanning ") + tree + QStringLiteral(" for the views ..."));
    window->driveCommand(0);
    Settle(500);

    GapMeter gaps;
    const QElapsedTimer &clock = gaps.clock();
    qint64 startNs = -1, doneNs = -1;
    // Runs `command`, then the event loop until the view's model is reset; the time in between.
    const auto timed = [&](const std::function<void()> &command) {
        doneNs = -1;
        startNs = 0;
        gaps.start();
        command();
        WaitFor([&] { return doneNs >= 0; });
        Settle(100); // painting what came is part of it
        gaps.stop();
        result.longestGapMs = std::max(result.longestGapMs, gaps.longestMs());
        return doneNs >= 0 && startNs >= 0 ? double(doneNs - startNs) / 1e6 : 1e9;
    };

    QAction *biggestEntry = window->findChild<QAction *>(QStringLiteral("mnuViewBiggest"));
    for (int rep = 0; rep < reps; ++rep) {
        result.biggestMs.push_back(timed([&] {
            biggestEntry->trigger();
            auto *view = window->findChild<BiggestWindow *>();
            QObject::connect(
                view->model(), &QAbstractItemModel::modelReset, view,
                [&] { doneNs = clock.nsecsElapsed(); }, Qt::SingleShotConnection);
        }));
        result.biggestRows = window->findChild<BiggestWindow *>()->model()->rowCount();
    }
    window->findChild<BiggestWindow *>()->hide();

    QAction *kindsEntry = window->findChild<QAction *>(QStringLiteral("mnuViewKinds"));
    for (int rep = 0; rep < reps; ++rep) {
        if (auto *open = window->findChild<KindsWindow *>())
            open->hide(); // the entry counts again when it opens the window
        result.kindsMs.push_back(timed([&] {
            kindsEntry->trigger();
            auto *view = window->findChild<KindsWindow *>();
            QObject::connect(
                view->model(), &QAbstractItemModel::modelReset, view,
                [&] { doneNs = clock.nsecsElapsed(); }, Qt::SingleShotConnection);
        }));
        result.kinds = window->findChild<KindsWindow *>()->model()->rowCount();
    }
    window->findChild<KindsWindow *>()->hide();

    window->findChild<QAction *>(QStringLiteral("mnuFileSearch"))->trigger();
    auto *search = window->findChild<SearchWindow *>();
    // The pause after typing is the window's choice, not work: time from its end.
    QObject::connect(search->findChild<QTimer *>(), &QTimer::timeout, search,
                     [&] { startNs = clock.nsecsElapsed(); });
    QObject::connect(search->model(), &QAbstractItemModel::modelReset, search, [&] {
        if (search->model()->rowCount() > 0)
            doneNs = clock.nsecsElapsed();
    });
    for (int rep = 0; rep < reps; ++rep) {
        search->patternEdit()->clear();
        Settle(400);
        result.searchMs.push_back(timed([&] {
            startNs = -1;
            search->patternEdit()->setText(QString::fromLatin1(SearchPattern));
        }));
        result.searchRows = search->model()->rowCount();
    }
    return result;
}

QString FirstLine(const QString &path, const QString &key)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    // Read whole: files under /proc report a size of 0, so atEnd() holds from the start.
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    for (const QString &line : lines)
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed();
    return {};
}

QString CommandLine(const char *command)
{
    QString out;
    if (FILE *p = popen(command, "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p))
            out += QString::fromLocal8Bit(buffer);
        pclose(p);
    }
    return out.trimmed();
}

QString MachineLine()
{
    const QString cpu = FirstLine(QStringLiteral("/proc/cpuinfo"), QStringLiteral("model name"))
                            .remove(QRegularExpression(QStringLiteral("^:\\s*")));
    const QString memKb = FirstLine(QStringLiteral("/proc/meminfo"), QStringLiteral("MemTotal:"))
                              .section(u' ', 0, 0, QString::SectionSkipEmpty);
    const QString distro =
        FirstLine(QStringLiteral("/etc/os-release"), QStringLiteral("PRETTY_NAME=")).remove(u'"');
    utsname uts{};
    uname(&uts);
    cpu_set_t set;
    CPU_ZERO(&set);
    sched_getaffinity(0, sizeof set, &set);
    return QStringLiteral("%1 CPUs, %2, %3 GiB RAM, Linux %4%5")
        .arg(CPU_COUNT(&set))
        .arg(cpu.isEmpty() ? QStringLiteral("?") : cpu)
        .arg(std::round(memKb.toDouble() / 1048576.0))
        .arg(QString::fromLocal8Bit(uts.release))
        .arg(distro.isEmpty() ? QString() : QStringLiteral(", ") + distro);
}

QString Version()
{
    const QByteArray repo = QByteArrayLiteral(QUARNEL_SOURCE_DIR);
    const QString head =
        CommandLine(("git -C '" + repo + "' rev-parse --short HEAD 2>/dev/null").constData());
    if (head.isEmpty())
        return QStringLiteral("quarnel");
    const QString dirty = CommandLine(
        ("git -C '" + repo + "' status --porcelain --untracked-files=no 2>/dev/null").constData());
    return QStringLiteral("quarnel at ") + head +
           (dirty.isEmpty() ? QString() : QStringLiteral(" + local changes"));
}

QString Ms(double ms)
{
    return QString::number(ms, 'f', 1);
}

QString Series(const std::vector<double> &values, int precision)
{
    QStringList parts;
    for (double v : values)
        parts.append(QString::number(v, 'f', precision));
    return parts.join(u' ');
}

QString Thousands(qint64 n)
{
    QLocale english(QLocale::English);
    return english.toString(n);
}

struct Target
{
    QString name;
    QString figure;
    QString limit;
    bool pass;
};

void Print(const QString &line = {})
{
    std::fprintf(stdout, "%s\n", qPrintable(line));
}

void ReportMap(const QString &tree, const MapResult &map, std::vector<Target> &targets)
{
    Print();
    Print(QStringLiteral("the map of TREE = %1 (%2 entries) at %3 x %4, in one process")
              .arg(tree, Thousands(map.entries))
              .arg(MapSize.width())
              .arg(MapSize.height()));
    const double draw = Median(map.drawMs);
    const double bytes =
        double(map.layoutBytes + map.imageBytes) / double(std::max<qint64>(1, map.entries));
    Print(QStringLiteral("  layout and drawing, records to image: median %1 ms, runs %2")
              .arg(Ms(draw), Series(map.drawMs, 1)));
    Print(QStringLiteral("  memory: tiles %1 MiB + image %2 MiB = %3 bytes per entry")
              .arg(double(map.layoutBytes) / 1048576, 0, 'f', 1)
              .arg(double(map.imageBytes) / 1048576, 0, 'f', 1)
              .arg(bytes, 0, 'f', 1));
    const double resize = Median(map.resizeMs);
    Print(QStringLiteral("  a resize to its first new image: median %1 ms, runs %2; longest "
                         "event-loop gap over a 2 s drag: %3 ms")
              .arg(Ms(resize), Series(map.resizeMs, 1), Ms(map.dragLongestMs)));
    std::vector<double> withWall, withoutWall;
    double withLongest = 0, withoutLongest = 0;
    const WindowRun *worst = nullptr;
    for (const WindowRun &w : map.with) {
        withWall.push_back(w.wallS);
        withLongest = std::max(withLongest, w.longestMs);
        if (!worst || w.longestMs > worst->longestMs)
            worst = &w;
    }
    for (const WindowRun &w : map.without) {
        withoutWall.push_back(w.wallS);
        withoutLongest = std::max(withoutLongest, w.longestMs);
    }
    if (worst)
        Print(
            QStringLiteral("    its longest gap ended %1 s into a pick of %2 s (the walk ended at "
                           "%3 s); the window's thread ran %4 ms of it, preempted %5 times")
                .arg(worst->longestAtS, 0, 'f', 3)
                .arg(worst->wallS, 0, 'f', 3)
                .arg(worst->toFillS, 0, 'f', 3)
                .arg(Ms(worst->longestCpuMs))
                .arg(worst->longestPreempted));
    const double slowdown = Median(withoutWall) > 0 ? Median(withWall) / Median(withoutWall) : 0;
    Print(
        QStringLiteral(
            "  scan from the window (a %7 ms timer), map shown: %1 s (runs %2), longest gap %3 ms; "
            "map hidden: %4 s (runs %5), longest gap %6 ms")
            .arg(Median(withWall), 0, 'f', 3)
            .arg(Series(withWall, 3), Ms(withLongest))
            .arg(Median(withoutWall), 0, 'f', 3)
            .arg(Series(withoutWall, 3), Ms(withoutLongest))
            .arg(MapTickMs));
    targets.push_back({QStringLiteral("map, records to image"), Ms(draw) + QStringLiteral(" ms"),
                       QStringLiteral("<= %1 ms").arg(MapDrawTargetMs), draw <= MapDrawTargetMs});
    targets.push_back(
        {QStringLiteral("map, resize to first new image"), Ms(resize) + QStringLiteral(" ms"),
         QStringLiteral("<= %1 ms").arg(MapResizeTargetMs), resize <= MapResizeTargetMs});
    targets.push_back({QStringLiteral("map, longest stall while resized"),
                       Ms(map.dragLongestMs) + QStringLiteral(" ms"),
                       QStringLiteral("<= %1 ms").arg(MapStallTargetMs),
                       map.dragLongestMs <= MapStallTargetMs});
    targets.push_back({QStringLiteral("map, longest stall while scanning"),
                       Ms(withLongest) + QStringLiteral(" ms"),
                       QStringLiteral("<= %1 ms").arg(MapStallTargetMs),
                       withLongest <= MapStallTargetMs});
    targets.push_back({QStringLiteral("map, bytes per entry"), QString::number(bytes, 'f', 1),
                       QStringLiteral("<= %1").arg(MapBytesTarget), bytes <= MapBytesTarget});
    targets.push_back({QStringLiteral("scan wall, map shown / hidden"),
                       QString::number(slowdown, 'f', 3),
                       QStringLiteral("<= %1").arg(MapSlowdownTarget),
                       slowdown > 0 && slowdown <= MapSlowdownTarget});
}

void ReportFind(const QString &tree, const FindResult &find, std::vector<Target> &targets)
{
    Print();
    Print(QStringLiteral("finding in the records of TREE = %1, in a scanned window (a %2 ms timer)")
              .arg(tree)
              .arg(MapTickMs));
    const double biggest = Median(find.biggestMs), search = Median(find.searchMs),
                 kinds = Median(find.kindsMs);
    Print(QStringLiteral("  the biggest files, menu entry to the filled view (%1 rows): median %2 "
                         "ms, runs %3")
              .arg(find.biggestRows)
              .arg(Ms(biggest), Series(find.biggestMs, 1)));
    Print(QStringLiteral("  a search for \"%1\", end of the typing pause to the filled view (%2 "
                         "rows): median %3 ms, runs %4")
              .arg(QString::fromLatin1(SearchPattern))
              .arg(find.searchRows)
              .arg(Ms(search), Series(find.searchMs, 1)));
    Print(QStringLiteral("  the kinds of files of the root, menu entry to the filled view (%1 "
                         "kinds): median %2 ms, runs %3")
              .arg(find.kinds)
              .arg(Ms(kinds), Series(find.kindsMs, 1)));
    Print(QStringLiteral("  longest event-loop gap over all of them: %1 ms")
              .arg(Ms(find.longestGapMs)));
    targets.push_back({QStringLiteral("the biggest files, command to view"),
                       Ms(biggest) + QStringLiteral(" ms"),
                       QStringLiteral("<= %1 ms").arg(FindTargetMs), biggest <= FindTargetMs});
    targets.push_back({QStringLiteral("the kinds of files of the root, command to view"),
                       Ms(kinds) + QStringLiteral(" ms"),
                       QStringLiteral("<= %1 ms").arg(FindTargetMs), kinds <= FindTargetMs});
    targets.push_back({QStringLiteral("a 3-letter search, command to view"),
                       Ms(search) + QStringLiteral(" ms"),
                       QStringLiteral("<= %1 ms").arg(FindTargetMs), search <= FindTargetMs});
    targets.push_back({QStringLiteral("longest stall while finding"),
                       Ms(find.longestGapMs) + QStringLiteral(" ms"),
                       QStringLiteral("<= %1 ms").arg(FindStallTargetMs),
                       find.longestGapMs <= FindStallTargetMs});
}

} // namespace

// Opening a saved scan in the window, from the command to the list of its root, with the longest
// wait of the window's event loop meanwhile and the process's peak memory. The meter runs on while
// the user goes through a few of the root's folders, as the window's background work after an
// opening (the kinds' lookups) runs then.
struct SavedResult
{
    double openS = 0;
    double longestGapMs = 0;
    double longestAtS = 0;   // when it ended, from the command
    double longestCpuMs = 0; // of it, the window's thread running
    double p99Ms = 0;
    double peakMiB = 0;
    quint64 entries = 0;
    int foldersVisited = 0;
    bool ok = false;
    // The root's folder of the most files, when it holds at least WideFolderFrom: picked in the
    // tree, from the pick to its rows shown and 300 ms on.
    QByteArray wideFolder;
    quint64 wideFiles = 0;
    double wideShownS = 0;
    double wideLongestMs = 0;
    double wideLongestCpuMs = 0;
    double wideP99Ms = 0;
};

constexpr quint64 WideFolderFrom = 10000;

// With `remote`, the scan comes as a walk of another machine does: through a stand-in for ssh
// that writes the file on its standard output, read as it arrives.
SavedResult MeasureSaved(const QString &file, bool remote = false)
{
    SavedResult result;
    QTemporaryDir standInDir;
    if (remote) {
        QFile standIn(standInDir.filePath(QStringLiteral("ssh")));
        if (!standIn.open(QIODevice::WriteOnly) ||
            standIn.write("#!/bin/sh\necho 'quarnel-remote: quarnel-scan' >&2\nexec cat '" +
                          QFile::encodeName(file) + "'\n") < 0)
            Fail(QStringLiteral("cannot write the stand-in for ssh"));
        standIn.close();
        standIn.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("QUARNEL_SSH", QFile::encodeName(standIn.fileName()));
    }
    auto window = std::make_unique<MainWindow>(QList<Volume>{}, nullptr);
    window->show();
    Settle(300);
    auto *command = window->findChild<SavedScanCommand *>();
    GapMeter gaps;
    Log((remote ? QStringLiteral("walking over the stand-in for ssh ")
                : QStringLiteral("opening ")) +
        file + QStringLiteral(" in the window ..."));
    gaps.start();
    result.ok = remote ? window->remoteScans().walk(QStringLiteral("bench"), QStringLiteral("/"))
                       : command && command->open(file);
    // The file is read aside: opened once the window is idle again with the drive shown.
    WaitFor([&] { return !window->isScanning(); });
    result.ok = result.ok && window->folderTree()->rootfolder().contains(':');
    result.openS = double(gaps.clock().nsecsElapsed()) / 1e9;
    Settle(500); // the tree and the map of its root, from the records
    const QByteArray root = window->folderTree()->rootfolder();
    if (const auto records = window->folders().locate(root).first; records && result.ok) {
        const std::vector<WalkSink::FolderId> below = records->subfoldersOf(0);
        for (size_t at = 0; at < below.size() && result.foldersVisited < 5;
             at += below.size() / 5 + 1) {
            window->folderTree()->setSelectedfolder(records->pathOf(below[at]));
            Settle(300);
            ++result.foldersVisited;
        }
    }
    gaps.stop();
    result.longestGapMs = gaps.longestMs();
    result.longestAtS = gaps.longestEndedS();
    result.longestCpuMs = gaps.longestCpuMs();
    result.p99Ms = Percentile(gaps.gapsMs(), 0.99);
    if (const auto records = window->folders().locate(root).first; records && result.ok) {
        WalkSink::FolderId widest = 0;
        for (const WalkSink::FolderId folder : records->subfoldersOf(0))
            if (records->fileCountOf(folder) > records->fileCountOf(widest))
                widest = folder;
        if (records->fileCountOf(widest) >= WideFolderFrom) {
            result.wideFolder = records->pathOf(widest);
            result.wideFiles = records->fileCountOf(widest);
            bool shown = false;
            QObject::connect(
                window->listModel(), &QAbstractItemModel::modelReset, window.get(),
                [&] { shown = quint64(window->listModel()->rowCount()) >= result.wideFiles; });
            Log(QStringLiteral("picking %1 (%2 files) ...")
                    .arg(QFile::decodeName(result.wideFolder))
                    .arg(result.wideFiles));
            gaps.start();
            window->folderTree()->setSelectedfolder(result.wideFolder);
            WaitFor([&] { return shown; });
            result.wideShownS = shown ? double(gaps.clock().nsecsElapsed()) / 1e9 : -1;
            Settle(300);
            gaps.stop();
            result.wideLongestMs = gaps.longestMs();
            result.wideLongestCpuMs = gaps.longestCpuMs();
            result.wideP99Ms = Percentile(gaps.gapsMs(), 0.99);
        }
    }
    struct rusage usage
    {
    };
    getrusage(RUSAGE_SELF, &usage);
    result.peakMiB = double(usage.ru_maxrss) / 1024.0;
    if (const FolderRecord top = window->folders().find(root); !top.isNull())
        result.entries = top.size();
    return result;
}

// The history window over a folder walked a hundred times, a day apart, a few folders growing
// between walks: from the folder given to the chart's points, and to the growth list of the last
// two walks; then from two other dates picked to their growth list.
struct HistoryResult
{
    bool ok = false;
    int walks = 0;
    quint64 folders = 0;
    std::vector<double> chartMs;
    std::vector<double> growthMs;
    std::vector<double> pickedMs;
    std::vector<double> comparedMs; // the oldest walk's totals read and made a comparison
    quint64 usrFolders = 0;
    double usrComparedMs = 0; // the same for /usr walked once
};

// Reads a walk's totals from the history and makes the comparison the list is given.
double TimeComparison(const QString &file, qint64 volume, qint64 walk, const QByteArray &root)
{
    QElapsedTimer clock;
    clock.start();
    HistoryDatabase history(file);
    ScanComparison::Totals totals;
    if (HistoryCommand::ReadTotals(history, volume, walk, totals))
        return -1;
    const ScanComparison earlier(totals, root, 0);
    return double(clock.nsecsElapsed()) / 1e6;
}

HistoryResult MeasureHistory(const QString &tree, int reps)
{
    constexpr int Walks = 100;
    constexpr int Folders = 400;
    constexpr int FilesEach = 10;
    HistoryResult result;
    QDir(tree).removeRecursively();
    Random random(7);
    const auto grow = [&](int folder, int file, int bytes) {
        const QString dir = tree + QStringLiteral("/d%1/e%2").arg(folder % 20).arg(folder);
        QDir().mkpath(dir);
        QFile out(dir + QStringLiteral("/f%1").arg(file));
        if (out.open(QIODevice::Append))
            out.write(QByteArray(bytes, 'x'));
    };
    for (int folder = 0; folder < Folders; ++folder)
        for (int file = 0; file < FilesEach; ++file)
            grow(folder, file, 100);
    const QString file = tree + QStringLiteral(".sqlite");
    QFile::remove(file);
    HistoryDatabase history(file);
    const qint64 start = QDateTime::currentSecsSinceEpoch() - Walks * 86400;
    Log(QStringLiteral("walking %1 a hundred times into %2 ...").arg(tree, file));
    for (int walk = 0; walk < Walks; ++walk) {
        for (int change = 0; change < 10; ++change)
            grow(int(random.next() % Folders), int(random.next() % FilesEach), 4096);
        FolderCollection folders;
        WalkInto(folders, tree);
        const QByteArray root = QFile::encodeName(tree) + '/';
        const auto scan = folders.scanHolding(root);
        const VolumeIdentity identity = VolumeIdentity::OfWalkedFolder(root, scan->device());
        if (identity.isNull() || history.record(*scan, identity, start + walk * 86400))
            return result;
        result.folders = scan->count();
    }
    history.close();
    result.walks = Walks;

    HistoryWindow window;
    window.show();
    Settle(300);
    HistoryWindow::Place place;
    place.file = file;
    place.root = QFile::encodeName(tree) + '/';
    place.identity = VolumeIdentity::OfWalkedFolder(place.root);
    QElapsedTimer clock;
    for (int rep = 0; rep < reps; ++rep) {
        window.dropRecords();
        Settle(50);
        clock.start();
        window.setPlace(place);
        WaitFor([&] { return window.points().size() == size_t(Walks); }, 5000);
        result.chartMs.push_back(double(clock.nsecsElapsed()) / 1e6);
        WaitFor([&] { return window.hasGrowth(); }, 5000);
        result.growthMs.push_back(double(clock.nsecsElapsed()) / 1e6);
        clock.start();
        window.pickWalks(rep, Walks - 1 - rep);
        WaitFor([&] { return window.hasGrowth(); }, 5000);
        result.pickedMs.push_back(double(clock.nsecsElapsed()) / 1e6);
        result.ok = window.model()->rowCount() == 20;
        result.comparedMs.push_back(
            TimeComparison(file, window.volume(), window.points().front().walk, place.root));
    }
    // A tree of the size of a system's: /usr, walked once.
    FolderCollection usr;
    WalkInto(usr, QStringLiteral("/usr"));
    const auto scan = usr.scanHolding("/usr/");
    const VolumeIdentity identity = VolumeIdentity::OfWalkedFolder("/usr/", scan->device());
    qint64 walk = 0;
    HistoryDatabase::Volume volume;
    if (!identity.isNull() && history.record(*scan, identity, start, &walk).ok() &&
        history.findVolume(identity, volume).ok()) {
        history.close();
        result.usrFolders = scan->count();
        result.usrComparedMs = TimeComparison(file, volume.id, walk, "/usr/");
    }
    return result;
}

int main(int argc, char *argv[])
{
    // The window needs no screen; another platform may still be asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarnel"));
    const Arguments args = Parse(QCoreApplication::arguments());
    // Names collate by the user's language; a fixed one keeps runs comparable, and the C locale
    // would skip the collation work altogether.
    if (args.locale != u"system")
        QLocale::setDefault(QLocale(args.locale));
    const QString collation = QLocale().name();

    int exitCode = 0;
    QStringList checks;
    std::vector<Target> targets;

    // The scan from the window against quarnel-scan.
    std::vector<WindowRun> windowRuns;
    std::vector<ChildRun> scanRuns;
    QString scanPath;
    QJsonObject manifest;
    if (args.window || args.map || args.find) {
        const QString manifestPath = QFileInfo(args.tree).absolutePath() + u'/' +
                                     QFileInfo(args.tree).fileName() +
                                     QStringLiteral(".manifest.json");
        QFile mf(manifestPath);
        if (mf.open(QIODevice::ReadOnly))
            manifest = QJsonDocument::fromJson(mf.readAll()).object();
        if (!QFileInfo(args.tree).isDir() || !manifest.value(QStringLiteral("complete")).toBool()) {
            const QString make = QStringLiteral(QUARNEL_SOURCE_DIR "/bench/make-tree.py");
            Log(QStringLiteral("no finished tree at ") + args.tree +
                QStringLiteral(": building it with ") + make);
            const ChildRun made = RunChild({"python3", QFile::encodeName(make).toStdString(),
                                            QFile::encodeName(args.tree).toStdString()});
            if (made.status != 0)
                Fail(QStringLiteral("could not build the tree"));
            mf.close();
            if (mf.open(QIODevice::ReadOnly))
                manifest = QJsonDocument::fromJson(mf.readAll()).object();
        }
    }
    if (args.window) {
        scanPath = FindQuarnelScan(args.scan);
        if (scanPath.isEmpty())
            Fail(QStringLiteral("no quarnel-scan found: build it, or give --quarnel-scan PATH"));
        const std::vector<std::string> scanArgv{QFile::encodeName(scanPath).toStdString(),
                                                QFile::encodeName(args.tree).toStdString()};
        Log(QStringLiteral("warming the caches with one untimed quarnel-scan ..."));
        RunChild(scanArgv);
        // Interleaved, so that a slow spell of the machine falls on both.
        for (int round = 0; round < std::max(args.windowRuns, args.scanRuns); ++round) {
            if (round < args.windowRuns) {
                windowRuns.push_back(ScanFromWindow(args.tree, false, {}, args.tickMs));
                const WindowRun &w = windowRuns.back();
                Log(QStringLiteral("window scan %1/%2  %3 s wall, %4 s CPU, longest stall %5 ms")
                        .arg(round + 1)
                        .arg(args.windowRuns)
                        .arg(w.wallS, 0, 'f', 3)
                        .arg(w.cpuS, 0, 'f', 3)
                        .arg(Ms(w.longestMs)));
            }
            if (round < args.scanRuns) {
                g_load.begin();
                scanRuns.push_back(RunChild(scanArgv));
                g_load.end();
                const ChildRun &c = scanRuns.back();
                Log(QStringLiteral("quarnel-scan %1/%2  %3 s wall, %4 s CPU, exit %5")
                        .arg(round + 1)
                        .arg(args.scanRuns)
                        .arg(c.wallS, 0, 'f', 3)
                        .arg(c.cpuS, 0, 'f', 3)
                        .arg(c.status));
            }
        }
    }

    ListResult list;
    if (args.list) {
        if (!EnsureWideFolder(args.wide))
            Fail(QStringLiteral("could not build ") + args.wide);
        Log(QStringLiteral("timing the list of ") + args.wide + QStringLiteral(" ..."));
        list = MeasureList(args.wide, args.reps);
    }
    MapResult map;
    if (args.map)
        map = MeasureMap(args.tree, args.reps, std::max(3, args.windowRuns));
    FindResult find;
    if (args.find)
        find = MeasureFind(args.tree, args.reps);
    if (args.live) {
        Log(QStringLiteral("following a tree in memory ..."));
        const LiveResult live = MeasureLive(QStringLiteral("/dev/shm/quarnel-bench-live"),
                                            std::max(args.reps, 10), 10000);
        std::vector<double> shown = live.shownMs;
        Print(
            QStringLiteral("live view: %1; idle %2 % of a core; a 100 MB file written shows in the "
                           "totals in p95 %3 ms, max %4 ms over %5 (target p95 <= 1000 ms); "
                           "%6 files made a second for 10 s by another process: longest "
                           "event-loop gap %7 ms, %9 ms of it run by the window's thread "
                           "(target <= 16 ms), the process %8 % of a core (target < 30 %)")
                .arg(live.ok ? QStringLiteral("following") : QStringLiteral("NOT FOLLOWING"))
                .arg(live.idleCore * 100, 0, 'f', 2)
                .arg(Percentile(shown, 0.95), 0, 'f', 0)
                .arg(shown.empty() ? 0 : *std::max_element(shown.begin(), shown.end()), 0, 'f', 0)
                .arg(shown.size())
                .arg(live.made, 0, 'f', 0)
                .arg(live.longestGapMs, 0, 'f', 1)
                .arg(live.churnCore * 100, 0, 'f', 1)
                .arg(live.longestGapCpuMs, 0, 'f', 1));
        return live.ok ? 0 : 1;
    }
    if (args.history) {
        const HistoryResult history = MeasureHistory(
            QStringLiteral("/dev/shm/quarnel-bench-history"), std::max(args.reps, 10));
        Print(QStringLiteral("history window%1: %2 walks of %3 folders; the chart shown in median "
                             "%4 ms, max %5 ms (target <= 100 ms); the growth list of the last two "
                             "walks in median %6 ms, max %7 ms (target <= 300 ms); of two other "
                             "dates picked in median %8 ms, max %9 ms")
                  .arg(history.ok ? QString() : QStringLiteral(" (NOT SHOWN)"))
                  .arg(history.walks)
                  .arg(history.folders)
                  .arg(Median(history.chartMs), 0, 'f', 1)
                  .arg(history.chartMs.empty()
                           ? 0
                           : *std::max_element(history.chartMs.begin(), history.chartMs.end()),
                       0, 'f', 1)
                  .arg(Median(history.growthMs), 0, 'f', 1)
                  .arg(history.growthMs.empty()
                           ? 0
                           : *std::max_element(history.growthMs.begin(), history.growthMs.end()),
                       0, 'f', 1)
                  .arg(Median(history.pickedMs), 0, 'f', 1)
                  .arg(history.pickedMs.empty()
                           ? 0
                           : *std::max_element(history.pickedMs.begin(), history.pickedMs.end()),
                       0, 'f', 1));
        Print(QStringLiteral("history comparison: the oldest walk's totals read and compared with "
                             "in median %1 ms; /usr (%2 folders) walked once, in %3 ms; off the "
                             "window's thread")
                  .arg(Median(history.comparedMs), 0, 'f', 1)
                  .arg(history.usrFolders)
                  .arg(history.usrComparedMs, 0, 'f', 1));
        return history.ok ? 0 : 1;
    }
    if (args.remote || args.saved) {
        // Each run in a new window; the gaps of one run vary a lot on a small machine.
        const QString file = args.remote ? args.remoteFile : args.savedFile;
        std::vector<SavedResult> runs;
        std::vector<double> longest, wideLongest;
        bool ok = true;
        for (int run = 0; run < args.windowRuns; ++run) {
            g_load.begin();
            runs.push_back(MeasureSaved(file, args.remote));
            g_load.end();
            const SavedResult &r = runs.back();
            ok = ok && r.ok;
            longest.push_back(r.longestGapMs);
            Print(
                QStringLiteral("%1 %2, run %3/%4: %5 in %6 s, longest event-loop gap %7 ms (%8 "
                               "ms of it running; ended %9 s in), p99 %10 ms; the meter ran on "
                               "through %11 of its folders; %12 bytes in the root%13")
                    .arg(args.remote ? QStringLiteral("remote walk through a stand-in for ssh of")
                                     : QStringLiteral("saved scan"),
                         file)
                    .arg(run + 1)
                    .arg(args.windowRuns)
                    .arg(args.remote ? QStringLiteral("read and shown") : QStringLiteral("opened"))
                    .arg(r.openS, 0, 'f', 2)
                    .arg(r.longestGapMs, 0, 'f', 1)
                    .arg(r.longestCpuMs, 0, 'f', 1)
                    .arg(r.longestAtS, 0, 'f', 3)
                    .arg(r.p99Ms, 0, 'f', 1)
                    .arg(r.foldersVisited)
                    .arg(r.entries)
                    .arg(r.ok ? QString() : QStringLiteral(" (NOT SHOWN)")));
            if (!r.wideFolder.isEmpty()) {
                wideLongest.push_back(r.wideLongestMs);
                Print(QStringLiteral("  %1 (%2 files) picked: its rows shown in %3 s, longest "
                                     "event-loop gap %4 ms (%5 ms of it running), p99 %6 ms")
                          .arg(QFile::decodeName(r.wideFolder))
                          .arg(r.wideFiles)
                          .arg(r.wideShownS, 0, 'f', 2)
                          .arg(r.wideLongestMs, 0, 'f', 1)
                          .arg(r.wideLongestCpuMs, 0, 'f', 1)
                          .arg(r.wideP99Ms, 0, 'f', 1));
                ok = ok && r.wideShownS >= 0;
            }
        }
        const auto most = [](const std::vector<double> &values) {
            return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
        };
        Print(QStringLiteral("longest gap over %1 runs: %2 ms opening (median %3), %4 ms picking "
                             "the big folder (median %5); target <= %6 ms; peak memory %7 MiB")
                  .arg(runs.size())
                  .arg(most(longest), 0, 'f', 1)
                  .arg(Median(longest), 0, 'f', 1)
                  .arg(most(wideLongest), 0, 'f', 1)
                  .arg(Median(wideLongest), 0, 'f', 1)
                  .arg(StallTargetMs)
                  .arg(runs.back().peakMiB, 0, 'f', 0));
        if (g_load.any())
            Print(QStringLiteral("load     other processes used %1 cores on average during the "
                                 "runs, %2 at worst")
                      .arg(g_load.mean(), 0, 'f', 2)
                      .arg(g_load.worst(), 0, 'f', 2));
        if (args.saved) {
            const ChildRun ncdu =
                RunChild({"ncdu", "-f", QFile::encodeName(file).toStdString(), "-o", "/dev/null"});
            Print(QStringLiteral("ncdu -f: %1 s; opened in the window in median %2 s, x%3")
                      .arg(ncdu.wallS, 0, 'f', 2)
                      .arg(Median([&] {
                               std::vector<double> s;
                               for (const SavedResult &r : runs)
                                   s.push_back(r.openS);
                               return s;
                           }()),
                           0, 'f', 2)
                      .arg(ncdu.wallS > 0 ? runs.front().openS / ncdu.wallS : 0, 0, 'f', 2));
        }
        return ok && most(longest) <= StallTargetMs && most(wideLongest) <= StallTargetMs ? 0 : 1;
    }

    // The report.
    Print(QStringLiteral("Quarnel window benchmark, ") +
          QDate::currentDate().toString(Qt::ISODate));
    Print(QStringLiteral("machine  ") + MachineLine());
    Print(QStringLiteral("build    %1, %2, Qt %3 on the %4 platform, names collated for %5")
              .arg(Version(), QStringLiteral(QUARNEL_BUILD_TYPE), QString::fromLatin1(qVersion()),
                   QGuiApplication::platformName(), collation));
    if (g_load.any())
        Print(QStringLiteral("load     other processes used %1 cores on average during the timed "
                             "parts, %2 at worst%3")
                  .arg(g_load.mean(), 0, 'f', 2)
                  .arg(g_load.worst(), 0, 'f', 2)
                  .arg(g_load.worst() > 0.2
                           ? QStringLiteral("; the machine was busy: run again on a quiet one")
                           : QString()));
    if (g_load.any())
        Print(QStringLiteral("steal    the hypervisor held back %1 cores on average, %2 at worst%3")
                  .arg(g_load.stealMean(), 0, 'f', 2)
                  .arg(g_load.stealWorst(), 0, 'f', 2)
                  .arg(g_load.stealWorst() > 0.2
                           ? QStringLiteral("; the host was busy: run again later")
                           : QString()));

    if (args.window) {
        Print();
        const qint64 files = manifest.value(QStringLiteral("files")).toInteger();
        const qint64 foldersWanted = manifest.value(QStringLiteral("folders")).toInteger();
        const qint64 totalWanted =
            manifest.value(QStringLiteral("total_apparent_size")).toInteger();
        Print(QStringLiteral("scan from the window: TREE = %1 (%2 files, %3 folders)")
                  .arg(args.tree, Thousands(files), Thousands(foldersWanted)));
        Print(
            QStringLiteral("  window: MainWindow over one volume, shown; driveCommand(0) timed to "
                           "its return, a %1 ms timer ticking throughout and for 250 ms after")
                .arg(args.tickMs));
        Print(QStringLiteral("  quarnel-scan: %1 TREE > /dev/null, after one untimed warm-up run")
                  .arg(QDir(QStringLiteral(QUARNEL_SOURCE_DIR)).relativeFilePath(scanPath)));
        std::vector<double> idles;
        for (const WindowRun &w : windowRuns)
            idles.push_back(w.toIdleS);
        std::vector<double> walls, cpus, afterWalkMs, firstGaps, allGaps, longest, scanWalls,
            scanCpus;
        int ticks = 0;
        const WindowRun *worst = nullptr;
        for (const WindowRun &w : windowRuns) {
            walls.push_back(w.wallS);
            cpus.push_back(w.cpuS);
            afterWalkMs.push_back((w.wallS - w.toFillS) * 1000);
            firstGaps.push_back(w.firstGapMs);
            allGaps.insert(allGaps.end(), w.gapsMs.begin(), w.gapsMs.end());
            longest.push_back(w.longestMs);
            if (!worst || w.longestMs > worst->longestMs)
                worst = &w;
            ticks += w.ticks;
            if (!w.ok) {
                checks.append(
                    QStringLiteral("FAIL  a window scan left no records or an empty list"));
                exitCode = 1;
            }
            const bool totalOk = qint64(w.total) == totalWanted;
            const bool foldersOk = w.folders == foldersWanted;
            if (!totalOk || !foldersOk)
                exitCode = 1;
            if (&w == &windowRuns.front() || !totalOk || !foldersOk) {
                checks.append(QStringLiteral("%1  the window's total %2 B, manifest %3 B")
                                  .arg(totalOk ? QStringLiteral("ok  ") : QStringLiteral("FAIL"),
                                       Thousands(qint64(w.total)), Thousands(totalWanted)));
                checks.append(QStringLiteral("%1  %2 folder records, manifest %3 folders")
                                  .arg(foldersOk ? QStringLiteral("ok  ") : QStringLiteral("FAIL"),
                                       Thousands(w.folders), Thousands(foldersWanted)));
            }
        }
        for (const ChildRun &c : scanRuns) {
            if (c.status != 0) {
                checks.append(QStringLiteral("FAIL  quarnel-scan exited %1").arg(c.status));
                exitCode = 1;
                continue;
            }
            scanWalls.push_back(c.wallS);
            scanCpus.push_back(c.cpuS);
        }
        const double wall = Median(walls);
        const double scanWall = Median(scanWalls);
        const double ratio = scanWall > 0 ? wall / scanWall : 0;
        const double longestOf = worst->longestMs;
        const double endS = worst->longestAtS;
        const QString phase =
            worst->longestMs == worst->firstGapMs && endS * 1000 <= worst->firstGapMs + 1e-6
                ? QStringLiteral("the first gap, from the call to the first tick")
            : endS > worst->wallS ? QStringLiteral("after driveCommand returned")
            : endS - longestOf / 1000 > worst->toFillS
                ? QStringLiteral("in the fill and sort after the walk")
                : QStringLiteral("during the walk");
        const auto row = [](const QString &label, const QString &a, const QString &b,
                            const QString &c) {
            Print(QStringLiteral("  %1 %2 %3   %4").arg(label, -36).arg(a, 8).arg(b, 8).arg(c));
        };
        Print();
        row({}, QStringLiteral("wall s"), QStringLiteral("CPU s"), QStringLiteral("runs"));
        row(QStringLiteral("window, driveCommand(0)"), QString::number(wall, 'f', 3),
            QString::number(Median(cpus), 'f', 3), Series(walls, 3));
        row(QStringLiteral("  of which the fill after the walk, ms"), Ms(Median(afterWalkMs)), {},
            Series(afterWalkMs, 1));
        row(QStringLiteral("  to an idle process (no thread at work)"),
            QString::number(Median(idles), 'f', 3), {}, Series(idles, 3));
        row(QStringLiteral("quarnel-scan"), QString::number(scanWall, 'f', 3),
            QString::number(Median(scanCpus), 'f', 3), Series(scanWalls, 3));
        const double idleRatio = scanWall > 0 ? Median(idles) / scanWall : 0;
        Print(QStringLiteral("  ratio window / quarnel-scan (medians): %1; to idle: %2")
                  .arg(ratio, 0, 'f', 2)
                  .arg(idleRatio, 0, 'f', 2));
        Print(QStringLiteral("  event loop: %1 ticks; gap between ticks p99 %2 ms, longest %3 ms")
                  .arg(ticks)
                  .arg(Ms(Percentile(allGaps, 0.99)), Ms(longestOf)));
        Print(QStringLiteral(
                  "    longest gap ended %1 s into the pick, %2; the window's thread ran "
                  "%3 ms of it and was preempted %4 times (the rest it waited: for a core, "
                  "or on another thread)")
                  .arg(endS, 0, 'f', 3)
                  .arg(phase, Ms(worst->longestCpuMs))
                  .arg(worst->longestPreempted));
        Print(QStringLiteral("    first gap, from the call to the first tick (ms): ") +
              Series(firstGaps, 1));
        if (windowRuns.size() > 1)
            Print(QStringLiteral("    longest gap per run (ms): ") + Series(longest, 1));
        targets.push_back({QStringLiteral("longest event-loop stall, scan"),
                           Ms(longestOf) + QStringLiteral(" ms"),
                           QStringLiteral("<= %1 ms").arg(StallTargetMs),
                           longestOf <= StallTargetMs});
        targets.push_back({QStringLiteral("wall, window / quarnel-scan"),
                           QString::number(ratio, 'f', 2), QStringLiteral("<= %1").arg(RatioTarget),
                           ratio > 0 && ratio <= RatioTarget});
        targets.push_back({QStringLiteral("key press to idle, window / quarnel-scan"),
                           QString::number(idleRatio, 'f', 2),
                           QStringLiteral("<= %1").arg(IdleRatioTarget),
                           idleRatio > 0 && idleRatio <= IdleRatioTarget});
    }

    if (args.list) {
        Print();
        Print(QStringLiteral("list of one folder: WIDE = %1 (%2 rows, %3 B), %4 runs per case, "
                             "median ms")
                  .arg(args.wide, Thousands(list.rows), Thousands(qint64(list.folderTotal)))
                  .arg(args.reps));
        const double fill = Median(list.fillMs);
        const double first = Median(list.firstSortMs);
        // One layout for every row: label, median, then the single runs.
        const auto row = [](const QString &label, const QString &a, const QString &b) {
            Print(QStringLiteral("  %1 %2 %3").arg(label, -40).arg(a, 10).arg(b, 11));
        };
        row(QStringLiteral("collation rules, once (a worker's)"), Ms(list.prepareMs), QString());
        row(QStringLiteral("fill, on a fresh model"), Ms(fill),
            QStringLiteral("   runs ") + Series(list.fillMs, 1));
        row(QStringLiteral("first sort after a fill (name, ranks)"), Ms(first),
            QStringLiteral("   runs ") + Series(list.firstSortMs, 1));
        row(QStringLiteral("later sorts, from an unrelated order"), QStringLiteral("ascending"),
            QStringLiteral("descending"));
        double worst = 0;
        QString worstCase;
        static const char *const ColumnNames[] = {"name", "size", "percent", "date"};
        for (int column = 0; column < DirListModel::ColumnCount; ++column) {
            const double up = Median(list.sortMs[column][0]);
            const double down = Median(list.sortMs[column][1]);
            row(QStringLiteral("  ") + QLatin1StringView(ColumnNames[column]), Ms(up), Ms(down));
            for (int d = 0; d < 2; ++d) {
                const double v = d ? down : up;
                if (v > worst) {
                    worst = v;
                    worstCase = QLatin1StringView(ColumnNames[column]) +
                                (d ? QStringLiteral(" descending") : QStringLiteral(" ascending"));
                }
            }
        }
        const WindowRun &w = list.window;
        Print(QStringLiteral("  in a window: pick of WIDE %1 ms, of which the fill and sort after "
                             "the walk %2 ms; longest event-loop gap %3 ms")
                  .arg(Ms(w.wallS * 1000), Ms((w.wallS - w.toFillS) * 1000), Ms(w.longestMs)));
        const double expandLongest =
            *std::max_element(list.expandLongestMs.begin(), list.expandLongestMs.end());
        Print(QStringLiteral("  in the folder tree: WIDE-tree (%1 folders, the rest of its 100,000 "
                             "entries links to WIDE's files) opened, listed after %2 ms (median); "
                             "longest event-loop gap %3 ms, runs %4")
                  .arg(Thousands(TreeFolders), Ms(Median(list.expandListedMs)), Ms(expandLongest),
                       Series(list.expandLongestMs, 1)));
        targets.push_back({QStringLiteral("longest event-loop stall, tree expansion"),
                           Ms(expandLongest) + QStringLiteral(" ms"),
                           QStringLiteral("<= %1 ms").arg(ExpandStallTargetMs),
                           expandLongest <= ExpandStallTargetMs});
        targets.push_back({QStringLiteral("fill"), Ms(fill) + QStringLiteral(" ms"),
                           QStringLiteral("<= %1 ms").arg(FillTargetMs), fill <= FillTargetMs});
        targets.push_back({QStringLiteral("first sort after a fill"),
                           Ms(first) + QStringLiteral(" ms"),
                           QStringLiteral("<= %1 ms").arg(SortTargetMs), first <= SortTargetMs});
        targets.push_back({QStringLiteral("sort, worst later case (") + worstCase + u')',
                           Ms(worst) + QStringLiteral(" ms"),
                           QStringLiteral("<= %1 ms").arg(SortTargetMs), worst <= SortTargetMs});
    }

    if (args.map)
        ReportMap(args.tree, map, targets);
    if (args.find)
        ReportFind(args.tree, find, targets);

    Print();
    Print(QStringLiteral("targets"));
    for (const Target &t : targets)
        Print(QStringLiteral("  %1  %2 %3 %4")
                  .arg(t.pass ? QStringLiteral("PASS") : QStringLiteral("FAIL"))
                  .arg(t.name, -42)
                  .arg(t.figure, 10)
                  .arg(t.limit));
    if (!checks.isEmpty()) {
        Print();
        Print(QStringLiteral("correctness of the window's scan"));
        for (const QString &c : checks)
            Print(QStringLiteral("  ") + c);
    }
    return exitCode;
}
