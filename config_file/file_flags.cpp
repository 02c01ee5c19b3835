#include "config_file/file_flags.h"

#include "config_file/configuration_file.h"

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

CMsrConfiguration ConfigurationOf(const ConfigFileContent& content) {
    CMsrConfiguration configuration;
    DecodeFileFlags(content.Flags, configuration);
    std::uint8_t* sentinels[] = {&configuration.Track1StartSentinel,
                                 &configuration.Track2StartSentinel,
                                 &configuration.Track3StartSentinel, &configuration.EndSentinel};
    for (std::size_t i = 0; i < 4; ++i)
        *sentinels[i] = content.Sentinels[i].empty()
                            ? 0
                            : static_cast<std::uint8_t>(content.Sentinels[i].front());
    return configuration;
}

ConfigFileContent ContentOf(const CMsrConfiguration& configuration) {
    ConfigFileContent content;
    content.Flags = EncodeFileFlags(configuration);
    const std::uint8_t codes[] = {configuration.Track1StartSentinel,
                                  configuration.Track2StartSentinel,
                                  configuration.Track3StartSentinel, configuration.EndSentinel};
    for (std::size_t i = 0; i < 4; ++i)
        content.Sentinels[i] = codes[i] ? std::string(1, static_cast<char>(codes[i])) : "";
    return content;
}
