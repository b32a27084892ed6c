#include "DriveScan.h"
#include "HistoryDatabase.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <set>

#include <map>
#include <thread>

#include <sys/fsuid.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A walked tree: files by path ("a/b/f"), with empty folders as paths ending with "/".
using Tree = std::map<QByteArray, quint64>;

Tree ParseTree(const QByteArray &text)
{
    Tree tree;
    for (const QByteArray &item : text.split(' '))
        if (!item.isEmpty())
            tree[item.split('=').front()] =
                item.contains('=') ? item.split('=')[1].toULongLong() : 0;
    return tree;
}

quint64 Blocks(quint64 size)
{
    return (size + 4095) / 4096 * 4096;
}

// The folders of the tree ("" for the root, "a/b/" below) with what the history should say of
// each: bytes, bytes on disk, files and folders below.
std::map<QByteArray, std::array<quint64, 4>> Expected(const Tree &tree)
{
    std::map<QByteArray, std::array<quint64, 4>> folders{{"", {}}};
    for (const auto &[path, size] : tree)
        for (qsizetype slash = path.indexOf('/'); slash >= 0; slash = path.indexOf('/', slash + 1))
            folders[path.first(slash + 1)];
    for (auto &[folder, values] : folders) {
        for (const auto &[path, size] : tree)
            if (!path.endsWith('/') && path.startsWith(folder))
                values[0] += size, values[1] += Blocks(size), ++values[2];
        for (const auto &[other, unused] : folders)
            values[3] += other.size() > folder.size() && other.startsWith(folder);
    }
    return folders;
}

std::unique_ptr<DriveScan> MakeScan(const Tree &tree, const QByteArray &root = "/r/"_ba)
{
    auto scan = std::make_unique<DriveScan>(root);
    std::map<QByteArray, WalkSink::FolderId> ids;
    for (const auto &[folder, values] : Expected(tree)) {
        const qsizetype slash = folder.lastIndexOf('/', folder.size() - 2);
        ids[folder] = folder.isEmpty()
                          ? scan->openedFolder(WalkSink::NoFolder, root, 1000, 0, 1)
                          : scan->openedFolder(ids[folder.first(slash + 1)],
                                               folder.sliced(slash + 1).chopped(1), 1000, 0, 1);
    }
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
        FileRecordWriter files;
        CountedBytes bytes;
        for (const auto &[path, size] : tree) {
            if (path.endsWith('/') || !path.startsWith(it->first) ||
                path.indexOf('/', it->first.size()) >= 0)
                continue;
            files.add(path.sliced(it->first.size()), size, 1000, Blocks(size));
            bytes.size += size, bytes.allocated += Blocks(size);
        }
        scan->listedFolder(it->second, files, bytes, 0);
    }
    return scan;
}

VolumeIdentity Identity(const QByteArray &root = "/r"_ba)
{
    return VolumeIdentity::FromTables(root, 0, "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n",
                                      {{"cafe", 0x801, "/dev/sda1"}});
}

qint64 Count(const QString &file, const char *sql)
{
    qint64 count = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"count"_s);
        db.setDatabaseName(file);
        QSqlQuery query(db);
        if (db.open() && query.exec(QString::fromLatin1(sql)) && query.next())
            count = query.value(0).toLongLong();
    }
    QSqlDatabase::removeDatabase(u"count"_s);
    return count;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void walks_data();
    void walks();
    void keepRule_data();
    void keepRule();
    void identity_data();
    void identity();
    void badFile_data();
    void badFile();
    void twoWriters();
    void csv();

private:
    QTemporaryDir m_data;
    QString m_file;
};

void TestHistory::initTestCase()
{
    QVERIFY(m_data.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
    QCoreApplication::setOrganizationName(u"Orvanne"_s);
    QCoreApplication::setApplicationName(u"Quarnel"_s);
    m_file = HistoryDatabase::DefaultFile();
    QCOMPARE(m_file, m_data.path() + u"/Orvanne/Quarnel/history.sqlite"_s);
}

void TestHistory::init()
{
    for (const QString &suffix : {u""_s, u"-wal"_s, u"-shm"_s})
        QFile::remove(m_file + suffix);
}

// Walks recorded (dates in any order: a saved scan takes its place among them), then some taken
// out: every walk left reads each folder's values as its tree says, and a value is stored only
// where it changed since the walk before.
void TestHistory::walks_data()
{
    QTest::addColumn<QByteArrayList>("walks"); // "date: tree"
    QTest::addColumn<QByteArray>("thin");      // "newest N", "thinned", "walk N" or ""
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("rows"); // value rows stored
    const QByteArray tree = "a/f=10 a/b/g=5000 c/ d/h=1";
    QTest::newRow("unchanged") << QByteArrayList{"10: " + tree, "20: " + tree, "30: " + tree}
                               << ""_ba << 3 << 5;
    QTest::newRow("grows") << QByteArrayList{"10: " + tree, "20: a/f=10 a/b/g=9000 c/ d/h=1"}
                           << ""_ba << 2 << 8;
    QTest::newRow("an empty file more")
        << QByteArrayList{"10: a/f=10", "20: a/f=10 a/g=0"} << ""_ba << 2 << 4;
    QTest::newRow("appears, goes, returns")
        << QByteArrayList{"10: a/f=1", "20: a/f=1 n/m/x=7", "30: a/f=1", "40: a/f=1 n/m/x=7"}
        << ""_ba << 4 << 2 + 3 + 3 + 3;
    QTest::newRow("saved scan between")
        << QByteArrayList{"10: a/f=1", "30: a/f=1 n/x=7", "20: a/f=2 n/x=7"} << ""_ba << 3 << -1;
    QTest::newRow("saved scan first")
        << QByteArrayList{"20: a/f=1", "30: a/f=1 n/x=7", "10: a/f=2 z/"} << ""_ba << 3 << -1;
    QTest::newRow("newest two") << QByteArrayList{"10: a/f=1 n/x=7", "20: a/f=1", "30: a/f=3"}
                                << "newest 2"_ba << 2 << -1;
    QTest::newRow("oldest taken out, gone then")
        << QByteArrayList{"10: a/f=1 n/x=7", "20: a/f=1", "30: a/f=1 n/x=7"} << "walk 0"_ba << 2
        << 4;
    QTest::newRow("middle taken out")
        << QByteArrayList{"10: a/f=1 n/x=7", "20: a/f=2", "30: a/f=2", "40: a/f=1 n/x=7"}
        << "walk 1"_ba << 3 << -1;
    QTest::newRow("newest taken out")
        << QByteArrayList{"10: a/f=1", "20: a/f=2 n/x=7"} << "walk 1"_ba << 1 << 2;
    // Thinned at day 400, two walks a day from day 0 on: the last of each of weeks 0 to 4 (days 0
    // to 34), of each of days 35 to 369, and every walk of the last 30 days.
    QByteArrayList daily;
    for (int half = 0; half < 800; ++half)
        daily += QByteArray::number(half * 43200) + ": a/f=" + QByteArray::number(half % 7);
    QTest::newRow("thinned") << daily << "thinned"_ba << 5 + 335 + 60 << -1;
}

void TestHistory::walks()
{
    QFETCH(QByteArrayList, walks);
    QFETCH(QByteArray, thin);
    QFETCH(int, left);
    QFETCH(int, rows);
    HistoryDatabase history;
    std::vector<std::pair<qint64, Tree>> trees; // by date
    qint64 volume = 0;
    for (const QByteArray &walk : walks) {
        const qint64 date = walk.split(':').front().toLongLong();
        trees.emplace_back(date, ParseTree(walk.sliced(walk.indexOf(':') + 1)));
        const auto scan = MakeScan(trees.back().second);
        QCOMPARE(history.record(*scan, Identity(), date).describe(), QString());
    }
    std::stable_sort(trees.begin(), trees.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<HistoryDatabase::Volume> volumes;
    QVERIFY(history.volumes(volumes).ok() && volumes.size() == 1);
    volume = volumes.front().id;
    std::vector<HistoryDatabase::Walk> recorded;
    QVERIFY(history.walks(volume, recorded).ok());
    if (thin.startsWith("walk ")) {
        const int index = thin.sliced(5).toInt();
        QVERIFY(history.forgetWalk(recorded[size_t(index)].id).ok());
        trees.erase(trees.begin() + index);
    } else if (!thin.isEmpty()) {
        const KeepRule rule{thin == "thinned" ? KeepRule::Kind::Thinned : KeepRule::Kind::Newest,
                            thin.sliced(thin.indexOf(' ') + 1).toInt()};
        std::vector<qint64> dates;
        for (const auto &[date, tree] : trees)
            dates.push_back(date);
        const std::vector<bool> kept = rule.keeps(dates, 400 * 86400);
        QVERIFY(history.thin(rule, 400 * 86400).ok());
        for (size_t i = trees.size(); i-- > 0;)
            if (!kept[i])
                trees.erase(trees.begin() + qsizetype(i));
    }
    QVERIFY(history.walks(volume, recorded).ok());
    QCOMPARE(int(recorded.size()), left);
    QCOMPARE(qsizetype(trees.size()), qsizetype(left));
    const qint64 stored = Count(m_file, "SELECT count(*) FROM value");
    if (rows >= 0)
        QCOMPARE(stored, rows);
    // A walk that finds what the newest left found costs nothing more.
    trees.emplace_back(trees.back().first + 1, trees.back().second);
    QVERIFY(history.record(*MakeScan(trees.back().second), Identity(), trees.back().first).ok());
    QCOMPARE(Count(m_file, "SELECT count(*) FROM value"), stored);
    QVERIFY(history.walks(volume, recorded).ok());

    std::map<QByteArray, std::vector<std::array<quint64, 4>>> expected;
    std::map<QByteArray, std::vector<qint64>> at;
    for (size_t w = 0; w < trees.size(); ++w) {
        QCOMPARE(recorded[w].date, trees[w].first);
        for (const auto &[folder, values] : Expected(trees[w].second)) {
            expected[folder].push_back(values);
            at[folder].push_back(recorded[w].id);
        }
    }
    for (const auto &[folder, values] : expected) {
        std::vector<HistoryDatabase::Value> series;
        QVERIFY(history.series(volume, folder, series).ok());
        std::vector<std::array<quint64, 4>> read;
        std::vector<qint64> walkIds;
        for (const HistoryDatabase::Value &value : series) {
            read.push_back({value.apparent, value.onDisk, value.files, value.folders});
            walkIds.push_back(value.walk);
        }
        QVERIFY2(read == values && walkIds == at[folder], folder.constData());
    }
    // Each walk whole, as each folder's series reads it.
    for (size_t w = 0; w < trees.size(); ++w) {
        std::vector<std::pair<QByteArray, HistoryDatabase::Value>> whole;
        QVERIFY(history.folderValues(volume, recorded[w].id, whole).ok());
        std::map<QByteArray, std::array<quint64, 4>> read;
        for (const auto &[path, value] : whole)
            read[path] = {value.apparent, value.onDisk, value.files, value.folders};
        QVERIFY2(read == Expected(trees[w].second), qPrintable(QString::number(w)));
        // The walk's own totals count the root among its folders.
        const auto root = read[""];
        QCOMPARE((std::array{recorded[w].apparent, recorded[w].onDisk, recorded[w].files,
                             recorded[w].folders}),
                 (std::array{root[0], root[1], root[2], root[3] + 1}));
    }
    // The root's subfolders from the first walk left to the last, grown most first.
    std::vector<HistoryDatabase::Growth> growth;
    QVERIFY(history
                .growth(volume, "", recorded.front().id, recorded.back().id, SizeMeasure::OnDisk,
                        growth)
                .ok());
    const auto first = Expected(trees.front().second), last = Expected(trees.back().second);
    qint64 previous = std::numeric_limits<qint64>::max();
    for (const HistoryDatabase::Growth &g : growth) {
        QCOMPARE(g.before.has_value(), first.count(g.path) == 1);
        QCOMPARE(g.after.has_value(), last.count(g.path) == 1);
        QVERIFY(g.change(SizeMeasure::OnDisk) <= previous);
        previous = g.change(SizeMeasure::OnDisk);
        if (g.after)
            QCOMPARE(g.after->onDisk, last.at(g.path)[1]);
    }
    // Every subfolder on either side, none twice: one that appeared or went is kept.
    std::set<QByteArray> sides;
    for (const auto *side : {&first, &last})
        for (const auto &[path, unused] : *side)
            if (path.count('/') == 1)
                sides.insert(path);
    QCOMPARE(growth.size(), sides.size());
    QVERIFY(history.forget(volume).ok());
    QCOMPARE(Count(m_file, "SELECT (SELECT count(*) FROM value) + (SELECT count(*) FROM folder)"),
             0);
}

void TestHistory::keepRule_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<qint64>>("days"); // walks' dates in days, at day 1000
    QTest::addColumn<QList<bool>>("kept");
    const int newest = int(KeepRule::Kind::Newest), thinned = int(KeepRule::Kind::Thinned);
    QTest::newRow("newest 2") << newest << QList<qint64>{1, 2, 3} << QList<bool>{0, 1, 1};
    QTest::newRow("last month kept")
        << thinned << QList<qint64>{980, 980, 999, 1000} << QList<bool>{1, 1, 1, 1};
    QTest::newRow("a day's last") << thinned << QList<qint64>{700, 700, 701}
                                  << QList<bool>{0, 1, 1};
    // Days 1 and 3 share a week (weeks start on day 0, a Thursday), day 7 starts the next.
    QTest::newRow("a week's last")
        << thinned << QList<qint64>{1, 3, 7, 500} << QList<bool>{0, 1, 1, 1};
    QTest::newRow("the newest stays") << thinned << QList<qint64>{1, 1} << QList<bool>{0, 1};
}

void TestHistory::keepRule()
{
    QFETCH(int, kind);
    QFETCH(QList<qint64>, days);
    QFETCH(QList<bool>, kept);
    std::vector<qint64> dates;
    for (int i = 0; i < days.size(); ++i)
        dates.push_back(days[i] * 86400 + i * 60);
    const std::vector<bool> keeps = KeepRule{KeepRule::Kind(kind), 2}.keeps(dates, 1000 * 86400);
    QCOMPARE(QList<bool>(keeps.begin(), keeps.end()), kept);
}

// The same folder is one history wherever its volume is mounted.
void TestHistory::identity_data()
{
    QTest::addColumn<QByteArray>("mountInfo");
    QTest::addColumn<QByteArray>("root");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("path");
    const QByteArray base = "20 1 254:0 / / rw - ext4 /dev/vda rw\n";
    QTest::newRow("by uuid") << base + "30 20 8:1 / /mnt/disk rw - ext4 /dev/sda1 rw\n"
                             << "/mnt/disk/photos"_ba
                             << "uuid:cafe"_ba
                             << "/photos/"_ba;
    QTest::newRow("mounted elsewhere, escaped")
        << base + "31 20 8:1 / /media/My\\040Disk rw - ext4 /dev/sda1 rw\n"
        << "/media/My Disk/photos/"_ba
        << "uuid:cafe"_ba
        << "/photos/"_ba;
    QTest::newRow("bind mount") << base + "32 20 8:1 /photos /srv/p rw - ext4 /dev/sda1 rw\n"
                                << "/srv/p"_ba
                                << "uuid:cafe"_ba
                                << "/photos/"_ba;
    QTest::newRow("btrfs subvolume, by its source")
        << base + "33 20 0:45 /@home /home rw - btrfs /dev/sda2 rw,subvol=/@home\n"
        << "/home/ann"_ba
        << "uuid:beef"_ba
        << "/@home/ann/"_ba;
    QTest::newRow("hidden mount")
        << base + "30 20 8:1 / /mnt rw - ext4 /dev/sda1 rw\n34 20 0:50 / /mnt rw - tmpfs t rw\n"
        << "/mnt/x"_ba
        << "mount:tmpfs:t:0:50"_ba
        << "/x/"_ba;
    QTest::newRow("overlay root") << "1 0 0:31 / / rw - overlay overlay rw\n"_ba
                                  << "/"_ba
                                  << "mount:overlay:overlay:0:31"_ba
                                  << "/"_ba;
}

void TestHistory::identity()
{
    QFETCH(QByteArray, mountInfo);
    QFETCH(QByteArray, root);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, path);
    const VolumeIdentity identity = VolumeIdentity::FromTables(
        root, 0, mountInfo, {{"cafe", 0x801, "/dev/sda1"}, {"beef", 0x802, "/dev/sda2"}});
    QCOMPARE(identity.volumeKey(), key);
    QCOMPARE(identity.pathInVolume(), path);
}

// A file that cannot be used is said so in words, left as it was, and the walk is untouched;
// reset() alone moves a damaged file aside.
void TestHistory::badFile_data()
{
    QTest::addColumn<int>("expected");
    QTest::newRow("truncated") << int(HistoryError::Kind::Damaged);
    QTest::newRow("garbage") << int(HistoryError::Kind::Damaged);
    QTest::newRow("read-only file") << int(HistoryError::Kind::ReadOnly);
    QTest::newRow("read-only folder") << int(HistoryError::Kind::ReadOnly);
    QTest::newRow("unreadable file") << int(HistoryError::Kind::ReadOnly);
    QTest::newRow("locked") << int(HistoryError::Kind::Locked);
}

void TestHistory::badFile()
{
    QFETCH(int, expected);
    const QByteArray name = QTest::currentDataTag();
    const QString folder = m_data.path() + u"/Orvanne/Quarnel"_s;
    Tree tree;
    for (int i = 0; i < 2000; ++i)
        tree["f" + QByteArray::number(i) + "/x"] = quint64(i);
    const auto scan = MakeScan(tree);
    if (name != "garbage")
        QVERIFY(HistoryDatabase().record(*scan, Identity(), 10).ok());
    QFile file(m_file);
    if (name == "truncated")
        QVERIFY(file.resize(file.size() / 2));
    QVERIFY(QDir().mkpath(folder));
    if (name == "garbage")
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(8192, '\x5a')) == 8192);
    file.close();
    const QByteArray before = [&] {
        QFile f(m_file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    // Another connection holding the write lock, on a thread of its own.
    QSemaphore held, done;
    bool locked = false;
    std::thread locker;
    if (name == "locked") {
        locker = std::thread([&] {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"locker"_s);
                db.setDatabaseName(m_file);
                QSqlQuery query(db);
                locked = db.open() && query.exec(u"BEGIN EXCLUSIVE"_s);
                held.release();
                done.acquire();
            }
            QSqlDatabase::removeDatabase(u"locker"_s);
        });
        held.acquire();
        QVERIFY(locked);
    }
    const bool unreadable = name == "unreadable file"; // in a folder anyone may write
    if (name.startsWith("read-only") || unreadable) {
        if (name == "read-only folder")
            init();
        QVERIFY(QFile::setPermissions(m_data.path(), QFile::Permissions(0x7555)));
        QVERIFY(QFile::setPermissions(m_data.path() + u"/Orvanne"_s, QFile::Permissions(0x7555)));
        QVERIFY(QFile::setPermissions(folder, QFile::Permissions(unreadable ? 0x7777 : 0x5555)));
        QVERIFY(name == "read-only folder" ||
                QFile::setPermissions(m_file, QFile::Permissions(unreadable ? 0 : 0x4444)));
        // Permissions bind root too, as a user without privileges on this thread's file access.
        if (::geteuid() == 0)
            ::setfsuid(65534);
    }

    const quint64 total = scan->totalSize();
    HistoryDatabase history;
    history.setBusyTimeout(100);
    const HistoryError error = history.record(*scan, Identity(), 20);
    if (::geteuid() == 0)
        ::setfsuid(0);
    done.release();
    if (locker.joinable())
        locker.join();
    QFile::setPermissions(folder, QFile::Permissions(0x7700));
    QFile::setPermissions(m_file, QFile::Permissions(0x6600));
    QCOMPARE(int(error.kind()), expected);
    QVERIFY(!error.describe().isEmpty());
    QCOMPARE(scan->totalSize(), total);
    QCOMPARE(scan->count(), 2001);
    if (name == "read-only folder")
        return;
    QFile after(m_file);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QVERIFY(after.readAll() == before);
    if (expected == int(HistoryError::Kind::Damaged)) {
        QString movedTo;
        QVERIFY(history.reset(&movedTo).ok());
        QVERIFY(QFile::exists(movedTo) && movedTo.startsWith(m_file + u".damaged-"_s));
        QVERIFY(history.record(*scan, Identity(), 30).ok());
        QFile::remove(movedTo);
    }
}

// Two programs writing at once, one recording walks, the other recording and forgetting each
// of its own: each waits for the other, and the file stays whole.
void TestHistory::twoWriters()
{
    std::atomic<int> recorded{0}, failed{0};
    // Their dates interleave: many a walk takes its place among the other's.
    const auto writer = [&](int first) {
        HistoryDatabase history;
        for (int i = first; i < 40; i += 2) {
            Tree tree;
            for (int f = 0; f < 300; ++f)
                tree["d" + QByteArray::number(f) + "/x"] = quint64(f * i);
            qint64 walk = 0;
            HistoryError error = history.record(*MakeScan(tree), Identity(), 40 - i, &walk);
            if (!error && first == 1)
                error = history.forgetWalk(walk);
            if (error)
                ++failed;
            else if (first == 0)
                ++recorded;
            if (error && error.kind() != HistoryError::Kind::Locked)
                qWarning() << error.describe();
        }
    };
    std::thread one(writer, 0), two(writer, 1);
    one.join();
    two.join();
    QCOMPARE(failed.load(), 0);
    QCOMPARE(Count(m_file, "SELECT count(*) FROM walk"), qint64(recorded));
    QCOMPARE(Count(m_file, "SELECT count(*) FROM pragma_integrity_check WHERE integrity_check = "
                           "'ok'"),
             1);
}

void TestHistory::csv()
{
    const auto scan =
        MakeScan(ParseTree("a,b/x=1 q\"uote/x=2 new\nline/x=3 \xff/x=4"), "/r\"oot/"_ba);
    HistoryDatabase history;
    qint64 walk = 0;
    QVERIFY(history.record(*scan, Identity("/r\"oot"), 86400, &walk).ok());
    std::vector<HistoryDatabase::BigFile> big;
    QVERIFY(history.biggestFiles(walk, big).ok());
    QCOMPARE(big.size(), 4u);
    QCOMPARE(big.front().path, "\xff/x"_ba);
    QCOMPARE(big.back().path, "a,b/x"_ba);
    std::vector<HistoryDatabase::Volume> volumes;
    QVERIFY(history.volumes(volumes).ok());
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QVERIFY(history.exportCsv(volumes.front().id, out).ok());
    QCOMPARE(out.data(), "date,path,apparent,on disk,files,folders\r\n"
                         "1970-01-02T00:00:00Z,\"/r\"\"oot/\",10,16384,4,4\r\n"
                         "1970-01-02T00:00:00Z,\"/r\"\"oot/\\xff/\",4,4096,1,0\r\n"
                         "1970-01-02T00:00:00Z,\"/r\"\"oot/a,b/\",1,4096,1,0\r\n"
                         "1970-01-02T00:00:00Z,\"/r\"\"oot/new\\x0aline/\",3,4096,1,0\r\n"
                         "1970-01-02T00:00:00Z,\"/r\"\"oot/q\"\"uote/\",2,4096,1,0\r\n"_ba);
}

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
