#pragma once

#include "Volume.h"

#include <QIcon>
#include <QString>

// Pictures for commands, drives and list rows. Each prefers the desktop's icon theme and falls back
// to the program's own drawings, so the window never shows a blank button.

// Toolbar commands: "SIZEDISK", "SIZEPARENT", "PRINT", "UP", "REFRESH", "STOP". Any other key gives
// a null icon.
QIcon ToolIcon(const QString &key);
QIcon DriveIcon(DriveKind kind);
QIcon FolderIcon();
QIcon FileIcon();
// Always the program's own, whatever the theme.
QIcon AppIcon();
