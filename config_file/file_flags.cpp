#include "config_file/file_flags.h"

#include "config_file/configuration_file.h"
#include "msr/msr_settings.h"

namespace {

// The file keeps every option in its positive sense: the bits the device keeps inverted.
constexpr std::uint8_t InvertedBits = [] {
    unsigned bits = 0;
    for (const CMsrSetting& option : MsrSettings)
        if (!option.IsSentinel() && option.DeviceInverted)
            bits |= 1u << option.Bit;
    return static_cast<std::uint8_t>(bits);
}();

} // namespace

std::uint8_t EncodeFileFlags(const CMsrConfiguration& options) {
    return static_cast<std::uint8_t>(EncodeDeviceFlags(options) ^ InvertedBits);
}

void DecodeFileFlags(std::uint8_t flags, CMsrConfiguration& options) {
    DecodeDeviceFlags(static_cast<std::uint8_t>(flags ^ InvertedBits), options);
}

CMsrConfiguration ConfigurationOf(const ConfigFileContent& content) {
    CMsrConfiguration configuration;
    DecodeFileFlags(content.Flags, configuration);
    for (int i = 0; i < MsrSentinelCount; ++i)
        configuration.*MsrSentinel(i).Value =
            content.Sentinels[i].empty() ? 0
                                         : static_cast<std::uint8_t>(content.Sentinels[i].front());
    return configuration;
}

ConfigFileContent ContentOf(const CMsrConfiguration& configuration) {
    ConfigFileContent content;
    content.Flags = EncodeFileFlags(configuration);
    for (int i = 0; i < MsrSentinelCount; ++i) {
        const std::uint8_t code = configuration.*MsrSentinel(i).Value;
        content.Sentinels[i] = code ? std::string(1, static_cast<char>(code)) : "";
    }
    return content;
}
