#include "FolderCollection.h"

#include <algorithm>

DriveScan &FolderCollection::addDrive(const QByteArray &rootPath)
{
    m_drives.push_back(std::make_unique<DriveScan>(rootPath));
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

qsizetype FolderCollection::count() const
{
    qsizetype total = 0;
    for (const auto &drive : m_drives)
        total += drive->count();
    return total;
}

colFile FolderCollection::at(qsizetype position) const
{
    if (position < 1)
        return {};
    qsizetype index = position - 1;
    for (const auto &drive : m_drives) {
        const qsizetype inDrive = drive->count();
        if (index < inDrive)
            return drive->folder(index);
        index -= inDrive;
    }
    return {};
}

colFile FolderCollection::find(QByteArrayView path) const
{
    for (const auto &drive : m_drives) {
        if (!path.startsWith(drive->rootPath()))
            continue;
        if (const qsizetype index = drive->indexOf(path); index >= 0)
            return drive->folder(index);
    }
    return {};
}

const DriveScan *FolderCollection::drive(QByteArrayView rootPath) const
{
    const auto it = std::find_if(m_drives.begin(), m_drives.end(),
                                 [&](const auto &drive) { return drive->rootPath() == rootPath; });
    return it == m_drives.end() ? nullptr : it->get();
}
