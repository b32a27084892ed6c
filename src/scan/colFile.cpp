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

std::optional<clsFile> colFile::Item(quint32 position) const
{
    if (position < 1 || position > Count())
        return std::nullopt;
    quint32 at = 1;
    for (const clsFile &file : files())
        if (at++ == position)
            return file;
    return std::nullopt;
}

std::optional<clsFile> colFile::Item(QByteArrayView key) const
{
    for (const clsFile &file : files()) {
        if (key.startsWith(file.LFile) &&
            key.sliced(file.LFile.size()) == QByteArray::number(file.LSize))
            return file;
    }
    return std::nullopt;
}

colFile::Files colFile::files() const
{
    return {m_scan ? m_scan->filesOf(m_id) : FileRecordReader()};
}

quint32 colFile::subfolderEntries() const
{
    return m_scan ? m_scan->subfolderEntriesOf(m_id) : 0;
}
