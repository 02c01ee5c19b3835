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

struct TerminalRun {
    std::string Shown; // what the terminal showed
    int Status = -1;
    std::string Name; // the terminal's own device
    termios Before{}, After{};
};

// Runs the program on a new terminal of its own, as a job of a shell there.
TerminalRun RunOnTerminal(const std::string& port, bool background, const std::string& portDir) {
    TerminalRun run;
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
            if (chdir(portDir.c_str()) == 0)
                execl(MSRCONFIG_BIN, MSRCONFIG_BIN, "config.txt,COM16,9600", nullptr);
            _exit(102);
        }
        int status = 0;
        waitpid(job, &status, WUNTRACED);
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 200); // 200: stopped or killed
    }
    run.Name = name;
    tcgetattr(terminal, &run.Before);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (char chunk[512]; std::chrono::steady_clock::now() < end;) {
        pollfd p{terminal, POLLIN, 0};
        if (poll(&p, 1, 200) > 0) {
            const ssize_t n = read(terminal, chunk, sizeof chunk);
            if (n <= 0)
                break; // the shell has ended
            run.Shown.append(chunk, static_cast<std::size_t>(n));
        }
    }
    tcgetattr(terminal, &run.After);
    int status = 0;
    if (waitpid(shell, &status, WNOHANG) == 0) {
        kill(shell, SIGKILL);
        waitpid(shell, &status, 0);
    }
    close(terminal);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000;
    return run;
}

} // namespace

TEST(ControllingTerminal, IsNoReaderLine) {
    BatchSetup setup({}, false);
    for (const char* port : {"/dev/tty", "self"})
        for (bool background : {false, true}) {
            const TerminalRun run = RunOnTerminal(port, background, setup.PortDir());
            const std::string why = port == std::string("self")
                                        ? run.Name + " is the terminal msrconfig runs in"
                                        : "/dev/tty is no serial line";
            std::string expected =
                Repeat("Error opening com port : 16\nError restoring functional mode.\n", 10) +
                "No MSR claimed on COM16 (no-device): " + why +
                ".\nCOM16 config.txt: " + NotClaimedMessage;
            for (std::size_t at = 0; (at = expected.find('\n', at)) != std::string::npos; at += 2)
                expected.insert(at, "\r"); // as the terminal shows a line end
            EXPECT_EQ(run.Status, 3) << port << (background ? " in the background" : "");
            EXPECT_EQ(run.Shown, expected) << port;
            const termios& a = run.After;
            const termios& b = run.Before;
            EXPECT_EQ(std::tuple(a.c_iflag, a.c_oflag, a.c_lflag, a.c_cflag),
                      std::tuple(b.c_iflag, b.c_oflag, b.c_lflag, b.c_cflag))
                << port;
        }
}
