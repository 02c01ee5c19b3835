#include "app/process_guard.h"

#include "msr/stop_request.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

int wakePipe[2] = {-1, -1};
bool outputWasClosed = false;

void OnStopSignal(int signalNumber) {
    const int saved = errno;
    RequestStop(signalNumber);
    if (wakePipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] ssize_t n = write(wakePipe[1], &byte, 1);
    }
    errno = saved;
}

} // namespace

void OpenStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        outputWasClosed = outputWasClosed || fd == 1;
        // open() takes the lowest free descriptor, which is this one.
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd)
            close(opened);
    }
}

bool WriteStandardOutput(const std::string& bytes) {
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    return std::fflush(stdout) == 0 && written && !std::ferror(stdout) && !outputWasClosed;
}

bool InstallStopSignals() {
    std::signal(SIGPIPE, SIG_IGN);
    if (wakePipe[0] < 0 && pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Reads and writes carry on; the reader waits look at the request after each poll.
    action.sa_flags = SA_RESTART;
    // Every signal that would end the process and can be caught, but for the faults the
    // program itself causes (SIGSEGV, SIGABRT, ...). One ignored when the program starts
    // stays ignored, as nohup and a shell's background jobs expect.
    std::vector<int> stopping = {SIGHUP,    SIGINT,  SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM,
                                 SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGIO,   SIGPWR,  SIGSTKFLT};
    for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; ++signalNumber)
        stopping.push_back(signalNumber);
    bool ok = true;
    for (int signalNumber : stopping) {
        struct sigaction inherited = {};
        if (sigaction(signalNumber, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
            continue;
        ok = sigaction(signalNumber, &action, nullptr) == 0 && ok;
    }
    return ok;
}

int StopNotification() {
    return wakePipe[0];
}
