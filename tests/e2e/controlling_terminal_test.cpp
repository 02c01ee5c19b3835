// The operator's own terminal named as a port, by /dev/tty or by its own name, with the run in
// the terminal's foreground or in the background: refused like a missing port, the terminal
// left as it was and never written a record, and no job-control stop can hold the run.
#include "e2e_support.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Runs the program on a new terminal of its own, as a job of a shell there; gives what the
// terminal showed and the program's status.
std::pair<std::string, int> RunOnTerminal(const std::string& port, bool background,
                                          const std::string& portDir, termios& before,
                                          termios& after) {
    int terminal = -1;
    char name[64];
    const pid_t shell = forkpty(&terminal, name, nullptr, nullptr);
    if (shell == 0) {
        const std::string link = portDir + "/COM16";
        unlink(link.c_str());
        if (symlink(port == "self" ? name : port.c_str(), link.c_str()) != 0)
            _exit(101);
        const pid_t job = fork();
        if (job == 0) {
            if (background)
                setpgid(0, 0); // a job in the background, as `&` makes one
            for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber)
                std::signal(signalNumber, SIG_DFL);
            setenv("MSRCONFIG_PORT_DIR", portDir.c_str(), 1);
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            const std::string batch = portDir + "/config.txt,COM16,9600";
            execl(MSRCONFIG_BIN, MSRCONFIG_BIN, batch.c_str(), nullptr);
            _exit(102);
        }
        int status = 0;
        waitpid(job, &status, WUNTRACED);
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 200); // 200: stopped or killed
    }
    tcgetattr(terminal, &before);
    std::string shown;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (char chunk[512]; std::chrono::steady_clock::now() < end;) {
        pollfd p{terminal, POLLIN, 0};
        if (poll(&p, 1, 200) > 0) {
            const ssize_t n = read(terminal, chunk, sizeof chunk);
            if (n <= 0)
                break; // the shell has ended
            shown.append(chunk, static_cast<std::size_t>(n));
        }
    }
    tcgetattr(terminal, &after);
    int status = 0;
    if (waitpid(shell, &status, WNOHANG) == 0) {
        kill(shell, SIGKILL);
        waitpid(shell, &status, 0);
    }
    close(terminal);
    return {shown, WIFEXITED(status) ? WEXITSTATUS(status) : 1000};
}

} // namespace

TEST(ControllingTerminal, IsNoReaderLine) {
    BatchSetup setup({}, false);
    std::string expected =
        Repeat("Error opening com port : 16\r\nError restoring functional mode.\r\n", 10) +
        NotClaimedLine;
    expected.insert(expected.size() - 1, "\r");
    for (const char* port : {"/dev/tty", "self"})
        for (bool background : {false, true}) {
            termios before{}, after{};
            const auto [shown, status] =
                RunOnTerminal(port, background, setup.PortDir(), before, after);
            EXPECT_EQ(status, 3) << port << (background ? " in the background" : "");
            EXPECT_EQ(shown, expected) << port;
            EXPECT_EQ(std::tuple(after.c_iflag, after.c_oflag, after.c_lflag, after.c_cflag),
                      std::tuple(before.c_iflag, before.c_oflag, before.c_lflag, before.c_cflag))
                << port;
        }
}
