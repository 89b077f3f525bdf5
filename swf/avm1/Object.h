#pragma once
// Script objects: a property table with flags and accessors, a prototype link, and
// the few built-in kinds whose state is more than properties (functions, arrays,
// boxed primitives, movie clips, `super`). The interpreter owns every object and
// frees the unreachable ones between action blocks.

#include "ClipHost.h"
#include "Value.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace swf::avm1 {

class Interpreter;
class Object;

// ASSetPropFlags bits. The version bits hide a property from movies of some SWF
// versions, as the player measured them: 128 from SWF 5 and earlier, 256 from SWF 6
// only, 1024 below 7, 4096 below 8, 8192 below 9, 16384 below 10.
using PropFlags = std::uint16_t;
enum PropFlag : PropFlags {
    kDontEnum = 1,
    kDontDelete = 2,
    kReadOnly = 4,
    kSwf6Up = 128,
    kNotSwf6 = 256,
    kSwf7Up = 1024,
    kSwf8Up = 4096,
    kSwf9Up = 8192,
    kSwf10Up = 16384,
};

// False when the property's version bits hide it from a movie of `version`.
constexpr bool visibleToVersion(PropFlags flags, int version) {
    return !((flags & kSwf6Up && version < 6) || (flags & kNotSwf6 && version == 6) ||
             (flags & kSwf7Up && version < 7) || (flags & kSwf8Up && version < 8) ||
             (flags & kSwf9Up && version < 9) || (flags & kSwf10Up && version < 10));
}

// Whether a lookup follows a `__proto__` link with these flags. The player checked fewer
// version bits there than for other properties (measured): SWF 5 and earlier stop at
// 128, 1024, 4096 and 8192, SWF 6 at 1024 only, later versions never.
constexpr bool protoLinkFollowed(PropFlags flags, int version) {
    if (version <= 5)
        return !(flags & (kSwf6Up | kSwf7Up | kSwf8Up | kSwf9Up));
    return version > 6 || !(flags & kSwf7Up);
}

// Whether for-in goes on through a `__proto__` link with these flags (measured): as
// lookups up to SWF 6; SWF 7 stops at 4096 and SWF 8 at 8192, the next version's bit.
constexpr bool protoLinkEnumerated(PropFlags flags, int version) {
    if (version <= 6)
        return protoLinkFollowed(flags, version);
    if (version == 7)
        return !(flags & kSwf8Up);
    return version > 8 || !(flags & kSwf9Up);
}

struct Property {
    std::string name; // as first written
    std::string key;  // lookup key: lower-cased before SWF 7
    Value value;
    Object* getter = nullptr; // addProperty accessors
    Object* setter = nullptr;
    Object* watcher = nullptr; // Object.watch
    Value watchData;
    PropFlags flags = 0;
    bool virtualProperty = false; // made by addProperty (value unused)
};

// A scope chain link; closures keep theirs alive.
struct Scope {
    Object* object = nullptr;
    std::shared_ptr<Scope> parent;
};
using ScopePtr = std::shared_ptr<Scope>;

// Native functions get the receiver (primitives arrive boxed) and the arguments.
using NativeFn = Value (*)(Interpreter&, Object* self, std::span<const Value> args);

// Script function body: a slice of a retained action buffer.
struct FunctionCode {
    std::shared_ptr<const std::vector<std::uint8_t>> buffer;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string name;
    std::vector<std::string> params;
    std::vector<std::uint8_t> paramRegisters; // DefineFunction2: 0 = named variable
    bool function2 = false;
    std::uint8_t registerCount = 0;
    std::uint16_t flags = 0;
    std::shared_ptr<const std::vector<std::string>> constants;
};

class Object {
public:
    enum class Kind : std::uint8_t { Plain, Function, Array, Boxed, Clip, Super };

    // `__proto__` is an own property like any other (hidden and permanent, as Flash made
    // it); m_proto mirrors its value so lookups need not search for it.
    Object(Kind kind, Object* proto);
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    Kind kind() const { return m_kind; }
    Object* proto() const { return m_proto; }
    void setProto(Object* proto);

    // Own property by lookup key, or null.
    Property* own(std::string_view key);
    const Property* own(std::string_view key) const { return const_cast<Object*>(this)->own(key); }
    // Adds or replaces an own property (flags given only for a new one).
    Property& put(std::string_view name, std::string key, Value value, PropFlags flags = 0);
    bool erase(std::string_view key); // erasing `__proto__` cuts the chain
    // Adds flags to the own `__proto__` link, if there is one.
    void addProtoFlags(PropFlags flags);
    // The flags of the own `__proto__` link (0 without one).
    PropFlags protoFlags() const;
    std::vector<Property>& properties() { return m_props; }
    const std::vector<Property>& properties() const { return m_props; }

    // Garbage collection: appends every object this one refers to.
    virtual void references(std::vector<Object*>& out) const;
    bool marked = false;

private:
    void reindex();

    Kind m_kind;
    Object* m_proto;
    std::vector<Property> m_props;
    std::unordered_map<std::string, std::uint32_t> m_index; // built once the table grows
};

class FunctionObject : public Object {
public:
    // A function's `__proto__` is hidden from SWF 5 movies, which had no Function class.
    FunctionObject(Object* proto, NativeFn native) : Object(Kind::Function, proto), native(native) {
        addProtoFlags(kSwf6Up);
    }
    FunctionObject(Object* proto, std::shared_ptr<const FunctionCode> code, ScopePtr scope)
        : Object(Kind::Function, proto), code(std::move(code)), scope(std::move(scope)) {
        addProtoFlags(kSwf6Up);
    }

    void references(std::vector<Object*>& out) const override;

    NativeFn native = nullptr;
    // For native constructors: makes the object `new` hands to the constructor.
    Object* (*allocate)(Interpreter&, Object* proto) = nullptr;
    std::shared_ptr<const FunctionCode> code;
    ScopePtr scope;
    ClipId target = kNoClip; // timeline the function was defined on
};

class ArrayObject : public Object {
public:
    explicit ArrayObject(Object* proto) : Object(Kind::Array, proto) {}
    void references(std::vector<Object*>& out) const override;
    std::vector<Value> elements;
};

// String, Number, Boolean and Date objects wrap a primitive.
class BoxObject : public Object {
public:
    BoxObject(Object* proto, Value primitive) : Object(Kind::Boxed, proto), primitive(std::move(primitive)) {}
    void references(std::vector<Object*>& out) const override;
    Value primitive;
    bool isDate = false;
};

class ClipObject : public Object {
public:
    ClipObject(Object* proto, ClipId clip) : Object(Kind::Clip, proto), clip(clip) {}
    ClipId clip;
};

// What `super` names inside a method: lookups start above `base`, calls go to
// base.__constructor__, and `this` stays the caller's.
class SuperObject : public Object {
public:
    SuperObject(Object* thisObject, Object* base)
        : Object(Kind::Super, nullptr), thisObject(thisObject), base(base) {}
    void references(std::vector<Object*>& out) const override;
    Object* thisObject;
    Object* base;
};

} // namespace swf::avm1
