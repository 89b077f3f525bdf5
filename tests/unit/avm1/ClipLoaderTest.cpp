// Loading pictures into clips from scripts: MovieClipLoader's events and their timing,
// loadMovie and unloadMovie, the sizes clips report, and the files that are refused.

#include "ActionAssembler.h"
#include "SwfWriter.h"
#include "TempFolder.h"
#include "swf/PlayerSession.h"

#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace orvane::testing;
namespace fs = std::filesystem;

namespace {

struct LoadFolder : TempFolder {
    LoadFolder() : TempFolder("orvane-cliploader-") {
        fs::create_directories(root / "movie");
        QImage picture(3, 2, QImage::Format_ARGB32);
        picture.fill(Qt::red);
        picture.save(QString::fromStdString((root / "movie" / "pic.png").string()));
        std::ofstream(root / "movie" / "notes.txt") << "not a picture";
        picture.save(QString::fromStdString((root / "outside.png").string()));
    }

    std::string pictureSize() const { return std::to_string(fs::file_size(root / "movie" / "pic.png")); }

    // Plays `script` (frame 1, which stops there) as a movie of `version` in the folder for
    // `frames` ticks, with "tick" traced at the start of every later frame unless the script
    // has an onEnterFrame of its own; the traced lines.
    std::string play(const std::string& script, int frames = 4, int version = 8) {
        SwfWriter movie;
        movie.setVersion(version);
        const bool ownHandler = script.find("\"onEnterFrame\"") != std::string::npos;
        movie.doAction(assembleActions(script + (ownHandler ? "" : R"(
            push "onEnterFrame"; function () { push "tick"; trace }; setvariable)") + "\nstop"));
        movie.showFrame().showFrame();
        std::string out;
        swf::SessionOptions options;
        options.traceSink = [&](const std::string& line) { out += line + "|"; };
        swf::PlayerSession session(std::move(options));
        if (!session.loadFromBytes(movie.bytes(), "file://" + (root / "movie" / "movie.swf").string()))
            return "load failed";
        for (int i = 0; i < frames; ++i)
            session.tick();
        return out;
    }
};

// Handlers that trace each event with what they are given.
const char* const kListeners = R"(
    push "l", 0, "MovieClipLoader"; newobject; setvariable
    push "l"; getvariable; push "onLoadStart"; function (m) { push "start "; push "m"; getvariable; add2; trace }; setmember
    push "l"; getvariable; push "onLoadProgress"; function (m, n, t) { push "progress "; push "n"; getvariable; add2; push "/"; add2; push "t"; getvariable; add2; trace }; setmember
    push "l"; getvariable; push "onLoadComplete"; function (m) { push "complete "; push "m"; getvariable; add2; trace }; setmember
    push "l"; getvariable; push "onLoadInit"; function (m) { push "init "; push "m"; getvariable; add2; push " "; add2; push "m"; getvariable; push "kid"; getmember; add2; push " "; add2; push "m"; getvariable; push "x"; getmember; add2; trace }; setmember
    push "l"; getvariable; push "onLoadError"; function (m, e) { push "error "; push "m"; getvariable; add2; push " "; add2; push "e"; getvariable; add2; trace }; setmember
)";

} // namespace

TEST(ClipLoader, PicturesReplaceTheClipsContentAndListenersHearOfIt) {
    LoadFolder folder;
    // The loaded clip keeps its name but neither its child nor its properties; the events
    // come the frame after next, onLoadInit a frame later. Refused files report an error with
    // the target, which keeps what it had; a target that is not a clip is refused at once.
    const std::string size = folder.pictureSize();
    EXPECT_EQ(folder.play(std::string(kListeners) + R"(
        push 1, "a", 2, "createEmptyMovieClip"; callfunction; pop
        push "a"; getvariable; push "x", 42; setmember
        push 5, "kid", 2, "a"; getvariable; push "createEmptyMovieClip"; callmethod; pop
        push "a"; getvariable; push "pic.png", 2, "l"; getvariable; push "loadClip"; callmethod; trace
        push "nowhere", "pic.png", 2, "l"; getvariable; push "loadClip"; callmethod; trace
        push 2, "c", 2, "createEmptyMovieClip"; callfunction; pop
        push 5, "kid", 2, "c"; getvariable; push "createEmptyMovieClip"; callmethod; pop
        push "c", "notes.txt", 2, "l"; getvariable; push "loadClip"; callmethod; pop
        push "c", "../outside.png", 2, "l"; getvariable; push "loadClip"; callmethod; pop
    )"),
              "true|false|tick|start _level0.a|progress " + size + "/" + size +
                  "|complete _level0.a|error _level0.c URLNotFound|error _level0.c URLNotFound|tick|"
                  "init _level0.a undefined undefined|tick|");
}

TEST(ClipLoader, TargetsRemovedBeforeTheLoadEndsArriveUndefined) {
    LoadFolder folder;
    EXPECT_EQ(folder.play(std::string(kListeners) + R"(
        push 1, "a", 2, "createEmptyMovieClip"; callfunction; pop
        push "a"; getvariable; push "pic.png", 2, "l"; getvariable; push "loadClip"; callmethod; pop
        push "a"; removesprite
    )"),
              "tick|error undefined URLNotFound|tick|tick|");
}

// The prototype's members carry the Flash 7 flag: an older movie calls a loadClip it
// cannot see, and gets undefined as Flash Player's traces show.
TEST(ClipLoader, MoviesBeforeFlash7HaveTheClassButItLoadsNothing) {
    LoadFolder folder;
    EXPECT_EQ(folder.play(std::string(kListeners) + R"(
        push 1, "a", 2, "createEmptyMovieClip"; callfunction; pop
        push "a"; getvariable; push "pic.png", 2, "l"; getvariable; push "loadClip"; callmethod; trace
    )",
                          4, 6),
              "undefined|tick|tick|tick|");
}

TEST(ClipLoader, LoadMovieAndUnloadMovieRenewTheClipTheScriptsHold) {
    LoadFolder folder;
    // getBytesLoaded/Total: an empty clip has nothing, a loaded one its file's size; the
    // reference taken before the load reaches the new content.
    const std::string size = folder.pictureSize();
    EXPECT_EQ(folder.play(R"(
        push "a", 1, "a", 2, "createEmptyMovieClip"; callfunction; setvariable
        push "b", 2, "b", 2, "createEmptyMovieClip"; callfunction; setvariable
        push 0, "a"; getvariable; push "getBytesTotal"; callmethod; trace
        push "b"; getvariable; push "x", 7; setmember
        push 5, "kid", 2, "b"; getvariable; push "createEmptyMovieClip"; callmethod; pop
        push "pic.png", 1, "a"; getvariable; push "loadMovie"; callmethod; pop
        push "", "/b"; geturl2 64
        push "onEnterFrame"; function () {
            push 0, "a"; getvariable; push "getBytesLoaded"; callmethod; push "/"; add2; push 0, "a"; getvariable; push "getBytesTotal"; callmethod; add2; trace
            push "b"; getvariable; push "x"; getmember; push " "; add2; push "b"; getvariable; push "kid"; getmember; add2; trace
        }; setvariable
    )",
                          3),
              "0|0/0|7 _level0.b.kid|" + size + "/" + size + "|undefined undefined|");
}
