// The main window's layout table (resources/main_window.layout) and the conversion of its
// dialog units into pixels for a font, so the proportions hold whatever font is in use.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QVector>

struct ControlLayout {
    int Id = 0; // 0 for controls without an identifier
    QString Kind;
    QRect Units; // x, y, width, height in dialog units
    QString Text;
    QString ToolTip;
};

struct DialogLayout {
    int TemplateId = 0;
    QSize Units;
    QString Caption;
    QVector<ControlLayout> Controls; // in tab order

    // Reads a layout table; an empty layout (no controls) when it cannot be read.
    static DialogLayout Load(const QString& path);
};

// A horizontal dialog unit is a quarter of the font's average character width, a vertical
// one an eighth of its height.
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);
    QRect ToPixels(const QRect& units) const;
    QSize ToPixels(const QSize& units) const;

  private:
    double BaseX;
    double BaseY;
};
