#pragma once
// One ABC block (the bytecode of a DoABC tag) as plain data. The parser checks every
// index into the constant pools and every method, class and body reference, so code
// that walks an AbcFile may index its vectors without checking again. Index 0 of each
// pool is the "any"/empty entry, as the format defines.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace swf::avm2 {

enum class NsKind : std::uint8_t {
    Namespace = 0x08,
    Package = 0x16,
    PackageInternal = 0x17,
    Protected = 0x18,
    Explicit = 0x19,
    StaticProtected = 0x1A,
    Private = 0x05,
};

struct NamespaceInfo {
    NsKind kind = NsKind::Package;
    std::uint32_t name = 0; // string index
};

enum class MultinameKind : std::uint8_t {
    QName = 0x07,
    QNameA = 0x0D,
    RTQName = 0x0F,
    RTQNameA = 0x10,
    RTQNameL = 0x11,
    RTQNameLA = 0x12,
    Multiname = 0x09,
    MultinameA = 0x0E,
    MultinameL = 0x1B,
    MultinameLA = 0x1C,
    TypeName = 0x1D,
};

struct MultinameInfo {
    MultinameKind kind = MultinameKind::QName;
    std::uint32_t ns = 0;     // QName
    std::uint32_t name = 0;   // QName, RTQName, Multiname (string index)
    std::uint32_t nsSet = 0;  // Multiname, MultinameL
    std::uint32_t base = 0;   // TypeName: the generic (multiname index)
    std::vector<std::uint32_t> params; // TypeName parameters (multiname indices)

    bool isAttribute() const {
        return kind == MultinameKind::QNameA || kind == MultinameKind::RTQNameA ||
               kind == MultinameKind::RTQNameLA || kind == MultinameKind::MultinameA ||
               kind == MultinameKind::MultinameLA;
    }
    // The name comes from the stack at run time.
    bool hasRuntimeName() const {
        return kind == MultinameKind::RTQNameL || kind == MultinameKind::RTQNameLA ||
               kind == MultinameKind::MultinameL || kind == MultinameKind::MultinameLA;
    }
    // The namespace comes from the stack at run time.
    bool hasRuntimeNamespace() const {
        return kind == MultinameKind::RTQName || kind == MultinameKind::RTQNameA ||
               kind == MultinameKind::RTQNameL || kind == MultinameKind::RTQNameLA;
    }
};

// A constant value as a trait default or an optional parameter: kind (CONSTANT_*) and index.
struct ConstantRef {
    std::uint8_t kind = 0;
    std::uint32_t index = 0;
};

enum MethodFlags : std::uint8_t {
    kNeedArguments = 0x01,
    kNeedActivation = 0x02,
    kNeedRest = 0x04,
    kHasOptional = 0x08,
    kSetDxns = 0x40,
    kHasParamNames = 0x80,
};

struct MethodInfo {
    std::uint32_t returnType = 0;
    std::vector<std::uint32_t> paramTypes;
    std::uint32_t name = 0;
    std::uint8_t flags = 0;
    std::vector<ConstantRef> optional; // defaults of the last optional.size() parameters
    int body = -1;                     // index into AbcFile::bodies, -1 for none (native)
};

enum class TraitKind : std::uint8_t { Slot = 0, Method = 1, Getter = 2, Setter = 3, Class = 4, Function = 5, Const = 6 };

struct TraitInfo {
    std::uint32_t name = 0; // a QName multiname
    TraitKind kind = TraitKind::Slot;
    std::uint8_t attributes = 0; // 1 final, 2 override, 4 metadata
    std::uint32_t slotId = 0;    // slot and const (0: assign the next), also disp_id
    std::uint32_t typeName = 0;  // slot and const
    ConstantRef value;           // slot and const default
    std::uint32_t index = 0;     // method, class or function index
};

enum InstanceFlags : std::uint8_t { kSealed = 0x01, kFinal = 0x02, kInterface = 0x04, kProtectedNs = 0x08 };

struct InstanceInfo {
    std::uint32_t name = 0;
    std::uint32_t superName = 0;
    std::uint8_t flags = 0;
    std::uint32_t protectedNs = 0;
    std::vector<std::uint32_t> interfaces;
    std::uint32_t init = 0; // method index
    std::vector<TraitInfo> traits;
};

struct ClassInfo {
    std::uint32_t init = 0; // method index
    std::vector<TraitInfo> traits;
};

struct ScriptInfo {
    std::uint32_t init = 0;
    std::vector<TraitInfo> traits;
};

struct ExceptionInfo {
    std::uint32_t from = 0, to = 0, target = 0; // byte offsets into the body's code
    std::uint32_t type = 0;                      // multiname, 0: any
    std::uint32_t varName = 0;                   // multiname, 0: none
};

struct MethodBody {
    std::uint32_t method = 0;
    std::uint32_t maxStack = 0;
    std::uint32_t localCount = 0;
    std::uint32_t initScopeDepth = 0;
    std::uint32_t maxScopeDepth = 0;
    std::vector<std::uint8_t> code;
    std::vector<ExceptionInfo> exceptions;
    std::vector<TraitInfo> traits; // of the activation object
};

struct AbcFile {
    std::uint16_t minorVersion = 0;
    std::uint16_t majorVersion = 0;
    std::vector<std::int32_t> ints{0};
    std::vector<std::uint32_t> uints{0};
    std::vector<double> doubles{0};
    std::vector<std::string> strings{""};
    std::vector<NamespaceInfo> namespaces{NamespaceInfo{}};
    std::vector<std::vector<std::uint32_t>> nsSets{{}};
    std::vector<MultinameInfo> multinames{MultinameInfo{}};
    std::vector<MethodInfo> methods;
    std::vector<InstanceInfo> instances; // parallel to classes
    std::vector<ClassInfo> classes;
    std::vector<ScriptInfo> scripts;
    std::vector<MethodBody> bodies;
};

// Parses an ABC block; nullopt with `error` set when anything is out of bounds or
// refers past a pool. Counts are bounded by the bytes that remain.
std::optional<AbcFile> parseAbc(std::span<const std::uint8_t> bytes, std::string& error);

} // namespace swf::avm2
