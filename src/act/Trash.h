#pragma once

#include <QByteArray>

class HeldPath;

// The trash of the freedesktop.org desktops: the home trash for what lives on the home's volume,
// a trash at the top of any other volume (.Trash/$uid when the volume's administrator made a
// sticky .Trash, else .Trash-$uid). A trashed item is renamed into the trash's files/ beside a
// .trashinfo in info/ that says where it came from, so a file manager can restore it. Every folder
// of the trash is opened without following a link and must be the user's own.
class Trash
{
public:
    struct Outcome
    {
        int error = 0; // 0, or why nothing was moved: the item is where it was
        // With an error: the volume has no trash that can be used, and this folder of it (or
        // the top of the volume) is why.
        QByteArray unusable;
        QByteArray trashedAs;
    };

    // The trash an item at `path` would go to (ending with "/"), made or not; empty with errno
    // set when its volume has none that can be used. Only looks.
    static QByteArray folderFor(const QByteArray &path);

    // Moves the held item into its trash, from its held parent into the trash's folders. A
    // folder of the trash that is a link or someone else's refuses the move: ELOOP or EPERM.
    static Outcome move(const HeldPath &item);
};
