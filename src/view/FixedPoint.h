#pragma once

#include <QtGlobal>

// A fixed-point amount with four decimal places, held as a signed 64-bit count of ten-thousandths.
// Folder totals and capacity figures are turned into this form before they are rounded for
// display, so that whole-unit figures are exact far beyond what a double holds.
class FixedPoint
{
public:
    static constexpr qint64 Scale = 10000;

    constexpr FixedPoint() = default;
    static constexpr FixedPoint fromRaw(qint64 raw) { return FixedPoint(raw); }

    // numerator / denominator rounded to four decimal places, halves to even; the result
    // saturates at the largest amount instead of wrapping. A zero denominator gives 0.
    static FixedPoint fromRatio(quint64 numerator, quint64 denominator);

    constexpr qint64 raw() const { return m_raw; }
    constexpr qint64 wholePart() const { return m_raw / Scale; } // truncated toward zero
    constexpr int tenthsDigit() const { return int(absRaw() % Scale / 1000); }

    friend constexpr bool operator==(FixedPoint, FixedPoint) = default;

private:
    constexpr explicit FixedPoint(qint64 raw)
        : m_raw(raw)
    {}
    constexpr quint64 absRaw() const { return m_raw < 0 ? 0 - quint64(m_raw) : quint64(m_raw); }

    qint64 m_raw = 0;
};
