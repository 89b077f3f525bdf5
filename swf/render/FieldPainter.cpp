#include "swf/render/FieldPainter.h"

#include "swf/render/CompiledShape.h"
#include "swf/render/ShapePainter.h"

#include <QPainterPath>

#include <algorithm>

namespace swf::render {
namespace {

QColor rgb(std::uint32_t c, const ColorTransform& cx) {
    return cx.applyToColor({std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c), 255});
}

bool upright(const QTransform& m) {
    return m.m12() == 0 && m.m21() == 0 && m.m11() > 0 && m.m22() > 0;
}

} // namespace

FieldPainter::FieldPainter(ShapePainter& painter, GlyphShapes glyphs)
    : m_painter(painter), m_glyphs(std::move(glyphs)) {
    installDeviceFaces();
}

FieldView FieldPainter::view(const text::FieldState& state, const text::TextLayout& layout) {
    const text::FieldProperties& p = state.properties();
    FieldView v;
    v.layout = &layout;
    v.x = p.x;
    v.y = p.y;
    v.border = p.border;
    v.background = p.background;
    v.borderColor = p.borderColor;
    v.backgroundColor = p.backgroundColor;
    v.scroll = state.scroll;
    v.hscroll = state.hscroll;
    return v;
}

void FieldPainter::draw(QPainter& p, const FieldView& view, const QTransform& objectToDevice,
                        const QTransform& deviceToPainter, const ColorTransform& cx, bool deviceTextAllowed) {
    const text::TextLayout& layout = *view.layout;
    const QRectF box(view.x + layout.xShift, view.y, layout.width, layout.height);
    p.save();
    p.setTransform(objectToDevice * deviceToPainter);
    if (view.background)
        p.fillRect(box, rgb(view.backgroundColor, cx));
    if (view.border) {
        QPen pen(rgb(view.borderColor, cx), 1);
        pen.setCosmetic(true);
        QPainterPath r;
        r.addRect(box);
        p.strokePath(r, pen);
    }
    p.setClipRect(box, Qt::IntersectClip);
    const std::size_t first = std::size_t(std::clamp(view.scroll, 1, int(layout.lines.size()))) - 1;
    const double scrolledBy = layout.lines[first].top - layout.lines[0].top;
    const QTransform textToObject = QTransform::fromTranslate(box.x() - view.hscroll, box.y() - scrolledBy);
    drawGlyphs(p, layout, first, scrolledBy + box.height(), textToObject, objectToDevice, deviceToPainter, cx,
               deviceTextAllowed && upright(objectToDevice));
    p.restore();
}

void FieldPainter::drawGlyphs(QPainter& p, const text::TextLayout& layout, std::size_t firstLine,
                              double visibleBottom, const QTransform& textToObject,
                              const QTransform& objectToDevice, const QTransform& deviceToPainter,
                              const ColorTransform& cx, bool deviceText) {
    const QTransform toPainter = textToObject * objectToDevice * deviceToPainter;
    const auto drawOne = [&](const text::GlyphStyle& st, char32_t ch, int glyph, double x, double y) {
        const QColor color = rgb(st.color, cx);
        if (const auto* embedded = dynamic_cast<const text::EmbeddedFace*>(st.face)) {
            const double scale = st.size / embedded->font().emSquare();
            if (const CompiledShape* shape = m_glyphs(&embedded->font(), std::uint32_t(glyph)))
                m_painter.fillSolid(p, *shape,
                                    QTransform(scale, 0, 0, scale, x, y) * textToObject * objectToDevice,
                                    color, deviceToPainter);
        } else if (const auto* device = dynamic_cast<const DeviceFace*>(st.face); device && deviceText) {
            p.setTransform(toPainter);
            p.setFont(device->font(st.size));
            p.setPen(color);
            p.drawText(QPointF(x, y), QString::fromUcs4(&ch, 1));
        }
    };
    for (std::size_t li = firstLine; li < layout.lines.size(); ++li) {
        const text::LaidLine& line = layout.lines[li];
        if (line.top >= visibleBottom)
            break;
        for (std::size_t g = line.glyphBegin; g < line.glyphEnd; ++g) {
            const text::LaidGlyph& lg = layout.glyphs[g];
            if (lg.glyph >= 0 && lg.style < layout.styles.size())
                drawOne(layout.styles[lg.style], lg.ch, lg.glyph, lg.x, lg.y);
        }
        // Underlines run under each stretch of underlined glyphs, a twentieth of the size thick.
        for (std::size_t g = line.glyphBegin; g < line.glyphEnd;) {
            const text::GlyphStyle& st = layout.styles[layout.glyphs[g].style];
            std::size_t e = g;
            while (e < line.glyphEnd && layout.styles[layout.glyphs[e].style].underline == st.underline)
                ++e;
            if (st.underline && (st.face || deviceText)) {
                const text::LaidGlyph& a = layout.glyphs[g];
                const text::LaidGlyph& b = layout.glyphs[e - 1];
                p.setTransform(toPainter);
                p.fillRect(
                    QRectF(a.x, a.y + st.size * 0.1, b.x + b.advance - a.x, std::max(1.0, st.size / 20)),
                    rgb(st.color, cx));
            }
            g = e;
        }
    }
    for (const text::Bullet& b : layout.bullets) {
        const text::GlyphStyle& st = layout.styles[b.style];
        if (st.face && st.face->glyph(U'\u2022') >= 0)
            drawOne(st, U'\u2022', st.face->glyph(U'\u2022'), b.x, b.y);
    }
}

} // namespace swf::render
