#include "FixedPoint.h"

#include <limits>

FixedPoint FixedPoint::fromRatio(quint64 numerator, quint64 denominator)
{
    if (denominator == 0)
        return {};
    __extension__ typedef unsigned __int128 Wide; // exact for any 64-bit numerator times the scale
    const Wide scaled = Wide(numerator) * Scale;
    Wide quotient = scaled / denominator;
    const Wide remainder = scaled % denominator;
    const Wide twice = remainder * 2;
    if (twice > denominator || (twice == denominator && (quotient & 1) != 0))
        ++quotient;
    constexpr Wide Max = Wide(std::numeric_limits<qint64>::max());
    return FixedPoint(qint64(quotient > Max ? Max : quotient));
}
