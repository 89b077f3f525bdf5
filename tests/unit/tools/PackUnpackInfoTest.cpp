#include "SwfWriter.h"
#include "shell/ScratchDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/wait.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <zlib.h>

using namespace orvane::testing;

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

class ToolTest : public ::testing::Test {
protected:
    // Runs orvane-tool with arguments that need no quoting (scratch paths only), after
    // `prefix` (a command such as "timeout 10 " that runs the tool).
    ToolRun tool(const std::string& args, const std::string& prefix = "") {
        const std::string out = m_dir.file("stdout"), err = m_dir.file("stderr");
        const std::string command =
            prefix + std::string(ORVANE_TOOL_PATH) + " " + args + " >" + out + " 2>" + err;
        const int raw = std::system(command.c_str());
        ToolRun r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        const auto o = readFile(out), e = readFile(err);
        r.out.assign(o.begin(), o.end());
        r.err.assign(e.begin(), e.end());
        return r;
    }
    std::string save(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = m_dir.file(name);
        writeFile(path, bytes);
        return path;
    }
    std::string stub() { return save("stub", {0x7F, 'E', 'L', 'F', 0, 1, 2, 3}); }

    ScratchDir m_dir;
};

std::vector<std::uint8_t> sampleMovie(Compression c) {
    SwfWriter movie;
    movie.setCompression(c).setVersion(c == Compression::Lzma ? 13 : 8).setFrameRate(30);
    ShapeBuilder box;
    box.setFill0(static_cast<std::uint32_t>(box.addFill(FillStyle::solid({1, 2, 3}))))
        .rectangle(0, 0, 400, 400);
    movie.setBackgroundColor({255, 255, 255}).defineShape(1, box).place(1, 1).showFrame();
    movie.moveTo(1, Matrix::translate(20, 20)).showFrame().showFrame();
    return movie.bytes();
}

class PackRoundTrip : public ToolTest, public ::testing::WithParamInterface<Compression> {};

} // namespace

TEST_P(PackRoundTrip, UnpackGivesBackTheSameBytes) {
    const auto movie = sampleMovie(GetParam());
    const std::string in = save("in.swf", movie), projector = m_dir.file("projector"),
                      out = m_dir.file("out.swf");
    const ToolRun pack = tool("pack " + in + " -o " + projector + " --stub " + stub());
    ASSERT_EQ(pack.status, 0) << pack.err;

    const auto packed = readFile(projector);
    ASSERT_EQ(packed.size(), 8 + movie.size() + 8);
    EXPECT_EQ(std::vector<std::uint8_t>(packed.begin(), packed.begin() + 8), readFile(m_dir.file("stub")));
    const std::vector<std::uint8_t> trailer(packed.end() - 8, packed.end());
    const std::uint32_t length = static_cast<std::uint32_t>(movie.size());
    EXPECT_EQ(trailer, (std::vector<std::uint8_t>{0x56, 0x34, 0x12, 0xFA, static_cast<std::uint8_t>(length),
                                                  static_cast<std::uint8_t>(length >> 8),
                                                  static_cast<std::uint8_t>(length >> 16),
                                                  static_cast<std::uint8_t>(length >> 24)}));
    struct stat st {};
    ASSERT_EQ(stat(projector.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);

    const ToolRun unpack = tool("unpack " + projector + " -o " + out);
    ASSERT_EQ(unpack.status, 0) << unpack.err;
    EXPECT_EQ(readFile(out), movie);
}

INSTANTIATE_TEST_SUITE_P(AllCompressions, PackRoundTrip,
                         ::testing::Values(Compression::None, Compression::Zlib, Compression::Lzma));

TEST_F(ToolTest, PackAndUnpackRefuseWhatTheyCannotUse) {
    const std::string notSwf = save("notes.txt", {'h', 'e', 'l', 'l', 'o'});
    ToolRun r = tool("pack " + notSwf + " -o " + m_dir.file("p") + " --stub " + stub());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(notSwf), std::string::npos);
    EXPECT_NE(r.err.find("not an SWF"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("p")));

    const std::string movie = save("m.swf", sampleMovie(Compression::None));
    EXPECT_EQ(
        tool("pack " + m_dir.file("missing.swf") + " -o " + m_dir.file("p") + " --stub " + stub()).status, 1);
    EXPECT_EQ(tool("pack " + movie + " -o " + m_dir.file("p") + " --stub " + m_dir.file("nostub")).status, 1);
    EXPECT_EQ(tool("pack " + movie).status, 2);
    EXPECT_EQ(tool("pack " + movie + " -o").status, 2);
    EXPECT_EQ(tool("pack " + movie + " -o x --frobnicate").status, 2);
    EXPECT_EQ(tool("pack --help").status, 0);

    auto bytes = sampleMovie(Compression::None);
    bytes.insert(bytes.end(), {0xFF, 0xFF, 0xFF, 0xFF}); // length -1
    const std::string broken = save("broken", bytes);
    r = tool("unpack " + broken + " -o " + m_dir.file("u.swf"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(broken), std::string::npos);
    EXPECT_EQ(tool("unpack " + m_dir.file("missing") + " -o " + m_dir.file("u.swf")).status, 1);
    EXPECT_EQ(tool("unpack " + movie).status, 2);
}

TEST_F(ToolTest, InfoReportsHeaderAndTagCounts) {
    SwfWriter movie;
    movie.setCompression(Compression::Zlib).setVersion(9).setStage({40, 11000, 0, 8000}).setFrameRate(12.5);
    movie.setBackgroundColor({0, 0, 0}).showFrame(3).rawTag(600, std::vector<std::uint8_t>{1, 2});
    const std::string path = save("info.swf", movie.bytes());

    const ToolRun text = tool("info " + path);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("signature: CWS"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("stage: 550 x 400 px"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("stage extent: 548 x 400 px"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("frame rate: 12.50 fps"), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find("problem"), std::string::npos) << text.out;

    const ToolRun json = tool("info " + path + " --json");
    ASSERT_EQ(json.status, 0) << json.err;
    const std::string expectDeclared =
        "\"declared_length\": " + std::to_string(movie.uncompressedBytes().size());
    for (const std::string& fragment :
         {std::string("\"version\": 9"), expectDeclared, std::string("\"width\": 550"),
          std::string("\"height\": 400"), std::string("\"frame_count\": 3"),
          std::string("{\"code\": 1, \"name\": \"ShowFrame\", \"count\": 3}"),
          std::string("{\"code\": 600, \"name\": \"unknown\", \"count\": 1}"),
          std::string("\"unknown_tags\": 1"), std::string("\"problems\": []")})
        EXPECT_NE(json.out.find(fragment), std::string::npos) << fragment << "\n" << json.out;
}

TEST_F(ToolTest, InfoNamesTheFaultsOfABrokenMovie) {
    SwfWriter movie;
    movie.showFrame().rawTag(2, std::vector<std::uint8_t>(100, 0));
    auto bytes = movie.bytes();
    bytes.resize(bytes.size() - 30); // the last tag runs past the end, and End is gone
    const ToolRun r = tool("info " + save("cut.swf", bytes) + " --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("runs past the end"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("no End tag"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("file size differs"), std::string::npos) << r.out;

    EXPECT_EQ(tool("info " + save("short.swf", {'F', 'W', 'S', 1, 9, 0, 0, 0})).status, 1);
    EXPECT_EQ(tool("info " + save("junk", std::vector<std::uint8_t>(64, 'x'))).status, 1);
    EXPECT_EQ(tool("info " + m_dir.file("missing")).status, 1);
    EXPECT_EQ(tool("info").status, 2);
}

// A damaged movie is reported (exit 0 with problems, or 1), never a crash.
TEST_F(ToolTest, InfoSurvivesDamagedMovies) {
    for (Compression c : {Compression::None, Compression::Zlib, Compression::Lzma}) {
        const auto whole = sampleMovie(c);
        std::vector<std::vector<std::uint8_t>> damaged;
        for (std::size_t size :
             {std::size_t(9), std::size_t(13), std::size_t(20), whole.size() / 2, whole.size() - 1})
            damaged.emplace_back(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        for (std::size_t at :
             {std::size_t(4), std::size_t(8), std::size_t(12), std::size_t(17), whole.size() - 3}) {
            auto bytes = whole;
            bytes[at] ^= 0xFF;
            damaged.push_back(bytes);
        }
        for (std::size_t i = 0; i < damaged.size(); ++i) {
            const ToolRun r = tool("info " + save("damaged.swf", damaged[i]) + " --json");
            EXPECT_TRUE(r.status == 0 || r.status == 1) << "case " << i << " status " << r.status << "\n"
                                                        << r.err;
        }
    }
}

// What cannot be read as a file is refused at once with exit 1 and a message naming it:
// never an uncaught exception, never a read that does not end.
TEST_F(ToolTest, CommandsRefuseDirectoriesDevicesFifosAndUnreadableFiles) {
    const std::string fifo = m_dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string locked = save("locked.swf", sampleMovie(Compression::None));
    chmod(locked.c_str(), 0);
    std::vector<std::pair<std::string, std::string>> inputs = {
        {m_dir.path(), "directory"}, {"/dev/zero", "device"}, {fifo, "FIFO"}};
    if (geteuid() != 0) // root reads whatever the mode says
        inputs.emplace_back(locked, "Permission denied");
    const std::string movie = save("m.swf", sampleMovie(Compression::Zlib));
    for (const auto& [input, word] : inputs) {
        for (const std::string& command :
             {"info " + input, "info " + input + " --json", "pack " + input + " -o " + m_dir.file("p") +
                 " --stub " + stub(), "pack " + movie + " -o " + m_dir.file("p") + " --stub " + input,
              "unpack " + input + " -o " + m_dir.file("u.swf"), "dump " + input, "trace " + input}) {
            const ToolRun r = tool(command, "timeout 10 ");
            EXPECT_EQ(r.status, 1) << command << "\n" << r.err;
            EXPECT_NE(r.err.find(input), std::string::npos) << command << "\n" << r.err;
            if (command.rfind("dump", 0) != 0 && command.rfind("trace", 0) != 0)
                EXPECT_NE(r.err.find(word), std::string::npos) << command << "\n" << r.err;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("p")));
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("u.swf")));
}

// An output that is an input (by name, by symbolic or hard link) is refused and both files
// stay as they were; a write that fails leaves nothing half-written behind.
TEST_F(ToolTest, PackAndUnpackNeverOverwriteTheirInput) {
    const auto bytes = sampleMovie(Compression::None);
    const std::string movie = save("m.swf", bytes), stubPath = stub();
    const auto stubBytes = readFile(stubPath);
    std::filesystem::create_symlink(movie, m_dir.file("link.swf"));
    std::filesystem::create_hard_link(movie, m_dir.file("hard.swf"));
    for (const std::string& out : {movie, m_dir.file("link.swf"), m_dir.file("hard.swf"), stubPath}) {
        const ToolRun r = tool("pack " + movie + " -o " + out + " --stub " + stubPath);
        EXPECT_EQ(r.status, 1) << out;
        EXPECT_NE(r.err.find("same file"), std::string::npos) << r.err;
    }
    EXPECT_EQ(readFile(movie), bytes);
    EXPECT_EQ(readFile(stubPath), stubBytes);

    const std::string projector = m_dir.file("projector");
    ASSERT_EQ(tool("pack " + movie + " -o " + projector + " --stub " + stubPath).status, 0);
    const auto packed = readFile(projector);
    std::filesystem::create_symlink(projector, m_dir.file("plink"));
    for (const std::string& out : {projector, m_dir.file("plink")}) {
        const ToolRun r = tool("unpack " + projector + " -o " + out);
        EXPECT_EQ(r.status, 1) << out;
        EXPECT_NE(r.err.find("projector itself"), std::string::npos) << r.err;
    }
    EXPECT_EQ(readFile(projector), packed);

    // Writing into a directory that does not exist fails cleanly, leaving no temporary file.
    const std::size_t before = std::distance(std::filesystem::directory_iterator(m_dir.path()), {});
    EXPECT_EQ(tool("pack " + movie + " -o " + m_dir.file("none/p") + " --stub " + stubPath).status, 1);
    EXPECT_EQ(tool("unpack " + projector + " -o " + m_dir.file("none/u.swf")).status, 1);
    EXPECT_EQ(std::size_t(std::distance(std::filesystem::directory_iterator(m_dir.path()), {})), before);
}

// A compressed movie that claims more than the player would ever hold, or that expands past
// deflate's largest ratio, is refused at once without inflating it.
TEST_F(ToolTest, InfoRefusesBombsQuickly) {
    SwfWriter huge;
    huge.setCompression(Compression::Zlib).setDeclaredLength(0xF0000000u).showFrame();
    ToolRun r = tool("info " + save("huge.swf", huge.bytes()));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("512 MiB"), std::string::npos) << r.err;

    SwfWriter dense;
    dense.setCompression(Compression::Lzma).rawTag(87, std::vector<std::uint8_t>(16u << 20, 0)).showFrame();
    r = tool("info " + save("dense.swf", dense.bytes()));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ratio"), std::string::npos) << r.err;
}

namespace {

// A CWS movie whose body holds one DefineBinaryData tag of `size` zero bytes, compressed as
// it is made (the whole body never exists in memory).
std::vector<std::uint8_t> zeroFilledMovie(std::uint32_t size) {
    std::vector<std::uint8_t> head = {0x00, 0x00, 0x0C, 0x01, 0x00}; // empty stage, 12 fps, 1 frame
    const std::uint16_t longTag = static_cast<std::uint16_t>(87 << 6 | 0x3F);
    head.insert(head.end(), {static_cast<std::uint8_t>(longTag), static_cast<std::uint8_t>(longTag >> 8)});
    for (int k = 0; k < 4; ++k)
        head.push_back(static_cast<std::uint8_t>(size >> (8 * k)));
    const std::vector<std::uint8_t> tail = {0x40, 0x00, 0x00, 0x00}; // ShowFrame, End
    const std::uint32_t length = static_cast<std::uint32_t>(8 + head.size() + size + tail.size());
    std::vector<std::uint8_t> out = {'C', 'W', 'S', 10};
    for (int k = 0; k < 4; ++k)
        out.push_back(static_cast<std::uint8_t>(length >> (8 * k)));
    z_stream zs{};
    deflateInit(&zs, Z_BEST_COMPRESSION);
    std::vector<std::uint8_t> zeros(1 << 20, 0), buffer(1 << 16);
    auto feed = [&](const std::uint8_t* data, std::size_t n, int flush) {
        zs.next_in = const_cast<Bytef*>(data);
        zs.avail_in = static_cast<uInt>(n);
        do {
            zs.next_out = buffer.data();
            zs.avail_out = static_cast<uInt>(buffer.size());
            deflate(&zs, flush);
            out.insert(out.end(), buffer.data(), buffer.data() + (buffer.size() - zs.avail_out));
        } while (zs.avail_out == 0);
    };
    feed(head.data(), head.size(), Z_NO_FLUSH);
    for (std::uint32_t left = size; left > 0;) {
        const std::uint32_t n = std::min<std::uint32_t>(left, static_cast<std::uint32_t>(zeros.size()));
        feed(zeros.data(), n, Z_NO_FLUSH);
        left -= n;
    }
    feed(tail.data(), tail.size(), Z_FINISH);
    deflateEnd(&zs);
    return out;
}

// Runs the tool itself (no shell between) with its output dropped; its exit status and the
// most memory it held at once, in kilobytes.
std::pair<int, long> toolPeakMemory(const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char*> argv{const_cast<char*>(ORVANE_TOOL_PATH)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(ORVANE_TOOL_PATH, argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss};
}

} // namespace

// info walks a large body through a small window: a 256 MiB body (a quarter megabyte on
// disk) is read whole in a few megabytes, and its length and tags are told.
TEST_F(ToolTest, InfoReadsLargeBodiesInBoundedMemory) {
    constexpr std::uint32_t kSize = 256u << 20;
    const std::string movie = save("large.swf", zeroFilledMovie(kSize));
    const ToolRun r = tool("info " + movie);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("body length: " + std::to_string(kSize + 15)), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("DefineBinaryData"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("problem"), std::string::npos) << r.out;
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer keeps freed blocks in its quarantine and adds shadow memory, so the
    // tool's peak resident size says nothing about what it holds.
    GTEST_SKIP() << "peak memory is not measurable under AddressSanitizer";
#endif
    const auto [status, peakKb] = toolPeakMemory({"info", movie});
    EXPECT_EQ(status, 0);
    EXPECT_LT(peakKb, 64 * 1024) << "info held " << peakKb << " kB for a 256 MiB body";
}

TEST_F(ToolTest, InfoSaysWhichScriptMachinePlaysTheMovie) {
    auto machineOf = [this](const std::string& name, SwfWriter& movie) {
        const ToolRun r = tool("info " + save(name, movie.bytes()));
        EXPECT_EQ(r.status, 0) << r.err;
        const auto at = r.out.find("script machine: ");
        return at == std::string::npos ? std::string() : r.out.substr(at + 16, r.out.find('\n', at) - at - 16);
    };
    const std::vector<std::uint8_t> abc{0, 0, 0, 0, 0, 16, 0, 46, 0};
    SwfWriter as3;
    as3.fileAttributes(0x08).rawTag(82, abc).showFrame();
    EXPECT_EQ(machineOf("as3.swf", as3), "ActionScript 3");
    // The flag decides; the other machine's tags are named as ignored.
    SwfWriter both;
    both.fileAttributes(0x08).rawTag(82, abc).doAction(std::vector<std::uint8_t>{0x07}).showFrame();
    EXPECT_EQ(machineOf("both.swf", both), "ActionScript 3 (its AS1/2 actions are ignored)");
    SwfWriter unflagged;
    unflagged.fileAttributes(0).rawTag(82, abc).showFrame();
    EXPECT_NE(machineOf("unflagged.swf", unflagged).find("ActionScript 1/2 (its DoABC code is ignored"), std::string::npos);
    SwfWriter plain;
    plain.showFrame();
    EXPECT_EQ(machineOf("plain.swf", plain), "ActionScript 1/2");
}
