#include "CollationKeys.h"
#include "DirListModel.h"
#include "DriveScanJob.h"
#include "FolderCollection.h"
#include "Formatting.h"
#include "ListSort.h"

#include <QAbstractItemModelTester>
#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <limits>
#include <memory>
#include <thread>

using namespace Qt::StringLiterals;
using namespace PercentColour;
using Value = std::function<QVariant()>;
Q_DECLARE_METATYPE(Value)

// The texts and colours of the list and the status bar; one scanned tree, changed on disk after
// the scan, with every model under the model tester.
class TestDirListModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void formatting_data();
    void formatting();
    void rows();
    void fill_data();
    void fill();
    void sort_data();
    void sort();
    void largeFolderSortsByName_data();
    void largeFolderSortsByName();
    void keyingChosen_data();
    void keyingChosen();
    void listSort_data();
    void listSort();

private:
    template<typename T = QString>
    QList<T> column(int column = DirListModel::Name, int role = Qt::DisplayRole) const
    {
        QList<T> values;
        for (int row = 0; row < m_model->rowCount(); ++row)
            values << m_model->index(row, column).data(role).template value<T>();
        return values;
    }

    QTemporaryDir m_dir;
    QByteArray m_root;
    FolderCollection m_folders;
    std::unique_ptr<DirListModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    QIcon m_folderIcon{QPixmap(16, 16)};
};

namespace {

qint64 Seconds(int year, int month, int day)
{
    return QDateTime(QDate(year, month, day), QTime(10, 30), Qt::UTC).toSecsSinceEpoch();
}

// A file of `size` bytes, or a folder when size is negative, made with its parents.
void Make(const QByteArray &path, qint64 size, qint64 date = 0)
{
    const QString name = QFile::decodeName(path);
    bool made = QDir().mkpath(size < 0 ? name : QFileInfo(name).path());
    if (size >= 0) {
        QFile file(name);
        made = made && file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'x')) == size;
    }
    const timespec times[2] = {{date, 0}, {date, 0}};
    if (!made || (date != 0 && ::utimensat(AT_FDCWD, path.constData(), times, 0) != 0))
        qFatal("cannot make the test tree");
}

} // namespace

void TestDirListModel::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_root = QFile::encodeName(m_dir.path()) + "/vol/";
    // Dates whose en_US texts sort in another order than their times. Folders are dated once
    // their content is made.
    Make(m_root + "list/a.txt", 1000, Seconds(2020, 12, 1));
    Make(m_root + "list/B.dat", 5, Seconds(2021, 1, 5));
    Make(m_root + "list/g", 0, Seconds(2019, 6, 15));
    Make(m_root + "list/d.log", 12, Seconds(2022, 3, 3));
    Make(m_root + "list/sub/x.bin", 1234567);
    Make(m_root + "list/sub", -1, Seconds(2018, 2, 2));
    Make(m_root + "list/empty", -1, Seconds(2023, 7, 7));
    Make(m_root + "colour/f", 50);
    Make(m_root + "colour/big/g", 500);
    Make(m_root + "colour/gone", -1);
    Make(m_root + "links/one", 100);
    Make(m_root + "links/sub", -1);
    QVERIFY(::link((m_root + "links/one").constData(), (m_root + "links/sub/two").constData()) ==
            0);
    DriveScanJob job(m_folders, m_root);
    QVERIFY(job.start());
    QCOMPARE(job.finish(), quint64(1235584 + 550 + 100));
    // The records decide the files, the disk the folders: f stays, gone and new get no row.
    Make(m_root + "colour/new", -1);
    QVERIFY(QDir().rmdir(QFile::decodeName(m_root + "colour/gone")));
    QVERIFY(QFile::remove(QFile::decodeName(m_root + "colour/f")));
}

void TestDirListModel::init()
{
    // A collating locale, "a" < "B" < "g", which a formatting row may change.
    QLocale::setDefault(QLocale(u"en_US"_s));
    m_tester.reset();
    m_model = std::make_unique<DirListModel>();
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    // Under the tester, which checks what they announce.
    m_model->setHeaders({u"Nom"_s, u"Taille"_s, u"%"_s, u"Date"_s});
    m_model->setFolderIcon(m_folderIcon);
}

// One row per boundary and side.
void TestDirListModel::formatting_data()
{
    QTest::addColumn<Value>("value");
    QTest::addColumn<QVariant>("expected");
    const auto row = [](const char *name, const QVariant &expected, const Value &value) {
        QTest::newRow(name) << value << expected;
    };
    using namespace PercentColour;
    constexpr quint64 Max = std::numeric_limits<quint64>::max();
    const auto bar = [](int strokes, const QString &number) {
        return QString(strokes, u'|') + u' ' + number + u'%';
    };
    row("bytes 0", u"   "_s, [] { return SizeText(0); });
    row("Kb 0.0996 rounds down", u"   1"_s, [] { return KilobyteText(1126); });
    row("Kb 0.1006 rounds up", u"   2"_s, [] { return KilobyteText(1127); });
    row("Mb largest", u"17592186044 416"_s, [] { return MegabyteText(Max); });
    row("grouped, 13 digits", u"5 360 403 804 557"_s, [] { return GroupedText(5360403804557); });
    // RoundUpTenths of signed ten-thousandths.
    const auto roundUp = [](qint64 raw) { return RoundUpTenths(FixedPoint::fromRaw(raw)); };
    row("round up -12.1", qint64(-11), [=] { return roundUp(-121000); });
    row("round up beyond 32 bits", qint64(2147483649), [=] { return roundUp(21474836481000); });
    // FixedPoint::fromRatio's raw amount, halves to even.
    const auto ratio = [](quint64 a, quint64 b) { return FixedPoint::fromRatio(a, b).raw(); };
    row("ratio half down to even", qint64(0), [=] { return ratio(1, 20000); });
    row("ratio half up to even", qint64(2), [=] { return ratio(3, 20000); });
    row("ratio above half", qint64(2), [=] { return ratio(3, 19999); });
    row("ratio, zero denominator", qint64(0), [=] { return ratio(5, 0); });
    row("ratio saturates", std::numeric_limits<qint64>::max(), [=] { return ratio(Max, 1); });
    row("percentage, zero reference", 0.0, [] { return Percentage(1, 0); });
    row("percent text, comma", bar(12, u"12,3"_s), [] {
        QLocale::setDefault(QLocale(u"fr_FR"_s));
        return PercentText(12.34);
    });
    row("bar 2.5 to even", bar(2, u"2.5"_s), [] { return PercentText(2.5); });
    row("bar 3.5 to even", bar(4, u"3.5"_s), [] { return PercentText(3.5); });
    row("bar negative", bar(0, u"-5.0"_s), [] { return PercentText(-5); });
    row("bar capped", bar(1000, u"1000000000000000000000.0"_s), [] { return PercentText(1e21); });
    // The previous row's colour carries on outside 0 to 100.
    const auto colour = [](double percent) { return PercentColourOf(percent, 0x123456); };
    row("colour -0.5", Rgb(0x123456), [=] { return colour(-0.5); });
    row("colour 0", Green, [=] { return colour(0); });
    row("colour 33", Green, [=] { return colour(33); });
    row("colour 66", LightOrange, [=] { return colour(66); });
    row("colour 100", Red, [=] { return colour(100); });
    row("colour 100.01", Rgb(0x123456), [=] { return colour(100.01); });
    // On a light base the bands stay as they are, even light orange on white. On a dark one a
    // band that reads stays; one that does not is mixed towards the text until it reads, and a red
    // stays a red.
    const auto readable = [](Rgb band, Rgb base, Rgb text) {
        const Rgb shown = ReadablePercentColour(band, base, text);
        if (shown == band || ContrastRatio(shown, base) < 4.5)
            return shown == band ? u"kept"_s : u"unreadable"_s;
        return (shown >> 16) > ((shown >> 8) & 0xFF) + 0x40 ? u"lighter red"_s : u"mixed"_s;
    };
    row("white, orange", u"kept"_s, [=] { return readable(LightOrange, 0xFFFFFF, 0x000000); });
    row("dark, green", u"kept"_s, [=] { return readable(Green, 0x202020, 0xE8E8E8); });
    row("dark, red", u"lighter red"_s, [=] { return readable(Red, 0x2A2A2A, 0xFFFFFF); });
    row("dark, first row", u"mixed"_s,
        [=] { return readable(FirstRowFallback, 0x202020, 0xE8E8E8); });
    // Midnight exactly shows the date alone; a second later, the time too.
    const auto date = [](QTime time) { return DateText(QDateTime(QDate(2026, 12, 6), time)); };
    row("date, a second past midnight", u"12/6/2026 12:00:01 AM"_s,
        [=] { return date(QTime(0, 0, 1)); });
    row("date, milliseconds do not count", u"12/6/2026"_s,
        [=] { return date(QTime(0, 0, 0, 500)); });
    // The year keeps its century in every locale, in the locale's order and separators.
    const auto century = [](const char *locale) {
        QLocale::setDefault(QLocale(QLatin1StringView(locale)));
        return DateText(QDateTime(QDate(2000, 1, 2), {})) + u' ' +
               DateText(QDateTime(QDate(2100, 1, 2), {}));
    };
    row("centuries, en_US", u"1/2/2000 1/2/2100"_s, [=] { return century("en_US"); });
    row("centuries, de_DE", u"02.01.2000 02.01.2100"_s, [=] { return century("de_DE"); });
    row("centuries, fr_FR", u"02/01/2000 02/01/2100"_s, [=] { return century("fr_FR"); });
    row("centuries, ko_KR", u"2000. 1. 2. 2100. 1. 2."_s, [=] { return century("ko_KR"); });
}

void TestDirListModel::formatting()
{
    QFETCH(Value, value);
    QTEST(value(), "expected");
}

// A file and a folder of list/, shown on a view whose colours change.
void TestDirListModel::rows()
{
    QVERIFY(m_model->fill(m_folders, m_root + "list", PercentBase::Folder, 0));
    QVERIFY(!m_model->isCompared());
    m_model->setFolderIcon(m_folderIcon); // on rows already shown
    const auto at = [&](const QString &name, int column, int role = Qt::DisplayRole) {
        return m_model->index(int(this->column().indexOf(name)), column).data(role);
    };
    const QString file = u"a.txt"_s;
    const QString folder = u"sub"_s;
    // Red must be lightened to read on a dark background; then the text changes alone, then the
    // background alone.
    QPalette palette;
    for (const auto &[base, text] : {std::pair(0x202020, 0xE8E8E8), std::pair(0x202020, 0x808080),
                                     std::pair(0xFFFFFF, 0x808080)}) {
        palette.setColor(QPalette::Base, QColor(QRgb(base)));
        palette.setColor(QPalette::Text, QColor(QRgb(text)));
        m_model->setViewPalette(palette);
        QCOMPARE(at(folder, DirListModel::Percent, Qt::ForegroundRole).value<QColor>(),
                 QColor(ReadablePercentColour(Red, Rgb(base), Rgb(text))));
    }
    QCOMPARE(at(file, 0, DirListModel::KeyRole).toByteArray(), "a.txt"_ba);
    QCOMPARE(at(folder, 0, DirListModel::KeyRole).toByteArray(), m_root + "list/sub/");
    QCOMPARE(at(file, DirListModel::Size).toString(), SizeText(1000));
    QCOMPARE(at(file, DirListModel::Percent).toString(), PercentText(100000.0 / 1235584));
    QCOMPARE(at(file, DirListModel::Date).toString(),
             DateText(QDateTime::fromSecsSinceEpoch(Seconds(2020, 12, 1))));
    QCOMPARE(at(file, 0, Qt::ToolTipRole).toString(), file); // the whole name, however narrow
    QCOMPARE(at(file, DirListModel::Size, Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(at(file, DirListModel::Name, Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignLeft | Qt::AlignVCenter));
    QCOMPARE(at(folder, 0, Qt::DecorationRole).value<QIcon>().cacheKey(), m_folderIcon.cacheKey());
    QVERIFY(at(file, 0, Qt::DecorationRole).value<QIcon>().cacheKey() != m_folderIcon.cacheKey());
    QVERIFY(!m_model->data({}).isValid());
    // The headings: the list's own, others as the base model numbers them.
    QStringList headings;
    for (int section = 0; section <= DirListModel::ColumnCount; ++section)
        headings << m_model->headerData(section, Qt::Horizontal).toString();
    headings << m_model->headerData(0, Qt::Vertical).toString();
    QCOMPARE(headings, (QStringList{u"Nom"_s, u"Taille"_s, u"%"_s, u"Date"_s, u"5"_s, u"1"_s}));

    // A hard-linked file's second name holds none of its bytes, and says why.
    m_model->setLinkedTip(u"counted once"_s);
    QVERIFY(m_model->fill(m_folders, m_root + "links/sub", PercentBase::Folder, 0));
    QCOMPARE(at(u"two"_s, DirListModel::Name, Qt::ToolTipRole).toString(), u"two\ncounted once"_s);
    QCOMPARE(at(u"two"_s, DirListModel::Size, Qt::ToolTipRole).toString(), u"counted once"_s);
    QVERIFY(m_model->fill(m_folders, m_root + "links", PercentBase::Folder, 0));
    QCOMPARE(at(u"one"_s, DirListModel::Name, Qt::ToolTipRole).toString(), u"one"_s);
    QVERIFY(!at(u"one"_s, DirListModel::Size, Qt::ToolTipRole).isValid());
}

// colour/ lists the file f (50 bytes), then the folder big (500 bytes). Each fill replaces the
// rows of list/.
void TestDirListModel::fill_data()
{
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<int>("base");
    QTest::addColumn<quint64>("diskSize");
    QTest::addColumn<bool>("scanned");
    QTest::addColumn<quint64>("folderSize");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<double>>("percents");
    QTest::addColumn<QList<QColor>>("colours");
    const int folder = int(PercentBase::Folder);
    const int disk = int(PercentBase::Disk);
    QTest::newRow("not on disk") << "nowhere/"_ba << folder << quint64(0) << false << quint64(0)
                                 << QStringList() << QList<double>() << QList<QColor>();
    QTest::newRow("empty, scanned") << "list/empty"_ba << folder << quint64(0) << true << quint64(0)
                                    << QStringList() << QList<double>() << QList<QColor>();
    QTest::newRow("of the folder")
        << "colour"_ba << folder << quint64(100) << true << quint64(550)
        << QStringList{u"f"_s, u"big"_s} << QList<double>{5000.0 / 550, 50000.0 / 550}
        << QList<QColor>{Green, Red};
    QTest::newRow("of the disk") << "colour/"_ba << disk << quint64(1000) << true << quint64(550)
                                 << QStringList{u"f"_s, u"big"_s} << QList<double>{5, 50}
                                 << QList<QColor>{Green, LightOrange};
    QTest::newRow("first row over 100")
        << "colour"_ba << disk << quint64(40) << true << quint64(550)
        << QStringList{u"f"_s, u"big"_s} << QList<double>{125, 1250}
        << QList<QColor>{FirstRowFallback, FirstRowFallback};
}

void TestDirListModel::fill()
{
    QFETCH(QByteArray, folder);
    QFETCH(int, base);
    QFETCH(quint64, diskSize);
    QVERIFY(m_model->fill(m_folders, m_root + "list", PercentBase::Folder, 0));
    QTEST(m_model->fill(m_folders, m_root + folder, PercentBase(base), diskSize), "scanned");
    QTEST(column(), "names");
    QTEST(m_model->folderSize(), "folderSize");
    QTEST(column<double>(DirListModel::Percent, DirListModel::SortRole), "percents");
    QTEST(column<QColor>(DirListModel::Percent, Qt::ForegroundRole), "colours");
}

void TestDirListModel::sort_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("ascending");
    // g and empty both hold 0 bytes: the name decides, not the listing (files first).
    QTest::newRow("name, by the collation")
        << int(DirListModel::Name)
        << QStringList{u"a.txt"_s, u"B.dat"_s, u"d.log"_s, u"empty"_s, u"g"_s, u"sub"_s};
    QTest::newRow("size, by number")
        << int(DirListModel::Size)
        << QStringList{u"empty"_s, u"g"_s, u"B.dat"_s, u"d.log"_s, u"a.txt"_s, u"sub"_s};
    QTest::newRow("date, by time")
        << int(DirListModel::Date)
        << QStringList{u"sub"_s, u"g"_s, u"a.txt"_s, u"B.dat"_s, u"d.log"_s, u"empty"_s};
    // Of 12 bytes, by text sub's "10288058.3%" would come before a.txt's "8333.3%".
    QTest::newRow("percentage, by value")
        << int(DirListModel::Percent)
        << QStringList{u"empty"_s, u"g"_s, u"B.dat"_s, u"d.log"_s, u"a.txt"_s, u"sub"_s};
}

// Each direction in turn, after a sort of other rows, whose name order must not carry over.
void TestDirListModel::sort()
{
    QFETCH(int, column);
    QFETCH(QStringList, ascending);
    QVERIFY(m_model->fill(m_folders, m_root + "colour", PercentBase::Disk, 12));
    m_model->sort(DirListModel::Name);
    QCOMPARE(this->column(), (QStringList{u"big"_s, u"f"_s})); // listed f, big
    QVERIFY(m_model->fill(m_folders, m_root + "list", PercentBase::Disk, 12));
    const QPersistentModelIndex selected = m_model->index(1, DirListModel::Name);
    const QString selectedName = selected.data().toString();
    m_model->sort(column, Qt::AscendingOrder);
    QCOMPARE(this->column(), ascending);
    m_model->sort(column, Qt::DescendingOrder);
    std::reverse(ascending.begin(), ascending.end());
    QCOMPARE(this->column(), ascending);
    // No such column: the order stays.
    m_model->sort(-1);
    m_model->sort(DirListModel::ColumnCount);
    QCOMPARE(this->column(), ascending);
    QCOMPARE(selected.data().toString(), selectedName); // a selection follows its row
}

// Records made without a disk, enough for the names to be collated in two halves and merged.
// Two invalid names decode alike; their bytes decide.
// Names sort as QCollator orders them in the user's language, in both halves of a large folder
// and across them.
void TestDirListModel::largeFolderSortsByName_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("ascii"); // printable ASCII names only, keyed from a table
    // Danish and Czech have rules over two letters; Russian and Japanese reorder the scripts.
    for (const char *name : {"fr_FR", "sv_SE", "de_DE", "da_DK", "cs_CZ", "ru_RU", "ja_JP", "C"})
        QTest::newRow(name) << QString::fromLatin1(name) << false;
    // Czech sorts "ch" after "h", Danish "aa" as one letter and capitals first.
    for (const char *name : {"en_US", "fr_FR", "cs_CZ", "da_DK", "tr_TR", "C"})
        QTest::addRow("%s, ASCII", name) << QString::fromLatin1(name) << true;
}

void TestDirListModel::largeFolderSortsByName()
{
    QFETCH(QString, locale);
    QFETCH(bool, ascii);
    const QLocale kept;
    QLocale::setDefault(QLocale(locale));
    const auto restore = qScopeGuard([&] { QLocale::setDefault(kept); });
    m_tester.reset(); // it would look up an icon for every name
    FolderCollection folders;
    const QByteArray root = "/nowhere/quarnel/"_ba;
    DriveScan &scan = *folders.addDrive(root);
    const auto folder = scan.openedFolder(WalkSink::NoFolder, root, 0, 0, 0);
    FileRecordWriter files;
    // Accents composed and not, case, punctuation, digits, letters some languages sort apart,
    // and characters beyond 16 bits.
    QByteArrayList stems =
        ascii ? QByteArrayList{"f",  "F",  "_x", "-x", "x.", " a", "a b", "A~",
                               "a!", "Zz", "zZ", "ab", "aB", "Ab", "ch",  "cz",
                               "h",  "aa", "I",  "i",  "ae", "~",  ""}
              : QByteArrayList{
                    "f",    "F",     "été",   "ete", "Été", "e\xcc\x81te",      "_x", "-x", "x.",
                    "Æble", "ärger", "zebra", "ß",   "ss",  "\xf0\x9d\x92\x9c", "Ö"};
    // Letters a rule joins to the one before (Catalan "l·l", Cyrillic "й" decomposed, Thai vowels
    // written first), Korean syllables and their letters, Tibetan marks that weigh, a
    // noncharacter, other scripts.
    if (!ascii)
        for (const QString &stem : {u"l·l"_s,
                                    u"L·la"_s,
                                    u"ll"_s,
                                    u"lz"_s,
                                    u"й"_s,
                                    u"и\u0306"_s,
                                    u"и"_s,
                                    u"данные"_s,
                                    u"Ωμέγα"_s,
                                    u"ωμεγα"_s,
                                    u"日本"_s,
                                    u"한국"_s,
                                    u"\u1112\u1161\u11ab"_s,
                                    u"ch"_s,
                                    u"cz"_s,
                                    u"h"_s,
                                    u"aa"_s,
                                    u"å"_s,
                                    u"ไทย"_s,
                                    u"\u0f40\u0f71\u0f72"_s,
                                    u"\u0f40\u0f73"_s,
                                    u"\ufdd14"_s,
                                    u"4"_s})
            stems.append(stem.toUtf8());
    for (int i = 0; i < 12000; ++i)
        files.add(stems[i % stems.size()] + QByteArray::number((i * 7919) % 12000), 0, 0);
    // Names alike but for case, which only the third level tells apart.
    for (const char *name : {"case", "Case", "CASE", "cAse", "i-I", "I-i"})
        files.add(name, 0, 0);
    files.add(ascii ? "\x7e"_ba : "\xff"_ba, 0, 0);
    files.add(ascii ? "\x20"_ba : "\xfe"_ba, 0, 0);
    files.add("unread"_ba, 0, FileRecord::UnknownDate); // no date made up for it
    scan.listedFolder(folder, files, 0, 0);

    // The window loads the locale's rules and table on a worker thread at start-up, which may
    // still be at it when the first list sorts: here both load the row's locale at once.
    std::thread preparing([&] { CollationKeys::Prepare(QLocale(locale)); });
    const auto prepared = qScopeGuard([&] { preparing.join(); });
    QVERIFY(m_model->fill(folders, root, PercentBase::Folder, 0));
    m_model->sort(DirListModel::Name, Qt::AscendingOrder);
    const QStringList names = column();
    const QByteArrayList keys = column<QByteArray>(DirListModel::Name, DirListModel::KeyRole);
    QCOMPARE(names.size(), 12009);
    const qsizetype unread = names.indexOf(u"unread"_s);
    QCOMPARE(m_model->index(int(unread), DirListModel::Date).data().toString(), QString());
    const QCollator collator;
    for (int row = 1; row < names.size(); ++row) {
        const int order = collator.compare(names[row - 1], names[row]);
        QVERIFY2(order < 0 || (order == 0 && keys[row - 1] < keys[row]),
                 qPrintable(names[row - 1] + u" before "_s + names[row]));
    }
    // Every file holds 0 bytes: by size, the names decide.
    m_model->sort(DirListModel::Size, Qt::AscendingOrder);
    QCOMPARE(column(), names);
}

// ASCII names are keyed from the table where the locale's rules allow it, and by first-level
// ranks where they do not (a rule over two letters); other names by ranks too, but where the
// locale reorders the scripts. The sort above holds either way.
void TestDirListModel::keyingChosen_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("table");
    QTest::addColumn<bool>("ranks");
    for (const char *name : {"en_US", "fr_FR", "de_DE", "tr_TR"})
        QTest::newRow(name) << QString::fromLatin1(name) << true << true;
    for (const char *name : {"cs_CZ", "da_DK"})
        QTest::newRow(name) << QString::fromLatin1(name) << false << true;
    for (const char *name : {"ru_RU", "ja_JP"})
        QTest::newRow(name) << QString::fromLatin1(name) << true << false;
}

void TestDirListModel::keyingChosen()
{
    QFETCH(QString, locale);
    QFETCH(bool, table);
    QFETCH(bool, ranks);
    CollationKeys keys{QLocale(locale)};
    keys.setAsciiOnly(true);
    QCOMPARE(keys.firstLevelOnly(), !table);
    keys.setAsciiOnly(false);
    QCOMPARE(keys.firstLevelOnly(), ranks);
}

void TestDirListModel::listSort_data()
{
    // Heading clicks after start-up; -1 refills.
    QTest::addColumn<QList<int>>("steps");
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::newRow("start-up: by name, ascending") << QList<int>{} << 1 << Qt::AscendingOrder;
    QTest::newRow("refill keeps it") << QList<int>{-1} << 1 << Qt::AscendingOrder;
    QTest::newRow("same twice flips") << QList<int>{2, 2} << 2 << Qt::DescendingOrder;
    QTest::newRow("another keeps it") << QList<int>{2, 2, 1} << 1 << Qt::DescendingOrder;
    QTest::newRow("three times") << QList<int>{2, 2, 2} << 2 << Qt::AscendingOrder;
    QTest::newRow("click after refill") << QList<int>{4, -1, 4} << 4 << Qt::DescendingOrder;
}

void TestDirListModel::listSort()
{
    QFETCH(QList<int>, steps);
    ListSort sort;
    sort.startUp();
    for (const int step : steps)
        step < 0 ? sort.refill() : sort.headingClicked(step);
    QTEST(sort.column(), "column");
    QTEST(sort.order(), "order");
}

QTEST_MAIN(TestDirListModel)
#include "tst_dirlistmodel.moc"
