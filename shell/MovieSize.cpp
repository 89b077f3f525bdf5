#include "shell/MovieSize.h"

#include "swf/io/Decompress.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvane {

namespace {

constexpr std::size_t kBlock = 17; // holds the widest rectangle: 5 + 4 * 31 bits
// Compressed input read to get the first 17 bytes out; a real stream needs far less.
constexpr std::size_t kCompressedWindow = 64 * 1024;

using Block = std::array<std::uint8_t, kBlock>;

class File {
public:
    explicit File(const std::string& path) : m_path(path) {
        // Non-blocking so that a FIFO planted at the path cannot hang the caller.
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (m_fd < 0)
            throw FileOpenError("cannot open " + path + ": " + std::strerror(errno));
        struct stat st {};
        if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(m_fd);
            throw FileOpenError("cannot open " + path + ": not a regular file");
        }
        m_size = static_cast<std::uint64_t>(st.st_size);
    }
    ~File() { ::close(m_fd); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    std::uint64_t size() const { return m_size; }

    // Up to `size` bytes from `offset`; fewer only at the end of the file.
    std::vector<std::uint8_t> read(std::uint64_t offset, std::size_t size) {
        std::vector<std::uint8_t> out(size);
        std::size_t got = 0;
        while (got < size) {
            const ssize_t n = ::pread(m_fd, out.data() + got, size - got, static_cast<off_t>(offset + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw ReadError("cannot read " + m_path + ": " + std::strerror(errno));
            if (n == 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        out.resize(got);
        return out;
    }

private:
    std::string m_path;
    int m_fd = -1;
    std::uint64_t m_size = 0;
};

Block toBlock(const std::vector<std::uint8_t>& bytes, const std::string& path, const char* what) {
    if (bytes.size() < kBlock)
        throw ReadError(path + ": " + what + " ends before the frame rectangle");
    Block block;
    std::memcpy(block.data(), bytes.data(), kBlock);
    return block;
}

// The 17 bytes that start the movie header: raw from offset 8, or from the decompressed body.
Block headerBlock(const std::string& path) {
    File file(path);
    const auto head = file.read(0, 8 + kBlock);
    if (head.size() >= 3 && head[1] == 'W' && head[2] == 'S' && (head[0] == 'C' || head[0] == 'Z')) {
        const std::uint64_t from = head[0] == 'C' ? 8 : 12;
        const auto compressed = file.read(from, kCompressedWindow);
        const swf::io::Inflated body = head[0] == 'C' ? swf::io::inflateZlib(compressed, kBlock)
                                                      : swf::io::decodeSwfLzma(compressed, kBlock);
        return toBlock(body.bytes, path, "the compressed body");
    }
    if (head.size() < 8 + kBlock)
        throw ReadError(path + ": file ends before the frame rectangle");
    return toBlock(std::vector<std::uint8_t>(head.begin() + 8, head.end()), path, "the file");
}

// The n-bit unsigned field starting at bit `first` of the block, most significant bit first.
std::uint32_t field(const Block& block, int first, int n) {
    std::uint32_t value = 0;
    for (int k = first; k < first + n; ++k)
        value = value << 1 | ((block[static_cast<std::size_t>(k / 8)] >> (7 - k % 8)) & 1u);
    return value;
}

int edge(const std::string& path, int index) {
    const Block block = headerBlock(path);
    const int n = block[0] >> 3;
    return static_cast<int>(field(block, 5 + index * n, n) / 20);
}

} // namespace

int MovieWidth(const std::string& path) {
    return edge(path, 1);
}

int MovieHeight(const std::string& path) {
    return edge(path, 3);
}

} // namespace orvane
