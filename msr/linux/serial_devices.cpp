#include "msr/linux/serial_devices.h"

#include "msr/linux/reader_line.h"
#include "msr/port_list.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>

namespace {

const std::string Dev = "/dev", Sys = "/sys";

std::string FirstLine(const std::string& path) {
    std::string line;
    std::getline(std::ifstream(path), line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

} // namespace

std::vector<std::string> FolderEntries(const std::string& folder) {
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

// Told from the device number, never by opening it: opening can toggle a line's modem signals.
bool IsReaderLineDevice(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode) &&
           CouldBeReaderLine(info.st_rdev);
}

std::vector<std::string> UsbSerialDevices() {
    std::vector<std::string> names;
    for (const std::string& name : FolderEntries(Dev))
        if ((name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0) &&
            IsReaderLineDevice(Dev + "/" + name))
            names.push_back(name);
    std::sort(names.begin(), names.end(), NaturalLess);
    std::vector<std::string> devices;
    for (const std::string& name : names)
        if (std::string device = RealPath(Dev + "/" + name); !device.empty())
            devices.push_back(std::move(device));
    return devices;
}

std::string UsbDetails(const std::string& device, CPortInfo* identity) {
    const std::string name = device.substr(device.rfind('/') + 1);
    std::string dir = RealPath(Sys + "/class/tty/" + name + "/device");
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

std::vector<std::string> StableNames(const std::string& device) {
    const std::string folder = Dev + "/serial/by-id";
    std::vector<std::string> links;
    for (const std::string& link : FolderEntries(folder))
        if (link[0] != '.' && RealPath(folder + "/" + link) == device)
            links.push_back(folder + "/" + link);
    std::sort(links.begin(), links.end());
    return links;
}
