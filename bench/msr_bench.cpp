// Times the reader operations against the simulated reader and prints, for each, the wall
// time next to the floor the protocol sets (500 ms of silence per exchange) and the ratio:
//   core    claim + apply + commit + release in-process (five exchanges, 2.5 s)
//   get     the window's Get, offscreen (enter, query, restore: 1.5 s)
//   batch   the real program's batch run, process start to exit (2.5 s), with peak memory
//   --read, --verify, --ensure (unchanged: 1.5 s; changed, with the read-back: 3.0 s)
//   16 batch runs on 16 readers at once, against the one batch run above
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
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

constexpr int Parallel = 16;

// The program with these arguments, its output thrown away and its window never shown, run
// under time(1): a child's own peak memory, since one spawned from here starts out with ours.
pid_t Spawn(const std::string& program, std::vector<std::string> arguments,
            const std::string& memoryFile) {
    arguments.insert(arguments.begin(), {"/usr/bin/time", "-f", "%M", "-o", memoryFile, program});
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ) != 0)
        std::exit(1);
    posix_spawn_file_actions_destroy(&quiet);
    return pid;
}

// Waits for them all; the largest peak memory in KB. Any that did not end with 0 ends the bench.
long Reap(const std::vector<pid_t>& started, const std::string& memoryFile) {
    long peak = 0;
    for (std::size_t i = 0; i < started.size(); ++i) {
        int status = 0;
        waitpid(started[i], &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "msr-bench: a run ended with %d\n", status);
            std::exit(1);
        }
        long kilobytes = 0;
        std::ifstream(memoryFile + std::to_string(i)) >> kilobytes;
        peak = std::max(peak, kilobytes);
    }
    return peak;
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
    const std::string other = std::string(folder) + "/other.txt";
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

    const std::string memory = std::string(folder) + "/memory";
    const auto run = [&](std::vector<std::string> arguments) {
        return Reap({Spawn(program, arguments, memory + "0")}, memory);
    };
    Figure batch = Measure(runs, [&] { return run({file + ",COM3,19200"}); });
    Figure read = Measure(runs, [&] { return run({"--read", file + ".read,COM3,19200"}); });
    Figure verify = Measure(runs, [&] { return run({"--verify", file + ",COM3,19200"}); });
    Figure unchanged = Measure(runs, [&] { return run({"--ensure", file + ",COM3,19200"}); });
    // Each run finds the reader holding the other file, so each one writes.
    std::ofstream(other) << "ZYN MSR Configuration File\n1d%;+!\n";
    int turn = 0;
    Figure changed = Measure(runs, [&] {
        return run({"--ensure", (turn++ % 2 ? file : other) + ",COM3,19200"});
    });

    // Sixteen readers on sixteen ports, one process each, all at once.
    std::vector<std::unique_ptr<CMsrSimulator>> readers;
    std::vector<std::thread> serving;
    for (int i = 0; i < Parallel; ++i) {
        settings.PortName = "COM" + std::to_string(21 + i);
        readers.push_back(std::make_unique<CMsrSimulator>(settings));
        if (!readers.back()->Start(error))
            return 1;
        serving.emplace_back([reader = readers.back().get()] { reader->Run(); });
    }
    Figure parallel = Measure(runs, [&] {
        std::vector<pid_t> started;
        for (int i = 0; i < Parallel; ++i)
            started.push_back(Spawn(program, {file + ",COM" + std::to_string(21 + i) + ",19200"},
                                    memory + std::to_string(i)));
        return Reap(started, memory);
    });
    for (std::size_t i = 0; i < readers.size(); ++i) {
        readers[i]->Stop();
        serving[i].join();
    }

    std::printf("%-34s %8s %8s %7s %9s\n", "operation (best of runs)", "wall s", "floor s", "ratio",
                "peak RSS");
    Print("claim+apply+commit+release (core)", core, 2.5);
    Print("Get Current MSR Config (window)", get, 1.5);
    Print("batch run file,COM3,19200 (process)", batch, 2.5);
    Print("--read", read, 1.5);
    Print("--verify", verify, 1.5);
    Print("--ensure, unchanged", unchanged, 1.5);
    Print("--ensure, changed and read back", changed, 3.0);
    Print("16 batch runs on 16 readers at once", parallel, 2.5);
    std::printf("16 at once against one batch run: %.3f\n", parallel.Best / batch.Best);
    std::printf("runs: %d\n", runs);

    sim.Stop();
    worker.join();
    for (const std::string& written : {file, other, file + ".read"})
        std::remove(written.c_str());
    for (int i = 0; i < Parallel; ++i)
        std::remove((memory + std::to_string(i)).c_str());
    rmdir(folder);
    return 0;
}
