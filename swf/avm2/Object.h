#pragma once
// ActionScript 3 objects: fixed traits (slots, methods, accessors) shared by every
// instance of a class, plus dynamic properties in insertion order, plus a prototype
// for what neither holds. Namespaces are compared by a key string: public-like
// namespaces by their URI, private ones by their identity (see nsKey()).

#include "swf/avm2/Value.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace swf::avm2 {

class Machine;
class Function;
class ClassObject;

// The key a namespace is compared by. Public, package and explicit namespaces with the
// same URI are one namespace; internal and protected ones get a kind prefix; private
// ones a prefix unique to their ABC entry.
using NsKey = std::string;
inline const NsKey kPublicNs = "";

// A property name as an instruction sees it: a local name and the namespaces it may be in.
struct Name {
    std::string local;
    std::vector<NsKey> namespaces; // empty with anyNamespace
    bool anyNamespace = false;
    bool attribute = false;
    bool hasPublic() const;
};

struct Binding {
    enum class Kind : std::uint8_t { Slot, Const, Method, Accessor } kind = Kind::Slot;
    std::uint32_t slot = 0;       // Slot and Const
    Function* method = nullptr;   // Method
    Function* getter = nullptr;   // Accessor
    Function* setter = nullptr;   // Accessor
    std::uint32_t typeName = 0;   // declared type of a slot (multiname of its ABC), 0: any
    const void* typeUnit = nullptr;
};

// The fixed properties of objects of one shape (class instances, class objects, script
// globals, activations). Lookup is by local name, then by namespace.
class Traits {
public:
    Binding* find(const Name& name);
    Binding* find(const std::string& local, const NsKey& ns);
    // Adds or overrides (a subclass's override replaces the inherited binding).
    Binding& define(const std::string& local, const NsKey& ns);
    std::uint32_t slotCount = 0;
    std::vector<Value> slotDefaults; // index 0 unused
    std::vector<std::pair<std::string, NsKey>> order; // declaration order, for describeType-like walks
    void inheritFrom(const Traits& base) { *this = base; }

private:
    std::unordered_map<std::string, std::vector<std::pair<NsKey, Binding>>> m_map;
};

enum class ObjectKind : std::uint8_t { Plain, Function, Class, Array, Error, Activation, Global, Native, Indexed, Xml };

class Object {
public:
    explicit Object(ObjectKind kind = ObjectKind::Plain) : kind(kind) {}
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    ObjectKind kind;
    Traits* traits = nullptr;       // fixed properties; null for plain dynamic objects
    ClassObject* cls = nullptr;     // the class this is an instance of
    Object* proto = nullptr;        // where lookups go when neither traits nor own properties hold a name
    std::vector<Value> slots;       // 1-based, sized from traits
    bool sealed = false;            // instances of non-dynamic classes take no new properties

    // Dynamic (public) properties in insertion order.
    bool hasOwn(const std::string& name) const;
    Value* own(const std::string& name);
    void setOwn(const std::string& name, Value v);
    bool deleteOwn(const std::string& name);
    // Property names for for-in, in order (dynamic ones only; DontEnum ones left out).
    std::vector<std::string> enumerableNames() const;
    void setDontEnum(const std::string& name);
    std::size_t dynamicCount() const { return m_index.size(); }
    // Changes whenever a dynamic name is added, deleted or hidden (enumeration caches check it).
    std::uint32_t namesVersion() const { return m_namesVersion; }

    // Makes slots for `traits` with their defaults.
    void initSlots();
    bool marked = false; // heap bookkeeping

private:
    struct Entry {
        std::string name;
        Value value;
        bool live = true;
        bool dontEnum = false;
    };
    std::vector<Entry> m_props;
    std::unordered_map<std::string, std::size_t> m_index;
    std::uint32_t m_namesVersion = 0;
};

// Native functions get the machine, `this` and the arguments.
using NativeFn = std::function<Value(Machine&, Value self, std::span<Value> args)>;

struct AbcUnit;

class Function : public Object {
public:
    Function() : Object(ObjectKind::Function) {}
    // An ABC method: its unit and index, and the scope chain it closes over.
    AbcUnit* unit = nullptr;
    std::uint32_t method = 0;
    std::vector<Value> scope; // outer scopes, outermost first (scope[0] is the global)
    std::vector<bool> withScope;
    NativeFn native;
    // A method closure: `this` is always boundThis.
    bool bound = false;
    Value boundThis;
    // A class's method keeps the class for super lookups.
    ClassObject* ownerClass = nullptr;
    std::string name;
    std::uint32_t length = 0;
};

class ClassObject : public Object {
public:
    ClassObject() : Object(ObjectKind::Class) {}
    std::string name;        // local name
    std::string qualified;   // "package::Name" or "Name"
    ClassObject* super = nullptr;
    Traits instanceTraits;
    Traits staticTraits;
    Object* prototype = nullptr;
    Function* init = nullptr;           // instance initialiser (constructor)
    bool isInterface = false;
    bool dynamicInstances = true;
    std::vector<ClassObject*> interfaces;
    // Makes the storage of a new instance (native classes hold native state in subclasses).
    std::function<Object*(Machine&, ClassObject*)> allocate;
    // Called when the class object itself is called as a function (conversions: int(x), String(x)).
    NativeFn callAsFunction;
    // `new String(x)` and friends make the same primitive the call does.
    bool constructsPrimitive = false;
    NsKey protectedNs;
    // A Vector.<T> class: its element type (null for *).
    ClassObject* elementType = nullptr;
    // flash.utils.Proxy or a subclass: undeclared names go to its flash_proxy methods.
    bool proxy = false;
    bool isSubclassOf(const ClassObject* other) const;
    bool implements(const ClassObject* iface) const;
};

class ArrayObject : public Object {
public:
    ArrayObject() : Object(ObjectKind::Array) {}
    std::vector<Value> elements;
};

// A native object whose numeric property names are its own elements (ByteArray's bytes):
// property access with an index name goes here instead of to dynamic properties.
class IndexedObject : public Object {
public:
    IndexedObject() : Object(ObjectKind::Indexed) {}
    virtual std::size_t indexedLength() const = 0;
    virtual Value getIndex(std::uint32_t index) const = 0;
    virtual void setIndex(Machine& m, std::uint32_t index, Value v) = 0;
};

// flash.utils.Dictionary: object keys are kept by identity. Each key object gets a
// property name of its own (kept in `keys` so enumeration can give the object back);
// other keys are names as for any object. Weak keys are held strongly.
class DictionaryObject : public Object {
public:
    std::unordered_map<std::string, Value> keys;
    // The property name standing for `key`.
    const std::string& nameFor(Object* key);
};

// Parses an array index ("0", "12"; not "01" or "-1").
bool arrayIndex(const std::string& name, std::uint32_t& index);

} // namespace swf::avm2
