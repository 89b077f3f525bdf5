// BitmapData from scripts on the stage: bitmaps attached to clips show their pixels (and
// stop showing them once disposed), and draw() renders a clip with its script mask.

#include "ActionAssembler.h"
#include "RenderHarness.h"
#include "RenderMovies.h"

#include <gtest/gtest.h>

using namespace orvane::testing;
using namespace orvane::testing::render;

namespace {

// A filled square drawn by script on clip `name`, made at `depth` of _root.
std::string square(const std::string& name, int depth, int x, int y, int size, const std::string& rgb) {
    const std::string clip = "push \"" + name + "\"; getvariable\n";
    auto line = [&](int px, int py) {
        return "push " + std::to_string(py) + ", " + std::to_string(px) + ", 2\n" + clip + "push \"lineTo\"; callmethod; pop\n";
    };
    return "push " + std::to_string(depth) + ", \"" + name + "\", 2, \"createEmptyMovieClip\"; callfunction; pop\n" +
           "push " + rgb + ", 1\n" + clip + "push \"beginFill\"; callmethod; pop\n" + "push " + std::to_string(y) + ", " +
           std::to_string(x) + ", 2\n" + clip + "push \"moveTo\"; callmethod; pop\n" + line(x + size, y) +
           line(x + size, y + size) + line(x, y + size) + line(x, y) + "push 0\n" + clip +
           "push \"endFill\"; callmethod; pop\n";
}

// var = new flash.display.BitmapData(args), arguments as push operands in order.
std::string bitmap(const std::string& var, const std::string& reversedArgs, int count) {
    return "push \"" + var + "\", " + reversedArgs + ", " + std::to_string(count) +
           ", \"flash\"; getvariable; push \"display\"; getmember; push \"BitmapData\"; newmethod; setvariable\n";
}

// An empty clip at `depth` and `x` showing bitmap `var`.
std::string show(const std::string& var, const std::string& clip, int depth, int x) {
    return "push " + std::to_string(depth) + ", \"" + clip + "\", 2, \"createEmptyMovieClip\"; callfunction; pop\n" +
           "push 0, \"" + var + "\"; getvariable; push 2, \"" + clip + "\"; getvariable; push \"attachBitmap\"; callmethod; pop\n" +
           "push \"" + clip + "\"; getvariable; push \"_x\", " + std::to_string(x) + "; setmember\n";
}

} // namespace

// Left: a blue square masked by a smaller clip (the mask itself is not drawn). Then its
// draw() into a transparent bitmap, shown at x 50; an opaque red bitmap with a green
// fillRect and one black setPixel32 at x 100; a bitmap disposed after being attached
// (nothing) at x 150.
TEST(RenderScriptBitmaps, AttachedDrawnAndDisposedBitmaps) {
    SwfWriter m = stage(200, 50);
    m.setVersion(8);
    std::string script = square("a", 1, 0, 0, 40, "0x0000FF") + square("k", 2, 10, 10, 20, "0x00FF00") +
                         "push \"k\"; getvariable; push 1, \"a\"; getvariable; push \"setMask\"; callmethod; pop\n" +
                         bitmap("d", "0, true, 40, 40", 4) +
                         "push \"a\"; getvariable; push 1, \"d\"; getvariable; push \"draw\"; callmethod; pop\n" +
                         show("d", "sd", 10, 50) + bitmap("r", "0xFF0000, false, 40, 40", 4) +
                         "push 0x00FF00, 10, 10, 5, 5, 4, \"flash\"; getvariable; push \"geom\"; getmember; "
                         "push \"Rectangle\"; newmethod; push 2, \"r\"; getvariable; push \"fillRect\"; callmethod; pop\n" +
                         "push 0xFF000000, 30, 30, 3, \"r\"; getvariable; push \"setPixel32\"; callmethod; pop\n" +
                         show("r", "sr", 11, 100) + bitmap("g", "0xFF00FFFF, true, 40, 40", 4) + show("g", "sg", 12, 150) +
                         "push 0, \"g\"; getvariable; push \"dispose\"; callmethod; pop\n";
    m.doAction(assembleActions(script)).showFrame();
    EXPECT_MATCHES((RefCase{"scriptbitmaps", "attached_drawn_disposed", 3, 0}), m);
}

// A clip half way through a bitmap-filled square is duplicated: the copy keeps the drawing
// and the open fill, so finishing the square on the copy gives a whole square (x 50) while
// the original, closed as it is, shows a triangle (x 0). The bitmap changes after the fill
// was begun (a black pixel at 5, 5) and both drawings show the change.
TEST(RenderScriptBitmaps, DuplicatesKeepTheDrawingAndFillsFollowTheirBitmap) {
    SwfWriter m = stage(100, 50);
    m.setVersion(8);
    auto call = [](const std::string& clip, const std::string& method, const std::string& reversedArgs, int n) {
        return "push " + reversedArgs + (reversedArgs.empty() ? "" : ", ") + std::to_string(n) + ", \"" + clip +
               "\"; getvariable; push \"" + method + "\"; callmethod; pop\n";
    };
    const std::string script =
        bitmap("b", "0xFF0000, false, 10, 10", 4) +
        "push 1, \"x\", 2, \"createEmptyMovieClip\"; callfunction; pop\n"+
        "push \"b\"; getvariable; push 1, \"x\"; getvariable; push \"beginBitmapFill\"; callmethod; pop\n" +
        call("x", "moveTo", "0, 0", 2) + call("x", "lineTo", "40, 0", 2) + call("x", "lineTo", "40, 40", 2) +
        "push \"y\", 2, \"y\", 2, \"x\"; getvariable; push \"duplicateMovieClip\"; callmethod; setvariable\n"
        "push \"y\"; getvariable; push \"_x\", 50; setmember\n" +
        call("y", "lineTo", "0, 40", 2) + call("y", "lineTo", "0, 0", 2) + call("y", "endFill", "", 0) +
        call("x", "endFill", "", 0) + call("b", "setPixel32", "0xFF000000, 5, 5", 3);
    m.doAction(assembleActions(script)).showFrame();
    EXPECT_MATCHES((RefCase{"scriptbitmaps", "duplicate_bitmap_fill", 3, 0}), m);
}
