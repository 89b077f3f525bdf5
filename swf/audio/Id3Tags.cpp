#include "swf/audio/Id3Tags.h"

#include "swf/io/Utf8.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace swf::audio {

namespace {

constexpr std::size_t kV2Header = 10;
constexpr std::size_t kV1Size = 128;
// A tag's frames beyond this many are ignored (a hostile file with millions of tiny frames).
constexpr std::size_t kMaxFrames = 512;

std::uint32_t syncsafe(std::span<const std::uint8_t> b) {
    return (b[0] & 0x7Fu) << 21 | (b[1] & 0x7Fu) << 14 | (b[2] & 0x7Fu) << 7 | (b[3] & 0x7Fu);
}

std::uint32_t bigEndian(std::span<const std::uint8_t> b) {
    std::uint32_t v = 0;
    for (std::uint8_t byte : b)
        v = v << 8 | byte;
    return v;
}

std::string latin1(std::span<const std::uint8_t> b) {
    std::string out;
    for (std::uint8_t c : b) {
        if (c == 0)
            break;
        io::appendUtf8(out, c);
    }
    return out;
}

// UTF-16 up to its first NUL; a byte order mark, when there is one, overrides `bigEndianOrder`.
std::string utf16(std::span<const std::uint8_t> b, bool bigEndianOrder) {
    std::size_t i = 0;
    if (b.size() >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        bigEndianOrder = b[0] == 0xFE;
        i = 2;
    }
    std::string out;
    std::uint32_t high = 0;
    for (; i + 1 < b.size(); i += 2) {
        const std::uint32_t u = bigEndianOrder ? (b[i] << 8 | b[i + 1]) : (b[i + 1] << 8 | b[i]);
        if (u == 0)
            break;
        if (u >= 0xD800 && u < 0xDC00) {
            high = u;
            continue;
        }
        if (u >= 0xDC00 && u < 0xE000) {
            if (high)
                io::appendUtf8(out, 0x10000 + ((high - 0xD800) << 10) + (u - 0xDC00));
            high = 0;
            continue;
        }
        high = 0;
        io::appendUtf8(out, u);
    }
    return out;
}

// Text in one of ID3v2's four encodings, up to its terminator.
std::string decodeText(std::uint8_t encoding, std::span<const std::uint8_t> b) {
    switch (encoding) {
    case 1:
        return utf16(b, false);
    case 2:
        return utf16(b, true);
    case 3: {
        const auto end = std::find(b.begin(), b.end(), std::uint8_t{0});
        return std::string(b.begin(), end);
    }
    default:
        return latin1(b);
    }
}

// Where the text after a terminated string starts (the comment's description is skipped).
std::size_t afterTerminator(std::uint8_t encoding, std::span<const std::uint8_t> b) {
    const bool wide = encoding == 1 || encoding == 2;
    for (std::size_t i = 0; i + (wide ? 1 : 0) < b.size(); i += wide ? 2 : 1)
        if (b[i] == 0 && (!wide || b[i + 1] == 0))
            return i + (wide ? 2 : 1);
    return b.size();
}

void put(Id3Tags& tags, std::string_view name, std::string value) {
    for (auto& [n, v] : tags)
        if (n == name) {
            v = std::move(value);
            return;
        }
    tags.emplace_back(std::string(name), std::move(value));
}

bool has(const Id3Tags& tags, std::string_view name) {
    return std::any_of(tags.begin(), tags.end(), [&](const auto& t) { return t.first == name; });
}

// Version 2.2 names its frames with three letters; the text ones map onto the later names.
std::string frameName(std::string_view id) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kOld = {{
        {"TT2", "TIT2"}, {"TP1", "TPE1"}, {"TAL", "TALB"}, {"TYE", "TYER"}, {"COM", "COMM"},
        {"TCO", "TCON"}, {"TRK", "TRCK"}, {"TCM", "TCOM"}, {"TEN", "TENC"},
    }};
    for (const auto& [from, to] : kOld)
        if (id == from)
            return std::string(to);
    return std::string(id);
}

// Undoes the tag-wide unsynchronisation of versions 2.2 and 2.3: 0xFF 0x00 stands for 0xFF.
std::vector<std::uint8_t> resynchronised(std::span<const std::uint8_t> b) {
    std::vector<std::uint8_t> out;
    out.reserve(b.size());
    for (std::size_t i = 0; i < b.size(); ++i) {
        out.push_back(b[i]);
        if (b[i] == 0xFF && i + 1 < b.size() && b[i + 1] == 0)
            ++i;
    }
    return out;
}

std::size_t v2TagSize(std::span<const std::uint8_t> file) {
    if (file.size() < kV2Header || file[0] != 'I' || file[1] != 'D' || file[2] != '3')
        return 0;
    const bool footer = file[3] == 4 && (file[5] & 0x10);
    return std::min(file.size(), kV2Header + syncsafe(file.subspan(6, 4)) + (footer ? kV2Header : 0));
}

void readV2(std::span<const std::uint8_t> file, Id3Tags& tags) {
    const std::size_t size = v2TagSize(file);
    if (size == 0)
        return;
    const int version = file[3];
    if (version < 2 || version > 4)
        return;
    const std::uint8_t flags = file[5];
    std::vector<std::uint8_t> body(file.begin() + kV2Header,
                                   file.begin() + static_cast<std::ptrdiff_t>(std::max(size, kV2Header)));
    if ((flags & 0x80) && version < 4)
        body = resynchronised(body);
    std::span<const std::uint8_t> b(body);
    if ((flags & 0x40) && version >= 3 && b.size() >= 4) {
        // Extended header: version 2.3 counts the bytes after its size field, 2.4 all of them.
        const std::size_t ext = version == 3 ? bigEndian(b.first(4)) + 4 : syncsafe(b.first(4));
        b = b.subspan(std::min(ext, b.size()));
    }
    const std::size_t idLength = version == 2 ? 3 : 4;
    const std::size_t headerLength = version == 2 ? 6 : 10;
    for (std::size_t n = 0; n < kMaxFrames && b.size() >= headerLength && b[0] != 0; ++n) {
        const std::string id(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(idLength));
        const auto sizeBytes = b.subspan(idLength, version == 2 ? 3 : 4);
        const std::size_t frameSize = version == 4 ? syncsafe(sizeBytes) : bigEndian(sizeBytes);
        if (frameSize > b.size() - headerLength)
            break;
        const auto data = b.subspan(headerLength, frameSize);
        b = b.subspan(headerLength + frameSize);
        const std::string name = frameName(id);
        if (data.empty() || (name[0] != 'T' && name != "COMM") || name == "TXXX")
            continue;
        const std::uint8_t encoding = data[0];
        auto text = data.subspan(1);
        if (name == "COMM") {
            text = text.subspan(std::min<std::size_t>(3, text.size())); // language
            text = text.subspan(afterTerminator(encoding, text));     // short description
        }
        put(tags, name, decodeText(encoding, text));
    }
}

// ID3v1 (and v1.1, whose comment gives its last two bytes to a zero and the track).
void readV1(std::span<const std::uint8_t> file, Id3Tags& tags) {
    if (file.size() < kV1Size)
        return;
    const auto t = file.last(kV1Size);
    if (t[0] != 'T' || t[1] != 'A' || t[2] != 'G')
        return;
    const auto field = [&t](std::size_t at, std::size_t length) {
        std::string s = latin1(t.subspan(at, length));
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        return s;
    };
    const bool v11 = t[125] == 0 && t[126] != 0;
    const std::pair<const char*, std::string> fields[] = {
        {"songname", field(3, 30)},
        {"artist", field(33, 30)},
        {"album", field(63, 30)},
        {"year", field(93, 4)},
        {"comment", field(97, v11 ? 28 : 30)},
        {"genre", std::to_string(t[127])},
        {"track", v11 ? std::to_string(t[126]) : std::string()},
    };
    for (const auto& [name, value] : fields)
        if (!has(tags, name) && !(std::string_view(name) == "track" && value.empty()))
            put(tags, name, value);
}

} // namespace

Id3Tags readId3Tags(std::span<const std::uint8_t> file) {
    Id3Tags tags;
    readV2(file, tags);
    static constexpr std::pair<std::string_view, std::string_view> kShortNames[] = {
        {"TIT2", "songname"}, {"TPE1", "artist"}, {"TALB", "album"}, {"TYER", "year"},
        {"COMM", "comment"},  {"TCON", "genre"},  {"TRCK", "track"},
    };
    for (const auto& [frame, name] : kShortNames)
        for (const auto& [n, v] : Id3Tags(tags))
            if (n == frame)
                put(tags, name, v);
    readV1(file, tags);
    return tags;
}

std::span<const std::uint8_t> mp3Frames(std::span<const std::uint8_t> file) {
    std::span<const std::uint8_t> frames = file.subspan(v2TagSize(file));
    if (frames.size() >= kV1Size && frames[frames.size() - kV1Size] == 'T' &&
        frames[frames.size() - kV1Size + 1] == 'A' && frames[frames.size() - kV1Size + 2] == 'G')
        frames = frames.first(frames.size() - kV1Size);
    return frames;
}

} // namespace swf::audio
