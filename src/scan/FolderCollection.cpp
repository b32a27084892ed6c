#include "FolderCollection.h"

#include <algorithm>

std::shared_ptr<DriveScan> FolderCollection::addDrive(const QByteArray &rootPath)
{
    return m_drives.emplace_back(std::make_shared<DriveScan>(rootPath));
}

void FolderCollection::adoptDrive(std::shared_ptr<DriveScan> scan)
{
    m_drives.push_back(std::move(scan));
}

void FolderCollection::removeDrive(QByteArrayView rootPath)
{
    std::erase_if(m_drives, [&](const auto &drive) { return drive->rootPath() == rootPath; });
}

void FolderCollection::clear()
{
    m_drives.clear();
}

std::shared_ptr<DriveScan> FolderCollection::scanHolding(QByteArrayView path) const
{
    // The deepest root wins, so that an edit and every view meet the same records.
    const std::shared_ptr<DriveScan> *found = nullptr;
    for (const auto &drive : m_drives)
        if (path.startsWith(drive->rootPath()) &&
            (!found || drive->rootPath().size() > (*found)->rootPath().size()))
            found = &drive;
    return found ? *found : nullptr;
}

qsizetype FolderCollection::count() const
{
    qsizetype total = 0;
    for (const auto &drive : m_drives)
        total += drive->count() - drive->removedCount();
    return total;
}

FolderRecord FolderCollection::find(QByteArrayView path) const
{
    const auto [drive, folder] = locate(path);
    return drive ? drive->folder(qsizetype(folder)) : FolderRecord();
}

std::pair<std::shared_ptr<const DriveScan>, WalkSink::FolderId>
FolderCollection::locate(QByteArrayView path) const
{
    std::shared_ptr<const DriveScan> scan = scanHolding(path);
    if (const qsizetype index = scan ? scan->indexOf(path) : -1; index >= 0)
        return {std::move(scan), WalkSink::FolderId(index)};
    return {nullptr, WalkSink::NoFolder};
}

quint32 FolderCollection::unreadCount() const
{
    quint32 total = 0;
    for (const auto &drive : m_drives)
        total += drive->unreadFolders() + drive->unreadFiles();
    return total;
}

quint32 FolderCollection::vanishedCount() const
{
    quint32 total = 0;
    for (const auto &drive : m_drives)
        total += drive->vanishedCount();
    return total;
}

QByteArrayList FolderCollection::unreadSample() const
{
    QByteArrayList sample;
    for (const auto &drive : m_drives)
        sample += drive->unreadSample();
    return sample;
}
