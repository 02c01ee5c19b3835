// Number conversions for text that comes from outside (reader responses, files,
// the command line), with the tolerant rules of the C library's strtol/atol.
#pragma once

#include <cstdint>
#include <string_view>

// Signed base-16: leading blanks, one sign and a "0x"/"0X" prefix are accepted, then hex
// digits of either case up to the first other character. No digits give 0.
// Saturates at the 32-bit limits; callers keep the low eight bits.
std::int32_t ConvertHexField(std::string_view text);

// Signed decimal: leading blanks and one sign, then digits up to the first other
// character. No digits give 0; values beyond the 32-bit range give the nearest limit.
std::int32_t ConvertDecimal(std::string_view text);
