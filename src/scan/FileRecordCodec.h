#pragma once

#include "FileRecord.h"

#include <QByteArrayView>

#include <cstdint>
#include <memory>
#include <vector>

// The packed form of a folder's file records, in listing order: per file the name's length, the
// name, the size, the bytes on disk (in 512-byte blocks, as the file system counts them) and the
// date as the change from the previous file's date, all as variable-length integers. A file costs
// its name plus about six bytes, which is what lets the records of a
// ten-million-file volume sit comfortably in memory.
class FileRecordWriter
{
public:
    void clear();
    void add(QByteArrayView name, quint64 size, qint64 date, quint64 allocated = 0);

    const std::uint8_t *data() const { return m_bytes.data(); }
    quint32 byteCount() const { return quint32(m_bytes.size()); }
    quint32 count() const { return m_count; }

private:
    void putVarint(quint64 value);

    std::vector<std::uint8_t> m_bytes; // kept between folders, so it only grows to the largest
    quint32 m_count = 0;
    qint64 m_lastDate = 0;
};

// Reads packed records front to back.
class FileRecordReader
{
public:
    FileRecordReader() = default;
    FileRecordReader(const std::uint8_t *data, quint32 byteCount)
        : m_at(data)
        , m_end(data + byteCount)
    {}
    // Positions whose files do not count, ascending; `keep` owns them.
    void setUncounted(std::shared_ptr<const void> keep, const quint32 *begin, const quint32 *end)
    {
        m_keepUncounted = std::move(keep);
        m_uncounted = begin;
        m_uncountedEnd = end;
    }

    // The next record, or false at the end.
    bool next(FileRecord &file);

private:
    quint64 getVarint();

    const std::uint8_t *m_at = nullptr;
    const std::uint8_t *m_end = nullptr;
    qint64 m_lastDate = 0;
    quint32 m_position = 0;
    std::shared_ptr<const void> m_keepUncounted;
    const quint32 *m_uncounted = nullptr;
    const quint32 *m_uncountedEnd = nullptr;
};
