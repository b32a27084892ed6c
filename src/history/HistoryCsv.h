#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The pieces of the history's CSV lines (RFC 4180): fields joined by commas, lines ended by CRLF,
// a field holding a comma, a double quote, CR or LF quoted with its quotes doubled.
class HistoryCsv
{
public:
    // The first line: the names of the columns.
    static constexpr const char *Header = "date,path,apparent,on disk,files,folders\r\n";

    // Appends one field, after a comma unless it starts the line.
    static void appendField(QByteArray &line, QByteArrayView field, bool first = false);
    // A path as text: its bytes as they are where they are valid UTF-8, escaped as quarnel-scan
    // escapes paths where not (see EscapePath).
    static QByteArray pathText(QByteArrayView path);
    // Seconds since the epoch as "2024-05-01T12:00:00Z".
    static QByteArray dateText(qint64 seconds);
};
