// Feeds arbitrary bytes through embedded video: byte 0 is a SWF codec number, byte 1 the
// DefineVideoStream flag byte, bytes 2 and 3 the declared width and height in 4-pixel
// steps, then packets as a 16-bit big-endian length and that many bytes. The stream is
// played forward, then jumped around in an order the input's last bytes pick (with a cache
// of a few pictures, so jumps decode from keyframes), then decoded once more with every
// packet cut in half. The same bytes are also read as an FLV script tag. Built for libFuzzer with ORVANE_LIBFUZZER, or as a plain program
// that replays files and directories given on the command line.

#include "swf/video/EmbeddedVideo.h"
#include "swf/video/FlvScriptTags.h"
#include "swf/video/VideoDecoder.h"
#include "ReplayMain.h"

#include <cstdint>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    swf::video::parseScriptTag(std::span(data, size), 0);
    if (size < 4)
        return 0;
    swf::format::VideoStreamCharacter stream;
    stream.codec = data[0];
    stream.deblocking = (data[1] >> 1) & 7;
    stream.smoothing = data[1] & 1;
    stream.width = static_cast<std::uint16_t>(data[2] * 4);
    stream.height = static_cast<std::uint16_t>(data[3] * 4);
    std::size_t at = 4;
    std::uint16_t number = 0;
    while (at + 2 <= size && number < 512) {
        const std::size_t length = std::min<std::size_t>(std::size_t(data[at]) << 8 | data[at + 1], size - at - 2);
        stream.frames[number++].assign(data + at + 2, data + at + 2 + length);
        at += 2 + length;
    }
    stream.frameCount = number;

    swf::video::EmbeddedVideo video(stream, std::size_t(1) << 18);
    for (int n = 0; n < number; ++n)
        video.frame(n);
    for (std::size_t i = size > 16 ? size - 16 : 0; i < size; ++i)
        video.frame(number ? data[i] % (number + 2) - 1 : data[i]);

    swf::video::VideoDecoder halves(stream.codec, {stream.width, stream.height, stream.deblocking});
    for (const auto& [n, bytes] : stream.frames) {
        halves.decode(std::span(bytes).first(bytes.size() / 2));
        halves.picture();
    }
    halves.drain();
    return 0;
}

#ifndef ORVANE_LIBFUZZER
int main(int argc, char** argv) {
    return orvane::fuzz::replayMain(argc, argv, [](const std::vector<std::uint8_t>& bytes) {
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    });
}
#endif
