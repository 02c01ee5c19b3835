// msr-sim: a simulated reader for trying msrconfig and for its tests.
#include "tools/msr_sim/msr_simulator.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

CMsrSimulator* running = nullptr;

// msrconfig's own port folder, where it looks first.
std::string DefaultPortDir() {
    for (const char* name : {"MSRCONFIG_PORT_DIR", "XDG_CONFIG_HOME"})
        if (const char* value = std::getenv(name);
            value && (*value == '/' || (*value && name[0] == 'M')))
            return std::string(value) + (name[0] == 'X' ? "/msrconfig/ports" : "");
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/msrconfig/ports";
}

void OnSignal(int) {
    if (running)
        running->Stop();
}

const char Usage[] =
    "Usage: msr-sim [options]\n"
    "Simulates a magnetic stripe reader on a pseudo-terminal published as a COM port.\n"
    "\n"
    "  --port-dir DIR        folder for the port link (default: msrconfig's port folder)\n"
    "  --port NAME           port name, e.g. COM3 (default COM3)\n"
    "  --state FILE          keep the committed configuration in FILE across runs\n"
    "  --config HEX          initial configuration as ten hex digits: the device flags\n"
    "                        byte and the four sentinels, e.g. 41253B2B3F for % ; + ?\n"
    "  --raw                 start the terminal raw (a real port starts echoing and\n"
    "                        editing lines until the program sets it)\n"
    "  --firmware TEXT       eight-character firmware revision (default \"SIM 1.00\")\n"
    "  --commit-delay MS     flash time before the commit's \".\" (default 20; over 500\n"
    "                        makes the acknowledgement late)\n"
    "  --quiet               print no transcript\n"
    "  --transcript FILE     write the transcript to FILE instead of standard output\n"
    "  --while-exists FILE   stop once FILE is gone (for callers that cannot signal)\n"
    "\n"
    "Faults:\n"
    "  --silent              answer nothing at all\n"
    "  --no-command-mode     do not answer the enter-command-mode record\n"
    "  --query-nak           do not acknowledge the configuration query\n"
    "  --query-silent        do not answer the configuration query at all\n"
    "  --set-reject          do not acknowledge the set record\n"
    "  --set-ignored         acknowledge the set record but keep the configuration\n"
    "  --commit-never        never acknowledge the commit\n"
    "  --prefix TEXT         send TEXT before every echo\n"
    "  --garbage N           answer every record with N bytes of noise\n"
    "  --char-delay MS       answer slowly: one byte every MS ms\n"
    "  --query-damage KIND   damage the configuration answer: short (its end missing),\n"
    "                        corrupt (a digit changed, not the checksum), odd (a digit more)\n"
    "  --drip MS             answer nothing, send a byte every MS ms and never fall silent\n"
    "  --unplug-after N      answer N records, then close the terminal when the next arrives\n"
    "  --vanish-after N      as --unplug-after, but send half of that record's echo first\n";

bool ToInt(const char* text, int& value) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < 0 || v > 100000000)
        return false;
    value = static_cast<int>(v);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    MsrSimSettings settings;
    settings.PortDir = DefaultPortDir();
    bool quiet = false;
    std::string initial, transcript, whileExists;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char*& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        bool ok = true;
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (arg == "--port-dir")
            ok = value(v) && (settings.PortDir = v, true);
        else if (arg == "--port")
            ok = value(v) && (settings.PortName = v, true);
        else if (arg == "--state")
            ok = value(v) && (settings.StateFile = v, true);
        else if (arg == "--config")
            ok = value(v) && (initial = v, true);
        else if (arg == "--firmware")
            ok = value(v) && (settings.Firmware = v, true);
        else if (arg == "--commit-delay")
            ok = value(v) && ToInt(v, settings.CommitDelayMs);
        else if (arg == "--prefix")
            ok = value(v) && (settings.Prefix = v, true);
        else if (arg == "--char-delay")
            ok = value(v) && ToInt(v, settings.CharDelayMs);
        else if (arg == "--query-damage")
            ok = value(v) && (settings.QueryDamage = v, settings.QueryDamage == "short" ||
                                                            settings.QueryDamage == "corrupt" ||
                                                            settings.QueryDamage == "odd");
        else if (arg == "--garbage")
            ok = value(v) && ToInt(v, settings.GarbageBytes);
        else if (arg == "--unplug-after")
            ok = value(v) && ToInt(v, settings.UnplugAfterRecords);
        else if (arg == "--vanish-after")
            ok = value(v) && ToInt(v, settings.VanishAfterRecords);
        else if (arg == "--drip")
            ok = value(v) && ToInt(v, settings.DripMs) && settings.DripMs > 0;
        else if (arg == "--transcript")
            ok = value(v) && (transcript = v, true);
        else if (arg == "--while-exists")
            ok = value(v) && (whileExists = v, true);
        else if (arg == "--quiet")
            quiet = true;
        else if (arg == "--silent")
            settings.Silent = true;
        else if (arg == "--no-command-mode")
            settings.NoCommandMode = true;
        else if (arg == "--query-nak")
            settings.QueryNotAcknowledged = true;
        else if (arg == "--query-silent")
            settings.QuerySilent = true;
        else if (arg == "--raw")
            settings.Raw = true;
        else if (arg == "--set-reject")
            settings.SetRejected = true;
        else if (arg == "--set-ignored")
            settings.SetIgnored = true;
        else if (arg == "--commit-never")
            settings.CommitNeverAcknowledged = true;
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr, "msr-sim: bad argument '%s'\n%s", arg.c_str(), Usage);
            return 1;
        }
    }
    if (!initial.empty() && !IsSimConfiguration(initial)) {
        std::fprintf(stderr, "msr-sim: --config needs ten hex digits\n");
        return 1;
    }
    if (!initial.empty())
        settings.Configuration = initial;

    std::error_code ignored;
    std::filesystem::create_directories(settings.PortDir, ignored);
    CMsrSimulator simulator(settings);
    std::string error;
    if (!simulator.Start(error)) {
        std::fprintf(stderr, "msr-sim: %s\n", error.c_str());
        return 1;
    }
    FILE* out = transcript.empty() ? stdout : std::fopen(transcript.c_str(), "w");
    if (!out) {
        std::fprintf(stderr, "msr-sim: cannot write %s\n", transcript.c_str());
        return 1;
    }
    if (!quiet)
        simulator.OnEvent = [out](const MsrSimEvent& event) {
            std::fprintf(out, "%s %s\n", event.FromProgram ? "<-" : "->",
                         EscapeBytes(event.Bytes).c_str());
            std::fflush(out);
        };
    running = &simulator;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGHUP, OnSignal);
    std::atomic<bool> ended{false};
    std::thread watcher;
    if (!whileExists.empty())
        watcher = std::thread([&] {
            while (!ended && access(whileExists.c_str(), F_OK) == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            simulator.Stop();
        });
    std::fprintf(out, "msr-sim: %s -> %s\n", simulator.LinkPath().c_str(),
                 simulator.DevicePath().c_str());
    std::fflush(out);
    simulator.Run();
    ended = true;
    if (watcher.joinable())
        watcher.join();
    running = nullptr;
    simulator.Unplug(); // the link goes before the last line says so
    std::fprintf(out, "msr-sim: stopped\n");
    std::fflush(out);
    return 0;
}
