// AMF0 and AMF3 (the published Action Message Format layouts), written and read for
// ByteArray.writeObject/readObject and SharedObject. Numbers are big-endian whatever the
// byte array's endian says. Objects of classes registered with registerClassAlias carry
// the alias and come back as instances of that class (its constructor run with no
// arguments); other class instances go out as anonymous objects with their public
// variables and read-write accessors, and come back as plain Objects. Functions are
// written as undefined. XML has no class here: an XML marker reads as its text.
// An object of an aliased class that implements flash.utils.IExternalizable is written as
// its traits and then whatever its writeExternal writes, and read back through its
// readExternal; the reference tables inside that data are its own (writeObject and
// readObject there start new messages).
#include "swf/avm2/Amf.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <unordered_map>

namespace swf::avm2 {

namespace {

enum Amf3 : std::uint8_t {
    kUndefined3 = 0, kNull3, kFalse3, kTrue3, kInteger3, kDouble3, kString3, kXmlDoc3, kDate3, kArray3,
    kObject3, kXml3, kByteArray3, kVectorInt3, kVectorUint3, kVectorDouble3, kVectorObject3, kDictionary3
};
enum Amf0 : std::uint8_t {
    kNumber0 = 0, kBoolean0, kString0, kObject0, kMovieClip0, kNull0, kUndefined0, kReference0, kEcmaArray0,
    kObjectEnd0, kStrictArray0, kDate0, kLongString0, kUnsupported0, kRecordSet0, kXml0, kTypedObject0, kAvmPlus0
};

constexpr std::int32_t kMinInt29 = -(1 << 28);
constexpr std::int32_t kMaxInt29 = (1 << 28) - 1;

[[noreturn]] void malformed(Machine& m) {
    m.rangeError(2006, "The supplied index is out of bounds.");
}

bool isFunction(Value v) {
    return v.isObject() && v.o->kind == ObjectKind::Function;
}

bool externalizable(Machine& m, const ClassObject* cls) {
    const ClassObject* iface = m.findClass("flash.utils.IExternalizable");
    return cls && iface && cls->implements(iface);
}

std::string aliasOf(Machine& m, ClassObject* cls) {
    for (const auto& [alias, c] : m.classAliases)
        if (c == cls)
            return alias;
    return "";
}

// The members a class instance is written with besides its dynamic properties: public
// variables and accessors that can be both read and written, in declaration order.
std::vector<std::string> sealedMembers(Object* o) {
    std::vector<std::string> names;
    if (!o->traits)
        return names;
    for (const auto& [local, ns] : o->traits->order) {
        if (ns != kPublicNs)
            continue;
        Binding* b = o->traits->find(local, ns);
        if (!b)
            continue;
        bool data = b->kind == Binding::Kind::Slot || b->kind == Binding::Kind::Const;
        bool accessor = b->kind == Binding::Kind::Accessor && b->getter && b->setter;
        if ((data || accessor) && std::find(names.begin(), names.end(), local) == names.end())
            names.push_back(local);
    }
    return names;
}

class Writer {
public:
    Writer(Machine& m, std::vector<std::uint8_t>& out) : m_m(m), m_out(out) {}

    void byte(std::uint8_t b) { m_out.push_back(b); }
    void u16(std::uint32_t v) {
        byte(static_cast<std::uint8_t>(v >> 8));
        byte(static_cast<std::uint8_t>(v));
    }
    void u32(std::uint32_t v) {
        u16(v >> 16);
        u16(v & 0xFFFF);
    }
    void f64(double d) {
        std::uint64_t raw = std::bit_cast<std::uint64_t>(d);
        u32(static_cast<std::uint32_t>(raw >> 32));
        u32(static_cast<std::uint32_t>(raw));
    }
    void raw(const void* p, std::size_t n) {
        auto* b = static_cast<const std::uint8_t*>(p);
        m_out.insert(m_out.end(), b, b + n);
    }
    void enter() {
        if (++m_depth > kMaxAmfDepth)
            m_m.throwError(m_m.errorClass, 1023, "Stack overflow occurred.");
    }
    void leave() { --m_depth; }

    // --- AMF3
    void u29(std::uint32_t v) {
        v &= 0x1FFFFFFF;
        if (v < 0x80) {
            byte(static_cast<std::uint8_t>(v));
        } else if (v < 0x4000) {
            byte(static_cast<std::uint8_t>(v >> 7 | 0x80));
            byte(static_cast<std::uint8_t>(v & 0x7F));
        } else if (v < 0x200000) {
            byte(static_cast<std::uint8_t>(v >> 14 | 0x80));
            byte(static_cast<std::uint8_t>((v >> 7 & 0x7F) | 0x80));
            byte(static_cast<std::uint8_t>(v & 0x7F));
        } else {
            byte(static_cast<std::uint8_t>(v >> 22 | 0x80));
            byte(static_cast<std::uint8_t>((v >> 15 & 0x7F) | 0x80));
            byte(static_cast<std::uint8_t>((v >> 8 & 0x7F) | 0x80));
            byte(static_cast<std::uint8_t>(v));
        }
    }
    // A string as a reference when it was written before; "" is never referenced.
    void string3(const std::string& s) {
        if (s.empty()) {
            byte(0x01);
            return;
        }
        if (auto it = m_strings.find(s); it != m_strings.end()) {
            u29(it->second << 1);
            return;
        }
        m_strings.emplace(s, static_cast<std::uint32_t>(m_strings.size()));
        if (s.size() > 0x0FFFFFFF)
            m_m.rangeError(2006, "The supplied index is out of bounds.");
        u29(static_cast<std::uint32_t>(s.size()) << 1 | 1);
        raw(s.data(), s.size());
    }
    // Writes a reference and returns true when `o` was written before; else enters it.
    bool objectRef3(Object* o) {
        if (auto it = m_objects.find(o); it != m_objects.end()) {
            u29(it->second << 1);
            return true;
        }
        m_objects.emplace(o, static_cast<std::uint32_t>(m_objects.size()));
        return false;
    }

    void value3(Value v) {
        switch (v.tag) {
        case Tag::Undefined: byte(kUndefined3); return;
        case Tag::Null: byte(kNull3); return;
        case Tag::Boolean: byte(v.b ? kTrue3 : kFalse3); return;
        case Tag::Int: case Tag::UInt: case Tag::Number: {
            double d = v.asDouble();
            // Whole numbers that fit 29 bits go as integers (the player keeps them as ints).
            if (d == std::floor(d) && d >= kMinInt29 && d <= kMaxInt29 && !(d == 0 && std::signbit(d))) {
                byte(kInteger3);
                u29(static_cast<std::uint32_t>(static_cast<std::int32_t>(d)));
            } else {
                byte(kDouble3);
                f64(d);
            }
            return;
        }
        case Tag::String: byte(kString3); string3(*v.s); return;
        case Tag::Object: break;
        }
        Object* o = v.o;
        if (isFunction(v) || o->kind == ObjectKind::Class) {
            byte(kUndefined3);
            return;
        }
        double time = 0;
        if (dateTimeOf(v, time)) {
            byte(kDate3);
            if (!objectRef3(o)) {
                byte(0x01);
                f64(time);
            }
            return;
        }
        if (const auto* bytes = byteArrayBytes(v)) {
            byte(kByteArray3);
            if (!objectRef3(o)) {
                u29(static_cast<std::uint32_t>(bytes->size()) << 1 | 1);
                raw(bytes->data(), bytes->size());
            }
            return;
        }
        enter();
        if (o->kind == ObjectKind::Array && o->cls && o->cls->isSubclassOf(m_m.vectorClass))
            vector3(static_cast<ArrayObject*>(o));
        else if (o->kind == ObjectKind::Array)
            array3(static_cast<ArrayObject*>(o));
        else if (auto* dict = dynamic_cast<DictionaryObject*>(o))
            dictionary3(dict);
        else
            object3(o);
        leave();
    }

    void array3(ArrayObject* a) {
        byte(kArray3);
        if (objectRef3(a))
            return;
        u29(static_cast<std::uint32_t>(a->elements.size()) << 1 | 1);
        for (const std::string& name : a->enumerableNames()) {
            Value* v = a->own(name);
            string3(name);
            value3(v ? *v : Value());
        }
        byte(0x01);
        // Elements are read one by one: a getter may not change the list under us.
        for (std::size_t i = 0; i < a->elements.size(); ++i)
            value3(a->elements[i]);
    }

    void vector3(ArrayObject* a) {
        ClassObject* type = a->cls->elementType;
        std::uint8_t marker = type == m_m.intClass      ? kVectorInt3
                              : type == m_m.uintClass   ? kVectorUint3
                              : type == m_m.numberClass ? kVectorDouble3
                                                        : kVectorObject3;
        byte(marker);
        if (objectRef3(a))
            return;
        u29(static_cast<std::uint32_t>(a->elements.size()) << 1 | 1);
        byte(0); // not fixed
        if (marker == kVectorObject3) {
            std::string alias = type ? aliasOf(m_m, type) : "";
            string3(!alias.empty() ? alias : type && type != m_m.objectClass ? type->qualified : "");
        }
        for (std::size_t i = 0; i < a->elements.size(); ++i) {
            Value v = a->elements[i];
            if (marker == kVectorInt3)
                u32(static_cast<std::uint32_t>(m_m.toInt(v)));
            else if (marker == kVectorUint3)
                u32(m_m.toUint(v));
            else if (marker == kVectorDouble3)
                f64(m_m.toNumber(v));
            else
                value3(v);
        }
    }

    void dictionary3(DictionaryObject* d) {
        byte(kDictionary3);
        if (objectRef3(d))
            return;
        std::vector<std::string> names = d->enumerableNames();
        u29(static_cast<std::uint32_t>(names.size()) << 1 | 1);
        byte(0); // keys are held strongly
        for (const std::string& name : names) {
            auto key = d->keys.find(name);
            value3(key != d->keys.end() ? key->second : m_m.string(name));
            Value* v = d->own(name);
            value3(v ? *v : Value());
        }
    }

    void object3(Object* o) {
        byte(kObject3);
        if (objectRef3(o))
            return;
        ClassObject* cls = o->cls == m_m.objectClass ? nullptr : o->cls;
        if (externalizable(m_m, cls)) {
            externalized3(o, cls);
            return;
        }
        std::vector<std::string> sealed = cls ? sealedMembers(o) : std::vector<std::string>{};
        const bool dynamic = !o->sealed;
        // Anonymous dynamic objects share one traits entry, as do instances of one class.
        auto traits = m_traits.find(cls);
        if (traits != m_traits.end()) {
            u29(traits->second << 2 | 1);
        } else {
            m_traits.emplace(cls, static_cast<std::uint32_t>(m_traits.size()));
            u29(static_cast<std::uint32_t>(sealed.size()) << 4 | (dynamic ? 0x08 : 0) | 0x03);
            string3(cls ? aliasOf(m_m, cls) : "");
            for (const std::string& name : sealed)
                string3(name);
        }
        for (const std::string& name : sealed)
            value3(m_m.getProperty(Value::object(o), Machine::publicName(name)));
        if (dynamic) {
            for (const std::string& name : o->enumerableNames()) {
                Value* v = o->own(name);
                if (!v || isFunction(*v))
                    continue;
                string3(name);
                value3(*v);
            }
            byte(0x01);
        }
    }

    // Traits that say "externalizable" with the class's alias, then the object's own bytes.
    void externalized3(Object* o, ClassObject* cls) {
        auto traits = m_traits.find(cls);
        if (traits != m_traits.end()) {
            u29(traits->second << 2 | 1);
        } else {
            m_traits.emplace(cls, static_cast<std::uint32_t>(m_traits.size()));
            u29(0x07);
            string3(aliasOf(m_m, cls));
        }
        Value output = newByteArray(m_m, {});
        Value args[] = {output};
        m_m.callProperty(Value::object(o), Machine::publicName("writeExternal"), args);
        if (const std::vector<std::uint8_t>* bytes = byteArrayBytes(output))
            raw(bytes->data(), bytes->size());
    }

    // --- AMF0
    void string0(const std::string& s) {
        if (s.size() > 0xFFFF) {
            byte(kLongString0);
            u32(static_cast<std::uint32_t>(std::min<std::size_t>(s.size(), 0xFFFFFFFF)));
        } else {
            byte(kString0);
            u16(static_cast<std::uint32_t>(s.size()));
        }
        raw(s.data(), s.size());
    }
    void name0(const std::string& s) {
        std::size_t n = std::min<std::size_t>(s.size(), 0xFFFF);
        u16(static_cast<std::uint32_t>(n));
        raw(s.data(), n);
    }
    bool objectRef0(Object* o) {
        if (auto it = m_objects.find(o); it != m_objects.end() && it->second <= 0xFFFF) {
            byte(kReference0);
            u16(it->second);
            return true;
        }
        m_objects.emplace(o, static_cast<std::uint32_t>(m_objects.size()));
        return false;
    }

    void value0(Value v) {
        switch (v.tag) {
        case Tag::Undefined: byte(kUndefined0); return;
        case Tag::Null: byte(kNull0); return;
        case Tag::Boolean: byte(kBoolean0); byte(v.b ? 1 : 0); return;
        case Tag::Int: case Tag::UInt: case Tag::Number: byte(kNumber0); f64(v.asDouble()); return;
        case Tag::String: string0(*v.s); return;
        case Tag::Object: break;
        }
        Object* o = v.o;
        if (isFunction(v) || o->kind == ObjectKind::Class) {
            byte(kUndefined0);
            return;
        }
        double time = 0;
        if (dateTimeOf(v, time)) {
            byte(kDate0);
            f64(time);
            u16(0);
            return;
        }
        // Types AMF0 has no marker for go as AMF3 after the switch marker.
        if (byteArrayBytes(v) || dynamic_cast<DictionaryObject*>(o) ||
            (o->kind == ObjectKind::Array && o->cls && o->cls->isSubclassOf(m_m.vectorClass))) {
            byte(kAvmPlus0);
            Writer amf3(m_m, m_out);
            amf3.m_depth = m_depth;
            amf3.value3(v);
            return;
        }
        if (objectRef0(o))
            return;
        enter();
        if (o->kind == ObjectKind::Array) {
            auto* a = static_cast<ArrayObject*>(o);
            std::vector<std::string> named = a->enumerableNames();
            if (named.empty()) {
                byte(kStrictArray0);
                u32(static_cast<std::uint32_t>(a->elements.size()));
                for (std::size_t i = 0; i < a->elements.size(); ++i)
                    value0(a->elements[i]);
            } else {
                byte(kEcmaArray0);
                u32(static_cast<std::uint32_t>(a->elements.size()));
                for (std::size_t i = 0; i < a->elements.size(); ++i) {
                    name0(std::to_string(i));
                    value0(a->elements[i]);
                }
                members0(a, named);
            }
        } else {
            ClassObject* cls = o->cls == m_m.objectClass ? nullptr : o->cls;
            std::string alias = cls ? aliasOf(m_m, cls) : "";
            if (!alias.empty()) {
                byte(kTypedObject0);
                name0(alias);
            } else {
                byte(kObject0);
            }
            for (const std::string& name : cls ? sealedMembers(o) : std::vector<std::string>{}) {
                name0(name);
                value0(m_m.getProperty(Value::object(o), Machine::publicName(name)));
            }
            members0(o, o->enumerableNames());
        }
        leave();
    }
    void members0(Object* o, const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            Value* v = o->own(name);
            if (!v || isFunction(*v))
                continue;
            name0(name);
            value0(*v);
        }
        u16(0);
        byte(kObjectEnd0);
    }

private:
    Machine& m_m;
    std::vector<std::uint8_t>& m_out;
    int m_depth = 0;
    std::unordered_map<std::string, std::uint32_t> m_strings;
    std::unordered_map<Object*, std::uint32_t> m_objects;
    std::unordered_map<ClassObject*, std::uint32_t> m_traits;
};

class Reader {
public:
    Reader(Machine& m, std::span<const std::uint8_t> data, std::size_t pos) : m_m(m), m_data(data), m_pos(pos) {}
    std::size_t position() const { return m_pos; }

    std::size_t left() const { return m_pos < m_data.size() ? m_data.size() - m_pos : 0; }
    const std::uint8_t* take(std::size_t n) {
        if (n > left())
            m_m.throwError(m_m.findClass("flash.errors.EOFError"), 2030, "End of file was encountered.");
        const std::uint8_t* at = m_data.data() + m_pos;
        m_pos += n;
        return at;
    }
    std::uint8_t byte() { return *take(1); }
    std::uint32_t u16() {
        const std::uint8_t* b = take(2);
        return std::uint32_t{b[0]} << 8 | b[1];
    }
    std::uint32_t u32() {
        const std::uint8_t* b = take(4);
        return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
    }
    double f64() {
        std::uint64_t hi = u32();
        return std::bit_cast<double>(hi << 32 | u32());
    }
    std::string text(std::size_t n) {
        const std::uint8_t* at = take(n);
        return std::string(reinterpret_cast<const char*>(at), n);
    }
    // A count of things each taking at least one byte: more than the bytes left is damage.
    std::size_t count(std::uint64_t n) {
        if (n > left())
            m_m.throwError(m_m.findClass("flash.errors.EOFError"), 2030, "End of file was encountered.");
        return static_cast<std::size_t>(n);
    }
    void enter() {
        if (++m_depth > kMaxAmfDepth)
            malformed(m_m);
    }
    void leave() { --m_depth; }

    // --- AMF3
    std::uint32_t u29() {
        std::uint32_t v = 0;
        for (int i = 0; i < 3; ++i) {
            std::uint8_t b = byte();
            v = v << 7 | (b & 0x7F);
            if (!(b & 0x80))
                return v;
        }
        return v << 8 | byte();
    }
    std::string string3() {
        std::uint32_t ref = u29();
        if (!(ref & 1)) {
            if ((ref >> 1) >= m_strings.size())
                malformed(m_m);
            return m_strings[ref >> 1];
        }
        std::string s = text(ref >> 1);
        if (!s.empty())
            m_strings.push_back(s);
        return s;
    }
    // The object a reference names, or null when `ref` is no reference.
    Value objectRef3(std::uint32_t ref) {
        if (ref & 1)
            return Value::null();
        if ((ref >> 1) >= m_objects.size())
            malformed(m_m);
        return m_objects[ref >> 1];
    }

    Value value3() {
        std::uint8_t marker = byte();
        switch (marker) {
        case kUndefined3: return Value();
        case kNull3: return Value::null();
        case kFalse3: return Value::boolean(false);
        case kTrue3: return Value::boolean(true);
        case kInteger3: {
            std::uint32_t v = u29();
            return Value::integer(v & 0x10000000 ? static_cast<std::int32_t>(v | 0xE0000000) : static_cast<std::int32_t>(v));
        }
        case kDouble3: return Machine::numberValue(f64());
        case kString3: return m_m.string(string3());
        case kXml3: case kXmlDoc3: {
            std::uint32_t ref = u29();
            if (!(ref & 1))
                return objectRef3(ref);
            Value s = m_m.string(text(ref >> 1));
            m_objects.push_back(s);
            return s;
        }
        case kDate3: {
            std::uint32_t ref = u29();
            if (!(ref & 1))
                return objectRef3(ref);
            Value d = newDate(m_m, f64());
            m_objects.push_back(d);
            return d;
        }
        case kByteArray3: {
            std::uint32_t ref = u29();
            if (!(ref & 1))
                return objectRef3(ref);
            const std::uint8_t* at = take(ref >> 1);
            Value b = newByteArray(m_m, std::vector<std::uint8_t>(at, at + (ref >> 1)));
            m_objects.push_back(b);
            return b;
        }
        case kArray3: return array3();
        case kObject3: return object3();
        case kVectorInt3: case kVectorUint3: case kVectorDouble3: case kVectorObject3: return vector3(marker);
        case kDictionary3: return dictionary3();
        default: malformed(m_m);
        }
    }

    Value array3() {
        std::uint32_t ref = u29();
        if (!(ref & 1))
            return objectRef3(ref);
        enter();
        std::size_t dense = count(ref >> 1);
        ArrayObject* a = m_m.newArray();
        m_objects.push_back(Value::object(a));
        for (std::string name = string3(); !name.empty(); name = string3())
            m_m.setProperty(Value::object(a), Machine::publicName(name), value3());
        std::vector<Value> elements;
        elements.reserve(dense);
        for (std::size_t i = 0; i < dense; ++i)
            elements.push_back(value3());
        // Named entries that were indexes already sit in the list; the dense part comes first.
        if (a->elements.size() < dense)
            a->elements.resize(dense);
        std::copy(elements.begin(), elements.end(), a->elements.begin());
        leave();
        return Value::object(a);
    }

    struct Traits3 {
        std::string className;
        std::vector<std::string> sealed;
        bool dynamic = false;
        bool externalizable = false;
    };

    // A new object for a class alias: an instance of the registered class, else an Object.
    Object* instanceFor(const std::string& alias) {
        auto it = alias.empty() ? m_m.classAliases.end() : m_m.classAliases.find(alias);
        if (it == m_m.classAliases.end())
            return m_m.newObject();
        return m_m.constructInstance(it->second, {});
    }

    Value object3() {
        std::uint32_t ref = u29();
        if (!(ref & 1))
            return objectRef3(ref);
        Traits3 traits;
        if (!(ref & 2)) {
            if ((ref >> 2) >= m_traits.size())
                malformed(m_m);
            traits = m_traits[ref >> 2];
        } else {
            traits.externalizable = (ref & 4) != 0;
            traits.dynamic = (ref & 8) != 0;
            traits.className = string3();
            if (!traits.externalizable) {
                std::size_t n = count(ref >> 4);
                for (std::size_t i = 0; i < n; ++i)
                    traits.sealed.push_back(string3());
            }
            m_traits.push_back(traits);
        }
        // An externalizable object's data is its class's own layout: only its class can read it.
        if (traits.externalizable)
            return externalized3(traits.className);
        enter();
        Object* o = instanceFor(traits.className);
        Value self = Value::object(o);
        m_objects.push_back(self);
        for (const std::string& name : traits.sealed)
            assign(self, name, value3());
        if (traits.dynamic)
            for (std::string name = string3(); !name.empty(); name = string3())
                assign(self, name, value3());
        leave();
        return self;
    }

    Value externalized3(const std::string& alias) {
        auto it = m_m.classAliases.find(alias);
        if (it == m_m.classAliases.end() || !externalizable(m_m, it->second))
            m_m.throwError(m_m.typeErrorClass, 1034,
                           "Type Coercion failed: cannot convert Object to flash.utils.IExternalizable.");
        enter();
        Value self = Value::object(m_m.constructInstance(it->second, {}));
        m_objects.push_back(self);
        // readExternal reads from a ByteArray holding the message, at this reader's position;
        // the reader goes on where it stopped.
        if (m_input.isUndefined())
            m_input = newByteArray(m_m, std::vector<std::uint8_t>(m_data.begin(), m_data.end()));
        m_m.setProperty(m_input, Machine::publicName("position"), Value::uinteger(static_cast<std::uint32_t>(m_pos)));
        Value args[] = {m_input};
        m_m.callProperty(self, Machine::publicName("readExternal"), args);
        const std::size_t stopped = m_m.toUint(m_m.getProperty(m_input, Machine::publicName("position")));
        m_pos = std::clamp(stopped, m_pos, m_data.size());
        leave();
        return self;
    }

    // Members a sealed instance does not have are dropped, as the player drops them.
    void assign(Value self, const std::string& name, Value v) {
        Name n = Machine::publicName(name);
        if (self.o->sealed && !(self.o->traits && self.o->traits->find(n)))
            return;
        m_m.setProperty(self, n, v);
    }

    Value vector3(std::uint8_t marker) {
        std::uint32_t ref = u29();
        if (!(ref & 1))
            return objectRef3(ref);
        enter();
        std::size_t n = count(ref >> 1);
        byte(); // fixed: not enforced
        ClassObject* element = marker == kVectorInt3      ? m_m.intClass
                               : marker == kVectorUint3   ? m_m.uintClass
                               : marker == kVectorDouble3 ? m_m.numberClass
                                                          : nullptr;
        if (marker == kVectorObject3) {
            std::string type = string3();
            auto alias = m_m.classAliases.find(type);
            element = alias != m_m.classAliases.end() ? alias->second : type.empty() ? nullptr : m_m.findClass(type);
        }
        auto* v = static_cast<ArrayObject*>(m_m.constructInstance(m_m.vectorOf(element), {}));
        m_objects.push_back(Value::object(v));
        for (std::size_t i = 0; i < n; ++i) {
            Value item;
            if (marker == kVectorInt3)
                item = Value::integer(static_cast<std::int32_t>(u32()));
            else if (marker == kVectorUint3)
                item = Value::uinteger(u32());
            else if (marker == kVectorDouble3)
                item = Value::number(f64());
            else
                item = value3();
            v->elements.push_back(item);
        }
        leave();
        return Value::object(v);
    }

    Value dictionary3() {
        std::uint32_t ref = u29();
        if (!(ref & 1))
            return objectRef3(ref);
        enter();
        std::size_t n = count(ref >> 1);
        byte(); // weak keys: held strongly
        ClassObject* cls = m_m.findClass("flash.utils.Dictionary");
        Object* d = cls ? m_m.constructInstance(cls, {}) : m_m.newObject();
        auto* dict = dynamic_cast<DictionaryObject*>(d);
        m_objects.push_back(Value::object(d));
        for (std::size_t i = 0; i < n; ++i) {
            Value key = value3();
            Value v = value3();
            d->setOwn(dict && key.isObject() ? dict->nameFor(key.o) : m_m.toString(key), v);
        }
        leave();
        return Value::object(d);
    }

    // --- AMF0
    std::string name0() { return text(u16()); }

    Value value0() {
        std::uint8_t marker = byte();
        switch (marker) {
        case kNumber0: return Machine::numberValue(f64());
        case kBoolean0: return Value::boolean(byte() != 0);
        case kString0: return m_m.string(text(u16()));
        case kLongString0: case kXml0: return m_m.string(text(u32()));
        case kNull0: return Value::null();
        case kUndefined0: case kUnsupported0: case kMovieClip0: case kRecordSet0: return Value();
        case kReference0: {
            std::uint32_t i = u16();
            if (i >= m_objects.size())
                malformed(m_m);
            return m_objects[i];
        }
        case kDate0: {
            double t = f64();
            u16(); // time zone: not used
            return newDate(m_m, t);
        }
        case kObject0: case kTypedObject0: {
            std::string alias = marker == kTypedObject0 ? name0() : "";
            enter();
            Value self = Value::object(instanceFor(alias));
            m_objects.push_back(self);
            members0(self);
            leave();
            return self;
        }
        case kEcmaArray0: {
            u32(); // a count hint: the members end with the end marker
            enter();
            Value self = Value::object(m_m.newArray());
            m_objects.push_back(self);
            members0(self);
            leave();
            return self;
        }
        case kStrictArray0: {
            std::size_t n = count(u32());
            enter();
            ArrayObject* a = m_m.newArray();
            m_objects.push_back(Value::object(a));
            for (std::size_t i = 0; i < n; ++i)
                a->elements.push_back(value0());
            leave();
            return Value::object(a);
        }
        case kAvmPlus0: {
            Reader amf3(m_m, m_data, m_pos);
            amf3.m_depth = m_depth;
            Value v = amf3.value3();
            m_pos = amf3.m_pos;
            return v;
        }
        default: malformed(m_m);
        }
    }
    void members0(Value self) {
        for (;;) {
            std::string name = name0();
            if (name.empty() && left() > 0 && m_data[m_pos] == kObjectEnd0) {
                ++m_pos;
                return;
            }
            assign(self, name, value0());
        }
    }

private:
    Machine& m_m;
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos;
    Value m_input; // what readExternal reads from (made on first use)
    int m_depth = 0;
    std::vector<std::string> m_strings;
    std::vector<Value> m_objects;
    std::vector<Traits3> m_traits;
};

} // namespace

void writeAmf(Machine& m, std::vector<std::uint8_t>& out, Value v, std::uint32_t encoding) {
    Writer w(m, out);
    if (encoding == 0)
        w.value0(v);
    else
        w.value3(v);
}

Value readAmf(Machine& m, std::span<const std::uint8_t> data, std::size_t& pos, std::uint32_t encoding) {
    Reader r(m, data, pos);
    Value v = encoding == 0 ? r.value0() : r.value3();
    pos = r.position();
    return v;
}

void installAmfBuiltins(Machine& m) {
    // The interfaces of externalizable objects and of what they read and write (ByteArray).
    ClassObject* byteArray = m.findClass("flash.utils.ByteArray");
    for (const char* name : {"IExternalizable", "IDataInput", "IDataOutput"}) {
        ClassObject* iface = m.defineNativeClass("flash.utils", name, nullptr);
        iface->super = nullptr;
        iface->isInterface = true;
        iface->dynamicInstances = false;
        if (byteArray && name[1] == 'D')
            byteArray->interfaces.push_back(iface);
    }
    m.defineGlobal("flash.net", "registerClassAlias", Value::object(m.newNative("registerClassAlias", [](Machine& m, Value, std::span<Value> a) {
        Value cls = arg(a, 1);
        if (a.size() < 2 || arg(a, 0).isNullish() || !cls.isObject() || cls.o->kind != ObjectKind::Class)
            m.typeError(2007, "Parameter aliasName must be non-null.");
        m.classAliases[m.toString(a[0])] = static_cast<ClassObject*>(cls.o);
        return Value();
    }, 2)));
    m.defineGlobal("flash.net", "getClassByAlias", Value::object(m.newNative("getClassByAlias", [](Machine& m, Value, std::span<Value> a) {
        std::string alias = m.toString(arg(a, 0));
        auto it = m.classAliases.find(alias);
        if (it == m.classAliases.end())
            m.referenceError(1014, "Class " + alias + " could not be found.");
        return Value::object(it->second);
    }, 1)));
}

} // namespace swf::avm2
