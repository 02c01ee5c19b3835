// Whole writes to a file descriptor, for the serial link and the configuration files alike.
#pragma once

#include <cstddef>

// Writes all `length` bytes, going on after partial writes and interruptions.
// False on the first error (the count already written is not reported).
bool WriteAll(int fd, const char* data, std::size_t length);
