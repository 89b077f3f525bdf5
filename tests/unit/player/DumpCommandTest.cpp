// orvane-tool dump run as the real program: output golden and exit codes.

#include "EngineMovies.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

using namespace engine_test;

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
};

class DumpCommand : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvane-dump-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf " + m_dir).c_str()); }

    std::string save(const std::string& name, const Bytes& bytes) {
        std::string path = m_dir + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return path;
    }

    ToolRun tool(const std::string& args) {
        std::string out = m_dir + "/out.txt";
        int raw =
            std::system((std::string(ORVANE_TOOL_PATH) + " " + args + " >" + out + " 2>/dev/null").c_str());
        ToolRun r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        std::ifstream in(out);
        std::stringstream text;
        text << in.rdbuf();
        r.out = text.str();
        return r;
    }

    std::string m_dir;
};

} // namespace

TEST_F(DumpCommand, PrintsTheListAfterNFramesAndFailsCleanly) {
    SwfWriter movie;
    movie.setCompression(Compression::Zlib);
    movie.defineShape(1, square()).place(1, 1).showFrame();
    movie.moveTo(1, Matrix::translate(20, 40)).place(1, 2).showFrame();
    movie.removeObject2(1).doAction(act::stop()).showFrame();
    std::string path = save("m.swf", movie.bytes());

    ToolRun first = tool("dump " + path);
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.out, "frame 1/3 playing\n"
                         "  depth 1: shape 1 matrix(1,0,0,1,0,0) cx() ratio 0 clip 0 name \"\"\n");
    ToolRun second = tool("dump " + path + " --frame 2");
    EXPECT_EQ(second.out, "frame 2/3 playing\n"
                          "  depth 1: shape 1 matrix(1,0,0,1,20,40) cx() ratio 0 clip 0 name \"\"\n"
                          "  depth 2: shape 1 matrix(1,0,0,1,0,0) cx() ratio 0 clip 0 name \"\"\n");
    ToolRun later = tool("dump " + path + " --frame 9"); // stopped on the third frame
    EXPECT_EQ(later.out, "frame 3/3 stopped\n"
                         "  depth 2: shape 1 matrix(1,0,0,1,0,0) cx() ratio 0 clip 0 name \"\"\n");

    EXPECT_EQ(tool("dump " + save("junk.swf", {'x', 'y', 'z'})).status, 1);
    EXPECT_EQ(tool("dump " + m_dir + "/missing.swf").status, 1);
    EXPECT_EQ(tool("dump").status, 2);
    EXPECT_EQ(tool("dump " + path + " --frame 0").status, 2);
    EXPECT_EQ(tool("dump " + path + " --frame").status, 2);
    EXPECT_EQ(tool("dump " + path + " --bogus").status, 2);
}
