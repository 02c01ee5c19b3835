// Message boxes and file choosers of the desktop, modal over the main window.
#pragma once

#include "app/user_dialogs.h"

class QWidget;

class QtUserDialogs : public UserDialogs {
  public:
    // Boxes and choosers open over this window.
    void SetParent(QWidget* parent) { Parent = parent; }
    Answer ShowMessage(const QString& text, const QString& caption, Buttons buttons,
                       Icon icon) override;
    QString ChooseFileToOpen(const QString& title) override;
    QString ChooseFileToSave(const QString& title) override;

  private:
    QWidget* Parent = nullptr;
};
