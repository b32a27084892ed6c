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
    // Each source's records, as the window holds them, and that scan saved by Quarnel.
    struct Source
    {
        FolderCollection folders;
        const DriveScan *scan = nullptr;
        QByteArray saved;
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
    make.setWorkingDirectory(m_dir.path());
    make.start(u"sh"_s,
               {u"-ec"_s,
                u"mkdir -p tree/a tree/b tree/c tree/locked tree/d/e && cd tree && "
                "head -c 1000000 /dev/urandom > a/photo.raw && ln a/photo.raw a/copy && "
                "ln a/photo.raw b/again.raw && truncate -s 64M c/disk.img && "
                "printf x | dd of=c/disk.img bs=1 seek=40000000 conv=notrunc 2>/dev/null && "
                "head -c 5000 /dev/urandom > c/app.log && echo hi > d/e/note.txt && "
                "echo secret > locked/hidden && chmod 000 locked && "
                "find . -type f -printf '%i %s %b\\n' 2>/dev/null | sort -u -k1,1 | "
                "awk '{s += $2; b += $3 * 512} END {print s, b}'"_s});
    QVERIFY(make.waitForFinished() && make.exitCode() == 0);
    const QByteArrayList found = make.readAllStandardOutput().trimmed().split(' ');
    m_found[0] = found.value(0).toULongLong(), m_found[1] = found.value(1).toULongLong();

    Source &walked = m_sources[u"walk"_s];
    QVERIFY(Walk(m_root, walked.folders.addDrive(m_root + '/')));
    walked.scan = walked.folders.scanHolding(m_root + '/');
    QVERIFY(Save(*walked.scan, m_root + ".json"));
    std::map<QString, std::unique_ptr<DriveScan>> read;
    read[u"own saved scan"_s] = Load(m_root + ".json");
    for (const QString &peer : {u"ncdu -x -o"_s, u"ncdu -x -e -o"_s, u"gdu -n -x -o"_s}) {
        QStringList command = peer.split(u' ');
        const QString out = m_dir.filePath(u"peer%1.json"_s.arg(read.size()));
        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, m_dir.path()); // one the peers may read as nobody
        run.setProcessEnvironment(environment);
        const QString program = command.takeFirst();
        run.start(program, command + QStringList{out, QFile::decodeName(m_root)});
        QVERIFY2(run.waitForFinished(30000) && run.exitCode() == 0,
                 run.readAllStandardError().constData());
        read[peer] = Load(QFile::encodeName(out));
    }
    for (auto &[name, scan] : read)
        if (scan)
            m_sources[name].scan = &m_sources[name].folders.adoptDrive(std::move(scan));
    int saved = 0; // and saved again by Quarnel, to be compared with
    for (auto &[name, source] : m_sources) {
        source.saved = QFile::encodeName(m_dir.filePath(u"saved%1.json"_s.arg(++saved)));
        QVERIFY2(source.scan && Save(*source.scan, source.saved), qPrintable(name));
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
    // with the same scan saved by Quarnel, nothing grew.
    const auto same = std::make_shared<ScanComparison>(Load(from.saved), scan.rootPath());
    int otherNames = 0; // of the file with three
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
            QVERIFY(item.change == ListRows::Change::Kept ||
                    item.change == ListRows::Change::Unread);
            QCOMPARE(item.growth, 0);
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
    QCOMPARE(otherNames, 2);

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
