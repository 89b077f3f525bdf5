#include "swf/render/Paint.h"
#include "swf/render/ColorTransform.h"
#include "swf/render/ShapePainter.h"
#include "swf/render/Viewport.h"

#include <gtest/gtest.h>

using namespace swf::render;

TEST(ColorTransform, ApplyClampsAndComposesLikeTwoSteps) {
    const ColorTransform half = ColorTransform::fromTerms(128, 128, 128, 256, 0, 0, 0, 0);
    const ColorTransform invert = ColorTransform::fromTerms(-256, -256, -256, 256, 255, 255, 255, 0);
    EXPECT_EQ(half.apply({200, 100, 50, 255}), (Rgba8{100, 50, 25, 255}));
    EXPECT_EQ(invert.apply({200, 100, 50, 128}), (Rgba8{55, 155, 205, 128}));
    const ColorTransform big = ColorTransform::fromTerms(256, 256, 256, 256, 300, -300, 0, -10);
    EXPECT_EQ(big.apply({10, 10, 10, 5}), (Rgba8{255, 0, 10, 0}));
    // inner then outer equals the composed transform
    const Rgba8 c{90, 180, 30, 200};
    EXPECT_EQ(ColorTransform::compose(invert, half).apply(c), invert.apply(half.apply(c)));
    EXPECT_TRUE(ColorTransform{}.isIdentity());
    EXPECT_TRUE(ColorTransform::fromTerms(256, 256, 256, 0, 0, 0, 0, 0).isInvisible());
    EXPECT_FALSE(ColorTransform::fromTerms(256, 256, 256, 0, 0, 0, 0, 10).isInvisible());
}

TEST(ColorTransform, ImagesAreTransformedOnStraightColour) {
    QImage img(1, 1, QImage::Format_ARGB32_Premultiplied);
    img.setPixel(0, 0, qRgba(50, 0, 0, 128)); // straight red ~100
    const QImage out = ColorTransform::fromTerms(512, 256, 256, 256, 0, 0, 0, 0).applyToImage(img);
    EXPECT_NEAR(qRed(out.pixel(0, 0)), 100, 2);
    EXPECT_EQ(qAlpha(out.pixel(0, 0)), 128);
}

TEST(Gradient, StopsEmptyOneAndDegenerate) {
    FillStyle f;
    f.kind = FillStyle::Kind::Linear;
    const QBrush empty = gradientOrSolidBrush(f, {}); // no records: solid black
    EXPECT_EQ(empty.style(), Qt::SolidPattern);
    EXPECT_EQ(empty.color(), QColor(0, 0, 0));
    f.stops = {{0, {255, 0, 0, 255}}};
    EXPECT_EQ(gradientOrSolidBrush(f, {}).style(), Qt::SolidPattern);
    f.stops.push_back({255, {0, 0, 255, 255}});
    EXPECT_EQ(gradientOrSolidBrush(f, {}).style(), Qt::LinearGradientPattern);
    f.matrix = QTransform(0, 0, 0, 0, 10, 10); // a zero-bit scale
    const QBrush b = gradientOrSolidBrush(f, {});
    EXPECT_EQ(b.style(), Qt::SolidPattern);
    EXPECT_EQ(b.color(), QColor(0, 0, 255));
}

TEST(Gradient, StopsAreOrderedAndLinearRgbAddsLighterMidpoint) {
    FillStyle f;
    f.kind = FillStyle::Kind::Radial;
    f.stops = {{128, {0, 0, 0, 255}}, {100, {255, 255, 255, 255}}, {128, {255, 0, 0, 255}}};
    const QGradientStops s = gradientStops(f, {});
    ASSERT_GE(s.size(), 3);
    for (qsizetype i = 1; i < s.size(); ++i)
        EXPECT_LE(s[i - 1].first, s[i].first);
    // Falling ratios move one step on (white to 129, red to 130); each entry holds its colour.
    auto at = [&](double ratio) {
        QColor c = s.front().second;
        for (const auto& [pos, colour] : s)
            if (pos <= ratio / 255.0)
                c = colour;
        return c;
    };
    EXPECT_EQ(at(128.5), QColor(0, 0, 0));
    EXPECT_EQ(at(129.5), QColor(255, 255, 255));
    EXPECT_EQ(at(130.5), QColor(255, 0, 0));
    f.stops = {{0, {0, 0, 0, 255}}, {255, {255, 255, 255, 255}}};
    f.interpolation = Interpolation::LinearRgb;
    const QGradientStops lin = gradientStops(f, {});
    ASSERT_GT(lin.size(), 2);
    const auto mid = lin[lin.size() / 2];
    EXPECT_NEAR(mid.first, 0.5, 0.01);
    EXPECT_GT(mid.second.red(), 170); // linear-light midpoint is ~188, not 128
}

TEST(Viewport, ShowAllCentresKeepsAspectAndScalesForDpr) {
    // 400x300 stage into 800x400: scale 4/3, centred horizontally.
    const QRectF stage(0, 0, 8000, 6000);
    StageViewport v = showAll(stage, QRectF(0, 0, 800, 400), 1.0);
    EXPECT_NEAR(v.pixelScale, 400.0 / 300.0, 1e-9);
    EXPECT_NEAR(v.stageArea.x(), (800 - 400 * 4.0 / 3.0) / 2, 1e-9);
    EXPECT_NEAR(v.stageArea.height(), 400, 1e-9);
    EXPECT_EQ(v.stageToDevice.map(QPointF(8000, 6000)), v.stageArea.bottomRight());
    v = showAll(stage, QRectF(10, 20, 400, 300), 2.0);
    EXPECT_EQ(v.stageArea, QRectF(20, 40, 800, 600));
    // A stage not at the origin maps its own corner to the area's corner.
    v = showAll(QRectF(-200, 100, 8000, 6000), QRectF(0, 0, 400, 300), 1.0);
    EXPECT_EQ(v.stageToDevice.map(QPointF(-200, 100)), QPointF(0, 0));
    EXPECT_EQ(showAll(QRectF(0, 0, 0, 6000), QRectF(0, 0, 10, 10), 1).stageArea, QRectF());
    EXPECT_EQ(showAll(stage, QRectF(0, 0, 10, 10), std::nan("")).pixelScale, 10.0 / 400);
}

TEST(ShapePainter, StrokeWidthsHairlineMinimumAndNoScale) {
    ShapePainter sp;
    sp.setStagePixelScale(2.0);
    LineStyle l;
    l.width = 40;
    EXPECT_DOUBLE_EQ(sp.deviceStrokeWidth(l, QTransform::fromScale(0.05, 0.05)), 2.0);
    EXPECT_DOUBLE_EQ(sp.deviceStrokeWidth(l, QTransform::fromScale(0.5, 0.02)), 4.0);
    // One no-scale flag alone: the width follows the other axis only.
    l.noHScale = true;
    EXPECT_DOUBLE_EQ(sp.deviceStrokeWidth(l, QTransform::fromScale(0.5, 0.02)), 0.8);
    l.noHScale = false;
    l.noVScale = true;
    EXPECT_DOUBLE_EQ(sp.deviceStrokeWidth(l, QTransform::fromScale(0.5, 0.02)), 20.0);
    l.noHScale = true; // both: stage pixels, whatever the object's scale
    EXPECT_DOUBLE_EQ(sp.deviceStrokeWidth(l, QTransform::fromScale(5, 5)), 4.0);
    l.width = 0;
    EXPECT_DOUBLE_EQ(sp.deviceStrokeWidth(l, QTransform::fromScale(5, 5)), 0.0);
}
