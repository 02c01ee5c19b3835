// The two-line configuration file: the header "ZYN MSR Configuration File", then the file
// flags byte as two hex digits followed by the four sentinels, one byte each.
#pragma once

#include "msr/msr_configuration.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

enum class ConfigFileResult { Ok, CannotOpen, BadHeader, NoDataLine, CannotWrite, Withdrawn };

inline constexpr char ConfigFileHeader[] = "ZYN MSR Configuration File";

// Sentinels are texts of bytes, in the order track 1, 2, 3 start, end. Read from a file
// each holds at most one byte; an empty text stands for the code 0.
struct ConfigFileContent {
    std::uint8_t Flags = 0;
    std::array<std::string, 4> Sentinels;
};

// What committing a loaded file writes: its options, each sentinel its first byte (empty: 0).
CMsrConfiguration ConfigurationOf(const ConfigFileContent& content);
// What Save writes for a configuration: each sentinel a one-character text, the code 0 empty.
ConfigFileContent ContentOf(const CMsrConfiguration& configuration);

// Ok with the content filled, or CannotOpen (also for anything but a regular file),
// BadHeader, NoDataLine (also for a line 2 that is not two hex digits and four sentinel
// bytes, none of them a carriage return or line feed, before its line end).
ConfigFileResult ReadConfigurationFile(const std::string& path, ConfigFileContent& content);

// Two steps: the target is prepared first (CannotOpen, and nothing else happens); only then
// is supply() asked for the content, which is stored as CFileReplacement describes
// (CannotWrite when that fails, and the old target is left as it was). Supplying nothing
// withdraws the save (Withdrawn, nothing changed). Each sentinel is stored as its first
// byte, or a zero byte when empty, so what is loaded back is exactly what was saved.
// Sentinels the format cannot carry (a carriage return or a line feed) give CannotWrite.
ConfigFileResult
WriteConfigurationFile(const std::string& path,
                       const std::function<std::optional<ConfigFileContent>()>& supply);

// The file's bytes for a content, as the writer stores them, with this platform's line ends;
// none when the format cannot carry it.
std::optional<std::string> FormatConfigurationFile(const ConfigFileContent& content);
