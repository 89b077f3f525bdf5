#include "swf/audio/AudioClock.h"

#include "swf/audio/Pcm.h"

#include <cmath>

namespace swf::audio {

AudioClock::AudioClock(double fps, std::uint64_t leadFrames)
    : m_fps(std::isfinite(fps) && fps > 0 ? fps : 12.0), m_lead(leadFrames) {}

void AudioClock::reset(std::uint64_t played) {
    m_ticks = 0;
    m_baseFrames = played;
}

std::uint64_t AudioClock::tickStart(std::uint64_t k) const {
    return static_cast<std::uint64_t>(std::floor(static_cast<double>(k) * kOutputRate / m_fps));
}

std::uint64_t AudioClock::dueTicks(std::uint64_t played) const {
    const std::uint64_t horizon = (played > m_baseFrames ? played - m_baseFrames : 0) + m_lead;
    std::uint64_t due = 0;
    while (tickStart(m_ticks + due) <= horizon)
        ++due;
    return due;
}

double AudioClock::lead(std::uint64_t played) const {
    const double audio = static_cast<double>(played > m_baseFrames ? played - m_baseFrames : 0) * m_fps / kOutputRate;
    return static_cast<double>(m_ticks) - audio;
}

} // namespace swf::audio
