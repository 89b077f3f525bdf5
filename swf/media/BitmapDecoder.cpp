#include "BitmapDecoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace swf::media {
namespace {

// Inflates at most `wanted` bytes; returns what came out (possibly less on a broken stream).
std::vector<std::uint8_t> inflateAtMost(std::span<const std::uint8_t> in, std::size_t wanted) {
    std::vector<std::uint8_t> out;
    if (in.empty() || wanted == 0)
        return out;
    out.resize(wanted);
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return {};
    zs.next_in = const_cast<Bytef*>(in.data());
    zs.avail_in = static_cast<uInt>(std::min<std::size_t>(in.size(), UINT32_MAX));
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(wanted);
    while (zs.avail_out > 0) {
        const int rc = inflate(&zs, Z_NO_FLUSH);
        if (rc != Z_OK)
            break; // Z_STREAM_END, a broken stream or no more input: keep what we have
    }
    out.resize(wanted - zs.avail_out);
    inflateEnd(&zs);
    return out;
}

bool startsWith(std::span<const std::uint8_t> d, std::initializer_list<std::uint8_t> prefix) {
    if (d.size() < prefix.size())
        return false;
    return std::equal(prefix.begin(), prefix.end(), d.begin());
}

bool isJpeg(std::span<const std::uint8_t> d) {
    return startsWith(d, {0xFF, 0xD8}) || startsWith(d, {0xFF, 0xD9, 0xFF, 0xD8});
}

// Markers without a length field.
bool standaloneMarker(std::uint8_t m) {
    return m == 0xD8 || m == 0xD9 || m == 0x01 || (m >= 0xD0 && m <= 0xD7);
}

// Writers glued a tables block and an image block with an EOI+SOI pair in the middle
// (or put one in front); a standard decoder stops at that EOI, so drop the pair wherever it
// sits among the header segments, and close a stream that lacks its final EOI.
QByteArray cleanJpeg(std::span<const std::uint8_t> in) {
    QByteArray out;
    out.reserve(static_cast<qsizetype>(in.size() + 2));
    std::size_t pos = 0;
    if (startsWith(in, {0xFF, 0xD9, 0xFF, 0xD8}))
        pos = 4;
    out.append("\xFF\xD8", 2);
    if (startsWith(in.subspan(pos), {0xFF, 0xD8}))
        pos += 2;
    // Walk the header segments up to the start of scan.
    while (pos + 1 < in.size()) {
        if (in[pos] != 0xFF)
            break; // not a marker: leave the rest alone
        const std::uint8_t m = in[pos + 1];
        if (m == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (m == 0xD9 && pos + 3 < in.size() && in[pos + 2] == 0xFF && in[pos + 3] == 0xD8) {
            pos += 4;
            continue;
        }
        if (m == 0xD8) { // a stray SOI inside the header
            pos += 2;
            continue;
        }
        if (standaloneMarker(m) || m == 0xDA || pos + 3 >= in.size())
            break;
        const std::size_t len = (std::size_t(in[pos + 2]) << 8) | in[pos + 3];
        if (len < 2 || pos + 2 + len > in.size())
            break;
        out.append(reinterpret_cast<const char*>(in.data() + pos), static_cast<qsizetype>(2 + len));
        pos += 2 + len;
    }
    out.append(reinterpret_cast<const char*>(in.data() + pos), static_cast<qsizetype>(in.size() - pos));
    if (out.size() < 4 || !(static_cast<std::uint8_t>(out[out.size() - 2]) == 0xFF &&
                            static_cast<std::uint8_t>(out[out.size() - 1]) == 0xD9))
        out.append("\xFF\xD9", 2);
    return out;
}

DecodedBitmap fail(std::string why) {
    DecodedBitmap r;
    r.error = std::move(why);
    return r;
}

bool sizeAllowed(std::int64_t w, std::int64_t h, const BitmapLimits& limits) {
    return w > 0 && h > 0 && w <= limits.maxSide && h <= limits.maxSide && w * h <= limits.maxPixels;
}

DecodedBitmap decodeWithQt(const QByteArray& bytes, const BitmapLimits& limits) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    const int limitMb = static_cast<int>(std::max<std::int64_t>(1, limits.maxPixels * 4 / (1024 * 1024)));
    reader.setAllocationLimit(limitMb);
    const QSize declared = reader.size();
    if (declared.isValid() && !sizeAllowed(declared.width(), declared.height(), limits))
        return fail("image too large");
    QImage img = reader.read();
    if (img.isNull())
        return fail("undecodable image data: " + reader.errorString().toStdString());
    if (!sizeAllowed(img.width(), img.height(), limits))
        return fail("image too large");
    DecodedBitmap r;
    r.image = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return r;
}

// JPEG colour with a separate zlib alpha plane. The colour is meant to be premultiplied
// already; clamping each channel to alpha keeps files that were not from overflowing.
void applyAlphaPlane(QImage& img, std::span<const std::uint8_t> zlibAlpha) {
    const std::size_t n = std::size_t(img.width()) * std::size_t(img.height());
    const std::vector<std::uint8_t> alpha = inflateAtMost(zlibAlpha, n);
    if (alpha.empty())
        return; // no usable alpha: keep the JPEG opaque
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const std::size_t i = std::size_t(y) * img.width() + x;
            const int a = i < alpha.size() ? alpha[i] : 255;
            const QRgb p = row[x];
            row[x] = qRgba(std::min(qRed(p), a), std::min(qGreen(p), a), std::min(qBlue(p), a), a);
        }
    }
}

DecodedBitmap decodeJpegFamily(BitmapTag tag, std::span<const std::uint8_t> body,
                               std::span<const std::uint8_t> tables, const BitmapLimits& limits) {
    std::span<const std::uint8_t> image = body;
    std::span<const std::uint8_t> alpha;
    if (tag == BitmapTag::Jpeg3 || tag == BitmapTag::Jpeg4) {
        const std::size_t header = tag == BitmapTag::Jpeg4 ? 6 : 4;
        if (body.size() < header)
            return fail("truncated header");
        const std::uint32_t alphaOffset = body[0] | (std::uint32_t(body[1]) << 8) |
                                          (std::uint32_t(body[2]) << 16) | (std::uint32_t(body[3]) << 24);
        const std::span<const std::uint8_t> rest = body.subspan(header);
        if (alphaOffset > rest.size())
            return fail("alpha offset past the end of the tag");
        image = rest.first(alphaOffset);
        alpha = rest.subspan(alphaOffset);
    }
    if (image.empty())
        return fail("no image data");

    QByteArray bytes;
    if (tag == BitmapTag::Bits) {
        // The shared tables end with EOI and the image starts with SOI: splice them.
        std::span<const std::uint8_t> t = tables;
        if (t.size() >= 2 && t[t.size() - 2] == 0xFF && t[t.size() - 1] == 0xD9)
            t = t.first(t.size() - 2);
        std::span<const std::uint8_t> img = image;
        if (startsWith(img, {0xFF, 0xD9, 0xFF, 0xD8}))
            img = img.subspan(4);
        else if (startsWith(img, {0xFF, 0xD8}))
            img = img.subspan(2);
        std::vector<std::uint8_t> joined;
        if (t.size() >= 2) {
            joined.assign(t.begin(), t.end());
            joined.insert(joined.end(), img.begin(), img.end());
        } else {
            joined.assign({0xFF, 0xD8});
            joined.insert(joined.end(), img.begin(), img.end());
        }
        bytes = cleanJpeg(joined);
    } else if (isJpeg(image)) {
        bytes = cleanJpeg(image);
    } else {
        // PNG or GIF (or whatever Qt recognises); their alpha is their own.
        bytes = QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<qsizetype>(image.size()));
        return decodeWithQt(bytes, limits);
    }
    DecodedBitmap r = decodeWithQt(bytes, limits);
    if (r.ok() && !alpha.empty())
        applyAlphaPlane(r.image, alpha);
    return r;
}

DecodedBitmap decodeLossless(BitmapTag tag, std::span<const std::uint8_t> body, const BitmapLimits& limits) {
    if (body.size() < 5)
        return fail("truncated header");
    const int format = body[0];
    const int w = body[1] | (body[2] << 8);
    const int h = body[3] | (body[4] << 8);
    const bool withAlpha = tag == BitmapTag::Lossless2;
    if (format != 3 && format != 4 && format != 5)
        return fail("unknown lossless format " + std::to_string(format));
    if (!sizeAllowed(w, h, limits))
        return fail(w == 0 || h == 0 ? "empty bitmap" : "bitmap too large");
    std::size_t paletteSize = 0;
    std::size_t pos = 5;
    if (format == 3) {
        if (body.size() < 6)
            return fail("truncated header");
        paletteSize = std::size_t(body[5]) + 1;
        pos = 6;
    }
    const std::size_t entry = withAlpha ? 4 : 3;
    const std::size_t stride = format == 3   ? (std::size_t(w) + 3) & ~std::size_t(3)
                               : format == 4 ? (std::size_t(w) * 2 + 3) & ~std::size_t(3)
                                             : std::size_t(w) * 4;
    const std::size_t paletteBytes = paletteSize * entry;
    const std::size_t wanted = paletteBytes + stride * std::size_t(h);
    std::vector<std::uint8_t> data = inflateAtMost(body.subspan(pos), wanted);
    if (data.size() < paletteBytes || data.empty())
        return fail("truncated pixel data");
    // A short stream leaves the missing rows zero, as far as it got.
    data.resize(wanted, 0);

    std::vector<QRgb> palette(256, withAlpha ? qRgba(0, 0, 0, 0) : qRgba(0, 0, 0, 255));
    for (std::size_t i = 0; i < paletteSize; ++i) {
        const std::uint8_t* p = data.data() + i * entry;
        if (withAlpha) {
            const int a = p[3];
            palette[i] = qRgba(std::min<int>(p[0], a), std::min<int>(p[1], a), std::min<int>(p[2], a), a);
        } else {
            palette[i] = qRgba(p[0], p[1], p[2], 255);
        }
    }

    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    if (img.isNull())
        return fail("out of memory");
    const std::uint8_t* pixels = data.data() + paletteBytes;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = pixels + std::size_t(y) * stride;
        auto* dst = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            switch (format) {
            case 3:
                dst[x] = palette[src[x]];
                break;
            case 4: {
                const int v = (src[2 * x] << 8) | src[2 * x + 1];
                const int r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
                dst[x] = qRgba((r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2), 255);
                break;
            }
            default: {
                const std::uint8_t* p = src + 4 * x;
                if (withAlpha) {
                    const int a = p[0];
                    dst[x] = qRgba(std::min<int>(p[1], a), std::min<int>(p[2], a), std::min<int>(p[3], a), a);
                } else {
                    dst[x] = qRgba(p[1], p[2], p[3], 255);
                }
            }
            }
        }
    }
    // Palette indices past the table already map to the zero entries filled in above.
    DecodedBitmap r;
    r.image = std::move(img);
    return r;
}

} // namespace

DecodedBitmap decodeBitmap(std::uint16_t tagCode, std::span<const std::uint8_t> body,
                           std::span<const std::uint8_t> jpegTables, const BitmapLimits& limits) {
    const auto tag = static_cast<BitmapTag>(tagCode);
    switch (tag) {
    case BitmapTag::Bits:
    case BitmapTag::Jpeg2:
    case BitmapTag::Jpeg3:
    case BitmapTag::Jpeg4:
        return decodeJpegFamily(tag, body, jpegTables, limits);
    case BitmapTag::Lossless:
    case BitmapTag::Lossless2:
        return decodeLossless(tag, body, limits);
    default:
        return fail("not a bitmap tag: " + std::to_string(tagCode));
    }
}

} // namespace swf::media
