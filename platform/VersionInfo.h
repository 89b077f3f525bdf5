#pragma once
// The player's version record: a fixed version and a table of strings, stored in an
// ELF note of the program file and read back from that file. A file without the note
// has no version record.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvane::platform {

// Note owner and type that mark the record among a file's notes.
inline constexpr char kVersionNoteOwner[] = "Orvane";
inline constexpr std::uint32_t kVersionNoteType = 1;
inline constexpr std::uint32_t kVersionSignature = 0xFEEF04BD;

struct FixedVersion {
    std::uint16_t major = 0, minor = 0, patch = 0, build = 0;
    // The record's two 32-bit halves: major and minor in the upper, patch and build in the lower.
    std::uint32_t high() const { return std::uint32_t(major) << 16 | minor; }
    std::uint32_t low() const { return std::uint32_t(patch) << 16 | build; }
    friend bool operator==(const FixedVersion&, const FixedVersion&) = default;
};

struct VersionRecord {
    FixedVersion fileVersion;
    FixedVersion productVersion;
    std::uint16_t language = 0x0409; // US English
    std::uint16_t codePage = 1252;
    std::vector<std::pair<std::string, std::string>> strings;

    std::string string(const std::string& key) const;
};

// Full path of the running program's file.
std::string programPath();

// Reads the record from an ELF file's notes. Empty when the file cannot be read, is not
// a little-endian ELF file, or carries no valid record. Never throws.
std::optional<VersionRecord> readVersionRecord(const std::string& path);

// Parses the note's descriptor bytes. Empty when malformed.
std::optional<VersionRecord> parseVersionNote(const std::uint8_t* data, std::size_t size);

// Builds the note's descriptor bytes (the inverse of parseVersionNote).
std::vector<std::uint8_t> encodeVersionNote(const VersionRecord& record);

} // namespace orvane::platform
