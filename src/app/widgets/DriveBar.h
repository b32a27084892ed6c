#pragma once

#include "MainToolBar.h"
#include "Volume.h"

#include <QList>

class QMenu;

// The drive bar and the scan menu's drive entries: one button and one entry per drive, labelled
// by the volume's mount point, a saved scan's with its day, with a spacer between two buttons;
// the first ten entries show their Ctrl+F key. Owned by the window through Qt's parenting.
class DriveBar : public MainToolBar
{
    Q_OBJECT

public:
    // The entries go into scanMenu, before entriesEnd.
    DriveBar(QMenu *scanMenu, QAction *entriesEnd, QWidget *window);

    // The drive's button and entry, whose states follow the window's.
    QList<QAction *> addDrive(int index, const Volume &drive);

signals:
    // The drive's button or entry was chosen.
    void drivePicked(int index);

private:
    QMenu *m_scanMenu;
    QAction *m_entriesEnd;
};
