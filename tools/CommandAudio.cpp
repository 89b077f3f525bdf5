// orvane-tool audio: plays a movie as the player does and writes what its sound mixer
// produces as a WAV file (44,100 Hz, stereo, 16-bit), without an audio device and as
// fast as the machine goes. Time is virtual, as for trace.

#include "CommandRegistry.h"
#include "MovieArgs.h"
#include "MoviePlayback.h"

#include "swf/audio/Pcm.h"
#include "swf/audio/WavFile.h"

#include <algorithm>
#include <string>
#include <vector>

namespace orvane::tool {
namespace {

const char kUsage[] = "usage: orvane-tool audio MOVIE.swf -o OUT.wav [--frames N] [--no-scripts] [--input FILE]\n"
                      "\n"
                      "Plays the movie from its start with its scripts running, N frames (default: the\n"
                      "movie's frame count), and writes the sound it makes meanwhile: 44,100 Hz stereo\n"
                      "16-bit, one frame interval of samples per frame shown, exactly as the player\n"
                      "mixes it. Under --input, sounds that buttons and keys start are heard from the\n"
                      "frame after the event, as in the player.\n"
                      "\n" ORVANE_PLAYBACK_USAGE;

int run(const std::vector<std::string>& args);
const Command kAudio{"audio", "write the sound a movie makes as a WAV file", kUsage, run};
const CommandRegistration kRegistration(kAudio);

int run(const std::vector<std::string>& args) {
    std::string out;
    std::vector<std::string> rest;
    bool framesGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (i + 1 >= args.size())
                return failUsage(kAudio, "-o needs a file name");
            out = args[++i];
            continue;
        }
        framesGiven = framesGiven || args[i] == "--frames";
        rest.push_back(args[i]);
    }
    MovieAndCount parsed;
    if (const int rc = parseMovieAndCount(kAudio, rest, "--frames", "a count", parsed); rc != kExitOk)
        return rc;
    if (out.empty())
        return failUsage(kAudio, "-o OUT.wav is required");
    const auto session = openMovie(parsed.movie, parsed.playback);
    if (!session)
        return kExitBadInput;
    const long frames = framesGiven ? parsed.count : std::max(1, session->player().totalFrames());

    swf::audio::WavWriter wav(out, swf::audio::kOutputRate, swf::audio::kOutputChannels);
    if (!wav.ok())
        return failInput(out, "cannot write the file");
    // Without --input exactly `frames` frames; a longer input script runs whole.
    playFrames(*session, parsed.playback, frames, [&](long shown) {
        wav.append(session->lastMix());
        return parsed.playback.input || shown < frames;
    });
    if (!wav.close())
        return failInput(out, "cannot write the file");
    return kExitOk;
}

} // namespace
} // namespace orvane::tool
