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

    void byteTexts_data();
    void byteTexts();
    void roundUpTenths_data();
    void roundUpTenths();
    void fromRatioRoundsHalfToEven_data();
    void fromRatioRoundsHalfToEven();
    void kilobytesMatchRemainderRule();
    void percentage_data();
    void percentage();
    void percentText_data();
    void percentText();
    void colour_data();
    void colour();
    void readableColour_data();
    void readableColour();
    void dateText_data();
    void dateText();

private:
    QChar separator() const;
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

QChar TestFormatting::separator() const
{
    QFETCH_GLOBAL(QString, localeName);
    return localeName == u"fr_FR"_s ? u',' : u'.';
}

// Sizes in bytes, digit patterns of two places, kilobytes and megabytes.
void TestFormatting::byteTexts_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<quint64>("value");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *format, const char *name, quint64 value, const QString &text) {
        QTest::addRow("%s %s", format, name) << QByteArray(format) << value << text;
    };
    constexpr quint64 Max = std::numeric_limits<quint64>::max();
    row("bytes", "0", 0, u"   "_s);
    row("bytes", "5", 5, u"   5"_s);
    row("bytes", "999", 999, u"   999"_s);
    row("bytes", "1000", 1000, u"  1 000"_s);
    row("bytes", "1234567", 1234567, u" 1 234 567"_s);
    row("bytes", "13 digits", 1234567890123, u"1234 567 890 123"_s);
    row("bytes", "largest", Max, u"18446744073 709 551 615"_s);
    row("pattern", "0", 0, u" "_s);
    row("pattern", "1234", 1234, u"1 234"_s);
    row("pattern", "surplus", 1234567, u"1234 567"_s);
    row("Kb", "103 rounds up", 103, u"   1"_s);
    row("Kb", "1 EiB", 1ull << 60, u"1125899 906 842 624"_s);
    row("Mb", "1.1 rounds up", 1153434, u" 2"_s);
    row("Mb", "1.0000 stays", 1048577, u" 1"_s);
    row("Mb", "nothing", 0, u" "_s);
    row("Mb", "largest", Max, u"17592186044 416"_s);
}

void TestFormatting::byteTexts()
{
    QFETCH(QByteArray, format);
    QFETCH(quint64, value);
    QFETCH(QString, expected);
    QCOMPARE(format == "bytes"     ? SizeText(value)
             : format == "pattern" ? DigitPattern(value, 2)
             : format == "Kb"      ? KilobyteText(value)
                                   : MegabyteText(value),
             expected);
}

void TestFormatting::roundUpTenths_data()
{
    QTest::addColumn<qint64>("raw");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("12.0488") << qint64(120488) << qint64(12);
    QTest::newRow("12.1") << qint64(121000) << qint64(13);
    QTest::newRow("0.0999") << qint64(999) << qint64(0);
    QTest::newRow("-12.1") << qint64(-121000) << qint64(-11);
    QTest::newRow("-0.1") << qint64(-1000) << qint64(1);
    // Whole parts beyond 32 bits: the sizes of today's disks.
    QTest::newRow("2 TiB in Kb plus a tenth")
        << qint64(2147483648) * 10000 + 1000 << qint64(2147483649);
    QTest::newRow("largest") << std::numeric_limits<qint64>::max() << qint64(922337203685478);
    QTest::newRow("smallest") << std::numeric_limits<qint64>::min() << qint64(-922337203685476);
}

void TestFormatting::roundUpTenths()
{
    QFETCH(qint64, raw);
    QFETCH(qint64, expected);
    QCOMPARE(RoundUpTenths(Currency::fromRaw(raw)), expected);
}

void TestFormatting::fromRatioRoundsHalfToEven_data()
{
    QTest::addColumn<quint64>("numerator");
    QTest::addColumn<quint64>("denominator");
    QTest::addColumn<qint64>("raw");
    QTest::newRow("half down to even") << quint64(1) << quint64(20000) << qint64(0);
    QTest::newRow("above half") << quint64(3) << quint64(19999) << qint64(2);
    QTest::newRow("1153434 / 2^20") << quint64(1153434) << quint64(1048576) << qint64(11000);
    QTest::newRow("zero denominator") << quint64(5) << quint64(0) << qint64(0);
    QTest::newRow("saturates") << std::numeric_limits<quint64>::max() << quint64(1)
                               << std::numeric_limits<qint64>::max();
}

void TestFormatting::fromRatioRoundsHalfToEven()
{
    QFETCH(quint64, numerator);
    QFETCH(quint64, denominator);
    QFETCH(qint64, raw);
    QCOMPARE(Currency::fromRatio(numerator, denominator).raw(), raw);
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

void TestFormatting::percentage_data()
{
    QTest::addColumn<quint64>("size");
    QTest::addColumn<quint64>("reference");
    QTest::addColumn<double>("expected");
    QTest::newRow("quarter") << quint64(50) << quint64(200) << 25.0;
    QTest::newRow("zero reference") << quint64(1) << quint64(0) << 0.0;
    QTest::newRow("over") << quint64(3) << quint64(2) << 150.0;
}

void TestFormatting::percentage()
{
    QFETCH(quint64, size);
    QFETCH(quint64, reference);
    QFETCH(double, expected);
    QCOMPARE(Percentage(size, reference), expected);
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
    QTest::newRow("150") << 150.0 << 150 << u"150.0"_s;
    QTest::newRow("bar capped") << 1e21 << 1000 << u"1000000000000000000000.0"_s;
}

void TestFormatting::percentText()
{
    QFETCH(double, percent);
    QFETCH(int, strokes);
    QFETCH(QString, number);
    number.replace(u'.', separator());
    QCOMPARE(GetDecimalSeparator(), separator());
    QCOMPARE(PercentText(percent), QString(strokes, u'|') + u' ' + number + u'%');
}

void TestFormatting::colour_data()
{
    QTest::addColumn<double>("percent");
    QTest::addColumn<Rgb>("expected");
    const Rgb previous = 0x123456;
    QTest::newRow("33") << 33.0 << PercentColour::Green;
    QTest::newRow("33.05") << 33.05 << PercentColour::LightOrange;
    QTest::newRow("66") << 66.0 << PercentColour::LightOrange;
    QTest::newRow("66.01") << 66.01 << PercentColour::Red;
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
    QTest::newRow("white, first row") << FirstRowFallback << Rgb(0xFFFFFF) << Rgb(0x000000) << true;
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
