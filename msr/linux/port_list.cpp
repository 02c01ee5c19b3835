#include "msr/port_list.h"

#include "msr/linux/serial_devices.h"
#include "msr/port_name.h"
#include "msr/shown_text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A ttyS node exists for every port the kernel could drive; sysfs says whether a UART is
// there (type 0: none).
bool HasHardware(const std::string& device) {
    const std::string name = device.substr(device.rfind('/') + 1);
    if (name.rfind("ttyS", 0) != 0)
        return true;
    std::ifstream type("/sys/class/tty/" + name + "/type");
    int value = -1;
    return !(type >> value) || value != 0;
}

} // namespace

std::vector<std::string> FurtherPortNames() {
    std::vector<std::string> names;
    for (const std::string& folder : PortDirectories())
        for (const std::string& name : FolderEntries(folder))
            if (IsFurtherPortName(name) &&
                std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

CPortInfo DescribePort(const std::string& name) {
    CPortInfo info{name, {}, {}, {}, {}, {}, {}, {}, {}};
    if (name.rfind("COM", 0) != 0)
        return info;
    const CPortTarget target = ResolvePort(name.substr(3));
    info.Folder = target.Folder;
    if (!target.Folder.empty()) // an identity no device or two answer to, words not understood
        info.Problem = target.Problem;
    const std::string device = RealPath(target.Device);
    if (device.empty() || !IsReaderLineDevice(device) || !HasHardware(device))
        return info;
    info.Device = device;
    info.Details = UsbDetails(device, &info);
    info.Problem = AccessProblem(device);
    return info;
}

std::vector<CPortInfo> UnnamedSerialDevices() {
    std::vector<std::string> named; // what the names lead to; a name another hides leads nowhere
    for (const std::string& name : PortListNames())
        if (std::string path; ResolvePortDevice(name.substr(3), path))
            named.push_back(RealPath(path));
    std::vector<CPortInfo> unnamed;
    for (const std::string& device : UsbSerialDevices()) {
        if (std::find(named.begin(), named.end(), device) != named.end())
            continue;
        const std::vector<std::string> stable = StableNames(device);
        CPortInfo info{{}, device,
                       {}, stable.empty() ? std::string() : stable.front(),
                       {}, AccessProblem(device),
                       {}, {},
                       {}};
        info.Details = UsbDetails(device, &info);
        unnamed.push_back(std::move(info));
    }
    return unnamed;
}
