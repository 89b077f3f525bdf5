#include "swf/text/TextEditor.h"

#include <algorithm>

namespace swf::text {
namespace {

bool isWordChar(char16_t c) {
    return !(c == u' ' || c == u'\t' || c == u'\r' || c == u'\n');
}
bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

} // namespace

void TextEditor::clampSelection() {
    m_sel.anchor = std::min(m_sel.anchor, m_text.size());
    m_sel.caret = std::min(m_sel.caret, m_text.size());
}

bool TextEditor::insert(std::u16string_view typed, const TextFormat& format) {
    clampSelection();
    std::u16string accepted;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        char16_t c = typed[i];
        if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < typed.size() && typed[i + 1] == u'\n')
                ++i;
            // A single-line field takes pasted text up to its first break.
            if (!m_rules.multiline)
                break;
            accepted.push_back(u'\r');
            continue;
        }
        if (c < 0x20 && c != u'\t')
            continue;
        if (const auto f = m_rules.restrict.filter(c))
            accepted.push_back(*f);
    }
    const std::size_t kept = m_text.size() - (m_sel.end() - m_sel.begin());
    if (m_rules.maxChars > 0) {
        const std::size_t room = m_rules.maxChars > kept ? m_rules.maxChars - kept : 0;
        if (accepted.size() > room) {
            accepted.resize(room);
            // Never leave half a surrogate pair.
            if (!accepted.empty() && accepted.back() >= 0xD800 && accepted.back() < 0xDC00)
                accepted.pop_back();
        }
    }
    if (accepted.empty())
        return false; // a refused key leaves the selection alone
    const std::size_t at = m_sel.begin();
    m_text.replace(at, m_sel.end(), accepted, format);
    m_sel.anchor = m_sel.caret = at + accepted.size();
    return true;
}

bool TextEditor::deleteBackward() {
    clampSelection();
    if (m_sel.empty()) {
        if (m_sel.caret == 0)
            return false;
        std::size_t from = m_sel.caret - 1;
        if (from > 0 && isLowSurrogate(m_text.text()[from]))
            --from;
        m_sel.anchor = from;
    }
    const std::size_t at = m_sel.begin();
    m_text.replace(at, m_sel.end(), {}, {});
    m_sel.anchor = m_sel.caret = at;
    return true;
}

bool TextEditor::deleteForward() {
    clampSelection();
    if (m_sel.empty()) {
        if (m_sel.caret >= m_text.size())
            return false;
        std::size_t to = m_sel.caret + 1;
        if (to < m_text.size() && isLowSurrogate(m_text.text()[to]))
            ++to;
        m_sel.anchor = to;
    }
    const std::size_t at = m_sel.begin();
    m_text.replace(at, m_sel.end(), {}, {});
    m_sel.anchor = m_sel.caret = at;
    return true;
}

std::size_t TextEditor::wordBoundary(std::size_t from, int direction) const {
    const std::u16string& s = m_text.text();
    std::size_t i = from;
    if (direction < 0) {
        while (i > 0 && !isWordChar(s[i - 1]))
            --i;
        while (i > 0 && isWordChar(s[i - 1]))
            --i;
    } else {
        while (i < s.size() && isWordChar(s[i]))
            ++i;
        while (i < s.size() && !isWordChar(s[i]))
            ++i;
    }
    return i;
}

void TextEditor::move(CaretMove how, Extend extend, const LineMap* lines) {
    clampSelection();
    const std::size_t n = m_text.size();
    std::size_t c = m_sel.caret;
    // Without Shift, Left and Right first collapse a selection to its edge.
    if (extend == Extend::No && !m_sel.empty() && (how == CaretMove::Left || how == CaretMove::Right)) {
        c = how == CaretMove::Left ? m_sel.begin() : m_sel.end();
        m_sel.anchor = m_sel.caret = c;
        return;
    }
    switch (how) {
    case CaretMove::Left:
        c = c > 0 ? c - 1 : 0;
        if (c > 0 && isLowSurrogate(m_text.text()[c]))
            --c;
        break;
    case CaretMove::Right:
        c = std::min(n, c + 1);
        if (c < n && isLowSurrogate(m_text.text()[c]))
            ++c;
        break;
    case CaretMove::WordLeft:
        c = wordBoundary(c, -1);
        break;
    case CaretMove::WordRight:
        c = wordBoundary(c, 1);
        break;
    case CaretMove::LineStart:
        c = lines && lines->lineStart ? lines->lineStart(c) : m_text.paragraphStart(c);
        break;
    case CaretMove::LineEnd:
        c = lines && lines->lineEnd ? lines->lineEnd(c) : m_text.paragraphEnd(c);
        break;
    case CaretMove::Up:
    case CaretMove::Down: {
        const int d = how == CaretMove::Up ? -1 : 1;
        if (lines && lines->verticalMove)
            c = lines->verticalMove(c, d);
        else
            c = d < 0 ? 0 : n; // one line: up goes to the start, down to the end
        break;
    }
    case CaretMove::TextStart:
        c = 0;
        break;
    case CaretMove::TextEnd:
        c = n;
        break;
    }
    m_sel.caret = std::min(c, n);
    if (extend == Extend::No)
        m_sel.anchor = m_sel.caret;
}

void TextEditor::selectAll() {
    m_sel.anchor = 0;
    m_sel.caret = m_text.size();
}

std::u16string TextEditor::selectedText() const {
    const std::size_t b = std::min(m_sel.begin(), m_text.size());
    const std::size_t e = std::min(m_sel.end(), m_text.size());
    return m_text.text().substr(b, e - b);
}

} // namespace swf::text
