#pragma once
// Shows video on a player's stage: after every tick (and every jump a host makes itself)
// each video object gets the picture of the stream frame its placement's ratio names, or
// of the NetStream a script attached to it. Embedded streams are decoded on first sight
// and forgotten with their movie; NetStreams play local files on the movie's clock.

#include "swf/video/EmbeddedVideo.h"
#include "swf/video/VideoControl.h"

#include <cstdint>
#include <vector>
#include <memory>
#include <unordered_map>

namespace swf {
class Player;
}

namespace swf::video {

class VideoFile;

class VideoEngine final : public VideoControl {
public:
    explicit VideoEngine(Player& player);
    ~VideoEngine() override;
    VideoEngine(const VideoEngine&) = delete;
    VideoEngine& operator=(const VideoEngine&) = delete;

    // Moves playing NetStreams to the movie time of the tick (ms since load).
    void advance(double movieTimeMs);
    // Brings every video object's picture in line with its placement or its NetStream;
    // marks the display changed when a picture changed.
    void sync();
    // The decoding state of a stream of the loaded movie (made on first use).
    EmbeddedVideo& stream(const format::VideoStreamCharacter& character);

    // VideoControl
    StreamId createStream() override;
    void releaseStream(StreamId stream) override;
    void play(StreamId stream, const std::string& path) override;
    void pause(StreamId stream, std::optional<bool> paused) override;
    void seek(StreamId stream, double seconds) override;
    void setBufferTime(StreamId stream, double seconds) override;
    void close(StreamId stream) override;
    double time(StreamId stream) const override;
    double bytesTotal(StreamId stream) const override;
    std::vector<std::pair<StreamId, StreamEvent>> takeEvents() override;
    void attachVideo(std::uint64_t videoSerial, StreamId stream) override;
    void clearVideo(std::uint64_t videoSerial) override;
    bool pictureSize(std::uint64_t videoSerial, int& width, int& height) override;
    void setSmoothing(std::uint64_t videoSerial, bool smoothing) override;
    bool smoothing(std::uint64_t videoSerial) override;
    void setDeblocking(std::uint64_t videoSerial, int level) override;
    int deblocking(std::uint64_t videoSerial) override;

private:
    struct NetStream;

    void followMovie();
    NetStream* find(StreamId stream);
    const NetStream* find(StreamId stream) const;
    void status(StreamId stream, const char* code, const char* level = "status");
    // Reports the file's script calls stamped at or before `seconds`.
    void callsUpTo(NetStream& s, double seconds);
    void flush(NetStream& s);
    // Back to a stream that plays nothing; the script's buffer time stays.
    void restart(NetStream& s);
    // The file's sound: tops up its feed, starts it at the clock's position, stops it.
    void fillSound(NetStream& s);
    void startSound(NetStream& s);
    void stopSound(NetStream& s);
    // Where the stream's clock stands at the engine's present movie time.
    double clockOf(const NetStream& s) const;

    Player& m_player;
    std::uint64_t m_loadCount = 0;
    double m_nowMs = 0;
    std::unordered_map<const format::VideoStreamCharacter*, std::unique_ptr<EmbeddedVideo>> m_streams;
    std::vector<std::unique_ptr<NetStream>> m_netStreams; // few at a time: scanned
    // What scripts did to video objects, by serial.
    struct ScriptedVideo {
        StreamId stream = kNoStream; // attached NetStream
        bool cleared = false;        // clear(): hide `clearedPicture` until a newer one
        const timeline::Pixels* clearedPicture = nullptr;
        int smoothing = -1; // Video.smoothing: -1 unset, else 0 or 1
        int deblocking = 0;  // Video.deblocking
        int width = 0, height = 0; // of the picture shown, 0 for none
    };
    std::unordered_map<std::uint64_t, ScriptedVideo> m_videos;
    std::vector<std::pair<StreamId, StreamEvent>> m_events;
};

} // namespace swf::video
