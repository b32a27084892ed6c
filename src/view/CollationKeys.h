#pragma once

#include <QLocale>
#include <QStringView>

#include <string>
#include <string_view>
#include <vector>

struct UCollator;

// Names' sort keys as a locale collates them, side by side in one buffer: two names compare as
// their keys' bytes, with no allocation per name. The collation is QCollator's by default
// (accents and case count, as does punctuation), so the list sorts as Qt would, only faster.
// In the C locale the keys follow the names' UTF-16 code units, as QString compares them.
class CollationKeys
{
public:
    explicit CollationKeys(const QLocale &locale = QLocale());
    ~CollationKeys();
    CollationKeys(const CollationKeys &) = delete;
    CollationKeys &operator=(const CollationKeys &) = delete;

    void reserve(size_t names, size_t bytes);
    // The name's key comes next, after those added before.
    void add(QStringView name);
    size_t size() const { return m_ends.size(); }
    // Stays valid until the next add().
    std::string_view key(size_t index) const;

private:
    UCollator *m_collator = nullptr; // none: the C locale
    std::string m_bytes;
    std::vector<size_t> m_ends; // key i ends at m_ends[i] and starts where key i - 1 ends
};
