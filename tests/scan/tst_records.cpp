#include "DriveScan.h"
#include "FileRecordCodec.h"
#include "PathEscape.h"
#include "FolderRecord.h"

#include <QRandomGenerator>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

// The records' storage without a disk: the packed file records, the folder records as a sink
// receives them, and the escaping of paths in reports.
class TestRecords : public QObject
{
    Q_OBJECT
private slots:
    void packedRecordsRoundTrip();
    void folderRecords();
    void totalsSaturate();
    void escape_data();
    void escape();
};

void TestRecords::packedRecordsRoundTrip()
{
    struct File
    {
        QByteArray name;
        quint64 size;
        qint64 date;
    };
    QList<File> files = {
        {""_ba, 0, 0},
        {"a"_ba, 1, 1},
        {QByteArray(255, 'n'), std::numeric_limits<quint64>::max(), std::numeric_limits<qint64>::max()},
        {"\xff\x00\n"_ba, quint64(5) << 30, std::numeric_limits<qint64>::min()},
        {"back"_ba, 127, -1},
        {"128"_ba, 128, 1733472000},
    };
    QRandomGenerator random(1);
    for (int i = 0; i < 200; ++i) {
        QByteArray name(random.bounded(300), Qt::Uninitialized);
        for (char &c : name)
            c = char(random.bounded(256));
        files.append({name, random.generate64() >> random.bounded(64), qint64(random.generate64())});
    }

    FileRecordWriter writer;
    writer.add("stale"_ba, 1, 2);
    writer.clear(); // a writer reused for the next folder starts afresh
    for (const File &f : files)
        writer.add(f.name, f.size, f.date);
    QCOMPARE(writer.count(), quint32(files.size()));

    FileRecordReader reader(writer.data(), writer.byteCount());
    FileRecord file;
    for (const File &f : files) {
        QVERIFY(reader.next(file));
        QCOMPARE(file.name.toByteArray(), f.name);
        QCOMPARE(file.size, f.size);
        QCOMPARE(file.date, f.date);
    }
    QVERIFY(!reader.next(file));
}

void TestRecords::folderRecords()
{
    DriveScan scan("/vol/"_ba);
    const auto root = scan.openedFolder(WalkSink::NoFolder, "/vol/"_ba, 100, 0, 0);
    const auto docs = scan.openedFolder(root, "Docs"_ba, 200, 0, 0);
    const auto lower = scan.openedFolder(root, "docs"_ba, 300, 1, 0);
    const auto deep = scan.openedFolder(docs, "a\nb"_ba, 400, 0, 0);

    FileRecordWriter files;
    files.add("x.txt"_ba, 10, 1000);
    scan.listedFolder(deep, files, 10, 0);
    // Listed but its files not yet published: a reader sees none of them.
    QCOMPARE(scan.folder(qsizetype(docs)).fileCount(), quint32(0));
    files.clear();
    files.add("y"_ba, 7, 2000);
    files.add("z"_ba, 5, 2001);
    scan.listedFolder(docs, files, 12, 1);
    files.clear();
    scan.listedFolder(lower, files, 0, 0);
    scan.listedFolder(root, files, 0, 2);

    QCOMPARE(scan.count(), 4);
    QCOMPARE(scan.totalSize(), quint64(22));
    QCOMPARE(scan.folder(qsizetype(docs)).size(), quint64(22));
    QCOMPARE(scan.folder(qsizetype(lower)).size(), quint64(0));
    QCOMPARE(scan.folder(qsizetype(deep)).path(), "/vol/Docs/a\nb/"_ba);
    QCOMPARE(scan.folder(qsizetype(deep)).date(), qint64(400));
    QCOMPARE(scan.folder(qsizetype(root)).subfolderEntries(), quint32(2));
    QByteArrayList names;
    for (const FileRecord &file : scan.folder(qsizetype(docs)).files())
        names << file.name.toByteArray();
    QCOMPARE(names, QByteArrayList({"y"_ba, "z"_ba}));
    QVERIFY(FolderRecord().isNull());
    QCOMPARE(FolderRecord().size(), quint64(0));

    // Keys compare exactly, byte for byte.
    QCOMPARE(scan.indexOf("/vol/Docs/"_ba), qsizetype(docs));
    QCOMPARE(scan.indexOf("/vol/docs/"_ba), qsizetype(lower));
    QCOMPARE(scan.indexOf("/vol/DOCS/"_ba), -1);
    QCOMPARE(scan.indexOf("/vol/Docs"_ba), -1);
    QCOMPARE(scan.indexOf("/vol/"_ba), qsizetype(root));
    QCOMPARE(scan.indexOf("/vol/Docs/a\nb/"_ba), qsizetype(deep));
    QCOMPARE(scan.indexOf("/vol/Docsa\nb/"_ba), -1);
    QVERIFY(scan.folder(4).isNull());

    // Settling a hard link moves its bytes between the two chains of ancestors.
    scan.moveBytes(deep, lower, 10);
    QCOMPARE(scan.folder(qsizetype(docs)).size(), quint64(12));
    QCOMPARE(scan.folder(qsizetype(lower)).size(), quint64(10));
    QCOMPARE(scan.totalSize(), quint64(22));
}

void TestRecords::totalsSaturate()
{
    DriveScan scan("/"_ba);
    const auto root = scan.openedFolder(WalkSink::NoFolder, "/"_ba, 0, 0, 0);
    const auto a = scan.openedFolder(root, "a"_ba, 0, 0, 0);
    const auto b = scan.openedFolder(root, "b"_ba, 0, 1, 0);
    FileRecordWriter files;
    const quint64 huge = std::numeric_limits<quint64>::max() - 5;
    scan.listedFolder(a, files, huge, 0);
    scan.listedFolder(b, files, 100, 0);
    QCOMPARE(scan.totalSize(), std::numeric_limits<quint64>::max());
    QCOMPARE(scan.folder(qsizetype(b)).size(), quint64(100));
}

void TestRecords::escape_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("plain") << "dir/file.txt"_ba << "dir/file.txt"_ba;
    QTest::newRow("utf-8 kept") << "été/日本/😀"_ba << "été/日本/😀"_ba;
    QTest::newRow("backslash doubled") << "a\\b"_ba << "a\\\\b"_ba;
    QTest::newRow("newline and tab") << "a\nb\tc"_ba << "a\\x0ab\\x09c"_ba;
    QTest::newRow("C1 control") << "\xc2\x85"_ba << "\\xc2\\x85"_ba;
    // The edges of the two-byte leads, and the last surrogate.
    QTest::newRow("first two-byte lead") << "\xc2\xa0"_ba << "\xc2\xa0"_ba;
    QTest::newRow("last two-byte lead") << "\xdf\xbf"_ba << "\xdf\xbf"_ba;
    QTest::newRow("last surrogate") << "\xed\xbf\xbf"_ba << "\\xed\\xbf\\xbf"_ba;
    QTest::newRow("line separator") << "\xe2\x80\xa8|\xe2\x80\xa9"_ba << "\\xe2\\x80\\xa8|\\xe2\\x80\\xa9"_ba;
    QTest::newRow("invalid bytes") << "\xff\xfe"_ba << "\\xff\\xfe"_ba;
    QTest::newRow("truncated sequence") << "a\xc3"_ba << "a\\xc3"_ba;
    QTest::newRow("surrogate") << "\xed\xa0\x80"_ba << "\\xed\\xa0\\x80"_ba;
    QTest::newRow("beyond U+10FFFF") << "\xf4\x90\x80\x80"_ba << "\\xf4\\x90\\x80\\x80"_ba;
    QTest::newRow("nul") << QByteArray("a\0b", 3) << "a\\x00b"_ba;
}

void TestRecords::escape()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, expected);
    QCOMPARE(EscapePath(path), expected);
}

QTEST_APPLESS_MAIN(TestRecords)
#include "tst_records.moc"
