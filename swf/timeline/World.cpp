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

SeekIndex* World::seekIndex(const format::Timeline& timeline, const movie::Movie& owner) {
    // Short timelines replay from the start faster than an index pays off.
    if (timeline.frameCount() <= 2 * kSnapshotInterval)
        return nullptr;
    auto& slot = m_indexes[&timeline];
    if (!slot)
        slot = std::make_unique<SeekIndex>(*this, owner, timeline);
    return slot.get();
}

const World::LoadedMovie* World::loadedMovie(const std::string& file) const {
    for (const LoadedMovie& m : loadedMovies)
        if (m.file == file)
            return &m;
    return nullptr;
}

const World::LoadedMovie& World::addLoadedMovie(std::string file, std::shared_ptr<const movie::Movie> m) {
    auto root = std::make_unique<format::SpriteCharacter>();
    root->timeline = m->root();
    loadedBytes += m->body().size();
    loadedMovies.push_back({std::move(file), std::move(m), std::move(root)});
    return loadedMovies.back();
}

// A character's id names it in its own movie's dictionary, so the movie that gives the same
// pointer back for that id is its owner.
const movie::Movie& World::movieOf(const format::Character& c) const {
    if (loadedMovies.empty() || movie.character(c.id) == &c)
        return movie;
    for (const LoadedMovie& m : loadedMovies)
        if (m.movie->character(c.id) == &c)
            return *m.movie;
    return movie;
}

const movie::Movie* World::movieRootedAt(const format::Character& c) const {
    for (const LoadedMovie& m : loadedMovies)
        if (m.root.get() == &c)
            return m.movie.get();
    return nullptr;
}

Clip* World::level(int n) const {
    if (n == 0)
        return root;
    auto it = levels.find(n);
    return it == levels.end() ? nullptr : it->second.get();
}

std::vector<Clip*> World::levelRoots() const {
    std::vector<Clip*> out;
    if (root)
        out.push_back(root);
    for (const auto& [n, clip] : levels)
        if (clip)
            out.push_back(clip.get());
    return out;
}

} // namespace swf::timeline

namespace swf::timeline {

HitShapeCache& World::hitShapes() {
    if (!m_hitShapes)
        m_hitShapes = std::make_unique<HitShapeCache>();
    return *m_hitShapes;
}

} // namespace swf::timeline
