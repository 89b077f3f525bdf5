// Text fields from scripts inside the player: named fields, createTextField, variables.
#include "ActionAssembler.h"
#include "SwfWriter.h"
#include "swf/PlayerSession.h"

#include <gtest/gtest.h>

using namespace orvane::testing;

namespace {

std::string traceFrames(const std::vector<std::uint8_t>& file, int frames) {
    std::string out;
    swf::SessionOptions options;
    options.traceSink = [&](const std::string& line) { out += line + "\n"; };
    swf::PlayerSession session(std::move(options));
    if (!session.loadFromBytes(file))
        return "load failed";
    for (int i = 0; i < frames; ++i)
        session.tick();
    return out;
}

PlaceObject at(std::uint16_t id, std::uint16_t depth, const char* name) {
    PlaceObject p;
    p.depth = depth;
    p.characterId = id;
    p.name = name;
    return p;
}

} // namespace

TEST(TextFieldScripts, NamedFieldsCreatedFieldsAndVariables) {
    SwfWriter movie;
    movie.setVersion(8).setFrameRate(12);
    EditText bound;
    bound.variableName = "score";
    bound.initialText = "10";
    movie.defineEditText(1, bound);
    EditText rich;
    rich.html = true;
    rich.initialText = "<p>a<b>x</b></p>";
    movie.defineEditText(2, rich);
    movie.placeObject2(at(1, 1, "field"));
    movie.placeObject2(at(2, 2, "rich"));
    movie.doAction(assembleActions(R"(
        push "score"; getvariable; trace
        push "rich"; getvariable; push "text"; getmember; trace
        push 1, 1, "rich"; getvariable; push "getTextFormat"; callmethod; push "bold"; getmember; trace
        push 0, 1, "rich"; getvariable; push "getTextFormat"; callmethod; push "bold"; getmember; trace
        push 20, 100, 10, 10, 5, "made", 6; push "_root"; getvariable; push "createTextField"; callmethod; trace
        push "made"; getvariable; push "text", "hello"; setmember
        push "made"; getvariable; push "length"; getmember; trace
        push "made"; getvariable; push "type"; getmember; trace
        push "made"; getvariable; push "variable"; getmember; trace
        push "score", 42; setvariable
    )"));
    movie.showFrame();
    movie.doAction(assembleActions(R"(
        push "field"; getvariable; push "text"; getmember; trace
        push "field"; getvariable; push "variable"; getmember; trace
    )"));
    movie.showFrame();
    EXPECT_EQ(traceFrames(movie.bytes(), 2),
              "10\nax\ntrue\nfalse\n_level0.made\n5\ndynamic\nnull\n42\nscore\n");
}
