#pragma once
// What scripts may ask of the video engine, without knowing how it decodes: NetStreams that
// play local video files on the movie's clock, their status and metadata messages, and
// which video object shows which stream. The script host holds a pointer to this; the
// session's VideoEngine implements it.

#include "swf/video/ScriptData.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace swf::video {

using StreamId = std::uint64_t;
inline constexpr StreamId kNoStream = 0;

// One message for a NetStream's script object: onStatus({code, level}), or a call the
// file makes (onMetaData(info), onCuePoint(info), ...).
struct StreamEvent {
    enum class Kind : std::uint8_t { Status, Call };
    Kind kind = Kind::Status;
    std::string code;  // "NetStream.Play.Start", ...
    std::string level; // "status" or "error"
    ScriptCall call;
};

class VideoControl {
public:
    virtual ~VideoControl() = default;

    virtual StreamId createStream() = 0;
    // The stream's script object is gone: stop it and forget it.
    virtual void releaseStream(StreamId stream) = 0;
    // Plays a local file the host has already checked; an empty path is one it refused
    // (the stream reports NetStream.Play.StreamNotFound).
    virtual void play(StreamId stream, const std::string& path) = 0;
    // Pauses (true), resumes (false) or toggles (nothing).
    virtual void pause(StreamId stream, std::optional<bool> paused) = 0;
    virtual void seek(StreamId stream, double seconds) = 0;
    // Seconds of the file to hold before playing (NetStream.setBufferTime); decides when
    // the buffer messages come.
    virtual void setBufferTime(StreamId stream, double seconds) = 0;
    virtual void close(StreamId stream) = 0;
    // Playing position in seconds.
    virtual double time(StreamId stream) const = 0;
    // Size of the file playing (a local file is loaded whole once open).
    virtual double bytesTotal(StreamId stream) const = 0;
    // Messages since the last call, in order.
    virtual std::vector<std::pair<StreamId, StreamEvent>> takeEvents() = 0;
    // The video object with this serial shows the stream's pictures (kNoStream: its own
    // frames again); clearVideo blanks it until the stream's next picture.
    virtual void attachVideo(std::uint64_t videoSerial, StreamId stream) = 0;
    virtual void clearVideo(std::uint64_t videoSerial) = 0;
    // The size of the picture the video object shows now; false when it shows none.
    virtual bool pictureSize(std::uint64_t videoSerial, int& width, int& height) = 0;
    // Video.smoothing: whether the picture is smoothed when scaled.
    virtual void setSmoothing(std::uint64_t videoSerial, bool smoothing) = 0;
    virtual bool smoothing(std::uint64_t videoSerial) = 0;
    // Video.deblocking: 0 follows the stream's own flag, 1 turns filtering off, 2 to 5
    // filter more strongly.
    virtual void setDeblocking(std::uint64_t videoSerial, int level) = 0;
    virtual int deblocking(std::uint64_t videoSerial) = 0;
};

} // namespace swf::video
