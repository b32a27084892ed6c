#pragma once

#include "Arguments.h"

#include <memory>

class DriveScan;

// After the walk: follows the volume's changes and prints, after each burst of them, one line per
// folder whose total changed (path, old total, new total), until interrupted. The exit status:
// 0 when interrupted, 1 when following ended on its own, 2 when the volume cannot be followed.
int Follow(std::shared_ptr<DriveScan> scan, const Arguments &args);
