#pragma once
// Runs assembled ABC on a bare machine and collects what it traces (machine-level tests).
#include "AbcAssembler.h"
#include "swf/avm2/Machine.h"

#include <string>
#include <vector>

namespace orvane::testing::avm2run {

// Runs `body` as the init of a one-script block and returns the traced lines.
inline std::vector<std::string> runAbc(orvane::testing::AbcAssembler& a, std::string* error = nullptr) {
    swf::avm2::Machine m;
    std::vector<std::string> lines;
    m.traceSink = [&](const std::string& s) { lines.push_back(s); };
    m.setInstructionBudget(5'000'000);
    std::string err;
    if (!m.loadAbc(a.bytes(), false, err))
        lines.push_back("load failed: " + err);
    if (error)
        *error = err;
    return lines;
}

inline std::vector<std::string> runScript(const std::string& body, const orvane::testing::AbcAssembler::MethodOptions& options) {
    orvane::testing::AbcAssembler a;
    a.method("main", "getlocal0\npushscope\n" + body + "\nreturnvoid\n", options);
    a.script("main");
    return runAbc(a);
}

inline std::vector<std::string> runScript(const std::string& body) {
    return runScript(body, orvane::testing::AbcAssembler::MethodOptions{});
}

// trace(<value pushed by `push`>)
inline std::string traceOf(const std::string& push) {
    return "findpropstrict trace\n" + push + "\ncallpropvoid trace 1\n";
}

using Lines = std::vector<std::string>;

} // namespace orvane::testing::avm2run
