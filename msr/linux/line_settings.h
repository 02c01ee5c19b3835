// The line settings of an open terminal: 8 data bits, no parity, 1 stop bit, raw, no flow
// control, at the given rate.
#pragma once

#include <cstdint>
#include <string>

// Results are not examined. A rate of 0 or less leaves the speed as it was found. `found`
// receives the settings as they were (empty when they cannot be read).
void ApplyLineSettings(int fd, std::int32_t baud, std::string& found);
// Puts back what ApplyLineSettings found; nothing when that was empty.
void RestoreLineSettings(int fd, const std::string& found);
