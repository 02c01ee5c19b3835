// The Win32 front-end of the main window: dialog template 102 (generated from the layout
// table), the controls seam over its dialog items, tooltips from the string table, the
// system menu's About entry, the minimised painting, and the modal message loop.
#pragma once

#include "app/dialog_controls.h"

#include <windows.h>

class CConfigDlg;

class ConfigWindow : public DialogControls {
  public:
    explicit ConfigWindow(HINSTANCE instance);
    ConfigWindow(const ConfigWindow&) = delete;
    ConfigWindow& operator=(const ConfigWindow&) = delete;
    ~ConfigWindow() override;

    // Where clicks, edits and closing go.
    void SetHandler(CConfigDlg* handler) { Handler = handler; }
    HWND Window() const { return Dialog; }
    HWND ToolTips() const { return ToolTip; }
    void ShowAbout();

    bool IsChecked(int id) const override;
    void SetChecked(int id, bool checked) override;
    std::string Text(int id) const override;
    void SetText(int id, const std::string& text) override;
    bool IsEnabled(int id) const override;
    void SetEnabled(int id, bool enabled) override;
    void ClearList(int id) override;
    void AddListEntry(int id, const std::string& text) override;
    void SelectListEntry(int id, int index) override;
    std::string SelectedListText(int id) const override;
    // A drop-down list here has no tips per entry; the names are the system's own.
    void SetListEntryToolTip(int, int, const std::string&) override {}
    void DecorateWindow() override;
    bool CreateToolTips() override;
    int RunModal() override;
    void EndDialog(int result) override;
    void SetBusy(bool busy) override;
    void DropQueuedInput() override;

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Command(int id, int code);
    bool PaintMinimised();

    HINSTANCE Instance;
    HWND Dialog = nullptr;
    HWND ToolTip = nullptr;
    HICON Icon = nullptr;
    HICON SmallIcon = nullptr;
    CConfigDlg* Handler = nullptr;
    bool Ended = false;
    int Result = 0;
};
