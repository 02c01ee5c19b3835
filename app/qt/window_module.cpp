// The window, in a module of its own: only a run that shows it loads the toolkit, so that the
// runs for scripts start in a few milliseconds. The program's core lives in the executable.
#include "app/config_app.h"
#include "app/config_dlg.h"
#include "app/qt/config_window.h"
#include "app/qt/qt_user_dialogs.h"

#include <QApplication>

extern "C" __attribute__((visibility("default"))) void MsrconfigShowWindow(CConfigApp& app,
                                                                           char* programName) {
    // Qt sees only the program's name: the arguments are ours, even one named -style.
    int qtArgc = 1;
    char* qtArgv[] = {programName, nullptr};
    QApplication application(qtArgc, qtArgv);

    ConfigWindow window;
    QtUserDialogs dialogs(&window);
    CConfigDlg dlg(app, window, dialogs);
    window.SetHandler(&dlg);
    dlg.RunModal();
}
