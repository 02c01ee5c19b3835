#include "msr/port_list.h"

#include "msr/port_name.h"
#include "msr/posix/reader_line.h"
#include "msr/shown_text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string Dev = "/dev", Sys = "/sys";

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            names.push_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::string BaseName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

std::string FirstLine(const std::string& path) {
    std::string line;
    std::getline(std::ifstream(path), line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

// Told from the device number, never by opening it: opening can toggle a line's modem signals.
bool IsReaderLineDevice(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode) &&
           CouldBeReaderLine(info.st_rdev);
}

// A ttyS node exists for every port the kernel could drive; sysfs says whether a UART is
// there (type 0: none).
bool HasHardware(const std::string& device) {
    const std::string name = BaseName(device);
    if (name.rfind("ttyS", 0) != 0)
        return true;
    std::ifstream type(Sys + "/class/tty/" + name + "/type");
    int value = -1;
    return !(type >> value) || value != 0;
}

// The USB device above a tty in sysfs: maker, product and serial number for a person, and
// the ids and serial number that identify it.
std::string UsbDetails(const std::string& device, CPortInfo* identity = nullptr) {
    std::string dir = RealPath(Sys + "/class/tty/" + BaseName(device) + "/device");
    for (int level = 0; level < 4 && dir.size() > 1; ++level, dir = dir.substr(0, dir.rfind('/'))) {
        struct stat info;
        if (stat((dir + "/idVendor").c_str(), &info) != 0)
            continue;
        std::string details = FirstLine(dir + "/manufacturer");
        const std::string product = FirstLine(dir + "/product"),
                          serial = FirstLine(dir + "/serial");
        if (!product.empty())
            details += (details.empty() ? "" : " ") + product;
        if (!serial.empty())
            details += (details.empty() ? "serial " : ", serial ") + serial;
        if (identity) {
            identity->VendorId = FirstLine(dir + "/idVendor");
            identity->ProductId = FirstLine(dir + "/idProduct");
            identity->Serial = serial;
        }
        return details;
    }
    return std::string();
}

// The by-id link that leads to `device`, which stays the same whatever order readers are
// plugged in.
std::string StableName(const std::string& device) {
    const std::string folder = Dev + "/serial/by-id";
    std::vector<std::string> links = Entries(folder);
    std::sort(links.begin(), links.end());
    for (const std::string& link : links)
        if (link[0] != '.' && RealPath(folder + "/" + link) == device)
            return folder + "/" + link;
    return std::string();
}

} // namespace

std::vector<std::string> FurtherPortNames() {
    std::vector<std::string> names;
    for (const std::string& folder : PortDirectories())
        for (const std::string& name : Entries(folder))
            if (IsFurtherPortName(name) &&
                std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

CPortInfo DescribePort(const std::string& name) {
    CPortInfo info{name, {}, {}, {}, {}, {}, {}, {}, {}};
    std::string path;
    if (name.rfind("COM", 0) != 0 || !ResolvePortDevice(name.substr(3), path, &info.Folder))
        return info;
    const std::string device = RealPath(path);
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
    std::vector<std::string> devices;
    for (const std::string& name : Entries(Dev))
        if ((name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0) &&
            IsReaderLineDevice(Dev + "/" + name))
            devices.push_back(name);
    std::sort(devices.begin(), devices.end(), NaturalLess);
    std::vector<CPortInfo> unnamed;
    for (const std::string& name : devices) {
        const std::string device = RealPath(Dev + "/" + name);
        if (std::find(named.begin(), named.end(), device) != named.end())
            continue;
        CPortInfo info{{}, device, {}, StableName(device), {}, AccessProblem(device), {}, {}, {}};
        info.Details = UsbDetails(device, &info);
        unnamed.push_back(std::move(info));
    }
    return unnamed;
}

std::string AccessProblem(const std::string& device) {
    if (faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) == 0 || errno == ENOENT)
        return std::string();
    struct stat info;
    const group* owner = stat(device.c_str(), &info) == 0 ? getgrgid(info.st_gid) : nullptr;
    const std::string shown = ShownText(device);
    if (!owner || info.st_gid == 0 || (info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return "you may not open " + shown + "; ask an administrator to let you use it";
    const passwd* user = getpwuid(geteuid());
    const std::string userWord =
        user && IsShownAsIs(user->pw_name) ? ShellWord(user->pw_name) : "\"$USER\"";
    std::string problem =
        "you may not open " + shown + ", which belongs to group " + ShownText(owner->gr_name);
    if (IsShownAsIs(owner->gr_name))
        problem += "; join it with: sudo adduser " + userWord + " " + ShellWord(owner->gr_name) +
                   ", then log in again";
    return problem;
}
