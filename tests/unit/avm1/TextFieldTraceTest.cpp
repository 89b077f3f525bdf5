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

// What a one-frame SWF 8 movie of `script` traces.
std::string traceScript(const char* script) {
    SwfWriter movie;
    movie.setVersion(8).setFrameRate(12);
    movie.doAction(assembleActions(script));
    movie.showFrame();
    return traceFrames(movie.bytes(), 1);
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

// A field is one script object for its life, with the placement properties of clips;
// _width sizes its box; renaming, getDepth and removeTextField act on the display list.
TEST(TextFieldScripts, FieldsAsDisplayObjects) {
    const std::string traced = traceScript(R"(
        push 30, 100, 20, 10, 5, "t", 6; push "_root"; getvariable; push "createTextField"; callmethod; pop
        push "t"; getvariable; push "_x"; getmember; trace
        push "t"; getvariable; push "_height"; getmember; trace
        push "t"; getvariable; push "_x", 50; setmember
        push "t"; getvariable; push "_xscale", 200; setmember
        push "t"; getvariable; push "_width"; getmember; trace
        push "t"; getvariable; push "_width", 100; setmember
        push "t"; getvariable; push "_width"; getmember; trace
        push "t"; getvariable; push "_xscale"; getmember; trace
        push "t"; getvariable; push "_visible", false; setmember
        push "t"; getvariable; push "_visible"; getmember; trace
        push "t"; getvariable; push "_alpha", 30; setmember  # kept in 256ths, as for clips
        push "t"; getvariable; push "_alpha"; getmember; trace
        push "t"; getvariable; push "_parent"; getmember; push "_root"; getvariable; equals2; trace
        push "t"; getvariable; push "_target"; getmember; trace
        push 0, "t"; getvariable; push "getDepth"; callmethod; trace
        push "t"; getvariable; push "marker", "kept"; setmember
        push "t"; getvariable; push "_name", "u"; setmember
        push "u"; getvariable; push "marker"; getmember; trace
        push "u"; getvariable; push "_name"; getmember; trace
        push "keep"; push "u"; getvariable; setvariable
        push 0, "u"; getvariable; push "removeTextField"; callmethod; pop
        push "u"; getvariable; typeof; trace
        push "keep"; getvariable; push "_x"; getmember; typeof; trace
    )");
    EXPECT_EQ(traced,
              "10\n30\n200\n100\n200\nfalse\n29.6875\ntrue\n/t\n5\nkept\nu\nundefined\nundefined\n");
}

// StyleSheet rules reach HTML text read after the sheet is given; getTextExtent adds the
// field's gutter to the text's size.
TEST(TextFieldScripts, StyleSheetsAndTextExtent) {
    const std::string traced = traceScript(R"(
        push 30, 100, 0, 0, 1, "f", 6; push "_root"; getvariable; push "createTextField"; callmethod; pop
        push "ss", 0, "TextField"; getvariable; push "StyleSheet"; newmethod; setvariable
        push "p { color: #FF0000; font-size: 20px; } .x { font-weight: bold; }", 1, "ss"; getvariable; push "parseCSS"; callmethod; trace
        push 0, "ss"; getvariable; push "getStyleNames"; callmethod; push "length"; getmember; trace
        push "p", 1, "ss"; getvariable; push "getStyle"; callmethod; push "color"; getmember; trace
        push "nope", 1, "ss"; getvariable; push "getStyle"; callmethod; trace
        push "f"; getvariable; push "html", true; setmember
        push "f"; getvariable; push "styleSheet"; push "ss"; getvariable; setmember
        push "f"; getvariable; push "htmlText", "<p>hi</p>"; setmember
        push 0, 1, "f"; getvariable; push "getTextFormat"; callmethod; push "color"; getmember; trace
        push 0, 1, "f"; getvariable; push "getTextFormat"; callmethod; push "size"; getmember; trace
        push "f"; getvariable; push "styleSheet"; getmember; push "ss"; getvariable; equals2; trace
        push "tf", 0, "TextFormat"; newobject; setvariable
        push "e", "abc", 1, "tf"; getvariable; push "getTextExtent"; callmethod; setvariable
        push "e"; getvariable; push "textFieldWidth"; getmember; push "e"; getvariable; push "width"; getmember; subtract; trace
        push "e"; getvariable; push "height"; getmember; push 0; greater; trace
    )");
    EXPECT_EQ(traced, "true\n2\n#FF0000\nnull\n16711680\n20\ntrue\n4\ntrue\n");
}

// parseColor reads only "#" and six hex digits of the argument's string form.
TEST(TextFieldScripts, StyleSheetParseColor) {
    const std::string traced = traceScript(R"(
        push "ss", 0, "TextField"; getvariable; push "StyleSheet"; newmethod; setvariable
        push "#FF0000", 1, "ss"; getvariable; push "parseColor"; callmethod; trace
        push "#abcabc", 1, "ss"; getvariable; push "parseColor"; callmethod; trace
        push "#FFF", 1, "ss"; getvariable; push "parseColor"; callmethod; trace
        push "#FFXXFF", 1, "ss"; getvariable; push "parseColor"; callmethod; trace
        push " #FF00FF", 1, "ss"; getvariable; push "parseColor"; callmethod; trace
        push 0, "ss"; getvariable; push "parseColor"; callmethod; trace
    )");
    EXPECT_EQ(traced, "16711680\n11258556\nnull\nnull\nnull\nnull\n");
}

// Text fields are script objects from SWF 6 on. In a SWF 5 movie a field's name stands
// for the clip that holds it: `t` prints as "_level0", and what is set "on the field"
// lands on the root (so the field keeps no border and `t.border` reads the root's).
TEST(TextFieldScripts, Swf5MoviesReachTheHoldingClipByAFieldsName) {
    const char* script = R"(
        push 20, 100, 0, 0, 1, "t", 6, "createTextField"; callfunction; pop
        push "t"; getvariable; trace
        push "t"; getvariable; typeof; trace
        push "t"; getvariable; push "border", true; setmember
        push "_root"; getvariable; push "border"; getmember; typeof; trace
        push "_root"; getvariable; push "t"; getmember; push "border"; getmember; typeof; trace
    )";
    for (int version : {5, 6}) {
        SwfWriter movie;
        movie.setVersion(version).setFrameRate(12);
        movie.doAction(assembleActions(script));
        movie.showFrame();
        EXPECT_EQ(traceFrames(movie.bytes(), 1),
                  version == 5 ? "_level0\nmovieclip\nboolean\nboolean\n"
                               : "_level0.t\nobject\nundefined\nboolean\n")
            << version;
    }
}

// Naming another variable shows it at once; when that variable is unset the field starts
// again from its definition's text and the variable takes it. ASnative(104, 200) is
// createTextField, and called as a plain function it makes the field in the running clip.
TEST(TextFieldScripts, RenamedVariablesAndTheNativeCreateTextField) {
    SwfWriter movie;
    movie.setVersion(8).setFrameRate(12);
    EditText bound;
    bound.variableName = "first";
    bound.initialText = "Initial";
    movie.defineEditText(1, bound);
    movie.placeObject2(at(1, 1, "f"));
    movie.doAction(assembleActions(R"(
        push "second", "Two"; setvariable
        push "f"; getvariable; push "variable", "second"; setmember
        push "f"; getvariable; push "text"; getmember; trace
        push "f"; getvariable; push "text", "Changed"; setmember
        push "f"; getvariable; push "variable", "third"; setmember
        push "f"; getvariable; push "text"; getmember; trace
        push "third"; getvariable; trace
        push "mk", 200, 104, 2, "ASnative"; callfunction; setvariable
        push 25, 50, 0, 100, 3, "m", 6, "mk"; callfunction; pop
        push "m"; getvariable; trace
    )"));
    movie.showFrame();
    EXPECT_EQ(traceFrames(movie.bytes(), 1), "Two\nInitial\nInitial\n_level0.m\n");
}

// A field's _x and _width keep whole 32-bit twips: undefined and null leave them alone in
// every version, a negative size is refused, infinities become 0 and huge values wrap.
TEST(TextFieldScripts, PositionAndSizeInWholeTwips) {
    SwfWriter movie;
    movie.setVersion(6).setFrameRate(12);
    std::string script = R"(push 50, 100, 0, 100, 0, "t", 6, "createTextField"; callfunction; pop
)";
    for (const char* value : {"undefined", "null", "-1", "0.5", "Infinity", "-Infinity", "103584024400.25"})
        for (const char* prop : {"_width", "_x"}) {
            const bool named = value[0] == 'I' || value[0] == '-' && value[1] == 'I';
            const std::string push = named ? std::string("push \"") + (value[0] == '-' ? "Infinity" : value) +
                                                 "\"; getvariable" + (value[0] == '-' ? "; push -1; multiply" : "")
                                           : std::string("push ") + value;
            script += std::string("push \"t\"; getvariable; push \"") + prop + "\", 100; setmember\n" +
                      "push \"t\"; getvariable; push \"" + prop + "\"; " + push + "; setmember\n" +
                      "push \"t\"; getvariable; push \"" + prop + "\"; getmember; trace\n";
        }
    movie.doAction(assembleActions(script));
    movie.showFrame();
    EXPECT_EQ(traceFrames(movie.bytes(), 1), "100\n100\n100\n100\n100\n-1\n0.5\n0.5\n0\n0\n100\n0\n"
                                              "75312566.65\n75312566.65\n");
}

// A single-line field keeps one paragraph: <p> neither breaks nor aligns, a line break in
// the markup's text still does.
TEST(TextFieldScripts, SingleLineFieldsIgnoreParagraphTags) {
    EXPECT_EQ(traceScript(R"(
        push 150, 200, 0, 0, 0, "t", 6, "createTextField"; callfunction; pop
        push "t"; getvariable; push "html", true; setmember
        push "t"; getvariable; push "htmlText", "ab\r12<p align='right'>34</p>"; setmember
        push "t"; getvariable; push "htmlText"; getmember; trace
        push "t"; getvariable; push "multiline", true; setmember
        push "t"; getvariable; push "htmlText", "12<p align='right'>34</p>"; setmember
        push "t"; getvariable; push "text"; getmember; push "length"; getmember; trace
    )"),
              "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" LETTERSPACING=\"0\" "
              "KERNING=\"0\">ab</FONT></P><P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" "
              "COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">1234</FONT></P>\n5\n");
}
