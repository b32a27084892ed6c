#include "Formatting.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

// Every test runs twice: under a locale that writes "." and under one that writes ",".
class TestFormatting : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data();
    void init();
    void cleanupTestCase();

    void numbers_data();
    void numbers();
    void kilobytesMatchRemainderRule();
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
    QTest::addColumn<QString>("localeName");
    QTest::newRow("point") << u"en_US"_s;
    QTest::newRow("comma") << u"fr_FR"_s;
}

void TestFormatting::init()
{
    QFETCH_GLOBAL(QString, localeName);
    QLocale::setDefault(QLocale(localeName));
}

void TestFormatting::cleanupTestCase()
{
    QLocale::setDefault(QLocale::c());
}

// The whole-number rules: sizes in bytes, digit patterns of two places, kilobytes, megabytes,
// RoundUpTenths of a raw amount (ten-thousandths, signed), FixedPoint::fromRatio's raw amount
// (half to even) and Percentage.
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
    constexpr qint64 MaxRaw = std::numeric_limits<qint64>::max();
    row("bytes", "0", 0, 0, u"   "_s);
    row("bytes", "999", 999, 0, u"   999"_s);
    row("bytes", "1000", 1000, 0, u"  1 000"_s);
    row("bytes", "12 digits", 999999999999, 0, u"999 999 999 999"_s);
    row("bytes", "13 digits", 1234567890123, 0, u"1234 567 890 123"_s);
    row("bytes", "largest", Max, 0, u"18446744073 709 551 615"_s);
    row("pattern", "0", 0, 0, u" "_s);
    row("pattern", "surplus", 1234567, 0, u"1234 567"_s);
    row("Kb", "103 rounds up", 103, 0, u"   1"_s);
    row("Kb", "1 EiB", 1ull << 60, 0, u"1125899 906 842 624"_s);
    row("Mb", "1.1 rounds up", 1153434, 0, u" 2"_s);
    row("Mb", "1.0000 stays", 1048577, 0, u" 1"_s);
    row("Mb", "nothing", 0, 0, u" "_s);
    row("Mb", "largest", Max, 0, u"17592186044 416"_s);
    row("roundUp", "12.0488", 120488, 0, u"12"_s);
    row("roundUp", "12.1", 121000, 0, u"13"_s);
    row("roundUp", "0.0999", 999, 0, u"0"_s);
    row("roundUp", "-12.1", quint64(-121000), 0, u"-11"_s);
    row("roundUp", "-0.1", quint64(-1000), 0, u"1"_s);
    row("roundUp", "beyond 32 bits", 21474836481000, 0, u"2147483649"_s);
    row("roundUp", "largest", MaxRaw, 0, u"922337203685478"_s);
    row("roundUp", "smallest", quint64(std::numeric_limits<qint64>::min()), 0,
        u"-922337203685476"_s);
    row("ratio", "half down to even", 1, 20000, u"0"_s);
    row("ratio", "half up to even", 3, 20000, u"2"_s);
    row("ratio", "above half", 3, 19999, u"2"_s);
    row("ratio", "1153434 / 2^20", 1153434, 1048576, u"11000"_s);
    row("ratio", "zero denominator", 5, 0, u"0"_s);
    row("ratio", "saturates", Max, 1, QString::number(MaxRaw));
    row("percent", "quarter", 50, 200, u"25"_s);
    row("percent", "zero reference", 1, 0, u"0"_s);
    row("percent", "over", 3, 2, u"150"_s);
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
    else if (function == "pattern")
        text = DigitPattern(a, 2);
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

// For whole byte counts the rounding comes down to: bytes div 1024, plus one from 103 bytes over.
void TestFormatting::kilobytesMatchRemainderRule()
{
    QRandomGenerator random(11);
    for (int i = 0; i < 6000; ++i) {
        const quint64 bytes = i < 3000 ? quint64(i) : random.generate64() >> random.bounded(1, 12);
        const quint64 expected = bytes / 1024 + (bytes % 1024 >= 103 ? 1 : 0);
        QCOMPARE(KilobyteText(bytes), DigitPattern(expected, 4));
    }
}

void TestFormatting::percentText_data()
{
    QTest::addColumn<double>("percent");
    QTest::addColumn<int>("strokes");
    QTest::addColumn<QString>("number"); // with "." standing for the locale's separator
    QTest::newRow("12.34") << 12.34 << 12 << u"12.3"_s;
    QTest::newRow("2.5 to even") << 2.5 << 2 << u"2.5"_s;
    QTest::newRow("3.5 to even") << 3.5 << 4 << u"3.5"_s;
    QTest::newRow("2.6") << 2.6 << 3 << u"2.6"_s;
    QTest::newRow("negative") << -5.0 << 0 << u"-5.0"_s;
    QTest::newRow("bar capped") << 1e21 << 1000 << u"1000000000000000000000.0"_s;
}

void TestFormatting::percentText()
{
    QFETCH_GLOBAL(QString, localeName);
    QFETCH(double, percent);
    QFETCH(int, strokes);
    QFETCH(QString, number);
    const QChar separator = localeName == u"fr_FR"_s ? u',' : u'.';
    number.replace(u'.', separator);
    QCOMPARE(GetDecimalSeparator(), separator);
    QCOMPARE(PercentText(percent), QString(strokes, u'|') + u' ' + number + u'%');
}

void TestFormatting::colour_data()
{
    QTest::addColumn<double>("percent");
    QTest::addColumn<Rgb>("expected");
    const Rgb previous = 0x123456;
    QTest::newRow("0") << 0.0 << PercentColour::Green;
    QTest::newRow("33") << 33.0 << PercentColour::Green;
    QTest::newRow("33.05") << 33.05 << PercentColour::LightOrange;
    QTest::newRow("66") << 66.0 << PercentColour::LightOrange;
    QTest::newRow("66.01") << 66.01 << PercentColour::Red;
    QTest::newRow("100") << 100.0 << PercentColour::Red;
    QTest::newRow("150 carries") << 150.0 << previous;
    QTest::newRow("negative carries") << -0.5 << previous;
    QTest::newRow("nan carries") << std::nan("") << previous;
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
    // On a light base the bands stay as they are, even light orange on white.
    QTest::newRow("white, orange") << LightOrange << Rgb(0xFFFFFF) << Rgb(0x000000) << true;
    // On a dark one a band that reads stays, and one that does not is lightened.
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
    if (kept)
        return;
    QVERIFY(ContrastRatio(shown, base) >= 4.5);
    // Red stays a red, only lighter.
    if (band == PercentColour::Red)
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
    QFETCH_GLOBAL(QString, localeName);
    QFETCH(QDateTime, when);
    QFETCH(QString, english);
    QFETCH(QString, french);
    QCOMPARE(DateText(when), localeName == u"fr_FR"_s ? french : english);
}

QTEST_APPLESS_MAIN(TestFormatting)
#include "tst_formatting.moc"
