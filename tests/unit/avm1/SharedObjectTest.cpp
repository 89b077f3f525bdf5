// SharedObject.getLocal: data kept from one run of a movie to the next, Flash's name rules
// and size allowance, and files that were damaged in between.

#include "ActionAssembler.h"
#include "SwfWriter.h"
#include "TempFolder.h"
#include "swf/PlayerSession.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace orvane::testing;
namespace fs = std::filesystem;

namespace {

struct Store : TempFolder {
    Store() : TempFolder("orvane-so-") {}

    // One run of `script` (SWF 8) as /movies/game.swf with this store (none when `kept` is
    // false); the traced lines. The data is written when the run ends.
    std::string run(const std::string& script, bool kept = true) {
        SwfWriter movie;
        movie.setVersion(8);
        movie.doAction(assembleActions(script + "\nstop")).showFrame();
        std::string out;
        swf::SessionOptions options;
        options.traceSink = [&](const std::string& line) { out += line + "|"; };
        if (kept)
            options.sharedObjectDirectory = dir.string();
        swf::PlayerSession session(std::move(options));
        session.loadFromBytes(movie.bytes(), "file:///movies/game.swf");
        session.tick();
        return out;
    }

    // The one file the store holds.
    fs::path file() const {
        for (const auto& e : fs::directory_iterator(dir))
            return e.path();
        return {};
    }

    const fs::path& dir = root;
};

const char* const kOpen = R"(
    push "so", "scores", 1, "SharedObject"; getvariable; push "getLocal"; callmethod; setvariable
    push "d"; push "so"; getvariable; push "data"; getmember; setvariable
)";

const char* const kShow = R"(
    push "d"; getvariable; push "name"; getmember; trace
    push "d"; getvariable; push "list"; getmember; push 1; getmember; trace
    push "d"; getvariable; push "nested"; getmember; push "self"; getmember; push "ok"; getmember; trace
    push "d"; getvariable; push "fn"; getmember; trace
)";

} // namespace

TEST(SharedObject, DataSurvivesToTheNextRun) {
    Store store;
    // Nested objects, arrays and a loop come back as they were; functions are not kept.
    EXPECT_EQ(store.run(std::string(kOpen) + R"(
        push "d"; getvariable; push "name", "ada"; setmember
        push "d"; getvariable; push "list", 3, 2, 1, 3; initarray; setmember
        push "d"; getvariable; push "nested", "ok", true, 1; initobject; setmember
        push "d"; getvariable; push "nested"; getmember; push "self"; push "d"; getvariable; push "nested"; getmember; setmember
        push "d"; getvariable; push "fn"; function () {}; setmember
        push 0, "so"; getvariable; push "flush"; callmethod; trace
        push "scores", 1, "SharedObject"; getvariable; push "getLocal"; callmethod; push "so"; getvariable; equals2; trace
    )"),
              "true|true|");
    EXPECT_EQ(store.run(std::string(kOpen) + kShow), "ada|2|true|undefined|");
    // clear() forgets the data and the file.
    store.run(std::string(kOpen) + R"(push 0, "so"; getvariable; push "clear"; callmethod; pop)");
    EXPECT_EQ(store.run(std::string(kOpen) + kShow), "undefined|undefined|undefined|undefined|");
}

TEST(SharedObject, NamesSizesAndMissingStoresFailAsFlashDid) {
    Store store;
    // Bad names and a localPath outside the movie's give null; data past 100 KB is not
    // flushed; a player without a store cannot flush either.
    EXPECT_EQ(store.run(R"(
        push "bad name", 1, "SharedObject"; getvariable; push "getLocal"; callmethod; trace
        push "a#b", 1, "SharedObject"; getvariable; push "getLocal"; callmethod; trace
        push "/elsewhere", "x", 2, "SharedObject"; getvariable; push "getLocal"; callmethod; trace
        push "so", "/movies", "x", 2, "SharedObject"; getvariable; push "getLocal"; callmethod; setvariable
        push "s", "0123456789"; setvariable
        push "i", 0; setvariable
        loop: push "s", "s"; getvariable; push "s"; getvariable; add2; setvariable
        push "i", "i"; getvariable; increment; setvariable
        push "i"; getvariable; push 14; less2; if loop
        push "so"; getvariable; push "data"; getmember; push "big"; push "s"; getvariable; setmember
        push 0, "so"; getvariable; push "flush"; callmethod; trace
        push 0, "so"; getvariable; push "getSize"; callmethod; push 102400; greater; trace
    )"),
              "null|null|null|false|true|");
    EXPECT_EQ(store.run(std::string(kOpen) + R"(push 0, "so"; getvariable; push "flush"; callmethod; trace)", false),
              "false|");
}

TEST(SharedObject, DamagedFilesGiveEmptyData) {
    Store store;
    store.run(std::string(kOpen) + R"(
        push "d"; getvariable; push "list", 3, 2, 1, 3; initarray; setmember
        push "d"; getvariable; push "name", "ada"; setmember
    )");
    const fs::path file = store.file();
    ASSERT_FALSE(file.empty());
    std::string bytes;
    {
        std::ifstream in(file, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Every cut of the file, and counts promising far more than is there, read as nothing.
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes.substr(0, cut);
        EXPECT_EQ(store.run(std::string(kOpen) + R"(push "d"; getvariable; push "name"; getmember; trace)"),
                  "undefined|")
            << cut;
    }
    std::string huge = bytes;
    for (std::size_t i = 4; i + 4 < huge.size(); i += 7)
        huge[i] = '\xff';
    std::ofstream(file, std::ios::binary | std::ios::trunc) << huge;
    store.run(std::string(kOpen) + R"(push "d"; getvariable; push "name"; getmember; trace)");
}
