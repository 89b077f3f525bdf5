#pragma once
// Where SharedObject.getLocal keeps its data between runs: one file per movie and object
// name under a directory the player chooses (the engine knows no user folders). Files are
// named by a hash of the movie's address and the object's name, so nothing a movie says
// reaches a file path.

#include <cstddef>
#include <filesystem>
#include <string>

namespace swf::avm1 {

class SharedObjectStore {
public:
    // Files larger than this are not read back (Flash's own limit is far below it).
    static constexpr std::size_t kMaxFileSize = 4 << 20;

    explicit SharedObjectStore(std::filesystem::path directory) : m_directory(std::move(directory)) {}

    // The bytes stored under `key`; false when there are none.
    bool read(const std::string& key, std::string& out) const;
    // Replaces what `key` holds; false when it could not be written.
    bool write(const std::string& key, const std::string& bytes) const;
    void remove(const std::string& key) const;

private:
    std::filesystem::path fileOf(const std::string& key) const;

    std::filesystem::path m_directory;
};

} // namespace swf::avm1
