#include "BiggestModel.h"
#include "FileSearch.h"
#include "Formatting.h"
#include "KindCensus.h"
#include "KindCounter.h"
#include "KindsModel.h"
#include "SearchModel.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSortFilterProxyModel>
#include <QTest>

#include <algorithm>
#include <map>
#include <optional>

using namespace Qt::StringLiterals;

class TestFind : public QObject
{
    Q_OBJECT
private slots:
    void pattern_data();
    void pattern();
    void search();
    void biggest_data();
    void biggest();
    void biggestModel_data();
    void biggestModel();
    void kinds_data();
    void kinds();
    void kindEndingsTied();
    void totals();
};

namespace {

// A file as made for a test, with the sizes it was given.
struct Made
{
    QByteArray folderPath, name;
    WalkSink::FolderId folder;
    quint64 size, allocated;
};

// Folders whose names begin one another's ("a1", "a1.b", "a17"), files of few distinct sizes: ties
// are many, and are broken on paths with long beginnings in common.
std::vector<Made> MakeTree(DriveScan &scan)
{
    QRandomGenerator random(7);
    const QByteArrayList stems{"a", "a.b", "ab", "B", "f", "f.txt"};
    const auto stem = [&] { return stems[random.bounded(int(stems.size()))]; };
    std::vector<std::pair<WalkSink::FolderId, QByteArray>> folders{
        {scan.openedFolder(WalkSink::NoFolder, "/v/"_ba, 0, 0, 0), "/v/"_ba}};
    for (int i = 1; i < 40; ++i) {
        const auto parent = folders[random.bounded(quint32(folders.size()))];
        const QByteArray name = stem() + QByteArray::number(i % 20) + QByteArray(i / 20, 'x');
        folders.emplace_back(scan.openedFolder(parent.first, name, 0, quint32(i), 0),
                             parent.second + name + '/');
    }
    std::vector<Made> files;
    FileRecordWriter writer;
    for (const auto &[folder, path] : folders) {
        writer.clear();
        for (int i = random.bounded(25); i > 0; --i) {
            files.push_back({path, stem() + QByteArray::number(i), folder,
                             random.bounded(8u) * 1000, random.bounded(5u) * 4096});
            writer.add(files.back().name, files.back().size, 0, files.back().allocated);
        }
        scan.listedFolder(folder, writer, 0, 0);
    }
    return files;
}

// As "path size allocated" lines; the first `keep` of a full sort in the measure when one is given.
QByteArrayList Lines(std::vector<Made> files, std::optional<SizeMeasure> measure = {}, int keep = 0)
{
    const auto key = [measure](const Made &f) {
        return measure == SizeMeasure::OnDisk ? f.allocated : f.size;
    };
    if (measure) {
        std::sort(files.begin(), files.end(), [&](const Made &a, const Made &b) {
            return key(a) != key(b) ? key(a) > key(b)
                                    : a.folderPath + a.name < b.folderPath + b.name;
        });
        files.resize(std::min(files.size(), size_t(keep)));
    }
    QByteArrayList lines;
    for (const Made &f : files)
        lines << f.folderPath + f.name + ' ' + QByteArray::number(f.size) + ' ' +
                     QByteArray::number(f.allocated);
    return lines;
}

QByteArrayList Lines(const DriveScan &scan, const std::vector<SearchHit> &hits)
{
    std::vector<Made> files;
    for (const SearchHit &hit : hits)
        files.push_back({scan.pathOf(hit.folder), hit.name, hit.folder, hit.size, hit.allocated});
    return Lines(files);
}

} // namespace

void TestFind::pattern_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");
    const auto row = [](const char *tag, const QString &pattern, const QString &name, bool match) {
        QTest::newRow(tag) << pattern << name << match;
    };
    row("part of a name", u"port"_s, u"rapport.txt"_s, true);
    row("case", u"RAPPORT"_s, u"Rapport.TXT"_s, true);
    row("accented capitals", u"ÉTÉ"_s, u"photos-été.jpg"_s, true);
    row("accent is a letter of its own", u"ete"_s, u"été.jpg"_s, false);
    row("star, whole name", u"*.iso"_s, u"debian.ISO"_s, true);
    row("star does not match a part", u"*.iso"_s, u"debian.iso.part"_s, false);
    row("question mark, one character", u"img-??.png"_s, u"img-07.png"_s, true);
    row("question mark, not two", u"img-?.png"_s, u"img-07.png"_s, false);
    row("shown form of bytes that are not UTF-8", u"caf\uFFFD"_s, u"caf\uFFFD"_s, true);
    row("blanks around are dropped", u"  note "_s, u"notes"_s, true);
    row("empty finds nothing", u" "_s, u"a"_s, false);
    row("no match", u"zzz"_s, u"rapport.txt"_s, false);
}

void TestFind::pattern()
{
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QTEST(NamePattern(pattern).matches(name), "matches");
    QTEST(NamePattern(pattern).matchesName(name.toUtf8()), "matches"); // as the records hold it
}

// The biggest first, however many are kept; every match counted; a name in no valid UTF-8 found
// by its shown form; a cancelled search says so.
void TestFind::search()
{
    DriveScan scan("/v/"_ba);
    const auto root = scan.openedFolder(WalkSink::NoFolder, "/v/"_ba, 0, 0, 0);
    const auto sub = scan.openedFolder(root, "sub"_ba, 0, 0, 0);
    FileRecordWriter files;
    for (int i = 0; i < 50; ++i)
        files.add("log-" + QByteArray::number(i), quint64((i * 37) % 50), 0);
    scan.listedFolder(sub, files, 0, 0);
    files.clear();
    files.add("big.log"_ba, 1000, 0);
    files.add("caf\xe9.log"_ba, 7, 0);
    files.add("other"_ba, 5000, 0);
    scan.listedFolder(root, files, 0, 1);

    constexpr auto Apparent = SizeMeasure::Apparent;
    const SearchResult all = SearchRecords(scan, NamePattern(u"LOG"_s), Apparent, 5);
    QVERIFY(all.complete);
    QCOMPARE(all.found, 52);
    QList<quint64> sizes;
    for (const SearchHit &hit : all.hits)
        sizes << hit.size;
    QCOMPARE(sizes, (QList<quint64>{1000, 49, 48, 47, 46}));
    QCOMPARE(SearchRecords(scan, NamePattern(u"caf\uFFFD*"_s), Apparent, 5).hits.front().name,
             "caf\xe9.log"_ba);
    const std::atomic<bool> cancelled{true};
    QVERIFY(!SearchRecords(scan, NamePattern(u"log"_s), Apparent, 5, &cancelled).complete);

    SearchModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setHeaders({u"Nom"_s, u"Dossier"_s, u"Taille"_s, u"Date"_s});
    model.setResult(scan, SearchRecords(scan, NamePattern(u"*.log"_s), Apparent, 10));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(0, SearchModel::Folder).data().toString(), u"/v/"_s);
    QCOMPARE(model.index(1, SearchModel::Name).data(SearchModel::NameRole), "caf\xe9.log"_ba);
    // Emptied and filled again, with the columns changed in between, under the tester.
    model.clear();
    QCOMPARE(model.rowCount(), 0);
    model.setFields({SearchModel::Field::Size, SearchModel::Field::Name});
    model.setResult(scan, all);
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.index(0, 0).data(SearchModel::SortRole), QVariant(quint64(1000)));
    QCOMPARE(model.index(0, 1).data().toString(), u"big.log"_s);
    // Sizes line up on the right; names as the view likes.
    QCOMPARE(model.index(0, 0).data(Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignRight | Qt::AlignVCenter));
    QVERIFY(!model.index(0, 1).data(Qt::TextAlignmentRole).isValid());
}

void TestFind::biggest_data()
{
    QTest::addColumn<SizeMeasure>("measure");
    QTest::addColumn<int>("keep");
    for (const int keep : {0, 1, 37, 100000}) {
        QTest::addRow("apparent, %d kept", keep) << SizeMeasure::Apparent << keep;
        QTest::addRow("on disk, %d kept", keep) << SizeMeasure::OnDisk << keep;
    }
}

// The files kept and their order are those of a full sort of every file, whatever order they
// are offered in; a cancelled pass says so.
void TestFind::biggest()
{
    QFETCH(SizeMeasure, measure);
    QFETCH(int, keep);
    DriveScan scan("/v/"_ba);
    std::vector<Made> files = MakeTree(scan), stored; // as made, as the records read back
    for (auto folder = WalkSink::FolderId(0); folder < quint32(scan.count()); ++folder) {
        FileRecordReader reader = scan.filesOf(folder);
        for (FileRecord f; reader.next(f);)
            stored.push_back({scan.pathOf(folder), f.name.toByteArray(), 0, f.size, f.allocated});
    }
    const SearchResult result = BiggestFilesOf(scan, measure, size_t(keep));
    QVERIFY(result.complete);
    QCOMPARE(result.found, qint64(files.size()));
    QCOMPARE(Lines(scan, result.hits), Lines(stored, measure, keep));

    // Offered shuffled, with sizes on disk of their own.
    std::shuffle(files.begin(), files.end(), QRandomGenerator(keep));
    BiggestFiles biggest(scan, measure, size_t(keep));
    for (const Made &file : files)
        biggest.offer(file.folder, FileRecord{file.name, file.size, file.allocated, 0});
    QCOMPARE(Lines(scan, biggest.take()), Lines(files, measure, keep));

    const std::atomic<bool> cancelled{true};
    QVERIFY(!BiggestFilesOf(scan, measure, size_t(keep), &cancelled).complete);
}

void TestFind::biggestModel_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("ascending"); // the names
    QTest::newRow("name") << int(BiggestModel::Name) << u"a b c d"_s;
    QTest::newRow("folder") << int(BiggestModel::Folder) << u"b c d a"_s;
    QTest::newRow("size on disk, not as text") << int(BiggestModel::OnDisk) << u"c d b a"_s;
    QTest::newRow("size, not as text") << int(BiggestModel::Size) << u"b a d c"_s;
    QTest::newRow("date, not as text") << int(BiggestModel::Date) << u"a d b c"_s;
}

// Each column sorts on its raw values, under the model checker; both sizes are shown.
void TestFind::biggestModel()
{
    QFETCH(int, column);
    DriveScan scan("/v/"_ba);
    const auto root = scan.openedFolder(WalkSink::NoFolder, "/v/"_ba, 0, 0, 0);
    const auto sub = scan.openedFolder(root, "sub"_ba, 0, 0, 0);
    BiggestModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSortFilterProxyModel sorted;
    sorted.setSourceModel(&model);
    sorted.setSortRole(BiggestModel::SortRole);
    sorted.sort(column);
    model.setResult(scan, {{{sub, "a"_ba, 100, 1000000, 9 * 86400},
                            {root, "b"_ba, 9, 8192, 400 * 86400},
                            {root, "c"_ba, 1000000000, 0, 20000 * 86400},
                            {root, "d"_ba, 1000, 4096, 31 * 86400}}});
    QStringList names;
    for (int row = 0; row < sorted.rowCount(); ++row)
        names << sorted.index(row, BiggestModel::Name).data().toString();
    QTEST(names.join(u' '), "ascending");
    QCOMPARE(model.index(0, BiggestModel::OnDisk).data().toString(), SizeText(1000000));
    QCOMPARE(model.index(0, 0).data(BiggestModel::FolderPathRole), "/v/sub/"_ba);
    // A scan saved without dates keeps its sizes.
    model.setResult(scan, {{{root, "e"_ba, 512, 4096, FileRecord::UnknownDate}}});
    QCOMPARE(model.index(0, BiggestModel::Size).data().toString(), SizeText(512));
    QCOMPARE(model.index(0, BiggestModel::Date).data().toString(), QString());
}

namespace {

using Tally = std::map<std::pair<FileKind, QByteArray>, std::pair<quint64, quint64>>;

Tally TallyOf(const KindCensus &census)
{
    Tally tally;
    for (const KindTally &kind : census.kinds)
        for (const ExtensionTally &extension : kind.extensions)
            tally[{kind.kind, extension.extension}] = {extension.count, extension.bytes};
    return tally;
}

} // namespace

// Endings of a kind that take as many bytes: the one of more files first, then by name.
void TestFind::kindEndingsTied()
{
    DriveScan scan("/t/"_ba);
    scan.openedFolder(WalkSink::NoFolder, "/t/"_ba, 0, 0, 0);
    FileRecordWriter files;
    for (const auto &[name, size] : std::initializer_list<std::pair<QByteArray, quint64>>{
             {"q.qcow2", 10}, {"a.iso", 10}, {"b.img", 5}, {"c.img", 5}})
        files.add(name, size, 0, size);
    scan.listedFolder(0, files, 0, 0);
    const KindCensus census = CountKinds(scan, 0, SizeMeasure::Apparent);
    QByteArrayList order;
    for (const ExtensionTally &ending : census.kinds.front().extensions)
        order.append(ending.extension);
    QCOMPARE(order, (QByteArrayList{"img", "iso", "qcow2"}));
}

void TestFind::kinds_data()
{
    QTest::addColumn<int>("top"); // among 40 random folders; 0 is the root
    QTest::addColumn<SizeMeasure>("measure");
    QTest::newRow("the volume, apparent sizes") << 0 << SizeMeasure::Apparent;
    QTest::newRow("the volume, on the disk") << 0 << SizeMeasure::OnDisk;
    QTest::newRow("a subfolder, apparent sizes") << 3 << SizeMeasure::Apparent;
    QTest::newRow("a subfolder, on the disk") << 3 << SizeMeasure::OnDisk;
}

// Against a count made here by the last dot of each name, over a random tree.
void TestFind::kinds()
{
    QFETCH(int, top);
    QFETCH(SizeMeasure, measure);
    const QByteArray names[] = {"a.JPG",       "b.jpg",    "Makefile",  ".bashrc",
                                "x.tar.gz",    "vm.QCOW2", "cd.iso",    "disk.img",
                                "libc.so.6",   "notes.6",  "trailing.", "m.cpp",
                                "r.Pdf",       "s.flac",   "t.mkv",     "v2.0.unknownext",
                                "libz.so.1.2", "notes.1.2"}; // the same endings, a library once
    QRandomGenerator random(11);
    DriveScan scan("/v/"_ba);
    std::vector<int> parents{-1};
    scan.openedFolder(WalkSink::NoFolder, "/v/"_ba, 0, 0, 0);
    for (int i = 1; i < 40; ++i) {
        parents.push_back(int(random.bounded(i)));
        scan.openedFolder(quint32(parents.back()), "d" + QByteArray::number(i), 0, 0, 0);
    }
    const auto below = [&](int folder) {
        for (; folder >= 0; folder = parents[size_t(folder)])
            if (folder == top)
                return true;
        return false;
    };
    Tally expected;
    for (int folder = 0; folder < 40; ++folder) {
        FileRecordWriter files;
        for (quint32 f = random.bounded(12u); f > 0; --f) {
            const FileRecord file{names[random.bounded(quint32(std::size(names)))],
                                  random.bounded(1u << 20), random.bounded(1u << 20), 0};
            files.add(file.name, file.size, file.date, file.allocated);
            if (!below(folder))
                continue;
            const qsizetype dot = file.name.lastIndexOf('.');
            auto &[count, bytes] = expected[{
                FileKindOf(file.name),
                dot > 0 ? file.name.sliced(dot + 1).toByteArray().toLower() : QByteArray()}];
            ++count;
            bytes += SizeIn(measure, file);
        }
        scan.listedFolder(quint32(folder), files, 0, 0);
    }
    QVERIFY(expected.size() >= 10);
    const KindCensus census = CountKinds(scan, quint32(top), measure);
    QCOMPARE(TallyOf(census), expected);
    quint64 count = 0;
    for (const KindTally &kind : census.kinds) {
        count += kind.count;
        for (size_t i = 1; i < kind.extensions.size(); ++i)
            QCOMPARE_GE(kind.extensions[i - 1].bytes, kind.extensions[i].bytes);
    }
    QCOMPARE(count, census.count);

    // The files of a kind and of an extension: as many as counted, the biggest first.
    for (const std::optional<QByteArray> &extension :
         {std::optional<QByteArray>(), std::optional("6"_ba)}) {
        const SearchResult files =
            FilesOfKind(scan, quint32(top), FileKind::Program, extension, SizeMeasure::Apparent, 3);
        quint64 programs = 0;
        for (const auto &[group, tally] : expected)
            programs +=
                group.first == FileKind::Program && (!extension || group.second == *extension)
                    ? tally.first
                    : 0;
        QCOMPARE(quint64(files.found), programs);
        QVERIFY(
            std::is_sorted(files.hits.begin(), files.hits.end(),
                           [](const SearchHit &a, const SearchHit &b) { return a.size > b.size; }));
    }
    const std::atomic<bool> cancelled{true};
    QVERIFY(!CountKinds(scan, quint32(top), measure, &cancelled).complete);

    KindsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setHeaders({u"Type"_s, u"Fichiers"_s, u"Taille"_s, u"%"_s});
    model.setCensus(census);
    QCOMPARE(model.rowCount(), int(census.kinds.size()));
    double shares = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex kind = model.index(row, KindsModel::Share);
        shares += kind.data(KindsModel::SortRole).toDouble();
        QCOMPARE(model.rowCount(kind.siblingAtColumn(0)),
                 int(census.kinds[size_t(row)].extensions.size()));
        QCOMPARE(model.index(0, KindsModel::Size, kind.siblingAtColumn(0))
                     .data(KindsModel::SortRole)
                     .toULongLong(),
                 census.kinds[size_t(row)].extensions[0].bytes);
        // A colour beside each kind's name, as on the map; none beside its endings.
        QVERIFY(kind.siblingAtColumn(KindsModel::Name).data(Qt::DecorationRole).isValid());
        QVERIFY(!kind.data(Qt::DecorationRole).isValid());
        QVERIFY(!model.index(0, KindsModel::Name, kind.siblingAtColumn(0))
                     .data(Qt::DecorationRole)
                     .isValid());
        // Each extension's row is named by its own ending.
        const auto &endings = census.kinds[size_t(row)].extensions;
        for (int at = 0; at < int(endings.size()); ++at)
            if (!endings[size_t(at)].extension.isEmpty())
                QCOMPARE(model.index(at, KindsModel::Name, kind.siblingAtColumn(0)).data(),
                         QVariant(u'.' + QString::fromLatin1(endings[size_t(at)].extension)));
    }
    QVERIFY(std::abs(shares - 100) < 1e-6);
    // Emptied and filled again, under the tester.
    model.setCensus({});
    QCOMPARE(model.rowCount(), 0);
    model.setCensus(census);
    QCOMPARE(model.rowCount(), int(census.kinds.size()));
}

// Sums past 64 bits stop there, as folder totals do.
void TestFind::totals()
{
    KindCounter huge(SizeMeasure::OnDisk);
    for (const char *name : {"a.iso", "b.iso"})
        huge.add({name, 0, 1ull << 63, 0});
    QCOMPARE(huge.census().bytes, ~0ull);
    // A raw file of a disk's size is a disk's copy, a camera's size a picture.
    for (const quint64 bytes : {1ull << 30, 1ull << 20})
        huge.add({"x.raw", bytes, 0, 0});
    const KindCensus census = huge.census();
    QCOMPARE(std::pair(census.kinds.front().kind, census.kinds.front().count),
             std::pair(FileKind::Picture, quint64(1)));
    QCOMPARE(census.kinds.back().count, quint64(3));
}

QTEST_MAIN(TestFind)
#include "tst_find.moc"
