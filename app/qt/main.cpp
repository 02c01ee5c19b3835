// msrconfig: reads, changes and stores the configuration of a magnetic stripe reader.
#include "app/command_line.h"
#include "app/config_app.h"
#include "app/config_dlg.h"
#include "app/process_guard.h"
#include "app/qt/config_window.h"
#include "app/qt/qt_user_dialogs.h"
#include "app/start_up.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

} // namespace

int main(int argc, char** argv) {
    // Before anything is opened: a closed standard stream must not become the port.
    OpenStandardStreams();
    InstallStopSignals();
    CConfigApp app;
    FrontEnd here;
    here.PersonPresent = HasDisplay();
    here.BatchNote = "Without a display a batch run is --unattended.";
    here.NoWindowNote = "msrconfig: no display found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                        "Start it on a desktop, or under a virtual one: xvfb-run msrconfig\n";
    const std::string commandLine = JoinArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto status = StartWithoutWindow(commandLine, here, app))
        return *status;

    // Qt sees only the program's name: the arguments are ours, even one named -style.
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    app.ApplicationName =
        QFile::encodeName(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName())
            .toStdString();

    ConfigWindow window;
    QtUserDialogs dialogs;
    dialogs.SetParent(&window);
    CConfigDlg dlg(app, window, dialogs);
    window.SetHandler(&dlg);
    dlg.RunModal();
    return FinishRun(app);
}
