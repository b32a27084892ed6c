#include "FileSearch.h"
#include "SearchModel.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace Qt::StringLiterals;

class TestFind : public QObject
{
    Q_OBJECT
private slots:
    void pattern_data();
    void pattern();
    void search();
};

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

    const SearchResult all = SearchRecords(scan, NamePattern(u"LOG"_s), 5);
    QVERIFY(all.complete);
    QCOMPARE(all.found, 52);
    QList<quint64> sizes;
    for (const SearchHit &hit : all.hits)
        sizes << hit.size;
    QCOMPARE(sizes, (QList<quint64>{1000, 49, 48, 47, 46}));
    QCOMPARE(SearchRecords(scan, NamePattern(u"caf\uFFFD*"_s), 5).hits.front().name,
             "caf\xe9.log"_ba);
    const std::atomic<bool> cancelled{true};
    QVERIFY(!SearchRecords(scan, NamePattern(u"log"_s), 5, &cancelled).complete);

    SearchModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setResult(scan, SearchRecords(scan, NamePattern(u"*.log"_s), 10));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(0, SearchModel::Folder).data().toString(), u"/v/"_s);
    QCOMPARE(model.index(1, SearchModel::Name).data(SearchModel::NameRole), "caf\xe9.log"_ba);
}

QTEST_MAIN(TestFind)
#include "tst_find.moc"
