#include "Output.h"

#include "DriveScan.h"
#include "PathEscape.h"
#include "SavedOutput.h"
#include "ScanExport.h"

#include <QByteArray>

#include <cstdio>

namespace {

// Written out in pieces: enough for few system calls, small beside the records, which are all
// in memory when the lines are made.
constexpr qsizetype OutputPiece = 64 * 1024;

void PrintRecords(const DriveScan &scan, bool diskUsage)
{
    const qsizetype rootLength = scan.rootPath().size();
    QByteArray out;
    out.reserve(OutputPiece);
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
        if (out.size() > OutputPiece - 8192) {
            std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
            out.resize(0); // keeps the room
        }
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
}

} // namespace

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
