#include "app/qt/config_window.h"

#include "app/config_dlg.h"
#include "app/process_guard.h"
#include "app/qt/about_dlg.h"
#include "app/qt/dialog_layout.h"
#include "app/qt/window_placement.h"
#include "app/qt/wrapping_button.h"
#include "msr/stop_request.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
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
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QSocketNotifier>
#include <QTimer>
#include <QToolTip>
#include <QValidator>
#include <cstdlib>

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

// Swallows the person's input while it is installed.
class InputEater : public QObject {
  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        default:
            return false;
        }
    }
};

// A drop-down list as assistive technology meets it. Qt names a list on Linux by its
// current entry and leaves the label to a relation; a screen reader should hear "COM Port",
// then the entry, as on other systems.
class ListAccessible : public QAccessibleWidget {
  public:
    explicit ListAccessible(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value ||
            (t == QAccessible::Name && List()->accessibleName().isEmpty()))
            return List()->currentText();
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(List()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && child->object() == List()->view() ? 0 : -1;
    }
    QStringList actionNames() const override {
        return {QAccessibleActionInterface::showMenuAction(),
                QAccessibleActionInterface::pressAction()};
    }
    void doAction(const QString& action) override {
        if (action == QAccessibleActionInterface::showMenuAction() ||
            action == QAccessibleActionInterface::pressAction())
            List()->showPopup();
    }

  private:
    QComboBox* List() const { return static_cast<QComboBox*>(widget()); }
};

// A value shown in a label ("SIM 1.00") is named by the value alone, also while empty: its
// label is read once, as the label it is, not again as the value's name.
class ValueAccessible : public QAccessibleWidget {
  public:
    explicit ValueAccessible(QLabel* value) : QAccessibleWidget(value, QAccessible::StaticText) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name || t == QAccessible::Value)
            return static_cast<QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

const char* const ValueProperty = "msrconfigValue";

QAccessibleInterface* ListAccessibleFactory(const QString& key, QObject* object) {
    auto* list = qobject_cast<QComboBox*>(object);
    if (key == QLatin1String("QComboBox") && list && !list->isEditable())
        return new ListAccessible(list);
    auto* value = qobject_cast<QLabel*>(object);
    if (key == QLatin1String("QLabel") && value && value->property(ValueProperty).toBool())
        return new ValueAccessible(value);
    return nullptr;
}

} // namespace

// Resources linked from a static library must be registered by name, outside any namespace.
static void LoadResources() {
    Q_INIT_RESOURCE(resources);
}

ConfigWindow::ConfigWindow(QWidget* parent) : QDialog(parent) {
    LoadResources();
    static const bool listsNamed = (QAccessible::installFactory(ListAccessibleFactory), true);
    Q_UNUSED(listsNamed);
    const DialogLayout layout = DialogLayout::Load(QStringLiteral(":/main_window.layout"));
    setWindowTitle(layout.Caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    FitFontToScreen(layout.Units);
    BuildControls(layout);
    setFixedSize(DialogUnits(font()).ToPixels(layout.Units));
    // A stop signal closes the window and any box or chooser open at the time, also one a
    // batch run opens before the window is shown; the operation under way ends through its
    // normal path, so the reader is released first.
    if (StopNotification() >= 0) {
        auto* stop = new QSocketNotifier(StopNotification(), QSocketNotifier::Read, this);
        connect(stop, &QSocketNotifier::activated, this, [this, stop] {
            stop->setEnabled(false);
            if (Handler)
                Handler->OnStopRequested();
        });
    }
}

ConfigWindow::~ConfigWindow() = default;

// The window grows with the font; where a large one would carry it past the work area, frame
// included, the window takes the largest smaller font with which it fits.
void ConfigWindow::FitFontToScreen(const QSize& units) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QFont shrunk = font();
    const auto fits = [&](const QFont& f) {
        const int titleBar = 2 * QFontMetrics(f).height() + 8; // the frame is not known yet
        const QSize size = DialogUnits(f).ToPixels(units) + QSize(16, titleBar);
        return size.width() <= area.width() && size.height() <= area.height();
    };
    while (!fits(shrunk)) {
        if (shrunk.pointSizeF() > 6)
            shrunk.setPointSizeF(shrunk.pointSizeF() - 0.5);
        else if (shrunk.pointSizeF() <= 0 && shrunk.pixelSize() > 8)
            shrunk.setPixelSize(shrunk.pixelSize() - 1);
        else
            break; // the smallest readable font; the placement keeps the title bar on screen
    }
    if (shrunk != font())
        setFont(shrunk);
}

void ConfigWindow::BuildControls(const DialogLayout& layout) {
    const DialogUnits units(font());
    QWidget* previous = nullptr;
    QList<QWidget*> background;
    QList<QLabel*> labels;
    for (const ControlLayout& entry : layout.Controls) {
        QWidget* widget = nullptr;
        const int id = entry.Id;
        if (entry.Kind == QLatin1String("check")) {
            auto* box = new QCheckBox(entry.Text, this);
            connect(box, &QCheckBox::clicked, this, [this, id] { Clicked(id); });
            widget = box;
        } else if (entry.Kind == QLatin1String("button")) {
            auto* button = new WrappingButton(entry.Text, this);
            button->setAutoDefault(false);
            connect(button, &QPushButton::clicked, this, [this, id] { Clicked(id); });
            widget = button;
        } else if (entry.Kind == QLatin1String("edit")) {
            auto* edit = new QLineEdit(this);
            edit->setValidator(new Latin1Validator(edit));
            connect(edit, &QLineEdit::textChanged, this, [this, id] {
                if (Handler)
                    Handler->OnTextChanged(id);
            });
            widget = edit;
        } else if (entry.Kind.endsWith(QLatin1String("list"))) {
            auto* list = new QComboBox(this);
            list->setEditable(false);
            connect(list, &QComboBox::currentIndexChanged, list, [list](int index) {
                list->setAccessibleDescription(
                    list->itemData(index, Qt::AccessibleDescriptionRole).toString());
            });
            SortedLists.insert(id, entry.Kind.startsWith(QLatin1String("sorted")));
            widget = list;
        } else if (entry.Kind == QLatin1String("group")) {
            widget = new QGroupBox(entry.Text, this);
            background.append(widget);
        } else {
            auto* label = new QLabel(entry.Text, this);
            if (!id)
                labels.append(label);
            else
                label->setProperty(ValueProperty, true);
            widget = label;
            background.append(widget);
        }
        QRect pixels = units.ToPixels(entry.Units);
        // A drop-down list's height in the table is its opened height; closed it is one line.
        if (qobject_cast<QComboBox*>(widget))
            pixels.setHeight(widget->sizeHint().height());
        widget->setGeometry(pixels);
        if (id) {
            widget->setObjectName(QString::number(id));
            Controls.insert(id, widget);
        }
        if (!entry.ToolTip.isEmpty())
            ToolTips.insert(id, entry.ToolTip);
        if (widget->focusPolicy() != Qt::NoFocus) {
            if (previous)
                setTabOrder(previous, widget);
            previous = widget;
        }
    }
    // Frames and labels lie behind the controls they surround, so they never take a click.
    for (QWidget* widget : background)
        widget->lower();
    NameByLabels(labels);
    PutIntoGroups();
}

// A label on the same row as a field, list or value names it for assistive technology, as
// a person reads it: "Start Sentinel(Track 1)", "COM Port"; a value it labels.
void ConfigWindow::NameByLabels(const QList<QLabel*>& labels) {
    for (auto control = Controls.cbegin(); control != Controls.cend(); ++control) {
        QWidget* widget = control.value();
        if (!qobject_cast<QLineEdit*>(widget) && !qobject_cast<QComboBox*>(widget) &&
            !qobject_cast<QLabel*>(widget))
            continue;
        QLabel* nearest = nullptr;
        for (QLabel* label : labels)
            if (std::abs(label->geometry().center().y() - widget->geometry().center().y()) <=
                    widget->height() / 2 &&
                (!nearest ||
                 std::abs(label->x() - widget->x()) < std::abs(nearest->x() - widget->x())))
                nearest = label;
        if (!nearest)
            continue;
        nearest->setBuddy(widget); // the "labelled by" relation
        // A value shown in a label keeps the value as its name: "SIM 1.00", labelled by
        // "Firmware Revision : ".
        if (!qobject_cast<QLabel*>(widget))
            widget->setAccessibleName(
                nearest->text().trimmed().remove(QRegularExpression(QStringLiteral("\\s*:$"))));
    }
}

// Each control belongs to the frame around it, as a screen reader tells it: the options and
// sentinels in "MSR Configuration Parameters", the lists in "MSR Communication Parameters".
void ConfigWindow::PutIntoGroups() {
    const QList<QGroupBox*> groups =
        findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* widget : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (qobject_cast<QGroupBox*>(widget))
            continue;
        for (QGroupBox* group : groups)
            if (group->geometry().contains(widget->geometry())) {
                const QRect inside = widget->geometry().translated(-group->pos());
                widget->setParent(group);
                widget->setGeometry(inside);
                widget->show();
                break;
            }
    }
}

void ConfigWindow::Clicked(int id) {
    if (!Handler)
        return;
    // Disabling the focused button moves the focus on; give it back once it is enabled again.
    QPointer<QWidget> focused = focusWidget();
    Handler->OnClicked(id);
    if (focused && focused->isEnabled() && isVisible())
        focused->setFocus();
}

bool ConfigWindow::IsChecked(int id) const {
    auto* box = qobject_cast<QCheckBox*>(Control(id));
    return box && box->isChecked();
}

void ConfigWindow::SetChecked(int id, bool checked) {
    if (auto* box = qobject_cast<QCheckBox*>(Control(id)))
        box->setChecked(checked);
}

std::string ConfigWindow::Text(int id) const {
    QString text;
    if (auto* edit = qobject_cast<QLineEdit*>(Control(id)))
        text = edit->text();
    else if (auto* label = qobject_cast<QLabel*>(Control(id)))
        text = label->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(Control(id)))
        text = button->text();
    return text.toLatin1().toStdString();
}

void ConfigWindow::SetText(int id, const std::string& text) {
    const QString latin1 = QString::fromLatin1(text.data(), qsizetype(text.size()));
    if (auto* edit = qobject_cast<QLineEdit*>(Control(id)))
        edit->setText(latin1);
    else if (auto* label = qobject_cast<QLabel*>(Control(id)))
        label->setText(latin1);
}

bool ConfigWindow::IsEnabled(int id) const {
    return Control(id) && Control(id)->isEnabled();
}

void ConfigWindow::SetEnabled(int id, bool enabled) {
    if (QWidget* control = Control(id))
        control->setEnabled(enabled);
}

QComboBox* ConfigWindow::List(int id) const {
    return qobject_cast<QComboBox*>(Control(id));
}

void ConfigWindow::ClearList(int id) {
    if (QComboBox* list = List(id))
        list->clear();
}

void ConfigWindow::AddListEntry(int id, const std::string& text) {
    QComboBox* list = List(id);
    if (!list)
        return;
    const QString entry = QString::fromLatin1(text.data(), qsizetype(text.size()));
    int at = list->count();
    if (SortedLists.value(id))
        while (at > 0 && list->itemText(at - 1) > entry)
            --at;
    list->insertItem(at, entry);
}

void ConfigWindow::SelectListEntry(int id, int index) {
    if (QComboBox* list = List(id))
        list->setCurrentIndex(index);
}

std::string ConfigWindow::SelectedListText(int id) const {
    QComboBox* list = List(id);
    return list ? list->currentText().toLatin1().toStdString() : std::string();
}

void ConfigWindow::SetListEntryToolTip(int id, int index, const std::string& text) {
    QComboBox* list = List(id);
    if (!list)
        return;
    // For the pointer, and for assistive technology, which also hears it of the chosen entry.
    list->setItemData(index, QString::fromStdString(text), Qt::ToolTipRole);
    list->setItemData(index, QString::fromStdString(text), Qt::AccessibleDescriptionRole);
    if (index == list->currentIndex())
        list->setAccessibleDescription(QString::fromStdString(text));
}

void ConfigWindow::DecorateWindow() {
    // Linux window managers' title-bar menus take no entries of a program's: About is in the
    // window's context menu, from the mouse, the Menu key or Shift+F10.
    setContextMenuPolicy(Qt::CustomContextMenu);
    const auto showMenu = [this](const QPoint& at) {
        QMenu menu(this);
        // Active from the start, as a screen reader already announces it: the first Enter opens it.
        menu.setActiveAction(
            menu.addAction(QStringLiteral("&About Tavlon..."), this, &ConfigWindow::ShowAbout));
        menu.exec(mapToGlobal(at));
    };
    connect(this, &QWidget::customContextMenuRequested, this, showMenu);
    auto* keyboard = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    connect(keyboard, &QShortcut::activated, this, [this, showMenu] {
        QWidget* focused = focusWidget() ? focusWidget() : this;
        showMenu(focused->mapTo(this, focused->rect().center()));
    });
    setWindowIcon(QIcon(QStringLiteral(":/msrconfig.svg")));
}

bool ConfigWindow::CreateToolTips() {
    for (auto tip = ToolTips.cbegin(); tip != ToolTips.cend(); ++tip) {
        Control(tip.key())->setToolTip(tip.value());
        // Read aloud as one sentence: without the layout's line breaks and double blanks.
        Control(tip.key())->setAccessibleDescription(tip.value().simplified());
        Control(tip.key())->installEventFilter(this);
    }
    return true;
}

int ConfigWindow::RunModal() {
    if (StopRequested())
        return ResultCancel;
    CentreWithFrame(this, [] {
        QScreen* screen = QGuiApplication::primaryScreen();
        return screen ? screen->availableGeometry() : QRect();
    });
    return exec();
}

void ConfigWindow::EndDialog(int result) {
    done(result);
}

void ConfigWindow::SetBusy(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void ConfigWindow::DropQueuedInput() {
    InputEater eater;
    qApp->installEventFilter(&eater);
    QCoreApplication::processEvents();
    qApp->removeEventFilter(&eater);
}

void ConfigWindow::ShowAbout() {
    CAboutDlg about(windowTitle(), windowIcon(), this);
    about.exec();
}

QString ConfigWindow::WrapToolTip(const QString& text, const QFont& font, int maxWidth) {
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

bool ConfigWindow::eventFilter(QObject* watched, QEvent* event) {
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

bool ConfigWindow::event(QEvent* event) {
    // Where the keyboard is, is shown from the start, as after a Tab: once the window is
    // active, since activating it resets how the focus came.
    if (event->type() == QEvent::WindowActivate && !FocusShown) {
        FocusShown = true;
        QTimer::singleShot(0, this, [this] {
            QWidget* focused = focusWidget() ? focusWidget() : Control(IDC_RAW_DATA);
            setAttribute(Qt::WA_KeyboardFocusChange);
            if (focused) {
                focused->setFocus(Qt::TabFocusReason);
                focused->update();
            }
        });
    }
    return QDialog::event(event);
}

void ConfigWindow::keyPressEvent(QKeyEvent* event) {
    // Enter never closes the window: it would throw away the configuration on screen.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled())
            button->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ConfigWindow::reject() {
    if (Handler)
        Handler->OnCancel();
    else
        done(ResultCancel);
}
