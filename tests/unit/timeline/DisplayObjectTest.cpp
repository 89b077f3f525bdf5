// Live display objects: each kind's state through place, move, replace, remove and
// seeks, and who owns an object (timeline or script).

#include "../player/EngineMovies.h"

#include "swf/avm1/PlayerScriptHost.h"
#include "swf/timeline/World.h"
#include "swf/timeline/objects/BitmapObject.h"
#include "swf/timeline/objects/ButtonObject.h"
#include "swf/timeline/objects/ShapeObject.h"
#include "swf/timeline/objects/SpriteObject.h"
#include "swf/timeline/objects/TextFieldObject.h"
#include "swf/timeline/objects/VideoObject.h"

#include <gtest/gtest.h>

using namespace engine_test;
using swf::timeline::ObjectKind;

namespace {

// Characters of every kind: 1 shape, 2 morph, 3 sprite, 4 button, 5 text field,
// 6 bitmap, 7 video, 8 a second shape.
void defineEveryKind(SwfWriter& movie) {
    Sprite sprite;
    sprite.showFrame(3);
    MorphShapeBuilder morph;
    morph.setStartBounds(Rect::pixels(10, 10)).setEndBounds(Rect::pixels(30, 30));
    ButtonBuilder button;
    button.records.push_back(ButtonRecord::of(ButtonRecord::Up | ButtonRecord::HitTest, 1, 1));
    EditText field;
    field.initialText = "first";
    movie.defineShape(1, square())
        .defineMorphShape(2, morph)
        .defineSprite(3, sprite)
        .defineButton(4, button)
        .defineEditText(5, field)
        .defineBitsLossless(6, LosslessBitmap::truecolor(2, 2, std::vector<Rgba>(4, Rgba{0, 255, 0}), false))
        .defineVideoStream(7, 10, 32, 24, 2)
        .defineShape(8, square({0, 0, 255}));
}

swf::timeline::DisplayObject* at(swf::Player& player, int depth) {
    return player.root()->objectAt(depth);
}

std::u16string fieldText(swf::Player& player) {
    const auto* field = at(player, 5)->as<swf::timeline::TextFieldObject>();
    return field ? field->field.text() : u"(none)";
}

constexpr ObjectKind kKinds[] = {ObjectKind::Shape,  ObjectKind::MorphShape, ObjectKind::Sprite,
                                 ObjectKind::Button, ObjectKind::EditText,   ObjectKind::Bitmap,
                                 ObjectKind::Video};

} // namespace

// Frame 0 places one object of each kind at depths 1-7, frame 1 moves them all, frame 2
// replaces the shape by another shape, frame 3 removes everything; seeks go back and forth.
TEST(DisplayObjects, EveryKindLivesThroughPlaceMoveRemoveAndSeeks) {
    SwfWriter movie;
    defineEveryKind(movie);
    for (int id = 1; id <= 7; ++id)
        movie.place(static_cast<std::uint16_t>(id), static_cast<std::uint16_t>(id));
    movie.showFrame();
    for (int depth = 1; depth <= 7; ++depth)
        movie.moveTo(static_cast<std::uint16_t>(depth), Matrix::translate(depth * 20, 40));
    movie.showFrame();
    movie.placeObject2(placement(1, 8, true)).showFrame();
    for (int depth = 1; depth <= 7; ++depth)
        movie.removeObject2(static_cast<std::uint16_t>(depth));
    movie.showFrame();

    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    player.tick();
    std::uint64_t serials[8] = {};
    for (int depth = 1; depth <= 7; ++depth) {
        const auto* obj = at(player, depth);
        ASSERT_NE(obj, nullptr) << depth;
        EXPECT_EQ(obj->kind, kKinds[depth - 1]) << depth;
        ASSERT_NE(obj->state, nullptr) << depth;
        EXPECT_EQ(obj->state->kind(), obj->kind) << depth;
        serials[depth] = obj->serial;
    }
    EXPECT_NE(at(player, 3)->clip, nullptr);
    EXPECT_NE(at(player, 4)->as<swf::timeline::ButtonObject>(), nullptr);
    EXPECT_EQ(fieldText(player), u"first");
    EXPECT_EQ(at(player, 1)->as<swf::timeline::TextFieldObject>(), nullptr);

    // What the objects hold survives a move: the instance is the same.
    at(player, 4)->as<swf::timeline::ButtonObject>()->state = swf::timeline::ButtonState::Over;
    at(player, 5)->as<swf::timeline::TextFieldObject>()->field.setText(u"typed");
    player.tick();
    for (int depth = 1; depth <= 7; ++depth) {
        EXPECT_EQ(at(player, depth)->serial, serials[depth]) << depth;
        EXPECT_EQ(at(player, depth)->matrix.tx, depth * 20) << depth;
    }
    EXPECT_EQ(at(player, 4)->as<swf::timeline::ButtonObject>()->state, swf::timeline::ButtonState::Over);
    EXPECT_EQ(fieldText(player), u"typed");

    // A shape replaced by a shape is a new instance of the same kind, keeping the move.
    player.tick();
    EXPECT_EQ(at(player, 1)->characterId, 8);
    EXPECT_EQ(at(player, 1)->kind, ObjectKind::Shape);
    EXPECT_EQ(at(player, 1)->matrix.tx, 20);

    player.tick();
    EXPECT_TRUE(player.root()->displayList().empty());

    // Back to the start: every kind is made again, with fresh state.
    player.gotoFrame(0);
    for (int depth = 1; depth <= 7; ++depth) {
        const auto* obj = at(player, depth);
        ASSERT_NE(obj, nullptr) << depth;
        EXPECT_EQ(obj->kind, kKinds[depth - 1]) << depth;
        EXPECT_NE(obj->serial, serials[depth]) << depth;
    }
    EXPECT_EQ(fieldText(player), u"first");
    EXPECT_EQ(at(player, 4)->as<swf::timeline::ButtonObject>()->state, swf::timeline::ButtonState::Up);

    // Seeking to a frame where the objects stay keeps their instances and state.
    at(player, 5)->as<swf::timeline::TextFieldObject>()->field.setText(u"kept");
    const std::uint64_t field = at(player, 5)->serial;
    player.gotoFrame(2);
    EXPECT_EQ(at(player, 5)->serial, field);
    EXPECT_EQ(fieldText(player), u"kept");
    EXPECT_EQ(at(player, 1)->characterId, 8);
    player.gotoFrame(1);
    EXPECT_EQ(at(player, 1)->characterId, 1);
    EXPECT_EQ(at(player, 5)->serial, field);
}

TEST(DisplayObjects, KindStatesKnowTheirBounds) {
    SwfWriter movie;
    defineEveryKind(movie);
    auto morphAt = placement(2, 2, false);
    morphAt.ratio = 32768;
    movie.place(1, 1).placeObject2(morphAt).place(3, 3).place(5, 5).place(6, 6).place(7, 7).showFrame();
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    player.tick();
    auto bounds = [&](int depth) { return at(player, depth)->state->bounds(*at(player, depth)); };
    EXPECT_EQ(bounds(1), (swf::format::Rect{0, 400, 0, 400}));
    ASSERT_TRUE(bounds(2));
    EXPECT_NEAR(bounds(2)->xMax, 400, 1); // half-way between 10 and 30 pixels
    EXPECT_FALSE(bounds(3));              // a sprite's extent is its children's
    EXPECT_EQ(bounds(5), (swf::format::Rect{0, 2000, 0, 400}));
    EXPECT_EQ(bounds(7), (swf::format::Rect{0, 640, 0, 480}));
    EXPECT_TRUE(at(player, 7)->state->hitTest(*at(player, 7), 100, 100));
    EXPECT_FALSE(at(player, 7)->state->hitTest(*at(player, 7), 700, 100));

    // Pixels of its own give a bitmap object its size.
    auto* bitmap = at(player, 6)->as<swf::timeline::BitmapObject>();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_FALSE(bounds(6));
    auto pixels = std::make_shared<swf::timeline::Pixels>();
    pixels->width = 3;
    pixels->height = 2;
    pixels->argb.assign(6, 0xFF00FF00u);
    bitmap->pixels = pixels;
    EXPECT_EQ(bounds(6), (swf::format::Rect{0, 60, 0, 40}));
    pixels->argb.pop_back(); // a buffer that does not match its size is not used
    EXPECT_FALSE(bounds(6));
}

// The fields the renderer draws from: DefineScalingGrid reaches sprite and button
// instances as their scale9Grid (shapes have none), PlaceObject3's cache flag and
// background colour reach cacheAsBitmap and opaqueBackground.
TEST(DisplayObjects, ScalingGridCacheAndBackgroundReachTheObject) {
    SwfWriter movie;
    defineEveryKind(movie);
    const Rect centre{100, 300, 120, 280};
    movie.defineScalingGrid(3, centre).defineScalingGrid(4, centre);
    PlaceObject cached = placement(1, 1, false);
    cached.bitmapCache = 1;
    cached.backgroundColor = Rgba{10, 20, 30, 255};
    movie.placeObject3(cached).place(3, 3).place(4, 4).showFrame();
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    player.tick();
    const swf::format::Rect expected{100, 300, 120, 280};
    EXPECT_EQ(at(player, 3)->scale9Grid, expected);
    EXPECT_EQ(at(player, 4)->scale9Grid, expected);
    EXPECT_FALSE(at(player, 1)->scale9Grid);
    EXPECT_TRUE(at(player, 1)->cacheAsBitmap);
    ASSERT_TRUE(at(player, 1)->opaqueBackground);
    EXPECT_EQ(at(player, 1)->opaqueBackground->g, 20);
    EXPECT_FALSE(at(player, 3)->cacheAsBitmap);
}

// An object a script created stays when the timeline seeks, and when a timeline tag would
// replace the object at its depth.
TEST(DisplayObjects, ScriptCreatedObjectsOutliveTheTimeline) {
    SwfWriter movie;
    defineEveryKind(movie);
    movie.place(1, 1).showFrame();
    movie.placeObject2(placement(5, 8, true)).showFrame(3);
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    player.tick();
    auto* made = player.root()->placeScripted(3, 5, "made");
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->scripted);
    const std::uint64_t serial = made->serial;
    player.tick(); // the replace at depth 5 does not take the script's clip
    ASSERT_NE(at(player, 5), nullptr);
    EXPECT_EQ(at(player, 5)->serial, serial);
    EXPECT_EQ(at(player, 5)->characterId, 3);
    player.gotoFrame(0);
    player.gotoFrame(3);
    player.gotoFrame(0);
    ASSERT_NE(at(player, 5), nullptr);
    EXPECT_EQ(at(player, 5)->serial, serial);
    EXPECT_TRUE(player.root()->removeAt(5));
    EXPECT_EQ(at(player, 5), nullptr);
}

// Once a script sets a clip's position, timeline moves and seeks leave its transform alone
// but still change what the script did not touch.
TEST(DisplayObjects, TimelineObjectsMovedByScriptStopFollowingTheTimeline) {
    Sprite clip;
    clip.showFrame();
    SwfWriter movie;
    movie.setVersion(6);
    movie.defineSprite(1, clip);
    auto named = placement(1, 1, false);
    named.name = "a";
    movie.placeObject2(named);
    movie.doAction(cat({act::pushString("a"), act::pushInt(0), act::pushInt(100), {0x23}})); // a._x = 100
    movie.showFrame();
    auto move = placement(1, std::nullopt, true);
    move.matrix = Matrix::translate(7, 8);
    move.ratio = 9;
    movie.placeObject2(move).showFrame();
    movie.showFrame(2);
    swf::Player player;
    player.setActionRunner(std::make_unique<swf::avm1::PlayerScriptHost>());
    ASSERT_TRUE(load(player, movie));
    player.tick();
    ASSERT_NE(at(player, 1), nullptr);
    EXPECT_TRUE(at(player, 1)->scriptTransformed);
    EXPECT_EQ(at(player, 1)->matrix.tx, 2000);
    player.tick();
    EXPECT_EQ(at(player, 1)->matrix.tx, 2000);
    EXPECT_EQ(at(player, 1)->ratio, 9);
    player.gotoFrame(0);
    player.gotoFrame(2);
    EXPECT_EQ(at(player, 1)->matrix.tx, 2000);
}

TEST(DisplayObjects, ReparentKeepsTheInstanceAndRefusesCycles) {
    Sprite inner;
    inner.showFrame();
    SwfWriter movie;
    movie.defineSprite(1, inner).defineShape(2, square());
    movie.place(1, 1).place(1, 2).place(2, 3).showFrame();
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    player.tick();
    swf::timeline::World& world = player.root()->world();
    swf::timeline::Clip* a = at(player, 1)->clip.get();
    swf::timeline::Clip* b = at(player, 2)->clip.get();
    ASSERT_TRUE(a && b);
    const std::uint64_t shape = at(player, 3)->serial;
    EXPECT_TRUE(world.reparent(*player.root(), 3, *a, 10));
    EXPECT_EQ(at(player, 3), nullptr);
    ASSERT_NE(a->objectAt(10), nullptr);
    EXPECT_EQ(a->objectAt(10)->serial, shape);
    EXPECT_TRUE(a->objectAt(10)->scripted);

    // b into a: b's owner entry moves, the clip keeps its id and learns its new parent.
    const std::uint64_t id = b->id();
    EXPECT_TRUE(world.reparent(*player.root(), 2, *a, 11));
    EXPECT_EQ(b->parent(), a);
    EXPECT_EQ(b->id(), id);
    EXPECT_EQ(b->nesting(), a->nesting() + 1);
    EXPECT_EQ(b->displayObject(), a->objectAt(11));
    // a into b (inside a) would hold itself; a taken depth is refused too.
    EXPECT_FALSE(world.reparent(*player.root(), 1, *b, 1));
    EXPECT_FALSE(world.reparent(*a, 11, *a, 10));
    EXPECT_EQ(a->parent(), player.root());
}
