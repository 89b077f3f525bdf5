#pragma once
// Builds the SHAPEWITHSTYLE of a DefineShape tag (or a bare SHAPE for glyphs and morph
// edges) from pen moves in absolute twips; the builder works out deltas and bit widths.
//
//   ShapeBuilder s;
//   int red = s.addFill(FillStyle::solid({255, 0, 0}));
//   s.setFill0(red).moveTo(0, 0).lineTo(2000, 0).lineTo(2000, 2000).lineTo(0, 2000).close();
//   movie.defineShape(1, s);            // DefineShape3 by default

#include "BitWriter.h"
#include "SwfRecords.h"

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace orvane::testing {

class ShapeBuilder {
public:
    ShapeBuilder() = default;
    // Bounds written into the tag; without them the builder uses the points it saw,
    // widened by half the widest line.
    explicit ShapeBuilder(const Rect& bounds) : m_bounds(bounds) {}

    // Adds a style to the current arrays (the initial ones, or those of the last
    // newStyles()); returns its 1-based index.
    int addFill(const FillStyle& fill);
    int addLine(const LineStyle& line);

    ShapeBuilder& setFill0(std::uint32_t index);
    ShapeBuilder& setFill1(std::uint32_t index);
    ShapeBuilder& setLine(std::uint32_t index);
    // Starts new, empty style arrays; addFill/addLine then fill them.
    ShapeBuilder& newStyles();

    ShapeBuilder& moveTo(std::int32_t x, std::int32_t y);
    // Straight edge to (x, y); edges longer than a record holds are split.
    ShapeBuilder& lineTo(std::int32_t x, std::int32_t y);
    // Quadratic edge through control (cx, cy) to anchor (ax, ay).
    ShapeBuilder& curveTo(std::int32_t cx, std::int32_t cy, std::int32_t ax, std::int32_t ay);
    // Straight edge back to the last moveTo point.
    ShapeBuilder& close();
    // Axis-aligned rectangle as one closed contour, starting with a moveTo.
    ShapeBuilder& rectangle(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);

    // DefineShape4 only.
    ShapeBuilder& setEdgeBounds(const Rect& r);
    ShapeBuilder& setFlags(std::uint8_t flags); // 0x04 winding rule, 0x02 non-scaling, 0x01 scaling strokes
    // Widths of the style indices in the records (e.g. to write indices past the arrays).
    ShapeBuilder& forceStyleBits(int fillBits, int lineBits);

    Rect bounds() const;
    Rect edgeBounds() const;
    std::uint8_t flags() const { return m_flags; }

    // SHAPEWITHSTYLE for DefineShape<version>.
    std::vector<std::uint8_t> encodeWithStyles(int shapeVersion) const;
    // SHAPE: style widths byte and the records (style arrays not written).
    std::vector<std::uint8_t> encodeShape(int fillBits, int lineBits, int shapeVersion = 3) const;
    // The records alone, closed by the end record and padded to a byte. Without styles only
    // moves and edges are written (a morph shape's end edges).
    enum class Styles { Write, Drop };
    void encodeRecords(BitWriter& bits, int fillBits, int lineBits, int shapeVersion,
                       Styles styles = Styles::Write) const;

private:
    struct StyleChange {
        std::optional<std::pair<std::int32_t, std::int32_t>> moveTo;
        std::optional<std::uint32_t> fill0, fill1, line;
        std::optional<std::size_t> newStyles; // index into m_styleSets
    };
    struct Edge {
        bool curve = false;
        std::int32_t dx1 = 0, dy1 = 0; // straight delta, or control delta
        std::int32_t dx2 = 0, dy2 = 0; // anchor delta of a curve
    };
    struct StyleSet {
        std::vector<FillStyle> fills;
        std::vector<LineStyle> lines;
    };

    StyleChange& openChange();
    void include(std::int64_t x, std::int64_t y);

    std::vector<StyleSet> m_styleSets{StyleSet{}};
    std::vector<std::variant<StyleChange, Edge>> m_records;
    std::optional<Rect> m_bounds;
    std::optional<Rect> m_edgeBounds;
    std::optional<std::pair<int, int>> m_forcedBits;
    std::uint8_t m_flags = 0;
    std::int32_t m_penX = 0, m_penY = 0;
    std::int32_t m_startX = 0, m_startY = 0;
    bool m_seenPoint = false;
    std::int64_t m_minX = 0, m_minY = 0, m_maxX = 0, m_maxY = 0;
};

} // namespace orvane::testing
