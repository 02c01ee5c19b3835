// The settings of a magnetic stripe reader as they travel to and from the device,
// and the device's own packing of the eight options into one flags byte.
#pragma once

#include <cstdint>

struct CMsrConfiguration {
    // Booleans always hold 0 or 1.
    std::uint8_t CarriageReturn = 0;
    std::uint8_t RawDataMode = 0;
    std::uint8_t Track1Enabled = 0;
    std::uint8_t Track2Enabled = 0;
    std::uint8_t Track3Enabled = 0;
    std::uint8_t StripSentinels = 0;
    std::uint8_t UseCustomConfig = 0;
    std::uint8_t HideErrorTracks = 0;
    // 8-bit codes; 0 is a valid value on the wire.
    std::uint8_t Track1StartSentinel = 0;
    std::uint8_t Track2StartSentinel = 0;
    std::uint8_t Track3StartSentinel = 0;
    std::uint8_t EndSentinel = 0;

    bool operator==(const CMsrConfiguration&) const = default;
};

// The device's bits 2-4 mean "track off", the opposite of the record's fields.
std::uint8_t EncodeDeviceFlags(const CMsrConfiguration& record);
void DecodeDeviceFlags(std::uint8_t flags, CMsrConfiguration& record);
