// The port list and --list-ports read the port folder, /dev and sysfs; here a fake tree
// stands in for the last two.
#include "msr/port_list.h"
#include "support/sim_fixture.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace fs = std::filesystem;

TEST(PortList, NamesDevicesAndUsbDetailsFromAFakeTree) {
    EmptyPortDir ports;
    TempDir tree;
    const CDeviceRoots roots{tree.File("dev"), tree.File("sys")};
    const std::string usb = roots.Sys + "/devices/usb1/1-1";
    for (const std::string& folder :
         {roots.Dev + "/serial/by-id", usb + "/1-1:1.0/ttyUSB0", roots.Sys + "/class/tty/ttyS5",
          roots.Sys + "/class/tty/ttyUSB0"})
        fs::create_directories(folder);
    for (const char* device : {"ttyUSB0", "ttyUSB10", "ttyACM0", "ttyS5"})
        ASSERT_EQ(mknod((roots.Dev + "/" + device).c_str(), S_IFCHR | 0600, makedev(1, 3)), 0);
    for (auto [file, text] : {std::pair{"/idVendor", "0403\n"},
                              {"/manufacturer", "Tavlon\n"},
                              {"/product", "MSR 42\n"},
                              {"/serial", "A5069\n"}})
        tree.Write("sys/devices/usb1/1-1" + std::string(file), text);
    tree.Write("sys/class/tty/ttyS5/type", "0\n"); // a port the kernel knows, with no UART
    fs::create_directory_symlink("../../../devices/usb1/1-1/1-1:1.0/ttyUSB0",
                                 roots.Sys + "/class/tty/ttyUSB0/device");
    fs::create_symlink("../../ttyUSB0", roots.Dev + "/serial/by-id/usb-Tavlon_MSR_42-if00");
    const std::pair<const char*, std::string> entries[] = {
        {"COM100", roots.Dev + "/ttyACM0"}, {"COM12", "/nowhere"},
        {"COM9x", roots.Dev + "/ttyS5"},    {"COM2", roots.Dev + "/ttyUSB10"},
        {"COM1234567", "/nowhere"},         {"LPT1", "/nowhere"}};
    for (auto [name, target] : entries)
        fs::create_symlink(target, ports.Path() + "/" + name);

    EXPECT_EQ(FurtherPortNames(), (std::vector<std::string>{"COM9x", "COM12", "COM100"}));
    EXPECT_EQ(DescribePort("COM100", roots).Device, roots.Dev + "/ttyACM0");
    EXPECT_EQ(DeviceText(DescribePort("COM12", roots)), "no device");
    EXPECT_EQ(DescribePort("COM9x", roots).Device, ""); // no UART behind it
    const auto unnamed = UnnamedSerialDevices(roots);
    ASSERT_EQ(unnamed.size(), 1u); // ttyUSB10 and ttyACM0 have names
    EXPECT_EQ(DeviceText(unnamed[0]),
              fs::canonical(roots.Dev + "/ttyUSB0").string() + "  Tavlon MSR 42, serial A5069");
    EXPECT_EQ(unnamed[0].StableName, roots.Dev + "/serial/by-id/usb-Tavlon_MSR_42-if00");
}
