#pragma once

#include <QByteArray>

// What the program asks of the operating system about itself.
namespace ThisProcess {

// How many more descriptors the process may open under its limit.
int FreeDescriptors();

// Sets the calling thread's nice value to `niceness` (0 to 19), so that background work leaves
// the cores to the threads a user waits on. A thread the process may not set so (raising a
// priority takes a privilege) stays as it is.
void LowerThreadPriority(int niceness);

// The real user's number.
quint32 UserId();

// The machine's name as this process sees it; empty when it has none.
QByteArray HostName();

// The most memory the process has held in RAM at once, in bytes.
quint64 PeakResidentBytes();

} // namespace ThisProcess
