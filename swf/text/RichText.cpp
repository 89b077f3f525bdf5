#include "swf/text/RichText.h"

#include "swf/io/Utf8.h"

#include <algorithm>

namespace swf::text {

void RichText::setText(std::u16string text, const TextFormat& format) {
    m_text = std::move(text);
    m_runs.clear();
    if (!m_text.empty())
        m_runs.push_back({0, format});
}

std::size_t RichText::runIndexAt(std::size_t i) const {
    const auto it = std::upper_bound(m_runs.begin(), m_runs.end(), i,
                                     [](std::size_t pos, const FormatRun& r) { return pos < r.start; });
    return it == m_runs.begin() ? 0 : std::size_t(it - m_runs.begin()) - 1;
}

TextFormat RichText::formatAt(std::size_t i) const {
    if (m_runs.empty())
        return {};
    return m_runs[runIndexAt(std::min(i, m_text.size() - 1))].format;
}

TextFormat RichText::commonFormat(std::size_t begin, std::size_t end) const {
    end = std::min(end, m_text.size());
    if (begin >= end)
        return formatAt(begin);
    const std::size_t first = runIndexAt(begin);
    TextFormat common = m_runs[first].format;
    for (std::size_t r = first + 1; r < m_runs.size() && m_runs[r].start < end; ++r)
        common.intersect(m_runs[r].format);
    return common;
}

std::size_t RichText::paragraphStart(std::size_t i) const {
    i = std::min(i, m_text.size());
    const std::size_t p = i == 0 ? std::u16string::npos : m_text.rfind(u'\r', i - 1);
    return p == std::u16string::npos ? 0 : p + 1;
}

std::size_t RichText::paragraphStartIf(bool paragraph, std::size_t i) const {
    return paragraph ? paragraphStart(i) : i;
}

std::size_t RichText::paragraphEnd(std::size_t i) const {
    const std::size_t p = m_text.find(u'\r', i);
    return p == std::u16string::npos ? m_text.size() : p;
}

void RichText::splitAt(std::size_t pos) {
    if (pos == 0 || pos >= m_text.size())
        return;
    const std::size_t r = runIndexAt(pos);
    if (m_runs[r].start != pos)
        m_runs.insert(m_runs.begin() + std::ptrdiff_t(r) + 1, FormatRun{pos, m_runs[r].format});
}

void RichText::mergeRuns(std::size_t from, std::size_t to) {
    // Runs that start in [from, to] join their predecessor when they format alike; runs
    // left past the end of the text go.
    while (!m_runs.empty() && m_runs.back().start >= m_text.size())
        m_runs.pop_back();
    if (m_runs.empty())
        return;
    std::size_t r = std::max<std::size_t>(1, runIndexAt(from));
    std::size_t last = runIndexAt(std::min(to, m_text.size() - 1)) + 1;
    std::size_t out = r;
    for (; r < m_runs.size() && r <= last; ++r) {
        if (m_runs[out - 1].format == m_runs[r].format)
            continue;
        if (out != r)
            m_runs[out] = std::move(m_runs[r]);
        ++out;
    }
    if (out != r)
        m_runs.erase(m_runs.begin() + std::ptrdiff_t(out), m_runs.begin() + std::ptrdiff_t(r));
}

void RichText::replace(std::size_t begin, std::size_t end, std::u16string_view text,
                       const TextFormat& format) {
    begin = std::min(begin, m_text.size());
    end = std::clamp(end, begin, m_text.size());
    // Paragraphs need evening out only where breaks come or go, or where the new text's
    // paragraph properties differ from the paragraph it joins.
    const std::size_t neighbour = begin > 0 ? begin - 1 : end;
    const bool unify = text.find(u'\r') != std::u16string_view::npos || m_text.find(u'\r', begin) < end ||
                       (neighbour < m_text.size() && !text.empty() &&
                        m_runs[runIndexAt(neighbour)].format.paragraphPart() != format.paragraphPart());
    splitAt(begin);
    splitAt(end);
    const auto firstAt = [&](std::size_t pos) {
        return std::lower_bound(m_runs.begin(), m_runs.end(), pos,
                                [](const FormatRun& r, std::size_t p) { return r.start < p; });
    };
    // Runs that started inside the replaced range go; runs after it move.
    auto a = firstAt(begin);
    auto b = end == m_text.size() ? m_runs.end() : firstAt(end);
    const std::ptrdiff_t delta = std::ptrdiff_t(text.size()) - std::ptrdiff_t(end - begin);
    for (auto it = b; it != m_runs.end(); ++it)
        it->start = std::size_t(std::ptrdiff_t(it->start) + delta);
    a = m_runs.erase(a, b);
    if (!text.empty())
        m_runs.insert(a, FormatRun{begin, format});
    m_text.replace(begin, end - begin, text);
    if (m_runs.empty() && !m_text.empty())
        m_runs.push_back({0, format});
    if (unify)
        unifyParagraphs(begin, begin + text.size());
    mergeRuns(paragraphStartIf(unify, begin), begin + text.size() + 1);
}

void RichText::setFormat(std::size_t begin, std::size_t end, const TextFormat& format) {
    end = std::min(end, m_text.size());
    if (begin >= end)
        return;
    const TextFormat chars = format.characterPart();
    const TextFormat paras = format.paragraphPart();
    const auto applyOver = [&](std::size_t b, std::size_t e, const TextFormat& f) {
        if (f == TextFormat{} || b >= e)
            return;
        splitAt(b);
        splitAt(e);
        for (std::size_t r = runIndexAt(b); r < m_runs.size() && m_runs[r].start < e; ++r)
            m_runs[r].format.apply(f);
    };
    applyOver(begin, end, chars);
    const std::size_t pb = paras == TextFormat{} ? begin : paragraphStart(begin);
    const std::size_t pe = paras == TextFormat{} ? end : std::min(m_text.size(), paragraphEnd(end - 1) + 1);
    applyOver(pb, pe, paras);
    mergeRuns(pb, pe);
}

void RichText::unifyParagraphs(std::size_t begin, std::size_t end) {
    if (m_text.empty())
        return;
    std::size_t p = paragraphStart(std::min(begin, m_text.size() - 1));
    const std::size_t stop = std::min(m_text.size(), paragraphEnd(std::min(end, m_text.size() - 1)) + 1);
    while (p < stop) {
        const std::size_t pe = std::min(m_text.size(), paragraphEnd(p) + 1);
        const TextFormat para = m_runs[runIndexAt(p)].format.paragraphPart();
        bool same = true;
        for (std::size_t r = runIndexAt(p) + 1; same && r < m_runs.size() && m_runs[r].start < pe; ++r)
            same = m_runs[r].format.paragraphPart() == para;
        if (same) {
            p = pe;
            continue;
        }
        splitAt(p);
        splitAt(pe);
        for (std::size_t r = runIndexAt(p); r < m_runs.size() && m_runs[r].start < pe; ++r)
            m_runs[r].format.apply(para);
        p = pe;
    }
}

std::u16string normalizeNewlines(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out)
        if (c == u'\n')
            c = u'\r';
    return out;
}

std::u16string utf8ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const int extra = lead >= 0xF0 && lead < 0xF8 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
        bool ok = lead < 0x80 || extra > 0;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + std::size_t(k) >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        if (!ok) {
            out.push_back(lead);
            ++i;
            continue;
        }
        i += std::size_t(extra) + 1;
        if (cp >= 0x10000) {
            out.push_back(char16_t(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        const bool pair =
            cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000;
        if (pair)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[++i] - 0xDC00);
        io::appendUtf8(out, cp);
    }
    return out;
}

} // namespace swf::text
