#pragma once

#include "DirListModel.h"

#include <QList>

class QAction;
class QWidget;

// Where the window is in its scans; each phase fixes which commands can be used.
enum class ScanPhase {
    Start,                 // nothing scanned yet
    ScanningDrive,         // a drive picked for the first time is being walked
    Rescanning,            // the shown drive is being walked anew, its old records gone
    Scanned,               // the last walk ended, or a drive walked before was picked
    StoppedWithRecords,    // the last walk was stopped; other drives' records remain
    StoppedWithoutRecords, // the last walk was stopped and no record is left
    Editing,               // the records follow a trash or a deletion, which cannot be stopped
    Waiting,  // a command waits for work aside: a saved scan read or written, a trash sized
    Fetching, // a walk of another machine arrives, which the user may stop
};

// What the commands' states are derived from.
struct WindowState
{
    ScanPhase phase = ScanPhase::Start;
    bool listHasRows = false; // the list shows a scanned folder's rows
    PercentBase percentBase = PercentBase::Folder;
    bool driveBarShown = true;
    bool statusBarShown = true;
    bool comparing = false;  // the shown volume is compared with an earlier scan
    bool savedShown = false; // the shown volume is a saved scan
};

// Every command and widget whose state follows the window's; owned by the window.
struct Commands
{
    QWidget *folderTree = nullptr;
    QList<QAction *> sizeCommands; // menu entries and buttons of both size references
    QAction *sizeDisk = nullptr;
    QAction *sizeParent = nullptr;
    QList<QAction *> stop;            // the menu entry and the button
    QList<QAction *> print;           // the menu entry and the button
    QList<QAction *> openScan;        // opening a saved scan: whenever no walk or edit runs
    QList<QAction *> scanShown;       // saving the shown scan, comparing it: once it is complete
    QAction *endComparison = nullptr; // while comparing, whatever the phase
    QList<QAction *> savedShown;      // adding the shown saved scan to the history
    QAction *viewDriveBar = nullptr;
    QAction *viewStatusBar = nullptr;
    QList<QAction *> alwaysOn; // the drives, rescan, up, help, about, exit
};

// Sets every command's enabled and checked state from the window's state.
void SetCommandStates(const Commands &commands, const WindowState &state);
