#include "Formatting.h"

#include <QLocale>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

// Every test runs twice: under a locale that writes "." and under one that writes ",".
class TestFormatting : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data();
    void init();
    void numbers_data();
    void numbers();
    void percentText_data();
    void percentText();
    void colour_data();
    void colour();
    void readableColour_data();
    void readableColour();
    void dateText_data();
    void dateText();
};

void TestFormatting::initTestCase_data()
{
    QTest::addColumn<bool>("comma");
    QTest::newRow("point") << false;
    QTest::newRow("comma") << true;
}

void TestFormatting::init()
{
    QFETCH_GLOBAL(bool, comma);
    QLocale::setDefault(QLocale(comma ? u"fr_FR"_s : u"en_US"_s));
}

// Sizes in bytes, kilobytes and megabytes, RoundUpTenths of a raw amount (ten-thousandths,
// signed), FixedPoint::fromRatio's raw amount (half to even) and Percentage.
void TestFormatting::numbers_data()
{
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<quint64>("a");
    QTest::addColumn<quint64>("b");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *function, const char *name, quint64 a, quint64 b,
                        const QString &text) {
        QTest::addRow("%s %s", function, name) << QByteArray(function) << a << b << text;
    };
    constexpr quint64 Max = std::numeric_limits<quint64>::max();
    row("bytes", "0", 0, 0, u"   "_s);
    row("bytes", "1000", 1000, 0, u"  1 000"_s);
    row("bytes", "13 digits", 1234567890123, 0, u"1234 567 890 123"_s);
    row("Kb", "102 rounds down", 1126, 0, u"   1"_s);
    row("Kb", "103 rounds up", 1127, 0, u"   2"_s);
    row("Mb", "1.1 rounds up", 1153434, 0, u" 2"_s);
    row("Mb", "1.0000 stays", 1048577, 0, u" 1"_s);
    row("Mb", "largest", Max, 0, u"17592186044 416"_s);
    row("roundUp", "12.0488", 120488, 0, u"12"_s);
    row("roundUp", "12.1", 121000, 0, u"13"_s);
    row("roundUp", "-12.1", quint64(-121000), 0, u"-11"_s);
    row("roundUp", "-0.1", quint64(-1000), 0, u"1"_s);
    row("roundUp", "beyond 32 bits", 21474836481000, 0, u"2147483649"_s);
    row("ratio", "half down to even", 1, 20000, u"0"_s);
    row("ratio", "half up to even", 3, 20000, u"2"_s);
    row("ratio", "above half", 3, 19999, u"2"_s);
    row("ratio", "zero denominator", 5, 0, u"0"_s);
    row("ratio", "saturates", Max, 1, QString::number(std::numeric_limits<qint64>::max()));
    row("percent", "quarter", 50, 200, u"25"_s);
    row("percent", "zero reference", 1, 0, u"0"_s);
}

void TestFormatting::numbers()
{
    QFETCH(QByteArray, function);
    QFETCH(quint64, a);
    QFETCH(quint64, b);
    QFETCH(QString, expected);
    QString text;
    if (function == "bytes")
        text = SizeText(a);
    else if (function == "Kb")
        text = KilobyteText(a);
    else if (function == "Mb")
        text = MegabyteText(a);
    else if (function == "roundUp")
        text = QString::number(RoundUpTenths(FixedPoint::fromRaw(qint64(a))));
    else if (function == "ratio")
        text = QString::number(FixedPoint::fromRatio(a, b).raw());
    else
        text = QString::number(Percentage(a, b));
    QCOMPARE(text, expected);
}

void TestFormatting::percentText_data()
{
    QTest::addColumn<double>("percent");
    QTest::addColumn<int>("strokes");
    QTest::addColumn<QString>("number"); // with "." standing for the locale's separator
    QTest::newRow("12.34") << 12.34 << 12 << u"12.3"_s;
    QTest::newRow("2.5 to even") << 2.5 << 2 << u"2.5"_s;
    QTest::newRow("3.5 to even") << 3.5 << 4 << u"3.5"_s;
    QTest::newRow("negative") << -5.0 << 0 << u"-5.0"_s;
    QTest::newRow("bar capped") << 1e21 << 1000 << u"1000000000000000000000.0"_s;
}

void TestFormatting::percentText()
{
    QFETCH_GLOBAL(bool, comma);
    QFETCH(double, percent);
    QFETCH(int, strokes);
    QFETCH(QString, number);
    number.replace(u'.', comma ? u',' : u'.');
    QCOMPARE(PercentText(percent), QString(strokes, u'|') + u' ' + number + u'%');
}

void TestFormatting::colour_data()
{
    QTest::addColumn<double>("percent");
    QTest::addColumn<Rgb>("expected");
    QTest::newRow("0") << 0.0 << PercentColour::Green;
    QTest::newRow("33") << 33.0 << PercentColour::Green;
    QTest::newRow("33.05") << 33.05 << PercentColour::LightOrange;
    QTest::newRow("66") << 66.0 << PercentColour::LightOrange;
    QTest::newRow("66.01") << 66.01 << PercentColour::Red;
    QTest::newRow("100") << 100.0 << PercentColour::Red;
    QTest::newRow("150 carries") << 150.0 << Rgb(0x123456);
    QTest::newRow("negative carries") << -0.5 << Rgb(0x123456);
}

void TestFormatting::colour()
{
    QFETCH(double, percent);
    QFETCH(Rgb, expected);
    QCOMPARE(PercentColourOf(percent, 0x123456), expected);
}

void TestFormatting::readableColour_data()
{
    QTest::addColumn<Rgb>("band");
    QTest::addColumn<Rgb>("base");
    QTest::addColumn<Rgb>("text");
    QTest::addColumn<bool>("kept");
    using namespace PercentColour;
    // On a light base the bands stay as they are, even light orange on white; on a dark one a
    // band that reads stays, and one that does not is lightened.
    QTest::newRow("white, orange") << LightOrange << Rgb(0xFFFFFF) << Rgb(0x000000) << true;
    QTest::newRow("dark, green") << Green << Rgb(0x202020) << Rgb(0xE8E8E8) << true;
    QTest::newRow("dark, red") << Red << Rgb(0x2A2A2A) << Rgb(0xFFFFFF) << false;
    QTest::newRow("dark, first row") << FirstRowFallback << Rgb(0x202020) << Rgb(0xE8E8E8) << false;
    QTest::newRow("mid grey, green") << Green << Rgb(0x606060) << Rgb(0xFFFFFF) << false;
}

void TestFormatting::readableColour()
{
    QFETCH(Rgb, band);
    QFETCH(Rgb, base);
    QFETCH(Rgb, text);
    QFETCH(bool, kept);
    const Rgb shown = ReadablePercentColour(band, base, text);
    QCOMPARE(shown == band, kept);
    QVERIFY(kept || ContrastRatio(shown, base) >= 4.5);
    if (band == PercentColour::Red) // red stays a red, only lighter
        QVERIFY((shown >> 16) > ((shown >> 8) & 0xFF) + 0x40);
}

void TestFormatting::dateText_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("french");
    const QDate day(2026, 12, 6);
    QTest::newRow("afternoon") << QDateTime(day, QTime(14, 3, 9)) << u"12/6/26 2:03:09 PM"_s
                               << u"06/12/2026 14:03:09"_s;
    QTest::newRow("a second past midnight")
        << QDateTime(day, QTime(0, 0, 1)) << u"12/6/26 12:00:01 AM"_s << u"06/12/2026 00:00:01"_s;
    QTest::newRow("milliseconds do not count")
        << QDateTime(day, QTime(0, 0, 0, 500)) << u"12/6/26"_s << u"06/12/2026"_s;
}

void TestFormatting::dateText()
{
    QFETCH_GLOBAL(bool, comma);
    QFETCH(QDateTime, when);
    QFETCH(QString, english);
    QFETCH(QString, french);
    QCOMPARE(DateText(when), comma ? french : english);
}

QTEST_APPLESS_MAIN(TestFormatting)
#include "tst_formatting.moc"
