#include "swf/render/ScriptPictures.h"

#include "swf/format/Media.h"
#include "swf/media/BitmapDecoder.h"
#include "swf/movie/Movie.h"
#include "swf/render/ColorTransform.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/World.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <cstring>

namespace swf::render {

namespace {

std::shared_ptr<timeline::Pixels> pixelsOf(const QImage& image) {
    const QImage img = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    auto p = std::make_shared<timeline::Pixels>();
    p->width = img.width();
    p->height = img.height();
    p->argb.resize(static_cast<std::size_t>(p->width) * static_cast<std::size_t>(p->height));
    for (int y = 0; y < p->height; ++y)
        std::memcpy(p->argb.data() + static_cast<std::size_t>(y) * p->width, img.constScanLine(y),
                    static_cast<std::size_t>(p->width) * 4);
    return p;
}

} // namespace

std::shared_ptr<timeline::Pixels> ScriptPictures::decodeBitmap(const timeline::Clip& owner,
                                                               const format::Character& bitmap,
                                                               bool& transparent) {
    if (bitmap.kind != format::CharacterKind::Bitmap)
        return nullptr;
    const auto& b = static_cast<const format::BitmapCharacter&>(bitmap);
    const auto tag = static_cast<std::uint16_t>(b.tag);
    const media::DecodedBitmap decoded = media::decodeBitmap(tag, b.data, owner.world().movieOf(bitmap).jpegTables());
    if (!decoded.ok())
        return nullptr;
    using media::BitmapTag;
    transparent = tag == std::uint16_t(BitmapTag::Lossless2) || tag == std::uint16_t(BitmapTag::Jpeg3) ||
                  tag == std::uint16_t(BitmapTag::Jpeg4);
    return pixelsOf(decoded.image);
}

std::shared_ptr<timeline::Pixels> ScriptPictures::decodeImage(std::span<const std::uint8_t> file) {
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(file.data()), qsizetype(file.size()));
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::ReadOnly))
        return nullptr;
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (format != "jpeg" && format != "png" && format != "gif")
        return nullptr;
    // The size is read from the header first, so a hostile one allocates nothing.
    const media::BitmapLimits limits;
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > limits.maxSide || size.height() > limits.maxSide ||
        std::int64_t(size.width()) * size.height() > limits.maxPixels)
        return nullptr;
    const QImage image = reader.read();
    return image.isNull() ? nullptr : pixelsOf(image);
}

bool ScriptPictures::drawClip(const timeline::Clip& clip, timeline::Pixels& target, const double (&m)[6],
                              const format::ColorTransform* tint, const double (&area)[4], bool) {
    if (!target.valid())
        return false;
    // Wraps the target's words: the renderer draws straight into them.
    QImage image(reinterpret_cast<uchar*>(target.argb.data()), target.width, target.height, target.width * 4,
                 QImage::Format_ARGB32_Premultiplied);
    const QTransform toImage = QTransform::fromScale(1.0 / 20, 1.0 / 20) * QTransform(m[0], m[1], m[2], m[3], m[4], m[5]);
    ColorTransform cx;
    if (tint)
        cx = ColorTransform::fromTerms(tint->rMul, tint->gMul, tint->bMul, tint->aMul, tint->rAdd, tint->gAdd,
                                       tint->bAdd, tint->aAdd);
    m_renderer.renderClip(image, clip, toImage, cx, QRectF(QPointF(area[0], area[1]), QPointF(area[2], area[3])));
    return true;
}

} // namespace swf::render
