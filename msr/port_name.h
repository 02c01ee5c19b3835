// Maps the suffix of a port name "COM<suffix>" to the device the platform opens for it.
// POSIX: an entry COM<suffix> in the port folder first, else COM<n> -> /dev/ttyS<n-1>.
#pragma once

#include <string>

// The folder holding COM<suffix> entries: $MSRCONFIG_PORT_DIR, else
// $XDG_CONFIG_HOME/msrconfig/ports, else ~/.config/msrconfig/ports.
std::string PortDirectory();

// False when the suffix names no device (too long, empty, not a known name).
bool ResolvePortDevice(const std::string& portSuffix, std::string& devicePath);
