#include "msr/port_name.h"

#include "msr/linux/device_identity.h"
#include "msr/shown_text.h"

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>

namespace {

constexpr std::size_t MaxSuffixLength = 8;
// In a port folder: COM names that no folder holds lead nowhere, never to a /dev/ttyS device,
// which on a till may be the receipt printer.
constexpr char NamedOnlyFile[] = "named-only";

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

CPortTarget ResolvePort(const std::string& portSuffix) {
    CPortTarget target;
    target.Cause = ClaimCause::NoDevice;
    target.Problem = "the port name leads to no device";
    // A suffix is part of one file name; anything that could step outside the folder names nothing.
    if (portSuffix.size() > MaxSuffixLength || portSuffix.empty() ||
        portSuffix.find('/') != std::string::npos || portSuffix.find('\0') != std::string::npos)
        return target;

    const std::vector<std::string> folders = PortDirectories();
    std::string forbidding;
    for (const std::string& dir : folders) {
        const std::string entry = dir + "/COM" + portSuffix;
        struct stat info;
        if (lstat(entry.c_str(), &info) == 0) {
            target.Folder = dir;
            if (S_ISREG(info.st_mode))
                return BoundDevice(entry, std::move(target));
            target.Device = entry;
            target.Cause = ClaimCause::None;
            target.Problem.clear();
            return target;
        }
        if (forbidding.empty() && lstat((dir + "/" + NamedOnlyFile).c_str(), &info) == 0)
            forbidding = dir + "/" + NamedOnlyFile;
    }

    std::string looked;
    for (const std::string& dir : folders)
        looked += (looked.empty() ? "" : ", ") + ShownText(dir);
    const std::string name = ShownText("COM" + portSuffix);
    target.Searched = "no port folder names " + name + " (looked in " + looked + ")";
    int number = 0;
    for (char c : portSuffix)
        number = number > 256 || c < '0' || c > '9' ? 1000 : number * 10 + (c - '0');
    if (portSuffix.front() == '0' || number < 1 || number > 256) {
        target.Problem = target.Searched;
        return target;
    }
    if (!forbidding.empty()) {
        target.Problem = target.Searched + ", and " + ShownText(forbidding) +
                         " forbids taking /dev/ttyS" + std::to_string(number - 1) + " instead";
        return target;
    }
    target.Device = "/dev/ttyS" + std::to_string(number - 1);
    target.Cause = ClaimCause::None;
    target.Problem.clear();
    return target;
}
