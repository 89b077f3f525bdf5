#pragma once
// Plays one player's sounds: decodes defined sounds on first use and timelines'
// stream sounds ahead, keeps the channels, and mixes one tick's worth of output after
// each player tick. Tick n covers output frames [n * 44100 / fps, (n + 1) * 44100 / fps),
// so the same ticks give the same samples whether a device or a file takes them.
//
// Stream sounds follow their timelines: after each tick a playing timeline whose
// frame holds a stream block keeps its channel if the frame simply advanced, and
// starts it again at that frame's sample otherwise (gotos, loops, seeks). A stopped
// or removed timeline silences its stream.

#include "swf/audio/Mixer.h"
#include "swf/audio/SoundControl.h"
#include "swf/audio/StreamTrack.h"

#include <map>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

namespace swf {
class Player;
}
namespace swf::movie {
class Movie;
}

namespace swf::audio {

struct AudioStats {
    std::size_t decodeErrors = 0;  // packets or frames FFmpeg refused
    std::size_t failedSounds = 0;  // sounds that decoded to nothing
    std::size_t refusedChannels = 0;
};

class AudioEngine : public SoundControl {
public:
    // Attaches to `player` (its timelines start sounds through this engine) until destroyed.
    explicit AudioEngine(Player& player);
    ~AudioEngine() override;
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // Output frames of the next tick to mix.
    std::size_t nextTickFrames() const;
    // Brings stream sounds in line with the timelines, then mixes the next tick into `out`
    // (resized to nextTickFrames() stereo frames).
    void mixTick(std::vector<std::int16_t>& out);
    // Ticks mixed since the movie was loaded.
    std::uint64_t ticksMixed() const { return m_ticks; }
    // True while the root timeline's stream sound plays: the frame clock then follows
    // the audio clock.
    bool rootStreamPlaying() const;
    // True while a sound leads the pictures (the root timeline's stream, or a video file's
    // track): a host with a device then runs the frame clock on the audio clock.
    bool audioLeadsClock() const;
    const AudioStats& stats() const { return m_stats; }
    const Mixer& mixer() const { return m_mixer; }

    // SoundControl
    ChannelId startSound(std::uint32_t soundId, const format::SoundInfo& info, std::uint64_t clipId) override;
    ChannelId startSoundAt(std::uint32_t soundId, double secondOffset, int loops, std::uint64_t clipId) override;
    void stopSounds(std::uint64_t clipId, int soundId) override;
    void stopAll() override;
    SoundTransform transform(std::uint64_t clipId) const override;
    void setTransform(std::uint64_t clipId, const SoundTransform& t) override;
    double durationMs(std::uint32_t soundId) override;
    LoadedSound loadMp3(std::span<const std::uint8_t> file) override;
    double positionMs(ChannelId channel) const override;
    std::vector<ChannelId> takeFinished() override;
    ChannelId playFeed(std::shared_ptr<SoundFeed> feed) override;
    void stopChannel(ChannelId channel) override;

private:
    struct StreamState {
        ChannelId channel = kNoChannel;
        int lastFrame = -1;
    };

    void followMovie();
    std::shared_ptr<const Pcm> sound(std::uint32_t soundId);
    const StreamTrack* track(const format::Timeline& timeline);
    void syncStreams();
    Gain gainFor(std::uint64_t clipId) const;

    Player& m_player;
    std::uint64_t m_loadCount = 0; // the player's load the state below belongs to
    Mixer m_mixer;
    AudioStats m_stats;
    std::uint64_t m_ticks = 0;
    std::unordered_map<std::uint32_t, std::shared_ptr<const Pcm>> m_sounds; // loaded ones too
    std::uint32_t m_nextLoaded = kFirstLoadedSound;
    std::map<const format::Timeline*, std::unique_ptr<StreamTrack>> m_tracks; // null: no stream
    std::unordered_map<std::uint64_t, StreamState> m_streams;                  // by clip id
    std::unordered_map<std::uint64_t, SoundTransform> m_transforms;            // by clip id, 0 = global
};

} // namespace swf::audio
