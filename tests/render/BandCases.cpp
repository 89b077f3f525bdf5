// The stage drawn in bands on several threads: the same pixels as one thread draws, frame
// after frame, whatever the shape-image caches of the bands keep.

#include "RenderMovies.h"
#include "SwfWriter.h"
#include "swf/Player.h"
#include "swf/render/StageRenderer.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <cmath>

using namespace orvane::testing;
using namespace orvane::testing::render;

namespace {

// Stroked gradient shapes that stand, move by fractions of a pixel and turn across the band
// seams, over a masked group, a multiply sprite, a subtracting bar and a blurred one.
SwfWriter busyMovie(int frames) {
    SwfWriter m = stage(120, 90, {230, 240, 250});
    m.setVersion(8);
    constexpr int kShapes = 24;
    for (int i = 0; i < kShapes; ++i) {
        const int w = 300 + i * 37 % 500, h = 260 + i * 53 % 400;
        ShapeBuilder s;
        const std::vector<GradientRecord> stops{{0, {std::uint8_t(i * 40), 90, 200}},
                                                {255, {250, std::uint8_t(i * 20), 30, 120}}};
        s.setFill0(s.addFill(FillStyle::linear(gradientBox(-w / 2, -h / 2, w, h), stops)));
        s.setLine(s.addLine(LineStyle::solid(std::uint16_t(20 + i % 3 * 20), {0, 0, 0})));
        s.rectangle(-w / 2, -h / 2, w, h);
        m.defineShape(std::uint16_t(1 + i), s);
    }
    const std::uint16_t maskId = 40, subtractId = 41, blurId = 42, spriteId = 43;
    m.defineShape(maskId, box(solid(0, 0, 0), 0, 0, 1600, 1200));
    m.defineShape(subtractId, box(solid(90, 40, 200), 0, 0, 2000, 300));
    m.defineShape(blurId, box(solid(200, 30, 30), 0, 0, 300, 1400));
    Sprite sprite;
    sprite.place(3, 1, Matrix::translate(200, 200)).place(5, 2, Matrix::translate(500, 400)).showFrame();
    m.defineSprite(spriteId, sprite);

    PlaceObject mask = placeWith(maskId, 1, Matrix::translate(300, 300));
    mask.clipDepth = 10;
    m.placeObject2(mask);
    for (int f = 0; f < frames; ++f) {
        for (int i = 0; i < kShapes; ++i) {
            const auto depth = std::uint16_t(2 + i);
            const std::int32_t x = 100 + i * 97 % 2200, y = 100 + i * 61 % 1600;
            Matrix at = Matrix::translate(x + (i % 3 == 1 ? f * 7 : 0), y + (i % 3 == 1 ? f * 5 : 0));
            if (i % 3 == 2) { // scaled and skewed anew every frame: never drawn from a kept image
                at = Matrix::scale(0.8 + 0.05 * f, 0.9 - 0.03 * f, x, y);
                at.rotateSkew0 = 0.1 * f - 0.2;
                at.rotateSkew1 = 0.05 * i;
            }
            if (f == 0)
                m.place(std::uint16_t(1 + i), depth, at);
            else if (i % 3 != 0)
                m.moveTo(depth, at);
        }
        if (f == 0) {
            PlaceObject multiply = placeWith(spriteId, 40, Matrix::translate(900, 700));
            multiply.blendMode = 3; // multiply
            m.placeObject3(multiply);
            PlaceObject subtract = placeWith(subtractId, 41, Matrix::translate(100, 850));
            subtract.blendMode = 9; // subtract
            m.placeObject3(subtract);
            PlaceObject blurred = placeWith(blurId, 42, Matrix::translate(1900, 200));
            blurred.filters = std::vector<Filter>{Filter::blur(6, 6, 1)};
            m.placeObject3(blurred);
        }
        m.showFrame();
    }
    return m;
}

int differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return -1;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

} // namespace

TEST(RenderBands, EveryThreadCountDrawsTheSamePixels) {
    constexpr int kFrames = 10;
    const SwfWriter movie = busyMovie(kFrames);
    swf::Player player;
    ASSERT_TRUE(player.loadFromBytes(movie.bytes()));
    // One renderer a thread count, all kept across the frames so their caches fill up alike.
    std::vector<std::unique_ptr<swf::render::StageRenderer>> renderers;
    for (int threads : {1, 2, 3, 7}) {
        renderers.push_back(std::make_unique<swf::render::StageRenderer>());
        renderers.back()->setThreads(threads);
        EXPECT_EQ(renderers.back()->threads(), threads);
    }
    for (int f = 1; f <= kFrames; ++f) {
        player.tick();
        const QImage one = renderers[0]->renderImage(player, 1.5);
        for (std::size_t r = 1; r < renderers.size(); ++r)
            EXPECT_EQ(differingPixels(one, renderers[r]->renderImage(player, 1.5)), 0)
                << "frame " << f << ", " << renderers[r]->threads() << " threads";
    }
    // By the last frame standing shapes are blitted from kept images, in every band.
    EXPECT_GT(renderers[0]->stats().raster.hits, 0u);
    EXPECT_GT(renderers[2]->stats().raster.hits, 0u);
    EXPECT_EQ(renderers[0]->stats().objectsDrawn, renderers[2]->stats().objectsDrawn);
}

TEST(RenderBands, PaintersOtherThanPlainImagesGetTheSameFrame) {
    const SwfWriter movie = busyMovie(3);
    swf::Player player;
    ASSERT_TRUE(player.loadFromBytes(movie.bytes()));
    swf::render::StageRenderer one, three;
    three.setThreads(3);
    // A painter with a transform of its own: the frame is drawn aside and copied through it.
    auto paintShifted = [&](swf::render::StageRenderer& r) {
        QImage img(200, 120, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::magenta);
        QPainter p(&img);
        p.translate(10, 5);
        r.render(p, player, QRectF(0, 0, 180, 110), 1.0);
        return img;
    };
    for (int f = 0; f < 3; ++f) {
        player.tick();
        const QImage a = paintShifted(one), b = paintShifted(three);
        EXPECT_EQ(differingPixels(a, b), 0) << "frame " << f;
        // The frame lands where the painter's transform puts the viewport; nothing outside.
        EXPECT_EQ(a.pixel(5, 60), QColor(Qt::magenta).rgba());
        EXPECT_NE(a.pixel(100, 60), QColor(Qt::magenta).rgba());
    }
    // Out-of-range counts are brought into range rather than refused.
    one.setThreads(-4);
    EXPECT_GE(one.threads(), 1);
    one.setThreads(1000);
    EXPECT_EQ(one.threads(), swf::render::StageRenderer::kMaxThreads);
}
