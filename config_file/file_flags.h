// The file's packing of the eight options: like the device flags byte, but with the
// track bits in the positive sense. The two are never interchangeable.
#pragma once

#include "msr/msr_configuration.h"

#include <cstdint>

std::uint8_t EncodeFileFlags(const CMsrConfiguration& options);
// Sets only the eight options; the sentinels are left as they are.
void DecodeFileFlags(std::uint8_t flags, CMsrConfiguration& options);
