#include "swf/text/FieldState.h"

#include "swf/text/DeviceFaces.h"
#include "swf/text/EmbeddedFace.h"
#include "swf/text/FieldDefinition.h"
#include "swf/text/HtmlText.h"

#include <algorithm>

namespace swf::text {

FieldState::FieldState(double x, double y, double width, double height)
    : m_newFormat(TextFormat::fieldDefault()), m_initialFormat(m_newFormat) {
    m_props.x = x;
    m_props.y = y;
    m_props.width = width;
    m_props.height = height;
}

FieldState::FieldState(const format::EditTextCharacter& field, const format::FontCharacter* font)
    : m_newFormat(definitionFormat(field, font)), m_initialFormat(m_newFormat) {
    m_props.x = field.bounds.xMin;
    m_props.y = field.bounds.yMin;
    m_props.width = double(field.bounds.width());
    m_props.height = double(field.bounds.height());
    m_props.html = field.html;
    m_props.multiline = field.multiline;
    m_props.wordWrap = field.wordWrap;
    m_props.password = field.password;
    m_props.selectable = !field.noSelect;
    m_props.border = m_props.background = field.border;
    m_props.embedFonts = field.useOutlines;
    m_props.type = field.readOnly ? FieldType::Dynamic : FieldType::Input;
    m_props.autoSize = field.autoSize ? AutoSize::Left : AutoSize::None;
    m_props.maxChars = field.maxLength.value_or(0);
    m_props.variable = field.variableName;
    m_content = definitionContent(field, m_newFormat);
    m_initialContent = m_content;
    setFont(font);
}

void FieldState::restoreInitialText() {
    m_content = m_initialContent;
    touch();
}

void FieldState::setFont(const format::FontCharacter* font) {
    m_font = font;
    m_embedded = font && hasOutlines(*font) ? std::make_shared<EmbeddedFace>(*font) : nullptr;
    touch();
}

void FieldState::setFontLookup(FontLookup lookup) {
    m_lookup = std::move(lookup);
    touch();
}

namespace {

bool sameFontName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

} // namespace

// Embedded text (the field's font has outlines, or embedFonts is set): a run in the field's
// font uses its outlines; a run in another font uses the movie's embedded font of that name,
// or the field's own outlines when the movie has none. With embedFonts set and no outlines
// to be found a run shows nothing, as Flash Player documents. Other fields use device fonts.
const FontFace* FieldState::faceFor(const TextFormat& f) const {
    const std::string_view name = f.font ? std::string_view(*f.font) : std::string_view();
    if (m_embedded && (!m_lookup || (m_font && sameFontName(m_font->name, name))))
        return m_embedded.get();
    if (!m_embedded && !m_props.embedFonts)
        return deviceFace(f);
    const format::FontCharacter* other = m_lookup ? m_lookup(name, f.bold.value_or(false), f.italic.value_or(false))
                                                  : nullptr;
    if (other && other != m_font && hasOutlines(*other)) {
        std::shared_ptr<const FontFace>& face = (*m_otherFaces)[other];
        if (!face)
            face = std::make_shared<EmbeddedFace>(*other);
        return face.get();
    }
    return m_embedded.get();
}

const TextLayout& FieldState::layout() const {
    // A copy of the state gets its own cache on its first layout.
    if (m_cache.use_count() > 1)
        m_cache = std::make_shared<Cache>();
    Cache& c = *m_cache;
    const std::uint64_t faces = m_embedded ? 0 : deviceFaceGeneration();
    if (c.revision != m_revision || c.faces != faces) {
        c.revision = m_revision;
        c.faces = faces;
        c.layout = layoutText(m_content, box(), [this](const TextFormat& f) { return faceFor(f); });
    }
    return c.layout;
}

void FieldState::setText(std::u16string_view text) {
    m_markupLeftNothing = false;
    m_content.setText(normalizeNewlines(text), m_newFormat);
    selection = {std::min(selection.anchor, length()), std::min(selection.caret, length())};
    touch();
}

std::u16string FieldState::htmlText() const {
    if (m_markupLeftNothing && length() == 0)
        return {}; // markup that made no text leaves no paragraph either
    return toHtml(m_content, m_newFormat);
}

void FieldState::setHtmlText(std::u16string_view html, int swfVersion) {
    if (!m_props.html) {
        setText(html);
        return;
    }
    HtmlOptions o;
    o.condenseWhite = m_props.condenseWhite;
    o.multiline = m_props.multiline || swfVersion < 8;
    // A single-line field keeps one paragraph whatever the markup says, in every version
    // (Flash's traces show <p> joining the text before it); a typed-in line break still breaks.
    o.paragraphs = m_props.multiline;
    o.styles = m_styles.get();
    m_content = parseHtml(html, swfVersion < 8 ? m_initialFormat : m_newFormat, o);
    m_markupLeftNothing = length() == 0;
    // Text set later continues in the format the markup ended with.
    if (length() > 0)
        m_newFormat = m_content.formatAt(length() - 1);
    selection = {std::min(selection.anchor, length()), std::min(selection.caret, length())};
    touch();
}

void FieldState::setNewFormat(const TextFormat& f) {
    m_newFormat.apply(f);
    touch();
}

TextFormat FieldState::textFormat(std::size_t begin, std::size_t end) const {
    if (m_content.size() == 0)
        return m_newFormat;
    return m_content.commonFormat(begin, end);
}

void FieldState::setTextFormat(std::size_t begin, std::size_t end, const TextFormat& f) {
    m_content.setFormat(begin, end, f);
    touch();
}

void FieldState::replaceText(std::size_t begin, std::size_t end, std::u16string_view text) {
    m_content.replace(begin, end, normalizeNewlines(text), m_newFormat);
    touch();
}

void FieldState::replaceSel(std::u16string_view text) {
    const std::size_t b = std::min(selection.begin(), length());
    const std::u16string t = normalizeNewlines(text);
    m_content.replace(b, std::min(selection.end(), length()), t, m_newFormat);
    selection.anchor = selection.caret = b + t.size();
    touch();
}

template <typename F> bool FieldState::edit(F&& op) {
    EditRules rules;
    rules.multiline = m_props.multiline;
    rules.maxChars = m_props.maxChars;
    if (m_props.restrict)
        rules.restrict = Restrict(*m_props.restrict);
    TextEditor editor(m_content, selection, rules);
    const bool changed = op(editor);
    touch(); // the caret moved at least
    return changed;
}

bool FieldState::typeText(std::u16string_view typed) {
    // Typed text continues the format of what precedes the caret.
    const TextFormat f =
        length() && selection.begin() > 0 ? m_content.formatAt(selection.begin() - 1) : m_newFormat;
    return edit([&](TextEditor& e) { return e.insert(typed, f); });
}

bool FieldState::deleteBackward() {
    return edit([](TextEditor& e) { return e.deleteBackward(); });
}

bool FieldState::deleteForward() {
    return edit([](TextEditor& e) { return e.deleteForward(); });
}

void FieldState::moveCaret(CaretMove how, Extend extend, const LineMap* lines) {
    edit([&](TextEditor& e) {
        e.move(how, extend, lines);
        return false;
    });
}

void FieldState::selectAll() {
    selection.anchor = 0;
    selection.caret = length();
    touch();
}

std::u16string FieldState::selectedText() const {
    const std::size_t b = std::min(selection.begin(), length());
    const std::size_t e = std::min(selection.end(), length());
    return m_content.text().substr(b, e - b);
}

FieldBox FieldState::box() const {
    FieldBox b;
    b.width = m_props.width;
    b.height = m_props.height;
    b.wordWrap = m_props.wordWrap;
    b.multiline = m_props.multiline;
    b.password = m_props.password;
    b.autoSize = m_props.autoSize;
    b.emptyFormat = m_newFormat;
    return b;
}

} // namespace swf::text
