// Loads a movie from arbitrary bytes, plays 20 frames and draws each one into a small
// viewport, so every record the renderer reads (shapes, gradients, bitmaps, morphs, text,
// masks, blend modes) meets hostile values. Built for libFuzzer with ORVANE_LIBFUZZER, or
// as a plain program that replays files and directories given on the command line; the
// plain form also replays a few truncated and bit-flipped variants of every input.

#include "swf/Player.h"
#include "swf/render/StageRenderer.h"
#include "ReplayMain.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    swf::Player player;
    if (!player.loadFromBytes(std::vector<std::uint8_t>(data, data + size)))
        return 0;
    swf::render::StageRenderer renderer;
    QImage target(64, 48, QImage::Format_ARGB32_Premultiplied);
    for (int i = 0; i < 20; ++i) {
        player.tick();
        QPainter p(&target);
        // Alternate viewports and pixel ratios so the layer and clip paths see both.
        renderer.render(p, player, i % 2 ? QRectF(0, 0, 64, 48) : QRectF(4, 2, 32, 40), i % 3 ? 1.0 : 2.0);
    }
    return 0;
}

#ifndef ORVANE_LIBFUZZER
int main(int argc, char** argv) {
    return orvane::fuzz::replayMain(argc, argv, [](const std::vector<std::uint8_t>& bytes) {
        std::size_t runs = 0;
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        ++runs;
        // Cut short at a few points, and with single bytes flipped past the header.
        for (std::size_t cut : {bytes.size() / 2, bytes.size() * 3 / 4,
                                bytes.size() - std::min<std::size_t>(bytes.size(), 3)}) {
            LLVMFuzzerTestOneInput(bytes.data(), cut);
            ++runs;
        }
        std::uint32_t seed = 2166136261u;
        for (int k = 0; k < 6 && bytes.size() > 30; ++k) {
            seed = seed * 1664525u + 1013904223u;
            std::vector<std::uint8_t> flipped = bytes;
            flipped[21 + seed % (bytes.size() - 21)] ^= static_cast<std::uint8_t>(1u << (seed >> 29));
            LLVMFuzzerTestOneInput(flipped.data(), flipped.size());
            ++runs;
        }
        return runs;
    });
}
#endif
