#pragma once
// One track of a local media file read through FFmpeg's libavformat, the same way for a
// file's pictures and its sound (each reads the file through its own context, at its own
// pace). Internal to swf/video (includes FFmpeg).

extern "C" {
#include <libavformat/avformat.h>
}

#include <string>

namespace swf::video {

struct MediaTrack {
    AVFormatContext* format = nullptr;
    AVPacket* packet = nullptr;
    int stream = -1;
    double timeBase = 0; // seconds per timestamp unit

    MediaTrack() = default;
    MediaTrack(const MediaTrack&) = delete;
    MediaTrack& operator=(const MediaTrack&) = delete;
    ~MediaTrack();

    // Opens the file at `path` (one the host accepted) and picks its best track of `type`.
    // Only the file protocol and the containers Flash played (FLV and the MP4 family) are
    // allowed. False when there is no such track (`format` stays set when the file
    // opened but lacks the track).
    bool open(const std::string& path, AVMediaType type);
    const AVCodecParameters& parameters() const { return *format->streams[stream]->codecpar; }
    // Reads up to the track's next packet (into `packet`); false at the end.
    bool readPacket();
    // Goes back to the last keyframe at or before `seconds` (the start when that fails).
    void seek(double seconds);
};

} // namespace swf::video
