#pragma once

#include <QStringView>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct UCollator;

// Every 16-bit character's first-level collation weights as small ranks, learned once from a
// collator, so that most names can be ordered at the first level without it: a name's ranks in
// turn compare as the collator's first level does. What the table cannot vouch for stops a
// name's ranks: characters that follow the first in a rule over several (a contraction such as
// Czech "ch"), taking with them the ranks from that first one on, combining marks with a weight
// of their own (which normalisation may move), and characters beyond 16 bits. Names equal as far
// as their ranks go need the collator.
class PrimaryRanks
{
public:
    // None where the collator reorders scripts, whose weights its elements do not show.
    static std::unique_ptr<PrimaryRanks> Learn(UCollator *collator);

    // Appends the name's ranks, two bytes each, most significant first, and a 0 byte when the
    // name ended rather than stopped: two names ordered by such bytes are ordered as the
    // collator orders them wherever they differ within the shorter one's bytes.
    void append(QStringView name, std::string &out) const;

private:
    PrimaryRanks() = default;

    static constexpr char16_t Ignored = 0;   // no first-level weight: adds nothing
    static constexpr char16_t First = 0x100; // a rank's first byte is never 0, the end mark
    static constexpr char16_t Several = 0xFFFE;
    static constexpr char16_t Unknown = 0xFFFF;

    enum Flag : uint8_t { StartsRule = 1, NonStarter = 2 };

    std::vector<char16_t> m_rank; // per character: a rank, or one of the marks above
    std::vector<uint8_t> m_flags; // per character
    std::unordered_map<char16_t, std::vector<char16_t>> m_several; // characters of several weights
};
