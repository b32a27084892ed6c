#include "FileRecordCodec.h"

#include "Varint.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr std::uint8_t ImpliedAllocation = 0x80;
constexpr std::uint8_t SameDate = 0x40;
constexpr std::uint8_t LengthBits = 0x3F; // all set: the length less this follows
// Allocation units looked for: 512 bytes (the count's own unit) to 1 MiB (large FAT clusters).
constexpr int SmallestUnitShift = 9;
constexpr int LargestUnitShift = 20;
constexpr int CommonUnitShift = 12;

quint64 ZigZag(qint64 value)
{
    return (quint64(value) << 1) ^ quint64(value >> 63);
}

qint64 UnZigZag(quint64 value)
{
    return qint64(value >> 1) ^ -qint64(value & 1);
}

// The size rounded up to whole units. Past 2^64 it wraps round to 0, the same for the writer
// and the reader.
quint64 RoundedUp(quint64 size, int unitShift)
{
    return size == 0 ? 0 : (((size - 1) >> unitShift) + 1) << unitShift;
}

} // namespace

void FileRecordWriter::clear()
{
    m_size = 0;
    m_count = 0;
    m_lastDate = 0;
    m_unitSettled = false;
}

void FileRecordWriter::add(QByteArrayView name, quint64 size, qint64 date, quint64 allocated)
{
    const auto length = size_t(name.size());
    // The unit, the tag, then at most five integers: the long length, the size, the bytes on
    // disk (in blocks, and a remainder) and the date.
    const size_t needed = m_size + 2 + length + 5 * MaxVarintBytes;
    if (needed > m_bytes.size())
        m_bytes.resize(std::max(needed, 2 * m_bytes.size()));
    std::uint8_t *at = m_bytes.data() + m_size;
    if (m_count == 0)
        *at++ = std::uint8_t(m_unitShift);
    if (!m_unitSettled && size > 0 && allocated >= size)
        settleUnit(size, allocated);
    // Until the unit is settled it may still change, so only an empty file relies on it then.
    const bool implied =
        m_unitSettled ? allocated == RoundedUp(size, m_unitShift) : size == 0 && allocated == 0;
    const bool sameDate = date == m_lastDate;
    const std::uint8_t shortLength = std::uint8_t(std::min<size_t>(length, LengthBits));
    *at++ =
        std::uint8_t(shortLength | (implied ? ImpliedAllocation : 0) | (sameDate ? SameDate : 0));
    if (shortLength == LengthBits)
        at = PutVarint(at, length - LengthBits);
    if (length > 0)
        std::memcpy(at, name.data(), length);
    at = PutVarint(at + length, size);
    if (!implied) {
        // 512-byte blocks, with the low bit set when a remainder in bytes follows (never from
        // a file system; saved scans may carry any count).
        const quint64 remainder = allocated % 512;
        at = PutVarint(at, (allocated / 512) << 1 | (remainder != 0));
        if (remainder != 0)
            at = PutVarint(at, remainder);
    }
    // Wrapping subtraction: the decoder adds it back the same way, so any pair of dates works.
    if (!sameDate)
        at = PutVarint(at, ZigZag(qint64(quint64(date) - quint64(m_lastDate))));
    m_lastDate = date;
    m_size = size_t(at - m_bytes.data());
    ++m_count;
}

// Picks the folder's unit at its first file whose bytes on disk may be its size rounded up: of
// the units that fit that file, the last folder's, else 4 KiB, else the smallest. Files before
// it are empty, or their bytes on disk follow from their size in no unit.
void FileRecordWriter::settleUnit(quint64 size, quint64 allocated)
{
    const int smallest = std::max(SmallestUnitShift, int(std::bit_width(allocated - size)));
    const int largest = std::min(LargestUnitShift, int(std::countr_zero(allocated)));
    if (smallest > largest)
        return;
    if (m_unitShift < smallest || m_unitShift > largest)
        m_unitShift =
            smallest <= CommonUnitShift && CommonUnitShift <= largest ? CommonUnitShift : smallest;
    m_bytes[0] = std::uint8_t(m_unitShift);
    m_unitSettled = true;
}

bool FileRecordReader::next(FileRecord &file)
{
    if (m_at >= m_end)
        return false;
    const std::uint8_t tag = *m_at++;
    quint64 length = tag & LengthBits;
    if (length == LengthBits)
        length += GetVarint(m_at, m_end);
    length = std::min(length, quint64(m_end - m_at));
    file.name = QByteArrayView(reinterpret_cast<const char *>(m_at), qsizetype(length));
    m_at += length;
    file.size = GetVarint(m_at, m_end);
    if (tag & ImpliedAllocation) {
        file.allocated = RoundedUp(file.size, m_unitShift);
    } else {
        const quint64 blocks = GetVarint(m_at, m_end);
        file.allocated = (blocks >> 1) * 512 + (blocks & 1 ? GetVarint(m_at, m_end) : 0);
    }
    if (!(tag & SameDate))
        m_lastDate = qint64(quint64(m_lastDate) + quint64(UnZigZag(GetVarint(m_at, m_end))));
    file.date = m_lastDate;
    file.counted = m_uncounted == m_uncountedEnd || *m_uncounted != m_position;
    if (!file.counted)
        ++m_uncounted;
    ++m_position;
    return true;
}
