#include "app/qt/window_placement.h"

#include <QEvent>
#include <QTimer>

namespace {

void Place(QWidget* window, const QRect& area) {
    if (area.isValid())
        window->move(area.center() - window->frameGeometry().center() + window->pos());
}

// Waits for the window's first Show, then for the frame.
class Placement : public QObject {
  public:
    Placement(QWidget* window, std::function<QRect()> area)
        : QObject(window), Window(window), Area(std::move(area)) {
        Place(Window, Area());
        Window->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            Window->removeEventFilter(this);
            // The frame arrives with the window manager's first answers.
            for (int ms : {0, 50, 150})
                QTimer::singleShot(ms, Window,
                                   [window = Window, area = Area] { Place(window, area()); });
        }
        return false;
    }

  private:
    QWidget* Window;
    std::function<QRect()> Area;
};

} // namespace

void CentreWithFrame(QWidget* window, std::function<QRect()> area) {
    new Placement(window, std::move(area));
}
