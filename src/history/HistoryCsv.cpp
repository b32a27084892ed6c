#include "HistoryCsv.h"

#include "PathEscape.h"

#include <QDateTime>

void HistoryCsv::appendField(QByteArray &line, QByteArrayView field, bool first)
{
    if (!first)
        line += ',';
    const bool quoted =
        field.contains(',') || field.contains('"') || field.contains('\r') || field.contains('\n');
    if (!quoted) {
        line += field;
        return;
    }
    line += '"';
    for (const char c : field) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

QByteArray HistoryCsv::pathText(QByteArrayView path)
{
    return EscapePath(path);
}

QByteArray HistoryCsv::dateText(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(Qt::ISODate).toLatin1();
}
