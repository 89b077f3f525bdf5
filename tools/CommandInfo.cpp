// orvane-tool info: what a movie's header and tag headers say, as text or JSON.
// Everything printed is gathered first into MovieFacts; a new fact is a field there plus
// one line in each printer (counters need only be added to `counters`).

#include "CommandRegistry.h"
#include "InputFile.h"
#include "shell/MovieSize.h"
#include "swf/format/Media.h"
#include "swf/format/TagCode.h"
#include "swf/io/Decompress.h"
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

// Walks the root tag headers of the body from `pos`; bodies are skipped by their lengths.
void walkTags(const std::vector<std::uint8_t>& body, std::size_t pos, MovieFacts& facts) {
    std::map<std::uint16_t, std::uint64_t> counts;
    std::uint64_t total = 0, unknown = 0;
    bool sawEnd = false;
    while (pos < body.size()) {
        if (body.size() - pos < 2) {
            facts.problems.push_back("a tag header is cut off at offset " + std::to_string(pos + 8));
            break;
        }
        const std::uint16_t head = static_cast<std::uint16_t>(body[pos] | body[pos + 1] << 8);
        const std::size_t at = pos;
        pos += 2;
        const std::uint16_t code = head >> 6;
        std::uint64_t length = head & 0x3F;
        if (length == 0x3F) {
            if (body.size() - pos < 4) {
                facts.problems.push_back("a long tag header is cut off at offset " + std::to_string(at + 8));
                break;
            }
            length = le32(&body[pos]);
            pos += 4;
        }
        if (length > body.size() - pos) {
            facts.problems.push_back("tag " + std::to_string(code) + " at offset " + std::to_string(at + 8) +
                                     " runs past the end of the movie");
            break;
        }
        if (code == 69 && length > 0) // FileAttributes
            facts.fileAttributes = body[pos];
        pos += static_cast<std::size_t>(length);
        ++counts[code];
        ++total;
        if (!swf::format::isKnownTag(code))
            ++unknown;
        if (code == 0) {
            sawEnd = true;
            break;
        }
    }
    if (!sawEnd)
        facts.problems.push_back("no End tag");
    else if (pos < body.size())
        facts.problems.push_back(std::to_string(body.size() - pos) + " bytes after the End tag");
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

// Fills facts from the file; returns the reason when the file is no usable movie.
std::optional<std::string> gather(const std::string& path, MovieFacts& facts) {
    std::string why;
    auto read = readInputFile(path, kMaxBody + 8, why);
    if (!read)
        return why;
    std::vector<std::uint8_t> file = std::move(*read);
    facts.path = path;
    facts.fileSize = file.size();
    if (file.size() < 8)
        return std::string("too short for an SWF header");
    facts.signature.assign(file.begin(), file.begin() + 3);
    if (facts.signature != "FWS" && facts.signature != "CWS" && facts.signature != "ZWS")
        return std::string("not an SWF movie (no FWS, CWS or ZWS signature)");
    facts.version = file[3];
    facts.declaredLength = le32(&file[4]);
    const std::size_t declaredBody = facts.declaredLength >= 8 ? facts.declaredLength - 8 : 0;
    if (declaredBody > kMaxBody)
        return "declares a body of " + std::to_string(declaredBody) + " bytes, past the " +
               std::to_string(kMaxBody >> 20) + " MiB limit";

    std::vector<std::uint8_t> body;
    if (facts.signature == "FWS") {
        if (file.size() != facts.declaredLength)
            facts.problems.push_back("file size differs from the declared length");
        file.erase(file.begin(), file.begin() + 8); // the body in place: one copy of a large movie
        body = std::move(file);
    } else {
        const bool zlib = facts.signature == "CWS";
        if (!zlib && file.size() < 17)
            return std::string("too short for an LZMA header");
        const std::span<const std::uint8_t> packed(file.data() + (zlib ? 8 : 12),
                                                   file.size() - (zlib ? 8 : 12));
        // Never more than the header declares, nor than deflate's largest expansion allows.
        const std::size_t ratioCap = packed.size() * kDeflateRatio + 64;
        const std::size_t cap = std::min(declaredBody, ratioCap);
        swf::io::Inflated out =
            zlib ? swf::io::inflateZlib(packed, cap) : swf::io::decodeSwfLzma(packed, cap);
        if (cap < declaredBody && out.bytes.size() == cap)
            return std::string("compressed body expands more than deflate's largest ratio allows");
        if (!out.complete)
            facts.problems.push_back("compressed body is damaged: " + out.error);
        std::vector<std::uint8_t>().swap(file);
        body = std::move(out.bytes);
        if (body.size() + 8 != facts.declaredLength)
            facts.problems.push_back("decompressed size differs from the declared length");
    }
    facts.bodyLength = body.size();

    if (body.empty())
        return std::string("no movie header after the first 8 bytes");
    const int nbits = body[0] >> 3;
    const std::size_t rectBytes = (5 + 4 * static_cast<std::size_t>(nbits) + 7) / 8;
    if (body.size() < rectBytes + 4)
        return std::string("movie header is cut off");
    Bits bits{body, 5};
    facts.xMin = bits.sb(nbits);
    facts.xMax = bits.sb(nbits);
    facts.yMin = bits.sb(nbits);
    facts.yMax = bits.sb(nbits);
    facts.frameRateRaw = static_cast<std::uint16_t>(body[rectBytes] | body[rectBytes + 1] << 8);
    facts.frameCount = static_cast<std::uint16_t>(body[rectBytes + 2] | body[rectBytes + 3] << 8);
    try {
        facts.width = MovieWidth(path);
        facts.height = MovieHeight(path);
    } catch (const std::exception& e) {
        return std::string("stage size unreadable: ") + e.what();
    }
    walkTags(body, rectBytes + 4, facts);
    // The engine's own pass over every timeline (what it skips as unknown and as broken)
    // decodes every definition, so it is left out for large bodies.
    if (body.size() <= kMaxEngineBody) {
        body.insert(body.begin(), {'F', 'W', 'S', static_cast<std::uint8_t>(facts.version)});
        const auto length = static_cast<std::uint32_t>(body.size() + 4);
        body.insert(body.begin() + 4, {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                                       static_cast<std::uint8_t>(length >> 16),
                                       static_cast<std::uint8_t>(length >> 24)});
        std::string engineError;
        if (auto movie = swf::movie::Movie::fromBytes(std::move(body), engineError)) {
            facts.counters.emplace_back("engine_unknown_tags", movie->tagStats().unknownTotal());
            facts.counters.emplace_back("engine_broken_tags", movie->tagStats().brokenTotal());
            gatherVideos(*movie, facts);
        }
    }
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
