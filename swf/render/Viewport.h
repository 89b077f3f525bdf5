#pragma once
// Where the stage lands inside a viewport: "show all" scaling (aspect kept, centred),
// in device pixels.

#include <QRectF>
#include <QTransform>

namespace swf::render {

struct StageViewport {
    QTransform stageToDevice; // twips -> device pixels
    QRectF stageArea;         // the stage rectangle in device pixels
    double pixelScale = 1;    // device pixels per stage pixel
};

// `stage` is the movie's stage rectangle in twips; `viewport` is in logical pixels and
// is multiplied by `devicePixelRatio` to get device pixels. An empty stage or viewport
// gives an empty stage area.
StageViewport showAll(const QRectF& stage, const QRectF& viewport, double devicePixelRatio);

} // namespace swf::render
