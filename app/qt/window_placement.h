// Centring a window with its frame, never past the area's edges: the window manager tells the
// frame's size only once the window is shown, so the window is placed then, and again when the
// frame is known.
#pragma once

#include <QRect>
#include <QWidget>
#include <functional>

// `area` gives the screen rectangle to centre in, at the time the window is placed.
void CentreWithFrame(QWidget* window, std::function<QRect()> area);
