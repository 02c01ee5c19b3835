// The Win32 front-end of the main window: dialog template 102 (generated from the layout
// table), the controls seam over its dialog items (texts as U+0000-U+00FF, one per byte),
// tooltips from the string table and where each port leads, the system menu's About entry,
// the scaling to each monitor's DPI, the minimised painting, and the modal message loop.
#pragma once

#include "app/dialog_controls.h"

#include <map>
#include <string>
#include <vector>
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
    // Shown for the entry under the pointer while the list is dropped down.
    void SetListEntryToolTip(int id, int index, const std::string& text) override;
    std::string EntryToolTip(int id, int index) const;
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
    void ScaleToDpi();
    void WatchPortList();
    void ShowEntryTip(int index);
    void RelayToDisabledControl(const MSG& message);
    void PlaceTools();
    void NameByLabels();
    static LRESULT CALLBACK FollowPointer(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR, DWORD_PTR self);

    HINSTANCE Instance;
    HWND Dialog = nullptr;
    HWND ToolTip = nullptr;
    HICON Icon = nullptr;
    HICON SmallIcon = nullptr;
    CConfigDlg* Handler = nullptr;
    std::map<int, std::vector<std::wstring>> EntryTips;
    HWND PortList = nullptr; // the port list's drop-down, once it has been shown
    int TippedEntry = -1;
    bool Ended = false;
    int Result = 0;
};
