#pragma once
// The window-sizing rule made to fit: the client area asked for (the stage plus the toolbar
// and slider strips) is kept, with the window's frame and menu bar, inside the screen's
// available area by scaling the stage down (aspect kept) when it must, and the client area is
// never narrower than the toolbar needs. Pure arithmetic, so that any screen can be tried.

#include <QMargins>
#include <QRect>
#include <QSize>

namespace orvane {

struct WindowFitInput {
    QSize stage;            // the movie's own size in pixels (from its header)
    int strips = 0;         // toolbar + slider strip heights, under and over the stage
    int menuHeight = 0;     // the menu bar above the client area
    QMargins frame;         // the window manager's frame around the window
    QRect available;        // the screen's area for windows (without panels)
    int minClientWidth = 0; // what the toolbar needs to show all its buttons
};

struct WindowFit {
    QSize client;      // client area: stage (scaled) x (stage height + strips), widened to the toolbar
    double scale = 1.; // how much the stage was scaled down to fit (1 when it fits)
};

WindowFit fitWindow(const WindowFitInput& in);

} // namespace orvane
