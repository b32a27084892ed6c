#include "FolderCollection.h"

#include <algorithm>

DriveScan &FolderCollection::addDrive(const QByteArray &rootPath)
{
    m_drives.push_back(std::make_unique<DriveScan>(rootPath));
    return *m_drives.back();
}

const DriveScan &FolderCollection::adoptDrive(std::unique_ptr<DriveScan> scan)
{
    m_drives.push_back(std::move(scan));
    return *m_drives.back();
}

void FolderCollection::removeDrive(QByteArrayView rootPath)
{
    std::erase_if(m_drives, [&](const auto &drive) { return drive->rootPath() == rootPath; });
}

void FolderCollection::clear()
{
    m_drives.clear();
}

DriveScan *FolderCollection::scanHolding(QByteArrayView path)
{
    // The deepest root wins: a folder scanned as a drive of its own inside a scanned volume.
    DriveScan *found = nullptr;
    for (const auto &drive : m_drives)
        if (path.startsWith(drive->rootPath()) &&
            (!found || drive->rootPath().size() > found->rootPath().size()))
            found = drive.get();
    return found;
}

const DriveScan *FolderCollection::scanHolding(QByteArrayView path) const
{
    return const_cast<FolderCollection *>(this)->scanHolding(path);
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

std::pair<const DriveScan *, WalkSink::FolderId> FolderCollection::locate(QByteArrayView path) const
{
    for (const auto &drive : m_drives) {
        if (!path.startsWith(drive->rootPath()))
            continue;
        if (const qsizetype index = drive->indexOf(path); index >= 0)
            return {drive.get(), WalkSink::FolderId(index)};
    }
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
