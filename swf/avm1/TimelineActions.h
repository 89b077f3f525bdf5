#pragma once
// The built-in action runner: executes the actions that control timelines (Stop,
// Play, NextFrame, PreviousFrame, GotoFrame, GoToLabel, SetTarget, and GotoFrame2 /
// SetTarget2 fed by a constant from Push) and steps over everything else. There
// is no value stack beyond constants pushed right before use, and no branching:
// code runs straight through, function bodies are skipped.

#include "swf/avm1/ActionRunner.h"

#include <cstdint>
#include <span>
#include <string>

namespace swf::avm1 {

class TimelineActions : public ActionRunner {
public:
    void runFrameActions(timeline::Clip& clip, std::span<const std::uint8_t> code) override;
    void runInitActions(timeline::Clip& clip, std::uint16_t spriteId,
                        std::span<const std::uint8_t> code) override;
    void runClipEvent(timeline::Clip& clip, std::uint32_t event, std::span<const std::uint8_t> code) override;

    // Runs a block with `clip` as the original target.
    static void execute(timeline::Clip& clip, std::span<const std::uint8_t> code);
};

} // namespace swf::avm1
