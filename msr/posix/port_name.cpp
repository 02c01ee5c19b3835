#include "msr/port_name.h"

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>

namespace {

constexpr std::size_t MaxSuffixLength = 8;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

} // namespace

bool IsComPortName(const std::string& portText) {
    return portText.size() > 3 && portText.compare(0, 3, "COM") == 0;
}

std::string PortDirectory() {
    std::string dir = Environment("MSRCONFIG_PORT_DIR");
    if (!dir.empty())
        return dir;
    std::string config = Environment("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/')
        config = Environment("HOME") + "/.config";
    return config + "/msrconfig/ports";
}

std::vector<std::string> PortDirectories() {
    std::vector<std::string> folders = {PortDirectory()};
    if (!Environment("MSRCONFIG_PORT_DIR").empty())
        return folders;
    std::string system = Environment("XDG_CONFIG_DIRS");
    if (system.empty())
        system = "/etc/xdg";
    for (std::size_t at = 0; at <= system.size();) {
        std::size_t end = std::min(system.find(':', at), system.size());
        const std::string dir = system.substr(at, end - at);
        if (!dir.empty() && dir.front() == '/') // relative entries are to be ignored
            folders.push_back(dir + "/msrconfig/ports");
        at = end + 1;
    }
    return folders;
}

bool ResolvePortDevice(const std::string& portSuffix, std::string& devicePath,
                       std::string* folder) {
    if (portSuffix.size() > MaxSuffixLength || portSuffix.empty())
        return false;
    // A suffix is part of one file name; anything that could step outside the folder names nothing.
    if (portSuffix.find('/') != std::string::npos || portSuffix.find('\0') != std::string::npos)
        return false;

    for (const std::string& dir : PortDirectories()) {
        const std::string entry = dir + "/COM" + portSuffix;
        struct stat info;
        if (lstat(entry.c_str(), &info) == 0) {
            devicePath = entry;
            if (folder)
                *folder = dir;
            return true;
        }
    }

    if (portSuffix.front() == '0')
        return false;
    int number = 0;
    for (char c : portSuffix) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + (c - '0');
    }
    if (number < 1 || number > 256)
        return false;
    devicePath = "/dev/ttyS" + std::to_string(number - 1);
    if (folder)
        folder->clear();
    return true;
}
