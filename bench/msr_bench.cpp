// Times the reader operations against the simulated reader and prints, for each, the wall
// time next to the floor the protocol sets (500 ms of silence per exchange) and the ratio:
//   core    claim + apply + commit + release in-process (five exchanges, 2.5 s)
//   get     the window's Get, offscreen (enter, query, restore: 1.5 s)
//   batch   the real program's batch run, process start to exit (2.5 s), with peak memory
// Usage: msr-bench [runs] [path/to/msrconfig]
#include "app/config_app.h"
#include "app/config_dlg.h"
#include "app/qt/config_window.h"
#include "msr/msr_connection.h"
#include "msr/msr_log.h"
#include "tools/msr_sim/msr_simulator.h"

#include <QApplication>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

class SilentDialogs : public UserDialogs {
  public:
    Answer ShowMessage(const std::string& text, const std::string&, Buttons, Icon) override {
        std::fprintf(stderr, "msr-bench: unexpected message: %s\n", text.c_str());
        std::exit(1);
    }
    std::string ChooseFileToOpen(const std::string&) override { return {}; }
    std::string ChooseFileToSave(const std::string&) override { return {}; }
};

struct Figure {
    double Best = 1e9;
    double Mean = 0;
    long PeakKb = 0;
};

Figure Measure(int runs, const std::function<long()>& operation) {
    Figure figure;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        long peak = operation();
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        figure.Best = std::min(figure.Best, seconds);
        figure.Mean += seconds / runs;
        figure.PeakKb = std::max(figure.PeakKb, peak);
    }
    return figure;
}

void Print(const char* name, const Figure& f, double floor) {
    std::printf("%-34s %8.3f %8.3f %7.3f %9s\n", name, f.Best, floor, f.Best / floor,
                f.PeakKb ? (std::to_string(f.PeakKb / 1024) + " MB").c_str() : "-");
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    const std::string program = argc > 2 ? argv[2] : "build/msrconfig";
    char folder[] = "/tmp/msr-bench-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    setenv("MSRCONFIG_PORT_DIR", folder, 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("XDG_RUNTIME_DIR", folder, 1);
    const std::string file = std::string(folder) + "/config.txt";
    std::ofstream(file) << "ZYN MSR Configuration File\n5d%;+?\n";

    MsrSimSettings settings;
    settings.PortDir = folder;
    settings.CommitDelayMs = 0; // time the program, not the flash
    CMsrSimulator sim(settings);
    std::string error;
    if (!sim.Start(error)) {
        std::fprintf(stderr, "msr-bench: %s\n", error.c_str());
        return 1;
    }
    std::thread worker([&] { sim.Run(); });
    SetLogSink([](LogStream, const char*) {}); // the log line of every claim
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    Figure core = Measure(runs, [] {
        auto connection = ClaimMsr("COM3", "19200");
        if (!connection || !connection->ApplyConfiguration() || !connection->CommitConfiguration())
            std::exit(1);
        return 0L;
    });

    CConfigApp app;
    SilentDialogs dialogs;
    ConfigWindow window;
    CConfigDlg dlg(app, window, dialogs);
    window.SetHandler(&dlg);
    dlg.Initialise();
    Figure get = Measure(runs, [&] {
        qobject_cast<QPushButton*>(window.Control(IDC_GET))->click();
        return 0L;
    });

    Figure batch = Measure(runs, [&] {
        std::string commandLine = file + ",COM3,19200";
        char* args[] = {const_cast<char*>(program.c_str()), commandLine.data(), nullptr};
        unsetenv("QT_QPA_PLATFORM");
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid;
        if (posix_spawn(&pid, args[0], &quiet, nullptr, args, environ) != 0)
            std::exit(1);
        posix_spawn_file_actions_destroy(&quiet);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            std::exit(1);
        return usage.ru_maxrss;
    });

    std::printf("%-34s %8s %8s %7s %9s\n", "operation (best of runs)", "wall s", "floor s", "ratio",
                "peak RSS");
    Print("claim+apply+commit+release (core)", core, 2.5);
    Print("Get Current MSR Config (window)", get, 1.5);
    Print("batch run file,COM3,19200 (process)", batch, 2.5);
    std::printf("runs: %d\n", runs);

    sim.Stop();
    worker.join();
    std::remove(file.c_str());
    rmdir(folder);
    return 0;
}
