#pragma once
// The drawing layer's side of timeline::PictureServices: decodes bitmap characters for
// BitmapData.loadBitmap and draws clips into BitmapData pixels with a renderer of its own
// (so scripts never disturb the caches of the renderer that paints the stage).

#include "swf/render/StageRenderer.h"
#include "swf/timeline/PictureServices.h"

namespace swf::render {

class ScriptPictures final : public timeline::PictureServices {
public:
    std::shared_ptr<timeline::Pixels> decodeBitmap(const timeline::Clip& owner, const format::Character& bitmap,
                                                   bool& transparent) override;
    std::shared_ptr<timeline::Pixels> decodeImage(std::span<const std::uint8_t> file) override;
    bool drawClip(const timeline::Clip& clip, timeline::Pixels& target, const double (&matrix)[6],
                  const format::ColorTransform* tint, const double (&area)[4], bool smoothing) override;

private:
    StageRenderer m_renderer;
};

} // namespace swf::render
