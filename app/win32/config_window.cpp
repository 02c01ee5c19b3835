#include "app/win32/config_window.h"

#include "app/config_dlg.h"
#include "msr/stop_request.h"

#include <commctrl.h>
#include <vector>

namespace {

constexpr int MainTemplate = 102;
constexpr int AboutTemplate = 100;
constexpr int IconResource = 128;
constexpr int DialogResource = 5; // RT_DIALOG
constexpr UINT AboutCommand = 0x0010;
constexpr UINT_PTR StopTimer = 1;
constexpr int ToolTipMaxWidth = 320;

// Centres `window` over `area` (screen coordinates).
void Centre(HWND window, const RECT& area) {
    RECT own;
    GetWindowRect(window, &own);
    const int width = own.right - own.left, height = own.bottom - own.top;
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK AboutProc(HWND about, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        RECT owner;
        GetWindowRect(GetParent(about), &owner);
        Centre(about, owner);
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(about, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

} // namespace

ConfigWindow::ConfigWindow(HINSTANCE instance) : Instance(instance) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // Created hidden: the initialisation, and a batch run, come before the window shows.
    HRSRC found =
        FindResourceA(instance, MAKEINTRESOURCEA(MainTemplate), MAKEINTRESOURCEA(DialogResource));
    const auto* bytes =
        found ? static_cast<const BYTE*>(LockResource(LoadResource(instance, found))) : nullptr;
    if (!bytes)
        return; // no template linked in: no window, and every control reads as empty
    std::vector<BYTE> copy(bytes, bytes + SizeofResource(instance, found));
    auto* style = reinterpret_cast<DWORD*>(copy.data()); // a DLGTEMPLATE starts with its style
    *style &= ~static_cast<DWORD>(WS_VISIBLE);
    CreateDialogIndirectParamA(instance, reinterpret_cast<LPCDLGTEMPLATEA>(copy.data()), nullptr,
                               DialogProc, reinterpret_cast<LPARAM>(this));
    // A stop (Ctrl-C, Ctrl-Break, the console closing) is looked at from whichever message
    // loop runs: the window's, or that of a box a batch run opens before the window shows.
    if (Dialog)
        SetTimer(Dialog, StopTimer, 100, nullptr);
}

ConfigWindow::~ConfigWindow() {
    if (ToolTip)
        DestroyWindow(ToolTip);
    if (Dialog)
        DestroyWindow(Dialog);
    if (SmallIcon)
        DestroyIcon(SmallIcon);
}

INT_PTR CALLBACK ConfigWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        reinterpret_cast<ConfigWindow*>(lParam)->Dialog = dialog;
        return TRUE;
    }
    auto* window = reinterpret_cast<ConfigWindow*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    return window ? window->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR ConfigWindow::Handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_CLOSE:
        Command(IDCANCEL, BN_CLICKED);
        return TRUE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == AboutCommand) {
            ShowAbout();
            return TRUE;
        }
        return FALSE;
    case WM_PAINT:
        return PaintMinimised();
    case WM_QUERYDRAGICON:
        SetWindowLongPtrA(Dialog, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(Icon));
        return TRUE;
    case WM_TIMER:
        if (wParam == StopTimer && StopRequested() && Handler) {
            KillTimer(Dialog, StopTimer);
            Handler->OnStopRequested();
        }
        return TRUE;
    default:
        return FALSE;
    }
}

void ConfigWindow::Command(int id, int code) {
    if (!Handler)
        return;
    if (id == IDCANCEL) {
        Handler->OnCancel();
    } else if (id == IDOK) {
        // Enter never closes the window: it would throw away the configuration on screen.
    } else if (code == EN_CHANGE) {
        Handler->OnTextChanged(id);
    } else if (code == BN_CLICKED) {
        // Disabling the focused button leaves the keyboard nowhere; give the focus back.
        HWND focused = GetFocus();
        Handler->OnClicked(id);
        if (focused && IsWindowEnabled(focused) && IsWindowVisible(Dialog))
            SendMessageA(Dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focused), TRUE);
    }
}

bool ConfigWindow::PaintMinimised() {
    if (!IsIconic(Dialog))
        return false;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Dialog, &paint);
    SendMessageA(Dialog, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(Dialog, &client);
    const int width = GetSystemMetrics(SM_CXICON), height = GetSystemMetrics(SM_CYICON);
    DrawIcon(dc, (client.right - width + 1) / 2, (client.bottom - height + 1) / 2, Icon);
    EndPaint(Dialog, &paint);
    return true;
}

bool ConfigWindow::IsChecked(int id) const {
    return IsDlgButtonChecked(Dialog, id) == BST_CHECKED;
}

void ConfigWindow::SetChecked(int id, bool checked) {
    CheckDlgButton(Dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

std::string ConfigWindow::Text(int id) const {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(GetDlgItem(Dialog, id))), '\0');
    GetDlgItemTextA(Dialog, id, text.data(), static_cast<int>(text.size() + 1));
    return text;
}

void ConfigWindow::SetText(int id, const std::string& text) {
    SetDlgItemTextA(Dialog, id, text.c_str()); // an edit field reports EN_CHANGE as for typing
}

bool ConfigWindow::IsEnabled(int id) const {
    return IsWindowEnabled(GetDlgItem(Dialog, id));
}

void ConfigWindow::SetEnabled(int id, bool enabled) {
    EnableWindow(GetDlgItem(Dialog, id), enabled);
}

void ConfigWindow::ClearList(int id) {
    SendDlgItemMessageA(Dialog, id, CB_RESETCONTENT, 0, 0);
}

void ConfigWindow::AddListEntry(int id, const std::string& text) {
    SendDlgItemMessageA(Dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ConfigWindow::SelectListEntry(int id, int index) {
    SendDlgItemMessageA(Dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string ConfigWindow::SelectedListText(int id) const {
    const LRESULT index = SendDlgItemMessageA(Dialog, id, CB_GETCURSEL, 0, 0);
    const LRESULT length = SendDlgItemMessageA(Dialog, id, CB_GETLBTEXTLEN, index, 0);
    if (index == CB_ERR || length == CB_ERR)
        return std::string();
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    SendDlgItemMessageA(Dialog, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

void ConfigWindow::DecorateWindow() {
    if (HMENU menu = GetSystemMenu(Dialog, FALSE)) {
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu, MF_STRING, AboutCommand, "&About Tavlon...");
    }
    Icon = LoadIconA(Instance, MAKEINTRESOURCEA(IconResource));
    SmallIcon = static_cast<HICON>(LoadImageA(Instance, MAKEINTRESOURCEA(IconResource), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageA(Dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Icon));
    SendMessageA(Dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(SmallIcon));
}

bool ConfigWindow::CreateToolTips() {
    ToolTip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Dialog,
                              nullptr, Instance, nullptr);
    if (!ToolTip)
        return false;
    // One tool per control with a text in the string table, keyed by its identifier.
    for (HWND control = GetWindow(Dialog, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        char text[1024];
        const int id = GetDlgCtrlID(control);
        if (id <= 0 || LoadStringA(Instance, static_cast<UINT>(id), text, sizeof text) <= 0)
            continue;
        TOOLINFOA tool = {};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = Dialog;
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = text;
        SendMessageA(ToolTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SendMessageA(ToolTip, TTM_SETMAXTIPWIDTH, 0, ToolTipMaxWidth);
    return true;
}

int ConfigWindow::RunModal() {
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    Centre(Dialog, work);
    ShowWindow(Dialog, SW_SHOW);
    SetForegroundWindow(Dialog);
    MSG message;
    while (!Ended && GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(Dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return Result;
}

void ConfigWindow::EndDialog(int result) {
    Ended = true;
    Result = result;
    ShowWindow(Dialog, SW_HIDE);
    PostMessageA(Dialog, WM_NULL, 0, 0); // wakes the loop
}

void ConfigWindow::SetBusy(bool busy) {
    SetCursor(LoadCursorA(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void ConfigWindow::DropQueuedInput() {
    MSG message;
    const std::pair<UINT, UINT> input[] = {{WM_KEYFIRST, WM_KEYLAST},
                                           {WM_MOUSEFIRST, WM_MOUSELAST},
                                           {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}};
    for (auto [first, last] : input)
        while (PeekMessageA(&message, nullptr, first, last, PM_REMOVE)) {
        }
}

void ConfigWindow::ShowAbout() {
    DialogBoxParamA(Instance, MAKEINTRESOURCEA(AboutTemplate), Dialog, AboutProc, 0);
}
