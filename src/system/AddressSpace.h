#pragma once

#include <QtGlobal>

// The room left under the process's limit on address space (ulimit -v), which counts what is
// reserved, not what is used: thread stacks and malloc's per-thread arenas reserve far more than
// they use, and under a tight limit they, not the records, would run the walk out of memory.
namespace AddressSpace {

// Bytes the process may still map; the most a quint64 holds when there is no limit.
quint64 Left();

// Under a limit, lets malloc keep no more per-thread arenas (64 MiB of address space each on
// a 64-bit system) than a quarter of what is left holds: threads beyond share them. Does nothing
// without a limit. Takes effect only before the process's second thread first allocates, so a
// program calls it first thing.
void FitMallocArenas();

} // namespace AddressSpace
