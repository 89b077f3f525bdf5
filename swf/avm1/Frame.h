#pragma once
// One activation of an action block or a script function (private to the interpreter).

#include "Interpreter.h"

namespace swf::avm1 {

struct Interpreter::Frame {
    std::shared_ptr<const std::vector<std::uint8_t>> buffer;
    std::shared_ptr<const std::vector<std::string>> constants;
    ScopePtr scope;
    Value thisValue;
    Object* activation = nullptr; // a function's locals; null in a frame script
    Object* timeline = nullptr;         // what unqualified names reach at the chain's base
    Object* originalTimeline = nullptr; // the base as captured; SetTarget swaps in `timeline`
    std::vector<Value> registers;
    ClipId target = kNoClip;   // what timeline actions act on (SetTarget changes it)
    ClipId original = kNoClip; // the clip that owns the code
    Object* base = nullptr;    // where `super` looks from
    FunctionObject* callee = nullptr;
    std::size_t stackBase = 0;
    std::size_t nesting = 0;
    std::size_t jumpTarget = 0;
    Value result;
};

template <class T, class... Args>
T* Interpreter::allocate(Args&&... args) {
    auto owned = std::make_unique<T>(std::forward<Args>(args)...);
    T* raw = owned.get();
    m_heap.push_back(std::move(owned));
    return raw;
}

} // namespace swf::avm1
