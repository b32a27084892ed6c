#pragma once

#include <QString>
#include <QStringView>

#include <concepts>

// One argument of FormatText: a text, or a number written as its plain decimal digits.
// A default-made argument stands for one that was not passed.
class TextArg
{
public:
    TextArg() = default;
    TextArg(const QString &text)
        : m_text(text)
    {}
    TextArg(QStringView text)
        : m_text(text.toString())
    {}
    TextArg(const char16_t *text)
        : m_text(QString::fromUtf16(text))
    {}
    TextArg(const char *utf8)
        : m_text(QString::fromUtf8(utf8))
    {}
    template<std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>) TextArg(T number)
        : m_text(QString::number(number))
    {}

    const QString &text() const { return m_text; }

private:
    QString m_text;
};

// Fills the "%s" placeholders of a format text with up to five arguments, in order. Every "%"
// that has a character after it uses up one argument position: "%%" writes one "%", a "%"
// followed by anything but "s" or "S" is dropped with that character, and a trailing "%" is
// dropped. A placeholder whose argument is missing or empty, or that comes sixth or later,
// writes nothing.
QString FormatText(QStringView format, const TextArg &a1 = {}, const TextArg &a2 = {},
                   const TextArg &a3 = {}, const TextArg &a4 = {}, const TextArg &a5 = {});
