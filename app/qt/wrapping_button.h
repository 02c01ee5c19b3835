// A push button whose caption wraps onto several lines when it does not fit on one.
#pragma once

#include <QPushButton>

class WrappingButton : public QPushButton {
    Q_OBJECT
  public:
    explicit WrappingButton(const QString& text, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};
