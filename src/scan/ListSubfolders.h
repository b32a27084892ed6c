#pragma once

#include <QByteArray>
#include <QList>

// The names of the folders directly in a folder, in listing order, read afresh from the disk: a
// folder that is not scanned still shows what it holds. Links to folders are not folders here,
// as in the walk. Empty when the folder cannot be listed. Paths of any length work.
QList<QByteArray> ListSubfolders(const QByteArray &path);
