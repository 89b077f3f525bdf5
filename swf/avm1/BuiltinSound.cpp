// Sound: a script's handle on the sounds of one timeline, or of the whole movie when
// made without a target. It attaches exported sounds, starts and stops them, and sets
// the volume, pan and channel mix of everything its timeline plays. The target is
// looked up again on every call, so a Sound made for a name follows whatever clip
// holds that name now (and answers undefined while none does). SWF 5 movies bind the
// clip once, when the Sound is made: one made for no clip answers undefined for good, and
// one whose clip has gone speaks for the global sound.
//
// loadSound reads an MP3 file beside the movie (never a URL or a path outside its
// folder) and decodes it at once; as in a browser, the script hears of it only from the
// next frame on: onID3 when the file had tags, then onLoad(success), a streaming sound
// starting to play just before them.

#include "BuiltinSound.h"
#include "BuiltinSupport.h"
#include "Interpreter.h"
#include "swf/audio/SoundControl.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace swf::avm1 {

namespace {

class SoundObject;

enum class LoadState { None, Loading, Loaded, Failed };

// Sounds started by script, by engine and channel, so a finished one finds its Sound.
// A Sound that is collected takes its entries with it.
std::map<std::pair<audio::SoundControl*, audio::ChannelId>, SoundObject*>& startedSounds() {
    static std::map<std::pair<audio::SoundControl*, audio::ChannelId>, SoundObject*> started;
    return started;
}

// Loads whose outcome the scripts have not heard yet, in the order they were asked for.
// A load is reported at the end of the frame after the one that asked for it.
struct PendingLoad {
    Interpreter* vm;
    SoundObject* sound;
    bool due = false; // a frame has ended since it was asked for
};
std::vector<PendingLoad>& pendingLoads() {
    static std::vector<PendingLoad> pending;
    return pending;
}

class SoundObject : public Object {
public:
    explicit SoundObject(Object* proto) : Object(Kind::Plain, proto) {}
    ~SoundObject() override {
        forgetStarted();
        std::erase_if(pendingLoads(), [this](const PendingLoad& p) { return p.sound == this; });
    }
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
    std::optional<ClipId> bound; // SWF 5: the clip found when made (none: it found none)
    int soundId = -1; // attached or loaded sound
    audio::ChannelId channel = audio::kNoChannel;
    // loadSound
    LoadState load = LoadState::None;
    bool streaming = false;
    double bytesTotal = 0;
    audio::Id3Tags id3;
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
    if (vm.version() < 6) {
        if (!s.bound || !vm.host())
            return std::nullopt;
        return vm.host()->exists(*s.bound) ? *s.bound : 0;
    }
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
        if (vm.version() < 6) {
            Object* found = vm.resolveTarget(s->target, vm.currentTarget());
            if (found && found->kind() == Object::Kind::Clip && vm.host() &&
                vm.host()->exists(static_cast<ClipObject*>(found)->clip))
                s->bound = static_cast<ClipObject*>(found)->clip;
        }
    }
    return Value();
}

Value sound_getDuration(Interpreter& vm, Object* self, std::span<const Value>);
Value sound_getPosition(Interpreter& vm, Object* self, std::span<const Value>);

// A Sound given a sound answers `duration` and `position` (milliseconds, read-only, from
// SWF 6 on) as getDuration() and getPosition() do. A fresh Sound lists none of its own
// properties, so they are added here, hidden, rather than at construction.
void addSoundProperties(Interpreter& vm, SoundObject& s) {
    if (s.own(vm.key("duration")))
        return;
    const PropFlags flags = kDontEnum | kDontDelete | kReadOnly | kSwf6Up;
    defineAccessor(vm, &s, "duration", sound_getDuration, nullptr, flags);
    defineAccessor(vm, &s, "position", sound_getPosition, nullptr, flags);
}

Value sound_attachSound(Interpreter& vm, Object* self, std::span<const Value> args) {
    SoundObject* s = soundOf(self);
    if (s && !args.empty() && vm.host())
        if (const int id = vm.host()->exportedSound(vm.toString(args[0])); id >= 0) {
            s->soundId = id;
            addSoundProperties(vm, *s);
        }
    return Value();
}

// Starts the Sound's sound on its target; its end will be reported to it.
void startOwnSound(Interpreter& vm, SoundObject& s, double offset, int loopCount) {
    audio::SoundControl* c = control(vm);
    const auto clip = c && s.soundId >= 0 ? targetClip(vm, s) : std::nullopt;
    if (!clip)
        return;
    s.forgetStarted();
    s.channel = c->startSoundAt(static_cast<std::uint32_t>(s.soundId), offset, loopCount, *clip);
    if (s.channel != audio::kNoChannel)
        startedSounds()[{c, s.channel}] = &s;
}

Value sound_start(Interpreter& vm, Object* self, std::span<const Value> args) {
    SoundObject* s = soundOf(self);
    if (!s || s->load == LoadState::Loading)
        return Value();
    const double offset = args.size() > 0 ? vm.toNumber(args[0]) : 0.0;
    const double loops = args.size() > 1 ? vm.toNumber(args[1]) : 1.0;
    const int loopCount = std::isfinite(loops) && loops >= 1 ? static_cast<int>(std::min(loops, 65535.0)) : 1;
    startOwnSound(vm, *s, offset, loopCount);
    return Value();
}

// loadSound(url, isStreaming): see the top of the file. A new load replaces the sound
// the object had, stopping it.
Value sound_loadSound(Interpreter& vm, Object* self, std::span<const Value> args) {
    SoundObject* s = soundOf(self);
    if (!s || args.empty())
        return Value();
    audio::SoundControl* c = control(vm);
    if (c && s->channel != audio::kNoChannel) {
        if (const auto clip = targetClip(vm, *s); clip && s->soundId >= 0)
            c->stopSounds(*clip, s->soundId);
    }
    s->forgetStarted();
    s->channel = audio::kNoChannel;
    s->soundId = -1;
    s->id3.clear();
    s->bytesTotal = 0;
    s->streaming = args.size() > 1 && vm.toBoolean(args[1]);
    s->load = LoadState::Failed;
    std::string bytes;
    if (c && vm.host() && vm.host()->readLocalFile(vm.toString(args[0]), bytes)) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
        audio::LoadedSound loaded = c->loadMp3({data, bytes.size()});
        if (loaded.soundId != 0) {
            s->load = LoadState::Loading;
            s->soundId = static_cast<int>(loaded.soundId);
            addSoundProperties(vm, *s);
            s->bytesTotal = static_cast<double>(bytes.size());
            s->id3 = std::move(loaded.id3);
        }
    }
    std::erase_if(pendingLoads(), [s](const PendingLoad& p) { return p.sound == s; });
    pendingLoads().push_back({&vm, s});
    return Value();
}

// Undefined before any load; the file's size once it is being loaded.
Value sound_getBytesLoaded(Interpreter&, Object* self, std::span<const Value>) {
    const SoundObject* s = soundOf(self);
    if (!s || s->load == LoadState::None || s->load == LoadState::Failed)
        return Value();
    return Value(s->load == LoadState::Loaded ? s->bytesTotal : 0.0);
}

Value sound_getBytesTotal(Interpreter&, Object* self, std::span<const Value>) {
    const SoundObject* s = soundOf(self);
    if (!s || s->load == LoadState::None || s->load == LoadState::Failed)
        return Value();
    return Value(s->bytesTotal);
}

// Tells the scripts how the loads asked for so far went.
void dispatchLoads(Interpreter& vm) {
    auto& pending = pendingLoads();
    const auto ready = [&vm](const PendingLoad& p) { return p.vm == &vm && p.due; };
    // One entry at a time: a handler may drop other objects (their entries go with them)
    // or load again (that one waits).
    for (auto n = std::count_if(pending.begin(), pending.end(), ready); n > 0; --n) {
        const auto it = std::find_if(pending.begin(), pending.end(), ready);
        if (it == pending.end())
            break;
        SoundObject* s = it->sound;
        pending.erase(it);
        const bool ok = s->load == LoadState::Loading;
        if (ok) {
            s->load = LoadState::Loaded;
            if (s->streaming)
                startOwnSound(vm, *s, 0.0, 1);
            if (!s->id3.empty()) {
                Object* tags = vm.newObject();
                for (const auto& [name, value] : s->id3)
                    vm.set(tags, name, Value(value));
                vm.set(s, "id3", Value(tags));
                const Value onId3 = vm.get(s, "onID3");
                if (vm.isCallable(onId3))
                    vm.callFromHost(onId3, Value(static_cast<Object*>(s)), {});
            }
        }
        const Value onLoad = vm.get(s, "onLoad");
        if (vm.isCallable(onLoad)) {
            const Value arg(ok);
            vm.callFromHost(onLoad, Value(static_cast<Object*>(s)), std::span<const Value>(&arg, 1));
        }
    }
    for (PendingLoad& p : pending)
        p.due = p.due || p.vm == &vm;
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
    return Value(c ? std::round(c->durationMs(static_cast<std::uint32_t>(s->soundId))) : 0.0);
}

Value sound_getPosition(Interpreter& vm, Object* self, std::span<const Value>) {
    SoundObject* s = soundOf(self);
    audio::SoundControl* c = control(vm);
    if (!s || s->soundId < 0)
        return Value();
    const double at = c && s->channel != audio::kNoChannel ? c->positionMs(s->channel) : -1.0;
    // A sound that has finished stays at its end.
    return Value(std::round(at >= 0 ? at : (c && s->channel ? c->durationMs(static_cast<std::uint32_t>(s->soundId)) : 0.0)));
}

Value sound_noValue(Interpreter&, Object*, std::span<const Value>) {
    return Value();
}

} // namespace

void dispatchSoundEvents(Interpreter& vm, audio::SoundControl& control) {
    dispatchLoads(vm);
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
        {"loadSound", sound_loadSound},
        {"getBytesLoaded", sound_getBytesLoaded},
        {"getBytesTotal", sound_getBytesTotal},
        {"setDuration", sound_noValue},
        {"setPosition", sound_noValue},
    };
    for (const Method& m : methods)
        vm.defineMethod(p, m.name, m.fn);
    // The methods Flash 6 added are hidden from Flash 5 movies.
    for (const char* name : {"getBytesLoaded", "getBytesTotal", "getDuration", "getPosition", "loadSound",
                             "setDuration", "setPosition"})
        if (Property* prop = p->own(vm.key(name)))
            prop->flags |= kSwf6Up;
    // No sound here is ever kept from scripts by security, and no policy file is read.
    vm.defineMethod(p, "areSoundsInaccessible", [](Interpreter&, Object*, std::span<const Value>) { return Value(false); },
                    kDontEnum | kDontDelete | kSwf9Up);
    defineAccessor(vm, p, "checkPolicyFile", sound_noValue, sound_noValue, kDontEnum | kDontDelete);
    // Flash left every member of the prototype read-only, its links included.
    for (Property& prop : p->properties())
        if (!prop.virtualProperty)
            prop.flags |= kReadOnly;
    vm.define(vm.global(), "Sound", sound, kDontEnum);
}

} // namespace swf::avm1
