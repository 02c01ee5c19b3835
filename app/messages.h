// Texts and captions of the messages the window shows.
#pragma once

#include <QString>

namespace Messages {

inline const QString ErrorCaption = QStringLiteral("Error!");
inline const QString NotClaimed = QStringLiteral(
    "The MSR has not been claimed by the application.  Please be sure the COM port is not "
    "claimed by other applications.");
inline const QString CustomConfigCaption = QStringLiteral("Enable Custom Configuration?");
inline const QString CustomConfigQuestion = QStringLiteral(
    "\"Use Custom Configuration\" is not selected.\n\nChanges to the MSR configuration will be "
    "stored to flash, but will not be used by the MSR until the custom configuration is "
    "enabled.\n\nDo you want to enable it now?");
inline const QString ApplyFailed =
    QStringLiteral("Error occurred while applying changes to the MSR configuration.");
inline const QString CommitFailed =
    QStringLiteral("Error occurred while committing changes to the MSR configuration.");
inline const QString CannotOpenFile = QStringLiteral("Error opening configuration file.");
inline const QString BadHeader = QStringLiteral("Bad configuration file header.");
inline const QString NoDataLine = QStringLiteral("Error getting configuration data from file.");
inline const QString LoadedCaption = QStringLiteral("Configuration Loaded Successfully!");
inline const QString CannotOpenTarget =
    QStringLiteral("Error opening target configuration file.\nConfiguration not saved.");
inline const QString CannotWriteTarget =
    QStringLiteral("Error writing target configuration file.\nConfiguration not saved.");
inline const QString SavedCaption = QStringLiteral("Settings Saved!");
inline const QString OpenTitle = QStringLiteral("Select the Desired MSR Configuration File");
inline const QString SaveTitle = QStringLiteral("Select the Desired Target MSR Configuration File");

// Paths are put in as they are: a "%s" or "%1" in a file name stays as it is.
inline QString Loaded(const QString& path) {
    return QStringLiteral("Configuration file ") + path +
           QStringLiteral(" loaded successfully!\n\nClick \"Commit Configuration\" for the "
                          "loaded configuration to be applied to the MSR.");
}
inline QString Saved(const QString& path) {
    return QStringLiteral("Configuration successfully saved to ") + path + QStringLiteral("!\n");
}

} // namespace Messages
