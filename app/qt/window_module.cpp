// The window, in a module of its own: only a run that shows it loads the toolkit, so that the
// runs for scripts start in a few milliseconds. The program's core lives in the executable.
#include "app/config_app.h"
#include "app/config_dlg.h"
#include "app/qt/config_window.h"
#include "app/qt/qt_user_dialogs.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <memory>
#include <string>

namespace {

std::unique_ptr<QApplication> application;
std::unique_ptr<QTranslator> qtTexts;
int qtArgc = 1;
char* qtArgv[] = {nullptr, nullptr};

void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// libwayland-client writes its complaints straight to standard error ("error: XDG_RUNTIME_DIR
// is invalid ..."); while the display is being opened, our own line says it for the user.
bool openingDisplay = false;

void WaylandLog(const char* format, va_list args) {
    if (!openingDisplay)
        std::vfprintf(stderr, format, args);
}

void RouteWaylandLog() {
    using SetHandler = void (*)(void (*)(const char*, va_list));
    // Left loaded: the toolkit's Wayland plugin uses this same copy, and with it our handler.
    void* library = dlopen("libwayland-client.so.0", RTLD_LAZY | RTLD_LOCAL);
    if (auto set = library
                       ? reinterpret_cast<SetHandler>(dlsym(library, "wl_log_set_handler_client"))
                       : nullptr)
        set(WaylandLog);
}

} // namespace

// Opens the display the window will use. False, with nothing opened, when no display can be
// reached: the toolkit would otherwise abort the process (a stale DISPLAY after ssh -X, cron,
// an X server that refuses us, a Wayland socket that is gone).
extern "C" __attribute__((visibility("default"))) bool MsrconfigOpenDisplay(char* programName) {
    if (application)
        return true;
    // The platform asked for (or the toolkit's own choice), and the offscreen one behind it,
    // which always starts: landing there means none of the others could.
    const char* asked = std::getenv("QT_QPA_PLATFORM");
    std::string platforms = asked && *asked ? asked
                            : std::getenv("WAYLAND_DISPLAY") && *std::getenv("WAYLAND_DISPLAY")
                                ? "wayland;xcb"
                                : "xcb";
    if (platforms.find("wayland") != std::string::npos)
        RouteWaylandLog();
    setenv("QT_QPA_PLATFORM", (platforms + ";offscreen").c_str(), 1);
    // Qt sees only the program's name: the arguments are ours, even one named -style.
    qtArgv[0] = programName;
    const QtMessageHandler previous = qInstallMessageHandler(Quiet);
    openingDisplay = true;
    application = std::make_unique<QApplication>(qtArgc, qtArgv);
    openingDisplay = false;
    qInstallMessageHandler(previous);
    if (asked)
        setenv("QT_QPA_PLATFORM", asked, 1);
    else
        unsetenv("QT_QPA_PLATFORM");
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        application.reset();
        return false;
    }
    // Qt's own texts (the file chooser's buttons and labels) in the system's language where
    // qt6-translations-l10n has them; the window's own texts stay as they are.
    qtTexts = std::make_unique<QTranslator>();
    if (qtTexts->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTexts.get());
    return true;
}

extern "C" __attribute__((visibility("default"))) void MsrconfigShowWindow(CConfigApp& app) {
    ConfigWindow window;
    QtUserDialogs dialogs(&window);
    CConfigDlg dlg(app, window, dialogs);
    window.SetHandler(&dlg);
    dlg.RunModal();
    qtTexts.reset();
    application.reset();
}
