// Message boxes and file choosers of the desktop, modal over the main window.
#pragma once

#include "app/user_dialogs.h"

class QWidget;

class QtUserDialogs : public UserDialogs {
  public:
    // Boxes and choosers open over `parent` while it is shown, else centred on the screen.
    explicit QtUserDialogs(QWidget* parent = nullptr) : Parent(parent) {}
    Answer ShowMessage(const std::string& text, const std::string& caption, Buttons buttons,
                       Icon icon) override;
    std::string ChooseFileToOpen(const std::string& title) override;
    std::string ChooseFileToSave(const std::string& title) override;
    void DismissAll() override;

  private:
    QWidget* Owner() const;

    QWidget* Parent;
};
