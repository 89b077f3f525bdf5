// Writes the heavy movie that `orvane-tool bench` measures the renderer with: 2,000
// gradient-filled, stroked shapes on a 1280 x 720 stage at 60 fps, half of them moving
// every frame.
//
//   orvane_render_bench_movie OUT.swf [--frames N]

#include "SwfWriter.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace orvane::testing;

namespace {

constexpr int kShapes = 2000;
constexpr int kDefinitions = 24;

ShapeBuilder makeShape(int i) {
    const int w = 600 + (i * 137) % 600; // 30..60 pixels
    const int h = 600 + (i * 71) % 600;
    const std::vector<GradientRecord> stops{{0, {std::uint8_t(40 + i * 9), 80, 200}},
                                            {255, {250, std::uint8_t(200 - i * 5), 40}}};
    const Matrix g = Matrix::scale(w / 32768.0, h / 32768.0, 0, 0);
    ShapeBuilder s;
    const int fill = s.addFill(i % 2 ? FillStyle::radial(g, stops) : FillStyle::linear(g, stops));
    const int line = s.addLine(LineStyle::solid(40, {20, 20, 20}));
    s.setFill0(fill).setLine(line);
    const int rx = w / 2, ry = h / 2;
    if (i % 3 == 0) {
        // An ellipse of four curves.
        s.moveTo(rx, 0).curveTo(rx, -ry, 0, -ry).curveTo(-rx, -ry, -rx, 0);
        s.curveTo(-rx, ry, 0, ry).curveTo(rx, ry, rx, 0);
    } else {
        // A rectangle with cut corners.
        const int c = std::min(rx, ry) / 3;
        s.moveTo(-rx + c, -ry).lineTo(rx - c, -ry).lineTo(rx, -ry + c).lineTo(rx, ry - c);
        s.lineTo(rx - c, ry)
            .lineTo(-rx + c, ry)
            .lineTo(-rx, ry - c)
            .lineTo(-rx, -ry + c)
            .lineTo(-rx + c, -ry);
    }
    return s;
}

Matrix placement(int i, int frame) {
    const double baseX = 20 * (40 + (i * 7919) % 1200);
    const double baseY = 20 * (30 + (i * 104729) % 660);
    if (i % 2 == 1 || frame == 0)
        return Matrix::translate(std::int32_t(baseX), std::int32_t(baseY));
    const double a = frame * 0.05 + i;
    return Matrix::translate(std::int32_t(baseX + 600 * std::cos(a)),
                             std::int32_t(baseY + 600 * std::sin(a)));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.swf [--frames N]\n", argv[0]);
        return 2;
    }
    int frames = 120;
    if (argc == 4 && std::string(argv[2]) == "--frames")
        frames = std::max(1, std::atoi(argv[3]));
    SwfWriter movie;
    movie.setStageSize(1280, 720);
    movie.setFrameRate(60);
    movie.setCompression(Compression::Zlib);
    movie.setBackgroundColor({255, 255, 255});
    for (int d = 0; d < kDefinitions; ++d)
        movie.defineShape(std::uint16_t(d + 1), makeShape(d), 3);
    for (int i = 0; i < kShapes; ++i)
        movie.place(std::uint16_t(1 + i % kDefinitions), std::uint16_t(1 + i), placement(i, 0));
    movie.showFrame();
    for (int f = 1; f < frames; ++f) {
        for (int i = 0; i < kShapes; i += 2)
            movie.moveTo(std::uint16_t(1 + i), placement(i, f));
        movie.showFrame();
    }
    try {
        movie.save(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
