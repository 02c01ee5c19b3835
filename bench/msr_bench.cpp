// Times claim + apply + commit + release against the simulated reader and prints the
// wall time next to the floor the protocol sets (five exchanges of 500 ms silence).
#include "msr/msr_connection.h"
#include "tools/msr_sim/msr_simulator.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    char folder[] = "/tmp/msr-bench-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    setenv("MSRCONFIG_PORT_DIR", folder, 1);
    MsrSimSettings settings;
    settings.PortDir = folder;
    CMsrSimulator sim(settings);
    std::string error;
    if (!sim.Start(error)) {
        std::fprintf(stderr, "msr-bench: %s\n", error.c_str());
        return 1;
    }
    std::thread worker([&] { sim.Run(); });

    const double floor = 2.5;
    double best = 1e9, total = 0;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        {
            auto connection = ClaimMsr("COM3", "19200");
            if (!connection || !connection->ApplyConfiguration() ||
                !connection->CommitConfiguration()) {
                std::fprintf(stderr,
                             "msr-bench: the simulated reader did not take the configuration\n");
                return 1;
            }
        }
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = seconds < best ? seconds : best;
        total += seconds;
    }
    std::printf("%-36s %8s %8s %7s\n", "operation", "wall s", "floor s", "ratio");
    std::printf("%-36s %8.3f %8.3f %7.3f  (best of %d, mean %.3f)\n",
                "claim+apply+commit+release (core)", best, floor, best / floor, runs, total / runs);
    sim.Stop();
    worker.join();
    rmdir(folder);
    return 0;
}
