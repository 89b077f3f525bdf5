#pragma once
// The frame clock while a stream sound plays: the audio device's position, not the
// wall clock, says which frame is due, so frames are dropped when the host falls
// behind and the sound never is. Tick k's samples start at output frame
// floor(k * 44100 / fps); a tick is due once the device has played to within
// `lead` frames of its start (the lead keeps the device fed).

#include <cstdint>

namespace swf::audio {

class AudioClock {
public:
    AudioClock(double fps, std::uint64_t leadFrames);

    // Starts counting again from device position `played`.
    void reset(std::uint64_t played);
    // Ticks to run now, given the frames the device has played in all.
    std::uint64_t dueTicks(std::uint64_t played) const;
    // Call once per tick run.
    void ticked() { ++m_ticks; }
    // How far the frame clock is ahead of the audio clock, in frames (negative: behind).
    double lead(std::uint64_t played) const;
    // Output frame where tick `k` (counted from the reset) starts.
    std::uint64_t tickStart(std::uint64_t k) const;

private:
    double m_fps;
    std::uint64_t m_lead;
    std::uint64_t m_ticks = 0;     // since reset
    std::uint64_t m_baseFrames = 0; // device position at reset
};

} // namespace swf::audio
