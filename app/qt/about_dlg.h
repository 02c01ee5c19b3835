// The About box: the program's icon, caption and version, and an OK button.
#pragma once

#include <QDialog>
#include <QIcon>

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    CAboutDlg(const QString& caption, const QIcon& icon, QWidget* parent);
};
