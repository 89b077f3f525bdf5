// flash.events: Event and its subclasses, EventDispatcher, and dispatching through the
// display list (capture from the stage down, the target, then bubbling back up).
#include "swf/avm2/HostState.h"

#include <algorithm>

namespace swf::avm2 {

namespace {

EventObject& requireEvent(Machine& m, Value v) {
    return requireNative<EventObject>(m, v, "flash.events.Event");
}

// Runs the listeners of `at` for the event's type in one phase: higher priority first,
// then in the order added; listeners added meanwhile wait for the next event.
void fire(Machine& m, DisplayHandle* at, Value event, EventObject& e, int phase) {
    std::vector<Listener> now;
    for (const auto& l : at->listeners)
        if (l.type == e.type && l.capture == (phase == 1))
            now.push_back(l);
    if (now.empty())
        return;
    std::stable_sort(now.begin(), now.end(), [](const auto& a, const auto& b) { return a.priority > b.priority; });
    e.currentTarget = Value::object(at);
    e.phase = phase;
    for (const auto& l : now) {
        if (e.stoppedNow)
            break;
        Value args[1] = {event};
        m.call(l.fn, Value::null(), args);
    }
}

void setFields(EventObject& e, Machine& m, std::span<Value> a, bool bubblesByDefault) {
    e.type = m.toString(arg(a, 0));
    e.bubbles = a.size() > 1 ? m.toBoolean(a[1]) : bubblesByDefault;
    e.cancelable = m.toBoolean(arg(a, 2));
}

// Defines read-only properties kept in EventObject::fields, with their defaults.
void defineFields(Machine& m, ClassObject* cls, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        std::string key = name;
        m.defineGetter(cls, name, [key](Machine& m, Value self, std::span<Value>) {
            EventObject& e = requireEvent(m, self);
            auto it = e.fields.find(key);
            return it == e.fields.end() ? Value() : it->second;
        });
    }
}

// A subclass of Event whose constructor takes (type, bubbles, cancelable) and then its
// own fields in `fields` order.
ClassObject* defineEventClass(Machine& m, ClassObject* base, const std::string& name,
                              std::vector<std::string> fields, bool bubblesByDefault,
                              std::initializer_list<std::pair<const char*, const char*>> constants) {
    ClassObject* cls = m.defineNativeClass("flash.events", name, base);
    cls->init = m.newNative(name, [fields, bubblesByDefault](Machine& m, Value self, std::span<Value> a) {
        EventObject& e = requireEvent(m, self);
        setFields(e, m, a, bubblesByDefault);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            Value v = arg(a, 3 + i);
            const std::string& f = fields[i];
            bool flag = f.find("Key") != std::string::npos || f == "buttonDown" || f == "fullScreen" || f == "activating" ||
                        f == "interactive";
            bool text = f == "text" || f == "data" || f == "code" || f == "level";
            e.fields[f] = flag              ? Value::boolean(m.toBoolean(v))
                          : !v.isUndefined() ? (text ? m.string(m.toString(v)) : v)
                          : text             ? m.string("")
                          : f == "relatedObject" || f == "info" ? Value::null()
                                                                : Value::integer(0);
        }
        return Value();
    });
    // Each field reads back what the constructor (or the player) put there.
    for (const std::string& f : fields)
        m.defineGetter(cls, f, [f](Machine& m, Value self, std::span<Value>) {
            EventObject& e = requireEvent(m, self);
            auto it = e.fields.find(f);
            return it == e.fields.end() ? Value() : it->second;
        });
    for (auto [constant, value] : constants)
        m.defineStatic(cls, constant, m.string(value));
    return cls;
}

} // namespace

Object* makeEvent(HostState& host, ClassObject* cls, const std::string& type, bool bubbles) {
    auto* e = dynamic_cast<EventObject*>(host.machine.allocateInstance(cls));
    if (e) {
        e->type = type;
        e->bubbles = bubbles;
    }
    return e;
}

void HostState::listenFor(DisplayHandle* h, const std::string& type) {
    static const char* const kBroadcast[] = {"enterFrame", "exitFrame", "frameConstructed", "activate", "deactivate", "render"};
    if (h->inBroadcastList || std::find(std::begin(kBroadcast), std::end(kBroadcast), type) == std::end(kBroadcast))
        return;
    h->inBroadcastList = true;
    broadcastTargets.push_back(h);
}

bool HostState::dispatch(DisplayHandle* target, Value event) {
    EventObject* e = nativeOf<EventObject>(event);
    if (!e)
        return true;
    // An event already sent is sent again as its clone, as the player did.
    if (!e->target.isNull()) {
        event = machine.callProperty(event, Machine::publicName("clone"), {});
        e = nativeOf<EventObject>(event);
        if (!e)
            return true;
    }
    e->target = Value::object(target);
    // The path: the target's ancestors, nearest first, up to the stage.
    std::vector<DisplayHandle*> path;
    for (DisplayHandle* at = target; at && path.size() < 64;) {
        DisplayHandle* up = nullptr;
        if (at->isRoot) {
            up = stage;
        } else if (!at->isStage) {
            Located loc = locate(*at);
            if (loc.parent)
                up = wrapClip(*loc.parent);
        }
        if (up)
            path.push_back(up);
        at = up;
    }
    for (auto it = path.rbegin(); it != path.rend() && !e->stopped; ++it)
        fire(machine, *it, event, *e, 1);
    if (!e->stopped)
        fire(machine, target, event, *e, 2);
    if (e->bubbles)
        for (auto it = path.begin(); it != path.end() && !e->stopped; ++it)
            fire(machine, *it, event, *e, 3);
    e->currentTarget = Value::null();
    e->phase = 2;
    return !e->prevented;
}

void HostState::broadcast(const std::string& type) {
    std::vector<DisplayHandle*> targets = broadcastTargets;
    for (DisplayHandle* h : targets) {
        if (!h->hasListener(type))
            continue;
        Object* made = makeEvent(*this, eventClass, type, false);
        auto* e = dynamic_cast<EventObject*>(made);
        if (!e)
            return;
        e->target = Value::object(h);
        machine.runAndReport([&] { fire(machine, h, Value::object(made), *e, 2); });
    }
}

void installEventClasses(HostState& host) {
    Machine& m = host.machine;
    ClassObject* event = m.defineNativeClass("flash.events", "Event", m.objectClass);
    event->allocate = [](Machine& m, ClassObject*) -> Object* { return m.adopt(std::make_unique<EventObject>()); };
    event->init = m.newNative("Event", [](Machine& m, Value self, std::span<Value> a) {
        setFields(requireEvent(m, self), m, a, false);
        return Value();
    });
    host.eventClass = event;
    m.defineGetter(event, "type", [](Machine& m, Value self, std::span<Value>) { return m.string(requireEvent(m, self).type); });
    m.defineGetter(event, "bubbles", [](Machine& m, Value self, std::span<Value>) { return Value::boolean(requireEvent(m, self).bubbles); });
    m.defineGetter(event, "cancelable", [](Machine& m, Value self, std::span<Value>) { return Value::boolean(requireEvent(m, self).cancelable); });
    m.defineGetter(event, "target", [](Machine& m, Value self, std::span<Value>) { return requireEvent(m, self).target; });
    m.defineGetter(event, "currentTarget", [](Machine& m, Value self, std::span<Value>) { return requireEvent(m, self).currentTarget; });
    m.defineGetter(event, "eventPhase", [](Machine& m, Value self, std::span<Value>) { return Value::uinteger(requireEvent(m, self).phase); });
    m.defineMethod(event, "stopPropagation", [](Machine& m, Value self, std::span<Value>) {
        requireEvent(m, self).stopped = true;
        return Value();
    });
    m.defineMethod(event, "stopImmediatePropagation", [](Machine& m, Value self, std::span<Value>) {
        EventObject& e = requireEvent(m, self);
        e.stopped = e.stoppedNow = true;
        return Value();
    });
    m.defineMethod(event, "preventDefault", [](Machine& m, Value self, std::span<Value>) {
        EventObject& e = requireEvent(m, self);
        e.prevented = e.prevented || e.cancelable;
        return Value();
    });
    m.defineMethod(event, "isDefaultPrevented", [](Machine& m, Value self, std::span<Value>) {
        return Value::boolean(requireEvent(m, self).prevented);
    });
    m.defineMethod(event, "clone", [](Machine& m, Value self, std::span<Value>) {
        EventObject& e = requireEvent(m, self);
        Object* copy = m.allocateInstance(e.cls ? e.cls : m.objectClass);
        if (auto* c = dynamic_cast<EventObject*>(copy)) {
            c->type = e.type;
            c->bubbles = e.bubbles;
            c->cancelable = e.cancelable;
            c->fields = e.fields;
        }
        return Value::object(copy);
    });
    m.defineMethod(event, "toString", [](Machine& m, Value self, std::span<Value>) {
        EventObject& e = requireEvent(m, self);
        std::string text = "[" + (e.cls ? e.cls->name : std::string("Event")) + " type=\"" + e.type +
                           "\" bubbles=" + (e.bubbles ? "true" : "false") +
                           " cancelable=" + (e.cancelable ? "true" : "false") + " eventPhase=" + std::to_string(e.phase);
        for (const auto& [name, value] : e.fields)
            text += " " + name + "=" + m.toString(value);
        return m.string(text + "]");
    });
    for (auto [name, value] : {std::pair{"ENTER_FRAME", "enterFrame"}, {"EXIT_FRAME", "exitFrame"},
                               {"FRAME_CONSTRUCTED", "frameConstructed"}, {"ADDED", "added"},
                               {"ADDED_TO_STAGE", "addedToStage"}, {"REMOVED", "removed"},
                               {"REMOVED_FROM_STAGE", "removedFromStage"}, {"COMPLETE", "complete"},
                               {"INIT", "init"}, {"CHANGE", "change"}, {"RESIZE", "resize"}, {"ACTIVATE", "activate"},
                               {"DEACTIVATE", "deactivate"}, {"RENDER", "render"}, {"OPEN", "open"},
                               {"CLOSE", "close"}, {"SELECT", "select"}, {"SCROLL", "scroll"}, {"UNLOAD", "unload"},
                               {"SOUND_COMPLETE", "soundComplete"}, {"TAB_CHILDREN_CHANGE", "tabChildrenChange"}})
        m.defineStatic(event, name, m.string(value));

    host.mouseEventClass = defineEventClass(
        m, event, "MouseEvent",
        {"localX", "localY", "relatedObject", "ctrlKey", "altKey", "shiftKey", "buttonDown", "delta"}, true,
        {{"CLICK", "click"}, {"DOUBLE_CLICK", "doubleClick"}, {"MOUSE_DOWN", "mouseDown"}, {"MOUSE_UP", "mouseUp"},
         {"MOUSE_MOVE", "mouseMove"}, {"MOUSE_OVER", "mouseOver"}, {"MOUSE_OUT", "mouseOut"},
         {"ROLL_OVER", "rollOver"}, {"ROLL_OUT", "rollOut"}, {"MOUSE_WHEEL", "mouseWheel"}});
    defineFields(m, host.mouseEventClass,
                 {"localX", "localY", "stageX", "stageY", "relatedObject", "ctrlKey", "altKey", "shiftKey", "buttonDown", "delta"});
    m.defineMethod(host.mouseEventClass, "updateAfterEvent", [](Machine&, Value, std::span<Value>) { return Value(); });
    host.keyboardEventClass = defineEventClass(
        m, event, "KeyboardEvent", {"charCode", "keyCode", "keyLocation", "ctrlKey", "altKey", "shiftKey"}, true,
        {{"KEY_DOWN", "keyDown"}, {"KEY_UP", "keyUp"}});
    defineFields(m, host.keyboardEventClass, {"charCode", "keyCode", "keyLocation", "ctrlKey", "altKey", "shiftKey"});
    defineEventClass(m, event, "TimerEvent", {}, false, {{"TIMER", "timer"}, {"TIMER_COMPLETE", "timerComplete"}});
    defineEventClass(m, event, "FocusEvent", {"relatedObject", "shiftKey", "keyCode"}, true,
                     {{"FOCUS_IN", "focusIn"}, {"FOCUS_OUT", "focusOut"}, {"KEY_FOCUS_CHANGE", "keyFocusChange"},
                      {"MOUSE_FOCUS_CHANGE", "mouseFocusChange"}});
    defineEventClass(m, event, "ProgressEvent", {"bytesLoaded", "bytesTotal"}, false,
                     {{"PROGRESS", "progress"}, {"SOCKET_DATA", "socketData"}});
    ClassObject* text = defineEventClass(m, event, "TextEvent", {"text"}, false,
                                         {{"LINK", "link"}, {"TEXT_INPUT", "textInput"}});
    defineEventClass(m, text, "ErrorEvent", {"text", "errorID"}, false, {{"ERROR", "error"}});
    ClassObject* error = m.findClass("flash.events.ErrorEvent");
    defineEventClass(m, error, "IOErrorEvent", {"text", "errorID"}, false, {{"IO_ERROR", "ioError"}});
    defineEventClass(m, error, "SecurityErrorEvent", {"text", "errorID"}, false, {{"SECURITY_ERROR", "securityError"}});
    defineEventClass(m, error, "UncaughtErrorEvent", {"error"}, true, {{"UNCAUGHT_ERROR", "uncaughtError"}});
    defineEventClass(m, error, "AsyncErrorEvent", {"text", "error"}, false, {{"ASYNC_ERROR", "asyncError"}});
    defineEventClass(m, text, "DataEvent", {"data"}, false, {{"DATA", "data"}, {"UPLOAD_COMPLETE_DATA", "uploadCompleteData"}});
    defineEventClass(m, event, "HTTPStatusEvent", {"status"}, false,
                     {{"HTTP_STATUS", "httpStatus"}, {"HTTP_RESPONSE_STATUS", "httpResponseStatus"}});
    defineEventClass(m, event, "NetStatusEvent", {"info"}, false, {{"NET_STATUS", "netStatus"}});
    defineEventClass(m, event, "StatusEvent", {"code", "level"}, false, {{"STATUS", "status"}});
    defineEventClass(m, event, "FullScreenEvent", {"fullScreen", "interactive"}, false,
                     {{"FULL_SCREEN", "fullScreen"}, {"FULL_SCREEN_INTERACTIVE_ACCEPTED", "fullScreenInteractiveAccepted"}});
    defineEventClass(m, event, "ActivityEvent", {"activating"}, false, {{"ACTIVITY", "activity"}});
    defineEventClass(m, event, "ContextMenuEvent", {"mouseTarget", "contextMenuOwner"}, false,
                     {{"MENU_ITEM_SELECT", "menuItemSelect"}, {"MENU_SELECT", "menuSelect"}});

    ClassObject* dispatcher = m.defineNativeClass("flash.events", "EventDispatcher", m.objectClass);
    dispatcher->allocate = [](Machine& m, ClassObject*) -> Object* { return m.adopt(std::make_unique<DisplayHandle>()); };
    dispatcher->init = m.newNative("EventDispatcher", [](Machine&, Value, std::span<Value>) { return Value(); });
    HostState* state = &host;
    m.defineMethod(dispatcher, "addEventListener", [state](Machine& m, Value self, std::span<Value> a) {
        DisplayHandle* h = state->handleOf(self);
        std::string type = m.toString(arg(a, 0));
        Value fn = arg(a, 1);
        if (!fn.isObject() || fn.o->kind != ObjectKind::Function)
            m.typeError(2007, "Parameter listener must be non-null.");
        bool capture = m.toBoolean(arg(a, 2));
        for (const auto& l : h->listeners)
            if (l.type == type && l.capture == capture && m.strictEquals(l.fn, fn))
                return Value();
        h->listeners.push_back({type, fn, a.size() > 3 ? m.toInt(a[3]) : 0, capture});
        state->listenFor(h, type);
        return Value();
    }, 2);
    m.defineMethod(dispatcher, "removeEventListener", [state](Machine& m, Value self, std::span<Value> a) {
        DisplayHandle* h = state->handleOf(self);
        std::string type = m.toString(arg(a, 0));
        bool capture = m.toBoolean(arg(a, 2));
        std::erase_if(h->listeners, [&](const auto& l) {
            return l.type == type && l.capture == capture && m.strictEquals(l.fn, arg(a, 1));
        });
        return Value();
    }, 2);
    m.defineMethod(dispatcher, "hasEventListener", [state](Machine& m, Value self, std::span<Value> a) {
        return Value::boolean(state->handleOf(self)->hasListener(m.toString(arg(a, 0))));
    }, 1);
    m.defineMethod(dispatcher, "willTrigger", [state](Machine& m, Value self, std::span<Value> a) {
        return Value::boolean(state->handleOf(self)->hasListener(m.toString(arg(a, 0))));
    }, 1);
    m.defineMethod(dispatcher, "dispatchEvent", [state](Machine& m, Value self, std::span<Value> a) {
        DisplayHandle* h = state->handleOf(self);
        requireEvent(m, arg(a, 0));
        return Value::boolean(state->dispatch(h, arg(a, 0)));
    }, 1);
}

} // namespace swf::avm2
