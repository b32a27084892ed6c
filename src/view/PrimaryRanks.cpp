#include "PrimaryRanks.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/unorm2.h>
#include <unicode/uset.h>
#include <unicode/utf16.h>

#include <algorithm>

namespace {

constexpr int32_t Characters = 0x10000;

// Where each character appears in the collator's rules over several characters, contractions
// such as Czech "ch" and rules that look at the character before: first, or after the first.
struct InRules
{
    std::vector<bool> first, later;
};

// Empty when the rules cannot be read.
InRules ReadRules(UCollator *collator)
{
    UErrorCode status = U_ZERO_ERROR;
    USet *contractions = uset_openEmpty();
    ucol_getContractionsAndExpansions(collator, contractions, nullptr, true, &status);
    InRules rules{std::vector<bool>(Characters), std::vector<bool>(Characters)};
    UChar item[256];
    for (int32_t i = 0; U_SUCCESS(status) && i < uset_getItemCount(contractions); ++i) {
        UChar32 start = 0, end = 0;
        const int32_t length =
            uset_getItem(contractions, i, &start, &end, item, int32_t(std::size(item)), &status);
        if (U_FAILURE(status))
            break;
        if (length == 0)
            for (UChar32 c = start; c <= end && c < Characters; ++c)
                rules.later[size_t(c)] = true;
        // Rules that begin with a noncharacter, which the collator keeps for its own marks
        // (U+FDD1 before a digit or a letter): no name need lose that letter for them.
        if (length > 0 && U_IS_UNICODE_NONCHAR(item[0])) {
            rules.later[item[0]] = true;
            continue;
        }
        for (int32_t k = 0; k < length; ++k)
            (k == 0 ? rules.first : rules.later)[item[k]] = true;
    }
    uset_close(contractions);
    if (U_FAILURE(status))
        rules = {};
    return rules;
}

} // namespace

std::unique_ptr<PrimaryRanks> PrimaryRanks::Learn(UCollator *collator)
{
    UErrorCode status = U_ZERO_ERROR;
    if (ucol_getReorderCodes(collator, nullptr, 0, &status) != 0 || U_FAILURE(status))
        return nullptr;
    const InRules rules = ReadRules(collator);
    if (rules.first.empty())
        return nullptr;

    // Each character's first-level weights, as the collator's elements give them: a weight of
    // more than 16 bits comes in two elements, the second marked as a continuation.
    std::vector<uint32_t> weights;
    std::vector<uint32_t> firstWeight(Characters + 1);
    std::vector<bool> unknown(Characters);
    const UChar none = 0;
    UCollationElements *elements = ucol_openElements(collator, &none, 0, &status);
    if (U_FAILURE(status))
        return nullptr;
    for (int32_t c = 0; c < Characters; ++c) {
        firstWeight[size_t(c)] = uint32_t(weights.size());
        if (U16_IS_SURROGATE(c) || rules.later[size_t(c)]) {
            unknown[size_t(c)] = true;
            continue;
        }
        const UChar text = UChar(c);
        ucol_setText(elements, &text, 1, &status);
        for (int32_t element = 0;
             U_SUCCESS(status) && (element = ucol_next(elements, &status)) != UCOL_NULLORDER;) {
            const auto bits = uint32_t(element);
            if ((bits & 0xC0) == 0xC0) {
                // The rest of this character's last weight, never of the one before.
                if (bits >> 16 && weights.size() > firstWeight[size_t(c)])
                    weights.back() |= bits >> 16;
            } else if (bits >> 16) {
                weights.push_back(bits & 0xFFFF0000u);
            }
        }
        unknown[size_t(c)] = U_FAILURE(status);
        status = U_ZERO_ERROR;
    }
    ucol_closeElements(elements);
    firstWeight[Characters] = uint32_t(weights.size());
    const auto weighs = [&](int32_t c) {
        return firstWeight[size_t(c) + 1] > firstWeight[size_t(c)];
    };

    // Normalisation puts combining marks in a fixed order: one that weighs, alone or within a
    // composed character, may be moved past another. A composed character is in a rule where
    // its parts are.
    std::vector<uint8_t> flags(Characters);
    const UNormalizer2 *decomposing = unorm2_getNFDInstance(&status);
    if (U_FAILURE(status))
        return nullptr;
    for (int32_t c = 0; c < Characters; ++c) {
        if (unknown[size_t(c)])
            continue;
        UChar parts[32];
        const int32_t length =
            unorm2_getDecomposition(decomposing, c, parts, int32_t(std::size(parts)), &status);
        if (U_FAILURE(status) || length > int32_t(std::size(parts))) {
            unknown[size_t(c)] = true;
            status = U_ZERO_ERROR;
            continue;
        }
        if (u_getCombiningClass(c) != 0)
            flags[size_t(c)] |= NonStarter;
        if (rules.first[size_t(c)])
            flags[size_t(c)] |= StartsRule;
        if (length < 0)
            unknown[size_t(c)] = u_getCombiningClass(c) != 0 && weighs(c);
        for (int32_t k = 0; k < length; ++k) {
            const UChar part = parts[k];
            if (U16_IS_SURROGATE(part) || rules.later[part] ||
                (u_getCombiningClass(part) != 0 && weighs(part)))
                unknown[size_t(c)] = true;
            else if (rules.first[part])
                flags[size_t(c)] |= StartsRule;
        }
    }

    // Ranks in the weights' order, as many as two bytes hold beside the marks.
    std::vector<uint32_t> distinct;
    for (int32_t c = 0; c < Characters; ++c)
        if (!unknown[size_t(c)])
            distinct.insert(distinct.end(), weights.begin() + firstWeight[size_t(c)],
                            weights.begin() + firstWeight[size_t(c) + 1]);
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    distinct.resize(std::min(distinct.size(), size_t(Several - First)));
    const auto rankOf = [&](uint32_t weight) -> char16_t {
        const auto found = std::lower_bound(distinct.begin(), distinct.end(), weight);
        return found == distinct.end() || *found != weight
                   ? Unknown
                   : char16_t(First + (found - distinct.begin()));
    };

    std::unique_ptr<PrimaryRanks> ranks(new PrimaryRanks);
    ranks->m_rank.assign(Characters, Unknown);
    ranks->m_flags = std::move(flags);
    for (int32_t c = 0; c < Characters; ++c) {
        if (unknown[size_t(c)])
            continue;
        std::vector<char16_t> each;
        for (uint32_t i = firstWeight[size_t(c)]; i < firstWeight[size_t(c) + 1]; ++i)
            each.push_back(rankOf(weights[i]));
        if (std::find(each.begin(), each.end(), Unknown) != each.end())
            continue;
        if (each.size() > 1) {
            ranks->m_rank[size_t(c)] = Several;
            ranks->m_several.emplace(char16_t(c), std::move(each));
        } else {
            ranks->m_rank[size_t(c)] = each.empty() ? Ignored : each.front();
        }
    }
    return ranks;
}

void PrimaryRanks::append(QStringView name, std::string &out) const
{
    const auto put = [&out](char16_t rank) {
        out.push_back(char(rank >> 8));
        out.push_back(char(rank & 0xFF));
    };
    // Where the ranks end should a later character be unknown: before the character that may
    // begin a rule with it, alone or across combining marks.
    size_t ruleFrom = std::string::npos;
    for (const QChar c : name) {
        const char16_t rank = m_rank[c.unicode()];
        if (rank == Unknown) {
            if (ruleFrom != std::string::npos)
                out.resize(ruleFrom);
            return;
        }
        const uint8_t flags = m_flags[c.unicode()];
        if (flags & StartsRule)
            ruleFrom = out.size();
        else if (!(flags & NonStarter))
            ruleFrom = std::string::npos;
        if (rank == Several) {
            for (const char16_t each : m_several.at(c.unicode()))
                put(each);
        } else if (rank != Ignored) {
            put(rank);
        }
    }
    out.push_back('\0');
}
