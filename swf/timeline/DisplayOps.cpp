// The operations that change display lists, for the timeline, scripts and tools alike.
// Rules that decide what a tag does to a depth are written here once; seek snapshots
// (SeekIndex.cpp) apply the same placement rules to bare state.

#include "swf/format/Button.h"
#include "swf/timeline/ButtonParts.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/World.h"

#include <algorithm>

namespace swf::timeline {

namespace {

// A move of an object whose transform a script has set leaves transform and colour alone.
void applyKeepingScriptTransform(DisplayObject& obj, const PlaceState* fromTags,
                                 const format::PlaceObject* place) {
    const format::Matrix matrix = obj.matrix;
    const format::ColorTransform cx = obj.colorTransform;
    if (fromTags) {
        std::string name = std::move(obj.name);
        static_cast<PlaceState&>(obj) = *fromTags;
        if (obj.name.empty())
            obj.name = std::move(name); // an instance keeps the name it was given when made
    }
    if (place)
        obj.apply(*place);
    if (obj.scriptTransformed) {
        obj.matrix = matrix;
        obj.colorTransform = cx;
    }
}

std::optional<format::Rect> scalingGridOf(const format::Character& character) {
    if (character.kind == format::CharacterKind::Sprite)
        return static_cast<const format::SpriteCharacter&>(character).scalingGrid;
    if (character.kind == format::CharacterKind::Button)
        return static_cast<const format::ButtonCharacter&>(character).scalingGrid;
    return std::nullopt;
}

} // namespace

void World::moveFromTag(DisplayObject& obj, const format::PlaceObject& place) {
    applyKeepingScriptTransform(obj, nullptr, &place);
}

bool isShapeCharacter(const movie::Movie& movie, std::uint16_t id) {
    const format::Character* c = movie.character(id);
    return c && isShapeKind(kindOf(*c));
}

// Flash's rules for a PlaceObject on a depth:
// - a move of an empty depth, and a tag with neither character nor move, do nothing;
// - a move naming another character swaps the character only when the old and the new
//   one are both shapes (DefineShape 1-4 or morph) and no script made the object; any
//   other object stays, taking the tag's other fields as a move;
// - a new placement on an occupied depth is ignored from SWF 6 on; SWF 5 and earlier
//   keep both, the new object drawn under the old.
PlaceEffect placeEffect(const movie::Movie& movie, const PlaceState* existing, bool existingScripted,
                        const format::PlaceObject& place) {
    // A move (or replace) names an object: at an empty depth there is nothing to change.
    if (!existing)
        return place.characterId && !place.move ? PlaceEffect::Place : PlaceEffect::Ignore;
    if (!place.move) {
        if (!place.characterId)
            return PlaceEffect::Ignore;
        return movie.version() >= 6 ? PlaceEffect::Ignore : PlaceEffect::PlaceUnder;
    }
    if (!place.characterId || *place.characterId == existing->characterId)
        return PlaceEffect::Move;
    if (!existingScripted && isShapeCharacter(movie, existing->characterId) &&
        isShapeCharacter(movie, *place.characterId))
        return PlaceEffect::Replace;
    return PlaceEffect::Move;
}

void World::placeFromTag(Clip& clip, const format::PlaceObject& place) {
    DisplayList& list = clip.m_list;
    auto it = addressed(list, place.depth);
    DisplayObject* existing = it == list.end() ? nullptr : &it->second;
    switch (placeEffect(clip.movie(), existing, existing && existing->scripted, place)) {
    case PlaceEffect::Ignore:
        return;
    case PlaceEffect::Move: {
        format::PlaceObject move = place;
        move.characterId.reset();
        moveFromTag(*existing, move);
        ++generation;
        return;
    }
    case PlaceEffect::Replace: {
        // The new shape keeps what the tag does not set (and a transform a script set).
        PlaceState next = *existing;
        next.characterId = *place.characterId;
        next.apply(place);
        const bool keepScriptTransform = existing->scriptTransformed;
        if (keepScriptTransform) {
            next.matrix = existing->matrix;
            next.colorTransform = existing->colorTransform;
        }
        destroy(clip, it);
        if (DisplayObject* obj = create(clip, next, nullptr))
            obj->scriptTransformed = keepScriptTransform;
        return;
    }
    case PlaceEffect::Place:
    case PlaceEffect::PlaceUnder: {
        PlaceState next;
        next.depth = place.depth;
        next.characterId = *place.characterId;
        next.apply(place);
        create(clip, next, nullptr, /*under=*/true);
        return;
    }
    }
}

void World::removeFromTag(Clip& clip, int depth) {
    remove(clip, depth);
}

// Depth by depth, walking both lists in order: the timeline's objects at a depth, bottom
// to top, keep their instance while their characters match the target's in order; the
// others go and the missing ones come. A depth a script's object holds takes no timeline
// objects.
void World::reconcile(Clip& clip, const PlaceMap& target) {
    DisplayList& list = clip.m_list;
    auto next = list.begin();
    auto want = target.begin();
    while (next != list.end() || want != target.end()) {
        const int depth = want == target.end() || (next != list.end() && next->first < want->first)
                              ? next->first
                              : want->first;
        // [live, next) is the list's range at this depth; objects made below go before `next`.
        auto live = next;
        bool scripted = false;
        for (; next != list.end() && next->first == depth; ++next)
            scripted = scripted || next->second.scripted;
        auto wantEnd = want;
        while (wantEnd != target.end() && wantEnd->first == depth)
            ++wantEnd;
        if (scripted)
            want = wantEnd;
        for (; live != next && want != wantEnd; ++live) {
            if (live->second.scripted)
                continue;
            if (live->second.characterId != want->second.characterId)
                break;
            applyKeepingScriptTransform(live->second, &want->second, nullptr);
            ++generation;
            ++want;
        }
        while (live != next) {
            auto gone = live++;
            if (!gone->second.scripted)
                destroy(clip, gone);
        }
        for (; want != wantEnd; ++want)
            create(clip, want->second, nullptr);
    }
}

DisplayObject* World::createByScript(Clip& clip, const PlaceState& state,
                                     const format::Character* character) {
    while (remove(clip, state.depth)) {
    }
    DisplayObject* obj = create(clip, state, character);
    if (obj)
        obj->scripted = true;
    return obj;
}

bool World::remove(Clip& clip, int depth) {
    auto it = addressed(clip.m_list, depth);
    if (it == clip.m_list.end())
        return false;
    destroy(clip, it);
    return true;
}

void World::swapDepths(Clip& clip, int depthA, int depthB) {
    if (depthA == depthB)
        return;
    // Map nodes move without moving their objects, so instances keep their address.
    DisplayList& list = clip.m_list;
    auto a = addressed(list, depthA) == list.end() ? DisplayList::node_type()
                                                   : list.extract(addressed(list, depthA));
    auto b = addressed(list, depthB) == list.end() ? DisplayList::node_type()
                                                   : list.extract(addressed(list, depthB));
    if (a) {
        a.key() = depthB;
        a.mapped().depth = depthB;
        list.insert(std::move(a));
    }
    if (b) {
        b.key() = depthA;
        b.mapped().depth = depthA;
        list.insert(std::move(b));
    }
    ++generation;
}

bool World::reparent(Clip& from, int depth, Clip& to, int toDepth) {
    auto it = addressed(from.m_list, depth);
    if (it == from.m_list.end() || to.m_list.count(toDepth))
        return false;
    Clip* moving = it->second.clip.get();
    int depthBelow = 0;
    if (moving) {
        for (const Clip* c = &to; c; c = c->m_parent)
            if (c == moving)
                return false; // it would contain itself
        moving->forEachClip(
            [&](Clip& c) { depthBelow = std::max(depthBelow, c.m_nesting - moving->m_nesting); });
        if (to.m_nesting + 1 + depthBelow > kMaxNesting)
            return false;
    }
    // The node keeps its allocation, so the clip's owner pointer stays valid.
    auto node = from.m_list.extract(it);
    node.key() = toDepth;
    node.mapped().depth = toDepth;
    node.mapped().scripted = true; // no timeline owns it any more
    DisplayObject& moved = to.m_list.insert(std::move(node))->second;
    dropButtonParts(moved, *this); // made again under the new parent
    if (moving) {
        const int shift = to.m_nesting + 1 - moving->m_nesting;
        moving->forEachClip([&](Clip& c) { c.m_nesting += shift; });
        moving->m_parent = &to;
    }
    ++generation;
    return true;
}

DisplayObject* World::create(Clip& clip, const PlaceState& state, const format::Character* given,
                             bool under) {
    const format::Character* character = given ? given : clip.movie().character(state.characterId);
    if (!character) {
        ++missingCharacters;
        return nullptr;
    }
    if (liveObjects >= kMaxLiveObjects) {
        ++droppedPlacements;
        return nullptr;
    }
    auto it =
        under ? clip.m_list.emplace_hint(clip.m_list.lower_bound(state.depth), state.depth, DisplayObject{})
              : clip.m_list.emplace(state.depth, DisplayObject{});
    DisplayObject& obj = it->second;
    static_cast<PlaceState&>(obj) = state;
    obj.character = character;
    obj.kind = kindOf(*character);
    obj.state = makeObjectState(*character, clip.movie());
    obj.serial = nextSerial++;
    obj.scale9Grid = scalingGridOf(*character);
    if (obj.name.empty() &&
        (obj.kind == ObjectKind::Sprite || obj.kind == ObjectKind::Button || obj.kind == ObjectKind::EditText))
        obj.name = "instance" + std::to_string(++unnamedInstances);
    ++liveObjects;
    ++generation;
    if (obj.kind == ObjectKind::Sprite) {
        if (clip.m_nesting + 1 > kMaxNesting) {
            ++droppedPlacements;
            return &obj;
        }
        auto& sprite = static_cast<const format::SpriteCharacter&>(*character);
        obj.clip = std::make_shared<Clip>(*this, sprite.timeline, &clip, &obj, clip.m_nesting + 1,
                                          movieRootedAt(*character));
        obj.clip->m_loadPending =
            obj.clipEvents & (format::kClipLoad | format::kClipInitialize | format::kClipConstruct);
        obj.clip->enterFirstFrame();
    } else if (obj.kind == ObjectKind::Button) {
        syncButtonParts(*this, clip, obj);
    }
    return &obj;
}

// The object leaves the list at once; a sprite instance is parked in the world, still
// linked to its parent, until flushRemoved announces and releases it.
void World::destroy(Clip& clip, DisplayList::iterator it) {
    auto node = clip.m_list.extract(it);
    --liveObjects;
    ++generation;
    if (node.mapped().state)
        node.mapped().state->removed(node.mapped(), *this);
    if (node.mapped().clip) {
        node.mapped().clip->m_removed = true;
        removed.push_back(std::move(node));
    }
}

} // namespace swf::timeline
