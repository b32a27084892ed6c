#pragma once

#include "Arguments.h"

class DriveScan;

// After the walk: reads the files of a size another file has and prints the groups of identical
// content, then the folders that copy each other. 0 when every file compared could be read, 1
// when some were left out (named on standard error) or the search ran out of memory.
int PrintDuplicates(const DriveScan &scan, const Arguments &args);
