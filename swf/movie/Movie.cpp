// Movie loading: container, header, and one pass over the tags that fills the
// dictionary and indexes the frames of every timeline.

#include "swf/movie/Movie.h"

#include "swf/format/Button.h"
#include "swf/format/Font.h"
#include "swf/format/Media.h"
#include "swf/format/PlaceObject.h"
#include "swf/format/Shape.h"
#include "swf/format/Sound.h"
#include "swf/format/TagCode.h"
#include "swf/format/Text.h"
#include "swf/io/ByteReader.h"
#include "swf/io/Decompress.h"

#include <algorithm>

namespace swf::movie {

using format::TagCode;

namespace {
// DefineSprite inside DefineSprite is not allowed; a few levels are tolerated.
constexpr int kMaxSpriteNesting = 4;
} // namespace

std::uint32_t TagStats::unknownTotal() const {
    std::uint32_t n = 0;
    for (auto& [code, count] : unknown)
        n += count;
    return n;
}

std::uint32_t TagStats::brokenTotal() const {
    std::uint32_t n = 0;
    for (auto& [code, count] : broken)
        n += count;
    return n;
}

const format::Character* Movie::character(std::uint16_t id) const {
    if (id >= m_dictionary.size())
        return nullptr;
    return m_dictionary[id].get();
}

class MovieLoader {
public:
    explicit MovieLoader(Movie& movie) : m(movie) { ctx.swfVersion = movie.m_version; }

    void parseTimeline(io::ByteReader& r, format::Timeline& tl, int nesting);

private:
    void definition(TagCode code, io::ByteReader& body);
    void put(std::uint16_t code, std::unique_ptr<format::Character> c);
    template <class T> T* find(std::uint16_t id, format::CharacterKind kind) {
        auto* c = id < m.m_dictionary.size() ? m.m_dictionary[id].get() : nullptr;
        return c && c->kind == kind ? static_cast<T*>(c) : nullptr;
    }
    void broken(std::uint16_t code) { ++m.m_stats.broken[code]; }

    Movie& m;
    format::ParseContext ctx;
};

void MovieLoader::put(std::uint16_t code, std::unique_ptr<format::Character> c) {
    if (!c) {
        broken(code);
        return;
    }
    auto& slot = m.m_dictionary[c->id];
    if (slot) {
        ++m.m_stats.duplicateIds; // the first definition of an id wins
        return;
    }
    slot = std::move(c);
    ++m.m_characterCount;
}

void MovieLoader::parseTimeline(io::ByteReader& r, format::Timeline& tl, int nesting) {
    std::uint32_t frameFirstTag = 0;
    bool ended = false;
    const std::size_t base = r.data().data() - m.m_body.data();
    while (!r.atEnd()) {
        std::uint16_t header = r.u16();
        std::uint16_t code = header >> 6;
        std::uint32_t length = header & 0x3F;
        if (length == 0x3F)
            length = r.u32();
        if (!r.ok()) {
            m.m_truncated = true;
            m.m_truncationReason = "tag header cut short";
            break;
        }
        ++m.m_stats.total;
        if (length > r.remaining()) {
            // The last tag runs past the data: the frames before it still play.
            broken(code);
            m.m_truncated = true;
            m.m_truncationReason = "tag runs past the end of the data";
            break;
        }
        std::size_t offset = base + r.position();
        io::ByteReader body = r.sub(length);
        format::TagRef ref{code, static_cast<std::uint32_t>(offset), length};
        auto tag = static_cast<TagCode>(code);
        switch (tag) {
        case TagCode::End:
            ended = true;
            break;
        case TagCode::ShowFrame:
            tl.frameStart.push_back(frameFirstTag);
            frameFirstTag = static_cast<std::uint32_t>(tl.tags.size());
            break;
        case TagCode::PlaceObject:
        case TagCode::PlaceObject2:
        case TagCode::PlaceObject3:
        case TagCode::PlaceObject4: {
            // Checked now so a broken placement is counted once and never replayed.
            format::PlaceObject place;
            if (format::parsePlaceObject(tag, body, ctx, place))
                tl.tags.push_back(ref);
            else
                broken(code);
            break;
        }
        case TagCode::RemoveObject:
        case TagCode::RemoveObject2: {
            std::uint16_t depth;
            if (format::parseRemoveObject(tag, body, depth))
                tl.tags.push_back(ref);
            else
                broken(code);
            break;
        }
        case TagCode::DoAction:
        case TagCode::DoInitAction:
            if (m.isActionScript3())
                break; // AS3 movies ignore AVM1 code
            if (tag == TagCode::DoInitAction && length < 2)
                broken(code);
            else
                tl.tags.push_back(ref);
            break;
        case TagCode::StartSound:
        case TagCode::StartSound2: {
            format::StartSound s;
            if (format::parseStartSound(tag, body, ctx, s))
                tl.tags.push_back(ref);
            else
                broken(code);
            break;
        }
        case TagCode::SoundStreamHead:
        case TagCode::SoundStreamHead2: {
            format::SoundStreamHead head;
            if (format::parseSoundStreamHead(body, head))
                tl.tags.push_back(ref);
            else
                broken(code);
            break;
        }
        case TagCode::SoundStreamBlock:
            tl.tags.push_back(ref);
            break;
        case TagCode::FrameLabel: {
            format::FrameLabel label;
            label.name = format::readString(body, ctx);
            label.frame = tl.frameCount();
            label.anchor = !body.atEnd() && body.u8() == 1;
            if (body.ok() || !label.name.empty())
                tl.labels.push_back(std::move(label));
            else
                broken(code);
            break;
        }
        case TagCode::DefineSprite: {
            if (nesting >= kMaxSpriteNesting) {
                broken(code);
                break;
            }
            auto sprite = std::make_unique<format::SpriteCharacter>();
            sprite->id = body.u16();
            sprite->timeline.declaredFrameCount = body.u16();
            if (!body.ok()) {
                broken(code);
                break;
            }
            io::ByteReader inner = body.sub(body.remaining());
            parseTimeline(inner, sprite->timeline, nesting + 1);
            put(code, std::move(sprite));
            break;
        }
        default:
            definition(tag, body);
            break;
        }
        if (ended)
            break;
    }
    if (!ended && nesting == 0 && !m.m_truncated) {
        m.m_truncated = true;
        m.m_truncationReason = "no End tag";
    }
    // Tags after the last ShowFrame belong to a frame that never completes.
    if (tl.frameStart.empty()) {
        tl.frameStart.push_back(0); // every timeline shows at least one (maybe empty) frame
    } else {
        tl.tags.resize(frameFirstTag);
    }
    std::erase_if(tl.labels, [&](const format::FrameLabel& l) { return l.frame >= tl.frameCount(); });
}

void MovieLoader::definition(TagCode tag, io::ByteReader& body) {
    auto code = static_cast<std::uint16_t>(tag);
    switch (tag) {
    case TagCode::DefineShape:
    case TagCode::DefineShape2:
    case TagCode::DefineShape3:
    case TagCode::DefineShape4:
        put(code, format::parseShape(tag, body, ctx));
        break;
    case TagCode::DefineMorphShape:
    case TagCode::DefineMorphShape2:
        put(code, format::parseMorphShape(tag, body, ctx));
        break;
    case TagCode::DefineBits:
    case TagCode::DefineBitsJPEG2:
    case TagCode::DefineBitsJPEG3:
    case TagCode::DefineBitsJPEG4:
    case TagCode::DefineBitsLossless:
    case TagCode::DefineBitsLossless2:
        put(code, format::parseBitmap(tag, body));
        break;
    case TagCode::JPEGTables:
        if (m.m_jpegTables.empty() && body.size() >= 2) {
            auto bytes = body.rest();
            m.m_jpegTables.assign(bytes.begin(), bytes.end());
        }
        break;
    case TagCode::DefineFont:
    case TagCode::DefineFont2:
    case TagCode::DefineFont3:
        put(code, format::parseFont(tag, body, ctx));
        break;
    case TagCode::DefineFontInfo:
    case TagCode::DefineFontInfo2: {
        io::ByteReader peek = body;
        auto* font = find<format::FontCharacter>(peek.u16(), format::CharacterKind::Font);
        if (!font || !format::applyFontInfo(tag, body, ctx, *font))
            broken(code);
        break;
    }
    case TagCode::DefineFontName: {
        auto* font = find<format::FontCharacter>(body.u16(), format::CharacterKind::Font);
        std::string name = format::readString(body, ctx);
        std::string copyright = format::readString(body, ctx);
        if (!font)
            broken(code);
        else {
            font->name = name;
            font->copyright = copyright;
        }
        break;
    }
    case TagCode::DefineText:
    case TagCode::DefineText2:
        put(code, format::parseText(tag, body, ctx));
        break;
    case TagCode::DefineEditText:
        put(code, format::parseEditText(body, ctx));
        break;
    case TagCode::DefineButton:
    case TagCode::DefineButton2:
        put(code, format::parseButton(tag, body, ctx));
        break;
    case TagCode::DefineButtonCxform:
    case TagCode::DefineButtonSound: {
        io::ByteReader peek = body;
        auto* button = find<format::ButtonCharacter>(peek.u16(), format::CharacterKind::Button);
        bool ok = button && (tag == TagCode::DefineButtonCxform ? format::applyButtonCxform(body, *button)
                                                                : format::applyButtonSound(body, *button));
        if (!ok)
            broken(code);
        break;
    }
    case TagCode::DefineScalingGrid: {
        std::uint16_t id = body.u16();
        format::Rect grid = format::readRect(body);
        if (!body.ok()) {
            broken(code);
        } else if (auto* sprite = find<format::SpriteCharacter>(id, format::CharacterKind::Sprite)) {
            sprite->scalingGrid = grid;
        } else if (auto* button = find<format::ButtonCharacter>(id, format::CharacterKind::Button)) {
            button->scalingGrid = grid;
        } else {
            broken(code);
        }
        break;
    }
    case TagCode::DefineSound:
        put(code, format::parseSound(body));
        break;
    case TagCode::DefineVideoStream:
        put(code, format::parseVideoStream(body));
        break;
    case TagCode::VideoFrame: {
        auto* video = find<format::VideoStreamCharacter>(body.u16(), format::CharacterKind::VideoStream);
        std::uint16_t frame = body.u16();
        if (!video || !body.ok()) {
            broken(code);
            break;
        }
        auto data = body.rest();
        video->frames[frame].assign(data.begin(), data.end());
        break;
    }
    case TagCode::DefineBinaryData:
        put(code, format::parseBinaryData(body));
        break;
    case TagCode::SetBackgroundColor:
        if (!m.m_hasBackground) {
            m.m_background = format::readRgb(body);
            m.m_hasBackground = body.ok();
            if (!body.ok())
                broken(code);
        }
        break;
    case TagCode::FileAttributes:
        m.m_fileAttributes = body.remaining() >= 4 ? body.u32() : body.u8();
        break;
    case TagCode::ExportAssets: {
        std::size_t count = body.u16();
        for (std::size_t i = 0; i < count && body.ok(); ++i) {
            std::uint16_t id = body.u16();
            std::string name = format::readString(body, ctx);
            if (body.ok())
                m.m_exports[name] = id;
        }
        if (!body.ok())
            broken(code);
        break;
    }
    case TagCode::DoAbc:
    case TagCode::DoAbcEarly: {
        AbcBlock block;
        if (tag == TagCode::DoAbc) {
            block.lazy = (body.u32() & 1) != 0;
            block.name = format::readString(body, ctx);
        }
        block.offset = static_cast<std::uint32_t>(body.data().data() - m.m_body.data() + body.position());
        block.length = static_cast<std::uint32_t>(body.remaining());
        if (body.ok())
            m.m_abc.push_back(std::move(block));
        else
            broken(code);
        break;
    }
    case TagCode::SymbolClass: {
        std::size_t count = body.u16();
        for (std::size_t i = 0; i < count && body.ok(); ++i) {
            SymbolClassEntry entry;
            entry.id = body.u16();
            entry.name = format::readString(body, ctx);
            if (body.ok())
                m.m_symbolClasses.push_back(std::move(entry));
        }
        if (!body.ok())
            broken(code);
        break;
    }
    case TagCode::DefineSceneAndFrameLabelData: {
        std::uint32_t scenes = body.encodedU32();
        for (std::uint32_t i = 0; i < scenes && body.ok() && !body.atEnd(); ++i) {
            SceneLabel scene;
            scene.frame = static_cast<int>(std::min<std::uint32_t>(body.encodedU32(), 0x7FFFFFFF));
            scene.name = format::readString(body, ctx);
            if (body.ok())
                m.m_scenes.push_back(std::move(scene));
        }
        std::uint32_t labels = body.encodedU32();
        for (std::uint32_t i = 0; i < labels && body.ok() && !body.atEnd(); ++i) {
            format::FrameLabel label;
            label.frame = static_cast<int>(std::min<std::uint32_t>(body.encodedU32(), 0x7FFFFFFF));
            label.name = format::readString(body, ctx);
            if (body.ok())
                m.m_sceneLabels.push_back(std::move(label));
        }
        if (!body.ok())
            broken(code);
        break;
    }
    default:
        if (!format::isKnownTag(code))
            ++m.m_stats.unknown[code];
        // FIXME: ImportAssets, fonts 4, align zones, CSM settings, ABC code and the
        // debugger/telemetry tags are recognised but have no effect.
        break;
    }
}

std::unique_ptr<Movie> Movie::fromBytes(std::vector<std::uint8_t> file, std::string& error,
                                        const io::DecodeProgress& progress) {
    if (file.size() < 8 || file[1] != 'W' || file[2] != 'S' ||
        (file[0] != 'F' && file[0] != 'C' && file[0] != 'Z')) {
        error = "not an SWF movie";
        return nullptr;
    }
    std::unique_ptr<Movie> movie(new Movie);
    movie->m_signature = static_cast<char>(file[0]);
    movie->m_version = file[3];
    io::ByteReader head(file);
    head.skip(4);
    movie->m_fileLength = head.u32();
    std::size_t declared = movie->m_fileLength >= 8 ? movie->m_fileLength - 8 : 0;
    if (declared > kMaxBodySize) {
        error = "movie body of " + std::to_string(declared) + " bytes is larger than the 512 MiB limit";
        return nullptr;
    }
    auto payload = std::span<const std::uint8_t>(file).subspan(8);
    if (movie->m_signature == 'F') {
        std::size_t size = payload.size();
        if (declared < size && declared >= 8)
            size = declared; // trailing bytes after the declared length are not the movie's
        else if (declared > size) {
            movie->m_truncated = true;
            movie->m_truncationReason = "file shorter than its header says";
        }
        // Reuse the file buffer: drop the 8-byte container header in place.
        file.erase(file.begin(), file.begin() + 8);
        file.resize(size);
        movie->m_body = std::move(file);
    } else {
        io::Inflated inflated;
        // No genuine body expands past deflate's largest ratio: decoding stops there, and a
        // stream that still has more to give is refused below.
        const std::size_t ratioCap = payload.size() * kMaxCompressionRatio + 64;
        const std::size_t wanted = std::min(declared, ratioCap);
        if (movie->m_signature == 'C') {
            inflated = io::inflateZlib(payload, wanted, progress);
        } else {
            if (file.size() < 17) {
                error = "LZMA movie header cut short";
                return nullptr;
            }
            inflated = io::decodeSwfLzma(std::span<const std::uint8_t>(file).subspan(12), wanted, progress);
        }
        if (inflated.error == "cancelled") {
            error = "loading cancelled";
            return nullptr;
        }
        if (wanted < declared && inflated.bytes.size() == wanted) {
            error = "compressed body expands more than deflate's largest ratio allows";
            return nullptr;
        }
        if (!inflated.complete) {
            movie->m_truncated = true;
            movie->m_truncationReason = inflated.error;
        } else if (inflated.bytes.size() < declared) {
            movie->m_truncated = true;
            movie->m_truncationReason = "compressed body shorter than its header says";
        }
        movie->m_body = std::move(inflated.bytes);
        std::vector<std::uint8_t>().swap(file);
    }

    io::ByteReader r(movie->m_body);
    movie->m_stage = format::readRect(r);
    movie->m_frameRate = r.u16() / 256.0;
    movie->m_root.declaredFrameCount = r.u16();
    if (!r.ok()) {
        error = movie->m_body.empty() && !movie->m_truncationReason.empty()
                    ? "cannot decompress the movie: " + movie->m_truncationReason
                    : "movie header cut short";
        return nullptr;
    }
    movie->m_dictionary.resize(65536);
    MovieLoader loader(*movie);
    io::ByteReader tags = r.sub(r.remaining());
    loader.parseTimeline(tags, movie->m_root, 0);
    return movie;
}

} // namespace swf::movie
