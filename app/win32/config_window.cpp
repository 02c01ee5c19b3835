#include "app/win32/config_window.h"

#include "app/config_dlg.h"
#include "msr/stop_request.h"
#include "msr/win32/wide_text.h"

#include <algorithm>
#include <commctrl.h>
#include <cstdlib>
#include <windowsx.h>
// After windows.h; initguid.h makes this file define the interfaces it names.
#include <initguid.h>
#include <oleacc.h>

namespace {

constexpr int MainTemplate = 102;
constexpr int AboutTemplate = 100;
constexpr int IconResource = 128;
constexpr UINT AboutCommand = 0x0010;
constexpr UINT_PTR StopTimer = 1;
constexpr int ToolTipMaxWidth = 320; // pixels at 96 dots per inch
constexpr UINT_PTR SentinelFilter = 1, EntryTipsFilter = 2;
constexpr UINT_PTR PlaceTool = 0x10000; // plus the control's identifier
const int SentinelFields[] = {IDC_TRACK1_START, IDC_TRACK2_START, IDC_TRACK3_START,
                              IDC_END_SENTINEL};

// Centres `window` over `area` (screen coordinates), frames included; one larger than the
// area keeps its title bar and left edge inside it.
void Centre(HWND window, const RECT& area) {
    RECT own;
    GetWindowRect(window, &own);
    const int width = own.right - own.left, height = own.bottom - own.top;
    SetWindowPos(window, nullptr, area.left + std::max(0L, (area.right - area.left - width) / 2),
                 area.top + std::max(0L, (area.bottom - area.top - height) / 2), 0, 0,
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

// The window's dots per inch, where the system tells them per window (Windows 10 and later).
UINT WindowDpi(HWND window) {
    using GetDpi = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpi>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32"), "GetDpiForWindow")));
    if (getDpi)
        return getDpi(window);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return static_cast<UINT>(dpi);
}

// A sentinel is one byte: characters above U+00FF have none and are refused, as on Linux,
// whatever the system's code page.
LRESULT CALLBACK FilterSentinel(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR) {
    if ((message == WM_CHAR || message == WM_IME_CHAR) && wParam > 0xFF) {
        MessageBeep(MB_OK);
        return 0;
    }
    if (message == WM_PASTE && OpenClipboard(edit)) {
        std::string bytes;
        bool fits = true;
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
                fits = WideToLatin1(text, bytes);
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
        if (!fits) {
            MessageBeep(MB_OK);
            return 0;
        }
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

} // namespace

ConfigWindow::ConfigWindow(HINSTANCE instance) : Instance(instance) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); // for the accessible names
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // The template has no WS_VISIBLE: the initialisation, and a batch run, come first.
    CreateDialogParamW(instance, MAKEINTRESOURCEW(MainTemplate), nullptr, DialogProc,
                       reinterpret_cast<LPARAM>(this));
    if (!Dialog)
        return; // no template linked in: no window, and every control reads as empty
    for (int id : SentinelFields)
        SetWindowSubclass(GetDlgItem(Dialog, id), FilterSentinel, SentinelFilter, 0);
    NameByLabels();
    // A stop (Ctrl-C, Ctrl-Break, the console closing) is looked at from whichever message
    // loop runs: the window's, or that of a box a batch run opens before the window shows.
    SetTimer(Dialog, StopTimer, 100, nullptr);
}

ConfigWindow::~ConfigWindow() {
    if (ToolTip)
        DestroyWindow(ToolTip);
    if (Dialog)
        DestroyWindow(Dialog);
    if (SmallIcon)
        DestroyIcon(SmallIcon);
    CoUninitialize();
}

INT_PTR CALLBACK ConfigWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
        reinterpret_cast<ConfigWindow*>(lParam)->Dialog = dialog;
        return TRUE;
    }
    auto* window = reinterpret_cast<ConfigWindow*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    return window ? window->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR ConfigWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_PORT && HIWORD(wParam) == CBN_DROPDOWN)
            WatchPortList();
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
        SetWindowLongPtrW(Dialog, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(Icon));
        return TRUE;
    case WM_DPICHANGED: {
        // The system scales the dialog; the tips' width and the small icon follow.
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(Dialog, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        ScaleToDpi();
        return TRUE;
    }
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
            SendMessageW(Dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focused), TRUE);
    }
}

// A screen reader names a field by the label before it in the template; the sentinel
// fields come before theirs. So every field and list is named by the label on its row, as
// a person reads it, without changing the template's order.
void ConfigWindow::NameByLabels() {
    IAccPropServices* names = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&names))))
        return;
    const auto rowOf = [this](HWND control) {
        RECT area;
        GetWindowRect(control, &area);
        MapWindowPoints(nullptr, Dialog, reinterpret_cast<POINT*>(&area), 2);
        return area;
    };
    for (HWND control = GetWindow(Dialog, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        wchar_t kind[16] = L"";
        GetClassNameW(control, kind, 16);
        if (lstrcmpiW(kind, L"Edit") != 0 && lstrcmpiW(kind, L"ComboBox") != 0)
            continue;
        const RECT field = rowOf(control);
        HWND nearest = nullptr;
        int distance = 0;
        for (HWND label = GetWindow(Dialog, GW_CHILD); label;
             label = GetWindow(label, GW_HWNDNEXT)) {
            GetClassNameW(label, kind, 16);
            const RECT place = rowOf(label);
            const int apart = std::abs(place.left - field.left);
            if (lstrcmpiW(kind, L"Static") == 0 && LOWORD(GetDlgCtrlID(label)) == 0xFFFF &&
                std::abs((place.top + place.bottom) - (field.top + field.bottom)) <=
                    field.bottom - field.top &&
                (!nearest || apart < distance))
                nearest = label, distance = apart;
        }
        if (!nearest)
            continue;
        wchar_t name[128] = L"";
        GetWindowTextW(nearest, name, 128);
        std::wstring text = name;
        while (!text.empty() && (text.back() == L' ' || text.back() == L':'))
            text.pop_back();
        names->SetHwndPropStr(control, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_NAME, text.c_str());
    }
    names->Release();
}

bool ConfigWindow::PaintMinimised() {
    if (!IsIconic(Dialog))
        return false;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Dialog, &paint);
    SendMessageW(Dialog, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
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
    HWND item = GetDlgItem(Dialog, id);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(item, text.data(), int(text.size()))));
    std::string bytes;
    WideToLatin1(text, bytes); // the sentinel fields hold nothing above U+00FF
    return bytes;
}

void ConfigWindow::SetText(int id, const std::string& text) {
    // An edit field reports EN_CHANGE as for typing.
    SetDlgItemTextW(Dialog, id, Latin1ToWide(text).c_str());
}

bool ConfigWindow::IsEnabled(int id) const {
    return IsWindowEnabled(GetDlgItem(Dialog, id));
}

void ConfigWindow::SetEnabled(int id, bool enabled) {
    EnableWindow(GetDlgItem(Dialog, id), enabled);
}

void ConfigWindow::ClearList(int id) {
    SendDlgItemMessageW(Dialog, id, CB_RESETCONTENT, 0, 0);
    EntryTips.erase(id);
}

void ConfigWindow::AddListEntry(int id, const std::string& text) {
    SendDlgItemMessageW(Dialog, id, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(Latin1ToWide(text).c_str()));
}

void ConfigWindow::SelectListEntry(int id, int index) {
    SendDlgItemMessageW(Dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string ConfigWindow::SelectedListText(int id) const {
    const LRESULT index = SendDlgItemMessageW(Dialog, id, CB_GETCURSEL, 0, 0);
    const LRESULT length = SendDlgItemMessageW(Dialog, id, CB_GETLBTEXTLEN, index, 0);
    if (index == CB_ERR || length == CB_ERR)
        return std::string();
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendDlgItemMessageW(Dialog, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    std::string bytes;
    WideToLatin1(text, bytes);
    return bytes;
}

void ConfigWindow::SetListEntryToolTip(int id, int index, const std::string& text) {
    auto& tips = EntryTips[id];
    if (tips.size() <= static_cast<std::size_t>(index))
        tips.resize(static_cast<std::size_t>(index) + 1);
    tips[static_cast<std::size_t>(index)] = Wide(text);
}

std::string ConfigWindow::EntryToolTip(int id, int index) const {
    const auto tips = EntryTips.find(id);
    if (tips == EntryTips.end() || index < 0 ||
        static_cast<std::size_t>(index) >= tips->second.size())
        return std::string();
    return Utf8(tips->second[static_cast<std::size_t>(index)]);
}

// The port list's drop-down shows a tip for the entry under the pointer: where it leads.
void ConfigWindow::WatchPortList() {
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    if (!ToolTip || !GetComboBoxInfo(GetDlgItem(Dialog, IDC_PORT), &info) || !info.hwndList ||
        info.hwndList == PortList)
        return;
    PortList = info.hwndList;
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = Dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(PortList);
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(ToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SetWindowSubclass(PortList, &ConfigWindow::FollowPointer, EntryTipsFilter,
                      reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK ConfigWindow::FollowPointer(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR, DWORD_PTR self) {
    auto* window = reinterpret_cast<ConfigWindow*>(self);
    if (message == WM_MOUSEMOVE)
        window->ShowEntryTip(
            static_cast<int>(LOWORD(SendMessageW(list, LB_ITEMFROMPOINT, 0, lParam))));
    return DefSubclassProc(list, message, wParam, lParam);
}

void ConfigWindow::ShowEntryTip(int index) {
    if (index == TippedEntry)
        return;
    TippedEntry = index;
    const std::wstring text = Wide(EntryToolTip(IDC_PORT, index));
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = Dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(PortList);
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(ToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void ConfigWindow::DecorateWindow() {
    if (HMENU menu = GetSystemMenu(Dialog, FALSE)) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, AboutCommand, L"&About Tavlon...");
    }
    Icon = LoadIconW(Instance, MAKEINTRESOURCEW(IconResource));
    SendMessageW(Dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Icon));
    ScaleToDpi();
}

void ConfigWindow::ScaleToDpi() {
    const int dpi = static_cast<int>(WindowDpi(Dialog));
    using MetricsForDpi = int(WINAPI*)(int, UINT);
    const auto metrics = reinterpret_cast<MetricsForDpi>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32"), "GetSystemMetricsForDpi")));
    const int width = metrics ? metrics(SM_CXSMICON, UINT(dpi)) : GetSystemMetrics(SM_CXSMICON);
    const int height = metrics ? metrics(SM_CYSMICON, UINT(dpi)) : GetSystemMetrics(SM_CYSMICON);
    if (HICON small = static_cast<HICON>(
            LoadImageW(Instance, MAKEINTRESOURCEW(IconResource), IMAGE_ICON, width, height, 0))) {
        SendMessageW(Dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
        if (SmallIcon)
            DestroyIcon(SmallIcon);
        SmallIcon = small;
    }
    if (ToolTip) {
        SendMessageW(ToolTip, TTM_SETMAXTIPWIDTH, 0, MulDiv(ToolTipMaxWidth, dpi, 96));
        PlaceTools();
    }
}

bool ConfigWindow::CreateToolTips() {
    ToolTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Dialog,
                              nullptr, Instance, nullptr);
    if (!ToolTip)
        return false;
    // One tool per control with a text in the string table, keyed by its identifier.
    for (HWND control = GetWindow(Dialog, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        wchar_t text[1024];
        const int id = GetDlgCtrlID(control);
        if (id <= 0 || LoadStringW(Instance, static_cast<UINT>(id), text, 1024) <= 0)
            continue;
        TOOLINFOW tool = {};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = Dialog;
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = text;
        SendMessageW(ToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        // And over its place, for when it is disabled.
        tool.uFlags = 0;
        tool.uId = PlaceTool + static_cast<UINT_PTR>(id);
        SendMessageW(ToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    ScaleToDpi();
    return true;
}

int ConfigWindow::RunModal() {
    // Centred in the work area of the monitor it is on, frames included.
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(Dialog, MONITOR_DEFAULTTOPRIMARY), &monitor);
    Centre(Dialog, monitor.rcWork);
    ShowWindow(Dialog, SW_SHOW);
    SetForegroundWindow(Dialog);
    MSG message;
    while (!Ended && GetMessageW(&message, nullptr, 0, 0) > 0) {
        RelayToDisabledControl(message);
        if (!IsDialogMessageW(Dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return Result;
}

// A disabled control gets no mouse messages: the window does, and hands them on to the
// tooltips, whose tools over the controls' places tell what a greyed button does.
void ConfigWindow::RelayToDisabledControl(const MSG& message) {
    if (ToolTip && message.hwnd == Dialog && message.message >= WM_MOUSEFIRST &&
        message.message <= WM_MOUSELAST)
        SendMessageW(ToolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&message));
}

// The tools for the controls' places, where the window gets the pointer's messages.
void ConfigWindow::PlaceTools() {
    for (HWND control = GetWindow(Dialog, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        TOOLINFOW tool = {};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = Dialog;
        tool.uId = PlaceTool + static_cast<UINT_PTR>(GetDlgCtrlID(control));
        GetWindowRect(control, &tool.rect);
        MapWindowPoints(nullptr, Dialog, reinterpret_cast<POINT*>(&tool.rect), 2);
        SendMessageW(ToolTip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void ConfigWindow::EndDialog(int result) {
    Ended = true;
    Result = result;
    ShowWindow(Dialog, SW_HIDE);
    PostMessageW(Dialog, WM_NULL, 0, 0); // wakes the loop
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
        while (PeekMessageW(&message, nullptr, first, last, PM_REMOVE)) {
        }
}

void ConfigWindow::ShowAbout() {
    DialogBoxParamW(Instance, MAKEINTRESOURCEW(AboutTemplate), Dialog, AboutProc, 0);
}
