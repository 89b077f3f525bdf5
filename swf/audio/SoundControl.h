#pragma once
// What the timelines, buttons and scripts ask of the sound engine. The player keeps
// one in its World (null when nothing plays sound); the engine behind it lives in
// swf_audio, so code that only starts and stops sounds needs no FFmpeg.
//
// Clips are named by timeline::Clip::id(); clip 0 stands for "no clip": sounds
// started without one, and the global transform.

#include "swf/audio/Id3Tags.h"
#include "swf/audio/SoundFeed.h"
#include "swf/format/Sound.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace swf::audio {

using ChannelId = std::uint64_t;
inline constexpr ChannelId kNoChannel = 0;
// Sounds are named by their character id; sounds loaded from files get ids from here up.
inline constexpr std::uint32_t kFirstLoadedSound = 0x10000;

// An MP3 file loaded for a script: the id to start it by (0 when nothing in it
// decoded), its length and its ID3 tags.
struct LoadedSound {
    std::uint32_t soundId = 0;
    double durationMs = 0;
    Id3Tags id3;
};

// A Sound object's transform in percent: how much of each input side goes to each
// output side, and a volume over both.
struct SoundTransform {
    double ll = 100, lr = 0, rl = 0, rr = 100;
    double volume = 100;
    bool operator==(const SoundTransform&) const = default;
};

class SoundControl {
public:
    virtual ~SoundControl() = default;

    // An event sound as a StartSound tag, a button or a script starts it (SOUNDINFO
    // rules: sync-stop, no-multiple, in/out points, loops, envelope). kNoChannel when
    // nothing started.
    virtual ChannelId startSound(std::uint32_t soundId, const format::SoundInfo& info, std::uint64_t clipId) = 0;
    // Sound.start(secondOffset, loops).
    virtual ChannelId startSoundAt(std::uint32_t soundId, double secondOffset, int loops, std::uint64_t clipId) = 0;
    // Stops event sounds started for `clipId` (0: any clip) and, when `soundId` >= 0,
    // only those of that sound.
    virtual void stopSounds(std::uint64_t clipId, int soundId) = 0;
    // stopAllSounds: every event and stream sound; streams start again at their next frame.
    virtual void stopAll() = 0;

    virtual SoundTransform transform(std::uint64_t clipId) const = 0;
    virtual void setTransform(std::uint64_t clipId, const SoundTransform& t) = 0;

    // Length of a defined sound in milliseconds (0 when unknown or undecodable).
    virtual double durationMs(std::uint32_t soundId) = 0;
    // Decodes a whole MP3 file (Sound.loadSound) and keeps it while the movie plays.
    virtual LoadedSound loadMp3(std::span<const std::uint8_t> file) = 0;
    // Playing position of a channel in milliseconds, counted within the current loop;
    // negative once it is gone.
    virtual double positionMs(ChannelId channel) const = 0;
    // Channels that played to their end since the last call, oldest first.
    virtual std::vector<ChannelId> takeFinished() = 0;

    // Plays a fed sound (a video file's track) under the global transform. Scripts'
    // stop() and stopAllSounds leave it playing: the video's clock runs on it.
    virtual ChannelId playFeed(std::shared_ptr<SoundFeed> feed) = 0;
    virtual void stopChannel(ChannelId channel) = 0;
};

} // namespace swf::audio
