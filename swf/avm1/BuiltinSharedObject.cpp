// SharedObject.getLocal: a movie's `data` kept between runs in the host's store (none: the
// object lives for this run only and flush answers false). The data is written on flush and
// when the movie goes away, in a format of our own: every count and length is checked
// against what is left of the file and nesting is bounded, so a damaged or hostile file
// gives an empty object, never a crash. Functions and accessors are not kept.

#include "BuiltinSupport.h"
#include "swf/avm1/SharedObjectStore.h"

#include <cstring>
#include <unordered_map>

namespace swf::avm1 {

namespace {

constexpr const char* kCache = "\x01sharedObjects";
constexpr const char* kKey = "\x01key";
constexpr std::string_view kMagic = "OSO1";
// Flash's default allowance per site: larger data is refused by flush.
constexpr std::size_t kSizeLimit = 100 * 1024;
constexpr int kMaxDepth = 64;
constexpr std::size_t kMaxObjects = 100000;

// --- the data format: a tag byte, then the value (numbers 8 bytes, lengths and counts 4,
// little-endian); objects seen before are written as references by number.
class Writer {
public:
    explicit Writer(Interpreter& vm) : m_vm(vm) {}

    bool value(const Value& v, int depth) {
        if (out.size() > SharedObjectStore::kMaxFileSize)
            return false;
        if (v.isUndefined() || (v.isObject() && (depth > kMaxDepth || m_vm.isCallable(v)))) {
            out.push_back('u');
        } else if (v.isNull()) {
            out.push_back('n');
        } else if (v.isBoolean()) {
            out.push_back(v.boolean() ? 't' : 'f');
        } else if (v.isNumber()) {
            out.push_back('d');
            const double n = v.number();
            char bytes[8];
            std::memcpy(bytes, &n, 8);
            out.append(bytes, 8);
        } else if (v.isString()) {
            out.push_back('s');
            text(v.string());
        } else {
            return object(v.object(), depth);
        }
        return true;
    }

    void text(std::string_view s) {
        count(s.size());
        out.append(s);
    }

    std::string out;

private:
    void count(std::size_t n) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
    }

    bool object(Object* o, int depth) {
        if (auto seen = m_seen.find(o); seen != m_seen.end()) {
            out.push_back('r');
            count(seen->second);
            return true;
        }
        const std::size_t index = m_seen.size();
        m_seen.emplace(o, index);
        std::vector<std::pair<std::string, Value>> entries;
        if (o->kind() == Object::Kind::Array) {
            const auto& elements = static_cast<ArrayObject*>(o)->elements;
            for (std::size_t i = 0; i < elements.size(); ++i)
                entries.emplace_back(std::to_string(i), elements[i]);
        }
        for (const Property& p : o->properties())
            if (!(p.flags & kDontEnum) && !p.getter)
                entries.emplace_back(p.name, p.value);
        out.push_back(o->kind() == Object::Kind::Array ? 'a' : 'o');
        count(entries.size());
        for (const auto& [name, item] : entries) {
            text(name);
            if (!value(item, depth + 1))
                return false;
        }
        return true;
    }

    Interpreter& m_vm;
    std::unordered_map<Object*, std::size_t> m_seen;
};

class Reader {
public:
    Reader(Interpreter& vm, std::string_view in) : m_vm(vm), m_in(in) {}

    bool value(Value& v, int depth) {
        if (m_pos >= m_in.size() || depth > kMaxDepth)
            return false;
        switch (m_in[m_pos++]) {
        case 'u':
            v = Value();
            return true;
        case 'n':
            v = Value::null();
            return true;
        case 't':
        case 'f':
            v = m_in[m_pos - 1] == 't';
            return true;
        case 'd': {
            double n;
            if (m_in.size() - m_pos < 8)
                return false;
            std::memcpy(&n, m_in.data() + m_pos, 8);
            m_pos += 8;
            v = n;
            return true;
        }
        case 's': {
            std::string s;
            if (!text(s))
                return false;
            v = std::move(s);
            return true;
        }
        case 'r': {
            std::size_t index;
            if (!count(index) || index >= m_objects.size())
                return false;
            v = m_objects[index];
            return true;
        }
        case 'o':
        case 'a':
            return object(v, m_in[m_pos - 1] == 'a', depth);
        default:
            return false;
        }
    }

    bool text(std::string& s) {
        std::size_t n;
        if (!count(n) || m_in.size() - m_pos < n)
            return false;
        s.assign(m_in.substr(m_pos, n));
        m_pos += n;
        return true;
    }

    bool done() const { return m_pos == m_in.size(); }

private:
    bool count(std::size_t& n) {
        if (m_in.size() - m_pos < 4)
            return false;
        n = 0;
        for (int i = 0; i < 4; ++i)
            n |= std::size_t(static_cast<unsigned char>(m_in[m_pos + i])) << (8 * i);
        m_pos += 4;
        return true;
    }

    bool object(Value& v, bool array, int depth) {
        std::size_t n;
        // Each entry takes at least five bytes, so the count cannot promise more than is left.
        if (!count(n) || n > (m_in.size() - m_pos) / 5 || m_objects.size() >= kMaxObjects)
            return false;
        Object* o = array ? m_vm.newArray() : m_vm.newObject();
        m_objects.push_back(o);
        for (std::size_t i = 0; i < n; ++i) {
            std::string name;
            Value item;
            if (!text(name) || !value(item, depth + 1))
                return false;
            m_vm.set(o, name, item);
        }
        v = o;
        return true;
    }

    Interpreter& m_vm;
    std::string_view m_in;
    std::size_t m_pos = 0;
    std::vector<Object*> m_objects;
};

// The stored form of a shared object: the magic, its key (checked on reading, so two keys
// whose files collide never see each other's data) and its data.
// Reads own fields only, never through accessors: no script runs while the movie goes away.
Value ownField(Object* o, std::string_view name) {
    const Property* p = o->own(name);
    return p && !p->getter ? p->value : Value();
}

bool serialise(Interpreter& vm, Object* so, std::string& out) {
    Writer w(vm);
    w.out.append(kMagic);
    w.text(ownField(so, kKey).isString() ? ownField(so, kKey).string() : std::string());
    if (!w.value(ownField(so, "data"), 0))
        return false;
    out = std::move(w.out);
    return true;
}

Object* restored(Interpreter& vm, const std::string& key, std::string_view bytes) {
    if (!bytes.starts_with(kMagic))
        return nullptr;
    Reader r(vm, bytes.substr(kMagic.size()));
    std::string storedKey;
    Value data;
    if (!r.text(storedKey) || storedKey != key || !r.value(data, 0) || !r.done() || !data.object())
        return nullptr;
    return data.object();
}

SharedObjectStore* store(Interpreter& vm) {
    return vm.host() ? vm.host()->sharedObjects() : nullptr;
}

// Writes the object out; the size written, or -1 when it could not be.
long long save(Interpreter& vm, Object* so) {
    std::string bytes;
    SharedObjectStore* s = store(vm);
    if (!s || !serialise(vm, so, bytes) || bytes.size() > kSizeLimit)
        return -1;
    return s->write(ownField(so, kKey).string(), bytes) ? static_cast<long long>(bytes.size()) : -1;
}

// Names may not hold spaces nor any of ~ % & \ ; : " ' , < > ? #, as in Flash.
bool validName(std::string_view name) {
    return !name.empty() && name.find_first_of(" ~%&\\;:\"',<>?#") == std::string_view::npos;
}

// The movie's address without scheme decoration or query: what localPath must begin with.
std::string moviePath(Interpreter& vm) {
    std::string url = vm.host() ? vm.host()->url() : std::string();
    url = url.substr(0, url.find_first_of("?#"));
    return url.starts_with("file://") ? url.substr(7) : url;
}

// getLocal(name, localPath): the same object for the same name and path all run long; null
// for a bad name or a path that is not a part of the movie's own.
Value getLocal(Interpreter& vm, Object*, std::span<const Value> args) {
    const std::string name = vm.toString(arg(args, 0));
    const std::string movie = moviePath(vm);
    const std::string path = args.size() > 1 && !args[1].isNullish() ? vm.toString(args[1]) : movie;
    if (!validName(name) || !movie.starts_with(path))
        return Value::null();
    const std::string key = path + "\n" + name;
    Object* cache = vm.get(vm.global(), kCache).object();
    if (!cache) {
        cache = vm.newObject();
        vm.define(vm.global(), kCache, cache, kDontEnum | kDontDelete);
    }
    if (Object* known = vm.get(cache, key).object())
        return known;
    Object* so = vm.construct(vm.get(vm.global(), "SharedObject"), {}).object();
    if (!so)
        return Value::null();
    std::string bytes;
    Object* data = nullptr;
    if (SharedObjectStore* s = store(vm); s && s->read(key, bytes))
        data = restored(vm, key, bytes);
    vm.define(so, kKey, key, kDontEnum | kDontDelete | kReadOnly);
    vm.define(so, "data", data ? data : vm.newObject(), kDontDelete);
    vm.set(cache, key, so);
    return so;
}

// flush(minDiskSpace): true once written; false past the size allowance or with no store.
Value flush(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (!self || !vm.has(self, kKey))
        return Value();
    const double wanted = args.empty() ? 0 : vm.toNumber(args[0]);
    if (wanted > static_cast<double>(kSizeLimit))
        return false;
    return save(vm, self) >= 0;
}

Value getSize(Interpreter& vm, Object* self, std::span<const Value>) {
    std::string bytes;
    if (!self || !vm.has(self, kKey) || !serialise(vm, self, bytes))
        return 0;
    return static_cast<double>(bytes.size());
}

Value clear(Interpreter& vm, Object* self, std::span<const Value>) {
    if (!self || !vm.has(self, kKey))
        return Value();
    vm.set(self, "data", vm.newObject());
    if (SharedObjectStore* s = store(vm))
        s->remove(vm.toString(vm.get(self, kKey)));
    return Value();
}

Value construct(Interpreter&, Object*, std::span<const Value>) {
    return Value();
}

} // namespace

void saveSharedObjects(Interpreter& vm) {
    Object* cache = vm.get(vm.global(), kCache).object();
    if (!cache)
        return;
    for (const Property& p : cache->properties())
        if (Object* so = p.value.object())
            save(vm, so);
}

// Flash 6 brought it.
void installSharedObjectBuiltins(Interpreter& vm) {
    if (vm.version() < 6)
        return;
    FunctionObject* cls = defineClass(vm, vm.global(), "SharedObject", construct);
    vm.defineMethod(cls, "getLocal", getLocal);
    Object* proto = vm.get(cls, "prototype").object();
    vm.defineMethod(proto, "flush", flush);
    vm.defineMethod(proto, "getSize", getSize);
    vm.defineMethod(proto, "clear", clear);
}

} // namespace swf::avm1
