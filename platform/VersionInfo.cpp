#include "VersionInfo.h"

#include <cstring>
#include <fstream>
#include <limits>

#include <unistd.h>

namespace orvane::platform {

namespace {

// The ELF header and section table are read from the file directly, with every offset
// and size checked against the file's length; a hostile file yields no record.
constexpr std::uint32_t kShtNote = 7;
constexpr std::uint32_t kPtNote = 4;
constexpr std::size_t kMaxNoteBytes = 1 << 20;
constexpr std::size_t kMaxTableEntries = 4096;

std::uint16_t u16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}
std::uint32_t u32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
std::uint64_t u64(const std::uint8_t* p) {
    return std::uint64_t(u32(p)) | std::uint64_t(u32(p + 4)) << 32;
}

class File {
public:
    explicit File(const std::string& path) : m_in(path, std::ios::binary) {
        if (m_in) {
            m_in.seekg(0, std::ios::end);
            const auto end = m_in.tellg();
            m_size = end > 0 ? static_cast<std::uint64_t>(end) : 0;
        }
    }
    bool ok() const { return static_cast<bool>(m_in); }
    std::uint64_t size() const { return m_size; }
    bool read(std::uint64_t offset, std::size_t count, std::vector<std::uint8_t>& out) {
        if (offset > m_size || count > m_size - offset)
            return false;
        out.resize(count);
        m_in.clear();
        m_in.seekg(static_cast<std::streamoff>(offset));
        m_in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(count));
        return static_cast<std::size_t>(m_in.gcount()) == count;
    }

private:
    std::ifstream m_in;
    std::uint64_t m_size = 0;
};

std::size_t align4(std::size_t n) {
    return (n + 3) & ~std::size_t(3);
}

// Walks a block of notes: namesz, descsz, type, name, desc, each padded to 4 bytes.
std::optional<VersionRecord> findInNotes(const std::vector<std::uint8_t>& notes) {
    std::size_t pos = 0;
    while (notes.size() - pos >= 12) {
        const std::uint32_t nameSize = u32(&notes[pos]);
        const std::uint32_t descSize = u32(&notes[pos + 4]);
        const std::uint32_t type = u32(&notes[pos + 8]);
        pos += 12;
        if (nameSize > notes.size() - pos)
            return std::nullopt;
        const std::size_t nameAt = pos;
        pos += align4(nameSize);
        if (pos > notes.size() || descSize > notes.size() - pos)
            return std::nullopt;
        const std::size_t descAt = pos;
        pos += align4(descSize);
        const std::size_t ownerLength = sizeof(kVersionNoteOwner); // includes the NUL
        if (type == kVersionNoteType && nameSize == ownerLength &&
            std::memcmp(&notes[nameAt], kVersionNoteOwner, ownerLength) == 0) {
            if (auto record = parseVersionNote(notes.data() + descAt, descSize))
                return record;
        }
        if (pos > notes.size())
            break;
    }
    return std::nullopt;
}

} // namespace

std::string VersionRecord::string(const std::string& key) const {
    for (const auto& [k, v] : strings)
        if (k == key)
            return v;
    return {};
}

std::string programPath() {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return {};
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

std::optional<VersionRecord> parseVersionNote(const std::uint8_t* data, std::size_t size) {
    // signature, structure version, file MS/LS, product MS/LS, language + code page, count
    constexpr std::size_t kHeader = 4 * 7 + 4;
    if (!data || size < kHeader || u32(data) != kVersionSignature)
        return std::nullopt;
    VersionRecord record;
    auto split = [](std::uint32_t high, std::uint32_t low) {
        return FixedVersion{std::uint16_t(high >> 16), std::uint16_t(high), std::uint16_t(low >> 16),
                            std::uint16_t(low)};
    };
    record.fileVersion = split(u32(data + 8), u32(data + 12));
    record.productVersion = split(u32(data + 16), u32(data + 20));
    record.language = u16(data + 24);
    record.codePage = u16(data + 26);
    const std::uint32_t count = u32(data + 28);
    if (count > kMaxTableEntries)
        return std::nullopt;
    std::size_t pos = kHeader;
    auto next = [&](std::string& out) {
        const void* nul = pos < size ? std::memchr(data + pos, 0, size - pos) : nullptr;
        if (!nul)
            return false;
        const std::size_t end = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data);
        out.assign(reinterpret_cast<const char*>(data + pos), end - pos);
        pos = end + 1;
        return true;
    };
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string key, value;
        if (!next(key) || !next(value))
            return std::nullopt;
        record.strings.emplace_back(std::move(key), std::move(value));
    }
    return record;
}

std::vector<std::uint8_t> encodeVersionNote(const VersionRecord& record) {
    std::vector<std::uint8_t> out;
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(std::uint8_t(v >> (8 * i)));
    };
    put32(kVersionSignature);
    put32(0x00010000);
    put32(record.fileVersion.high());
    put32(record.fileVersion.low());
    put32(record.productVersion.high());
    put32(record.productVersion.low());
    put32(std::uint32_t(record.language) | std::uint32_t(record.codePage) << 16);
    put32(static_cast<std::uint32_t>(record.strings.size()));
    for (const auto& [key, value] : record.strings) {
        out.insert(out.end(), key.begin(), key.end());
        out.push_back(0);
        out.insert(out.end(), value.begin(), value.end());
        out.push_back(0);
    }
    return out;
}

std::optional<VersionRecord> readVersionRecord(const std::string& path) {
    File file(path);
    std::vector<std::uint8_t> ident;
    if (!file.ok() || (!file.read(0, 64, ident) && !file.read(0, 52, ident)))
        return std::nullopt;
    if (std::memcmp(ident.data(),
                    "\x7f"
                    "ELF",
                    4) != 0 ||
        ident[5] != 1 /* little-endian */)
        return std::nullopt;
    const bool is64 = ident[4] == 2;
    if (!is64 && ident[4] != 1)
        return std::nullopt;
    if (ident.size() < (is64 ? 64u : 52u))
        return std::nullopt;

    struct Block {
        std::uint64_t offset, size;
    };
    std::vector<Block> blocks;
    auto collect = [&](std::uint64_t tableOffset, std::uint32_t entrySize, std::uint32_t count,
                       std::uint32_t wantedType, bool sections) {
        const std::uint32_t minEntry = sections ? (is64 ? 64 : 40) : (is64 ? 56 : 32);
        if (count == 0 || entrySize < minEntry || count > kMaxTableEntries)
            return;
        std::vector<std::uint8_t> table;
        if (!file.read(tableOffset, std::size_t(entrySize) * count, table))
            return;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint8_t* e = table.data() + std::size_t(i) * entrySize;
            const std::uint32_t type = sections ? u32(e + 4) : u32(e);
            if (type != wantedType)
                continue;
            Block b{};
            if (sections) {
                b.offset = is64 ? u64(e + 24) : u32(e + 16);
                b.size = is64 ? u64(e + 32) : u32(e + 20);
            } else {
                b.offset = is64 ? u64(e + 8) : u32(e + 4);
                b.size = is64 ? u64(e + 32) : u32(e + 16);
            }
            blocks.push_back(b);
        }
    };
    // Sections first; a stripped file may still keep its note segments.
    if (is64) {
        collect(u64(&ident[40]), u16(&ident[58]), u16(&ident[60]), kShtNote, true);
        collect(u64(&ident[32]), u16(&ident[54]), u16(&ident[56]), kPtNote, false);
    } else {
        collect(u32(&ident[32]), u16(&ident[46]), u16(&ident[48]), kShtNote, true);
        collect(u32(&ident[28]), u16(&ident[42]), u16(&ident[44]), kPtNote, false);
    }
    for (const Block& b : blocks) {
        if (b.size == 0 || b.size > kMaxNoteBytes)
            continue;
        std::vector<std::uint8_t> notes;
        if (!file.read(b.offset, static_cast<std::size_t>(b.size), notes))
            continue;
        if (auto record = findInNotes(notes))
            return record;
    }
    return std::nullopt;
}

} // namespace orvane::platform
