#include "msr/msr_configuration.h"

namespace {
std::uint8_t Bit(std::uint8_t flags, int bit) {
    return (flags >> bit) & 1u;
}
} // namespace

std::uint8_t EncodeDeviceFlags(const CMsrConfiguration& r) {
    unsigned flags = 0;
    flags |= (r.CarriageReturn ? 1u : 0u) << 0;
    flags |= (r.RawDataMode ? 1u : 0u) << 1;
    flags |= (r.Track1Enabled ? 0u : 1u) << 2;
    flags |= (r.Track2Enabled ? 0u : 1u) << 3;
    flags |= (r.Track3Enabled ? 0u : 1u) << 4;
    flags |= (r.StripSentinels ? 1u : 0u) << 5;
    flags |= (r.UseCustomConfig ? 1u : 0u) << 6;
    flags |= (r.HideErrorTracks ? 1u : 0u) << 7;
    return static_cast<std::uint8_t>(flags);
}

void DecodeDeviceFlags(std::uint8_t flags, CMsrConfiguration& r) {
    r.CarriageReturn = Bit(flags, 0);
    r.RawDataMode = Bit(flags, 1);
    r.Track1Enabled = Bit(flags, 2) ^ 1u;
    r.Track2Enabled = Bit(flags, 3) ^ 1u;
    r.Track3Enabled = Bit(flags, 4) ^ 1u;
    r.StripSentinels = Bit(flags, 5);
    r.UseCustomConfig = Bit(flags, 6);
    r.HideErrorTracks = Bit(flags, 7);
}
