#pragma once

#include <QString>

#include <utility>

// What went wrong with the history file, in words a person can act on, with SQLite's own
// message behind it. Every operation of HistoryDatabase answers with one; none throws.
class HistoryError
{
public:
    enum class Kind {
        None,
        NoDriver,   // Qt's SQLite driver is not installed
        CannotOpen, // the file or its folder cannot be made or opened
        Damaged,    // not a database, or a damaged one: left in place until reset()
        Locked,     // another program held it longer than the wait allows
        ReadOnly,   // the file or its folder cannot be written
        DiskFull,
        TooNew,   // written by a newer version of the program
        NoDate,   // a saved scan that says nothing of when it was made
        NotFound, // no such volume, walk or folder in the history
        Other,
    };

    HistoryError() = default;
    HistoryError(Kind kind, QString message = {})
        : m_kind(kind)
        , m_message(std::move(message))
    {}
    // From SQLite's primary result code and message, as Qt's driver hands them over.
    static HistoryError FromSqlite(int code, const QString &message);

    Kind kind() const { return m_kind; }
    bool ok() const { return m_kind == Kind::None; }
    explicit operator bool() const { return !ok(); } // true when something went wrong
    // SQLite's message, or the system's; may be empty.
    const QString &message() const { return m_message; }
    // For a person, in English as the tool speaks: "the history file is damaged (file is not a
    // database)".
    QString describe() const;

private:
    Kind m_kind = Kind::None;
    QString m_message;
};
