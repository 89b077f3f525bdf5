// Running blocks and script functions, and resolving names, paths and targets:
// everything the dispatch loop needs besides the actions themselves.

#include "Frame.h"
#include "Interpreter.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace swf::avm1 {

namespace {

// DefineFunction2 flags.
enum : std::uint16_t {
    kPreloadThis = 0x0001,
    kSuppressThis = 0x0002,
    kPreloadArguments = 0x0004,
    kSuppressArguments = 0x0008,
    kPreloadSuper = 0x0010,
    kSuppressSuper = 0x0020,
    kPreloadRoot = 0x0040,
    kPreloadParent = 0x0080,
    kPreloadGlobal = 0x0100,
};

const std::shared_ptr<const std::vector<std::string>>& emptyPool() {
    static const auto pool = std::make_shared<const std::vector<std::string>>();
    return pool;
}

bool isKeyword(std::string_view name, std::string_view keyword, bool caseSensitive) {
    if (name.size() != keyword.size())
        return false;
    if (caseSensitive)
        return name == keyword;
    return asciiLower(name) == keyword;
}

} // namespace

// ---- entry points -------------------------------------------------------------------------------

Outcome Interpreter::run(std::span<const std::uint8_t> actions, ClipId target) {
    auto buffer = std::make_shared<const std::vector<std::uint8_t>>(actions.begin(), actions.end());
    return runBlock(std::move(buffer), target);
}

Outcome Interpreter::runBlock(std::shared_ptr<const std::vector<std::uint8_t>> buffer, ClipId target) {
    if (scriptsDisabled())
        return Outcome::Aborted;
    const bool outer = !m_inBlock;
    if (outer)
        enterOuter();
    runNested(std::move(buffer), target);
    Outcome outcome = Outcome::Completed;
    if (m_pending == Pending::Throw)
        outcome = Outcome::Thrown;
    else if (m_pending == Pending::Abort)
        outcome = Outcome::Aborted;
    if (outer) {
        m_latentThrow = false;
        if (outcome == Outcome::Thrown)
            m_lastError = "uncaught exception: " + toStringQuiet(m_thrown);
        leaveOuter();
        maybeCollect();
    }
    return outcome;
}

std::string Interpreter::toStringQuiet(const Value& v) {
    const Pending saved = m_pending;
    m_pending = Pending::None;
    std::string s =
        v.isObject() ? std::string(typeOf(v) == "function" ? "[type Function]" : "[object]") : toString(v);
    m_pending = saved;
    return s;
}

Interpreter::Completion Interpreter::runNested(std::shared_ptr<const std::vector<std::uint8_t>> buffer,
                                               ClipId target) {
    Object* timeline = clipObject(target);
    if (!timeline)
        return Completion::Normal; // the clip is gone: its scripts have nothing to act on
    if (!canNest())
        return Completion::Abort;
    ++m_depth;
    Frame f;
    f.buffer = std::move(buffer);
    f.constants = emptyPool();
    f.scope = std::make_shared<Scope>(Scope{timeline, nullptr});
    f.thisValue = timeline;
    f.timeline = f.originalTimeline = timeline;
    f.target = f.original = target;
    f.registers.resize(4);
    f.stackBase = m_stack.size();
    m_frames.push_back(&f);
    const Completion c = execute(f, 0, f.buffer->size());
    m_frames.pop_back();
    if (m_stack.size() > f.stackBase)
        m_stack.resize(f.stackBase);
    --m_depth;
    return c;
}

bool Interpreter::callHandler(ClipId clip, std::string_view name, std::span<const Value> args) {
    return callHandler(clipObject(clip), name, args);
}

bool Interpreter::callHandler(Object* o, std::string_view name, std::span<const Value> args) {
    if (!o || scriptsDisabled())
        return false;
    const bool outer = !m_inBlock;
    if (outer)
        enterOuter();
    const Value fn = get(o, name);
    const bool callable = isCallable(fn);
    if (callable)
        call(fn, o, args);
    if (outer) {
        leaveOuter();
        maybeCollect();
    }
    return callable;
}

bool Interpreter::hasRegisteredClasses() {
    return get(m_global, "\x01classes").isObject();
}

bool Interpreter::constructClip(ClipId clip, std::string_view linkage) {
    Object* registry = get(m_global, "\x01classes").object();
    ClipObject* o = registry ? clipObject(clip) : nullptr;
    if (!o || scriptsDisabled())
        return false;
    const bool outer = !m_inBlock;
    if (outer)
        enterOuter();
    const Value ctor = get(registry, linkage);
    const bool found = isCallable(ctor);
    if (found) {
        if (Object* proto = get(ctor, "prototype").object(); proto && proto != o)
            o->setProto(proto);
        call(ctor, o, {}, o->proto());
        const Value onLoad = get(o, "onLoad");
        if (m_pending == Pending::None && isCallable(onLoad))
            call(onLoad, o, {});
    }
    if (outer)
        leaveOuter();
    return found;
}

// ---- functions ----------------------------------------------------------------------------------

Value Interpreter::defineFunction(Frame& f, std::shared_ptr<FunctionCode> code) {
    code->buffer = f.buffer;
    code->constants = f.constants;
    // SWF 5 functions close over nothing but their timeline (see callScript).
    ScopePtr scope = f.scope;
    if (m_version < 6)
        while (scope && scope->parent)
            scope = scope->parent;
    // The new function and its prototype link to what _global's Function and Object
    // offer now, even when a script replaced them (measured).
    Object* fnProto = get(get(m_global, "Function"), "prototype").object();
    Object* objProto = get(get(m_global, "Object"), "prototype").object();
    auto* fn = allocate<FunctionObject>(fnProto ? fnProto : functionProto, std::shared_ptr<const FunctionCode>(code),
                                        std::move(scope));
    fn->target = f.original; // the timeline the code belongs to, not a SetTarget's (measured)
    if (functionClass)
        define(fn, "constructor", functionClass, kDontEnum | kDontDelete);
    Object* proto = newObject(objProto ? objProto : objectProto);
    define(proto, "constructor", fn, kDontEnum | kDontDelete);
    define(fn, "prototype", proto, kDontEnum | kDontDelete);
    return fn;
}

bool Interpreter::scriptConstructed() const {
    for (auto it = m_frames.rbegin(); it != m_frames.rend(); ++it)
        if ((*it)->callee)
            return (*it)->constructed;
    return false;
}

Value Interpreter::callScript(FunctionObject* fn, const Value& thisValue, std::span<const Value> args,
                              Object* base) {
    if (!canNest())
        return Value();
    const FunctionCode& code = *fn->code;
    ++m_depth;
    Frame f;
    f.buffer = code.buffer;
    f.constants = code.constants ? code.constants : emptyPool();
    Object* activation = allocate<Object>(Object::Kind::Plain, nullptr);
    f.activation = activation;
    // SWF 5 functions have no closures: past their locals they see the chain of the code
    // that calls them (the timeline when called from outside any script).
    ScopePtr outer = fn->scope;
    if (m_version < 6 && !m_frames.empty() && m_frames.back()->scope)
        outer = m_frames.back()->scope;
    f.scope = std::make_shared<Scope>(Scope{activation, std::move(outer)});
    f.thisValue = thisValue;
    f.target = f.original = fn->target;
    Object* timeline = clipObject(fn->target);
    if (!timeline && m_host)
        timeline = clipObject(m_host->root());
    f.timeline = f.originalTimeline = timeline;
    // The captured chain names the defining clip; keep SetTarget's swap pointing at it.
    for (const Scope* s = fn->scope.get(); s; s = s->parent.get())
        if (!s->parent)
            f.originalTimeline = s->object;
    Object* self = thisValue.object();
    f.base = base ? base : (self ? self->proto() : nullptr);
    f.callee = fn;
    f.constructed = std::exchange(m_constructCall, false);
    f.stackBase = m_stack.size();
    // A DefineFunction2 gets exactly the registers it asks for, except that one asking for
    // none has the four every block has (compilers emit for-in loops through register 0 in
    // functions that declare none).
    f.registers.resize(code.function2 && code.registerCount > 0 ? code.registerCount : 4);

    ArrayObject* argsObject = nullptr;
    const bool wantArguments =
        !code.function2 || !(code.flags & kSuppressArguments) || (code.flags & kPreloadArguments);
    if (wantArguments) {
        argsObject = newArray(std::vector<Value>(args.begin(), args.end()));
        define(argsObject, "callee", fn, kDontEnum);
        const Frame* caller = m_frames.empty() ? nullptr : m_frames.back();
        define(argsObject, "caller", caller && caller->callee ? Value(caller->callee) : Value::null(),
               kDontEnum);
    }
    // SWF 5 has no `super`; nor has a function called by name rather than as a method.
    const bool noSuper = std::exchange(m_plainCall, false) || m_version < 6;
    auto makeSuper = [&]() -> Value { return noSuper ? Value() : Value(allocate<SuperObject>(self, f.base)); };

    if (code.function2) {
        std::size_t r = 1;
        auto preload = [&](Value v) {
            if (r < f.registers.size())
                f.registers[r] = std::move(v);
            ++r;
        };
        if (code.flags & kPreloadThis)
            preload(thisValue);
        if (code.flags & kPreloadArguments)
            preload(argsObject);
        else if (!(code.flags & kSuppressArguments))
            define(activation, "arguments", argsObject);
        if (code.flags & kPreloadSuper)
            preload(makeSuper());
        else if (!(code.flags & kSuppressSuper))
            define(activation, "super", makeSuper());
        if (code.flags & kPreloadRoot)
            preload(m_host ? Value(clipObject(rootFor(fn->target))) : Value(timeline));
        if (code.flags & kPreloadParent) {
            const ClipId p = m_host ? m_host->parent(fn->target) : kNoClip;
            preload(p != kNoClip ? Value(clipObject(p)) : Value());
        }
        if (code.flags & kPreloadGlobal)
            preload(m_global);
        if (code.flags & kSuppressThis)
            f.thisValue = Value();
        for (std::size_t i = 0; i < code.params.size(); ++i) {
            const std::uint8_t reg = i < code.paramRegisters.size() ? code.paramRegisters[i] : 0;
            if (reg != 0) {
                if (reg < f.registers.size())
                    f.registers[reg] = arg(args, i);
            } else {
                define(activation, code.params[i], arg(args, i));
            }
        }
    } else {
        define(activation, "arguments", argsObject);
        define(activation, "super", makeSuper());
        for (std::size_t i = 0; i < code.params.size(); ++i)
            define(activation, code.params[i], arg(args, i));
    }

    m_frames.push_back(&f);
    const Completion c = execute(f, code.begin, code.end);
    m_frames.pop_back();
    if (m_stack.size() > f.stackBase)
        m_stack.resize(f.stackBase);
    --m_depth;
    return c == Completion::Return ? f.result : Value();
}

Object* Interpreter::holderOf(Object* o, std::string_view name) {
    const std::string k = key(name);
    Object* cur = o;
    for (int depth = 0; cur && depth < 256; ++depth, cur = cur->proto())
        if (cur->own(k))
            return cur;
    return nullptr;
}

// ---- names and paths ----------------------------------------------------------------------------

Object* Interpreter::scopeObject(Frame& f, const Scope* s) {
    return s->object == f.originalTimeline ? f.timeline : s->object;
}

bool Interpreter::lookupScoped(Frame& f, std::string_view name, Value& out) {
    auto lookIn = [&](Object* o) {
        bool found;
        Value v = lookup(o, name, o, found);
        if (found)
            out = std::move(v);
        return found;
    };
    for (const Scope* s = f.scope.get(); s; s = s->parent.get())
        if (Object* o = scopeObject(f, s); o && lookIn(o))
            return true;
    return lookIn(m_global);
}

// Inside a path a clip's child of that name comes before a variable of that name, which
// a member read prefers (measured).
Object* Interpreter::childClip(Object* o, std::string_view name) {
    if (!m_host || !o || o->kind() != Object::Kind::Clip)
        return nullptr;
    const ClipId c = m_host->child(static_cast<ClipObject*>(o)->clip, name, caseSensitive());
    return c != kNoClip ? clipObject(c) : nullptr;
}

// A path's first name is looked up like a variable, through `with` objects and locals
// before the timeline, each clip on the way offering its child before its variable.
Value Interpreter::pathHead(Frame& f, std::string_view name) {
    for (const Scope* s = f.scope.get(); s; s = s->parent.get()) {
        Object* o = scopeObject(f, s);
        if (Object* child = childClip(o, name))
            return child;
        bool found = false;
        if (Value v = o ? lookup(o, name, o, found) : Value(); found)
            return v;
    }
    return getVariable(f, name);
}

Object* Interpreter::resolvePath(Frame& f, std::string_view path, bool fromTimeline) {
    Object* cur = f.timeline;
    std::size_t i = 0;
    if (path.empty())
        return cur;
    if (path[0] == '/') {
        cur = m_host ? clipObject(rootFor(f.original)) : f.timeline;
        i = 1;
    }
    bool first = i == 0;
    int guard = 0;
    while (i < path.size() && cur && ++guard < 256) {
        std::size_t j = i;
        if (path.compare(i, 2, "..") == 0) {
            j = i + 2;
        } else {
            while (j < path.size() && path[j] != '/' && path[j] != '.' && path[j] != ':')
                ++j;
        }
        const std::string_view seg = path.substr(i, j - i);
        i = j < path.size() ? j + 1 : j;
        if (seg.empty())
            continue;
        const bool cs = caseSensitive();
        if (seg == ".." || isKeyword(seg, "_parent", cs)) {
            Value p = cur->kind() == Object::Kind::Clip ? get(cur, "_parent") : Value();
            cur = p.object();
        } else if (isKeyword(seg, "_root", cs)) {
            cur = m_host ? clipObject(rootFor(f.original)) : f.timeline;
        } else if (Object* level = levelObject(seg)) {
            cur = level;
        } else if (m_version >= 6 && isKeyword(seg, "_global", cs)) {
            cur = m_global;
        } else if (isKeyword(seg, "this", cs)) {
            if (first)
                cur = f.thisValue.isObject() ? f.thisValue.object() : f.timeline;
        } else {
            if (first && !fromTimeline) {
                cur = pathHead(f, seg).object();
            } else if (Object* child = childClip(cur, seg)) {
                cur = child;
            } else {
                bool found = false;
                cur = lookup(cur, seg, cur, found).object();
            }
        }
        first = false;
    }
    return guard >= 256 ? nullptr : cur;
}

// From SWF 6 a path with a slash or colon splits at its last colon or dot into a target
// and a variable (measured): no target (":a"), a leading dot (but `..`) or two colons in a
// row find nothing, and in the target a dot after a slash is no separator, so such a
// target is never found.
// Where a variable path splits into target and name: its last colon or dot outside `..`.
static std::size_t variableSplit(std::string_view name) {
    for (std::size_t i = name.size(); i-- > 0;) {
        const bool dotDot = (i > 0 && name[i - 1] == '.') || (i + 1 < name.size() && name[i + 1] == '.');
        if (name[i] == ':' || (name[i] == '.' && !dotDot))
            return i;
    }
    return std::string_view::npos;
}

Object* Interpreter::variableTarget(Frame& f, std::string_view path) {
    if (path.empty() || path.find("::") != std::string_view::npos)
        return nullptr;
    const std::size_t slash = path.find('/');
    for (std::size_t i = slash; i < path.size(); ++i) {
        if (path.compare(i, 2, "..") == 0)
            ++i; // `..` names the parent
        else if (path[i] == '.')
            return nullptr;
    }
    return resolvePath(f, path);
}

Value Interpreter::getVariable(Frame& f, std::string_view name) {
    if (m_version >= 6 && name.find_first_of(":/") != std::string_view::npos) {
        if (name[0] == '.' && name.compare(0, 2, "..") != 0)
            return Value();
        const std::size_t split = variableSplit(name);
        if (split == std::string_view::npos) {
            // A bare slash path names a clip from the timeline, past `with` (measured).
            Object* o = resolvePath(f, name, true);
            return o ? Value(o) : Value();
        }
        Object* o = variableTarget(f, name.substr(0, split));
        return o ? get(o, name.substr(split + 1)) : Value();
    }
    if (name.find_first_of(":/") != std::string_view::npos) {
        const std::size_t colon = name.rfind(':');
        if (colon != std::string_view::npos) {
            Object* o = resolvePath(f, name.substr(0, colon));
            return o ? get(o, name.substr(colon + 1)) : Value();
        }
        if (m_version < 6 && name.find(':') == std::string_view::npos) {
            Value v;
            if (lookupScoped(f, name, v))
                return v;
        }
        Object* o = resolvePath(f, name);
        return o ? Value(o) : Value();
    }
    const std::size_t dot = name.find('.');
    // A dot path with an empty first or last name finds nothing (measured: ".", "a.").
    if (dot != std::string_view::npos && (dot == 0 || name.back() == '.') && name != "..")
        return Value();
    if (dot != std::string_view::npos && dot > 0 && name.back() != '.') {
        const std::string_view head = name.substr(0, dot);
        Value v = pathHead(f, head);
        std::size_t i = dot + 1;
        while (i <= name.size() && !v.isNullish()) {
            std::size_t j = name.find('.', i);
            if (j == std::string_view::npos)
                j = name.size();
            Object* next = j < name.size() ? childClip(v.object(), name.substr(i, j - i)) : nullptr;
            v = next ? Value(next) : get(v, name.substr(i, j - i));
            i = j + 1;
        }
        return v;
    }
    const bool cs = caseSensitive();
    if (isKeyword(name, "this", cs))
        return f.thisValue;
    if (m_version >= 6 && isKeyword(name, "_global", cs)) // SWF 5 has no _global
        return m_global;
    if (isKeyword(name, "_root", cs))
        return m_host ? Value(clipObject(rootFor(f.original))) : Value(f.timeline);
    if (Object* level = levelObject(name))
        return level;
    Value out;
    lookupScoped(f, name, out);
    return out;
}

void Interpreter::setVariable(Frame& f, std::string_view name, Value value) {
    if (m_version >= 6) {
        // Split as getVariable splits it, the target found as a path (a child clip before a
        // variable); a target it cannot find takes nothing.
        const std::size_t split = variableSplit(name);
        const bool slashy = name.find_first_of(":/") != std::string_view::npos;
        if (split != std::string_view::npos && (slashy || (split > 0 && split + 1 < name.size()))) {
            if ((name[0] != '.' || name.compare(0, 2, "..") == 0) && split > 0)
                set(variableTarget(f, name.substr(0, split)), name.substr(split + 1), std::move(value));
            return;
        }
    }
    const std::size_t colon = name.rfind(':');
    if (colon != std::string_view::npos) {
        set(resolvePath(f, name.substr(0, colon)), name.substr(colon + 1), std::move(value));
        return;
    }
    // A slash path without a colon names a clip, not a variable: the assignment makes a
    // variable of that whole name, which only a member lookup (or SWF 5's GetVariable) finds.
    if (name.find('/') != std::string_view::npos) {
        setOnScopeChain(f, name, std::move(value));
        return;
    }
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0 && dot + 1 < name.size()) {
        set(getVariable(f, name.substr(0, dot)).object(), name.substr(dot + 1), std::move(value));
        return;
    }
    setOnScopeChain(f, name, std::move(value));
}

// An existing variable anywhere on the chain is updated where it lives; a new one
// goes to the timeline, even inside a function (and even if _global has the name).
void Interpreter::setOnScopeChain(Frame& f, std::string_view name, Value value) {
    for (const Scope* s = f.scope.get(); s; s = s->parent.get()) {
        Object* o = scopeObject(f, s);
        if (o && has(o, name)) {
            set(o, name, std::move(value));
            return;
        }
    }
    set(f.timeline, name, std::move(value));
}

ClipId Interpreter::targetClip(Frame& f, const Value& target) {
    Object* o = target.object();
    if (!o) {
        const std::string path = toString(target);
        o = path.empty() ? clipObject(f.target) : resolvePath(f, path);
    }
    if (o && o->kind() == Object::Kind::Clip)
        return static_cast<ClipObject*>(o)->clip;
    return kNoClip;
}

void Interpreter::setTarget(Frame& f, const std::string& path) {
    // Paths are relative to the clip that owns the code, not to the last target.
    f.target = f.original;
    f.timeline = f.originalTimeline;
    if (path.empty())
        return;
    Object* o = resolvePath(f, path);
    if (o && o->kind() == Object::Kind::Clip) {
        f.target = static_cast<ClipObject*>(o)->clip;
        f.timeline = o;
    } else {
        f.target = kNoClip; // an unknown target leaves timeline actions nothing to act on
    }
}

Object* Interpreter::resolveTarget(const Value& target, ClipId base) {
    if (target.isObject())
        return target.object();
    if (m_frames.empty()) {
        Frame f;
        f.target = f.original = base;
        f.timeline = f.originalTimeline = clipObject(base);
        f.scope = std::make_shared<Scope>(Scope{f.timeline, nullptr});
        return resolvePath(f, toString(target));
    }
    Frame& f = *m_frames.back();
    return resolvePath(f, toString(target));
}

void Interpreter::gotoFrame2(Frame& f, const Value& frame, bool play, int bias) {
    ClipId clip = f.target;
    if (!m_host || clip == kNoClip)
        return;
    if (frame.isString()) {
        std::string_view s = frame.string();
        const std::size_t colon = s.rfind(':');
        if (colon != std::string_view::npos) {
            Object* o = resolvePath(f, s.substr(0, colon));
            if (!o || o->kind() != Object::Kind::Clip)
                return;
            clip = static_cast<ClipObject*>(o)->clip;
            s = s.substr(colon + 1);
        }
        const double n = stringToNumber(s, 5);
        if (!std::isnan(n)) {
            if (std::isfinite(n))
                m_host->gotoFrame(clip, static_cast<int>(std::clamp(n, -1e9, 1e9)) + bias, play);
        } else {
            m_host->gotoLabel(clip, s, play);
        }
        return;
    }
    const double n = toNumber(frame);
    if (std::isfinite(n))
        m_host->gotoFrame(clip, static_cast<int>(std::clamp(n, -1e9, 1e9)) + bias, play);
}

void Interpreter::enumerate(Object* o, std::vector<std::string>& names) {
    std::vector<std::vector<std::string>> levels;
    std::unordered_set<std::string> seen;
    Object* cur = o;
    for (int depth = 0; cur && depth < 256;
         ++depth, cur = protoLinkEnumerated(cur->protoFlags(), m_version) ? cur->proto() : nullptr) {
        std::vector<std::string> level;
        if (depth == 0 && cur->kind() == Object::Kind::Array) {
            const auto& el = static_cast<ArrayObject*>(cur)->elements;
            // Names beyond what the stack can take would only be thrown away.
            for (std::size_t i = 0; i < el.size() && i <= m_limits.maxStack; ++i) {
                std::string n = std::to_string(i);
                seen.insert(n);
                level.push_back(std::move(n));
            }
        }
        if (depth == 0 && cur->kind() == Object::Kind::Clip && m_host) {
            for (ClipId c : m_host->children(static_cast<ClipObject*>(cur)->clip)) {
                std::string n = m_host->name(c);
                if (!n.empty() && seen.insert(key(n)).second)
                    level.push_back(std::move(n));
            }
        }
        for (const Property& p : cur->properties()) {
            // The version bits hide a property from reads, not from enumeration.
            if (!seen.insert(p.key).second || (p.flags & kDontEnum))
                continue;
            level.push_back(p.name);
        }
        levels.push_back(std::move(level));
    }
    for (auto it = levels.rbegin(); it != levels.rend(); ++it)
        for (std::string& n : *it)
            names.push_back(std::move(n));
}

} // namespace swf::avm1
