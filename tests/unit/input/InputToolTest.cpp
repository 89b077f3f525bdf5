// orvane-tool trace and dump with --input, run as the real program.

#include "ActionAssembler.h"
#include "SwfWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

using namespace orvane::testing;

namespace {

class InputTool : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvane-input-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        // A 20x20 button at the origin that traces on release and jumps to frame 2.
        ShapeBuilder s;
        s.setFill1(s.addFill(FillStyle::solid({0, 0, 0}))).rectangle(0, 0, 400, 400);
        ButtonBuilder b;
        b.records.push_back(ButtonRecord::of(ButtonRecord::Up | ButtonRecord::HitTest, 1, 1));
        std::vector<std::uint8_t> release = assembleActions("push \"clicked\"; trace; gotoframe 1");
        release.pop_back();
        b.condActions.push_back({ButtonCondAction::OverDownToOverUp, release});
        SwfWriter movie;
        movie.setVersion(6).defineShape(1, s).defineButton(2, b, 2).place(2, 1);
        std::vector<std::uint8_t> stop = assembleActions("stop");
        stop.pop_back();
        std::vector<std::uint8_t> two = assembleActions("push \"frame 2\"; trace");
        two.pop_back();
        movie.doAction(stop).showFrame().doAction(two).showFrame();
        movie.save(m_dir + "/movie.swf");
    }
    void TearDown() override { std::system(("rm -rf " + m_dir).c_str()); }

    void write(const std::string& name, const std::string& text) { std::ofstream(m_dir + "/" + name) << text; }

    // Exit status; stdout and stderr in out/err.
    int tool(const std::string& args) {
        const int raw = std::system((std::string(ORVANE_TOOL_PATH) + " " + args + " >" + m_dir + "/out 2>" +
                                     m_dir + "/err")
                                        .c_str());
        out = slurp(m_dir + "/out");
        err = slurp(m_dir + "/err");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    static std::string slurp(const std::string& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string m_dir, out, err;
};

} // namespace

TEST_F(InputTool, TraceClicksAButton) {
    write("click.txt", "# click the button\nmouse_move 10 10\nmouse_down 10 10\nmouse_up 10 10\nwait\n");
    EXPECT_EQ(tool("trace " + m_dir + "/movie.swf --frames 3 --input " + m_dir + "/click.txt"), 0) << err;
    EXPECT_EQ(out, "clicked\nframe 2\n");
    // Without the input nothing happens.
    EXPECT_EQ(tool("trace " + m_dir + "/movie.swf --frames 3"), 0);
    EXPECT_EQ(out, "");
    // dump takes the same option.
    EXPECT_EQ(tool("dump " + m_dir + "/movie.swf --input " + m_dir + "/click.txt"), 0) << err;
}

TEST_F(InputTool, MalformedScriptsStopBeforeAnythingRuns) {
    write("bad.txt", "mouse_move 10 10\nwait\nkey_down Return\n");
    EXPECT_EQ(tool("trace " + m_dir + "/movie.swf --input " + m_dir + "/bad.txt"), 1);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("bad.txt: line 3: unknown key Return"), std::string::npos) << err;
    EXPECT_EQ(tool("trace " + m_dir + "/movie.swf --input " + m_dir + "/missing.txt"), 1);
    EXPECT_NE(err.find("cannot open"), std::string::npos) << err;
    EXPECT_EQ(tool("trace " + m_dir + "/movie.swf --input"), 2);
}
