// msrconfig: reads, changes and stores the configuration of a magnetic stripe reader.
#include "app/command_line.h"
#include "app/config_app.h"
#include "app/process_guard.h"
#include "app/start_up.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

bool HasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform &&
        (std::strncmp(platform, "offscreen", 9) == 0 || std::strncmp(platform, "minimal", 7) == 0))
        return false;
    return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || (platform && *platform);
}

std::string ProgramPath() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    return std::string(self, length > 0 ? static_cast<std::size_t>(length) : 0);
}

char* programName = nullptr;

// The window's module: installed in the private module folder beside bin (the Debian package
// msrconfig-window), or beside the program in a build folder.
std::vector<std::string> WindowModules() {
    const std::string program = ProgramPath();
    const std::string folder = program.substr(0, program.rfind('/') + 1);
    return {folder + "../" MSRCONFIG_MODULE_DIR "/msrconfig-window.so",
            folder + "msrconfig-window.so"};
}

bool WindowInstalled() {
    for (const std::string& module : WindowModules())
        if (access(module.c_str(), F_OK) == 0)
            return true;
    return false;
}

// Loaded once, and only by a run that may show the window.
void* WindowSymbol(const char* name) {
    static void* handle = [] {
        for (const std::string& module : WindowModules())
            if (void* opened = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL))
                return opened;
        return static_cast<void*>(nullptr);
    }();
    void* symbol = handle ? dlsym(handle, name) : nullptr;
    if (!symbol)
        std::fprintf(stderr, "msrconfig: the window cannot be shown: %s\n", dlerror());
    return symbol;
}

bool OpenDisplay() {
    // Without the module a batch run goes on unattended; a start for the window says why not.
    if (!WindowInstalled())
        return false;
    auto open = reinterpret_cast<bool (*)(char*)>(WindowSymbol("MsrconfigOpenDisplay"));
    return open && open(programName);
}

} // namespace

int main(int argc, char** argv) {
    // Before anything is opened: a closed standard stream must not become the port.
    OpenStandardStreams();
    InstallStopSignals();
    CConfigApp app;
    // Linux programs have no extension: "msrconfig-1.2" is the name as it stands.
    const std::string program = ProgramPath();
    app.ApplicationName = program.substr(program.rfind('/') + 1);
    programName = argv[0];
    FrontEnd here;
    here.PersonPresent = HasDisplay();
    here.OpenDisplay = OpenDisplay;
    here.BatchNote = "Without a display a batch run is --unattended.";
    here.NoWindowNote = !WindowInstalled()
                            ? "msrconfig: the window is in the package msrconfig-window, which is "
                              "not installed: sudo apt install msrconfig-window\n"
                        : here.PersonPresent
                            ? "msrconfig: the display cannot be opened (DISPLAY or WAYLAND_DISPLAY "
                              "names none that answers).\n"
                              "Start it on a desktop, or under a virtual one: xvfb-run msrconfig\n"
                            : "msrconfig: no display found (DISPLAY and WAYLAND_DISPLAY are not "
                              "set).\n"
                              "Start it on a desktop, or under a virtual one: xvfb-run msrconfig\n";
    const std::string commandLine = JoinArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto status = StartWithoutWindow(commandLine, here, app))
        return *status;
    auto show = reinterpret_cast<void (*)(CConfigApp&)>(WindowSymbol("MsrconfigShowWindow"));
    if (!show)
        return ExitBadCommandLine;
    show(app);
    return FinishRun(app);
}
