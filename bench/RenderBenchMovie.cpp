// Writes the movies `orvane-tool bench` measures the renderer with, one kind at a time:
//   heavy     2,000 gradient-filled, stroked shapes sharing 24 definitions, 1280x720 at 60 fps,
//             half of them moving every frame (the first benchmark movie);
//   distinct  the same scene with 2,000 different shapes (20-120 px, a two-stop linear gradient
//             with one translucent stop, a 2 px black stroke), half moving by translation;
//   turning   500 different shapes that rotate and scale every frame, 1280x720 at 60 fps;
//   cartoon   20,000 frames of morph shapes tweening inside nested, looping sprites that walk
//             about, 800x600 at 24 fps, the cast changing every 480 frames;
//   bitmaps   200 translucent 256x256 bitmaps moving and rotating, 1280x720 at 24 fps;
//   still     the distinct scene stopped on its first frame (what a stopped movie costs).
//
//   orvane_render_bench_movie OUT.swf [--kind K] [--frames N]

#include "SwfWriter.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>

using namespace orvane::testing;

namespace {

constexpr double kPi = 3.14159265358979323846;

std::uint8_t byteOf(int v) {
    return static_cast<std::uint8_t>(v & 0xFF);
}

// A shape centred on its origin, w x h twips: an ellipse of four curves or a rectangle with
// cut corners, filled with `fill` and stroked with `line`.
ShapeBuilder outline(int w, int h, bool ellipse, const FillStyle& fill, const LineStyle& line) {
    ShapeBuilder s;
    s.setFill0(s.addFill(fill)).setLine(s.addLine(line));
    const int rx = w / 2, ry = h / 2;
    if (ellipse) {
        s.moveTo(rx, 0).curveTo(rx, -ry, 0, -ry).curveTo(-rx, -ry, -rx, 0);
        s.curveTo(-rx, ry, 0, ry).curveTo(rx, ry, rx, 0);
    } else {
        const int c = std::min(rx, ry) / 3;
        s.moveTo(-rx + c, -ry).lineTo(rx - c, -ry).lineTo(rx, -ry + c).lineTo(rx, ry - c);
        s.lineTo(rx - c, ry).lineTo(-rx + c, ry).lineTo(-rx, ry - c).lineTo(-rx, -ry + c).lineTo(-rx + c, -ry);
    }
    return s;
}

Matrix gradientBox(int w, int h) {
    return Matrix::scale(w / 32768.0, h / 32768.0, 0, 0);
}

// Spread over the stage by two primes, in twips.
std::int32_t spreadX(int i, int widthPx) {
    return 20 * (40 + (i * 7919) % (widthPx - 80));
}
std::int32_t spreadY(int i, int heightPx) {
    return 20 * (30 + (i * 104729) % (heightPx - 60));
}

// Translation by a small circle: where moving object i stands at `frame`.
Matrix circling(int i, int frame, int widthPx, int heightPx) {
    const double a = frame * 0.05 + i;
    return Matrix::translate(spreadX(i, widthPx) + std::int32_t(600 * std::cos(a)),
                             spreadY(i, heightPx) + std::int32_t(600 * std::sin(a)));
}

// Turned by `angle` radians and scaled evenly, then moved.
Matrix rotated(double angle, double scale, std::int32_t x, std::int32_t y) {
    Matrix m = Matrix::translate(x, y);
    m.scaleX = m.scaleY = scale * std::cos(angle);
    m.rotateSkew0 = scale * std::sin(angle);
    m.rotateSkew1 = -scale * std::sin(angle);
    return m;
}

// Places `count` objects of `defs` definitions (ids from 1) over a 1280x720 stage.
void placeSpread(SwfWriter& movie, int count, int defs) {
    for (int i = 0; i < count; ++i)
        movie.place(std::uint16_t(1 + i % defs), std::uint16_t(1 + i),
                    Matrix::translate(spreadX(i, 1280), spreadY(i, 720)));
}

// Places them and moves every other one each frame.
void halfMoving(SwfWriter& movie, int count, int defs, int frames) {
    placeSpread(movie, count, defs);
    movie.showFrame();
    for (int f = 1; f < frames; ++f) {
        for (int i = 0; i < count; i += 2)
            movie.moveTo(std::uint16_t(1 + i), circling(i, f, 1280, 720));
        movie.showFrame();
    }
}

void writeHeavy(SwfWriter& movie, int frames) {
    movie.setStageSize(1280, 720);
    movie.setFrameRate(60);
    constexpr int kDefinitions = 24;
    for (int d = 0; d < kDefinitions; ++d) {
        const int w = 600 + (d * 137) % 600, h = 600 + (d * 71) % 600; // 30..60 pixels
        const std::vector<GradientRecord> stops{{0, {byteOf(40 + d * 9), 80, 200}},
                                                {255, {250, byteOf(200 - d * 5), 40}}};
        const FillStyle fill =
            d % 2 ? FillStyle::radial(gradientBox(w, h), stops) : FillStyle::linear(gradientBox(w, h), stops);
        movie.defineShape(std::uint16_t(d + 1), outline(w, h, d % 3 == 0, fill, LineStyle::solid(40, {20, 20, 20})));
    }
    halfMoving(movie, 2000, kDefinitions, frames);
}

// Shape i of the distinct kinds: 20..120 px, a two-stop linear gradient whose second stop is
// translucent, a 2 px black stroke.
ShapeBuilder distinctShape(int i) {
    const int w = 400 + (i * 137) % 2000, h = 400 + (i * 71) % 2000;
    const std::vector<GradientRecord> stops{{0, {byteOf(i * 37), byteOf(80 + i), byteOf(200 - i * 3)}},
                                            {255, {byteOf(250 - i), byteOf(i * 11), 40, 110}}};
    return outline(w, h, i % 3 == 0, FillStyle::linear(gradientBox(w, h), stops),
                   LineStyle::solid(40, {0, 0, 0}));
}

void writeDistinct(SwfWriter& movie, int frames) {
    movie.setStageSize(1280, 720);
    movie.setFrameRate(60);
    constexpr int kShapes = 2000;
    for (int i = 0; i < kShapes; ++i)
        movie.defineShape(std::uint16_t(i + 1), distinctShape(i), 3);
    halfMoving(movie, kShapes, kShapes, frames);
}

void writeStill(SwfWriter& movie, int frames) {
    movie.setStageSize(1280, 720);
    movie.setFrameRate(60);
    for (int i = 0; i < 2000; ++i)
        movie.defineShape(std::uint16_t(i + 1), distinctShape(i), 3);
    placeSpread(movie, 2000, 2000);
    movie.doAction(std::vector<std::uint8_t>{0x07}); // stop
    movie.showFrame(frames);
}

void writeTurning(SwfWriter& movie, int frames) {
    movie.setStageSize(1280, 720);
    movie.setFrameRate(60);
    constexpr int kShapes = 500;
    for (int i = 0; i < kShapes; ++i)
        movie.defineShape(std::uint16_t(i + 1), distinctShape(i * 4 + 1), 3);
    for (int f = 0; f < frames; ++f) {
        for (int i = 0; i < kShapes; ++i) {
            const double angle = f * 0.03 * (1 + i % 5) + i;
            const double scale = 0.6 + 0.4 * std::sin(f * 0.07 + i * 0.5);
            const Matrix m = rotated(angle, scale, spreadX(i, 1280), spreadY(i, 720));
            if (f == 0)
                movie.place(std::uint16_t(i + 1), std::uint16_t(i + 1), m);
            else
                movie.moveTo(std::uint16_t(i + 1), m);
        }
        movie.showFrame();
    }
}

// Cartoon: morph "limbs" tween inside looping sprites, "figures" hold several limbs and a
// nested sprite of their own, and the root walks the figures about and swaps the cast.
constexpr int kMorphs = 48;
constexpr int kLimbs = 48;   // sprites, one per morph
constexpr int kFigures = 16; // sprites of limbs
constexpr int kOnStage = 12;
constexpr int kSceneFrames = 480;

MorphShapeBuilder limbMorph(int i) {
    MorphShapeBuilder m;
    MorphFillStyle fill = MorphFillStyle::solid({byteOf(60 + i * 17), byteOf(120 + i * 5), byteOf(i * 29)},
                                                {byteOf(200 - i * 3), byteOf(i * 13), byteOf(90 + i * 7), 200});
    const int f = m.addFill(fill);
    MorphLineStyle line;
    line.startWidth = 40;
    line.endWidth = 60;
    const int l = m.addLine(line);
    const int w = 800 + (i * 97) % 1200, h = 300 + (i * 53) % 600;
    // Start: a flat rounded bar; end: a bent, fatter one. Same edges in the same order.
    m.start().setFill0(f).setLine(l).moveTo(-w / 2, 0);
    m.start().curveTo(-w / 2, -h, 0, -h).curveTo(w / 2, -h, w / 2, 0);
    m.start().curveTo(w / 2, h, 0, h).curveTo(-w / 2, h, -w / 2, 0);
    m.end().moveTo(-w / 2, h / 2);
    m.end().curveTo(-w / 3, -h * 2, w / 4, -h).curveTo(w / 2, -h / 2, w / 2, h);
    m.end().curveTo(w / 3, h * 2, 0, h).curveTo(-w / 2, h * 2, -w / 2, h / 2);
    return m;
}

void writeCartoon(SwfWriter& movie, int frames) {
    movie.setStageSize(800, 600);
    movie.setFrameRate(24);
    const std::uint16_t morphBase = 1, limbBase = morphBase + kMorphs, figureBase = limbBase + kLimbs;
    for (int i = 0; i < kMorphs; ++i)
        movie.defineMorphShape(std::uint16_t(morphBase + i), limbMorph(i));
    // A limb: its morph tweened there and back over 24..71 frames.
    for (int i = 0; i < kLimbs; ++i) {
        Sprite limb;
        const int length = 24 + (i * 13) % 48;
        for (int f = 0; f < length; ++f) {
            const double t = 0.5 - 0.5 * std::cos(2 * kPi * f / length);
            PlaceObject p;
            p.depth = 1;
            p.move = f > 0;
            if (f == 0)
                p.characterId = std::uint16_t(morphBase + i);
            p.ratio = std::uint16_t(std::lround(t * 65535));
            limb.placeObject2(p);
            limb.showFrame();
        }
        movie.defineSprite(std::uint16_t(limbBase + i), limb);
    }
    // A figure: five limbs swinging about its centre over 36 frames.
    for (int i = 0; i < kFigures; ++i) {
        Sprite figure;
        constexpr int kLength = 36;
        for (int f = 0; f < kLength; ++f) {
            for (int k = 0; k < 5; ++k) {
                const double angle = k * 1.2 + 0.4 * std::sin(2 * kPi * f / kLength + k);
                const Matrix m = rotated(angle, 1.0, std::int32_t(900 * std::cos(k * 1.2)),
                                         std::int32_t(900 * std::sin(k * 1.2)));
                if (f == 0)
                    figure.place(std::uint16_t(limbBase + (i * 5 + k) % kLimbs), std::uint16_t(k + 1), m);
                else
                    figure.moveTo(std::uint16_t(k + 1), m);
            }
            figure.showFrame();
        }
        movie.defineSprite(std::uint16_t(figureBase + i), figure);
    }
    for (int f = 0; f < frames; ++f) {
        const int scene = f / kSceneFrames;
        const bool fresh = f % kSceneFrames == 0;
        for (int k = 0; k < kOnStage; ++k) {
            const std::uint16_t depth = std::uint16_t(k + 1);
            const double a = (f % kSceneFrames) * 0.01 + k;
            // Four by three places on the stage, each figure walking to and fro about its own.
            const Matrix m = rotated(0.2 * std::sin(a), 0.7 + 0.1 * (k % 4),
                                     20 * (100 + (k % 4) * 200) + std::int32_t(1500 * std::sin(a)),
                                     20 * (100 + (k / 4) * 200 + (scene % 3) * 20));
            if (fresh) {
                if (f > 0)
                    movie.removeObject2(depth);
                movie.place(std::uint16_t(figureBase + (scene * 7 + k) % kFigures), depth, m);
            } else {
                movie.moveTo(depth, m);
            }
        }
        movie.showFrame();
    }
}

void writeBitmaps(SwfWriter& movie, int frames) {
    movie.setStageSize(1280, 720);
    movie.setFrameRate(24);
    constexpr int kBitmaps = 200, kSide = 256;
    for (int i = 0; i < kBitmaps; ++i) {
        std::vector<Rgba> px(std::size_t(kSide) * kSide);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const int ring = (x - 128) * (x - 128) + (y - 128) * (y - 128);
                // Blocks of colour (the file stays small), translucent all over, more so outside a disc.
                px[std::size_t(y) * kSide + x] = {byteOf(x / 32 * 32 + i * 7), byteOf(y / 32 * 32 + i),
                                                   byteOf(i * 3), byteOf(ring < 128 * 128 ? 180 : 60)};
            }
        const auto id = std::uint16_t(1 + i);
        movie.defineBitsLossless2(id, LosslessBitmap::truecolor(kSide, kSide, px, true));
        ShapeBuilder s;
        s.setFill0(s.addFill(FillStyle::bitmap(id, Matrix::scale(20, 20, -kSide * 10, -kSide * 10))));
        s.rectangle(-kSide * 10, -kSide * 10, kSide * 20, kSide * 20);
        movie.defineShape(std::uint16_t(1 + kBitmaps + i), s, 3);
    }
    for (int f = 0; f < frames; ++f) {
        for (int i = 0; i < kBitmaps; ++i) {
            const double a = f * 0.02 * (1 + i % 3) + i;
            const Matrix m = rotated(a, 0.4 + 0.6 * ((i * 37) % 100) / 100.0,
                                     spreadX(i, 1280) + std::int32_t(800 * std::cos(a)), spreadY(i, 720));
            if (f == 0)
                movie.place(std::uint16_t(1 + kBitmaps + i), std::uint16_t(1 + i), m);
            else
                movie.moveTo(std::uint16_t(1 + i), m);
        }
        movie.showFrame();
    }
}

struct Kind {
    int frames;
    std::function<void(SwfWriter&, int)> write;
};

const std::map<std::string, Kind>& kinds() {
    static const std::map<std::string, Kind> k{{"heavy", {120, writeHeavy}},     {"distinct", {120, writeDistinct}},
                                               {"turning", {240, writeTurning}}, {"cartoon", {20000, writeCartoon}},
                                               {"bitmaps", {240, writeBitmaps}},
                                               {"still", {2, writeStill}}};
    return k;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.swf [--kind heavy|distinct|turning|cartoon|bitmaps|still] [--frames N]\n",
                     argv[0]);
        return 2;
    }
    std::string kindName = "heavy";
    int frames = 0;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--frames")
            frames = std::clamp(std::atoi(argv[i + 1]), 1, 65535);
        else if (opt == "--kind")
            kindName = argv[i + 1];
    }
    const auto it = kinds().find(kindName);
    if (it == kinds().end()) {
        std::fprintf(stderr, "unknown kind %s\n", kindName.c_str());
        return 2;
    }
    SwfWriter movie;
    movie.setCompression(Compression::Zlib);
    movie.setBackgroundColor({255, 255, 255});
    it->second.write(movie, frames > 0 ? frames : it->second.frames);
    try {
        movie.save(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
