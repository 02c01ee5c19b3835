// The line settings of an open terminal: 8 data bits, no parity, 1 stop bit, raw, no flow
// control, at the given rate.
#pragma once

#include <cstdint>

// Results are not examined. A rate of 0 or less leaves the speed as it was found.
void ApplyLineSettings(int fd, std::int32_t baud);
