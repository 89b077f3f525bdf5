#pragma once
// Basic records shared by every tag family: rectangles, colours, matrices, colour
// transforms, blend modes and filters. Geometry stays in twips as the file gives it.

#include "swf/io/ByteReader.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace swf::format {

// Version-dependent parsing rules travel with the reader.
struct ParseContext {
    std::uint8_t swfVersion = 10;
};

struct Rect {
    std::int32_t xMin = 0;
    std::int32_t xMax = 0;
    std::int32_t yMin = 0;
    std::int32_t yMax = 0;

    std::int64_t width() const { return std::int64_t(xMax) - xMin; }
    std::int64_t height() const { return std::int64_t(yMax) - yMin; }
    bool operator==(const Rect&) const = default;
};

struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 255;
    bool operator==(const Rgba&) const = default;
};

// x' = a*x + c*y + tx, y' = b*x + d*y + ty; translation in twips.
struct Matrix {
    double a = 1.0;
    double b = 0.0;
    double c = 0.0;
    double d = 1.0;
    double tx = 0.0;
    double ty = 0.0;

    bool isIdentity() const { return a == 1.0 && b == 0.0 && c == 0.0 && d == 1.0 && tx == 0.0 && ty == 0.0; }
    // this applied after `inner` (inner's output feeds this).
    Matrix operator*(const Matrix& inner) const;
    bool operator==(const Matrix&) const = default;
};

// Multipliers in 8.8 (256 = 1.0), additive terms in colour units.
struct ColorTransform {
    std::int16_t rMul = 256, gMul = 256, bMul = 256, aMul = 256;
    std::int16_t rAdd = 0, gAdd = 0, bAdd = 0, aAdd = 0;

    bool isIdentity() const { return *this == ColorTransform{}; }
    Rgba apply(Rgba c) const;
    // this applied after `inner`.
    ColorTransform operator*(const ColorTransform& inner) const;
    bool operator==(const ColorTransform&) const = default;
};

enum class BlendMode : std::uint8_t {
    Normal = 1,
    Layer = 2,
    Multiply = 3,
    Screen = 4,
    Lighten = 5,
    Darken = 6,
    Difference = 7,
    Add = 8,
    Subtract = 9,
    Invert = 10,
    Alpha = 11,
    Erase = 12,
    Overlay = 13,
    HardLight = 14,
};
// 0 and reserved values read as Normal.
BlendMode blendModeFromByte(std::uint8_t value);

enum class FilterType : std::uint8_t {
    DropShadow = 0,
    Blur = 1,
    Glow = 2,
    Bevel = 3,
    GradientGlow = 4,
    Convolution = 5,
    ColorMatrix = 6,
    GradientBevel = 7,
};

// One entry of a FILTERLIST; only the fields of its type are meaningful.
struct Filter {
    FilterType type = FilterType::Blur;
    Rgba color;          // drop shadow, glow; bevel shadow colour
    Rgba highlightColor; // bevel
    double blurX = 0, blurY = 0;
    double angle = 0;    // radians
    double distance = 0; // pixels
    double strength = 0;
    bool inner = false, knockout = false, compositeSource = false, onTop = false;
    int passes = 1;
    std::vector<Rgba> gradientColors;
    std::vector<std::uint8_t> gradientRatios;
    // convolution
    int matrixX = 0, matrixY = 0;
    float divisor = 1, bias = 0;
    std::vector<float> convolution;
    Rgba defaultColor;
    bool clamp = false, preserveAlpha = false;
    // colour matrix, row-major 4x5
    std::array<float, 20> colorMatrix{};
};

Rect readRect(io::ByteReader& r);
Matrix readMatrix(io::ByteReader& r);
ColorTransform readColorTransform(io::ByteReader& r, bool withAlpha);
Rgba readRgb(io::ByteReader& r);
Rgba readRgba(io::ByteReader& r);
Rgba readArgb(io::ByteReader& r);
// Fails the reader on an unknown filter id, since the rest of the list cannot be found.
std::vector<Filter> readFilterList(io::ByteReader& r);
// SWF 6+ strings are UTF-8; older ones are in the author's code page, taken as Windows-1252.
std::string readString(io::ByteReader& r, const ParseContext& ctx);
std::string latin1ToUtf8(std::string_view text);

} // namespace swf::format
