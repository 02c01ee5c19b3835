#include "app/config_dlg.h"

#include "app/config_app.h"
#include "msr/msr_connection.h"
#include "msr/msr_settings.h"
#include "msr/port_list.h"
#include "msr/shown_text.h"

namespace {
constexpr int PreselectedPort = 2;
constexpr int PreselectedBaud = 0;
const char* const BaudRates[] = {"9600", "19200", "38400"};

} // namespace

CConfigDlg::CConfigDlg(CConfigApp& app, DialogControls& controls, UserDialogs& dialogs)
    : App(app), Controls(controls), Dialogs(dialogs) {}

CConfigDlg::~CConfigDlg() = default;

bool CConfigDlg::Initialise() {
    Controls.ClearList(IDC_PORT);
    const std::vector<std::string> ports = PortListNames();
    for (std::size_t i = 0; i < ports.size(); ++i) {
        Controls.AddListEntry(IDC_PORT, ports[i]);
        // Started from the menu, nobody reads standard error: the entry itself says why the
        // device may not be opened, and how to mend it.
        const CPortInfo port = DescribePort(ports[i]);
        Controls.SetListEntryToolTip(IDC_PORT, static_cast<int>(i),
                                     ShownText(ports[i]) + " leads to " + DeviceText(port) +
                                         (port.Problem.empty() ? "" : "; " + port.Problem));
    }
    Controls.ClearList(IDC_BAUD);
    for (const char* baud : BaudRates)
        Controls.AddListEntry(IDC_BAUD, baud); // sorted as text: 19200, 38400, 9600
    Controls.DecorateWindow();
    Controls.SelectListEntry(IDC_PORT, PreselectedPort);
    Controls.SelectListEntry(IDC_BAUD, PreselectedBaud);
    if (!Controls.CreateToolTips())
        return true; // as the window always did: no tooltips, no disabling, no batch run

    Controls.SetEnabled(IDC_COMMIT, false);
    Controls.SetEnabled(IDC_SAVE, false);
    if (App.BatchMode)
        RunBatch();
    return !Closed;
}

int CConfigDlg::RunModal() {
    if (!Initialise())
        return Result;
    return Controls.RunModal();
}

void CConfigDlg::OnClicked(int id) {
    switch (id) {
    case IDC_GET:
        OnGetConfig();
        break;
    case IDC_COMMIT:
        OnCommitConfig();
        break;
    case IDC_SAVE:
        OnSaveConfig();
        break;
    case IDC_LOAD:
        OnLoadConfig();
        break;
    default:
        if (const CMsrSetting* setting = MsrSettingOfControl(id); setting && !setting->IsSentinel())
            EnableEditing();
    }
}

void CConfigDlg::OnTextChanged(int id) {
    if (const CMsrSetting* setting = MsrSettingOfControl(id); setting && setting->IsSentinel())
        EnableEditing();
}

void CConfigDlg::EnableEditing() {
    Controls.SetEnabled(IDC_COMMIT, true);
    Controls.SetEnabled(IDC_SAVE, true);
}

void CConfigDlg::OnCancel() {
    Close(ResultCancel);
}

void CConfigDlg::ReleaseReader() {
    Connection.reset();
}

void CConfigDlg::OnStopRequested() {
    // The operation under way, if any, ends by itself through its normal path.
    Dialogs.DismissAll();
    Close(ResultCancel);
}

void CConfigDlg::Close(int result) {
    Closed = true;
    Result = result;
    Controls.EndDialog(result);
}
