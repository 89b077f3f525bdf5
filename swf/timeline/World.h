#pragma once
// State shared by every timeline instance of one playing movie: the movie, the
// change counter hosts repaint on, the instance budget and the tick count; and the
// operations that change display lists. The timeline's tags, scripts and tools all go
// through those (place, move, replace, remove, create by script, swap, reparent), so
// the placement rules and the ownership rules live in one place (DisplayOps.cpp):
// - an object a script created stays when a seek rebuilds its timeline's list, and
//   a timeline tag does not replace it by another character;
// - an object whose transform a script set keeps that transform and colour when the
//   timeline moves or replaces it.

#include "swf/format/Records.h"
#include "swf/format/Timeline.h"
#include "swf/input/InputState.h"
#include "swf/movie/Movie.h"
#include "swf/timeline/DisplayObject.h"
#include "swf/timeline/Quality.h"
#include "swf/timeline/WorldEvents.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace swf::audio {
class SoundControl;
}

namespace swf::timeline {

class SeekIndex;
class Clip;
class HitShapeCache;

// Sprites nested deeper than this are shown empty; guards self-placing sprites.
inline constexpr int kMaxNesting = 32;
// Placements beyond this many live objects are dropped; guards exponential nesting.
inline constexpr std::size_t kMaxLiveObjects = 100000;

// What a PlaceObject tag does to its depth (rules in DisplayOps.cpp): nothing, a new
// object, a move of the object there, a new character for it, or a second object under it.
enum class PlaceEffect : std::uint8_t { Ignore, Place, Move, Replace, PlaceUnder };
// `existing` is the state at the tag's depth (null for none); `existingScripted` whether a
// script made that object. Live lists and seek snapshots both decide by this.
PlaceEffect placeEffect(const movie::Movie& movie, const PlaceState* existing, bool existingScripted,
                        const format::PlaceObject& place);

struct World {
    explicit World(const movie::Movie& m);
    ~World();

    const movie::Movie& movie;
    format::ParseContext parse;
    std::uint64_t generation = 1; // bumped on every visible change
    Quality quality = Quality::High; // the player's, changed by scripts
    std::uint64_t tick = 0;
    std::uint64_t nextSerial = 1;
    // Unnamed clips, buttons and text fields are named "instance1", "instance2", ... in
    // the order they are made, player-wide.
    std::uint64_t unnamedInstances = 0;
    std::size_t liveObjects = 0;
    // Some script called setMask: renderers look for DisplayObject::scriptMask only then.
    bool hasScriptMasks = false;
    // Every live timeline instance by id (Clip::id()), for script hosts that name
    // clips by number.
    std::unordered_map<std::uint64_t, Clip*> clips;
    Clip* clipById(std::uint64_t id) const {
        auto it = clips.find(id);
        return it == clips.end() ? nullptr : it->second;
    }
    std::uint64_t droppedPlacements = 0; // refused by the limits above

    // The script machine owning the objects (set by the player; may be null). Its
    // clipRemoved may run script code, so it is only called from flushRemoved(), never
    // in the middle of a display-list change.
    WorldEvents* events = nullptr;
    // Sprite objects taken off a display list, kept alive until announced.
    std::vector<DisplayList::node_type> removed;
    // Announces every removed clip (and the clips inside it) to events, then
    // releases them. Call when no display list is being walked.
    void flushRemoved();
    // Releases removed clips without announcing them (the movie is going away).
    void dropRemoved();
    // The definition behind createEmptyClip: one empty frame.
    format::SpriteCharacter emptySprite;
    // Where sounds go (buttons and scripts start them through it); null: no sound.
    audio::SoundControl* sound = nullptr;
    // Placements whose character is not in the dictionary.
    std::uint64_t missingCharacters = 0;

    // --- display-list operations
    // One PlaceObject tag of `clip`'s timeline: a new object, a move or a replace.
    void placeFromTag(Clip& clip, const format::PlaceObject& place);
    // One RemoveObject tag of `clip`'s timeline.
    void removeFromTag(Clip& clip, int depth);
    // Brings `clip`'s list to `target`, the state its timeline gives for a frame (seeks):
    // objects that stay at their depth with the same character keep their instance.
    void reconcile(Clip& clip, const PlaceMap& target);
    // An object made by script at `state.depth` of `clip`, replacing whatever is there;
    // `character` null means the one `state.characterId` names. Null when refused
    // (unknown character, budget spent).
    DisplayObject* createByScript(Clip& clip, const PlaceState& state, const format::Character* character);
    // Takes the object at `depth` off `clip`'s list; false when there is none.
    bool remove(Clip& clip, int depth);
    // The objects at the two depths trade places (either may be empty).
    void swapDepths(Clip& clip, int depthA, int depthB);
    // Moves the object at `depth` of `from` to `toDepth` of `to`, keeping its instance
    // (AS3 addChild). False, and nothing changes, when there is no such object, the
    // target depth is taken, or the object would end up inside itself.
    bool reparent(Clip& from, int depth, Clip& to, int toDepth);

    // Snapshot index of a timeline, built lazily; null for timelines short enough
    // to replay from the start.
    SeekIndex* seekIndex(const format::Timeline& timeline, const movie::Movie& owner);

    // Mouse, keys and focus as the player last saw them.
    input::InputState input;
    // Shapes flattened for hit testing.
    HitShapeCache& hitShapes();

    // --- movies loaded by scripts (loadMovie, loadMovieNum)
    // Each file's movie is kept while the world lives, as clips, caches and the renderer point
    // into it; a file loaded again shares the first parse. `root` is the sprite character a
    // clip showing the movie is made of (its timeline is the movie's root timeline).
    struct LoadedMovie {
        std::string file;
        std::shared_ptr<const movie::Movie> movie;
        std::unique_ptr<format::SpriteCharacter> root;
    };
    std::vector<LoadedMovie> loadedMovies;
    std::size_t loadedBytes = 0; // decompressed bodies of loadedMovies
    const LoadedMovie* loadedMovie(const std::string& file) const;
    const LoadedMovie& addLoadedMovie(std::string file, std::shared_ptr<const movie::Movie> m);
    // The movie whose dictionary holds `c`: the world's own unless a loaded one does.
    const movie::Movie& movieOf(const format::Character& c) const;
    // The movie shown by a clip made of `c`, when `c` is a loaded movie's root; else null.
    const movie::Movie* movieRootedAt(const format::Character& c) const;
    // Level 0 is the player's root timeline; levels above it (loadMovieNum) are drawn over
    // it in order. Null for an empty level.
    Clip* root = nullptr;
    std::map<int, std::shared_ptr<Clip>> levels;
    // A movie a script loaded into _level0: the player puts it in place of everything
    // before its next tick.
    std::shared_ptr<const movie::Movie> replacement;
    Clip* level(int n) const;
    // The root clips of every level, lowest first.
    std::vector<Clip*> levelRoots() const;

    // Holds objects a script made or took off a list and may add again (AS3's display
    // objects exist off every list). Never drawn nor advanced; made by whoever needs it
    // first, released with the world (declared last: the clips it holds need the above).
    std::shared_ptr<Clip> offList;

private:
    // Adds an object at `state.depth`: over what the depth holds, or under it.
    DisplayObject* create(Clip& clip, const PlaceState& state, const format::Character* character,
                          bool under = false);
    void destroy(Clip& clip, DisplayList::iterator it);
    void moveFromTag(DisplayObject& obj, const format::PlaceObject& place);

    std::unique_ptr<HitShapeCache> m_hitShapes;
    std::map<const format::Timeline*, std::unique_ptr<SeekIndex>> m_indexes;
};

} // namespace swf::timeline
