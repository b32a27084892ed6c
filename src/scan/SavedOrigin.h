#pragma once

#include <QByteArray>

// Where records read from a saved scan were made, as the file says: saved again, they keep it, so
// that a copy of a scan names the machine, the root and the date of the walk, not of the copy.
struct SavedOrigin
{
    QByteArray host;    // the machine scanned; empty when the file names none
    QByteArray root;    // the scanned root's path, as the file writes it
    qint64 savedAt = 0; // seconds since the epoch; 0 when not known
};
