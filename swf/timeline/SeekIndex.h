#pragma once
// Keeps the tag-derived state of a timeline every kSnapshotInterval frames, so a
// seek replays at most that many frames. Snapshots hold placement state only;
// definitions stay in the movie. Built lazily as seeks reach further.

#include "swf/format/Timeline.h"
#include "swf/timeline/DisplayObject.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace swf::movie {
class Movie;
}

namespace swf::timeline {

struct World;

// Frames between snapshots (picked with bench/BenchEngine's seek benchmark).
inline constexpr int kSnapshotInterval = 32;

// Decodes one frame's display-list tags in order, handing on each placement and each
// removed depth; tags that do not parse are skipped.
void forEachDisplayListTag(const movie::Movie& movie, const format::Timeline& timeline, int frame,
                           const std::function<void(const format::PlaceObject&)>& onPlace,
                           const std::function<void(std::uint16_t depth)>& onRemove);

// Applies one frame's display-list tags (place and remove) to a state map.
void applyFrameTags(const movie::Movie& movie, const format::Timeline& timeline, int frame, PlaceMap& state);

class SeekIndex {
public:
    SeekIndex(const World& world, const movie::Movie& movie, const format::Timeline& timeline);
    // The placement state after frames 0..frame have been applied.
    PlaceMap stateAt(int frame);
    std::size_t snapshotCount() const { return m_snapshots.size(); }

private:
    const movie::Movie& m_movie; // whose body the timeline's tags are in
    const format::Timeline& m_timeline;
    std::vector<std::vector<PlaceState>> m_snapshots; // [k] = state at frame k * interval
};

} // namespace swf::timeline
