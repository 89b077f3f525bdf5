// XMLNode and XML. A node keeps its tree natively (parent, children, attributes
// object); `childNodes` is an ordinary array that is rebuilt whenever the tree
// changes, so entries a script pushed into it vanish on the next change, as in Flash.
// The node accessors live on XMLNode.prototype. Loading is in BuiltinLoad.cpp.

#include "BuiltinSupport.h"
#include "BuiltinLoad.h"
#include "XmlParser.h"

namespace swf::avm1 {

namespace {

constexpr int kMaxDepth = 256;         // nesting that toString and cloneNode follow
constexpr std::size_t kMaxParsedNodes = 1u << 20;

class XmlNode : public Object {
public:
    explicit XmlNode(Object* proto) : Object(Kind::Plain, proto) {}
    void references(std::vector<Object*>& out) const override {
        Object::references(out);
        for (Object* o : {static_cast<Object*>(attributes), static_cast<Object*>(childArray),
                          static_cast<Object*>(parent)})
            if (o)
                out.push_back(o);
        for (XmlNode* c : children)
            out.push_back(c);
    }

    int type = 1;
    Value name = Value::null();
    Value value = Value::null();
    Object* attributes = nullptr;
    ArrayObject* childArray = nullptr;
    std::vector<XmlNode*> children;
    XmlNode* parent = nullptr;
};

XmlNode* nodeOf(const Value& v) {
    return dynamic_cast<XmlNode*>(v.object());
}

XmlNode* nodeOf(Object* o) {
    return dynamic_cast<XmlNode*>(o);
}

void syncChildArray(Interpreter& vm, XmlNode* n) {
    std::vector<Value> items(n->children.begin(), n->children.end());
    if (!n->childArray)
        n->childArray = vm.newArray(std::move(items));
    else
        n->childArray->elements = std::move(items);
}

Object* nodeProto(Interpreter& vm) {
    return vm.get(vm.get(vm.global(), "XMLNode"), "prototype").object();
}

void initNode(Interpreter& vm, XmlNode* n, int type, const Value& text) {
    n->type = type;
    if (type == 1)
        n->name = text;
    else
        n->value = text;
    n->attributes = vm.newObject();
    syncChildArray(vm, n);
}

// Nodes the player makes (parsing, createElement, cloneNode) carry their own hidden
// `constructor`, as Flash's script-built nodes did.
XmlNode* newNode(Interpreter& vm, int type, const Value& text) {
    XmlNode* n = makeNative<XmlNode>(vm, nodeProto(vm));
    initNode(vm, n, type, text);
    vm.define(n, "constructor", vm.get(vm.global(), "XMLNode"), kDontEnum | kDontDelete);
    return n;
}

Object* allocateNode(Interpreter& vm, Object* proto) {
    XmlNode* n = makeNative<XmlNode>(vm, proto);
    initNode(vm, n, 1, Value());
    return n;
}

bool isAncestorOrSelf(const XmlNode* maybeAncestor, const XmlNode* n) {
    for (int guard = 0; n && guard < 1 << 20; n = n->parent, ++guard)
        if (n == maybeAncestor)
            return true;
    return false;
}

void detach(Interpreter& vm, XmlNode* n) {
    if (XmlNode* p = n->parent) {
        std::erase(p->children, n);
        syncChildArray(vm, p);
        n->parent = nullptr;
    }
}

// Puts `child` into `parent` before `before` (at the end when null); refuses cycles.
bool insertChild(Interpreter& vm, XmlNode* parent, XmlNode* child, XmlNode* before) {
    if (!parent || !child || isAncestorOrSelf(child, parent))
        return false;
    if (!before && child->parent == parent)
        return false; // appending a node to its own parent keeps the order (Flash's traces)
    detach(vm, child);
    auto at = before ? std::find(parent->children.begin(), parent->children.end(), before) : parent->children.end();
    parent->children.insert(at, child);
    child->parent = parent;
    syncChildArray(vm, parent);
    return true;
}

// --- accessors

#define SWF_AVM1_NODE_GETTER(fn, expr)                                                                       \
    Value fn(Interpreter& vm, Object* self, std::span<const Value>) {                                        \
        (void)vm;                                                                                            \
        XmlNode* n = nodeOf(self);                                                                           \
        return n ? Value(expr) : Value();                                                                    \
    }

Value siblingOf(XmlNode* n, int step) {
    if (!n->parent)
        return Value::null();
    auto& list = n->parent->children;
    const auto it = std::find(list.begin(), list.end(), n);
    const std::ptrdiff_t i = (it - list.begin()) + step;
    if (it == list.end() || i < 0 || i >= static_cast<std::ptrdiff_t>(list.size()))
        return Value::null();
    return Value(list[static_cast<std::size_t>(i)]);
}

SWF_AVM1_NODE_GETTER(getNodeType, static_cast<double>(n->type))
// An element made without a name (a document) keeps undefined inside: it reads as null
// but, unlike a name set to null, it writes no tag and has no prefix or local name.
SWF_AVM1_NODE_GETTER(getNodeName, n->name.isUndefined() ? Value::null() : n->name)
SWF_AVM1_NODE_GETTER(getNodeValue, n->value)
SWF_AVM1_NODE_GETTER(getAttributes, n->attributes)
SWF_AVM1_NODE_GETTER(getChildNodes, n->childArray)
SWF_AVM1_NODE_GETTER(getParentNode, n->parent ? Value(n->parent) : Value::null())
SWF_AVM1_NODE_GETTER(getFirstChild, n->children.empty() ? Value::null() : Value(n->children.front()))
SWF_AVM1_NODE_GETTER(getLastChild, n->children.empty() ? Value::null() : Value(n->children.back()))
SWF_AVM1_NODE_GETTER(getNextSibling, siblingOf(n, 1))
SWF_AVM1_NODE_GETTER(getPreviousSibling, siblingOf(n, -1))
#undef SWF_AVM1_NODE_GETTER

Value setNodeName(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (XmlNode* n = nodeOf(self))
        if (!arg(args, 0).isUndefined()) // undefined leaves the name alone
            n->name = arg(args, 0).isNull() ? Value::null() : Value(vm.toString(arg(args, 0)));
    return Value();
}

Value setNodeValue(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (XmlNode* n = nodeOf(self))
        n->value = arg(args, 0).isNullish() ? Value::null() : Value(vm.toString(arg(args, 0)));
    return Value();
}

Value setAttributes(Interpreter&, Object* self, std::span<const Value> args) {
    XmlNode* n = nodeOf(self);
    if (n && arg(args, 0).isObject())
        n->attributes = arg(args, 0).object();
    return Value();
}

// "pre:local" names: prefix and local name, split at the first colon unless that ends
// the name; null for text nodes; an element's name that is no string is read as one
// ("null" too) (measured).
Value namePart(Interpreter& vm, Object* self, bool prefix) {
    XmlNode* n = nodeOf(self);
    if (!n)
        return Value();
    if (n->type != 1 || n->name.isUndefined())
        return Value::null();
    const std::string name = vm.toString(n->name);
    const std::size_t colon = name.find(':');
    if (colon == std::string::npos || colon + 1 == name.size())
        return prefix ? Value("") : Value(name);
    return prefix ? Value(name.substr(0, colon)) : Value(name.substr(colon + 1));
}

Value getPrefix(Interpreter& vm, Object* self, std::span<const Value>) {
    return namePart(vm, self, true);
}

Value getLocalName(Interpreter& vm, Object* self, std::span<const Value>) {
    return namePart(vm, self, false);
}

// The nearest xmlns (or xmlns:prefix) declaration up the tree.
Value namespaceFor(Interpreter& vm, XmlNode* n, const std::string& prefix) {
    const std::string attr = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
    for (int guard = 0; n && guard < 1 << 20; n = n->parent, ++guard)
        if (n->attributes && vm.has(n->attributes, attr))
            return vm.get(n->attributes, attr);
    return Value::null();
}

Value getNamespaceUri(Interpreter& vm, Object* self, std::span<const Value>) {
    XmlNode* n = nodeOf(self);
    if (!n)
        return Value();
    if (!n->name.isString())
        return Value::null();
    const Value ns = namespaceFor(vm, n, vm.toString(namePart(vm, self, true)));
    return ns.isNull() ? Value("") : ns;
}

Value getNamespaceForPrefix(Interpreter& vm, Object* self, std::span<const Value> args) {
    XmlNode* n = nodeOf(self);
    return n ? namespaceFor(vm, n, vm.toString(arg(args, 0))) : Value();
}

Value getPrefixForNamespace(Interpreter& vm, Object* self, std::span<const Value> args) {
    const std::string uri = vm.toString(arg(args, 0));
    for (XmlNode* n = nodeOf(self); n; n = n->parent) {
        if (!n->attributes)
            continue;
        for (const Property& p : n->attributes->properties()) {
            if ((p.flags & kDontEnum) || vm.toString(p.value) != uri)
                continue;
            if (p.name == "xmlns")
                return "";
            if (p.name.starts_with("xmlns:"))
                return p.name.substr(6);
        }
    }
    return Value::null();
}

// --- methods

Value nodeConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (XmlNode* n = nodeOf(self); n && vm.isConstructing(self)) {
        const int type = toInt32(vm.toNumber(arg(args, 0)));
        const Value text = arg(args, 1);
        const Value none = type == 1 ? Value() : Value::null();
        initNode(vm, n, type, text.isNullish() ? none : Value(vm.toString(text)));
    }
    return Value();
}

Value appendChild(Interpreter& vm, Object* self, std::span<const Value> args) {
    insertChild(vm, nodeOf(self), nodeOf(arg(args, 0)), nullptr);
    return Value();
}

Value insertBefore(Interpreter& vm, Object* self, std::span<const Value> args) {
    XmlNode* parent = nodeOf(self);
    XmlNode* before = nodeOf(arg(args, 1));
    if (parent && before && before->parent == parent)
        insertChild(vm, parent, nodeOf(arg(args, 0)), before);
    return Value();
}

Value removeNode(Interpreter& vm, Object* self, std::span<const Value>) {
    if (XmlNode* n = nodeOf(self))
        detach(vm, n);
    return Value();
}

Value hasChildNodes(Interpreter&, Object* self, std::span<const Value>) {
    XmlNode* n = nodeOf(self);
    return n ? Value(!n->children.empty()) : Value();
}

XmlNode* cloneTree(Interpreter& vm, XmlNode* n, bool deep, int depth) {
    XmlNode* copy = newNode(vm, n->type, n->type == 1 ? n->name : n->value);
    copy->name = n->name;
    copy->value = n->value;
    if (n->attributes)
        for (const Property& p : n->attributes->properties())
            if (!(p.flags & kDontEnum))
                vm.set(copy->attributes, p.name, p.value);
    if (deep && depth < kMaxDepth)
        for (XmlNode* c : n->children) {
            XmlNode* cc = cloneTree(vm, c, true, depth + 1);
            cc->parent = copy;
            copy->children.push_back(cc);
        }
    syncChildArray(vm, copy);
    return copy;
}

Value cloneNode(Interpreter& vm, Object* self, std::span<const Value> args) {
    XmlNode* n = nodeOf(self);
    return n ? Value(cloneTree(vm, n, vm.toBoolean(arg(args, 0)), 0)) : Value();
}

void writeNode(Interpreter& vm, XmlNode* n, std::string& out, int depth) {
    if (depth > kMaxDepth || !vm.checkStringSize(out.size()))
        return;
    if (n->type != 1) {
        if (!n->value.isNullish())
            out += xml::escape(vm.toString(n->value));
        return;
    }
    const bool named = !n->name.isUndefined();
    if (named) {
        out += "<" + vm.toString(n->name);
        if (n->attributes)
            for (const Property& p : n->attributes->properties())
                if (!(p.flags & kDontEnum))
                    out += " " + p.name + "=\"" + xml::escape(vm.toString(vm.get(n->attributes, p.name))) + "\"";
        if (n->children.empty()) {
            out += " />";
            return;
        }
        out += ">";
    }
    for (XmlNode* c : n->children)
        writeNode(vm, c, out, depth + 1);
    if (named)
        out += "</" + vm.toString(n->name) + ">";
}

Value nodeToString(Interpreter& vm, Object* self, std::span<const Value>) {
    XmlNode* n = nodeOf(self);
    if (!n)
        return Value();
    std::string out;
    if (n->parent == nullptr && n->name.isUndefined() && n->type == 1) {
        for (const char* decl : {"xmlDecl", "docTypeDecl"}) {
            const Value d = vm.get(self, decl);
            if (!d.isNullish())
                out += vm.toString(d);
        }
    }
    writeNode(vm, n, out, 0);
    return out;
}

// --- XML

// Nodes join the tree in document order, and each element with an id is stored as it
// joins (a script's setter on the id sees the tree built so far, as in Flash).
void buildTree(Interpreter& vm, XmlNode* into, const xml::Node& from, Object* ids, int depth) {
    for (const auto& c : from.children) {
        XmlNode* n = newNode(vm, c->element ? 1 : 3, Value(c->text));
        for (const auto& [k, v] : c->attributes)
            vm.set(n->attributes, k, v);
        n->parent = into;
        into->children.push_back(n);
        syncChildArray(vm, into);
        if (ids && c->element)
            for (const auto& [k, v] : c->attributes)
                if (k == "id")
                    vm.set(ids, v, n);
        if (depth < kMaxDepth)
            buildTree(vm, n, *c, ids, depth + 1);
        syncChildArray(vm, n);
        if (vm.failing())
            break;
    }
    syncChildArray(vm, into);
}

// Sets a parse result on the document. A clean parse leaves no own property behind
// (Flash's documents list none), but replaces one an earlier parse left.
void setParseResult(Interpreter& vm, Object* self, const char* name, const Value& v, bool present) {
    if (present || self->own(vm.key(name)))
        vm.set(self, name, v);
}

Value parseXml(Interpreter& vm, Object* self, std::span<const Value> args) {
    XmlNode* doc = nodeOf(self);
    if (!doc)
        return Value();
    for (XmlNode* c : doc->children)
        c->parent = nullptr;
    doc->children.clear();
    const std::string text = vm.toString(arg(args, 0));
    const xml::Document parsed = xml::parse(text, vm.toBoolean(vm.get(self, "ignoreWhite")), kMaxParsedNodes);
    // Elements with an id attribute are reachable by it: on the document itself before
    // Flash 8, on its idMap object (made when there is none) from Flash 8 on.
    Object* ids = self;
    if (vm.version() >= 8) {
        if (vm.get(self, "idMap").isUndefined())
            vm.set(self, "idMap", vm.newObject(nullptr)); // a bare table: no prototype
        ids = vm.get(self, "idMap").object();
    }
    buildTree(vm, doc, parsed.root, ids, 0);
    setParseResult(vm, self, "xmlDecl", parsed.hasXmlDecl ? Value(parsed.xmlDecl) : Value(), parsed.hasXmlDecl);
    setParseResult(vm, self, "docTypeDecl", parsed.hasDocType ? Value(parsed.docTypeDecl) : Value(),
                   parsed.hasDocType);
    setParseResult(vm, self, "status", parsed.status, parsed.status != 0);
    return Value();
}

Value xmlConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (!nodeOf(self) || !vm.isConstructing(self))
        return Value();
    if (!args.empty() && !args[0].isNullish())
        parseXml(vm, self, args);
    return Value();
}

Value createElement(Interpreter& vm, Object*, std::span<const Value> args) {
    return newNode(vm, 1, vm.toString(arg(args, 0)));
}

Value createTextNode(Interpreter& vm, Object*, std::span<const Value> args) {
    return newNode(vm, 3, vm.toString(arg(args, 0)));
}

// The default onData: parse what came, or report the failure.
Value xmlOnData(Interpreter& vm, Object* self, std::span<const Value> args) {
    return onDataParsing(vm, self, args, "parseXML");
}

Value ignore(Interpreter&, Object*, std::span<const Value>) {
    return Value();
}

struct Method {
    const char* name;
    NativeFn fn;
};

} // namespace

void installXmlBuiltins(Interpreter& vm) {
    FunctionObject* nodeClass = defineClass(vm, vm.global(), "XMLNode", nodeConstruct);
    nodeClass->allocate = allocateNode;
    Object* np = vm.get(nodeClass, "prototype").object();
    for (const Method& m : {Method{"appendChild", appendChild}, Method{"insertBefore", insertBefore},
                            Method{"removeNode", removeNode}, Method{"hasChildNodes", hasChildNodes},
                            Method{"cloneNode", cloneNode}, Method{"toString", nodeToString},
                            Method{"getNamespaceForPrefix", getNamespaceForPrefix},
                            Method{"getPrefixForNamespace", getPrefixForNamespace}})
        vm.defineMethod(np, m.name, m.fn);
    defineAccessor(vm, np, "nodeType", getNodeType, nullptr);
    defineAccessor(vm, np, "nodeName", getNodeName, setNodeName);
    defineAccessor(vm, np, "nodeValue", getNodeValue, setNodeValue);
    defineAccessor(vm, np, "attributes", getAttributes, setAttributes);
    defineAccessor(vm, np, "childNodes", getChildNodes, nullptr);
    defineAccessor(vm, np, "parentNode", getParentNode, nullptr);
    defineAccessor(vm, np, "firstChild", getFirstChild, nullptr);
    defineAccessor(vm, np, "lastChild", getLastChild, nullptr);
    defineAccessor(vm, np, "nextSibling", getNextSibling, nullptr);
    defineAccessor(vm, np, "previousSibling", getPreviousSibling, nullptr);
    defineAccessor(vm, np, "prefix", getPrefix, nullptr);
    defineAccessor(vm, np, "localName", getLocalName, nullptr);
    defineAccessor(vm, np, "namespaceURI", getNamespaceUri, nullptr);

    FunctionObject* xmlClass = defineClass(vm, vm.global(), "XML", xmlConstruct);
    xmlClass->allocate = allocateNode;
    Object* xp = vm.get(xmlClass, "prototype").object();
    xp->setProto(np);
    for (const Method& m : {Method{"parseXML", parseXml}, Method{"createElement", createElement},
                            Method{"createTextNode", createTextNode}, Method{"onData", xmlOnData},
                            Method{"onLoad", ignore}})
        vm.defineMethod(xp, m.name, m.fn);
    vm.define(xp, "contentType", "application/x-www-form-urlencoded", kDontEnum);
    vm.define(xp, "ignoreWhite", false, kDontEnum);
    vm.define(xp, "status", 0, kDontEnum);
    installLoadMethods(vm, xp);
}

} // namespace swf::avm1
