#include "app/qt/about_dlg.h"

#include "app/qt/window_placement.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

CAboutDlg::CAboutDlg(const QString& caption, const QIcon& icon, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About ") + caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);

    auto* picture = new QLabel(this);
    picture->setPixmap(icon.pixmap(48, 48));
    auto* text = new QLabel(
        caption + QStringLiteral("\nVersion ") + QStringLiteral(MSRCONFIG_VERSION), this);
    text->setObjectName(QStringLiteral("aboutText"));
    // Wide enough that the title bar shows the whole title beside its buttons; title fonts
    // are often bold and larger than the text's.
    const int titleWidth = fontMetrics().horizontalAdvance(windowTitle()) * 5 / 4 + 120;
    text->setMinimumWidth(
        std::max(0, titleWidth - 48 - 12 - 2 * style()->pixelMetric(QStyle::PM_LayoutLeftMargin)));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(picture);
    row->addSpacing(12);
    row->addWidget(text, 1);
    auto* column = new QVBoxLayout(this);
    column->addLayout(row);
    column->addWidget(buttons);
    column->setSizeConstraint(QLayout::SetFixedSize);

    // Centred over the main window, frames included.
    adjustSize();
    if (parent)
        CentreWithFrame(this, [parent] { return parent->frameGeometry(); });
}
