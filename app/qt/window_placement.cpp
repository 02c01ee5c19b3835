#include "app/qt/window_placement.h"

#include <QEvent>
#include <QTimer>
#include <algorithm>

namespace {

// Centred, and then moved so that the frame lies in the area, its title bar above all.
void Place(QWidget* window, const QRect& area) {
    if (!area.isValid())
        return;
    QRect frame = window->frameGeometry();
    const QPoint toWindow = window->pos() - frame.topLeft();
    frame.moveCenter(area.center());
    frame.moveRight(std::min(frame.right(), area.right()));
    frame.moveBottom(std::min(frame.bottom(), area.bottom()));
    frame.moveLeft(std::max(frame.left(), area.left()));
    frame.moveTop(std::max(frame.top(), area.top()));
    window->move(frame.topLeft() + toWindow);
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
