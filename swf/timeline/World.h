#pragma once
// State shared by every timeline instance of one playing movie: the movie, the
// change counter hosts repaint on, the instance budget and the tick count.

#include "swf/format/Records.h"
#include "swf/format/Timeline.h"
#include "swf/movie/Movie.h"
#include "swf/timeline/DisplayObject.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

namespace swf::timeline {

class SeekIndex;
class Clip;

// Sprites nested deeper than this are shown empty; guards self-placing sprites.
inline constexpr int kMaxNesting = 32;
// Placements beyond this many live objects are dropped; guards exponential nesting.
inline constexpr std::size_t kMaxLiveObjects = 100000;

struct World {
    explicit World(const movie::Movie& m);
    ~World();

    const movie::Movie& movie;
    format::ParseContext parse;
    std::uint64_t generation = 1; // bumped on every visible change
    std::uint64_t tick = 0;
    std::uint64_t nextSerial = 1;
    std::size_t liveObjects = 0;
    // Every live timeline instance by id (Clip::id()), for script hosts that name
    // clips by number.
    std::unordered_map<std::uint64_t, Clip*> clips;
    Clip* clipById(std::uint64_t id) const {
        auto it = clips.find(id);
        return it == clips.end() ? nullptr : it->second;
    }
    std::uint64_t droppedPlacements = 0; // refused by the limits above

    // Told when a timeline instance leaves the stage (set by the player for its action
    // runner). It may run script code, so it is only called from flushRemoved(), never
    // in the middle of a display-list change; the clip still knows its parent and
    // name then.
    std::function<void(Clip&)> onClipRemoved;
    // Sprite objects taken off a display list, kept alive until announced.
    std::vector<DisplayList::node_type> removed;
    // Announces every removed clip (and the clips inside it) to onClipRemoved, then
    // releases them. Call when no display list is being walked.
    void flushRemoved();
    // Releases removed clips without announcing them (the movie is going away).
    void dropRemoved();
    // The definition behind createEmptyClip: one empty frame.
    format::SpriteCharacter emptySprite;
    // Placements whose character is not in the dictionary.
    std::uint64_t missingCharacters = 0;

    // Snapshot index of a timeline, built lazily; null for timelines short enough
    // to replay from the start.
    SeekIndex* seekIndex(const format::Timeline& timeline);

private:
    std::map<const format::Timeline*, std::unique_ptr<SeekIndex>> m_indexes;
};

} // namespace swf::timeline
