#pragma once
// A loaded movie: header, the immutable dictionary of definitions, and the frame
// index of the root timeline (sprites carry their own). Built in one pass over the
// tags; nothing here changes while the movie plays.

#include "swf/format/Character.h"
#include "swf/format/Records.h"
#include "swf/format/Timeline.h"
#include "swf/io/Decompress.h"

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace swf::movie {

// Movie bodies larger than this are refused rather than inflated.
inline constexpr std::size_t kMaxBodySize = std::size_t(512) << 20;
// Deflate cannot expand data more than about 1032 times; a compressed body that claims to
// expand further (LZMA can be made to) is taken for a bomb and refused.
inline constexpr std::size_t kMaxCompressionRatio = 1032;

struct SceneLabel {
    std::string name;
    int frame = 0;
};

// A DoABC block: ActionScript 3 bytecode run in tag order before the frame that holds it.
struct AbcBlock {
    std::string name;
    bool lazy = false;        // kDoAbcLazyInitialize: scripts run when first needed
    std::uint32_t offset = 0; // of the ABC bytes within the movie body
    std::uint32_t length = 0;
};

// A SymbolClass entry: character `id` (0: the movie itself) is an instance of class `name`.
struct SymbolClassEntry {
    std::uint16_t id = 0;
    std::string name;
};

struct TagStats {
    std::uint32_t total = 0;
    std::map<std::uint16_t, std::uint32_t> unknown; // code -> count, skipped by length
    std::map<std::uint16_t, std::uint32_t> broken;  // code -> count, failed to parse and skipped
    std::uint32_t duplicateIds = 0;                 // definitions whose id was already taken
    std::uint32_t unknownTotal() const;
    std::uint32_t brokenTotal() const;
};

class Movie {
public:
    // Parses a whole file (FWS, CWS or ZWS). Returns nullptr and sets `error` when
    // the bytes are not a movie at all; a damaged movie loads as far as it goes.
    // `progress` hears of decompression as it goes and may cancel it (error "cancelled").
    static std::unique_ptr<Movie> fromBytes(std::vector<std::uint8_t> file, std::string& error,
                                            const io::DecodeProgress& progress = {});

    char signature() const { return m_signature; } // 'F', 'C' or 'Z'
    std::uint8_t version() const { return m_version; }
    std::uint32_t declaredFileLength() const { return m_fileLength; }
    const format::Rect& stageRect() const { return m_stage; }
    double headerFrameRate() const { return m_frameRate; } // as stored; may be 0
    std::uint16_t declaredFrameCount() const { return m_root.declaredFrameCount; }
    int frameCount() const { return m_root.frameCount(); }
    // True when the body ended before an End tag or decompression stopped early.
    bool truncated() const { return m_truncated; }
    const std::string& truncationReason() const { return m_truncationReason; }

    const format::Timeline& root() const { return m_root; }
    const format::Character* character(std::uint16_t id) const;
    const std::vector<std::uint8_t>& jpegTables() const { return m_jpegTables; }
    const format::Rgba& backgroundColor() const { return m_background; }
    bool hasBackgroundColor() const { return m_hasBackground; }
    bool isActionScript3() const { return m_fileAttributes & 0x08; }
    std::uint32_t fileAttributes() const { return m_fileAttributes; }
    const std::map<std::string, std::uint16_t>& exports() const { return m_exports; }
    const std::vector<SceneLabel>& scenes() const { return m_scenes; }
    // Root frame labels from DefineSceneAndFrameLabelData (FrameLabel tags are in root()).
    const std::vector<format::FrameLabel>& sceneFrameLabels() const { return m_sceneLabels; }
    const TagStats& tagStats() const { return m_stats; }
    // ActionScript 3 code and class links, in tag order (read in every movie, used by AS3 movies).
    const std::vector<AbcBlock>& abcBlocks() const { return m_abc; }
    const std::vector<SymbolClassEntry>& symbolClasses() const { return m_symbolClasses; }
    std::span<const std::uint8_t> abcBytes(const AbcBlock& block) const {
        return std::span<const std::uint8_t>(m_body).subspan(block.offset, block.length);
    }
    std::size_t characterCount() const { return m_characterCount; }
    // The decompressed body (header fields and tags); TagRef offsets index into it.
    std::span<const std::uint8_t> body() const { return m_body; }
    std::span<const std::uint8_t> tagBody(const format::TagRef& tag) const {
        return std::span<const std::uint8_t>(m_body).subspan(tag.offset, tag.length);
    }

private:
    friend class MovieLoader;
    Movie() = default;

    char m_signature = 'F';
    std::uint8_t m_version = 0;
    std::uint32_t m_fileLength = 0;
    format::Rect m_stage;
    double m_frameRate = 0;
    bool m_truncated = false;
    std::string m_truncationReason;
    std::vector<std::uint8_t> m_body;
    format::Timeline m_root;
    std::vector<std::unique_ptr<format::Character>> m_dictionary; // indexed by id, 65536 slots
    std::size_t m_characterCount = 0;
    std::vector<std::uint8_t> m_jpegTables;
    format::Rgba m_background{255, 255, 255, 255};
    bool m_hasBackground = false;
    std::uint32_t m_fileAttributes = 0;
    std::map<std::string, std::uint16_t> m_exports;
    std::vector<SceneLabel> m_scenes;
    std::vector<format::FrameLabel> m_sceneLabels;
    TagStats m_stats;
    std::vector<AbcBlock> m_abc;
    std::vector<SymbolClassEntry> m_symbolClasses;
};

} // namespace swf::movie
