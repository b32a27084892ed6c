#include "HistoryTexts.h"

#include "FormatText.h"
#include "TextTable.h"

#include <QDateTime>
#include <QDir>

QString HistoryErrorText(const HistoryError &error, const QString &file)
{
    using Kind = HistoryError::Kind;
    const QString shown = QDir::toNativeSeparators(file);
    switch (error.kind()) {
    case Kind::None:
        return {};
    case Kind::NoDriver:
        return Text(TextId::HistoryNoDriver);
    case Kind::CannotOpen:
        return FormatText(Text(TextId::HistoryCannotOpen), shown);
    case Kind::Damaged:
        return FormatText(Text(TextId::HistoryDamaged), shown);
    case Kind::Locked:
        return FormatText(Text(TextId::HistoryLocked), shown);
    case Kind::ReadOnly:
        return FormatText(Text(TextId::HistoryReadOnly), shown);
    case Kind::DiskFull:
        return FormatText(Text(TextId::HistoryDiskFull), shown);
    case Kind::TooNew:
        return FormatText(Text(TextId::HistoryTooNew), shown);
    case Kind::NoDate:
        return Text(TextId::HistoryNoDate);
    case Kind::NotFound:
    case Kind::Other:
        break;
    }
    // SQLite's own words: nothing closer to say.
    return FormatText(Text(TextId::HistoryOther), shown, error.message());
}

QString WalkDateText(qint64 secondsSinceEpoch)
{
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch)
        .toString(QStringLiteral("dd/MM/yyyy HH:mm"));
}
