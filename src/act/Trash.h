#pragma once

#include <QByteArray>

// The trash of the freedesktop.org desktops: the home trash for what lives on the home's volume,
// a trash at the top of any other volume (.Trash/$uid when the volume's administrator made a
// sticky .Trash, else .Trash-$uid). A trashed item is renamed into the trash's files/ beside a
// .trashinfo in info/ that says where it came from, so a file manager can restore it.
class Trash
{
public:
    // The trash an item at `path` goes to (ending with "/"), or empty with errno set when its
    // volume has none that can be used. With `make`, missing folders are made.
    static QByteArray folderFor(const QByteArray &path, bool make);

    // Moves the item into its trash; 0, or the errno of what failed (the item is then where it
    // was). `trashedAs` receives its path in the trash.
    static int move(const QByteArray &path, QByteArray *trashedAs = nullptr);
};
