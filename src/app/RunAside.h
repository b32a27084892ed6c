#pragma once

#include <functional>

// Runs work on a thread of its own and returns once it is done, the calling thread's event loop
// turning meanwhile: the window stays live and repaints while a long job runs, yet the caller
// reads on as if the call had been a plain one.
void RunAside(const std::function<void()> &work);
