// orvane-demo-movie: writes the demo movie that scripts/demo packs into a projector.
// Everything is drawn by our SWF writer: rotating and drifting gradients, a morph, a
// bitmap and a line of text, ten seconds at 30 frames a second.
//
//   orvane-demo-movie OUT.swf

#include "SwfWriter.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <numbers>
#include <string>

using namespace orvane::testing;

namespace {

constexpr int kWidth = 640, kHeight = 400, kFrames = 300;
constexpr double kFps = 30.0;
constexpr std::uint16_t kGradientBar = 1, kOrb = 2, kMorph = 3, kBitmap = 4, kPicture = 5, kFont = 6,
                        kText = 7;

constexpr int twips(double pixels) {
    return int(pixels * 20.0);
}

// 5 x 7 pixel letters; '#' is ink.
struct Letter {
    char c;
    const char* rows[7];
};
constexpr Letter kLetters[] = {
    {'O', {" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'R', {"#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"}},
    {'V', {"#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "}},
    {'A', {" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'N', {"#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"}},
    {'E', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"}},
};
constexpr int kEmPixel = 128; // font units (1024 to the EM) per letter pixel

// DefineFont: offset table, then one SHAPE per glyph (one fill bit, no line bits).
std::vector<std::uint8_t> defineFont() {
    std::vector<std::vector<std::uint8_t>> glyphs;
    for (const Letter& letter : kLetters) {
        ShapeBuilder glyph;
        glyph.setFill1(1);
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col)
                if (letter.rows[row][col] == '#')
                    glyph.rectangle(col * kEmPixel, (row - 7) * kEmPixel, kEmPixel, kEmPixel);
        glyphs.push_back(glyph.encodeShape(1, 0, 1));
    }
    ByteWriter out;
    out.u16(kFont);
    std::size_t offset = glyphs.size() * 2;
    for (const auto& g : glyphs) {
        out.u16(std::uint16_t(offset));
        offset += g.size();
    }
    for (const auto& g : glyphs)
        out.bytes(g);
    return out.take();
}

// DefineText with one record: "ORVANE" in the font above.
std::vector<std::uint8_t> defineText(int heightTwips) {
    const int advance = heightTwips * 6 / 8;
    ByteWriter out;
    out.u16(kText);
    encode::rect(out, {0, advance * 6, -heightTwips, heightTwips / 8});
    encode::matrix(out, Matrix{});
    const int glyphBits = 3, advanceBits = BitWriter::signedBits(advance);
    out.u8(glyphBits);
    out.u8(std::uint8_t(advanceBits));
    out.u8(0x80 | 0x08 | 0x04 | 0x01); // text record: font, colour, x offset
    out.u16(kFont);
    encode::rgb(out, {255, 255, 255});
    out.s16(0);
    out.u16(std::uint16_t(heightTwips));
    out.u8(6);
    BitWriter bits;
    for (int i = 0; i < 6; ++i) {
        bits.writeUB(std::uint32_t(i), glyphBits);
        bits.writeSB(advance, advanceBits);
    }
    out.bytes(bits.bytes());
    out.u8(0);
    return out.take();
}

// A 64 x 64 picture: concentric rings over a diagonal colour sweep.
LosslessBitmap picture() {
    std::vector<Rgba> pixels;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const double r = std::hypot(x - 31.5, y - 31.5);
            const bool ring = int(r / 4) % 2 == 0;
            const auto sweep = std::uint8_t((x + y) * 2);
            pixels.push_back(ring ? Rgba{sweep, 80, std::uint8_t(255 - sweep), 255}
                                  : Rgba{250, 220, 90, 255});
        }
    return LosslessBitmap::truecolor(64, 64, pixels, true);
}

Matrix rotation(double angle, double scale, int tx, int ty) {
    Matrix m;
    m.scaleX = m.scaleY = std::cos(angle) * scale;
    m.rotateSkew0 = std::sin(angle) * scale;
    m.rotateSkew1 = -std::sin(angle) * scale;
    m.translateX = tx;
    m.translateY = ty;
    return m;
}

SwfWriter demoMovie() {
    SwfWriter movie;
    movie.setStageSize(kWidth, kHeight).setFrameRate(kFps).setCompression(Compression::Zlib);
    movie.setBackgroundColor({18, 24, 48});

    // A wide bar with a linear rainbow gradient, drawn around its own centre.
    ShapeBuilder bar;
    const int barW = twips(520), barH = twips(60);
    bar.setFill0(bar.addFill(FillStyle::linear(Matrix::scale(barW / 32768.0, 1.0), {{0, {255, 60, 60}},
                                                                                    {64, {255, 200, 40}},
                                                                                    {128, {60, 220, 90}},
                                                                                    {192, {50, 140, 255}},
                                                                                    {255, {200, 70, 255}}})))
        .rectangle(-barW / 2, -barH / 2, barW, barH);
    movie.defineShape(kGradientBar, bar);

    // A glowing orb: radial gradient fading to transparent.
    ShapeBuilder orb;
    const int r = twips(70);
    orb.setFill0(orb.addFill(FillStyle::radial(
                     Matrix::scale(2.0 * r / 32768.0, 2.0 * r / 32768.0),
                     {{0, {255, 255, 255, 255}}, {90, {120, 200, 255, 220}}, {255, {40, 80, 255, 0}}})))
        .rectangle(-r, -r, 2 * r, 2 * r);
    movie.defineShape(kOrb, orb);

    // A square that morphs into a four-pointed star and changes colour on the way.
    MorphShapeBuilder morph;
    const int s = twips(50);
    morph.addFill(MorphFillStyle::solid({255, 120, 40}, {80, 230, 200}));
    morph.start()
        .setFill0(1)
        .moveTo(-s, -s)
        .curveTo(0, -s, s, -s)
        .curveTo(s, 0, s, s)
        .curveTo(0, s, -s, s)
        .curveTo(-s, 0, -s, -s);
    morph.end()
        .setFill0(1)
        .moveTo(0, -2 * s)
        .curveTo(0, 0, 2 * s, 0)
        .curveTo(0, 0, 0, 2 * s)
        .curveTo(0, 0, -2 * s, 0)
        .curveTo(0, 0, 0, -2 * s);
    movie.defineMorphShape(kMorph, morph);

    // The bitmap, shown one bitmap pixel to a stage pixel, twice enlarged.
    movie.defineBitsLossless2(kBitmap, picture());
    ShapeBuilder framed;
    framed.setFill0(framed.addFill(FillStyle::bitmap(kBitmap, Matrix::scale(40, 40, -twips(64), -twips(64)))))
        .setLine(framed.addLine(LineStyle::solid(60, {255, 255, 255})))
        .rectangle(-twips(64), -twips(64), twips(128), twips(128));
    movie.defineShape(kPicture, framed);

    movie.rawTag(10, defineFont());
    movie.rawTag(11, defineText(twips(40)));

    for (int frame = 0; frame < kFrames; ++frame) {
        const double t = double(frame) / kFrames; // 0..1 over the movie
        const double phase = 2 * std::numbers::pi * t;
        const Matrix barMatrix =
            rotation(phase, 0.8 + 0.2 * std::sin(2 * phase), twips(kWidth / 2), twips(140));
        const Matrix orbMatrix = Matrix::translate(twips(kWidth / 2 + 230 * std::sin(3 * phase)),
                                                   twips(kHeight / 2 + 120 * std::sin(2 * phase)));
        const auto ratio = std::uint16_t(65535 * (0.5 - 0.5 * std::cos(4 * phase)));
        const Matrix morphMatrix = rotation(-phase * 2, 1.0, twips(120), twips(300));
        const Matrix pictureMatrix = rotation(0.25 * std::sin(phase * 5), 1.0, twips(kWidth - 120),
                                              twips(290 - 40 * std::abs(std::sin(phase * 6))));
        ColorTransform glow;
        glow.redMult = std::int16_t(128 + 127 * std::sin(phase * 8));
        glow.greenMult = std::int16_t(200);
        const Matrix textMatrix = Matrix::translate(twips(kWidth / 2 - 90), twips(kHeight - 30));
        if (frame == 0) {
            movie.place(kGradientBar, 1, barMatrix);
            movie.place(kOrb, 2, orbMatrix);
            PlaceObject p;
            p.depth = 3, p.characterId = kMorph, p.matrix = morphMatrix, p.ratio = ratio;
            movie.placeObject2(p);
            movie.place(kPicture, 4, pictureMatrix);
            PlaceObject text;
            text.depth = 5, text.characterId = kText, text.matrix = textMatrix, text.colorTransform = glow;
            movie.placeObject2(text);
        } else {
            movie.moveTo(1, barMatrix);
            movie.moveTo(2, orbMatrix);
            PlaceObject p;
            p.depth = 3, p.move = true, p.matrix = morphMatrix, p.ratio = ratio;
            movie.placeObject2(p);
            movie.moveTo(4, pictureMatrix);
            PlaceObject text;
            text.depth = 5, text.move = true, text.colorTransform = glow;
            movie.placeObject2(text);
        }
        movie.showFrame();
    }
    return movie;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: orvane-demo-movie OUT.swf\n");
        return 2;
    }
    try {
        demoMovie().save(argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "orvane-demo-movie: %s: %s\n", argv[1], error.what());
        return 1;
    }
    std::printf("%s\n", argv[1]);
    return 0;
}
