#include "Formatting.h"

#include <QLocale>
#include <QTest>

#include <functional>
#include <limits>

using namespace Qt::StringLiterals;
using Value = std::function<QVariant()>;
Q_DECLARE_METATYPE(Value)

// The texts and colours of the list and the status bar, one row per boundary and side.
class TestFormatting : public QObject
{
    Q_OBJECT
private slots:
    void values_data();
    void values();
};

void TestFormatting::values_data()
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
    row("bytes, 13 digits", u"1234 567 890 123"_s, [] { return SizeText(1234567890123); });
    row("Kb 0.0996 rounds down", u"   1"_s, [] { return KilobyteText(1126); });
    row("Kb 0.1006 rounds up", u"   2"_s, [] { return KilobyteText(1127); });
    row("Mb largest", u"17592186044 416"_s, [] { return MegabyteText(Max); });
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
    row("colour 33.05", LightOrange, [=] { return colour(33.05); });
    row("colour 66", LightOrange, [=] { return colour(66); });
    row("colour 66.01", Red, [=] { return colour(66.01); });
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

void TestFormatting::values()
{
    QFETCH(Value, value);
    QLocale::setDefault(QLocale(u"en_US"_s)); // a row may choose another
    QTEST(value(), "expected");
}

QTEST_APPLESS_MAIN(TestFormatting)
#include "tst_formatting.moc"
