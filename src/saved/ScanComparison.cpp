#include "ScanComparison.h"

#include "FolderRecord.h"

ScanComparison::ScanComparison(std::unique_ptr<DriveScan> earlier, QByteArray current,
                               qint64 savedAt)
    : m_earlier(std::move(earlier))
    , m_current(std::move(current))
    , m_savedAt(savedAt)
{}

qsizetype ScanComparison::find(QByteArrayView relative) const
{
    return m_earlier->indexOf(m_earlier->rootPath() + relative.toByteArray());
}

std::optional<quint64> ScanComparison::folderSize(QByteArrayView relative,
                                                  SizeMeasure measure) const
{
    const qsizetype folder = find(relative);
    if (folder < 0)
        return std::nullopt;
    return SizeIn(measure, m_earlier->folder(folder));
}

std::vector<ScanComparison::Earlier> ScanComparison::entries(QByteArrayView relative,
                                                             SizeMeasure measure) const
{
    std::vector<Earlier> items;
    const qsizetype folder = find(relative);
    if (folder < 0)
        return items;
    const auto id = WalkSink::FolderId(folder);
    FileRecord file;
    for (FileRecordReader reader = m_earlier->filesOf(id); reader.next(file);)
        items.push_back({file.name.toByteArray(), SizeIn(measure, file), false});
    for (const WalkSink::FolderId child : m_earlier->subfoldersOf(id))
        items.push_back({m_earlier->nameOf(child).toByteArray(),
                         SizeIn(measure, m_earlier->folder(child)), true});
    return items;
}
