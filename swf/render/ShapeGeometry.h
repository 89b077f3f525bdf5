#pragma once
// The renderer's own, resolved view of a shape: styles with their colours and matrices
// already decoded, and every edge as absolute points carrying the style indices that were
// current when it was drawn. Shapes, morph shapes at a ratio and font glyphs all reduce
// to this before they are turned into paths.

#include <QPointF>
#include <QTransform>

#include <cstdint>
#include <vector>

namespace swf::render {

struct Rgba8 {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
    friend bool operator==(const Rgba8&, const Rgba8&) = default;
};

struct GradientStop {
    double ratio = 0; // 0..255
    Rgba8 color;
};

enum class Spread : std::uint8_t { Pad, Reflect, Repeat };
enum class Interpolation : std::uint8_t { Rgb, LinearRgb };
enum class Smoothing : std::uint8_t { Off, On };

struct FillStyle {
    enum class Kind : std::uint8_t { Solid, Linear, Radial, Focal, Bitmap };
    Kind kind = Kind::Solid;
    Rgba8 color;                     // Solid
    QTransform matrix;               // gradient square or bitmap pixels -> shape twips
    std::vector<GradientStop> stops; // Linear, Radial, Focal
    Spread spread = Spread::Pad;
    Interpolation interpolation = Interpolation::Rgb;
    double focal = 0;           // Focal: -1..1 along the gradient's x axis
    std::uint16_t bitmapId = 0; // Bitmap
    bool repeat = true;         // Bitmap: tiled, or clipped to the image
    Smoothing smoothing = Smoothing::On;
    int group = 0; // style group (NewStyles starts a new one)
};

enum class Cap : std::uint8_t { Round, None, Square };
enum class Join : std::uint8_t { Round, Bevel, Miter };

struct LineStyle {
    double width = 20; // twips; 0 = hairline
    Rgba8 color;
    Cap startCap = Cap::Round;
    Cap endCap = Cap::Round;
    Join join = Join::Round;
    double miterLimit = 3; // factor of the width
    bool noHScale = false;
    bool noVScale = false;
    bool noClose = false;
    bool hasFill = false;
    FillStyle fill; // when hasFill
    int group = 0;
};

struct Edge {
    QPointF from;
    QPointF control; // curves only
    QPointF to;
    bool curved = false;
    // 1-based indices into ShapeGeometry's style arrays (across style groups); 0 = none.
    std::uint32_t fill0 = 0;
    std::uint32_t fill1 = 0;
    std::uint32_t line = 0;
};

struct ShapeGeometry {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
    std::vector<Edge> edges;
    bool windingFill = false; // non-zero instead of even-odd
};

} // namespace swf::render
