#pragma once
// The ActionScript 1/2 virtual machine: runs action blocks against a ClipHost,
// owns every script object, and keeps script failures inside itself (a throw that
// nobody catches, a runaway loop or too deep a recursion ends the block; the host
// never sees an exception).

#include "ClipHost.h"
#include "Object.h"
#include "Value.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace swf::avm1 {

struct Limits {
    // Actions per top-level block: the player's 15-second script timeout, counted in
    // actions so that output does not depend on the machine (about 1.5 s here).
    std::uint64_t maxActions = 10'000'000;
    // Wall-clock script time per frame, for blocks whose actions cost far more than
    // usual: once spent, every block of the frame is stopped.
    double maxSecondsPerFrame = 3.0;
    // A movie whose scripts hit the time limit this many times is runaway: its
    // scripts are not run any more (the timeline plays on).
    int maxTimeouts = 3;
    // trace() text over the whole run; later lines are dropped.
    std::size_t maxTraceBytes = 8u << 20;
    int maxRecursion = 256;
    std::size_t maxStack = 1u << 20;        // values
    std::size_t maxStringBytes = 16u << 20; // longest string a script may build
    std::size_t maxArrayLength = 1u << 22;
    // Live objects; garbage is only collected between blocks, so a block that keeps
    // allocating is stopped here.
    std::size_t maxObjects = 4u << 20;
    std::size_t maxNesting = 64; // With/Try blocks inside one another
    // Machine stack a block may use; reached before maxRecursion only in builds
    // with very large frames (sanitizers), where it keeps deep scripts from crashing.
    std::size_t maxStackBytes = 3u << 20;
};

enum class Outcome { Completed, Thrown, Aborted };

class Interpreter {
public:
    // `host` may be null: clip actions then do nothing.
    Interpreter(int swfVersion, ClipHost* host);
    ~Interpreter();
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    int version() const { return m_version; }
    // The host switches to a loaded movie's version while that movie's code runs. Names keep
    // the level-0 movie's case rule: every object's keys were made by it.
    void setVersion(int swfVersion) { m_version = swfVersion; }
    bool caseSensitive() const { return m_caseSensitive; }
    ClipHost* host() const { return m_host; }

    // --- Host side -------------------------------------------------------------------
    void setTraceSink(std::function<void(const std::string&)> sink) { m_trace = std::move(sink); }
    // Milliseconds since the movie started; getTimer, Date and intervals read it.
    void setTime(double ms);
    double time() const { return m_timeMs; }
    // Wall-clock time (ms since 1970, UTC) that corresponds to time() == 0.
    void setDateOrigin(double epochMs) { m_dateOrigin = epochMs; }
    double now() const { return m_dateOrigin + m_timeMs; }
    void setLimits(const Limits& limits) { m_limits = limits; }
    const Limits& limits() const { return m_limits; }
    // The ScriptLimits tag: recursion depth and timeout (turned into an action budget).
    void setScriptLimits(int maxRecursion, int timeoutSeconds);
    // Asked every few thousand actions with the seconds the running block has taken; a
    // false answer stops the block (the host's Stop or Exit while a script runs away).
    // The host may handle its own events meanwhile, but must not re-enter this machine.
    void setWatch(std::function<bool(double blockSeconds)> watch) { m_watch = std::move(watch); }
    void setRandomSeed(std::uint32_t seed) { m_random = seed ? seed : 1; }

    // Runs one action block (DoAction, DoInitAction, a clip event) on `target`.
    Outcome run(std::span<const std::uint8_t> actions, ClipId target);
    // Calls a clip's handler (onEnterFrame, onLoad, ...) if it has one.
    bool callHandler(ClipId clip, std::string_view name, std::span<const Value> args = {});
    bool callHandler(Object* object, std::string_view name, std::span<const Value> args = {});
    // A clip of a symbol with a class registered (Object.registerClass) takes that
    // class: its prototype, then the constructor and onLoad run on it. False when
    // no class is registered for `linkage`.
    bool constructClip(ClipId clip, std::string_view linkage);
    bool hasRegisteredClasses();
    // Sends `message` to every listener of a broadcaster (an object AsBroadcaster set
    // up: Key, Mouse, ...), the way broadcastMessage does; usable outside a block.
    void broadcast(Object* source, std::string_view message, std::span<const Value> args);
    // Calls the intervals that are due at time().
    void runIntervals();
    // Calls a script function from outside any action block (timers, sound events).
    void callFromHost(const Value& function, const Value& thisValue, std::span<const Value> args);
    // The clip left the stage: its script object no longer reaches it.
    void clipRemoved(ClipId clip);
    // A load put `to` in `from`'s place: scripts holding the clip now reach the new one,
    // which starts without the old one's properties.
    void clipReplaced(ClipId from, ClipId to);
    // Frees objects no script can reach; only between blocks.
    void collectGarbage();
    std::size_t objectCount() const { return m_heap.size(); }
    const std::string& lastError() const { return m_lastError; }
    // Scripts stopped for good after repeated time-outs (Limits::maxTimeouts).
    bool scriptsDisabled() const { return m_timeouts >= m_limits.maxTimeouts; }

    // --- For built-ins -----------------------------------------------------------------
    Object* global() const { return m_global; }
    std::string key(std::string_view name) const {
        return caseSensitive() ? std::string(name) : asciiLower(name);
    }

    Value get(Object* object, std::string_view name);
    Value get(const Value& value, std::string_view name);
    void set(Object* object, std::string_view name, Value value);
    bool has(Object* object, std::string_view name);
    bool remove(Object* object, std::string_view name);
    // Defines a property directly (no setters, no watchers).
    void define(Object* object, std::string_view name, Value value, PropFlags flags = 0);
    // An own property by lookup key, unless this movie's version may not see it.
    Property* visibleOwn(Object* object, std::string_view key) const {
        Property* p = object->own(key);
        return p && visibleToVersion(p->flags, m_version) ? p : nullptr;
    }
    void defineMethod(Object* object, std::string_view name, NativeFn fn, PropFlags flags = kDontEnum | kDontDelete);

    Value call(const Value& function, const Value& thisValue, std::span<const Value> args,
               Object* base = nullptr);
    Value callMethod(const Value& object, std::string_view name, std::span<const Value> args);
    Value construct(const Value& constructor, std::span<const Value> args);
    bool isCallable(const Value& v) const;

    double toNumber(const Value& v);
    std::string toString(const Value& v);
    bool toBoolean(const Value& v);
    Value toPrimitive(const Value& v, bool preferString = false);
    Value add(const Value& a, const Value& b); // the + operator
    std::string concatText(const Value& v);    // an operand of + next to a string
    Object* toObject(const Value& v); // boxes primitives; null for undefined/null
    std::string typeOf(const Value& v);
    bool looseEquals(const Value& a, const Value& b);
    bool strictEquals(const Value& a, const Value& b) const;
    bool instanceOf(Object* object, Object* constructor);

    Object* newObject();
    Object* newObject(Object* proto);
    // addProperty was used: assignments must look for setters up the chain.
    void noteAccessors() { m_hasAccessors = true; }
    ArrayObject* newArray(std::vector<Value> elements = {});
    FunctionObject* newNative(NativeFn fn, Object* prototype = nullptr);
    void setFunctionClass(FunctionObject* function);
    BoxObject* newBox(Object* proto, Value primitive);
    // Takes a built-in's own object kind (native state beside its properties).
    void adopt(std::unique_ptr<Object> object);
    ClipObject* clipObject(ClipId clip); // null when the clip is gone
    // Text field script objects are kept while their field lives, so a field is the same
    // object on every lookup and keeps what scripts put on it.
    Object* fieldObject(std::uint64_t serial) const {
        auto it = m_fields.find(serial);
        return it == m_fields.end() ? nullptr : it->second.second;
    }
    void keepFieldObject(const FieldRef& ref, Object* o) { m_fields[ref.serial] = {ref, o}; }
    bool hasClipObject(ClipId clip) const { return m_clips.count(clip) != 0; }
    std::string clipPath(ClipId clip);      // "_level0.a.b"
    std::string clipSlashPath(ClipId clip); // "/a/b", "_level1/a/b"
    // _root as code of `clip` sees it: the nearest clip from it up whose _lockroot is set,
    // else the root of its level.
    ClipId rootFor(ClipId clip);
    // The root of the level a "_levelN" name names (null when the name is not one or the
    // level is empty).
    Object* levelObject(std::string_view name);
    // The N of a "_levelN" name (any case, digits only); false for other names.
    static bool levelNumber(std::string_view name, int& n);
    Object* resolveTarget(const Value& target, ClipId base);

    // Natives signal a script-level throw or a hard stop this way.
    void throwValue(Value v);
    void throwError(const std::string& message);
    void abort(const std::string& reason);
    bool failing() const { return m_pending != Pending::None; }
    // Guards against strings that would blow memory; aborts and returns false.
    bool checkStringSize(std::size_t bytes);
    bool checkArraySize(std::size_t length);

    void trace(const std::string& line) {
        if (!m_trace || m_traceBytes + line.size() + 1 > m_limits.maxTraceBytes)
            return;
        m_traceBytes += line.size() + 1;
        m_trace(line);
    }
    std::uint32_t nextRandom();

    // `once`: a setTimeout, dropped when it has run.
    std::uint32_t addInterval(Value function, Value thisValue, std::string method, double periodMs,
                              std::vector<Value> args, bool once = false);
    void clearInterval(std::uint32_t id);

    // Built-in prototypes.
    Object* objectProto = nullptr;
    Object* functionProto = nullptr;
    FunctionObject* functionClass = nullptr; // every function's `constructor`
    Object* arrayProto = nullptr;
    Object* stringProto = nullptr;
    Object* numberProto = nullptr;
    Object* booleanProto = nullptr;
    Object* dateProto = nullptr;
    Object* clipProto = nullptr;
    Object* errorProto = nullptr;

    // True inside a native constructor called by `new` for this receiver.
    bool isConstructing(const Object* self) const { return self && self == m_constructing; }
    // True when the innermost running script function was called by `new`.
    bool scriptConstructed() const;

    // Native-function context: the timeline of the running code.
    ClipId currentTarget() const;

private:
    struct Frame;
    struct Payload;
    enum class Completion { Normal, End, Return, Throw, Abort, Jump };
    enum class Pending { None, Throw, Abort };

    template <class T, class... Args> T* allocate(Args&&... args);

    Outcome runBlock(std::shared_ptr<const std::vector<std::uint8_t>> buffer, ClipId target);
    Completion execute(Frame& f, std::size_t begin, std::size_t end);
    Value callScript(FunctionObject* fn, const Value& thisValue, std::span<const Value> args, Object* base);
    Value getVariable(Frame& f, std::string_view name);
    void setVariable(Frame& f, std::string_view name, Value value);
    void setOnScopeChain(Frame& f, std::string_view name, Value value);
    bool lookupScoped(Frame& f, std::string_view name, Value& out);
    Object* resolvePath(Frame& f, std::string_view path, bool fromTimeline = false);
    Object* variableTarget(Frame& f, std::string_view path);
    Object* childClip(Object* o, std::string_view name);
    Value pathHead(Frame& f, std::string_view name);
    Object* scopeObject(Frame& f, const Scope* s);
    Value getMember(Object* o, std::string_view name, Object* receiver);
    Value lookup(Object* o, std::string_view name, Object* receiver, bool& found);
    Object* holderOf(Object* o, std::string_view name);
    ClipId targetClip(Frame& f, const Value& target);
    void setTarget(Frame& f, const std::string& path);
    Completion runNested(std::shared_ptr<const std::vector<std::uint8_t>> buffer, ClipId target);
    bool clipProperty(ClipId clip, std::string_view name, int& index) const;
    Value readClipProperty(ClipId clip, int index);
    void writeClipProperty(ClipId clip, int index, const Value& v);
    void enumerate(Object* o, std::vector<std::string>& names);
    Value defineFunction(Frame& f, std::shared_ptr<FunctionCode> code);
    void gotoFrame2(Frame& f, const Value& frame, bool play, int bias);
    void maybeCollect();
    bool inherits(Object* cur, Object* constructor, Object* proto, int nesting);
    std::vector<std::string> clipNames(ClipId clip);
    Value popValue(Frame& f);
    std::size_t popArgCount(Frame& f);
    std::vector<Value> popValues(Frame& f, std::size_t n);
    void push(Value v);
    void pushLogical(bool b);
    static std::size_t u16at(const Frame& f, std::size_t at);
    void opTimeline(Frame& f, std::uint8_t op, Payload& in, std::size_t& next, std::size_t end);
    void opStack(Frame& f, std::uint8_t op, Payload& in, std::size_t& next, std::size_t end);
    void opArithmetic(Frame& f, std::uint8_t op, Payload& in, std::size_t& next, std::size_t end);
    void opString(Frame& f, std::uint8_t op, Payload& in, std::size_t& next, std::size_t end);
    void opObject(Frame& f, std::uint8_t op, Payload& in, std::size_t& next, std::size_t end);
    void opCall(Frame& f, std::uint8_t op, Payload& in, std::size_t& next, std::size_t end);
    bool canNest(); // one more call level allowed? (aborts the block if not)
    Value valueOf(const Value& v);
    bool looseEqualsSwf5(const Value& a, const Value& b);
    bool chainTooDeep(int depth); // past the prototype depth limit? (aborts the block if so)
    bool stackExhausted();
    void enterOuter();
    void leaveOuter();
    bool outOfTime(); // past the script time limit? (aborts the block if so)
    std::string toStringQuiet(const Value& v);

    int m_version;
    bool m_caseSensitive;
    ClipHost* m_host;
    Limits m_limits;
    std::function<void(const std::string&)> m_trace;
    std::function<bool(double)> m_watch;
    double m_timeMs = 0;
    double m_dateOrigin = 0;
    std::uint32_t m_random = 0x2545F491u;

    std::vector<std::unique_ptr<Object>> m_heap;
    bool m_plainCall = false; // the next script call comes from CallFunction
    bool m_constructCall = false; // the next call comes from `new`
    std::size_t m_collectAt = 50'000;
    Object* m_global = nullptr;
    std::unordered_map<ClipId, ClipObject*> m_clips;
    std::unordered_map<std::uint64_t, std::pair<FieldRef, Object*>> m_fields; // by field serial

    std::vector<Value> m_stack;
    std::vector<Frame*> m_frames;
    int m_depth = 0;
    std::uintptr_t m_stackTop = 0;
    std::uint64_t m_actions = 0;
    std::chrono::steady_clock::time_point m_blockStart;
    double m_tickSeconds = 0; // script time spent in this frame before the running block
    std::size_t m_traceBytes = 0;
    int m_timeouts = 0;
    bool m_inBlock = false;
    Object* m_constructing = nullptr;
    bool m_hasAccessors = false; // any addProperty or watch seen: sets must look up the chain
    Pending m_pending = Pending::None;
    Value m_thrown;
    // A throw a `finally` returned over: Flash kept it, without its value, until the
    // end of the next try block to finish, whose catch then sees undefined (measured).
    bool m_latentThrow = false;
    std::string m_lastError;

    struct Interval {
        std::uint32_t id;
        Value function;
        Value thisValue;
        std::string method;
        double period;
        double due;
        std::vector<Value> args;
        bool once = false;
    };
    std::vector<Interval> m_intervals;
    std::uint32_t m_nextInterval = 1;

    friend void installBuiltins(Interpreter&);
};

// Built-in classes and functions; each file adds its own.
void installBuiltins(Interpreter& vm);
void installObjectBuiltins(Interpreter& vm);
void installArrayBuiltins(Interpreter& vm);
void installStringBuiltins(Interpreter& vm);
void installMathBuiltins(Interpreter& vm);
void installDateBuiltins(Interpreter& vm);
void installClipBuiltins(Interpreter& vm);
void installGeomBuiltins(Interpreter& vm);
void installBroadcasterBuiltins(Interpreter& vm);
void installXmlBuiltins(Interpreter& vm);
void installLoadVarsBuiltins(Interpreter& vm);
void installNativeTable(Interpreter& vm);
void installSystemBuiltins(Interpreter& vm);
void installFilterBuiltins(Interpreter& vm);
void installDrawingBuiltins(Interpreter& vm);
void installBitmapDataBuiltins(Interpreter& vm);
void installClipLoaderBuiltins(Interpreter& vm);
void installClipDisplayBuiltins(Interpreter& vm);
void installSharedObjectBuiltins(Interpreter& vm);
// Writes every shared object the movie opened to the host's store (the movie is going away).
void saveSharedObjects(Interpreter& vm);
void installSoundBuiltins(Interpreter& vm);
void installKeyBuiltins(Interpreter& vm);
void installMouseBuiltins(Interpreter& vm);
void installSelectionBuiltins(Interpreter& vm);
// Makes `o` one of the player's own event sources (Key, Mouse): a listener list and
// AsBroadcaster's methods, fixed, with a broadcastMessage of its own.
void makeBuiltinBroadcaster(Interpreter& vm, Object* o);

// Small helpers for natives.
inline Value arg(std::span<const Value> args, std::size_t i) {
    return i < args.size() ? args[i] : Value();
}

} // namespace swf::avm1
