#pragma once
// One activation of an action block or a script function (private to the interpreter).

#include "Interpreter.h"

namespace swf::avm1 {

// Bounded reader over one action's payload: reads past the end give zeros.
struct Interpreter::Payload {
    const std::uint8_t* p;
    std::size_t size;
    std::size_t pos = 0;
    // SWF 5 and older store text one byte a character, not UTF-8 (Flash's traces
    // show each byte as the Latin-1 character of its code).
    bool codePage = false;

    bool atEnd() const { return pos >= size; }
    std::uint8_t u8() { return pos < size ? p[pos++] : 0; }
    std::uint16_t u16() {
        const std::uint16_t lo = u8();
        return static_cast<std::uint16_t>(lo | (u8() << 8));
    }
    std::uint32_t u32() {
        const std::uint32_t lo = u16();
        return lo | (static_cast<std::uint32_t>(u16()) << 16);
    }
    std::string str() {
        const std::size_t start = pos;
        while (pos < size && p[pos] != 0)
            ++pos;
        std::string s(reinterpret_cast<const char*>(p + start), pos - start);
        if (pos < size)
            ++pos; // the terminator
        return codePage ? latin1ToUtf8(s) : lenientUtf8(s);
    }
};

struct Interpreter::Frame {
    std::shared_ptr<const std::vector<std::uint8_t>> buffer;
    std::shared_ptr<const std::vector<std::string>> constants;
    ScopePtr scope;
    Value thisValue;
    Object* activation = nullptr;       // a function's locals; null in a frame script
    Object* timeline = nullptr;         // what unqualified names reach at the chain's base
    Object* originalTimeline = nullptr; // the base as captured; SetTarget swaps in `timeline`
    std::vector<Value> registers;
    ClipId target = kNoClip;   // what timeline actions act on (SetTarget changes it)
    ClipId original = kNoClip; // the clip that owns the code
    Object* base = nullptr;    // where `super` looks from
    FunctionObject* callee = nullptr;
    bool constructed = false; // the function was called by `new`
    std::size_t stackBase = 0;
    std::size_t nesting = 0;
    std::size_t jumpTarget = 0;
    Value result;
};

template <class T, class... Args> T* Interpreter::allocate(Args&&... args) {
    auto owned = std::make_unique<T>(std::forward<Args>(args)...);
    T* raw = owned.get();
    m_heap.push_back(std::move(owned));
    if (m_heap.size() > m_limits.maxObjects && m_inBlock)
        abort("too many objects");
    return raw;
}

} // namespace swf::avm1
