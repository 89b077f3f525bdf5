#include "VideoTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace video_test {

namespace fs = std::filesystem;

namespace {

struct Scratch {
    fs::path dir = fs::temp_directory_path() / ("orvane-video-" + std::to_string(::getpid()));
    Scratch() { fs::create_directories(dir); }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Bytes readFile(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

std::uint32_t be(const Bytes& b, std::size_t at, int count) {
    std::uint32_t v = 0;
    for (int i = 0; i < count; ++i)
        v = v << 8 | b[at + i];
    return v;
}

} // namespace

bool haveFfmpeg() {
    static const bool have = std::system("ffmpeg -version > /dev/null 2>&1") == 0;
    return have;
}

std::string scratchPath(const std::string& name) {
    static Scratch scratch;
    return (scratch.dir / name).string();
}

Bytes encodeTestPattern(const std::string& args, const std::string& name, const std::string& size, int fps,
                        double seconds) {
    const std::string out = scratchPath(name);
    const std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc=size=" + size + ":rate=" + std::to_string(fps) +
                            " -t " + std::to_string(seconds) + " " + args + " " + out;
    if (std::system(cmd.c_str()) != 0)
        return {};
    return readFile(out);
}

std::vector<Picture> ffmpegPictures(const std::string& file, int width, int height) {
    const std::string raw = file + ".bgra";
    // bgra bytes are 0xAARRGGBB words on the little-endian machines the tests run on.
    const std::string cmd = "ffmpeg -v error -y -i " + file + " -f rawvideo -pix_fmt bgra " + raw;
    std::vector<Picture> pictures;
    if (std::system(cmd.c_str()) != 0)
        return pictures;
    const Bytes bytes = readFile(raw);
    const std::size_t frameBytes = std::size_t(width) * height * 4;
    for (std::size_t at = 0; frameBytes && at + frameBytes <= bytes.size(); at += frameBytes) {
        Picture p(std::size_t(width) * height);
        std::memcpy(p.data(), bytes.data() + at, frameBytes);
        pictures.push_back(std::move(p));
    }
    return pictures;
}

std::vector<FlvPacket> flvVideoPackets(const Bytes& flv) {
    std::vector<FlvPacket> packets;
    if (flv.size() < 9 || flv[0] != 'F' || flv[1] != 'L' || flv[2] != 'V')
        return packets;
    std::size_t at = be(flv, 5, 4) + 4; // header, then the first previous-tag size
    while (at + 11 <= flv.size()) {
        const std::uint8_t type = flv[at];
        const std::size_t size = be(flv, at + 1, 3);
        const std::size_t data = at + 11;
        if (data + size > flv.size())
            break;
        if (type == 9 && size > 1) {
            FlvPacket p;
            p.codec = flv[data] & 0x0F;
            p.keyframe = (flv[data] >> 4) == 1;
            const std::size_t skip = p.codec == 4 || p.codec == 5 ? 2 : 1;
            if (size > skip)
                p.data.assign(flv.begin() + long(data + skip), flv.begin() + long(data + size));
            packets.push_back(std::move(p));
        }
        at = data + size + 4;
    }
    return packets;
}

orvane::testing::SwfWriter videoMovie(std::uint8_t codec, int width, int height, const std::vector<Bytes>& packets,
                                      double fps) {
    orvane::testing::SwfWriter movie;
    movie.setStageSize(width, height).setFrameRate(fps);
    movie.defineVideoStream(1, static_cast<std::uint16_t>(packets.size()), static_cast<std::uint16_t>(width),
                            static_cast<std::uint16_t>(height), codec);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        orvane::testing::PlaceObject place;
        place.depth = 1;
        place.ratio = static_cast<std::uint16_t>(i);
        if (i == 0) {
            place.characterId = 1;
            place.matrix = orvane::testing::Matrix{};
        } else {
            place.move = true;
        }
        movie.placeObject2(place);
        movie.videoFrame(1, static_cast<std::uint16_t>(i), packets[i]);
        movie.showFrame();
    }
    return movie;
}

Difference compare(const swf::timeline::Pixels& ours, const Picture& reference, int width, int height) {
    Difference d;
    d.sameSize = ours.valid() && ours.width == width && ours.height == height &&
                 reference.size() == std::size_t(width) * height;
    if (!d.sameSize)
        return d;
    double total = 0;
    for (std::size_t i = 0; i < reference.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            const int diff = std::abs(int((ours.argb[i] >> shift) & 0xFF) - int((reference[i] >> shift) & 0xFF));
            total += diff;
            d.max = std::max(d.max, diff);
        }
    d.mean = total / (double(reference.size()) * 3);
    return d;
}

} // namespace video_test
