#include "KeepRule.h"

namespace {

constexpr qint64 Day = 24 * 60 * 60;
constexpr qint64 Week = 7 * Day;

// Days and weeks counted from the epoch, rounding down before it too.
qint64 Period(qint64 date, qint64 length)
{
    return date >= 0 ? date / length : -((-date + length - 1) / length);
}

} // namespace

std::vector<bool> KeepRule::keeps(const std::vector<qint64> &dates, qint64 now) const
{
    const auto n = qsizetype(dates.size());
    std::vector<bool> kept(dates.size(), true);
    switch (kind) {
    case Kind::All:
        break;
    case Kind::Newest:
        for (qsizetype i = 0; i + qMax(count, 1) < n; ++i)
            kept[size_t(i)] = false;
        break;
    case Kind::Thinned:
        // Walking back from the newest, a walk past the first month is kept only when it is the
        // last of its day (or, past the first year, of its week).
        for (qsizetype i = n - 2; i >= 0; --i) {
            const qint64 age = now - dates[size_t(i)];
            if (age <= 30 * Day)
                continue;
            const qint64 length = age > 365 * Day ? Week : Day;
            kept[size_t(i)] =
                Period(dates[size_t(i)], length) != Period(dates[size_t(i + 1)], length);
        }
        break;
    }
    return kept;
}
