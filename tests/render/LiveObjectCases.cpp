// The renderer draws what live objects hold: a button's current state, a field's current
// text, a clip's run-time drawing under its children, a bitmap's and a video's own pixels.

#include "ActionAssembler.h"
#include "RenderHarness.h"
#include "RenderMovies.h"

#include "swf/Player.h"
#include "swf/avm1/PlayerScriptHost.h"
#include "swf/input/InputEvent.h"
#include "swf/input/KeyCodes.h"
#include "swf/render/StageRenderer.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/objects/BitmapObject.h"
#include "swf/timeline/objects/ButtonObject.h"
#include "swf/timeline/objects/TextFieldObject.h"
#include "swf/timeline/objects/VideoObject.h"

#include <gtest/gtest.h>

using namespace orvane::testing;
using namespace orvane::testing::render;
namespace tl = swf::timeline;

namespace {

QRgb pixelAt(const swf::Player& player, int x, int y) {
    swf::render::StageRenderer renderer;
    return renderer.renderImage(player).pixel(x, y);
}

std::shared_ptr<tl::Pixels> solidPixels(int w, int h, std::uint32_t argb) {
    auto p = std::make_shared<tl::Pixels>();
    p->width = w;
    p->height = h;
    p->argb.assign(static_cast<std::size_t>(w) * h, argb);
    return p;
}

// A filled rectangle in twips as a run-time drawing.
void drawRect(tl::Graphics& g, int x, int y, int w, int h, swf::format::Rgba color) {
    swf::format::ShapeCharacter& s = g.edit();
    swf::format::FillStyle fill;
    fill.color = color;
    s.shape.styles.fills.push_back(fill);
    swf::format::StyleChangeRecord start;
    start.moveX = x;
    start.moveY = y;
    start.fill0 = static_cast<std::uint32_t>(s.shape.styles.fills.size());
    s.shape.records.emplace_back(start);
    s.shape.records.emplace_back(swf::format::StraightEdgeRecord{w, 0});
    s.shape.records.emplace_back(swf::format::StraightEdgeRecord{0, h});
    s.shape.records.emplace_back(swf::format::StraightEdgeRecord{-w, 0});
    s.shape.records.emplace_back(swf::format::StraightEdgeRecord{0, -h});
    g.changed();
}

} // namespace

// Depth 1 a button (up red, over green, down blue) at 0-20 px; depth 2 a field at 40-140 px;
// depth 3 an empty clip at 0,40 with a sprite child over part of its drawing; depth 4 a
// bitmap at 60,40; depth 5 a video at 100,40.
TEST(RenderLiveObjects, ObjectsDrawWhatTheyHold) {
    SwfWriter m = stage(160, 80);
    m.defineShape(1, box(solid(255, 0, 0), 0, 0, 400, 400));
    m.defineShape(2, box(solid(0, 255, 0), 0, 0, 400, 400));
    m.defineShape(3, box(solid(0, 0, 255), 0, 0, 400, 400));
    ButtonBuilder button;
    button.records.push_back(ButtonRecord::of(ButtonRecord::Up | ButtonRecord::HitTest, 1, 1));
    button.records.push_back(ButtonRecord::of(ButtonRecord::Over, 2, 1));
    button.records.push_back(ButtonRecord::of(ButtonRecord::Down, 3, 1));
    m.defineButton(4, button);
    ShapeBuilder glyph;
    glyph.setFill0(1).rectangle(0, -800, 1000, 800);
    m.rawTag(48, defineFont(5, 2, {glyph}, {'A'}, {1024}, 800, 200));
    EditTextField field;
    field.bounds = Rect{800, 2800, 0, 400};
    field.fontId = 5;
    field.height = 400;
    field.color = {0, 0, 180};
    m.rawTag(37, defineEditText(6, field)); // no initial text
    Sprite child;
    child.place(3, 1).showFrame();
    m.defineSprite(7, child);
    Sprite holder;
    holder.showFrame();
    m.defineSprite(8, holder);
    m.defineBitsLossless(9,
                         LosslessBitmap::truecolor(10, 10, std::vector<Rgba>(100, Rgba{255, 0, 0}), false));
    m.defineVideoStream(10, 4, 10, 10, 2);
    m.place(4, 1)
        .place(6, 2)
        .place(8, 3, Matrix::translate(0, 800))
        .place(9, 4, Matrix::translate(1200, 800));
    m.place(10, 5, Matrix::translate(2000, 800)).showFrame();

    swf::Player player;
    ASSERT_TRUE(player.loadFromBytes(m.bytes()));
    player.tick();
    tl::Clip& root = *player.root();
    EXPECT_EQ(pixelAt(player, 10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(pixelAt(player, 50, 10), qRgb(255, 255, 255));  // an empty field
    EXPECT_EQ(pixelAt(player, 105, 45), qRgb(255, 255, 255)); // a video with no picture yet

    root.objectAt(1)->as<tl::ButtonObject>()->state = tl::ButtonState::Over;
    EXPECT_EQ(pixelAt(player, 10, 10), qRgb(0, 255, 0));
    root.objectAt(1)->as<tl::ButtonObject>()->state = tl::ButtonState::Down;
    EXPECT_EQ(pixelAt(player, 10, 10), qRgb(0, 0, 255));

    root.objectAt(2)->as<tl::TextFieldObject>()->field.setText(u"A");
    EXPECT_EQ(pixelAt(player, 50, 10), qRgb(0, 0, 180));
    root.objectAt(2)->as<tl::TextFieldObject>()->field.setText(u"");
    EXPECT_EQ(pixelAt(player, 50, 10), qRgb(255, 255, 255));

    // The clip's drawing (grey, 0-40 px wide) lies under its child (blue, 0-20 px).
    tl::Clip& clip = *root.objectAt(3)->clip;
    drawRect(clip.graphics(), 0, 0, 800, 400, {128, 128, 128, 255});
    tl::DisplayObject* placed = clip.placeScripted(7, 1, "child");
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(pixelAt(player, 30, 50), qRgb(128, 128, 128));
    EXPECT_EQ(pixelAt(player, 10, 50), qRgb(0, 0, 255));
    drawRect(root.graphics(), 3000, 1200, 200, 200, {0, 128, 0, 255}); // the root draws too
    EXPECT_EQ(pixelAt(player, 155, 65), qRgb(0, 128, 0));

    EXPECT_EQ(pixelAt(player, 65, 45), qRgb(255, 0, 0)); // the character's image
    root.objectAt(4)->as<tl::BitmapObject>()->pixels = solidPixels(10, 10, 0xFF00FFFFu);
    EXPECT_EQ(pixelAt(player, 65, 45), qRgb(0, 255, 255));

    // A 5x5 picture fills the stream's 10x10 pixels.
    root.objectAt(5)->as<tl::VideoObject>()->picture = solidPixels(5, 5, 0xFFFF00FFu);
    EXPECT_EQ(pixelAt(player, 108, 48), qRgb(255, 0, 255));
}

// Tab puts the yellow focus rectangle round a button, two pixels wide inside its bounds,
// over everything; `_focusrect` false keeps it hidden while the focus still moves.
TEST(RenderLiveObjects, TabShowsTheFocusRectangle) {
    for (bool hidden : {false, true}) {
        SwfWriter m = stage(100, 100);
        m.defineShape(1, box(solid(0, 0, 255), 0, 0, 800, 800));
        ButtonBuilder button;
        button.records.push_back(ButtonRecord::of(ButtonRecord::Up | ButtonRecord::HitTest, 1, 1));
        m.defineButton(2, button);
        m.place(2, 1, Matrix::translate(400, 400));
        if (hidden)
            m.doAction(assembleActions("push \"_focusrect\", 0; setvariable"));
        m.showFrame();
        swf::Player player;
        player.setActionRunner(std::make_unique<swf::avm1::PlayerScriptHost>());
        ASSERT_TRUE(player.loadFromBytes(m.bytes()));
        player.tick();
        EXPECT_EQ(pixelAt(player, 21, 21), qRgb(0, 0, 255));
        player.handleInput(swf::input::InputEvent::key(swf::input::InputKind::KeyDown, swf::input::key::kTab, 0));
        ASSERT_TRUE(player.inputState().focusShown);
        const QRgb edge = hidden ? qRgb(0, 0, 255) : qRgb(255, 255, 0);
        EXPECT_EQ(pixelAt(player, 21, 21), edge) << hidden;
        EXPECT_EQ(pixelAt(player, 58, 40), edge) << hidden;
        EXPECT_EQ(pixelAt(player, 30, 30), qRgb(0, 0, 255));
        EXPECT_EQ(pixelAt(player, 62, 40), qRgb(255, 255, 255));
    }
}
