#pragma once

#include <QtGlobal>

#include <cstdint>
#include <memory>
#include <vector>

// Hands out pieces of large blocks that all live until the arena goes: names and packed file
// records are never freed one by one, so a per-allocation header would only cost memory.
// Not thread-safe: the owner guards it.
class ByteArena
{
public:
    // A piece of `size` bytes, copied from `data`.
    const std::uint8_t *store(const void *data, size_t size);

    // Bytes taken from the system so far.
    size_t reservedBytes() const { return m_reserved; }

    // A piece of `size` bytes for the caller to fill.
    std::uint8_t *allocate(size_t size);

private:
    std::vector<std::unique_ptr<std::uint8_t[]>> m_blocks;
    std::uint8_t *m_free = nullptr;
    size_t m_left = 0;
    size_t m_reserved = 0;
};
