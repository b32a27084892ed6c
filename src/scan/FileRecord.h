#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// One file of a folder as the walk recorded it: its name (the bytes the file system gave, viewed
// in the records' storage, valid as long as they live), its size in bytes, and its last-write time
// in seconds since the epoch.
struct FileRecord
{
    QByteArrayView name;
    quint64 size = 0;
    qint64 date = 0;
};
