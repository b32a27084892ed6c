#include "PathEscape.h"

#include <cstdint>

namespace {

// Length of the valid UTF-8 sequence at the start of `bytes` and its code point, or 0 when the
// first byte does not start one (overlong forms, surrogates and values past U+10FFFF are invalid).
qsizetype Utf8Sequence(QByteArrayView bytes, char32_t &codePoint)
{
    const auto byte = [&](qsizetype i) { return std::uint8_t(bytes[i]); };
    const std::uint8_t lead = byte(0);
    qsizetype length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, codePoint = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, codePoint = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

bool MustEscape(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

void AppendHex(QByteArray &out, std::uint8_t byte)
{
    static const char Digits[] = "0123456789abcdef";
    out += "\\x";
    out += Digits[byte >> 4];
    out += Digits[byte & 0xF];
}

} // namespace

QByteArray EscapePath(QByteArrayView path)
{
    QByteArray out;
    out.reserve(path.size());
    while (!path.isEmpty()) {
        // Printable ASCII, the common case, goes through in one piece.
        qsizetype plain = 0;
        while (plain < path.size() && path[plain] >= 0x20 && path[plain] < 0x7F &&
               path[plain] != '\\')
            ++plain;
        out += path.first(plain);
        path = path.sliced(plain);
        if (path.isEmpty())
            break;
        char32_t c = 0;
        qsizetype length = Utf8Sequence(path, c);
        if (length == 0) {
            AppendHex(out, std::uint8_t(path.front()));
            length = 1;
        } else if (c == U'\\') {
            out += "\\\\";
        } else if (MustEscape(c)) {
            for (qsizetype i = 0; i < length; ++i)
                AppendHex(out, std::uint8_t(path[i]));
        } else {
            out += path.first(length);
        }
        path = path.sliced(length);
    }
    return out;
}
