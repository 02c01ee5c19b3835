// Texts and captions of the messages the window shows.
#pragma once

#include "config_file/configuration_file.h"

#include <string>

namespace Messages {

inline const std::string ErrorCaption = "Error!";
inline const std::string NotClaimed =
    "The MSR has not been claimed by the application.  Please be sure the COM port is not "
    "claimed by other applications.";
inline const std::string CustomConfigCaption = "Enable Custom Configuration?";
inline const std::string CustomConfigQuestion =
    "\"Use Custom Configuration\" is not selected.\n\nChanges to the MSR configuration will be "
    "stored to flash, but will not be used by the MSR until the custom configuration is "
    "enabled.\n\nDo you want to enable it now?";
// Said where nobody can answer the question above, which is then answered No.
inline const std::string KeepsDefaultConfiguration =
    "The MSR keeps using its default configuration until \"Use Custom Config\" is enabled.";
inline const std::string ApplyFailed =
    "Error occurred while applying changes to the MSR configuration.";
// --ensure: the reader's configuration could not be read back after the commit.
inline const std::string ReadBackFailed =
    "The MSR did not answer when its configuration was read back.";
inline const std::string CommitFailed =
    "Error occurred while committing changes to the MSR configuration.";
inline const std::string CannotOpenFile = "Error opening configuration file.";
inline const std::string BadHeader = "Bad configuration file header.";
inline const std::string NoDataLine = "Error getting configuration data from file.";
inline const std::string LoadedCaption = "Configuration Loaded Successfully!";
inline const std::string CannotOpenTarget =
    "Error opening target configuration file.\nConfiguration not saved.";
inline const std::string CannotWriteTarget =
    "Error writing target configuration file.\nConfiguration not saved.";
inline const std::string SavedCaption = "Settings Saved!";
inline const std::string OpenTitle = "Select the Desired MSR Configuration File";
inline const std::string SaveTitle = "Select the Desired Target MSR Configuration File";

// The message for a file that could not be loaded.
inline const std::string& LoadFailed(ConfigFileResult result) {
    return result == ConfigFileResult::BadHeader    ? BadHeader
           : result == ConfigFileResult::NoDataLine ? NoDataLine
                                                    : CannotOpenFile;
}

// Paths are put in as they are: a "%s" in a file name stays as it is.
inline std::string Loaded(const std::string& path) {
    return "Configuration file " + path +
           " loaded successfully!\n\nClick \"Commit Configuration\" for the loaded "
           "configuration to be applied to the MSR.";
}
inline std::string Saved(const std::string& path) {
    return "Configuration successfully saved to " + path + "!\n";
}

} // namespace Messages
