#pragma once
// The ActionScript 3 machine: the loaded ABC units, the application domain their
// definitions go into, the built-in classes, property access with AS3's lookup order
// (fixed traits, then dynamic properties, then the prototype chain), conversions, and
// the interpreter (Interpreter.cpp). No Qt and no display types here: the host
// (Avm2Host) connects native display classes to the engine's timelines.
//
// Hostile code is the normal case: bodies are decoded and checked before they run,
// stack and scope depths are checked as they grow, calls nest at most kMaxCallDepth
// deep, and every run from the host has an instruction budget after which the script
// is stopped with Flash's timeout error, which scripts cannot catch.

#include "swf/avm2/Abc.h"
#include "swf/avm2/Code.h"
#include "swf/avm2/Object.h"
#include "swf/avm2/Value.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace swf::avm2 {

inline constexpr int kMaxCallDepth = 256;
// Objects and strings alive at once; past this an allocation throws "out of memory".
inline constexpr std::size_t kMaxHeapCells = 4'000'000;
inline constexpr std::size_t kMaxStringBytes = 64u << 20;
inline constexpr std::size_t kMaxTimers = 10'000;
inline constexpr std::size_t kMaxNativeBytes = 512u << 20;

// A value thrown by `throw` or by a failing operation; scripts catch it.
struct ScriptError {
    Value value;
};

// The script ran out of time (or memory): the whole run stops; no script can catch it.
struct ScriptAbort {
    std::string message;
};

struct AbcUnit {
    AbcFile abc;
    int id = 0;
    std::vector<NsKey> nsKeys;                          // per namespace
    std::vector<Name> names;                            // per multiname (runtime parts empty)
    std::vector<std::unique_ptr<DecodedBody>> decoded;  // per body, decoded at first call
    std::vector<ClassObject*> classes;                  // per class, once newclass made it
    std::vector<Object*> globals;                       // per script
    std::vector<bool> scriptStarted;
};

class Machine {
public:
    Machine();
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // --- loading
    // Parses an ABC block and enters its scripts' definitions into the domain. Unless
    // `lazy`, the block's entry script (its last) runs at once. False with `error` when
    // the block is malformed; a script that throws is reported through uncaught().
    bool loadAbc(std::span<const std::uint8_t> bytes, bool lazy, std::string& error);
    // A class by its qualified name ("pkg.Name", "pkg::Name" or "Name"); runs the script
    // that defines it when needed. Null when there is none.
    ClassObject* findClass(const std::string& qualified);

    // --- running (entry points for the host: each catches what the script throws)
    // Constructs an instance; null when the constructor threw (reported).
    Object* constructAndReport(ClassObject* cls, std::span<Value> args = {});
    // Calls a function value; false when it threw (reported).
    bool callAndReport(Value fn, Value self, std::span<Value> args = {});
    // Host code that calls into scripts; inside a running script errors pass to it.
    bool runAndReport(const std::function<void()>& run);
    // Every run from the host gets this many instructions before it is stopped.
    void setInstructionBudget(std::uint64_t n) { m_budget = n; }
    // Asked every few thousand instructions with the seconds the run has taken; a false
    // answer stops the run (the host's Stop or Exit while a script runs away). The host may
    // handle its own events meanwhile, but must not re-enter this machine.
    std::function<bool(double runSeconds)> watch;
    // A movie whose scripts time out this often is runaway: no script of it runs again
    // (Flash's answer to its "script is making the player run slowly" question, taken
    // in favour of stopping).
    static constexpr int kMaxTimeouts = 3;
    // Wall-clock time one run from the host may take, a backstop for instructions that
    // cost far more than most (the budget counts instructions, not their cost).
    static constexpr double kMaxRunSeconds = 3.0;
    bool scriptsStopped() const { return m_timeouts >= kMaxTimeouts; }
    // Called every 4096 instructions: throws ScriptAbort when the run must stop.
    void checkpoint();
    // The run's instruction budget is spent: counts a time-out and throws Flash's error.
    [[noreturn]] void timedOut();
    std::uint64_t instructionsExecuted() const { return m_executedTotal; }

    // Bytes that native objects (byte arrays, bitmap pixels) hold, counted against kMaxNativeBytes: past
    // it the script is stopped with "out of memory".
    void holdNativeBytes(std::size_t n) {
        if (n > kMaxNativeBytes - m_nativeBytes)
            throw ScriptAbort{"Error #1000: The system is out of memory."};
        m_nativeBytes += n;
    }
    void releaseNativeBytes(std::size_t n) { m_nativeBytes -= std::min(n, m_nativeBytes); }

    // --- output
    std::function<void(const std::string&)> traceSink;
    void trace(const std::string& line);
    // Milliseconds since the movie started (getTimer); set by the host.
    double timeMs = 0;
    // What `new Date()` gives at movie time 0, ms since 1970 (2000-01-01T00:00:00Z unless the host says).
    double dateOriginMs = 946684800000.0;

    // --- timers (setTimeout, setInterval, flash.utils.Timer)
    // Calls fn(args) once `delayMs` from now, or every `delayMs` when `repeat`; the id
    // cancels it. At most kMaxTimers wait at once; past that nothing is scheduled (0).
    std::uint32_t schedule(Value fn, std::vector<Value> args, double delayMs, bool repeat);
    void cancel(std::uint32_t id);
    // Runs what is due at timeMs, each at most once per call, earliest first (the host
    // calls this once a frame); errors are reported.
    void runTimers();

    // --- values (may run script code: valueOf, toString, getters)
    const std::string* str(std::string s);
    const std::string* internedEmpty() const { return m_empty; }
    Value string(std::string s) { return Value::string(str(std::move(s))); }
    std::string toString(Value v);
    double toNumber(Value v);
    bool toBoolean(Value v);
    std::int32_t toInt(Value v) { return v.tag == Tag::Int ? v.i : doubleToInt32(toNumber(v)); }
    std::uint32_t toUint(Value v) { return v.tag == Tag::UInt ? v.u : doubleToUint32(toNumber(v)); }
    Value toPrimitive(Value v, bool preferString);
    Value toObject(Value v);
    std::string typeOf(Value v);
    static Value numberValue(double d); // int when it is one, else Number
    bool strictEquals(Value a, Value b);
    bool looseEquals(Value a, Value b);
    // a < b: 1 true, 0 false, -1 undefined (NaN involved)
    int lessThan(Value a, Value b);
    Value add(Value a, Value b);

    // --- objects and properties
    Object* newObject();
    // Takes a natively made object (a host's subclass) into the heap.
    Object* adopt(std::unique_ptr<Object> object);
    ArrayObject* newArray(std::vector<Value> elements = {});
    Function* newNative(const std::string& name, NativeFn fn, std::uint32_t length = 0);
    Value construct(Value ctor, std::span<Value> args);
    Object* constructInstance(ClassObject* cls, std::span<Value> args);
    // The storage of a new instance with its slots at their defaults; no constructor run.
    Object* allocateInstance(ClassObject* cls);
    Value call(Value fn, Value self, std::span<Value> args);
    Value getProperty(Value obj, const Name& name);
    void setProperty(Value obj, const Name& name, Value v, bool init = false);
    bool deleteProperty(Value obj, const Name& name);
    bool hasProperty(Value obj, const Name& name);
    Value callProperty(Value obj, const Name& name, std::span<Value> args, bool lex = false);
    static Name publicName(std::string local);
    ClassObject* classOf(Value v);
    bool isType(Value v, ClassObject* type);
    std::string className(Value v); // for messages and getQualifiedClassName

    // --- errors
    [[noreturn]] void throwError(ClassObject* type, int id, const std::string& message);
    [[noreturn]] void typeError(int id, const std::string& message) { throwError(typeErrorClass, id, message); }
    [[noreturn]] void referenceError(int id, const std::string& message) { throwError(referenceErrorClass, id, message); }
    [[noreturn]] void rangeError(int id, const std::string& message) { throwError(rangeErrorClass, id, message); }
    [[noreturn]] void verifyError(const std::string& message);
    // What the host does with an uncaught error: by default it is traced.
    std::function<void(const std::string&)> onUncaught;

    // --- built-in classes (Builtins*.cpp)
    ClassObject *objectClass = nullptr, *functionClass = nullptr, *classClass = nullptr, *arrayClass = nullptr,
                *stringClass = nullptr, *numberClass = nullptr, *intClass = nullptr, *uintClass = nullptr,
                *booleanClass = nullptr, *errorClass = nullptr, *typeErrorClass = nullptr,
                *referenceErrorClass = nullptr, *rangeErrorClass = nullptr, *argumentErrorClass = nullptr,
                *verifyErrorClass = nullptr, *namespaceClass = nullptr, *qnameClass = nullptr,
                *xmlClass = nullptr, *xmlListClass = nullptr;
    // Defines a native class in `package` with `super` (null: Object) in the domain.
    ClassObject* defineNativeClass(const std::string& package, const std::string& name, ClassObject* super);
    // The same without entering it in the domain (classes made at run time).
    ClassObject* makeNativeClass(const std::string& package, const std::string& name, ClassObject* super);
    // Vector.<T>: the class of vectors of `element` (null for *), made once per type.
    ClassObject* vectorOf(ClassObject* element);
    ClassObject* vectorClass = nullptr;
    // Native members: instance methods/getters/setters go into the class's instance traits
    // (public and AS3 namespaces), statics into its static traits.
    void defineMethod(ClassObject* cls, const std::string& name, NativeFn fn, std::uint32_t length = 0);
    void defineGetter(ClassObject* cls, const std::string& name, NativeFn fn);
    void defineSetter(ClassObject* cls, const std::string& name, NativeFn fn);
    void defineStatic(ClassObject* cls, const std::string& name, Value v);
    void defineStaticMethod(ClassObject* cls, const std::string& name, NativeFn fn, std::uint32_t length = 0);
    void defineGlobal(const std::string& package, const std::string& name, Value v);
    Object* builtinGlobal() { return m_builtinGlobal; }
    double nextRandom(); // Math.random: a fixed-seed generator so runs repeat
    // QName objects (BuiltinProxy.cpp), and calls of a Proxy's flash_proxy methods.
    Value qualifiedName(const std::string& uri, const std::string& local);
    Value proxyName(const Name& name);
    Value proxyCall(Object* proxy, const char* method, std::span<Value> args);
    // flash.net.registerClassAlias: the classes AMF names by alias.
    std::unordered_map<std::string, ClassObject*> classAliases;

private:
    friend class Interpreter;
    struct DomainEntry {
        NsKey ns;
        Object* holder = nullptr;
        AbcUnit* unit = nullptr; // script to run before the holder is used
        std::uint32_t script = 0;
    };

    template <typename T>
    T* allocate();
    void countCell();
    Traits* newTraits();
    void installBuiltins();
    void enter(AbcUnit& unit, std::uint32_t script);
    void runScript(AbcUnit& unit, std::uint32_t script);
    Object* findInDomain(const Name& name);
    Binding* findTrait(Object* obj, const Name& name);
    Value readBinding(Object* obj, Binding& b, Value self);
    void writeBinding(Object* obj, Binding& b, Value self, Value v, const Name& name, bool init);
    void report(const ScriptError& e);
    template <typename F>
    bool guarded(F&& run);

public:
    // --- used by the interpreter
    Value runMethod(Function* f, Value self, std::span<Value> args);
    Function* makeMethod(AbcUnit& unit, std::uint32_t method, std::vector<Value> scope,
                         std::vector<bool> withScope, ClassObject* owner);
    ClassObject* newClass(AbcUnit& unit, std::uint32_t index, Value base, const std::vector<Value>& scope,
                          const std::vector<bool>& withScope);
    void applyTraits(AbcUnit& unit, const std::vector<TraitInfo>& traits, Traits& into, ClassObject* owner,
                     const std::vector<Value>& scope, const std::vector<bool>& withScope, Object* classStatics);
    Value constantValue(AbcUnit& unit, const ConstantRef& c);
    Name runtimeName(AbcUnit& unit, std::uint32_t multiname, Value* runtimeLocal, Value* runtimeNs);
    ClassObject* resolveType(AbcUnit& unit, std::uint32_t multiname);
    Value coerceTo(Value v, ClassObject* type);
    Object* findProperty(const Name& name, const std::vector<Value>& scope, const std::vector<bool>& withScope,
                         std::size_t localBase, bool strict);
    std::vector<std::string> enumerate(Object* obj);
    // The same, cached for a loop that steps through it (valid until the next call).
    const std::vector<std::string>& enumerationOf(Object* obj);
    const DecodedBody& decoded(AbcUnit& unit, std::uint32_t body);
    Object* newActivation(AbcUnit& unit, const MethodBody& body);
    int depth = 0;
    std::uint64_t budgetLeft = 0;

private:
    std::vector<std::unique_ptr<AbcUnit>> m_units;
    std::unordered_map<std::string, std::vector<DomainEntry>> m_domain;
    std::vector<std::unique_ptr<Object>> m_heap;
    std::vector<std::unique_ptr<Traits>> m_traits; // of script globals and activations
    std::deque<std::string> m_strings;
    std::size_t m_stringBytes = 0;
    const std::string* m_empty = nullptr;
    Object* m_builtinGlobal = nullptr;
    Traits m_builtinTraits;
    std::uint64_t m_budget = 200'000'000;
    std::size_t m_nativeBytes = 0;
    std::uint64_t m_executedTotal = 0;
    std::chrono::steady_clock::time_point m_runStart;
    int m_timeouts = 0;
    std::uint64_t m_random = 0x2545F4914F6CDD1Dull;
    // The names of the object a for-in loop walks, kept while it does not change, so each
    // step costs no more than one lookup.
    struct EnumCache {
        Object* object = nullptr;
        std::uint32_t version = 0;
        std::size_t elements = 0;
        std::vector<std::string> names;
    } m_enumCache;
    std::unordered_map<ClassObject*, ClassObject*> m_vectorTypes;
    struct PendingCall {
        std::uint32_t id = 0;
        double due = 0;
        double interval = 0;
        bool repeat = false;
        Value fn;
        std::vector<Value> args;
    };
    std::vector<PendingCall> m_timers;
    std::uint32_t m_nextTimer = 1;
};

template <typename T>
T* Machine::allocate() {
    countCell();
    auto owned = std::make_unique<T>();
    T* raw = owned.get();
    m_heap.push_back(std::move(owned));
    return raw;
}

// The native object of type T behind a value, or null.
template <typename T>
T* nativeOf(Value v) {
    return v.isObject() ? dynamic_cast<T*>(v.o) : nullptr;
}

// The same, or a TypeError (#1034) naming `className` when the value is no T.
template <typename T>
T& requireNative(Machine& m, Value v, const char* className) {
    T* t = nativeOf<T>(v);
    if (!t)
        m.typeError(1034, "Type Coercion failed: cannot convert " + m.className(v) + " to " + className + ".");
    return *t;
}

// Namespace URIs the compiler uses for built-in members.
inline const NsKey kAs3Ns = "http://adobe.com/AS3/2006/builtin";
inline const NsKey kProxyNs = "http://www.adobe.com/2006/actionscript/flash/proxy";

// A position as slice(), substr() and splice() read it: negative counts from the end,
// the result is clamped to [0, size]; `fallback` when v is undefined.
std::size_t relativeIndex(Machine& m, Value v, std::size_t size, std::size_t fallback);

void installCoreBuiltins(Machine& m);   // Object, Function, Class, Boolean, Number, int, uint, Error, globals
void installStringBuiltins(Machine& m); // String
void installArrayBuiltins(Machine& m);  // Array
void installMathBuiltins(Machine& m);   // Math, flash.utils
void installVectorBuiltins(Machine& m); // Vector
void installUtilsBuiltins(Machine& m);  // Dictionary, setTimeout and friends
void installJsonBuiltins(Machine& m);   // JSON
void installDateBuiltins(Machine& m);   // Date
void installGeomBuiltins(Machine& m);   // flash.geom: Point, Rectangle, Matrix
void installRegExpBuiltins(Machine& m); // RegExp, and String's match, replace, search and split by pattern
void installByteArrayBuiltins(Machine& m); // flash.utils: ByteArray, Endian, CompressionAlgorithm
void installProxyBuiltins(Machine& m);  // QName, flash.utils.Proxy
void installSystemBuiltins(Machine& m); // flash.system, flash.external, named constants
void installXmlBuiltins(Machine& m);    // XML, XMLList (Xml.h)
void installDescribeBuiltins(Machine& m); // flash.utils.describeType (after XML)
// A new flash.utils.ByteArray holding `bytes` (position 0).
Value newByteArray(Machine& m, std::vector<std::uint8_t> bytes);
// Replaces the bytes of a ByteArray value (position 0); false when it is none.
bool assignByteArray(Machine& m, Value v, std::vector<std::uint8_t> bytes);
// The bytes of a ByteArray value; null when it is none.
const std::vector<std::uint8_t>* byteArrayBytes(Value v);
// A new Date at `ms` since 1970; the time of a Date value (false when it is none).
Value newDate(Machine& m, double ms);
bool dateTimeOf(Value v, double& ms);

} // namespace swf::avm2
