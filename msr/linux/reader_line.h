// Which devices could be a reader's serial line: a terminal, but not the controlling
// terminal, the console, a virtual console or the pseudo-terminal multiplexer. Opening any
// of those would take over the operator's own screen or keyboard.
#pragma once

#include <sys/types.h>

// Decided from the device number alone, so that a listing never opens a device: the other
// end of a pseudo-terminal (/dev/pts/N), or a device sysfs files as a tty.
bool CouldBeReaderLine(dev_t device);

// For an open descriptor: a terminal that could be a reader's line and is not this
// process's controlling terminal.
bool IsReaderLine(int fd);
