// Feeds arbitrary bytes through the sound path: the first byte is a SWF sound format,
// the next four a declared sample count, the rest sound data. It is decoded as a
// DefineSound would be, then again cut into stream blocks at lengths the input picks,
// and the result mixed with an envelope and loops taken from the input. Built for
// libFuzzer with ORVANE_LIBFUZZER, or as a plain program that replays files and
// directories given on the command line.

#include "swf/audio/Id3Tags.h"
#include "swf/audio/Mixer.h"
#include "swf/audio/SoundDecoder.h"
#include "ReplayMain.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> all(data, size);
    swf::audio::readId3Tags(all);
    swf::audio::decodeMp3File(all);
    if (size < 5)
        return 0;
    swf::format::SoundCharacter sound;
    sound.format = swf::format::soundFormatFromByte(data[0]);
    sound.sampleCount = std::uint32_t(data[1]) << 24 | std::uint32_t(data[2]) << 16 | data[3] << 8 | data[4];
    const std::span<const std::uint8_t> rest(data + 5, size - 5);
    sound.data.assign(rest.begin(), rest.end());
    auto whole = std::make_shared<swf::audio::Pcm>(swf::audio::decodeSound(sound));

    swf::audio::SoundDecoder blocks(sound.format);
    for (std::size_t at = 0; at < rest.size();) {
        const std::size_t len = std::min<std::size_t>(rest.size() - at, 1 + rest[at] * 4u);
        blocks.decode(rest.subspan(at, len));
        at += len;
    }
    blocks.finish();

    swf::audio::Mixer mixer;
    swf::audio::Channel c;
    c.pcm = whole;
    c.end = whole->frames();
    c.loopsLeft = 1 + data[1] % 3;
    for (std::size_t i = 5; i + 4 < std::min<std::size_t>(size, 25); i += 4)
        c.envelope.push_back({std::uint32_t(data[i]) * 97u, std::uint16_t(data[i + 1] << 8 | data[i + 2]),
                              std::uint16_t(data[i + 3] << 7)});
    mixer.play(c);
    c.pcm = std::make_shared<swf::audio::Pcm>(std::move(blocks.output()));
    c.end = c.pcm->frames();
    mixer.play(c);
    std::vector<std::int16_t> out(2 * 4410);
    for (int i = 0; i < 8; ++i)
        mixer.mix(out, [&](const swf::audio::Channel&) {
            return swf::audio::Gain{data[2] * 300, -data[3] * 50, data[4] * 10, 32768};
        });
    return 0;
}

#ifndef ORVANE_LIBFUZZER
int main(int argc, char** argv) {
    return orvane::fuzz::replayMain(argc, argv, [](const std::vector<std::uint8_t>& bytes) {
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    });
}
#endif
