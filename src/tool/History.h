#pragma once

#include "Arguments.h"

class DriveScan;

// The history of walks, from the command line. Both need a QCoreApplication named as the
// program is, so that they use the file the program does.

// Records the walk made at `date` (or, from a saved scan, at its own date) and says on standard
// error where, or why it could not. False when it could not.
bool RecordInHistory(const DriveScan &scan, qint64 date);

// Writes the history of the volume holding args.root, or of every volume, to standard output
// as CSV. 0 when written, 1 when the history could not be read, 2 when ROOT cannot be.
int ExportHistory(const Arguments &args);
