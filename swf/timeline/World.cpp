#include "swf/timeline/World.h"

#include "swf/timeline/SeekIndex.h"

namespace swf::timeline {

World::World(const movie::Movie& m) : movie(m) {
    parse.swfVersion = m.version();
}

World::~World() = default;

SeekIndex* World::seekIndex(const format::Timeline& timeline) {
    // Short timelines replay from the start faster than an index pays off.
    if (timeline.frameCount() <= 2 * kSnapshotInterval)
        return nullptr;
    auto& slot = m_indexes[&timeline];
    if (!slot)
        slot = std::make_unique<SeekIndex>(*this, timeline);
    return slot.get();
}

} // namespace swf::timeline
