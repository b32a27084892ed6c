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

private:
    QString m_text;
    QRegularExpression m_glob; // invalid unless the text holds * or ?
};
