#include "swf/text/HtmlText.h"
#include "swf/text/StyleSheet.h"

#include <gtest/gtest.h>

using namespace swf::text;

namespace {

TextFormat base() {
    TextFormat f = TextFormat::fieldDefault();
    return f;
}

std::u16string u(const char* s) {
    return utf8ToUtf16(s);
}
std::string html(const RichText& t) {
    return utf16ToUtf8(toHtml(t, base()));
}
RichText parse(const char* s, const HtmlOptions& o = {}) {
    return parseHtml(u(s), base(), o);
}

} // namespace

TEST(HtmlText, TagsSetFormatsAndParagraphs) {
    const RichText t =
        parse("<p align='center'>a<b>b<i>c</i></b></p><P>d<font color=\"#ff0000\" size='+2'>e</font>"
              "<br>f<u>g</u><a href=\"x.html\" target=\"_blank\">h</a></P>");
    EXPECT_EQ(t.text(), u"abc\rde\rfgh");
    EXPECT_EQ(t.formatAt(0).align, Align::Center);
    EXPECT_EQ(t.formatAt(1).bold, true);
    EXPECT_EQ(t.formatAt(1).italic, false);
    EXPECT_EQ(t.formatAt(2).italic, true);
    EXPECT_EQ(t.formatAt(4).align, Align::Left);
    EXPECT_EQ(t.formatAt(5).color, 0xFF0000u);
    EXPECT_EQ(t.formatAt(5).size, 14);
    EXPECT_EQ(t.formatAt(4).color, 0u);
    EXPECT_EQ(t.formatAt(8).underline, true);
    EXPECT_EQ(t.formatAt(9).url, "x.html");
    EXPECT_EQ(t.formatAt(9).target, "_blank");

    const RichText li =
        parse("<li>one</li><li>two</li>x<textformat leftmargin='5' indent=\"-3\" tabstops='10,20'>"
              "<p>y</p></textformat>");
    EXPECT_EQ(li.text(), u"one\rtwo\rx\ry");
    EXPECT_EQ(li.formatAt(0).bullet, true);
    EXPECT_EQ(li.formatAt(4).bullet, true);
    EXPECT_EQ(li.formatAt(8).bullet, false);
    EXPECT_EQ(li.formatAt(10).leftMargin, 5);
    EXPECT_EQ(li.formatAt(10).indent, -3);
    EXPECT_EQ(li.formatAt(10).tabStops, (std::vector<int>{10, 20}));
}

TEST(HtmlText, EntitiesAndMalformedMarkup) {
    EXPECT_EQ(parse("&lt;a&gt; &amp;&quot;&apos;&#65;&#x42;&nbsp;").text(), u"<a> &\"'AB\u00A0");
    // Unknown entities, stray ampersands and unknown tags stay as text or vanish quietly.
    EXPECT_EQ(parse("&bogus; & x &#xZZ;").text(), u"&bogus; & x &#xZZ;");
    EXPECT_EQ(parse("<blink>a<img src='x.jpg'>b<span>c</span>").text(), u"abc");
    // End tags that match nothing are ignored; a tag never closed lasts to the end.
    const RichText t = parse("</b></font>a<b>b<i>c");
    EXPECT_EQ(t.text(), u"abc");
    EXPECT_EQ(t.formatAt(2).bold, true);
    EXPECT_EQ(t.formatAt(0).bold, false);
    // An unterminated tag ends the text; attributes may be unquoted or bare.
    EXPECT_EQ(parse("ab<font").text(), u"ab");
    EXPECT_EQ(parse("<font size=20 color>a</font>").formatAt(0).size, 20);
    EXPECT_EQ(parse("").text(), u"");
    EXPECT_EQ(parse("<<<>>>").text(), u">>");
}

TEST(HtmlText, WhiteSpace) {
    // Every line break in the source is a break (CR LF makes two); <tab> is a tab.
    EXPECT_EQ(parse("a\r\nb\nc").text(), u"a\r\rb\rc");
    EXPECT_EQ(parse("<tab>a<br><tab>").text(), u"\ta\r\t");
    // condenseWhite folds every run into one space and drops it at the start of the text
    // and after a break; tabs from <tab> stay, and white space alone leaves nothing.
    HtmlOptions condense;
    condense.condenseWhite = true;
    EXPECT_EQ(parse("  a \t\r\n b  <br> c", condense).text(), u"a b \rc");
    EXPECT_EQ(parse(" \ta<span> \ta</span> \ta", condense).text(), u"a a a");
    EXPECT_EQ(parse("<tab>a <tab>", condense).text(), u"\ta \t");
    EXPECT_EQ(parse(" <span> </span> ", condense).text(), u"");
    // A single-line field drops <br>.
    HtmlOptions single;
    single.multiline = false;
    EXPECT_EQ(parse("<tab>a<br><span>b<br></span>", single).text(), u"\tab");
}

TEST(HtmlText, CanonicalOutput) {
    // As Flash writes it back: the first run's FONT in full, later runs nest what differs.
    RichText t(u"helloworld", base());
    TextFormat big;
    big.size = 100;
    t.setFormat(5, 10, big);
    EXPECT_EQ(html(t), "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" "
                       "LETTERSPACING=\"0\" KERNING=\"0\">hello<FONT SIZE=\"100\">world</FONT></FONT></P>");

    // A trailing break opens no paragraph; empty ones in between are kept; text is escaped.
    const std::string para = "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" "
                             "LETTERSPACING=\"0\" KERNING=\"0\">";
    EXPECT_EQ(html(RichText(u"a<\r\r", base())), para + "a&lt;</FONT></P>" + para + "</FONT></P>");
    EXPECT_EQ(html(RichText()), para + "</FONT></P>");

    // Styles, links, bullets and paragraph formats.
    const RichText rich =
        parse("<textformat leading='2'><li><a href='u' target='t'><b>x</b></a></li></textformat>"
              "<p align='right'><i><u>y</u></i></p>");
    EXPECT_EQ(html(rich), "<TEXTFORMAT LEADING=\"2\"><LI>" + para.substr(para.find("<FONT")) +
                              "<A HREF=\"u\" TARGET=\"t\"><B>x</B></A></FONT></LI></TEXTFORMAT>" +
                              "<P ALIGN=\"RIGHT\">" + para.substr(para.find("<FONT")) +
                              "<I><U>y</U></I></FONT></P>");

    // What is written reads back the same.
    const RichText back = parseHtml(toHtml(rich, base()), base());
    EXPECT_EQ(back.text(), rich.text());
    EXPECT_EQ(toHtml(back, base()), toHtml(rich, base()));
}

TEST(HtmlText, StyleSheets) {
    StyleSheet css;
    EXPECT_TRUE(
        css.parseCss("/* note */ p { color: #00FF00; font-size: 20px }\n"
                     ".warn, a:hover { font-weight: bold; text-decoration: underline; font-family: 'Arial', "
                     "sans-serif; margin-left: 4; text-align: CENTER }"));
    ASSERT_NE(css.style(".warn"), nullptr);
    EXPECT_EQ(css.style(".warn")->at("fontWeight"), "bold");
    EXPECT_NE(css.style("A:HOVER"), nullptr); // tag selectors match any case
    EXPECT_EQ(css.style(".WARN"), nullptr);   // class names keep theirs
    const TextFormat w = css.format(".warn");
    EXPECT_EQ(w.bold, true);
    EXPECT_EQ(w.underline, true);
    EXPECT_EQ(w.font, "Arial");
    EXPECT_EQ(w.leftMargin, 4);
    EXPECT_EQ(w.align, Align::Center);

    HtmlOptions o;
    o.styles = &css;
    const RichText t = parse("<p>a<span class='warn'>b</span></p>c", o);
    EXPECT_EQ(t.formatAt(0).color, 0x00FF00u);
    EXPECT_EQ(t.formatAt(0).size, 20);
    EXPECT_EQ(t.formatAt(1).bold, true);
    EXPECT_EQ(t.formatAt(1).color, 0x00FF00u);
    EXPECT_EQ(t.formatAt(3).color, 0u);

    // Malformed CSS adds nothing.
    StyleSheet bad;
    EXPECT_FALSE(bad.parseCss("p { color: red"));
    EXPECT_FALSE(bad.parseCss("p { color }"));
    EXPECT_FALSE(bad.parseCss("q { color: #fff } orphan"));
    EXPECT_TRUE(bad.selectors().empty());
    EXPECT_EQ(cssNameToCamel("letter-spacing"), "letterSpacing");
}
