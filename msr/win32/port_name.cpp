#include "msr/port_name.h"

namespace {
constexpr std::size_t MaxSuffixLength = 8;
} // namespace

bool IsComPortName(const std::string& portText) {
    const auto is = [&](std::size_t i, char upper) {
        return portText[i] == upper || portText[i] == upper - 'A' + 'a';
    };
    return portText.size() > 3 && is(0, 'C') && is(1, 'O') && is(2, 'M');
}

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
