#include "config_file/file_flags.h"

namespace {
constexpr std::uint8_t TrackBits = 0x1C;
} // namespace

// The file's track bits are the device's inverted; every other bit is the same.
std::uint8_t EncodeFileFlags(const CMsrConfiguration& options) {
    return static_cast<std::uint8_t>(EncodeDeviceFlags(options) ^ TrackBits);
}

void DecodeFileFlags(std::uint8_t flags, CMsrConfiguration& options) {
    DecodeDeviceFlags(static_cast<std::uint8_t>(flags ^ TrackBits), options);
}
