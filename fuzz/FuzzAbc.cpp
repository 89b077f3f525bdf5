// Loads arbitrary bytes as an ABC block and runs it under a small instruction budget,
// then plays it as the code of a three-frame ActionScript 3 movie; the same bytes, cut at
// their first zero into a pattern and a subject, go through the regular expression engine
// under a small step budget, and they are read as an AMF0 and an AMF3 message (what
// ByteArray.readObject reads). Built for libFuzzer
// with ORVANE_LIBFUZZER, or as a plain program replaying files and directories given on
// the command line, then assembled programs with bytes flipped one at a time.

#include "AbcAssembler.h"
#include "ReplayMain.h"
#include "swf/PlayerSession.h"
#include "swf/avm2/Amf.h"
#include "swf/avm2/Avm2Host.h"
#include "swf/avm2/Machine.h"
#include "swf/avm2/regex/Regex.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace {

// pattern \0 subject; the first byte's low bits choose the flags.
void fuzzRegex(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t cut = bytes.find('\0');
    std::string_view pattern = bytes.substr(0, cut);
    std::string_view subject = cut == std::string_view::npos ? pattern : bytes.substr(cut + 1);
    swf::avm2::regex::Options options;
    unsigned bits = size ? data[0] : 0;
    options.ignoreCase = bits & 1;
    options.multiline = bits & 2;
    options.dotAll = bits & 4;
    options.extended = bits & 8;
    std::string error;
    auto re = swf::avm2::regex::Regex::compile(pattern, options, error);
    if (!re)
        return;
    swf::avm2::regex::Groups groups;
    std::uint64_t steps = 200'000;
    for (std::size_t from = 0; from <= subject.size() && steps > 0; from += 1 + subject.size() / 4)
        re->search(subject, from, groups, steps);
}

// The bytes as one AMF message of each version: damage must fail as a script error.
void fuzzAmf(const std::uint8_t* data, std::size_t size) {
    swf::avm2::Machine m;
    m.setInstructionBudget(200'000);
    for (std::uint32_t encoding : {0u, 3u})
        m.runAndReport([&] {
            std::size_t pos = 0;
            swf::avm2::readAmf(m, std::span<const std::uint8_t>(data, size), pos, encoding);
        });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzRegex(data, size);
    fuzzAmf(data, size);
    std::vector<std::uint8_t> abc(data, data + size);
    {
        swf::avm2::Machine m;
        m.setInstructionBudget(200'000);
        std::string error;
        m.loadAbc(abc, false, error);
        m.findClass("Main");
    }
    swf::PlayerSession session;
    if (session.loadFromBytes(orvane::testing::AbcAssembler::movie({abc}, "Main", 3))) {
        if (auto* as3 = session.as3())
            as3->machine().setInstructionBudget(200'000);
        for (int i = 0; i < 3; ++i)
            session.tick();
    }
    return 0;
}

#ifndef ORVANE_LIBFUZZER
namespace {

// Programs that reach classes, exceptions, loops and the display classes.
std::vector<std::vector<std::uint8_t>> assembledSeeds() {
    using orvane::testing::AbcAssembler;
    std::vector<std::vector<std::uint8_t>> seeds;
    AbcAssembler a;
    AbcAssembler::MethodOptions guarded;
    guarded.catches = {{"from", "to", "handler", "", "e"}};
    a.method("Main$init", "getlocal0\npushscope\ngetlocal0\nconstructsuper 0\ngetlocal0\npushbyte 0\n"
                          "getlocal0\ngetproperty run\ncallpropvoid addFrameScript 2\nreturnvoid\n");
    a.method("Main$run", "getlocal0\npushscope\nfrom:\npushbyte 0\nsetlocal1\nloop:\ngetlocal1\npushbyte 9\n"
                         "ifnlt to\nfindpropstrict trace\ngetlocal1\npushstring \"x\"\nadd\ncallpropvoid trace 1\n"
                         "inclocal_i 1\njump loop\nto:\npushnull\ngetproperty y\nreturnvoid\nhandler:\npop\nreturnvoid\n",
             guarded);
    a.method("main", "getlocal0\npushscope\ngetscopeobject 0\ngetlex flash.display::MovieClip\npushscope\n"
                     "getlex flash.display::MovieClip\nnewclass Main\npopscope\ninitproperty Main\nreturnvoid\n");
    AbcAssembler::ClassDef main;
    main.name = "Main";
    main.super = "flash.display::MovieClip";
    main.sealed = false;
    main.constructor = "Main$init";
    main.methods = {{"run", "Main$run"}};
    a.defineClass(main);
    a.script("main", {"Main"});
    seeds.push_back(a.bytes());
    return seeds;
}

} // namespace

int main(int argc, char** argv) {
    int status = orvane::fuzz::replayMain(argc, argv, [](const std::vector<std::uint8_t>& bytes) {
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        for (std::size_t cut = 1; cut < bytes.size(); cut += 1 + bytes.size() / 16)
            LLVMFuzzerTestOneInput(bytes.data(), cut);
    });
    // Patterns that backtrack without end, nest deeply or repeat hugely, on long subjects.
    const std::string as(3000, 'a');
    for (std::string evil : {"(a+)+$", "(a|aa)*$", "((a*)*)*b", "(?=(a+))\\1*$", "(a?){2000}a{2000}",
                             "(((a{100}){100}){100})", "[\\w\\W\\d]{65535}", "(?:(?:(?:(?:x)*)*)*)*$"}) {
        std::string input = evil + '\0' + as + '!';
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    }
    for (auto seed : assembledSeeds()) {
        LLVMFuzzerTestOneInput(seed.data(), seed.size());
        for (std::size_t i = 4; i < seed.size(); ++i) {
            auto flipped = seed;
            flipped[i] ^= 0x5A;
            LLVMFuzzerTestOneInput(flipped.data(), flipped.size());
        }
    }
    return status;
}
#endif
