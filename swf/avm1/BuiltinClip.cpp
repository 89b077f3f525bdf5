// MovieClip methods: frame control, display list edits, depths and geometry, all
// through the ClipHost.

#include "BuiltinLoad.h"
#include "Interpreter.h"

#include <algorithm>

#include <cmath>

namespace swf::avm1 {

namespace {

ClipId clipOf(Interpreter& vm, Object* self) {
    if (!vm.host() || !self || self->kind() != Object::Kind::Clip)
        return kNoClip;
    const ClipId c = static_cast<ClipObject*>(self)->clip;
    return vm.host()->exists(c) ? c : kNoClip;
}

int depthArg(Interpreter& vm, std::span<const Value> args, std::size_t i) {
    const double d = i < args.size() ? vm.toNumber(args[i]) : 0;
    return std::isfinite(d) ? static_cast<int>(std::clamp(std::trunc(d), -2147483648.0, 2147483647.0)) : 0;
}

#define SWF_AVM1_CLIP_CALL(name, call)                                                                       \
    Value clip_##name(Interpreter& vm, Object* self, std::span<const Value>) {                               \
        if (const ClipId c = clipOf(vm, self))                                                               \
            vm.host()->call(c);                                                                              \
        return Value();                                                                                      \
    }
SWF_AVM1_CLIP_CALL(play, play)
SWF_AVM1_CLIP_CALL(stop, stop)
SWF_AVM1_CLIP_CALL(nextFrame, nextFrame)
SWF_AVM1_CLIP_CALL(prevFrame, prevFrame)
#undef SWF_AVM1_CLIP_CALL

Value gotoFrame(Interpreter& vm, Object* self, std::span<const Value> args, bool play) {
    const ClipId c = clipOf(vm, self);
    if (!c || args.empty())
        return Value();
    const Value& f = args[0];
    double n = f.isString() ? stringToNumber(f.string(), 5) : vm.toNumber(f);
    if (f.isString() && std::isnan(n)) {
        vm.host()->gotoLabel(c, f.string(), play);
        return Value();
    }
    if (std::isfinite(n))
        vm.host()->gotoFrame(c, static_cast<int>(std::clamp(std::trunc(n), -1e9, 1e9)), play);
    return Value();
}

Value clip_gotoAndPlay(Interpreter& vm, Object* self, std::span<const Value> args) {
    return gotoFrame(vm, self, args, true);
}

Value clip_gotoAndStop(Interpreter& vm, Object* self, std::span<const Value> args) {
    return gotoFrame(vm, self, args, false);
}

void copyInitObject(Interpreter& vm, Object* target, const Value& init) {
    Object* from = init.object();
    if (!from || !target)
        return;
    for (const Property& p : from->properties())
        if (!(p.flags & kDontEnum))
            vm.set(target, p.name, p.value);
}

Value clip_duplicateMovieClip(Interpreter& vm, Object* self, std::span<const Value> args) {
    const ClipId c = clipOf(vm, self);
    if (!c || args.size() < 2)
        return Value();
    const ClipId copy = vm.host()->duplicate(c, vm.toString(args[0]), depthArg(vm, args, 1));
    ClipObject* o = copy ? vm.clipObject(copy) : nullptr;
    if (o && args.size() > 2)
        copyInitObject(vm, o, args[2]);
    return o ? Value(o) : Value();
}

Value clip_removeMovieClip(Interpreter& vm, Object* self, std::span<const Value>) {
    if (const ClipId c = clipOf(vm, self))
        vm.host()->remove(c);
    return Value();
}

Value clip_attachMovie(Interpreter& vm, Object* self, std::span<const Value> args) {
    const ClipId c = clipOf(vm, self);
    if (!c || args.size() < 3)
        return Value();
    const std::string linkage = vm.toString(args[0]);
    const ClipId made = vm.host()->attach(c, linkage, vm.toString(args[1]), depthArg(vm, args, 2));
    ClipObject* o = made ? vm.clipObject(made) : nullptr;
    if (!o)
        return Value();
    if (args.size() > 3)
        copyInitObject(vm, o, args[3]);
    vm.constructClip(made, linkage);
    return o;
}

Value clip_createEmptyMovieClip(Interpreter& vm, Object* self, std::span<const Value> args) {
    const ClipId c = clipOf(vm, self);
    if (!c || args.size() < 2)
        return Value();
    const ClipId made = vm.host()->createEmpty(c, vm.toString(args[0]), depthArg(vm, args, 1));
    ClipObject* o = made ? vm.clipObject(made) : nullptr;
    return o ? Value(o) : Value();
}

Value clip_swapDepths(Interpreter& vm, Object* self, std::span<const Value> args) {
    const ClipId c = clipOf(vm, self);
    if (!c || args.empty())
        return Value();
    if (Object* o = args[0].object(); o && o->kind() == Object::Kind::Clip) {
        const ClipId other = clipOf(vm, o);
        if (other && vm.host()->parent(other) == vm.host()->parent(c))
            vm.host()->swapDepths(c, vm.host()->depth(other));
        return Value();
    }
    if (args[0].isString()) {
        Object* o = vm.resolveTarget(args[0], vm.host()->parent(c));
        if (const ClipId other = clipOf(vm, o); other && vm.host()->parent(other) == vm.host()->parent(c))
            vm.host()->swapDepths(c, vm.host()->depth(other));
        return Value();
    }
    vm.host()->swapDepths(c, depthArg(vm, args, 0));
    return Value();
}

Value clip_getDepth(Interpreter& vm, Object* self, std::span<const Value>) {
    const ClipId c = clipOf(vm, self);
    return c ? Value(static_cast<double>(vm.host()->depth(c))) : Value();
}

Value clip_getNextHighestDepth(Interpreter& vm, Object* self, std::span<const Value>) {
    const ClipId c = clipOf(vm, self);
    return c ? Value(static_cast<double>(vm.host()->nextHighestDepth(c))) : Value();
}

Value clip_getBounds(Interpreter& vm, Object* self, std::span<const Value> args) {
    const ClipId c = clipOf(vm, self);
    if (!c)
        return Value();
    ClipId space = c;
    if (!args.empty()) {
        Object* o = args[0].isObject() ? args[0].object() : vm.resolveTarget(args[0], c);
        space = clipOf(vm, o);
        if (!space)
            return Value();
    }
    const ClipRect r = vm.host()->bounds(c, space);
    Object* out = vm.newObject();
    vm.set(out, "xMin", r.xMin);
    vm.set(out, "xMax", r.xMax);
    vm.set(out, "yMin", r.yMin);
    vm.set(out, "yMax", r.yMax);
    return out;
}

Value clip_hitTest(Interpreter& vm, Object* self, std::span<const Value> args) {
    const ClipId c = clipOf(vm, self);
    if (!c || args.empty())
        return false;
    if (args.size() >= 2) {
        const double x = vm.toNumber(args[0]);
        const double y = vm.toNumber(args[1]);
        if (!std::isfinite(x) || !std::isfinite(y))
            return false;
        return vm.host()->hitTestPoint(c, x, y, args.size() > 2 && vm.toBoolean(args[2]));
    }
    Object* o = args[0].isObject() ? args[0].object() : vm.resolveTarget(args[0], c);
    const ClipId other = clipOf(vm, o);
    return other ? vm.host()->hitTestClip(c, other) : false;
}

Value convertPoint(Interpreter& vm, Object* self, std::span<const Value> args, bool toGlobal) {
    const ClipId c = clipOf(vm, self);
    Object* pt = arg(args, 0).object();
    if (!c || !pt)
        return Value();
    double x = vm.toNumber(vm.get(pt, "x"));
    double y = vm.toNumber(vm.get(pt, "y"));
    if (!std::isfinite(x) || !std::isfinite(y))
        return Value();
    if (toGlobal)
        vm.host()->localToGlobal(c, x, y);
    else
        vm.host()->globalToLocal(c, x, y);
    vm.set(pt, "x", x);
    vm.set(pt, "y", y);
    return Value();
}

Value clip_localToGlobal(Interpreter& vm, Object* self, std::span<const Value> args) {
    return convertPoint(vm, self, args, true);
}

Value clip_globalToLocal(Interpreter& vm, Object* self, std::span<const Value> args) {
    return convertPoint(vm, self, args, false);
}

Value clip_getBytesLoaded(Interpreter& vm, Object* self, std::span<const Value>) {
    double loaded, total;
    const ClipId c = clipOf(vm, self);
    return c && vm.host()->clipBytes(c, loaded, total) ? Value(loaded) : Value();
}

Value clip_getBytesTotal(Interpreter& vm, Object* self, std::span<const Value>) {
    double loaded, total;
    const ClipId c = clipOf(vm, self);
    return c && vm.host()->clipBytes(c, loaded, total) ? Value(total) : Value();
}

Value clip_startDrag(Interpreter& vm, Object* self, std::span<const Value> args) {
    const ClipId c = clipOf(vm, self);
    if (!c)
        return Value();
    ClipRect r;
    const bool constrain = args.size() >= 5;
    if (constrain) {
        r.xMin = vm.toNumber(args[1]);
        r.yMin = vm.toNumber(args[2]);
        r.xMax = vm.toNumber(args[3]);
        r.yMax = vm.toNumber(args[4]);
    }
    vm.host()->startDrag(c, !args.empty() && vm.toBoolean(args[0]), constrain ? &r : nullptr);
    return Value();
}

Value clip_stopDrag(Interpreter& vm, Object*, std::span<const Value>) {
    if (vm.host())
        vm.host()->stopDrag();
    return Value();
}

int methodArg(Interpreter& vm, std::span<const Value> args, std::size_t i) {
    const std::string m = i < args.size() ? asciiLower(vm.toString(args[i])) : std::string();
    return m == "get" ? 1 : (m == "post" ? 2 : 0);
}

Value clip_getURL(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (clipOf(vm, self) && !args.empty())
        vm.host()->getUrl(vm.toString(args[0]), args.size() > 1 ? vm.toString(args[1]) : std::string(),
                          methodArg(vm, args, 2));
    return Value();
}

// loadMovie and friends: requests to the host aimed at this clip's path.
Value clip_loadMovie(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (const ClipId c = clipOf(vm, self); c && !args.empty())
        vm.host()->getUrl(vm.toString(args[0]), vm.clipSlashPath(c), methodArg(vm, args, 1));
    return Value();
}

Value clip_unloadMovie(Interpreter& vm, Object* self, std::span<const Value>) {
    if (const ClipId c = clipOf(vm, self))
        vm.host()->getUrl("", vm.clipSlashPath(c), 0);
    return Value();
}

// The version of the movie the clip belongs to: a loaded movie's clips answer its own.
Value clip_getSWFVersion(Interpreter& vm, Object* self, std::span<const Value>) {
    const ClipId c = clipOf(vm, self);
    if (!c)
        return -1;
    const int v = vm.host()->swfVersion(c);
    return v >= 0 ? v : vm.version();
}

Value clip_loadVariables(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (const ClipId c = clipOf(vm, self); c && !args.empty())
        queueVariablesLoad(vm, vm.clipSlashPath(c), vm.toString(args[0]));
    return Value();
}

Value clip_getInstanceAtDepth(Interpreter& vm, Object* self, std::span<const Value> args) {
    const ClipId c = clipOf(vm, self);
    if (!c || args.empty())
        return Value();
    const ClipId found = vm.host()->clipAtDepth(c, depthArg(vm, args, 0));
    ClipObject* o = found ? vm.clipObject(found) : nullptr;
    return o ? Value(o) : Value();
}

Value clipConstruct(Interpreter&, Object* self, std::span<const Value>) {
    return self ? Value(self) : Value();
}

} // namespace

void installClipBuiltins(Interpreter& vm) {
    vm.clipProto = vm.newObject();
    Object* p = vm.clipProto;
    struct Method {
        const char* name;
        NativeFn fn;
    };
    const Method methods[] = {
        {"play", clip_play},
        {"stop", clip_stop},
        {"nextFrame", clip_nextFrame},
        {"prevFrame", clip_prevFrame},
        {"gotoAndPlay", clip_gotoAndPlay},
        {"gotoAndStop", clip_gotoAndStop},
        {"duplicateMovieClip", clip_duplicateMovieClip},
        {"removeMovieClip", clip_removeMovieClip},
        {"attachMovie", clip_attachMovie},
        {"createEmptyMovieClip", clip_createEmptyMovieClip},
        {"swapDepths", clip_swapDepths},
        {"getDepth", clip_getDepth},
        {"getNextHighestDepth", clip_getNextHighestDepth},
        {"getBounds", clip_getBounds},
        {"hitTest", clip_hitTest},
        {"localToGlobal", clip_localToGlobal},
        {"globalToLocal", clip_globalToLocal},
        {"getBytesLoaded", clip_getBytesLoaded},
        {"getBytesTotal", clip_getBytesTotal},
        {"startDrag", clip_startDrag},
        {"stopDrag", clip_stopDrag},
        {"getURL", clip_getURL},
        {"loadMovie", clip_loadMovie},
        {"unloadMovie", clip_unloadMovie},
        {"loadVariables", clip_loadVariables},
        {"getSWFVersion", clip_getSWFVersion},
        {"getInstanceAtDepth", clip_getInstanceAtDepth},
    };
    // Methods that came with Flash 6 and 7 are hidden from SWF 5 movies.
    const std::string_view flash6[] = {"createEmptyMovieClip", "getDepth", "getNextHighestDepth",
                                       "getSWFVersion", "getInstanceAtDepth"};
    for (const Method& m : methods) {
        const bool later = std::find(std::begin(flash6), std::end(flash6), m.name) != std::end(flash6);
        vm.defineMethod(p, m.name, m.fn, kDontEnum | kDontDelete | (later ? kSwf6Up : 0));
    }
    vm.define(vm.global(), "MovieClip", vm.newNative(clipConstruct, p), kDontEnum);
}

} // namespace swf::avm1
