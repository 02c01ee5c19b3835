// Maps the suffix of a port name "COM<suffix>" to the device the platform opens for it.
// POSIX: an entry COM<suffix> in a port folder first (the user's own, then the system's),
// else COM<n> -> /dev/ttyS<n-1>. Windows: \\.\COM<suffix>.
#pragma once

#include "msr/claim_failure.h"

#include <string>
#include <vector>

// The user's own port folder, where new names go: $MSRCONFIG_PORT_DIR, else
// $XDG_CONFIG_HOME/msrconfig/ports, else ~/.config/msrconfig/ports. Empty on Windows.
std::string PortDirectory();

// Every folder a name is looked up in, first match wins: $MSRCONFIG_PORT_DIR alone when it is
// set; else the user's own, then each of $XDG_CONFIG_DIRS (by default /etc/xdg) with
// /msrconfig/ports, so that every user of a machine finds a name set up there.
std::vector<std::string> PortDirectories();

// Whether a port text is "COM" and a suffix: exactly so here, in any case on Windows.
bool IsComPortName(const std::string& portText);

// Where a port name leads now, or why it leads nowhere.
struct CPortTarget {
    std::string Device; // what to open; empty when the name leads nowhere
    std::string Folder; // the port folder whose entry named it; empty for a built-in name
    ClaimCause Cause = ClaimCause::None; // NoDevice or Ambiguous when Device is empty
    std::string Problem;                 // why it leads nowhere; outside names shown escaped
    // Linux, for a name that no folder holds: the folders looked in, for a person.
    std::string Searched;
};

// Linux: an entry that is a regular file binds its name to a reader's identity (vendor=,
// product=, serial=, by-id= words), so that one file names the reader on every terminal.
CPortTarget ResolvePort(const std::string& portSuffix);

// False when the suffix names no device (too long, empty, not a known name, an identity
// that no device or more than one answers to). `folder`, when given, receives the port
// folder the name was found in (empty for a built-in name).
inline bool ResolvePortDevice(const std::string& portSuffix, std::string& devicePath,
                              std::string* folder = nullptr) {
    CPortTarget target = ResolvePort(portSuffix);
    if (folder)
        *folder = target.Folder;
    devicePath = target.Device;
    return !devicePath.empty();
}
