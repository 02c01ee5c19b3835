#include "app/qt/dialog_layout.h"

#include <QFile>
#include <QFontMetricsF>
#include <QTextStream>
#include <cmath>

namespace {
QString Unescape(QString text) {
    return text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
}
} // namespace

DialogLayout DialogLayout::Load(const QString& path) {
    DialogLayout layout;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return layout;
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.value(0) == QLatin1String("window") && f.size() >= 5) {
            layout.TemplateId = f[1].toInt();
            layout.Units = QSize(f[2].toInt(), f[3].toInt());
            layout.Caption = f[4];
            continue;
        }
        if (f.size() < 6)
            continue;
        ControlLayout control;
        control.Id = f[0].toInt(); // "-" gives 0
        control.Kind = f[1];
        control.Units = QRect(f[2].toInt(), f[3].toInt(), f[4].toInt(), f[5].toInt());
        control.Text = Unescape(f.value(6));
        control.ToolTip = Unescape(f.value(7));
        layout.Controls.append(control);
    }
    return layout;
}

DialogUnits::DialogUnits(const QFont& font) {
    QFontMetricsF metrics(font);
    // The average width over the alphabet, as dialog base units are measured.
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    BaseX = metrics.horizontalAdvance(alphabet) / alphabet.size();
    BaseY = metrics.height();
}

QRect DialogUnits::ToPixels(const QRect& units) const {
    return QRect(
        QPoint(int(std::lround(units.x() * BaseX / 4)), int(std::lround(units.y() * BaseY / 8))),
        ToPixels(units.size()));
}

QSize DialogUnits::ToPixels(const QSize& units) const {
    return QSize(int(std::lround(units.width() * BaseX / 4)),
                 int(std::lround(units.height() * BaseY / 8)));
}
