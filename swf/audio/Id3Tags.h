#pragma once
// The ID3 tags of an MP3 file as Sound.id3 shows them: every text frame of an ID3v2
// tag (versions 2.2 to 2.4) under its four-letter name (COMM for the comment), and the
// ID3v1 names (songname, artist, album, year, comment, genre, track) filled from the
// v2 frames or, failing those, from an ID3v1 tag at the end. Values are UTF-8.

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace swf::audio {

using Id3Tags = std::vector<std::pair<std::string, std::string>>;

Id3Tags readId3Tags(std::span<const std::uint8_t> file);

// The file's MP3 frames: the bytes between a leading ID3v2 tag and a trailing ID3v1 tag.
std::span<const std::uint8_t> mp3Frames(std::span<const std::uint8_t> file);

} // namespace swf::audio
