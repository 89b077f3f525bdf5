// ActionScript 3 movies through the one player setup every tool uses: the document
// class is constructed on the first frame, frame scripts and enterFrame run per frame.
#include "AbcAssembler.h"
#include "swf/PlayerSession.h"

#include <gtest/gtest.h>

using orvane::testing::AbcAssembler;

namespace {

std::vector<std::string> play(const std::vector<std::uint8_t>& movie, int ticks) {
    std::vector<std::string> lines;
    swf::SessionOptions options;
    options.traceSink = [&](const std::string& s) { lines.push_back(s); };
    swf::PlayerSession session(options);
    EXPECT_TRUE(session.loadFromBytes(movie));
    for (int i = 0; i < ticks; ++i)
        session.tick();
    return lines;
}

// A document class Main extending MovieClip: its constructor traces, registers a script
// for frame 2 (index 1) that stops the movie, and listens to enterFrame.
AbcAssembler documentClass() {
    AbcAssembler a;
    a.method("Main$init", R"(
        getlocal0
        pushscope
        getlocal0
        constructsuper 0
        findpropstrict trace
        pushstring "constructed"
        callpropvoid trace 1
        getlocal0
        pushbyte 1
        getlocal0
        getproperty frame2
        callpropvoid addFrameScript 2
        getlocal0
        pushstring "enterFrame"
        getlocal0
        getproperty tick
        callpropvoid addEventListener 2
        returnvoid
    )");
    a.method("Main$frame2", R"(
        getlocal0
        pushscope
        findpropstrict trace
        pushstring "frame "
        getlocal0
        getproperty currentFrame
        add
        callpropvoid trace 1
        getlocal0
        callpropvoid stop 0
        returnvoid
    )");
    AbcAssembler::MethodOptions oneParam;
    oneParam.params = 1;
    a.method("Main$tick", R"(
        getlocal0
        pushscope
        findpropstrict trace
        getlocal1
        getproperty type
        callpropvoid trace 1
        returnvoid
    )",
             oneParam);
    a.method("main", R"(
        getlocal0
        pushscope
        getscopeobject 0
        getlex Object
        pushscope
        getlex flash.display::MovieClip
        pushscope
        getlex flash.display::MovieClip
        newclass Main
        popscope
        popscope
        initproperty Main
        returnvoid
    )");
    AbcAssembler::ClassDef main;
    main.name = "Main";
    main.super = "flash.display::MovieClip";
    main.sealed = false;
    main.constructor = "Main$init";
    main.methods = {{"frame2", "Main$frame2"}, {"tick", "Main$tick"}};
    a.defineClass(main);
    a.script("main", {"Main"});
    return a;
}

} // namespace

TEST(Avm2Movie, DocumentClassFrameScriptsAndEnterFrame) {
    AbcAssembler a = documentClass();
    auto movie = AbcAssembler::movie({a.bytes()}, "Main", 3);
    // Frame 1: constructed. Frame 2: enterFrame, then the frame script stops the movie.
    // Frame 3 is never reached; enterFrame goes on while stopped.
    EXPECT_EQ(play(movie, 4), (std::vector<std::string>{"constructed", "enterFrame", "frame 2", "enterFrame", "enterFrame"}));
}

TEST(Avm2Movie, BrokenCodeIsReportedAndTheMovieStillPlays) {
    std::vector<std::uint8_t> junk{16, 0, 46, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F};
    auto movie = AbcAssembler::movie({junk}, "Missing", 2);
    auto lines = play(movie, 2);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("VerifyError: ", 0), 0u);
}
