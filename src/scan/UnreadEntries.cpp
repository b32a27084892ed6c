#include "UnreadEntries.h"

#include "DriveScan.h"

UnreadEntries::UnreadEntries(const DriveScan &scan)
{
    for (const FolderNote &note : scan.folderNotes()) {
        if (!note.isUnread())
            continue;
        if (note.name.isEmpty())
            m_stopped.insert(note.folder);
        else
            m_names[note.folder].insert(note.name);
    }
}

bool UnreadEntries::contains(WalkSink::FolderId folder, QByteArrayView name) const
{
    const auto found = m_names.find(folder);
    return found != m_names.end() && found->second.contains(name.toByteArray());
}

const std::unordered_set<QByteArray> &UnreadEntries::namesIn(WalkSink::FolderId folder) const
{
    static const std::unordered_set<QByteArray> none;
    const auto found = m_names.find(folder);
    return found == m_names.end() ? none : found->second;
}
