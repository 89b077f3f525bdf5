#include "shell/WindowFit.h"

#include <algorithm>
#include <cmath>

namespace orvane {

WindowFit fitWindow(const WindowFitInput& in) {
    const int stageW = std::max(0, in.stage.width()), stageH = std::max(0, in.stage.height());
    // The largest client area whose window, frame included, lies on the screen.
    const int roomW = std::max(1, in.available.width() - in.frame.left() - in.frame.right());
    const int roomH = std::max(1, in.available.height() - in.frame.top() - in.frame.bottom() - in.menuHeight -
                                      in.strips);
    WindowFit fit;
    if (stageW > roomW || stageH > roomH)
        fit.scale = std::min(double(roomW) / std::max(stageW, 1), double(roomH) / std::max(stageH, 1));
    const int w = int(std::floor(stageW * fit.scale)), h = int(std::floor(stageH * fit.scale));
    fit.client = QSize(std::clamp(std::max(w, in.minClientWidth), 0, std::max(roomW, in.minClientWidth)),
                       h + in.strips);
    return fit;
}

} // namespace orvane
