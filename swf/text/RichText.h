#pragma once
// A field's text with its formats: UTF-16 units (indices are what scripts see) split into
// runs that share one TextFormat. Paragraphs end at '\r'; paragraph properties are kept
// the same over each paragraph, as the player kept them.

#include "swf/text/TextFormat.h"

#include <string>
#include <string_view>
#include <vector>

namespace swf::text {

struct FormatRun {
    std::size_t start = 0;
    TextFormat format;
};

class RichText {
public:
    RichText() = default;
    RichText(std::u16string text, const TextFormat& format) { setText(std::move(text), format); }

    const std::u16string& text() const { return m_text; }
    std::size_t size() const { return m_text.size(); }
    const std::vector<FormatRun>& runs() const { return m_runs; }

    void setText(std::u16string text, const TextFormat& format);
    // Replaces [begin, end) (clamped) with `text` in `format`; the paragraphs touched take
    // the paragraph properties of their first character.
    void replace(std::size_t begin, std::size_t end, std::u16string_view text, const TextFormat& format);
    void append(std::u16string_view text, const TextFormat& format) { replace(size(), size(), text, format); }
    // Sets what `format` sets: character properties over [begin, end), paragraph properties
    // over every paragraph the range touches.
    void setFormat(std::size_t begin, std::size_t end, const TextFormat& format);

    // The format of the character at `i` (the last one past the end); empty when no text.
    TextFormat formatAt(std::size_t i) const;
    // The properties shared by every character of [begin, end).
    TextFormat commonFormat(std::size_t begin, std::size_t end) const;
    // Index of the run holding character `i`.
    std::size_t runIndexAt(std::size_t i) const;

    std::size_t paragraphStart(std::size_t i) const;
    std::size_t paragraphEnd(std::size_t i) const; // index of its '\r', or size()

private:
    void splitAt(std::size_t pos);
    void unifyParagraphs(std::size_t begin, std::size_t end);
    void mergeRuns(std::size_t from, std::size_t to);
    std::size_t paragraphStartIf(bool paragraph, std::size_t i) const;

    std::u16string m_text;
    std::vector<FormatRun> m_runs; // starts ascending, the first at 0; empty when no text
};

// '\n' becomes '\r', the one paragraph break a field holds; "\r\n" stays two breaks, as
// the player counted it.
std::u16string normalizeNewlines(std::u16string_view s);

// UTF-8 to UTF-16 and back for the engine's strings (a byte that is not UTF-8 stands for
// the Latin-1 character of that value).
std::u16string utf8ToUtf16(std::string_view s);
std::string utf16ToUtf8(std::u16string_view s);

} // namespace swf::text
