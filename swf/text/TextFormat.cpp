#include "swf/text/TextFormat.h"

#include <cctype>
#include <tuple>

namespace swf::text {
namespace {

// Every property once, as member pointers: apply, intersect and the splits walk these lists.
constexpr auto kCharacterProps =
    std::make_tuple(&TextFormat::font, &TextFormat::size, &TextFormat::color, &TextFormat::bold,
                    &TextFormat::italic, &TextFormat::underline, &TextFormat::url, &TextFormat::target,
                    &TextFormat::letterSpacing, &TextFormat::kerning);
constexpr auto kParagraphProps = std::make_tuple(
    &TextFormat::align, &TextFormat::leftMargin, &TextFormat::rightMargin, &TextFormat::indent,
    &TextFormat::blockIndent, &TextFormat::leading, &TextFormat::bullet, &TextFormat::tabStops);

template <class Props, class F> void each(const Props& props, F&& f) {
    std::apply([&](auto... member) { (f(member), ...); }, props);
}
template <class F> void eachProp(F&& f) {
    each(kCharacterProps, f);
    each(kParagraphProps, f);
}

} // namespace

void TextFormat::apply(const TextFormat& other) {
    eachProp([&](auto m) {
        if (other.*m)
            this->*m = other.*m;
    });
}

void TextFormat::intersect(const TextFormat& other) {
    eachProp([&](auto m) {
        if (this->*m != other.*m)
            (this->*m).reset();
    });
}

TextFormat TextFormat::paragraphPart() const {
    TextFormat t = *this;
    each(kCharacterProps, [&](auto m) { (t.*m).reset(); });
    return t;
}

TextFormat TextFormat::characterPart() const {
    TextFormat t = *this;
    each(kParagraphProps, [&](auto m) { (t.*m).reset(); });
    return t;
}

TextFormat TextFormat::fieldDefault() {
    TextFormat t;
    t.font = "Times New Roman";
    t.size = 12;
    t.color = 0;
    t.bold = t.italic = t.underline = false;
    t.url = t.target = "";
    t.letterSpacing = 0;
    t.kerning = false;
    t.align = Align::Left;
    t.leftMargin = t.rightMargin = t.indent = t.blockIndent = t.leading = 0;
    t.bullet = false;
    t.tabStops = std::vector<int>{};
    return t;
}

const char* alignName(Align a) {
    switch (a) {
    case Align::Right:
        return "right";
    case Align::Center:
        return "center";
    case Align::Justify:
        return "justify";
    case Align::Left:
        break;
    }
    return "left";
}

std::optional<Align> alignFromName(std::string_view name) {
    std::string lower;
    for (char c : name)
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    for (Align a : {Align::Left, Align::Right, Align::Center, Align::Justify})
        if (lower == alignName(a))
            return a;
    return std::nullopt;
}

} // namespace swf::text
