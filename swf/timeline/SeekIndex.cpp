#include "swf/timeline/SeekIndex.h"

#include "swf/movie/Movie.h"
#include "swf/timeline/World.h"

namespace swf::timeline {

void forEachDisplayListTag(const movie::Movie& movie, const format::Timeline& timeline, int frame,
                           const std::function<void(const format::PlaceObject&)>& onPlace,
                           const std::function<void(std::uint16_t depth)>& onRemove) {
    for (const format::TagRef& tag : timeline.frameTags(frame)) {
        auto code = static_cast<format::TagCode>(tag.code);
        io::ByteReader r(movie.tagBody(tag));
        switch (code) {
        case format::TagCode::PlaceObject:
        case format::TagCode::PlaceObject2:
        case format::TagCode::PlaceObject3:
        case format::TagCode::PlaceObject4: {
            format::PlaceObject place;
            if (format::parsePlaceObject(code, r, format::ParseContext{movie.version()}, place))
                onPlace(place);
            break;
        }
        case format::TagCode::RemoveObject:
        case format::TagCode::RemoveObject2: {
            std::uint16_t depth;
            if (format::parseRemoveObject(code, r, depth))
                onRemove(depth);
            break;
        }
        default:
            break;
        }
    }
}

void applyFrameTags(const movie::Movie& movie, const format::Timeline& timeline, int frame, PlaceMap& state) {
    forEachDisplayListTag(
        movie, timeline, frame,
        [&](const format::PlaceObject& place) {
            auto it = addressed(state, place.depth);
            PlaceState* existing = it == state.end() ? nullptr : &it->second;
            switch (placeEffect(movie, existing, false, place)) {
            case PlaceEffect::Ignore:
                break;
            case PlaceEffect::Move:
                existing->apply(place); // the character stays
                break;
            case PlaceEffect::Replace:
                existing->characterId = *place.characterId; // keeps what the tag does not set
                existing->apply(place);
                break;
            case PlaceEffect::Place:
            case PlaceEffect::PlaceUnder: {
                PlaceState next;
                next.depth = place.depth;
                next.characterId = *place.characterId;
                next.apply(place);
                // Under: before whatever the depth holds.
                state.emplace_hint(state.lower_bound(place.depth), place.depth, std::move(next));
                break;
            }
            }
        },
        [&](std::uint16_t depth) {
            if (auto it = addressed(state, depth); it != state.end())
                state.erase(it);
        });
}

SeekIndex::SeekIndex(const World&, const movie::Movie& movie, const format::Timeline& timeline)
    : m_movie(movie), m_timeline(timeline) {
    PlaceMap start;
    applyFrameTags(m_movie, m_timeline, 0, start);
    std::vector<PlaceState> first;
    for (auto& [depth, st] : start)
        first.push_back(st);
    m_snapshots.push_back(std::move(first));
}

PlaceMap SeekIndex::stateAt(int frame) {
    if (frame < 0)
        frame = 0;
    std::size_t slot = static_cast<std::size_t>(frame / kSnapshotInterval);
    // Extend the index up to the wanted slot, keeping a snapshot at each step.
    std::size_t have = m_snapshots.size() - 1;
    std::size_t from = std::min(slot, have);
    PlaceMap state;
    for (const PlaceState& st : m_snapshots[from])
        state.emplace_hint(state.end(), st.depth, st); // snapshots are in list order
    int at = static_cast<int>(from) * kSnapshotInterval;
    while (at < frame) {
        ++at;
        applyFrameTags(m_movie, m_timeline, at, state);
        if (at % kSnapshotInterval == 0 &&
            static_cast<std::size_t>(at / kSnapshotInterval) == m_snapshots.size()) {
            std::vector<PlaceState> snap;
            snap.reserve(state.size());
            for (auto& [depth, st] : state)
                snap.push_back(st);
            m_snapshots.push_back(std::move(snap));
        }
    }
    return state;
}

} // namespace swf::timeline
