#pragma once

#include <QByteArray>

class QWidget;

// A folder the user names to be walked as a drive of its own, in a dialog or on the command line.
// It goes by its real path, so that a link or "..", or the root of a listed volume, is the drive
// it really is; a name that is no folder is refused with a box that says so.
class FolderChoice
{
public:
    // The folder picked in a dialog over window, which starts at the home folder; empty when the
    // user cancels.
    static QByteArray ask(QWidget *window);
    // The folder's real path; empty when path names no folder, once the user has been told.
    static QByteArray realFolder(const QByteArray &path, QWidget *window);
};
