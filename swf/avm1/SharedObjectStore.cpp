#include "swf/avm1/SharedObjectStore.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

namespace swf::avm1 {

std::filesystem::path SharedObjectStore::fileOf(const std::string& key) const {
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (unsigned char c : key)
        hash = (hash ^ c) * 1099511628211ull;
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.sol", static_cast<unsigned long long>(hash));
    return m_directory / name;
}

bool SharedObjectStore::read(const std::string& key, std::string& out) const {
    const std::filesystem::path file = fileOf(key);
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxFileSize)
        return false;
    std::ifstream in(file, std::ios::binary);
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.good() || in.eof();
}

// Written beside the old file and renamed over it, so a crash never leaves half a file.
bool SharedObjectStore::write(const std::string& key, const std::string& bytes) const {
    std::error_code ec;
    std::filesystem::create_directories(m_directory, ec);
    const std::filesystem::path file = fileOf(key);
    std::filesystem::path temporary = file;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.good())
            return false;
    }
    std::filesystem::rename(temporary, file, ec);
    return !ec;
}

void SharedObjectStore::remove(const std::string& key) const {
    std::error_code ec;
    std::filesystem::remove(fileOf(key), ec);
}

} // namespace swf::avm1
