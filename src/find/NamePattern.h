#pragma once

#include <QRegularExpression>
#include <QString>

// What a user types to find files by name: a part of the name ("rapport"), or a pattern with *
// and ? matched against the whole name ("*.iso", "photo-??.jpg"). Letters match in either case,
// accented ones included. Names are matched as they are shown: a name that is not valid UTF-8
// with its unreadable bytes as "\uFFFD".
class NamePattern
{
public:
    explicit NamePattern(const QString &text);

    bool isEmpty() const { return m_text.isEmpty(); }
    bool matches(QStringView name) const;
    // A name as the file system gives it. Plain ASCII names are matched as they are, without
    // being decoded: most names are, and a search reads a million of them.
    bool matchesName(QByteArrayView name) const;

private:
    QString m_text;
    QRegularExpression m_glob; // invalid unless the text holds * or ?
    QByteArray m_ascii;        // the text, when it is a part of a name in ASCII
};
