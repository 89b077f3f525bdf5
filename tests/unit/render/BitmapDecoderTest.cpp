#include "swf/media/BitmapDecoder.h"
#include "swf/media/BitmapCache.h"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

using namespace swf::media;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes deflate(const Bytes& raw) {
    uLongf size = compressBound(raw.size());
    Bytes out(size);
    compress(out.data(), &size, raw.data(), raw.size());
    out.resize(size);
    return out;
}

Bytes encode(const QImage& img, const char* format, int quality = 100) {
    QByteArray ba;
    QBuffer buf(&ba);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format, quality);
    return Bytes(ba.begin(), ba.end());
}

QImage solid(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

Bytes losslessBody(int format, int w, int h, int paletteSize, const Bytes& raw) {
    Bytes body{std::uint8_t(format), std::uint8_t(w), std::uint8_t(w >> 8), std::uint8_t(h),
               std::uint8_t(h >> 8)};
    if (format == 3)
        body.push_back(std::uint8_t(paletteSize - 1));
    const Bytes z = deflate(raw);
    body.insert(body.end(), z.begin(), z.end());
    return body;
}

void expectPixel(const QImage& img, int x, int y, int r, int g, int b, int a, int tol = 0) {
    const QRgb p = img.pixel(x, y);
    EXPECT_NEAR(qRed(p), r, tol) << x << "," << y;
    EXPECT_NEAR(qGreen(p), g, tol) << x << "," << y;
    EXPECT_NEAR(qBlue(p), b, tol) << x << "," << y;
    EXPECT_NEAR(qAlpha(p), a, tol) << x << "," << y;
}

} // namespace

TEST(BitmapDecoder, LosslessPaletteWithRowPaddingAndOutOfRangeIndex) {
    // 3x2, 8-bit indices: rows padded to 4 bytes; index 7 is past a 2-entry palette.
    Bytes raw{255, 0, 0, 0, 0, 255}; // RGB palette
    raw.insert(raw.end(), {0, 1, 0, 0xEE, 1, 7, 1, 0xEE});
    DecodedBitmap d = decodeBitmap(20, losslessBody(3, 3, 2, 2, raw), {});
    ASSERT_TRUE(d.ok()) << d.error;
    EXPECT_EQ(d.image.size(), QSize(3, 2));
    EXPECT_EQ(d.image.format(), QImage::Format_ARGB32_Premultiplied);
    expectPixel(d.image, 0, 0, 255, 0, 0, 255);
    expectPixel(d.image, 1, 0, 0, 0, 255, 255);
    expectPixel(d.image, 1, 1, 0, 0, 0, 255); // out of range: black without alpha
    // With alpha the out-of-range index is transparent and palette colours are premultiplied.
    Bytes raw2{200, 100, 50, 128, 0, 0, 0, 0};
    raw2.insert(raw2.end(), {0, 1, 5, 0xEE, 0, 0, 0, 0xEE});
    d = decodeBitmap(36, losslessBody(3, 3, 2, 2, raw2), {});
    ASSERT_TRUE(d.ok()) << d.error;
    expectPixel(d.image, 0, 0, 128, 100, 50, 128); // colour above alpha clamped
    expectPixel(d.image, 2, 0, 0, 0, 0, 0);
}

TEST(BitmapDecoder, Lossless15And24And32BitPixels) {
    // PIX15 is big-endian 0RRRRRGG GGGBBBBB; one pixel rows pad to 4 bytes.
    Bytes raw15{0x7C, 0x00, 0xEE, 0xEE, 0x00, 0x1F, 0xEE, 0xEE};
    DecodedBitmap d = decodeBitmap(20, losslessBody(4, 1, 2, 0, raw15), {});
    ASSERT_TRUE(d.ok()) << d.error;
    expectPixel(d.image, 0, 0, 255, 0, 0, 255);
    expectPixel(d.image, 0, 1, 0, 0, 255, 255);

    Bytes raw24{0x00, 10, 20, 30, 0x99, 40, 50, 60}; // reserved byte ignored
    d = decodeBitmap(20, losslessBody(5, 2, 1, 0, raw24), {});
    ASSERT_TRUE(d.ok());
    expectPixel(d.image, 1, 0, 40, 50, 60, 255);

    Bytes raw32{128, 64, 32, 16, 0, 0, 0, 0, 50, 200, 10, 10}; // ARGB premultiplied; 200 > 50 clamped
    d = decodeBitmap(36, losslessBody(5, 3, 1, 0, raw32), {});
    ASSERT_TRUE(d.ok());
    expectPixel(d.image, 0, 0, 64, 32, 16, 128);
    expectPixel(d.image, 1, 0, 0, 0, 0, 0);
    expectPixel(d.image, 2, 0, 50, 10, 10, 50);
}

TEST(BitmapDecoder, MalformedLosslessIsRefusedOrPartial) {
    EXPECT_FALSE(decodeBitmap(20, Bytes{5, 1}, {}).ok());                                 // short header
    EXPECT_FALSE(decodeBitmap(20, losslessBody(7, 1, 1, 0, Bytes(4)), {}).ok());          // unknown format
    EXPECT_FALSE(decodeBitmap(20, losslessBody(5, 0, 4, 0, Bytes(4)), {}).ok());          // zero width
    EXPECT_FALSE(decodeBitmap(36, losslessBody(5, 65535, 65535, 0, Bytes(16)), {}).ok()); // absurd size
    EXPECT_FALSE(decodeBitmap(20, Bytes{5, 1, 0, 1, 0, 1, 2, 3, 4}, {}).ok());            // not zlib
    // A stream that stops early keeps the rows it has.
    DecodedBitmap d = decodeBitmap(20, losslessBody(5, 1, 2, 0, Bytes{0, 9, 8, 7}), {});
    ASSERT_TRUE(d.ok());
    expectPixel(d.image, 0, 0, 9, 8, 7, 255);
    // Palette bigger than the data: refused.
    EXPECT_FALSE(decodeBitmap(20, losslessBody(3, 2, 2, 200, Bytes{1, 2, 3}), {}).ok());
}

TEST(BitmapDecoder, JpegVariants) {
    const Bytes jpeg = encode(solid(8, 8, QColor(200, 40, 40)), "JPG");
    ASSERT_GT(jpeg.size(), 4u);
    DecodedBitmap d = decodeBitmap(21, jpeg, {});
    ASSERT_TRUE(d.ok()) << d.error;
    expectPixel(d.image, 4, 4, 200, 40, 40, 255, 6);

    // Erroneous leading EOI+SOI, and a missing final EOI.
    Bytes quirky{0xFF, 0xD9, 0xFF, 0xD8};
    quirky.insert(quirky.end(), jpeg.begin(), jpeg.end() - 2);
    d = decodeBitmap(21, quirky, {});
    ASSERT_TRUE(d.ok()) << d.error;
    expectPixel(d.image, 4, 4, 200, 40, 40, 255, 6);

    // Tables and image glued with EOI+SOI in the middle of the header.
    Bytes glued(jpeg.begin(), jpeg.begin() + 2);
    glued.insert(glued.end(), {0xFF, 0xD9, 0xFF, 0xD8});
    glued.insert(glued.end(), jpeg.begin() + 2, jpeg.end());
    d = decodeBitmap(21, glued, {});
    ASSERT_TRUE(d.ok()) << d.error;

    // DefineBits with shared tables: the whole JPEG as "tables" and a bare SOI..EOI image
    // still splices into one decodable stream.
    Bytes bits{0xFF, 0xD8};
    bits.insert(bits.end(), jpeg.begin() + 2, jpeg.end());
    d = decodeBitmap(6, Bytes{0xFF, 0xD8, 0xFF, 0xD9}, bits);
    EXPECT_TRUE(d.ok()) << d.error;

    EXPECT_FALSE(decodeBitmap(21, Bytes{0xFF, 0xD8, 1, 2, 3}, {}).ok());
    EXPECT_FALSE(decodeBitmap(21, Bytes{}, {}).ok());
}

TEST(BitmapDecoder, Jpeg3AlphaPlaneAndEmbeddedPng) {
    const Bytes jpeg = encode(solid(2, 2, QColor(255, 255, 255)), "JPG");
    const Bytes alpha = deflate(Bytes{0, 128, 255, 64});
    Bytes body;
    const auto n = std::uint32_t(jpeg.size());
    body.insert(body.end(),
                {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16), std::uint8_t(n >> 24)});
    body.insert(body.end(), jpeg.begin(), jpeg.end());
    body.insert(body.end(), alpha.begin(), alpha.end());
    DecodedBitmap d = decodeBitmap(35, body, {});
    ASSERT_TRUE(d.ok()) << d.error;
    expectPixel(d.image, 0, 0, 0, 0, 0, 0, 2);
    expectPixel(d.image, 1, 0, 128, 128, 128, 128, 3); // colour clamped to alpha
    expectPixel(d.image, 1, 1, 64, 64, 64, 64, 3);

    // JPEG4 has two more header bytes; an alpha offset past the end is refused.
    Bytes body4(body.begin(), body.begin() + 4);
    body4.insert(body4.end(), {0, 1});
    body4.insert(body4.end(), body.begin() + 4, body.end());
    EXPECT_TRUE(decodeBitmap(90, body4, {}).ok());
    Bytes bad = body;
    bad[3] = 0x7F;
    EXPECT_FALSE(decodeBitmap(35, bad, {}).ok());

    // PNG keeps its own straight alpha, premultiplied on the way in.
    QImage png(1, 1, QImage::Format_ARGB32);
    png.setPixel(0, 0, qRgba(200, 100, 0, 128));
    d = decodeBitmap(21, encode(png, "PNG"), {});
    ASSERT_TRUE(d.ok()) << d.error;
    expectPixel(d.image, 0, 0, 100, 50, 0, 128, 1);
}

TEST(BitmapDecoder, GifData) {
    // A 1x1 GIF89a with a two-colour table (red, black) and one red pixel.
    const Bytes gif{0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00,
                    0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00,
                    0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
    DecodedBitmap d = decodeBitmap(21, gif, {});
    ASSERT_TRUE(d.ok()) << d.error;
    expectPixel(d.image, 0, 0, 255, 0, 0, 255);
}

TEST(BitmapCache, DecodesOnceAndRemembersFailures) {
    BitmapCache cache;
    const Bytes good = losslessBody(5, 1, 1, 0, Bytes{0, 1, 2, 3});
    const Bytes bad{1, 2};
    int a = 0, b = 0;
    const QImage* first = cache.image(&a, 20, good, {});
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(cache.image(&a, 20, good, {}), first);
    EXPECT_EQ(cache.image(&b, 20, bad, {}), nullptr);
    EXPECT_EQ(cache.image(&b, 20, bad, {}), nullptr);
    EXPECT_EQ(cache.decodedCount(), 1);
    EXPECT_EQ(cache.failedCount(), 1);
    EXPECT_FALSE(cache.lastError().empty());
}
