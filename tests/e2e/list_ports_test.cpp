// --list-ports against a fake /dev and /sys, mounted over the real ones for the program alone,
// run as a user without privileges: hostile names and USB strings, devices that are no
// reader's line, USB details, the user's and the system's port folders, devices the user may
// not open.
#include "e2e_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(ListPorts, ShowsWhatLeadsToAReaderLineAndNothingRaw) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root for device nodes and a mount namespace";
    TempDir tree;
    const std::string dev = tree.File("dev"), sys = tree.File("sys");
    const std::string ports = tree.File("home/.config/msrconfig/ports");
    const std::string shared = tree.File("etc/msrconfig/ports");
    fs::create_directories(dev + "/serial/by-id");
    fs::create_directories(dev + "/pts");
    fs::create_directories(ports);
    fs::create_directories(shared);
    // Devices that are no reader's line are refused by the rule --list-ports shares with opening
    // a port (tested there on the real devices); /dev/null stands for them here.
    const std::tuple<const char*, unsigned, unsigned, const char*> nodes[] = {
        {"ttyUSB0", 188, 0, "tty"}, {"ttyUSB1", 188, 1, "tty"}, {"ttyACM0", 166, 0, "tty"},
        {"ttyS4", 4, 68, "tty"},    {"ttyS5", 4, 69, "tty"},    {"tty", 5, 0, "tty"},
        {"null", 1, 3, "mem"},      {"pts/77", 136, 77, nullptr}};
    for (auto [name, type, number, subsystem] : nodes) {
        ASSERT_EQ(mknod((dev + "/" + name).c_str(), S_IFCHR, makedev(type, number)), 0);
        ASSERT_EQ(chmod((dev + "/" + name).c_str(), 0666), 0);
        if (!subsystem)
            continue; // sysfs does not list pseudo-terminals
        const std::string node =
            sys + "/dev/char/" + std::to_string(type) + ":" + std::to_string(number);
        fs::create_directories(node);
        fs::create_directory_symlink(std::string("../../../class/") + subsystem,
                                     node + "/subsystem");
    }
    fs::create_directories(sys + "/class/tty/ttyS4");
    fs::create_directories(sys + "/class/tty/ttyS5");
    tree.Write("sys/class/tty/ttyS4/type", "4\n");
    tree.Write("sys/class/tty/ttyS5/type", "0\n"); // a port the kernel knows, with no UART
    const std::pair<std::string, std::vector<std::string>> usb[] = {
        {"ttyUSB0", {"0403\n", "Tavlon\n", "MSR 42\n", "A5069\n"}},
        {"ttyUSB1", {"1d6b\n", "Evil\x1b[2J\x1b[1;1HCOM3 /dev/ttyS2\n", "X\rY\n", ""}}};
    for (const auto& [name, strings] : usb) {
        const std::string device = "devices/usb/" + name;
        fs::create_directories(sys + "/" + device + "/1.0/" + name);
        const char* files[] = {"/idVendor", "/manufacturer", "/product", "/serial"};
        for (int i = 0; i < 4; ++i)
            if (!strings[i].empty())
                tree.Write("sys/" + device + files[i], strings[i]);
        fs::create_directories(sys + "/class/tty/" + name);
        fs::create_directory_symlink("../../../" + device + "/1.0/" + name,
                                     sys + "/class/tty/" + name + "/device");
    }
    fs::create_symlink("../../ttyUSB0", dev + "/serial/by-id/usb-Tavlon_MSR_42-if00");
    fs::create_symlink("../../ttyUSB1", dev + "/serial/by-id/usb-Evil\x1b[2J-if00");
    ASSERT_EQ(chmod((dev + "/pts/77").c_str(), 0600), 0);   // for root alone
    ASSERT_EQ(chown((dev + "/ttyACM0").c_str(), 0, 20), 0); // for group dialout
    ASSERT_EQ(chmod((dev + "/ttyACM0").c_str(), 0660), 0);
    const std::pair<std::string, std::string> entries[] = {
        {"COM3", "/dev/pts/77"}, {"COM13", "/dev/tty"},     {"COM16", "/dev/null"},
        {"COM19", "/nowhere"},   {"COM9x", "/dev/ttyS5"},   {"COM\x1b[2J", "/dev/ttyS4"},
        {"COM\nX", "/dev/ttyACM0"}, {"COM1234567", "/dev/ttyS4"}, {"LPT1", "/dev/ttyS4"},
        {"COM11", "/dev/ttyS4"}};
    for (const auto& [name, target] : entries)
        fs::create_symlink(target, ports + "/" + name);
    // The system's folder names ports for every user; a user's own name comes first.
    fs::create_symlink("/dev/ttyACM0", shared + "/COM12");
    fs::create_symlink("/dev/ttyUSB0", shared + "/COM3");

    ProcessResult run = RunProgram(
        {MSRCONFIG_BIN, "--list-ports"},
        {{"HOME", tree.File("home")}, {"XDG_CONFIG_DIRS", "relative:" + tree.File("etc")}}, 30,
        {.Mounts = {{dev, "/dev"}, {sys, "/sys"}}, .User = 4321});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, "");
    const std::string dialout = "           you may not open /dev/ttyACM0, which belongs to group "
                                "dialout; join it with: sudo adduser \"$USER\" dialout, then log "
                                "in again\n";
    // clang-format off
    EXPECT_EQ(run.Out,
        "COM3       /dev/pts/77  (from " + ports + ")\n"
        "           you may not open /dev/pts/77; ask an administrator to let you use it\n"
        "COM5       /dev/ttyS4\n"
        "COM11      /dev/ttyS4  (from " + ports + ")\n" // once, in its place
        "COM\\nX     /dev/ttyACM0  (from " + ports + ")\n" + dialout +
        "COM\\x1b[2J  /dev/ttyS4  (from " + ports + ")\n"
        "COM12      /dev/ttyACM0  (from " + shared + ")\n" + dialout + "\n"
        "Serial devices without a COM name, each with the command that gives it one:\n"
        "/dev/ttyUSB0  Tavlon MSR 42, serial A5069\n"
        "  ln -s /dev/serial/by-id/usb-Tavlon_MSR_42-if00 " + ports + "/COM14\n"
        "/dev/ttyUSB1  Evil\\x1b[2J\\x1b[1;1HCOM3 /dev/ttyS2 X\\rY\n"
        "  ln -s /dev/ttyUSB1 " + ports + "/COM15\n");
    // clang-format on
}
