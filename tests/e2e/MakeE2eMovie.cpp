// Writes the end-to-end test's movie: a stage of the given size in one background colour,
// with a small square in its top-left corner that moves for a few frames. With "stop", the
// first frame stops the movie and the second covers the whole stage in white, so a movie
// that wrongly plays on shows white. Without it the movie plays over and over, and a black
// 40x40 button at (100,100) leads, once clicked, to a last frame that shows a yellow 60x60
// square at (300,200) and stops there; only the click gets there.
//
//   orvane-e2e-movie OUT.swf WIDTH HEIGHT RRGGBB [stop]

#include "SwfWriter.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

using namespace orvane::testing;

int main(int argc, char** argv) {
    const bool stopOnFirst = argc == 6 && std::string(argv[5]) == "stop";
    if (argc != 5 && !stopOnFirst) {
        std::fprintf(stderr, "usage: orvane-e2e-movie OUT.swf WIDTH HEIGHT RRGGBB [stop]\n");
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
        movie.defineShape(1, box).place(1, 1);
        if (stopOnFirst) {
            const std::vector<std::uint8_t> stop = {0x07, 0x00}; // ActionStop, end of actions
            ShapeBuilder cover;
            cover.setFill0(cover.addFill(FillStyle::solid({255, 255, 255}))).rectangle(0, 0, width * 20, height * 20);
            movie.doAction(stop).showFrame().defineShape(2, cover).place(2, 2).showFrame();
            for (int i = 1; i < 24; ++i)
                movie.moveTo(1, Matrix::translate(i * 20, 0)).showFrame();
        } else {
            ShapeBuilder black;
            black.setFill0(black.addFill(FillStyle::solid({0, 0, 0}))).rectangle(0, 0, 800, 800);
            ShapeBuilder yellow;
            yellow.setFill0(yellow.addFill(FillStyle::solid({255, 255, 0}))).rectangle(0, 0, 1200, 1200);
            ButtonBuilder button;
            button.records.push_back(ButtonRecord::of(
                ButtonRecord::Up | ButtonRecord::Over | ButtonRecord::Down | ButtonRecord::HitTest, 2, 1));
            // On release: GotoFrame 24 (the 25th), Stop.
            button.condActions.push_back({ButtonCondAction::OverDownToOverUp, {0x81, 2, 0, 24, 0, 0x07}});
            movie.defineShape(2, black).defineShape(3, yellow).defineButton(4, button, 2);
            movie.place(4, 3, Matrix::translate(2000, 2000)).showFrame();
            for (int i = 1; i < 24; ++i) {
                movie.moveTo(1, Matrix::translate(i * 20, 0));
                if (i == 23)
                    movie.doAction(std::vector<std::uint8_t>{0x81, 2, 0, 0, 0}); // GotoFrame 0: loop
                movie.showFrame();
            }
            movie.place(3, 2, Matrix::translate(6000, 4000)).showFrame();
        }
        movie.save(argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "orvane-e2e-movie: %s\n", error.what());
        return 1;
    }
    return 0;
}
