// flash.media for ActionScript 3: Sound (embedded sounds: a Sound subclass that SymbolClass
// links to a DefineSound), SoundChannel, SoundTransform and SoundMixer, played through the
// world's sound control. Each channel is started under an id of its own (not a clip's), so
// its transform and stop() reach that channel alone; soundComplete is sent once a channel
// the script did not stop has played out.
#include "swf/avm2/HostDisplay.h"

#include "swf/audio/SoundControl.h"
#include "swf/timeline/World.h"

#include <algorithm>
#include <cmath>

namespace swf::avm2 {

namespace {

// Channel ids above every clip id.
constexpr std::uint64_t kFirstChannelOwner = std::uint64_t{1} << 62;

class SoundTransformObject : public Object {
public:
    double volume = 1;
    double pan = 0;

    audio::SoundTransform toMixer() const {
        audio::SoundTransform t;
        t.volume = std::clamp(volume, 0.0, 1.0) * 100;
        double p = std::clamp(pan, -1.0, 1.0);
        t.ll = 100 * (1 - std::max(p, 0.0));
        t.rr = 100 * (1 + std::min(p, 0.0));
        return t;
    }
};

// A playing channel's side; the channel object is a DisplayHandle (an EventDispatcher).
struct Playing {
    DisplayHandle* channel = nullptr;
    std::uint64_t owner = 0;
    audio::ChannelId id = audio::kNoChannel;
    int soundId = -1;
    double lastPosition = 0;
};

struct SoundState {
    std::vector<Playing> playing;
    std::uint64_t nextOwner = kFirstChannelOwner;
};

audio::SoundControl* control(HostState& host) {
    timeline::World* w = host.world();
    return w ? w->sound : nullptr;
}

Playing* playingOf(SoundState& state, DisplayHandle* channel) {
    auto it = std::find_if(state.playing.begin(), state.playing.end(), [&](const Playing& p) { return p.channel == channel; });
    return it == state.playing.end() ? nullptr : &*it;
}

void installSoundTransform(Machine& m) {
    ClassObject* cls = m.defineNativeClass("flash.media", "SoundTransform", m.objectClass);
    cls->allocate = [](Machine& m, ClassObject*) -> Object* { return m.adopt(std::make_unique<SoundTransformObject>()); };
    cls->init = m.newNative("SoundTransform", [](Machine& m, Value self, std::span<Value> a) {
        auto& t = requireNative<SoundTransformObject>(m, self, "flash.media.SoundTransform");
        t.volume = a.empty() ? 1 : m.toNumber(a[0]);
        t.pan = a.size() > 1 ? m.toNumber(a[1]) : 0;
        return Value();
    }, 2);
    for (bool isVolume : {true, false}) {
        const char* name = isVolume ? "volume" : "pan";
        m.defineGetter(cls, name, [isVolume](Machine& m, Value self, std::span<Value>) {
            auto& t = requireNative<SoundTransformObject>(m, self, "flash.media.SoundTransform");
            return Value::number(isVolume ? t.volume : t.pan);
        });
        m.defineSetter(cls, name, [isVolume](Machine& m, Value self, std::span<Value> a) {
            auto& t = requireNative<SoundTransformObject>(m, self, "flash.media.SoundTransform");
            (isVolume ? t.volume : t.pan) = m.toNumber(arg(a, 0));
            return Value();
        });
    }
}

// play(startTime = 0 ms, loops = 0, sndTransform = null): a SoundChannel, or null when the
// sound cannot play (no sound output, or a Sound that holds no embedded sound).
Value play(HostState& host, SoundState& state, ClassObject* channelClass, Value self, std::span<Value> a) {
    Machine& m = host.machine;
    audio::SoundControl* sound = control(host);
    int soundId = host.linkedId(self.o->cls);
    if (!sound || soundId <= 0)
        return Value::null();
    std::uint64_t owner = state.nextOwner++;
    if (auto* t = nativeOf<SoundTransformObject>(arg(a, 2)))
        sound->setTransform(owner, t->toMixer());
    double start = std::max(0.0, m.toNumber(arg(a, 0)));
    int loops = std::clamp(m.toInt(arg(a, 1)), 0, 0xFFFF);
    audio::ChannelId id = sound->startSoundAt(static_cast<std::uint16_t>(soundId), std::isfinite(start) ? start / 1000 : 0,
                                              loops, owner);
    if (id == audio::kNoChannel)
        return Value::null();
    auto* channel = nativeOf<DisplayHandle>(Value::object(m.allocateInstance(channelClass)));
    if (!channel)
        return Value::null();
    state.playing.push_back({channel, owner, id, soundId, start});
    return Value::object(channel);
}

} // namespace

void installSoundClasses(HostState& host) {
    Machine& m = host.machine;
    HostState* s = &host;
    auto state = std::make_shared<SoundState>();
    installSoundTransform(m);
    ClassObject* dispatcher = m.findClass("flash.events.EventDispatcher");
    ClassObject* channel = m.defineNativeClass("flash.media", "SoundChannel", dispatcher);
    m.defineGetter(channel, "position", [s, state](Machine&, Value self, std::span<Value>) {
        Playing* p = playingOf(*state, s->handleOf(self));
        audio::SoundControl* sound = control(*s);
        if (p && sound && p->id != audio::kNoChannel) {
            double at = sound->positionMs(p->id);
            if (at >= 0)
                p->lastPosition = at;
        }
        return Value::number(p ? p->lastPosition : 0);
    });
    m.defineMethod(channel, "stop", [s, state](Machine&, Value self, std::span<Value>) {
        Playing* p = playingOf(*state, s->handleOf(self));
        if (audio::SoundControl* sound = control(*s); p && sound && p->id != audio::kNoChannel) {
            sound->stopSounds(p->owner, p->soundId);
            p->id = audio::kNoChannel;
        }
        return Value();
    });
    m.defineGetter(channel, "soundTransform", [](Machine& m, Value, std::span<Value>) {
        ClassObject* cls = m.findClass("flash.media.SoundTransform");
        return cls ? Value::object(m.constructInstance(cls, {})) : Value::null();
    });
    m.defineSetter(channel, "soundTransform", [s, state](Machine&, Value self, std::span<Value> a) {
        Playing* p = playingOf(*state, s->handleOf(self));
        auto* t = nativeOf<SoundTransformObject>(arg(a, 0));
        if (audio::SoundControl* sound = control(*s); p && sound && t)
            sound->setTransform(p->owner, t->toMixer());
        return Value();
    });
    for (const char* peak : {"leftPeak", "rightPeak"})
        m.defineGetter(channel, peak, [](Machine&, Value, std::span<Value>) { return Value::number(0); });

    ClassObject* sound = m.defineNativeClass("flash.media", "Sound", dispatcher);
    m.defineMethod(sound, "play", [s, state, channel](Machine&, Value self, std::span<Value> a) {
        return play(*s, *state, channel, self, a);
    }, 3);
    m.defineGetter(sound, "length", [s](Machine&, Value self, std::span<Value>) {
        audio::SoundControl* control = swf::avm2::control(*s);
        int id = s->linkedId(self.o->cls);
        return Value::number(control && id > 0 ? control->durationMs(static_cast<std::uint16_t>(id)) : 0);
    });
    for (const char* name : {"load", "close"})
        m.defineMethod(sound, name, [](Machine&, Value, std::span<Value>) { return Value(); });

    ClassObject* mixer = m.defineNativeClass("flash.media", "SoundMixer", m.objectClass);
    m.defineStaticMethod(mixer, "stopAll", [s](Machine&, Value, std::span<Value>) {
        if (audio::SoundControl* sound = control(*s))
            sound->stopAll();
        return Value();
    });

    // Once a frame: channels that played out (and were not stopped) hear soundComplete.
    host.frameTasks.push_back([s, state] {
        audio::SoundControl* sound = control(*s);
        if (!sound)
            return;
        std::vector<DisplayHandle*> done;
        std::erase_if(state->playing, [&](Playing& p) {
            if (p.id == audio::kNoChannel)
                return true;
            if (sound->positionMs(p.id) >= 0)
                return false;
            done.push_back(p.channel);
            return true;
        });
        for (DisplayHandle* channel : done)
            s->machine.runAndReport([&] {
                if (Object* e = makeEvent(*s, s->eventClass, "soundComplete", false))
                    s->dispatch(channel, Value::object(e));
            });
    });
}

} // namespace swf::avm2
