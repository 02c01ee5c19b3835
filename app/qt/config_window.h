// The Qt front-end of the main window: renders the layout table, implements the controls
// seam with widgets, and reports clicks and edits to CConfigDlg. Tooltips, the About box
// (from a context menu, as Linux desktops give a program no system menu), Enter and
// Escape, and the stop signal's wake-up live here.
#pragma once

#include "app/dialog_controls.h"

#include <QDialog>
#include <QMap>

class CConfigDlg;
class QComboBox;
class QLabel;
struct DialogLayout;

inline constexpr int ToolTipMaxWidth = 320;

class ConfigWindow : public QDialog, public DialogControls {
    Q_OBJECT
  public:
    explicit ConfigWindow(QWidget* parent = nullptr);
    ~ConfigWindow() override;

    // Where clicks, edits and closing go.
    void SetHandler(CConfigDlg* handler) { Handler = handler; }
    QWidget* Control(int id) const { return Controls.value(id); }
    // A tooltip text broken into lines no wider than the tooltip's maximum width.
    static QString WrapToolTip(const QString& text, const QFont& font, int maxWidth);
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
    void SetListEntryToolTip(int id, int index, const std::string& text) override;
    void DecorateWindow() override;
    bool CreateToolTips() override;
    int RunModal() override;
    void EndDialog(int result) override;
    void SetBusy(bool busy) override;
    void DropQueuedInput() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

  private:
    void FitFontToScreen(const QSize& units);
    void BuildControls(const DialogLayout& layout);
    void NameByLabels(const QList<QLabel*>& labels);
    void PutIntoGroups();
    void Clicked(int id);
    QComboBox* List(int id) const;

    QMap<int, QWidget*> Controls;
    QMap<int, QString> ToolTips;
    QMap<int, bool> SortedLists;
    CConfigDlg* Handler = nullptr;
    bool FocusShown = false;
};
