#include "TwipsScale.h"
#include "SettingsStore.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(WindowSettings)

char *toString(const WindowSettings &s)
{
    QByteArray text;
    for (int n : {int(s.viewBar), int(s.viewStatus), s.viewType, s.folderSize})
        text += QByteArray::number(n) + ' ';
    for (int n : s.columnWidths)
        text += QByteArray::number(n) + ' ';
    for (std::optional<int> n : {s.mainLeft, s.mainTop, s.mainWidth, s.mainHeight})
        text += (n ? QByteArray::number(*n) : "-"_ba) + ' ';
    return qstrdup(text.constData());
}

namespace {
template<typename Change> WindowSettings with(Change change)
{
    WindowSettings settings;
    change(settings);
    return settings;
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
public:
    // Before any QSettings exists, which fixes the user's path for the whole process.
    TestSettings() { QStandardPaths::setTestModeEnabled(true); }

private slots:
    void firstRunThenSave();
    void readsStoredValues_data();
    void readsStoredValues();
    void unwritableStoreLosesWrites_data();
    void unwritableStoreLosesWrites();
    void roundTripsInTwips_data();
    void roundTripsInTwips();

private:
    QString storeFile(const QByteArray &contents);

    QTemporaryDir m_dir;
    int m_files = 0;
};

// Every test gets a file of its own: Qt caches a settings file's contents by name.
QString TestSettings::storeFile(const QByteArray &contents)
{
    const QString name = m_dir.filePath(u"store%1.conf"_s.arg(++m_files));
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        qFatal("cannot write the test store");
    return name;
}

void TestSettings::firstRunThenSave()
{
    QCOMPARE(SettingsStore().fileName(),
             QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                 u"/Orvanne/QNL.conf"_s);
    const SettingsStore store(m_dir.filePath(u"first/Orvanne/QNL.conf"_s));
    QCOMPARE(LoadWindowSettings(store), WindowSettings());
    QVERIFY(QFileInfo(m_dir.filePath(u"first/Orvanne"_s)).isDir());

    QWidget window;
    window.resize(300, 200);
    LoadWindowPos(store, window, SettingName::MainLeft, SettingName::MainTop, TwipsScale());
    LoadWindowSize(store, window, SettingName::MainWidth, SettingName::MainHeight, TwipsScale());
    QVERIFY(!window.testAttribute(Qt::WA_Moved));
    QCOMPARE(window.size(), QSize(300, 200));
    QVERIFY(!QFileInfo::exists(store.fileName()));

    // Saved, all twelve values are written, and read back.
    const WindowSettings saved{false, true, 7,    3001, {1500, 900, 1200, 2250},
                               -150,  300,  9000, 6000};
    SaveWindowSettings(store, saved);
    QFile file(store.fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromLatin1(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    lines.sort();
    QCOMPARE(lines, QStringList({u"Date=2250"_s, u"FolderSize=3001"_s, u"MainHeight=6000"_s,
                                 u"MainLeft=-150"_s, u"MainTop=300"_s, u"MainWidth=9000"_s,
                                 u"Name=1500"_s, u"Size1=900"_s, u"Size2=1200"_s, u"ViewBar=0"_s,
                                 u"ViewStatus=-1"_s, u"ViewType=7"_s, u"[Option]"_s}));
    QCOMPARE(LoadWindowSettings(store), saved);
}

// What a store reads as; junk never stops it from saving and reading back afterwards.
void TestSettings::readsStoredValues_data()
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
    line("text NUL escaped", "Name=12\\0 34"_ba, with([](auto &s) { s.columnWidths[0] = 12; }));
    line("text NUL byte", QByteArray("Size1=15\0 00", 12),
         with([](auto &s) { s.columnWidths[1] = 15; }));
    line("text NUL first", "Size2=\\0 34"_ba, defaults);
    line("text fraction", "Name=2250.6"_ba, with([](auto &s) { s.columnWidths[0] = 2251; }));
    line("text exponent too large", "Name=1e99"_ba, defaults);
    line("text as rectangle", "Name=@Rect(1 2 3 4)"_ba, defaults);

    QByteArray garbage(1 << 16, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(garbage.data()), garbage.size() / 4);
    const QByteArray good = "[Option]\nViewType=1\nName=2000\n";
    const WindowSettings goodSettings = with([](auto &s) {
        s.viewType = 1;
        s.columnWidths[0] = 2000;
    });
    QByteArray huge = good;
    for (int i = 0; huge.size() < (2 << 20); ++i)
        huge += "Junk" + QByteArray::number(i) + '=' + QByteArray(100, 'z') + '\n';
    QTest::newRow("values then garbage") << good + garbage << goodSettings;
    QTest::newRow("NUL bytes") << QByteArray(4096, '\0') << defaults;
    QTest::newRow("huge") << huge << goodSettings;
}

void TestSettings::readsStoredValues()
{
    QFETCH(QByteArray, contents);
    QFETCH(WindowSettings, expected);
    const SettingsStore store(storeFile(contents));
    QCOMPARE(LoadWindowSettings(store), expected);
    const WindowSettings saved{false, false, 1, 99, {1, 2, 3, 4}, 5, 6, 7, 8};
    SaveWindowSettings(store, saved);
    QCOMPARE(LoadWindowSettings(store), saved);
}

void TestSettings::unwritableStoreLosesWrites_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<WindowSettings>("expected");
    QTest::newRow("beneath a file") << storeFile({}) + u"/QNL.conf"_s << WindowSettings();
    const QString readOnly = storeFile("[Option]\nViewType=1\n");
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QTest::newRow("read-only file") << readOnly << with([](auto &s) { s.viewType = 1; });
}

void TestSettings::unwritableStoreLosesWrites()
{
    QFETCH(QString, fileName);
    QFETCH(WindowSettings, expected);
    if (QFileInfo(fileName).isFile() && QFileInfo(fileName).isWritable())
        QSKIP("this user may write any file");
    const SettingsStore store(fileName);
    SaveWindowSettings(store, {false, false, 2, 99, {1, 2, 3, 4}, 5, 6, 7, 8});
    QCOMPARE(LoadWindowSettings(store), expected);
}

void TestSettings::roundTripsInTwips_data()
{
    QTest::addColumn<int>("perPixel");
    QTest::addColumn<bool>("loadWhenShown");
    QTest::newRow("120 dpi, before showing") << 12 << false;
    QTest::newRow("96 dpi, once shown") << 15 << true;
}

// A window's place and outer size, which must not grow by the frame from one run to the next.
void TestSettings::roundTripsInTwips()
{
    QFETCH(int, perPixel);
    QFETCH(bool, loadWhenShown);
    const SettingsStore store(storeFile({}));
    const TwipsScale twips(perPixel, perPixel);

    QWidget saved;
    saved.move(40, 70);
    saved.resize(420, 310);
    saved.show();
    QVERIFY(QTest::qWaitForWindowExposed(&saved));
    const QRect frame = saved.frameGeometry();
    // Without a frame this test could not tell the outer size from the client's.
    QVERIFY(frame.size() != saved.size());
    SaveWindowSettings(store, with([&](WindowSettings &s) {
                           s.mainLeft = frame.x() * perPixel;
                           s.mainTop = frame.y() * perPixel;
                           s.mainWidth = frame.width() * perPixel;
                           s.mainHeight = frame.height() * perPixel;
                       }));

    QWidget restored;
    if (loadWhenShown) {
        restored.show();
        QVERIFY(QTest::qWaitForWindowExposed(&restored));
    }
    LoadWindowPos(store, restored, u"MainLeft", u"MainTop", twips);
    LoadWindowSize(store, restored, u"MainWidth", u"MainHeight", twips);
    restored.show();
    QVERIFY(QTest::qWaitForWindowExposed(&restored));
    QTRY_COMPARE(restored.frameGeometry(), frame);
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
