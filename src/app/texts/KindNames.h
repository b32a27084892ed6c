#pragma once

#include "FileKind.h"

#include <QStringList>

// The name of each kind of file, as the map's key and the kinds' window show it.
QString KindName(FileKind kind);

// Every kind's name in the kinds' order, the folders' surface last: the map's key.
QStringList KindNames();
