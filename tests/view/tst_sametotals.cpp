#include "FileSearch.h"
#include "FolderCollection.h"
#include "FolderRecord.h"
#include "KindCensus.h"
#include "ListRows.h"
#include "MapLayout.h"
#include "NamePattern.h"
#include "SavedFiles.h"
#include "ScanComparison.h"
#include "Walker.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <map>

using namespace Qt::StringLiterals;

// Every view of one tree adds up to the same bytes, whichever way its records came: walked here,
// saved and read back, or written by ncdu or gdu. The tree holds what makes views disagree: a
// file with three names in two folders, a sparse file, a folder that cannot be read.
class TestSameTotals : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { QProcess::execute(u"chmod"_s, {u"-R"_s, u"u+rwx"_s, m_dir.path()}); }
    void everyViewAgrees_data();
    void everyViewAgrees();

private:
    QTemporaryDir m_dir{QDir::tempPath() + u"/quarnel-totals-XXXXXX"_s};
    QByteArray m_root;
    quint64 m_found[2] = {}; // by find(1), each file once: its bytes, its blocks' bytes
    struct Source            // records, held as the window holds them
    {
        FolderCollection folders;
        const DriveScan *scan = nullptr;
    };
    std::map<QString, Source> m_sources;
};

void TestSameTotals::initTestCase()
{
    // As root every folder can be read: the walk and the peers run as nobody, as a user would.
    if (::geteuid() == 0) {
        const gid_t gid = 65534;
        QVERIFY(::chown(qPrintable(m_dir.path()), 65534, 65534) == 0);
        QVERIFY(::setgroups(1, &gid) == 0 && ::setresgid(gid, gid, gid) == 0 &&
                ::setresuid(65534, 65534, 65534) == 0);
        ::prctl(PR_SET_DUMPABLE, 1); // for the leak checker
    }
    m_root = QFile::encodeName(m_dir.path()) + "/tree";
    QProcess make;
    make.start(u"sh"_s,
               {u"-ec"_s,
                u"cd \"$0\" && mkdir -p tree/a tree/b tree/c tree/locked tree/d/e && cd tree && "
                "head -c 1000000 /dev/urandom > a/photo.raw && ln a/photo.raw a/copy && "
                "ln a/photo.raw b/again.raw && truncate -s 64M c/disk.img && "
                "printf x | dd of=c/disk.img bs=1 seek=40000000 conv=notrunc 2>/dev/null && "
                "head -c 5000 /dev/urandom > c/app.log && echo hi > d/e/note.txt && "
                "echo secret > locked/hidden && chmod 000 locked && "
                "find . -type f -printf '%i %s %b\\n' 2>/dev/null | sort -u -k1,1 | "
                "awk '{s += $2; b += $3 * 512} END {print s, b}'"_s,
                m_dir.path()});
    QVERIFY(make.waitForFinished() && make.exitCode() == 0);
    const QByteArrayList found = make.readAllStandardOutput().trimmed().split(' ');
    m_found[0] = found.value(0).toULongLong(), m_found[1] = found.value(1).toULongLong();

    DriveScan &walked = *m_sources[u"walk"_s].folders.addDrive(m_root + '/');
    m_sources[u"walk"_s].scan = &walked;
    QVERIFY(Walk(m_root, walked) && Save(walked, m_root + ".json"));
    std::shared_ptr<DriveScan> own = Load(m_root + ".json");
    m_sources[u"own saved scan"_s].scan = own.get();
    m_sources[u"own saved scan"_s].folders.adoptDrive(own);
    qputenv("HOME", QFile::encodeName(m_dir.path())); // one the peers may read as nobody
    for (const QString &peer : {u"ncdu -x -o"_s, u"ncdu -x -e -o"_s, u"gdu -n -x -o"_s}) {
        QStringList command = peer.split(u' ');
        const QString out = m_dir.filePath(peer + u".json"_s), program = command.takeFirst();
        QCOMPARE(QProcess::execute(program, command << out << QFile::decodeName(m_root)), 0);
        std::shared_ptr<DriveScan> scan = Load(QFile::encodeName(out));
        QVERIFY2(scan, qPrintable(peer));
        m_sources[peer].scan = scan.get();
        m_sources[peer].folders.adoptDrive(scan);
    }
}

void TestSameTotals::everyViewAgrees_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<SizeMeasure>("measure");
    for (const auto &[name, source] : m_sources)
        for (const auto &[measure, label] :
             {std::pair(SizeMeasure::Apparent, "size"), std::pair(SizeMeasure::OnDisk, "on disk")})
            QTest::addRow("%s, %s", qPrintable(name), label) << name << measure;
}

void TestSameTotals::everyViewAgrees()
{
    QFETCH(QString, source);
    QFETCH(SizeMeasure, measure);
    const Source &from = m_sources[source];
    const DriveScan &scan = *from.scan;
    const quint64 total = SizeIn(measure, scan.folder(0));
    QCOMPARE(total, m_found[measure == SizeMeasure::OnDisk]);
    // gdu writes an unreadable folder as an empty one.
    QCOMPARE(scan.unreadFolders(), source.startsWith(u"gdu"_s) ? 0u : 1u);

    // The list of every folder, and the kinds below it, add up to the folder's total; compared
    // with the same scan saved by Quarnel, nothing grew. Saved again, a scan read from a file
    // keeps where and when it was made, and what could be read.
    QVERIFY(Save(scan, m_root + ".again.json"));
    const auto same =
        std::make_shared<ScanComparison>(Load(m_root + ".again.json"), scan.rootPath());
    if (const SavedOrigin *origin = scan.origin(), *again = same->earlier().origin(); origin)
        QCOMPARE(std::tie(again->host, again->root, again->savedAt),
                 std::tie(origin->host, origin->root, origin->savedAt));
    int otherNames = 0, unknown = 0; // the other names of the file with three; rows unread
    for (const WalkSink::FolderId folder : scan.foldersBelow(0)) {
        const quint64 folderTotal = SizeIn(measure, scan.folder(folder));
        ListRows rows;
        QVERIFY(rows.read(
            from.folders, scan.pathOf(folder),
            {.base = PercentBase::Folder, .diskSize = 0, .measure = measure, .earlier = same}));
        quint64 listed = 0;
        for (size_t row = 0; row < rows.size(); ++row) {
            const ListRows::Row &item = rows.row(row);
            listed += item.size;
            otherNames += item.counted ? 0 : 1;
            unknown += item.change == ListRows::Change::Unread ? 1 : 0;
            QCOMPARE(std::pair(item.change == ListRows::Change::New, item.growth),
                     std::pair(false, qint64(0)));
        }
        QCOMPARE(listed, folderTotal);
        // What could not be read then or now has grown by an unknown amount.
        const bool locked = scan.pathOf(folder).endsWith("/locked/") && scan.unreadFolders() > 0;
        QCOMPARE(rows.folderGrowth(), locked ? std::nullopt : std::optional<qint64>(0));
        const KindCensus kinds = CountKinds(scan, folder, measure);
        quint64 byKind = 0;
        for (const KindTally &kind : kinds.kinds) {
            byKind += kind.bytes;
            QCOMPARE(FilesOfKind(scan, folder, kind.kind, {}, measure, 1).bytes, kind.bytes);
        }
        QCOMPARE(std::pair(kinds.bytes, byKind), std::pair(folderTotal, folderTotal));
    }
    QCOMPARE(std::pair(otherNames, quint32(unknown)), std::pair(2, scan.unreadFolders()));

    // The map's tiles, and every file found by name, ranked in the measure.
    quint64 tiled = 0;
    const MapLayout map = MapLayout::Build(scan, 0, {800, 600}, nullptr, measure);
    for (const MapTile &tile : map.tiles())
        tiled += tile.parent == 0 ? tile.size : 0;
    const SearchResult found = SearchRecords(scan, NamePattern(u"*"_s), measure, 1);
    QCOMPARE(std::pair(tiled, found.bytes), std::pair(total, total));
    QCOMPARE(found.hits.front().name == "disk.img", measure == SizeMeasure::Apparent);
}

QTEST_GUILESS_MAIN(TestSameTotals)
#include "tst_sametotals.moc"
