// flash.utils.describeType: an XML description of a value's class, in the shape Flash
// Player gives it: <type name base isDynamic isFinal isStatic> with extendsClass and
// implementsInterface, then the public variables, constants, accessors and methods (with
// declaredBy, types and parameters) of the instance; for a class value, its static members
// and a <factory> describing its instances. Types come from the ABC's declarations ("*"
// where none is declared, and for the built-in classes' native members). Members are listed
// in declaration order (Flash's own order is not defined); metadata is not listed.
#include "swf/avm2/Xml.h"

#include <algorithm>

namespace swf::avm2 {

namespace {

// "pkg::Name", "Name", "__AS3__.vec::Vector.<T>" or "*" for a type multiname of `unit`.
std::string typeName(const AbcUnit* unit, std::uint32_t multiname, int nesting = 0) {
    if (!unit || multiname == 0 || multiname >= unit->abc.multinames.size() || nesting > 8)
        return "*";
    const MultinameInfo& info = unit->abc.multinames[multiname];
    if (info.kind == MultinameKind::TypeName) {
        std::string out = typeName(unit, info.base, nesting + 1) + ".<";
        for (std::size_t i = 0; i < info.params.size(); ++i)
            out += (i ? "," : "") + typeName(unit, info.params[i], nesting + 1);
        return out + ">";
    }
    const Name& n = unit->names[multiname];
    std::string ns = n.namespaces.empty() ? "" : n.namespaces[0];
    if (ns.rfind("~", 0) == 0)
        ns = ns.substr(ns.find(':') + 1);
    return ns.empty() ? n.local : ns + "::" + n.local;
}

std::string returnType(const Function* f) {
    if (!f || !f->unit || f->method >= f->unit->abc.methods.size())
        return "*";
    return typeName(f->unit, f->unit->abc.methods[f->method].returnType);
}

// <parameter index type optional/> for each declared parameter.
std::string parameters(const Function* f) {
    std::string out;
    if (!f)
        return out;
    if (f->unit && f->method < f->unit->abc.methods.size()) {
        const MethodInfo& info = f->unit->abc.methods[f->method];
        const std::size_t required = info.paramTypes.size() - std::min(info.optional.size(), info.paramTypes.size());
        for (std::size_t i = 0; i < info.paramTypes.size(); ++i)
            out += "<parameter index=\"" + std::to_string(i + 1) + "\" type=\"" +
                   xmlAttributeEscaped(typeName(f->unit, info.paramTypes[i])) + "\" optional=\"" + (i >= required ? "true" : "false") +
                   "\"/>";
        return out;
    }
    for (std::uint32_t i = 0; i < f->length; ++i)
        out += "<parameter index=\"" + std::to_string(i + 1) + "\" type=\"*\" optional=\"false\"/>";
    return out;
}

// The class on `cls`'s chain that declares (local, ns): the highest one whose traits hold it
// with the same binding, or the method's own class.
const ClassObject* declarer(ClassObject* cls, const std::string& local, const Binding& b, bool statics) {
    if (statics)
        return cls;
    if (b.kind == Binding::Kind::Method && b.method && b.method->ownerClass)
        return b.method->ownerClass;
    if (b.kind == Binding::Kind::Accessor) {
        const Function* f = b.getter ? b.getter : b.setter;
        if (f && f->ownerClass)
            return f->ownerClass;
    }
    const ClassObject* found = cls;
    for (ClassObject* c = cls->super; c; c = c->super) {
        Binding* inherited = c->instanceTraits.find(local, kPublicNs);
        if (!inherited || inherited->kind != b.kind || inherited->slot != b.slot || inherited->method != b.method ||
            inherited->getter != b.getter || inherited->setter != b.setter)
            break;
        found = c;
    }
    return found;
}

std::string members(Machine& m, ClassObject* cls, Traits& traits, bool statics) {
    std::string out;
    for (const auto& [local, ns] : traits.order) {
        if (ns != kPublicNs)
            continue;
        Binding* b = traits.find(local, ns);
        // Object's own methods live on its prototype in Flash, so no description lists them.
        if (!b || (!statics && cls != m.objectClass && declarer(cls, local, *b, statics) == m.objectClass))
            continue;
        const std::string name = xmlAttributeEscaped(local);
        switch (b->kind) {
        case Binding::Kind::Slot:
        case Binding::Kind::Const:
            out += std::string("<") + (b->kind == Binding::Kind::Const ? "constant" : "variable") + " name=\"" + name +
                   "\" type=\"" + xmlAttributeEscaped(typeName(static_cast<const AbcUnit*>(b->typeUnit), b->typeName)) + "\"/>";
            break;
        case Binding::Kind::Accessor: {
            const char* access = b->getter && b->setter ? "readwrite" : b->getter ? "readonly" : "writeonly";
            std::string type = "*";
            if (b->getter)
                type = returnType(b->getter);
            else if (b->setter && b->setter->unit && b->setter->method < b->setter->unit->abc.methods.size() &&
                     !b->setter->unit->abc.methods[b->setter->method].paramTypes.empty())
                type = typeName(b->setter->unit, b->setter->unit->abc.methods[b->setter->method].paramTypes[0]);
            out += "<accessor name=\"" + name + "\" access=\"" + access + "\" type=\"" + xmlAttributeEscaped(type) +
                   "\" declaredBy=\"" + xmlAttributeEscaped(declarer(cls, local, *b, statics)->qualified) + "\"/>";
            break;
        }
        case Binding::Kind::Method:
            out += "<method name=\"" + name + "\" declaredBy=\"" + xmlAttributeEscaped(declarer(cls, local, *b, statics)->qualified) +
                   "\" returnType=\"" + xmlAttributeEscaped(returnType(b->method)) + "\">" + parameters(b->method) + "</method>";
            break;
        }
    }
    return out;
}

// extendsClass and implementsInterface of an instance of `cls`, then its members.
std::string instanceBody(Machine& m, ClassObject* cls) {
    std::string out;
    std::vector<const ClassObject*> interfaces;
    for (const ClassObject* c = cls; c; c = c->super) {
        if (c != cls)
            out += "<extendsClass type=\"" + xmlAttributeEscaped(c->qualified) + "\"/>";
        for (const ClassObject* i : c->interfaces)
            if (std::find(interfaces.begin(), interfaces.end(), i) == interfaces.end())
                interfaces.push_back(i);
    }
    for (const ClassObject* i : interfaces)
        out += "<implementsInterface type=\"" + xmlAttributeEscaped(i->qualified) + "\"/>";
    if (cls->init && cls->init->unit) {
        std::string params = parameters(cls->init);
        if (!params.empty())
            out += "<constructor>" + params + "</constructor>";
    }
    return out + members(m, cls, cls->instanceTraits, false);
}

std::string describe(Machine& m, Value v) {
    if (v.isNullish()) {
        const char* name = v.isNull() ? "null" : "void";
        return std::string("<type name=\"") + name + "\" isDynamic=\"false\" isFinal=\"true\" isStatic=\"false\"/>";
    }
    if (v.isObject() && v.o->kind == ObjectKind::Class) {
        auto* cls = static_cast<ClassObject*>(v.o);
        std::string out = "<type name=\"" + xmlAttributeEscaped(cls->qualified) +
                          "\" base=\"Class\" isDynamic=\"true\" isFinal=\"true\" isStatic=\"true\">"
                          "<extendsClass type=\"Class\"/><extendsClass type=\"Object\"/>"
                          "<accessor name=\"prototype\" access=\"readonly\" type=\"*\" declaredBy=\"Class\"/>";
        out += members(m, cls, cls->staticTraits, true);
        return out + "<factory type=\"" + xmlAttributeEscaped(cls->qualified) + "\">" + instanceBody(m, cls) + "</factory></type>";
    }
    ClassObject* cls = m.classOf(v);
    if (!cls)
        cls = m.objectClass;
    std::string out = "<type name=\"" + xmlAttributeEscaped(cls->qualified) + "\"";
    if (cls->super)
        out += " base=\"" + xmlAttributeEscaped(cls->super->qualified) + "\"";
    const bool primitive = !v.isObject();
    out += std::string(" isDynamic=\"") + (cls->dynamicInstances && !primitive ? "true" : "false") +
           "\" isFinal=\"" + (primitive ? "true" : "false") + "\" isStatic=\"false\">";
    return out + instanceBody(m, cls) + "</type>";
}

} // namespace

void installDescribeBuiltins(Machine& m) {
    m.defineGlobal("flash.utils", "describeType",
                   Value::object(m.newNative("describeType", [](Machine& m, Value, std::span<Value> a) {
                       Value text = m.string(describe(m, a.empty() ? Value() : a[0]));
                       return m.construct(Value::object(m.xmlClass), std::span<Value>(&text, 1));
                   }, 1)));
}

} // namespace swf::avm2
