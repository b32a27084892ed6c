#pragma once

#include "MainWindow.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>
#include <utility>

// What the window tests share: temporary folders taken for volumes, a window walked over one,
// and a catcher for the message boxes its commands open.

// A temporary folder taken for a volume.
Volume VolumeOf(const QTemporaryDir &dir);

using Files = QList<std::pair<QString, qint64>>;
// Ordered by name and by size differently: b.txt 3000, sub 4096 (a.dat, deeper/c), p 121.
extern const Files Sample;

// Writes files of so many bytes, making the folders they need.
void Write(const QTemporaryDir &dir, const Files &files);

// A shown window over the volume, picked and walked.
std::unique_ptr<MainWindow> ScannedWindow(const QTemporaryDir &volume);
// Lets the window's walk, refresh, edit or work aside end; false if it has not within 30 s.
bool Settled(const MainWindow &window);

// Accepts the first message box shown while it exists, keeping its text. It looks a hundred
// times a second, as the box opens inside some nested event loop.
struct BoxCatcher
{
    BoxCatcher();
    QString text;
    QTimer timer;
};
