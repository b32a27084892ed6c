#pragma once

#include "FileRecord.h"
#include "FileRecordCodec.h"
#include "WalkSink.h"

#include <QByteArray>

#include <iterator>

class DriveScan;

// A folder record: the folder's total, path and date, and its files in listing order. A light
// handle onto the records of a DriveScan (non-owning; the scan must outlive it). A default-made
// handle stands for a folder that has no record.
class FolderRecord
{
public:
    class FileIterator
    {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = FileRecord;
        using difference_type = std::ptrdiff_t;

        FileIterator() = default;
        explicit FileIterator(FileRecordReader reader)
            : m_reader(reader)
            , m_valid(true)
        {
            ++*this;
        }
        const FileRecord &operator*() const { return m_file; }
        const FileRecord *operator->() const { return &m_file; }
        FileIterator &operator++()
        {
            m_valid = m_reader.next(m_file);
            return *this;
        }
        bool operator==(const FileIterator &other) const { return m_valid == other.m_valid; }

    private:
        FileRecordReader m_reader;
        FileRecord m_file;
        bool m_valid = false;
    };

    struct Files
    {
        FileRecordReader reader;
        FileIterator begin() const { return FileIterator(reader); }
        FileIterator end() const { return {}; }
    };

    FolderRecord() = default;
    FolderRecord(const DriveScan *scan, WalkSink::FolderId id)
        : m_scan(scan)
        , m_id(id)
    {}

    bool isNull() const { return m_scan == nullptr; }

    // Total bytes of every file in the folder and below it, as counted so far.
    quint64 size() const;
    // As size, in bytes taken on the disk.
    quint64 allocated() const;
    // The full path, ending with "/".
    QByteArray path() const;
    // The folder's own last-write time, in seconds since the epoch.
    qint64 date() const;
    // The number of file records.
    quint32 fileCount() const;
    // Every file record, in listing order.
    Files files() const;
    // Directory entries directly in the folder, listable or not.
    quint32 subfolderEntries() const;

private:
    const DriveScan *m_scan = nullptr;
    WalkSink::FolderId m_id = WalkSink::NoFolder;
};
