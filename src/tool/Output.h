#pragma once

#include "Arguments.h"

class DriveScan;

// Prints the records, or writes them to the export file; false when the export failed.
bool Output(const DriveScan &scan, const Arguments &args);
