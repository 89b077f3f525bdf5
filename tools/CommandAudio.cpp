// orvane-tool audio: plays a movie as the player does and writes what its sound mixer
// produces as a WAV file (44,100 Hz, stereo, 16-bit), without an audio device and as
// fast as the machine goes. Time is virtual, as for trace.

#include "CommandRegistry.h"

#include "swf/Player.h"
#include "swf/audio/AudioEngine.h"
#include "swf/audio/Pcm.h"
#include "swf/audio/WavFile.h"
#include "swf/avm1/PlayerScriptHost.h"

#include "MovieArgs.h"

#include <memory>
#include <string>
#include <vector>

namespace orvane::tool {
namespace {

const char kUsage[] = "usage: orvane-tool audio MOVIE.swf -o OUT.wav [--frames N]\n"
                      "\n"
                      "Plays the movie from its start with its scripts running, N frames (default: the\n"
                      "movie's frame count), and writes the sound it makes meanwhile: 44,100 Hz stereo\n"
                      "16-bit, one frame interval of samples per frame shown.\n";

int run(const std::vector<std::string>& args);
const Command kAudio{"audio", "write the sound a movie makes as a WAV file", kUsage, run};
const CommandRegistration kRegistration(kAudio);

int run(const std::vector<std::string>& args) {
    std::string out;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (i + 1 >= args.size())
                return failUsage(kAudio, "-o needs a file name");
            out = args[++i];
        } else {
            rest.push_back(args[i]);
        }
    }
    MovieAndCount parsed;
    parsed.count = 0;
    if (const int rc = parseMovieAndCount(kAudio, rest, "--frames", "a count", parsed); rc != kExitOk)
        return rc;
    if (out.empty())
        return failUsage(kAudio, "-o OUT.wav is required");

    auto host = std::make_unique<swf::avm1::PlayerScriptHost>();
    swf::avm1::PlayerScriptHost* scripts = host.get();
    scripts->setUrl("file://" + parsed.movie);
    swf::Player player;
    player.setActionRunner(std::move(host));
    swf::audio::AudioEngine engine(player);
    if (!player.load(parsed.movie))
        return failInput(parsed.movie, player.error());
    const long frames = parsed.count > 0 ? parsed.count : std::max(1, player.totalFrames());

    swf::audio::WavWriter wav(out, swf::audio::kOutputRate, swf::audio::kOutputChannels);
    if (!wav.ok())
        return failInput(out, "cannot write the file");
    const double interval = 1000.0 / player.frameRate();
    std::vector<std::int16_t> block;
    for (long i = 0; i < frames; ++i) {
        scripts->setTime(static_cast<double>(i) * interval);
        player.tick();
        scripts->afterTick();
        engine.mixTick(block);
        wav.append(block);
    }
    if (!wav.close())
        return failInput(out, "cannot write the file");
    return kExitOk;
}

} // namespace
} // namespace orvane::tool
