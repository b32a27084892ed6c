#include "HistoryError.h"

HistoryError HistoryError::FromSqlite(int code, const QString &message)
{
    // The primary result codes (sqlite3.h): the driver hands over no extended ones.
    switch (code & 0xFF) {
    case 0:   // SQLITE_OK
    case 100: // SQLITE_ROW
    case 101: // SQLITE_DONE
        return {};
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return {Kind::Locked, message};
    case 8: // SQLITE_READONLY
        return {Kind::ReadOnly, message};
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return {Kind::Damaged, message};
    case 13: // SQLITE_FULL
        return {Kind::DiskFull, message};
    case 14: // SQLITE_CANTOPEN
        return {Kind::CannotOpen, message};
    default:
        return {Kind::Other, message};
    }
}

QString HistoryError::describe() const
{
    const char *what = "";
    switch (m_kind) {
    case Kind::None:
        return {};
    case Kind::NoDriver:
        what = "the SQLite driver of Qt is not installed (libqt6sql6-sqlite)";
        break;
    case Kind::CannotOpen:
        what = "the history file cannot be opened";
        break;
    case Kind::Damaged:
        what = "the history file is damaged; it was left as it is";
        break;
    case Kind::Locked:
        what = "the history file is in use by another program";
        break;
    case Kind::ReadOnly:
        what = "the history file or its folder cannot be written";
        break;
    case Kind::DiskFull:
        what = "the disk holding the history file is full";
        break;
    case Kind::TooNew:
        what = "the history file was written by a newer version of Quarnel";
        break;
    case Kind::NoDate:
        what = "the saved scan does not say when it was made";
        break;
    case Kind::NotFound:
        what = "the history holds no such folder or walk";
        break;
    case Kind::Other:
        what = "the history file could not be used";
        break;
    }
    QString text = QLatin1StringView(what);
    if (!m_message.isEmpty())
        text += QStringLiteral(" (") + m_message + QLatin1Char(')');
    return text;
}
