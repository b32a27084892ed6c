#pragma once

#include <QtGlobal>

#include <atomic>
#include <limits>

// Sizes add up to at most the largest 64-bit count instead of wrapping round to small numbers.
inline quint64 SaturatingAdd(quint64 a, quint64 b)
{
    const quint64 sum = a + b;
    return sum < a ? std::numeric_limits<quint64>::max() : sum;
}

inline void SaturatingAdd(std::atomic<quint64> &total, quint64 bytes)
{
    quint64 seen = total.load(std::memory_order_relaxed);
    while (
        !total.compare_exchange_weak(seen, SaturatingAdd(seen, bytes), std::memory_order_relaxed))
        ;
}

inline void SaturatingSubtract(std::atomic<quint64> &total, quint64 bytes)
{
    quint64 seen = total.load(std::memory_order_relaxed);
    while (!total.compare_exchange_weak(seen, seen > bytes ? seen - bytes : 0,
                                        std::memory_order_relaxed))
        ;
}
