#include "swf/render/ShapePainter.h"

#include "swf/render/Paint.h"

#include <QPainterPathStroker>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace swf::render {
namespace {

Qt::PenCapStyle qtCap(Cap c) {
    switch (c) {
    case Cap::None:
        return Qt::FlatCap;
    case Cap::Square:
        return Qt::SquareCap;
    case Cap::Round:
        break;
    }
    return Qt::RoundCap;
}

Qt::PenJoinStyle qtJoin(Join j) {
    switch (j) {
    case Join::Bevel:
        return Qt::BevelJoin;
    case Join::Miter:
        return Qt::MiterJoin;
    case Join::Round:
        break;
    }
    return Qt::RoundJoin;
}

// How much the transform scales lengths, on average over directions.
double lengthScale(const QTransform& t) {
    return std::sqrt(std::abs(t.m11() * t.m22() - t.m12() * t.m21()));
}

// Tinted copies are dropped together once they hold this much; a bitmap that fades frame by
// frame makes a new copy each frame.
constexpr std::size_t kMaxTintedBytes = 32u << 20;

// Cap shapes for the open sub-paths of a stroke whose two ends have different caps (the
// stroker knows one cap style only): the start cap behind each first point, the end cap
// past each last point.
QPainterPath capsOf(const QPainterPath& path, const LineStyle& line) {
    QPainterPath caps;
    caps.setFillRule(Qt::WindingFill);
    const double h = line.width / 2;
    auto addCap = [&](Cap cap, QPointF at, QPointF towards) {
        const QPointF d = at - towards;
        const double len = std::hypot(d.x(), d.y());
        if (cap == Cap::None || len == 0)
            return;
        if (cap == Cap::Round) {
            caps.addEllipse(at, h, h);
            return;
        }
        const QPointF u = d / len * h, n(-u.y(), u.x());
        caps.addPolygon(QPolygonF({at + n, at + n + u, at - n + u, at - n, at + n}));
    };
    const int count = path.elementCount();
    for (int i = 0; i < count;) {
        int end = i + 1;
        while (end < count && !path.elementAt(end).isMoveTo())
            ++end;
        const QPointF first = path.elementAt(i), last = path.elementAt(end - 1);
        if (end - i >= 2 && first != last) { // closed sub-paths are joined, not capped
            addCap(line.startCap, first, path.elementAt(i + 1));
            addCap(line.endCap, last, path.elementAt(end - 2));
        }
        i = end;
    }
    return caps;
}

} // namespace

double ShapePainter::deviceStrokeWidth(const LineStyle& line, const QTransform& toDevice) const {
    if (line.width <= 0)
        return 0;
    if (line.noHScale && line.noVScale)
        return line.width / 20.0 * m_stagePixelScale;
    // One flag alone: the width follows the other axis's scale only.
    if (line.noHScale)
        return line.width * std::hypot(toDevice.m21(), toDevice.m22());
    if (line.noVScale)
        return line.width * std::hypot(toDevice.m11(), toDevice.m12());
    return line.width * lengthScale(toDevice);
}

double ShapePainter::deviceReach(const CompiledShape& shape, const QTransform& toDevice) const {
    double margin = 2;
    for (const LineStyle& l : shape.lines)
        // Half the width reaches past the centre line; square caps and miter joins (up to
        // the limit, in widths) reach further.
        margin = std::max(margin, deviceStrokeWidth(l, toDevice) *
                                          (l.join == Join::Miter ? std::max(1.0, l.miterLimit) : 1.0) +
                                      2);
    return margin;
}

const QImage* ShapePainter::tinted(const QImage* image, const ColorTransform& cx) {
    if (cx.isIdentity())
        return image;
    std::array<float, 8> key{};
    std::copy(cx.mult.begin(), cx.mult.end(), key.begin());
    std::copy(cx.add.begin(), cx.add.end(), key.begin() + 4);
    auto it = m_tinted.find({image, key});
    if (it != m_tinted.end())
        return &it->second;
    if (m_tintedBytes + static_cast<std::size_t>(image->sizeInBytes()) > kMaxTintedBytes) {
        m_tinted.clear();
        m_tintedBytes = 0;
    }
    QImage& copy = m_tinted.emplace(std::make_pair(image, key), cx.applyToImage(*image)).first->second;
    m_tintedBytes += static_cast<std::size_t>(copy.sizeInBytes());
    return &copy;
}

const QBrush& ShapePainter::keptBrush(const CompiledShape& shape, std::uint32_t fill, const ColorTransform& cx) {
    if (shape.fillBrushes.size() != shape.fills.size())
        shape.fillBrushes.resize(shape.fills.size());
    CompiledShape::KeptBrush& kept = shape.fillBrushes[fill];
    if (kept.lastFrame != m_frame) {
        kept.lastFrame = m_frame;
        ++kept.framesDrawn;
    }
    if (kept.made && kept.cx == cx)
        return kept.brush;
    // A gradient's brush holds 511 stops (12 KB): a movie of thousands of shapes that are drawn
    // as paths for a frame or two and then blitted would otherwise keep them all.
    if (kept.framesDrawn < kKeptAfterFrames) {
        m_passingBrush = gradientOrSolidBrush(shape.fills[fill], cx);
        return m_passingBrush;
    }
    kept.brush = gradientOrSolidBrush(shape.fills[fill], cx);
    kept.cx = cx;
    kept.made = true;
    return kept.brush;
}

void ShapePainter::fillPath(QPainter& painter, const QPainterPath& path, const FillStyle& fill,
                            const ColorTransform& cx) {
    if (fill.kind != FillStyle::Kind::Bitmap) {
        const QBrush brush = gradientOrSolidBrush(fill, cx);
        if (brush.style() != Qt::NoBrush)
            painter.fillPath(path, brush);
        return;
    }
    const QImage* source = m_bitmaps ? m_bitmaps->bitmap(fill.bitmapId) : nullptr;
    if (!source || !fill.matrix.isInvertible()) {
        ++m_skippedFills; // a fill naming a missing bitmap draws nothing
        return;
    }
    const QImage* image = tinted(source, cx);
    QTransform matrix = fill.matrix;
    if (m_legacyBitmapOffset) {
        // Movies of version 6 and earlier show bitmap fills one stage pixel right and down.
        const QTransform toDevice = painter.transform();
        matrix = matrix * toDevice * QTransform::fromTranslate(m_stagePixelScale, m_stagePixelScale) *
                 toDevice.inverted();
    }
    QBrush brush(*image);
    brush.setTransform(matrix);
    painter.setRenderHint(QPainter::SmoothPixmapTransform,
                          m_smoothBitmaps && (m_alwaysSmooth || fill.smoothing == Smoothing::On));
    const QRectF imageRect(0, 0, image->width(), image->height());
    const QRectF pathInImage = matrix.inverted().mapRect(path.boundingRect());
    // A clipped fill that stays on its image (the usual placed bitmap) is a plain fill.
    if (fill.repeat || imageRect.adjusted(-0.5, -0.5, 0.5, 0.5).contains(pathInImage)) {
        painter.fillPath(path, brush);
        return;
    }
    // Elsewhere a clipped fill stretches the image's edge pixels outwards: edge rows and
    // columns are drawn stretched, corner pixels fill the corner quadrants, all clipped to
    // the shape.
    const QRectF ext = pathInImage.united(imageRect).adjusted(-1, -1, 1, 1);
    const double w = image->width(), h = image->height();
    painter.save();
    // Pieces drawn without anti-aliasing meet without seams; the clip gives the outline.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setClipPath(path, Qt::IntersectClip);
    painter.setTransform(matrix * painter.transform());
    painter.drawImage(imageRect, *image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (ext.left() < 0)
        painter.drawImage(QRectF(ext.left(), 0, -ext.left(), h), *image, QRectF(0, 0, 1, h));
    if (ext.right() > w)
        painter.drawImage(QRectF(w, 0, ext.right() - w, h), *image, QRectF(w - 1, 0, 1, h));
    if (ext.top() < 0)
        painter.drawImage(QRectF(0, ext.top(), w, -ext.top()), *image, QRectF(0, 0, w, 1));
    if (ext.bottom() > h)
        painter.drawImage(QRectF(0, h, w, ext.bottom() - h), *image, QRectF(0, h - 1, w, 1));
    auto corner = [&](int px, int py, const QRectF& r) {
        if (r.width() > 0 && r.height() > 0)
            painter.fillRect(r, QColor::fromRgba(qUnpremultiply(image->pixel(px, py))));
    };
    corner(0, 0, QRectF(QPointF(ext.left(), ext.top()), QPointF(0, 0)));
    corner(image->width() - 1, 0, QRectF(QPointF(w, ext.top()), QPointF(ext.right(), 0)));
    corner(0, image->height() - 1, QRectF(QPointF(ext.left(), h), QPointF(0, ext.bottom())));
    corner(image->width() - 1, image->height() - 1,
           QRectF(QPointF(w, h), QPointF(ext.right(), ext.bottom())));
    painter.restore();
}

QBrush ShapePainter::strokeBrush(const LineStyle& line, const ColorTransform& cx) {
    if (!line.hasFill)
        return QBrush(cx.applyToColor(line.color));
    if (line.fill.kind != FillStyle::Kind::Bitmap)
        return gradientOrSolidBrush(line.fill, cx);
    const QImage* source = m_bitmaps ? m_bitmaps->bitmap(line.fill.bitmapId) : nullptr;
    if (!source || !line.fill.matrix.isInvertible()) {
        ++m_skippedFills;
        return Qt::NoBrush;
    }
    QBrush brush(*tinted(source, cx));
    brush.setTransform(line.fill.matrix);
    return brush;
}

void ShapePainter::fillSolid(QPainter& painter, const CompiledShape& shape, const QTransform& toDevice,
                             const QColor& color, const QTransform& deviceToPainter) {
    if (color.alpha() == 0 || shape.layers.empty())
        return;
    painter.setTransform(toDevice * deviceToPainter);
    for (const ShapeLayer& layer : shape.layers)
        if (layer.kind == ShapeLayer::Kind::Fill)
            painter.fillPath(layer.path, color);
}

void ShapePainter::draw(QPainter& painter, const CompiledShape& shape, const QTransform& toDevice,
                        const ColorTransform& cx, const QTransform& deviceToPainter) {
    if (cx.isInvisible() || shape.layers.empty())
        return;
    painter.setTransform(toDevice * deviceToPainter);
    const double painterScale = lengthScale(deviceToPainter);
    for (const ShapeLayer& layer : shape.layers) {
        if (layer.kind == ShapeLayer::Kind::Fill) {
            const FillStyle& fill = shape.fills[layer.style];
            if (fill.kind == FillStyle::Kind::Bitmap) {
                fillPath(painter, layer.path, fill, cx);
            } else if (const QBrush& brush = keptBrush(shape, layer.style, cx); brush.style() != Qt::NoBrush) {
                if (brush.gradient() && toDevice.isInvertible()) {
                    // Flash samples gradients at a pixel's top-left corner, not its centre.
                    QBrush atCorner = brush;
                    atCorner.setTransform(brush.transform() * toDevice * QTransform::fromTranslate(0.5, 0.5) *
                                          toDevice.inverted());
                    painter.fillPath(layer.path, atCorner);
                } else {
                    painter.fillPath(layer.path, brush);
                }
            }
            continue;
        }
        const LineStyle& line = shape.lines[layer.style];
        const double device = deviceStrokeWidth(line, toDevice);
        const QBrush brush = strokeBrush(line, cx);
        if (brush.style() == Qt::NoBrush)
            continue;
        const bool scaled = !(line.noHScale || line.noVScale);
        if (device >= 1.0 && scaled) {
            // The outline in shape space does not depend on the transform: kept for a layer
            // drawn as paths in several frames, made for the draw alone before.
            if (layer.lastFrame != m_frame) {
                layer.lastFrame = m_frame;
                ++layer.framesDrawn;
            }
            if (layer.outlineWidth == line.width) {
                painter.fillPath(layer.outline, brush);
                continue;
            }
            QPainterPathStroker stroker;
            stroker.setWidth(line.width);
            const bool sameCaps = line.startCap == line.endCap;
            stroker.setCapStyle(sameCaps ? qtCap(line.startCap) : Qt::FlatCap);
            stroker.setJoinStyle(qtJoin(line.join));
            stroker.setMiterLimit(std::max(1.0, line.miterLimit));
            QPainterPath outline = stroker.createStroke(layer.path);
            outline.setFillRule(Qt::WindingFill);
            if (!sameCaps)
                outline = outline.united(capsOf(layer.path, line));
            painter.fillPath(outline, brush);
            if (layer.framesDrawn >= kKeptAfterFrames) {
                layer.outline = std::move(outline);
                layer.outlineWidth = line.width;
            }
        } else {
            // Hairlines and strokes thinner than a device pixel are drawn one pixel wide;
            // strokes that do not scale keep their width on the stage.
            QPen pen(brush, std::max(1.0, device) * painterScale);
            pen.setCosmetic(true);
            pen.setCapStyle(qtCap(line.startCap));
            pen.setJoinStyle(qtJoin(line.join));
            pen.setMiterLimit(std::max(1.0, line.miterLimit));
            painter.strokePath(layer.path, pen);
        }
    }
}

} // namespace swf::render
