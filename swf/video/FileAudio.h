#pragma once
// The sound track of a local video file (FLV with MP3, ADPCM, Nellymoser, PCM, Speex or
// AAC; MP4 with AAC or MP3), read through its own libavformat context, decoded by the
// sound engine's decoder and fed to the mixer a little ahead of what is heard.

#include "swf/audio/SoundFeed.h"

#include <memory>
#include <string>

namespace swf::video {

class FileAudio {
public:
    FileAudio();
    ~FileAudio();
    FileAudio(const FileAudio&) = delete;
    FileAudio& operator=(const FileAudio&) = delete;

    // False when the file has no sound track FFmpeg decodes.
    bool open(const std::string& path);
    // What is fed next starts at `seconds` of the file.
    void seek(double seconds);
    // Decodes until `feed` holds `frames` frames not yet played, or marks it complete at
    // the end of the track. A bounded number of packets per call.
    void fill(audio::SoundFeed& feed, std::size_t frames);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace swf::video
