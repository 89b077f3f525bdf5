#pragma once
// Shared pieces of the video tests: streams made at test time by FFmpeg's command-line
// tool (the tests skip where it is not installed), FLV packets taken apart, FFmpeg's own
// decode of a file for reference, movies built around packets, and picture comparison.

#include "SwfWriter.h"
#include "swf/timeline/objects/Pixels.h"

#include <cstdint>
#include <string>
#include <vector>

namespace video_test {

using Bytes = std::vector<std::uint8_t>;
using Picture = std::vector<std::uint32_t>; // 0xAARRGGBB words, rows top to bottom

bool haveFfmpeg();

// A scratch directory for one test process, removed at exit.
std::string scratchPath(const std::string& name);

// Runs FFmpeg on its test pattern (`seconds` of `size` at `fps`) with the output arguments
// `args` into scratch file `name`; the file's bytes, empty on failure.
Bytes encodeTestPattern(const std::string& args, const std::string& name, const std::string& size = "96x64",
                        int fps = 10, double seconds = 2);
// FFmpeg's own decode of the video in `file`: one picture a frame.
std::vector<Picture> ffmpegPictures(const std::string& file, int width, int height);

struct FlvPacket {
    std::uint8_t codec = 0;
    bool keyframe = false;
    Bytes data; // the payload as a SWF VideoFrame carries it
};
// The video packets of an FLV file in order (VP6's size-adjustment byte removed).
std::vector<FlvPacket> flvVideoPackets(const Bytes& flv);

// A movie of one video stream placed at depth 1: frame n shows stream frame n.
orvane::testing::SwfWriter videoMovie(std::uint8_t codec, int width, int height, const std::vector<Bytes>& packets,
                                      double fps = 10);

struct Difference {
    double mean = 0;  // mean absolute difference per colour channel
    int max = 0;      // largest channel difference
    bool sameSize = false;
};
Difference compare(const swf::timeline::Pixels& ours, const Picture& reference, int width, int height);

} // namespace video_test
