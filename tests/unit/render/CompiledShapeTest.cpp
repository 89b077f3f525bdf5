#include "swf/render/CompiledShape.h"
#include "swf/render/RasterCache.h"
#include "swf/render/ShapePainter.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace swf::render;

namespace {

Edge line(double x0, double y0, double x1, double y1, std::uint32_t f0, std::uint32_t f1,
          std::uint32_t ln = 0) {
    Edge e;
    e.from = {x0, y0};
    e.to = {x1, y1};
    e.fill0 = f0;
    e.fill1 = f1;
    e.line = ln;
    return e;
}

FillStyle solid(std::uint8_t r, std::uint8_t g, std::uint8_t b, int group = 0) {
    FillStyle f;
    f.color = {r, g, b, 255};
    f.group = group;
    return f;
}

// Renders a shape at 1 twip = 1 device pixel onto white.
QImage paint(const CompiledShape& s, int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    QPainter p(&img);
    ShapePainter sp;
    sp.draw(p, s, QTransform(), ColorTransform{});
    return img;
}

} // namespace

TEST(CompiledShape, TwoFillsSharingAnEdgeEachCloseTheirOwnArea) {
    // Square 0..20 split at x=10: red (1) left, blue (2) right. With y down, an edge has
    // fill1 on its right as seen on screen: the middle edge runs down with red on its right.
    // Red's outer edges run clockwise (fill1), blue's counter-clockwise (fill0), scattered.
    ShapeGeometry g;
    g.fills = {solid(255, 0, 0), solid(0, 0, 255)};
    g.edges = {line(10, 0, 10, 20, 2, 1), line(10, 20, 20, 20, 2, 0), line(0, 0, 10, 0, 0, 1),
               line(20, 20, 20, 0, 2, 0), line(10, 20, 0, 20, 0, 1),  line(20, 0, 10, 0, 2, 0),
               line(0, 20, 0, 0, 0, 1)};
    const CompiledShape s = compileShape(g);
    ASSERT_EQ(s.layers.size(), 2u);
    EXPECT_TRUE(s.layers[0].path.contains(QPointF(5, 10)));
    EXPECT_FALSE(s.layers[0].path.contains(QPointF(15, 10)));
    EXPECT_TRUE(s.layers[1].path.contains(QPointF(15, 10)));
    EXPECT_EQ(s.layers[0].path.elementCount(), 5); // one closed contour of 4 edges
    const QImage img = paint(s, 20, 20);
    EXPECT_EQ(img.pixel(5, 10), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(15, 10), qRgb(0, 0, 255));
}

TEST(CompiledShape, HoleUnderEvenOddAndWindingRules) {
    // Outer square clockwise and inner square clockwise too, both with fill1 = 1: even-odd
    // leaves a hole, the non-zero rule fills it.
    ShapeGeometry g;
    g.fills = {solid(0, 0, 0)};
    auto square = [&](double a, double b) {
        g.edges.push_back(line(a, a, b, a, 0, 1));
        g.edges.push_back(line(b, a, b, b, 0, 1));
        g.edges.push_back(line(b, b, a, b, 0, 1));
        g.edges.push_back(line(a, b, a, a, 0, 1));
    };
    square(0, 40);
    square(10, 30);
    EXPECT_FALSE(compileShape(g).layers[0].path.contains(QPointF(20, 20)));
    g.windingFill = true;
    EXPECT_TRUE(compileShape(g).layers[0].path.contains(QPointF(20, 20)));
}

TEST(CompiledShape, StyleGroupsDrawInOrderFillsBeforeLines) {
    ShapeGeometry g;
    g.fills = {solid(255, 0, 0, 0), solid(0, 255, 0, 1)};
    LineStyle l0;
    l0.group = 0;
    LineStyle l1;
    l1.group = 1;
    g.lines = {l0, l1};
    g.edges = {line(0, 0, 10, 0, 0, 1, 1), line(10, 0, 0, 0, 0, 1), line(0, 0, 10, 0, 0, 2, 2),
               line(10, 0, 0, 0, 0, 2)};
    const CompiledShape s = compileShape(g);
    ASSERT_EQ(s.layers.size(), 4u);
    EXPECT_EQ(s.layers[0].kind, ShapeLayer::Kind::Fill);
    EXPECT_EQ(s.layers[0].style, 0u);
    EXPECT_EQ(s.layers[1].kind, ShapeLayer::Kind::Stroke);
    EXPECT_EQ(s.layers[1].style, 0u);
    EXPECT_EQ(s.layers[2].kind, ShapeLayer::Kind::Fill);
    EXPECT_EQ(s.layers[2].style, 1u);
    EXPECT_EQ(s.layers[3].kind, ShapeLayer::Kind::Stroke);
}

TEST(CompiledShape, StrokeBreaksWherePenJumps) {
    ShapeGeometry g;
    g.lines = {LineStyle{}};
    g.edges = {line(0, 0, 10, 0, 0, 0, 1), line(10, 0, 10, 10, 0, 0, 1), line(10, 10, 0, 0, 0, 0, 1),
               line(50, 50, 60, 50, 0, 0, 1)};
    const CompiledShape s = compileShape(g);
    const QPainterPath& p = s.layers[0].path;
    ASSERT_EQ(p.elementCount(), 6);
    EXPECT_TRUE(p.elementAt(4).isMoveTo());
    EXPECT_EQ(QPointF(p.elementAt(4)), QPointF(50, 50));
}

TEST(CompiledShape, BadIndicesAndDegenerateInputAreHarmless) {
    ShapeGeometry g;
    g.fills = {solid(1, 2, 3)};
    g.edges = {line(0, 0, 10, 0, 7, 9, 4), line(0, 0, 0, 0, 0, 1), line(1e9, -1e9, -1e9, 1e9, 0, 1)};
    const CompiledShape s = compileShape(g);
    EXPECT_EQ(s.layers.size(), 1u);
    const QImage img = paint(s, 8, 8); // must not crash on huge coordinates
    EXPECT_FALSE(img.isNull());
    EXPECT_TRUE(compileShape(ShapeGeometry{}).layers.empty());
}

TEST(CompiledShape, TenThousandEdgeChainStaysOneContour) {
    ShapeGeometry g;
    g.fills = {solid(0, 0, 0)};
    const int n = 10000;
    for (int i = 0; i < n; ++i) {
        const double a0 = 2 * M_PI * i / n, a1 = 2 * M_PI * (i + 1) / n;
        // Snap to whole twips, as the file does, so ends meet exactly.
        g.edges.push_back(line(std::round(1000 * std::cos(a0)), std::round(1000 * std::sin(a0)),
                               std::round(1000 * std::cos(a1)), std::round(1000 * std::sin(a1)), 0, 1));
    }
    const CompiledShape s = compileShape(g);
    ASSERT_EQ(s.layers.size(), 1u);
    int moves = 0;
    for (int i = 0; i < s.layers[0].path.elementCount(); ++i)
        moves += s.layers[0].path.elementAt(i).isMoveTo();
    EXPECT_EQ(moves, 1);
}

// A triangle with a stroke, 20 x 15 pixels at a twentieth.
CompiledShape strokedTriangle() {
    ShapeGeometry g;
    g.fills = {solid(200, 30, 30)};
    LineStyle l;
    l.width = 40;
    g.lines = {l};
    g.edges = {line(0, 0, 400, 0, 0, 1, 1), line(400, 0, 400, 300, 0, 1, 1), line(400, 300, 0, 0, 0, 1, 1)};
    return compileShape(g);
}

TEST(RasterCache, SecondUseBlitsWhatDirectDrawingWouldShow) {
    const CompiledShape s = strokedTriangle();
    ShapePainter sp;
    RasterCache cache(sp);
    auto blank = [] {
        QImage img(40, 40, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::white);
        return img;
    };
    const QTransform at = QTransform::fromScale(0.05, 0.05) * QTransform::fromTranslate(7.25, 9.5);
    QImage direct = blank(), first = blank(), second = blank();
    {
        QPainter p(&direct);
        p.setRenderHint(QPainter::Antialiasing);
        sp.draw(p, s, at, ColorTransform{});
    }
    {
        QPainter p(&first);
        EXPECT_FALSE(cache.draw(p, s, at, ColorTransform{}, QTransform())); // first use: not cached yet
    }
    {
        QPainter p(&second);
        EXPECT_TRUE(cache.draw(p, s, at, ColorTransform{}, QTransform()));
    }
    EXPECT_EQ(cache.entryCount(), 1u);
    int differing = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const QRgb a = direct.pixel(x, y), b = second.pixel(x, y);
            differing += std::abs(qRed(a) - qRed(b)) > 2 || std::abs(qGreen(a) - qGreen(b)) > 2 ||
                         std::abs(qBlue(a) - qBlue(b)) > 2;
        }
    EXPECT_EQ(differing, 0);
    // A different scale is a different entry; a tiny byte limit evicts old entries.
    cache.setByteLimit(1);
    QImage other = blank();
    QPainter p(&other);
    cache.draw(p, s, QTransform::fromScale(0.06, 0.06), ColorTransform{}, QTransform());
    cache.draw(p, s, QTransform::fromScale(0.06, 0.06), ColorTransform{}, QTransform());
    EXPECT_LE(cache.entryCount(), 1u);
}

TEST(RasterCache, MovingShapeIsPlacedToTheNearestPixelFromOneImage) {
    const CompiledShape s = strokedTriangle();
    ShapePainter sp;
    RasterCache cache(sp);
    QImage img(60, 60, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    // A quarter pixel further each draw, over and over: the shape is moving.
    for (int i = 0; i < 40; ++i)
        cache.draw(p, s, QTransform::fromScale(0.05, 0.05) * QTransform::fromTranslate(5 + i * 0.25, 7), {},
                   QTransform());
    p.end();
    // The few quarter-pixel images made before it counted as moving, and one for the rest.
    EXPECT_LE(cache.entryCount(), 4u);
    EXPECT_GT(cache.hits(), 30u);
    // Where it lands now: as drawn directly at the nearest whole pixel.
    const QTransform at = QTransform::fromScale(0.05, 0.05) * QTransform::fromTranslate(20.6, 7);
    QImage direct(60, 60, QImage::Format_ARGB32_Premultiplied), blitted = direct;
    direct.fill(Qt::white);
    blitted.fill(Qt::white);
    {
        QPainter dp(&direct);
        dp.setRenderHint(QPainter::Antialiasing);
        sp.draw(dp, s, QTransform::fromScale(0.05, 0.05) * QTransform::fromTranslate(21, 7), {});
        QPainter bp(&blitted);
        EXPECT_TRUE(cache.draw(bp, s, at, {}, QTransform())); // no second use needed
    }
    int differing = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x)
            differing += std::abs(qRed(direct.pixel(x, y)) - qRed(blitted.pixel(x, y))) > 2;
    EXPECT_EQ(differing, 0);
}

TEST(RasterCache, TheByteBudgetChangesNoPixel) {
    // Two caches, one with room for everything and one for almost nothing, see the same
    // draws: evicted images are made again rather than drawn another way.
    const CompiledShape s = strokedTriangle();
    ShapePainter sp;
    RasterCache roomy(sp), tight(sp);
    tight.setByteLimit(4096);
    QImage a(80, 80, QImage::Format_ARGB32_Premultiplied), b = a;
    a.fill(Qt::white);
    b.fill(Qt::white);
    QPainter pa(&a), pb(&b);
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 6; ++i) {
            const QTransform at = QTransform::fromScale(0.05 + 0.01 * i, 0.05) *
                                  QTransform::fromTranslate(3 + 11 * i + 0.25 * round, 5 + 10 * round);
            EXPECT_EQ(roomy.draw(pa, s, at, {}, QTransform()), tight.draw(pb, s, at, {}, QTransform()));
            // A draw outside what is painted counts all the same.
            const QTransform away = at * QTransform::fromTranslate(500, 0);
            EXPECT_EQ(roomy.draw(pa, s, away, {}, QTransform(), true), tight.draw(pb, s, away, {}, QTransform(), false));
        }
    pa.end();
    pb.end();
    EXPECT_TRUE(a == b);
    EXPECT_LE(tight.byteSize(), 4096u);
    EXPECT_GT(roomy.entryCount(), tight.entryCount());
}

TEST(CompiledShape, ClosedStrokeJoinsUnlessTheStyleSaysNoClose) {
    // A square outline with flat caps and miter joins: the corner where it starts and ends
    // is filled by the join, unless the no-close flag asks for caps there.
    for (bool noClose : {false, true}) {
        ShapeGeometry g;
        LineStyle l;
        l.width = 20;
        l.startCap = l.endCap = Cap::None;
        l.join = Join::Miter;
        l.noClose = noClose;
        g.lines = {l};
        g.edges = {line(20, 20, 80, 20, 0, 0, 1), line(80, 20, 80, 80, 0, 0, 1),
                   line(80, 80, 20, 80, 0, 0, 1), line(20, 80, 20, 20, 0, 0, 1)};
        const QImage img = paint(compileShape(g), 100, 100);
        EXPECT_EQ(qRed(img.pixel(12, 12)), noClose ? 255 : 0) << noClose;
        EXPECT_EQ(qRed(img.pixel(88, 88)), 0) << noClose; // an ordinary corner is joined
    }
}

// A shape drawn as paths in a frame or two (then blitted from a kept image) keeps neither its
// gradient brush (511 stops) nor its stroke outline; one drawn as paths frame after frame keeps
// both. Kept or made for the draw alone, the pixels are the same.
TEST(ShapePainter, BrushesAndOutlinesAreKeptForShapesDrawnInManyFrames) {
    ShapeGeometry g;
    FillStyle gradient;
    gradient.kind = FillStyle::Kind::Linear;
    gradient.matrix = QTransform::fromScale(400 / 32768.0, 300 / 32768.0) * QTransform::fromTranslate(200, 150);
    gradient.stops = {{0, {250, 20, 20, 255}}, {255, {20, 20, 250, 110}}};
    g.fills = {gradient};
    LineStyle l;
    l.width = 40;
    g.lines = {l};
    g.edges = {line(0, 0, 400, 0, 0, 1, 1), line(400, 0, 400, 300, 0, 1, 1), line(400, 300, 0, 0, 0, 1, 1)};
    const CompiledShape s = compileShape(g);
    ASSERT_EQ(s.layers.size(), 2u);
    const ShapeLayer& stroke = s.layers[1];
    ASSERT_EQ(stroke.kind, ShapeLayer::Kind::Stroke);
    ShapePainter sp;
    auto drawFrame = [&] {
        sp.beginFrame();
        QImage img(40, 40, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::white);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        sp.draw(p, s, QTransform::fromScale(0.05, 0.05) * QTransform::fromTranslate(5.5, 6.25), ColorTransform{});
        sp.draw(p, s, QTransform::fromScale(0.05, 0.05) * QTransform::fromTranslate(5.5, 6.25), ColorTransform{});
        return img;
    };
    const QImage first = drawFrame();
    for (std::uint64_t frame = 2; frame <= ShapePainter::kKeptAfterFrames + 1; ++frame) {
        const bool keeps = frame >= ShapePainter::kKeptAfterFrames;
        EXPECT_EQ(drawFrame(), first) << "frame " << frame;
        EXPECT_EQ(stroke.outlineWidth == l.width, keeps) << "frame " << frame;
        ASSERT_EQ(s.fillBrushes.size(), 1u);
        EXPECT_EQ(s.fillBrushes[0].made, keeps) << "frame " << frame;
    }
    // Drawn from a kept image from now on: what drawing the paths kept goes, and comes back
    // the same when they are drawn again.
    const int elements = s.layers[0].path.elementCount();
    s.releaseDrawingCaches();
    EXPECT_TRUE(s.fillBrushes.empty());
    EXPECT_TRUE(stroke.outline.isEmpty());
    EXPECT_EQ(s.layers[0].path.elementCount(), elements);
    EXPECT_EQ(drawFrame(), first);
}
