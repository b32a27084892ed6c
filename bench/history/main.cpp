// quarnel-bench-history: what the history costs on a volume of 50,000 folders (records made
// directly, no disk walked): recording a walk into a new file and into one that holds it already,
// then 100 walks in each of which 1 % of the folders change, the file's size after them, and the
// reading of one folder's values over those walks and of two walks' growth. Medians of repeated
// runs; the file lives in a temporary folder.
#include "DriveScan.h"
#include "HistoryDatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int Folders = 50000;
constexpr int WideFolders = 5000; // the subfolders of one folder, for the growth of a wide one
constexpr int FilesPerFolder = 8;
constexpr int Walks = 100;

// Folder 0 is the root, 1 the wide folder with WideFolders subfolders; the rest hang eight to a
// folder below folder 2, some levels deep. `extra` is added to each folder's first file.
std::unique_ptr<DriveScan> MakeScan(const std::vector<quint64> &extra)
{
    auto scan = std::make_unique<DriveScan>("/bench/"_ba);
    std::vector<WalkSink::FolderId> ids(Folders);
    FileRecordWriter files;
    for (int i = 0; i < Folders; ++i) {
        const int parent = i == 0 ? -1 : i <= 2 ? 0 : i < 2 + WideFolders ? 1 : 2 + (i - 2) / 8;
        const QByteArray name = i == 0 ? "/bench/"_ba : "folder-" + QByteArray::number(i);
        ids[size_t(i)] = scan->openedFolder(parent < 0 ? WalkSink::NoFolder : ids[size_t(parent)],
                                            name, 1700000000 + i, 0, quint64(i + 1));
    }
    for (int i = Folders - 1; i >= 0; --i) {
        files.clear();
        quint64 bytes = 0;
        for (int f = 0; f < FilesPerFolder; ++f) {
            const quint64 size =
                quint64((i * 7919 + f * 104729) % 100000) + (f == 0 ? extra[size_t(i)] : 0);
            files.add("file-" + QByteArray::number(f) + ".dat", size, 1700000000 + f,
                      (size + 4095) / 4096 * 4096);
            bytes += size;
        }
        scan->listedFolder(ids[size_t(i)], files, CountedBytes(bytes, bytes), 0);
    }
    return scan;
}

double Ms(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool Check(const HistoryError &error, const char *what)
{
    if (error)
        std::fprintf(stderr, "%s: %s\n", what, qPrintable(error.describe()));
    return !error;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    VolumeIdentity identity =
        VolumeIdentity::FromTables("/bench", 0, "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n", {});
    std::vector<quint64> extra(Folders);
    const auto first = MakeScan(extra);

    std::vector<double> fresh, again;
    for (int run = 0; run < 5; ++run) {
        HistoryDatabase history(dir.filePath(QStringLiteral("fresh-%1.sqlite").arg(run)));
        QElapsedTimer timer;
        timer.start();
        if (!Check(history.record(*first, identity, 1000 + run), "record"))
            return 1;
        fresh.push_back(Ms(timer));
        timer.restart();
        if (!Check(history.record(*first, identity, 2000 + run), "record"))
            return 1;
        again.push_back(Ms(timer));
    }
    std::printf("record, 50,000 folders, new file:      %.1f ms (median of 5)\n", Median(fresh));
    std::printf("record, 50,000 folders, none changed:  %.1f ms\n", Median(again));

    const QString file = dir.filePath(QStringLiteral("walks.sqlite"));
    std::mt19937 random(42);
    std::vector<double> changed;
    {
        HistoryDatabase history(file);
        for (int walk = 0; walk < Walks; ++walk) {
            for (int n = 0; n < Folders / 100; ++n)
                extra[random() % Folders] += 4096 + random() % 100000;
            const auto scan = MakeScan(extra);
            QElapsedTimer timer;
            timer.start();
            if (!Check(history.record(*scan, identity, 100000 + walk * 86400), "record"))
                return 1;
            if (walk > 0)
                changed.push_back(Ms(timer));
        }
    }
    std::printf("record, 1 %% of the folders changed:    %.1f ms (median of %d)\n", Median(changed),
                Walks - 1);
    const qint64 bytes = QFileInfo(file).size() + QFileInfo(file + QStringLiteral("-wal")).size();
    std::printf("file after %d walks:                   %.1f MB\n", Walks, double(bytes) / 1e6);

    HistoryDatabase history(file);
    std::vector<HistoryDatabase::Volume> volumes;
    std::vector<HistoryDatabase::Walk> walks;
    if (!Check(history.volumes(volumes), "volumes") ||
        !Check(history.walks(volumes.front().id, walks), "walks"))
        return 1;
    const qint64 volume = volumes.front().id;
    std::vector<double> seriesMs, rootGrowthMs, wideGrowthMs;
    std::vector<HistoryDatabase::Value> values;
    std::vector<HistoryDatabase::Growth> growth;
    for (int run = 0; run < 9; ++run) {
        QElapsedTimer timer;
        timer.start();
        if (!Check(history.series(volume, "folder-2/", values), "series"))
            return 1;
        seriesMs.push_back(Ms(timer));
        timer.restart();
        if (!Check(history.growth(volume, "", walks.front().id, walks.back().id,
                                  SizeMeasure::Apparent, growth),
                   "growth"))
            return 1;
        rootGrowthMs.push_back(Ms(timer));
        timer.restart();
        if (!Check(history.growth(volume, "folder-1/", walks.front().id, walks.back().id,
                                  SizeMeasure::OnDisk, growth),
                   "growth"))
            return 1;
        wideGrowthMs.push_back(Ms(timer));
    }
    std::printf("series of one folder over %zu walks:   %.2f ms (%zu points)\n", walks.size(),
                Median(seriesMs), values.size());
    std::printf("growth of the root, first to last:     %.2f ms\n", Median(rootGrowthMs));
    std::printf("growth of a folder of %d subfolders: %.1f ms (%zu rows)\n", WideFolders,
                Median(wideGrowthMs), growth.size());
    return 0;
}
