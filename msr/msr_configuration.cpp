#include "msr/msr_configuration.h"

#include "msr/msr_settings.h"

std::uint8_t EncodeDeviceFlags(const CMsrConfiguration& r) {
    unsigned flags = 0;
    for (const CMsrSetting& option : MsrSettings)
        if (!option.IsSentinel() && ((r.*option.Value != 0) != option.DeviceInverted))
            flags |= 1u << option.Bit;
    return static_cast<std::uint8_t>(flags);
}

void DecodeDeviceFlags(std::uint8_t flags, CMsrConfiguration& r) {
    for (const CMsrSetting& option : MsrSettings)
        if (!option.IsSentinel())
            r.*option.Value = (((flags >> option.Bit) & 1u) != 0) != option.DeviceInverted;
}
