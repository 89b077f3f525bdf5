// What Flash 8 scripts set on a clip's looks: the properties read back as Flash gave them and
// land on the display-list entry the renderer draws from; Transform reads and moves clips.

#include "ActionAssembler.h"
#include "SwfWriter.h"
#include "swf/PlayerSession.h"
#include "swf/timeline/Clip.h"

#include <gtest/gtest.h>

#include <string>

using namespace orvane::testing;

namespace {

struct Played {
    std::string trace;
    std::unique_ptr<swf::PlayerSession> session;

    // The entry of the root's child named `name`.
    const swf::timeline::DisplayObject* child(const std::string& name) {
        for (const auto& [depth, o] : session->player().root()->displayList())
            if (o.name == name)
                return &o;
        return nullptr;
    }
};

Played play(const std::string& script, int version = 8) {
    SwfWriter movie;
    movie.setVersion(version);
    movie.doAction(assembleActions(script + "\nstop")).showFrame();
    Played p;
    swf::SessionOptions options;
    options.traceSink = [&p](const std::string& line) { p.trace += line + "|"; };
    p.session = std::make_unique<swf::PlayerSession>(std::move(options));
    p.session->loadFromBytes(movie.bytes());
    p.session->tick();
    return p;
}

const char* const kMakeClip = R"(
    push "c", 1, "c", 2, "createEmptyMovieClip"; callfunction; setvariable
    push "geom"; push "flash"; getvariable; push "geom"; getmember; setvariable
)";

} // namespace

TEST(ClipDisplay, PropertiesReadBackAndReachTheDisplayObject) {
    Played p = play(std::string(kMakeClip) + R"(
        push "c"; getvariable; push "blendMode", "multiply"; setmember
        push "c"; getvariable; push "blendMode"; getmember; trace
        push "c"; getvariable; push "blendMode", "nonsense"; setmember
        push "c"; getvariable; push "blendMode"; getmember; trace
        push "c"; getvariable; push "blendMode", 14; setmember
        push "c"; getvariable; push "blendMode"; getmember; trace
        push "c"; getvariable; push "cacheAsBitmap", 1; setmember
        push "c"; getvariable; push "cacheAsBitmap"; getmember; trace
        push "c"; getvariable; push "opaqueBackground"; getmember; trace
        push "c"; getvariable; push "opaqueBackground", 0x123456; setmember
        push "c"; getvariable; push "opaqueBackground"; getmember; trace
        push "c"; getvariable; push "scrollRect"; push 40, 30, 2.5, 1, 4, "geom"; getvariable; push "Rectangle"; newmethod; setmember
        push "c"; getvariable; push "scrollRect"; getmember; trace
        push "c"; getvariable; push "scale9Grid"; push 5, 5, 5, 5, 4, "geom"; getvariable; push "Rectangle"; newmethod; setmember
        push "c"; getvariable; push "scale9Grid", undefined; setmember
        push "c"; getvariable; push "scale9Grid"; getmember; trace
        push "_root"; getvariable; push "blendMode"; getmember; trace
    )");
    EXPECT_EQ(p.trace, "multiply|normal|hardlight|true|undefined|1193046|(x=1, y=2.5, w=30, h=40)|undefined|undefined|");
    const swf::timeline::DisplayObject* c = p.child("c");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->blendMode, swf::format::BlendMode::HardLight);
    EXPECT_TRUE(c->cacheAsBitmap);
    ASSERT_TRUE(c->opaqueBackground);
    EXPECT_EQ(c->opaqueBackground->g, 0x34);
    ASSERT_TRUE(c->scrollRect);
    EXPECT_EQ(c->scrollRect->yMin, 50);
    EXPECT_EQ(c->scrollRect->xMax, 620);
    EXPECT_FALSE(c->scale9Grid);
}

TEST(ClipDisplay, FiltersAreCopiedBothWays) {
    // Changing the array or a filter after the assignment changes nothing drawn; what reads
    // back is a fresh copy; things that are not filters are left out.
    Played p = play(std::string(kMakeClip) + R"(
        push "f"; push 3, 6, 5, 3; push "flash"; getvariable; push "filters"; getmember; push "BlurFilter"; newmethod; setvariable
        push "g"; push 2, 0.5, 0xFF00, 3; push "flash"; getvariable; push "filters"; getmember; push "GlowFilter"; newmethod; setvariable
        push "c"; getvariable; push "filters"; push "g"; getvariable; push 7, "f"; getvariable; push 3; initarray; setmember
        push "f"; getvariable; push "blurX", 99; setmember
        push "c"; getvariable; push "filters"; getmember; push "length"; getmember; trace
        push "c"; getvariable; push "filters"; getmember; push 0; getmember; push "blurX"; getmember; trace
        push "c"; getvariable; push "filters"; getmember; push 1; getmember; push "color"; getmember; trace
        push "c"; getvariable; push "filters"; getmember; push 0; getmember; push "f"; getvariable; equals2; trace
    )");
    EXPECT_EQ(p.trace, "2|5|65280|false|");
    const swf::timeline::DisplayObject* c = p.child("c");
    ASSERT_TRUE(c);
    ASSERT_EQ(c->filters.size(), 2u);
    EXPECT_EQ(c->filters[0].type, swf::format::FilterType::Blur);
    EXPECT_EQ(c->filters[0].blurY, 6);
    EXPECT_EQ(c->filters[0].passes, 3);
    EXPECT_EQ(c->filters[1].type, swf::format::FilterType::Glow);
    EXPECT_EQ(c->filters[1].color.a, 128);
}

TEST(ClipDisplay, TransformReadsAndMovesTheClip) {
    Played p = play(std::string(kMakeClip) + R"(
        push "c"; getvariable; push "_x", 10; setmember
        push 5, "k", 2, "c"; getvariable; push "createEmptyMovieClip"; callmethod; pop
        push "c"; getvariable; push "k"; getmember; push "transform"; getmember; push "matrix"; push 20, 10, 3, 0, 0, 2, 6, "geom"; getvariable; push "Matrix"; newmethod; setmember
        push "c"; getvariable; push "k"; getmember; push "_xscale"; getmember; trace
        push "c"; getvariable; push "k"; getmember; push "transform"; getmember; push "concatenatedMatrix"; getmember; trace
        push "c"; getvariable; push "transform"; getmember; push "colorTransform"; push 0, 0, 0, 255, 1, 1, 1, 0.5, 8, "geom"; getvariable; push "ColorTransform"; newmethod; setmember
        push "c"; getvariable; push "k"; getmember; push "transform"; getmember; push "concatenatedColorTransform"; getmember; trace
        push "c"; getvariable; push "transform"; getmember; push "matrix"; getmember; trace
    )");
    EXPECT_EQ(p.trace, "200|(a=2, b=0, c=0, d=3, tx=20, ty=20)|"
                       "(redMultiplier=0.5, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, redOffset=255, greenOffset=0, blueOffset=0, alphaOffset=0)|"
                       "(a=1, b=0, c=0, d=1, tx=10, ty=0)|");
}
