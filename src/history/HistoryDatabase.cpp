#include "HistoryDatabase.h"

#include "DriveScan.h"
#include "FileSystem.h"
#include "HistoryCsv.h"
#include "UniqueFd.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <queue>
#include <thread>

#include <sqlite3.h>

namespace {

using Kind = HistoryError::Kind;

constexpr int SchemaVersion = 1;

// A folder is named by its parent and its name, so that a path is stored once however many
// folders lie below it. A value row is stored at a walk only when the folder's values differ from
// what it had at the walk before (in the order of the walks' dates); a row with no bytes
// (apparent NULL) says the folder was gone then. What a walk reads of a folder is so its newest
// row at or before it. folder.last_walk points at the newest row of all, which the next walk
// compares with.
constexpr const char *Schema[] = {
    "CREATE TABLE volume ("
    " id INTEGER PRIMARY KEY,"
    " volume_key BLOB NOT NULL,"
    " path_in_volume BLOB NOT NULL,"
    " last_root BLOB NOT NULL,"
    " label BLOB NOT NULL,"
    " UNIQUE (volume_key, path_in_volume))",
    "CREATE TABLE walk ("
    " id INTEGER PRIMARY KEY,"
    " volume INTEGER NOT NULL REFERENCES volume(id) ON DELETE CASCADE,"
    " date INTEGER NOT NULL,"
    " apparent INTEGER NOT NULL, on_disk INTEGER NOT NULL,"
    " files INTEGER NOT NULL, folders INTEGER NOT NULL,"
    " complete INTEGER NOT NULL)",
    "CREATE INDEX walk_by_volume ON walk(volume, date, id)",
    "CREATE TABLE folder ("
    " id INTEGER PRIMARY KEY,"
    " volume INTEGER NOT NULL REFERENCES volume(id) ON DELETE CASCADE,"
    " parent INTEGER," // NULL at the walked root
    " name BLOB NOT NULL,"
    " last_walk INTEGER)",
    "CREATE UNIQUE INDEX folder_by_place ON folder(volume, parent, name)",
    "CREATE TABLE value ("
    " folder INTEGER NOT NULL REFERENCES folder(id) ON DELETE CASCADE,"
    " walk INTEGER NOT NULL REFERENCES walk(id) ON DELETE CASCADE,"
    " apparent INTEGER, on_disk INTEGER, files INTEGER, folders INTEGER, date INTEGER,"
    " PRIMARY KEY (folder, walk)) WITHOUT ROWID",
    "CREATE INDEX value_by_walk ON value(walk)",
    "CREATE TABLE big_file ("
    " walk INTEGER NOT NULL REFERENCES walk(id) ON DELETE CASCADE,"
    " folder INTEGER NOT NULL,"
    " name BLOB NOT NULL,"
    " apparent INTEGER NOT NULL, on_disk INTEGER NOT NULL, date INTEGER NOT NULL)",
    "CREATE INDEX big_file_by_walk ON big_file(walk)",
};

std::atomic<quint64> NextConnection{0};

// SQLite's integers are signed: a 64-bit count is stored as its bit pattern.
qint64 Stored(quint64 value)
{
    return qint64(value);
}

HistoryError ErrorOf(const QSqlError &error)
{
    bool numbered = false;
    const int code = error.nativeErrorCode().toInt(&numbered);
    const QString message = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    const HistoryError found = HistoryError::FromSqlite(numbered ? code : -1, message);
    return found.ok() ? HistoryError(Kind::Other, message) : found;
}

// A file SQLite cannot open, or a folder it cannot make it in, is most often one this user may
// not write: that says what to do about it.
HistoryError Refined(const HistoryError &error, const QString &file)
{
    if (error.kind() != Kind::CannotOpen)
        return error;
    // The folder it is in, or would be made in.
    QString place = QFileInfo(file).absolutePath();
    while (!QFileInfo::exists(place) && QFileInfo(place).absolutePath() != place)
        place = QFileInfo(place).absolutePath();
    const UniqueFd folder(
        FileSystem::OpenFolder(QFile::encodeName(place), FileSystem::FolderAccess::Hold));
    if (folder.isOpen() && !FileSystem::MayChangeFolder(folder.get()))
        return {Kind::ReadOnly, error.message()};
    const UniqueFd opened(
        FileSystem::OpenFile(QFile::encodeName(file), FileSystem::FileAccess::Write));
    if (!opened.isOpen() && (errno == EACCES || errno == EPERM || errno == EROFS))
        return {Kind::ReadOnly, error.message()};
    return error;
}

// A statement whose first error sticks: once something failed, nothing after it runs, and the
// operation answers with that first error.
class Query
{
public:
    Query(const QSqlDatabase &db, const char *sql, HistoryError &error)
        : m_query(db)
        , m_error(error)
    {
        m_query.setForwardOnly(true);
        if (m_error.ok() && !m_query.prepare(QString::fromLatin1(sql)))
            m_error = ErrorOf(m_query.lastError());
    }
    template<typename... Values> bool run(const Values &...values)
    {
        if (!m_error.ok())
            return false;
        int at = 0;
        (m_query.bindValue(at++, QVariant::fromValue(values)), ...);
        if (m_query.exec())
            return true;
        m_error = ErrorOf(m_query.lastError());
        return false;
    }
    bool next()
    {
        if (!m_error.ok())
            return false;
        if (m_query.next())
            return true;
        if (m_query.lastError().isValid())
            m_error = ErrorOf(m_query.lastError());
        return false;
    }
    qint64 integer(int column) const { return m_query.value(column).toLongLong(); }
    bool isNull(int column) const { return m_query.isNull(column); }
    QByteArray bytes(int column) const { return m_query.value(column).toByteArray(); }
    qint64 insertedId() const { return m_query.lastInsertId().toLongLong(); }
    int affected() const { return m_query.numRowsAffected(); }
    void finish() { m_query.finish(); }

private:
    QSqlQuery m_query;
    HistoryError &m_error;
};

// NULL where a value is bound.
struct Null
{
};

// A value written into a statement's text: a number, bytes, or NULL.
struct Literal
{
    Literal(qint64 value)
        : number(value)
    {}
    Literal(QByteArrayView value)
        : bytes(value)
        , isBytes(true)
    {}
    Literal(std::nullptr_t)
        : isNull(true)
    {}
    qint64 number = 0;
    QByteArrayView bytes;
    bool isBytes = false;
    bool isNull = false;
};

// Rows inserted through SQLite's own prepared statement, bound and stepped one by one: Qt's
// driver takes longer to bind a value than SQLite takes to store it, and the first walk of a
// volume of 50,000 folders inserts 100,000 rows. Each row is in the file once added, so a row
// another refers to is met before it. Runs on the connection's handle, inside its transaction.
class Rows
{
public:
    Rows(const QSqlDatabase &db, const char *table, HistoryError &error)
        : m_handle(HandleOf(db))
        , m_table(table)
        , m_error(error)
    {
        if (!m_handle && m_error.ok())
            m_error = {Kind::NoDriver, QStringLiteral("no SQLite handle behind the connection")};
    }
    ~Rows() { sqlite3_finalize(m_statement); }
    Rows(const Rows &) = delete;
    Rows &operator=(const Rows &) = delete;

    void add(std::initializer_list<Literal> row)
    {
        if (!m_error.ok())
            return;
        if (!m_statement && !prepare(int(row.size())))
            return;
        int column = 0;
        for (const Literal &value : row) {
            ++column;
            if (value.isNull)
                sqlite3_bind_null(m_statement, column);
            else if (!value.isBytes)
                sqlite3_bind_int64(m_statement, column, value.number);
            else if (value.bytes.isEmpty()) // an empty name, not a missing one
                sqlite3_bind_zeroblob(m_statement, column, 0);
            else
                sqlite3_bind_blob(m_statement, column, value.bytes.data(), int(value.bytes.size()),
                                  SQLITE_STATIC);
        }
        if (const int result = sqlite3_step(m_statement); result != SQLITE_DONE)
            failed(result);
        sqlite3_reset(m_statement);
    }

private:
    static sqlite3 *HandleOf(const QSqlDatabase &db)
    {
        const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
            return nullptr;
        return *static_cast<sqlite3 *const *>(handle.constData());
    }
    bool prepare(int columns)
    {
        QByteArray sql = "INSERT INTO " + m_table + " VALUES (?";
        for (int column = 1; column < columns; ++column)
            sql += ",?";
        sql += ')';
        if (const int result = sqlite3_prepare_v2(m_handle, sql.constData(), int(sql.size()),
                                                  &m_statement, nullptr);
            result != SQLITE_OK) {
            failed(result);
            return false;
        }
        return true;
    }
    void failed(int result)
    {
        m_error = HistoryError::FromSqlite(result, QString::fromUtf8(sqlite3_errmsg(m_handle)));
        if (m_error.ok())
            m_error = {Kind::Other, QString::fromUtf8(sqlite3_errmsg(m_handle))};
    }

    sqlite3 *m_handle;
    QByteArray m_table;
    HistoryError &m_error;
    sqlite3_stmt *m_statement = nullptr;
};

// One transaction; rolled back unless committed.
class Transaction
{
public:
    Transaction(const QSqlDatabase &db, HistoryError &error, bool writes)
        : m_db(db)
        , m_error(error)
    {
        // A writer takes the write lock at once: one that first read could not wait for it.
        QSqlQuery begin(m_db);
        if (m_error.ok() && !begin.exec(QLatin1StringView(writes ? "BEGIN IMMEDIATE" : "BEGIN")))
            m_error = ErrorOf(begin.lastError());
        m_open = m_error.ok();
    }
    ~Transaction()
    {
        if (m_open) {
            QSqlQuery rollback(m_db);
            rollback.exec(QStringLiteral("ROLLBACK"));
        }
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    HistoryError commit()
    {
        if (m_open && m_error.ok()) {
            QSqlQuery commit(m_db);
            if (commit.exec(QStringLiteral("COMMIT")))
                m_open = false;
            else
                m_error = ErrorOf(commit.lastError());
        }
        return m_error;
    }

private:
    QSqlDatabase m_db;
    HistoryError &m_error;
    bool m_open = false;
};

// A folder's values at one walk; `gone` when it did not exist then.
struct Values
{
    qint64 apparent = 0;
    qint64 onDisk = 0;
    qint64 files = 0;
    qint64 folders = 0;
    qint64 date = 0;
    bool gone = true;

    bool operator==(const Values &) const = default;
};

Values ValuesAt(const Query &query, int first)
{
    Values values;
    values.gone = query.isNull(first);
    if (!values.gone) {
        values.apparent = query.integer(first);
        values.onDisk = query.integer(first + 1);
        values.files = query.integer(first + 2);
        values.folders = query.integer(first + 3);
        values.date = query.integer(first + 4);
    }
    return values;
}

void StoreValues(Rows &insert, qint64 folder, qint64 walk, const Values &values)
{
    if (values.gone)
        insert.add({folder, walk, nullptr, nullptr, nullptr, nullptr, nullptr});
    else
        insert.add({folder, walk, values.apparent, values.onDisk, values.files, values.folders,
                    values.date});
}

HistoryDatabase::Value PublicValue(const Values &values, qint64 walk, qint64 walkDate)
{
    HistoryDatabase::Value value;
    value.walk = walk;
    value.walkDate = walkDate;
    value.apparent = quint64(values.apparent);
    value.onDisk = quint64(values.onDisk);
    value.files = quint64(values.files);
    value.folders = quint64(values.folders);
    value.date = values.date;
    return value;
}

// What a walk recorded, read from the records before the file is touched: every folder in
// record order (a parent before its subfolders) with its totals, and the biggest files.
struct Walked
{
    struct BigFile
    {
        qsizetype folder; // position in `folders`
        QByteArrayView name;
        quint64 apparent;
        quint64 onDisk;
        qint64 date;
        bool operator>(const BigFile &other) const { return apparent > other.apparent; }
    };

    std::vector<WalkSink::FolderId> folders;
    std::vector<qsizetype> parents; // positions; -1 at the root
    std::vector<Values> values;
    std::vector<BigFile> bigFiles; // biggest first
    bool complete = true;

    explicit Walked(const DriveScan &scan)
    {
        folders = scan.foldersBelow(0);
        const auto count = qsizetype(folders.size());
        std::vector<qsizetype> position(size_t(scan.count()), -1);
        parents.resize(folders.size());
        values.resize(folders.size());
        std::priority_queue<BigFile, std::vector<BigFile>, std::greater<>> biggest;
        for (qsizetype i = 0; i < count; ++i) {
            const WalkSink::FolderId id = folders[size_t(i)];
            position[id] = i;
            const WalkSink::FolderId parent = i == 0 ? WalkSink::NoFolder : scan.parentOf(id);
            parents[size_t(i)] = parent == WalkSink::NoFolder ? -1 : position[parent];
            Values &v = values[size_t(i)];
            v.gone = false;
            v.apparent = Stored(scan.sizeOf(id));
            v.onDisk = Stored(scan.allocatedOf(id));
            v.files = scan.fileCountOf(id);
            v.date = scan.dateOf(id);
            FileRecordReader files = scan.filesOf(id);
            FileRecord file;
            while (files.next(file)) {
                if (!file.counted || (biggest.size() == size_t(HistoryDatabase::BigFileCount) &&
                                      file.size <= biggest.top().apparent))
                    continue;
                biggest.push({i, file.name, file.size, file.allocated, file.date});
                if (biggest.size() > size_t(HistoryDatabase::BigFileCount))
                    biggest.pop();
            }
        }
        // Files and folders below each folder, added up from the deepest.
        for (qsizetype i = count - 1; i > 0; --i) {
            Values &parent = values[size_t(parents[size_t(i)])];
            parent.files += values[size_t(i)].files;
            parent.folders += values[size_t(i)].folders + 1;
        }
        for (; !biggest.empty(); biggest.pop())
            bigFiles.push_back(biggest.top());
        std::reverse(bigFiles.begin(), bigFiles.end());
        complete = scan.unreadFolders() == 0 && scan.unreadFiles() == 0;
    }
};

// A folder of the file by its place: its parent's id (0 at the root) and its name.
struct Place
{
    qint64 parent;
    QByteArrayView name;
    bool operator==(const Place &) const = default;
};

size_t qHash(const Place &place, size_t seed = 0)
{
    return ::qHash(place.name, seed) ^ ::qHash(place.parent, seed);
}

// The folders of a volume as the file holds them, in id order, which puts a parent before its
// subfolders.
struct StoredFolder
{
    qint64 id = 0;
    qint64 parent = 0; // 0 at the root
    QByteArray name;
};

QByteArray Joined(const QByteArray &parentPath, const QByteArray &name)
{
    return name.isEmpty() ? parentPath : parentPath + name + '/';
}

} // namespace

struct HistoryDatabase::Private
{
    QString connection;
    QSqlDatabase db;
    bool open = false;

    // The volume's folders, and their paths relative to the walked root.
    HistoryError folders(qint64 volume, std::vector<StoredFolder> &out,
                         std::vector<QByteArray> &paths, QHash<qint64, qsizetype> &byId);
    // The folder at a relative path; NotFound when the history has none there.
    HistoryError folderAt(qint64 volume, QByteArrayView path, qint64 &id);
    HistoryError walkDate(qint64 volume, qint64 walk, qint64 &date);
    HistoryError removeWalk(qint64 volume, qint64 walk, qint64 date);
    // The connection's settings, and the tables of a new file.
    HistoryError startUp(int busyTimeout);
};

HistoryError HistoryDatabase::Private::folders(qint64 volume, std::vector<StoredFolder> &out,
                                               std::vector<QByteArray> &paths,
                                               QHash<qint64, qsizetype> &byId)
{
    HistoryError error;
    Query query(db, "SELECT id, parent, name FROM folder WHERE volume = ? ORDER BY id", error);
    query.run(volume);
    while (query.next()) {
        StoredFolder folder{query.integer(0), query.integer(1), query.bytes(2)};
        const auto parent = byId.constFind(folder.parent);
        paths.push_back(parent == byId.cend() ? QByteArray()
                                              : Joined(paths[size_t(*parent)], folder.name));
        byId.insert(folder.id, qsizetype(out.size()));
        out.push_back(std::move(folder));
    }
    return error;
}

HistoryError HistoryDatabase::Private::folderAt(qint64 volume, QByteArrayView path, qint64 &id)
{
    HistoryError error;
    Query root(db, "SELECT id FROM folder WHERE volume = ? AND parent IS NULL", error);
    root.run(volume);
    if (!root.next())
        return error.ok() ? HistoryError(Kind::NotFound) : error;
    id = root.integer(0);
    Query child(db, "SELECT id FROM folder WHERE volume = ? AND parent = ? AND name = ?", error);
    for (const QByteArray &name : path.toByteArray().split('/')) {
        if (name.isEmpty())
            continue;
        child.run(volume, id, name);
        if (!child.next())
            return error.ok() ? HistoryError(Kind::NotFound) : error;
        id = child.integer(0);
    }
    return error;
}

HistoryError HistoryDatabase::Private::walkDate(qint64 volume, qint64 walk, qint64 &date)
{
    HistoryError error;
    Query query(db, "SELECT date FROM walk WHERE volume = ? AND id = ?", error);
    query.run(volume, walk);
    if (!query.next())
        return error.ok() ? HistoryError(Kind::NotFound) : error;
    date = query.integer(0);
    return error;
}

// Takes a walk out so that every other walk reads what it read: the walk's rows that the next
// walk relied on (having none of its own for the folder) move to it; a gone row of the next walk
// that only said the folder went at this one goes too.
HistoryError HistoryDatabase::Private::removeWalk(qint64 volume, qint64 walk, qint64 date)
{
    HistoryError error;
    Query nextWalk(db,
                   "SELECT id FROM walk WHERE volume = ? AND (date, id) > (?, ?) "
                   "ORDER BY date, id LIMIT 1",
                   error);
    nextWalk.run(volume, date, walk);
    const qint64 next = nextWalk.next() ? nextWalk.integer(0) : 0;
    nextWalk.finish();
    if (next != 0) {
        Query(db,
              "UPDATE value SET walk = ? WHERE walk = ? AND folder NOT IN "
              "(SELECT folder FROM value WHERE walk = ?)",
              error)
            .run(next, walk, next);
        Query(db, "UPDATE folder SET last_walk = ? WHERE volume = ? AND last_walk = ?", error)
            .run(next, volume, walk);
        // Whether the folder was there at the walk before this one.
        Query(db,
              "DELETE FROM value WHERE walk = ? AND apparent IS NULL AND folder IN "
              "(SELECT folder FROM value WHERE walk = ?) AND coalesce("
              "(SELECT b.apparent IS NOT NULL FROM value b JOIN walk w ON w.id = b.walk"
              " WHERE b.folder = value.folder AND (w.date, w.id) < (?, ?)"
              " ORDER BY w.date DESC, w.id DESC LIMIT 1), 0) = 0",
              error)
            .run(next, walk, date, walk);
    }
    Query(db, "DELETE FROM value WHERE walk = ?", error).run(walk);
    Query(db, "DELETE FROM big_file WHERE walk = ?", error).run(walk);
    Query(db, "DELETE FROM walk WHERE id = ?", error).run(walk);
    // Folders whose newest row went point at their newest left; those with none left go.
    Query(db,
          "UPDATE folder SET last_walk = (SELECT v.walk FROM value v JOIN walk w ON w.id = v.walk "
          "WHERE v.folder = folder.id ORDER BY w.date DESC, w.id DESC LIMIT 1) "
          "WHERE volume = ? AND last_walk IN (?, ?)",
          error)
        .run(volume, walk, next);
    Query(db, "DELETE FROM folder WHERE volume = ? AND last_walk IS NULL", error).run(volume);
    return error;
}

QString HistoryDatabase::DefaultFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/history.sqlite");
}

HistoryDatabase::HistoryDatabase(QString file)
    : d(std::make_unique<Private>())
    , m_file(std::move(file))
{
    d->connection = QStringLiteral("quarnel-history-%1").arg(NextConnection.fetch_add(1));
}

HistoryDatabase::~HistoryDatabase()
{
    close();
}

HistoryError HistoryDatabase::open()
{
    if (d->open)
        return {};
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return {Kind::NoDriver};
    const QString folder = QFileInfo(m_file).absolutePath();
    if (!QDir().mkpath(folder))
        return Refined({Kind::CannotOpen, QStringLiteral("cannot make the folder ") + folder},
                       m_file);

    // Two programs making the file at once can find each other in the middle of turning it to
    // WAL, where SQLite answers "locked" at once rather than wait, lest they wait for each other:
    // the one told so starts again, within its wait.
    QElapsedTimer waited;
    waited.start();
    HistoryError error;
    for (;;) {
        d->db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), d->connection);
        d->db.setDatabaseName(m_file);
        error = {};
        if (!d->db.open())
            error = ErrorOf(d->db.lastError());
        if (error.ok())
            error = d->startUp(m_busyTimeout);
        if (error.kind() != Kind::Locked || waited.elapsed() >= m_busyTimeout)
            break;
        close();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (error) {
        close();
        return Refined(error, m_file);
    }
    d->open = true;
    return {};
}

HistoryError HistoryDatabase::Private::startUp(int busyTimeout)
{
    HistoryError error;
    const QByteArray timeout = "PRAGMA busy_timeout = " + QByteArray::number(busyTimeout);
    // A walk's rows and their indexes fit in the page cache: none is written out twice.
    for (const char *pragma : {timeout.constData(), "PRAGMA foreign_keys = ON",
                               "PRAGMA synchronous = NORMAL", "PRAGMA cache_size = -32768"})
        Query(db, pragma, error).run();
    Query version(db, "PRAGMA user_version", error);
    version.run();
    qint64 found = version.next() ? version.integer(0) : 0;
    version.finish();
    if (error.ok() && found == 0) {
        // A new file: WAL lets the window read while the tool records. Both may make it at once,
        // so the version is asked again under the write lock.
        Query(db, "PRAGMA journal_mode = WAL", error).run();
        Transaction making(db, error, true);
        Query again(db,
                    "SELECT (SELECT user_version FROM pragma_user_version),"
                    " (SELECT count(*) FROM sqlite_master)",
                    error);
        again.run();
        if (again.next()) {
            found = again.integer(0);
            if (found == 0 && again.integer(1) > 0)
                error = {Kind::Damaged, QStringLiteral("not a history file of Quarnel")};
        }
        again.finish();
        if (found == 0) {
            for (const char *statement : Schema)
                Query(db, statement, error).run();
            Query(db,
                  QByteArray("PRAGMA user_version = " + QByteArray::number(SchemaVersion))
                      .constData(),
                  error)
                .run();
            found = SchemaVersion;
        }
        making.commit();
    }
    if (error.ok() && found > SchemaVersion)
        error = {Kind::TooNew};
    return error;
}

void HistoryDatabase::close()
{
    d->open = false;
    if (!d->db.isValid())
        return;
    d->db.close();
    d->db = QSqlDatabase();
    QSqlDatabase::removeDatabase(d->connection);
}

HistoryError HistoryDatabase::record(const DriveScan &scan, const VolumeIdentity &identity,
                                     qint64 date, qint64 *walkId)
{
    if (identity.isNull() || scan.count() == 0)
        return {Kind::Other, QStringLiteral("no walked folder to record")};
    HistoryError error = open();
    if (error)
        return error;
    const Walked walked(scan);
    const QSqlDatabase &db = d->db;
    Transaction transaction(db, error, true);

    Query(db,
          "INSERT INTO volume (volume_key, path_in_volume, last_root, label) VALUES (?, ?, ?, ?) "
          "ON CONFLICT (volume_key, path_in_volume) DO UPDATE SET last_root = excluded.last_root, "
          "label = excluded.label",
          error)
        .run(identity.volumeKey(), identity.pathInVolume(), identity.rootPath(), identity.label());
    Query findVolume(db, "SELECT id FROM volume WHERE volume_key = ? AND path_in_volume = ?",
                     error);
    findVolume.run(identity.volumeKey(), identity.pathInVolume());
    const qint64 volume = findVolume.next() ? findVolume.integer(0) : 0;
    findVolume.finish();

    const Values &root = walked.values.front();
    Query insertWalk(db,
                     "INSERT INTO walk (volume, date, apparent, on_disk, files, folders, complete) "
                     "VALUES (?, ?, ?, ?, ?, ?, ?)",
                     error);
    insertWalk.run(volume, date, root.apparent, root.onDisk, root.files, root.folders + 1,
                   walked.complete);
    const qint64 walk = insertWalk.insertedId();

    // The walk after this one, when it takes its place among older ones (a saved scan's).
    Query later(db, "SELECT id FROM walk WHERE volume = ? AND date > ? ORDER BY date, id LIMIT 1",
                error);
    later.run(volume, date);
    const qint64 next = later.next() ? later.integer(0) : 0;
    later.finish();

    // What each folder of the file read at the walk before: in one query, as the newest rows
    // when this walk is the newest.
    std::vector<StoredFolder> stored;
    std::vector<Values> before;
    QHash<Place, qsizetype> byPlace;
    {
        Query query(db,
                    "SELECT f.id, f.parent, f.name, v.apparent, v.on_disk, v.files, v.folders, "
                    "v.date FROM folder f LEFT JOIN value v ON v.folder = f.id AND v.walk = "
                    "f.last_walk WHERE f.volume = ? ORDER BY f.id",
                    error);
        query.run(volume);
        while (query.next()) {
            stored.push_back({query.integer(0), query.integer(1), query.bytes(2)});
            before.push_back(next == 0 ? ValuesAt(query, 3) : Values());
        }
    }
    QHash<qint64, qsizetype> storedById;
    storedById.reserve(qsizetype(stored.size()));
    byPlace.reserve(qsizetype(stored.size()));
    for (size_t i = 0; i < stored.size(); ++i) {
        storedById.insert(stored[i].id, qsizetype(i));
        byPlace.insert({stored[i].parent, stored[i].name}, qsizetype(i));
    }
    if (next != 0) {
        Query query(db,
                    "SELECT v.folder, v.apparent, v.on_disk, v.files, v.folders, v.date FROM "
                    "value v JOIN walk w ON w.id = v.walk WHERE w.volume = ? AND "
                    "(w.date, w.id) < (?, ?) ORDER BY v.folder, w.date, w.id",
                    error);
        query.run(volume, date, walk);
        while (query.next())
            before[size_t(storedById.value(query.integer(0)))] = ValuesAt(query, 1);
    }

    // New folders are numbered here, so that they can be inserted many at a time: no one else
    // writes while the transaction holds the write lock.
    Query lastId(db, "SELECT coalesce(max(id), 0) FROM folder", error);
    lastId.run();
    qint64 nextId = lastId.next() ? lastId.integer(0) + 1 : 0;
    lastId.finish();
    Rows insertFolder(db, "folder", error);
    Rows insertValue(db, "value", error);
    Query setLast(db, "UPDATE folder SET last_walk = ? WHERE id = ?", error);
    std::vector<bool> seen(stored.size());
    std::vector<qint64> ids(walked.folders.size());
    std::vector<qint64> changed; // folders given a row at this walk, with what they read before
    std::vector<Values> changedBefore;
    const auto storeRow = [&](qint64 id, const Values &now, const Values &then) {
        StoreValues(insertValue, id, walk, now);
        if (next == 0) {
            setLast.run(walk, id);
        } else {
            changed.push_back(id);
            changedBefore.push_back(then);
        }
    };
    for (size_t i = 0; i < walked.folders.size() && error.ok(); ++i) {
        const qsizetype parentAt = walked.parents[i];
        const qint64 parent = parentAt < 0 ? 0 : ids[size_t(parentAt)];
        const QByteArrayView name =
            parentAt < 0 ? QByteArrayView() : scan.nameOf(walked.folders[i]);
        const Values &now = walked.values[i];
        const auto found = byPlace.constFind(Place{parent, name});
        if (found != byPlace.cend()) {
            const auto at = size_t(*found);
            ids[i] = stored[at].id;
            seen[at] = true;
            if (now != before[at])
                storeRow(ids[i], now, before[at]);
        } else {
            ids[i] = nextId++;
            insertFolder.add(
                {ids[i], volume, parent == 0 ? Literal(nullptr) : Literal(parent), name, walk});
            StoreValues(insertValue, ids[i], walk, now);
            if (next != 0) {
                changed.push_back(ids[i]);
                changedBefore.push_back(Values());
            }
        }
    }
    for (size_t at = 0; at < stored.size(); ++at)
        if (!seen[at] && !before[at].gone)
            storeRow(stored[at].id, Values(), before[at]);

    if (next != 0) {
        // The next walk read what the walk before this one did: where it had no row of its own,
        // it gets one saying so. Then each folder's newest row is found again.
        QSet<qint64> own;
        Query ownRows(db, "SELECT folder FROM value WHERE walk = ?", error);
        ownRows.run(next);
        while (ownRows.next())
            own.insert(ownRows.integer(0));
        ownRows.finish();
        for (size_t i = 0; i < changed.size(); ++i)
            if (!own.contains(changed[i]))
                StoreValues(insertValue, changed[i], next, changedBefore[i]);
        Query(db,
              "UPDATE folder SET last_walk = (SELECT v.walk FROM value v JOIN walk w ON w.id = "
              "v.walk WHERE v.folder = folder.id ORDER BY w.date DESC, w.id DESC LIMIT 1) WHERE "
              "volume = ?",
              error)
            .run(volume);
    }

    Rows insertBig(db, "big_file", error);
    for (const Walked::BigFile &file : walked.bigFiles)
        insertBig.add({walk, ids[size_t(file.folder)], file.name, Stored(file.apparent),
                       Stored(file.onDisk), file.date});

    if (transaction.commit())
        return error;
    if (walkId)
        *walkId = walk;
    return {};
}

HistoryError HistoryDatabase::addSavedScan(const DriveScan &scan, qint64 fallbackDate,
                                           qint64 *walkId)
{
    const SavedOrigin *origin = scan.origin();
    const qint64 date = origin && origin->savedAt != 0 ? origin->savedAt : fallbackDate;
    if (date == 0)
        return {Kind::NoDate};
    return record(scan, VolumeIdentity::OfSavedScan(scan), date, walkId);
}

HistoryError HistoryDatabase::volumes(std::vector<Volume> &out)
{
    HistoryError error = open();
    Transaction transaction(d->db, error, false);
    Query query(d->db,
                "SELECT v.id, v.volume_key, v.path_in_volume, v.last_root, v.label, "
                "(SELECT count(*) FROM walk w WHERE w.volume = v.id), "
                "(SELECT max(date) FROM walk w WHERE w.volume = v.id) FROM volume v ORDER BY "
                "v.last_root, v.id",
                error);
    query.run();
    out.clear();
    while (query.next())
        out.push_back({query.integer(0), query.bytes(1), query.bytes(2), query.bytes(3),
                       query.bytes(4), query.integer(5), query.integer(6)});
    query.finish();
    return transaction.commit();
}

HistoryError HistoryDatabase::findVolume(const VolumeIdentity &identity, Volume &out)
{
    std::vector<Volume> all;
    if (const HistoryError error = volumes(all))
        return error;
    for (Volume &volume : all)
        if (volume.volumeKey == identity.volumeKey() &&
            volume.pathInVolume == identity.pathInVolume()) {
            out = std::move(volume);
            return {};
        }
    return {Kind::NotFound};
}

HistoryError HistoryDatabase::walks(qint64 volume, std::vector<Walk> &out)
{
    HistoryError error = open();
    Transaction transaction(d->db, error, false);
    Query query(d->db,
                "SELECT id, date, apparent, on_disk, files, folders, complete FROM walk WHERE "
                "volume = ? ORDER BY date, id",
                error);
    query.run(volume);
    out.clear();
    while (query.next())
        out.push_back({query.integer(0), volume, query.integer(1), quint64(query.integer(2)),
                       quint64(query.integer(3)), quint64(query.integer(4)),
                       quint64(query.integer(5)), query.integer(6) != 0});
    query.finish();
    return transaction.commit();
}

HistoryError HistoryDatabase::series(qint64 volume, QByteArrayView folderPath,
                                     std::vector<Value> &out)
{
    out.clear();
    HistoryError error = open();
    Transaction transaction(d->db, error, false);
    qint64 folder = 0;
    if (error.ok())
        error = d->folderAt(volume, folderPath, folder);
    Query query(d->db,
                "SELECT w.id, w.date, v.folder, v.apparent, v.on_disk, v.files, v.folders, v.date "
                "FROM walk w LEFT JOIN value v ON v.walk = w.id AND v.folder = ? WHERE w.volume = "
                "? ORDER BY w.date, w.id",
                error);
    query.run(folder, volume);
    Values now;
    while (query.next()) {
        if (!query.isNull(2))
            now = ValuesAt(query, 3);
        if (!now.gone)
            out.push_back(PublicValue(now, query.integer(0), query.integer(1)));
    }
    query.finish();
    return transaction.commit();
}

qint64 HistoryDatabase::Growth::change(SizeMeasure measure) const
{
    return qint64((after ? after->size(measure) : 0) - (before ? before->size(measure) : 0));
}

HistoryError HistoryDatabase::growth(qint64 volume, QByteArrayView folderPath, qint64 walkA,
                                     qint64 walkB, SizeMeasure measure, std::vector<Growth> &out)
{
    out.clear();
    HistoryError error = open();
    Transaction transaction(d->db, error, false);
    qint64 folder = 0;
    qint64 dateA = 0;
    qint64 dateB = 0;
    QByteArray parentPath = folderPath.toByteArray();
    if (!parentPath.isEmpty() && !parentPath.endsWith('/'))
        parentPath += '/';
    if (error.ok())
        error = d->folderAt(volume, folderPath, folder);
    if (error.ok())
        error = d->walkDate(volume, walkA, dateA);
    if (error.ok())
        error = d->walkDate(volume, walkB, dateB);
    const auto atOrBefore = [](qint64 date, qint64 id, qint64 walkDate, qint64 walk) {
        return date < walkDate || (date == walkDate && id <= walk);
    };
    const bool bIsLater = atOrBefore(dateA, walkA, dateB, walkB);

    QHash<qint64, qsizetype> byId;
    {
        Query children(d->db, "SELECT id, name FROM folder WHERE volume = ? AND parent = ?", error);
        children.run(volume, folder);
        while (children.next()) {
            byId.insert(children.integer(0), qsizetype(out.size()));
            Growth growth;
            growth.path = Joined(parentPath, children.bytes(1));
            out.push_back(std::move(growth));
        }
    }
    Query query(d->db,
                "SELECT v.folder, w.date, w.id, v.apparent, v.on_disk, v.files, v.folders, "
                "v.date FROM folder f JOIN value v ON v.folder = f.id JOIN walk w ON w.id = "
                "v.walk WHERE f.volume = ? AND f.parent = ? AND (w.date, w.id) <= (?, ?) "
                "ORDER BY v.folder, w.date, w.id",
                error);
    query.run(volume, folder, bIsLater ? dateB : dateA, bIsLater ? walkB : walkA);
    while (query.next()) {
        Growth &growth = out[size_t(byId.value(query.integer(0)))];
        const qint64 date = query.integer(1);
        const qint64 walk = query.integer(2);
        const Values values = ValuesAt(query, 3);
        const auto take = [&](std::optional<Value> &side, qint64 sideDate, qint64 sideWalk) {
            if (!atOrBefore(date, walk, sideDate, sideWalk))
                return;
            if (values.gone)
                side.reset();
            else
                side = PublicValue(values, sideWalk, sideDate);
        };
        take(growth.before, dateA, walkA);
        take(growth.after, dateB, walkB);
    }
    query.finish();
    std::erase_if(out, [](const Growth &g) { return !g.before && !g.after; });
    std::sort(out.begin(), out.end(), [measure](const Growth &a, const Growth &b) {
        const qint64 ca = a.change(measure);
        const qint64 cb = b.change(measure);
        return ca != cb ? ca > cb : a.path < b.path;
    });
    return transaction.commit();
}

HistoryError HistoryDatabase::folderValues(qint64 volume, qint64 walk,
                                           std::vector<std::pair<QByteArray, Value>> &out)
{
    out.clear();
    HistoryError error = open();
    Transaction transaction(d->db, error, false);
    qint64 date = 0;
    if (error.ok())
        error = d->walkDate(volume, walk, date);
    std::vector<StoredFolder> folders;
    std::vector<QByteArray> paths;
    QHash<qint64, qsizetype> byId;
    if (error.ok())
        error = d->folders(volume, folders, paths, byId);
    // Each folder's newest row at or before the walk says what it was then.
    std::vector<Values> at(folders.size());
    Query query(d->db,
                "SELECT v.folder, v.apparent, v.on_disk, v.files, v.folders, v.date FROM value v "
                "JOIN walk w ON w.id = v.walk WHERE w.volume = ? AND (w.date, w.id) <= (?, ?) "
                "ORDER BY w.date, w.id",
                error);
    query.run(volume, date, walk);
    while (query.next())
        if (const auto found = byId.constFind(query.integer(0)); found != byId.cend())
            at[size_t(*found)] = ValuesAt(query, 1);
    query.finish();
    for (size_t i = 0; i < folders.size(); ++i)
        if (!at[i].gone)
            out.emplace_back(paths[i], PublicValue(at[i], walk, date));
    return transaction.commit();
}

HistoryError HistoryDatabase::biggestFiles(qint64 walk, std::vector<BigFile> &out)
{
    out.clear();
    HistoryError error = open();
    Transaction transaction(d->db, error, false);
    Query volumeOf(d->db, "SELECT volume FROM walk WHERE id = ?", error);
    volumeOf.run(walk);
    if (!volumeOf.next() && error.ok())
        error = {Kind::NotFound};
    const qint64 volume = volumeOf.integer(0);
    volumeOf.finish();
    std::vector<StoredFolder> folders;
    std::vector<QByteArray> paths;
    QHash<qint64, qsizetype> byId;
    if (error.ok())
        error = d->folders(volume, folders, paths, byId);
    Query query(d->db,
                "SELECT folder, name, apparent, on_disk, date FROM big_file WHERE walk = ? ORDER "
                "BY apparent DESC, rowid",
                error);
    query.run(walk);
    while (query.next())
        out.push_back({paths[size_t(byId.value(query.integer(0)))] + query.bytes(1),
                       quint64(query.integer(2)), quint64(query.integer(3)), query.integer(4)});
    query.finish();
    return transaction.commit();
}

HistoryError HistoryDatabase::forget(qint64 volume)
{
    HistoryError error = open();
    Transaction transaction(d->db, error, true);
    Query remove(d->db, "DELETE FROM volume WHERE id = ?", error);
    if (remove.run(volume) && remove.affected() == 0)
        error = {Kind::NotFound};
    return transaction.commit();
}

HistoryError HistoryDatabase::forgetAll()
{
    HistoryError error = open();
    Transaction transaction(d->db, error, true);
    for (const char *table : {"value", "big_file", "folder", "walk", "volume"})
        Query(d->db, QByteArray(QByteArray("DELETE FROM ") + table).constData(), error).run();
    return transaction.commit();
}

HistoryError HistoryDatabase::forgetWalk(qint64 walk)
{
    HistoryError error = open();
    Transaction transaction(d->db, error, true);
    Query find(d->db, "SELECT volume, date FROM walk WHERE id = ?", error);
    find.run(walk);
    if (find.next()) {
        const qint64 volume = find.integer(0);
        const qint64 date = find.integer(1);
        find.finish();
        error = d->removeWalk(volume, walk, date);
    } else if (error.ok()) {
        error = {Kind::NotFound};
    }
    return transaction.commit();
}

HistoryError HistoryDatabase::thin(const KeepRule &rule, qint64 now)
{
    HistoryError error = open();
    Transaction transaction(d->db, error, true);
    std::vector<std::pair<qint64, std::vector<Walk>>> byVolume;
    {
        Query query(d->db, "SELECT volume, id, date FROM walk ORDER BY volume, date, id", error);
        query.run();
        while (query.next()) {
            if (byVolume.empty() || byVolume.back().first != query.integer(0))
                byVolume.push_back({query.integer(0), {}});
            Walk walk;
            walk.id = query.integer(1);
            walk.date = query.integer(2);
            byVolume.back().second.push_back(walk);
        }
    }
    for (const auto &[volume, walks] : byVolume) {
        std::vector<qint64> dates;
        for (const Walk &walk : walks)
            dates.push_back(walk.date);
        const std::vector<bool> kept = rule.keeps(dates, now);
        for (size_t i = 0; i < walks.size() && error.ok(); ++i)
            if (!kept[i])
                error = d->removeWalk(volume, walks[i].id, walks[i].date);
    }
    return transaction.commit();
}

HistoryError HistoryDatabase::exportCsv(qint64 volume, QIODevice &out, bool header)
{
    HistoryError error = open();
    Transaction transaction(d->db, error, false);
    QByteArray root;
    {
        Query query(d->db, "SELECT last_root FROM volume WHERE id = ?", error);
        query.run(volume);
        if (query.next())
            root = query.bytes(0);
        else if (error.ok())
            error = {Kind::NotFound};
    }
    std::vector<StoredFolder> folders;
    std::vector<QByteArray> paths;
    QHash<qint64, qsizetype> byId;
    if (error.ok())
        error = d->folders(volume, folders, paths, byId);
    // Each walk's lines in the order of the folders' paths.
    std::vector<qsizetype> order(folders.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = qsizetype(i);
        paths[i] = HistoryCsv::pathText(root + paths[i]);
    }
    std::sort(order.begin(), order.end(),
              [&](qsizetype a, qsizetype b) { return paths[size_t(a)] < paths[size_t(b)]; });

    QByteArray text;
    if (header)
        text = HistoryCsv::Header;
    const auto flush = [&](qsizetype above) {
        if (text.size() <= above)
            return;
        if (out.write(text) != text.size() && error.ok())
            error = {Kind::Other, QStringLiteral("cannot write the CSV: ") + out.errorString()};
        text.clear();
    };
    std::vector<Values> now(folders.size());
    Query walkQuery(d->db, "SELECT id, date FROM walk WHERE volume = ? ORDER BY date, id", error);
    walkQuery.run(volume);
    std::vector<std::pair<qint64, qint64>> walkList;
    while (walkQuery.next())
        walkList.push_back({walkQuery.integer(0), walkQuery.integer(1)});
    walkQuery.finish();
    Query rows(d->db,
               "SELECT folder, apparent, on_disk, files, folders, date FROM value WHERE walk = ?",
               error);
    for (const auto &[walk, date] : walkList) {
        rows.run(walk);
        while (rows.next())
            now[size_t(byId.value(rows.integer(0)))] = ValuesAt(rows, 1);
        const QByteArray dateText = HistoryCsv::dateText(date);
        for (const qsizetype at : order) {
            const Values &values = now[size_t(at)];
            if (values.gone)
                continue;
            HistoryCsv::appendField(text, dateText, true);
            HistoryCsv::appendField(text, paths[size_t(at)]);
            for (const qint64 number :
                 {values.apparent, values.onDisk, values.files, values.folders})
                HistoryCsv::appendField(text, QByteArray::number(quint64(number)));
            text += "\r\n";
            flush(64 * 1024);
        }
    }
    flush(0);
    return transaction.commit();
}

HistoryError HistoryDatabase::reset(QString *movedTo)
{
    close();
    if (QFile::exists(m_file)) {
        const QString stamp =
            QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QString target = m_file + QStringLiteral(".damaged-") + stamp;
        for (int n = 2; QFile::exists(target); ++n)
            target = m_file + QStringLiteral(".damaged-") + stamp + QLatin1Char('-') +
                     QString::number(n);
        if (!QFile::rename(m_file, target))
            return Refined({Kind::CannotOpen, QStringLiteral("cannot rename it to ") + target},
                           m_file);
        for (const char *suffix : {"-wal", "-shm"})
            if (QFile::exists(m_file + QLatin1StringView(suffix)))
                QFile::rename(m_file + QLatin1StringView(suffix),
                              target + QLatin1StringView(suffix));
        if (movedTo)
            *movedTo = target;
    }
    return open();
}
