// The frame clock that follows the audio device: the device position estimated between
// its burst-wise reports, and the ticks that come due from it.

#include "swf/audio/AudioClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

using swf::audio::AudioClock;

// A device that reports its position in 1,024-frame steps, each as it starts playing.
std::uint64_t reported(double ms) {
    return static_cast<std::uint64_t>(std::floor(ms * 44.1 / 1024)) * 1024;
}

TEST(AudioClock, EstimatesThePositionBetweenReports) {
    AudioClock clock(24);
    // Until a report has stepped nothing is assumed beyond it.
    EXPECT_EQ(clock.estimate(0, 0.0), 0.0);
    EXPECT_EQ(clock.estimate(0, 10.0), 0.0);
    // Polled every 3 ms, the estimate soon follows the sound heard to within a few frames,
    // between the steps as well as on them.
    double worst = 0;
    for (double ms = 13; ms < 2000; ms += 3) {
        const double e = clock.estimate(reported(ms), ms);
        EXPECT_GE(e, static_cast<double>(reported(ms)));
        EXPECT_LE(e, static_cast<double>(reported(ms) + 1024));
        if (ms > 200)
            worst = std::max(worst, std::abs(e - ms * 44.1));
    }
    EXPECT_LT(worst, 3 * 44.1);
}

TEST(AudioClock, AStoppedDeviceStopsTheFramesWithinABurst) {
    AudioClock clock(24);
    clock.reset(0);
    std::uint64_t ticks = 0;
    double ms = 0;
    for (; ms < 1000; ms += 5)
        for (std::uint64_t due = clock.dueTicks(reported(ms), ms); due > 0; --due, ++ticks)
            clock.ticked();
    // Within one frame of what is heard: 24 frames a second, one frame of lead.
    EXPECT_NEAR(static_cast<double>(ticks), 26, 1.0); // frames 0 to 25 at 1,000 ms
    const std::uint64_t stuck = reported(ms);
    for (; ms < 3000; ms += 5)
        for (std::uint64_t due = clock.dueTicks(stuck, ms); due > 0; --due, ++ticks)
            clock.ticked();
    EXPECT_LE(clock.tickStart(ticks - 1), stuck + 1024 + 44100 / 24);
    // Host time going back (a new clock origin) and a device that restarts are taken as
    // new starting points, not as a huge step.
    EXPECT_EQ(clock.estimate(0, 10.0), 0.0);
    EXPECT_EQ(clock.dueTicks(0, 5.0), 0u);
}

} // namespace
