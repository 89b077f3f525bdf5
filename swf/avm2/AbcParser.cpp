#include "swf/avm2/Abc.h"

#include "swf/io/ByteReader.h"

#include <stdexcept>

namespace swf::avm2 {
namespace {

struct AbcError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Parser {
public:
    explicit Parser(std::span<const std::uint8_t> bytes) : r(bytes) {}

    AbcFile parse() {
        abc.minorVersion = r.u16();
        abc.majorVersion = r.u16();
        readPools();
        readMethods();
        readMetadata();
        std::uint32_t classCount = count("class");
        abc.instances.reserve(classCount);
        for (std::uint32_t i = 0; i < classCount; ++i)
            abc.instances.push_back(readInstance());
        abc.classes.reserve(classCount);
        for (std::uint32_t i = 0; i < classCount; ++i) {
            ClassInfo c;
            c.init = methodIndex();
            c.traits = readTraits();
            abc.classes.push_back(std::move(c));
        }
        std::uint32_t scriptCount = count("script");
        for (std::uint32_t i = 0; i < scriptCount; ++i) {
            ScriptInfo s;
            s.init = methodIndex();
            s.traits = readTraits();
            abc.scripts.push_back(std::move(s));
        }
        readBodies();
        checkLateReferences();
        if (!r.ok())
            throw AbcError("ABC block ends early");
        return std::move(abc);
    }

private:
    std::uint32_t u30() {
        std::uint32_t v = r.encodedU32();
        check();
        return v;
    }
    void check() {
        if (!r.ok())
            throw AbcError("ABC block ends early");
    }
    // A count of entries that each take at least one byte: never more than what remains.
    std::uint32_t count(const char* what) {
        std::uint32_t n = u30();
        if (n > r.remaining())
            throw AbcError(std::string("ABC ") + what + " count larger than the block");
        return n;
    }
    // A pool count stores one more than the entries it holds (entry 0 is implied).
    std::uint32_t poolCount(const char* what) {
        std::uint32_t n = count(what);
        return n == 0 ? 0 : n - 1;
    }
    std::uint32_t index(std::size_t poolSize, const char* what) {
        std::uint32_t i = u30();
        if (i >= poolSize)
            throw AbcError(std::string("ABC ") + what + " index out of range");
        return i;
    }
    std::uint32_t stringIndex() { return index(abc.strings.size(), "string"); }
    std::uint32_t multinameIndex() { return index(abc.multinames.size(), "multiname"); }
    std::uint32_t methodIndex() { return index(abc.methods.size(), "method"); }

    void readPools() {
        for (std::uint32_t i = 0, n = poolCount("int"); i < n; ++i)
            abc.ints.push_back(static_cast<std::int32_t>(u30()));
        for (std::uint32_t i = 0, n = poolCount("uint"); i < n; ++i)
            abc.uints.push_back(u30());
        std::uint32_t doubles = u30();
        if (doubles > 0 && (doubles - 1) > r.remaining() / 8)
            throw AbcError("ABC double count larger than the block");
        for (std::uint32_t i = 1; i < doubles; ++i)
            abc.doubles.push_back(r.f64());
        check();
        for (std::uint32_t i = 0, n = poolCount("string"); i < n; ++i) {
            std::uint32_t length = u30();
            if (length > r.remaining())
                throw AbcError("ABC string runs past the block");
            auto bytes = r.data().subspan(r.position(), length);
            r.skip(length);
            abc.strings.emplace_back(bytes.begin(), bytes.end());
        }
        for (std::uint32_t i = 0, n = poolCount("namespace"); i < n; ++i) {
            NamespaceInfo ns;
            std::uint8_t kind = r.u8();
            switch (kind) {
            case 0x08: case 0x16: case 0x17: case 0x18: case 0x19: case 0x1A: case 0x05:
                ns.kind = static_cast<NsKind>(kind);
                break;
            default:
                throw AbcError("ABC namespace of unknown kind");
            }
            ns.name = stringIndex();
            abc.namespaces.push_back(ns);
        }
        for (std::uint32_t i = 0, n = poolCount("namespace set"); i < n; ++i) {
            std::vector<std::uint32_t> set;
            for (std::uint32_t k = 0, m = count("namespace set"); k < m; ++k) {
                std::uint32_t ns = index(abc.namespaces.size(), "namespace");
                if (ns == 0)
                    throw AbcError("ABC namespace set holds namespace 0");
                set.push_back(ns);
            }
            abc.nsSets.push_back(std::move(set));
        }
        std::uint32_t multinames = poolCount("multiname");
        abc.multinames.reserve(multinames + 1);
        for (std::uint32_t i = 0; i < multinames; ++i)
            abc.multinames.push_back(readMultiname());
    }

    MultinameInfo readMultiname() {
        MultinameInfo m;
        std::uint8_t kind = r.u8();
        check();
        m.kind = static_cast<MultinameKind>(kind);
        switch (m.kind) {
        case MultinameKind::QName:
        case MultinameKind::QNameA:
            m.ns = index(abc.namespaces.size(), "namespace");
            m.name = stringIndex();
            break;
        case MultinameKind::RTQName:
        case MultinameKind::RTQNameA:
            m.name = stringIndex();
            break;
        case MultinameKind::RTQNameL:
        case MultinameKind::RTQNameLA:
            break;
        case MultinameKind::Multiname:
        case MultinameKind::MultinameA:
            m.name = stringIndex();
            m.nsSet = index(abc.nsSets.size(), "namespace set");
            if (m.nsSet == 0)
                throw AbcError("ABC multiname without a namespace set");
            break;
        case MultinameKind::MultinameL:
        case MultinameKind::MultinameLA:
            m.nsSet = index(abc.nsSets.size(), "namespace set");
            if (m.nsSet == 0)
                throw AbcError("ABC multiname without a namespace set");
            break;
        case MultinameKind::TypeName: {
            // Parameters may refer forward, so they are checked once the pool is complete.
            m.base = u30();
            for (std::uint32_t k = 0, n = count("type parameter"); k < n; ++k)
                m.params.push_back(u30());
            break;
        }
        default:
            throw AbcError("ABC multiname of unknown kind");
        }
        return m;
    }

    ConstantRef readConstant(std::uint32_t valueIndex, std::uint8_t kind) {
        ConstantRef c{kind, valueIndex};
        std::size_t size = 0;
        switch (kind) {
        case 0x03: size = abc.ints.size(); break;      // int
        case 0x04: size = abc.uints.size(); break;     // uint
        case 0x06: size = abc.doubles.size(); break;   // double
        case 0x01: size = abc.strings.size(); break;   // utf8
        case 0x0B: case 0x0A: case 0x0C: case 0x00:    // true, false, null, undefined
            return c;
        case 0x08: case 0x16: case 0x17: case 0x18: case 0x19: case 0x1A: case 0x05:
            size = abc.namespaces.size();
            break;
        default:
            throw AbcError("ABC constant of unknown kind");
        }
        if (valueIndex >= size)
            throw AbcError("ABC constant index out of range");
        return c;
    }

    void readMethods() {
        std::uint32_t n = count("method");
        abc.methods.reserve(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            MethodInfo m;
            std::uint32_t params = count("parameter");
            m.returnType = multinameIndex();
            for (std::uint32_t p = 0; p < params; ++p)
                m.paramTypes.push_back(multinameIndex());
            m.name = stringIndex();
            m.flags = r.u8();
            check();
            if (m.flags & kHasOptional) {
                std::uint32_t options = count("optional parameter");
                if (options > params)
                    throw AbcError("ABC method has more defaults than parameters");
                for (std::uint32_t o = 0; o < options; ++o) {
                    std::uint32_t value = u30();
                    std::uint8_t kind = r.u8();
                    check();
                    m.optional.push_back(readConstant(value, kind));
                }
            }
            if (m.flags & kHasParamNames) {
                for (std::uint32_t p = 0; p < params; ++p)
                    stringIndex();
            }
            abc.methods.push_back(std::move(m));
        }
    }

    void readMetadata() {
        for (std::uint32_t i = 0, n = count("metadata"); i < n; ++i) {
            stringIndex();
            std::uint32_t items = count("metadata item");
            for (std::uint32_t k = 0; k < items * 2; ++k)
                stringIndex();
        }
    }

    std::uint32_t qnameIndex() {
        std::uint32_t i = multinameIndex();
        auto kind = abc.multinames[i].kind;
        if (i == 0 || (kind != MultinameKind::QName && kind != MultinameKind::QNameA))
            throw AbcError("ABC trait or class name is not a QName");
        return i;
    }

    std::vector<TraitInfo> readTraits() {
        std::vector<TraitInfo> traits;
        for (std::uint32_t i = 0, n = count("trait"); i < n; ++i) {
            TraitInfo t;
            t.name = qnameIndex();
            std::uint8_t tag = r.u8();
            check();
            std::uint8_t kind = tag & 0x0F;
            if (kind > 6)
                throw AbcError("ABC trait of unknown kind");
            t.kind = static_cast<TraitKind>(kind);
            t.attributes = tag >> 4;
            switch (t.kind) {
            case TraitKind::Slot:
            case TraitKind::Const: {
                t.slotId = u30();
                t.typeName = multinameIndex();
                std::uint32_t value = u30();
                if (value != 0) {
                    std::uint8_t vkind = r.u8();
                    check();
                    t.value = readConstant(value, vkind);
                }
                break;
            }
            case TraitKind::Class:
                t.slotId = u30();
                t.index = u30(); // checked once every class is read
                break;
            case TraitKind::Function:
                t.slotId = u30();
                t.index = methodIndex();
                break;
            default:
                t.slotId = u30();
                t.index = methodIndex();
                break;
            }
            if (t.attributes & 0x04) {
                for (std::uint32_t k = 0, m = count("trait metadata"); k < m; ++k)
                    u30();
            }
            traits.push_back(t);
        }
        return traits;
    }

    InstanceInfo readInstance() {
        InstanceInfo inst;
        inst.name = qnameIndex();
        inst.superName = multinameIndex();
        inst.flags = r.u8();
        check();
        if (inst.flags & kProtectedNs)
            inst.protectedNs = index(abc.namespaces.size(), "namespace");
        for (std::uint32_t k = 0, n = count("interface"); k < n; ++k)
            inst.interfaces.push_back(multinameIndex());
        inst.init = methodIndex();
        inst.traits = readTraits();
        return inst;
    }

    void readBodies() {
        for (std::uint32_t i = 0, n = count("method body"); i < n; ++i) {
            MethodBody b;
            b.method = methodIndex();
            b.maxStack = u30();
            b.localCount = u30();
            b.initScopeDepth = u30();
            b.maxScopeDepth = u30();
            std::uint32_t length = u30();
            if (length > r.remaining())
                throw AbcError("ABC method body runs past the block");
            auto code = r.data().subspan(r.position(), length);
            r.skip(length);
            b.code.assign(code.begin(), code.end());
            for (std::uint32_t k = 0, m = count("exception"); k < m; ++k) {
                ExceptionInfo e;
                e.from = u30();
                e.to = u30();
                e.target = u30();
                e.type = multinameIndex();
                e.varName = multinameIndex();
                if (e.from > e.to || e.to > length || e.target >= length)
                    throw AbcError("ABC exception range outside its method body");
                b.exceptions.push_back(e);
            }
            b.traits = readTraits();
            if (abc.methods[b.method].body >= 0)
                throw AbcError("ABC method with two bodies");
            abc.methods[b.method].body = static_cast<int>(abc.bodies.size());
            abc.bodies.push_back(std::move(b));
        }
    }

    void checkTraitClasses(const std::vector<TraitInfo>& traits) {
        for (const auto& t : traits)
            if (t.kind == TraitKind::Class && t.index >= abc.classes.size())
                throw AbcError("ABC class trait refers to a missing class");
    }

    void checkLateReferences() {
        for (const auto& m : abc.multinames) {
            if (m.kind != MultinameKind::TypeName)
                continue;
            if (m.base >= abc.multinames.size())
                throw AbcError("ABC type name refers past the multinames");
            for (auto p : m.params)
                if (p >= abc.multinames.size())
                    throw AbcError("ABC type parameter refers past the multinames");
        }
        for (const auto& i : abc.instances)
            checkTraitClasses(i.traits);
        for (const auto& c : abc.classes)
            checkTraitClasses(c.traits);
        for (const auto& s : abc.scripts)
            checkTraitClasses(s.traits);
        for (const auto& b : abc.bodies)
            checkTraitClasses(b.traits);
    }

    io::ByteReader r;
    AbcFile abc;
};

} // namespace

std::optional<AbcFile> parseAbc(std::span<const std::uint8_t> bytes, std::string& error) {
    try {
        return Parser(bytes).parse();
    } catch (const AbcError& e) {
        error = e.what();
        return std::nullopt;
    }
}

} // namespace swf::avm2
