#include "swf/audio/AudioClock.h"

#include "swf/audio/Pcm.h"

#include <algorithm>
#include <cmath>

namespace swf::audio {

namespace {

// The offset forgets 500 ppm a second, so a device clock slower than the host's is
// followed; a faster one raises it by itself.
constexpr double kOffsetDecay = 0.0005;
// Report steps beyond this (a device that hiccuped) do not widen the estimate.
constexpr std::uint64_t kMaxStep = kOutputRate / 10;

double hostFrames(double ms) {
    return ms * kOutputRate / 1000.0;
}

} // namespace

AudioClock::AudioClock(double fps) : m_fps(std::isfinite(fps) && fps > 0 ? fps : 12.0) {}

void AudioClock::reset(std::uint64_t played) {
    m_ticks = 0;
    m_baseFrames = played;
}

std::uint64_t AudioClock::tickStart(std::uint64_t k) const {
    return static_cast<std::uint64_t>(std::floor(static_cast<double>(k) * kOutputRate / m_fps));
}

double AudioClock::estimate(std::uint64_t played, double nowMs) {
    const double seen = static_cast<double>(played) - hostFrames(nowMs);
    if (!m_offset || nowMs < m_lastMs || played < m_lastPlayed) {
        m_offset = seen;
        m_step = 0;
    } else {
        m_offset = std::max(*m_offset - kOffsetDecay * hostFrames(nowMs - m_lastMs), seen);
        m_step = std::max(m_step, std::min(played - m_lastPlayed, kMaxStep));
    }
    m_lastMs = nowMs;
    m_lastPlayed = played;
    const double low = static_cast<double>(played);
    return std::clamp(hostFrames(nowMs) + *m_offset, low, low + static_cast<double>(m_step));
}

std::uint64_t AudioClock::dueTicks(std::uint64_t played, double nowMs) {
    const double at = estimate(played, nowMs) - static_cast<double>(m_baseFrames);
    const double horizon = std::max(at, 0.0) + kOutputRate / m_fps;
    std::uint64_t due = 0;
    while (static_cast<double>(tickStart(m_ticks + due)) <= horizon)
        ++due;
    return due;
}

double AudioClock::lead(std::uint64_t played) const {
    const double audio = static_cast<double>(played > m_baseFrames ? played - m_baseFrames : 0) * m_fps / kOutputRate;
    return static_cast<double>(m_ticks) - audio;
}

} // namespace swf::audio
