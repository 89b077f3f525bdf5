// Loading movies into clips and levels from scripts: where the loaded timeline plays, what
// its scripts see (_root, _lockroot, its own version's rules), levels over level 0, a new
// level 0, MovieClipLoader's events for a movie, and the loads that are refused.

#include "ActionAssembler.h"
#include "ShapeBuilder.h"
#include "SwfWriter.h"
#include "TempFolder.h"
#include "swf/Player.h"
#include "swf/movie/Movie.h"
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
              "u=undefined|tick|child this=_level0.holder root=_level0|u=|yes|tick|tick|tick|");
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
              "tick|locked this=_level0.holder root=_level0.holder|_level0.holder|tick|tick|");
}

TEST(MovieLoad, LevelsLoadOverLevelZeroAndUnload) {
    MovieFolder folder;
    // loadMovieNum is GetURL2 with a "_levelN" window; unloadMovieNum the same with no URL.
    folder.child("level.swf", whoAmI("level") + R"(
        push "_target="; push "this"; getvariable; push 11; getproperty; add2; trace
        push "_level0"; getvariable; push "mark"; getmember; trace)");
    EXPECT_EQ(folder.play(R"(
        push "mark", "main"; setvariable
        push "n", 0; setvariable
        push "level.swf", "_level2"; geturl2 0
        push "onEnterFrame"; function () {
            push "tick "; push "_level2"; getvariable; add2; trace
            push "n"; push "n"; getvariable; increment; setvariable
            push "n"; getvariable; push 4; equals2; not; if skip
            push "", "_level2"; geturl2 0
            skip: push "n"; getvariable; pop
        }; setvariable
    )", 8),
              "tick undefined|level this=_level2 root=_level2|_target=_level2|main|tick _level2|tick _level2|"
              "tick _level2|tick _level2|tick undefined|tick undefined|");
}

TEST(MovieLoad, LoaderListenersHearOfMoviesAndRefusals) {
    MovieFolder folder;
    // A movie reports the length its header declares; URLs, paths out of the folder, text
    // files, damaged movies and ActionScript 3 movies are refused with onLoadError.
    folder.child("small.swf", R"(push "small"; trace)");
    {
        SwfWriter as3;
        as3.setVersion(9);
        as3.fileAttributes(0x08).showFrame();
        as3.save((folder.root / "movie" / "as3.swf").string());
        std::ofstream(folder.root / "movie" / "broken.swf") << "FWS\x06garbage";
    }
    const auto size = [&] {
        std::ifstream in(folder.root / "movie" / "small.swf", std::ios::binary);
        char header[8] = {};
        in.read(header, 8);
        const auto b = [&](int i) { return static_cast<unsigned>(static_cast<unsigned char>(header[i])); };
        return std::to_string(b(4) | b(5) << 8 | b(6) << 16 | b(7) << 24);
    }();
    EXPECT_EQ(folder.play(R"(
        push "l", 0, "MovieClipLoader"; newobject; setvariable
        push "l"; getvariable; push "onLoadProgress"; function (m, n, t) { push "progress "; push "m"; getvariable; add2; push " "; add2; push "n"; getvariable; add2; push "/"; add2; push "t"; getvariable; add2; trace }; setmember
        push "l"; getvariable; push "onLoadInit"; function (m) { push "init "; push "m"; getvariable; add2; trace }; setmember
        push "l"; getvariable; push "onLoadError"; function (m, e) { push "error "; push "m"; getvariable; add2; push " "; add2; push "e"; getvariable; add2; trace }; setmember
        push 1, "a", 2, "createEmptyMovieClip"; callfunction; pop
        push "a", "small.swf", 2, "l"; getvariable; push "loadClip"; callmethod; pop
        push 3, "small.swf", 2, "l"; getvariable; push "loadClip"; callmethod; pop
        push 2, "b", 2, "createEmptyMovieClip"; callfunction; pop
        push "b", "http://example.com/small.swf", 2, "l"; getvariable; push "loadClip"; callmethod; pop
        push "b", "../movie/small.swf", 2, "l"; getvariable; push "loadClip"; callmethod; pop
        push "b", "as3.swf", 2, "l"; getvariable; push "loadClip"; callmethod; pop
        push "b", "broken.swf", 2, "l"; getvariable; push "loadClip"; callmethod; pop
    )", 5),
              "tick|progress _level0.a " + size + "/" + size + "|progress _level3 " + size + "/" + size +
                  "|error _level0.b URLNotFound|error _level0.b URLNotFound|error _level0.b URLNotFound|"
                  "error _level0.b URLNotFound|small|small|tick|init _level0.a|init _level3|tick|tick|");
}

TEST(MovieLoad, AMovieLoadingItselfStopsAtTheNestingBound) {
    MovieFolder folder;
    // Each copy loads itself into a child: the chain ends after a bounded number of loads.
    folder.child("self.swf", R"(
        push "self"; trace
        push 1, "inner", 2, "this"; getvariable; push "createEmptyMovieClip"; callmethod; pop
        push "self.swf", 1, "inner"; getvariable; push "loadMovie"; callmethod; pop)");
    std::string out = folder.play(R"(
        push 1, "holder", 2, "createEmptyMovieClip"; callfunction; pop
        push "self.swf", 1, "holder"; getvariable; push "loadMovie"; callmethod; pop
    )", 60);
    std::size_t copies = 0;
    for (std::size_t at = out.find("self|"); at != std::string::npos; at = out.find("self|", at + 1))
        ++copies;
    EXPECT_EQ(copies, 8u);
}

TEST(MovieLoad, LevelsDrawOverLevelZeroWhoseStageTakesTheirColour) {
    MovieFolder folder;
    // The main movie has no background colour: the loaded level's colour is the stage's. A
    // level's shapes cover level 0's.
    {
        SwfWriter over;
        over.setVersion(6).setStageSize(40, 40);
        over.setBackgroundColor({0, 0, 255});
        ShapeBuilder green;
        green.setFill0(green.addFill(FillStyle::solid({0, 255, 0}))).rectangle(0, 0, 400, 400);
        over.defineShape(1, green).place(1, 1).showFrame();
        over.save((folder.root / "movie" / "over.swf").string());
    }
    SwfWriter main;
    main.setVersion(8).setStageSize(40, 40);
    ShapeBuilder red;
    red.setFill0(red.addFill(FillStyle::solid({255, 0, 0}))).rectangle(0, 0, 800, 800);
    main.defineShape(1, red).place(1, 1);
    main.doAction(assembleActions(R"(
        push "over.swf", "_level1"; geturl2 0
        stop)"));
    main.showFrame();
    EXPECT_EQ(folder.run(main, 4), "");
    swf::Player& player = folder.session->player();
    EXPECT_EQ(player.levelRoots().size(), 2u);
    const swf::format::Rgba bg = player.backgroundColor();
    EXPECT_EQ(bg.b, 255);
    swf::render::StageRenderer renderer;
    const QImage image = renderer.renderImage(player);
    EXPECT_EQ(image.pixel(5, 5), qRgb(0, 255, 0));   // level 1 over level 0
    EXPECT_EQ(image.pixel(30, 30), qRgb(255, 0, 0)); // level 0 beside it
    EXPECT_EQ(image.pixel(39, 39), qRgb(255, 0, 0));
}

TEST(MovieLoad, AMovieLoadedIntoLevelZeroTakesThePlayersPlace) {
    MovieFolder folder;
    // The old scripts are gone with their interpreter (no more ticks); the new movie plays as
    // _level0 and loads further files from its own place.
    folder.child("next.swf", whoAmI("next") + R"(
        push "mark"; getvariable; trace)", 7);
    EXPECT_EQ(folder.play(R"(
        push "mark", "old"; setvariable
        push "next.swf", "_level0"; geturl2 0
    )", 5),
              "tick|next this=_level0 root=_level0|undefined|");
    EXPECT_EQ(folder.session->player().movie()->version(), 7);
}

TEST(MovieLoad, LoadVariablesSetsTheTargetsVariablesAndRunsItsDataHandler) {
    MovieFolder folder;
    std::ofstream(folder.root / "movie" / "vars.txt") << "name=Ann%20Lee&count=3";
    // loadVariables is GetURL2 with 0xC0 (variables into a clip), loadVariablesNum with 0x80
    // and a "_levelN" target; a level that is not there takes nothing.
    EXPECT_EQ(folder.play(R"(
        push 1, "a", 2, "createEmptyMovieClip"; callfunction; pop
        push "a"; getvariable; push "onData"; function () { push "data "; push "this"; getvariable; push "name"; getmember; add2; trace }; setmember
        push "vars.txt", "a"; geturl2 192
        push "vars.txt", "_level0"; geturl2 128
        push "vars.txt", "_level4"; geturl2 128
        push "missing.txt", "a"; geturl2 192
        push "onEnterFrame"; function () { push "tick "; push "count"; getvariable; add2; push " "; add2; push "a"; getvariable; push "count"; getmember; add2; trace }; setvariable
    )", 3),
              "data Ann Lee|tick 3 3|tick 3 3|");
}

TEST(MovieLoad, ASSetNativeAndASconstructorReachTheNativeTables) {
    MovieFolder folder;
    // Table 100 holds escape (0) and unescape (1); a leading 8 hides a name below SWF 8.
    EXPECT_EQ(folder.play(R"(
        push "o", 0; initobject; setvariable
        push 0, "esc,8unesc", 100, "o"; getvariable; push 4, "ASSetNative"; callfunction; pop
        push "a b", 1, "o"; getvariable; push "esc"; callmethod; trace
        push "a%20b", 1, "o"; getvariable; push "unesc"; callmethod; trace
        push "C", 0, 2, 2, "ASconstructor"; callfunction; setvariable
        push "C"; getvariable; push "prototype"; getmember; typeof; trace
    )", 1, 7),
              "a%20b|undefined|object|");
}
