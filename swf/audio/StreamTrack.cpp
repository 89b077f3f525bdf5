#include "swf/audio/StreamTrack.h"

#include "swf/audio/SoundDecoder.h"
#include "swf/format/Sound.h"
#include "swf/format/TagCode.h"
#include "swf/io/ByteReader.h"
#include "swf/movie/Movie.h"

#include <optional>

namespace swf::audio {

using format::TagCode;

std::int64_t StreamTrack::endOf(int frame) const {
    const int count = static_cast<int>(frameStart.size());
    int f = std::max(frame, 0);
    while (f < count && frameStart[f] >= 0)
        ++f;
    for (; f < count; ++f)
        if (frameStart[f] >= 0)
            return std::max(frameStart[f], startOf(frame));
    return pcm ? static_cast<std::int64_t>(pcm->frames()) : 0;
}

std::unique_ptr<StreamTrack> buildStreamTrack(const movie::Movie& movie, const format::Timeline& timeline) {
    // The first head sets the format; a timeline holds one stream.
    std::optional<format::SoundStreamHead> head;
    for (const format::TagRef& tag : timeline.tags) {
        const auto code = static_cast<TagCode>(tag.code);
        if (code != TagCode::SoundStreamHead && code != TagCode::SoundStreamHead2)
            continue;
        io::ByteReader r(movie.tagBody(tag));
        format::SoundStreamHead h;
        if (format::parseSoundStreamHead(r, h)) {
            head = h;
            break;
        }
    }
    if (!head)
        return nullptr;

    const bool mp3 = head->stream.codec == static_cast<std::uint8_t>(format::SoundCodec::Mp3);
    const int rate = sourceRate(head->stream);
    SoundDecoder decoder(head->stream);
    auto track = std::make_unique<StreamTrack>();
    track->frameStart.assign(static_cast<std::size_t>(timeline.frameCount()), -1);
    bool any = false;
    // MP3 blocks say how many samples they hold and where in them their frame starts;
    // other codecs start each frame where the previous blocks' samples end.
    std::uint64_t mp3Samples = 0;
    std::optional<std::int64_t> mp3Base;
    for (int f = 0; f < timeline.frameCount() && !decoder.full(); ++f) {
        for (const format::TagRef& tag : timeline.frameTags(f)) {
            if (static_cast<TagCode>(tag.code) != TagCode::SoundStreamBlock)
                continue;
            auto body = movie.tagBody(tag);
            std::int64_t start = static_cast<std::int64_t>(decoder.sourceFrames());
            if (mp3) {
                io::ByteReader r(body);
                const std::uint16_t count = r.u16();
                const std::int16_t seek = r.s16();
                if (!r.ok()) {
                    ++track->errors;
                    continue;
                }
                // Files whose first block carries no seek rely on the head's latency field.
                if (!mp3Base)
                    mp3Base = seek == 0 ? std::max<std::int64_t>(head->latencySeek, 0) : 0;
                start = static_cast<std::int64_t>(mp3Samples) + seek + *mp3Base;
                mp3Samples += count;
                body = body.subspan(4);
            }
            if (track->frameStart[f] < 0)
                track->frameStart[f] =
                    static_cast<std::int64_t>(outputFrames(static_cast<std::uint64_t>(std::max<std::int64_t>(start, 0)), rate));
            decoder.decode(body);
            any = true;
        }
    }
    decoder.finish();
    if (!any)
        return nullptr;
    track->errors += decoder.errors();
    track->pcm = std::make_shared<const Pcm>(std::move(decoder.output()));
    return track;
}

} // namespace swf::audio
