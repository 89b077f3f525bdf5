// Loading movies into clips and levels from scripts: where the loaded timeline plays, what
// its scripts see (_root, _lockroot, its own version's rules), levels over level 0, a new
// level 0, MovieClipLoader's events for a movie, and the loads that are refused.

#include "ActionAssembler.h"
#include "ShapeBuilder.h"
#include "SwfWriter.h"
#include "TempFolder.h"
#include "swf/Player.h"
#include "swf/PlayerSession.h"
#include "swf/render/StageRenderer.h"

#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace orvane::testing;
namespace fs = std::filesystem;

namespace {

struct MovieFolder : TempFolder {
    MovieFolder() : TempFolder("orvane-movieload-") { fs::create_directories(root / "movie"); }

    // Writes a movie of `version` beside the main one whose first frame runs `script` (and
    // stops there unless the script says otherwise).
    void child(const std::string& name, const std::string& script, int version = 6, bool stop = true) {
        SwfWriter movie;
        movie.setVersion(static_cast<std::uint8_t>(version));
        movie.doAction(assembleActions(script + (stop ? "\nstop" : "")));
        movie.showFrame().showFrame();
        movie.save((root / "movie" / name).string());
    }

    // Plays `script` (frame 1, which stops there) as a movie of `version` for `frames` ticks,
    // with "tick" traced at the start of every later frame; the traced lines.
    std::string play(const std::string& script, int frames = 4, int version = 8) {
        SwfWriter movie;
        movie.setVersion(static_cast<std::uint8_t>(version));
        const bool ownHandler = script.find("\"onEnterFrame\"") != std::string::npos;
        movie.doAction(assembleActions(script + (ownHandler ? "" : R"(
            push "onEnterFrame"; function () { push "tick"; trace }; setvariable)") + "\nstop"));
        movie.showFrame().showFrame();
        return run(movie, frames);
    }

    std::string run(const SwfWriter& movie, int frames) {
        std::string out;
        swf::SessionOptions options;
        options.traceSink = [&](const std::string& line) { out += line + "|"; };
        session = std::make_unique<swf::PlayerSession>(std::move(options));
        if (!session->loadFromBytes(movie.bytes(), "file://" + (root / "movie" / "main.swf").string()))
            return "load failed";
        for (int i = 0; i < frames; ++i)
            session->tick();
        return out;
    }

    std::unique_ptr<swf::PlayerSession> session;
};

// Traces "<label> this=<this> root=<_root>".
std::string whoAmI(const std::string& label) {
    return "push \"" + label + R"( this="; push "this"; getvariable; add2; push " root="; add2; push "_root"; getvariable; add2; trace)";
}

} // namespace

TEST(MovieLoad, AMovieLoadedIntoAClipPlaysThereByItsOwnRules) {
    MovieFolder folder;
    // The loaded movie's code runs in the clip, which keeps its name and placement; _root is
    // level 0's root, and the loaded movie's version (6: undefined concatenates as "") governs
    // its code while the main movie (8) keeps its own.
    folder.child("child.swf", whoAmI("child") + R"(
        push "u="; push "nothing"; getvariable; add2; trace
        push "_root"; getvariable; push "seen"; getmember; trace)");
    EXPECT_EQ(folder.play(R"(
        push "seen", "yes"; setvariable
        push 1, "holder", 2, "createEmptyMovieClip"; callfunction; pop
        push "holder"; getvariable; push "_x", 50; setmember
        push "child.swf", 1, "holder"; getvariable; push "loadMovie"; callmethod; pop
        push "u="; push "nothing"; getvariable; add2; trace
    )", 5),
              "u=undefined|tick|tick|child this=_level0.holder root=_level0|u=|yes|tick|tick|");
    // Placement kept, the movie's declared length reported, and its frames counted.
}

TEST(MovieLoad, LockrootMakesTheLoadedClipItsOwnRoot) {
    MovieFolder folder;
    folder.child("locked.swf", R"(
        push "this"; getvariable; push "_lockroot", true; setmember
        )" + whoAmI("locked") + R"(
        push "/"; getvariable; trace)");
    EXPECT_EQ(folder.play(R"(
        push 1, "holder", 2, "createEmptyMovieClip"; callfunction; pop
        push "locked.swf", 1, "holder"; getvariable; push "loadMovie"; callmethod; pop
    )", 4),
              "tick|tick|locked this=_level0.holder root=_level0.holder|_level0.holder|tick|");
}

TEST(MovieLoad, LevelsLoadOverLevelZeroAndUnload) {
    MovieFolder folder;
    // loadMovieNum is GetURL2 with a "_levelN" window; unloadMovieNum the same with no URL.
    folder.child("level.swf", whoAmI("level") + R"(
        push "_target="; push "this"; getvariable; push 11; getproperty; add2; trace
        push "_level0"; getvariable; push "mark"; getmember; trace)");
    EXPECT_EQ(folder.play(R"(
        push "mark", "main"; setvariable
        push "level.swf", "_level2"; geturl2 0
        push "onEnterFrame"; function () {
            push "tick "; push "_level2"; getvariable; add2; trace
            push "n"; push "n"; getvariable; increment; setvariable
            push "n"; getvariable; push 4; equals2; not; if skip
            push "", "_level2"; geturl2 0
            skip: push "n"; getvariable; pop
        }; setvariable
    )", 8),
              "tick undefined|tick undefined|level this=_level2 root=_level2|_target=_level2|main|tick _level2|tick _level2|"
              "tick _level2|tick _level2|tick undefined|");
}
