// NetConnection, NetStream and Video. Only local playback exists: NetConnection.connect
// accepts null alone, and NetStream.play takes a path relative to the movie, which the
// host checks (no URLs, nothing outside the movie's folder); a refused or missing file is
// reported as NetStream.Play.StreamNotFound. The engine keeps the streams; a script
// object holds its stream's id.

#include "BuiltinVideo.h"
#include "BuiltinSupport.h"
#include "swf/video/VideoControl.h"

#include <cmath>
#include <algorithm>
#include <vector>

namespace swf::avm1 {

namespace {

class NetStreamObject;

// Live NetStream objects by stream id, for delivering messages; ids of collected objects
// wait here until the next dispatch hands them back to the engine (the engine may be gone
// by the time an object is destroyed, so the destructor must not call it).
struct NetStreamRegistry {
    std::vector<NetStreamObject*> live; // few at a time: scanned
    std::vector<video::StreamId> collected;
};

NetStreamRegistry& registry() {
    static NetStreamRegistry r;
    return r;
}

class NetStreamObject : public Object {
public:
    explicit NetStreamObject(Object* proto) : Object(Kind::Plain, proto) {}
    ~NetStreamObject() override {
        if (stream != video::kNoStream) {
            std::erase(registry().live, this);
            registry().collected.push_back(stream);
        }
    }
    video::StreamId stream = video::kNoStream;
    double bufferTime = 0.1; // seconds, Flash's default
};

class VideoAsObject : public Object {
public:
    VideoAsObject(Object* proto, FieldRef ref) : Object(Kind::Plain, proto), ref(ref) {}
    FieldRef ref;
};

video::VideoControl* control(Interpreter& vm) {
    return vm.host() ? vm.host()->videoControl() : nullptr;
}

NetStreamObject* netStreamOf(Object* self) {
    return dynamic_cast<NetStreamObject*>(self);
}

// The stream of a NetStream object and the engine that plays it, or nothing.
std::pair<video::VideoControl*, video::StreamId> streamOf(Interpreter& vm, Object* self) {
    NetStreamObject* ns = netStreamOf(self);
    video::VideoControl* c = control(vm);
    if (!ns || !c || ns->stream == video::kNoStream)
        return {nullptr, video::kNoStream};
    return {c, ns->stream};
}

// --- NetConnection

Value netConnectionConstruct(Interpreter& vm, Object* self, std::span<const Value>) {
    if (self)
        vm.set(self, "isConnected", false);
    return Value();
}

// connect(null) is the local connection NetStreams play files through; servers are refused.
Value netConnection_connect(Interpreter& vm, Object* self, std::span<const Value> args) {
    const bool local = args.empty() || args[0].isNullish();
    if (self)
        vm.set(self, "isConnected", local);
    return Value(local);
}

Value netConnection_close(Interpreter& vm, Object* self, std::span<const Value>) {
    if (self)
        vm.set(self, "isConnected", false);
    return Value();
}

// --- NetStream

Object* allocateNetStream(Interpreter& vm, Object* proto) {
    return makeNative<NetStreamObject>(vm, proto);
}

Value netStreamConstruct(Interpreter& vm, Object* self, std::span<const Value>) {
    NetStreamObject* ns = netStreamOf(self);
    if (video::VideoControl* c = control(vm); ns && c) {
        ns->stream = c->createStream();
        registry().live.push_back(ns);
    }
    return Value();
}

Value netStream_play(Interpreter& vm, Object* self, std::span<const Value> args) {
    auto [c, id] = streamOf(vm, self);
    if (!c)
        return Value();
    std::string path;
    if (!args.empty() && vm.host() && !vm.host()->localFilePath(vm.toString(args[0]), path))
        path.clear();
    c->play(id, path);
    return Value();
}

// pause() toggles; pause(flag) pauses (true) or resumes (false).
Value netStream_pause(Interpreter& vm, Object* self, std::span<const Value> args) {
    auto [c, id] = streamOf(vm, self);
    if (c)
        c->pause(id, args.empty() || args[0].isUndefined() ? std::nullopt : std::optional<bool>(vm.toBoolean(args[0])));
    return Value();
}

Value netStream_seek(Interpreter& vm, Object* self, std::span<const Value> args) {
    auto [c, id] = streamOf(vm, self);
    if (c)
        c->seek(id, args.empty() ? 0.0 : vm.toNumber(args[0]));
    return Value();
}

Value netStream_close(Interpreter& vm, Object* self, std::span<const Value>) {
    auto [c, id] = streamOf(vm, self);
    if (c)
        c->close(id);
    return Value();
}

Value netStream_setBufferTime(Interpreter& vm, Object* self, std::span<const Value> args) {
    NetStreamObject* ns = netStreamOf(self);
    const double t = args.empty() ? 0.0 : vm.toNumber(args[0]);
    if (ns && std::isfinite(t)) {
        ns->bufferTime = std::max(0.0, t);
        if (auto [c, id] = streamOf(vm, self); c)
            c->setBufferTime(id, ns->bufferTime);
    }
    return Value();
}

Value netStream_time(Interpreter& vm, Object* self, std::span<const Value>) {
    auto [c, id] = streamOf(vm, self);
    return Value(c ? c->time(id) : 0.0);
}

Value netStream_bufferTime(Interpreter&, Object* self, std::span<const Value>) {
    NetStreamObject* ns = netStreamOf(self);
    return Value(ns ? ns->bufferTime : 0.1);
}

// bytesLoaded and bytesTotal: a local file is loaded whole as soon as it opens.
Value netStream_bytes(Interpreter& vm, Object* self, std::span<const Value>) {
    auto [c, id] = streamOf(vm, self);
    return Value(c ? c->bytesTotal(id) : 0.0);
}

// --- Video

VideoAsObject* videoOf(Object* self) {
    return dynamic_cast<VideoAsObject*>(self);
}

Value videoConstruct(Interpreter&, Object*, std::span<const Value>) {
    return Value();
}

// attachVideo(stream) shows the stream's pictures; attachVideo(null) the video's own again.
Value video_attachVideo(Interpreter& vm, Object* self, std::span<const Value> args) {
    VideoAsObject* v = videoOf(self);
    video::VideoControl* c = control(vm);
    if (!v || !c)
        return Value();
    NetStreamObject* ns = args.empty() ? nullptr : netStreamOf(args[0].object());
    c->attachVideo(v->ref.serial, ns ? ns->stream : video::kNoStream);
    return Value();
}

Value video_clear(Interpreter& vm, Object* self, std::span<const Value>) {
    VideoAsObject* v = videoOf(self);
    if (video::VideoControl* c = control(vm); v && c)
        c->clearVideo(v->ref.serial);
    return Value();
}

// width and height: the size of the picture shown, 0 when there is none.
Value videoDimension(Interpreter& vm, Object* self, bool width) {
    VideoAsObject* v = videoOf(self);
    video::VideoControl* c = control(vm);
    int w = 0, h = 0;
    if (!v || !c || !c->pictureSize(v->ref.serial, w, h))
        return Value(0);
    return Value(width ? w : h);
}

Value video_width(Interpreter& vm, Object* self, std::span<const Value>) {
    return videoDimension(vm, self, true);
}

Value video_height(Interpreter& vm, Object* self, std::span<const Value>) {
    return videoDimension(vm, self, false);
}

Value video_smoothing(Interpreter& vm, Object* self, std::span<const Value>) {
    VideoAsObject* v = videoOf(self);
    video::VideoControl* c = control(vm);
    return Value(v && c && c->smoothing(v->ref.serial));
}

Value video_setSmoothing(Interpreter& vm, Object* self, std::span<const Value> args) {
    VideoAsObject* v = videoOf(self);
    if (video::VideoControl* c = control(vm); v && c && !args.empty())
        c->setSmoothing(v->ref.serial, vm.toBoolean(args[0]));
    return Value();
}

Value video_deblocking(Interpreter& vm, Object* self, std::span<const Value>) {
    VideoAsObject* v = videoOf(self);
    video::VideoControl* c = control(vm);
    return Value(v && c ? c->deblocking(v->ref.serial) : 0);
}

// 0 follows the stream, 1 never filters, 2 to 5 ask for stronger filtering.
Value video_setDeblocking(Interpreter& vm, Object* self, std::span<const Value> args) {
    VideoAsObject* v = videoOf(self);
    const double level = args.empty() ? 0.0 : vm.toNumber(args[0]);
    if (video::VideoControl* c = control(vm); v && c && std::isfinite(level))
        c->setDeblocking(v->ref.serial, static_cast<int>(std::clamp(level, 0.0, 5.0)));
    return Value();
}

// A value a file hands to scripts, as the script object Flash made of it.
Value scriptValue(Interpreter& vm, const video::ScriptValue& v) {
    using Kind = video::ScriptValue::Kind;
    switch (v.kind) {
    case Kind::Undefined:
        return Value();
    case Kind::Null:
        return Value::null();
    case Kind::Number:
        return Value(v.number);
    case Kind::Boolean:
        return Value(v.number != 0);
    case Kind::String:
        return Value(v.text);
    case Kind::Date: {
        const Value ms(v.number);
        return vm.construct(vm.get(vm.global(), "Date"), std::span<const Value>(&ms, 1));
    }
    case Kind::Array: {
        std::vector<Value> elements;
        for (const auto& [name, element] : v.members)
            elements.push_back(scriptValue(vm, element));
        return Value(static_cast<Object*>(vm.newArray(std::move(elements))));
    }
    case Kind::Object:
        break;
    }
    Object* o = vm.newObject();
    for (const auto& [name, member] : v.members)
        vm.set(o, name, scriptValue(vm, member));
    return Value(o);
}

} // namespace

// A video on the stage: its properties belong to the object itself (Video.prototype has
// only the methods).
Object* videoObject(Interpreter& vm, const FieldRef& ref) {
    const Value ctor = vm.get(vm.global(), "Video");
    Object* proto = ctor.isObject() ? vm.get(ctor, "prototype").object() : nullptr;
    Object* v = makeNative<VideoAsObject>(vm, proto ? proto : vm.objectProto, ref);
    defineAccessor(vm, v, "width", video_width, nullptr, kDontEnum | kDontDelete);
    defineAccessor(vm, v, "height", video_height, nullptr, kDontEnum | kDontDelete);
    defineAccessor(vm, v, "smoothing", video_smoothing, video_setSmoothing, kDontEnum | kDontDelete);
    defineAccessor(vm, v, "deblocking", video_deblocking, video_setDeblocking, kDontEnum | kDontDelete);
    return v;
}

void dispatchNetStreamEvents(Interpreter& vm, video::VideoControl& control) {
    for (video::StreamId id : std::exchange(registry().collected, {}))
        control.releaseStream(id);
    for (auto& [id, event] : control.takeEvents()) {
        // A handler may collect or replace streams: look each one up afresh.
        const auto& live = registry().live;
        auto it = std::find_if(live.begin(), live.end(), [id = id](const NetStreamObject* o) { return o->stream == id; });
        if (it == live.end())
            continue;
        Object* ns = *it;
        std::vector<Value> args;
        std::string handlerName = "onStatus";
        if (event.kind == video::StreamEvent::Kind::Status) {
            Object* info = vm.newObject();
            vm.set(info, "code", Value(event.code));
            vm.set(info, "level", Value(event.level));
            args.emplace_back(info);
        } else {
            handlerName = event.call.handler;
            for (const video::ScriptValue& arg : event.call.args)
                args.push_back(scriptValue(vm, arg));
        }
        const Value handler = vm.get(ns, handlerName);
        if (vm.isCallable(handler)) {
            vm.callFromHost(handler, Value(ns), args);
        } else if (event.kind == video::StreamEvent::Kind::Status && event.level == "error") {
            // Errors nobody handles go to System.onStatus.
            const Value system = vm.get(vm.global(), "System");
            const Value fallback = system.isObject() ? vm.get(system, "onStatus") : Value();
            if (vm.isCallable(fallback))
                vm.callFromHost(fallback, system, args);
        }
    }
}

namespace {

struct Member {
    const char* name;
    NativeFn fn;
    NativeFn setter = nullptr; // accessors only
};

// A class with its methods and read accessors (an accessor may have a setter).
void defineVideoClass(Interpreter& vm, const char* name, NativeFn construct, std::span<const Member> methods,
                      std::span<const Member> accessors, Object* (*allocate)(Interpreter&, Object*) = nullptr) {
    FunctionObject* ctor = defineClass(vm, vm.global(), name, construct);
    ctor->allocate = allocate;
    Object* proto = vm.get(Value(static_cast<Object*>(ctor)), "prototype").object();
    for (const Member& m : methods)
        vm.defineMethod(proto, m.name, m.fn);
    for (const Member& a : accessors)
        defineAccessor(vm, proto, a.name, a.fn, a.setter);
}

} // namespace

void installVideoBuiltins(Interpreter& vm) {
    const Member connection[] = {{"connect", netConnection_connect}, {"close", netConnection_close}};
    defineVideoClass(vm, "NetConnection", netConnectionConstruct, connection, {});

    const Member streamMethods[] = {{"play", netStream_play},   {"pause", netStream_pause},
                                    {"seek", netStream_seek},   {"close", netStream_close},
                                    {"setBufferTime", netStream_setBufferTime}};
    const Member streamAccessors[] = {{"time", netStream_time},
                                      {"bufferTime", netStream_bufferTime},
                                      {"bytesLoaded", netStream_bytes},
                                      {"bytesTotal", netStream_bytes}};
    defineVideoClass(vm, "NetStream", netStreamConstruct, streamMethods, streamAccessors, allocateNetStream);

    const Member videoMethods[] = {
        {"attachVideo", video_attachVideo}, {"clear", video_clear}};
    defineVideoClass(vm, "Video", videoConstruct, videoMethods, {});
}

} // namespace swf::avm1
