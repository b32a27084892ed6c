#include "BiggestFiles.h"
#include "FileSearch.h"
#include "FolderCollection.h"
#include "FolderRecord.h"
#include "KindCensus.h"
#include "ListRows.h"
#include "MapLayout.h"
#include "NamePattern.h"
#include "SavedInput.h"
#include "SavedOutput.h"
#include "ScanComparison.h"
#include "ScanExport.h"
#include "ScanImport.h"
#include "Walker.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <map>
#include <set>

using namespace Qt::StringLiterals;

namespace {

struct Bytes
{
    quint64 apparent = 0;
    quint64 onDisk = 0;
    quint64 in(SizeMeasure measure) const
    {
        return measure == SizeMeasure::OnDisk ? onDisk : apparent;
    }
};

// Counted apart from the walk, by find(1): each file once whatever its names, in the folders
// that can be read.
Bytes FoundBytes(const QByteArray &root)
{
    QProcess find;
    find.start(u"find"_s,
               {QFile::decodeName(root), u"-type"_s, u"f"_s, u"-printf"_s, u"%i %s %b\\n"_s});
    find.waitForFinished();
    Bytes bytes;
    std::set<QByteArray> seen;
    for (const QByteArray &line : find.readAllStandardOutput().split('\n')) {
        const QByteArrayList fields = line.split(' ');
        if (fields.size() != 3 || !seen.insert(fields[0]).second)
            continue;
        bytes.apparent += fields[1].toULongLong();
        bytes.onDisk += fields[2].toULongLong() * 512;
    }
    return bytes;
}

std::unique_ptr<DriveScan> Load(const QByteArray &file)
{
    SavedInput in;
    ScanImport reader;
    return in.open(file) ? reader.read(in) : nullptr;
}

bool Save(const DriveScan &scan, const QByteArray &file)
{
    SavedOutput out;
    ScanExport writer(scan);
    return out.open(file) && writer.write(out);
}

} // namespace

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
    Bytes m_found;
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
    const int made = QProcess::execute(
        u"sh"_s, {u"-ec"_s,
                  u"cd \"$0\" && mkdir -p tree/a tree/b tree/c tree/locked tree/d/e && cd tree && "
                  "head -c 1000000 /dev/urandom > a/photo.raw && ln a/photo.raw a/copy && "
                  "ln a/photo.raw b/again.raw && truncate -s 64M c/disk.img && "
                  "printf x | dd of=c/disk.img bs=1 seek=40000000 conv=notrunc "
                  "2>/dev/null && head -c 5000 /dev/urandom > c/app.log && "
                  "echo hi > d/e/note.txt && echo secret > locked/hidden && "
                  "chmod 000 locked"_s,
                  m_dir.path()});
    QCOMPARE(made, 0);
    m_found = FoundBytes(m_root);

    const auto add = [&](const QString &name, std::unique_ptr<DriveScan> loaded) {
        Source &source = m_sources[name];
        if (loaded)
            source.scan = &source.folders.adoptDrive(std::move(loaded));
    };
    Source &walked = m_sources[u"walk"_s];
    walked.scan = &walked.folders.addDrive(m_root + '/');
    QVERIFY(Walk(m_root, const_cast<DriveScan &>(*walked.scan)));
    QVERIFY(Save(*walked.scan, m_root + ".json"));
    add(u"own saved scan"_s, Load(m_root + ".json"));
    const std::map<QString, QStringList> peers{
        {u"ncdu -o"_s, {u"ncdu"_s, u"-x"_s, u"-o"_s}},
        {u"ncdu -e -o"_s, {u"ncdu"_s, u"-x"_s, u"-e"_s, u"-o"_s}},
        {u"gdu -o"_s, {u"gdu"_s, u"-n"_s, u"-x"_s, u"-o"_s}},
    };
    for (const auto &[name, command] : peers) {
        if (QStandardPaths::findExecutable(command.front()).isEmpty())
            continue;
        const QString out = m_dir.filePath(command.front() + u".json"_s);
        QProcess peer;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, m_dir.path()); // one the peers may read as nobody
        environment.remove(u"XDG_CONFIG_HOME"_s);
        peer.setProcessEnvironment(environment);
        peer.start(command.front(), command.mid(1) + QStringList{out, QFile::decodeName(m_root)});
        QVERIFY(peer.waitForFinished(30000));
        add(name, Load(QFile::encodeName(out)));
    }
    // Saved again by Quarnel, for the comparison.
    int saved = 0;
    for (auto &[name, source] : m_sources) {
        source.saved = QFile::encodeName(m_dir.filePath(u"saved%1.json"_s.arg(++saved)));
        if (source.scan)
            QVERIFY(Save(*source.scan, source.saved));
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
    QVERIFY2(from.scan, "the scan could not be read");
    const DriveScan &scan = *from.scan;
    const quint64 total = SizeIn(measure, scan.folder(0));
    QCOMPARE(total, m_found.in(measure));
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
        for (const KindTally &kind : kinds.kinds)
            byKind += kind.bytes;
        QCOMPARE(std::pair(kinds.bytes, byKind), std::pair(folderTotal, folderTotal));
    }

    QCOMPARE(otherNames, 2);

    // The map's tiles, the biggest files, every file found by name.
    const MapLayout map = MapLayout::Build(scan, 0, QSizeF(800, 600), nullptr, measure);
    quint64 tiled = 0;
    for (const MapTile &tile : map.tiles())
        if (tile.parent == 0)
            tiled += tile.size;
    QCOMPARE(tiled, total);
    quint64 biggest = 0;
    for (const SearchHit &hit : BiggestFilesOf(scan, measure, 1000).hits)
        biggest += measure == SizeMeasure::OnDisk ? hit.allocated : hit.size;
    QCOMPARE(biggest, total);
    const SearchResult found = SearchRecords(scan, NamePattern(u"*"_s), measure, 1);
    QCOMPARE(found.bytes, total);
}

QTEST_GUILESS_MAIN(TestSameTotals)
#include "tst_sametotals.moc"
