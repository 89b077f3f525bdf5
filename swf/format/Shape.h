#pragma once
// Shapes and morph shapes as the file states them: style arrays and the record list
// with relative edges. Turning records into paths is the renderer's job.

#include "swf/format/Character.h"
#include "swf/format/Records.h"
#include "swf/format/TagCode.h"

#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace swf::format {

enum class FillType : std::uint8_t {
    Solid = 0x00,
    LinearGradient = 0x10,
    RadialGradient = 0x12,
    FocalRadialGradient = 0x13,
    RepeatingBitmap = 0x40,
    ClippedBitmap = 0x41,
    RepeatingBitmapHard = 0x42, // not smoothed
    ClippedBitmapHard = 0x43,   // not smoothed
};

inline bool isGradient(FillType t) {
    return t == FillType::LinearGradient || t == FillType::RadialGradient ||
           t == FillType::FocalRadialGradient;
}
inline bool isBitmap(FillType t) {
    return static_cast<std::uint8_t>(t) >= 0x40;
}
inline bool isClippedBitmap(FillType t) {
    return t == FillType::ClippedBitmap || t == FillType::ClippedBitmapHard;
}
inline bool isSmoothedBitmap(FillType t) {
    return t == FillType::RepeatingBitmap || t == FillType::ClippedBitmap;
}

enum class SpreadMode : std::uint8_t { Pad = 0, Reflect = 1, Repeat = 2 };
enum class InterpolationMode : std::uint8_t { Normal = 0, Linear = 1 };

struct GradientRecord {
    std::uint8_t ratio = 0;
    Rgba color;
};

struct Gradient {
    SpreadMode spread = SpreadMode::Pad;
    InterpolationMode interpolation = InterpolationMode::Normal;
    std::vector<GradientRecord> records;
    double focalPoint = 0.0; // focal radial only: -1 .. 1 along the gradient's x axis
};

struct FillStyle {
    FillType type = FillType::Solid;
    Rgba color;                 // solid
    Matrix matrix;              // gradient square or bitmap pixels -> shape twips
    Gradient gradient;          // gradients
    std::uint16_t bitmapId = 0; // bitmaps; may name a missing character
};

enum class CapStyle : std::uint8_t { Round = 0, None = 1, Square = 2 };
enum class JoinStyle : std::uint8_t { Round = 0, Bevel = 1, Miter = 2 };

struct LineStyle {
    std::uint16_t width = 0; // twips; 0 is a hairline
    Rgba color;
    // LINESTYLE2 (DefineShape4) fields; plain LINESTYLE keeps the defaults.
    CapStyle startCap = CapStyle::Round;
    CapStyle endCap = CapStyle::Round;
    JoinStyle join = JoinStyle::Round;
    double miterLimit = 3.0;
    bool noHScale = false;
    bool noVScale = false;
    bool pixelHinting = false;
    bool noClose = false;
    std::optional<FillStyle> fill; // stroke painted with a fill instead of `color`
};

struct ShapeStyles {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
};

// Style change: optional absolute move, style selections (1-based, 0 = none) and a
// complete replacement of the style arrays.
struct StyleChangeRecord {
    std::optional<std::int32_t> moveX; // set together with moveY
    std::int32_t moveY = 0;
    std::optional<std::uint32_t> fill0;
    std::optional<std::uint32_t> fill1;
    std::optional<std::uint32_t> line;
    std::optional<ShapeStyles> newStyles;

    bool hasMove() const { return moveX.has_value(); }
};

struct StraightEdgeRecord {
    std::int32_t dx = 0;
    std::int32_t dy = 0;
};

// Quadratic Bezier: control = pen + control delta, anchor = control + anchor delta.
struct CurvedEdgeRecord {
    std::int32_t controlDx = 0;
    std::int32_t controlDy = 0;
    std::int32_t anchorDx = 0;
    std::int32_t anchorDy = 0;
};

using ShapeRecord = std::variant<StyleChangeRecord, StraightEdgeRecord, CurvedEdgeRecord>;

// A SHAPEWITHSTYLE (styles filled) or a bare SHAPE (glyphs, morph edges; styles empty).
struct Shape {
    ShapeStyles styles;
    std::vector<ShapeRecord> records;
};

struct ShapeCharacter : Character {
    ShapeCharacter() : Character(0, CharacterKind::Shape) {}
    int version = 1; // 1..4 for DefineShape..DefineShape4
    Rect bounds;
    Rect edgeBounds; // DefineShape4; else equal to bounds
    bool usesFillWindingRule = false;
    bool usesNonScalingStrokes = false;
    bool usesScalingStrokes = false;
    Shape shape;
};

struct MorphGradientRecord {
    std::uint8_t startRatio = 0;
    Rgba startColor;
    std::uint8_t endRatio = 0;
    Rgba endColor;
};

struct MorphFillStyle {
    FillType type = FillType::Solid;
    Rgba startColor, endColor;
    Matrix startMatrix, endMatrix;
    SpreadMode spread = SpreadMode::Pad;
    InterpolationMode interpolation = InterpolationMode::Normal;
    std::vector<MorphGradientRecord> gradient;
    double startFocalPoint = 0.0, endFocalPoint = 0.0;
    std::uint16_t bitmapId = 0;
};

struct MorphLineStyle {
    std::uint16_t startWidth = 0, endWidth = 0;
    Rgba startColor, endColor;
    CapStyle startCap = CapStyle::Round;
    CapStyle endCap = CapStyle::Round;
    JoinStyle join = JoinStyle::Round;
    double miterLimit = 3.0;
    bool noHScale = false, noVScale = false, pixelHinting = false, noClose = false;
    std::optional<MorphFillStyle> fill;
};

struct MorphShapeCharacter : Character {
    MorphShapeCharacter() : Character(0, CharacterKind::MorphShape) {}
    int version = 1; // 1 or 2
    Rect startBounds, endBounds;
    Rect startEdgeBounds, endEdgeBounds;
    bool usesNonScalingStrokes = false;
    bool usesScalingStrokes = false;
    std::vector<MorphFillStyle> fills;
    std::vector<MorphLineStyle> lines;
    // Style changes live in the start records; the end records pair edge by edge.
    std::vector<ShapeRecord> startRecords;
    std::vector<ShapeRecord> endRecords;

    // The shape at a PlaceObject ratio (0 = start, 65535 = end). Edges that do not
    // pair up (straight with curve) are blended as curves.
    ShapeCharacter shapeAt(std::uint16_t ratio) const;
};

// Parsers: each reads a whole tag body (after the tag header) and returns nullptr
// when the body is broken. `code` selects the shape version.
std::unique_ptr<ShapeCharacter> parseShape(TagCode code, io::ByteReader& r, const ParseContext& ctx);
std::unique_ptr<MorphShapeCharacter> parseMorphShape(TagCode code, io::ByteReader& r,
                                                     const ParseContext& ctx);
// A bare SHAPE (glyph outline); false when it breaks off.
bool readShape(io::ByteReader& r, int shapeVersion, Shape& out);

} // namespace swf::format
