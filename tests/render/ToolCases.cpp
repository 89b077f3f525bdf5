// orvane-tool render and bench as scripts use them: files, sizes, exit codes, the bench line.

#include "ActionAssembler.h"
#include "RenderMovies.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane::testing;
using namespace orvane::testing::render;

namespace {

struct ToolRun {
    int code = -1;
    QString out, err;
};

ToolRun tool(const QStringList& args) {
    QProcess p;
    p.start(ORVANE_TOOL_PATH, args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

TEST(RenderTool, WritesFramesAtTheStageSizeAndReportsFailures) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SwfWriter m = stage(90, 50);
    m.defineShape(1, box(solid(0, 0, 200), 0, 0, 200, 200));
    m.place(1, 1).showFrame().moveTo(1, Matrix::translate(400, 0)).showFrame().showFrame();
    const QString movie = dir.filePath("movie.swf");
    m.save(movie.toStdString());

    ToolRun r = tool({"render", movie, "-o", dir.filePath("one.png")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(QImage(dir.filePath("one.png")).size(), QSize(90, 50));
    r = tool({"render", movie, "-o", dir.filePath("two.png"), "--frame", "2", "--scale", "2"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QImage two(dir.filePath("two.png"));
    EXPECT_EQ(two.size(), QSize(180, 100));
    EXPECT_EQ(two.pixelColor(45, 5), QColor(0, 0, 200)); // moved 20 pixels on in frame 2
    EXPECT_EQ(two.pixelColor(5, 5), QColor(255, 255, 255));

    r = tool({"render", movie, "-o", dir.filePath("frames"), "--frames", "2-3"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("frames/frame-0001.png")));
    EXPECT_TRUE(QFile::exists(dir.filePath("frames/frame-0002.png")));
    EXPECT_TRUE(QFile::exists(dir.filePath("frames/frame-0003.png")));

    EXPECT_EQ(tool({"render", movie}).code, 2);
    EXPECT_EQ(tool({"render", movie, "-o", dir.filePath("x.png"), "--frame", "0"}).code, 2);
    EXPECT_EQ(tool({"render", movie, "-o", dir.filePath("x"), "--frames", "3-1"}).code, 2);
    EXPECT_EQ(tool({"render", movie, "-o", dir.filePath("x.png"), "--scale", "-1"}).code, 2);
    r = tool({"render", dir.filePath("missing.swf"), "-o", dir.filePath("x.png")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("missing.swf"));
    QFile junk(dir.filePath("junk.swf"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a movie at all");
    junk.close();
    EXPECT_EQ(tool({"render", junk.fileName(), "-o", dir.filePath("x.png")}).code, 1);
}

TEST(BenchTool, PrintsOneResultLine) {
    QTemporaryDir dir;
    SwfWriter m = stage(60, 40);
    m.setFrameRate(30);
    m.defineShape(1, box(solid(0, 120, 0), 0, 0, 400, 400));
    m.place(1, 1).showFrame().moveTo(1, Matrix::translate(200, 100)).showFrame();
    const QString movie = dir.filePath("movie.swf");
    m.save(movie.toStdString());
    const ToolRun r = tool({"bench", movie, "--frames", "20"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QRegularExpression line("^bench: load_ms=[0-9.]+ frames=20 threads=[0-9]+ render_fps=[0-9.]+ "
                                  "realtime=[0-9.]+ frame_ms_p50=[0-9.]+ frame_ms_p99=[0-9.]+ cpu_s=[0-9.]+ "
                                  "seek_ms=[0-9.]+ peak_rss_mb=[0-9.]+ shape_hit=[0-9.]+ raster_hit=[0-9.]+ "
                                  "raster_mb=[0-9.]+\\n$");
    EXPECT_TRUE(line.match(r.out).hasMatch()) << r.out.toStdString();
    // Bands are asked for by count; a count out of range is a usage error.
    const ToolRun three = tool({"bench", movie, "--frames", "5", "--threads", "3"});
    EXPECT_TRUE(three.out.contains(" threads=3 ")) << three.out.toStdString();
    EXPECT_EQ(tool({"bench", movie, "--threads", "0"}).code, 2);
    EXPECT_EQ(tool({"bench", movie, "--threads", "17"}).code, 2);
    EXPECT_EQ(tool({"bench", movie, "--frames", "x"}).code, 2);
    EXPECT_EQ(tool({"bench", dir.filePath("none.swf")}).code, 1);
}

TEST(RenderTool, RunsTheMovieScriptsAsThePlayerDoesUnlessAskedNot) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SwfWriter m = stage(90, 50);
    m.setVersion(6);
    m.defineShape(1, box(solid(0, 0, 200), 0, 0, 200, 200));
    Sprite sprite;
    sprite.place(1, 1).showFrame();
    m.defineSprite(2, sprite);
    PlaceObject named;
    named.characterId = 2;
    named.name = "s";
    m.placeObject2(named);
    // Only the interpreter can move a clip: timeline control alone leaves it at 0.
    m.doAction(assembleActions("push \"s\", 0, 40; setproperty")).showFrame();
    const QString movie = dir.filePath("movie.swf");
    m.save(movie.toStdString());

    ToolRun r = tool({"render", movie, "-o", dir.filePath("scripts.png")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QImage scripted(dir.filePath("scripts.png"));
    EXPECT_EQ(scripted.pixelColor(45, 5), QColor(0, 0, 200));
    EXPECT_EQ(scripted.pixelColor(5, 5), QColor(255, 255, 255));
    r = tool({"render", movie, "-o", dir.filePath("plain.png"), "--no-scripts"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(QImage(dir.filePath("plain.png")).pixelColor(5, 5), QColor(0, 0, 200));

    r = tool({"dump", movie});
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains("matrix(1,0,0,1,800,0)")) << r.out.toStdString();
    r = tool({"dump", movie, "--no-scripts"});
    EXPECT_TRUE(r.out.contains("matrix(1,0,0,1,0,0)")) << r.out.toStdString();
    for (const char* command : {"render", "dump", "trace", "bench"})
        EXPECT_TRUE(tool({command, "--help"}).out.contains("--no-scripts")) << command;
}

TEST(RenderTool, QualityOptionSetsThePlayersQuality) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SwfWriter m = stage(40, 40);
    ShapeBuilder disc;
    disc.setFill0(disc.addFill(solid(200, 0, 0)));
    disc.moveTo(700, 400).curveTo(700, 100, 400, 100).curveTo(100, 100, 100, 400);
    disc.curveTo(100, 700, 400, 700).curveTo(700, 700, 700, 400);
    m.defineShape(1, disc).place(1, 1).showFrame();
    const QString movie = dir.filePath("movie.swf");
    m.save(movie.toStdString());
    auto shades = [&](const QStringList& extra) {
        const QString out = dir.filePath("q.png");
        const ToolRun r = tool(QStringList{"render", movie, "-o", out} + extra);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        const QImage img(out);
        QSet<QRgb> seen;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                seen.insert(img.pixel(x, y));
        return seen.size();
    };
    EXPECT_EQ(shades({"--quality", "low"}), 2);
    EXPECT_GT(shades({"--quality", "BEST"}), 4);
    EXPECT_GT(shades({}), 4);
    EXPECT_EQ(tool({"render", movie, "-o", dir.filePath("x.png"), "--quality", "ultra"}).code, 2);
    EXPECT_EQ(tool({"render", movie, "-o", dir.filePath("x.png"), "--quality"}).code, 2);
}
