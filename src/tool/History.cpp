#include "History.h"

#include "DriveScan.h"
#include "HistoryCsv.h"
#include "HistoryDatabase.h"

#include <QFile>

#include <cstdio>

namespace {

void Say(const QString &text)
{
    std::fprintf(stderr, "quarnel-scan: %s\n", qPrintable(text));
}

} // namespace

bool RecordInHistory(const DriveScan &scan, qint64 date)
{
    HistoryDatabase history;
    const QString where = history.file();
    const HistoryError error =
        scan.origin()
            ? history.addSavedScan(scan)
            : history.record(scan, VolumeIdentity::OfWalkedFolder(scan.rootPath(), scan.device()),
                             date);
    if (error) {
        Say(QStringLiteral("not recorded in the history %1: %2").arg(where, error.describe()));
        return false;
    }
    Say(QStringLiteral("recorded in the history %1").arg(where));
    return true;
}

int ExportHistory(const Arguments &args)
{
    HistoryDatabase history;
    std::vector<HistoryDatabase::Volume> volumes;
    HistoryError error = history.volumes(volumes);
    if (!error && !args.root.isEmpty()) {
        // Every folder walked on the volume holding ROOT, wherever it was mounted then.
        const VolumeIdentity identity = VolumeIdentity::OfWalkedFolder(args.root);
        if (identity.isNull()) {
            Say(QStringLiteral("cannot read %1").arg(QString::fromLocal8Bit(args.root)));
            return 2;
        }
        std::erase_if(volumes, [&](const HistoryDatabase::Volume &volume) {
            return volume.volumeKey != identity.volumeKey();
        });
    }
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly)) {
        Say(QStringLiteral("cannot write to standard output"));
        return 1;
    }
    for (size_t i = 0; i < volumes.size() && !error; ++i)
        error = history.exportCsv(volumes[i].id, out, i == 0);
    if (!error && volumes.empty()) {
        out.write(HistoryCsv::Header);
        Say(QStringLiteral("the history %1 holds no walk of %2")
                .arg(history.file(), args.root.isEmpty() ? QStringLiteral("any folder")
                                                         : QStringLiteral("the volume holding ") +
                                                               QString::fromLocal8Bit(args.root)));
    }
    if (error) {
        Say(QStringLiteral("cannot read the history %1: %2").arg(history.file(), error.describe()));
        return 1;
    }
    return 0;
}
