#pragma once
// Reference-image checks for the renderer: a writer-built movie is played and drawn, and
// each frame is compared with tests/render/<feature>/<case>[-fN].png. A pixel differs when
// any channel is off by more than the case's tolerance; the case says how many may differ.
// On failure expected | difference | actual is written as one PNG in the build tree.
// UPDATE_REFS=1 rewrites the reference images instead of comparing.

#include "SwfWriter.h"
#include "swf/timeline/Quality.h"

#include <QImage>

#include <string>
#include <vector>

namespace orvane::testing {

struct RefCase {
    std::string feature; // folder under tests/render
    std::string name;    // file name without .png
    // A pixel differs when a channel is off by more than this. Cases allow about 0.5% of
    // their pixels to differ: anti-aliased edges and gradients may move by a level between
    // CPUs (Qt picks SIMD paths at run time), while a real fault changes far more.
    int tolerance = 3;
    int allowedPixels = 0;
    std::vector<int> frames{1}; // frames to check, counted from 1 (ticks before drawing)
    double scale = 1.0;
    swf::timeline::Quality quality = swf::timeline::Quality::High; // the player's setting
};

// Plays `movie` and checks every frame listed in `c`; returns a message, empty on success.
std::string checkAgainstReference(const RefCase& c, const std::vector<std::uint8_t>& movie);

// Checks an image made some other way (e.g. drawn into a viewport) against a reference.
std::string checkImage(const RefCase& c, const QImage& actual, const std::string& suffix = "");

// The movie played for `ticks` frames and drawn by the stage renderer at `scale`.
QImage renderMovie(const std::vector<std::uint8_t>& movie, int ticks, double scale = 1.0,
                   swf::timeline::Quality quality = swf::timeline::Quality::High);

} // namespace orvane::testing

// In a test: `movie` (a writer) drawn as `refCase` says matches its reference images.
#define EXPECT_MATCHES(refCase, movie)                                                                       \
    do {                                                                                                     \
        const std::string msg_ = ::orvane::testing::checkAgainstReference(refCase, (movie).bytes());         \
        EXPECT_TRUE(msg_.empty()) << msg_;                                                                   \
    } while (0)
