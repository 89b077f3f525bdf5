// Text fields made and changed by scripts: where their box lands on the pixel grid, how
// device text follows a scaled field, and fields masking clips.

#include "ActionAssembler.h"
#include "RenderHarness.h"
#include "RenderMovies.h"

#include "swf/render/DeviceFace.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace orvane::testing;
using namespace orvane::testing::render;

namespace {

// createTextField(name, depth, x, y, w, h) on _root, then `name.prop = value` for each pair.
std::string field(const std::string& name, int depth, const std::string& x, const std::string& y, int w, int h,
                  const std::vector<std::pair<std::string, std::string>>& props = {}) {
    std::string s = "push " + std::to_string(h) + ", " + std::to_string(w) + ", " + y + ", " + x + ", " +
                    std::to_string(depth) + ", \"" + name + "\", 6, \"createTextField\"; callfunction; pop\n";
    for (const auto& [prop, value] : props)
        s += "push \"" + name + "\"; getvariable; push \"" + prop + "\", " + value + "; setmember\n";
    return s;
}

// A square filled by script on clip `name`, made at `depth` of _root.
std::string square(const std::string& name, int depth, int x, int y, int size, const std::string& rgb) {
    const std::string clip = "push \"" + name + "\"; getvariable\n";
    auto to = [&](const char* method, int px, int py) {
        return "push " + std::to_string(py) + ", " + std::to_string(px) + ", 2\n" + clip + "push \"" + method +
               "\"; callmethod; pop\n";
    };
    return "push " + std::to_string(depth) + ", \"" + name + "\", 2, \"createEmptyMovieClip\"; callfunction; pop\n" +
           "push " + rgb + ", 1\n" + clip + "push \"beginFill\"; callmethod; pop\n" + to("moveTo", x, y) +
           to("lineTo", x + size, y) + to("lineTo", x + size, y + size) + to("lineTo", x, y + size) +
           to("lineTo", x, y);
}

std::string setMask(const std::string& clip, const std::string& mask) {
    return "push \"" + mask + "\"; getvariable; push 1, \"" + clip + "\"; getvariable; push \"setMask\"; "
           "callmethod; pop\n";
}

} // namespace

// Upright fields sit on whole pixels whatever their position or scale: the background
// fills from the rounded left/top edge to the rounded right/bottom one, and the border is
// one pixel on each of those edges (so it reaches one pixel past the background). Fields
// at y 10.4 and 10.5 round apart; _xscale 250 and _yscale 50 widen and flatten the box
// but keep the border one pixel thick.
TEST(RenderTextFields, BoxesSnapToPixels) {
    SwfWriter m = stage(200, 60);
    m.setVersion(8);
    const std::string script =
        field("a", 1, "5", "10.4", 20, 20, {{"background", "true"}, {"backgroundColor", "0x00C000"}}) +
        field("b", 2, "35", "10.5", 20, 20,
              {{"border", "true"}, {"borderColor", "0xFF0000"}, {"background", "true"}, {"backgroundColor", "0x0000FF"}}) +
        field("c", 3, "65", "10", 20, 20,
              {{"border", "true"}, {"_xscale", "250"}, {"_yscale", "50"}, {"background", "true"},
               {"backgroundColor", "0xFFFF00"}}) +
        field("d", 4, "125.6", "35.2", 40, 15, {{"border", "true"}, {"borderColor", "0x808080"}});
    m.doAction(assembleActions(script)).showFrame();
    EXPECT_MATCHES((RefCase{"text", "boxes_on_pixels", 3, 0}), m);
}

// A clip masked by a field with embedded letters shows through the letters only (the
// field itself is not drawn); one masked by a device-font field does not show at all.
TEST(RenderTextFields, FieldsMaskByTheirEmbeddedLetters) {
    SwfWriter m = stage(120, 50);
    m.setVersion(8);
    ShapeBuilder bar, tri;
    bar.setFill0(1).moveTo(100, -700).lineTo(400, -700).lineTo(400, 0).lineTo(100, 0).lineTo(100, -700);
    tri.setFill0(1).moveTo(0, 0).lineTo(250, -700).lineTo(500, 0).lineTo(0, 0);
    m.rawTag(48, defineFont(1, 2, {bar, tri}, {'I', 'A'}, {500, 550}, 800, 200));
    EditTextField letters;
    letters.bounds = Rect{0, 1200, 0, 900};
    letters.fontId = 1;
    letters.height = 600;
    letters.color = {0, 0, 0};
    letters.border = true; // neither the border nor the box masks
    letters.text = "IAI";
    m.rawTag(37, defineEditText(10, letters));
    PlaceObject p;
    p.depth = 1;
    p.characterId = 10;
    p.matrix = Matrix::translate(200, 200);
    p.name = "letters";
    m.placeObject2(p);
    const std::string script = square("a", 10, 0, 0, 60, "0x0000FF") +
                               field("plain", 20, "60", "0", 60, 50, {{"text", "\"Device\""}}) +
                               square("b", 30, 60, 0, 60, "0x00A000") + setMask("a", "letters") +
                               setMask("b", "plain");
    m.doAction(assembleActions(script)).showFrame();
    EXPECT_MATCHES((RefCase{"text", "field_masks", 3, 0}), m);
}

namespace {

// Columns holding dark pixels in rows [top, bottom) of `img`: first and last, -1 when none.
std::pair<int, int> inkColumns(const QImage& img, int top, int bottom) {
    int first = -1, last = -1;
    for (int x = 0; x < img.width(); ++x)
        for (int y = top; y < bottom; ++y)
            if (qGray(img.pixel(x, y)) < 128) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}

} // namespace

// Device text keeps its letters upright and unstretched when the field is scaled: the box
// and the gutter scale, the letters take the vertical scale in both directions.
TEST(RenderTextFields, DeviceTextFollowsTheVerticalScale) {
    SwfWriter m = stage(200, 90);
    m.setVersion(8);
    const std::string text = "\"Hello World\"";
    const std::string script =
        field("plain", 1, "0", "0", 90, 20, {{"text", text}}) +
        field("wide", 2, "0", "30", 45, 20, {{"text", text}, {"_xscale", "200"}}) +
        "push \"small\", 0, \"TextFormat\"; newobject; setvariable\n"
        "push \"small\"; getvariable; push \"size\", 6; setmember\n" +
        field("tall", 3, "0", "60", 90, 10) +
        "push \"small\"; getvariable; push 1, \"tall\"; getvariable; push \"setNewTextFormat\"; callmethod; pop\n" +
        "push \"tall\"; getvariable; push \"text\", " + text + "; setmember\n" +
        "push \"tall\"; getvariable; push \"_yscale\", 200; setmember\n";
    m.doAction(assembleActions(script)).showFrame();
    const QImage img = renderMovie(m.bytes(), 1);
    const auto [plainLeft, plainRight] = inkColumns(img, 0, 20);
    const auto [wideLeft, wideRight] = inkColumns(img, 30, 50);
    const auto [tallLeft, tallRight] = inkColumns(img, 60, 90);
    ASSERT_GE(plainLeft, 0);
    EXPECT_NEAR(wideRight - wideLeft, plainRight - plainLeft, 1); // not stretched
    EXPECT_EQ(wideLeft - plainLeft, 2);                            // the gutter is
    EXPECT_NEAR(tallRight - tallLeft, plainRight - plainLeft, 3);  // 6 points at twice the height
}

// Flash's generic names map to the DejaVu families; a named font the system lacks is shown
// in the sans face (as "Times New Roman" is on Flash Player's Linux screenshots), one it has
// is used as it is.
TEST(RenderTextFields, DeviceFontNames) {
    renderMovie(stage(10, 10).bytes(), 1); // the system's fonts are known once the harness's GUI application is
    EXPECT_EQ(swf::render::deviceFamily("_serif"), "DejaVu Serif");
    EXPECT_EQ(swf::render::deviceFamily("_typewriter"), "DejaVu Sans Mono");
    EXPECT_EQ(swf::render::deviceFamily(""), "DejaVu Sans");
    EXPECT_EQ(swf::render::deviceFamily("No Such Family 42"), "DejaVu Sans");
    EXPECT_EQ(swf::render::deviceFamily("DejaVu Serif"), "DejaVu Serif");
}
