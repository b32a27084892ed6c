#include "ByteArena.h"

#include <cstring>

namespace {
// Large enough that the system maps it lazily (only touched pages count), small enough that the
// last block's unused tail does not matter.
constexpr size_t BlockSize = size_t(1) << 20;
// A larger piece gets a block of its own rather than wasting the current block's tail.
constexpr size_t OwnBlockThreshold = BlockSize / 8;
} // namespace

const std::uint8_t *ByteArena::store(const void *data, size_t size)
{
    std::uint8_t *piece = allocate(size);
    if (size > 0)
        std::memcpy(piece, data, size);
    return piece;
}

std::uint8_t *ByteArena::allocate(size_t size)
{
    if (size > OwnBlockThreshold) {
        m_blocks.emplace_back(new std::uint8_t[size]);
        m_reserved += size;
        return m_blocks.back().get();
    }
    if (size > m_left) {
        m_blocks.emplace_back(new std::uint8_t[BlockSize]);
        m_reserved += BlockSize;
        m_free = m_blocks.back().get();
        m_left = BlockSize;
    }
    std::uint8_t *piece = m_free;
    m_free += size;
    m_left -= size;
    return piece;
}
