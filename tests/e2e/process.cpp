#include "process.h"

#include <QThread>
#include <csignal>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace {

void Start(QProcess& process, const std::vector<std::string>& argv, const Variables& variables) {
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
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QString::fromStdString(argv[0]), arguments);
    if (!process.waitForStarted())
        throw std::runtime_error("cannot start " + argv[0]);
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Variables& variables,
                           Streams streams) {
    // Runs in the child between fork and exec, after the standard streams were set up.
    Process.setChildProcessModifier([streams] {
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
    Clock.start();
    Start(Process, argv, variables);
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
                         double timeoutSeconds) {
    return ChildProcess(argv, variables).Wait(timeoutSeconds);
}

SimProcess::SimProcess(const std::string& portDir, const std::vector<std::string>& options)
    : LogPath(portDir + "/msr-sim.log") {
    std::vector<std::string> argv = {MSR_SIM_BIN, "--port-dir", portDir};
    argv.insert(argv.end(), options.begin(), options.end());
    Process.setStandardOutputFile(QString::fromStdString(LogPath));
    Process.setStandardErrorFile(QProcess::nullDevice());
    Start(Process, argv, {});
    if (!WaitFor("msr-sim: ", 10)) // it has published the port
        throw std::runtime_error("msr-sim did not start: " + Transcript());
}

SimProcess::~SimProcess() {
    StopAndCollectRecords();
}

std::string SimProcess::Transcript() {
    std::ostringstream text;
    text << std::ifstream(LogPath, std::ios::binary).rdbuf();
    return text.str();
}

bool SimProcess::WaitFor(const std::string& text, double timeoutSeconds) {
    QElapsedTimer clock;
    clock.start();
    while (Transcript().find(text) == std::string::npos) {
        if (clock.elapsed() > timeoutSeconds * 1000)
            return false;
        QThread::msleep(10);
    }
    return true;
}

std::vector<std::string> SimProcess::StopAndCollectRecords() {
    Process.terminate();
    Process.waitForFinished();
    std::vector<std::string> records;
    std::istringstream lines(Transcript());
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("<- ", 0) == 0)
            records.push_back(line.substr(3));
    return records;
}
