#include "ActTexts.h"
#include "FormatText.h"
#include "MainLayout.h"
#include "PaintHold.h"
#include "SettingsStore.h"
#include "ShellOpen.h"
#include "TwipsScale.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRect>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(WindowSettings)

namespace {
template<typename Change> WindowSettings with(Change change)
{
    WindowSettings settings;
    change(settings);
    return settings;
}
} // namespace

// The window's parts that need no window: settings, text formatting, layout arithmetic, opening
// documents.
class TestUnits : public QObject
{
    Q_OBJECT
private slots:
    void settingsFirstRunThenSave();
    void settingsJunk_data();
    void settingsJunk();
    void settingsRoundTripInTwips();
    void settingWritten_data();
    void settingWritten();
    void formatText_data();
    void formatText();
    void amountText_data();
    void durationText_data();
    void durationText();
    void readingText_data();
    void readingText();
    void amountText();
    void arrange_data();
    void arrange();
    void drag_data();
    void drag();
    void shellOpen_data();
    void shellOpen();
    void paintHold();

private:
    QString storeFile(const QByteArray &contents);

    QTemporaryDir m_dir;
    int m_files = 0;
};

// Every test gets a file of its own: Qt caches a settings file's contents by name.
QString TestUnits::storeFile(const QByteArray &contents)
{
    const QString name = m_dir.filePath(u"store%1.conf"_s.arg(++m_files));
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        qFatal("cannot write the test store");
    return name;
}

// Reading a new store makes its folder and moves no window, a
// width or a height alone is still a size to restore. Saved, a boolean is -1 or 0 and a length
// decimal text.
void TestUnits::settingsFirstRunThenSave()
{
    const SettingsStore store(m_dir.filePath(u"first/Orvanne/QNL.conf"_s));
    QWidget window;
    LoadWindowPos(store, window, SettingName::MainLeft, SettingName::MainTop, TwipsScale());
    QVERIFY(!window.testAttribute(Qt::WA_Moved));
    QVERIFY(QFileInfo(m_dir.filePath(u"first/Orvanne"_s)).isDir());
    LoadWindowSize(SettingsStore(storeFile("[Option]\nMainWidth=3000\n")), window,
                   SettingName::MainWidth, SettingName::MainHeight, TwipsScale(15, 15));
    QCOMPARE(window.width(), 200);
    LoadWindowSize(SettingsStore(storeFile("[Option]\nMainHeight=1500\n")), window,
                   SettingName::MainWidth, SettingName::MainHeight, TwipsScale(15, 15));
    QCOMPARE(window.size(), QSize(200, 100));
    // A view's window is placed as the main window is, under its own names.
    const SettingsStore views(storeFile("[Option]\nKindsLeft=1500\nKindsTop=750\n"));
    LoadToolWindow(views, window, SettingName::KindsWindow, TwipsScale(15, 15));
    QCOMPARE(window.pos(), QPoint(100, 50));
    // Placed wholly off every screen, it comes back onto the nearest.
    LoadToolWindow(SettingsStore(storeFile("[Option]\nKindsLeft=-1499985\nKindsTop=0\n")), window,
                   SettingName::KindsWindow, TwipsScale(15, 15));
    QCOMPARE(window.pos(), QPoint(0, 0));
    SaveToolWindow(views, window, SettingName::KindsWindow, TwipsScale(15, 15));
    QCOMPARE(QSettings(views.fileName(), QSettings::IniFormat).value(u"Option/KindsWidth"_s),
             QString::number(window.frameGeometry().width() * 15));

    SaveWindowSettings(store, {false,
                               true,
                               7,
                               3001,
                               {1500, 900, 1200, 2250},
                               -150,
                               300,
                               9000,
                               6000,
                               true,
                               2000,
                               true,
                               true});
    QFile file(store.fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromLatin1(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    lines.sort();
    QCOMPARE(
        lines,
        QStringList({u"Date=2250"_s, u"FolderSize=3001"_s, u"MainHeight=6000"_s, u"MainLeft=-150"_s,
                     u"MainTop=300"_s, u"MainWidth=9000"_s, u"MapHeight=2000"_s, u"MapView=-1"_s,
                     u"Name=1500"_s, u"Size1=900"_s, u"Size2=1200"_s, u"SizeOnDisk=-1"_s,
                     u"ViewBar=0"_s, u"ViewStatus=-1"_s, u"ViewType=7"_s, u"[Option]"_s}));
}

// What a store reads as; junk never stops it from saving all twelve values and reading them back
// afterwards. The contents may instead name a store that cannot be written, whose writes are lost.
void TestUnits::settingsJunk_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<WindowSettings>("expected");
    const WindowSettings defaults;
    const auto line = [](const char *name, const QByteArray &text, const WindowSettings &expected) {
        QTest::newRow(name) << "[Option]\n" + text + '\n' << expected;
    };
    line("number in blanks", "ViewType=\" 12 \""_ba, with([](auto &s) { s.viewType = 12; }));
    line("number too large", "ViewType=99999999999"_ba, defaults);
    line("number as bytes", "FolderSize=@ByteArray(3000)"_ba, defaults);
    line("number typed", "FolderSize=@Variant(\\0\\0\\0\\x2\\0\\0\\v\\xb8)"_ba,
         with([](auto &s) { s.folderSize = 3000; }));
    line("text NUL escaped", "Name=12\\0 34"_ba, with([](auto &s) {
             s.columnWidths[0] = 12;
             s.columnsStored = true;
         }));
    line("text NUL first", "Size2=\\0 34"_ba, defaults);
    line("text fraction", "Name=2250.6"_ba, with([](auto &s) {
             s.columnWidths[0] = 2251;
             s.columnsStored = true;
         }));
    line("text exponent too large", "Name=1e99"_ba, defaults);
    line("text the largest length", "Name=2147483647"_ba, with([](auto &s) {
             s.columnWidths[0] = 2147483647;
             s.columnsStored = true;
         }));
    line("text one past the largest", "Name=2147483648"_ba, defaults);
    line("text as rectangle", "Name=@Rect(1 2 3 4)"_ba, defaults);
    line("map shown, its height", "MapView=-1\nMapHeight=4000"_ba, with([](auto &s) {
             s.mapShown = true;
             s.mapHeight = 4000;
         }));
    line("map neither true nor false", "MapView=7"_ba, defaults);
    line("map as text", "MapView=oui"_ba, defaults);
    line("sizes on disk", "SizeOnDisk=-1"_ba, with([](auto &s) { s.sizeOnDisk = true; }));
    line("sizes on disk neither true nor false", "SizeOnDisk=2"_ba, defaults);

    QByteArray garbage(1 << 16, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(garbage.data()), garbage.size() / 4);
    const QByteArray good = "[Option]\nViewType=1\nName=2000\n";
    const WindowSettings goodSettings = with([](auto &s) {
        s.viewType = 1;
        s.columnWidths[0] = 2000;
        s.columnsStored = true;
    });
    QTest::newRow("values then garbage") << good + garbage << goodSettings;
    QTest::newRow("NUL bytes") << QByteArray(4096, '\0') << defaults;
    QTest::newRow("beneath a file") << storeFile({}).toUtf8() + "/QNL.conf" << defaults;
    const QString readOnly = storeFile("[Option]\nViewType=1\n");
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QTest::newRow("read-only") << readOnly.toUtf8() << with([](auto &s) { s.viewType = 1; });
}

void TestUnits::settingsJunk()
{
    QFETCH(QByteArray, contents);
    QFETCH(WindowSettings, expected);
    const bool unwritable = contents.startsWith('/'); // then the contents name the store
    const QString name = unwritable ? QString::fromUtf8(contents) : storeFile(contents);
    if (unwritable && QFileInfo(name).isWritable())
        QSKIP("this user may write any file");
    const SettingsStore store(name);
    QCOMPARE(LoadWindowSettings(store), expected);
    const WindowSettings saved{false, false, 1,     99,   {1, 2, 3, 4}, 5,   6,
                               7,     8,     false, 3600, false,        true};
    SaveWindowSettings(store, saved);
    QCOMPARE(LoadWindowSettings(store), unwritable ? expected : saved);
}

// A number is stored as a signed 32-bit integer or not at all; a value of the wrong kind is
// refused and leaves nothing behind.
void TestUnits::settingWritten_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("stored"); // invalid: refused
    const int text = int(SettingKind::Text), number = int(SettingKind::Number);
    QTest::newRow("text") << text << QVariant(u"abc"_s) << QVariant(u"abc"_s);
    QTest::newRow("text from a rectangle") << text << QVariant(QRect(1, 2, 3, 4)) << QVariant();
    QTest::newRow("number rounded") << number << QVariant(2.6) << QVariant(3);
    QTest::newRow("true") << number << QVariant(true) << QVariant(-1);
    QTest::newRow("false") << number << QVariant(false) << QVariant(0);
    QTest::newRow("largest") << number << QVariant(2147483647.0) << QVariant(2147483647);
    QTest::newRow("one past the largest") << number << QVariant(2147483648.0) << QVariant();
    QTest::newRow("smallest") << number << QVariant(-2147483648.0) << QVariant(-2147483647 - 1);
    QTest::newRow("one below the smallest") << number << QVariant(-2147483649.0) << QVariant();
    QTest::newRow("not a number") << number << QVariant(u"abc"_s) << QVariant();
    QTest::newRow("NaN") << number << QVariant(qQNaN()) << QVariant();
    QTest::newRow("another kind") << 2 << QVariant(1) << QVariant();
}

void TestUnits::settingWritten()
{
    QFETCH(int, kind);
    QFETCH(QVariant, value);
    QFETCH(QVariant, stored);
    QTemporaryDir dir;
    const QString file = dir.filePath(u"s.ini"_s);
    {
        QSettings key(file, QSettings::IniFormat);
        QCOMPARE(SetRegValue(key, u"V", SettingKind(kind), value), stored.isValid());
    }
    const QVariant read = QSettings(file, QSettings::IniFormat).value(u"V"_s);
    QCOMPARE(read.isValid(), stored.isValid());
    if (stored.isValid())
        QCOMPARE(read.toString(), stored.toString());
}

// A window's place and outer size, which must not grow by the frame from one run to the next:
// restored before the window is shown, as the main window's are, at 120 dpi.
void TestUnits::settingsRoundTripInTwips()
{
    const int perPixel = 12;
    const SettingsStore store(storeFile({}));
    QWidget saved, restored;
    saved.setGeometry(40, 70, 420, 310);
    saved.show();
    QVERIFY(QTest::qWaitForWindowExposed(&saved));
    const QRect frame = saved.frameGeometry();
    QVERIFY(frame.size() != saved.size()); // else the outer size could not be told apart
    SaveWindowSettings(store, {.mainLeft = frame.x() * perPixel,
                               .mainTop = frame.y() * perPixel,
                               .mainWidth = frame.width() * perPixel,
                               .mainHeight = frame.height() * perPixel});
    LoadWindowPos(store, restored, u"MainLeft", u"MainTop", TwipsScale(perPixel, perPixel));
    LoadWindowSize(store, restored, u"MainWidth", u"MainHeight", TwipsScale(perPixel, perPixel));
    restored.show();
    QVERIFY(QTest::qWaitForWindowExposed(&restored));
    QTRY_COMPARE(restored.frameGeometry(), frame);
}

void TestUnits::formatText_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");
    QTest::newRow("capital S") << u"<%S>"_s << QStringList{u"x"_s} << u"<x>"_s;
    QTest::newRow("doubled percent uses a position")
        << u"%%%s"_s << QStringList{u"a"_s, u"b"_s} << u"%b"_s;
    QTest::newRow("dropped pair uses a position")
        << u"%d%s"_s << QStringList{u"a"_s, u"b"_s} << u"b"_s;
    QTest::newRow("percent astral dropped whole") << u"a%😀b"_s << QStringList{} << u"ab"_s;
    QTest::newRow("trailing percent dropped") << u"100%"_s << QStringList{} << u"100"_s;
    QTest::newRow("sixth placeholder empty")
        << u"%s%s%s%s%s%s."_s << QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s} << u"12345."_s;
}

// What a confirmation says an item holds: always a number, in bytes below what rounds to a
// kilobyte.
void TestUnits::amountText_data()
{
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<qint64>("files"); // -1: not said
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty file") << quint64(0) << qint64(1) << u"0 octet, 1 Fichiers."_s;
    QTest::newRow("50 bytes") << quint64(50) << qint64(1) << u"50 octets, 1 Fichiers."_s;
    QTest::newRow("103 bytes round up") << quint64(103) << qint64(-1) << u"1 Kb"_s;
    QTest::newRow("megabytes, grouped files")
        << quint64(5u << 20) << qint64(12345) << u"5 Mb, 12 345 Fichiers."_s;
}

void TestUnits::amountText()
{
    QFETCH(quint64, bytes);
    QFETCH(qint64, files);
    QFETCH(QString, expected);
    QCOMPARE(AmountText(bytes, files < 0 ? std::nullopt : std::optional<quint64>(quint64(files))),
             expected);
}

// An estimate rounds up, never to nothing, and changes unit where the smaller would pass 59.
void TestUnits::durationText_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nothing left") << 0.0 << u"1 s"_s;
    QTest::newRow("a fraction") << 0.2 << u"1 s"_s;
    QTest::newRow("last seconds") << 59.0 << u"59 s"_s;
    QTest::newRow("a minute") << 60.0 << u"1 min"_s;
    QTest::newRow("just over") << 61.0 << u"2 min"_s;
    QTest::newRow("last minutes") << 3540.0 << u"59 min"_s;
    QTest::newRow("an hour") << 3541.0 << u"1 h 0 min"_s;
    QTest::newRow("hours and minutes") << 7500.5 << u"2 h 6 min"_s;
}

void TestUnits::durationText()
{
    QFETCH(double, seconds);
    QFETCH(QString, expected);
    QCOMPARE(DurationText(seconds), expected);
}

// The time left waits for a second of reading and for a first byte; a count read past what
// there was to read says no more than all of it.
void TestUnits::readingText_data()
{
    QTest::addColumn<quint64>("read");
    QTest::addColumn<quint64>("toRead");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<QString>("expected");
    const quint64 mb = 1 << 20;
    QTest::newRow("sizes compared")
        << 0ull << 0ull << 5000ll << u"Recherche des fichiers de même taille…"_s;
    QTest::newRow("nothing read") << 0ull << 4 * mb << 5000ll << u"Lecture : 0 octet sur 4 Mb"_s;
    QTest::newRow("first second") << mb << 4 * mb << 999ll << u"Lecture : 1 Mb sur 4 Mb"_s;
    QTest::newRow("a rate") << mb << 4 * mb << 1000ll
                            << u"Lecture : 1 Mb sur 4 Mb, encore environ 3 s"_s;
    QTest::newRow("read past") << 5 * mb << 4 * mb << 8000ll
                               << u"Lecture : 4 Mb sur 4 Mb, encore environ 1 s"_s;
}

void TestUnits::readingText()
{
    QFETCH(quint64, read);
    QFETCH(quint64, toRead);
    QFETCH(qint64, elapsedMs);
    QFETCH(QString, expected);
    QCOMPARE(ReadingText(read, toRead, elapsedMs), expected);
}

void TestUnits::formatText()
{
    QFETCH(QString, format);
    QFETCH(QStringList, args);
    const auto arg = [&](int i) { return i < args.size() ? TextArg(args[i]) : TextArg(); };
    QTEST(FormatText(format, arg(0), arg(1), arg(2), arg(3), arg(4)), "expected");
    QCOMPARE(FormatText(u"%s|%s|%s", qint64(1234567890123), -5, 0u), u"1234567890123|-5|0"_s);
}

// In twips: the window as it opens has 11115 x 8610 of client area, bars of 360, 360 and 300,
// the tree 2550 wide, the splitter 30.
void TestUnits::arrange_data()
{
    QTest::addColumn<QList<int>>("in");  // client width and height, drive and status bar shown
    QTest::addColumn<QList<int>>("out"); // top, room, list width
    QTest::newRow("all bars") << QList{11115, 8610, 1, 1} << QList{720, 7590, 8535};
    QTest::newRow("drive bar hidden: up and taller by its height")
        << QList{11115, 8610, 0, 1} << QList{360, 7950, 8535};
    QTest::newRow("status bar hidden: taller by its height")
        << QList{11115, 8610, 1, 0} << QList{720, 7890, 8535};
    QTest::newRow("list just over the limit") << QList{2701, 8610, 1, 1} << QList{720, 7590, 121};
    QTest::newRow("list at the limit keeps its width")
        << QList{2700, 8610, 1, 1} << QList{720, 7590, 8535};
    QTest::newRow("bars taller than the window") << QList{11115, 500, 1, 1} << QList{720, 0, 8535};
}

void TestUnits::arrange()
{
    QFETCH(QList<int>, in);
    const MainLayout::Placement out = MainLayout::Arrange({.clientWidth = in[0],
                                                           .clientHeight = in[1],
                                                           .functionBarHeight = 360,
                                                           .driveBarShown = in[2] != 0,
                                                           .driveBarHeight = 360,
                                                           .statusBarShown = in[3] != 0,
                                                           .statusBarHeight = 300,
                                                           .treeWidth = 2550,
                                                           .splitterWidth = 30,
                                                           .listWidth = 8535});
    QTEST((QList{out.top, out.room, out.listWidth}), "out");
}

void TestUnits::drag_data()
{
    QTest::addColumn<QList<int>>("in"); // tree and list widths, move
    QTest::addColumn<int>("expected");  // -1: refused
    QTest::newRow("tree would vanish") << QList{150, 8535, -150} << -1;
    QTest::newRow("tree keeps one twip") << QList{150, 8535, -149} << 1;
    QTest::newRow("list would reach 120") << QList{2550, 270, 150} << -1;
    QTest::newRow("list keeps 121") << QList{2550, 270, 149} << 2699;
}

void TestUnits::drag()
{
    QFETCH(QList<int>, in);
    QTEST(MainLayout::DraggedTreeWidth(in[0], in[1], in[2]).value_or(-1), "expected");
}

void TestUnits::shellOpen_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("taken");    // by the application, when it is asked
    QTest::addColumn<QString>("asked"); // DIR: the test's folder; empty: nothing asked
    const QString doc = u"DIR/a%20b%231.dat"_s;
    QTest::newRow("refused") << u"explore"_s << u"a b#1.dat"_s << false << doc;
    QTest::newRow("name with a colon") << u"Open"_s << u"n:1"_s << true << u"DIR/n:1"_s;
    QTest::newRow("address") << QString() << u"https://example.org/x"_s << true
                             << u"https://example.org/x"_s;
    QTest::newRow("missing file") << u"Open"_s << u"gone.dat"_s << true << QString();
    QTest::newRow("unknown verb") << u"print"_s << u"a b#1.dat"_s << true << QString();
}

void TestUnits::shellOpen()
{
    QFETCH(QString, operation);
    QFETCH(QString, file);
    QFETCH(bool, taken);
    QFETCH(QString, asked);
    QTemporaryDir dir;
    for (const QString &name : {u"a b#1.dat"_s, u"n:1"_s})
        QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
    asked.replace(u"DIR"_s, QUrl::fromLocalFile(dir.path()).toString(QUrl::FullyEncoded));
    QString seen;
    const bool opened = ShellOpen(operation, file, dir.path(), [&](const QUrl &url) {
        seen = url.toString(QUrl::FullyEncoded);
        return taken;
    });
    QCOMPARE(seen, asked);
    QCOMPARE(opened, taken && !asked.isEmpty());
}

// A walk is held back from a window's paint until the event loop moves on, and by nothing else.
void TestUnits::paintHold()
{
    QObject target;
    PaintHold hold;
    for (const QEvent::Type other : {QEvent::Timer, QEvent::Paint, QEvent::User}) {
        QEvent event(other);
        QCoreApplication::sendEvent(&target, &event);
        QCOMPARE(hold.flag()->load(), 0);
    }
    QEvent paint(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(&target, &paint);
    QCOMPARE(hold.flag()->load(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(hold.flag()->load(), 0);
    // Held again by the next paint, not only the first.
    QCoreApplication::sendEvent(&target, &paint);
    QCOMPARE(hold.flag()->load(), 1);
}

QTEST_MAIN(TestUnits)
#include "tst_units.moc"
