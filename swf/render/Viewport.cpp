#include "swf/render/Viewport.h"

#include <algorithm>
#include <cmath>

namespace swf::render {

StageViewport showAll(const QRectF& stage, const QRectF& viewport, double devicePixelRatio) {
    StageViewport v;
    const double dpr = std::isfinite(devicePixelRatio) && devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const QRectF device(viewport.x() * dpr, viewport.y() * dpr, viewport.width() * dpr,
                        viewport.height() * dpr);
    const double sw = stage.width() / 20.0;
    const double sh = stage.height() / 20.0;
    if (!(sw > 0) || !(sh > 0) || !(device.width() > 0) || !(device.height() > 0)) {
        v.pixelScale = 0;
        return v;
    }
    const double scale = std::min(device.width() / sw, device.height() / sh);
    const double w = sw * scale;
    const double h = sh * scale;
    const double x = device.x() + (device.width() - w) / 2.0;
    const double y = device.y() + (device.height() - h) / 2.0;
    v.pixelScale = scale;
    v.stageArea = QRectF(x, y, w, h);
    const double k = scale / 20.0;
    v.stageToDevice = QTransform(k, 0, 0, k, x - stage.x() * k, y - stage.y() * k);
    return v;
}

} // namespace swf::render
