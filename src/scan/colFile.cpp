#include "colFile.h"

#include "DriveScan.h"

quint64 colFile::Size() const
{
    return m_scan ? m_scan->sizeOf(m_id) : 0;
}

QByteArray colFile::Path() const
{
    return m_scan ? m_scan->pathOf(m_id) : QByteArray();
}

qint64 colFile::LDate() const
{
    return m_scan ? m_scan->dateOf(m_id) : 0;
}

quint32 colFile::Count() const
{
    return m_scan ? m_scan->fileCountOf(m_id) : 0;
}

colFile::Files colFile::files() const
{
    return {m_scan ? m_scan->filesOf(m_id) : FileRecordReader()};
}

quint32 colFile::subfolderEntries() const
{
    return m_scan ? m_scan->subfolderEntriesOf(m_id) : 0;
}
