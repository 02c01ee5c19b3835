// The window, in a module of its own: only a run that shows it loads the toolkit, so that the
// runs for scripts start in a few milliseconds. The program's core lives in the executable.
#include "app/config_app.h"
#include "app/config_dlg.h"
#include "app/qt/config_window.h"
#include "app/qt/qt_user_dialogs.h"
#include "app/start_up.h"
#include "msr/stop_request.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

std::unique_ptr<QApplication> application;
std::unique_ptr<QTranslator> qtTexts;
int qtArgc = 1;
char* qtArgv[] = {nullptr, nullptr};

void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// The display libraries print their own complaints straight to standard error, libX11 the
// X server's words ("Invalid MIT-MAGIC-COOKIE-1 key"), libwayland "error: XDG_RUNTIME_DIR is
// invalid": while the display is opened they go nowhere, and our own line says it instead.
// Nothing of ours writes meanwhile: a stop signal only marks the request.
int SilenceStandardError() {
    const int saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && nowhere >= 0)
        dup2(nowhere, STDERR_FILENO);
    if (nowhere >= 0)
        close(nowhere);
    return saved;
}

void RestoreStandardError(int saved) {
    if (saved >= 0) {
        dup2(saved, STDERR_FILENO);
        close(saved);
    }
}

CConfigApp* shownApp = nullptr;
CConfigDlg* shownDialog = nullptr;

// The toolkit ends the process with exit() from inside the window's event loop when its display
// goes away (an X server that died, the desktop session's end). The run then ends as a hangup
// does: the reader released, the record and log line written, status 129. Nothing unwinds, and
// the toolkit is not torn down under the window, which would crash.
void EndWithTheDisplay() {
    if (!shownDialog)
        return;
    RequestStop(SIGHUP);
    shownDialog->ReleaseReader();
    const int status = FinishRun(*shownApp);
    std::fflush(nullptr);
    _exit(status);
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
    setenv("QT_QPA_PLATFORM", (platforms + ";offscreen").c_str(), 1);
    // Qt sees only the program's name: the arguments are ours, even one named -style.
    qtArgv[0] = programName;
    // Qt's warnings are for its developers, and would reach the user raw ("The X11 connection
    // broke"); the window says what the user needs.
    qInstallMessageHandler(Quiet);
    const int standardError = SilenceStandardError();
    application = std::make_unique<QApplication>(qtArgc, qtArgv);
    RestoreStandardError(standardError);
    if (asked)
        setenv("QT_QPA_PLATFORM", asked, 1);
    else
        unsetenv("QT_QPA_PLATFORM");
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        application.reset();
        return false;
    }
    std::atexit(EndWithTheDisplay);
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
    shownApp = &app;
    shownDialog = &dlg;
    dlg.RunModal();
    shownDialog = nullptr;
    qtTexts.reset();
    application.reset();
}
