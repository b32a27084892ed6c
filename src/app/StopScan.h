#pragma once

#include <atomic>

// The user's request to stop the running scan: set by the stop commands and Esc, cleared by every
// scan command before it starts, read by the scan. Program-wide, as the commands that set it and
// the scan that reads it live apart.
inline std::atomic<bool> StopScan{false};
