#include "Formatting.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

// A bar longer than this says nothing more and would only cost memory; percentages that large
// come from a reference far smaller than the item (another volume's total, say).
constexpr int MaxBarStrokes = 1000;

// The locale's long time format less its time-zone fields: the list shows local times, and a zone
// name in every row is noise.
QString LongTimeFormatWithoutZone(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        result += c;
    }
    return result.simplified();
}

// Whole units in a byte count, rounded as RoundUpTenths rounds the amount bytes / unit. Only the
// fraction goes through the four-decimal amount, so the result stays exact where the amount
// itself would run out of range.
quint64 WholeUnits(quint64 bytes, quint64 unit)
{
    return bytes / unit + quint64(RoundUpTenths(FixedPoint::fromRatio(bytes % unit, unit)));
}

} // namespace

QString DigitPattern(quint64 value, int groups)
{
    const QString digits = value == 0 ? QString() : QString::number(value);
    const qsizetype positions = qsizetype(groups) * 3;
    const qsizetype surplus = std::max<qsizetype>(0, digits.size() - positions);
    QString result = digits.left(surplus);
    // The digits fill the last positions; the ones before them write nothing.
    const qsizetype firstPosition = positions - (digits.size() - surplus);
    for (qsizetype position = 0; position < positions; ++position) {
        if (position > 0 && position % 3 == 0)
            result += u' ';
        if (position >= firstPosition)
            result += digits[surplus + position - firstPosition];
    }
    return result;
}

QString SizeText(quint64 bytes)
{
    return DigitPattern(bytes, 4);
}

QString GroupedText(quint64 value)
{
    QString digits = QString::number(value);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, u' ');
    return digits;
}

qint64 RoundUpTenths(FixedPoint amount)
{
    return amount.wholePart() + (amount.tenthsDigit() > 0 ? 1 : 0);
}

QString KilobyteText(quint64 bytes)
{
    return DigitPattern(WholeUnits(bytes, 1024), 4);
}

QString MegabyteText(quint64 bytes)
{
    return DigitPattern(WholeUnits(bytes, 1024 * 1024), 2);
}

double Percentage(quint64 size, quint64 reference)
{
    if (reference == 0)
        return 0.0;
    return double(size) * 100.0 / double(reference);
}

QString PercentText(double percent)
{
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double strokes = std::isfinite(percent) ? std::nearbyint(percent) : 0.0;
    const int count = strokes <= 0 ? 0 : int(std::min<double>(strokes, MaxBarStrokes));
    QString number = QString::number(percent, 'f', 1);
    number.replace(u'.', GetDecimalSeparator());
    return QString(count, u'|') + u' ' + number + u'%';
}

Rgb PercentColourOf(double percent, Rgb previous)
{
    if (!(percent >= 0 && percent <= 100)) // NaN too
        return previous;
    if (percent <= 33)
        return PercentColour::Green;
    if (percent <= 66)
        return PercentColour::LightOrange;
    return PercentColour::Red;
}

namespace {

// The relative luminance of an sRGB colour, 0 for black to 1 for white.
double Luminance(Rgb colour)
{
    const auto linear = [](Rgb channel) {
        const double c = double(channel & 0xFF) / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour >> 16) + 0.7152 * linear(colour >> 8) + 0.0722 * linear(colour);
}

// a when t is 0, b when t is 1, rounded per channel.
Rgb Mix(Rgb a, Rgb b, double t)
{
    Rgb result = 0;
    for (const int shift : {16, 8, 0}) {
        const double from = double((a >> shift) & 0xFF);
        const double to = double((b >> shift) & 0xFF);
        result |= Rgb(std::lround(from + (to - from) * t)) << shift;
    }
    return result;
}

} // namespace

double ContrastRatio(Rgb a, Rgb b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Rgb ReadablePercentColour(Rgb band, Rgb base, Rgb text)
{
    constexpr double Readable = 4.5;
    constexpr int Steps = 16;
    band &= 0xFFFFFF;
    if (Luminance(base) >= Luminance(text))
        return band;
    for (int step = 0; step < Steps; ++step) {
        const Rgb mixed = Mix(band, text, double(step) / Steps);
        if (ContrastRatio(mixed, base) >= Readable)
            return mixed;
    }
    return text & 0xFFFFFF;
}

QString ShortDateFormat(const QLocale &locale)
{
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'')
            quoted = !quoted;
        if (quoted || c != u'y') {
            result += c;
            ++i;
            continue;
        }
        while (i < format.size() && format[i] == u'y')
            ++i;
        result += u"yyyy";
    }
    return result;
}

QString DateText(const QDateTime &local)
{
    const QLocale locale;
    const QString date = locale.toString(local.date(), ShortDateFormat(locale));
    const QTime time = local.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return date;
    return date + u' ' + locale.toString(time, LongTimeFormatWithoutZone(locale));
}

QChar GetDecimalSeparator()
{
    const QString separator = QLocale().decimalPoint();
    return separator.isEmpty() ? QChar(u' ') : separator.front();
}
