#pragma once
// One local video file (FLV, or MP4/F4V) opened through FFmpeg's libavformat, decoded up to
// a playing position: the picture shown at a time is the last one whose timestamp is at or
// before it. Only the file protocol and the FLV and MP4 demuxers are allowed; the path
// must already be one the host accepted.

#include "swf/timeline/objects/Pixels.h"
#include "swf/video/ScriptData.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace swf::video {

class VideoFile {
public:
    VideoFile();
    ~VideoFile();
    VideoFile(const VideoFile&) = delete;
    VideoFile& operator=(const VideoFile&) = delete;

    // False when the file cannot be opened as a container Flash played; a file without
    // pictures FFmpeg decodes opens (its sound may still play) and shows nothing.
    bool open(const std::string& path);
    bool hasPictures() const;
    // Decodes up to `seconds` (a bounded number of packets per call, so a damaged file
    // cannot stall a tick); true when the picture changed.
    bool advanceTo(double seconds);
    // Jumps to `seconds`: decodes from the keyframe before it.
    void seek(double seconds);
    // Every packet has been read and decoded.
    bool ended() const;

    // The picture for the position reached; null before the first.
    std::shared_ptr<const timeline::Pixels> picture();
    double duration() const; // seconds, 0 when unknown
    std::uint64_t fileSize() const { return m_fileSize; }
    // An onMetaData object for files that carry none of their own: duration, width,
    // height, framerate and videocodecid.
    ScriptValue metadata() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
    std::uint64_t m_fileSize = 0;
};

} // namespace swf::video
