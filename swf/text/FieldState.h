#pragma once
// The live state of one text field: its content with formats, the format new text takes,
// what scripts set on it, the selection and the scroll position. Scripts and the user
// change it through these calls; every change bumps `revision` so layouts cached from an
// older state are dropped.

#include "swf/text/RichText.h"
#include "swf/text/StyleSheet.h"
#include "swf/text/TextEditor.h"
#include "swf/text/TextLayout.h"

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string_view>

namespace swf::format {
struct EditTextCharacter;
struct FontCharacter;
} // namespace swf::format

namespace swf::text {

enum class FieldType : std::uint8_t { Dynamic, Input };

struct FieldProperties {
    double x = 0, y = 0, width = 0, height = 0; // the field's box in its own twips
    bool html = false, multiline = false, wordWrap = false, password = false;
    bool selectable = true, border = false, background = false, condenseWhite = false;
    bool embedFonts = false;
    FieldType type = FieldType::Dynamic;
    std::uint32_t borderColor = 0x000000, backgroundColor = 0xFFFFFF;
    AutoSize autoSize = AutoSize::None;
    std::size_t maxChars = 0; // 0: no limit
    std::optional<std::u16string> restrict;
    std::string variable; // the timeline variable the field shows, UTF-8
};

class FieldState {
public:
    // A field made by a script: Times New Roman 12, black, in the given box.
    FieldState(double x, double y, double width, double height);
    // A field placed from the movie: the definition's format and initial text.
    FieldState(const format::EditTextCharacter& field, const format::FontCharacter* font);

    const FieldProperties& properties() const { return m_props; }
    // Changes what scripts set; the content is read again where a flag changes its reading.
    template <typename F> void change(F&& edit) {
        edit(m_props);
        touch();
    }

    const RichText& content() const { return m_content; }
    std::u16string text() const { return m_content.text(); }
    std::size_t length() const { return m_content.size(); }
    void setText(std::u16string_view text);
    // Canonical HTML whatever the html flag; setting reads HTML only when the flag is set.
    std::u16string htmlText() const;
    // Markup starts in the new-text format, which it then leaves as its last character's
    // (a tag left open carries over to text set later), and a single-line field drops its
    // <br>. Movies before SWF 8 start each markup afresh in the format the field was made
    // with (setNewTextFormat does not reach markup there) and break at <br> in any field.
    void setHtmlText(std::u16string_view html, int swfVersion = 8);

    const TextFormat& newFormat() const { return m_newFormat; }
    void setNewFormat(const TextFormat& f);
    TextFormat textFormat(std::size_t begin, std::size_t end) const;
    void setTextFormat(std::size_t begin, std::size_t end, const TextFormat& f);

    void replaceText(std::size_t begin, std::size_t end, std::u16string_view text);
    void replaceSel(std::u16string_view text);

    void setStyleSheet(std::shared_ptr<const StyleSheet> s) { m_styles = std::move(s); }
    const std::shared_ptr<const StyleSheet>& styleSheet() const { return m_styles; }

    // The user's editing, under the field's rules (restrict, maxChars, multiline); true
    // when the text changed.
    bool typeText(std::u16string_view typed);
    bool deleteBackward();
    bool deleteForward();
    void moveCaret(CaretMove how, Extend extend, const LineMap* lines = nullptr);
    void selectAll();
    std::u16string selectedText() const;

    Selection selection;
    // The variable's value the field last showed (fields bound to a variable).
    std::optional<std::string> boundValue;
    // A script named another variable: if that one is unset, the field starts again from
    // its definition's text (Flash's traces show the initial text coming back).
    bool rebound = false;
    void restoreInitialText();
    int scroll = 1;     // first line shown, from 1
    double hscroll = 0; // twips
    // Keyboard focus: a focused field shows its selection and a blinking caret. `caretBlink`
    // counts ticks since the caret last moved; the caret shows while `caretOn`.
    bool focused = false;
    bool caretOn = true;
    std::uint32_t caretBlink = 0;
    void restartBlink() {
        caretBlink = 0;
        caretOn = true;
    }

    FieldBox box() const;
    std::uint64_t revision() const { return m_revision; }
    void touch() { ++m_revision; }

    // Finds one of the movie's embedded fonts for a run's font name (the font's own name or
    // the name it is exported under) and style; null when the movie has none by that name.
    using FontLookup = std::function<const format::FontCharacter*(std::string_view name, bool bold, bool italic)>;
    void setFontLookup(FontLookup lookup);

    // The font the field was defined with. Runs in that font draw with its outlines when
    // it has them; runs in other fonts take the movie's embedded font of their name when
    // the field draws embedded text, else a device font (see faceFor).
    void setFont(const format::FontCharacter* font);
    const format::FontCharacter* font() const { return m_font; }
    // Whether the field draws embedded outlines (its own font's, or others' by name).
    bool usesEmbeddedFont() const { return m_embedded != nullptr || m_props.embedFonts; }
    // The current text laid out (kept until the state or the device faces change).
    const TextLayout& layout() const;

    // What scripts read, in pixels; scroll positions count lines from 1.
    double textWidth() const { return layout().textWidth / 20; }
    double textHeight() const { return layout().textHeight / 20; }
    int maxScroll() const { return layout().maxScroll(m_props.height); }
    int bottomScroll() const { return layout().bottomScroll(scroll, m_props.height); }
    double maxHScroll() const { return std::floor(layout().maxHScroll(m_props.width) / 20); }

private:
    template <typename F> bool edit(F&& op);
    const FontFace* faceFor(const TextFormat& f) const;

    FieldProperties m_props;
    RichText m_content;
    TextFormat m_newFormat;
    TextFormat m_initialFormat; // what markup starts from before SWF 8
    RichText m_initialContent;  // the definition's text
    bool m_markupLeftNothing = false;
    std::shared_ptr<const StyleSheet> m_styles;
    std::uint64_t m_revision = 1;
    const format::FontCharacter* m_font = nullptr;
    std::shared_ptr<const FontFace> m_embedded; // shared by copies of the state
    FontLookup m_lookup;
    // Faces of the other embedded fonts runs use, by font; shared by copies of the state.
    using OtherFaces = std::map<const format::FontCharacter*, std::shared_ptr<const FontFace>>;
    std::shared_ptr<OtherFaces> m_otherFaces = std::make_shared<OtherFaces>();
    struct Cache {
        std::uint64_t revision = 0, faces = 0;
        TextLayout layout;
    };
    mutable std::shared_ptr<Cache> m_cache = std::make_shared<Cache>();
};

} // namespace swf::text
