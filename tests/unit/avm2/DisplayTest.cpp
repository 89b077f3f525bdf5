// The display list, events, drawing and input of ActionScript 3 movies, end to end:
// movies with a document class (and a linked sprite placed on the timeline) built by our
// writer and the ABC assembler, played through the player setup every tool uses.
#include "AbcAssembler.h"
#include "SwfWriter.h"
#include "swf/PlayerSession.h"
#include "swf/render/StageRenderer.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

#include <unistd.h>

using orvane::testing::AbcAssembler;
using orvane::testing::SwfWriter;
using Lines = std::vector<std::string>;

namespace {

// A DoABC tag (no flags, no name) holding the assembled block.
void addAbc(SwfWriter& swf, AbcAssembler& a) {
    std::vector<std::uint8_t> abc{0, 0, 0, 0, 0};
    auto bytes = a.bytes();
    abc.insert(abc.end(), bytes.begin(), bytes.end());
    swf.rawTag(82, abc);
}

// A document class Main (a dynamic MovieClip) whose constructor runs `constructor`;
// `methods` become methods of Main taking one argument (listeners, frame scripts).
// A class Hero linked to sprite 2 traces its name when constructed.
struct As3Movie {
    std::string constructor;
    std::vector<std::pair<std::string, std::string>> methods;
    bool placeHero = true;
    int frames = 1;
    // Bitmap 3 (two pixels: red, then blue) linked to class Pic, a BitmapData.
    bool linkPicture = false;
    // Sound 4 (6,000 samples of a steady level, 44 kHz mono) linked to class Beep, a Sound.
    bool linkSound = false;

    std::vector<std::uint8_t> build() const {
        AbcAssembler a;
        a.method("Main$init", "getlocal0\npushscope\ngetlocal0\nconstructsuper 0\n" + constructor + "\nreturnvoid\n");
        a.method("Hero$init", R"(
            getlocal0
            pushscope
            getlocal0
            constructsuper 0
            findpropstrict trace
            pushstring "hero constructed: "
            getlocal0
            getproperty name
            add
            callpropvoid trace 1
            returnvoid
        )");
        AbcAssembler::MethodOptions oneParam; // optional, so frame scripts may call them too
        oneParam.params = 1;
        oneParam.intDefaults = {0};
        AbcAssembler::ClassDef main;
        main.name = "Main";
        main.super = "flash.display::MovieClip";
        main.sealed = false;
        main.constructor = "Main$init";
        for (const auto& [name, body] : methods) {
            a.method("Main$" + name, "getlocal0\npushscope\n" + body + "\nreturnvoid\n", oneParam);
            main.methods[name] = "Main$" + name;
        }
        a.method("main", R"(
            getlocal0
            pushscope
            getscopeobject 0
            getlex flash.display::MovieClip
            newclass Main
            initproperty Main
            getscopeobject 0
            getlex flash.display::MovieClip
            newclass Hero
            initproperty Hero
            getscopeobject 0
            getlex flash.display::BitmapData
            newclass Pic
            initproperty Pic
            getscopeobject 0
            getlex flash.media::Sound
            newclass Beep
            initproperty Beep
            returnvoid
        )");
        // Linked media classes: constructors that only call their base's.
        for (auto [name, base, superArgs] : {std::tuple{"Beep", "flash.media::Sound", ""},
                                             {"Pic", "flash.display::BitmapData", "pushbyte 0\npushbyte 0\n"}}) {
            a.method(std::string(name) + "$init", "getlocal0\npushscope\ngetlocal0\n" + std::string(superArgs) +
                                                      "constructsuper " + (superArgs[0] ? "2" : "0") + "\nreturnvoid\n");
            AbcAssembler::ClassDef linked;
            linked.name = name;
            linked.super = base;
            linked.constructor = std::string(name) + "$init";
            a.defineClass(linked);
        }
        a.defineClass(main);
        AbcAssembler::ClassDef hero;
        hero.name = "Hero";
        hero.super = "flash.display::MovieClip";
        hero.sealed = false;
        hero.constructor = "Hero$init";
        a.defineClass(hero);
        a.script("main", {"Main", "Hero", "Pic", "Beep"});

        SwfWriter swf;
        swf.setVersion(10);
        swf.fileAttributes(0x08);
        addAbc(swf, a);
        orvane::testing::Sprite sprite;
        sprite.showFrame();
        swf.defineSprite(2, sprite);
        if (linkPicture)
            swf.defineBitsLossless(3, orvane::testing::LosslessBitmap::truecolor(
                                          2, 1, {{255, 0, 0, 255}, {0, 0, 255, 255}}, false));
        // SymbolClass: the document class, Hero for sprite 2 (and Pic for bitmap 3).
        if (linkSound) {
            orvane::testing::SoundFormat pcm;
            std::vector<std::uint8_t> samples;
            for (int i = 0; i < 6000; ++i)
                samples.insert(samples.end(), {0x10, 0x27}); // 10,000
            swf.defineSound(4, pcm, 6000, samples);
        }
        std::vector<std::uint8_t> links{static_cast<std::uint8_t>(2 + linkPicture + linkSound), 0, 0, 0};
        for (auto c : std::string("Main"))
            links.push_back(static_cast<std::uint8_t>(c));
        links.insert(links.end(), {0, 2, 0});
        for (auto c : std::string("Hero"))
            links.push_back(static_cast<std::uint8_t>(c));
        links.push_back(0);
        for (auto [linked, id, name] : {std::tuple{linkPicture, 3, "Pic"}, {linkSound, 4, "Beep"}}) {
            if (!linked)
                continue;
            links.insert(links.end(), {static_cast<std::uint8_t>(id), 0});
            for (auto c : std::string(name))
                links.push_back(static_cast<std::uint8_t>(c));
            links.push_back(0);
        }
        swf.rawTag(76, links);
        if (placeHero) {
            orvane::testing::PlaceObject place;
            place.depth = 5;
            place.characterId = 2;
            place.name = "hero";
            swf.placeObject2(place);
        }
        swf.showFrame(frames);
        return swf.bytes();
    }
};

struct Played {
    Lines lines;
    std::unique_ptr<swf::PlayerSession> session;
};

Played play(const As3Movie& movie, int ticks, const std::function<void(swf::Player&)>& input = {}) {
    Played out;
    swf::SessionOptions options;
    options.traceSink = [&out](const std::string& s) { out.lines.push_back(s); };
    out.session = std::make_unique<swf::PlayerSession>(options);
    EXPECT_TRUE(out.session->loadFromBytes(movie.build()));
    for (int i = 0; i < ticks; ++i)
        out.session->tick();
    if (input) {
        input(out.session->player());
        out.session->tick();
    }
    return out;
}

std::string traceTop(const std::string& pushValue) {
    return "findpropstrict trace\n" + pushValue + "\ncallpropvoid trace 1\n";
}

// Code that leaves `new flash.display::<cls>()` on the stack.
std::string make(const std::string& cls) {
    return "findpropstrict flash.display::" + cls + "\nconstructprop flash.display::" + cls + " 0\n";
}

} // namespace

// Stage.displayState asks the host for full screen, as fscommand("fullscreen") does, and
// takes StageDisplayState's values only. When the window goes in or out of full screen the
// stage gets a FullScreenEvent and displayState follows (leaving is "normal").
TEST(Avm2Display, DisplayStateAsksTheHostForFullScreen) {
    As3Movie movie;
    movie.placeHero = false;
    movie.constructor = "getlocal0\ngetproperty stage\npushstring \"fullScreenInteractive\"\nsetproperty displayState\n" +
                        traceTop("getlocal0\ngetproperty stage\ngetproperty displayState") +
                        "getlocal0\ngetproperty stage\npushstring \"fullScreen\"\ngetlocal0\ngetproperty onFull\n"
                        "callpropvoid addEventListener 2\n"
                        "getlocal0\ngetproperty stage\npushstring \"huge\"\nsetproperty displayState\n";
    movie.methods = {{"onFull", traceTop("getlocal1\ngetproperty fullScreen\npushstring \" \"\nadd\n"
                                         "getlocal1\ngetproperty interactive\nadd\npushstring \" \"\nadd\n"
                                         "getlocal1\ngetproperty target\ngetproperty displayState\nadd")}};
    Lines lines, commands;
    swf::SessionOptions options;
    options.traceSink = [&](const std::string& s) { lines.push_back(s); };
    options.fsCommandSink = [&](const std::string& c, const std::string& a) { commands.push_back(c + " " + a); };
    swf::PlayerSession session(options);
    ASSERT_TRUE(session.loadFromBytes(movie.build()));
    session.tick();
    EXPECT_EQ(commands, Lines{"fullscreen true"});
    session.displayStateChanged(true);
    session.displayStateChanged(true); // no change, no event
    session.displayStateChanged(false);
    EXPECT_EQ(lines, (Lines{"fullScreenInteractive",
                            "ArgumentError: Error #2008: Parameter displayState must be one of the accepted values.",
                            "true true fullScreenInteractive", "false false normal"}));
}

TEST(Avm2Display, TimelineChildrenAreObjectsOfTheirLinkedClassesAndPropertiesOfTheirParent) {
    As3Movie movie;
    movie.constructor = traceTop("pushstring \"main constructed\"") +
                        traceTop("getlocal0\ngetproperty numChildren") +
                        traceTop("getlocal0\ngetproperty hero\ngetproperty name") +
                        traceTop("getlocal0\npushbyte 0\ncallproperty getChildAt 1\ngetlocal0\ngetproperty hero\nstrictequals") +
                        traceTop("getlocal0\ngetproperty hero\ngetproperty parent\ngetlocal0\nstrictequals") +
                        traceTop("getlocal0\npushstring \"hero\"\ncallproperty getChildByName 1\ngetproperty name") +
                        traceTop("getlocal0\ngetproperty parent\ngetlocal0\ngetproperty stage\nstrictequals") +
                        traceTop("getlocal0\ngetproperty stage\ngetproperty stageWidth");
    // The child is made (its constructor run) before the document's constructor.
    EXPECT_EQ(play(movie, 1).lines, (Lines{"hero constructed: hero", "main constructed", "1", "hero", "true", "true",
                                           "hero", "true", "550"}));
}

TEST(Avm2Display, ChildListOperationsKeepIndicesInOrder) {
    As3Movie movie;
    movie.placeHero = false;
    // a, b, c added; c moved to the bottom; a and c swapped; b removed.
    movie.constructor = make("Sprite") + "setlocal1\n" + make("Sprite") + "setlocal2\n" + make("Shape") +
                        "setlocal3\n"
                        "getlocal1\npushstring \"a\"\nsetproperty name\n"
                        "getlocal2\npushstring \"b\"\nsetproperty name\n"
                        "getlocal3\npushstring \"c\"\nsetproperty name\n"
                        "getlocal0\ngetlocal1\ncallpropvoid addChild 1\n"
                        "getlocal0\ngetlocal2\ncallpropvoid addChild 1\n"
                        "getlocal0\ngetlocal3\npushbyte 0\ncallpropvoid addChildAt 2\n"
                        "getlocal0\npushnull\ncallpropvoid order 1\n"
                        "getlocal0\ngetlocal1\ngetlocal3\ncallpropvoid swapChildren 2\n"
                        "getlocal0\npushnull\ncallpropvoid order 1\n"
                        "getlocal0\ngetlocal2\npushbyte 0\ncallpropvoid setChildIndex 2\n"
                        "getlocal0\npushnull\ncallpropvoid order 1\n"
                        "getlocal0\ngetlocal2\ncallpropvoid removeChild 1\n"
                        "getlocal0\npushnull\ncallpropvoid order 1\n" +
                        traceTop("getlocal2\ngetproperty parent") +
                        traceTop("getlocal0\ngetlocal1\ncallproperty contains 1") +
                        traceTop("getlocal0\ngetlocal2\ncallproperty contains 1") +
                        traceTop("getlocal0\ngetlocal3\ncallproperty getChildIndex 1");
    // order(): the names of the children from index 0, joined.
    movie.methods = {{"order", R"(
        pushstring ""
        setlocal2
        pushbyte 0
        setlocal3
      loop:
        getlocal3
        getlocal0
        getproperty numChildren
        ifge done
        getlocal2
        getlocal0
        getlocal3
        callproperty getChildAt 1
        getproperty name
        add
        setlocal2
        getlocal3
        increment_i
        setlocal3
        jump loop
      done:
        findpropstrict trace
        getlocal2
        callpropvoid trace 1
    )"}};
    EXPECT_EQ(play(movie, 1).lines, (Lines{"cab", "acb", "bac", "ac", "null", "true", "false", "1"}));
}

TEST(Avm2Display, PropertiesWriteTheTimelineObject) {
    As3Movie movie;
    movie.constructor = make("Sprite") + "setlocal1\n"
                        "getlocal0\ngetlocal1\ncallpropvoid addChild 1\n"
                        "getlocal1\npushbyte 30\nsetproperty x\n"
                        "getlocal1\npushbyte 2\nsetproperty scaleX\n"
                        "getlocal1\npushbyte 90\nsetproperty rotation\n"
                        "getlocal1\npushdouble 0.5\nsetproperty alpha\n"
                        "getlocal1\npushfalse\nsetproperty visible\n" +
                        traceTop("getlocal1\ngetproperty x") + traceTop("getlocal1\ngetproperty scaleX") +
                        traceTop("getlocal1\ngetproperty rotation") + traceTop("getlocal1\ngetproperty alpha") +
                        traceTop("getlocal1\ngetproperty visible") +
                        // Drawing gives the sprite its size: a 40 x 10 rectangle, rotated.
                        "getlocal1\ngetproperty graphics\npushint 16711680\ncallpropvoid beginFill 1\n"
                        "getlocal1\ngetproperty graphics\npushbyte 0\npushbyte 0\npushbyte 40\npushbyte 10\n"
                        "callpropvoid drawRect 4\n" +
                        traceTop("getlocal1\ngetproperty width") + traceTop("getlocal1\ngetproperty height") +
                        traceTop("getlocal1\ngetproperty graphics\ngetlocal1\ngetproperty graphics\nstrictequals");
    EXPECT_EQ(play(movie, 1).lines, (Lines{"hero constructed: hero", "30", "2", "90", "0.5", "false", "10", "80", "true"}));
}

TEST(Avm2Display, EventsGoDownThenToTheTargetThenBackUp) {
    As3Movie movie;
    movie.placeHero = false;
    // outer > inner; outer listens in capture and bubble phases, inner at target.
    movie.constructor = make("Sprite") + "setlocal1\n" + make("Sprite") + "setlocal2\n"
                        "getlocal0\ngetlocal1\ncallpropvoid addChild 1\n"
                        "getlocal1\ngetlocal2\ncallpropvoid addChild 1\n"
                        "getlocal1\npushstring \"ping\"\ngetlocal0\ngetproperty phase\npushtrue\ncallpropvoid addEventListener 3\n"
                        "getlocal1\npushstring \"ping\"\ngetlocal0\ngetproperty phase\ncallpropvoid addEventListener 2\n"
                        "getlocal2\npushstring \"ping\"\ngetlocal0\ngetproperty phase\ncallpropvoid addEventListener 2\n"
                        "getlocal0\npushstring \"ping\"\ngetlocal0\ngetproperty stopper\ncallpropvoid addEventListener 2\n"
                        // A bubbling event reaches all three; the document stops it.
                        "getlocal2\nfindpropstrict flash.events::Event\npushstring \"ping\"\npushtrue\n"
                        "constructprop flash.events::Event 2\ncallpropvoid dispatchEvent 1\n" +
                        traceTop("pushstring \"-\"") +
                        // One that does not bubble skips the bubbling phase.
                        "getlocal2\nfindpropstrict flash.events::Event\npushstring \"ping\"\n"
                        "constructprop flash.events::Event 1\ncallpropvoid dispatchEvent 1\n";
    movie.methods = {{"phase", traceTop("getlocal1\ngetproperty eventPhase")},
                     {"stopper", traceTop("pushstring \"stopped at document\"") + "getlocal1\ncallpropvoid stopPropagation 0\n"}};
    EXPECT_EQ(play(movie, 1).lines, (Lines{"1", "2", "3", "stopped at document", "-", "1", "2"}));
}

TEST(Avm2Display, MouseAndKeysBecomeEvents) {
    As3Movie movie;
    movie.placeHero = false;
    // A 100 x 100 button-like sprite at (50, 50); the stage listens for clicks and keys.
    movie.constructor = make("Sprite") + "setlocal1\n"
                        "getlocal1\npushstring \"box\"\nsetproperty name\n"
                        "getlocal1\npushbyte 50\nsetproperty x\n"
                        "getlocal1\npushbyte 50\nsetproperty y\n"
                        "getlocal1\ngetproperty graphics\npushbyte 0\ncallpropvoid beginFill 1\n"
                        "getlocal1\ngetproperty graphics\npushbyte 0\npushbyte 0\npushbyte 100\npushbyte 100\n"
                        "callpropvoid drawRect 4\n"
                        "getlocal0\ngetlocal1\ncallpropvoid addChild 1\n"
                        "getlocal1\npushstring \"click\"\ngetlocal0\ngetproperty onBox\ncallpropvoid addEventListener 2\n"
                        "getlocal0\ngetproperty stage\npushstring \"click\"\ngetlocal0\ngetproperty onStage\n"
                        "callpropvoid addEventListener 2\n"
                        "getlocal0\ngetproperty stage\npushstring \"keyDown\"\ngetlocal0\ngetproperty onKey\n"
                        "callpropvoid addEventListener 2\n";
    movie.methods = {
        {"onBox", traceTop("pushstring \"box \"\ngetlocal1\ngetproperty localX\nadd\npushstring \",\"\nadd\n"
                           "getlocal1\ngetproperty localY\nadd")},
        {"onStage", traceTop("pushstring \"stage sees \"\ngetlocal1\ngetproperty target\ngetproperty name\nadd\n"
                             "pushstring \" \"\nadd\ngetlocal1\ngetproperty eventPhase\nadd")},
        {"onKey", traceTop("pushstring \"key \"\ngetlocal1\ngetproperty keyCode\nadd")}};
    auto played = play(movie, 1, [](swf::Player& p) {
        p.mouseMove(60, 70);
        p.mouseDown(60, 70);
        p.mouseUp(60, 70);
        // Outside the box: the stage is the target.
        p.mouseDown(300, 300);
        p.mouseUp(300, 300);
        // Pressed in the box, released outside: no click.
        p.mouseDown(60, 70);
        p.mouseUp(300, 300);
        p.keyDown(65, 97);
    });
    EXPECT_EQ(played.lines, (Lines{"box 10,20", "stage sees box 3", "stage sees null 2", "key 65"}));
}

TEST(Avm2Display, MisuseThrowsTheFlashErrors) {
    As3Movie movie;
    movie.placeHero = false;
    movie.frames = 4;
    // Each frame script misuses the list once; each error is reported and play goes on.
    movie.constructor = "getlocal0\npushbyte 0\ngetlocal0\ngetproperty selfAdd\npushbyte 1\ngetlocal0\n"
                        "getproperty badIndex\npushbyte 2\ngetlocal0\ngetproperty notChild\npushbyte 3\n"
                        "getlocal0\ngetproperty nullChild\ncallpropvoid addFrameScript 8\n";
    movie.methods = {{"selfAdd", "getlocal0\ngetlocal0\ncallpropvoid addChild 1\n"},
                     {"badIndex", "getlocal0\npushbyte 5\ncallpropvoid getChildAt 1\n"},
                     {"notChild", "getlocal0\n" + make("Sprite") + "callpropvoid removeChild 1\n"},
                     {"nullChild", "getlocal0\npushnull\ncallpropvoid addChild 1\n"}};
    EXPECT_EQ(play(movie, 4).lines,
              (Lines{"ArgumentError: Error #2024: An object cannot be added as a child of itself.",
                     "RangeError: Error #2006: The supplied index is out of bounds.",
                     "ArgumentError: Error #2025: The supplied DisplayObject must be a child of the caller.",
                     "TypeError: Error #2007: Parameter child must be non-null."}));
}

TEST(Avm2Display, TimersSendTheirEventsBetweenFrames) {
    As3Movie movie;
    movie.placeHero = false;
    // Timer(1 ms, 3 times): once a frame from the second frame on, then complete.
    movie.constructor = "findpropstrict flash.utils::Timer\npushbyte 1\npushbyte 3\nconstructprop flash.utils::Timer 2\n"
                        "setlocal1\n"
                        "getlocal1\npushstring \"timer\"\ngetlocal0\ngetproperty onTimer\ncallpropvoid addEventListener 2\n"
                        "getlocal1\npushstring \"timerComplete\"\ngetlocal0\ngetproperty onDone\ncallpropvoid addEventListener 2\n"
                        "getlocal1\ncallpropvoid start 0\n";
    movie.methods = {{"onTimer", traceTop("getlocal1\ngetproperty target\ngetproperty currentCount")},
                     {"onDone", traceTop("getlocal1\ngetproperty target\ngetproperty running")}};
    EXPECT_EQ(play(movie, 6).lines, (Lines{"1", "2", "3", "false"}));
}

TEST(Avm2Display, BitmapDataPixelsShowThroughABitmap) {
    As3Movie movie;
    movie.placeHero = false;
    movie.linkPicture = true;
    auto newData = [](const std::string& args, int count) {
        return "findpropstrict flash.display::BitmapData\n" + args + "\nconstructprop flash.display::BitmapData " +
               std::to_string(count) + "\n";
    };
    auto rect = [](int x, int y, int w, int h) {
        return "findpropstrict flash.geom::Rectangle\npushbyte " + std::to_string(x) + "\npushbyte " +
               std::to_string(y) + "\npushbyte " + std::to_string(w) + "\npushbyte " + std::to_string(h) +
               "\nconstructprop flash.geom::Rectangle 4\n";
    };
    movie.constructor =
        newData("pushbyte 20\npushbyte 10\npushfalse\npushint 16711680", 4) + "setlocal1\n" +
        // Colours read back straight; an opaque bitmap keeps alpha 255.
        traceTop("getlocal1\npushbyte 3\npushbyte 3\ncallproperty getPixel32 2") +
        "getlocal1\npushbyte 0\npushbyte 0\npushint 65280\ncallpropvoid setPixel 3\n" +
        traceTop("getlocal1\npushbyte 0\npushbyte 0\ncallproperty getPixel 2") +
        "getlocal1\n" + rect(10, 0, 10, 10) + "pushint 255\ncallpropvoid fillRect 2\n" +
        traceTop("getlocal1\npushbyte 15\npushbyte 5\ncallproperty getPixel 2") +
        traceTop("getlocal1\ngetproperty rect") +
        // Shown through a Bitmap at (10, 20), doubled.
        "findpropstrict flash.display::Bitmap\ngetlocal1\nconstructprop flash.display::Bitmap 1\nsetlocal2\n"
        "getlocal2\npushbyte 10\nsetproperty x\ngetlocal2\npushbyte 20\nsetproperty y\n"
        "getlocal2\npushbyte 2\nsetproperty scaleX\ngetlocal2\npushbyte 2\nsetproperty scaleY\n"
        "getlocal0\ngetlocal2\ncallpropvoid addChild 1\n" +
        traceTop("getlocal2\ngetproperty width") +
        traceTop("getlocal2\ngetproperty bitmapData\ngetlocal1\nstrictequals") +
        // A class linked to a bitmap character starts with its image.
        "findpropstrict Pic\nconstructprop Pic 0\nsetlocal3\n" +
        traceTop("getlocal3\ngetproperty width") +
        traceTop("getlocal3\npushbyte 0\npushbyte 0\ncallproperty getPixel32 2") +
        traceTop("getlocal3\npushbyte 1\npushbyte 0\ncallproperty getPixel32 2") +
        // Disposed bitmaps refuse to work; bad sizes are refused.
        "getlocal3\ncallpropvoid dispose 0\n" + traceTop("getlocal3\ngetproperty width");
    Played played = play(movie, 2);
    EXPECT_EQ(played.lines, (Lines{"4294901760", "65280", "255", "(x=0, y=0, w=20, h=10)", "40", "true", "2",
                                   "4294901760", "4278190335",
                                   "ArgumentError: Error #2015: Invalid BitmapData."}));
    swf::render::StageRenderer renderer;
    const QImage image = renderer.renderImage(played.session->player());
    EXPECT_EQ(image.pixelColor(11, 21), QColor(0, 255, 0)) << "the pixel set to green, doubled";
    EXPECT_EQ(image.pixelColor(16, 30), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(45, 35), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(55, 35), QColor(255, 255, 255)) << "outside the bitmap";

    movie.constructor = newData("pushbyte 0\npushbyte 5", 2) + "pop\n";
    EXPECT_EQ(play(movie, 1).lines, (Lines{"ArgumentError: Error #2015: Invalid BitmapData."}));
}

TEST(Avm2Display, BitmapDataCopiesAndDrawsDisplayObjects) {
    As3Movie movie;
    movie.placeHero = false;
    auto newData = [](const std::string& args) {
        return "findpropstrict flash.display::BitmapData\n" + args + "\nconstructprop flash.display::BitmapData 4\n";
    };
    movie.constructor =
        newData("pushbyte 4\npushbyte 4\npushfalse\npushint 16711680") + "setlocal1\n" +
        newData("pushbyte 4\npushbyte 4\npushtrue\npushbyte 0") + "setlocal2\n"
        "getlocal2\ngetlocal1\nfindpropstrict flash.geom::Rectangle\npushbyte 0\npushbyte 0\npushbyte 2\npushbyte 2\n"
        "constructprop flash.geom::Rectangle 4\nfindpropstrict flash.geom::Point\npushbyte 1\npushbyte 1\n"
        "constructprop flash.geom::Point 2\ncallpropvoid copyPixels 3\n" +
        traceTop("getlocal2\npushbyte 1\npushbyte 1\ncallproperty getPixel32 2") +
        traceTop("getlocal2\npushbyte 0\npushbyte 0\ncallproperty getPixel32 2") +
        // A shape drawn with the drawing API, drawn into the bitmap.
        make("Shape") + "setlocal3\n"
        "getlocal3\ngetproperty graphics\npushint 65280\ncallpropvoid beginFill 1\n"
        "getlocal3\ngetproperty graphics\npushbyte 2\npushbyte 2\npushbyte 2\npushbyte 2\ncallpropvoid drawRect 4\n"
        "getlocal2\ngetlocal3\ncallpropvoid draw 1\n" +
        traceTop("getlocal2\npushbyte 3\npushbyte 3\ncallproperty getPixel32 2") +
        traceTop("getlocal2\npushbyte 1\npushbyte 1\ncallproperty getPixel32 2");
    EXPECT_EQ(play(movie, 1).lines, (Lines{"4294901760", "0", "4278255360", "4294901760"}));
}

TEST(Avm2Display, LoadersReadFilesBesideTheMovieOnTheNextFrame) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("orvane-as3-load-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    {
        std::ofstream(dir / "data.txt") << "hello file";
        std::ofstream(dir / "vars.txt") << "name=two+words&n=%41";
        QImage picture(3, 2, QImage::Format_ARGB32);
        picture.fill(QColor(0, 0, 255));
        ASSERT_TRUE(picture.save(QString::fromStdString((dir / "pic.png").string())));
    }
    auto urlLoader = [](const std::string& url, const std::string& format, const std::string& listener) {
        return "findpropstrict flash.net::URLLoader\nconstructprop flash.net::URLLoader 0\nsetlocal1\n" +
               (format.empty() ? std::string() : "getlocal1\npushstring \"" + format + "\"\nsetproperty dataFormat\n") +
               "getlocal1\npushstring \"complete\"\ngetlocal0\ngetproperty " + listener +
               "\ncallpropvoid addEventListener 2\n"
               "getlocal1\npushstring \"ioError\"\ngetlocal0\ngetproperty onError\ncallpropvoid addEventListener 2\n"
               "getlocal1\nfindpropstrict flash.net::URLRequest\npushstring \"" + url +
               "\"\nconstructprop flash.net::URLRequest 1\ncallpropvoid load 1\n";
    };
    As3Movie movie;
    movie.placeHero = false;
    movie.constructor =
        urlLoader("data.txt", "", "onText") + urlLoader("vars.txt", "variables", "onVars") +
        urlLoader("data.txt", "binary", "onBytes") + urlLoader("../data.txt", "", "onText") +
        urlLoader("missing.txt", "", "onText") +
        // A picture through a Loader, shown as its child.
        "findpropstrict flash.display::Loader\nconstructprop flash.display::Loader 0\nsetlocal2\n"
        "getlocal2\ngetproperty contentLoaderInfo\npushstring \"complete\"\ngetlocal0\ngetproperty onPicture\n"
        "callpropvoid addEventListener 2\n"
        "getlocal0\ngetlocal2\ncallpropvoid addChild 1\n"
        "getlocal2\nfindpropstrict flash.net::URLRequest\npushstring \"pic.png\"\n"
        "constructprop flash.net::URLRequest 1\ncallpropvoid load 1\n" +
        traceTop("pushstring \"asked\"");
    movie.methods = {
        {"onText", traceTop("getlocal1\ngetproperty target\ngetproperty data")},
        {"onVars", traceTop("getlocal1\ngetproperty target\ngetproperty data\ngetproperty name") +
                       traceTop("getlocal1\ngetproperty target\ngetproperty data\ngetproperty n")},
        {"onBytes", traceTop("getlocal1\ngetproperty target\ngetproperty data\ngetproperty length")},
        {"onError", traceTop("getlocal1\ngetproperty type")},
        {"onPicture", traceTop("getlocal1\ngetproperty target\ngetproperty content\ngetproperty width") +
                          traceTop("getlocal1\ngetproperty target\ngetproperty loader\ngetproperty numChildren") +
                          traceTop("getlocal1\ngetproperty target\ngetproperty content\ngetproperty loaderInfo\n"
                                   "getlocal1\ngetproperty target\nstrictequals")},
    };
    const fs::path path = dir / "movie.swf";
    {
        auto bytes = movie.build();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
    }
    Lines lines;
    swf::SessionOptions options;
    options.traceSink = [&lines](const std::string& s) { lines.push_back(s); };
    swf::PlayerSession session(options);
    ASSERT_TRUE(session.load(path.string()));
    session.tick();
    EXPECT_EQ(lines, Lines{"asked"});
    session.tick();
    EXPECT_EQ(lines, (Lines{"asked", "hello file", "two words", "A", "10", "ioError", "ioError", "3", "1", "true"}));
    fs::remove_all(dir);
}

TEST(Avm2Display, EmbeddedSoundsPlayStopAndEnd) {
    auto heard = [](const std::string& constructor, Lines* lines = nullptr,
                    std::vector<std::pair<std::string, std::string>> methods = {}) {
        As3Movie movie;
        movie.placeHero = false;
        movie.linkSound = true;
        movie.constructor = constructor;
        movie.methods = std::move(methods);
        Played played = play(movie, 1);
        bool loud = false;
        for (int i = 0; i < 8; ++i) {
            played.session->tick();
            for (std::int16_t v : played.session->lastMix())
                loud = loud || v != 0;
        }
        if (lines)
            *lines = played.lines;
        return loud;
    };
    const std::string beep = "findpropstrict Beep\nconstructprop Beep 0\n";
    Lines lines;
    EXPECT_TRUE(heard(beep + "setlocal1\n" + traceTop("getlocal1\ngetproperty length\npushbyte 100\ngreaterthan") +
                          "getlocal1\ncallproperty play 0\nsetlocal2\n" +
                          traceTop("getlocal2\ngetproperty position") +
                          "getlocal2\npushstring \"soundComplete\"\ngetlocal0\ngetproperty ended\n"
                          "callpropvoid addEventListener 2\n",
                      &lines, {{"ended", traceTop("getlocal1\ngetproperty type")}}));
    EXPECT_EQ(lines, (Lines{"true", "0", "soundComplete"}));
    // Stopped at once, or played at volume 0: nothing is heard.
    EXPECT_FALSE(heard(beep + "callproperty play 0\ncallpropvoid stop 0\n"));
    EXPECT_FALSE(heard(beep + "pushbyte 0\npushbyte 0\nfindpropstrict flash.media::SoundTransform\npushbyte 0\n"
                              "constructprop flash.media::SoundTransform 1\ncallpropvoid play 3\n"));
    // A Sound with no embedded sound gives no channel.
    EXPECT_FALSE(heard(traceTop("findpropstrict flash.media::Sound\nconstructprop flash.media::Sound 0\n"
                                "callproperty play 0"),
                       &lines));
    EXPECT_EQ(lines, Lines{"null"});
}

TEST(Avm2Display, BitmapDataFillsScrollsClonesAndFindsColours) {
    As3Movie movie;
    movie.placeHero = false;
    auto pixel = [](const std::string& local, int x, int y) {
        return traceTop(local + "\npushbyte " + std::to_string(x) + "\npushbyte " + std::to_string(y) +
                        "\ncallproperty getPixel 2");
    };
    movie.constructor =
        "findpropstrict flash.display::BitmapData\npushbyte 8\npushbyte 8\npushfalse\npushint 16777215\n"
        "constructprop flash.display::BitmapData 4\nsetlocal1\n"
        // A wall down column 4, then a flood fill from the left stops at it.
        "getlocal1\nfindpropstrict flash.geom::Rectangle\npushbyte 4\npushbyte 0\npushbyte 1\npushbyte 8\n"
        "constructprop flash.geom::Rectangle 4\npushbyte 0\ncallpropvoid fillRect 2\n"
        "getlocal1\npushbyte 0\npushbyte 0\npushint 255\ncallpropvoid floodFill 3\n" +
        pixel("getlocal1", 3, 7) + pixel("getlocal1", 5, 0) +
        traceTop("getlocal1\npushint 16777215\npushint 255\npushtrue\ncallproperty getColorBoundsRect 3") +
        // A clone is a copy: changing one leaves the other.
        "getlocal1\ncallproperty clone 0\nsetlocal2\n"
        "getlocal1\npushbyte 1\npushbyte 0\ncallpropvoid scroll 2\n" +
        pixel("getlocal1", 5, 0) + pixel("getlocal2", 5, 0) +
        // The same seed gives the same noise.
        "getlocal1\npushbyte 7\ncallpropvoid noise 1\ngetlocal2\npushbyte 7\ncallpropvoid noise 1\n" +
        traceTop("getlocal1\npushbyte 3\npushbyte 3\ncallproperty getPixel 2\n"
                 "getlocal2\npushbyte 3\npushbyte 3\ncallproperty getPixel 2\nequals");
    EXPECT_EQ(play(movie, 1).lines, (Lines{"255", "16777215", "(x=0, y=0, w=4, h=8)", "0", "16777215", "true"}));
}

TEST(Avm2Display, SharedObjectsKeepTheirDataForTheSession) {
    const std::string getLocal = "getlex flash.net::SharedObject\npushstring \"save\"\ncallproperty getLocal 1\n";
    As3Movie movie;
    movie.placeHero = false;
    movie.constructor = getLocal + "setlocal1\ngetlocal1\ngetproperty data\npushbyte 5\nsetproperty score\n" +
                        traceTop("getlocal1\ngetproperty size\npushbyte 0\ngreaterthan") +
                        traceTop("getlocal1\ncallproperty flush 0") +
                        traceTop(getLocal + "getproperty data\ngetproperty score") +
                        traceTop(getLocal + "getlocal1\nstrictequals") +
                        traceTop("getlex flash.net::SharedObject\npushstring \"save\"\npushstring \"/elsewhere\"\n"
                                 "callproperty getLocal 2\ngetproperty data\ngetproperty score") +
                        "getlocal1\ncallpropvoid clear 0\n" + traceTop("getlocal1\ngetproperty data\ngetproperty score") +
                        traceTop("getlocal1\ngetproperty size") +
                        "getlex flash.net::SharedObject\npushstring \"no:colons\"\ncallproperty getLocal 1\n";
    EXPECT_EQ(play(movie, 1).lines, (Lines{"true", "flushed", "5", "true", "undefined", "undefined", "0",
                                           "Error: Error #2134: Cannot create SharedObject."}));
}

TEST(Avm2Display, TransformsFiltersBlendsAndMasksReachTheTimelineObject) {
    auto geom = [](const std::string& cls, const std::string& args, int n) {
        return "getlex flash.geom::" + cls + "\n" + args + "\nconstruct " + std::to_string(n) + "\n";
    };
    const std::string hero = "getlocal0\ngetproperty hero\n";
    As3Movie movie;
    movie.constructor =
        hero + "getproperty transform\n" +
        geom("ColorTransform", "pushdouble 0.5\npushbyte 1\npushbyte 1\npushbyte 1\npushbyte 10\npushbyte 0\npushbyte 0\npushbyte 0", 8) +
        "setproperty colorTransform\n" +
        traceTop(hero + "getproperty transform\ngetproperty colorTransform\ngetproperty redOffset") +
        hero + "getproperty transform\n" + geom("Matrix", "pushbyte 2\npushbyte 0\npushbyte 0\npushbyte 2\npushbyte 30\npushbyte 40", 6) +
        "setproperty matrix\n" + traceTop(hero + "getproperty x") + traceTop(hero + "getproperty scaleY") +
        // Points between the object's space and the stage's.
        traceTop(hero + geom("Point", "pushbyte 1\npushbyte 1", 2) + "callproperty localToGlobal 1") +
        traceTop(hero + geom("Point", "pushbyte 32\npushbyte 42", 2) + "callproperty globalToLocal 1") +
        // Filters are copied in and out.
        hero + "getlex flash.filters::BlurFilter\npushbyte 3\npushbyte 5\nconstruct 2\nnewarray 1\nsetproperty filters\n" +
        traceTop(hero + "getproperty filters\ngetproperty length") +
        traceTop(hero + "getproperty filters\npushbyte 0\ngetproperty late\ngetproperty blurY") +
        traceTop(hero + "getproperty filters\npushbyte 0\ngetproperty late\n" + hero +
                 "getproperty filters\npushbyte 0\ngetproperty late\nstrictequals") +
        hero + "pushstring \"multiply\"\nsetproperty blendMode\n" + traceTop(hero + "getproperty blendMode") +
        // A mask is any display object; the members interactive objects keep.
        "getlocal0\nfindpropstrict flash.display::Sprite\nconstructprop flash.display::Sprite 0\ndup\nsetlocal1\n"
        "callpropvoid addChild 1\n" + hero + "getlocal1\nsetproperty mask\n" +
        traceTop(hero + "getproperty mask\ngetlocal1\nstrictequals") +
        hero + "pushtrue\nsetproperty buttonMode\n" + traceTop(hero + "getproperty buttonMode") +
        traceTop("getlocal0\ngetproperty loaderInfo\ngetproperty swfVersion") +
        traceTop(hero + "getproperty loaderInfo\ngetlocal0\ngetproperty loaderInfo\nstrictequals") +
        hero + "pushstring \"bogus\"\nsetproperty blendMode\n";
    EXPECT_EQ(play(movie, 1).lines,
              (Lines{"hero constructed: hero", "10", "30", "2", "(x=32, y=42)", "(x=1, y=1)", "1", "5", "false",
                     "multiply", "true", "true", "10", "true",
                     "ArgumentError: Error #2008: Parameter blendMode must be one of the accepted values."}));
}

TEST(Avm2Display, TextFieldsMadeByScriptsHoldTextFormatsAndSizes) {
    As3Movie movie;
    movie.placeHero = false;
    movie.constructor =
        "findpropstrict flash.text::TextField\nconstructprop flash.text::TextField 0\nsetlocal1\n"
        "getlocal0\ngetlocal1\ncallpropvoid addChild 1\n" + traceTop("getlocal1\ngetproperty width") +
        "getlocal1\ngetlex flash.text::TextFormat\npushstring \"Arial\"\npushbyte 20\npushint 255\nconstruct 3\n"
        "setproperty defaultTextFormat\n"
        "getlocal1\npushstring \"hello\"\nsetproperty text\n"
        "getlocal1\npushshort 300\nsetproperty width\n" +
        traceTop("getlocal1\ngetproperty width") + traceTop("getlocal1\ngetproperty scaleX") +
        traceTop("getlocal1\ngetproperty defaultTextFormat\ngetproperty size") +
        traceTop("getlocal1\npushbyte 0\npushbyte 5\ncallproperty getTextFormat 2\ngetproperty font") +
        traceTop("getlocal1\ngetproperty textWidth\npushbyte 0\ngreaterthan") +
        "getlocal1\npushtrue\nsetproperty wordWrap\n" + traceTop("getlocal1\ngetproperty wordWrap") +
        "getlocal1\npushstring \"center\"\nsetproperty autoSize\n" + traceTop("getlocal1\ngetproperty autoSize") +
        "getlocal1\npushint 16711680\nsetproperty textColor\n" + traceTop("getlocal1\ngetproperty textColor") +
        traceTop("getlocal1\ngetproperty text");
    EXPECT_EQ(play(movie, 1).lines,
              (Lines{"100", "300", "1", "20", "Arial", "true", "true", "center", "16711680", "hello"}));
}

namespace {

// A movie for a Loader: document class Child (dynamic MovieClip) whose constructor traces
// whether it has a stage yet, its loaderInfo's `level` parameter and whether its timeline
// child `gem` (sprite 2, class Gem) finds it as its root.
std::vector<std::uint8_t> childMovie() {
    AbcAssembler a;
    a.method("Child$init", "getlocal0\npushscope\ngetlocal0\nconstructsuper 0\n" +
                               traceTop("pushstring \"child \"\ngetlocal0\ngetproperty stage\npushnull\nequals\nadd\n"
                                        "pushstring \" \"\nadd\ngetlocal0\ngetproperty loaderInfo\ngetproperty parameters\n"
                                        "getproperty level\nadd\npushstring \" \"\nadd\n"
                                        "getlocal0\ngetproperty gem\ngetproperty root\ngetlocal0\nstrictequals\nadd") +
                               "returnvoid\n");
    a.method("Gem$init", "getlocal0\npushscope\ngetlocal0\nconstructsuper 0\n" + traceTop("pushstring \"gem made\"") +
                             "returnvoid\n");
    a.method("main", "getlocal0\npushscope\n"
                     "getscopeobject 0\ngetlex flash.display::MovieClip\nnewclass Child\ninitproperty Child\n"
                     "getscopeobject 0\ngetlex flash.display::MovieClip\nnewclass Gem\ninitproperty Gem\nreturnvoid\n");
    for (const char* name : {"Child", "Gem"}) {
        AbcAssembler::ClassDef cls;
        cls.name = name;
        cls.super = "flash.display::MovieClip";
        cls.sealed = false;
        cls.constructor = std::string(name) + "$init";
        a.defineClass(cls);
    }
    a.script("main", {"Child", "Gem"});
    SwfWriter swf;
    swf.setVersion(10);
    swf.setStageSize(320, 240);
    swf.fileAttributes(0x08);
    addAbc(swf, a);
    orvane::testing::Sprite sprite;
    sprite.showFrame();
    swf.defineSprite(2, sprite);
    std::vector<std::uint8_t> links{2, 0, 0, 0, 'C', 'h', 'i', 'l', 'd', 0, 2, 0, 'G', 'e', 'm', 0};
    swf.rawTag(76, links);
    orvane::testing::PlaceObject place;
    place.depth = 1;
    place.characterId = 2;
    place.name = "gem";
    swf.placeObject2(place);
    swf.showFrame();
    return swf.bytes();
}

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

} // namespace

// A Loader plays a movie beside the parent: an ActionScript 3 one gets its document class
// (constructed before it has a stage, with its own loaderInfo and root), an AS1/2 one is an
// AVM1Movie whose actions run on the AS1/2 machine; its LoaderInfo sends open, progress, init and complete, and unload when the
// content goes. loadBytes takes a movie's bytes the same way. The movie's own parameters
// come from its URL's query; a LoaderInfo with nothing loaded yet has no width (#2099).
TEST(Avm2Display, LoadersPlayMoviesAndTheirBytes) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("orvane-as3-movies-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    writeFile(dir / "child.swf", childMovie());
    {
        SwfWriter old;
        old.setVersion(8);
        orvane::testing::Sprite sprite;
        sprite.showFrame();
        old.defineSprite(1, sprite);
        orvane::testing::PlaceObject place;
        place.depth = 1;
        place.characterId = 1;
        old.placeObject2(place);
        const std::uint8_t traceOld[] = {0x96, 0x05, 0x00, 0x00, 'o', 'l', 'd', 0x00, 0x26, 0x00};
        old.doAction(traceOld);
        old.showFrame();
        writeFile(dir / "old.swf", old.bytes());
    }
    As3Movie movie;
    movie.placeHero = false;
    std::string listen;
    for (const char* type : {"open", "progress", "init", "unload"})
        listen += "getlocal3\npushstring \"" + std::string(type) + "\"\ngetlocal0\ngetproperty onEvent\ncallpropvoid addEventListener 2\n";
    movie.constructor =
        make("Loader") + "setlocal2\ngetlocal2\ngetproperty contentLoaderInfo\nsetlocal3\n" + listen +
        "getlocal3\npushstring \"complete\"\ngetlocal0\ngetproperty onChild\ncallpropvoid addEventListener 2\n"
        "getlocal0\ngetlocal2\ncallpropvoid addChild 1\n"
        "getlocal2\nfindpropstrict flash.net::URLRequest\npushstring \"child.swf?level=3\"\n"
        "constructprop flash.net::URLRequest 1\ncallpropvoid load 1\n"
        "findpropstrict flash.net::URLLoader\nconstructprop flash.net::URLLoader 0\nsetlocal1\n"
        "getlocal1\npushstring \"binary\"\nsetproperty dataFormat\n"
        "getlocal1\npushstring \"complete\"\ngetlocal0\ngetproperty onBytes\ncallpropvoid addEventListener 2\n"
        "getlocal1\nfindpropstrict flash.net::URLRequest\npushstring \"old.swf\"\n"
        "constructprop flash.net::URLRequest 1\ncallpropvoid load 1\n" +
        traceTop("getlocal0\ngetproperty loaderInfo\ngetproperty parameters\ngetproperty mode") +
        "getlocal3\ngetproperty width\npop\n";
    const std::string className = "findpropstrict flash.utils::getQualifiedClassName\ngetlocal1\ngetproperty target\n"
                                  "getproperty content\ncallproperty flash.utils::getQualifiedClassName 1\n";
    const std::string info = "getlocal1\ngetproperty target\n";
    movie.methods = {
        {"onEvent", traceTop("getlocal1\ngetproperty type")},
        {"onChild", traceTop(className) +
                        traceTop(info + "getproperty content\ngetproperty parent\n" + info +
                                 "getproperty loader\nstrictequals\npushstring \" \"\nadd\n" + info +
                                 "getproperty content\ngetproperty stage\npushnull\nequals\nadd") +
                        traceTop(info + "getproperty swfVersion\npushstring \" \"\nadd\n" + info +
                                 "getproperty actionScriptVersion\nadd\npushstring \" \"\nadd\n" + info +
                                 "getproperty width\nadd\npushstring \" \"\nadd\n" + info + "getproperty contentType\nadd") +
                        traceTop(info + "getproperty content\ngetproperty loaderInfo\n" + info + "strictequals") +
                        info + "getproperty loader\ncallpropvoid unload 0\n" +
                        traceTop(info + "getproperty loader\ngetproperty numChildren")},
        {"onBytes", make("Loader") + "setlocal2\n"
                    "getlocal2\ngetproperty contentLoaderInfo\npushstring \"complete\"\ngetlocal0\ngetproperty onOld\n"
                    "callpropvoid addEventListener 2\ngetlocal0\ngetlocal2\ncallpropvoid addChild 1\n"
                    "getlocal2\ngetlocal1\ngetproperty target\ngetproperty data\ncallpropvoid loadBytes 1\n"},
        {"onOld", traceTop(className + "pushstring \" \"\nadd\n" + info + "getproperty actionScriptVersion\nadd\n"
                           "pushstring \" \"\nadd\n" + info + "getproperty swfVersion\nadd")},
    };
    const fs::path path = dir / "movie.swf";
    writeFile(path, movie.build());
    Lines lines;
    swf::SessionOptions options;
    options.traceSink = [&lines](const std::string& s) { lines.push_back(s); };
    swf::PlayerSession session(options);
    ASSERT_TRUE(session.load(path.string(), "file://" + path.string() + "?mode=test"));
    session.tick();
    EXPECT_EQ(lines, (Lines{"test", "Error: Error #2099: The loading object is not sufficiently loaded to provide this information."}));
    lines.clear();
    session.tick();
    EXPECT_EQ(lines, (Lines{"open", "progress", "gem made", "child true 3 true", "init", "Child", "true false",
                            "10 3 320 application/x-shockwave-flash", "true", "unload", "0"}));
    lines.clear();
    session.tick();
    EXPECT_EQ(lines, Lines{"flash.display::AVM1Movie 2 8"});
    // The AS1/2 movie's own actions run on the AS1/2 machine, once its frame is entered.
    session.tick();
    session.tick();
    EXPECT_EQ(lines, (Lines{"flash.display::AVM1Movie 2 8", "old"}));
    fs::remove_all(dir);
}

// A SimpleButton a script makes shows its up state, then over, down and over again as the
// mouse moves onto it, presses and releases (listeners already see the new look), and up
// when the pointer leaves; the mouse takes it where its hit state is, and its states are
// never targets themselves.
TEST(Avm2Display, ScriptButtonsShowTheirStatesWithTheMouse) {
    As3Movie movie;
    movie.placeHero = false;
    auto square = [](int local, int colour) {
        return make("Sprite") + "setlocal" + std::to_string(local) + "\n"
               "getlocal" + std::to_string(local) + "\ngetproperty graphics\npushint " + std::to_string(colour) +
               "\ncallpropvoid beginFill 1\n"
               "getlocal" + std::to_string(local) + "\ngetproperty graphics\npushbyte 0\npushbyte 0\npushbyte 40\n"
               "pushbyte 40\ncallpropvoid drawRect 4\n";
    };
    std::string listen;
    for (const char* type : {"mouseOver", "mouseDown", "mouseUp", "click", "mouseOut"})
        listen += "getlocal 4\npushstring \"" + std::string(type) + "\"\ngetlocal0\ngetproperty look\n"
                  "callpropvoid addEventListener 2\n";
    movie.constructor = square(1, 0xFF0000) + square(2, 0x00FF00) + square(3, 0x0000FF) +
                        "findpropstrict flash.display::SimpleButton\ngetlocal1\ngetlocal2\ngetlocal3\ngetlocal1\n"
                        "constructprop flash.display::SimpleButton 4\nsetlocal 4\n" + listen +
                        "getlocal0\ngetlocal 4\ncallpropvoid addChild 1\n" +
                        traceTop("getlocal1\ngetproperty parent\ngetlocal 4\nstrictequals");
    // "type up/over/down": which state the button shows.
    std::string which;
    for (const char* state : {"upState", "overState", "downState"}) {
        which += std::string(which.empty() ? "" : "pushstring \"/\"\nadd\n") +
                 "getlocal1\ngetproperty currentTarget\ngetproperty " + state +
                 "\ngetproperty parent\ngetlocal1\ngetproperty currentTarget\nstrictequals\nadd\n";
    }
    movie.methods = {{"look", traceTop("getlocal1\ngetproperty type\npushstring \" \"\nadd\n" + which)}};
    auto played = play(movie, 1, [](swf::Player& p) {
        p.mouseMove(10, 10);
        p.mouseDown(10, 10);
        p.mouseUp(10, 10);
        p.mouseMove(200, 200);
    });
    EXPECT_EQ(played.lines, (Lines{"true", "mouseOver false/true/false", "mouseDown false/false/true",
                                   "mouseUp false/true/false", "click false/true/false", "mouseOut true/false/false"}));
}

// rollOver and rollOut reach every container the pointer enters or leaves: rollOver from the
// outermost one entered down to the target, rollOut from the target up to the outermost one
// left; moving between a child and its parent tells the child only.
TEST(Avm2Display, RollEventsReachEachContainerEnteredOrLeft) {
    As3Movie movie;
    movie.placeHero = false;
    auto box = [](int local, const std::string& name, int size) {
        const std::string l = std::to_string(local);
        return make("Sprite") + "setlocal" + l + "\ngetlocal" + l + "\npushstring \"" + name + "\"\nsetproperty name\n"
               "getlocal" + l + "\ngetproperty graphics\npushbyte 0\ncallpropvoid beginFill 1\n"
               "getlocal" + l + "\ngetproperty graphics\npushbyte 0\npushbyte 0\npushbyte " + std::to_string(size) +
               "\npushbyte " + std::to_string(size) + "\ncallpropvoid drawRect 4\n";
    };
    std::string listen;
    for (const char* local : {"1", "2"})
        for (const char* type : {"rollOver", "rollOut"})
            listen += std::string("getlocal") + local + "\npushstring \"" + type +
                      "\"\ngetlocal0\ngetproperty roll\ncallpropvoid addEventListener 2\n";
    movie.constructor = box(1, "outer", 100) + box(2, "inner", 40) + listen +
                        "getlocal1\ngetlocal2\ncallpropvoid addChild 1\ngetlocal0\ngetlocal1\ncallpropvoid addChild 1\n";
    movie.methods = {{"roll", traceTop("getlocal1\ngetproperty type\npushstring \" \"\nadd\n"
                                       "getlocal1\ngetproperty currentTarget\ngetproperty name\nadd")}};
    auto played = play(movie, 1, [](swf::Player& p) {
        p.mouseMove(10, 10);
        p.mouseMove(70, 70);
        p.mouseMove(20, 20);
        p.mouseMove(300, 300);
    });
    EXPECT_EQ(played.lines, (Lines{"rollOver outer", "rollOver inner", "rollOut inner", "rollOver inner",
                                   "rollOut inner", "rollOut outer"}));
}

// BitmapData's colour transforms, thresholds, hit tests against points and other bitmaps, and
// pixels as bytes or as a Vector.<uint> (a vector shorter than the rectangle is #1125).
TEST(Avm2Display, BitmapDataTransformsHitTestsAndCopiesPixelsOut) {
    auto geom = [](const std::string& cls, const std::vector<int>& args) {
        std::string code = "findpropstrict flash.geom::" + cls + "\n";
        for (int v : args)
            code += "pushshort " + std::to_string(v) + "\n";
        return code + "constructprop flash.geom::" + cls + " " + std::to_string(args.size()) + "\n";
    };
    auto bitmap = [](int size, const std::string& colour) {
        return "findpropstrict flash.display::BitmapData\npushbyte " + std::to_string(size) + "\npushbyte " +
               std::to_string(size) + "\npushtrue\npushuint " + colour + "\nconstructprop flash.display::BitmapData 4\n";
    };
    As3Movie movie;
    movie.placeHero = false;
    movie.constructor =
        // 4 x 4 opaque red; its red goes and blue comes.
        bitmap(4, "4294901760") + "setlocal1\n"
        "getlocal1\ngetlocal1\ngetproperty rect\n" + geom("ColorTransform", {0, 1, 1, 1, 0, 0, 255, 0}) +
        "callpropvoid colorTransform 2\n" +
        traceTop("getlocal1\npushbyte 1\npushbyte 1\ncallproperty getPixel32 2\npushbyte 16\ncallproperty toString 1") +
        // 2 x 2 clear with one green pixel at (1, 1).
        bitmap(2, "0") + "setlocal2\ngetlocal2\npushbyte 1\npushbyte 1\npushuint 4278255360\ncallpropvoid setPixel32 3\n" +
        traceTop("getlocal1\n" + geom("Point", {0, 0}) + "pushshort 255\ngetlocal2\n" + geom("Point", {3, 3}) +
                 "pushshort 255\ncallproperty hitTest 5") +
        traceTop("getlocal1\n" + geom("Point", {0, 0}) + "pushshort 255\ngetlocal2\n" + geom("Point", {2, 2}) +
                 "pushshort 255\ncallproperty hitTest 5") +
        traceTop("getlocal2\n" + geom("Point", {10, 10}) + "pushbyte 1\n" + geom("Point", {11, 11}) + "callproperty hitTest 3") +
        traceTop("getlocal2\n" + geom("Point", {10, 10}) + "pushbyte 1\n" + geom("Point", {10, 10}) + "callproperty hitTest 3") +
        // The green pixel as bytes, and back into a third bitmap.
        "getlocal2\ngetlocal2\ngetproperty rect\ncallproperty getPixels 1\nsetlocal3\n" +
        traceTop("getlocal3\ngetproperty length\npushstring \" \"\nadd\ngetlocal3\npushbyte 14\ngetproperty late\nadd") +
        "getlocal3\npushbyte 0\nsetproperty position\n" + bitmap(2, "0") + "setlocal 4\n"
        "getlocal 4\ngetlocal 4\ngetproperty rect\ngetlocal3\ncallpropvoid setPixels 2\n" +
        traceTop("getlocal 4\npushbyte 1\npushbyte 1\ncallproperty getPixel32 2") +
        // Every pixel of the blue bitmap equals blue, so each becomes white.
        traceTop("getlocal1\ngetlocal1\ngetlocal1\ngetproperty rect\n" + geom("Point", {0, 0}) +
                 "pushstring \"==\"\npushuint 4278190335\npushuint 4294967295\ncallproperty threshold 6") +
        "getlocal1\n" + geom("Rectangle", {0, 0, 2, 1}) + "callproperty getVector 1\nsetlocal 5\n" +
        traceTop("getlocal 5\ngetproperty length\npushstring \" \"\nadd\ngetlocal 5\npushbyte 0\ngetproperty late\nadd") +
        "getlocal 4\ngetlocal 4\ngetproperty rect\ngetlocal 5\ncallpropvoid setVector 2\n";
    EXPECT_EQ(play(movie, 1).lines,
              (Lines{"ff0000ff", "false", "true", "true", "false", "16 255", "4278255360", "16", "2 4294967295",
                     "RangeError: Error #1125: The index 2 is out of range 2."}));
}

// Keys go to stage.focus and bubble to the stage; a quick second click on an object with
// doubleClickEnabled is a doubleClick, and without it a second click.
TEST(Avm2Display, KeysGoToTheFocusAndSecondClicksMayBeDoubleClicks) {
    As3Movie movie;
    movie.placeHero = false;
    movie.constructor = make("Sprite") + "setlocal1\n"
                        "getlocal1\npushstring \"pad\"\nsetproperty name\n"
                        "getlocal1\ngetproperty graphics\npushbyte 0\ncallpropvoid beginFill 1\n"
                        "getlocal1\ngetproperty graphics\npushbyte 0\npushbyte 0\npushbyte 50\npushbyte 50\n"
                        "callpropvoid drawRect 4\n"
                        "getlocal0\ngetlocal1\ncallpropvoid addChild 1\n"
                        "getlocal1\npushtrue\nsetproperty doubleClickEnabled\n";
    for (const char* type : {"click", "doubleClick", "keyDown"})
        movie.constructor += "getlocal1\npushstring \"" + std::string(type) +
                             "\"\ngetlocal0\ngetproperty heard\ncallpropvoid addEventListener 2\n";
    movie.constructor += "getlocal0\ngetproperty stage\npushstring \"keyDown\"\ngetlocal0\ngetproperty heard\n"
                         "callpropvoid addEventListener 2\n"
                         "getlocal0\ngetproperty stage\ngetlocal1\nsetproperty focus\n";
    movie.methods = {{"heard", traceTop("getlocal1\ngetproperty type\npushstring \" \"\nadd\n"
                                        "getlocal1\ngetproperty currentTarget\ngetproperty name\nadd")}};
    auto played = play(movie, 1, [](swf::Player& p) {
        for (int i = 0; i < 3; ++i) {
            p.mouseDown(10, 10);
            p.mouseUp(10, 10);
        }
        p.keyDown(65, 97);
    });
    EXPECT_EQ(played.lines, (Lines{"click pad", "doubleClick pad", "click pad", "keyDown pad", "keyDown null"}));
}

// Loads waiting for the next frame are bounded: past 10,000 more are dropped, so a script
// that asks for loads in a loop cannot fill memory.
TEST(Avm2Display, PendingLoadsAreBounded) {
    As3Movie movie;
    movie.placeHero = false;
    movie.constructor = "getlocal0\npushbyte 0\nsetproperty n\npushshort 0\nsetlocal2\nloop:\n"
                        "getlocal2\npushshort 10003\nifnlt done\n"
                        "findpropstrict flash.net::URLLoader\nfindpropstrict flash.net::URLRequest\n"
                        "pushstring \"missing.txt\"\nconstructprop flash.net::URLRequest 1\n"
                        "constructprop flash.net::URLLoader 1\n"
                        "pushstring \"ioError\"\ngetlocal0\ngetproperty counted\ncallpropvoid addEventListener 2\n"
                        "inclocal_i 2\njump loop\ndone:\n";
    movie.methods = {{"counted", "getlocal0\ngetlocal0\ngetproperty n\nincrement\nsetproperty n\n"
                                 "getlocal0\ngetproperty n\npushshort 10000\nifne notYet\n" +
                                     traceTop("pushstring \"10000 served\"") +
                                     "notYet:\ngetlocal0\ngetproperty n\npushshort 10001\nifne fine\n" +
                                     traceTop("pushstring \"one too many\"") + "fine:\n"}};
    EXPECT_EQ(play(movie, 3).lines, Lines{"10000 served"});
}
