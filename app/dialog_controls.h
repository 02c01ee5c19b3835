// The window's controls as CConfigDlg reaches them: by identifier, with texts as bytes (one
// per character, as the sentinels travel). Each front-end implements it with its toolkit.
#pragma once

#include <string>

class DialogControls {
  public:
    virtual ~DialogControls() = default;

    virtual bool IsChecked(int id) const = 0;
    virtual void SetChecked(int id, bool checked) = 0;
    // Edit fields and labels (and, read only, a button's caption). Setting a text raises the
    // same change notification as typing.
    virtual std::string Text(int id) const = 0;
    virtual void SetText(int id, const std::string& text) = 0;
    virtual bool IsEnabled(int id) const = 0;
    virtual void SetEnabled(int id, bool enabled) = 0;
    // Drop-down lists; a sorted list places each entry in its order.
    virtual void ClearList(int id) = 0;
    virtual void AddListEntry(int id, const std::string& text) = 0;
    virtual void SelectListEntry(int id, int index) = 0;
    virtual std::string SelectedListText(int id) const = 0;
    // What an entry stands for, shown when the pointer rests on it (where the toolkit can).
    virtual void SetListEntryToolTip(int id, int index, const std::string& text) = 0;

    // The system-menu entry "&About Tavlon..." and the application icon.
    virtual void DecorateWindow() = 0;
    // False when the tooltip control cannot be created.
    virtual bool CreateToolTips() = 0;
    // Shows the window (centred) and runs it until EndDialog; returns its result.
    virtual int RunModal() = 0;
    virtual void EndDialog(int result) = 0;
    // The busy pointer while the reader is talked to.
    virtual void SetBusy(bool busy) = 0;
    // Throws away the clicks and key presses made while the window did not respond.
    virtual void DropQueuedInput() = 0;
};
