#include "Output.h"

#include "DriveScan.h"
#include "PathEscape.h"
#include "SavedOutput.h"
#include "ScanExport.h"

#include <QByteArray>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

namespace {

// Written out in pieces: enough for few system calls, small beside the records, which are all
// in memory when the lines are made.
constexpr qsizetype OutputPiece = 64 * 1024;

// Printable ASCII but the backslash: what nearly every name is, and what escaping leaves alone.
bool Plain(QByteArrayView name)
{
    return std::ranges::all_of(name, [](char c) { return c >= 0x20 && c < 0x7F && c != '\\'; });
}

void AppendNumber(QByteArray &out, quint64 value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits);
}

// One line per folder, in the records' order. Each path is put together from its folders' names,
// escaped one at a time (no escape takes in a "/"), without a string made for each: the lines of
// a large volume take as long to print as a good part of its walk otherwise.
void PrintRecords(const DriveScan &scan, bool diskUsage)
{
    QByteArray out;
    out.reserve(OutputPiece);
    std::vector<QByteArrayView> names; // from the folder up, the root left out
    for (qsizetype i = 0; i < scan.count(); ++i) {
        const auto id = WalkSink::FolderId(i);
        names.clear();
        for (auto at = id; scan.parentOf(at) != WalkSink::NoFolder; at = scan.parentOf(at))
            names.push_back(scan.nameOf(at));
        if (names.empty())
            out += '.';
        for (auto name = names.rbegin(); name != names.rend(); ++name) {
            if (name != names.rbegin())
                out += '/';
            if (Plain(*name))
                out += *name;
            else
                out += EscapePath(*name);
        }
        out += '\t';
        AppendNumber(out, diskUsage ? scan.allocatedOf(id) : scan.sizeOf(id));
        out += '\t';
        AppendNumber(out, scan.fileCountOf(id));
        out += '\t';
        AppendNumber(out, scan.subfolderEntriesOf(id));
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
