// XML and XMLNode (Flash's lenient reader, its status codes, tree edits) and
// LoadVars decoding and loading, driven by assembled scripts.

#include "ScriptRun.h"

#include <gtest/gtest.h>

using namespace orvane::testing;

namespace {

// Escapes a string for an assembler push operand.
std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// x = new XML(text); trace(x); trace(x.status)
std::string parseAndShow(const std::string& text) {
    return "push \"x\", " + quoted(text) + ", 1, \"XML\"; newobject; setvariable\n"
           "push \"x\"; getvariable; trace\n"
           "push \"x\"; getvariable; push \"status\"; getmember; trace\n";
}

} // namespace

TEST(Xml, StatusCodesAndWhatSurvivesAnError) {
    ScriptRun s(7);
    const std::pair<const char*, const char*> cases[] = {
        {"<a><b/></a>", "<a><b /></a>|0"},
        {"<a>&amp;&lt;&#65;&</a>", "<a>&amp;&lt;A&amp;</a>|0"},
        {"<a A='&apos;x\"'/>", "<a A=\"&apos;x&quot;\" />|0"},
        {"<a>", "<a />|-9"},                       // never closed
        {"<a><b></a><c/>", "<a><b /></a>|-9"},     // closes an outer element
        {"<b><c/></a>", "<b><c /></b>|-10"},       // closes nothing open
        {"<a A/><b/>", "|-6"},                     // a malformed tag loses the whole tree
        {"<a A='x></a>", "|-8"},
        {"<a/><!-- <b/>", "<a />|-5"},
        {"<a/><![CDATA[x", "<a />|-2"},
        {"<?xml v ?><a/><?xml w", "<?xml v ?><a />|-3"},
        {"<!DOCTYPE d [ <!ENTITY e \"v\"> ]><a/>", "<!DOCTYPE d [ <!ENTITY e \"v\"> ]><a />|0"},
        {"<a/ ></a/>", "<a/ />|-10"}, // names run to white space or '>'
        {"<a><![CDATA[<b>]]></a>", "<a>&lt;b&gt;</a>|0"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(s.run(parseAndShow(text)), expected) << text;
}

TEST(Xml, IgnoreWhiteAndNodeAccessors) {
    ScriptRun s(8);
    EXPECT_EQ(s.run(R"(
        push "x"; push 0, "XML"; newobject; setvariable
        push "x"; getvariable; push "ignoreWhite", true; setmember
        push "<r xmlns:p='urn:p'> <p:a id='k'>t</p:a> <b/> </r>", 1, "x"; getvariable; push "parseXML"; callmethod; pop
        push "x"; getvariable; trace
        push "r"; push "x"; getvariable; push "firstChild"; getmember; setvariable
        push "a"; push "r"; getvariable; push "firstChild"; getmember; setvariable
        push "a"; getvariable; push "prefix"; getmember; trace
        push "a"; getvariable; push "localName"; getmember; trace
        push "a"; getvariable; push "namespaceURI"; getmember; trace
        push "a"; getvariable; push "nextSibling"; getmember; push "nodeName"; getmember; trace
        push "a"; getvariable; push "firstChild"; getmember; push "nodeType"; getmember; trace
        push "a"; getvariable; push "previousSibling"; getmember; trace
        push "x"; getvariable; push "idMap"; getmember; push "k"; getmember; push "a"; getvariable; strictequals; trace
    )"),
              "<r xmlns:p=\"urn:p\"><p:a id=\"k\">t</p:a><b /></r>|p|a|urn:p|b|3|null|true");
}

// &nbsp; is the one named entity beyond XML's five that the reader knew.
TEST(Xml, NbspEntityIsANoBreakSpace) {
    ScriptRun s(8);
    EXPECT_EQ(s.run(R"(
        push "x"; push 0, "XML"; newobject; setvariable
        push "<a t='&nbsp;'>x&nbsp;</a>", 1, "x"; getvariable; push "parseXML"; callmethod; pop
        push "x"; getvariable; push "firstChild"; getmember; push "firstChild"; getmember; push "nodeValue"; getmember; trace
        push "x"; getvariable; push "firstChild"; getmember; push "attributes"; getmember; push "t"; getmember; trace
    )"),
              "x\xC2\xA0|\xC2\xA0");
}

// Names split at the first colon unless it ends the name; an element's name that is no
// string reads as one.
TEST(Xml, PrefixAndLocalNameEdges) {
    ScriptRun s(8);
    auto parts = [&](const std::string& name) {
        return s.run("push \"n\"; push \"" + name + "\", 1, 2, \"XMLNode\"; newobject; setvariable\n"
                     "push \"n\"; getvariable; push \"prefix\"; getmember; push \"|\"; add2; "
                     "push \"n\"; getvariable; push \"localName\"; getmember; add2; trace");
    };
    EXPECT_EQ(parts("a:b"), "a|b");
    EXPECT_EQ(parts("a:"), "|a:");
    EXPECT_EQ(parts("a::b"), "a|:b");
    EXPECT_EQ(parts("::"), "|:");
    EXPECT_EQ(s.run(R"(
        push "n"; push "x", 1, 2, "XMLNode"; newobject; setvariable
        push "n"; getvariable; push "nodeName", null; setmember
        push "n"; getvariable; push "localName"; getmember; trace
        push "t"; push "x", 3, 2, "XMLNode"; newobject; setvariable
        push "t"; getvariable; push "localName"; getmember; trace
    )"),
              "null|null");
}

TEST(Xml, TreeEditsKeepChildNodesInStepAndRefuseCycles) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        push "x", "<r><a/><b/></r>", 1, "XML"; newobject; setvariable
        push "r"; push "x"; getvariable; push "firstChild"; getmember; setvariable
        push "a"; push "r"; getvariable; push "firstChild"; getmember; setvariable
        push "b"; push "r"; getvariable; push "lastChild"; getmember; setvariable
        push "fake", 1, "r"; getvariable; push "childNodes"; getmember; push "push"; callmethod; pop
        push "r"; getvariable; push "childNodes"; getmember; trace
        push "a"; getvariable; push 1, "b"; getvariable; push "appendChild"; callmethod; pop
        push "r"; getvariable; trace
        push "r"; getvariable; push "childNodes"; getmember; trace
        push "r"; getvariable; push 1, "a"; getvariable; push "appendChild"; callmethod; pop
        push "r"; getvariable; trace
        push "c"; push true, 1, "r"; getvariable; push "cloneNode"; callmethod; setvariable
        push "c"; getvariable; push "parentNode"; getmember; trace
        push 0, "b"; getvariable; push "removeNode"; callmethod; pop
        push "r"; getvariable; trace
        push "c"; getvariable; trace
        push "t"; push "<&>", 1, "x"; getvariable; push "createTextNode"; callmethod; setvariable
        push "t"; getvariable; push 1, "r"; getvariable; push "appendChild"; callmethod; pop
        push "r"; getvariable; trace
    )"),
              "<a />,<b />,fake|<r><b><a /></b></r>|<b><a /></b>|<r><b><a /></b></r>|null|<r />|"
              "<r><b><a /></b></r>|<r>&lt;&amp;&gt;</r>");
}

// Elements with an id are stored as they join the tree: on the document before Flash 8
// (a setter sees the tree built so far), on idMap from Flash 8 (kept when a script set
// one). A clean parse leaves no status or declarations on the document.
TEST(Xml, IdsAreStoredAsTheTreeGrows) {
    const char* script = R"(
        push "x"; push 0, "XML"; newobject; setvariable
        push "x"; getvariable; push "idMap"; getmember; typeof; trace
        function (v) { push "x"; getvariable; trace }
        function () { }
        push "k", 3, "x"; getvariable; push "addProperty"; callmethod; pop
        push "<a><b id='k'/><c/></a>", 1, "x"; getvariable; push "parseXML"; callmethod; pop
        push "status", 1, "x"; getvariable; push "hasOwnProperty"; callmethod; trace
        push "y", "<a id='1'/>", 1, "XML"; newobject; setvariable
        push "y"; getvariable; push "1"; getmember; trace
        push "y"; getvariable; push "idMap"; getmember; push "1"; getmember; trace
    )";
    ScriptRun s7(7);
    EXPECT_EQ(s7.run(script), "undefined|<a><b id=\"k\" /></a>|false|<a id=\"1\" />|undefined");
    ScriptRun s8(8);
    EXPECT_EQ(s8.run(script), "undefined|false|undefined|<a id=\"1\" />");
    EXPECT_EQ(s8.run(R"(
        push "z"; push 0, "XML"; newobject; setvariable
        push "z"; getvariable; push "idMap", 2; setmember
        push "<a id='1'/>", 1, "z"; getvariable; push "parseXML"; callmethod; pop
        push "z"; getvariable; push "idMap"; getmember; trace
        push "<a><b>", 1, "z"; getvariable; push "parseXML"; callmethod; pop
        push "z"; getvariable; push "status"; getmember; trace
        push "<a/>", 1, "z"; getvariable; push "parseXML"; callmethod; pop
        push "z"; getvariable; push "status"; getmember; trace
    )"),
              "2|-9|0");
}

// A document has no name: it reads null but has no prefix and writes no tag, while an
// element renamed to null writes <null />; undefined leaves a name alone. Attribute
// names take entities; appending a node to its own parent keeps the order.
TEST(Xml, NamesAttributesAndReappending) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        push "x", "<r a='1' &amp;='&amp;'><a/><b/></r>", 1, "XML"; newobject; setvariable
        push "x"; getvariable; push "nodeName"; getmember; trace
        push "x"; getvariable; push "prefix"; getmember; trace
        push "r"; push "x"; getvariable; push "firstChild"; getmember; setvariable
        push "r"; getvariable; push "attributes"; getmember; push "&"; getmember; trace
        push "r"; getvariable; push 1, "r"; getvariable; push "firstChild"; getmember; push "appendChild"; callmethod; pop
        push "r"; getvariable; push "childNodes"; getmember; trace
        push "n"; push "q", 1, 2, "XMLNode"; newobject; setvariable
        push "n"; getvariable; push "nodeName", undefined; setmember
        push "n"; getvariable; trace
        push "n"; getvariable; push "nodeName", null; setmember
        push "n"; getvariable; trace
        push "n"; getvariable; push "prefix"; getmember; trace
    )"),
              "null|null|&|<a />,<b />|<q />|<null />|");
}

// Loading again forgets the last size; ASnative(252, 1) is Array's push.
TEST(LoadVars, NewLoadForgetsTheSizeAndArrayNativesExist) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        push "l"; push 0, "LoadVars"; newobject; setvariable
        push "x", 1, "l"; getvariable; push "load"; callmethod; pop
        push 0, "l"; getvariable; push "getBytesTotal"; callmethod; trace
        push "a"; push 0, "Array"; newobject; setvariable
        push "p"; push 1, 252, 2, "ASnative"; callfunction; setvariable
        push 7, "a"; getvariable; push 2, "p"; getvariable; push "call"; callmethod; pop
        push "a"; getvariable; trace
    )"),
              "undefined|7");
}

// LoadVars is a Flash 6 class: a Flash 5 movie makes one but sees none of its members.
TEST(LoadVars, HiddenMembersInFlash5) {
    ScriptRun s(5);
    EXPECT_EQ(s.run(R"(
        push "l"; push 0, "LoadVars"; newobject; setvariable
        push "a=1", 1, "l"; getvariable; push "decode"; callmethod; trace
        push "l"; getvariable; push "a"; getmember; trace
    )"),
              "undefined|undefined");
}

TEST(LoadVars, DecodeAndToString) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        push "l"; push 0, "LoadVars"; newobject; setvariable
        push "a=b&%26=%3d&=skipped&c&d=1+2", 1, "l"; getvariable; push "decode"; callmethod; pop
        push "l"; getvariable; push "a"; getmember; trace
        push "l"; getvariable; push "&"; getmember; trace
        push "l"; getvariable; push "c"; getmember; trace
        push "l"; getvariable; push "d"; getmember; trace
        push "n"; push 0, "LoadVars"; newobject; setvariable
        push "n"; getvariable; push "x", "a b"; setmember
        push "n"; getvariable; push "y", "&"; setmember
        push "n"; getvariable; trace
    )"),
              "b|=||1 2|x=a%20b&y=%26");
}

// decode answers false only when given nothing; toString escapes each name before its
// value and gathers the pairs through Array's push.
TEST(LoadVars, DecodeAnswerAndToStringThroughScriptFunctions) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        push "l"; push 0, "LoadVars"; newobject; setvariable
        push 0, "l"; getvariable; push "decode"; callmethod; trace
        push "x=1", 1, "l"; getvariable; push "decode"; callmethod; trace
        push "Array"; getvariable; push "prototype"; getmember; push "push"
        function (v) { push "pushed "; push "v"; getvariable; add2; trace; push 0; return }
        setmember
        push "_global"; getvariable; push "escape"
        function (t) { push "esc "; push "t"; getvariable; add2; trace; push "t"; getvariable; return }
        setmember
        push "["; push 0, "l"; getvariable; push "toString"; callmethod; add2; trace
    )"),
              "false|undefined|esc x|esc 1|pushed x=1|[");
}

TEST(LoadVars, LoadsFinishOnTheNextDeliveryAndFailWithoutAFile) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        push "l"; push 0, "LoadVars"; newobject; setvariable
        push "l"; getvariable; push "onLoad"
        function (ok) { push "onLoad "; push "ok"; getvariable; add2; trace }
        setmember
        push 0, "l"; getvariable; push "load"; callmethod; trace
        push "http://example.com/x", 1, "l"; getvariable; push "load"; callmethod; trace
        push "l"; getvariable; push "loaded"; getmember; trace
        push 0, "l"; getvariable; push "getBytesLoaded"; callmethod; trace
    )"),
              "false|true|false|0");
    s.lines.clear();
    s.vm.runIntervals(); // the fake host reads no files
    ASSERT_EQ(s.lines.size(), 1u);
    EXPECT_EQ(s.lines[0], "onLoad false");
    // An onLoad that loads again waits for the next delivery instead of looping.
    s.run(R"(
        push "l"; getvariable; push "onLoad"
        function (ok) { push "again"; trace; push "x", 1, "l"; getvariable; push "load"; callmethod; pop }
        setmember
        push "x", 1, "l"; getvariable; push "load"; callmethod; pop
    )");
    s.lines.clear();
    s.vm.runIntervals();
    s.vm.runIntervals();
    EXPECT_EQ(s.lines.size(), 2u);
}
