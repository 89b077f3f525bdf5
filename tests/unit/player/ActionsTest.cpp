#include "EngineMovies.h"

#include "swf/avm1/ActionDecoder.h"
#include "swf/avm1/TimelineActions.h"

#include <gtest/gtest.h>

using namespace engine_test;
using namespace swf::avm1;

TEST(ActionDecoder, SplitsRecordsAndStopsAtLyingLengths) {
    Bytes code = cat({act::stop(), act::gotoFrame(300), {0x96, 0xFF, 0x00, 0x00}});
    ActionDecoder decoder(code);
    ActionRecord rec;
    ASSERT_TRUE(decoder.next(rec));
    EXPECT_EQ(rec.code, 0x07);
    EXPECT_TRUE(rec.payload.empty());
    ASSERT_TRUE(decoder.next(rec));
    EXPECT_EQ(rec.code, 0x81);
    ASSERT_EQ(rec.payload.size(), 2u);
    EXPECT_EQ(rec.payload[0] | rec.payload[1] << 8, 300);
    EXPECT_FALSE(decoder.next(rec)); // Push claims 255 bytes
    EXPECT_TRUE(decoder.truncated());

    Bytes ended{0x06, 0x00, 0x07};
    ActionDecoder stopsAtEnd(ended);
    ASSERT_TRUE(stopsAtEnd.next(rec));
    EXPECT_FALSE(stopsAtEnd.next(rec));
    EXPECT_FALSE(stopsAtEnd.truncated());
    EXPECT_STREQ(actionName(0x9F), "GotoFrame2");
    EXPECT_EQ(actionInfo(0x9F).minVersion, 4);
    EXPECT_EQ(actionName(0x01), nullptr);
}

TEST(ActionDecoder, PushValuesAndConstantPools) {
    // string, float 1.5, null, undefined, register 3, true, double 2.5 (word-swapped),
    // int -2, constant 1, constant 258
    Bytes payload{0, 'h',  'i',  0,    1,    0x00, 0x00, 0xC0, 0x3F, 2,    3,    4,
                  3, 5,    1,    6,    0x00, 0x00, 0x04, 0x40, 0x00, 0x00, 0x00, 0x00,
                  7, 0xFE, 0xFF, 0xFF, 0xFF, 8,    1,    9,    0x02, 0x01};
    auto values = decodePush(payload);
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), 10u);
    EXPECT_EQ(std::get<std::string>((*values)[0]), "hi");
    EXPECT_EQ(std::get<double>((*values)[1]), 1.5);
    EXPECT_TRUE(std::holds_alternative<PushNull>((*values)[2]));
    EXPECT_TRUE(std::holds_alternative<PushUndefined>((*values)[3]));
    EXPECT_EQ(std::get<PushRegister>((*values)[4]).index, 3);
    EXPECT_TRUE(std::get<bool>((*values)[5]));
    EXPECT_EQ(std::get<double>((*values)[6]), 2.5);
    EXPECT_EQ(std::get<std::int32_t>((*values)[7]), -2);
    EXPECT_EQ(std::get<PushConstant>((*values)[8]).index, 1);
    EXPECT_EQ(std::get<PushConstant>((*values)[9]).index, 258);

    EXPECT_FALSE(decodePush(Bytes{6, 1, 2, 3})); // double cut short
    EXPECT_FALSE(decodePush(Bytes{42, 0}));      // no such type
    auto pool = decodeConstantPool(Bytes{2, 0, 'a', 0, 'b', 'c', 0});
    ASSERT_TRUE(pool);
    EXPECT_EQ((*pool)[1], "bc");
    EXPECT_FALSE(decodeConstantPool(Bytes{0xFF, 0xFF, 'a', 0})); // count past the data
}

TEST(TimelineActions, FunctionBodiesAndUnknownCodeAreSteppedOver) {
    // DefineFunction "f" () { stop(); } then play(): the body must not run.
    Bytes defineFunction{0x9B, 6, 0, 'f', 0, 0, 0, 1, 0, 0x07};
    SwfWriter movie;
    movie.defineShape(1, square())
        .place(1, 1)
        .doAction(cat({defineFunction, Bytes{0x55, 0x42, 0x17}, act::play()}))
        .showFrame(3);
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    ticks(player, 3);
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(player.currentFrame(), 2);

    // A computed SetTarget2 target disables timeline actions until the next SetTarget.
    SwfWriter computed;
    computed.defineShape(1, square())
        .place(1, 1)
        .doAction(cat({act::pushString("a"),
                       {0x1C},
                       act::setTarget2(),
                       act::stop(),
                       act::setTarget(""),
                       act::nextFrame()}))
        .showFrame(3);
    ASSERT_TRUE(load(player, computed));
    player.tick();
    EXPECT_EQ(player.currentFrame(), 1); // only the NextFrame after the reset took effect
    EXPECT_FALSE(player.isPlaying());
}

TEST(ClipEvents, LoadAndEnterFrameRunOnTheirClip) {
    Sprite three;
    three.showFrame(3);
    SwfWriter movie;
    movie.defineSprite(2, three);
    PlaceObject onLoad = placement(1, 2, false);
    onLoad.name = "loaded";
    onLoad.clipActions = {ClipAction{0x01, {}, act::gotoFrame(2)}};
    PlaceObject onEnter = placement(2, 2, false);
    onEnter.name = "entered";
    onEnter.clipActions = {ClipAction{0x02, {}, act::stop()}};
    movie.placeObject2(onLoad).placeObject2(onEnter).showFrame();
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    player.tick();
    auto* loaded = player.root()->findChild("loaded");
    auto* entered = player.root()->findChild("entered");
    ASSERT_TRUE(loaded && entered);
    EXPECT_EQ(loaded->currentFrame(), 2);
    EXPECT_FALSE(loaded->isPlaying());
    ticks(player, 3);
    EXPECT_EQ(entered->currentFrame(), 1); // moved once, then its enterFrame stopped it
}

TEST(InitActions, RunOnceBeforeTheFramesOwnActions) {
    SwfWriter movie;
    movie.defineShape(1, square()).place(1, 1);
    movie.doInitAction(1, act::gotoFrame(3)).doAction(act::gotoFrame(1)).showFrame(4);
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    player.tick();
    EXPECT_EQ(player.currentFrame(), 1); // init first, then the frame's own goto
    player.gotoFrame(0);
    player.tick(); // frame 0 again: only its DoAction runs
    EXPECT_EQ(player.currentFrame(), 1);
}

namespace {

// Records what the player tells its runner; optionally removes another clip from
// inside a removal notice, as an onUnload handler may.
class RecordingRunner : public swf::avm1::TimelineActions {
public:
    std::vector<std::string> removed;
    int unloaded = 0;
    int alsoRemoveDepth = 0;
    void clipRemoved(swf::timeline::Clip& clip) override {
        removed.push_back(clip.targetPath());
        if (alsoRemoveDepth && clip.parent()) {
            int depth = alsoRemoveDepth;
            alsoRemoveDepth = 0;
            clip.root().removeAt(depth);
        }
    }
    void movieUnloaded() override { ++unloaded; }
};

} // namespace

TEST(ClipRemoval, AnnouncedWithTheirPathsOutsideListChanges) {
    Sprite leaf;
    leaf.showFrame();
    Sprite branch;
    branch.placeObject2([] {
        auto p = placement(1, 2, false);
        p.name = "leaf";
        return p;
    }());
    branch.showFrame();
    SwfWriter movie;
    movie.defineSprite(2, leaf).defineSprite(3, branch);
    for (std::uint16_t depth : {1, 2}) {
        PlaceObject p = placement(depth, 3, false);
        p.name = depth == 1 ? "a" : "b";
        movie.placeObject2(p);
    }
    movie.showFrame();
    movie.removeObject2(1).showFrame();
    movie.showFrame();

    swf::Player player;
    auto runner = std::make_unique<RecordingRunner>();
    auto* rec = runner.get();
    player.setActionRunner(std::move(runner));
    ASSERT_TRUE(load(player, movie));
    player.tick();
    rec->alsoRemoveDepth = 2; // the notice for "a" removes "b" too
    player.tick();
    EXPECT_EQ(rec->removed, (std::vector<std::string>{"/a", "/a/leaf", "/b", "/b/leaf"}));
    EXPECT_TRUE(player.root()->displayList().empty());
    rec->removed.clear();
    ASSERT_TRUE(load(player, movie)); // unloading tells the runner once, not per clip
    player.tick();
    player.unload();
    EXPECT_TRUE(rec->removed.empty());
    EXPECT_EQ(rec->unloaded, 2);
}
