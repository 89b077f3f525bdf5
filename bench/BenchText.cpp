// Text field benchmarks: laying out 1 MB of text in a wrapping field (it must stay well
// under 200 ms), and reading 1 MB of HTML.

#include "swf/text/EmbeddedFace.h"
#include "swf/text/HtmlText.h"
#include "swf/text/TextLayout.h"

#include <benchmark/benchmark.h>

using namespace swf;

namespace {

// An embedded font with the printable ASCII characters, advances varying like a real face,
// and a few kerning pairs.
format::FontCharacter asciiFont() {
    format::FontCharacter f;
    f.version = 2;
    f.hasLayout = true;
    f.ascent = 900;
    f.descent = 200;
    for (std::uint16_t c = 32; c < 127; ++c) {
        f.codes.push_back(c);
        f.advances.push_back(std::int16_t(300 + (c * 37) % 400));
    }
    f.glyphs.resize(f.codes.size());
    f.kerning = {{'A', 'V', -80}, {'T', 'o', -60}, {'L', 'T', -90}};
    return f;
}

// About 1 MB of words and paragraphs.
std::u16string megabyte() {
    static const char16_t* words[] = {u"Flash ", u"text ", u"fields ", u"wrap ",   u"AVATAR ",
                                      u"Total ", u"a ",    u"layout ", u"engine ", u"measures "};
    std::u16string s;
    s.reserve(1 << 20);
    for (std::size_t i = 0; s.size() < (1u << 20); ++i) {
        s += words[(i * 7) % 10];
        if (i % 97 == 96)
            s += u'\r';
    }
    return s;
}

void BM_LayoutMegabyte(benchmark::State& state) {
    const format::FontCharacter font = asciiFont();
    const text::EmbeddedFace face(font);
    text::TextFormat format = text::TextFormat::fieldDefault();
    format.kerning = true;
    const text::RichText content(megabyte(), format);
    text::FieldBox box;
    box.width = 400 * 20;
    box.height = 300 * 20;
    box.wordWrap = true;
    for (auto _ : state) {
        const text::TextLayout l =
            text::layoutText(content, box, [&](const text::TextFormat&) { return &face; });
        benchmark::DoNotOptimize(l.lines.size());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(content.size() * 2));
}
BENCHMARK(BM_LayoutMegabyte)->Unit(benchmark::kMillisecond);

void BM_ParseHtmlMegabyte(benchmark::State& state) {
    std::u16string html;
    while (html.size() < (1u << 20))
        html +=
            u"<p align='left'><font face='_sans' size='12'>plain <b>bold</b> &amp; <i>italic</i></font></p>";
    for (auto _ : state)
        benchmark::DoNotOptimize(text::parseHtml(html, text::TextFormat::fieldDefault()).size());
}
BENCHMARK(BM_ParseHtmlMegabyte)->Unit(benchmark::kMillisecond);

} // namespace
BENCHMARK_MAIN();
