// Loading files into clips: loadMovie/unloadMovie requests and MovieClipLoader. Every request
// waits in one queue and is served a few frames later, as Flash's own loader did: the host
// opens the file (pictures only), puts a fresh clip in the target's place, and a loader's
// listeners hear onLoadStart, onLoadProgress and onLoadComplete then, and onLoadInit one
// frame after, once the new content has been shown. A file the host refuses gives
// onLoadError instead and leaves the target as it was. The target is found again by its
// path when the request is served, so a clip removed meanwhile arrives as undefined.

#include "BuiltinLoad.h"
#include "BuiltinSupport.h"

namespace swf::avm1 {

namespace {

constexpr const char* kPending = "\x01pendingClipLoads";
constexpr std::size_t kMaxPending = 256;
// A request is served at this queue pass (one pass a frame, the first in the frame that made
// it); onLoadInit follows one pass later.
constexpr double kServedAtPass = 2;

ArrayObject* pendingList(Interpreter& vm) {
    return hiddenGlobalArray(vm, kPending);
}

// The clip a loadClip/unloadClip argument names (a clip or a target path), or null.
ClipObject* targetClip(Interpreter& vm, const Value& target) {
    if (target.isNullish() || target.isNumber())
        return nullptr;
    Object* o = vm.resolveTarget(target, vm.currentTarget());
    return o && o->kind() == Object::Kind::Clip ? static_cast<ClipObject*>(o) : nullptr;
}

// A level a loadClip/unloadClip argument names: a number, or a "_levelN" string.
bool targetLevel(Interpreter& vm, const Value& target, int& level) {
    if (target.isNumber()) {
        const double n = target.number();
        if (!(n >= 0 && n <= 100000))
            return false;
        level = static_cast<int>(n);
        return true;
    }
    return target.isString() && Interpreter::levelNumber(target.string(), level);
}

// Queues a load of `url` (empty: an unload) into what `target` names.
bool queueTo(Interpreter& vm, const Value& target, const std::string& url, Object* loader) {
    int level = 0;
    if (targetLevel(vm, target, level))
        return queueLevelLoad(vm, level, url, loader);
    ClipObject* clip = targetClip(vm, target);
    return clip && queueClipLoad(vm, clip->clip, url, loader);
}

ClipObject* clipAt(Interpreter& vm, const Value& path) {
    Object* o = vm.host() ? vm.resolveTarget(path, vm.host()->root()) : nullptr;
    return o && o->kind() == Object::Kind::Clip ? static_cast<ClipObject*>(o) : nullptr;
}

Value loaderConstruct(Interpreter& vm, Object* self, std::span<const Value>) {
    if (self)
        vm.define(self, "_listeners", listenerArray(vm, {Value(self)}), kDontEnum | kDontDelete);
    return Value();
}

// loadClip(url, target): true when the request is queued. Movies before Flash 7 get
// nothing from it.
Value loaderLoadClip(Interpreter& vm, Object* self, std::span<const Value> args) {
    return self && vm.version() >= 7 && !args.empty() && queueTo(vm, arg(args, 1), vm.toString(args[0]), self);
}

Value loaderUnloadClip(Interpreter& vm, Object*, std::span<const Value> args) {
    return queueTo(vm, arg(args, 0), std::string(), nullptr);
}

// getProgress(target): {bytesLoaded, bytesTotal} as the clip reports them.
Value loaderGetProgress(Interpreter& vm, Object*, std::span<const Value> args) {
    Object* out = vm.newObject();
    if (ClipObject* clip = targetClip(vm, arg(args, 0))) {
        vm.set(out, "bytesLoaded", vm.callMethod(clip, "getBytesLoaded", {}));
        vm.set(out, "bytesTotal", vm.callMethod(clip, "getBytesTotal", {}));
    }
    return out;
}

Value loaderBroadcast(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (self && !args.empty())
        vm.broadcast(self, vm.toString(args[0]), args.subspan(1));
    return Value();
}

// Opens one request's file; true when the entry stays for its onLoadInit.
bool serve(Interpreter& vm, Object* entry, Object* loader) {
    const Value level = vm.get(entry, "level");
    ClipObject* clip = level.isNumber() ? nullptr : clipAt(vm, vm.get(entry, "target"));
    const std::string url = vm.toString(vm.get(entry, "url"));
    long long bytes = -1;
    ClipId loaded = kNoClip;
    if (level.isNumber())
        loaded = vm.host()->loadIntoLevel(static_cast<int>(level.number()), url, bytes);
    else if (clip)
        loaded = vm.host()->loadIntoClip(clip->clip, url, bytes);
    ClipObject* fresh = loaded ? vm.clipObject(loaded) : nullptr;
    if (!loader)
        return false;
    if (!fresh) {
        const Value error[] = {clip ? Value(static_cast<Object*>(clip)) : Value(), "URLNotFound", 0};
        vm.broadcast(loader, "onLoadError", error);
        return false;
    }
    vm.set(entry, "target", vm.clipPath(loaded));
    vm.set(entry, "level", Value());
    const Value who[] = {Value(static_cast<Object*>(fresh))};
    vm.broadcast(loader, "onLoadStart", who);
    const Value progress[] = {who[0], static_cast<double>(bytes), static_cast<double>(bytes)};
    vm.broadcast(loader, "onLoadProgress", progress);
    const Value complete[] = {who[0], 0};
    vm.broadcast(loader, "onLoadComplete", complete);
    return true;
}

} // namespace

bool queueClipLoad(Interpreter& vm, ClipId target, const std::string& url, Object* loader) {
    ArrayObject* list = pendingList(vm);
    if (!vm.host() || !vm.host()->exists(target) || list->elements.size() >= kMaxPending)
        return false;
    Object* entry = vm.newObject();
    vm.set(entry, "loader", loader ? Value(loader) : Value());
    vm.set(entry, "target", vm.clipPath(target));
    vm.set(entry, "url", url);
    vm.set(entry, "pass", 0);
    list->elements.push_back(entry);
    return true;
}

bool queueLevelLoad(Interpreter& vm, int level, const std::string& url, Object* loader) {
    ArrayObject* list = pendingList(vm);
    if (!vm.host() || level < 0 || list->elements.size() >= kMaxPending)
        return false;
    Object* entry = vm.newObject();
    vm.set(entry, "loader", loader ? Value(loader) : Value());
    vm.set(entry, "level", level);
    vm.set(entry, "url", url);
    vm.set(entry, "pass", 0);
    list->elements.push_back(entry);
    return true;
}

void deliverClipLoads(Interpreter& vm) {
    Object* list = vm.get(vm.global(), kPending).object();
    if (!vm.host() || !list || list->kind() != Object::Kind::Array ||
        static_cast<ArrayObject*>(list)->elements.empty())
        return;
    const std::vector<Value> due = std::move(static_cast<ArrayObject*>(list)->elements);
    static_cast<ArrayObject*>(list)->elements.clear();
    std::vector<Value> waiting;
    for (const Value& e : due) {
        Object* entry = e.object();
        if (!entry)
            continue;
        Object* loader = vm.get(entry, "loader").object();
        const double pass = vm.toNumber(vm.get(entry, "pass")) + 1;
        vm.set(entry, "pass", pass);
        if (pass < kServedAtPass || (pass == kServedAtPass && serve(vm, entry, loader))) {
            waiting.push_back(e);
        } else if (pass > kServedAtPass && loader) {
            ClipObject* clip = clipAt(vm, vm.get(entry, "target"));
            const Value who[] = {clip ? Value(static_cast<Object*>(clip)) : Value()};
            vm.broadcast(loader, "onLoadInit", who);
        }
    }
    // Requests made by the handlers above were queued meanwhile: they go after these.
    auto& now = static_cast<ArrayObject*>(list)->elements;
    now.insert(now.begin(), waiting.begin(), waiting.end());
}

// The class came with Flash 7, but movies of every version see it (loadClip itself only
// works for Flash 7 movies).
void installClipLoaderBuiltins(Interpreter& vm) {
    FunctionObject* cls = defineClass(vm, vm.global(), "MovieClipLoader", loaderConstruct);
    Object* proto = vm.get(cls, "prototype").object();
    const Value broadcaster = vm.get(vm.global(), "AsBroadcaster");
    vm.define(proto, "_listeners", listenerArray(vm), kDontEnum | kDontDelete);
    vm.define(proto, "addListener", vm.get(broadcaster, "addListener"), kDontEnum | kDontDelete);
    vm.define(proto, "removeListener", vm.get(broadcaster, "removeListener"), kDontEnum | kDontDelete);
    const std::pair<const char*, NativeFn> methods[] = {{"broadcastMessage", loaderBroadcast},
                                                         {"loadClip", loaderLoadClip},
                                                         {"unloadClip", loaderUnloadClip},
                                                         {"getProgress", loaderGetProgress}};
    for (const auto& [name, fn] : methods)
        vm.defineMethod(proto, name, fn, kDontEnum | kDontDelete);
    flagAllMembers(proto, kSwf7Up); // a Flash 7 class
}

} // namespace swf::avm1
