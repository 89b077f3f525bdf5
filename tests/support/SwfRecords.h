#pragma once
// Plain values of the SWF records that test movies are made of, and their encodings.
// Coordinates are twips unless a name says otherwise.

#include "ByteWriter.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane::testing {

struct Rect {
    std::int32_t xMin = 0;
    std::int32_t xMax = 0;
    std::int32_t yMin = 0;
    std::int32_t yMax = 0;

    static Rect pixels(int width, int height) { return {0, width * 20, 0, height * 20}; }
};

struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 255;
};

// a = scaleX, b = rotateSkew0, c = rotateSkew1, d = scaleY.
struct Matrix {
    double scaleX = 1.0;
    double scaleY = 1.0;
    double rotateSkew0 = 0.0;
    double rotateSkew1 = 0.0;
    std::int32_t translateX = 0;
    std::int32_t translateY = 0;
    // Writes the scale fields even when they are 1.0 (a HasScale record with small widths).
    bool forceScale = false;

    static Matrix translate(std::int32_t x, std::int32_t y) {
        Matrix m;
        m.translateX = x;
        m.translateY = y;
        return m;
    }
    static Matrix scale(double sx, double sy, std::int32_t x = 0, std::int32_t y = 0) {
        Matrix m = translate(x, y);
        m.scaleX = sx;
        m.scaleY = sy;
        return m;
    }
};

// Terms in 8.8: multipliers default to 256 (1.0), additions to 0.
struct ColorTransform {
    std::int16_t redMult = 256, greenMult = 256, blueMult = 256, alphaMult = 256;
    std::int16_t redAdd = 0, greenAdd = 0, blueAdd = 0, alphaAdd = 0;

    bool hasMult(bool withAlpha) const {
        return redMult != 256 || greenMult != 256 || blueMult != 256 || (withAlpha && alphaMult != 256);
    }
    bool hasAdd(bool withAlpha) const {
        return redAdd != 0 || greenAdd != 0 || blueAdd != 0 || (withAlpha && alphaAdd != 0);
    }
};

struct GradientRecord {
    std::uint8_t ratio = 0;
    Rgba color;
};

enum class SpreadMode : std::uint8_t { Pad = 0, Reflect = 1, Repeat = 2 };
enum class InterpolationMode : std::uint8_t { Normal = 0, Linear = 1 };

struct FillStyle {
    enum Type : std::uint8_t {
        Solid = 0x00,
        LinearGradient = 0x10,
        RadialGradient = 0x12,
        FocalRadialGradient = 0x13,
        RepeatingBitmap = 0x40,
        ClippedBitmap = 0x41,
        RepeatingBitmapHard = 0x42,
        ClippedBitmapHard = 0x43,
    };
    std::uint8_t type = Solid;
    Rgba color;
    Matrix matrix;
    SpreadMode spread = SpreadMode::Pad;
    InterpolationMode interpolation = InterpolationMode::Normal;
    std::vector<GradientRecord> gradient;
    double focalPoint = 0.0;
    std::uint16_t bitmapId = 0;

    static FillStyle solid(Rgba c) {
        FillStyle f;
        f.color = c;
        return f;
    }
    static FillStyle linear(const Matrix& m, std::vector<GradientRecord> records) {
        FillStyle f;
        f.type = LinearGradient;
        f.matrix = m;
        f.gradient = std::move(records);
        return f;
    }
    static FillStyle radial(const Matrix& m, std::vector<GradientRecord> records) {
        FillStyle f = linear(m, std::move(records));
        f.type = RadialGradient;
        return f;
    }
    static FillStyle focal(const Matrix& m, std::vector<GradientRecord> records, double focalPoint) {
        FillStyle f = linear(m, std::move(records));
        f.type = FocalRadialGradient;
        f.focalPoint = focalPoint;
        return f;
    }
    // type is one of the four bitmap codes.
    static FillStyle bitmap(std::uint16_t id, const Matrix& m, std::uint8_t type = ClippedBitmap) {
        FillStyle f;
        f.type = type;
        f.bitmapId = id;
        f.matrix = m;
        return f;
    }
};

enum class CapStyle : std::uint8_t { Round = 0, None = 1, Square = 2 };
enum class JoinStyle : std::uint8_t { Round = 0, Bevel = 1, Miter = 2 };

struct LineStyle {
    std::uint16_t width = 20;
    Rgba color;
    // The rest is only written in DefineShape4's LINESTYLE2.
    CapStyle startCap = CapStyle::Round;
    CapStyle endCap = CapStyle::Round;
    JoinStyle join = JoinStyle::Round;
    double miterLimit = 3.0;
    bool noHScale = false;
    bool noVScale = false;
    bool pixelHinting = false;
    bool noClose = false;
    std::optional<FillStyle> fill;

    static LineStyle solid(std::uint16_t width, Rgba c) {
        LineStyle l;
        l.width = width;
        l.color = c;
        return l;
    }
};

// One entry of a FILTERLIST: the filter id and its body.
struct Filter {
    std::uint8_t id = 0;
    std::vector<std::uint8_t> body;

    static Filter dropShadow(Rgba color, double blurX, double blurY, double angle, double distance,
                             double strength, std::uint8_t flags = 0x20 | 1);
    static Filter blur(double blurX, double blurY, int passes = 1);
    static Filter glow(Rgba color, double blurX, double blurY, double strength,
                       std::uint8_t flags = 0x20 | 1);
    static Filter colorMatrix(const std::array<float, 20>& m);
    // flags: inner 0x80, knockout 0x40, composite source 0x20, on top 0x10, passes in the low 4 bits.
    static Filter bevel(Rgba shadow, Rgba highlight, double blur, double angle, double distance,
                        double strength, std::uint8_t flags = 0x80 | 0x20 | 1);
    // id 4 (gradient glow) or 7 (gradient bevel); colours and ratios pairwise.
    static Filter gradient(std::uint8_t id, const std::vector<std::pair<Rgba, std::uint8_t>>& stops, double blur,
                           double angle, double distance, double strength, std::uint8_t flags);
    static Filter convolution(std::uint8_t cols, std::uint8_t rows, const std::vector<float>& matrix, float divisor,
                              float bias, Rgba defaultColor, bool clamp, bool preserveAlpha);
};

// One CLIPACTIONRECORD; actions are action records without the terminating 0 (it is added).
struct ClipAction {
    std::uint32_t events = 0; // CLIPEVENTFLAGS, byte 0 in the low 8 bits
    std::optional<std::uint8_t> keyCode;
    std::vector<std::uint8_t> actions;
};

// Every PlaceObject2/3 field is optional; set the ones the record should carry.
struct PlaceObject {
    std::uint16_t depth = 1;
    bool move = false;
    std::optional<std::uint16_t> characterId;
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colorTransform;
    std::optional<std::uint16_t> ratio;
    std::optional<std::string> name;
    std::optional<std::uint16_t> clipDepth;
    std::vector<ClipAction> clipActions; // none: no HasClipActions
    int clipEventBytes = 4;              // 2 for SWF 5 movies
    // PlaceObject3 only.
    std::optional<std::string> className;
    bool hasImage = false;
    std::optional<std::vector<Filter>> filters;
    std::optional<std::uint8_t> blendMode;
    std::optional<std::uint8_t> bitmapCache;
    std::optional<std::uint8_t> visible;
    std::optional<Rgba> backgroundColor;
};

namespace encode {
// nbits < 0 picks the smallest width that holds all four values.
void rect(ByteWriter& out, const Rect& r, int nbits = -1);
void matrix(ByteWriter& out, const Matrix& m);
void colorTransform(ByteWriter& out, const ColorTransform& cx, bool withAlpha);
void rgb(ByteWriter& out, Rgba c);
void rgba(ByteWriter& out, Rgba c);
// shapeVersion 1-4 decides RGB or RGBA and the array count escapes.
void fillStyle(ByteWriter& out, const FillStyle& f, int shapeVersion);
void lineStyle(ByteWriter& out, const LineStyle& l, int shapeVersion);
void fillStyles(ByteWriter& out, const std::vector<FillStyle>& fills, int shapeVersion);
void lineStyles(ByteWriter& out, const std::vector<LineStyle>& lines, int shapeVersion);
void filters(ByteWriter& out, const std::vector<Filter>& filters);
void clipActions(ByteWriter& out, const std::vector<ClipAction>& actions, int eventBytes);
} // namespace encode

} // namespace orvane::testing
