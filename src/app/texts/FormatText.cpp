#include "FormatText.h"

#include <array>
#include <functional>

QString FormatText(QStringView format, const TextArg &a1, const TextArg &a2, const TextArg &a3,
                   const TextArg &a4, const TextArg &a5)
{
    const std::array<std::reference_wrapper<const TextArg>, 5> args{a1, a2, a3, a4, a5};
    QString result;
    result.reserve(format.size());
    qsizetype used = 0; // argument positions used up so far
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != u'%') {
            result += c;
            continue;
        }
        if (i + 1 == format.size())
            break; // a trailing "%" is dropped
        const QChar d = format[++i];
        // A character outside the BMP is one character: drop both halves of its pair with the "%".
        if (d.isHighSurrogate() && i + 1 < format.size() && format[i + 1].isLowSurrogate())
            ++i;
        ++used;
        if (d == u's' || d == u'S') {
            if (used <= qsizetype(args.size()))
                result += args[used - 1].get().text();
        } else if (d == u'%') {
            result += u'%';
        }
    }
    return result;
}
