#pragma once
// Builds a DefineMorphShape/DefineMorphShape2 body: morph style arrays plus a start and an
// end ShapeBuilder that must draw the same edges in the same order. Style selections are
// taken from the start shape; the end shape only contributes positions.

#include "ShapeBuilder.h"
#include "SwfRecords.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace orvane::testing {

struct MorphGradientRecord {
    std::uint8_t startRatio = 0;
    Rgba startColor;
    std::uint8_t endRatio = 0;
    Rgba endColor;
};

struct MorphFillStyle {
    std::uint8_t type = FillStyle::Solid;
    Rgba startColor, endColor;
    Matrix startMatrix, endMatrix;
    std::vector<MorphGradientRecord> gradient;
    double startFocal = 0.0, endFocal = 0.0;
    std::uint16_t bitmapId = 0;

    static MorphFillStyle solid(Rgba start, Rgba end) {
        MorphFillStyle f;
        f.startColor = start;
        f.endColor = end;
        return f;
    }
};

struct MorphLineStyle {
    std::uint16_t startWidth = 20, endWidth = 20;
    Rgba startColor, endColor;
    // DefineMorphShape2 only.
    CapStyle startCap = CapStyle::Round;
    CapStyle endCap = CapStyle::Round;
    JoinStyle join = JoinStyle::Round;
    double miterLimit = 3.0;
    bool noHScale = false, noVScale = false, pixelHinting = false, noClose = false;
    std::optional<MorphFillStyle> fill;
};

class MorphShapeBuilder {
public:
    int addFill(const MorphFillStyle& fill);
    int addLine(const MorphLineStyle& line);

    ShapeBuilder& start() { return m_start; }
    ShapeBuilder& end() { return m_end; }

    MorphShapeBuilder& setStartBounds(const Rect& r);
    MorphShapeBuilder& setEndBounds(const Rect& r);
    MorphShapeBuilder& setFlags(std::uint8_t flags); // DefineMorphShape2: 0x02 non-scaling, 0x01 scaling

    // The tag body after nothing: character id first. version is 1 or 2.
    std::vector<std::uint8_t> encode(std::uint16_t id, int version) const;

private:
    std::vector<MorphFillStyle> m_fills;
    std::vector<MorphLineStyle> m_lines;
    ShapeBuilder m_start, m_end;
    std::optional<Rect> m_startBounds, m_endBounds;
    std::uint8_t m_flags = 0;
};

} // namespace orvane::testing
