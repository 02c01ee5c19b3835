#include "process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> Pointers(const std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (const std::string& s : strings)
        pointers.push_back(const_cast<char*>(s.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

// out or err -1: that stream is closed in the child.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int out,
            int err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    for (auto [fd, target] : {std::pair{out, 1}, std::pair{err, 2}}) {
        if (fd < 0)
            posix_spawn_file_actions_addclose(&actions, target);
        else
            posix_spawn_file_actions_adddup2(&actions, fd, target);
    }
    pid_t pid = -1;
    auto args = Pointers(argv);
    auto vars = Pointers(env);
    if (posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), vars.data()) != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

double Now() {
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

int StatusOf(int raw) {
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

} // namespace

std::vector<std::string> Environment(const std::map<std::string, std::string>& changes) {
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        std::size_t eq = entry.find('=');
        if (eq != std::string::npos)
            vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
        vars.erase(display);
    for (const auto& [name, value] : changes) {
        if (value.empty())
            vars.erase(name);
        else
            vars[name] = value;
    }
    std::vector<std::string> env;
    for (const auto& [name, value] : vars)
        env.push_back(name + "=" + value);
    return env;
}

std::string ReadFile(const std::string& path) {
    std::string text;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char buffer[4096];
    ssize_t n;
    while (fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    if (fd >= 0)
        close(fd);
    return text;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, Streams streams) {
    char folder[] = "/tmp/msrconfig-run-XXXXXX";
    if (!mkdtemp(folder))
        throw std::runtime_error("mkdtemp");
    Folder = folder;
    int out = -1, err = -1;
    if (streams == Streams::Captured) {
        out = open((Folder + "/out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        err = open((Folder + "/err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    } else if (streams == Streams::BrokenPipe) {
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        close(pipeFds[0]);
        out = pipeFds[1];
        err = dup(pipeFds[1]);
    }
    Started = Now();
    Pid = Spawn(argv, env, out, err);
    if (out >= 0)
        close(out);
    if (err >= 0)
        close(err);
}

void ChildProcess::Signal(int signalNumber) {
    kill(Pid, signalNumber);
}

ProcessResult ChildProcess::Wait(double timeoutSeconds) {
    int raw = 0;
    while (waitpid(Pid, &raw, WNOHANG) == 0) {
        if (Now() - Started > timeoutSeconds) {
            kill(Pid, SIGKILL);
            waitpid(Pid, &raw, 0);
            break;
        }
        usleep(5000);
    }
    ProcessResult result;
    result.Status = StatusOf(raw);
    result.Seconds = Now() - Started;
    result.Out = ReadFile(Folder + "/out");
    result.Err = ReadFile(Folder + "/err");
    unlink((Folder + "/out").c_str());
    unlink((Folder + "/err").c_str());
    rmdir(Folder.c_str());
    return result;
}

ProcessResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         double timeoutSeconds) {
    return ChildProcess(argv, env).Wait(timeoutSeconds);
}

SimProcess::SimProcess(const std::string& portDir, const std::vector<std::string>& options)
    : LogPath(portDir + "/msr-sim.log") {
    // Into a file, not a pipe: a transcript nobody reads yet must never block the reader.
    int out = open(LogPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int devnull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::vector<std::string> argv = {MSR_SIM_BIN, "--port-dir", portDir};
    argv.insert(argv.end(), options.begin(), options.end());
    Pid = Spawn(argv, Environment({}), out, devnull);
    close(devnull);
    close(out);
    // Ready once it has published the port.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (ReadLog().find('\n') == std::string::npos && Clock::now() < deadline)
        usleep(10000);
    if (ReadLog().rfind("msr-sim: ", 0) != 0)
        throw std::runtime_error("msr-sim did not start: " + ReadLog());
}

SimProcess::~SimProcess() {
    if (Pid > 0)
        StopAndCollectRecords();
}

std::string SimProcess::ReadLog() const {
    return ReadFile(LogPath);
}

bool SimProcess::WaitForRecord(const std::string& record, double timeoutSeconds) const {
    const double deadline = Now() + timeoutSeconds;
    while (ReadLog().find("<- " + record + "\n") == std::string::npos)
        if (Now() > deadline)
            return false;
        else
            usleep(10000);
    return true;
}

std::vector<std::string> SimProcess::StopAndCollectRecords() {
    if (Pid > 0) {
        kill(Pid, SIGTERM);
        waitpid(Pid, nullptr, 0);
        Pid = -1;
    }
    const std::string output = ReadLog();
    std::vector<std::string> records;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::string line = output.substr(start, end - start);
        if (line.rfind("<- ", 0) == 0)
            records.push_back(line.substr(3));
        start = end + 1;
    }
    return records;
}
