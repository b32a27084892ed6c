#include "FolderRecord.h"

#include "DriveScan.h"

quint64 FolderRecord::size() const
{
    return m_scan ? m_scan->sizeOf(m_id) : 0;
}

quint64 FolderRecord::allocated() const
{
    return m_scan ? m_scan->allocatedOf(m_id) : 0;
}

QByteArray FolderRecord::path() const
{
    return m_scan ? m_scan->pathOf(m_id) : QByteArray();
}

qint64 FolderRecord::date() const
{
    return m_scan ? m_scan->dateOf(m_id) : 0;
}

quint32 FolderRecord::fileCount() const
{
    return m_scan ? m_scan->fileCountOf(m_id) : 0;
}

FolderRecord::Files FolderRecord::files() const
{
    return {m_scan ? m_scan->filesOf(m_id) : FileRecordReader()};
}

quint32 FolderRecord::subfolderEntries() const
{
    return m_scan ? m_scan->subfolderEntriesOf(m_id) : 0;
}
