#include "swf/avm2/Machine.h"
#include "swf/avm2/Xml.h"

#include <algorithm>
#include <cmath>

namespace swf::avm2 {

namespace {

NsKey keyOf(const AbcFile& abc, std::uint32_t nsIndex, int unitId) {
    if (nsIndex == 0)
        return "*any*";
    const NamespaceInfo& ns = abc.namespaces[nsIndex];
    const std::string& uri = abc.strings[ns.name];
    switch (ns.kind) {
    case NsKind::Package:
    case NsKind::Namespace:
    case NsKind::Explicit:
        return uri;
    case NsKind::PackageInternal:
        return "~i:" + uri;
    case NsKind::Protected:
        return "~p:" + uri;
    case NsKind::StaticProtected:
        return "~s:" + uri;
    case NsKind::Private:
        return "~x:" + std::to_string(unitId) + ":" + std::to_string(nsIndex);
    }
    return uri;
}

std::string packageOf(const std::string& qualified, std::string& local) {
    auto colons = qualified.rfind("::");
    if (colons != std::string::npos) {
        local = qualified.substr(colons + 2);
        return qualified.substr(0, colons);
    }
    auto dot = qualified.rfind('.');
    if (dot != std::string::npos) {
        local = qualified.substr(dot + 1);
        return qualified.substr(0, dot);
    }
    local = qualified;
    return "";
}

} // namespace

Machine::Machine() {
    m_empty = str("");
    m_builtinGlobal = allocate<Object>();
    m_builtinGlobal->kind = ObjectKind::Global;
    m_builtinGlobal->traits = &m_builtinTraits;
    installBuiltins();
    onUncaught = [this](const std::string& line) { trace(line); };
}

Machine::~Machine() = default;

void Machine::countCell() {
    if (m_heap.size() >= kMaxHeapCells)
        throw ScriptAbort{"Error #1000: The system is out of memory."};
}

Traits* Machine::newTraits() {
    countCell();
    m_traits.push_back(std::make_unique<Traits>());
    return m_traits.back().get();
}

const std::string* Machine::str(std::string s) {
    m_stringBytes += s.size() + sizeof(std::string);
    if (m_stringBytes > kMaxStringBytes)
        throw ScriptAbort{"Error #1000: The system is out of memory."};
    m_strings.push_back(std::move(s));
    return &m_strings.back();
}

void Machine::trace(const std::string& line) {
    if (traceSink)
        traceSink(line);
}

double Machine::nextRandom() {
    // xorshift64*: deterministic, so a movie run twice traces the same.
    m_random ^= m_random >> 12;
    m_random ^= m_random << 25;
    m_random ^= m_random >> 27;
    return static_cast<double>((m_random * 0x2545F4914F6CDD1Dull) >> 11) / 9007199254740992.0;
}

// ---------------------------------------------------------------- loading

bool Machine::loadAbc(std::span<const std::uint8_t> bytes, bool lazy, std::string& error) {
    auto parsed = parseAbc(bytes, error);
    if (!parsed)
        return false;
    auto unit = std::make_unique<AbcUnit>();
    unit->abc = std::move(*parsed);
    unit->id = static_cast<int>(m_units.size());
    const AbcFile& abc = unit->abc;
    for (std::uint32_t i = 0; i < abc.namespaces.size(); ++i)
        unit->nsKeys.push_back(keyOf(abc, i, unit->id));
    unit->names.resize(abc.multinames.size());
    for (std::size_t i = 1; i < abc.multinames.size(); ++i) {
        const MultinameInfo& mn = abc.multinames[i];
        Name& n = unit->names[i];
        n.attribute = mn.isAttribute();
        if (!mn.hasRuntimeName())
            n.local = abc.strings[mn.name];
        if (mn.kind == MultinameKind::QName || mn.kind == MultinameKind::QNameA) {
            if (mn.ns == 0)
                n.anyNamespace = true;
            else
                n.namespaces.push_back(unit->nsKeys[mn.ns]);
        } else if (mn.kind == MultinameKind::Multiname || mn.kind == MultinameKind::MultinameA ||
                   mn.kind == MultinameKind::MultinameL || mn.kind == MultinameKind::MultinameLA) {
            for (auto ns : abc.nsSets[mn.nsSet])
                n.namespaces.push_back(unit->nsKeys[ns]);
        } else if (mn.kind == MultinameKind::TypeName) {
            // Vector.<T> and friends: looked up by the generic's name.
            const MultinameInfo& base = abc.multinames[mn.base];
            if (base.kind == MultinameKind::QName || base.kind == MultinameKind::QNameA) {
                n.local = abc.strings[base.name];
                n.namespaces.push_back(unit->nsKeys[base.ns]);
            }
        }
    }
    unit->decoded.resize(abc.bodies.size());
    unit->classes.resize(abc.classes.size(), nullptr);
    unit->globals.resize(abc.scripts.size(), nullptr);
    unit->scriptStarted.resize(abc.scripts.size(), false);
    for (const auto& script : abc.scripts) {
        if (abc.methods[script.init].body < 0) {
            error = "Error #1101: Cannot verify method with unknown scope.";
            return false;
        }
    }
    AbcUnit& u = *unit;
    m_units.push_back(std::move(unit));
    // Every script's definitions become visible now; each script runs when first needed.
    for (std::uint32_t s = 0; s < u.abc.scripts.size(); ++s) {
        Object* global = allocate<Object>();
        global->kind = ObjectKind::Global;
        global->traits = newTraits();
        global->proto = objectClass ? objectClass->prototype : nullptr;
        u.globals[s] = global;
        for (const auto& t : u.abc.scripts[s].traits) {
            const Name& n = u.names[t.name];
            m_domain[n.local].push_back(DomainEntry{n.namespaces.empty() ? kPublicNs : n.namespaces[0], global, &u, s});
        }
    }
    if (!lazy && !u.abc.scripts.empty()) {
        std::uint32_t entry = static_cast<std::uint32_t>(u.abc.scripts.size() - 1);
        guarded([&] { runScript(u, entry); });
    }
    return true;
}

void Machine::runScript(AbcUnit& unit, std::uint32_t script) {
    if (unit.scriptStarted[script])
        return;
    unit.scriptStarted[script] = true;
    Object* global = unit.globals[script];
    std::vector<Value> scope{Value::object(global)};
    std::vector<bool> with{false};
    applyTraits(unit, unit.abc.scripts[script].traits, *global->traits, nullptr, scope, with, global);
    global->initSlots();
    Function* init = makeMethod(unit, unit.abc.scripts[script].init, scope, with, nullptr);
    runMethod(init, Value::object(global), {});
}

Object* Machine::findInDomain(const Name& name) {
    auto it = m_domain.find(name.local);
    if (it != m_domain.end()) {
        for (auto& entry : it->second) {
            bool match = name.anyNamespace;
            for (const auto& ns : name.namespaces)
                match = match || ns == entry.ns;
            if (!match)
                continue;
            if (entry.unit && !entry.unit->scriptStarted[entry.script])
                runScript(*entry.unit, entry.script);
            return entry.holder;
        }
    }
    if (m_builtinTraits.find(name))
        return m_builtinGlobal;
    return nullptr;
}

ClassObject* Machine::findClass(const std::string& qualified) {
    std::string local;
    std::string package = packageOf(qualified, local);
    Name name;
    name.local = local;
    name.namespaces.push_back(package);
    ClassObject* found = nullptr;
    guarded([&] {
        Object* holder = findInDomain(name);
        if (!holder)
            return;
        Value v = getProperty(Value::object(holder), name);
        if (v.isObject() && v.o->kind == ObjectKind::Class)
            found = static_cast<ClassObject*>(v.o);
    });
    return found;
}

// ---------------------------------------------------------------- running from the host

void Machine::report(const ScriptError& e) {
    std::string text;
    try {
        text = toString(e.value);
        if (e.value.isObject() && e.value.o->kind == ObjectKind::Error)
            text = toString(callProperty(e.value, publicName("toString"), {}));
    } catch (...) {
        text = "Error: an error was thrown and could not be printed";
    }
    if (onUncaught)
        onUncaught(text);
}

template <typename F>
bool Machine::guarded(F&& run) {
    bool outermost = depth == 0;
    if (outermost) {
        // A runaway movie's scripts stay stopped; the timeline plays on.
        if (scriptsStopped())
            return false;
        budgetLeft = m_budget;
        m_runStart = std::chrono::steady_clock::now();
    }
    try {
        run();
        return true;
    } catch (const ScriptError& e) {
        if (!outermost)
            throw;
        depth = 0;
        report(e);
    } catch (const ScriptAbort& a) {
        if (!outermost)
            throw;
        depth = 0;
        if (onUncaught)
            onUncaught(a.message);
    }
    return false;
}

Object* Machine::constructAndReport(ClassObject* cls, std::span<Value> args) {
    Object* made = nullptr;
    guarded([&] { made = constructInstance(cls, args); });
    return made;
}

bool Machine::callAndReport(Value fn, Value self, std::span<Value> args) {
    return guarded([&] { call(fn, self, args); });
}

bool Machine::runAndReport(const std::function<void()>& run) {
    return guarded(run);
}

// ---------------------------------------------------------------- errors

void Machine::throwError(ClassObject* type, int id, const std::string& message) {
    Value args[2] = {string("Error #" + std::to_string(id) + ": " + message), Value::integer(id)};
    // The error's own constructor must run even when the call depth is what failed.
    int saved = depth;
    depth = std::min(depth, kMaxCallDepth - 2);
    Object* err = constructInstance(type ? type : errorClass, args);
    depth = saved;
    throw ScriptError{Value::object(err)};
}

void Machine::verifyError(const std::string& message) {
    Value args[2] = {string(message), Value::integer(1011)};
    int saved = depth;
    depth = std::min(depth, kMaxCallDepth - 2);
    Object* err = constructInstance(verifyErrorClass, args);
    depth = saved;
    throw ScriptError{Value::object(err)};
}

// ---------------------------------------------------------------- conversions

Value Machine::numberValue(double d) {
    if (d >= -2147483648.0 && d <= 2147483647.0 && d == std::floor(d) && !(d == 0 && std::signbit(d)))
        return Value::integer(static_cast<std::int32_t>(d));
    return Value::number(d);
}

Value Machine::toPrimitive(Value v, bool preferString) {
    if (!v.isObject())
        return v;
    // XML converts by its own rule: its methods are not properties.
    if (v.o->kind == ObjectKind::Xml)
        return string(xmlToString(*this, v.o));
    const char* order[2] = {preferString ? "toString" : "valueOf", preferString ? "valueOf" : "toString"};
    for (const char* method : order) {
        Value fn = getProperty(v, publicName(method));
        if (fn.isObject() && (fn.o->kind == ObjectKind::Function || fn.o->kind == ObjectKind::Class)) {
            Value r = call(fn, v, {});
            if (!r.isObject())
                return r;
        }
    }
    typeError(1050, "Cannot convert " + className(v) + " to primitive.");
}

std::string Machine::toString(Value v) {
    switch (v.tag) {
    case Tag::Undefined: return "undefined";
    case Tag::Null: return "null";
    case Tag::Boolean: return v.b ? "true" : "false";
    case Tag::Int: return std::to_string(v.i);
    case Tag::UInt: return std::to_string(v.u);
    case Tag::Number: return numberToString(v.d);
    case Tag::String: return *v.s;
    case Tag::Object: return toString(toPrimitive(v, true));
    }
    return "";
}

double Machine::toNumber(Value v) {
    switch (v.tag) {
    case Tag::Undefined: return NAN;
    case Tag::Null: return 0;
    case Tag::Boolean: return v.b ? 1 : 0;
    case Tag::Int: return v.i;
    case Tag::UInt: return v.u;
    case Tag::Number: return v.d;
    case Tag::String: return stringToNumber(*v.s);
    case Tag::Object: return toNumber(toPrimitive(v, false));
    }
    return NAN;
}

bool Machine::toBoolean(Value v) {
    switch (v.tag) {
    case Tag::Undefined:
    case Tag::Null: return false;
    case Tag::Boolean: return v.b;
    case Tag::Int: return v.i != 0;
    case Tag::UInt: return v.u != 0;
    case Tag::Number: return v.d != 0 && !std::isnan(v.d);
    case Tag::String: return !v.s->empty();
    case Tag::Object: return true;
    }
    return false;
}

Value Machine::toObject(Value v) {
    if (v.isNull())
        typeError(1009, "Cannot access a property or method of a null object reference.");
    if (v.isUndefined())
        typeError(1010, "A term is undefined and has no properties.");
    return v;
}

std::string Machine::typeOf(Value v) {
    switch (v.tag) {
    case Tag::Undefined: return "undefined";
    case Tag::Null: return "object";
    case Tag::Boolean: return "boolean";
    case Tag::Int:
    case Tag::UInt:
    case Tag::Number: return "number";
    case Tag::String: return "string";
    case Tag::Object: return v.o->kind == ObjectKind::Function ? "function" : v.o->kind == ObjectKind::Xml ? "xml" : "object";
    }
    return "object";
}

bool Machine::strictEquals(Value a, Value b) {
    if (a.isNumeric() && b.isNumeric())
        return a.asDouble() == b.asDouble();
    if (a.tag != b.tag)
        return false;
    switch (a.tag) {
    case Tag::Undefined:
    case Tag::Null: return true;
    case Tag::Boolean: return a.b == b.b;
    case Tag::String: return *a.s == *b.s;
    case Tag::Object: return a.o == b.o;
    default: return false;
    }
}

bool Machine::looseEquals(Value a, Value b) {
    if (a.isNullish() && b.isNullish())
        return true;
    if (a.isNumeric() && b.isNumeric())
        return a.asDouble() == b.asDouble();
    // XML values are equal by content (text or markup), not by identity.
    if (a.isObject() && b.isObject() && a.o->kind == ObjectKind::Xml && b.o->kind == ObjectKind::Xml)
        return a.o == b.o || xmlToString(*this, a.o) == xmlToString(*this, b.o);
    if (a.tag == b.tag)
        return strictEquals(a, b);
    if (a.isNullish() || b.isNullish())
        return false;
    if (a.isNumeric() && b.isString())
        return a.asDouble() == toNumber(b);
    if (a.isString() && b.isNumeric())
        return toNumber(a) == b.asDouble();
    if (a.tag == Tag::Boolean)
        return looseEquals(Value::number(a.b ? 1 : 0), b);
    if (b.tag == Tag::Boolean)
        return looseEquals(a, Value::number(b.b ? 1 : 0));
    if (a.isObject() && !b.isObject())
        return looseEquals(toPrimitive(a, false), b);
    if (b.isObject() && !a.isObject())
        return looseEquals(a, toPrimitive(b, false));
    return false;
}

int Machine::lessThan(Value a, Value b) {
    if (a.tag == Tag::Int && b.tag == Tag::Int)
        return a.i < b.i;
    Value pa = toPrimitive(a, false), pb = toPrimitive(b, false);
    if (pa.isString() && pb.isString())
        return *pa.s < *pb.s;
    double x = toNumber(pa), y = toNumber(pb);
    if (std::isnan(x) || std::isnan(y))
        return -1;
    return x < y;
}

Value Machine::add(Value a, Value b) {
    if (a.tag == Tag::Int && b.tag == Tag::Int) {
        std::int64_t sum = static_cast<std::int64_t>(a.i) + b.i;
        if (sum >= INT32_MIN && sum <= INT32_MAX)
            return Value::integer(static_cast<std::int32_t>(sum));
        return Value::number(static_cast<double>(sum));
    }
    if (a.isNumeric() && b.isNumeric())
        return numberValue(a.asDouble() + b.asDouble());
    // XML + XML joins the two into one list.
    if (a.isObject() && b.isObject() && a.o->kind == ObjectKind::Xml && b.o->kind == ObjectKind::Xml && xmlListClass) {
        Value joined = construct(Value::object(xmlListClass), {});
        for (Value part : {a, b})
            for (std::size_t i = 0, n = xmlLength(part.o); i < n; ++i)
                setProperty(joined, publicName(std::to_string(xmlLength(joined.o))), getProperty(part, publicName(std::to_string(i))));
        return joined;
    }
    Value pa = toPrimitive(a, false), pb = toPrimitive(b, false);
    if (pa.isString() || pb.isString())
        return string(toString(pa) + toString(pb));
    return numberValue(toNumber(pa) + toNumber(pb));
}

// ---------------------------------------------------------------- objects

Object* Machine::adopt(std::unique_ptr<Object> object) {
    countCell();
    m_heap.push_back(std::move(object));
    return m_heap.back().get();
}

Object* Machine::newObject() {
    Object* o = allocate<Object>();
    o->cls = objectClass;
    o->proto = objectClass ? objectClass->prototype : nullptr;
    return o;
}

ArrayObject* Machine::newArray(std::vector<Value> elements) {
    if (elements.size() > kMaxHeapCells)
        throw ScriptAbort{"Error #1000: The system is out of memory."};
    ArrayObject* a = allocate<ArrayObject>();
    a->cls = arrayClass;
    a->traits = arrayClass ? &arrayClass->instanceTraits : nullptr;
    a->proto = arrayClass ? arrayClass->prototype : nullptr;
    a->initSlots();
    a->elements = std::move(elements);
    return a;
}

Function* Machine::newNative(const std::string& name, NativeFn fn, std::uint32_t length) {
    Function* f = allocate<Function>();
    f->native = std::move(fn);
    f->name = name;
    f->length = length;
    f->cls = functionClass;
    f->proto = functionClass ? functionClass->prototype : nullptr;
    return f;
}

Name Machine::publicName(std::string local) {
    Name n;
    n.local = std::move(local);
    n.namespaces.push_back(kPublicNs);
    n.namespaces.push_back(kAs3Ns);
    return n;
}

ClassObject* Machine::classOf(Value v) {
    switch (v.tag) {
    case Tag::Boolean: return booleanClass;
    case Tag::Int: return intClass;
    case Tag::UInt: return uintClass;
    case Tag::Number: return numberClass;
    case Tag::String: return stringClass;
    case Tag::Object: return v.o->cls;
    default: return nullptr;
    }
}

std::string Machine::className(Value v) {
    if (v.isNull())
        return "null";
    if (v.isUndefined())
        return "void";
    if (v.isObject() && v.o->kind == ObjectKind::Class)
        return static_cast<ClassObject*>(v.o)->qualified + "$";
    ClassObject* c = classOf(v);
    return c ? c->qualified : "Object";
}

bool Machine::isType(Value v, ClassObject* type) {
    if (!type)
        return true;
    if (v.isNumeric()) {
        double d = v.asDouble();
        if (type == intClass)
            return d == std::floor(d) && d >= INT32_MIN && d <= INT32_MAX;
        if (type == uintClass)
            return d == std::floor(d) && d >= 0 && d <= UINT32_MAX;
        return type == numberClass || type == objectClass;
    }
    ClassObject* c = classOf(v);
    if (!c)
        return false;
    return c->isSubclassOf(type) || (type->isInterface && c->implements(type));
}

Binding* Machine::findTrait(Object* obj, const Name& name) {
    return obj->traits ? obj->traits->find(name) : nullptr;
}

Value Machine::readBinding(Object* obj, Binding& b, Value self) {
    switch (b.kind) {
    case Binding::Kind::Slot:
    case Binding::Kind::Const:
        return b.slot < obj->slots.size() ? obj->slots[b.slot] : Value();
    case Binding::Kind::Method: {
        Function* closure = allocate<Function>();
        Function* m = b.method;
        closure->unit = m->unit;
        closure->method = m->method;
        closure->scope = m->scope;
        closure->withScope = m->withScope;
        closure->native = m->native;
        closure->ownerClass = m->ownerClass;
        closure->name = m->name;
        closure->length = m->length;
        closure->bound = true;
        closure->boundThis = self;
        closure->cls = functionClass;
        closure->proto = functionClass->prototype;
        return Value::object(closure);
    }
    case Binding::Kind::Accessor:
        if (!b.getter)
            referenceError(1077, "Illegal read of write-only property.");
        return call(Value::object(b.getter), self, {});
    }
    return Value();
}

void Machine::writeBinding(Object* obj, Binding& b, Value self, Value v, const Name& name, bool init) {
    switch (b.kind) {
    case Binding::Kind::Const:
        if (!init)
            referenceError(1074, "Illegal write to read-only property " + name.local + " on " + className(self) + ".");
        [[fallthrough]];
    case Binding::Kind::Slot:
        if (b.slot < obj->slots.size()) {
            ClassObject* type = b.typeName && b.typeUnit
                                    ? resolveType(*const_cast<AbcUnit*>(static_cast<const AbcUnit*>(b.typeUnit)), b.typeName)
                                    : nullptr;
            obj->slots[b.slot] = type ? coerceTo(v, type) : v;
        }
        return;
    case Binding::Kind::Method:
        referenceError(1037, "Cannot assign to a method " + name.local + " on " + className(self) + ".");
    case Binding::Kind::Accessor: {
        if (!b.setter)
            referenceError(1074, "Illegal write to read-only property " + name.local + " on " + className(self) + ".");
        Value args[1] = {v};
        call(Value::object(b.setter), self, args);
        return;
    }
    }
}

Value Machine::getProperty(Value objv, const Name& name) {
    objv = toObject(objv);
    Object* holder = nullptr;
    if (objv.isObject()) {
        holder = objv.o;
        if (holder->kind == ObjectKind::Xml)
            return xmlGet(*this, holder, name);
    } else {
        ClassObject* c = classOf(objv);
        if (objv.isString() && name.local == "length" && name.hasPublic())
            return Value::integer(static_cast<std::int32_t>(objv.s->size()));
        if (c) {
            if (Binding* b = c->instanceTraits.find(name))
                return readBinding(c->prototype, *b, objv);
            if (name.hasPublic())
                for (Object* p = c->prototype; p; p = p->proto)
                    if (Value* v = p->own(name.local))
                        return *v;
        }
        return Value();
    }
    if (holder->kind == ObjectKind::Array && name.hasPublic()) {
        std::uint32_t index;
        if (arrayIndex(name.local, index)) {
            auto& el = static_cast<ArrayObject*>(holder)->elements;
            return index < el.size() ? el[index] : Value();
        }
    }
    if (holder->kind == ObjectKind::Indexed && name.hasPublic()) {
        std::uint32_t index;
        if (arrayIndex(name.local, index))
            return static_cast<IndexedObject*>(holder)->getIndex(index);
    }
    if (Binding* b = findTrait(holder, name))
        return readBinding(holder, *b, objv);
    if (holder->cls && holder->cls->proxy) {
        Value args[1] = {proxyName(name)};
        return proxyCall(holder, "getProperty", args);
    }
    if (name.hasPublic()) {
        for (Object* o = holder; o; o = o->proto)
            if (Value* v = o->own(name.local))
                return *v;
    }
    if (holder->sealed && !name.attribute)
        referenceError(1069, "Property " + name.local + " not found on " + className(objv) + " and there is no default value.");
    return Value();
}

void Machine::setProperty(Value objv, const Name& name, Value v, bool init) {
    objv = toObject(objv);
    if (!objv.isObject())
        return; // properties of primitives cannot be set
    Object* holder = objv.o;
    if (holder->kind == ObjectKind::Xml) {
        xmlSet(*this, holder, name, v);
        return;
    }
    if (holder->kind == ObjectKind::Array && name.hasPublic()) {
        std::uint32_t index;
        if (arrayIndex(name.local, index)) {
            auto& el = static_cast<ArrayObject*>(holder)->elements;
            if (index >= el.size()) {
                if (index >= kMaxHeapCells)
                    throw ScriptAbort{"Error #1000: The system is out of memory."};
                el.resize(index + 1);
            }
            el[index] = v;
            return;
        }
    }
    if (holder->kind == ObjectKind::Indexed && name.hasPublic()) {
        std::uint32_t index;
        if (arrayIndex(name.local, index)) {
            static_cast<IndexedObject*>(holder)->setIndex(*this, index, v);
            return;
        }
    }
    if (Binding* b = findTrait(holder, name)) {
        writeBinding(holder, *b, objv, v, name, init);
        return;
    }
    if (holder->cls && holder->cls->proxy) {
        Value args[2] = {proxyName(name), v};
        proxyCall(holder, "setProperty", args);
        return;
    }
    if (holder->sealed || !name.hasPublic())
        referenceError(1056, "Cannot create property " + name.local + " on " + className(objv) + ".");
    holder->setOwn(name.local, v);
}

bool Machine::deleteProperty(Value objv, const Name& name) {
    objv = toObject(objv);
    if (!objv.isObject())
        return false;
    Object* holder = objv.o;
    if (holder->kind == ObjectKind::Xml)
        return xmlDelete(*this, holder, name);
    if (holder->kind == ObjectKind::Array && name.hasPublic()) {
        std::uint32_t index;
        if (arrayIndex(name.local, index)) {
            auto& el = static_cast<ArrayObject*>(holder)->elements;
            if (index < el.size())
                el[index] = Value();
            return true;
        }
    }
    if (findTrait(holder, name))
        return false;
    if (holder->cls && holder->cls->proxy) {
        Value args[1] = {proxyName(name)};
        return toBoolean(proxyCall(holder, "deleteProperty", args));
    }
    holder->deleteOwn(name.local);
    return true;
}

bool Machine::hasProperty(Value objv, const Name& name) {
    if (!objv.isObject()) {
        ClassObject* c = classOf(objv);
        return c && c->instanceTraits.find(name);
    }
    Object* holder = objv.o;
    if (holder->kind == ObjectKind::Xml)
        return xmlHas(*this, holder, name);
    if (holder->kind == ObjectKind::Array && name.hasPublic()) {
        std::uint32_t index;
        if (arrayIndex(name.local, index))
            return index < static_cast<ArrayObject*>(holder)->elements.size();
    }
    if (holder->kind == ObjectKind::Indexed && name.hasPublic()) {
        std::uint32_t index;
        if (arrayIndex(name.local, index))
            return index < static_cast<IndexedObject*>(holder)->indexedLength();
    }
    if (findTrait(holder, name))
        return true;
    if (holder->cls && holder->cls->proxy) {
        Value args[1] = {proxyName(name)};
        return toBoolean(proxyCall(holder, "hasProperty", args));
    }
    if (name.hasPublic())
        for (Object* o = holder; o; o = o->proto)
            if (o->hasOwn(name.local))
                return true;
    return false;
}

Value Machine::callProperty(Value objv, const Name& name, std::span<Value> args, bool lex) {
    objv = toObject(objv);
    if (objv.isObject()) {
        Binding* b = findTrait(objv.o, name);
        if (b && b->kind == Binding::Kind::Method)
            return call(Value::object(b->method), objv, args);
        if (!b && objv.o->cls && objv.o->cls->proxy) {
            std::vector<Value> all{proxyName(name)};
            all.insert(all.end(), args.begin(), args.end());
            return proxyCall(objv.o, "callProperty", all);
        }
    } else if (ClassObject* c = classOf(objv)) {
        if (Binding* b = c->instanceTraits.find(name); b && b->kind == Binding::Kind::Method)
            return call(Value::object(b->method), objv, args);
    }
    Value fn = getProperty(objv, name);
    if (!fn.isObject() || (fn.o->kind != ObjectKind::Function && fn.o->kind != ObjectKind::Class))
        typeError(1006, name.local + " is not a function.");
    return call(fn, lex ? Value::null() : objv, args);
}

Value Machine::call(Value fnv, Value self, std::span<Value> args) {
    if (!fnv.isObject())
        typeError(1006, "value is not a function.");
    if (fnv.o->kind == ObjectKind::Class) {
        auto* cls = static_cast<ClassObject*>(fnv.o);
        if (cls->callAsFunction)
            return cls->callAsFunction(*this, self, args);
        // Calling a class converts: Foo(x) is x when x is a Foo, else an error.
        if (args.size() != 1)
            rangeError(1112, "Argument count mismatch on class coercion.  Expected 1, got " + std::to_string(args.size()) + ".");
        return coerceTo(args[0], cls);
    }
    if (fnv.o->kind != ObjectKind::Function)
        typeError(1006, "value is not a function.");
    auto* f = static_cast<Function*>(fnv.o);
    if (f->bound)
        self = f->boundThis;
    if (++depth > kMaxCallDepth) {
        --depth;
        throwError(errorClass, 1023, "Stack overflow occurred.");
    }
    struct Leave {
        int& d;
        ~Leave() { --d; }
    } leave{depth};
    if (f->native)
        return f->native(*this, self, args);
    if (self.isNullish() && !f->scope.empty())
        self = f->scope[0];
    return runMethod(f, self, args);
}

Value Machine::construct(Value ctor, std::span<Value> args) {
    if (ctor.isObject() && ctor.o->kind == ObjectKind::Class && static_cast<ClassObject*>(ctor.o)->constructsPrimitive)
        return static_cast<ClassObject*>(ctor.o)->callAsFunction(*this, Value(), args);
    if (ctor.isObject() && ctor.o->kind == ObjectKind::Class)
        return Value::object(constructInstance(static_cast<ClassObject*>(ctor.o), args));
    if (ctor.isObject() && ctor.o->kind == ObjectKind::Function) {
        // A plain function as a constructor: a new object whose prototype is fn.prototype.
        Object* o = newObject();
        Value proto = getProperty(ctor, publicName("prototype"));
        if (proto.isObject())
            o->proto = proto.o;
        Value r = call(ctor, Value::object(o), args);
        return r.isObject() ? r : Value::object(o);
    }
    typeError(1007, "Instantiation attempted on a non-constructor.");
}

Object* Machine::constructInstance(ClassObject* cls, std::span<Value> args) {
    Object* o = allocateInstance(cls);
    if (cls->init)
        call(Value::object(cls->init), Value::object(o), args);
    return o;
}

Object* Machine::allocateInstance(ClassObject* cls) {
    if (cls->isInterface)
        typeError(1007, "Instantiation attempted on a non-constructor.");
    Object* o = nullptr;
    for (ClassObject* c = cls; c && !o; c = c->super)
        if (c->allocate)
            o = c->allocate(*this, cls);
    if (!o)
        o = allocate<Object>();
    o->cls = cls;
    o->traits = &cls->instanceTraits;
    o->proto = cls->prototype;
    o->sealed = !cls->dynamicInstances;
    o->initSlots();
    return o;
}

Object* Machine::newActivation(AbcUnit& unit, const MethodBody& body) {
    Object* act = allocate<Object>();
    act->kind = ObjectKind::Activation;
    Traits* traits = newTraits();
    act->traits = traits;
    applyTraits(unit, body.traits, *traits, nullptr, {}, {}, nullptr);
    act->initSlots();
    return act;
}

const std::vector<std::string>& Machine::enumerationOf(Object* obj) {
    std::size_t elements = obj->kind == ObjectKind::Array ? static_cast<ArrayObject*>(obj)->elements.size() : 0;
    EnumCache& c = m_enumCache;
    if (c.object != obj || c.version != obj->namesVersion() || c.elements != elements) {
        c.names = enumerate(obj);
        c.object = obj;
        c.version = obj->namesVersion();
        c.elements = elements;
    }
    return c.names;
}

std::vector<std::string> Machine::enumerate(Object* obj) {
    std::vector<std::string> names;
    if (obj->kind == ObjectKind::Xml) {
        for (std::size_t i = 0, n = xmlLength(obj); i < n; ++i)
            names.push_back(std::to_string(i));
        return names;
    }
    if (obj->kind == ObjectKind::Array) {
        auto& el = static_cast<ArrayObject*>(obj)->elements;
        for (std::size_t i = 0; i < el.size(); ++i)
            names.push_back(std::to_string(i));
    }
    auto own = obj->enumerableNames();
    names.insert(names.end(), own.begin(), own.end());
    return names;
}

} // namespace swf::avm2
