#include "NumberReader.h"

#include "Formatting.h"

#include <QByteArray>

#include <cmath>

namespace {

bool IsBlank(QChar c)
{
    // Locales group digits with a no-break or narrow no-break space as well as a plain one.
    return c == u' ' || c == u'\u00A0' || c == u'\u202F';
}

bool IsDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

QStringView TrimBlanks(QStringView text)
{
    while (!text.isEmpty() && IsBlank(text.front()))
        text = text.mid(1);
    while (!text.isEmpty() && IsBlank(text.back()))
        text.chop(1);
    return text;
}

} // namespace

std::optional<double> ReadNumber(QStringView text, QChar decimalSeparator)
{
    text = TrimBlanks(text);
    QByteArray plain; // the number in C-locale form, for the conversion
    plain.reserve(text.size());
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        plain += char(text[i++].unicode());
    bool digits = false;
    // Integer part: digits, with blanks allowed only between two digits.
    for (; i < text.size(); ++i) {
        if (IsDigit(text[i])) {
            plain += char(text[i].unicode());
            digits = true;
        } else if (!(IsBlank(text[i]) && digits && i + 1 < text.size() &&
                     (IsDigit(text[i + 1]) || IsBlank(text[i + 1])))) {
            break;
        }
    }
    if (i < text.size() && text[i] == decimalSeparator) {
        plain += '.';
        for (++i; i < text.size() && IsDigit(text[i]); ++i) {
            plain += char(text[i].unicode());
            digits = true;
        }
    }
    if (!digits || i != text.size())
        return std::nullopt;
    bool ok = false;
    const double value = plain.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> ReadNumber(QStringView text)
{
    return ReadNumber(text, GetDecimalSeparator());
}
