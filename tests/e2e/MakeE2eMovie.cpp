// Writes the end-to-end test's movie: a stage of the given size in one background colour,
// with a small square in its top-left corner that moves for a few frames.
//
//   orvane-e2e-movie OUT.swf WIDTH HEIGHT RRGGBB

#include "SwfWriter.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

using namespace orvane::testing;

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: orvane-e2e-movie OUT.swf WIDTH HEIGHT RRGGBB\n");
        return 2;
    }
    const int width = std::atoi(argv[2]), height = std::atoi(argv[3]);
    const unsigned long rgb = std::strtoul(argv[4], nullptr, 16);
    if (width <= 0 || height <= 0 || width > 4000 || height > 4000) {
        std::fprintf(stderr, "orvane-e2e-movie: bad stage size\n");
        return 2;
    }
    try {
        SwfWriter movie;
        movie.setStageSize(width, height).setFrameRate(12);
        movie.setBackgroundColor({std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb)});
        ShapeBuilder box;
        box.setFill0(box.addFill(FillStyle::solid({255, 255, 255}))).rectangle(0, 0, 200, 200);
        movie.defineShape(1, box).place(1, 1).showFrame();
        for (int i = 1; i < 24; ++i)
            movie.moveTo(1, Matrix::translate(i * 20, 0)).showFrame();
        movie.save(argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "orvane-e2e-movie: %s\n", error.what());
        return 1;
    }
    return 0;
}
