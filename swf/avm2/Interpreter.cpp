// The AVM2 dispatch loop: one decoded method body run against its locals, operand
// stack and scope stack. Operands were checked when the body was decoded; depths are
// checked here as they change.
#include "swf/avm2/Machine.h"
#include "swf/avm2/Xml.h"

#include <cmath>

namespace swf::avm2 {

namespace {

const char* kTimeout = "Error #1502: A script has executed for longer than the default timeout period of 15 seconds.";

std::string escapeXml(const std::string& s, bool attribute) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += attribute ? ">" : "&gt;"; break;
        case '"': out += attribute ? "&quot;" : "\""; break;
        default: out += c;
        }
    }
    return out;
}

} // namespace

void Machine::timedOut() {
    ++m_timeouts;
    throw ScriptAbort{kTimeout};
}

void Machine::checkpoint() {
    const double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_runStart).count();
    if (watch && !watch(spent))
        throw ScriptAbort{"Error: the script was stopped by the player."};
    if (spent > kMaxRunSeconds)
        timedOut();
}

Value Machine::runMethod(Function* f, Value self, std::span<Value> args) {
    AbcUnit& unit = *f->unit;
    const MethodInfo& info = unit.abc.methods[f->method];
    if (info.body < 0)
        verifyError("Error #1101: Cannot verify method " + f->name + " with no body.");
    const MethodBody& raw = unit.abc.bodies[static_cast<std::size_t>(info.body)];
    const DecodedBody& body = decoded(unit, static_cast<std::uint32_t>(info.body));
    const std::size_t params = info.paramTypes.size();
    const bool extra = (info.flags & (kNeedRest | kNeedArguments)) != 0;
    if (body.localCount < 1 + params + (extra ? 1 : 0))
        verifyError("Error #1025: An invalid register was accessed.");
    const std::size_t required = params - info.optional.size();
    if (args.size() < required || (args.size() > params && !extra)) {
        throwError(argumentErrorClass, 1063,
                   "Argument count mismatch on " + (f->name.empty() ? std::string("Function/<anonymous>()") : f->name + "()") +
                       ". Expected " + std::to_string(required) + ", got " + std::to_string(args.size()) + ".");
    }

    std::vector<Value> locals(body.localCount);
    locals[0] = self;
    for (std::size_t i = 0; i < params; ++i) {
        Value v = i < args.size() ? args[i] : constantValue(unit, info.optional[i - required]);
        ClassObject* type = resolveType(unit, info.paramTypes[i]);
        locals[1 + i] = type ? coerceTo(v, type) : v;
    }
    if (info.flags & kNeedRest) {
        std::vector<Value> rest;
        for (std::size_t i = params; i < args.size(); ++i)
            rest.push_back(args[i]);
        locals[1 + params] = Value::object(newArray(std::move(rest)));
    } else if (info.flags & kNeedArguments) {
        ArrayObject* arguments = newArray(std::vector<Value>(args.begin(), args.end()));
        arguments->setOwn("callee", Value::object(f));
        arguments->setDontEnum("callee");
        locals[1 + params] = Value::object(arguments);
    }

    std::vector<Value> stackStore(body.maxStack + 1);
    Value* st = stackStore.data();
    std::size_t sp = 0;
    const std::size_t maxStack = body.maxStack;
    std::vector<Value> scope = f->scope;
    std::vector<bool> with = f->withScope;
    const std::size_t localBase = scope.size();
    const std::size_t maxScope = localBase + body.maxScope;
    const Insn* code = body.code.data();
    const std::size_t codeSize = body.code.size();
    std::size_t pc = 0;

    auto pop = [&]() -> Value {
        if (sp == 0)
            verifyError("Error #1024: Stack underflow occurred.");
        return st[--sp];
    };
    auto push = [&](Value v) {
        if (sp >= maxStack)
            verifyError("Error #1023: Stack overflow occurred.");
        st[sp++] = v;
    };
    auto popArgs = [&](std::uint32_t n) -> std::vector<Value> {
        if (n > sp)
            verifyError("Error #1024: Stack underflow occurred.");
        std::vector<Value> a(st + sp - n, st + sp);
        sp -= n;
        return a;
    };
    // Pops the run-time parts of a multiname (name on top, namespace under it).
    // `targetBelow`: the object the name is looked up on is under it (get, set, delete),
    // so an object key of a Dictionary can be named by identity.
    // A name with no run-time parts is the unit's own (no copy); others are built in
    // `madeName`, which holds until the next instruction asks for a name.
    Name madeName;
    auto popName = [&](std::uint32_t mn, bool targetBelow = false) -> const Name& {
        const MultinameInfo& info2 = unit.abc.multinames[mn];
        if (!info2.hasRuntimeName() && !info2.hasRuntimeNamespace())
            return unit.names[mn];
        Value local, ns;
        if (info2.hasRuntimeName())
            local = pop();
        if (info2.hasRuntimeNamespace())
            ns = pop();
        if (targetBelow && local.isObject() && sp >= 1 && st[sp - 1].isObject())
            if (auto* dict = dynamic_cast<DictionaryObject*>(st[sp - 1].o))
                return madeName = publicName(dict->nameFor(local.o));
        return madeName = runtimeName(unit, mn, info2.hasRuntimeName() ? &local : nullptr,
                                      info2.hasRuntimeNamespace() ? &ns : nullptr);
    };
    auto superTraits = [&]() -> Traits& {
        if (!f->ownerClass || !f->ownerClass->super)
            referenceError(1070, "Method not found on the super class.");
        return f->ownerClass->super->instanceTraits;
    };
    auto poolString = [&](std::uint32_t i) { return string(unit.abc.strings[i]); };
    auto number = [&](Value v) { return v.isNumeric() ? v.asDouble() : toNumber(v); };
    auto jumpIf = [&](bool c, std::uint32_t target) {
        if (c)
            pc = target;
    };
    auto enumerateStep = [&](Object* obj, std::int32_t index) -> std::int32_t {
        if (obj->cls && obj->cls->proxy) {
            Value at[1] = {Value::integer(index)};
            return toInt(proxyCall(obj, "nextNameIndex", at));
        }
        if (obj->kind == ObjectKind::Array && index < static_cast<std::int32_t>(static_cast<ArrayObject*>(obj)->elements.size()))
            return index + 1;
        const std::vector<std::string>& names = enumerationOf(obj);
        return index < static_cast<std::int32_t>(names.size()) ? index + 1 : 0;
    };
    auto nameAt = [&](Value objv, std::int32_t index) -> std::string {
        if (!objv.isObject() || index <= 0)
            return "";
        const std::vector<std::string>& names = enumerationOf(objv.o);
        return static_cast<std::size_t>(index) <= names.size() ? names[index - 1] : "";
    };
    auto checkScope = [&](Value v) {
        if (v.isNull())
            typeError(1009, "Cannot access a property or method of a null object reference.");
        if (v.isUndefined())
            typeError(1010, "A term is undefined and has no properties.");
        if (scope.size() >= maxScope)
            verifyError("Error #1017: Scope stack overflow occurred.");
    };

    for (;;) {
        try {
            for (;;) {
                if (pc >= codeSize)
                    verifyError("Error #1020: Code cannot fall off the end of a method.");
                if (budgetLeft-- == 0)
                    timedOut();
                if ((++m_executedTotal & 0xFFF) == 0)
                    checkpoint();
                const Insn& in = code[pc++];
                switch (in.op) {
                case Op::Bkpt: case Op::Nop: case Op::Label: case Op::Timestamp: case Op::Debug:
                case Op::DebugLine: case Op::DebugFile: case Op::BkptLine: case Op::Dxns:
                    break;
                case Op::DxnsLate: pop(); break;
                case Op::Throw: throw ScriptError{pop()};
                case Op::GetSuper: {
                    const Name& n = popName(in.a);
                    Value obj = toObject(pop());
                    Binding* b = superTraits().find(n);
                    if (!b || !obj.isObject())
                        referenceError(1069, "Property " + n.local + " not found on " + className(obj) + " and there is no default value.");
                    push(readBinding(obj.o, *b, obj));
                    break;
                }
                case Op::SetSuper: {
                    Value v = pop();
                    const Name& n = popName(in.a);
                    Value obj = toObject(pop());
                    Binding* b = superTraits().find(n);
                    if (!b || !obj.isObject())
                        referenceError(1056, "Cannot create property " + n.local + " on " + className(obj) + ".");
                    writeBinding(obj.o, *b, obj, v, n, false);
                    break;
                }
                case Op::Kill: locals[in.a] = Value(); break;
                case Op::IfNlt: { Value b = pop(), a = pop(); jumpIf(lessThan(a, b) != 1, in.a); break; }
                case Op::IfNle: { Value b = pop(), a = pop(); jumpIf(lessThan(b, a) != 0, in.a); break; }
                case Op::IfNgt: { Value b = pop(), a = pop(); jumpIf(lessThan(b, a) != 1, in.a); break; }
                case Op::IfNge: { Value b = pop(), a = pop(); jumpIf(lessThan(a, b) != 0, in.a); break; }
                case Op::Jump: pc = in.a; break;
                case Op::IfTrue: jumpIf(toBoolean(pop()), in.a); break;
                case Op::IfFalse: jumpIf(!toBoolean(pop()), in.a); break;
                case Op::IfEq: { Value b = pop(), a = pop(); jumpIf(looseEquals(a, b), in.a); break; }
                case Op::IfNe: { Value b = pop(), a = pop(); jumpIf(!looseEquals(a, b), in.a); break; }
                case Op::IfLt: { Value b = pop(), a = pop(); jumpIf(lessThan(a, b) == 1, in.a); break; }
                case Op::IfLe: { Value b = pop(), a = pop(); jumpIf(lessThan(b, a) == 0, in.a); break; }
                case Op::IfGt: { Value b = pop(), a = pop(); jumpIf(lessThan(b, a) == 1, in.a); break; }
                case Op::IfGe: { Value b = pop(), a = pop(); jumpIf(lessThan(a, b) == 0, in.a); break; }
                case Op::IfStrictEq: { Value b = pop(), a = pop(); jumpIf(strictEquals(a, b), in.a); break; }
                case Op::IfStrictNe: { Value b = pop(), a = pop(); jumpIf(!strictEquals(a, b), in.a); break; }
                case Op::LookupSwitch: {
                    const auto& table = body.switches[in.a];
                    double index = number(pop());
                    std::size_t cases = table.size() - 1;
                    pc = index >= 0 && index < static_cast<double>(cases) && index == std::floor(index)
                             ? table[1 + static_cast<std::size_t>(index)]
                             : table[0];
                    break;
                }
                case Op::PushWith:
                case Op::PushScope: {
                    Value v = pop();
                    checkScope(v);
                    scope.push_back(v);
                    with.push_back(in.op == Op::PushWith);
                    break;
                }
                case Op::PopScope:
                    if (scope.size() <= localBase)
                        verifyError("Error #1018: Scope stack underflow occurred.");
                    scope.pop_back();
                    with.pop_back();
                    break;
                case Op::NextName: {
                    std::int32_t index = toInt(pop());
                    Value obj = pop();
                    if (obj.isObject() && obj.o->cls && obj.o->cls->proxy) {
                        Value at[1] = {Value::integer(index)};
                        push(proxyCall(obj.o, "nextName", at));
                        break;
                    }
                    std::string name = nameAt(obj, index);
                    Value out;
                    auto* dict = obj.isObject() ? dynamic_cast<DictionaryObject*>(obj.o) : nullptr;
                    if (auto key = dict ? dict->keys.find(name) : std::unordered_map<std::string, Value>::iterator{};
                        dict && key != dict->keys.end())
                        out = key->second;
                    else
                        out = string(name);
                    push(out);
                    break;
                }
                case Op::NextValue: {
                    std::int32_t index = toInt(pop());
                    Value obj = pop();
                    if (obj.isObject() && obj.o->cls && obj.o->cls->proxy) {
                        Value at[1] = {Value::integer(index)};
                        push(proxyCall(obj.o, "nextValue", at));
                        break;
                    }
                    push(obj.isObject() && index > 0 ? getProperty(obj, publicName(nameAt(obj, index))) : Value());
                    break;
                }
                case Op::HasNext: {
                    std::int32_t index = toInt(pop());
                    Value obj = pop();
                    push(Value::integer(obj.isObject() ? enumerateStep(obj.o, index) : 0));
                    break;
                }
                case Op::HasNext2: {
                    Value obj = locals[in.a];
                    std::int32_t index = toInt(locals[in.b]);
                    std::int32_t next = 0;
                    // Walks on to the prototype chain when an object's own names run out.
                    while (obj.isObject()) {
                        next = enumerateStep(obj.o, index);
                        // A proxy's names are all it has: its prototype is not walked.
                        if (next != 0 || (obj.o->cls && obj.o->cls->proxy))
                            break;
                        obj = Value::object(obj.o->proto);
                        index = 0;
                    }
                    locals[in.a] = next ? obj : Value::null();
                    locals[in.b] = Value::integer(next);
                    push(Value::boolean(next != 0));
                    break;
                }
                case Op::PushNull: push(Value::null()); break;
                case Op::PushUndefined: push(Value()); break;
                case Op::PushByte: push(Value::integer(static_cast<std::int8_t>(in.a))); break;
                case Op::PushShort: push(Value::integer(static_cast<std::int32_t>(in.a))); break;
                case Op::PushTrue: push(Value::boolean(true)); break;
                case Op::PushFalse: push(Value::boolean(false)); break;
                case Op::PushNaN: push(Value::number(NAN)); break;
                case Op::Pop: pop(); break;
                case Op::Dup: { Value v = pop(); push(v); push(v); break; }
                case Op::Swap: { Value b = pop(), a = pop(); push(b); push(a); break; }
                case Op::PushString: push(poolString(in.a)); break;
                case Op::PushInt: push(Value::integer(unit.abc.ints[in.a])); break;
                case Op::PushUInt: push(Value::uinteger(unit.abc.uints[in.a])); break;
                case Op::PushDouble: push(Value::number(unit.abc.doubles[in.a])); break;
                case Op::PushNamespace: {
                    Object* ns = newObject();
                    ns->cls = namespaceClass;
                    ns->setOwn("uri", string(unit.nsKeys[in.a]));
                    push(Value::object(ns));
                    break;
                }
                case Op::NewFunction: {
                    Function* fn = makeMethod(unit, in.a, scope, with, nullptr);
                    Object* proto = newObject();
                    proto->setOwn("constructor", Value::object(fn));
                    proto->setDontEnum("constructor");
                    fn->setOwn("prototype", Value::object(proto));
                    fn->setDontEnum("prototype");
                    push(Value::object(fn));
                    break;
                }
                case Op::Call: {
                    auto a = popArgs(in.a);
                    Value receiver = pop();
                    Value fn = pop();
                    push(call(fn, receiver, a));
                    break;
                }
                case Op::Construct: {
                    auto a = popArgs(in.a);
                    Value ctor = pop();
                    push(construct(ctor, a));
                    break;
                }
                case Op::CallMethod:
                    verifyError("Error #1011: Method contained illegal opcode.");
                case Op::CallStatic: {
                    auto a = popArgs(in.b);
                    Value receiver = toObject(pop());
                    Function* fn = makeMethod(unit, in.a, scope, with, f->ownerClass);
                    push(call(Value::object(fn), receiver, a));
                    break;
                }
                case Op::CallSuper:
                case Op::CallSuperVoid: {
                    auto a = popArgs(in.b);
                    const Name& n = popName(in.a);
                    Value receiver = toObject(pop());
                    Binding* b = superTraits().find(n);
                    if (!b || !receiver.isObject())
                        referenceError(1070, "Method " + n.local + " not found on " + className(receiver));
                    Value fn = b->kind == Binding::Kind::Method ? Value::object(b->method) : readBinding(receiver.o, *b, receiver);
                    Value r = call(fn, receiver, a);
                    if (in.op == Op::CallSuper)
                        push(r);
                    break;
                }
                case Op::CallProperty:
                case Op::CallPropLex:
                case Op::CallPropVoid: {
                    auto a = popArgs(in.b);
                    const Name& n = popName(in.a);
                    Value receiver = pop();
                    Value r = callProperty(receiver, n, a, in.op == Op::CallPropLex);
                    if (in.op != Op::CallPropVoid)
                        push(r);
                    break;
                }
                case Op::ReturnVoid:
                    return Value();
                case Op::ReturnValue: {
                    Value v = pop();
                    ClassObject* type = resolveType(unit, info.returnType);
                    return type ? coerceTo(v, type) : v;
                }
                case Op::ConstructSuper: {
                    auto a = popArgs(in.a);
                    Value receiver = toObject(pop());
                    ClassObject* super = f->ownerClass ? f->ownerClass->super : nullptr;
                    if (super && super->init)
                        call(Value::object(super->init), receiver, a);
                    break;
                }
                case Op::ConstructProp: {
                    auto a = popArgs(in.b);
                    const Name& n = popName(in.a);
                    Value obj = pop();
                    Value ctor = getProperty(obj, n);
                    if (!ctor.isObject())
                        typeError(1007, "Instantiation attempted on a non-constructor.");
                    push(construct(ctor, a));
                    break;
                }
                case Op::Sxi1: push(Value::integer((toInt(pop()) & 1) ? -1 : 0)); break;
                case Op::Sxi8: push(Value::integer(static_cast<std::int8_t>(toInt(pop())))); break;
                case Op::Sxi16: push(Value::integer(static_cast<std::int16_t>(toInt(pop())))); break;
                case Op::ApplyType: {
                    auto params = popArgs(in.a);
                    Value base = pop();
                    // Vector.<T> is a class of its own per T; other generics stay their base.
                    if (base.isObject() && base.o == vectorClass && params.size() == 1) {
                        Value t = params[0];
                        auto* element = t.isObject() && t.o->kind == ObjectKind::Class ? static_cast<ClassObject*>(t.o) : nullptr;
                        base = Value::object(vectorOf(element));
                    }
                    push(base);
                    break;
                }
                case Op::NewObject: {
                    auto a = popArgs(in.a * 2);
                    Object* o = newObject();
                    for (std::size_t i = 0; i < a.size(); i += 2)
                        o->setOwn(toString(a[i]), a[i + 1]);
                    push(Value::object(o));
                    break;
                }
                case Op::NewArray: push(Value::object(newArray(popArgs(in.a)))); break;
                case Op::NewActivation:
                    push(Value::object(newActivation(unit, raw)));
                    break;
                case Op::NewClass: {
                    Value base = pop();
                    push(Value::object(newClass(unit, in.a, base, scope, with)));
                    break;
                }
                case Op::GetDescendants: {
                    const Name& n = popName(in.a);
                    Value obj = pop();
                    push(xmlDescendants(*this, obj, n));
                    break;
                }
                case Op::CheckFilter: {
                    Value v = pop();
                    if (!v.isObject() || v.o->kind != ObjectKind::Xml)
                        typeError(1123, "Filter operator not supported on type " + className(v) + ".");
                    push(v);
                    break;
                }
                case Op::NewCatch: {
                    Object* o = allocate<Object>();
                    o->kind = ObjectKind::Activation;
                    o->traits = newTraits();
                    const Handler& h = body.handlers[in.a];
                    if (h.varName) {
                        const Name& n = unit.names[h.varName];
                        Binding& b = o->traits->define(n.local, n.namespaces.empty() ? kPublicNs : n.namespaces[0]);
                        b.kind = Binding::Kind::Slot;
                        b.slot = 1;
                        o->traits->slotCount = 1;
                    }
                    o->initSlots();
                    push(Value::object(o));
                    break;
                }
                case Op::FindPropStrict:
                case Op::FindProperty: {
                    const Name& n = popName(in.a);
                    push(Value::object(findProperty(n, scope, with, localBase, in.op == Op::FindPropStrict)));
                    break;
                }
                case Op::FindDef: {
                    Object* o = findInDomain(unit.names[in.a]);
                    push(Value::object(o ? o : m_builtinGlobal));
                    break;
                }
                case Op::GetLex: {
                    const Name& n = unit.names[in.a];
                    Object* o = findProperty(n, scope, with, localBase, true);
                    push(getProperty(Value::object(o), n));
                    break;
                }
                case Op::SetProperty:
                case Op::InitProperty: {
                    Value v = pop();
                    const MultinameInfo& mi = unit.abc.multinames[in.a];
                    if (mi.hasRuntimeName() && !mi.hasRuntimeNamespace() && sp >= 2 && st[sp - 1].isNumeric() &&
                        st[sp - 2].isObject() && st[sp - 2].o->kind == ObjectKind::Array) {
                        double index = st[sp - 1].asDouble();
                        auto& el = static_cast<ArrayObject*>(st[sp - 2].o)->elements;
                        if (index >= 0 && index < static_cast<double>(el.size()) && index == std::floor(index)) {
                            el[static_cast<std::size_t>(index)] = v;
                            sp -= 2;
                            break;
                        }
                    }
                    const Name& n = popName(in.a, true);
                    Value obj = pop();
                    setProperty(obj, n, v, in.op == Op::InitProperty);
                    break;
                }
                case Op::GetProperty: {
                    const MultinameInfo& mi = unit.abc.multinames[in.a];
                    // A declared variable of objects of one shape is read from the slot the
                    // last lookup found (arrays, byte arrays and XML answer names of their own).
                    if (!mi.hasRuntimeName() && !mi.hasRuntimeNamespace() && sp >= 1 && st[sp - 1].isObject()) {
                        Object* o = st[sp - 1].o;
                        SlotCache& c = body.slotCache[pc - 1];
                        if (o->traits && o->traits == c.traits && c.slot < o->slots.size()) {
                            st[sp - 1] = o->slots[c.slot];
                            break;
                        }
                        if (o->traits && o->kind != ObjectKind::Array && o->kind != ObjectKind::Indexed &&
                            o->kind != ObjectKind::Xml) {
                            Binding* b = o->traits->find(unit.names[in.a]);
                            if (b && (b->kind == Binding::Kind::Slot || b->kind == Binding::Kind::Const) &&
                                b->slot < o->slots.size()) {
                                c.traits = o->traits;
                                c.slot = b->slot;
                                st[sp - 1] = o->slots[b->slot];
                                break;
                            }
                        }
                    }
                    if (mi.hasRuntimeName() && !mi.hasRuntimeNamespace() && sp >= 2 && st[sp - 1].isNumeric() &&
                        st[sp - 2].isObject() && st[sp - 2].o->kind == ObjectKind::Array) {
                        double index = st[sp - 1].asDouble();
                        auto& el = static_cast<ArrayObject*>(st[sp - 2].o)->elements;
                        if (index >= 0 && index < static_cast<double>(el.size()) && index == std::floor(index)) {
                            Value v = el[static_cast<std::size_t>(index)];
                            sp -= 2;
                            push(v);
                            break;
                        }
                    }
                    const Name& n = popName(in.a, true);
                    Value obj = pop();
                    push(getProperty(obj, n));
                    break;
                }
                case Op::DeleteProperty: {
                    const Name& n = popName(in.a, true);
                    Value obj = pop();
                    push(Value::boolean(deleteProperty(obj, n)));
                    break;
                }
                case Op::GetLocal: push(locals[in.a]); break;
                case Op::SetLocal: locals[in.a] = pop(); break;
                case Op::GetLocal0: case Op::GetLocal1: case Op::GetLocal2: case Op::GetLocal3:
                    push(locals[static_cast<std::size_t>(in.op) - static_cast<std::size_t>(Op::GetLocal0)]);
                    break;
                case Op::SetLocal0: case Op::SetLocal1: case Op::SetLocal2: case Op::SetLocal3:
                    locals[static_cast<std::size_t>(in.op) - static_cast<std::size_t>(Op::SetLocal0)] = pop();
                    break;
                case Op::GetGlobalScope:
                    if (scope.empty())
                        verifyError("Error #1019: Getscopeobject  is out of bounds.");
                    push(scope[0]);
                    break;
                case Op::GetScopeObject:
                    if (localBase + in.a >= scope.size())
                        verifyError("Error #1019: Getscopeobject " + std::to_string(in.a) + " is out of bounds.");
                    push(scope[localBase + in.a]);
                    break;
                case Op::GetOuterScope:
                    if (in.a >= localBase)
                        verifyError("Error #1019: Getscopeobject " + std::to_string(in.a) + " is out of bounds.");
                    push(scope[in.a]);
                    break;
                case Op::GetSlot:
                case Op::GetGlobalSlot: {
                    Value obj = in.op == Op::GetSlot ? toObject(pop()) : (scope.empty() ? Value() : scope[0]);
                    if (!obj.isObject() || in.a == 0 || in.a >= obj.o->slots.size())
                        verifyError("Error #1026: Slot " + std::to_string(in.a) + " exceeds slotCount of " + className(obj) + ".");
                    push(obj.o->slots[in.a]);
                    break;
                }
                case Op::SetSlot:
                case Op::SetGlobalSlot: {
                    Value v = pop();
                    Value obj = in.op == Op::SetSlot ? toObject(pop()) : (scope.empty() ? Value() : scope[0]);
                    if (!obj.isObject() || in.a == 0 || in.a >= obj.o->slots.size())
                        verifyError("Error #1026: Slot " + std::to_string(in.a) + " exceeds slotCount of " + className(obj) + ".");
                    obj.o->slots[in.a] = v;
                    break;
                }
                case Op::ConvertS: { Value v = pop(); push(v.isString() ? v : string(toString(v))); break; }
                case Op::CoerceS: { Value v = pop(); push(v.isNullish() ? Value::null() : v.isString() ? v : string(toString(v))); break; }
                case Op::EscXElem: push(string(escapeXml(toString(pop()), false))); break;
                case Op::EscXAttr: push(string(escapeXml(toString(pop()), true))); break;
                case Op::ConvertI: case Op::CoerceI: push(Value::integer(toInt(pop()))); break;
                case Op::ConvertU: case Op::CoerceU: push(Value::uinteger(toUint(pop()))); break;
                case Op::ConvertD: case Op::CoerceD: { Value v = pop(); push(v.tag == Tag::Number ? v : Value::number(number(v))); break; }
                case Op::ConvertB: case Op::CoerceB: push(Value::boolean(toBoolean(pop()))); break;
                case Op::ConvertO: push(toObject(pop())); break;
                case Op::CoerceA: break;
                case Op::CoerceO: { Value v = pop(); push(v.isUndefined() ? Value::null() : v); break; }
                case Op::Coerce: push(coerceTo(pop(), resolveType(unit, in.a))); break;
                case Op::AsType: {
                    Value v = pop();
                    ClassObject* type = resolveType(unit, in.a);
                    push(isType(v, type) ? v : Value::null());
                    break;
                }
                case Op::AsTypeLate: {
                    Value t = pop();
                    Value v = pop();
                    if (!t.isObject() || t.o->kind != ObjectKind::Class)
                        typeError(1041, "The right-hand side of operator must be a class.");
                    push(isType(v, static_cast<ClassObject*>(t.o)) ? v : Value::null());
                    break;
                }
                case Op::IsType: push(Value::boolean(isType(pop(), resolveType(unit, in.a)))); break;
                case Op::IsTypeLate: {
                    Value t = pop();
                    Value v = pop();
                    if (!t.isObject() || t.o->kind != ObjectKind::Class)
                        typeError(1041, "The right-hand side of operator must be a class.");
                    push(Value::boolean(isType(v, static_cast<ClassObject*>(t.o))));
                    break;
                }
                case Op::Negate: push(numberValue(-number(pop()))); break;
                case Op::Increment: push(numberValue(number(pop()) + 1)); break;
                case Op::Decrement: push(numberValue(number(pop()) - 1)); break;
                case Op::IncLocal: locals[in.a] = numberValue(number(locals[in.a]) + 1); break;
                case Op::DecLocal: locals[in.a] = numberValue(number(locals[in.a]) - 1); break;
                case Op::IncrementI: push(Value::integer(static_cast<std::int32_t>(static_cast<std::uint32_t>(toInt(pop())) + 1u))); break;
                case Op::DecrementI: push(Value::integer(static_cast<std::int32_t>(static_cast<std::uint32_t>(toInt(pop())) - 1u))); break;
                case Op::IncLocalI:
                    locals[in.a] = Value::integer(static_cast<std::int32_t>(static_cast<std::uint32_t>(toInt(locals[in.a])) + 1u));
                    break;
                case Op::DecLocalI:
                    locals[in.a] = Value::integer(static_cast<std::int32_t>(static_cast<std::uint32_t>(toInt(locals[in.a])) - 1u));
                    break;
                case Op::NegateI: push(Value::integer(static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(toInt(pop()))))); break;
                case Op::AddI: { std::int32_t b = toInt(pop()), a = toInt(pop()); push(Value::integer(static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b)))); break; }
                case Op::SubtractI: { std::int32_t b = toInt(pop()), a = toInt(pop()); push(Value::integer(static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b)))); break; }
                case Op::MultiplyI: { std::int32_t b = toInt(pop()), a = toInt(pop()); push(Value::integer(static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b)))); break; }
                case Op::TypeOf: push(string(typeOf(pop()))); break;
                case Op::Not: push(Value::boolean(!toBoolean(pop()))); break;
                case Op::BitNot: push(Value::integer(~toInt(pop()))); break;
                case Op::Add: { Value b = pop(), a = pop(); push(add(a, b)); break; }
                case Op::Subtract: {
                    Value b = pop(), a = pop();
                    if (a.tag == Tag::Int && b.tag == Tag::Int)
                        push(numberValue(static_cast<double>(static_cast<std::int64_t>(a.i) - b.i)));
                    else
                        push(numberValue(number(a) - number(b)));
                    break;
                }
                case Op::Multiply: { Value b = pop(), a = pop(); double x = number(a); push(numberValue(x * number(b))); break; }
                case Op::Divide: { Value b = pop(), a = pop(); double x = number(a); push(numberValue(x / number(b))); break; }
                case Op::Modulo: { Value b = pop(), a = pop(); double x = number(a); push(numberValue(std::fmod(x, number(b)))); break; }
                case Op::LShift: { Value b = pop(), a = pop(); std::int32_t x = toInt(a); push(Value::integer(static_cast<std::int32_t>(static_cast<std::uint32_t>(x) << (toUint(b) & 31)))); break; }
                case Op::RShift: { Value b = pop(), a = pop(); std::int32_t x = toInt(a); push(Value::integer(x >> (toUint(b) & 31))); break; }
                case Op::URShift: { Value b = pop(), a = pop(); std::uint32_t x = toUint(a); push(Value::uinteger(x >> (toUint(b) & 31))); break; }
                case Op::BitAnd: { Value b = pop(), a = pop(); std::int32_t x = toInt(a); push(Value::integer(x & toInt(b))); break; }
                case Op::BitOr: { Value b = pop(), a = pop(); std::int32_t x = toInt(a); push(Value::integer(x | toInt(b))); break; }
                case Op::BitXor: { Value b = pop(), a = pop(); std::int32_t x = toInt(a); push(Value::integer(x ^ toInt(b))); break; }
                case Op::Equals: { Value b = pop(), a = pop(); push(Value::boolean(looseEquals(a, b))); break; }
                case Op::StrictEquals: { Value b = pop(), a = pop(); push(Value::boolean(strictEquals(a, b))); break; }
                case Op::LessThan: { Value b = pop(), a = pop(); push(Value::boolean(lessThan(a, b) == 1)); break; }
                case Op::LessEquals: { Value b = pop(), a = pop(); push(Value::boolean(lessThan(b, a) == 0)); break; }
                case Op::GreaterThan: { Value b = pop(), a = pop(); push(Value::boolean(lessThan(b, a) == 1)); break; }
                case Op::GreaterEquals: { Value b = pop(), a = pop(); push(Value::boolean(lessThan(a, b) == 0)); break; }
                case Op::InstanceOf: {
                    Value t = pop();
                    Value v = pop();
                    if (!t.isObject())
                        typeError(1040, "The right-hand side of instanceof must be a class or function.");
                    Value protov = t.o->kind == ObjectKind::Class ? Value::object(static_cast<ClassObject*>(t.o)->prototype)
                                                                  : getProperty(t, publicName("prototype"));
                    bool found = false;
                    if (v.isObject() && protov.isObject())
                        for (Object* o = v.o->proto; o && !found; o = o->proto)
                            found = o == protov.o;
                    push(Value::boolean(found));
                    break;
                }
                case Op::In: {
                    Value obj = pop();
                    Value name = pop();
                    auto* dict = obj.isObject() && name.isObject() ? dynamic_cast<DictionaryObject*>(obj.o) : nullptr;
                    push(Value::boolean(hasProperty(toObject(obj), publicName(dict ? dict->nameFor(name.o) : toString(name)))));
                    break;
                }
                }
            }
        } catch (const ScriptError& e) {
            // The instruction that threw is pc - 1; the innermost handler covering it wins.
            std::size_t at = pc == 0 ? 0 : pc - 1;
            const Handler* found = nullptr;
            for (const auto& h : body.handlers) {
                if (at < h.from || at >= h.to)
                    continue;
                ClassObject* type = h.type ? resolveType(unit, h.type) : nullptr;
                if (h.type && !type)
                    continue;
                if (!type || isType(e.value, type)) {
                    found = &h;
                    break;
                }
            }
            if (!found)
                throw;
            sp = 0;
            st[sp++] = e.value;
            scope.resize(localBase);
            with.resize(localBase);
            pc = found->target;
        }
    }
}

} // namespace swf::avm2
