#include "msr/linux/reader_line.h"
#include "msr/msr_protocol.h"
#include "msr/port_name.h"
#include "msr/serial_port.h"
#include "support/sim_fixture.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <tuple>
#include <unistd.h>

TEST(PortName, FolderEntryFirstThenTtySNumbering) {
    EmptyPortDir ports;
    for (const char* entry : {"/COM3", "/COMfoo"})
        ASSERT_EQ(symlink("/dev/null", (ports.Path() + entry).c_str()), 0);
    const std::string no = "refused";
    // clang-format off
    const std::pair<const char*, std::string> names[] = {
        {"3", ports.Path() + "/COM3"}, {"foo", ports.Path() + "/COMfoo"}, {"1", "/dev/ttyS0"}, {"256", "/dev/ttyS255"},
        {"", no}, {"0", no}, {"257", no}, {"03", no}, {"M2", no}, {"1a", no}, {"-1", no}, {"12345678/", no},
        {"../COM3", no}, {"123456789", no}};
    // clang-format on
    for (const auto& [suffix, expected] : names) {
        std::string found;
        EXPECT_EQ(ResolvePortDevice(suffix, found) ? found : no, expected) << '"' << suffix << '"';
    }
}

TEST(PortName, FolderComesFromTheEnvironment) {
    // clang-format off
    const std::tuple<const char*, const char*, std::string> settings[] = { // each unset after its row
        {"MSRCONFIG_PORT_DIR", "/srv/ports", "/srv/ports"}, {"XDG_CONFIG_HOME", "/cfg", "/cfg/msrconfig/ports"},
        {"HOME", "/home/op", "/home/op/.config/msrconfig/ports"}};
    // clang-format on
    for (const auto& [name, value, folder] : settings) {
        setenv(name, value, 1);
        EXPECT_EQ(PortDirectory(), folder);
        unsetenv(name);
    }
}

// Exclusive mode, line speed and whether the line is raw, seen through a descriptor of our own:
// no echo, line editing, signals, translation or software flow control; 8N1.
static std::tuple<int, speed_t, bool> LineState(int fd) {
    int exclusive = -1;
    termios tio{};
    ioctl(fd, TIOCGEXCL, &exclusive);
    tcgetattr(fd, &tio);
    const bool raw = !(tio.c_lflag & (ECHO | ICANON | ISIG | IEXTEN)) &&
                     !(tio.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP)) &&
                     !(tio.c_oflag & OPOST) && (tio.c_cflag & CSIZE) == CS8 &&
                     !(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    return {exclusive, cfgetospeed(&tio), raw};
}

TEST(SerialPort, OpenIsExclusiveAndRefusesWhatIsNoDevice) {
    SimulatedReader reader;
    const std::string device = std::filesystem::read_symlink(reader.PortDir() + "/COM3");
    CSerialPort first, second;
    // As another program left it: cooked, as a real port starts, at 4800. Opened before the
    // claim, as exclusive mode keeps any later descriptor out but root's.
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    tcgetattr(fd, &tio);
    cfsetspeed(&tio, B4800);
    tcsetattr(fd, TCSANOW, &tio);
    const auto found = std::make_tuple(0, speed_t{B4800}, false);
    ASSERT_EQ(LineState(fd), found);
    ASSERT_TRUE(first.Open("3", 38400));
    // Already open: the first handle stays in use.
    EXPECT_EQ((std::tuple{first.Open("3", 19200), first.IsOpen()}), std::tuple(false, true));
    EXPECT_FALSE(second.Open("3", 19200)); // the lock keeps a second user off, even root
    EXPECT_STREQ(ClaimCauseName(second.Failure.Cause), "busy");
    EXPECT_EQ(LineState(fd), std::make_tuple(1, speed_t{B38400}, true));
    first.Close();
    // Released as found; exclusive mode would lock out later users but root while anyone
    // holds the device.
    EXPECT_EQ(LineState(fd), found);
    // Baud 0 (a baud text of letters) is no rate: the speed stays, the line is not hung up.
    EXPECT_EQ((std::tuple{second.Open("3", 0), std::get<1>(LineState(fd)), second.Close()}),
              std::tuple(true, speed_t{B4800}, true));
    close(fd);

    // Nothing that is no reader's line: a file, a device that is no terminal, or a terminal
    // that belongs to the operator or the system.
    TempDir files;
    files.Write("plain", "not a device");
    // clang-format off
    const std::pair<const char*, std::string> refused[] = {{"7", files.File("plain")}, {"8", "/dev/zero"},
        {"9", "/dev/null"}, {"x1", "/dev/kmsg"}, {"x2", "/dev/ptmx"}, {"x3", "/dev/console"},
        {"x4", "/dev/tty0"}, {"x5", "/dev/tty"}, {"M2", ""}, {"123456789", ""}};
    // clang-format on
    for (const auto& [suffix, target] : refused) {
        const std::string link = reader.PortDir() + "/COM" + suffix;
        ASSERT_TRUE(target.empty() || symlink(target.c_str(), link.c_str()) == 0) << link;
        EXPECT_FALSE(second.Open(suffix, 19200)) << target;
    }
}

// The last virtual console is the operator's screen; the next minor is ttyS0, COM1.
TEST(SerialPort, VirtualConsolesEndWhereTtySBegins) {
    EXPECT_FALSE(CouldBeReaderLine(makedev(4, 63)));
    if (access("/sys/dev/char/4:64", F_OK) != 0)
        GTEST_SKIP() << "this kernel has no ttyS0 to tell apart";
    EXPECT_TRUE(CouldBeReaderLine(makedev(4, 64)));
}

// A port another program set exclusive opens for root alone: any other user is told it is busy.
TEST(SerialPort, ExclusiveElsewhereIsBusy) {
    EmptyPortDir ports;
    int reader = -1, line = -1;
    char name[128];
    ASSERT_EQ(openpty(&reader, &line, name, nullptr, nullptr), 0);
    ASSERT_EQ(symlink(name, (ports.Path() + "/COM6").c_str()), 0);
    ASSERT_EQ(chmod(name, 0666), 0); // past the permission check, up to the exclusive one
    ASSERT_EQ(ioctl(line, TIOCEXCL), 0);
    constexpr int StillRoot = 99;
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(StillRoot);
        CSerialPort port;
        _exit(port.Open("6", 19200) ? 0 : static_cast<int>(port.Failure.Cause));
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(line);
    close(reader);
    if (WEXITSTATUS(status) == StillRoot)
        GTEST_SKIP() << "root could not become nobody, and root ignores exclusive mode";
    EXPECT_STREQ(ClaimCauseName(static_cast<ClaimCause>(WEXITSTATUS(status))), "busy");
}

// A late acknowledgement counts as soon as its "." arrives, even in the last attempt, and
// what follows it is read away; an answer longer than the buffer keeps its first 99 bytes.
TEST(SerialPort, LateAcknowledgementAndLongAnswers) {
    EmptyPortDir ports;
    int reader = -1, line = -1;
    char name[128];
    ASSERT_EQ(openpty(&reader, &line, name, nullptr, nullptr), 0);
    ASSERT_EQ(symlink(name, (ports.Path() + "/COM5").c_str()), 0);
    CSerialPort port;
    ASSERT_TRUE(port.Open("5", 19200));
    const auto answer = [reader](int afterMs, const std::string& bytes) {
        return std::jthread([=] {
            std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
            [[maybe_unused]] ssize_t n = write(reader, bytes.data(), bytes.size());
        });
    };
    unsigned char byte;
    const std::jthread late = answer(1200, ".xyz"); // in the third read of 500 ms
    EXPECT_EQ((std::tuple{WaitForAcknowledge(port, 3), port.ReadByte(&byte)}), std::tuple(true, 0));
    std::jthread tooLate = answer(1200, ".");
    EXPECT_FALSE(WaitForAcknowledge(port, 2));
    tooLate.join(); // then read away the "." that came too late, however late the thread ran
    while (port.ReadByte(&byte) == 1) {
    }
    answer(0, std::string(150, 'a')).join();
    ResponseBuffer response;
    ASSERT_TRUE(Exchange(port, ":0100001110DE", response));
    EXPECT_EQ(std::tuple(response.Received, response.Stored, std::strlen(response.Text)),
              std::tuple(std::size_t{150}, std::size_t{99}, std::size_t{99}));
    close(line);
    close(reader);
}
