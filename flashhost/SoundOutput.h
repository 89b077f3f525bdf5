#pragma once
// The desktop's audio output for the movie area: mixed samples are pushed to a
// QAudioSink after each tick. Without an output device (CI, headless machines) it
// says so once on standard error and swallows the samples, so the movie plays on
// silently and scripts see sounds progress just the same.

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <span>

class QAudioSink;
class QIODevice;

namespace orvane {

class SoundOutput {
public:
    SoundOutput();
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    bool hasDevice() const { return m_sink != nullptr; }
    // Queues interleaved stereo 16-bit frames at 44,100 Hz.
    void write(std::span<const std::int16_t> samples);
    // Frames the device has played since the output opened (0 without a device).
    std::uint64_t playedFrames() const;
    // Frames written but not yet played.
    std::uint64_t queuedFrames() const;
    // Drops whatever is queued (the movie stopped or changed).
    void flush();
    // Hands queued samples to the device as it has room; call from the frame clock.
    void pump();

private:
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_io = nullptr;
    QByteArray m_pending; // accepted from the engine, not yet taken by the sink
    std::uint64_t m_written = 0; // frames handed to the sink
};

} // namespace orvane
