#include "swf/avm2/Avm2Host.h"

#include "swf/Player.h"
#include "swf/movie/Movie.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/World.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace swf::avm2 {

namespace {

// Event's fixed fields, in slot order.
enum EventSlot : std::uint32_t { kType = 1, kBubbles, kCancelable, kTarget, kCurrentTarget, kPhase, kEventSlots = kPhase };

} // namespace

// The native side of every EventDispatcher: its listeners and, for display objects
// bound to a timeline, the timeline's clip id and frame scripts.
class DisplayHandle : public Object {
public:
    struct Listener {
        std::string type;
        Value fn;
        int priority = 0;
        bool capture = false;
    };
    std::vector<Listener> listeners;
    std::uint64_t clipId = 0; // 0: not bound to a timeline
    std::map<int, Value> frameScripts;
};

namespace {

DisplayHandle* handle(Machine& m, Value v) {
    auto* h = v.isObject() ? dynamic_cast<DisplayHandle*>(v.o) : nullptr;
    if (!h)
        m.typeError(1034, "Type Coercion failed: cannot convert " + m.className(v) + " to flash.events.EventDispatcher.");
    return h;
}

void dispatch(Machine& m, Value target, Value event) {
    DisplayHandle* h = handle(m, target);
    if (event.isObject() && event.o->slots.size() > kEventSlots) {
        event.o->slots[kTarget] = target;
        event.o->slots[kCurrentTarget] = target;
        event.o->slots[kPhase] = Value::uinteger(2); // at target
    }
    std::string type = event.isObject() && event.o->slots.size() > kType ? m.toString(event.o->slots[kType]) : "";
    // Listeners added while dispatching wait for the next event; higher priority first.
    std::vector<DisplayHandle::Listener> now;
    for (const auto& l : h->listeners)
        if (l.type == type && !l.capture)
            now.push_back(l);
    std::stable_sort(now.begin(), now.end(), [](const auto& a, const auto& b) { return a.priority > b.priority; });
    for (const auto& l : now) {
        Value args[1] = {event};
        m.call(l.fn, Value::null(), args);
    }
}

} // namespace

Avm2Host::Avm2Host(Player& player, std::function<void(const std::string&)> traceSink)
    : m_player(player), m_machine(std::make_unique<Machine>()) {
    m_machine->traceSink = std::move(traceSink);
    installDisplayClasses();
}

Avm2Host::~Avm2Host() = default;

void Avm2Host::installDisplayClasses() {
    Machine& m = *m_machine;
    ClassObject* event = m.defineNativeClass("flash.events", "Event", m.objectClass);
    for (const char* field : {"type", "bubbles", "cancelable", "target", "currentTarget", "eventPhase"}) {
        Traits& t = event->instanceTraits;
        Binding& b = t.define(field, kPublicNs);
        b.kind = Binding::Kind::Slot;
        b.slot = ++t.slotCount;
        t.slotDefaults.resize(b.slot + 1);
    }
    event->init = m.newNative("Event", [](Machine& m, Value self, std::span<Value> a) {
        if (self.isObject() && self.o->slots.size() > kEventSlots) {
            self.o->slots[kType] = m.string(m.toString(arg(a, 0)));
            self.o->slots[kBubbles] = Value::boolean(m.toBoolean(arg(a, 1)));
            self.o->slots[kCancelable] = Value::boolean(m.toBoolean(arg(a, 2)));
            self.o->slots[kTarget] = Value::null();
            self.o->slots[kCurrentTarget] = Value::null();
            self.o->slots[kPhase] = Value::uinteger(2);
        }
        return Value();
    });
    m.defineMethod(event, "toString", [](Machine& m, Value self, std::span<Value>) {
        std::string type = m.toString(m.getProperty(self, Machine::publicName("type")));
        return m.string("[Event type=\"" + type + "\" bubbles=" + m.toString(m.getProperty(self, Machine::publicName("bubbles"))) +
                        " cancelable=" + m.toString(m.getProperty(self, Machine::publicName("cancelable"))) +
                        " eventPhase=" + m.toString(m.getProperty(self, Machine::publicName("eventPhase"))) + "]");
    });
    for (auto [name, value] : {std::pair{"ENTER_FRAME", "enterFrame"}, {"EXIT_FRAME", "exitFrame"},
                               {"FRAME_CONSTRUCTED", "frameConstructed"}, {"ADDED", "added"},
                               {"ADDED_TO_STAGE", "addedToStage"}, {"REMOVED", "removed"},
                               {"REMOVED_FROM_STAGE", "removedFromStage"}, {"COMPLETE", "complete"},
                               {"INIT", "init"}, {"CHANGE", "change"}, {"RESIZE", "resize"}, {"ACTIVATE", "activate"},
                               {"DEACTIVATE", "deactivate"}})
        m.defineStatic(event, name, m.string(value));

    ClassObject* dispatcher = m.defineNativeClass("flash.events", "EventDispatcher", m.objectClass);
    dispatcher->allocate = [](Machine& m, ClassObject*) -> Object* { return m.adopt(std::make_unique<DisplayHandle>()); };
    m.defineMethod(dispatcher, "addEventListener", [](Machine& m, Value self, std::span<Value> a) {
        DisplayHandle* h = handle(m, self);
        std::string type = m.toString(arg(a, 0));
        Value fn = arg(a, 1);
        if (!fn.isObject() || fn.o->kind != ObjectKind::Function)
            m.typeError(2007, "Parameter listener must be non-null.");
        bool capture = m.toBoolean(arg(a, 2));
        for (const auto& l : h->listeners)
            if (l.type == type && l.capture == capture && m.strictEquals(l.fn, fn))
                return Value();
        h->listeners.push_back({type, fn, a.size() > 3 ? m.toInt(a[3]) : 0, capture});
        return Value();
    }, 2);
    m.defineMethod(dispatcher, "removeEventListener", [](Machine& m, Value self, std::span<Value> a) {
        DisplayHandle* h = handle(m, self);
        std::string type = m.toString(arg(a, 0));
        bool capture = m.toBoolean(arg(a, 2));
        std::erase_if(h->listeners, [&](const auto& l) {
            return l.type == type && l.capture == capture && m.strictEquals(l.fn, arg(a, 1));
        });
        return Value();
    }, 2);
    m.defineMethod(dispatcher, "hasEventListener", [](Machine& m, Value self, std::span<Value> a) {
        DisplayHandle* h = handle(m, self);
        std::string type = m.toString(arg(a, 0));
        return Value::boolean(std::any_of(h->listeners.begin(), h->listeners.end(), [&](const auto& l) { return l.type == type; }));
    }, 1);
    m.defineMethod(dispatcher, "dispatchEvent", [](Machine& m, Value self, std::span<Value> a) {
        dispatch(m, self, arg(a, 0));
        return Value::boolean(true);
    }, 1);

    ClassObject* displayObject = m.defineNativeClass("flash.display", "DisplayObject", dispatcher);
    ClassObject* interactive = m.defineNativeClass("flash.display", "InteractiveObject", displayObject);
    ClassObject* container = m.defineNativeClass("flash.display", "DisplayObjectContainer", interactive);
    ClassObject* sprite = m.defineNativeClass("flash.display", "Sprite", container);
    ClassObject* movieClip = m.defineNativeClass("flash.display", "MovieClip", sprite);
    m.defineNativeClass("flash.display", "Shape", displayObject);
    for (ClassObject* c : {displayObject, interactive, container, sprite, movieClip})
        c->init = m.newNative(c->name, [](Machine&, Value, std::span<Value>) { return Value(); });

    // Display properties read and write the bound timeline object; unbound objects keep defaults.
    Player& player = m_player;
    auto clipOf = [&player](Machine& m, Value self) -> timeline::Clip* {
        DisplayHandle* h = handle(m, self);
        if (!h->clipId || !player.root())
            return nullptr;
        return player.root()->world().clipById(h->clipId);
    };
    m.defineGetter(displayObject, "name", [clipOf](Machine& m, Value self, std::span<Value>) {
        timeline::Clip* c = clipOf(m, self);
        return c && !c->isRoot() ? m.string(c->name()) : m.string("root1");
    });
    m.defineGetter(displayObject, "x", [clipOf](Machine& m, Value self, std::span<Value>) {
        timeline::Clip* c = clipOf(m, self);
        return c && c->displayObject() ? Machine::numberValue(c->displayObject()->matrix.tx / 20.0) : Value::integer(0);
    });
    m.defineGetter(displayObject, "y", [clipOf](Machine& m, Value self, std::span<Value>) {
        timeline::Clip* c = clipOf(m, self);
        return c && c->displayObject() ? Machine::numberValue(c->displayObject()->matrix.ty / 20.0) : Value::integer(0);
    });
    m.defineGetter(displayObject, "root", [](Machine&, Value self, std::span<Value>) { return self; });

    m.defineMethod(movieClip, "addFrameScript", [](Machine& m, Value self, std::span<Value> a) {
        DisplayHandle* h = handle(m, self);
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
    auto timelineCall = [clipOf](void (*op)(timeline::Clip&, Machine&, std::span<Value>)) {
        return [clipOf, op](Machine& m, Value self, std::span<Value> a) {
            if (timeline::Clip* c = clipOf(m, self))
                op(*c, m, a);
            return Value();
        };
    };
    // Frames count from 1 in ActionScript 3; labels are looked up by name.
    auto gotoFrame = [](timeline::Clip& c, Machine& m, Value target) {
        if (target.isString()) {
            if (!c.gotoLabel(*target.s))
                m.throwError(m.argumentErrorClass, 2109, "Frame label " + *target.s + " not found in scene " + "Scene 1" + ".");
        } else {
            c.gotoFrame(std::max(0, m.toInt(target) - 1));
        }
    };
    m.defineMethod(movieClip, "stop", timelineCall([](timeline::Clip& c, Machine&, std::span<Value>) { c.stop(); }));
    m.defineMethod(movieClip, "play", timelineCall([](timeline::Clip& c, Machine&, std::span<Value>) { c.play(); }));
    m.defineMethod(movieClip, "nextFrame", timelineCall([](timeline::Clip& c, Machine&, std::span<Value>) { c.nextFrame(); }));
    m.defineMethod(movieClip, "prevFrame", timelineCall([](timeline::Clip& c, Machine&, std::span<Value>) { c.prevFrame(); }));
    m.defineMethod(movieClip, "gotoAndStop", [clipOf, gotoFrame](Machine& m, Value self, std::span<Value> a) {
        if (timeline::Clip* c = clipOf(m, self)) {
            gotoFrame(*c, m, arg(a, 0));
            c->stop();
        }
        return Value();
    }, 1);
    m.defineMethod(movieClip, "gotoAndPlay", [clipOf, gotoFrame](Machine& m, Value self, std::span<Value> a) {
        if (timeline::Clip* c = clipOf(m, self)) {
            gotoFrame(*c, m, arg(a, 0));
            c->play();
        }
        return Value();
    }, 1);
    m.defineGetter(movieClip, "currentFrame", [clipOf](Machine& m, Value self, std::span<Value>) {
        timeline::Clip* c = clipOf(m, self);
        return Value::integer(c ? c->currentFrame() + 1 : 1);
    });
    m.defineGetter(movieClip, "totalFrames", [clipOf](Machine& m, Value self, std::span<Value>) {
        timeline::Clip* c = clipOf(m, self);
        return Value::integer(c ? c->totalFrames() : 1);
    });
    m.defineGetter(movieClip, "isPlaying", [clipOf](Machine& m, Value self, std::span<Value>) {
        timeline::Clip* c = clipOf(m, self);
        return Value::boolean(c && c->isPlaying());
    });
}

void Avm2Host::movieLoaded() {
    const movie::Movie* movie = m_player.movie();
    if (!movie)
        return;
    for (const auto& block : movie->abcBlocks()) {
        std::string error;
        if (!m_machine->loadAbc(movie->abcBytes(block), block.lazy, error))
            m_machine->trace("VerifyError: " + error);
    }
}

void Avm2Host::afterTick(double movieTimeMs) {
    Machine& m = *m_machine;
    m.timeMs = movieTimeMs;
    timeline::Clip* root = m_player.root();
    if (!root)
        return;
    if (!m_started) {
        m_started = true;
        ClassObject* docClass = nullptr;
        if (const movie::Movie* movie = m_player.movie())
            for (const auto& link : movie->symbolClasses())
                if (link.id == 0)
                    docClass = m.findClass(link.name);
        if (!docClass)
            docClass = m.findClass("flash.display.MovieClip");
        // The object is bound to the root before its constructor runs, so the constructor
        // can already drive the timeline.
        if (docClass) {
            Object* made = nullptr;
            ClassObject* native = docClass;
            while (native && !native->allocate)
                native = native->super;
            if (native) {
                auto base = native->allocate;
                std::uint64_t rootId = root->id();
                native->allocate = [base, rootId](Machine& m, ClassObject* c) -> Object* {
                    Object* o = base(m, c);
                    if (auto* h = dynamic_cast<DisplayHandle*>(o))
                        h->clipId = rootId;
                    return o;
                };
                made = m.constructAndReport(docClass);
                native->allocate = base;
            }
            m_document = made;
        }
        runFrameScript();
        return;
    }
    if (auto* doc = dynamic_cast<DisplayHandle*>(m_document)) {
        bool listening = std::any_of(doc->listeners.begin(), doc->listeners.end(),
                                     [](const auto& l) { return l.type == "enterFrame"; });
        if (listening) {
            Value args[1] = {m.string("enterFrame")};
            ClassObject* eventClass = m.findClass("flash.events.Event");
            if (Object* e = eventClass ? m.constructAndReport(eventClass, args) : nullptr) {
                Value handler = Value::object(m.newNative("", [doc](Machine& m, Value, std::span<Value> a) {
                    dispatch(m, Value::object(doc), arg(a, 0));
                    return Value();
                }));
                Value eventArgs[1] = {Value::object(e)};
                m.callAndReport(handler, Value::null(), eventArgs);
            }
        }
    }
    runFrameScript();
}

void Avm2Host::runFrameScript() {
    auto* doc = dynamic_cast<DisplayHandle*>(m_document);
    timeline::Clip* root = m_player.root();
    if (!doc || !root)
        return;
    int frame = root->currentFrame();
    if (frame == m_lastScriptFrame)
        return;
    m_lastScriptFrame = frame;
    auto it = doc->frameScripts.find(frame);
    if (it != doc->frameScripts.end())
        m_machine->callAndReport(it->second, Value::object(doc));
}

} // namespace swf::avm2
