#include "ExcludePatterns.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr qsizetype NoEnd = -1;

bool InClass(QByteArrayView name, unsigned char c)
{
    if (name == "alpha")
        return std::isalpha(c);
    if (name == "digit")
        return std::isdigit(c);
    if (name == "alnum")
        return std::isalnum(c);
    if (name == "upper")
        return std::isupper(c);
    if (name == "lower")
        return std::islower(c);
    if (name == "space")
        return std::isspace(c);
    if (name == "blank")
        return c == ' ' || c == '\t';
    if (name == "punct")
        return std::ispunct(c);
    if (name == "xdigit")
        return std::isxdigit(c);
    if (name == "cntrl")
        return std::iscntrl(c);
    if (name == "graph")
        return std::isgraph(c);
    if (name == "print")
        return std::isprint(c);
    return false;
}

// The bracket expression at p[at] == '[': where it ends (just past its ']'), and whether c is in
// it; NoEnd when it has no closing ']', and the '[' is then an ordinary character.
qsizetype Bracket(QByteArrayView p, qsizetype at, unsigned char c, bool &in)
{
    qsizetype i = at + 1;
    bool negate = false;
    if (i < p.size() && (p[i] == '!' || p[i] == '^')) {
        negate = true;
        ++i;
    }
    bool found = false;
    bool first = true;
    while (i < p.size()) {
        if (p[i] == ']' && !first) {
            in = found != negate;
            return i + 1;
        }
        first = false;
        if (p[i] == '[' && i + 1 < p.size() && p[i + 1] == ':') {
            const qsizetype close = p.indexOf(":]", i + 2);
            if (close != NoEnd) {
                found = found || InClass(p.sliced(i + 2, close - i - 2), c);
                i = close + 2;
                continue;
            }
        }
        unsigned char low = p[i];
        if (low == '\\' && i + 1 < p.size())
            low = p[++i];
        ++i;
        unsigned char high = low;
        if (i + 1 < p.size() && p[i] == '-' && p[i + 1] != ']') {
            high = p[i + 1];
            i += 2;
            if (high == '\\' && i < p.size())
                high = p[i++];
        }
        found = found || (c >= low && c <= high);
    }
    return NoEnd;
}

// Whether the single item at p[at] (a character, an escape, '?' or a bracket) matches c; `next`
// gets where the pattern goes on. False with next == NoEnd for a backslash that ends the
// pattern, which fnmatch lets match nothing.
bool One(QByteArrayView p, qsizetype at, unsigned char c, qsizetype &next)
{
    const char ch = p[at];
    if (ch == '?') {
        next = at + 1;
        return true;
    }
    if (ch == '\\') {
        if (at + 1 >= p.size()) {
            next = NoEnd;
            return false;
        }
        next = at + 2;
        return (unsigned char)p[at + 1] == c;
    }
    if (ch == '[') {
        bool in = false;
        const qsizetype end = Bracket(p, at, c, in);
        if (end != NoEnd) {
            next = end;
            return in;
        }
    }
    next = at + 1;
    return (unsigned char)ch == c;
}

} // namespace

ExcludePatterns::ExcludePatterns(QByteArrayList patterns)
    : m_patterns(std::move(patterns))
{
    m_patterns.removeAll(QByteArray());
    for (const QByteArray &pattern : m_patterns) {
        const bool plain = std::none_of(pattern.begin(), pattern.end(), [](char c) {
            return c == '*' || c == '?' || c == '[' || c == '\\' || c == '/';
        });
        m_reach.push_back(pattern.startsWith('*') ? Reach::Whole
                          : plain                 ? Reach::Name
                                                  : Reach::Tails);
    }
}

QByteArrayList ExcludePatterns::FromLines(QByteArrayView text)
{
    QByteArrayList lines;
    for (qsizetype at = 0; at < text.size();) {
        qsizetype end = text.indexOf('\n', at);
        if (end < 0)
            end = text.size();
        QByteArrayView line = text.sliced(at, end - at);
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            lines.append(line.toByteArray());
        at = end + 1;
    }
    return lines;
}

// Greedy, with one way back: a '*' met later makes every earlier choice final, since what the
// earlier star left over the later one can take. So no pattern backtracks further than to its
// last star, and a hostile one such as "*a*a*a*a*b" costs the text's length times the pattern's.
bool ExcludePatterns::Matches(QByteArrayView p, QByteArrayView s)
{
    qsizetype pi = 0, si = 0;
    qsizetype starP = NoEnd, starS = 0;
    while (si < s.size()) {
        if (pi < p.size() && p[pi] == '*') {
            while (pi < p.size() && p[pi] == '*')
                ++pi;
            if (pi == p.size())
                return true;
            starP = pi;
            starS = si;
            continue;
        }
        qsizetype next = NoEnd;
        if (pi < p.size() && One(p, pi, s[si], next)) {
            pi = next;
            ++si;
            continue;
        }
        if (pi < p.size() && next == NoEnd)
            return false; // a backslash ending the pattern
        if (starP == NoEnd)
            return false;
        pi = starP;
        si = ++starS;
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

bool ExcludePatterns::excludes(QByteArrayView path) const
{
    const QByteArrayView name = path.sliced(path.lastIndexOf('/') + 1);
    for (qsizetype i = 0; i < m_patterns.size(); ++i) {
        const QByteArray &pattern = m_patterns[i];
        if (m_reach[size_t(i)] == Reach::Name) {
            if (name == pattern)
                return true;
            continue;
        }
        if (Matches(pattern, path))
            return true;
        if (m_reach[size_t(i)] == Reach::Whole)
            continue;
        for (qsizetype at = path.indexOf('/'); at >= 0; at = path.indexOf('/', at + 1))
            if (at + 1 < path.size() && Matches(pattern, path.sliced(at + 1)))
                return true;
    }
    return false;
}
