#include "FileRecordCodec.h"

#include <cstring>

namespace {

quint64 ZigZag(qint64 value)
{
    return (quint64(value) << 1) ^ quint64(value >> 63);
}

qint64 UnZigZag(quint64 value)
{
    return qint64(value >> 1) ^ -qint64(value & 1);
}

} // namespace

void FileRecordWriter::clear()
{
    m_bytes.clear();
    m_count = 0;
    m_lastDate = 0;
}

void FileRecordWriter::add(QByteArrayView name, quint64 size, qint64 date, quint64 allocated)
{
    putVarint(quint64(name.size()));
    const size_t at = m_bytes.size();
    m_bytes.resize(at + size_t(name.size()));
    if (!name.isEmpty())
        std::memcpy(m_bytes.data() + at, name.data(), size_t(name.size()));
    putVarint(size);
    // Blocks, with the low bit clear; a count not in whole blocks (never from a file system) is
    // kept in bytes with the low bit set.
    putVarint(allocated % 512 == 0 ? (allocated / 512) << 1 : (allocated << 1) | 1);
    // Wrapping subtraction: the decoder adds it back the same way, so any pair of dates works.
    putVarint(ZigZag(qint64(quint64(date) - quint64(m_lastDate))));
    m_lastDate = date;
    ++m_count;
}

void FileRecordWriter::putVarint(quint64 value)
{
    while (value >= 0x80) {
        m_bytes.push_back(std::uint8_t(value | 0x80));
        value >>= 7;
    }
    m_bytes.push_back(std::uint8_t(value));
}

bool FileRecordReader::next(FileRecord &file)
{
    if (m_at >= m_end)
        return false;
    const quint64 length = getVarint();
    file.name = QByteArrayView(reinterpret_cast<const char *>(m_at), qsizetype(length));
    m_at += length;
    file.size = getVarint();
    const quint64 allocated = getVarint();
    file.allocated = allocated & 1 ? allocated >> 1 : (allocated >> 1) * 512;
    m_lastDate = qint64(quint64(m_lastDate) + quint64(UnZigZag(getVarint())));
    file.date = m_lastDate;
    file.counted = m_uncounted == m_uncountedEnd || *m_uncounted != m_position;
    if (!file.counted)
        ++m_uncounted;
    ++m_position;
    return true;
}

quint64 FileRecordReader::getVarint()
{
    quint64 value = 0;
    for (int shift = 0; m_at < m_end && shift < 64; shift += 7) {
        const std::uint8_t byte = *m_at++;
        value |= quint64(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0)
            break;
    }
    return value;
}
