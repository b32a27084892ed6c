#include "CollationKeys.h"

#include "PrimaryRanks.h"

#include <unicode/ucol.h>
#include <unicode/uset.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr char16_t FirstPrintable = 0x20, LastPrintable = 0x7E;

// The levels of a sort key, which a byte 01 separates.
std::vector<std::string> Levels(UCollator *collator, char16_t character)
{
    uint8_t key[64];
    const UChar text[] = {character};
    const int32_t made = ucol_getSortKey(collator, text, 1, key, sizeof key);
    std::vector<std::string> levels(1);
    for (int32_t i = 0; i < made && i < int32_t(sizeof key) && key[i] != 0; ++i) {
        if (key[i] == 1)
            levels.emplace_back();
        else
            levels.back() += char(key[i]);
    }
    return levels;
}

// The table holds only where the collator gives each printable character a single weight of its
// own at the first level, the same one at the second, and no rule spans two characters (a
// contraction such as Czech "ch") or gives one several weights: then two names compare by their
// characters' first-level weights in turn, then, all equal, by their third-level ones.
std::unique_ptr<CollationKeys::AsciiTable> LearnTable(UCollator *collator)
{
    UErrorCode status = U_ZERO_ERROR;
    USet *contractions = uset_openEmpty();
    USet *expansions = uset_openEmpty();
    ucol_getContractionsAndExpansions(collator, contractions, expansions, true, &status);
    bool usable = U_SUCCESS(status);
    for (char16_t c = FirstPrintable; usable && c <= LastPrintable; ++c)
        usable = !uset_contains(expansions, c);
    UChar item[64];
    for (int32_t i = 0; usable && i < uset_getItemCount(contractions); ++i) {
        UChar32 start = 0, end = 0;
        const int32_t length =
            uset_getItem(contractions, i, &start, &end, item, int32_t(std::size(item)), &status);
        // Only a rule over printable characters alone can meet names made of them.
        usable = U_SUCCESS(status) &&
                 !std::all_of(item, item + std::clamp(length, 0, int32_t(std::size(item))),
                              [](UChar c) { return c >= FirstPrintable && c <= LastPrintable; });
    }
    uset_close(contractions);
    uset_close(expansions);
    if (!usable)
        return nullptr;

    struct Weights
    {
        std::vector<std::string> levels;
        char16_t character;
    };
    std::vector<Weights> all;
    for (char16_t c = FirstPrintable; c <= LastPrintable; ++c) {
        all.push_back({Levels(collator, c), c});
        const auto &levels = all.back().levels;
        if (levels.size() < 3 || levels[0].empty() || levels[1] != all.front().levels[1])
            return nullptr;
    }
    std::sort(all.begin(), all.end(),
              [](const Weights &a, const Weights &b) { return a.levels < b.levels; });
    auto table = std::make_unique<CollationKeys::AsciiTable>();
    unsigned char primary = 0, tertiary = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        const bool samePrimary = i > 0 && all[i].levels[0] == all[i - 1].levels[0];
        if (!samePrimary) {
            ++primary;
            tertiary = 1;
        } else if (all[i].levels[2] == all[i - 1].levels[2]) {
            return nullptr; // two characters alike to the third level, which the table cannot tell
        } else {
            ++tertiary;
        }
        table->primary[all[i].character] = primary;
        table->tertiary[all[i].character] = tertiary;
    }
    return table;
}

// Learning a table takes the collator's rule sets, some milliseconds: once per locale and run.
const CollationKeys::AsciiTable *TableFor(const QByteArray &localeName, UCollator *collator)
{
    static std::mutex lock;
    static std::map<QByteArray, std::unique_ptr<CollationKeys::AsciiTable>> learned;
    const std::lock_guard hold(lock);
    const auto found = learned.find(localeName);
    if (found != learned.end())
        return found->second.get();
    return learned.emplace(localeName, LearnTable(collator)).first->second.get();
}

// Ranks likewise, a few tens of milliseconds: once per locale and run.
const PrimaryRanks *RanksFor(const QByteArray &localeName, UCollator *collator)
{
    static std::mutex lock;
    static std::map<QByteArray, std::unique_ptr<PrimaryRanks>> learned;
    const std::lock_guard hold(lock);
    const auto found = learned.find(localeName);
    if (found != learned.end())
        return found->second.get();
    return learned.emplace(localeName, PrimaryRanks::Learn(collator)).first->second.get();
}

// Appends the collator's key of the name, without the terminating zero, which no key holds
// elsewhere.
void AppendSortKey(UCollator *collator, QStringView name, std::string &bytes)
{
    const size_t start = bytes.size();
    const auto text = reinterpret_cast<const UChar *>(name.utf16());
    const auto length = int32_t(name.size());
    // Keys run to about three bytes a character; a longer one is made again with room enough.
    size_t room = size_t(name.size()) * 4 + 16;
    for (;;) {
        bytes.resize(start + room);
        const int32_t made = ucol_getSortKey(
            collator, text, length, reinterpret_cast<uint8_t *>(&bytes[start]), int32_t(room));
        if (made <= int32_t(room)) {
            bytes.resize(start + size_t(made > 0 ? made - 1 : 0));
            return;
        }
        room = size_t(made);
    }
}

} // namespace

CollationKeys::CollationKeys(const QLocale &locale)
{
    if (locale.language() == QLocale::C)
        return;
    UErrorCode status = U_ZERO_ERROR;
    m_localeName = locale.bcp47Name().replace(u'-', u'_').toLatin1();
    m_collator = ucol_open(m_localeName.constData(), &status);
    if (U_FAILURE(status)) {
        m_collator = nullptr;
        return;
    }
    // As QCollator sets them: decomposed and composed accents collate alike, punctuation and
    // digits count as they are.
    ucol_setAttribute(m_collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    ucol_setAttribute(m_collator, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
    ucol_setAttribute(m_collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
}

void CollationKeys::setAsciiOnly(bool asciiOnly)
{
    m_table = asciiOnly && m_collator ? TableFor(m_localeName, m_collator) : nullptr;
    m_ranks = !m_table && m_collator ? RanksFor(m_localeName, m_collator) : nullptr;
}

bool CollationKeys::IsAsciiOnly(QStringView names)
{
    return std::all_of(names.begin(), names.end(), [](QChar c) {
        return c.unicode() >= FirstPrintable && c.unicode() <= LastPrintable;
    });
}

void CollationKeys::Prepare(const QLocale &locale)
{
    CollationKeys keys(locale);
    keys.setAsciiOnly(true);
    keys.add(u"a");
    keys.setAsciiOnly(false);
}

CollationKeys::~CollationKeys()
{
    if (m_collator)
        ucol_close(m_collator);
}

void CollationKeys::reserve(size_t names, size_t bytes)
{
    m_ends.reserve(names);
    m_bytes.reserve(bytes);
}

void CollationKeys::add(QStringView name)
{
    const size_t start = m_bytes.size();
    if (!m_collator) {
        // Big-endian code units: bytes compare as the units do.
        m_bytes.resize(start + size_t(name.size()) * 2);
        for (qsizetype i = 0; i < name.size(); ++i) {
            m_bytes[start + size_t(i) * 2] = char(name[i].unicode() >> 8);
            m_bytes[start + size_t(i) * 2 + 1] = char(name[i].unicode() & 0xff);
        }
        m_ends.push_back(m_bytes.size());
        return;
    }
    if (m_table) {
        // First-level ranks, a 0 that ends them (a name before those it begins), then the
        // third-level ones.
        m_bytes.resize(start + size_t(name.size()) * 2 + 1);
        char *at = &m_bytes[start];
        for (const QChar c : name)
            *at++ = char(m_table->primary[c.unicode() & 0x7F]);
        *at++ = 0;
        for (const QChar c : name)
            *at++ = char(m_table->tertiary[c.unicode() & 0x7F]);
        m_ends.push_back(m_bytes.size());
        return;
    }
    if (m_ranks)
        m_ranks->append(name, m_bytes);
    else
        AppendSortKey(m_collator, name, m_bytes);
    m_ends.push_back(m_bytes.size());
}

void CollationKeys::wholeKey(QStringView name, std::string &out) const
{
    out.clear();
    if (m_collator)
        AppendSortKey(m_collator, name, out);
}

std::string_view CollationKeys::key(size_t index) const
{
    const size_t start = index == 0 ? 0 : m_ends[index - 1];
    return std::string_view(m_bytes).substr(start, m_ends[index] - start);
}
