#pragma once

#include <cstddef>

// Memory a thread will soon allocate, faulted in ahead by another thread. The first touch of a
// fresh page costs the toucher a page fault, up to 10 µs on some virtual machines; a view laying
// out 100,000 rows takes over a thousand fresh pages at once, too many for the window's thread to
// fault in within a frame.
namespace WarmHeap {

// Takes `bytes` from the heap the calling thread allocates from, such that once freed they stay
// with that heap rather than going back to the system. Cheap: nothing is touched yet.
void *Reserve(std::size_t bytes);

// Touches every page of a block from Reserve, then frees it: its pages are then faulted in and
// ready for the reserving thread's next allocations. Run on another thread, which pays the faults.
void Release(void *block, std::size_t bytes);

} // namespace WarmHeap
