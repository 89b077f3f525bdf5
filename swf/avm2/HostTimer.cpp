// flash.utils.Timer: an EventDispatcher that sends TimerEvent.TIMER every `delay`
// milliseconds of movie time, `repeatCount` times (0: without end), then TIMER_COMPLETE.
// It runs on the machine's timer queue, so it fires between frames like setInterval.
#include "swf/avm2/HostState.h"

#include <cmath>

namespace swf::avm2 {

namespace {

struct TimerState {
    double delay = 0;
    std::int32_t repeatCount = 0;
    std::int32_t currentCount = 0;
    std::uint32_t queued = 0; // the machine's id while running; 0 when stopped
};

class TimerObject : public DisplayHandle {
public:
    TimerState timer;
};

TimerObject& timerOf(Machine& m, Value v) {
    auto* t = v.isObject() ? dynamic_cast<TimerObject*>(v.o) : nullptr;
    if (!t)
        m.typeError(1034, "Type Coercion failed: cannot convert " + m.className(v) + " to flash.utils.Timer.");
    return *t;
}

void stop(Machine& m, TimerObject& t) {
    if (t.timer.queued)
        m.cancel(t.timer.queued);
    t.timer.queued = 0;
}

void send(HostState& s, TimerObject& t, const char* type) {
    if (Object* e = makeEvent(s, s.machine.findClass("flash.events.TimerEvent"), type, false))
        s.dispatch(&t, Value::object(e));
}

} // namespace

void installTimerClass(HostState& host) {
    Machine& m = host.machine;
    HostState* s = &host;
    ClassObject* timer = m.defineNativeClass("flash.utils", "Timer", m.findClass("flash.events.EventDispatcher"));
    timer->allocate = [](Machine& m, ClassObject*) -> Object* { return m.adopt(std::make_unique<TimerObject>()); };
    timer->init = m.newNative("Timer", [](Machine& m, Value self, std::span<Value> a) {
        TimerObject& t = timerOf(m, self);
        double delay = m.toNumber(arg(a, 0));
        if (!(delay >= 0) || !std::isfinite(delay))
            m.rangeError(2066, "The Timer delay specified is out of range.");
        t.timer.delay = delay;
        t.timer.repeatCount = a.size() > 1 ? m.toInt(a[1]) : 0;
        return Value();
    });
    m.defineMethod(timer, "start", [s](Machine& m, Value self, std::span<Value>) {
        TimerObject& t = timerOf(m, self);
        if (t.timer.queued)
            return Value();
        TimerObject* target = &t;
        Value tick = Value::object(m.newNative("tick", [s, target](Machine& m, Value, std::span<Value>) {
            ++target->timer.currentCount;
            bool last = target->timer.repeatCount > 0 && target->timer.currentCount >= target->timer.repeatCount;
            if (last)
                stop(m, *target);
            send(*s, *target, "timer");
            if (last)
                send(*s, *target, "timerComplete");
            return Value();
        }));
        // The queue runs once a frame, so a timer fires at most once a frame.
        t.timer.queued = m.schedule(tick, {}, t.timer.delay, true);
        return Value();
    });
    m.defineMethod(timer, "stop", [](Machine& m, Value self, std::span<Value>) {
        stop(m, timerOf(m, self));
        return Value();
    });
    m.defineMethod(timer, "reset", [](Machine& m, Value self, std::span<Value>) {
        TimerObject& t = timerOf(m, self);
        stop(m, t);
        t.timer.currentCount = 0;
        return Value();
    });
    m.defineGetter(timer, "running", [](Machine& m, Value self, std::span<Value>) {
        return Value::boolean(timerOf(m, self).timer.queued != 0);
    });
    m.defineGetter(timer, "currentCount", [](Machine& m, Value self, std::span<Value>) {
        return Value::integer(timerOf(m, self).timer.currentCount);
    });
    m.defineGetter(timer, "delay", [](Machine& m, Value self, std::span<Value>) {
        return Machine::numberValue(timerOf(m, self).timer.delay);
    });
    m.defineSetter(timer, "delay", [](Machine& m, Value self, std::span<Value> a) {
        double delay = m.toNumber(arg(a, 0));
        if (!(delay >= 0) || !std::isfinite(delay))
            m.rangeError(2066, "The Timer delay specified is out of range.");
        timerOf(m, self).timer.delay = delay;
        return Value();
    });
    m.defineGetter(timer, "repeatCount", [](Machine& m, Value self, std::span<Value>) {
        return Value::integer(timerOf(m, self).timer.repeatCount);
    });
    m.defineSetter(timer, "repeatCount", [](Machine& m, Value self, std::span<Value> a) {
        timerOf(m, self).timer.repeatCount = m.toInt(arg(a, 0));
        return Value();
    });
}

} // namespace swf::avm2
