#include "process.h"

#include <csignal>
#include <grp.h>
#include <sched.h>
#include <stdexcept>
#include <sys/mount.h>
#include <unistd.h>

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Variables& variables,
                           const ChildSetup& setup) {
    // Runs in the child between fork and exec, after the standard streams were set up.
    Process.setChildProcessModifier([streams = setup.Output, setup] {
        // Whatever the test runner ignores, the program starts as a shell would start it.
        for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber)
            std::signal(signalNumber, signalNumber == setup.IgnoredSignal ? SIG_IGN : SIG_DFL);
        if (!setup.Mounts.empty() &&
            (unshare(CLONE_NEWNS) != 0 ||
             mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0))
            _exit(125);
        for (const auto& [from, onto] : setup.Mounts)
            if (mount(from.c_str(), onto.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0)
                _exit(125);
        if (setup.User &&
            (setgroups(0, nullptr) != 0 || setresgid(setup.User, setup.User, setup.User) != 0 ||
             setresuid(setup.User, setup.User, setup.User) != 0))
            _exit(125);
        int ends[2];
        if (streams == Streams::Closed) {
            close(1);
            close(2);
        } else if (streams == Streams::BrokenPipe && pipe(ends) == 0) {
            close(ends[0]);
            dup2(ends[1], 1);
            dup2(ends[1], 2);
        }
    });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
        environment.remove(display);
    for (const auto& [name, value] : variables)
        if (value.empty())
            environment.remove(QString::fromStdString(name));
        else
            environment.insert(QString::fromStdString(name), QString::fromStdString(value));
    QStringList arguments;
    for (std::size_t i = 1; i < argv.size(); ++i)
        arguments << QString::fromStdString(argv[i]);
    if (setup.Output == Streams::Merged)
        Process.setProcessChannelMode(QProcess::MergedChannels);
    Process.setProcessEnvironment(environment);
    Process.setWorkingDirectory(QString::fromStdString(setup.WorkingDirectory));
    Process.setStandardInputFile(QProcess::nullDevice());
    Clock.start();
    Process.start(QString::fromStdString(argv[0]), arguments);
    if (!Process.waitForStarted())
        throw std::runtime_error("cannot start " + argv[0]);
}

void ChildProcess::Signal(int signalNumber) {
    kill(static_cast<pid_t>(Process.processId()), signalNumber);
}

ProcessResult ChildProcess::Wait(double timeoutSeconds) {
    const qint64 left = static_cast<qint64>(timeoutSeconds * 1000) - Clock.elapsed();
    if (!Process.waitForFinished(static_cast<int>(std::max<qint64>(left, 0)))) {
        Process.kill();
        Process.waitForFinished();
    }
    const bool exited = Process.exitStatus() == QProcess::NormalExit;
    return {exited ? Process.exitCode() : 1000, Process.readAllStandardOutput().toStdString(),
            Process.readAllStandardError().toStdString(), Clock.elapsed() / 1000.0};
}

ProcessResult RunProgram(const std::vector<std::string>& argv, const Variables& variables,
                         double timeoutSeconds, const ChildSetup& setup) {
    return ChildProcess(argv, variables, setup).Wait(timeoutSeconds);
}
