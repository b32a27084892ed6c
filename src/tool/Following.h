#pragma once

#include "Arguments.h"

#include <memory>

class ChangeSource;
class DriveScan;

// After the walk: follows the volume's changes and prints, after each burst of them, one line per
// folder whose total changed (path, old total, new total), until interrupted. The exit status:
// 0 when interrupted, 1 when following ended on its own, 2 when the volume cannot be followed.
// `heard`: listening since before the walk, if anything was (LiveFollower::ListenBeforeWalk).
int Follow(std::shared_ptr<DriveScan> scan, const Arguments &args,
           std::unique_ptr<ChangeSource> heard);
