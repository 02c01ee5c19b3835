// The window's controls kept in memory, for a batch run nobody watches: CConfigDlg runs on
// them exactly as on a window, without any toolkit or display. Lists keep the order entries
// were added in.
#pragma once

#include "app/dialog_controls.h"

#include <map>
#include <string>
#include <vector>

class CConfigDlg;

class CStoredControls : public DialogControls {
  public:
    // Where edits are reported, as a window reports typing.
    void SetHandler(CConfigDlg* handler) { Handler = handler; }

    bool IsChecked(int id) const override;
    void SetChecked(int id, bool checked) override { Checked[id] = checked; }
    std::string Text(int id) const override;
    void SetText(int id, const std::string& text) override;
    bool IsEnabled(int id) const override;
    void SetEnabled(int id, bool enabled) override { Disabled[id] = !enabled; }
    void ClearList(int id) override;
    void AddListEntry(int id, const std::string& text) override { Lists[id].push_back(text); }
    void SelectListEntry(int id, int index) override { Selected[id] = index; }
    std::string SelectedListText(int id) const override;
    void SetListEntryToolTip(int, int, const std::string&) override {}
    void DecorateWindow() override {}
    bool CreateToolTips() override { return true; }
    int RunModal() override { return Result; }
    void EndDialog(int result) override { Result = result; }
    void SetBusy(bool) override {}
    void DropQueuedInput() override {}

  private:
    CConfigDlg* Handler = nullptr;
    std::map<int, bool> Checked, Disabled;
    std::map<int, std::string> Texts;
    std::map<int, std::vector<std::string>> Lists;
    std::map<int, int> Selected;
    int Result = 0;
};
