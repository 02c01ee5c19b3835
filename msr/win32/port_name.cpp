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

CPortTarget ResolvePort(const std::string& portSuffix) {
    CPortTarget target;
    // Only the device namespace reaches COM10 and above; nothing may step out of it.
    if (portSuffix.empty() || portSuffix.size() > MaxSuffixLength ||
        portSuffix.find_first_of("\\/:") != std::string::npos ||
        portSuffix.find('\0') != std::string::npos) {
        target.Cause = ClaimCause::NoDevice;
        target.Problem = "the port name leads to no device";
        return target;
    }
    target.Device = "\\\\.\\COM" + portSuffix;
    return target;
}
