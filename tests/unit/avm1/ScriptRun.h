#pragma once
// Runs assembled scripts on an interpreter over a FakeClipHost and collects the
// trace output, one line per trace.

#include "ActionAssembler.h"
#include "FakeClipHost.h"
#include "swf/avm1/Interpreter.h"

#include <string>
#include <string_view>
#include <vector>

namespace orvane::testing {

struct ScriptRun {
    explicit ScriptRun(int version = 8) : vm(version, &host) {
        vm.setTraceSink([this](const std::string& line) { lines.push_back(line); });
    }

    // Runs `source` on `target` and returns the lines traced, joined with '|'.
    std::string run(std::string_view source, swf::avm1::ClipId target = 1) {
        lines.clear();
        const std::vector<std::uint8_t> code = assembleActions(source);
        outcome = vm.run(code, target);
        std::string out;
        for (std::size_t i = 0; i < lines.size(); ++i)
            out += (i ? "|" : "") + lines[i];
        return out;
    }

    FakeClipHost host;
    swf::avm1::Interpreter vm;
    std::vector<std::string> lines;
    swf::avm1::Outcome outcome = swf::avm1::Outcome::Completed;
};

} // namespace orvane::testing
