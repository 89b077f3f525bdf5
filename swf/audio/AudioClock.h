#pragma once
// The frame clock while a stream sound plays: the audio device's position, not the
// wall clock, says which frame is due, so frames are dropped when the host falls
// behind and the sound never is. Tick k's samples start at output frame
// floor(k * 44100 / fps); a tick is due once the device's position is within one frame
// of its start, so the picture is never more than a frame ahead of the sound heard.
//
// Devices report their position in bursts (a period of a thousand frames or so, a
// good part of a frame interval). Read as it is, the report lags what is heard by up
// to a burst, and the host, waking late, adds its own delay on top. So the position is
// estimated between reports from the host's monotonic clock: the device plays at its
// nominal rate, and the moment a report steps is when the burst it names starts. The
// estimate never leaves [report, report + largest step seen], so a device that stops
// stops the frames within one burst.

#include <cstdint>
#include <optional>

namespace swf::audio {

class AudioClock {
public:
    explicit AudioClock(double fps);

    // Starts counting again from device position `played`.
    void reset(std::uint64_t played);
    // Ticks to run now, given the frames the device reports played in all and the
    // host's monotonic time in milliseconds.
    std::uint64_t dueTicks(std::uint64_t played, double nowMs);
    // Call once per tick run.
    void ticked() { ++m_ticks; }
    // How far the frame clock is ahead of the audio clock, in frames (negative: behind).
    double lead(std::uint64_t played) const;
    // Output frame where tick `k` (counted from the reset) starts.
    std::uint64_t tickStart(std::uint64_t k) const;
    // The device's position at `nowMs` estimated from its reports so far (frames in all).
    double estimate(std::uint64_t played, double nowMs);

private:
    double m_fps;
    std::uint64_t m_ticks = 0;      // since reset
    std::uint64_t m_baseFrames = 0; // device position at reset
    // Device position minus host time (both in frames): its largest recent value is
    // the one seen right as a report stepped.
    std::optional<double> m_offset;
    double m_lastMs = 0;
    std::uint64_t m_lastPlayed = 0;
    std::uint64_t m_step = 0; // largest step of the reports
};

} // namespace swf::audio
