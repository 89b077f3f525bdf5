// flash.utils: Dictionary, and setTimeout, setInterval, clearTimeout, clearInterval over
// the machine's timer queue (which flash.utils.Timer in the host shares).
#include "swf/avm2/Machine.h"

#include <algorithm>
#include <cmath>

namespace swf::avm2 {

std::uint32_t Machine::schedule(Value fn, std::vector<Value> args, double delayMs, bool repeat) {
    if (m_timers.size() >= kMaxTimers)
        return 0;
    if (!std::isfinite(delayMs) || delayMs < 0)
        delayMs = 0;
    std::uint32_t id = m_nextTimer++;
    m_timers.push_back({id, timeMs + delayMs, delayMs, repeat, fn, std::move(args)});
    return id;
}

void Machine::cancel(std::uint32_t id) {
    std::erase_if(m_timers, [id](const PendingCall& p) { return p.id == id; });
}

void Machine::runTimers() {
    std::vector<PendingCall> due;
    for (auto& p : m_timers)
        if (p.due <= timeMs)
            due.push_back(p);
    std::stable_sort(due.begin(), due.end(), [](const auto& a, const auto& b) { return a.due < b.due; });
    for (const PendingCall& p : due) {
        // A handler may have cancelled it, or a later one.
        auto it = std::find_if(m_timers.begin(), m_timers.end(), [&](const PendingCall& q) { return q.id == p.id; });
        if (it == m_timers.end())
            continue;
        if (it->repeat)
            it->due = std::max(it->due + std::max(it->interval, 1.0), timeMs);
        else
            m_timers.erase(it);
        std::vector<Value> args = p.args;
        callAndReport(p.fn, Value::null(), args);
    }
}

void installUtilsBuiltins(Machine& m) {
    ClassObject* dictionary = m.defineNativeClass("flash.utils", "Dictionary", m.objectClass);
    dictionary->allocate = [](Machine& m, ClassObject*) -> Object* { return m.adopt(std::make_unique<DictionaryObject>()); };
    dictionary->init = m.newNative("Dictionary", [](Machine&, Value, std::span<Value>) { return Value(); });

    for (bool repeat : {false, true}) {
        const char* name = repeat ? "setInterval" : "setTimeout";
        m.defineGlobal("flash.utils", name, Value::object(m.newNative(name, [repeat](Machine& m, Value, std::span<Value> a) {
            Value fn = arg(a, 0);
            if (!fn.isObject() || fn.o->kind != ObjectKind::Function)
                m.typeError(1034, "Type Coercion failed: cannot convert " + m.className(fn) + " to Function.");
            std::vector<Value> rest(a.size() > 2 ? a.begin() + 2 : a.end(), a.end());
            return Value::uinteger(m.schedule(fn, std::move(rest), m.toNumber(arg(a, 1)), repeat));
        }, 2)));
    }
    for (const char* name : {"clearTimeout", "clearInterval"})
        m.defineGlobal("flash.utils", name, Value::object(m.newNative(name, [](Machine& m, Value, std::span<Value> a) {
            m.cancel(m.toUint(arg(a, 0)));
            return Value();
        }, 1)));
}

} // namespace swf::avm2
