#include "Icons.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestIcons : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void drawn_data();
    void drawn();
    void unknownKeyIsNull();
    void sharpAtTwice_data();
    void sharpAtTwice();
    void themeIsPreferred();
};

void TestIcons::initTestCase()
{
    // No theme can be found, so every picture must come from our own files.
    QIcon::setThemeSearchPaths({});
    QIcon::setFallbackSearchPaths({});
    QIcon::setThemeName({});
}

void TestIcons::drawn_data()
{
    QTest::addColumn<QIcon>("icon");
    for (const char *key : {"SIZEDISK", "SIZEPARENT", "PRINT", "UP", "REFRESH", "STOP"})
        QTest::newRow(key) << ToolIcon(QString::fromLatin1(key));
    for (int kind = 0; kind <= int(DriveKind::RamDisk); ++kind)
        QTest::addRow("drive %d", kind) << DriveIcon(DriveKind(kind));
    QTest::newRow("folder") << FolderIcon();
    QTest::newRow("file") << FileIcon();
    QTest::newRow("app") << AppIcon();
}

// Something is painted at the smallest and the largest size asked for.
void TestIcons::drawn()
{
    QFETCH(QIcon, icon);
    QVERIFY(!icon.isNull());
    for (const int size : {16, 48}) {
        const QImage img = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(img.size(), QSize(size, size));
        bool painted = false;
        for (int y = 0; y < img.height() && !painted; ++y)
            for (int x = 0; x < img.width() && !painted; ++x)
                painted = qAlpha(img.pixel(x, y)) != 0;
        QVERIFY2(painted, qPrintable(u"blank at %1 px"_s.arg(size)));
    }
}

void TestIcons::unknownKeyIsNull()
{
    QVERIFY(ToolIcon(u"NOSUCHKEY"_s).isNull());
    QVERIFY(ToolIcon(u"up"_s).isNull());
}

void TestIcons::sharpAtTwice_data()
{
    QTest::addColumn<QIcon>("icon");
    QTest::addColumn<QString>("file");
    QTest::newRow("up") << ToolIcon(u"UP"_s) << u"up"_s;
    QTest::newRow("fixed drive") << DriveIcon(DriveKind::Fixed) << u"drive-fixed"_s;
    QTest::newRow("app") << AppIcon() << u"quarnel"_s;
}

// On a screen of two device pixels per pixel, a 24-pixel icon is our 48-pixel picture as it is,
// not the 24-pixel one blown up.
void TestIcons::sharpAtTwice()
{
    QFETCH(QIcon, icon);
    QFETCH(QString, file);
    const QPixmap pixmap = icon.pixmap(QSize(24, 24), 2.0);
    QCOMPARE(pixmap.deviceIndependentSize(), QSizeF(24, 24));
    QImage pixels = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    pixels.setDevicePixelRatio(1.0);
    const QImage picture(u":/icons/%1-48.png"_s.arg(file));
    QCOMPARE(pixels, picture.convertToFormat(QImage::Format_ARGB32));
}

void TestIcons::themeIsPreferred()
{
    // A one-picture theme: a solid magenta "go-up".
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString theme = dir.filePath(u"probe"_s);
    QVERIFY(QDir().mkpath(theme + u"/16x16/actions"_s));
    QFile index(theme + u"/index.theme"_s);
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=probe\nDirectories=16x16/actions\n\n"
                "[16x16/actions]\nSize=16\nType=Fixed\n");
    index.close();
    QImage magenta(16, 16, QImage::Format_ARGB32);
    magenta.fill(QColor(255, 0, 255));
    QVERIFY(magenta.save(theme + u"/16x16/actions/go-up.png"_s));

    QIcon::setThemeSearchPaths({dir.path()});
    QIcon::setThemeName(u"probe"_s);
    const QImage up = ToolIcon(u"UP"_s).pixmap(16, 16).toImage();
    const QImage refresh = ToolIcon(u"REFRESH"_s).pixmap(16, 16).toImage();
    const QImage app = AppIcon().pixmap(16, 16).toImage();
    QIcon::setThemeSearchPaths({});
    QIcon::setThemeName({});

    QCOMPARE(up.pixelColor(8, 8), QColor(255, 0, 255));
    QVERIFY(!refresh.isNull()); // not in the theme: ours is used
    QVERIFY(app.pixelColor(8, 8) != QColor(255, 0, 255));
}

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
