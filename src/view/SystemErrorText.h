#pragma once

#include <QString>

// A system error number in the words a French user reads, whatever languages the machine has
// installed: the errors a disk, a folder or a printer gives, in the window's own French; any
// other falls back to the system's message.
QString SystemErrorText(int error);
