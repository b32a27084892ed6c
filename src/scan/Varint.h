#pragma once

#include <QtGlobal>

#include <cstdint>

// Little-endian base-128 integers: seven bits a byte, the high bit set on all but the last. A
// 64-bit value takes at most MaxVarintBytes.
constexpr int MaxVarintBytes = 10;

// Writes `value` at `at`, which must have room for MaxVarintBytes; returns the byte after it.
inline std::uint8_t *PutVarint(std::uint8_t *at, quint64 value)
{
    while (value >= 0x80) {
        *at++ = std::uint8_t(value | 0x80);
        value >>= 7;
    }
    *at++ = std::uint8_t(value);
    return at;
}

// Reads a value at `at`, never past `end`, and moves `at` past it.
inline quint64 GetVarint(const std::uint8_t *&at, const std::uint8_t *end)
{
    quint64 value = 0;
    for (int shift = 0; at < end && shift < 64; shift += 7) {
        const std::uint8_t byte = *at++;
        value |= quint64(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0)
            break;
    }
    return value;
}
