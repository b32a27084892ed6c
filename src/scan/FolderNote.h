#pragma once

#include <QByteArray>
#include <QtGlobal>

// Something the walk met in a folder that has no record of its own: with an empty name, the
// folder's own listing stopped short; with a name, a subfolder that could not be opened or where
// another volume is mounted.
struct FolderNote
{
    enum Kind { Unread, OtherVolume };

    quint32 folder = ~0u; // a WalkSink::FolderId
    QByteArray name;
    Kind kind = Unread;
};
