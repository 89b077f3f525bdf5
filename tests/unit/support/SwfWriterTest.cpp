// Reads what the writer produced with an independent little reader, so a slip in the
// writer shows up here rather than as a puzzling failure in another module's tests.

#include "SwfWriter.h"

#include <gtest/gtest.h>
#include <lzma.h>
#include <zlib.h>

#include <map>

using namespace orvane::testing;

namespace {

struct Bits {
    const std::vector<std::uint8_t>& data;
    std::size_t bit = 0;

    std::uint32_t ub(int n) {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++bit)
            v = v << 1 | ((data.at(bit / 8) >> (7 - bit % 8)) & 1u);
        return v;
    }
    std::int32_t sb(int n) {
        if (n == 0)
            return 0;
        std::uint32_t v = ub(n);
        if (n < 32 && (v >> (n - 1)) & 1u)
            v |= ~0u << n;
        return static_cast<std::int32_t>(v);
    }
    void align() { bit = (bit + 7) / 8 * 8; }
    std::size_t byte() const { return bit / 8; }
    std::uint16_t u16() {
        align();
        std::uint16_t v = static_cast<std::uint16_t>(data.at(byte()) | data.at(byte() + 1) << 8);
        bit += 16;
        return v;
    }
    std::uint32_t u32() {
        std::uint32_t lo = u16();
        return lo | std::uint32_t(u16()) << 16;
    }
};

std::vector<std::uint8_t> inflateAll(const std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> out(file.begin(), file.begin() + 8);
    const std::uint32_t length = file[4] | file[5] << 8 | file[6] << 16 | std::uint32_t(file[7]) << 24;
    out.resize(length);
    if (file[0] == 'C') {
        uLongf size = length - 8;
        EXPECT_EQ(uncompress(out.data() + 8, &size, file.data() + 8, file.size() - 8), Z_OK);
        EXPECT_EQ(size, length - 8);
    } else if (file[0] == 'Z') {
        // Rebuild the .lzma header: 5 property bytes and the uncompressed size.
        std::vector<std::uint8_t> alone(file.begin() + 12, file.begin() + 17);
        const std::uint64_t size = length - 8;
        for (int i = 0; i < 8; ++i)
            alone.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
        alone.insert(alone.end(), file.begin() + 17, file.end());
        const std::uint32_t compressed =
            file[8] | file[9] << 8 | file[10] << 16 | std::uint32_t(file[11]) << 24;
        EXPECT_EQ(compressed, file.size() - 17);
        lzma_stream s = LZMA_STREAM_INIT;
        EXPECT_EQ(lzma_alone_decoder(&s, UINT64_MAX), LZMA_OK);
        s.next_in = alone.data();
        s.avail_in = alone.size();
        s.next_out = out.data() + 8;
        s.avail_out = size;
        const lzma_ret rc = lzma_code(&s, LZMA_FINISH);
        EXPECT_TRUE(rc == LZMA_STREAM_END || rc == LZMA_OK) << rc;
        EXPECT_EQ(s.avail_out, 0u);
        lzma_end(&s);
    } else {
        out = file;
    }
    return out;
}

struct Parsed {
    char signature = 0;
    int version = 0;
    std::uint32_t fileLength = 0;
    int nbits = 0;
    std::int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    std::uint16_t frameRate = 0, frameCount = 0;
    std::vector<std::pair<int, std::vector<std::uint8_t>>> tags;
};

std::vector<std::pair<int, std::vector<std::uint8_t>>> readTags(const std::vector<std::uint8_t>& data,
                                                                std::size_t pos, std::size_t end) {
    std::vector<std::pair<int, std::vector<std::uint8_t>>> tags;
    while (pos + 2 <= end) {
        const std::uint16_t head = static_cast<std::uint16_t>(data[pos] | data[pos + 1] << 8);
        pos += 2;
        std::size_t length = head & 0x3F;
        if (length == 0x3F) {
            length = data[pos] | data[pos + 1] << 8 | data[pos + 2] << 16 | std::size_t(data[pos + 3]) << 24;
            pos += 4;
        }
        EXPECT_LE(pos + length, end);
        tags.emplace_back(head >> 6,
                          std::vector<std::uint8_t>(data.begin() + pos, data.begin() + pos + length));
        pos += length;
        if ((head >> 6) == 0)
            break;
    }
    EXPECT_EQ(pos, end);
    return tags;
}

Parsed parse(const std::vector<std::uint8_t>& file) {
    const auto data = inflateAll(file);
    Parsed p;
    p.signature = static_cast<char>(data[0]);
    p.version = data[3];
    p.fileLength = data[4] | data[5] << 8 | data[6] << 16 | std::uint32_t(data[7]) << 24;
    Bits b{data, 64};
    p.nbits = static_cast<int>(b.ub(5));
    p.xMin = b.sb(p.nbits);
    p.xMax = b.sb(p.nbits);
    p.yMin = b.sb(p.nbits);
    p.yMax = b.sb(p.nbits);
    p.frameRate = b.u16();
    p.frameCount = b.u16();
    p.tags = readTags(data, b.byte(), data.size());
    return p;
}

int countTags(const Parsed& p, int code) {
    int n = 0;
    for (const auto& t : p.tags)
        n += t.first == code;
    return n;
}

} // namespace

TEST(BitWriter, PacksMostSignificantBitFirstAndChecksRanges) {
    BitWriter w;
    w.writeUB(0b101, 3);
    w.writeSB(-1, 2);
    w.writeUB(0, 0);
    w.writeSB(-4, 3);
    EXPECT_EQ(w.bytes(), (std::vector<std::uint8_t>{0b10111100}));
    EXPECT_THROW(w.writeUB(8, 3), std::invalid_argument);
    EXPECT_THROW(w.writeSB(4, 3), std::invalid_argument);
    EXPECT_THROW(w.writeSB(1, 0), std::invalid_argument);
    EXPECT_EQ(BitWriter::signedBits(0), 0);
    EXPECT_EQ(BitWriter::signedBits(-1), 1);
    EXPECT_EQ(BitWriter::signedBits(11000), 15);
    EXPECT_EQ(BitWriter::signedBits(-65536), 17);
    EXPECT_EQ(BitWriter::signedBits(INT32_MIN), 32);
}

class WriterRoundTrip : public ::testing::TestWithParam<Compression> {};

TEST_P(WriterRoundTrip, HeaderFieldsAndTagStreamReadBack) {
    SwfWriter movie;
    movie.setCompression(GetParam());
    movie.setVersion(13).setStageSize(550, 400).setFrameRate(12.5);
    movie.setBackgroundColor({1, 2, 3});
    ShapeBuilder box;
    box.setFill0(static_cast<std::uint32_t>(box.addFill(FillStyle::solid({255, 0, 0}))))
        .rectangle(0, 0, 100, 100);
    movie.defineShape(1, box).place(1, 1).showFrame();
    Sprite sprite;
    sprite.place(1, 1).showFrame(3);
    movie.defineSprite(2, sprite).place(2, 2).showFrame();
    movie.removeObject2(2).frameLabel("end").showFrame();
    std::vector<std::uint8_t> bigBody(70000, 0xAB); // long header, longer than 16 bits
    movie.rawTag(777, bigBody);

    const auto file = movie.bytes();
    const Parsed p = parse(file);
    EXPECT_EQ(p.signature, GetParam() == Compression::None   ? 'F'
                           : GetParam() == Compression::Zlib ? 'C'
                                                             : 'Z');
    EXPECT_EQ(p.version, 13);
    EXPECT_EQ(p.fileLength, movie.uncompressedBytes().size());
    EXPECT_EQ(p.nbits, 15);
    EXPECT_EQ(p.xMax, 11000);
    EXPECT_EQ(p.yMax, 8000);
    EXPECT_EQ(p.frameRate, 0x0C80);
    EXPECT_EQ(p.frameCount, 3);
    ASSERT_FALSE(p.tags.empty());
    EXPECT_EQ(p.tags.back().first, 0);
    EXPECT_EQ(countTags(p, 1), 3);
    EXPECT_EQ(p.tags.front(), (std::pair<int, std::vector<std::uint8_t>>{9, {1, 2, 3}}));
    ASSERT_EQ(p.tags[p.tags.size() - 2].first, 777);
    EXPECT_EQ(p.tags[p.tags.size() - 2].second, bigBody);

    // The sprite's nested stream: id, frame count, its tags, its own End.
    for (const auto& [code, body] : p.tags) {
        if (code != 39)
            continue;
        EXPECT_EQ(body[0] | body[1] << 8, 2);
        EXPECT_EQ(body[2] | body[3] << 8, 3);
        const auto nested = readTags(body, 4, body.size());
        EXPECT_EQ(nested.size(), 5u);
        EXPECT_EQ(nested.back().first, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(AllCompressions, WriterRoundTrip,
                         ::testing::Values(Compression::None, Compression::Zlib, Compression::Lzma));

TEST(SwfWriter, OverridesAndMissingEnd) {
    SwfWriter movie;
    movie.setStage({5, 11000, 7, 8000}, 31).setFrameCount(9).setDeclaredLength(1234).setFrameRateRaw(0);
    movie.setAppendEnd(false).showFrame();
    const auto file = movie.bytes();
    const Parsed p = parse(movie.uncompressedBytes());
    EXPECT_EQ(p.nbits, 31);
    EXPECT_EQ(p.xMin, 5);
    EXPECT_EQ(p.yMin, 7);
    EXPECT_EQ(p.frameCount, 9);
    EXPECT_EQ(p.fileLength, 1234u);
    EXPECT_EQ(p.frameRate, 0);
    ASSERT_EQ(p.tags.size(), 1u);
    EXPECT_EQ(p.tags[0].first, 1);
}

// Decodes the shape records of a DefineShape body back into pen positions.
TEST(ShapeBuilder, RecordsDecodeToTheDrawnPoints) {
    ShapeBuilder s;
    const auto fill = static_cast<std::uint32_t>(s.addFill(FillStyle::solid({0, 0, 255, 128})));
    const auto line = static_cast<std::uint32_t>(s.addLine(LineStyle::solid(40, {0, 0, 0})));
    s.setFill1(fill)
        .setLine(line)
        .moveTo(-100, 50)
        .lineTo(200000, 50)
        .lineTo(200000, 3000)
        .lineTo(0, 3000)
        .curveTo(-50, 1500, -100, 50);
    EXPECT_THROW(ShapeBuilder().curveTo(70000, 0, 0, 0), std::invalid_argument);
    s.newStyles();
    const auto second = static_cast<std::uint32_t>(s.addFill(FillStyle::solid({9, 9, 9})));
    s.addFill(FillStyle::solid({8, 8, 8}));
    s.addFill(FillStyle::solid({7, 7, 7}));
    s.setFill0(second).moveTo(0, 0).lineTo(0, -10);

    SwfWriter movie;
    movie.defineShape(1, s, 3);
    const auto p = parse(movie.bytes());
    ASSERT_EQ(p.tags[0].first, 32);
    const auto& body = p.tags[0].second;
    Bits b{body, 16};
    const int nb = static_cast<int>(b.ub(5));
    const std::int32_t bounds[4] = {b.sb(nb), b.sb(nb), b.sb(nb), b.sb(nb)};
    EXPECT_EQ(bounds[0], -120); // widened by half the line width
    EXPECT_EQ(bounds[1], 200020);
    b.align();
    ASSERT_EQ(body.at(b.byte()), 1); // one fill: type, RGBA
    b.bit += 8 * 6;
    ASSERT_EQ(body.at(b.byte()), 1); // one line: width, RGBA
    b.bit += 8 * 7;
    int fillBits = static_cast<int>(b.ub(4)), lineBits = static_cast<int>(b.ub(4));
    EXPECT_EQ(fillBits, 1);
    EXPECT_EQ(lineBits, 1);

    std::vector<std::pair<std::int32_t, std::int32_t>> points;
    std::int32_t x = 0, y = 0;
    int edges = 0, curves = 0, newStyles = 0;
    std::uint32_t lastFill0 = 0;
    for (;;) {
        if (b.ub(1) == 1) {
            const bool straight = b.ub(1);
            const int n = static_cast<int>(b.ub(4)) + 2;
            if (straight) {
                const bool general = b.ub(1);
                const bool vertical = general ? false : b.ub(1);
                if (general || !vertical)
                    x += b.sb(n);
                if (general || vertical)
                    y += b.sb(n);
                ++edges;
            } else {
                x += b.sb(n);
                y += b.sb(n);
                x += b.sb(n);
                y += b.sb(n);
                ++curves;
            }
            points.emplace_back(x, y);
            continue;
        }
        const auto flags = b.ub(5);
        if (flags == 0)
            break;
        if (flags & 1) {
            const int n = static_cast<int>(b.ub(5));
            x = b.sb(n);
            y = b.sb(n);
            points.emplace_back(x, y);
        }
        if (flags & 2)
            lastFill0 = b.ub(fillBits);
        if (flags & 4)
            b.ub(fillBits);
        if (flags & 8)
            b.ub(lineBits);
        if (flags & 16) {
            ++newStyles;
            b.align();
            const int fills = body.at(b.byte());
            b.bit += 8 * (1 + fills * 5);
            const int lines = body.at(b.byte());
            b.bit += 8 * (1 + lines * 6);
            fillBits = static_cast<int>(b.ub(4));
            lineBits = static_cast<int>(b.ub(4));
        }
    }
    b.align();
    EXPECT_EQ(b.byte(), body.size());
    EXPECT_EQ(newStyles, 1);
    EXPECT_EQ(fillBits, 2);
    EXPECT_EQ(lastFill0, 1u);
    EXPECT_EQ(curves, 1);
    EXPECT_EQ(edges, 10); // the two long edges are split in 4 each
    const std::vector<std::pair<std::int32_t, std::int32_t>> corners{{-100, 50}, {200000, 3000}, {0, 3000},
                                                                     {-100, 50}, {0, 0},         {0, -10}};
    std::size_t at = 0;
    for (const auto& pt : points)
        if (at < corners.size() && pt == corners[at])
            ++at;
    EXPECT_EQ(at, corners.size());
}

TEST(TagList, PlaceObjectFlagsFollowTheFieldsSet) {
    PlaceObject p;
    p.depth = 7;
    p.characterId = 3;
    p.name = "clip";
    p.clipActions.push_back({0x02, std::nullopt, {0x07}});
    SwfWriter movie;
    movie.placeObject2(p);
    p.blendMode = 3;
    p.filters = std::vector<Filter>{Filter::blur(4, 4)};
    p.clipActions.clear();
    movie.placeObject3(p);
    const auto parsed = parse(movie.bytes());
    const auto& po2 = parsed.tags[0].second;
    EXPECT_EQ(po2[0], 0x80 | 0x20 | 0x02);
    EXPECT_EQ(po2[1] | po2[2] << 8, 7);
    const auto& po3 = parsed.tags[1].second;
    EXPECT_EQ(po3[0], 0x20 | 0x02);
    EXPECT_EQ(po3[1], 0x02 | 0x01);
    // depth, id, "clip\0", filter count 1, blur id 1, 9 bytes, blend mode 3
    ASSERT_EQ(po3.size(), 2u + 2 + 2 + 5 + 1 + 1 + 9 + 1);
    EXPECT_EQ(po3.back(), 3);
}

TEST(TagList, BitmapHelpersLayOutRowsAsTheFormatWants) {
    const auto cm = LosslessBitmap::colormapped(3, 2, {{1, 2, 3, 4}, {5, 6, 7, 8}}, {0, 1, 0, 1, 1, 0}, true);
    EXPECT_EQ(cm.colorTableSize, 1);
    EXPECT_EQ(cm.pixels.size(), 2u * 4 + 2 * 4); // palette RGBA, rows padded to 4
    const auto tc = LosslessBitmap::truecolor(1, 1, {{255, 128, 0, 128}}, true);
    EXPECT_EQ(tc.pixels, (std::vector<std::uint8_t>{128, 128, 64, 0}));
    const auto r15 = LosslessBitmap::rgb15(1, 1, {{255, 0, 255}});
    EXPECT_EQ(r15.pixels, (std::vector<std::uint8_t>{0x7C, 0x1F, 0, 0}));
    EXPECT_THROW(LosslessBitmap::truecolor(2, 2, {{}}, false), std::invalid_argument);
}

namespace {
std::uint16_t at16(const std::vector<std::uint8_t>& b, std::size_t i) {
    return static_cast<std::uint16_t>(b.at(i) | b.at(i + 1) << 8);
}
} // namespace

// Tables that point into the same tag must land where the format says.
TEST(TagList, FontAndButtonOffsetsPointAtTheirTables) {
    ShapeBuilder a, b;
    a.setFill0(1).rectangle(0, -700, 500, 700);
    b.setFill0(1).moveTo(0, 0).lineTo(300, -700).lineTo(600, 0).close();
    FontBuilder font;
    font.addGlyph('A', a, 550).addGlyph(0x263A, b, 650);
    font.hasLayout = true;
    font.kerning.push_back({'A', 0x263A, -40});

    ButtonBuilder button;
    button.records.push_back(ButtonRecord::of(ButtonRecord::Up | ButtonRecord::HitTest, 1, 1));
    button.condActions.push_back({ButtonCondAction::OverDownToOverUp, {0x06}});
    button.condActions.push_back({ButtonCondAction::keyPress(13), {0x07}});

    SwfWriter movie;
    movie.defineFont2(3, font, 3).defineButton(4, button, 2);
    const auto p = parse(movie.bytes());
    ASSERT_EQ(p.tags[0].first, 75);
    const auto& f = p.tags[0].second;
    EXPECT_EQ(f[2], 0x80 | 0x04); // layout, wide codes
    const std::size_t table = 2 + 1 + 1 + 1 + font.name.size() + 2;
    ASSERT_EQ(at16(f, table - 2), 2);
    EXPECT_EQ(at16(f, table), 6); // first glyph right after three offsets
    const std::size_t codes = table + at16(f, table + 4);
    EXPECT_EQ(at16(f, codes), 'A');
    EXPECT_EQ(at16(f, codes + 2), 0x263A);
    EXPECT_EQ(static_cast<std::int16_t>(at16(f, codes + 4 + 6)), 550); // after ascent, descent, leading
    EXPECT_EQ(static_cast<std::int16_t>(at16(f, f.size() - 2)), -40);

    ASSERT_EQ(p.tags[1].first, 34);
    const auto& btn = p.tags[1].second;
    const std::size_t first = 3 + at16(btn, 3);
    const std::uint16_t next = at16(btn, first);
    EXPECT_EQ(at16(btn, first + 2), ButtonCondAction::OverDownToOverUp);
    EXPECT_EQ(btn.at(first + 4), 0x06);
    EXPECT_EQ(at16(btn, first + next), 0); // the last one runs to the end of the tag
    EXPECT_EQ(btn.at(first + next + 3), 13 << 1);
    EXPECT_EQ(btn.back(), 0);
}

TEST(TagList, TextRecordsUseTheNarrowestFieldsThatFit) {
    TextBuilder text;
    text.records.push_back({7, 400, Rgba{1, 2, 3, 4}, 20, 300, {{0, 500}, {5, -3}}});
    SwfWriter movie;
    movie.defineText(9, text, 2);
    const auto p = parse(movie.bytes());
    const auto& t = p.tags[0].second;
    // id, RECT (Nbits 12 -> 7 bytes), matrix (1 byte), glyph bits, advance bits
    const std::size_t bits = 2 + 7 + 1;
    EXPECT_EQ(t.at(bits), 3);      // index 5
    EXPECT_EQ(t.at(bits + 1), 10); // advance 500
    EXPECT_EQ(t.at(bits + 2), 0x8F);
    EXPECT_EQ(at16(t, bits + 3), 7);
    EXPECT_EQ(t.at(bits + 2 + 1 + 2 + 4 + 4 + 2), 2); // glyph count
    EXPECT_EQ(t.size(), bits + 2 + 1 + 2 + 4 + 4 + 2 + 1 + 4 /* 26 bits */ + 1);
}
