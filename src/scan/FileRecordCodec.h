#pragma once

#include "FileRecord.h"

#include <QByteArrayView>

#include <cstdint>
#include <memory>
#include <vector>

// The packed form of a folder's file records, in listing order. One byte first: the allocation
// unit's power of two (see below). Then per file a tag byte, the name, the size and, where the
// tag does not imply them, the bytes on disk and the date, as variable-length integers. The tag
// holds the name's length (or says a longer length follows), whether the bytes on disk are the
// size rounded up to the folder's allocation unit (nothing empty when the size is 0), and
// whether the date is the previous file's. Dates are kept as the change from the previous
// file's. On most disks a file then costs its name plus two or three bytes, which is what lets
// the records of a ten-million-file volume sit comfortably in memory.
class FileRecordWriter
{
public:
    void clear();
    void add(QByteArrayView name, quint64 size, qint64 date, quint64 allocated = 0);

    const std::uint8_t *data() const { return m_bytes.data(); }
    quint32 byteCount() const { return quint32(m_size); }
    quint32 count() const { return m_count; }

private:
    void settleUnit(quint64 size, quint64 allocated);

    // Its size is the room: grown, and zeroed, only up to the largest folder, as it is kept
    // between folders.
    std::vector<std::uint8_t> m_bytes;
    size_t m_size = 0;
    quint32 m_count = 0;
    qint64 m_lastDate = 0;
    // Kept between folders too: the next folder is most likely on the same file system.
    int m_unitShift = 12; // 4 KiB
    // Whether a file of this folder relies on the unit, which may no longer change then.
    bool m_unitSettled = false;
};

// Reads packed records front to back.
class FileRecordReader
{
public:
    FileRecordReader() = default;
    FileRecordReader(const std::uint8_t *data, quint32 byteCount)
        : m_at(data)
        , m_end(data + byteCount)
    {
        if (m_at < m_end)
            m_unitShift = *m_at++ & 63;
    }
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
    const std::uint8_t *m_at = nullptr;
    const std::uint8_t *m_end = nullptr;
    int m_unitShift = 0;
    qint64 m_lastDate = 0;
    quint32 m_position = 0;
    std::shared_ptr<const void> m_keepUncounted;
    const quint32 *m_uncounted = nullptr;
    const quint32 *m_uncountedEnd = nullptr;
};
