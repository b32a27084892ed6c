#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>

#include <vector>

// Patterns naming what a walk leaves out, with ncdu's rules: a pattern is a shell wildcard
// (fnmatch(3) with no flags: '*', '?', "[...]", "[!...]", backslash escapes; '*' and '?' match
// '/' too), tried against an item's whole path and against every tail of it that starts after a
// '/'. So "node_modules" leaves out every item of that name, "src/*.o" the object files of any
// folder named src, "/home/*/.cache" those folders alone. Bytes are matched, as fnmatch does in
// the C locale. Matching takes time in proportion to the name times the pattern, never more,
// whatever the pattern.
class ExcludePatterns
{
public:
    ExcludePatterns() = default;
    explicit ExcludePatterns(QByteArrayList patterns);

    // One pattern a line, as --exclude-from reads them: a line's end ("\n" or "\r\n") is cut,
    // nothing else; empty lines are dropped.
    static QByteArrayList FromLines(QByteArrayView text);

    bool isEmpty() const { return m_patterns.isEmpty(); }
    const QByteArrayList &patterns() const { return m_patterns; }

    // Whether the item at this path (no final '/') is left out.
    bool excludes(QByteArrayView path) const;

    // One pattern against a whole text, as fnmatch(pattern, text, 0) answers.
    static bool Matches(QByteArrayView pattern, QByteArrayView text);

private:
    // How a pattern is tried: most need not be tried on every tail.
    enum class Reach : quint8 {
        Tails, // on the whole path and each tail
        Whole, // a leading '*': what matches a tail matches the whole path
        Name,  // a plain name with no '/': only the last tail can be it
    };
    QByteArrayList m_patterns;
    std::vector<Reach> m_reach;
};
