// flash.display containers: the child list of DisplayObjectContainer over a timeline's
// display list, MovieClip's playhead, the Stage, and the class tree of flash.display.
// A child's index is its place in the list, lowest depth first; adding at an index takes
// a free depth between its neighbours, or moves the run of objects above it up by one.
#include "swf/avm2/HostDisplay.h"

#include "swf/Player.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/World.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace swf::avm2 {

namespace {

// The list a container's children live in; the stage adds to the root's.
timeline::Clip* listOf(HostState& s, DisplayHandle& h) {
    return h.isStage ? s.root() : s.locate(h).clip;
}

std::vector<timeline::DisplayObject*> childrenOf(timeline::Clip* clip) {
    std::vector<timeline::DisplayObject*> out;
    if (clip)
        for (auto& [depth, obj] : clip->displayList())
            out.push_back(&obj);
    return out;
}

[[noreturn]] void notAChild(Machine& m) {
    m.throwError(m.argumentErrorClass, 2025, "The supplied DisplayObject must be a child of the caller.");
}

[[noreturn]] void outOfRange(Machine& m) {
    m.rangeError(2006, "The supplied index is out of bounds.");
}

DisplayHandle* childArg(HostState& s, std::span<Value> a, std::size_t i) {
    Value v = arg(a, i);
    if (v.isNullish())
        s.machine.typeError(2007, "Parameter child must be non-null.");
    return s.handleOf(v);
}

// Sends an event with no capture or bubbling to `h` and every script object under it.
void stageEvent(HostState& s, DisplayHandle& h, const std::string& type, int nesting = 0) {
    if (nesting > timeline::kMaxNesting)
        return;
    if (h.hasListener(type))
        if (Object* e = makeEvent(s, s.eventClass, type, false))
            s.dispatch(&h, Value::object(e));
    Located at = s.locate(h);
    if (!at.clip)
        return;
    std::vector<std::uint64_t> serials;
    for (auto* obj : childrenOf(at.clip))
        serials.push_back(obj->serial);
    for (std::uint64_t serial : serials)
        if (auto it = s.wrappers.find(serial); it != s.wrappers.end())
            stageEvent(s, *it->second, type, nesting + 1);
}

void announce(HostState& s, DisplayHandle& child, bool added, bool stageBefore) {
    if (added) {
        if (Object* e = makeEvent(s, s.eventClass, "added", true))
            s.dispatch(&child, Value::object(e));
        if (!stageBefore && onStage(s, s.locate(child)))
            stageEvent(s, child, "addedToStage");
    } else {
        if (Object* e = makeEvent(s, s.eventClass, "removed", true))
            s.dispatch(&child, Value::object(e));
        if (stageBefore)
            stageEvent(s, child, "removedFromStage");
    }
}

bool insertAt(HostState& s, timeline::Clip& clip, DisplayHandle& child, std::size_t index) {
    timeline::World* w = s.world();
    Located at = s.locate(child);
    timeline::Clip* off = s.offList();
    if (!w || !off || !at.object)
        return false;
    // Out of the list first, so that indices count without the child.
    if (at.parent == &clip && !s.moveTo(child, *off, off->nextHighestDepth()))
        return false;
    std::vector<int> depths;
    for (const auto& [depth, obj] : clip.displayList())
        depths.push_back(depth);
    index = std::min(index, depths.size());
    constexpr int kTop = std::numeric_limits<int>::max();
    int depth = 0;
    if (index == depths.size()) {
        if (!depths.empty() && depths.back() == kTop)
            return false;
        depth = depths.empty() ? 1 : depths.back() + 1;
    } else {
        const int hi = depths[index];
        const long long lo = index > 0 ? depths[index - 1] : static_cast<long long>(hi) - 2;
        if (hi - lo > 1 && hi > std::numeric_limits<int>::min()) {
            depth = hi - 1;
        } else {
            std::size_t last = index;
            while (last + 1 < depths.size() && depths[last + 1] == depths[last] + 1)
                ++last;
            if (depths[last] == kTop)
                return false;
            for (std::size_t k = last + 1; k-- > index;)
                w->swapDepths(clip, depths[k], depths[k] + 1);
            depth = hi;
        }
    }
    return s.moveTo(child, clip, depth);
}

// addChild / addChildAt: checks, the move, then the announcements.
Value addChildAt(HostState& s, DisplayHandle& parent, DisplayHandle& child, std::size_t index) {
    Machine& m = s.machine;
    if (&child == &parent)
        m.throwError(m.argumentErrorClass, 2024, "An object cannot be added as a child of itself.");
    for (DisplayHandle* up = parentOf(s, parent); up; up = parentOf(s, *up))
        if (up == &child)
            m.throwError(m.argumentErrorClass, 2150,
                         "An object cannot be added as a child of one of it's children (or children's children, etc.).");
    timeline::Clip* clip = listOf(s, parent);
    if (!clip)
        return Value::object(&child);
    Located before = s.locate(child);
    bool wasOnStage = onStage(s, before);
    DisplayHandle* oldParent = parentOf(s, child);
    if (oldParent && oldParent != &parent && before.parent != clip)
        announce(s, child, false, wasOnStage);
    if (insertAt(s, *clip, child, index))
        announce(s, child, true, wasOnStage && oldParent);
    return Value::object(&child);
}

Value removeChild(HostState& s, DisplayHandle& child) {
    bool wasOnStage = onStage(s, s.locate(child));
    announce(s, child, false, wasOnStage);
    if (timeline::Clip* off = s.offList())
        s.moveTo(child, *off, off->nextHighestDepth());
    return Value::object(&child);
}

std::size_t indexIn(HostState& s, DisplayHandle& parent, DisplayHandle& child) {
    Located at = s.locate(child);
    timeline::Clip* clip = listOf(s, parent);
    if (!at.object || !clip || at.parent != clip)
        notAChild(s.machine);
    auto list = childrenOf(clip);
    return static_cast<std::size_t>(std::find(list.begin(), list.end(), at.object) - list.begin());
}

DisplayHandle* childAt(HostState& s, DisplayHandle& parent, std::int64_t index) {
    if (parent.isStage) {
        if (index != 0 || !s.document)
            outOfRange(s.machine);
        return s.document;
    }
    timeline::Clip* clip = listOf(s, parent);
    auto list = childrenOf(clip);
    if (index < 0 || index >= static_cast<std::int64_t>(list.size()))
        outOfRange(s.machine);
    return s.wrap(*clip, *list[static_cast<std::size_t>(index)]);
}

} // namespace

void HostState::syncChildren(DisplayHandle& h) {
    Located at = locate(h);
    if (at.clip)
        wrapChildren(*at.clip, h, at.clip->nesting());
}

void installContainer(HostState& host, ClassObject* container) {
    Machine& m = host.machine;
    HostState* s = &host;
    defineAccessor(m, container, "numChildren",
                   [s](Machine&, Value self, std::span<Value>) {
                       DisplayHandle* h = s->handleOf(self);
                       return Value::integer(h->isStage ? 1 : static_cast<std::int32_t>(childrenOf(listOf(*s, *h)).size()));
                   },
                   {});
    m.defineMethod(container, "addChild", [s](Machine&, Value self, std::span<Value> a) {
        DisplayHandle* h = s->handleOf(self);
        return addChildAt(*s, *h, *childArg(*s, a, 0), std::numeric_limits<std::size_t>::max());
    }, 1);
    m.defineMethod(container, "addChildAt", [s](Machine& m, Value self, std::span<Value> a) {
        DisplayHandle* h = s->handleOf(self);
        DisplayHandle* child = childArg(*s, a, 0);
        std::int32_t index = m.toInt(arg(a, 1));
        auto count = static_cast<std::int32_t>(childrenOf(listOf(*s, *h)).size());
        if (index < 0 || index > count)
            outOfRange(m);
        return addChildAt(*s, *h, *child, static_cast<std::size_t>(index));
    }, 2);
    m.defineMethod(container, "removeChild", [s](Machine&, Value self, std::span<Value> a) {
        DisplayHandle* h = s->handleOf(self);
        DisplayHandle* child = childArg(*s, a, 0);
        indexIn(*s, *h, *child);
        return removeChild(*s, *child);
    }, 1);
    m.defineMethod(container, "removeChildAt", [s](Machine& m, Value self, std::span<Value> a) {
        return removeChild(*s, *childAt(*s, *s->handleOf(self), m.toInt(arg(a, 0))));
    }, 1);
    m.defineMethod(container, "removeChildren", [s](Machine& m, Value self, std::span<Value> a) {
        DisplayHandle* h = s->handleOf(self);
        auto count = static_cast<std::int64_t>(childrenOf(listOf(*s, *h)).size());
        std::int64_t begin = a.size() > 0 ? m.toInt(a[0]) : 0;
        std::int64_t end = a.size() > 1 ? m.toInt(a[1]) : 0x7FFFFFFF;
        end = std::min(end, count - 1);
        if (begin < 0 || (count > 0 && begin > end && a.size() > 1))
            outOfRange(m);
        for (std::int64_t i = end; i >= begin; --i)
            removeChild(*s, *childAt(*s, *h, begin));
        return Value();
    });
    m.defineMethod(container, "getChildAt", [s](Machine& m, Value self, std::span<Value> a) {
        return Value::object(childAt(*s, *s->handleOf(self), m.toInt(arg(a, 0))));
    }, 1);
    m.defineMethod(container, "getChildByName", [s](Machine& m, Value self, std::span<Value> a) {
        DisplayHandle* h = s->handleOf(self);
        std::string name = m.toString(arg(a, 0));
        timeline::Clip* clip = listOf(*s, *h);
        for (auto* obj : childrenOf(clip))
            if (obj->name == name)
                return Value::object(s->wrap(*clip, *obj));
        return Value::null();
    }, 1);
    m.defineMethod(container, "getChildIndex", [s](Machine&, Value self, std::span<Value> a) {
        DisplayHandle* h = s->handleOf(self);
        DisplayHandle* child = childArg(*s, a, 0);
        if (h->isStage && child == s->document)
            return Value::integer(0);
        return Value::integer(static_cast<std::int32_t>(indexIn(*s, *h, *child)));
    }, 1);
    m.defineMethod(container, "setChildIndex", [s](Machine& m, Value self, std::span<Value> a) {
        DisplayHandle* h = s->handleOf(self);
        DisplayHandle* child = childArg(*s, a, 0);
        std::size_t now = indexIn(*s, *h, *child);
        std::int32_t index = m.toInt(arg(a, 1));
        auto count = static_cast<std::int32_t>(childrenOf(listOf(*s, *h)).size());
        if (index < 0 || index >= count)
            outOfRange(m);
        if (static_cast<std::size_t>(index) != now)
            insertAt(*s, *listOf(*s, *h), *child, static_cast<std::size_t>(index));
        return Value();
    }, 2);
    auto swap = [s](DisplayHandle& parent, DisplayHandle& a, DisplayHandle& b) {
        indexIn(*s, parent, a);
        indexIn(*s, parent, b);
        Located la = s->locate(a), lb = s->locate(b);
        s->world()->swapDepths(*la.parent, la.object->depth, lb.object->depth);
    };
    m.defineMethod(container, "swapChildren", [s, swap](Machine&, Value self, std::span<Value> a) {
        swap(*s->handleOf(self), *childArg(*s, a, 0), *childArg(*s, a, 1));
        return Value();
    }, 2);
    m.defineMethod(container, "swapChildrenAt", [s, swap](Machine& m, Value self, std::span<Value> a) {
        DisplayHandle* h = s->handleOf(self);
        swap(*h, *childAt(*s, *h, m.toInt(arg(a, 0))), *childAt(*s, *h, m.toInt(arg(a, 1))));
        return Value();
    }, 2);
    m.defineMethod(container, "contains", [s](Machine&, Value self, std::span<Value> a) {
        DisplayHandle* h = s->handleOf(self);
        Value v = arg(a, 0);
        if (v.isNullish())
            return Value::boolean(false);
        for (DisplayHandle* at = s->handleOf(v); at; at = parentOf(*s, *at))
            if (at == h)
                return Value::boolean(true);
        return Value::boolean(false);
    }, 1);
    defineAccessor(
        m, container, "mouseChildren",
        [s](Machine&, Value self, std::span<Value>) { return Value::boolean(s->handleOf(self)->mouseChildren); },
        [s](Machine& m, Value self, std::span<Value> a) {
            s->handleOf(self)->mouseChildren = m.toBoolean(arg(a, 0));
            return Value();
        });
}

void installMovieClip(HostState& host, ClassObject* movieClip) {
    Machine& m = host.machine;
    HostState* s = &host;
    auto clipOf = [s](Value self) { return s->locate(*s->handleOf(self)).clip; };
    m.defineMethod(movieClip, "addFrameScript", [s](Machine& m, Value self, std::span<Value> a) {
        DisplayHandle* h = s->handleOf(self);
        // Pairs of (frame from 0, function); null removes the frame's script.
        for (std::size_t i = 0; i + 1 < a.size(); i += 2) {
            int frame = m.toInt(a[i]);
            if (frame < 0 || frame > 0xFFFF)
                continue;
            if (a[i + 1].isObject())
                h->frameScripts[frame] = a[i + 1];
            else
                h->frameScripts.erase(frame);
        }
        return Value();
    });
    // Frames count from 1 in ActionScript 3; labels are looked up by name. The new frame's
    // children exist as soon as the goto returns.
    auto jump = [s, clipOf](bool play) {
        return [s, clipOf, play](Machine& m, Value self, std::span<Value> a) {
            timeline::Clip* c = clipOf(self);
            if (!c)
                return Value();
            Value target = arg(a, 0);
            if (target.isString()) {
                if (!c->gotoLabel(*target.s))
                    m.throwError(m.argumentErrorClass, 2109, "Frame label " + *target.s + " not found in scene Scene 1.");
            } else {
                c->gotoFrame(std::max(0, m.toInt(target) - 1));
            }
            c->setPlaying(play);
            s->syncChildren(*s->handleOf(self));
            return Value();
        };
    };
    m.defineMethod(movieClip, "gotoAndStop", jump(false), 1);
    m.defineMethod(movieClip, "gotoAndPlay", jump(true), 1);
    auto step = [s, clipOf](void (*op)(timeline::Clip&)) {
        return [s, clipOf, op](Machine&, Value self, std::span<Value>) {
            if (timeline::Clip* c = clipOf(self)) {
                op(*c);
                s->syncChildren(*s->handleOf(self));
            }
            return Value();
        };
    };
    m.defineMethod(movieClip, "stop", step([](timeline::Clip& c) { c.stop(); }));
    m.defineMethod(movieClip, "play", step([](timeline::Clip& c) { c.play(); }));
    m.defineMethod(movieClip, "nextFrame", step([](timeline::Clip& c) { c.nextFrame(); }));
    m.defineMethod(movieClip, "prevFrame", step([](timeline::Clip& c) { c.prevFrame(); }));
    defineAccessor(m, movieClip, "currentFrame",
                   [clipOf](Machine&, Value self, std::span<Value>) {
                       timeline::Clip* c = clipOf(self);
                       return Value::integer(c ? c->currentFrame() + 1 : 1);
                   },
                   {});
    defineAccessor(m, movieClip, "totalFrames",
                   [clipOf](Machine&, Value self, std::span<Value>) {
                       timeline::Clip* c = clipOf(self);
                       return Value::integer(c ? c->totalFrames() : 1);
                   },
                   {});
    defineAccessor(m, movieClip, "framesLoaded",
                   [clipOf](Machine&, Value self, std::span<Value>) {
                       timeline::Clip* c = clipOf(self);
                       return Value::integer(c ? c->totalFrames() : 1);
                   },
                   {});
    defineAccessor(m, movieClip, "isPlaying",
                   [clipOf](Machine&, Value self, std::span<Value>) {
                       timeline::Clip* c = clipOf(self);
                       return Value::boolean(c && c->isPlaying());
                   },
                   {});
    // currentLabel: the last label at or before the playhead; currentFrameLabel: the
    // label of the playhead's frame only.
    for (bool exact : {false, true})
        defineAccessor(m, movieClip, exact ? "currentFrameLabel" : "currentLabel",
                       [clipOf, exact](Machine& m, Value self, std::span<Value>) {
                           timeline::Clip* c = clipOf(self);
                           const format::FrameLabel* best = nullptr;
                           for (const auto& l : c ? c->timeline().labels : std::vector<format::FrameLabel>{})
                               if (exact ? l.frame == c->currentFrame()
                                         : l.frame <= c->currentFrame() && (!best || l.frame >= best->frame))
                                   best = &l;
                           return best ? m.string(best->name) : Value::null();
                       },
                       {});
}

void installStage(HostState& host, ClassObject* stage) {
    Machine& m = host.machine;
    HostState* s = &host;
    for (bool width : {true, false})
        defineAccessor(m, stage, width ? "stageWidth" : "stageHeight",
                       [s, width](Machine&, Value, std::span<Value>) {
                           format::Rect r = s->player.stageRect();
                           return Machine::numberValue(std::round((width ? r.width() : r.height()) / 20.0));
                       },
                       [](Machine&, Value, std::span<Value>) { return Value(); });
    defineAccessor(m, stage, "frameRate",
                   [s](Machine&, Value, std::span<Value>) { return Value::number(s->player.frameRate()); },
                   [](Machine&, Value, std::span<Value>) { return Value(); });
    // Settings the player does not act on yet keep what scripts set.
    for (auto [name, initial] : {std::pair{"scaleMode", "showAll"}, {"align", ""}, {"quality", "HIGH"},
                                 {"focus", ""}, {"showDefaultContextMenu", ""},
                                 {"stageFocusRect", ""}}) {
        std::string key = name, start = initial;
        bool object = key == "focus";
        defineAccessor(
            m, stage, key,
            [s, key, start, object](Machine& m, Value self, std::span<Value>) {
                auto& extras = s->handleOf(self)->extras;
                auto it = extras.find(key);
                if (it != extras.end())
                    return it->second;
                return object ? Value::null() : start.empty() && key != "align" ? Value::boolean(true) : m.string(start);
            },
            [s, key](Machine&, Value self, std::span<Value> a) {
                s->handleOf(self)->extras[key] = arg(a, 0);
                return Value();
            });
    }
    m.defineMethod(stage, "invalidate", [](Machine&, Value, std::span<Value>) { return Value(); });
    // displayState takes flash.display.StageDisplayState's values only (ArgumentError #2008
    // otherwise) and puts the host's window in or out of full screen.
    defineAccessor(
        m, stage, "displayState",
        [s](Machine& m, Value self, std::span<Value>) {
            auto& extras = s->handleOf(self)->extras;
            auto it = extras.find("displayState");
            return it != extras.end() ? it->second : m.string("normal");
        },
        [s](Machine& m, Value self, std::span<Value> a) {
            const std::string state = m.toString(arg(a, 0));
            if (state != "normal" && state != "fullScreen" && state != "fullScreenInteractive")
                m.throwError(m.argumentErrorClass, 2008, "Parameter displayState must be one of the accepted values.");
            s->handleOf(self)->extras["displayState"] = m.string(state);
            if (s->requestFullScreen)
                s->requestFullScreen(state != "normal");
            return Value();
        });
}

} // namespace swf::avm2
