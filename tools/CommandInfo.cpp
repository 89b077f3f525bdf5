// orvane-tool info: what a movie's header and tag headers say, as text or JSON.
// Everything printed is gathered first into MovieFacts; a new fact is a field there plus
// one line in each printer (counters need only be added to `counters`).

#include "CommandRegistry.h"
#include "InputFile.h"
#include "shell/MovieSize.h"
#include "swf/format/Media.h"
#include "swf/format/TagCode.h"
#include "swf/io/BodyStream.h"
#include "swf/movie/Movie.h"
#include "swf/video/VideoCodec.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace orvane::tool {
namespace {

const char kUsage[] = "usage: orvane-tool info MOVIE.swf [--json]\n"
                      "\n"
                      "Prints the movie's signature, version, declared length, stage size (as the player\n"
                      "sizes its window, Xmax/20 x Ymax/20, and as the rectangle's extent), frame rate,\n"
                      "frame count and the number of root-timeline tags of each code. Bodies up to\n"
                      "64 MiB also get the engine's count of unknown and broken tags and a line for\n"
                      "each embedded video stream: its codec, size, frames and keyframes.\n";

int run(const std::vector<std::string>& args);
const Command kInfo{"info", "print a movie's header facts and tag counts", kUsage, run};
const CommandRegistration kRegistration(kInfo);

// Bodies the player would refuse are refused here too.
constexpr std::size_t kMaxBody = swf::movie::kMaxBodySize;
constexpr std::size_t kDeflateRatio = swf::movie::kMaxCompressionRatio;
// Bodies up to this size also get the engine's full pass (engine_* counters).
constexpr std::size_t kMaxEngineBody = std::size_t(64) << 20;

struct TagCount {
    std::uint16_t code = 0;
    std::uint64_t count = 0;
};

struct VideoStreamFacts {
    std::uint16_t id = 0;
    std::uint8_t codec = 0;
    int width = 0, height = 0;
    int declaredFrames = 0;
    std::size_t packets = 0, keyframes = 0;
    int deblocking = 0;
    bool smoothing = false;
};

struct MovieFacts {
    std::string path;
    std::string signature; // FWS, CWS or ZWS
    int version = 0;
    std::uint32_t declaredLength = 0;
    std::uint64_t fileSize = 0;
    std::uint64_t bodyLength = 0; // after the 8-byte header, decompressed
    int width = 0, height = 0;    // the player's window rule: Xmax / 20, Ymax / 20
    std::int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    std::uint16_t frameRateRaw = 0; // 8.8
    std::uint16_t frameCount = 0;   // declared
    std::vector<TagCount> tags;     // root timeline, by code
    // Named counters printed in both formats (show_frames, tags_total, unknown_tags, ...).
    std::vector<std::pair<std::string, std::uint64_t>> counters;
    std::vector<std::string> problems; // what does not add up; the movie may still play
    std::vector<VideoStreamFacts> videos; // from the engine's pass
    std::string scriptMachine;            // which script machine plays the movie
    std::uint8_t fileAttributes = 0;      // the first flags byte of FileAttributes

    double frameRate() const { return frameRateRaw / 256.0; }
    int extentWidth() const { return static_cast<int>((std::int64_t(xMax) - xMin) / 20); }
    int extentHeight() const { return static_cast<int>((std::int64_t(yMax) - yMin) / 20); }
};

struct Bits {
    const std::vector<std::uint8_t>& data;
    std::size_t bit = 0;
    std::int32_t sb(int n) {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++bit)
            v = v << 1 | ((data[bit / 8] >> (7 - bit % 8)) & 1u);
        if (n > 0 && n < 32 && (v >> (n - 1)) & 1u)
            v |= ~0u << n;
        return static_cast<std::int32_t>(v);
    }
};

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// The player runs DoABC code when FileAttributes flags ActionScript 3, and AS1/2 actions
// otherwise; the other machine's tags are then ignored, which is worth saying.
std::string scriptMachineOf(std::uint8_t fileAttributes, const std::map<std::uint16_t, std::uint64_t>& counts) {
    auto has = [&](std::uint16_t code) { return counts.count(code) > 0; };
    const bool abc = has(72) || has(82);          // DoABC, DoABC2
    const bool actions = has(12) || has(59);      // DoAction, DoInitAction
    if (fileAttributes & 0x08)
        return actions ? "ActionScript 3 (its AS1/2 actions are ignored)" : "ActionScript 3";
    if (abc)
        return "ActionScript 1/2 (its DoABC code is ignored: FileAttributes does not flag ActionScript 3)";
    return "ActionScript 1/2";
}

// Walks the root tag headers from the stream's position; tag bodies are passed over
// without being kept, so a body of any size is walked in the stream's small window.
void walkTags(swf::io::BodyStream& body, MovieFacts& facts) {
    std::map<std::uint16_t, std::uint64_t> counts;
    std::uint64_t total = 0, unknown = 0;
    bool sawEnd = false;
    for (;;) {
        const std::uint64_t at = body.position();
        std::uint8_t head[6];
        const std::size_t got = body.read(head, 2);
        if (got == 0)
            break;
        if (got < 2) {
            facts.problems.push_back("a tag header is cut off at offset " + std::to_string(at + 8));
            break;
        }
        const std::uint16_t tag = static_cast<std::uint16_t>(head[0] | head[1] << 8);
        const std::uint16_t code = tag >> 6;
        std::uint64_t length = tag & 0x3F;
        if (length == 0x3F) {
            if (body.read(head + 2, 4) < 4) {
                facts.problems.push_back("a long tag header is cut off at offset " + std::to_string(at + 8));
                break;
            }
            length = le32(head + 2);
        }
        std::uint64_t passed = 0;
        if (code == 69 && length > 0) { // FileAttributes
            std::uint8_t flags = 0;
            passed = body.read(&flags, 1);
            facts.fileAttributes = flags;
        }
        passed += body.skip(length - passed);
        if (passed < length) {
            facts.problems.push_back("tag " + std::to_string(code) + " at offset " + std::to_string(at + 8) +
                                     " runs past the end of the movie");
            break;
        }
        ++counts[code];
        ++total;
        if (!swf::format::isKnownTag(code))
            ++unknown;
        if (code == 0) {
            sawEnd = true;
            break;
        }
    }
    const std::uint64_t after = body.skip(UINT64_MAX);
    if (!sawEnd)
        facts.problems.push_back("no End tag");
    else if (after > 0)
        facts.problems.push_back(std::to_string(after) + " bytes after the End tag");
    for (const auto& [code, count] : counts)
        facts.tags.push_back({code, count});
    facts.scriptMachine = scriptMachineOf(facts.fileAttributes, counts);
    facts.counters.emplace_back("show_frames", counts.count(1) ? counts[1] : 0);
    facts.counters.emplace_back("tags_total", total);
    facts.counters.emplace_back("unknown_tags", unknown);
}

void gatherVideos(const swf::movie::Movie& movie, MovieFacts& facts) {
    for (std::uint32_t id = 0; id <= 0xFFFF; ++id) {
        const auto* ch = movie.character(static_cast<std::uint16_t>(id));
        if (!ch || ch->kind != swf::format::CharacterKind::VideoStream)
            continue;
        const auto& v = static_cast<const swf::format::VideoStreamCharacter&>(*ch);
        VideoStreamFacts f{v.id, v.codec, v.width, v.height, v.frameCount, v.frames.size(), 0, v.deblocking,
                           v.smoothing};
        for (const auto& [number, bytes] : v.frames)
            f.keyframes += swf::video::isKeyframe(v.codec, bytes) ? 1 : 0;
        facts.videos.push_back(f);
    }
}

// The engine's own pass over every timeline (what it skips as unknown and as broken, the
// video streams) decodes every definition, so it is left out for large bodies.
void gatherFromEngine(const std::string& path, MovieFacts& facts) {
    std::string why;
    auto file = readInputFile(path, kMaxBody + 8, why);
    if (!file || file->size() < 8)
        return;
    if (facts.signature == "FWS") { // the whole file is the body, as walked
        const auto length = static_cast<std::uint32_t>(file->size());
        for (int k = 0; k < 4; ++k)
            (*file)[4 + k] = static_cast<std::uint8_t>(length >> (8 * k));
    }
    std::string engineError;
    if (auto movie = swf::movie::Movie::fromBytes(std::move(*file), engineError)) {
        facts.counters.emplace_back("engine_unknown_tags", movie->tagStats().unknownTotal());
        facts.counters.emplace_back("engine_broken_tags", movie->tagStats().brokenTotal());
        gatherVideos(*movie, facts);
    }
}

// Fills facts from the file; returns the reason when the file is no usable movie. The body
// streams through a small window: memory stays bounded whatever the movie claims or holds.
std::optional<std::string> gather(const std::string& path, MovieFacts& facts) {
    std::string why;
    std::uint64_t fileSize = 0;
    const int fd = openInputFile(path, fileSize, why);
    if (fd < 0)
        return why;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    auto readExactly = [&](std::uint8_t* into, std::size_t n) {
        std::size_t got = 0;
        while (got < n) {
            const std::size_t k = readSome(fd, into + got, n - got, why);
            if (k == 0)
                break;
            got += k;
        }
        return got;
    };
    facts.path = path;
    facts.fileSize = fileSize;
    std::uint8_t head[12];
    if (readExactly(head, 8) < 8)
        return why.empty() ? std::string("too short for an SWF header") : why;
    facts.signature.assign(head, head + 3);
    if (facts.signature != "FWS" && facts.signature != "CWS" && facts.signature != "ZWS")
        return std::string("not an SWF movie (no FWS, CWS or ZWS signature)");
    facts.version = head[3];
    facts.declaredLength = le32(&head[4]);
    const std::size_t declaredBody = facts.declaredLength >= 8 ? facts.declaredLength - 8 : 0;
    if (declaredBody > kMaxBody)
        return "declares a body of " + std::to_string(declaredBody) + " bytes, past the " +
               std::to_string(kMaxBody >> 20) + " MiB limit";

    using Codec = swf::io::BodyStream::Codec;
    Codec codec = Codec::None;
    std::uint64_t limit = 0;
    if (facts.signature == "FWS") {
        if (fileSize > kMaxBody + 8)
            return "larger than the " + std::to_string(kMaxBody >> 20) + " MiB this command reads";
        if (fileSize != facts.declaredLength)
            facts.problems.push_back("file size differs from the declared length");
        limit = fileSize - 8;
    } else {
        const bool zlib = facts.signature == "CWS";
        codec = zlib ? Codec::Zlib : Codec::SwfLzma;
        if (!zlib && readExactly(head + 8, 4) < 4)
            return std::string("too short for an LZMA header");
        // Never more than the header declares, nor than deflate's largest expansion allows.
        const std::uint64_t packed = fileSize - (zlib ? 8 : 12);
        limit = std::min<std::uint64_t>(declaredBody, packed * kDeflateRatio + 64);
    }
    swf::io::BodyStream body(
        codec, [&](std::uint8_t* into, std::size_t max, std::string& error) { return readSome(fd, into, max, error); },
        limit);

    std::vector<std::uint8_t> header(1);
    if (body.read(header.data(), 1) < 1)
        return body.error().empty() ? std::string("no movie header after the first 8 bytes")
                                    : "no movie header after the first 8 bytes: " + body.error();
    const int nbits = header[0] >> 3;
    const std::size_t rectBytes = (5 + 4 * static_cast<std::size_t>(nbits) + 7) / 8;
    header.resize(rectBytes + 4);
    if (body.read(header.data() + 1, header.size() - 1) < header.size() - 1)
        return std::string("movie header is cut off");
    Bits bits{header, 5};
    facts.xMin = bits.sb(nbits);
    facts.xMax = bits.sb(nbits);
    facts.yMin = bits.sb(nbits);
    facts.yMax = bits.sb(nbits);
    facts.frameRateRaw = static_cast<std::uint16_t>(header[rectBytes] | header[rectBytes + 1] << 8);
    facts.frameCount = static_cast<std::uint16_t>(header[rectBytes + 2] | header[rectBytes + 3] << 8);
    walkTags(body, facts);
    facts.bodyLength = body.position();
    if (codec != Codec::None) {
        if (limit < declaredBody && facts.bodyLength == limit && body.pastLimit())
            return std::string("compressed body expands more than deflate's largest ratio allows");
        if (!body.error().empty())
            facts.problems.push_back("compressed body is damaged: " + body.error());
        if (facts.bodyLength + 8 != facts.declaredLength)
            facts.problems.push_back("decompressed size differs from the declared length");
    }
    try {
        facts.width = MovieWidth(path);
        facts.height = MovieHeight(path);
    } catch (const std::exception& e) {
        return std::string("stage size unreadable: ") + e.what();
    }
    if (facts.bodyLength <= kMaxEngineBody)
        gatherFromEngine(path, facts);
    return std::nullopt;
}

std::string tagLabel(std::uint16_t code) {
    const char* name = swf::format::tagName(code);
    return name ? name : "unknown";
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

void printText(const MovieFacts& f) {
    std::printf("file: %s\n", f.path.c_str());
    std::printf("signature: %s\n", f.signature.c_str());
    std::printf("version: %d\n", f.version);
    std::printf("declared length: %u\n", f.declaredLength);
    std::printf("file size: %llu\n", static_cast<unsigned long long>(f.fileSize));
    std::printf("body length: %llu\n", static_cast<unsigned long long>(f.bodyLength));
    std::printf("stage: %d x %d px (window size)\n", f.width, f.height);
    std::printf("stage extent: %d x %d px (twips %d..%d x %d..%d)\n", f.extentWidth(), f.extentHeight(),
                f.xMin, f.xMax, f.yMin, f.yMax);
    std::printf("frame rate: %.2f fps\n", f.frameRate());
    std::printf("frame count: %u\n", f.frameCount);
    std::printf("script machine: %s\n", f.scriptMachine.c_str());
    for (const auto& [name, value] : f.counters) {
        std::string label = name;
        std::replace(label.begin(), label.end(), '_', ' ');
        std::printf("%s: %llu\n", label.c_str(), static_cast<unsigned long long>(value));
    }
    std::printf("tags:\n");
    for (const TagCount& t : f.tags)
        std::printf("  %3u %-28s %llu\n", t.code, tagLabel(t.code).c_str(),
                    static_cast<unsigned long long>(t.count));
    for (const VideoStreamFacts& v : f.videos)
        std::printf("video stream %u: %s (codec %u), %d x %d px, %d frames declared, %zu packets, %zu keyframes, "
                    "deblocking %d, smoothing %s%s\n",
                    v.id, swf::video::codecName(v.codec).c_str(), v.codec, v.width, v.height, v.declaredFrames,
                    v.packets, v.keyframes, v.deblocking, v.smoothing ? "on" : "off",
                    swf::video::isSupportedCodec(v.codec) ? "" : " (not decoded)");
    for (const std::string& p : f.problems)
        std::printf("problem: %s\n", p.c_str());
}

void printJson(const MovieFacts& f) {
    std::printf("{\n");
    std::printf("  \"file\": %s,\n", jsonString(f.path).c_str());
    std::printf("  \"signature\": \"%s\",\n", f.signature.c_str());
    std::printf("  \"version\": %d,\n", f.version);
    std::printf("  \"declared_length\": %u,\n", f.declaredLength);
    std::printf("  \"file_size\": %llu,\n", static_cast<unsigned long long>(f.fileSize));
    std::printf("  \"body_length\": %llu,\n", static_cast<unsigned long long>(f.bodyLength));
    std::printf("  \"width\": %d,\n  \"height\": %d,\n", f.width, f.height);
    std::printf("  \"extent_width\": %d,\n  \"extent_height\": %d,\n", f.extentWidth(), f.extentHeight());
    std::printf("  \"stage_twips\": {\"xmin\": %d, \"xmax\": %d, \"ymin\": %d, \"ymax\": %d},\n", f.xMin,
                f.xMax, f.yMin, f.yMax);
    std::printf("  \"frame_rate\": %.4f,\n", f.frameRate());
    std::printf("  \"frame_rate_raw\": %u,\n", f.frameRateRaw);
    std::printf("  \"frame_count\": %u,\n", f.frameCount);
    std::printf("  \"script_machine\": %s,\n", jsonString(f.scriptMachine).c_str());
    for (const auto& [name, value] : f.counters)
        std::printf("  %s: %llu,\n", jsonString(name).c_str(), static_cast<unsigned long long>(value));
    std::printf("  \"tags\": [");
    for (std::size_t i = 0; i < f.tags.size(); ++i)
        std::printf("%s\n    {\"code\": %u, \"name\": \"%s\", \"count\": %llu}", i ? "," : "", f.tags[i].code,
                    tagLabel(f.tags[i].code).c_str(), static_cast<unsigned long long>(f.tags[i].count));
    std::printf("%s],\n", f.tags.empty() ? "" : "\n  ");
    std::printf("  \"video_streams\": [");
    for (std::size_t i = 0; i < f.videos.size(); ++i) {
        const VideoStreamFacts& v = f.videos[i];
        std::printf("%s\n    {\"id\": %u, \"codec\": %u, \"codec_name\": %s, \"width\": %d, \"height\": %d, "
                    "\"declared_frames\": %d, \"packets\": %zu, \"keyframes\": %zu, \"deblocking\": %d, "
                    "\"smoothing\": %s}",
                    i ? "," : "", v.id, v.codec, jsonString(swf::video::codecName(v.codec)).c_str(), v.width, v.height,
                    v.declaredFrames, v.packets, v.keyframes, v.deblocking, v.smoothing ? "true" : "false");
    }
    std::printf("%s],\n", f.videos.empty() ? "" : "\n  ");
    std::printf("  \"problems\": [");
    for (std::size_t i = 0; i < f.problems.size(); ++i)
        std::printf("%s%s", i ? ", " : "", jsonString(f.problems[i]).c_str());
    std::printf("]\n}\n");
}

int run(const std::vector<std::string>& args) {
    std::string path;
    bool json = false;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else if (!a.empty() && a[0] == '-')
            return failUsage(kInfo, "unknown option '" + a + "'");
        else if (path.empty())
            path = a;
        else
            return failUsage(kInfo, "more than one movie given");
    }
    if (path.empty())
        return failUsage(kInfo, "a movie is required");

    MovieFacts facts;
    if (const auto reason = gather(path, facts))
        return failInput(path, *reason);
    json ? printJson(facts) : printText(facts);
    return kExitOk;
}

} // namespace
} // namespace orvane::tool
