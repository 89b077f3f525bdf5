#include "swf/timeline/World.h"

#include "swf/timeline/Clip.h"
#include "swf/timeline/HitTest.h"
#include "swf/timeline/SeekIndex.h"

namespace swf::timeline {

World::World(const movie::Movie& m) : movie(m) {
    parse.swfVersion = m.version();
}

World::~World() {
    dropRemoved();
}

void World::flushRemoved() {
    // Handlers may remove more clips; those are announced in the next round.
    for (int round = 0; round < 64 && !removed.empty(); ++round) {
        std::vector<DisplayList::node_type> batch;
        batch.swap(removed);
        std::vector<std::shared_ptr<Clip>> clips;
        for (auto& node : batch)
            if (node.mapped().clip)
                node.mapped().clip->forEachClip([&](Clip& c) { clips.push_back(c.shared_from_this()); });
        for (auto& clip : clips) {
            if (clip->m_removalAnnounced)
                continue;
            clip->m_removalAnnounced = true;
            if (events)
                events->clipRemoved(*clip);
        }
        for (auto& node : batch)
            if (node.mapped().clip)
                node.mapped().clip->detach();
    }
    dropRemoved();
}

void World::dropRemoved() {
    for (auto& node : removed)
        if (node.mapped().clip) {
            node.mapped().clip->forEachClip([](Clip& c) { c.m_removalAnnounced = true; });
            node.mapped().clip->detach();
        }
    removed.clear();
}

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

namespace swf::timeline {

HitShapeCache& World::hitShapes() {
    if (!m_hitShapes)
        m_hitShapes = std::make_unique<HitShapeCache>();
    return *m_hitShapes;
}

} // namespace swf::timeline
