#include "Output.h"

#include "DriveScan.h"
#include "PathEscape.h"
#include "SavedOutput.h"
#include "ScanExport.h"

#include <QByteArray>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Written out in pieces: enough for few system calls, small beside the records, which are all
// in memory when the lines are made.
constexpr size_t OutputPiece = 64 * 1024;

// Printable ASCII but the backslash: what nearly every name is, and what escaping leaves alone.
bool Plain(QByteArrayView name)
{
    return std::ranges::all_of(name, [](char c) { return c >= 0x20 && c < 0x7F && c != '\\'; });
}

// Lines are made straight into the piece to be written, with no string between: on a large
// volume they would otherwise take a good part of the walk's own time, after it.
class LineWriter
{
public:
    LineWriter()
        : m_piece(OutputPiece)
    {}
    ~LineWriter() { flush(); }
    LineWriter(const LineWriter &) = delete;
    LineWriter &operator=(const LineWriter &) = delete;

    void add(char c)
    {
        room(1);
        m_piece[m_used++] = c;
    }
    void add(QByteArrayView bytes)
    {
        // A name, or its escape: far smaller than a piece, whatever the path's depth.
        room(size_t(bytes.size()));
        std::memcpy(m_piece.data() + m_used, bytes.data(), size_t(bytes.size()));
        m_used += size_t(bytes.size());
    }
    void add(quint64 value)
    {
        room(20);
        char *at = m_piece.data() + m_used;
        m_used += size_t(std::to_chars(at, at + 20, value).ptr - at);
    }

private:
    void room(size_t bytes)
    {
        if (m_used + bytes > m_piece.size())
            flush();
        if (bytes > m_piece.size())
            m_piece.resize(bytes);
    }
    void flush()
    {
        std::fwrite(m_piece.data(), 1, m_used, stdout);
        m_used = 0;
    }

    std::vector<char> m_piece;
    size_t m_used = 0;
};

// One line per folder, in the records' order. Each path is put together from its folders' names,
// escaped one at a time (no escape takes in a "/").
void PrintRecords(const DriveScan &scan, bool diskUsage)
{
    LineWriter out;
    // Whether each folder's name needs escaping, found once: it is written in every line below it.
    std::vector<bool> plain(size_t(scan.count()));
    for (qsizetype i = 0; i < scan.count(); ++i)
        plain[size_t(i)] = Plain(scan.nameOf(WalkSink::FolderId(i)));
    std::vector<WalkSink::FolderId> chain; // from the folder up, the root left out
    for (qsizetype i = 0; i < scan.count(); ++i) {
        const auto id = WalkSink::FolderId(i);
        chain.clear();
        for (auto at = id, up = scan.parentOf(at); up != WalkSink::NoFolder;
             at = up, up = scan.parentOf(at))
            chain.push_back(at);
        if (chain.empty())
            out.add('.');
        for (auto folder = chain.rbegin(); folder != chain.rend(); ++folder) {
            if (folder != chain.rbegin())
                out.add('/');
            const QByteArrayView name = scan.nameOf(*folder);
            if (plain[*folder])
                out.add(name);
            else
                out.add(QByteArrayView(EscapePath(name)));
        }
        out.add('\t');
        out.add(diskUsage ? scan.allocatedOf(id) : scan.sizeOf(id));
        out.add('\t');
        out.add(quint64(scan.fileCountOf(id)));
        out.add('\t');
        out.add(quint64(scan.subfolderEntriesOf(id)));
        out.add('\n');
    }
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
