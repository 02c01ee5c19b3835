// The window suite's front-end under Windows: the dialog built from template 102, with its
// messages sent as the system would send them for a person's clicks and keys.
#include "app/win32/config_window.h"
#include "app/win32/win32_user_dialogs.h"
#include "msr/win32/wide_text.h"
#include "test_window.h"

#include <algorithm>
#include <commctrl.h>
#include <map>

namespace {

std::string WindowText(HWND window) {
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

std::vector<std::string> Entries(HWND list) {
    std::vector<std::string> entries;
    for (LRESULT i = 0; i < SendMessageW(list, CB_GETCOUNT, 0, 0); ++i) {
        wchar_t text[256] = L"";
        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(Utf8(text));
    }
    return entries;
}

std::map<UINT_PTR, std::function<void()>> laterActions;

void CALLBACK RunLater(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    auto action = std::move(laterActions[timer]);
    laterActions.erase(timer);
    action();
}

class Win32TestWindow : public TestWindow {
  public:
    Win32TestWindow(CConfigApp& app, ScriptedDialogs& dialogs)
        : Window(GetModuleHandleA(nullptr)), Handler(app, Window, dialogs) {
        Window.SetHandler(&Handler);
    }

    CConfigDlg& Dlg() override { return Handler; }
    DialogControls& Controls() override { return Window; }
    std::unique_ptr<UserDialogs> PlatformDialogs() override {
        return std::make_unique<Win32UserDialogs>(Window.Window());
    }

    void Click(int id) override {
        if (IsWindowEnabled(Item(id)))
            SendMessageA(Item(id), BM_CLICK, 0, 0);
    }
    void Type(int id, const std::string& text) override {
        for (wchar_t c : Wide(text)) // as the keyboard delivers characters, whatever the code page
            SendMessageW(Item(id), WM_CHAR, c, 0);
    }
    void Press(int id, Key key) override {
        if (id)
            SendMessageA(Dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
        MSG message = {};
        message.hwnd = GetFocus() ? GetFocus() : Dialog();
        message.message = WM_KEYDOWN;
        message.wParam = key == Key::Enter ? VK_RETURN : VK_ESCAPE;
        if (!IsDialogMessageA(Dialog(), &message))
            DispatchMessageA(&message);
    }
    void ClickDuring(const std::vector<int>& ids, void (*operation)(TestWindow&)) override {
        for (int id : ids) // queued behind the click that starts the operation
            for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP})
                PostMessageA(Item(id), message, MK_LBUTTON, MAKELPARAM(5, 5));
        operation(*this);
        MSG message; // what the window does with the clicks, as its modal loop would
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            if (!IsDialogMessageA(Dialog(), &message))
                DispatchMessageA(&message);
    }
    void Later(std::function<void()> action, unsigned ms = 0) override {
        laterActions[SetTimer(nullptr, 0, ms, RunLater)] = std::move(action);
    }

    bool IsShown() override { return IsWindowVisible(Dialog()); }
    std::string Caption() override { return WindowText(Dialog()); }
    std::string ToolTip(int id) override { return ToolText(Item(id)); }
    std::string HoverToolTip(int id) override {
        // The pointer rests on the control of the shown window; its loop runs until the tip
        // had time.
        std::string shown;
        Later([&] {
            RECT area;
            GetWindowRect(Item(id), &area);
            POINT at = {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
            SetCursorPos(at.x, at.y);
            HWND under = IsWindowEnabled(Item(id)) ? Item(id) : Dialog();
            ScreenToClient(under, &at);
            PostMessageW(under, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
        });
        Later(
            [&] {
                if (IsWindowVisible(Window.ToolTips()))
                    shown = ToolText(nullptr, TTM_GETCURRENTTOOLW);
                Window.EndDialog(0);
            },
            1500);
        Window.RunModal();
        return shown;
    }
    std::vector<int> TabOrder() override { // a dialog's tab order is its children's order
        std::vector<int> order;
        for (HWND child : Children(Dialog()))
            if (GetWindowLongA(child, GWL_STYLE) & WS_TABSTOP)
                order.push_back(GetDlgCtrlID(child));
        return order;
    }
    std::vector<std::string> ListEntries(int id) override { return Entries(Item(id)); }
    std::string ListEntryToolTip(int id, int index) override {
        // The pointer on the entry in the dropped-down list, as a person moves it there.
        SendMessageW(Item(id), CB_SHOWDROPDOWN, TRUE, 0);
        COMBOBOXINFO info = {};
        info.cbSize = sizeof info;
        GetComboBoxInfo(Item(id), &info);
        SendMessageW(info.hwndList, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
        RECT entry = {};
        SendMessageW(info.hwndList, LB_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&entry));
        SendMessageW(info.hwndList, WM_MOUSEMOVE, 0, MAKELPARAM(entry.left + 2, entry.top + 2));
        const std::string text = ToolText(info.hwndList);
        SendMessageW(Item(id), CB_SHOWDROPDOWN, FALSE, 0);
        return text;
    }
    std::vector<std::string> StaticTexts() override {
        std::vector<std::string> texts;
        for (HWND child : Children(Dialog()))
            if (LOWORD(GetDlgCtrlID(child)) == 0xFFFF) // labels and group boxes have no id
                texts.push_back(WindowText(child));
        std::sort(texts.begin(), texts.end());
        return texts;
    }
    std::vector<std::string> ChooserFileTypes() override {
        std::vector<std::string> types;
        Later(
            [&] {
                HWND chooser = FindWindowW(L"#32770", L"Select");
                types = Entries(GetDlgItem(chooser, 0x470)); // the chooser's file type list
                PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
            },
            500);
        PlatformDialogs()->ChooseFileToOpen("Select");
        return types;
    }
    std::string AboutText() override {
        std::string text;
        ShowWindow(Dialog(), SW_SHOW);
        Later([&] {
            HWND about = GetLastActivePopup(Dialog());
            for (HWND child : Children(about != Dialog() ? about : nullptr))
                if (GetDlgCtrlID(child) != IDOK &&
                    (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
                    text += (text.empty() ? "" : "\n") + WindowText(child);
            PostMessageA(about, WM_COMMAND, IDOK, 0);
        });
        SendMessageA(Dialog(), WM_SYSCOMMAND, 0x0010, 0);
        return text;
    }
    std::vector<std::string> LayoutProblems() override {
        std::vector<std::string> problems;
        const LONG style = GetWindowLongA(Dialog(), GWL_STYLE);
        if (style & WS_THICKFRAME)
            problems.push_back("resizable");
        if (style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))
            problems.push_back("minimise or maximise box");
        RECT client;
        GetClientRect(Dialog(), &client);
        for (HWND child : Children(Dialog())) {
            RECT r;
            GetWindowRect(child, &r);
            MapWindowPoints(nullptr, Dialog(), reinterpret_cast<POINT*>(&r), 2);
            if (r.left < 0 || r.top < 0 || r.right > client.right || r.bottom > client.bottom)
                problems.push_back("outside: " + std::to_string(GetDlgCtrlID(child)));
        }
        if (SendMessageA(Window.ToolTips(), TTM_GETMAXTIPWIDTH, 0, 0) != 320)
            problems.push_back("tooltip lines not wrapped at 320 pixels");
        return problems;
    }

  private:
    HWND Dialog() const { return Window.Window(); }
    // A tool's text, or the showing one's; the ANSI messages give only 80 characters.
    std::string ToolText(HWND control, UINT message = TTM_GETTOOLINFOW) {
        wchar_t text[1024] = L"";
        TOOLINFOW tool = {};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = Dialog();
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = text;
        return SendMessageW(Window.ToolTips(), message, 0, reinterpret_cast<LPARAM>(&tool))
                   ? Utf8(text)
                   : std::string();
    }
    HWND Item(int id) const { return GetDlgItem(Dialog(), id); }

    ConfigWindow Window;
    CConfigDlg Handler;
};

} // namespace

std::unique_ptr<TestWindow> TestWindow::Create(CConfigApp& app, ScriptedDialogs& dialogs) {
    return std::make_unique<Win32TestWindow>(app, dialogs);
}
