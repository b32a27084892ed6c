#include "ImportError.h"

QString ImportError::describe() const
{
    const char *what = "";
    switch (problem) {
    case None:
        return {};
    case Unreadable:
        what = "cannot read the file";
        break;
    case Compression:
        what = "the compressed data is damaged";
        break;
    case TooLarge:
        what = "it decompresses to more than a scan of its size would";
        break;
    case Truncated:
        what = "the file ends too early";
        break;
    case Syntax:
        what = "not the expected JSON";
        break;
    case Version:
        what = "a format version this program does not read";
        break;
    case TooDeep:
        what = "folders nested too deep";
        break;
    case NameTooLong:
        what = "a name too long";
        break;
    case NumberTooLarge:
        what = "a number out of range";
        break;
    case BadEscape:
        what = "an invalid escape in a string";
        break;
    case DuplicateName:
        what = "the same name twice in one folder";
        break;
    case TrailingData:
        what = "more data after the scan's end";
        break;
    }
    QString text = offset >= 0 ? QStringLiteral("byte %1: ").arg(offset) : QString();
    text += QLatin1StringView(what);
    if (!detail.isEmpty())
        text += QStringLiteral(" (") + detail + QLatin1Char(')');
    return text;
}
