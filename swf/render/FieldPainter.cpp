#include "swf/render/FieldPainter.h"

#include "swf/render/CompiledShape.h"
#include "swf/render/ShapePainter.h"

#include <QFontMetricsF>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace swf::render {
namespace {

QColor rgb(std::uint32_t c, const ColorTransform& cx) {
    return cx.applyToColor({std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c), 255});
}

bool upright(const QTransform& m) {
    return m.m12() == 0 && m.m21() == 0 && m.m11() > 0 && m.m22() > 0;
}

// Where text index `i` falls on a line: before the first glyph at or after it.
double xOnLine(const text::TextLayout& layout, const text::LaidLine& line, std::size_t i) {
    for (std::size_t g = line.glyphBegin; g < line.glyphEnd; ++g)
        if (layout.glyphs[g].index >= i)
            return layout.glyphs[g].x;
    if (line.glyphEnd > line.glyphBegin) {
        const text::LaidGlyph& last = layout.glyphs[line.glyphEnd - 1];
        return last.x + last.advance;
    }
    return line.left;
}

// Device text is drawn at the field's vertical scale in both directions, from where the
// scaled field puts the corner of its gutter: Flash Player stretched the box of a device-font
// field, never its letters.
QTransform deviceTextPlacement(const QTransform& textToDevice) {
    const double k = textToDevice.m22();
    const QPointF corner = textToDevice.map(QPointF(text::kGutter, text::kGutter));
    return QTransform::fromTranslate(-text::kGutter, -text::kGutter) * QTransform::fromScale(k, k) *
           QTransform::fromTranslate(corner.x(), corner.y());
}

bool usesDeviceFonts(const text::TextLayout& layout) {
    return std::any_of(layout.styles.begin(), layout.styles.end(),
                       [](const text::GlyphStyle& s) { return dynamic_cast<const DeviceFace*>(s.face); });
}

bool selected(const FieldView& view, std::size_t index) {
    return index >= view.selBegin && index < view.selEnd;
}

} // namespace

void drawBox(QPainter& p, const QRectF& box, std::optional<QColor> background, std::optional<QColor> border,
             const QTransform& objectToDevice, const QTransform& deviceToPainter) {
    if (!background && !border)
        return;
    if (objectToDevice.m12() != 0 || objectToDevice.m21() != 0) { // turned: outlines, as drawn
        p.setTransform(objectToDevice * deviceToPainter);
        if (background)
            p.fillRect(box, *background);
        if (border) {
            QPen pen(*border, 1);
            pen.setCosmetic(true);
            QPainterPath r;
            r.addRect(box);
            p.strokePath(r, pen);
        }
        return;
    }
    // Upright, the box sits on whole device pixels: the background covers the pixels from
    // the rounded left/top edge up to the rounded right/bottom one, and the border is the
    // one-pixel ring on the pixels at those edges, whatever the scale.
    const QRectF d = objectToDevice.mapRect(box).normalized();
    const auto snap = [](double v) { return std::floor(v + 0.5); };
    const double l = snap(d.left()), t = snap(d.top()), r = snap(d.right()), b = snap(d.bottom());
    p.setTransform(deviceToPainter);
    if (background)
        p.fillRect(QRectF(l, t, r - l, b - t), *background);
    if (border) {
        QPainterPath ring;
        ring.setFillRule(Qt::OddEvenFill);
        ring.addRect(QRectF(l, t, r - l + 1, b - t + 1));
        if (r - l > 1 && b - t > 1)
            ring.addRect(QRectF(l + 1, t + 1, r - l - 1, b - t - 1));
        p.fillPath(ring, *border);
    }
}

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
    if (state.focused) {
        v.selBegin = std::min(state.selection.begin(), state.length());
        v.selEnd = std::min(state.selection.end(), state.length());
        if (p.type == text::FieldType::Input && state.caretOn && state.selection.empty())
            v.caret = std::min(state.selection.caret, state.length());
    }
    return v;
}

void FieldPainter::draw(QPainter& p, const FieldView& view, const QTransform& objectToDevice,
                        const QTransform& deviceToPainter, const ColorTransform& cx, bool deviceTextAllowed) {
    const text::TextLayout& layout = *view.layout;
    const Shown shown = FieldPainter::shown(view);
    const QRectF& box = shown.box;
    p.save();
    drawBox(p, box, view.background ? std::optional(rgb(view.backgroundColor, cx)) : std::nullopt,
            view.border ? std::optional(rgb(view.borderColor, cx)) : std::nullopt, objectToDevice, deviceToPainter);
    p.setTransform(objectToDevice * deviceToPainter);
    p.setClipRect(box, Qt::IntersectClip);
    const QTransform& textToObject = shown.textToObject;
    const bool deviceText = deviceTextAllowed && upright(objectToDevice);
    const QTransform textToDevice = deviceText && usesDeviceFonts(layout)
                                        ? deviceTextPlacement(textToObject * objectToDevice)
                                        : textToObject * objectToDevice;
    if (view.selEnd > view.selBegin || view.caret)
        drawSelection(p, view, shown, textToDevice * deviceToPainter, cx);
    drawGlyphs(p, view, shown, objectToDevice, textToDevice, deviceToPainter, cx, deviceText);
    p.restore();
}

const QFontMetricsF& FieldPainter::metricsAt(const DeviceFace& face, const QFont& font) {
    auto& slot = m_scaledMetrics[{&face, font.pixelSize()}];
    if (!slot)
        slot = std::make_unique<QFontMetricsF>(font);
    return *slot;
}

FieldPainter::Shown FieldPainter::shown(const FieldView& view) {
    const text::TextLayout& layout = *view.layout;
    Shown s;
    s.box = QRectF(view.x + layout.xShift, view.y, layout.width, layout.height);
    s.firstLine = std::size_t(std::clamp(view.scroll, 1, int(layout.lines.size()))) - 1;
    const double scrolledBy = layout.lines[s.firstLine].top - layout.lines[0].top;
    s.endLine = s.firstLine;
    while (s.endLine < layout.lines.size() && layout.lines[s.endLine].top < scrolledBy + s.box.height())
        ++s.endLine;
    s.textToObject = QTransform::fromTranslate(s.box.x() - view.hscroll, s.box.y() - scrolledBy);
    return s;
}

void FieldPainter::forEachLetter(const FieldView& view, const QTransform& objectToDevice,
                                 const std::function<void(const CompiledShape&, const QTransform&)>& fn) const {
    const text::TextLayout& layout = *view.layout;
    const Shown s = shown(view);
    for (std::size_t li = s.firstLine; li < s.endLine; ++li)
        for (std::size_t g = layout.lines[li].glyphBegin; g < layout.lines[li].glyphEnd; ++g) {
            const text::LaidGlyph& lg = layout.glyphs[g];
            const text::GlyphStyle* st = lg.style < layout.styles.size() ? &layout.styles[lg.style] : nullptr;
            const auto* embedded = st ? dynamic_cast<const text::EmbeddedFace*>(st->face) : nullptr;
            if (!embedded || lg.glyph < 0)
                continue;
            const double scale = st->size / embedded->font().emSquare();
            if (const CompiledShape* shape = m_glyphs(&embedded->font(), std::uint32_t(lg.glyph)))
                fn(*shape, QTransform(scale, 0, 0, scale, lg.x, lg.y) * s.textToObject * objectToDevice);
        }
}

// The selection's black band on each line it covers, and the caret: a one-pixel bar the
// height of its line, in the colour of the text before it.
void FieldPainter::drawSelection(QPainter& p, const FieldView& view, const Shown& shown, const QTransform& toPainter,
                                 const ColorTransform& cx) {
    const text::TextLayout& layout = *view.layout;
    p.setTransform(toPainter);
    for (std::size_t li = shown.firstLine; li < shown.endLine; ++li) {
        const text::LaidLine& line = layout.lines[li];
        const double height = line.ascent + line.descent;
        if (view.caret && layout.lineOf(*view.caret) == li) {
            const double x = xOnLine(layout, line, *view.caret);
            std::uint32_t color = 0;
            for (std::size_t g = line.glyphBegin; g < line.glyphEnd; ++g)
                if (layout.glyphs[g].index < *view.caret || g == line.glyphBegin)
                    color = layout.styles[layout.glyphs[g].style].color;
            QPen pen(rgb(color, cx), 1);
            pen.setCosmetic(true);
            p.setPen(pen);
            p.drawLine(QPointF(x, line.top), QPointF(x, line.top + height));
        }
        const std::size_t b = std::max(view.selBegin, line.begin), e = std::min(view.selEnd, line.end);
        if (b >= e)
            continue;
        const double x0 = xOnLine(layout, line, b), x1 = xOnLine(layout, line, e);
        p.fillRect(QRectF(x0, line.top, x1 - x0, height), rgb(0x000000, cx));
    }
}

void FieldPainter::drawGlyphs(QPainter& p, const FieldView& view, const Shown& shown,
                              const QTransform& objectToDevice, const QTransform& textToDevice,
                              const QTransform& deviceToPainter, const ColorTransform& cx, bool deviceText) {
    const QTransform& textToObject = shown.textToObject;
    const text::TextLayout& layout = *view.layout;
    const QTransform toPainter = textToDevice * deviceToPainter;
    bool inverted = false; // selected text shows white on the selection's black
    // Device letters drawn at another size than the layout measured them (a scaled field)
    // advance by their widths at the drawn size, as Flash Player measured device text on
    // the screen: `shift` is how far that moved the pen on the line so far (device pixels).
    const double k = textToDevice.m22();
    double shift = 0;
    const auto drawOne = [&](const text::GlyphStyle& st, char32_t ch, int glyph, double x, double y) {
        const QColor color = rgb(inverted ? 0xFFFFFF : st.color, cx);
        if (const auto* embedded = dynamic_cast<const text::EmbeddedFace*>(st.face)) {
            const double scale = st.size / embedded->font().emSquare();
            if (const CompiledShape* shape = m_glyphs(&embedded->font(), std::uint32_t(glyph)))
                m_painter.fillSolid(p, *shape,
                                    QTransform(scale, 0, 0, scale, x, y) * textToObject * objectToDevice,
                                    color, deviceToPainter);
        } else if (const auto* device = dynamic_cast<const DeviceFace*>(st.face); device && deviceText) {
            // At its size in device pixels, so that the font engine draws it as on screen, with
            // the pen on whole pixels as hinted letters are.
            const QFont font = device->font(st.size * k);
            const QString letter = QString::fromUcs4(&ch, 1);
            p.setTransform(deviceToPainter);
            p.setFont(font);
            p.setPen(color);
            const QPointF at = textToDevice.map(QPointF(x, y)) + QPointF(shift, 0);
            p.drawText(QPointF(std::round(at.x()), std::round(at.y())), letter);
            if (std::lround(st.size * k) != std::lround(st.size / 20))
                shift += metricsAt(*device, font).horizontalAdvance(letter) - device->advance(ch) * st.size * k;
        }
    };
    for (std::size_t li = shown.firstLine; li < shown.endLine; ++li) {
        const text::LaidLine& line = layout.lines[li];
        shift = 0;
        for (std::size_t g = line.glyphBegin; g < line.glyphEnd; ++g) {
            const text::LaidGlyph& lg = layout.glyphs[g];
            inverted = selected(view, lg.index);
            if (lg.glyph >= 0 && lg.style < layout.styles.size())
                drawOne(layout.styles[lg.style], lg.ch, lg.glyph, lg.x, lg.y);
        }
        inverted = false;
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
    shift = 0;
    for (const text::Bullet& b : layout.bullets) {
        const text::GlyphStyle& st = layout.styles[b.style];
        if (st.face && st.face->glyph(U'\u2022') >= 0)
            drawOne(st, U'\u2022', st.face->glyph(U'\u2022'), b.x, b.y);
    }
}

} // namespace swf::render
