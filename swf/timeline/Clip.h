#pragma once
// A timeline instance: the root movie or a placed sprite. It owns its display list,
// its playhead and its nested instances. Scripts reach clips through this class:
// find one by path, drive its playhead, read and change its display properties
// (through displayObject()).
//
// Frame actions are not run here. Entering a frame marks the clip as having
// actions pending; the player collects pending clips after the display list is
// built and hands their code to the action runner.

#include "swf/format/Timeline.h"
#include "swf/timeline/DisplayObject.h"
#include "swf/timeline/SeekIndex.h"
#include "swf/timeline/objects/Graphics.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace swf::movie {
class Movie;
}

namespace swf::timeline {

struct World;

// Instance and path names compare without regard to ASCII case unless `caseSensitive`
// (SWF 7 and later).
bool sameName(std::string_view a, std::string_view b, bool caseSensitive);

class Clip : public std::enable_shared_from_this<Clip> {
public:
    // `owner` is the display-list entry holding this instance (null for the root). The
    // timeline's tags and characters are `movie`'s: the parent's, or the world's for a root,
    // when null. A root is the root of `level`.
    Clip(World& world, const format::Timeline& timeline, Clip* parent, DisplayObject* owner, int nesting,
         const movie::Movie* movie = nullptr, int level = 0);
    ~Clip();
    Clip(const Clip&) = delete;
    Clip& operator=(const Clip&) = delete;

    // --- identity and paths
    Clip* parent() const { return m_parent; }
    // The root of the clip's level (_root without _lockroot).
    Clip& root();
    bool isRoot() const { return m_isRoot; }
    // The level whose root this is, or holds this clip (0 for _level0).
    int level() const;
    // The movie whose dictionary and tags this timeline uses (a loaded movie's, inside it).
    const movie::Movie& movie() const { return *m_movie; }
    // Instance name ("" for the root and unnamed instances).
    const std::string& name() const;
    // Never reused while the player lives; World::clipById finds the clip again.
    std::uint64_t id() const { return m_id; }
    // The display-list entry that holds this instance: matrix, colour transform,
    // visibility, name. Null for the root.
    DisplayObject* displayObject() const { return m_owner; }
    int nesting() const { return m_nesting; }
    // Slash path from the root, "/" for the root itself; "_levelN/a/b" above level 0.
    std::string targetPath() const;
    // Child sprite instance by instance name (case-insensitive before SWF 7).
    Clip* findChild(std::string_view name) const;
    // Resolves a target: "/a/b", "a/b", "../x", "_root", "_parent", "_levelN" and
    // dotted "a.b" forms, relative to this clip; nullptr if nothing matches.
    Clip* resolvePath(std::string_view path);

    // --- playhead
    int currentFrame() const { return m_frame; } // from 0
    int totalFrames() const;
    bool isPlaying() const { return m_playing; }
    void play() { m_playing = true; }
    void stop() { m_playing = false; }
    void setPlaying(bool playing) { m_playing = playing; }
    // Whether reaching the end wraps to the first frame (sprites always do).
    bool loops() const { return m_loop; }
    void setLoops(bool loop) { m_loop = loop; }
    // Jumps to a frame (clamped). Going forward applies the tags of every frame in
    // between; going back rebuilds from a snapshot or the start. Objects that stay
    // at their depth with the same character keep their instance. The target
    // frame's actions are left pending: they run at the player's next action pass,
    // which is how a goto from script behaves in the reference player.
    void gotoFrame(int frame);
    // Goto by label; false (and nothing happens) when the label is unknown.
    bool gotoLabel(std::string_view label);
    // One frame on or back, then stop; no-op at the ends.
    void nextFrame();
    void prevFrame();
    const format::Timeline& timeline() const { return m_timeline; }

    // --- display list
    const DisplayList& displayList() const { return m_list; }
    DisplayList& displayList() { return m_list; }
    DisplayObject* objectAt(int depth);
    // Removes whatever is at depth (script removal); true if something was there.
    bool removeAt(int depth);

    // Vector drawing made at run time, shown under the children (the root has one too).
    const Graphics& graphics() const { return m_graphics; }
    Graphics& graphics() { return m_graphics; }

    // --- display-list edits made by scripts, through the world's operations. Objects
    // made here are `scripted`: gotos leave them alone. Each replaces whatever was at the depth, and returns
    // null when the character is unknown or the object budget is spent.
    // attachMovie: any dictionary character (usually an exported sprite).
    DisplayObject* placeScripted(std::uint16_t characterId, int depth, const std::string& name);
    // createEmptyMovieClip: a sprite instance with one empty frame.
    DisplayObject* createEmptyClip(int depth, const std::string& name);
    // duplicateMovieClip: same character and placement as the object at `fromDepth`.
    DisplayObject* duplicate(int fromDepth, int toDepth, const std::string& name);
    // swapDepths: the objects at the two depths trade places (either may be empty).
    void swapDepths(int depthA, int depthB);
    // One above the highest depth in use (0 when empty).
    int nextHighestDepth() const;

    const World& world() const { return m_world; }
    World& world() { return m_world; }
    // False once the clip has left the display list (it may still be alive while
    // a script that ran in it finishes).
    bool isOnStage() const { return !m_removed && (m_parent != nullptr || m_isRoot); }
    // Taken off the display list and being announced by World::flushRemoved, where
    // scripts may still run for it (unlike when it is simply destroyed).
    bool isBeingUnloaded() const { return m_removed && m_removalAnnounced; }

    // --- driven by the player
    // Builds frame 0 (first show); does nothing once a frame has been entered.
    void enterFirstFrame();
    bool hasEnteredFrame() const { return m_entered; }
    // One tick: this clip's playhead moves if playing, then every child that
    // existed before this tick advances too.
    void advance();
    // Frame whose actions are waiting to run, -1 if none; clear after running.
    int pendingFrame() const { return m_pendingFrame; }
    void clearPending() { m_pendingFrame = -1; }
    bool loadEventPending() const { return m_loadPending; }
    void clearLoadEvent() { m_loadPending = false; }
    // Calls `visit` for this clip and every nested instance, parents first, lower
    // depths first.
    void forEachClip(const std::function<void(Clip&)>& visit);

private:
    void enterFrame(int frame);
    void applyFrame(int frame);
    void changed();
    void stepForward();
    PlaceMap stateFor(int frame);
    void detach();
    friend struct World;

    World& m_world;
    const format::Timeline& m_timeline;
    const movie::Movie* m_movie;
    int m_level = 0;
    Clip* m_parent;
    DisplayObject* m_owner;
    int m_nesting;
    DisplayList m_list;
    Graphics m_graphics;
    int m_frame = 0;
    bool m_entered = false;
    bool m_playing = true;
    bool m_loop = true;
    int m_pendingFrame = -1;
    bool m_loadPending = false;
    std::uint64_t m_bornTick = 0;
    std::uint64_t m_id = 0;
    bool m_isRoot = false;
    bool m_removed = false;          // taken off its parent's list, not yet released
    bool m_removalAnnounced = false; // World::events has been told
};

} // namespace swf::timeline
