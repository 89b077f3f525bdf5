// E4X on assembled code: children and attributes by name, lists and indexes, descendants,
// assignment, enumeration, conversion to strings and markup, and documents that are not
// well formed.
#include "MachineRun.h"

#include <gtest/gtest.h>

using namespace orvane::testing::avm2run;

namespace {

const std::string kDoc = "getlex XML\npushstring \"<root><item id=\\\"1\\\">one</item><item id=\\\"2\\\">two</item>"
                         "<!-- note --><other/></root>\"\nconstruct 1\nsetlocal1\n";

} // namespace

TEST(Avm2Xml, ReadsChildrenAttributesAndDescendants) {
    EXPECT_EQ(runScript(kDoc + traceOf("getlocal1\ngetproperty item\ncallproperty length 0") +
                        traceOf("getlocal1\ngetproperty item\npushbyte 1\ngetproperty late") +
                        traceOf("getlocal1\ngetproperty item\npushbyte 0\ngetproperty late\ngetproperty @id") +
                        traceOf("getlocal1\ngetdescendants item\ncallproperty length 0") +
                        traceOf("getlocal1\ngetdescendants @id\ncallproperty toXMLString 0") +
                        traceOf("getlocal1\ncallproperty name 0") + traceOf("getlocal1\ncallproperty children 0\ncallproperty length 0") +
                        traceOf("getlocal1\ngetproperty item\npushbyte 0\ngetproperty late\ncallproperty toXMLString 0") +
                        traceOf("getlocal1\ncallproperty toXMLString 0") + traceOf("getlocal1\ntypeof") +
                        traceOf("getlocal1\ngetproperty missing\ncallproperty length 0") +
                        // Simple content converts to its text, so it compares to a string.
                        traceOf("getlocal1\ngetproperty item\npushbyte 1\ngetproperty late\npushstring \"two\"\nequals")),
              (Lines{"2", "two", "1", "2", "1\n2", "root", "3", "<item id=\"1\">one</item>",
                     "<root>\n  <item id=\"1\">one</item>\n  <item id=\"2\">two</item>\n  <other/>\n</root>", "xml", "0",
                     "true"}));
}

TEST(Avm2Xml, AssignsAndEnumerates) {
    EXPECT_EQ(runScript(kDoc + "getlocal1\ngetproperty item\npushbyte 0\ngetproperty late\npushstring \"9\"\nsetproperty @id\n" +
                        "getlocal1\npushstring \"hi & bye\"\nsetproperty added\n" +
                        traceOf("getlocal1\ngetproperty added") + traceOf("getlocal1\ngetproperty added\ncallproperty toXMLString 0") +
                        // for each (i in x.item) trace(i.@id)
                        "getlocal1\ngetproperty item\nsetlocal2\npushbyte 0\nsetlocal3\nloop:\nhasnext2 2 3\niffalse done\n"
                        "findpropstrict trace\ngetlocal2\ngetlocal3\nnextvalue\ngetproperty @id\ncallpropvoid trace 1\njump loop\ndone:\n" +
                        "getlocal1\ndeleteproperty other\npop\n" + traceOf("getlocal1\ncallproperty children 0\ncallproperty length 0") +
                        traceOf("getlex XML\npushstring \"<a>&lt;x&gt; &amp; &#65;</a>\"\nconstruct 1\ncallproperty toString 0") +
                        traceOf("getlex XML\npushstring \"<a>&lt;x&gt; &amp; &#65;</a>\"\nconstruct 1\ncallproperty toXMLString 0")),
              (Lines{"hi & bye", "<added>hi &amp; bye</added>", "9", "2", "3", "<x> & A", "<a>&lt;x&gt; &amp; A</a>"}));
}

TEST(Avm2Xml, RefusesMarkupThatIsNotWellFormed) {
    EXPECT_EQ(runScript("getlex XML\npushstring \"<a><b></a>\"\nconstruct 1\npop\n"),
              (Lines{"TypeError: Error #1085: The element type \"b\" must be terminated by the matching end-tag \"</b>\"."}));
    EXPECT_EQ(runScript("getlex XML\npushstring \"<a/><b/>\"\nconstruct 1\npop\n"),
              (Lines{"TypeError: Error #1088: The markup in the document following the root element must be well-formed."}));
    EXPECT_EQ(runScript("getlex XML\npushstring \"<a x=1/>\"\nconstruct 1\npop\n"),
              (Lines{"TypeError: Error #1090: XML parser failure: element is malformed."}));
    // Nesting past the limit fails instead of exhausting the stack.
    std::string deep;
    for (int i = 0; i < 2000; ++i)
        deep += "<a>";
    EXPECT_EQ(runScript("getlex XML\npushstring \"" + deep + "\"\nconstruct 1\npop\n"),
              (Lines{"TypeError: Error #1090: XML parser failure: element is malformed."}));
    EXPECT_EQ(runScript("pushbyte 1\ncheckfilter\npop\n"),
              (Lines{"TypeError: Error #1123: Filter operator not supported on type int."}));
}

// insertChildAfter/Before put the new child next to the one given (or first / last for null,
// nothing for a node that is not a child); normalize joins adjacent text and drops empty text.
TEST(Avm2Xml, InsertsChildrenBesideOthersAndNormalizes) {
    const std::string xmlString = "callproperty toXMLString 0";
    EXPECT_EQ(runScript("getlex XML\npushfalse\nsetproperty prettyPrinting\n" + kDoc +
                        "getlocal1\ngetlocal1\ngetproperty item\npushbyte 0\ngetproperty late\n"
                        "getlex XML\npushstring \"<new/>\"\nconstruct 1\ncallpropvoid insertChildAfter 2\n"
                        "getlocal1\npushnull\ngetlex XML\npushstring \"<last/>\"\nconstruct 1\ncallpropvoid insertChildBefore 2\n"
                        "getlocal1\npushnull\ngetlex XML\npushstring \"<first/>\"\nconstruct 1\ncallpropvoid insertChildAfter 2\n" +
                        traceOf("getlocal1\n" + xmlString) +
                        traceOf("getlocal1\ngetlex XML\npushstring \"<stranger/>\"\nconstruct 1\npushstring \"x\"\n"
                                "callproperty insertChildBefore 2\ntypeof") +
                        "getlex XML\npushstring \"<t>a</t>\"\nconstruct 1\nsetlocal2\n"
                        "getlocal2\npushstring \"b\"\ncallpropvoid appendChild 1\n"
                        "getlocal2\npushstring \"\"\ncallpropvoid appendChild 1\n" +
                        traceOf("getlocal2\ncallproperty children 0\ncallproperty length 0") +
                        traceOf("getlocal2\ncallproperty normalize 0\ncallproperty children 0\ncallproperty length 0") +
                        traceOf("getlocal2\n" + xmlString)),
              (Lines{"<root><first/><item id=\"1\">one</item><new/><item id=\"2\">two</item><other/><last/></root>",
                     "undefined", "3", "1", "<t>ab</t>"}));
}
