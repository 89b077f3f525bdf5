// Classes, traits and names: how ABC definitions become objects, and how names and
// types are resolved at run time.
#include "swf/avm2/Amf.h"
#include "swf/avm2/Machine.h"
#include "swf/avm2/Xml.h"

#include <cmath>

namespace swf::avm2 {

const DecodedBody& Machine::decoded(AbcUnit& unit, std::uint32_t body) {
    auto& slot = unit.decoded[body];
    if (!slot) {
        std::string error;
        auto d = decodeBody(unit.abc, unit.abc.bodies[body], error);
        if (!d)
            verifyError(error);
        slot = std::make_unique<DecodedBody>(std::move(*d));
        slot->slotCache.resize(slot->code.size());
    }
    return *slot;
}

Function* Machine::makeMethod(AbcUnit& unit, std::uint32_t method, std::vector<Value> scope,
                              std::vector<bool> withScope, ClassObject* owner) {
    Function* f = allocate<Function>();
    f->unit = &unit;
    f->method = method;
    f->scope = std::move(scope);
    f->withScope = std::move(withScope);
    f->ownerClass = owner;
    f->cls = functionClass;
    f->proto = functionClass ? functionClass->prototype : nullptr;
    const MethodInfo& info = unit.abc.methods[method];
    f->name = unit.abc.strings[info.name];
    f->length = static_cast<std::uint32_t>(info.paramTypes.size());
    return f;
}

Value Machine::constantValue(AbcUnit& unit, const ConstantRef& c) {
    const AbcFile& abc = unit.abc;
    switch (c.kind) {
    case 0x03: return Value::integer(abc.ints[c.index]);
    case 0x04: return Value::uinteger(abc.uints[c.index]);
    case 0x06: return Value::number(abc.doubles[c.index]);
    case 0x01: return string(abc.strings[c.index]);
    case 0x0B: return Value::boolean(true);
    case 0x0A: return Value::boolean(false);
    case 0x0C: return Value::null();
    default: return Value();
    }
}

void Machine::applyTraits(AbcUnit& unit, const std::vector<TraitInfo>& traits, Traits& into, ClassObject* owner,
                          const std::vector<Value>& scope, const std::vector<bool>& withScope, Object* statics) {
    for (const auto& t : traits) {
        const Name& n = unit.names[t.name];
        NsKey ns = n.namespaces.empty() ? kPublicNs : n.namespaces[0];
        Binding& b = into.define(n.local, ns);
        switch (t.kind) {
        case TraitKind::Slot:
        case TraitKind::Const:
        case TraitKind::Class:
        case TraitKind::Function: {
            std::uint32_t slot = t.slotId ? t.slotId : into.slotCount + 1;
            if (slot > 65535)
                verifyError("Error #1107: The ABC data is corrupt, attempt to read out of bounds.");
            b.kind = t.kind == TraitKind::Const ? Binding::Kind::Const : Binding::Kind::Slot;
            b.slot = slot;
            b.typeName = t.kind == TraitKind::Slot || t.kind == TraitKind::Const ? t.typeName : 0;
            b.typeUnit = &unit;
            if (slot > into.slotCount)
                into.slotCount = slot;
            if (into.slotDefaults.size() <= slot)
                into.slotDefaults.resize(slot + 1);
            Value initial;
            if (t.kind == TraitKind::Function) {
                initial = Value::object(makeMethod(unit, t.index, scope, withScope, nullptr));
            } else if (t.kind == TraitKind::Slot || t.kind == TraitKind::Const) {
                if (t.value.kind != 0 || t.value.index != 0) {
                    initial = constantValue(unit, t.value);
                } else {
                    // Typed slots start at their type's default: 0 for numbers, false, null.
                    const Name& type = unit.names[t.typeName];
                    if (t.typeName == 0)
                        initial = Value();
                    else if (type.local == "int" || type.local == "uint")
                        initial = Value::integer(0);
                    else if (type.local == "Number")
                        initial = Value::number(NAN);
                    else if (type.local == "Boolean")
                        initial = Value::boolean(false);
                    else
                        initial = Value::null();
                }
            } else {
                initial = Value::null();
            }
            into.slotDefaults[slot] = initial;
            break;
        }
        case TraitKind::Method:
            b.kind = Binding::Kind::Method;
            b.method = makeMethod(unit, t.index, scope, withScope, owner);
            break;
        case TraitKind::Getter:
        case TraitKind::Setter: {
            if (b.kind != Binding::Kind::Accessor) {
                b = Binding{};
                b.kind = Binding::Kind::Accessor;
            }
            Function* f = makeMethod(unit, t.index, scope, withScope, owner);
            (t.kind == TraitKind::Getter ? b.getter : b.setter) = f;
            break;
        }
        }
    }
    (void)statics;
}

namespace {
// Copies bindings of namespace `from` to namespace `to`; only over existing ones when `onlyExisting`.
void aliasProtected(Traits& traits, const NsKey& from, const NsKey& to, bool onlyExisting = false) {
    if (from.empty() || from == to)
        return;
    auto order = traits.order;
    for (const auto& [local, ns] : order) {
        if (ns != from)
            continue;
        Binding* source = traits.find(local, from);
        if (onlyExisting && !traits.find(local, to))
            continue;
        Binding copy = *source;
        traits.define(local, to) = copy;
    }
}
} // namespace

ClassObject* Machine::newClass(AbcUnit& unit, std::uint32_t index, Value base, const std::vector<Value>& scope,
                               const std::vector<bool>& withScope) {
    const InstanceInfo& inst = unit.abc.instances[index];
    const ClassInfo& info = unit.abc.classes[index];
    ClassObject* super = nullptr;
    if (base.isObject() && base.o->kind == ObjectKind::Class) {
        super = static_cast<ClassObject*>(base.o);
        if (super->isInterface)
            verifyError("Error #1110: Class " + unit.names[inst.name].local + " cannot extend an interface.");
    } else if (!base.isNullish()) {
        verifyError("Error #1108: The OP_newclass opcode was used with the incorrect base class.");
    }
    ClassObject* cls = allocate<ClassObject>();
    const Name& n = unit.names[inst.name];
    cls->name = n.local;
    std::string package = n.namespaces.empty() ? "" : n.namespaces[0];
    if (package.rfind("~", 0) == 0)
        package = package.substr(package.find(':') + 1);
    cls->qualified = package.empty() ? n.local : package + "::" + n.local;
    cls->super = super;
    cls->proxy = super && super->proxy;
    cls->isInterface = (inst.flags & kInterface) != 0;
    cls->dynamicInstances = !(inst.flags & kSealed) && !cls->isInterface;
    if (inst.flags & kProtectedNs)
        cls->protectedNs = unit.nsKeys[inst.protectedNs];
    cls->cls = classClass;
    cls->proto = classClass ? classClass->prototype : nullptr;
    cls->traits = &cls->staticTraits;
    cls->sealed = true;
    if (super)
        cls->instanceTraits.inheritFrom(super->instanceTraits);
    for (auto iface : inst.interfaces) {
        Name in = unit.names[iface];
        Object* holder = findInDomain(in);
        if (holder) {
            Value v = getProperty(Value::object(holder), in);
            if (v.isObject() && v.o->kind == ObjectKind::Class)
                cls->interfaces.push_back(static_cast<ClassObject*>(v.o));
        }
    }
    // Methods of a class see the class object on their scope chain.
    std::vector<Value> classScope = scope;
    std::vector<bool> classWith = withScope;
    classScope.push_back(Value::object(cls));
    classWith.push_back(false);
    // Protected members are one namespace per class; an inherited or overriding member is
    // reachable through the protected namespace of every class on the chain.
    if (super && !cls->protectedNs.empty())
        aliasProtected(cls->instanceTraits, super->protectedNs, cls->protectedNs);
    applyTraits(unit, inst.traits, cls->instanceTraits, cls, classScope, classWith, nullptr);
    for (ClassObject* c = super; c && !cls->protectedNs.empty(); c = c->super)
        if (!c->protectedNs.empty())
            aliasProtected(cls->instanceTraits, cls->protectedNs, c->protectedNs, true);
    applyTraits(unit, info.traits, cls->staticTraits, cls, classScope, classWith, cls);
    cls->initSlots();
    Object* prototype = newObject();
    if (super && super->prototype)
        prototype->proto = super->prototype;
    prototype->setOwn("constructor", Value::object(cls));
    prototype->setDontEnum("constructor");
    cls->prototype = prototype;
    cls->init = makeMethod(unit, inst.init, classScope, classWith, cls);
    unit.classes[index] = cls;
    Function* cinit = makeMethod(unit, info.init, classScope, classWith, cls);
    call(Value::object(cinit), Value::object(cls), {});
    return cls;
}

Name Machine::runtimeName(AbcUnit& unit, std::uint32_t multiname, Value* runtimeLocal, Value* runtimeNs) {
    Name n = unit.names[multiname];
    if (runtimeNs) {
        n.namespaces.clear();
        // A Namespace object carries its URI in slot-less dynamic storage ("uri").
        if (runtimeNs->isObject()) {
            if (Value* uri = runtimeNs->o->own("uri"))
                n.namespaces.push_back(toString(*uri));
        }
        if (n.namespaces.empty())
            n.namespaces.push_back(kPublicNs);
    }
    if (runtimeLocal) {
        if (runtimeLocal->isObject() && runtimeLocal->o->cls && runtimeLocal->o->cls == qnameClass) {
            Value* local = runtimeLocal->o->own("localName");
            n.local = local ? toString(*local) : "";
            // A QName names its own namespace (its URI; "" is public).
            Value* uri = runtimeLocal->o->own("uri");
            if (uri && !runtimeNs) {
                std::string key = toString(*uri);
                n.namespaces = {key};
                if (key.empty())
                    n.namespaces.push_back(kAs3Ns);
            }
        } else {
            n.local = toString(*runtimeLocal);
        }
    }
    return n;
}

ClassObject* Machine::resolveType(AbcUnit& unit, std::uint32_t multiname) {
    if (multiname == 0)
        return nullptr;
    const Name& n = unit.names[multiname];
    if (n.local == "*" || n.local == "void")
        return nullptr;
    Object* holder = findInDomain(n);
    if (!holder)
        return nullptr; // an unknown type name coerces nothing (it may come from a later ABC block)
    Binding* b = findTrait(holder, n);
    if (!b || (b->kind != Binding::Kind::Slot && b->kind != Binding::Kind::Const))
        return nullptr;
    Value v = b->slot < holder->slots.size() ? holder->slots[b->slot] : Value();
    return v.isObject() && v.o->kind == ObjectKind::Class ? static_cast<ClassObject*>(v.o) : nullptr;
}

Value Machine::coerceTo(Value v, ClassObject* type) {
    if (!type || type == objectClass)
        return v.isUndefined() && type ? Value::null() : v;
    if (type == intClass)
        return Value::integer(toInt(v));
    if (type == uintClass)
        return Value::uinteger(toUint(v));
    if (type == numberClass)
        return Value::number(toNumber(v));
    if (type == booleanClass)
        return Value::boolean(toBoolean(v));
    if (type == stringClass)
        return v.isNullish() ? Value::null() : (v.isString() ? v : string(toString(v)));
    if (v.isNullish())
        return Value::null();
    if (isType(v, type))
        return v;
    // A string coerced to XML or XMLList is parsed.
    if ((type == xmlClass || type == xmlListClass) && type->callAsFunction) {
        Value args[1] = {v};
        return type->callAsFunction(*this, Value(), args);
    }
    typeError(1034, "Type Coercion failed: cannot convert " + toString(v) + " to " + type->qualified + ".");
}

Object* Machine::findProperty(const Name& name, const std::vector<Value>& scope, const std::vector<bool>& withScope,
                              std::size_t, bool strict) {
    for (std::size_t i = scope.size(); i-- > 0;) {
        const Value& s = scope[i];
        if (!s.isObject())
            continue;
        Object* o = s.o;
        if (withScope[i]) {
            if (hasProperty(s, name))
                return o;
            continue;
        }
        if (findTrait(o, name))
            return o;
        if (o->kind == ObjectKind::Global || o->kind == ObjectKind::Activation) {
            if (name.hasPublic() && o->hasOwn(name.local))
                return o;
        }
    }
    if (Object* o = findInDomain(name))
        return o;
    if (strict)
        referenceError(1065, "Variable " + name.local + " is not defined.");
    for (const Value& s : scope)
        if (s.isObject())
            return s.o;
    return m_builtinGlobal;
}

// ---------------------------------------------------------------- native definitions

ClassObject* Machine::defineNativeClass(const std::string& package, const std::string& name, ClassObject* super) {
    ClassObject* cls = makeNativeClass(package, name, super);
    defineGlobal(package, name, Value::object(cls));
    return cls;
}

ClassObject* Machine::makeNativeClass(const std::string& package, const std::string& name, ClassObject* super) {
    ClassObject* cls = allocate<ClassObject>();
    cls->name = name;
    cls->qualified = package.empty() ? name : package + "::" + name;
    cls->super = super ? super : (objectClass != cls ? objectClass : nullptr);
    cls->cls = classClass;
    cls->proto = classClass ? classClass->prototype : nullptr;
    cls->traits = &cls->staticTraits;
    cls->sealed = true;
    if (cls->super)
        cls->instanceTraits.inheritFrom(cls->super->instanceTraits);
    cls->prototype = allocate<Object>();
    cls->prototype->cls = objectClass;
    cls->prototype->proto = cls->super ? cls->super->prototype : nullptr;
    cls->prototype->setOwn("constructor", Value::object(cls));
    cls->prototype->setDontEnum("constructor");
    return cls;
}

namespace {
void defineInBoth(Traits& traits, const std::string& name, const std::function<void(Binding&)>& fill) {
    fill(traits.define(name, kPublicNs));
    fill(traits.define(name, kAs3Ns));
}
} // namespace

void Machine::defineMethod(ClassObject* cls, const std::string& name, NativeFn fn, std::uint32_t length) {
    Function* f = newNative(name, std::move(fn), length);
    defineInBoth(cls->instanceTraits, name, [&](Binding& b) {
        b = Binding{};
        b.kind = Binding::Kind::Method;
        b.method = f;
    });
}

void Machine::defineGetter(ClassObject* cls, const std::string& name, NativeFn fn) {
    Function* f = newNative(name, std::move(fn));
    defineInBoth(cls->instanceTraits, name, [&](Binding& b) {
        b.kind = Binding::Kind::Accessor;
        b.getter = f;
    });
}

void Machine::defineSetter(ClassObject* cls, const std::string& name, NativeFn fn) {
    Function* f = newNative(name, std::move(fn), 1);
    defineInBoth(cls->instanceTraits, name, [&](Binding& b) {
        b.kind = Binding::Kind::Accessor;
        b.setter = f;
    });
}

void Machine::defineStatic(ClassObject* cls, const std::string& name, Value v) {
    Binding& b = cls->staticTraits.define(name, kPublicNs);
    b.kind = Binding::Kind::Const;
    b.slot = ++cls->staticTraits.slotCount;
    cls->staticTraits.slotDefaults.resize(b.slot + 1);
    cls->staticTraits.slotDefaults[b.slot] = v;
    cls->slots.resize(b.slot + 1);
    cls->slots[b.slot] = v;
}

void Machine::defineStaticMethod(ClassObject* cls, const std::string& name, NativeFn fn, std::uint32_t length) {
    Function* f = newNative(name, std::move(fn), length);
    defineInBoth(cls->staticTraits, name, [&](Binding& b) {
        b = Binding{};
        b.kind = Binding::Kind::Method;
        b.method = f;
    });
}

void Machine::defineGlobal(const std::string& package, const std::string& name, Value v) {
    Binding& b = m_builtinTraits.define(name, package);
    b.kind = Binding::Kind::Const;
    b.slot = ++m_builtinTraits.slotCount;
    m_builtinTraits.slotDefaults.resize(b.slot + 1);
    m_builtinTraits.slotDefaults[b.slot] = v;
    m_builtinGlobal->slots.resize(b.slot + 1);
    m_builtinGlobal->slots[b.slot] = v;
}

void Machine::installBuiltins() {
    installCoreBuiltins(*this);
    installStringBuiltins(*this);
    installArrayBuiltins(*this);
    installMathBuiltins(*this);
    installVectorBuiltins(*this);
    installUtilsBuiltins(*this);
    installJsonBuiltins(*this);
    installDateBuiltins(*this);
    installGeomBuiltins(*this);
    installRegExpBuiltins(*this);
    installByteArrayBuiltins(*this);
    installAmfBuiltins(*this);
    installProxyBuiltins(*this);
    installSystemBuiltins(*this);
    installXmlBuiltins(*this);
    installDescribeBuiltins(*this);
}

} // namespace swf::avm2
