// Bitmaps, morph shapes and static text against reference images.

#include "RenderHarness.h"
#include "RenderMovies.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace orvane::testing;
using namespace orvane::testing::render;

namespace {

// Shows bitmap `id` at (x, y) twips, each bitmap pixel 4 stage pixels.
void showBitmap(SwfWriter& m, std::uint16_t shapeId, std::uint16_t id, int x, int y, int w, int h) {
    m.defineShape(shapeId,
                  box(FillStyle::bitmap(id, Matrix::scale(80, 80, x, y), FillStyle::ClippedBitmapHard), x, y,
                      w * 80, h * 80));
    m.place(shapeId, shapeId);
}

QImage quadrants(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(0, 0, w / 2, h / 2, QColor(220, 30, 30));
    p.fillRect(w / 2, 0, w - w / 2, h / 2, QColor(30, 200, 30));
    p.fillRect(0, h / 2, w / 2, h - h / 2, QColor(30, 30, 220));
    p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, QColor(240, 240, 40));
    return img;
}

} // namespace

TEST(RenderBitmaps, LosslessFormats) {
    SwfWriter m = stage(140, 40, {200, 200, 200});
    const std::vector<Rgba> palette{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    const std::vector<std::uint8_t> idx{0, 1, 2, 1, 2, 0, 2, 0, 1};
    m.defineBitsLossless(1, LosslessBitmap::colormapped(3, 3, palette, idx, false));
    m.defineBitsLossless(2, LosslessBitmap::rgb15(3, 3,
                                                  {{255, 0, 0},
                                                   {0, 255, 0},
                                                   {0, 0, 255},
                                                   {255, 255, 0},
                                                   {0, 255, 255},
                                                   {255, 0, 255},
                                                   {0, 0, 0},
                                                   {128, 128, 128},
                                                   {255, 255, 255}}));
    m.defineBitsLossless(3, LosslessBitmap::truecolor(3, 3, std::vector<Rgba>(9, {20, 120, 220}), false));
    const std::vector<Rgba> alphaPalette{{255, 0, 0, 255}, {0, 0, 255, 128}, {0, 0, 0, 0}};
    m.defineBitsLossless2(4, LosslessBitmap::colormapped(3, 3, alphaPalette, idx, true));
    std::vector<Rgba> fade;
    for (int i = 0; i < 9; ++i)
        fade.push_back({0, 128, 0, std::uint8_t(i * 31)});
    m.defineBitsLossless2(5, LosslessBitmap::truecolor(3, 3, fade, true));
    for (int i = 0; i < 5; ++i)
        showBitmap(m, std::uint16_t(10 + i), std::uint16_t(1 + i), 100 + i * 540, 100, 3, 3);
    m.showFrame();
    EXPECT_MATCHES((RefCase{"bitmaps", "lossless", 3, 20}), m);
}

TEST(RenderBitmaps, JpegPngGifAndBrokenData) {
    SwfWriter m = stage(160, 40, {200, 200, 200});
    const QImage img = quadrants(8, 8);
    const Bytes jpeg = encodeImage(img, "JPG", 100);
    m.defineBitsJpeg2(1, jpeg);
    m.defineBitsJpeg2(2, encodeImage(img, "PNG"));
    // 1x1 red GIF89a.
    const Bytes gif{0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00,
                    0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00,
                    0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
    m.defineBitsJpeg2(3, gif);
    // JPEG3: the left half transparent, the right half half-transparent.
    std::vector<std::uint8_t> alpha(64);
    for (int i = 0; i < 64; ++i)
        alpha[i] = (i % 8) < 4 ? 0 : 128;
    m.defineBitsJpeg3(4, jpeg, alpha);
    // DefineBits: the tables and the image split the same JPEG after its first segment.
    const std::size_t cut = 2 + 2 + (std::size_t(jpeg[4]) << 8 | jpeg[5]);
    Bytes tables(jpeg.begin(), jpeg.begin() + cut);
    tables.insert(tables.end(), {0xFF, 0xD9});
    Bytes image{0xFF, 0xD8};
    image.insert(image.end(), jpeg.begin() + cut, jpeg.end());
    m.jpegTables(tables).defineBits(5, image);
    m.defineBitsJpeg2(6, Bytes{0xFF, 0xD8, 0x00, 0x01, 0x02});
    showBitmap(m, 10, 1, 100, 100, 8, 8);
    showBitmap(m, 11, 2, 800, 100, 8, 8);
    showBitmap(m, 12, 3, 1500, 100, 1, 1);
    showBitmap(m, 13, 4, 1700, 100, 8, 8);
    showBitmap(m, 14, 5, 2400, 100, 8, 8);
    showBitmap(m, 15, 6, 3000, 100, 1, 1);
    m.showFrame();
    EXPECT_MATCHES((RefCase{"bitmaps", "jpeg_png_gif", 10, 32}), m);
}

TEST(RenderMorph, InterpolatedAtRatio) {
    SwfWriter m = stage(160, 60);
    MorphShapeBuilder morph;
    const int fill = morph.addFill(MorphFillStyle::solid({255, 0, 0}, {0, 0, 255, 128}));
    MorphLineStyle line;
    line.startWidth = 20;
    line.endWidth = 120;
    line.startColor = {0, 0, 0};
    line.endColor = {0, 160, 0};
    const int ln = morph.addLine(line);
    morph.start()
        .setFill0(fill)
        .setLine(ln)
        .moveTo(100, 100)
        .lineTo(700, 100)
        .lineTo(700, 700)
        .lineTo(100, 700)
        .lineTo(100, 100);
    morph.end()
        .moveTo(100, 300)
        .curveTo(500, 0, 900, 300)
        .lineTo(900, 1100)
        .lineTo(100, 1100)
        .lineTo(100, 300);
    m.defineMorphShape(1, morph);
    int depth = 1;
    for (std::uint16_t ratio : {0, 16384, 32768, 65535}) {
        PlaceObject p;
        p.depth = std::uint16_t(depth);
        p.characterId = 1;
        p.matrix = Matrix::translate((depth - 1) * 800, 0);
        p.ratio = ratio;
        m.placeObject2(p);
        ++depth;
    }
    m.showFrame();
    EXPECT_MATCHES((RefCase{"morph", "ratios", 3, 48}), m);
}

TEST(RenderText, StaticTextWithFont2AndFont3) {
    SwfWriter m = stage(160, 60);
    ShapeBuilder bar, tri;
    bar.setFill0(1).rectangle(100, -700, 300, 700);
    tri.setFill0(1).moveTo(0, 0).lineTo(500, 0).lineTo(250, -700).lineTo(0, 0);
    m.rawTag(48, defineFont(1, 2, {bar, tri}, {'I', 'A'}));
    // The same outlines at DefineFont3's twenty-fold resolution.
    ShapeBuilder bar3, tri3;
    bar3.setFill0(1).rectangle(2000, -14000, 6000, 14000);
    tri3.setFill0(1).moveTo(0, 0).lineTo(10000, 0).lineTo(5000, -14000).lineTo(0, 0);
    m.rawTag(75, defineFont(2, 3, {bar3, tri3}, {'I', 'A'}));
    TextRun a{1, {200, 0, 0}, 100, 500, 400, {{0, 200}, {1, 400}, {0, 200}}};
    TextRun b{2, {0, 0, 200}, 100, 1100, 600, {{1, 500}, {0, 300}, {1, 500}}};
    m.rawTag(11, defineText(10, 1, Rect{0, 3000, 0, 1200}, Matrix{}, {a, b}));
    TextRun c{1, {0, 150, 0, 128}, 0, 0, 800, {{1, 700}, {1, 700}}};
    m.rawTag(33, defineText(11, 2, Rect{0, 3000, 0, 1200}, Matrix::translate(1700, 800), {c}));
    m.place(10, 1).place(11, 2).showFrame();
    EXPECT_MATCHES((RefCase{"text", "static_fonts", 3, 48}), m);
}

TEST(RenderText, EditTextFieldsWithEmbeddedGlyphs) {
    SwfWriter m = stage(200, 80);
    // Glyphs for 'A', 'I' and 'O' (an O is a ring: an outer and an inner square).
    ShapeBuilder a, i, o;
    a.setFill0(1).moveTo(0, 0).lineTo(250, -700).lineTo(500, 0).lineTo(0, 0);
    i.setFill0(1).rectangle(100, -700, 150, 700);
    o.setFill0(1).rectangle(50, -700, 500, 700).rectangle(200, -550, 200, 400);
    m.rawTag(48, defineFont(1, 2, {a, i, o}, {'A', 'I', 'O'}, {550, 350, 650}, 800, 200));
    EditTextField left;
    left.bounds = Rect{100, 1900, 100, 700};
    left.fontId = 1;
    left.height = 300;
    left.color = {180, 0, 0};
    left.border = true;
    left.text = "AIO OIA";
    m.rawTag(37, defineEditText(10, left));
    EditTextField wrapped = left;
    wrapped.bounds = Rect{2000, 3900, 100, 1500};
    wrapped.color = {0, 0, 180, 255};
    wrapped.multiline = wrapped.wordWrap = true;
    wrapped.border = false;
    wrapped.align = 2;
    wrapped.html = true;
    wrapped.text = "<p>AIO OIA AAA</p><p>I&amp;O</p>";
    m.rawTag(37, defineEditText(11, wrapped));
    EditTextField secret = left;
    secret.bounds = Rect{100, 1900, 800, 1500};
    secret.password = true;
    secret.align = 1;
    m.rawTag(37, defineEditText(12, secret)); // no '*' glyph: nothing but the border shows
    m.place(10, 1).place(11, 2).place(12, 3).showFrame();
    EXPECT_MATCHES((RefCase{"text", "edit_fields", 3, 80}), m);
}

TEST(RenderText, EditTextFieldsWithDeviceFonts) {
    SwfWriter m = stage(200, 80);
    // A DefineFont2 without glyphs names the system font to use.
    auto deviceFont = [](std::uint16_t id, const std::string& name) {
        ByteWriter w;
        w.u16(id);
        w.u8(0);
        w.u8(0);
        w.u8(static_cast<std::uint8_t>(name.size()));
        w.bytes(std::vector<std::uint8_t>(name.begin(), name.end()));
        w.u16(0);
        return w.data();
    };
    m.rawTag(48, deviceFont(1, "_sans")).rawTag(48, deviceFont(2, "_typewriter"));
    EditTextField sans;
    sans.bounds = Rect{100, 3900, 100, 600};
    sans.fontId = 1;
    sans.height = 280;
    sans.color = {0, 0, 160};
    sans.outlines = false;
    sans.text = "Hello, Orvane";
    m.rawTag(37, defineEditText(10, sans));
    EditTextField mono = sans;
    mono.fontId = 2;
    mono.bounds = Rect{100, 3900, 600, 1150};
    mono.align = 2;
    mono.border = true;
    mono.color = {150, 0, 0};
    mono.text = "centred 0123";
    m.rawTag(37, defineEditText(11, mono));
    // Static text set in a device font: the font keeps a code table and empty outlines.
    m.rawTag(48, defineFont(3, 2, std::vector<ShapeBuilder>(4), {'a', 'h', 's', 'w'}));
    TextRun run{3, {0, 120, 0}, 100, 1500, 300, {{3, 220}, {0, 170}, {2, 150}, {1, 170}}};
    m.rawTag(11, defineText(12, 1, Rect{0, 3000, 0, 1600}, Matrix{}, {run}));
    m.place(10, 1).place(11, 2).place(12, 3).showFrame();
    // Glyph rasterising differs a little between FreeType builds: a generous allowance.
    EXPECT_MATCHES((RefCase{"text", "device_fonts", 24, 200}), m);
}

namespace {

struct ButtonRecord {
    std::uint8_t states; // 0x01 up, 0x02 over, 0x04 down, 0x08 hit test
    std::uint16_t characterId, depth;
    Matrix matrix;
};

// DefineButton2 without actions.
Bytes defineButton2(std::uint16_t id, const std::vector<ButtonRecord>& records) {
    ByteWriter w;
    w.u16(id);
    w.u8(0);
    w.u16(0);
    for (const ButtonRecord& r : records) {
        w.u8(r.states);
        w.u16(r.characterId);
        w.u16(r.depth);
        encode::matrix(w, r.matrix);
        encode::colorTransform(w, ColorTransform{}, true);
    }
    w.u8(0);
    return w.data();
}

} // namespace

TEST(RenderButtons, UpStateWithShapesAndSpritesFirstFrames) {
    SwfWriter m = stage(100, 40);
    m.defineShape(1, box(solid(0, 160, 0), 0, 0, 400, 400));
    m.defineShape(2, box(solid(200, 0, 0), 0, 0, 400, 400));
    Sprite graphic; // two frames: only the first shows inside a button
    graphic.place(1, 1).showFrame().removeObject2(1).place(2, 1).showFrame();
    m.defineSprite(3, graphic);
    m.rawTag(34, defineButton2(4, {{0x01, 3, 1, Matrix::translate(100, 100)},
                                   {0x01, 1, 2, Matrix::translate(600, 100)},
                                   {0x02 | 0x04 | 0x08, 2, 3, Matrix::translate(100, 300)}}));
    // A sprite that places itself twice: drawing it must stop somewhere.
    Sprite loop;
    loop.place(1, 1, Matrix::scale(0.5, 0.5)).place(5, 2, Matrix::scale(0.5, 0.5, 200, 0));
    loop.place(5, 3, Matrix::scale(0.5, 0.5, 0, 200)).showFrame();
    m.defineSprite(5, loop);
    m.rawTag(34, defineButton2(6, {{0x01, 5, 1, Matrix{}}}));
    m.place(4, 1).place(6, 2, Matrix::translate(1200, 0)).showFrame();
    EXPECT_MATCHES((RefCase{"buttons", "up_state", 3, 20}), m);
}
