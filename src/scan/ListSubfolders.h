#pragma once

#include <QByteArray>
#include <QList>

#include <vector>

// A folder directly in another, with its link count when it was asked for: 2 plus its own
// subfolders where the file system keeps that count, 1 where it does not.
struct Subfolder
{
    QByteArray name;
    quint64 links = 0; // 0: not asked for
};

// The folders directly in the open folder fd, in listing order; fd stays open. Links to folders
// are not folders here, as in the walk. Only entries the listing does not type are asked for
// their status, unless the link counts are wanted, which costs one status per folder.
std::vector<Subfolder> ReadSubfolders(int fd, bool linkCounts);

// The names of the folders directly in a folder, read afresh from the disk: a folder that is not
// scanned still shows what it holds. Empty when the folder cannot be listed. Paths of any length
// work.
QList<QByteArray> ListSubfolders(const QByteArray &path);
