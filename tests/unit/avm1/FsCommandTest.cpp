// fscommand calls reach the host's sink; other getURL requests go nowhere.

#include "swf/avm1/PlayerScriptHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(FsCommand, OnlyFsCommandUrlsReachTheSink) {
    swf::avm1::PlayerScriptHost host;
    std::vector<std::string> got;
    host.setFsCommandSink([&](const std::string& command, const std::string& args) { got.push_back(command + "(" + args + ")"); });
    host.getUrl("FSCommand:quit", "", 0);
    host.getUrl("fscommand:fullscreen", "true", 0);
    host.getUrl("http://example.com", "_blank", 0);
    host.getUrl("fscommand", "x", 0);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], "quit()");
    EXPECT_EQ(got[1], "fullscreen(true)");
}
