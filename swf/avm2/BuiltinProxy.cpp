// QName and flash.utils.Proxy. A Proxy subclass answers every property its class does not
// declare through its flash_proxy methods (getProperty, setProperty, callProperty,
// hasProperty, deleteProperty) and is enumerated through nextNameIndex, nextName and
// nextValue. Names reach those methods as QName objects, as in the player; the Proxy
// class's own versions throw Flash's "not implemented" error (#2088 and its kin).
#include "swf/avm2/Machine.h"

namespace swf::avm2 {

namespace {

Value ownOr(Machine& m, Value self, const char* name) {
    Value* v = self.isObject() ? self.o->own(name) : nullptr;
    return v ? *v : m.string("");
}

struct ProxyMethod {
    const char* name;
    int errorId;
};
constexpr ProxyMethod kProxyMethods[] = {
    {"getProperty", 2088},  {"setProperty", 2089},   {"callProperty", 2090}, {"hasProperty", 2091},
    {"deleteProperty", 2092}, {"getDescendants", 2093}, {"nextNameIndex", 2105}, {"nextName", 2106},
    {"nextValue", 2107},    {"isAttribute", 2108},
};

} // namespace

Value Machine::qualifiedName(const std::string& uri, const std::string& local) {
    Object* q = newObject();
    q->cls = qnameClass;
    q->proto = qnameClass ? qnameClass->prototype : nullptr;
    q->traits = qnameClass ? &qnameClass->instanceTraits : nullptr;
    q->initSlots();
    q->sealed = true;
    q->setOwn("uri", string(uri));
    q->setOwn("localName", string(local));
    q->setDontEnum("uri");
    q->setDontEnum("localName");
    return Value::object(q);
}

Value Machine::proxyCall(Object* proxy, const char* method, std::span<Value> args) {
    Binding* b = proxy->traits ? proxy->traits->find(method, kProxyNs) : nullptr;
    if (!b || b->kind != Binding::Kind::Method)
        typeError(1006, std::string(method) + " is not a function.");
    return call(Value::object(b->method), Value::object(proxy), args);
}

Value Machine::proxyName(const Name& name) {
    std::string uri;
    for (const NsKey& ns : name.namespaces)
        if (ns == kPublicNs) {
            uri.clear();
            break;
        } else if (uri.empty() && ns.find('~') == std::string::npos) {
            uri = ns;
        }
    return qualifiedName(name.hasPublic() ? "" : uri, name.local);
}

void installProxyBuiltins(Machine& m) {
    ClassObject* qname = m.defineNativeClass("", "QName", m.objectClass);
    m.qnameClass = qname;
    qname->dynamicInstances = false;
    // new QName(local), new QName(namespace or uri, local), new QName(qname).
    qname->init = m.newNative("QName", [](Machine& m, Value self, std::span<Value> a) {
        if (!self.isObject())
            return Value();
        Value local = a.size() >= 2 ? a[1] : arg(a, 0);
        Value uri = m.string("");
        if (a.size() >= 2)
            uri = a[0].isObject() && a[0].o->cls == m.namespaceClass ? ownOr(m, a[0], "uri")
                  : a[0].isNullish()                                  ? m.string("")
                                                                      : m.string(m.toString(a[0]));
        if (local.isObject() && local.o->cls == m.qnameClass) {
            if (a.size() < 2)
                uri = ownOr(m, local, "uri");
            local = ownOr(m, local, "localName");
        }
        self.o->setOwn("uri", uri);
        self.o->setOwn("localName", m.string(local.isUndefined() ? "" : m.toString(local)));
        self.o->setDontEnum("uri");
        self.o->setDontEnum("localName");
        return Value();
    }, 2);
    m.defineGetter(qname, "localName", [](Machine& m, Value self, std::span<Value>) { return ownOr(m, self, "localName"); });
    m.defineGetter(qname, "uri", [](Machine& m, Value self, std::span<Value>) { return ownOr(m, self, "uri"); });
    auto text = [](Machine& m, Value self, std::span<Value>) {
        std::string uri = m.toString(ownOr(m, self, "uri"));
        std::string local = m.toString(ownOr(m, self, "localName"));
        return m.string(uri.empty() ? local : uri + "::" + local);
    };
    m.defineMethod(qname, "toString", text);

    ClassObject* proxy = m.defineNativeClass("flash.utils", "Proxy", m.objectClass);
    proxy->proxy = true;
    proxy->init = m.newNative("Proxy", [](Machine&, Value, std::span<Value>) { return Value(); });
    for (const ProxyMethod& pm : kProxyMethods) {
        Function* f = m.newNative(pm.name, [pm](Machine& m, Value, std::span<Value>) -> Value {
            m.throwError(m.findClass("flash.errors.IllegalOperationError"), pm.errorId,
                         std::string("The Proxy class does not implement ") + pm.name +
                             ". It must be overridden by a subclass.");
        });
        Binding& b = proxy->instanceTraits.define(pm.name, kProxyNs);
        b.kind = Binding::Kind::Method;
        b.method = f;
    }
    Object* ns = m.newObject();
    ns->cls = m.namespaceClass;
    ns->proto = m.namespaceClass->prototype;
    ns->setOwn("uri", m.string(kProxyNs));
    m.defineGlobal("flash.utils", "flash_proxy", Value::object(ns));
}

} // namespace swf::avm2
