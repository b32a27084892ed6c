#pragma once

#include <QByteArray>
#include <QLocale>
#include <QStringView>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

class PrimaryRanks;
struct UCollator;

// Names' sort keys as a locale collates them, side by side in one buffer: two names compare as
// their keys' bytes, with no allocation per name. The collation is QCollator's by default
// (accents and case count, as does punctuation), so the list sorts as Qt would, only faster.
// In the C locale the keys follow the names' UTF-16 code units, as QString compares them.
// Names of printable ASCII only, the most common by far, can be keyed from a table of their
// characters' weights, learned from the collator itself, many times faster than by the collator:
// the keys differ, but their order is the collator's. Other names, where the locale allows it, are
// keyed at the first level only, from a table of ranks also learned from the collator: such keys
// order two names where they differ within the shorter key, and otherwise leave it to wholeKey().
// Keys made different ways do not compare.
class CollationKeys
{
public:
    explicit CollationKeys(const QLocale &locale = QLocale());
    ~CollationKeys();
    CollationKeys(const CollationKeys &) = delete;
    CollationKeys &operator=(const CollationKeys &) = delete;

    void reserve(size_t names, size_t bytes);
    // Whether every name added from now on is printable ASCII, which the table then keys; true
    // is ignored where the collator's rules for such names go beyond one weight per character.
    void setAsciiOnly(bool asciiOnly);
    static bool IsAsciiOnly(QStringView names);
    // Loads what the locale's first keys would: the collator's rules, read once per process, and
    // the tables. Some tens of milliseconds, meant for a worker thread before any list is sorted.
    static void Prepare(const QLocale &locale = QLocale());
    // The name's key comes next, after those added before.
    void add(QStringView name);
    size_t size() const { return m_ends.size(); }
    // Stays valid until the next add().
    std::string_view key(size_t index) const;
    // Whether the keys made are first-level ranks, which may leave two names undecided.
    bool firstLevelOnly() const { return m_ranks != nullptr; }
    // How two keys made here order their names: below 0, 0 or above 0. First-level keys order
    // them only where they differ within the shorter one; 0 then also means undecided, for
    // wholeKey() to tell.
    int compare(std::string_view a, std::string_view b) const
    {
        const size_t shorter = m_ranks ? std::min(a.size(), b.size()) : std::string_view::npos;
        return a.substr(0, shorter).compare(b.substr(0, shorter));
    }
    // The collator's whole key of the name, whatever the keys made are.
    void wholeKey(QStringView name, std::string &out) const;

    // Per printable character: its first-level weight's rank (1 up) and, among the characters of
    // one such weight, its rank at the third level (case).
    struct AsciiTable
    {
        unsigned char primary[128] = {};
        unsigned char tertiary[128] = {};
    };

private:
    UCollator *m_collator = nullptr; // none: the C locale
    QByteArray m_localeName;
    const AsciiTable *m_table = nullptr;   // while the names added are ASCII, when it holds
    const PrimaryRanks *m_ranks = nullptr; // while they are not, when the locale allows it
    std::string m_bytes;
    std::vector<size_t> m_ends; // key i ends at m_ends[i] and starts where key i - 1 ends
};
