// Sound: a script's handle on the sounds of one timeline, or of the whole movie when
// made without a target. It attaches exported sounds, starts and stops them, and sets
// the volume, pan and channel mix of everything its timeline plays. The target is
// looked up again on every call, so a Sound made for a name follows whatever clip
// holds that name now (and answers undefined while none does).

#include "BuiltinSound.h"
#include "BuiltinSupport.h"
#include "Interpreter.h"
#include "swf/audio/SoundControl.h"

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>

namespace swf::avm1 {

namespace {

class SoundObject;

// Sounds started by script, by engine and channel, so a finished one finds its Sound.
// A Sound that is collected takes its entries with it.
std::map<std::pair<audio::SoundControl*, audio::ChannelId>, SoundObject*>& startedSounds() {
    static std::map<std::pair<audio::SoundControl*, audio::ChannelId>, SoundObject*> started;
    return started;
}

class SoundObject : public Object {
public:
    explicit SoundObject(Object* proto) : Object(Kind::Plain, proto) {}
    ~SoundObject() override { forgetStarted(); }
    // Only the latest sound a Sound started reports its end.
    void forgetStarted() {
        std::erase_if(startedSounds(), [this](const auto& entry) { return entry.second == this; });
    }
    void references(std::vector<Object*>& out) const override {
        Object::references(out);
        if (Object* o = target.object())
            out.push_back(o);
    }

    bool global = true; // made without a target: the movie's global sound
    Value target;
    int soundId = -1; // attached sound
    audio::ChannelId channel = audio::kNoChannel;
};

SoundObject* soundOf(Object* self) {
    return dynamic_cast<SoundObject*>(self);
}

audio::SoundControl* control(Interpreter& vm) {
    return vm.host() ? vm.host()->soundControl() : nullptr;
}

// The clip the Sound speaks for: 0 for the global one; nothing when its target is gone.
std::optional<std::uint64_t> targetClip(Interpreter& vm, const SoundObject& s) {
    if (s.global)
        return 0;
    Object* o = vm.resolveTarget(s.target, vm.currentTarget());
    if (!o || o->kind() != Object::Kind::Clip || !vm.host())
        return std::nullopt;
    const ClipId clip = static_cast<ClipObject*>(o)->clip;
    if (!vm.host()->exists(clip))
        return std::nullopt;
    return clip;
}

Object* allocateSound(Interpreter& vm, Object* proto) {
    return makeNative<SoundObject>(vm, proto);
}

// A clip given as the target is kept as its path: renaming the clip loses it.
Value soundConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (SoundObject* s = soundOf(self); s && !args.empty() && !args[0].isUndefined()) {
        s->global = false;
        Object* o = args[0].object();
        if (o && o->kind() == Object::Kind::Clip)
            s->target = Value(vm.clipPath(static_cast<ClipObject*>(o)->clip));
        else
            s->target = args[0];
    }
    return Value();
}

Value sound_attachSound(Interpreter& vm, Object* self, std::span<const Value> args) {
    SoundObject* s = soundOf(self);
    if (s && !args.empty() && vm.host())
        if (const int id = vm.host()->exportedSound(vm.toString(args[0])); id >= 0)
            s->soundId = id;
    return Value();
}

Value sound_start(Interpreter& vm, Object* self, std::span<const Value> args) {
    SoundObject* s = soundOf(self);
    audio::SoundControl* c = control(vm);
    if (!s || !c || s->soundId < 0)
        return Value();
    const auto clip = targetClip(vm, *s);
    if (!clip)
        return Value();
    const double offset = args.size() > 0 ? vm.toNumber(args[0]) : 0.0;
    const double loops = args.size() > 1 ? vm.toNumber(args[1]) : 1.0;
    const int loopCount = std::isfinite(loops) && loops >= 1 ? static_cast<int>(std::min(loops, 65535.0)) : 1;
    s->forgetStarted();
    s->channel = c->startSoundAt(static_cast<std::uint16_t>(s->soundId), offset, loopCount, *clip);
    if (s->channel != audio::kNoChannel)
        startedSounds()[{c, s->channel}] = s;
    return Value();
}

// stop(): every sound of the target; stop(name): only that exported sound.
Value sound_stop(Interpreter& vm, Object* self, std::span<const Value> args) {
    SoundObject* s = soundOf(self);
    audio::SoundControl* c = control(vm);
    const auto clip = s ? targetClip(vm, *s) : std::nullopt;
    if (!c || !clip)
        return Value();
    int soundId = -1;
    if (!args.empty() && !args[0].isUndefined()) {
        soundId = vm.host()->exportedSound(vm.toString(args[0]));
        if (soundId < 0)
            return Value();
    }
    c->stopSounds(*clip, soundId);
    return Value();
}

// The transform as scripts see it; a Sound whose target is gone has none.
std::optional<audio::SoundTransform> transformOf(Interpreter& vm, Object* self) {
    SoundObject* s = soundOf(self);
    const auto clip = s ? targetClip(vm, *s) : std::nullopt;
    if (!clip)
        return std::nullopt;
    audio::SoundControl* c = control(vm);
    return c ? c->transform(*clip) : audio::SoundTransform{};
}

void changeTransform(Interpreter& vm, Object* self, const std::function<void(audio::SoundTransform&)>& edit) {
    SoundObject* s = soundOf(self);
    audio::SoundControl* c = control(vm);
    const auto clip = s ? targetClip(vm, *s) : std::nullopt;
    if (!c || !clip)
        return;
    audio::SoundTransform t = c->transform(*clip);
    edit(t);
    c->setTransform(*clip, t);
}

// A number argument, or nothing when it is not a finite number.
std::optional<double> finiteArg(Interpreter& vm, std::span<const Value> args, std::size_t i) {
    if (i >= args.size())
        return std::nullopt;
    const double v = vm.toNumber(args[i]);
    if (!std::isfinite(v))
        return std::nullopt;
    return std::trunc(v);
}

Value sound_getVolume(Interpreter& vm, Object* self, std::span<const Value>) {
    const auto t = transformOf(vm, self);
    return t ? Value(t->volume) : Value();
}

Value sound_setVolume(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (const auto v = finiteArg(vm, args, 0))
        changeTransform(vm, self, [&](audio::SoundTransform& t) { t.volume = *v; });
    return Value();
}

// Pan p > 0 turns the left side down to 100 - p; p < 0 turns the right side down.
Value sound_getPan(Interpreter& vm, Object* self, std::span<const Value>) {
    const auto t = transformOf(vm, self);
    if (!t)
        return Value();
    return Value(t->ll != 100 ? 100 - t->ll : t->rr - 100);
}

Value sound_setPan(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (const auto p = finiteArg(vm, args, 0))
        changeTransform(vm, self, [&](audio::SoundTransform& t) {
            t.ll = *p > 0 ? 100 - *p : 100;
            t.rr = *p < 0 ? 100 + *p : 100;
            t.lr = t.rl = 0;
        });
    return Value();
}

Value sound_getTransform(Interpreter& vm, Object* self, std::span<const Value>) {
    const auto t = transformOf(vm, self);
    if (!t)
        return Value();
    Object* o = vm.newObject();
    vm.set(o, "ll", t->ll);
    vm.set(o, "lr", t->lr);
    vm.set(o, "rr", t->rr);
    vm.set(o, "rl", t->rl);
    return o;
}

Value sound_setTransform(Interpreter& vm, Object* self, std::span<const Value> args) {
    Object* from = args.empty() ? nullptr : args[0].object();
    if (!from)
        return Value();
    changeTransform(vm, self, [&](audio::SoundTransform& t) {
        const std::pair<const char*, double*> fields[] = {{"ll", &t.ll}, {"lr", &t.lr}, {"rr", &t.rr}, {"rl", &t.rl}};
        for (const auto& [name, field] : fields)
            if (vm.has(from, name))
                if (const double v = vm.toNumber(vm.get(from, name)); std::isfinite(v))
                    *field = std::trunc(v);
    });
    return Value();
}

Value sound_getDuration(Interpreter& vm, Object* self, std::span<const Value>) {
    SoundObject* s = soundOf(self);
    audio::SoundControl* c = control(vm);
    if (!s || s->soundId < 0)
        return Value();
    return Value(c ? std::round(c->durationMs(static_cast<std::uint16_t>(s->soundId))) : 0.0);
}

Value sound_getPosition(Interpreter& vm, Object* self, std::span<const Value>) {
    SoundObject* s = soundOf(self);
    audio::SoundControl* c = control(vm);
    if (!s || s->soundId < 0)
        return Value();
    const double at = c && s->channel != audio::kNoChannel ? c->positionMs(s->channel) : -1.0;
    // A sound that has finished stays at its end.
    return Value(std::round(at >= 0 ? at : (c && s->channel ? c->durationMs(static_cast<std::uint16_t>(s->soundId)) : 0.0)));
}

Value sound_noValue(Interpreter&, Object*, std::span<const Value>) {
    return Value();
}

} // namespace

void dispatchSoundComplete(Interpreter& vm, audio::SoundControl& control) {
    for (audio::ChannelId channel : control.takeFinished()) {
        auto& started = startedSounds();
        auto it = started.find({&control, channel});
        if (it == started.end())
            continue;
        SoundObject* s = it->second;
        started.erase(it);
        const Value handler = vm.get(s, "onSoundComplete");
        if (vm.isCallable(handler))
            vm.callFromHost(handler, Value(static_cast<Object*>(s)), {});
    }
}

void installSoundBuiltins(Interpreter& vm) {
    Object* p = vm.newObject();
    FunctionObject* sound = vm.newNative(soundConstruct, p);
    sound->allocate = allocateSound;
    struct Method {
        const char* name;
        NativeFn fn;
    };
    const Method methods[] = {
        {"attachSound", sound_attachSound},
        {"start", sound_start},
        {"stop", sound_stop},
        {"getVolume", sound_getVolume},
        {"setVolume", sound_setVolume},
        {"getPan", sound_getPan},
        {"setPan", sound_setPan},
        {"getTransform", sound_getTransform},
        {"setTransform", sound_setTransform},
        {"getDuration", sound_getDuration},
        {"getPosition", sound_getPosition},
        // FIXME: loading MP3 files (loadSound) and their ID3 tags are not played yet.
        {"loadSound", sound_noValue},
        {"getBytesLoaded", sound_noValue},
        {"getBytesTotal", sound_noValue},
        {"setDuration", sound_noValue},
        {"setPosition", sound_noValue},
    };
    for (const Method& m : methods)
        vm.defineMethod(p, m.name, m.fn);
    vm.define(vm.global(), "Sound", sound, kDontEnum);
}

} // namespace swf::avm1
