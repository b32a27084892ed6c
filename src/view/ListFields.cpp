#include "ListFields.h"

namespace {

// Blanks only: a tab or a line break is part of a field.
QStringView TrimBlanks(QStringView text)
{
    while (!text.isEmpty() && text.front() == u' ')
        text = text.mid(1);
    while (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    return text;
}

} // namespace

QString GetField(QStringView text, QStringView separator, int n)
{
    if (n < 1)
        return {};
    for (; n > 1; --n) {
        const qsizetype at = text.indexOf(separator, 0, Qt::CaseInsensitive);
        if (at < 0)
            return {};
        text = TrimBlanks(text.mid(at + separator.size()));
    }
    const qsizetype at = text.indexOf(separator, 0, Qt::CaseInsensitive);
    return TrimBlanks(at < 0 ? text : text.left(at)).toString();
}

QString ComplementDigits(QStringView text)
{
    QString result = text.toString();
    for (QChar &c : result) {
        if (c >= u'0' && c <= u'9')
            c = QChar(u'9' - (c.unicode() - u'0'));
        else if (c == u'-')
            c = u' ';
    }
    return result;
}
