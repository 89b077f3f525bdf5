// Edge filters (bevel, gradient glow, gradient bevel) and convolution: a reference image
// of each, and the rules a fault would break (which edge is lit, where a ramp's ends go,
// what a convolution leaves alone, what it refuses).

#include "RenderHarness.h"
#include "RenderMovies.h"

#include "swf/Player.h"
#include "swf/render/StageRenderer.h"

#include <gtest/gtest.h>

#include <numbers>

using namespace orvane::testing;
using namespace orvane::testing::render;

namespace {

constexpr double kDownRight = std::numbers::pi / 4; // light from the top left

// A 30 x 30 px blue square at (x, y) px with one filter, on a 100 x 60 white stage.
SwfWriter filtered(const Filter& f, int x = 35, int y = 15) {
    SwfWriter m = stage(100, 60);
    m.defineShape(1, box(solid(40, 80, 200), 0, 0, 600, 600));
    PlaceObject p = placeWith(1, 1, Matrix::translate(x * 20, y * 20));
    p.filters = std::vector<Filter>{f};
    m.placeObject3(p).showFrame();
    return m;
}

QRgb pixelOf(const QImage& img, int x, int y) {
    return img.pixel(x, y);
}

int brightness(QRgb c) {
    return qRed(c) + qGreen(c) + qBlue(c);
}

} // namespace

TEST(RenderFilters, BevelGradientGlowGradientBevelAndConvolution) {
    SwfWriter m = stage(260, 50);
    m.defineShape(1, box(solid(40, 120, 220), 0, 0, 600, 600));
    const Rgba black{0, 0, 0, 255}, white{255, 255, 255, 255};
    const Filter filters[] = {
        Filter::bevel(black, white, 4, kDownRight, 3, 1.0),                   // inner
        Filter::bevel(black, white, 4, kDownRight, 3, 1.0, 0x20 | 1),         // outer
        Filter::bevel(black, white, 4, kDownRight, 3, 2.0, 0x10 | 0x20 | 2),  // full, two passes
        Filter::gradient(4, {{{255, 255, 0, 0}, 0}, {{255, 0, 0, 255}, 255}}, 10, 0, 0, 1.5, 0x20 | 2),
        Filter::gradient(7, {{white, 0}, {{128, 128, 128, 0}, 128}, {black, 255}}, 4, kDownRight, 3, 1.0,
                         0x80 | 0x20 | 1),
        Filter::convolution(3, 3, {0, -1, 0, -1, 5, -1, 0, -1, 0}, 1, 0, {0, 0, 0, 0}, true, false),
        Filter::convolution(3, 1, {1, 1, 1}, 3, 40, {0, 255, 0, 255}, false, true),
    };
    for (int i = 0; i < 7; ++i) {
        PlaceObject p = placeWith(1, std::uint16_t(1 + i), Matrix::translate(200 + i * 720, 200));
        p.filters = std::vector<Filter>{filters[i]};
        m.placeObject3(p);
    }
    m.showFrame();
    EXPECT_MATCHES((RefCase{"filters", "edges", 3, 65}), m);
}

// Light from the top left: an inner bevel lightens the square's top-left rim and darkens its
// bottom-right rim, leaving the middle; an outer one puts the same outside the square only.
TEST(RenderFilters, BevelLightsTheEdgesFacingItsAngle) {
    const Rgba black{0, 0, 0, 255}, white{255, 255, 255, 255};
    const QRgb blue = qRgb(40, 80, 200);
    const QImage inner = renderMovie(filtered(Filter::bevel(black, white, 2, kDownRight, 2, 1.0)).bytes(), 1);
    EXPECT_GT(brightness(pixelOf(inner, 36, 16)), brightness(blue) + 100); // top-left rim
    EXPECT_LT(brightness(pixelOf(inner, 63, 43)), brightness(blue) - 100); // bottom-right rim
    EXPECT_EQ(pixelOf(inner, 50, 30), blue);                                // flat middle
    EXPECT_EQ(pixelOf(inner, 33, 13), qRgb(255, 255, 255));                 // nothing outside

    const QImage outer =
        renderMovie(filtered(Filter::bevel(black, white, 2, kDownRight, 2, 1.0, 0x20 | 1)).bytes(), 1);
    EXPECT_EQ(pixelOf(outer, 36, 16), blue);                               // the square as it was
    EXPECT_LT(brightness(pixelOf(outer, 50, 46)), 3 * 255 - 200);          // shadow under the bottom edge
    EXPECT_EQ(pixelOf(outer, 33, 13), qRgb(255, 255, 255));                // white highlight on white

    // Knocked out: the rims stay, the square's own colour goes.
    const QImage knocked =
        renderMovie(filtered(Filter::bevel(black, white, 2, kDownRight, 2, 1.0, 0x80 | 0x40 | 0x20 | 1)).bytes(), 1);
    EXPECT_EQ(pixelOf(knocked, 50, 30), qRgb(255, 255, 255));
    EXPECT_LT(brightness(pixelOf(knocked, 50, 44)), 3 * 255 - 200);
}

// A gradient glow takes the ramp's last colour next to the object and fades towards the
// first; where it does not reach, nothing is drawn even when the ramp's start is opaque.
TEST(RenderFilters, GradientGlowRunsTheRampOutwards) {
    const Filter glow = Filter::gradient(4, {{{0, 255, 0, 255}, 0}, {{255, 0, 0, 255}, 255}}, 8, 0, 0, 2.0, 0x20 | 1);
    const QImage img = renderMovie(filtered(glow).bytes(), 1);
    const QRgb near = pixelOf(img, 34, 30), far = pixelOf(img, 31, 30);
    EXPECT_GT(qRed(near), qGreen(near));                 // close to the object: the 255 end
    EXPECT_GT(qGreen(far) - qRed(far), qGreen(near) - qRed(near)); // further out: towards the 0 end
    EXPECT_EQ(pixelOf(img, 5, 30), qRgb(255, 255, 255)); // out of reach
    EXPECT_EQ(pixelOf(img, 50, 30), qRgb(40, 80, 200));  // the object on top
}

// An identity matrix changes nothing; a zero divisor is taken as 1 rather than dividing by
// zero; matrices past 15 x 15 or shorter than their size are refused and counted.
TEST(RenderFilters, ConvolutionIdentityDivisorAndRefusals) {
    const Rgba none{0, 0, 0, 0};
    const QImage plain = renderMovie(filtered(Filter::blur(0, 0, 1)).bytes(), 1);
    const QImage same = renderMovie(
        filtered(Filter::convolution(3, 3, {0, 0, 0, 0, 1, 0, 0, 0, 0}, 1, 0, none, false, false)).bytes(), 1);
    EXPECT_EQ(same, plain);
    const QImage zero = renderMovie(
        filtered(Filter::convolution(1, 1, {1}, 0, 0, none, false, false)).bytes(), 1);
    EXPECT_EQ(zero, plain);

    const std::vector<float> big(16 * 16, 1.0f);
    for (const Filter& refused : {Filter::convolution(16, 16, big, 1, 0, none, true, false),
                                  Filter::convolution(0, 3, {}, 1, 0, none, true, false)}) {
        swf::Player player;
        ASSERT_TRUE(player.loadFromBytes(filtered(refused).bytes()));
        player.tick();
        swf::render::StageRenderer renderer;
        const QImage img = renderer.renderImage(player);
        EXPECT_EQ(renderer.stats().filtersSkipped, 1u);
        EXPECT_EQ(img.pixel(50, 30), qRgb(40, 80, 200)); // the object still drawn
    }
}
