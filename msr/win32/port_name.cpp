#include "msr/port_name.h"

namespace {
constexpr std::size_t MaxSuffixLength = 8;
} // namespace

// Windows has no port folder: COM names are the system's own.
std::string PortDirectory() {
    return std::string();
}

std::vector<std::string> PortDirectories() {
    return {};
}

bool ResolvePortDevice(const std::string& portSuffix, std::string& devicePath,
                       std::string* folder) {
    // Only the device namespace reaches COM10 and above; nothing may step out of it.
    if (portSuffix.size() > MaxSuffixLength ||
        portSuffix.find_first_of("\\/:") != std::string::npos ||
        portSuffix.find('\0') != std::string::npos)
        return false;
    devicePath = "\\\\.\\COM" + portSuffix;
    if (folder)
        folder->clear();
    return true;
}
