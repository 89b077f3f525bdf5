#pragma once
// Draws a text field: its background and border, then its laid-out text (embedded glyphs
// as filled outlines, device text through Qt), clipped to the field and scrolled.

#include "swf/format/Font.h"
#include "swf/render/ColorTransform.h"
#include "swf/render/DeviceFace.h"
#include "swf/text/EmbeddedFace.h"
#include "swf/text/FieldState.h"
#include "swf/text/TextLayout.h"

#include <QPainter>
#include <QTransform>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>

namespace swf::render {

class ShapePainter;
struct CompiledShape;

// What a field shows now.
struct FieldView {
    const text::TextLayout* layout = nullptr;
    double x = 0, y = 0; // the field's top-left corner before autoSize, twips
    bool border = false, background = false;
    std::uint32_t borderColor = 0x000000, backgroundColor = 0xFFFFFF;
    int scroll = 1;     // first line shown, from 1
    double hscroll = 0; // twips
    // A focused field shows its selection (white on black) and, when editable, its caret.
    std::size_t selBegin = 0, selEnd = 0;
    std::optional<std::size_t> caret; // shown now
};

// A field's background and border through `objectToDevice`; either may be left out.
void drawBox(QPainter& p, const QRectF& box, std::optional<QColor> background, std::optional<QColor> border,
             const QTransform& objectToDevice, const QTransform& deviceToPainter);

class FieldPainter {
public:
    using GlyphShapes = std::function<const CompiledShape*(const format::FontCharacter*, std::uint32_t)>;
    // Makes the system's fonts the ones device text is measured with.
    FieldPainter(ShapePainter& painter, GlyphShapes glyphs);

    // Draws the field through `objectToDevice`. Device text is left out when the field is
    // rotated or skewed: Flash Player showed device fonts only upright.
    void draw(QPainter& p, const FieldView& view, const QTransform& objectToDevice,
              const QTransform& deviceToPainter, const ColorTransform& cx, bool deviceTextAllowed);

    // What the field shows now, laid out.
    static FieldView view(const text::FieldState& state, const text::TextLayout& layout);

    // The embedded letters the field shows, each as its outline and where it stands on the
    // device: what a field masks by (device text has no outlines and masks nothing).
    void forEachLetter(const FieldView& view, const QTransform& objectToDevice,
                       const std::function<void(const CompiledShape&, const QTransform&)>& fn) const;

private:
    // The field's box after autoSize, the lines scrolled into it and where its text starts.
    struct Shown {
        QRectF box;
        std::size_t firstLine = 0, endLine = 0;
        QTransform textToObject;
    };
    static Shown shown(const FieldView& view);

    void drawGlyphs(QPainter& p, const FieldView& view, const Shown& shown, const QTransform& objectToDevice,
                    const QTransform& textToDevice, const QTransform& deviceToPainter, const ColorTransform& cx,
                    bool deviceText);
    void drawSelection(QPainter& p, const FieldView& view, const Shown& shown, const QTransform& toPainter,
                       const ColorTransform& cx);

    // A device face's measures at the size a scaled field draws it (faces live as long as
    // the process, so their addresses stay good keys).
    const QFontMetricsF& metricsAt(const DeviceFace& face, const QFont& font);

    ShapePainter& m_painter;
    GlyphShapes m_glyphs;
    std::map<std::pair<const DeviceFace*, int>, std::unique_ptr<QFontMetricsF>> m_scaledMetrics;
};

} // namespace swf::render
