#include "ShapeBuilder.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace orvane::testing {

namespace {

constexpr std::int64_t kMaxEdgeDelta = 65535; // SB[17], the widest an edge record holds

int styleBits(std::size_t count) {
    const int bits = BitWriter::unsignedBits(static_cast<std::uint32_t>(count));
    if (bits > 15)
        throw std::invalid_argument("too many styles for a shape record");
    return bits;
}

int edgeBits(std::initializer_list<std::int32_t> deltas) {
    int bits = 2;
    for (std::int32_t d : deltas)
        bits = std::max(bits, BitWriter::signedBits(d));
    return bits;
}

} // namespace

int ShapeBuilder::addFill(const FillStyle& fill) {
    auto& fills = m_styleSets.back().fills;
    fills.push_back(fill);
    return static_cast<int>(fills.size());
}

int ShapeBuilder::addLine(const LineStyle& line) {
    auto& lines = m_styleSets.back().lines;
    lines.push_back(line);
    return static_cast<int>(lines.size());
}

ShapeBuilder::StyleChange& ShapeBuilder::openChange() {
    if (!m_records.empty())
        if (auto* change = std::get_if<StyleChange>(&m_records.back()); change && !change->newStyles)
            return *change;
    m_records.emplace_back(StyleChange{});
    return std::get<StyleChange>(m_records.back());
}

ShapeBuilder& ShapeBuilder::setFill0(std::uint32_t index) {
    StyleChange* c = &openChange();
    if (c->fill0) {
        m_records.emplace_back(StyleChange{});
        c = &std::get<StyleChange>(m_records.back());
    }
    c->fill0 = index;
    return *this;
}

ShapeBuilder& ShapeBuilder::setFill1(std::uint32_t index) {
    StyleChange* c = &openChange();
    if (c->fill1) {
        m_records.emplace_back(StyleChange{});
        c = &std::get<StyleChange>(m_records.back());
    }
    c->fill1 = index;
    return *this;
}

ShapeBuilder& ShapeBuilder::setLine(std::uint32_t index) {
    StyleChange* c = &openChange();
    if (c->line) {
        m_records.emplace_back(StyleChange{});
        c = &std::get<StyleChange>(m_records.back());
    }
    c->line = index;
    return *this;
}

ShapeBuilder& ShapeBuilder::newStyles() {
    // Kept in a record of its own: style indices written beside new arrays would use the
    // old arrays' bit widths, which need not be wide enough.
    m_styleSets.emplace_back();
    StyleChange change;
    change.newStyles = m_styleSets.size() - 1;
    m_records.emplace_back(change);
    return *this;
}

void ShapeBuilder::include(std::int64_t x, std::int64_t y) {
    if (!m_seenPoint) {
        m_minX = m_maxX = x;
        m_minY = m_maxY = y;
        m_seenPoint = true;
        return;
    }
    m_minX = std::min(m_minX, x);
    m_maxX = std::max(m_maxX, x);
    m_minY = std::min(m_minY, y);
    m_maxY = std::max(m_maxY, y);
}

ShapeBuilder& ShapeBuilder::moveTo(std::int32_t x, std::int32_t y) {
    StyleChange* c = &openChange();
    if (c->moveTo) {
        m_records.emplace_back(StyleChange{});
        c = &std::get<StyleChange>(m_records.back());
    }
    c->moveTo = {x, y};
    m_penX = m_startX = x;
    m_penY = m_startY = y;
    include(x, y);
    return *this;
}

ShapeBuilder& ShapeBuilder::lineTo(std::int32_t x, std::int32_t y) {
    const std::int64_t dx = std::int64_t(x) - m_penX, dy = std::int64_t(y) - m_penY;
    const std::int64_t longest = std::max(std::llabs(dx), std::llabs(dy));
    const std::int64_t pieces = std::max<std::int64_t>(1, (longest + kMaxEdgeDelta - 1) / kMaxEdgeDelta);
    std::int64_t doneX = 0, doneY = 0;
    for (std::int64_t i = 1; i <= pieces; ++i) {
        const std::int64_t toX = dx * i / pieces, toY = dy * i / pieces;
        Edge e;
        e.dx1 = static_cast<std::int32_t>(toX - doneX);
        e.dy1 = static_cast<std::int32_t>(toY - doneY);
        m_records.emplace_back(e);
        doneX = toX;
        doneY = toY;
    }
    m_penX = x;
    m_penY = y;
    include(x, y);
    return *this;
}

ShapeBuilder& ShapeBuilder::curveTo(std::int32_t cx, std::int32_t cy, std::int32_t ax, std::int32_t ay) {
    const std::int64_t d[4] = {std::int64_t(cx) - m_penX, std::int64_t(cy) - m_penY, std::int64_t(ax) - cx,
                               std::int64_t(ay) - cy};
    for (std::int64_t v : d)
        if (v > kMaxEdgeDelta || v < -kMaxEdgeDelta - 1)
            throw std::invalid_argument("curve too long for one edge record; split it");
    Edge e;
    e.curve = true;
    e.dx1 = static_cast<std::int32_t>(d[0]);
    e.dy1 = static_cast<std::int32_t>(d[1]);
    e.dx2 = static_cast<std::int32_t>(d[2]);
    e.dy2 = static_cast<std::int32_t>(d[3]);
    m_records.emplace_back(e);
    m_penX = ax;
    m_penY = ay;
    include(cx, cy);
    include(ax, ay);
    return *this;
}

ShapeBuilder& ShapeBuilder::close() {
    return lineTo(m_startX, m_startY);
}

ShapeBuilder& ShapeBuilder::rectangle(std::int32_t x, std::int32_t y, std::int32_t width,
                                      std::int32_t height) {
    return moveTo(x, y).lineTo(x + width, y).lineTo(x + width, y + height).lineTo(x, y + height).close();
}

ShapeBuilder& ShapeBuilder::setEdgeBounds(const Rect& r) {
    m_edgeBounds = r;
    return *this;
}

ShapeBuilder& ShapeBuilder::setFlags(std::uint8_t flags) {
    m_flags = flags;
    return *this;
}

ShapeBuilder& ShapeBuilder::forceStyleBits(int fillBits, int lineBits) {
    m_forcedBits = {fillBits, lineBits};
    return *this;
}

Rect ShapeBuilder::edgeBounds() const {
    if (m_edgeBounds)
        return *m_edgeBounds;
    if (!m_seenPoint)
        return m_bounds.value_or(Rect{});
    return {static_cast<std::int32_t>(m_minX), static_cast<std::int32_t>(m_maxX),
            static_cast<std::int32_t>(m_minY), static_cast<std::int32_t>(m_maxY)};
}

Rect ShapeBuilder::bounds() const {
    if (m_bounds)
        return *m_bounds;
    if (!m_seenPoint)
        return {};
    std::int64_t widest = 0;
    for (const StyleSet& set : m_styleSets)
        for (const LineStyle& l : set.lines)
            widest = std::max<std::int64_t>(widest, l.width);
    const std::int64_t half = widest / 2;
    auto clamp = [](std::int64_t v) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
    };
    return {clamp(m_minX - half), clamp(m_maxX + half), clamp(m_minY - half), clamp(m_maxY + half)};
}

std::vector<std::uint8_t> ShapeBuilder::encodeWithStyles(int shapeVersion) const {
    const StyleSet& first = m_styleSets.front();
    ByteWriter out;
    encode::fillStyles(out, first.fills, shapeVersion);
    encode::lineStyles(out, first.lines, shapeVersion);
    const int fillBits = m_forcedBits ? m_forcedBits->first : styleBits(first.fills.size());
    const int lineBits = m_forcedBits ? m_forcedBits->second : styleBits(first.lines.size());
    BitWriter bits;
    bits.writeUB(static_cast<std::uint32_t>(fillBits), 4);
    bits.writeUB(static_cast<std::uint32_t>(lineBits), 4);
    encodeRecords(bits, fillBits, lineBits, shapeVersion);
    out.bytes(bits.bytes());
    return out.take();
}

std::vector<std::uint8_t> ShapeBuilder::encodeShape(int fillBits, int lineBits, int shapeVersion) const {
    BitWriter bits;
    bits.writeUB(static_cast<std::uint32_t>(fillBits), 4);
    bits.writeUB(static_cast<std::uint32_t>(lineBits), 4);
    encodeRecords(bits, fillBits, lineBits, shapeVersion);
    return bits.bytes();
}

void ShapeBuilder::encodeRecords(BitWriter& bits, int fillBits, int lineBits, int shapeVersion,
                                 Styles styles) const {
    const bool withStyles = styles == Styles::Write;
    for (const auto& record : m_records) {
        if (const auto* e = std::get_if<Edge>(&record)) {
            bits.writeUB(1, 1);
            if (e->curve) {
                const int n = edgeBits({e->dx1, e->dy1, e->dx2, e->dy2});
                bits.writeUB(0, 1);
                bits.writeUB(static_cast<std::uint32_t>(n - 2), 4);
                bits.writeSB(e->dx1, n);
                bits.writeSB(e->dy1, n);
                bits.writeSB(e->dx2, n);
                bits.writeSB(e->dy2, n);
                continue;
            }
            const int n = edgeBits({e->dx1, e->dy1});
            bits.writeUB(1, 1);
            bits.writeUB(static_cast<std::uint32_t>(n - 2), 4);
            const bool general = e->dx1 != 0 && e->dy1 != 0;
            bits.writeUB(general ? 1 : 0, 1);
            if (general) {
                bits.writeSB(e->dx1, n);
                bits.writeSB(e->dy1, n);
            } else {
                const bool vertical = e->dx1 == 0;
                bits.writeUB(vertical ? 1 : 0, 1);
                bits.writeSB(vertical ? e->dy1 : e->dx1, n);
            }
            continue;
        }
        const auto& c = std::get<StyleChange>(record);
        const bool newStyles = withStyles && c.newStyles.has_value();
        const bool line = withStyles && c.line.has_value();
        const bool fill1 = withStyles && c.fill1.has_value();
        const bool fill0 = withStyles && c.fill0.has_value();
        const bool move = c.moveTo.has_value();
        if (!(newStyles || line || fill1 || fill0 || move))
            continue; // would read as the end record
        bits.writeUB(0, 1);
        bits.writeUB(newStyles, 1);
        bits.writeUB(line, 1);
        bits.writeUB(fill1, 1);
        bits.writeUB(fill0, 1);
        bits.writeUB(move, 1);
        if (move) {
            const auto [x, y] = *c.moveTo;
            const int n = std::max(BitWriter::signedBits(x), BitWriter::signedBits(y));
            bits.writeUB(static_cast<std::uint32_t>(n), 5);
            bits.writeSB(x, n);
            bits.writeSB(y, n);
        }
        if (fill0)
            bits.writeUB(*c.fill0, fillBits);
        if (fill1)
            bits.writeUB(*c.fill1, fillBits);
        if (line)
            bits.writeUB(*c.line, lineBits);
        if (newStyles) {
            const StyleSet& set = m_styleSets.at(*c.newStyles);
            ByteWriter arrays;
            encode::fillStyles(arrays, set.fills, shapeVersion);
            encode::lineStyles(arrays, set.lines, shapeVersion);
            bits.appendBytes(arrays.data());
            fillBits = styleBits(set.fills.size());
            lineBits = styleBits(set.lines.size());
            bits.writeUB(static_cast<std::uint32_t>(fillBits), 4);
            bits.writeUB(static_cast<std::uint32_t>(lineBits), 4);
        }
    }
    bits.writeUB(0, 6); // end record
    bits.align();
}

} // namespace orvane::testing
