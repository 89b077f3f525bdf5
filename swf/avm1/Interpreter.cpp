#include "Interpreter.h"

#include "BuiltinButton.h"
#include "BuiltinLoad.h"

#include "BuiltinTextField.h"
#include "BuiltinVideo.h"
#include "Frame.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>

namespace swf::avm1 {

namespace {

constexpr int kMaxChain = 256; // clip parent chains and cycle checks stop here

// Display property names by GetProperty index.
constexpr const char* kClipPropertyNames[] = {
    "_x",          "_y",     "_xscale",      "_yscale",    "_currentframe", "_totalframes",  "_alpha",
    "_visible",    "_width", "_height",      "_rotation",  "_target",       "_framesloaded", "_name",
    "_droptarget", "_url",   "_highquality", "_focusrect", "_soundbuftime", "_quality",      "_xmouse",
    "_ymouse"};
// _quality's values by level, as the host's ClipProperty::Quality numbers them.
constexpr const char* kQualityNames[] = {"LOW", "MEDIUM", "HIGH", "BEST"};
constexpr int kParentIndex = 100;
constexpr int kRootIndex = 101;
constexpr int kLevel0Index = 102;

} // namespace

Interpreter::Interpreter(int swfVersion, ClipHost* host)
    : m_version(swfVersion), m_caseSensitive(swfVersion >= 7), m_host(host) {
    m_stack.reserve(256);
    objectProto = allocate<Object>(Object::Kind::Plain, nullptr);
    functionProto = allocate<Object>(Object::Kind::Plain, objectProto);
    m_global = allocate<Object>(Object::Kind::Plain, objectProto);
    installBuiltins(*this);
}

Interpreter::~Interpreter() = default;

void Interpreter::setScriptLimits(int maxRecursion, int timeoutSeconds) {
    if (maxRecursion > 0)
        m_limits.maxRecursion = std::min(maxRecursion, 1024); // our stack, not the movie's, sets the top
    // The default 15 s is our default budget; longer timeouts scale it, up to twice.
    if (timeoutSeconds > 0)
        m_limits.maxActions = std::min<std::uint64_t>(static_cast<std::uint64_t>(timeoutSeconds) * 666'667u,
                                                      Limits{}.maxActions * 2);
}

// ---- objects ----------------------------------------------------------------------------

Object* Interpreter::newObject() {
    return allocate<Object>(Object::Kind::Plain, objectProto);
}

Object* Interpreter::newObject(Object* proto) {
    return allocate<Object>(Object::Kind::Plain, proto);
}

ArrayObject* Interpreter::newArray(std::vector<Value> elements) {
    auto* a = allocate<ArrayObject>(arrayProto);
    a->elements = std::move(elements);
    return a;
}

FunctionObject* Interpreter::newNative(NativeFn fn, Object* prototype) {
    auto* f = allocate<FunctionObject>(functionProto, fn);
    if (functionClass)
        define(f, "constructor", functionClass, kDontEnum | kDontDelete);
    if (prototype) {
        define(f, "prototype", prototype, kDontEnum | kDontDelete);
        define(prototype, "constructor", f, kDontEnum | kDontDelete);
    }
    return f;
}

void Interpreter::setFunctionClass(FunctionObject* function) {
    functionClass = function;
    // Functions made before the class existed get their `constructor` link now.
    for (const auto& o : m_heap)
        if (o->kind() == Object::Kind::Function && !o->own("constructor"))
            define(o.get(), "constructor", function, kDontEnum | kDontDelete);
}

BoxObject* Interpreter::newBox(Object* proto, Value primitive) {
    return allocate<BoxObject>(proto, std::move(primitive));
}

void Interpreter::adopt(std::unique_ptr<Object> object) {
    m_heap.push_back(std::move(object));
    if (m_heap.size() > m_limits.maxObjects && m_inBlock)
        abort("too many objects");
}

ClipObject* Interpreter::clipObject(ClipId clip) {
    if (!m_host) {
        // Without a host every block runs on one stand-in timeline.
        auto it = m_clips.find(kNoClip);
        if (it != m_clips.end())
            return it->second;
        auto* o = allocate<ClipObject>(clipProto, kNoClip);
        m_clips.emplace(kNoClip, o);
        return o;
    }
    if (clip == kNoClip)
        return nullptr;
    auto it = m_clips.find(clip);
    if (it != m_clips.end())
        return it->second;
    if (!m_host->exists(clip))
        return nullptr;
    // A clip's object links to what _global.MovieClip offers when it is first seen (measured).
    Object* now = m_global ? get(get(m_global, "MovieClip"), "prototype").object() : nullptr;
    auto* o = allocate<ClipObject>(now ? now : clipProto, clip);
    m_clips.emplace(clip, o);
    return o;
}

void Interpreter::clipRemoved(ClipId clip) {
    // The object lives on for scripts that still hold it; the host no longer knows
    // its id, so it reads as a dead clip.
    m_clips.erase(clip);
}

void Interpreter::clipReplaced(ClipId from, ClipId to) {
    auto it = m_clips.find(from);
    if (it == m_clips.end() || from == to)
        return;
    ClipObject* o = it->second;
    m_clips.erase(it);
    std::vector<std::string> keys;
    for (const Property& p : o->properties())
        keys.push_back(p.key);
    for (const std::string& key : keys)
        o->erase(key);
    o->setProto(clipProto);
    o->clip = to;
    m_clips.insert_or_assign(to, o);
}

// The instance names from the clip up to the root (not included), innermost first.
std::vector<std::string> Interpreter::clipNames(ClipId clip) {
    std::vector<std::string> names;
    ClipId c = clip;
    for (int guard = 0; c != kNoClip && guard < kMaxChain; ++guard) {
        const ClipId p = m_host->parent(c);
        if (p == kNoClip)
            break;
        names.push_back(m_host->name(c));
        c = p;
    }
    return names;
}

std::string Interpreter::clipPath(ClipId clip) {
    if (!m_host)
        return "_level0";
    const std::vector<std::string> names = clipNames(clip);
    std::string path = "_level" + std::to_string(m_host->levelOf(clip));
    for (auto it = names.rbegin(); it != names.rend(); ++it)
        path += "." + *it;
    return path;
}

std::string Interpreter::clipSlashPath(ClipId clip) {
    if (!m_host)
        return "/";
    const std::vector<std::string> names = clipNames(clip);
    const int level = m_host->levelOf(clip);
    std::string path = level ? "_level" + std::to_string(level) : std::string();
    if (names.empty())
        return level ? path : "/";
    for (auto it = names.rbegin(); it != names.rend(); ++it)
        path += "/" + *it;
    return path;
}

ClipId Interpreter::rootFor(ClipId clip) {
    if (!m_host)
        return kNoClip;
    if (!m_host->exists(clip))
        return m_host->root();
    ClipId top = clip;
    for (int guard = 0; clip != kNoClip && guard < kMaxChain; ++guard, clip = m_host->parent(clip)) {
        if (hasClipObject(clip) && toBoolean(get(clipObject(clip), "_lockroot")))
            return clip;
        top = clip;
    }
    return top;
}

bool Interpreter::levelNumber(std::string_view name, int& n) {
    if (name.size() < 7 || asciiLower(name.substr(0, 6)) != "_level")
        return false;
    n = 0;
    for (char c : name.substr(6)) {
        if (c < '0' || c > '9' || n > 100000)
            return false;
        n = n * 10 + (c - '0');
    }
    return true;
}

Object* Interpreter::levelObject(std::string_view name) {
    int n = 0;
    if (!m_host || !levelNumber(name, n))
        return nullptr;
    const ClipId level = m_host->level(n);
    return level == kNoClip ? nullptr : clipObject(level);
}

ClipId Interpreter::currentTarget() const {
    return m_frames.empty() ? (m_host ? m_host->root() : kNoClip) : m_frames.back()->target;
}

// ---- nesting --------------------------------------------------------------------------------

void Interpreter::enterOuter() {
    m_inBlock = true;
    m_actions = 0;
    m_depth = 0;
    m_pending = Pending::None;
    m_thrown = Value();
    m_stackTop = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    m_blockStart = std::chrono::steady_clock::now();
}

void Interpreter::leaveOuter() {
    m_inBlock = false;
    m_stack.clear();
    m_pending = Pending::None;
    m_thrown = Value();
    m_tickSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - m_blockStart).count();
}

void Interpreter::setTime(double ms) {
    if (ms != m_timeMs)
        m_tickSeconds = 0; // a new frame: the script time limit starts over
    m_timeMs = ms;
}

// Called every few thousand actions: the player's "a script is running slowly"
// limit, answered by stopping the script. Counted in actions so that output does not
// depend on the machine, with wall-clock time per frame as a backstop for actions
// that cost far more than most.
bool Interpreter::outOfTime() {
    if (m_actions <= m_limits.maxActions) {
        if ((m_actions & 0xFFF) != 0)
            return false;
        const double spent =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_blockStart).count();
        if (m_watch && !m_watch(spent)) {
            abort("script stopped by the player");
            return true;
        }
        if (m_tickSeconds + spent <= m_limits.maxSecondsPerFrame)
            return false;
    }
    if (m_pending != Pending::Abort)
        ++m_timeouts;
    abort(scriptsDisabled() ? "script ran too long; scripts stopped" : "script ran too long");
    return true;
}

bool Interpreter::stackExhausted() {
    const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    return m_stackTop > here && m_stackTop - here > m_limits.maxStackBytes;
}

// Chains are walked at most 256 links up (254 in SWF 5 movies, as measured on the
// player); a longer walk stops the whole action block.
bool Interpreter::chainTooDeep(int depth) {
    if (depth <= (m_version <= 5 ? 255 : 256))
        return false;
    abort("prototype chain too deep");
    return true;
}

bool Interpreter::canNest() {
    if (m_depth >= m_limits.maxRecursion || stackExhausted()) {
        abort("recursion too deep");
        return false;
    }
    return true;
}

// ---- failures -----------------------------------------------------------------------------

void Interpreter::throwValue(Value v) {
    if (m_pending == Pending::Abort)
        return;
    m_pending = Pending::Throw;
    m_thrown = std::move(v);
}

void Interpreter::throwError(const std::string& message) {
    Object* e = allocate<Object>(Object::Kind::Plain, errorProto);
    define(e, "message", message);
    throwValue(e);
}

void Interpreter::abort(const std::string& reason) {
    if (m_pending != Pending::Abort)
        m_lastError = reason;
    m_pending = Pending::Abort;
}

bool Interpreter::checkStringSize(std::size_t bytes) {
    if (bytes <= m_limits.maxStringBytes)
        return true;
    abort("string too long");
    return false;
}

bool Interpreter::checkArraySize(std::size_t length) {
    if (length <= m_limits.maxArrayLength)
        return true;
    abort("array too long");
    return false;
}

std::uint32_t Interpreter::nextRandom() {
    // xorshift32: repeatable for a given seed, which trace output relies on.
    std::uint32_t x = m_random;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    m_random = x;
    return x;
}

// ---- properties -----------------------------------------------------------------------------

bool Interpreter::clipProperty(ClipId, std::string_view name, int& index) const {
    if (name.size() < 2 || name[0] != '_')
        return false;
    const std::string k = asciiLower(name); // display properties ignore case in every version
    for (int i = 0; i < static_cast<int>(ClipProperty::Count); ++i) {
        if (k == kClipPropertyNames[i]) {
            index = i;
            return true;
        }
    }
    if (k == "_parent") {
        index = kParentIndex;
        return true;
    }
    if (k == "_root") {
        index = kRootIndex;
        return true;
    }
    if (k == "_level0") {
        index = kLevel0Index;
        return true;
    }
    return false;
}

Value Interpreter::readClipProperty(ClipId clip, int index) {
    if (!m_host)
        return index == static_cast<int>(ClipProperty::Target) ? Value("/") : Value();
    if (!m_host->exists(clip))
        return Value();
    switch (index) {
    case kParentIndex: {
        const ClipId p = m_host->parent(clip);
        return p == kNoClip ? Value() : Value(clipObject(p));
    }
    case kRootIndex:
        return clipObject(rootFor(clip));
    case kLevel0Index:
        return clipObject(m_host->root());
    case static_cast<int>(ClipProperty::Target):
        return clipSlashPath(clip);
    case static_cast<int>(ClipProperty::Name):
        return m_host->name(clip);
    case static_cast<int>(ClipProperty::Url):
        return m_host->url();
    case static_cast<int>(ClipProperty::DropTarget):
        return m_host->dropTarget(clip);
    case static_cast<int>(ClipProperty::Visible):
        return m_host->property(clip, ClipProperty::Visible) != 0;
    case static_cast<int>(ClipProperty::Quality): {
        const double level = m_host->property(clip, ClipProperty::Quality);
        return kQualityNames[level >= 0 && level <= 3 ? static_cast<int>(level) : 2];
    }
    default:
        if (index >= 0 && index < static_cast<int>(ClipProperty::Count))
            return m_host->property(clip, static_cast<ClipProperty>(index));
        return Value();
    }
}

void Interpreter::writeClipProperty(ClipId clip, int index, const Value& v) {
    if (!m_host || !m_host->exists(clip))
        return;
    switch (static_cast<ClipProperty>(index)) {
    case ClipProperty::Name:
        m_host->setName(clip, toString(v));
        return;
    case ClipProperty::Visible:
        m_host->setProperty(clip, ClipProperty::Visible, toBoolean(v) ? 1 : 0);
        return;
    case ClipProperty::Quality: {
        // A name in any case; anything else leaves the quality alone.
        std::string name = toString(v);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        for (int level = 0; level < 4; ++level)
            if (name == kQualityNames[level])
                m_host->setProperty(clip, ClipProperty::Quality, level);
        return;
    }
    case ClipProperty::X:
    case ClipProperty::Y:
    case ClipProperty::XScale:
    case ClipProperty::YScale:
    case ClipProperty::Alpha:
    case ClipProperty::Width:
    case ClipProperty::Height:
    case ClipProperty::Rotation:
    case ClipProperty::HighQuality:
    case ClipProperty::FocusRect:
    case ClipProperty::SoundBufTime: {
        const double n = toNumber(v);
        if (std::isfinite(n)) // the player leaves a property alone when given NaN
            m_host->setProperty(clip, static_cast<ClipProperty>(index), n);
        return;
    }
    default:
        return; // read-only
    }
}

Value Interpreter::getMember(Object* o, std::string_view name, Object* receiver) {
    bool found;
    return lookup(o, name, receiver, found);
}

Value Interpreter::lookup(Object* o, std::string_view name, Object* receiver, bool& found) {
    found = true;
    if (!o) {
        found = false;
        return Value();
    }
    if (o->kind() == Object::Kind::Super) {
        auto* s = static_cast<SuperObject*>(o);
        receiver = s->thisObject;
        o = s->base ? s->base->proto() : nullptr;
        if (!o) {
            found = false;
            return Value();
        }
    }
    switch (o->kind()) {
    case Object::Kind::Clip: {
        int index;
        auto* c = static_cast<ClipObject*>(o);
        if (clipProperty(c->clip, name, index)) {
            // A getter added on the clip itself answers reads before the clip's own
            // property; writes still go to the clip (measured).
            if (const Property* p = m_hasAccessors ? visibleOwn(o, key(name)) : nullptr; p && p->virtualProperty)
                break;
            return readClipProperty(c->clip, index);
        }
        break;
    }
    case Object::Kind::Array: {
        auto* a = static_cast<ArrayObject*>(o);
        std::uint32_t i;
        if (parseArrayIndex(name, i)) {
            if (i < a->elements.size())
                return a->elements[i];
        } else if (name == "length") {
            return static_cast<double>(a->elements.size());
        }
        break;
    }
    case Object::Kind::Boxed: {
        auto* b = static_cast<BoxObject*>(o);
        if (b->primitive.isString() && name == "length")
            return static_cast<double>(toUtf16(b->primitive.string()).size());
        break;
    }
    default:
        break;
    }
    const std::string k = key(name);
    if (k == "__proto__") {
        // Only the object's own link answers: a hidden or deleted one is not looked for up the chain.
        const Property* p = visibleOwn(o, k);
        found = p != nullptr;
        return p ? p->value : Value();
    }
    Object* cur = o;
    // A `__proto__` link hidden from this movie's version ends the chain (a function's in SWF 5).
    for (int depth = 0; cur; ++depth, cur = protoLinkFollowed(cur->protoFlags(), m_version) ? cur->proto() : nullptr) {
        if (chainTooDeep(depth)) {
            found = false;
            return Value();
        }
        if (Property* p = visibleOwn(cur, k)) {
            if (p->virtualProperty)
                return p->getter ? call(p->getter, receiver, {}) : Value();
            return p->value;
        }
        if (depth == 0 && cur->kind() == Object::Kind::Clip && m_host) {
            const ClipId child = m_host->child(static_cast<ClipObject*>(cur)->clip, name, caseSensitive());
            if (child != kNoClip)
                return clipObject(child);
            const FieldRef field = m_host->fieldChild(static_cast<ClipObject*>(cur)->clip, name, caseSensitive());
            // Text fields became script objects with SWF 6; in older movies a field's name
            // stands for the clip that holds it (Flash's traces print "_level0" for a root field).
            if (field.serial)
                return m_version >= 6 ? textFieldObject(*this, field, std::string(name)) : Value(cur);
            if (const FieldRef video = m_host->videoChild(static_cast<ClipObject*>(cur)->clip, name, caseSensitive());
                video.serial)
                return videoObject(*this, video);
            if (const FieldRef button = m_host->buttonChild(static_cast<ClipObject*>(cur)->clip, name, caseSensitive());
                button.serial && m_version >= 6) // buttons have instance names from SWF 6
                return buttonObject(*this, button);
        }
    }
    found = false;
    return Value();
}

Value Interpreter::get(Object* object, std::string_view name) {
    return getMember(object, name, object);
}

Value Interpreter::get(const Value& value, std::string_view name) {
    if (value.isObject())
        return getMember(value.object(), name, value.object());
    if (value.isString() && name == "length")
        return static_cast<double>(toUtf16(value.string()).size());
    Object* boxed = toObject(value);
    return boxed ? getMember(boxed, name, boxed) : Value();
}

bool Interpreter::has(Object* o, std::string_view name) {
    if (!o)
        return false;
    if (o->kind() == Object::Kind::Clip) {
        int index;
        if (clipProperty(static_cast<ClipObject*>(o)->clip, name, index))
            return true;
    }
    if (o->kind() == Object::Kind::Array) {
        std::uint32_t i;
        if (name == "length" ||
            (parseArrayIndex(name, i) && i < static_cast<ArrayObject*>(o)->elements.size()))
            return true;
    }
    const std::string k = key(name);
    Object* cur = o;
    for (int depth = 0; cur && !chainTooDeep(depth); ++depth, cur = cur->proto()) {
        if (visibleOwn(cur, k))
            return true;
        if (depth == 0 && cur->kind() == Object::Kind::Clip && m_host &&
            m_host->child(static_cast<ClipObject*>(cur)->clip, name, caseSensitive()) != kNoClip)
            return true;
    }
    return false;
}

void Interpreter::set(Object* o, std::string_view name, Value value) {
    if (!o)
        return;
    if (o->kind() == Object::Kind::Super)
        o = static_cast<SuperObject*>(o)->thisObject;
    if (!o)
        return;
    if (o->kind() == Object::Kind::Clip) {
        if (name.empty())
            return; // a clip takes no member without a name (measured)
        int index;
        auto* c = static_cast<ClipObject*>(o);
        if (clipProperty(c->clip, name, index)) {
            if (index < static_cast<int>(ClipProperty::Count))
                writeClipProperty(c->clip, index, value);
            return;
        }
    } else if (o->kind() == Object::Kind::Array) {
        auto* a = static_cast<ArrayObject*>(o);
        std::uint32_t i;
        if (parseArrayIndex(name, i)) {
            // Far-off indices stay ordinary properties so a[4e9] cannot allocate gigabytes.
            if (i < a->elements.size()) {
                a->elements[i] = std::move(value);
                return;
            }
            if (i < m_limits.maxArrayLength && i < a->elements.size() + 65536) {
                a->elements.resize(i + 1);
                a->elements[i] = std::move(value);
                return;
            }
        } else if (name == "length") {
            const double n = toNumber(value);
            if (n >= 0 && std::isfinite(n)) {
                const auto len = static_cast<std::size_t>(n);
                if (checkArraySize(len))
                    a->elements.resize(len);
            }
            return;
        }
    }
    const std::string k = key(name);
    if (k == "__proto__") {
        if (const Property* own = o->own(k); own && (own->flags & kReadOnly) && visibleToVersion(own->flags, m_version))
            return;
        Object* p = value.object();
        int depth = 0;
        for (Object* c = p; c && depth < kMaxChain; c = c->proto(), ++depth)
            if (c == o)
                return; // a cycle would make every lookup spin
        o->setProto(p);
        if (!p) // a primitive is kept as written; only objects continue the chain
            o->put(k, k, std::move(value), kDontEnum | kDontDelete);
        return;
    }
    Property* p = o->own(k);
    // A property this movie cannot see is replaced by a plain visible one, except that
    // SWF 6 writes through the 1024 bit and the property stays hidden (measured).
    if (p && !visibleToVersion(m_version == 6 ? PropFlags(p->flags & ~kSwf7Up) : p->flags, m_version)) {
        o->erase(k);
        p = nullptr;
    }
    if (!p) {
        // A setter anywhere up the chain takes the assignment, even past inherited
        // plain properties of that name; the player walks the whole chain for it even
        // when there is none, so a too deep chain stops the block.
        Object* cur = o->proto();
        for (int depth = 1; cur && !chainTooDeep(depth); ++depth, cur = cur->proto()) {
            if (!m_hasAccessors)
                continue;
            if (Property* inherited = cur->own(k); inherited && inherited->virtualProperty) {
                if (inherited->setter) {
                    const Value args[] = {value};
                    call(inherited->setter, o, args);
                }
                return;
            }
        }
        if (m_pending == Pending::Abort)
            return;
    }
    if (!p) {
        o->put(name, k, std::move(value));
        return;
    }
    if (p->virtualProperty) {
        if (p->setter) {
            Object* setter = p->setter;
            const Value args[] = {value};
            call(setter, o, args);
        }
        return;
    }
    if (p->flags & kReadOnly)
        return;
    if (p->watcher) {
        Object* watcher = p->watcher;
        const Value args[] = {Value(p->name), p->value, value, p->watchData};
        Value v = call(watcher, o, args);
        if (Property* again = o->own(k)) // the watcher may have deleted it
            again->value = std::move(v);
        return;
    }
    p->value = std::move(value);
}

bool Interpreter::remove(Object* o, std::string_view name) {
    if (!o)
        return false;
    const std::string k = key(name);
    Property* p = o->own(k);
    if (!p || (p->flags & kDontDelete))
        return false;
    return o->erase(k);
}

void Interpreter::define(Object* o, std::string_view name, Value value, PropFlags flags) {
    Property& p = o->put(name, key(name), std::move(value), flags);
    p.flags = flags;
}

void Interpreter::defineMethod(Object* o, std::string_view name, NativeFn fn, PropFlags flags) {
    define(o, name, newNative(fn), flags);
}

// ---- calls ------------------------------------------------------------------------------------

bool Interpreter::isCallable(const Value& v) const {
    const Object* o = v.object();
    return o && o->kind() == Object::Kind::Function;
}

Value Interpreter::call(const Value& function, const Value& thisValue, std::span<const Value> args,
                        Object* base) {
    if (m_pending != Pending::None || !isCallable(function))
        return Value();
    auto* fn = static_cast<FunctionObject*>(function.object());
    if (!canNest())
        return Value();
    if (fn->native) {
        m_plainCall = false;
        m_constructCall = false;
        ++m_depth;
        Object* self = thisValue.isObject() ? thisValue.object() : toObject(thisValue);
        Value r = fn->native(*this, self, args);
        --m_depth;
        return r;
    }
    return callScript(fn, thisValue, args, base);
}

Value Interpreter::callMethod(const Value& object, std::string_view name, std::span<const Value> args) {
    Value fn = get(object, name);
    return call(fn, object, args);
}

Value Interpreter::construct(const Value& constructor, std::span<const Value> args) {
    if (!isCallable(constructor))
        return Value();
    auto* fn = static_cast<FunctionObject*>(constructor.object());
    Object* proto = get(fn, "prototype").object();
    Object* obj = fn->allocate ? fn->allocate(*this, proto) : allocate<Object>(Object::Kind::Plain, proto);
    // A Flash 6 member: Flash 5 movies own it but cannot read it (listings show it hidden there).
    define(obj, "__constructor__", fn, kDontEnum | kSwf6Up);
    if (m_version < 7)
        define(obj, "constructor", fn, kDontEnum);
    Object* saved = m_constructing;
    m_constructing = obj;
    m_constructCall = true;
    Value r = call(fn, obj, args, proto);
    m_constructCall = false;
    m_constructing = saved;
    if (fn->native && r.isObject())
        return r;
    return obj;
}

// ---- conversions --------------------------------------------------------------------------------

Object* Interpreter::toObject(const Value& v) {
    switch (v.type()) {
    case Type::Object:
        return v.object();
    case Type::String:
        return newBox(stringProto, v);
    case Type::Number:
        return newBox(numberProto, v);
    case Type::Boolean:
        return newBox(booleanProto, v);
    default:
        return nullptr;
    }
}

// The result of an object's valueOf; a missing one gives undefined, a clip and a
// primitive stand for themselves.
Value Interpreter::valueOf(const Value& v) {
    if (!v.isObject() || v.object()->kind() == Object::Kind::Clip)
        return v;
    const Value fn = get(v, "valueOf");
    return isCallable(fn) ? call(fn, v, {}) : Value();
}

// An object's primitive as operators see it: one call of valueOf (of toString for a
// Date in SWF 6 and later when no hint is given), taken as it comes back, even an
// object; a missing method gives undefined. Clips stand for themselves.
// `super` gives the primitive of the `this` it stands for (Flash's "" + super printed
// "_level0" for a clip's), though printed alone it is an object.
static Value superThis(Object* o) {
    Object* self = static_cast<SuperObject*>(o)->thisObject;
    return self ? Value(self) : Value();
}

Value Interpreter::toPrimitive(const Value& v, bool preferString) {
    Object* o = v.object();
    if (o && o->kind() == Object::Kind::Super)
        return toPrimitive(superThis(o), preferString);
    if (!o || o->kind() == Object::Kind::Clip)
        return v;
    if (preferString)
        return toString(v);
    bool useToString = false;
    if (o->kind() == Object::Kind::Boxed && m_version >= 6)
        useToString = static_cast<BoxObject*>(o)->isDate;
    const Value fn = get(v, useToString ? "toString" : "valueOf");
    return isCallable(fn) ? call(fn, v, {}) : Value();
}

// The + operator. An operand whose primitive is still an object is itself printed
// (its toString) or counted (its valueOf) again.
// (A clip that comes back stands for its path.)
Value Interpreter::add(const Value& a, const Value& b) {
    auto plainObject = [](const Value& v) { return v.isObject() && v.object()->kind() != Object::Kind::Clip; };
    const Value pb = toPrimitive(b); // the right operand first, as in every arithmetic action
    const Value pa = toPrimitive(a);
    if (pa.isString() || pb.isString()) {
        std::string sa = toString(plainObject(pa) ? a : pa);
        const std::string sb = toString(plainObject(pb) ? b : pb);
        if (!checkStringSize(sa.size() + sb.size()))
            return Value();
        return sa + sb;
    }
    return toNumber(plainObject(pa) ? a : pa) + toNumber(plainObject(pb) ? b : pb);
}

std::string Interpreter::concatText(const Value& v) {
    const Value p = toPrimitive(v);
    return toString(p.isObject() && p.object()->kind() != Object::Kind::Clip ? v : p);
}

double Interpreter::toNumber(const Value& v) {
    switch (v.type()) {
    case Type::Undefined:
    case Type::Null:
        return m_version >= 7 ? std::nan("") : 0.0;
    case Type::Boolean:
        return v.boolean() ? 1 : 0;
    case Type::Number:
        return v.number();
    case Type::String:
        return stringToNumber(v.string(), m_version);
    case Type::Object: {
        // valueOf even for a Date; an object it returns is NaN.
        const Value p = valueOf(v);
        return p.isObject() ? std::nan("") : toNumber(p);
    }
    }
    return 0;
}

std::string Interpreter::toString(const Value& v) {
    switch (v.type()) {
    case Type::Undefined:
        return m_version >= 7 ? "undefined" : "";
    case Type::Null:
        return "null";
    case Type::Boolean:
        return v.boolean() ? "true" : "false";
    case Type::Number:
        return numberToString(v.number());
    case Type::String:
        return v.string();
    case Type::Object: {
        Object* o = v.object();
        if (o->kind() == Object::Kind::Clip) {
            const ClipId c = static_cast<ClipObject*>(o)->clip;
            if (!m_host)
                return "_level0";
            return m_host->exists(c) ? clipPath(c) : "";
        }
        // A String object gives its text without asking its toString.
        if (o->kind() == Object::Kind::Boxed && static_cast<BoxObject*>(o)->primitive.isString() &&
            !static_cast<BoxObject*>(o)->isDate)
            return static_cast<BoxObject*>(o)->primitive.string();
        // toString once; anything but a string coming back (or no toString at all)
        // prints as the type.
        const Value fn = get(v, "toString");
        const Value p = isCallable(fn) ? call(fn, v, {}) : Value();
        if (p.isString())
            return p.string();
        return o->kind() == Object::Kind::Function ? "[type Function]" : "[type Object]";
    }
    }
    return "";
}

bool Interpreter::toBoolean(const Value& v) {
    switch (v.type()) {
    case Type::Boolean:
        return v.boolean();
    case Type::Number:
        return v.number() != 0 && !std::isnan(v.number());
    case Type::String:
        if (m_version >= 7)
            return !v.string().empty();
        {
            // Before SWF 7 a string is true when it reads as a non-zero number.
            const double n = stringToNumber(v.string(), m_version);
            return n != 0 && !std::isnan(n);
        }
    case Type::Object:
        return true;
    default:
        return false;
    }
}

std::string Interpreter::typeOf(const Value& v) {
    switch (v.type()) {
    case Type::Undefined:
        return "undefined";
    case Type::Null:
        return "null";
    case Type::Boolean:
        return "boolean";
    case Type::Number:
        return "number";
    case Type::String:
        return "string";
    case Type::Object:
        switch (v.object()->kind()) {
        case Object::Kind::Function:
            return "function";
        case Object::Kind::Clip:
            return "movieclip";
        default:
            return "object";
        }
    }
    return "undefined";
}

bool Interpreter::strictEquals(const Value& a, const Value& b) const {
    if (a.type() != b.type())
        return false;
    switch (a.type()) {
    case Type::Undefined:
    case Type::Null:
        return true;
    case Type::Boolean:
        return a.boolean() == b.boolean();
    case Type::Number:
        return a.sameNumber(b);
    case Type::String:
        return a.string() == b.string();
    case Type::Object:
        return a.object() == b.object();
    }
    return false;
}

bool Interpreter::looseEquals(const Value& a, const Value& b) {
    if (m_version <= 5 && (a.isObject() || b.isObject()))
        return looseEqualsSwf5(a, b);
    if (a.type() == b.type())
        return strictEquals(a, b);
    // An object against anything else, undefined and null too: its valueOf (a Date's
    // too); an object that comes back equals nothing.
    if (a.isObject()) {
        const Value p = valueOf(a);
        return !p.isObject() && looseEquals(p, b);
    }
    if (b.isObject()) {
        const Value p = valueOf(b);
        return !p.isObject() && looseEquals(a, p);
    }
    if (a.isNullish() && b.isNullish())
        return true;
    if (a.isNullish() || b.isNullish())
        return false;
    if (a.isNumber() && b.isString())
        return a.number() == toNumber(b);
    if (a.isString() && b.isNumber())
        return toNumber(a) == b.number();
    if (a.isBoolean())
        return looseEquals(Value(a.boolean() ? 1.0 : 0.0), b);
    if (b.isBoolean())
        return looseEquals(a, Value(b.boolean() ? 1.0 : 0.0));
    return false;
}

// SWF 5 turns every object operand by its valueOf first, objects that come back are
// compared by identity, and an object against a primitive is its number.
bool Interpreter::looseEqualsSwf5(const Value& a, const Value& b) {
    Value pa = valueOf(a);
    Value pb = valueOf(b);
    if (pa.isObject() && pb.isObject())
        return pa.object() == pb.object();
    if (pa.isObject())
        pa = toNumber(pa);
    if (pb.isObject())
        pb = toNumber(pb);
    return looseEquals(pa, pb);
}

bool Interpreter::instanceOf(Object* object, Object* constructor) {
    if (!object || !constructor)
        return false;
    Object* proto = get(constructor, "prototype").object();
    return proto && inherits(object->proto(), constructor, proto, 0);
}

// Walks the chain from `cur`: the constructor's prototype, or an interface declared
// with ImplementsOp (and the interfaces those extend) anywhere on it. Interface
// lists can point back at each other, so the search depth is bounded.
bool Interpreter::inherits(Object* cur, Object* constructor, Object* proto, int nesting) {
    if (nesting > 16)
        return false;
    const std::string ifaceKey = key("\x01interfaces");
    for (int depth = 0; cur && depth < kMaxChain; ++depth, cur = cur->proto()) {
        if (cur == proto)
            return true;
        const Property* p = cur->own(ifaceKey);
        auto* list = p ? p->value.object() : nullptr;
        if (!list || list->kind() != Object::Kind::Array)
            continue;
        const std::vector<Value> ifaces = static_cast<ArrayObject*>(list)->elements;
        for (const Value& iface : ifaces) {
            if (iface.object() == constructor)
                return true;
            Object* ip = get(iface, "prototype").object();
            if (ip && inherits(ip, constructor, proto, nesting + 1))
                return true;
        }
    }
    return false;
}

// ---- intervals ------------------------------------------------------------------------------------

std::uint32_t Interpreter::addInterval(Value function, Value thisValue, std::string method, double periodMs,
                                       std::vector<Value> args, bool once) {
    if (m_intervals.size() >= 10000)
        return 0;
    if (!std::isfinite(periodMs) || periodMs < 1)
        periodMs = 1;
    Interval i{m_nextInterval++, std::move(function), std::move(thisValue), std::move(method),
               periodMs,         m_timeMs + periodMs, std::move(args), once};
    m_intervals.push_back(std::move(i));
    return m_intervals.back().id;
}

void Interpreter::clearInterval(std::uint32_t id) {
    std::erase_if(m_intervals, [id](const Interval& i) { return i.id == id; });
}

void Interpreter::runIntervals() {
    if (scriptsDisabled())
        return;
    {
        const bool outer = !m_inBlock;
        if (outer)
            enterOuter();
        deliverLoads(*this);
        deliverClipLoads(*this);
        if (outer)
            leaveOuter();
    }
    // Earliest first, so that a timer cleared by an earlier one does not run when one
    // tick covers both.
    std::vector<std::pair<double, std::uint32_t>> dueTimes;
    for (const Interval& i : m_intervals)
        if (i.due <= m_timeMs)
            dueTimes.emplace_back(i.due, i.id);
    std::stable_sort(dueTimes.begin(), dueTimes.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::uint32_t> due;
    for (const auto& [time, id] : dueTimes)
        due.push_back(id);
    for (std::uint32_t id : due) {
        auto it = std::find_if(m_intervals.begin(), m_intervals.end(),
                               [id](const Interval& i) { return i.id == id; });
        if (it == m_intervals.end())
            continue; // cleared by an earlier callback
        // One call per tick however late we are, as the player does on a slow frame.
        it->due += it->period;
        if (it->due <= m_timeMs)
            it->due = m_timeMs + it->period;
        const Value fn = it->method.empty() ? it->function : get(it->thisValue, it->method);
        const Value self = it->thisValue;
        const std::vector<Value> args = it->args;
        if (it->once)
            m_intervals.erase(it);
        callFromHost(fn, self, args);
    }
    if (!m_inBlock)
        maybeCollect();
}

void Interpreter::callFromHost(const Value& function, const Value& thisValue, std::span<const Value> args) {
    const bool outer = !m_inBlock;
    if (outer)
        enterOuter();
    call(function, thisValue, args);
    if (outer)
        leaveOuter();
}

// ---- garbage collection -----------------------------------------------------------------------

void Interpreter::maybeCollect() {
    if (m_heap.size() >= m_collectAt)
        collectGarbage();
}

void Interpreter::collectGarbage() {
    if (m_inBlock)
        return;
    std::vector<Object*> work;
    auto root = [&](const Value& v) {
        if (Object* o = v.object())
            work.push_back(o);
    };
    for (Object* o : {m_global, objectProto, functionProto, arrayProto, stringProto, numberProto,
                      booleanProto, dateProto, clipProto, errorProto})
        if (o)
            work.push_back(o);
    for (auto& [id, o] : m_clips)
        work.push_back(o);
    // A field's or button's object lives as long as it does; scripts may still hold one that is gone.
    std::erase_if(m_fields, [this](const auto& entry) { return !m_host || !m_host->placedLives(entry.second.first); });
    for (auto& [serial, entry] : m_fields)
        work.push_back(entry.second);
    for (const Interval& i : m_intervals) {
        root(i.function);
        root(i.thisValue);
        for (const Value& a : i.args)
            root(a);
    }
    for (const Value& v : m_stack)
        root(v);
    root(m_thrown);
    while (!work.empty()) {
        Object* o = work.back();
        work.pop_back();
        if (o->marked)
            continue;
        o->marked = true;
        o->references(work);
    }
    std::size_t live = 0;
    for (std::size_t i = 0; i < m_heap.size(); ++i) {
        if (m_heap[i]->marked) {
            m_heap[i]->marked = false;
            if (live != i)
                m_heap[live] = std::move(m_heap[i]);
            ++live;
        }
    }
    m_heap.resize(live);
    m_collectAt = std::max<std::size_t>(50'000, live * 2);
}

} // namespace swf::avm1
