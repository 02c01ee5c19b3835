// The twelve settings of a reader, described once: for each its key in the JSON record, the
// window's text for it (which differences are told with), its field, the window's control
// (the layout file's id), and for an option its bit in the device's and the file's flags
// byte and whether the device keeps it inverted. Every other list of them derives from it.
#pragma once

#include "msr/msr_configuration.h"

#include <array>
#include <cstdint>
#include <string_view>

struct CMsrSetting {
    const char* Key;
    const char* Caption;
    std::uint8_t CMsrConfiguration::*Value;
    int Control;
    int Bit;             // the option's bit in both flags bytes; -1 for a sentinel
    bool DeviceInverted; // the device's bit means "off": the tracks'
    constexpr bool IsSentinel() const { return Bit < 0; }
};

// In the window's order: the eight options, then the sentinels in their order on the wire
// and in the file (track 1, 2, 3, end).
inline constexpr std::array<CMsrSetting, 12> MsrSettings = {{
    {"raw_data_mode", "Raw Data Mode(AAMVA Mode)", &CMsrConfiguration::RawDataMode, 1001, 1, false},
    {"carriage_return", "Carriage Return Enabled", &CMsrConfiguration::CarriageReturn, 1002, 0,
     false},
    {"track1_enabled", "Track 1 Enabled", &CMsrConfiguration::Track1Enabled, 1003, 2, true},
    {"track2_enabled", "Track 2 Enabled", &CMsrConfiguration::Track2Enabled, 1004, 3, true},
    {"track3_enabled", "Track 3 Enabled", &CMsrConfiguration::Track3Enabled, 1005, 4, true},
    {"strip_sentinels", "Strip Sentinels", &CMsrConfiguration::StripSentinels, 1006, 5, false},
    {"use_custom_config", "Use Custom Config", &CMsrConfiguration::UseCustomConfig, 1007, 6, false},
    {"hide_error_tracks", "Hide Error Tracks", &CMsrConfiguration::HideErrorTracks, 1008, 7, false},
    {"track1_start_sentinel", "Start Sentinel(Track 1)", &CMsrConfiguration::Track1StartSentinel,
     1015, -1, false},
    {"track2_start_sentinel", "Start Sentinel(Track 2)", &CMsrConfiguration::Track2StartSentinel,
     1016, -1, false},
    {"track3_start_sentinel", "Start Sentinel(Track 3)", &CMsrConfiguration::Track3StartSentinel,
     1017, -1, false},
    {"end_sentinel", "End Sentinel", &CMsrConfiguration::EndSentinel, 1018, -1, false},
}};

inline constexpr int MsrSentinelCount = 4;

// The sentinel settings in their order, 0 to 3.
constexpr const CMsrSetting& MsrSentinel(int index) {
    return MsrSettings[MsrSettings.size() - MsrSentinelCount + static_cast<std::size_t>(index)];
}

// The control of the setting with this key; 0 for no such key.
constexpr int MsrSettingControl(std::string_view key) {
    for (const CMsrSetting& setting : MsrSettings)
        if (key == setting.Key)
            return setting.Control;
    return 0;
}

// The setting whose control has this id, or null.
constexpr const CMsrSetting* MsrSettingOfControl(int id) {
    for (const CMsrSetting& setting : MsrSettings)
        if (setting.Control == id)
            return &setting;
    return nullptr;
}
