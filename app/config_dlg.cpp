#include "app/config_dlg.h"

#include "app/about_dlg.h"
#include "app/config_app.h"
#include "app/process_guard.h"
#include "app/user_dialogs.h"
#include "app/wrapping_button.h"
#include "msr/msr_connection.h"
#include "msr/stop_request.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QSocketNotifier>
#include <QStandardItemModel>
#include <QToolTip>
#include <QValidator>

namespace {

// Sentinels are 8-bit codes shown as U+0000-U+00FF; anything else has no code to send.
class Latin1Validator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (QChar c : input)
            if (c.unicode() > 0xFF)
                return Invalid;
        return Acceptable;
    }
};

} // namespace

// Resources linked from a static library must be registered by name.
static void LoadResources() {
    Q_INIT_RESOURCE(resources);
}

CConfigDlg::CConfigDlg(CConfigApp& app, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), App(app), Dialogs(dialogs) {
    LoadResources();
    const DialogLayout layout = DialogLayout::Load(QStringLiteral(":/main_window.layout"));
    setWindowTitle(layout.Caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    BuildControls(layout);
    setFixedSize(DialogUnits(font()).ToPixels(layout.Units));
}

CConfigDlg::~CConfigDlg() = default;

void CConfigDlg::BuildControls(const DialogLayout& layout) {
    const DialogUnits units(font());
    QWidget* previous = nullptr;
    QList<QWidget*> background;
    for (const ControlLayout& entry : layout.Controls) {
        QWidget* widget = nullptr;
        if (entry.Kind == QLatin1String("check")) {
            auto* box = new QCheckBox(entry.Text, this);
            connect(box, &QCheckBox::clicked, this, &CConfigDlg::EnableEditing);
            widget = box;
        } else if (entry.Kind == QLatin1String("button")) {
            auto* button = new WrappingButton(entry.Text, this);
            button->setAutoDefault(false);
            widget = button;
        } else if (entry.Kind == QLatin1String("edit")) {
            auto* edit = new QLineEdit(this);
            edit->setValidator(new Latin1Validator(edit));
            connect(edit, &QLineEdit::textChanged, this, &CConfigDlg::EnableEditing);
            widget = edit;
        } else if (entry.Kind.endsWith(QLatin1String("list"))) {
            auto* list = new QComboBox(this);
            list->setEditable(false);
            widget = list;
        } else if (entry.Kind == QLatin1String("group")) {
            widget = new QGroupBox(entry.Text, this);
            background.append(widget);
        } else {
            widget = new QLabel(entry.Text, this);
            background.append(widget);
        }
        QRect pixels = units.ToPixels(entry.Units);
        // A drop-down list's height in the table is its opened height; closed it is one line.
        if (qobject_cast<QComboBox*>(widget))
            pixels.setHeight(widget->sizeHint().height());
        widget->setGeometry(pixels);
        if (entry.Id) {
            widget->setObjectName(QString::number(entry.Id));
            Controls.insert(entry.Id, widget);
        }
        if (!entry.ToolTip.isEmpty()) {
            widget->setToolTip(entry.ToolTip);
            widget->installEventFilter(this);
        }
        if (widget->focusPolicy() != Qt::NoFocus) {
            if (previous)
                setTabOrder(previous, widget);
            previous = widget;
        }
    }
    // Frames and labels lie behind the controls they surround, so they never take a click.
    for (QWidget* widget : background)
        widget->lower();

    connect(Button(IDC_GET), &QPushButton::clicked, this, &CConfigDlg::OnGetConfig);
    connect(Button(IDC_COMMIT), &QPushButton::clicked, this, &CConfigDlg::OnCommitConfig);
    connect(Button(IDC_SAVE), &QPushButton::clicked, this, &CConfigDlg::OnSaveConfig);
    connect(Button(IDC_LOAD), &QPushButton::clicked, this, &CConfigDlg::OnLoadConfig);
}

bool CConfigDlg::Initialise() {
    List(IDC_PORT)->clear();
    for (int i = 1; i <= 11; ++i)
        List(IDC_PORT)->addItem(QStringLiteral("COM%1").arg(i));
    List(IDC_BAUD)->clear();
    for (const char* baud : {"9600", "19200", "38400"})
        List(IDC_BAUD)->addItem(QString::fromLatin1(baud));
    List(IDC_BAUD)->model()->sort(0); // sorted as text: 19200, 38400, 9600

    // Linux desktops give a program no system menu, so About sits in a context menu.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction(QStringLiteral("&About Tavlon..."), this, &CConfigDlg::ShowAbout);
        menu.exec(mapToGlobal(at));
    });
    setWindowIcon(QIcon(QStringLiteral(":/msrconfig.svg")));

    List(IDC_PORT)->setCurrentIndex(2);
    List(IDC_BAUD)->setCurrentIndex(0);
    Button(IDC_COMMIT)->setEnabled(false);
    Button(IDC_SAVE)->setEnabled(false);

    if (App.BatchMode)
        RunBatch();
    return !Closed;
}

int CConfigDlg::RunModal() {
    // A stop signal closes the window and any box or chooser open over it; the operation
    // under way ends through its normal path, so the reader is released first.
    QSocketNotifier* stop = nullptr;
    if (StopNotification() >= 0) {
        stop = new QSocketNotifier(StopNotification(), QSocketNotifier::Read, this);
        connect(stop, &QSocketNotifier::activated, this, [this, stop] {
            stop->setEnabled(false);
            for (QWidget* window : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QDialog*>(window);
                    dialog && dialog != this && dialog->isVisible())
                    dialog->reject();
            done(ResultCancel);
        });
    }
    if (!Initialise() || StopRequested())
        return result();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    return exec();
}

void CConfigDlg::EnableEditing() {
    Button(IDC_COMMIT)->setEnabled(true);
    Button(IDC_SAVE)->setEnabled(true);
}

void CConfigDlg::ShowAbout() {
    CAboutDlg about(windowTitle(), windowIcon(), this);
    about.exec();
}

QString CConfigDlg::WrapToolTip(const QString& text, const QFont& font, int maxWidth) {
    const QFontMetrics metrics(font);
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QString line;
        // Break at blanks; runs of blanks stay as they were inside a line.
        for (const QString& word : paragraph.split(QLatin1Char(' '))) {
            QString candidate = line.isNull() ? word : line + QLatin1Char(' ') + word;
            if (!line.isNull() && !line.trimmed().isEmpty() &&
                metrics.horizontalAdvance(candidate) > maxWidth) {
                lines.append(line);
                line = word;
            } else {
                line = candidate;
            }
        }
        lines.append(line);
    }
    return lines.join(QLatin1Char('\n'));
}

bool CConfigDlg::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::ToolTip && widget && !widget->toolTip().isEmpty()) {
        // Leave room for the tooltip's own frame and margins inside the maximum width.
        const int frame = 2 * (style()->pixelMetric(QStyle::PM_ToolTipLabelFrameWidth) + 2);
        QToolTip::showText(
            static_cast<QHelpEvent*>(event)->globalPos(),
            WrapToolTip(widget->toolTip(), QToolTip::font(), ToolTipMaxWidth - frame), widget);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CConfigDlg::keyPressEvent(QKeyEvent* event) {
    // Enter never closes the window: it would throw away the configuration on screen.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled())
            button->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CConfigDlg::reject() {
    done(ResultCancel);
}

QCheckBox* CConfigDlg::Check(int id) const {
    return qobject_cast<QCheckBox*>(Control(id));
}
QLineEdit* CConfigDlg::Edit(int id) const {
    return qobject_cast<QLineEdit*>(Control(id));
}
QPushButton* CConfigDlg::Button(int id) const {
    return qobject_cast<QPushButton*>(Control(id));
}
QComboBox* CConfigDlg::List(int id) const {
    return qobject_cast<QComboBox*>(Control(id));
}
