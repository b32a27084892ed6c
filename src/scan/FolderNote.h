#pragma once

#include <QByteArray>
#include <QtGlobal>

// Something the walk met in a folder and could not take whole: with an empty name, the folder's
// own listing stopped short; with a name, a subfolder that could not be opened or where another
// volume is mounted, or a file whose size and date could not be read; or an entry, folder or
// file, that a pattern of the walk left out.
struct FolderNote
{
    enum Kind { Unread, OtherVolume, UnreadFile, Excluded };

    quint32 folder = ~0u; // a WalkSink::FolderId
    QByteArray name;
    Kind kind = Unread;
    int error = 0;         // errno, for what could not be read
    bool isFolder = false; // an excluded entry's kind, where its listing told it

    bool isUnread() const { return kind == Unread || kind == UnreadFile; }
};
