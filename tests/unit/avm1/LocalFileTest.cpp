// Which files scripts may load: only names inside the movie's folder.

#include "swf/avm1/PlayerScriptHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

TEST(LocalFiles, OnlyNamesInsideTheMovieFolderAreRead) {
    const fs::path root = fs::temp_directory_path() / ("orvane-localfile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::create_directories(root / "movie dir" / "sub");
    std::ofstream(root / "movie dir" / "data.txt") << "a=1";
    std::ofstream(root / "movie dir" / "sub" / "deep.xml") << "<x/>";
    std::ofstream(root / "secret.txt") << "no";

    swf::avm1::PlayerScriptHost host;
    host.setUrl("file://" + (root / "movie%20dir" / "movie.swf").string());
    std::string out;
    EXPECT_TRUE(host.readLocalFile("data.txt", out));
    EXPECT_EQ(out, "a=1");
    EXPECT_TRUE(host.readLocalFile("sub/deep.xml?nocache=1", out));
    EXPECT_EQ(out, "<x/>");
    EXPECT_TRUE(host.readLocalFile("data.txt%00ignored", out)); // an escaped NUL ends the name
    for (const char* refused : {"../secret.txt", "sub/../../secret.txt", "/etc/passwd", "http://example.com/a",
                                "file:///etc/passwd", "", "sub", "missing.txt"})
        EXPECT_FALSE(host.readLocalFile(refused, out)) << refused;
    fs::remove_all(root);
}
