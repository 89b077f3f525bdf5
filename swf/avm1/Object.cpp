#include "Object.h"

namespace swf::avm1 {

namespace {
constexpr std::size_t kLinearLimit = 8; // small tables are searched, larger ones hashed
constexpr std::string_view kProtoKey = "__proto__";
} // namespace

Object::Object(Kind kind, Object* proto) : m_kind(kind), m_proto(proto) {
    if (proto) {
        Property p;
        p.name = p.key = std::string(kProtoKey);
        p.value = Value(proto);
        p.flags = kDontEnum | kDontDelete;
        m_props.push_back(std::move(p));
    }
}

void Object::setProto(Object* proto) {
    m_proto = proto;
    if (Property* p = own(kProtoKey))
        p->value = proto ? Value(proto) : Value();
    else if (proto)
        put(kProtoKey, std::string(kProtoKey), Value(proto), kDontEnum | kDontDelete);
}

Property* Object::own(std::string_view key) {
    if (m_props.size() <= kLinearLimit) {
        for (Property& p : m_props)
            if (p.key == key)
                return &p;
        return nullptr;
    }
    if (m_index.size() != m_props.size())
        reindex();
    auto it = m_index.find(std::string(key));
    return it == m_index.end() ? nullptr : &m_props[it->second];
}

Property& Object::put(std::string_view name, std::string key, Value value, PropFlags flags) {
    if (Property* p = own(key)) {
        p->value = std::move(value);
        p->getter = p->setter = nullptr;
        p->virtualProperty = false;
        return *p;
    }
    Property p;
    p.name = std::string(name);
    p.key = std::move(key);
    p.value = std::move(value);
    p.flags = flags;
    m_props.push_back(std::move(p));
    if (m_props.size() > kLinearLimit) {
        if (m_index.size() + 1 == m_props.size())
            m_index.emplace(m_props.back().key, static_cast<std::uint32_t>(m_props.size() - 1));
        else
            reindex();
    }
    return m_props.back();
}

void Object::addProtoFlags(PropFlags flags) {
    if (Property* p = own(kProtoKey))
        p->flags |= flags;
}

PropFlags Object::protoFlags() const {
    if (!m_props.empty() && m_props.front().key == kProtoKey) // where the constructor put it
        return m_props.front().flags;
    const Property* p = own(kProtoKey);
    return p ? p->flags : 0;
}

bool Object::erase(std::string_view key) {
    for (std::size_t i = 0; i < m_props.size(); ++i) {
        if (m_props[i].key == key) {
            if (key == kProtoKey)
                m_proto = nullptr;
            m_props.erase(m_props.begin() + static_cast<std::ptrdiff_t>(i));
            m_index.clear();
            return true;
        }
    }
    return false;
}

void Object::reindex() {
    m_index.clear();
    if (m_props.size() <= kLinearLimit)
        return;
    m_index.reserve(m_props.size());
    for (std::uint32_t i = 0; i < m_props.size(); ++i)
        m_index.emplace(m_props[i].key, i);
}

void Object::references(std::vector<Object*>& out) const {
    if (m_proto)
        out.push_back(m_proto);
    for (const Property& p : m_props) {
        if (Object* o = p.value.object())
            out.push_back(o);
        if (p.getter)
            out.push_back(p.getter);
        if (p.setter)
            out.push_back(p.setter);
        if (p.watcher)
            out.push_back(p.watcher);
        if (Object* o = p.watchData.object())
            out.push_back(o);
    }
}

void FunctionObject::references(std::vector<Object*>& out) const {
    Object::references(out);
    for (const Scope* s = scope.get(); s; s = s->parent.get())
        if (s->object)
            out.push_back(s->object);
}

void ArrayObject::references(std::vector<Object*>& out) const {
    Object::references(out);
    for (const Value& v : elements)
        if (Object* o = v.object())
            out.push_back(o);
}

void BoxObject::references(std::vector<Object*>& out) const {
    Object::references(out);
    if (Object* o = primitive.object())
        out.push_back(o);
}

void SuperObject::references(std::vector<Object*>& out) const {
    Object::references(out);
    if (thisObject)
        out.push_back(thisObject);
    if (base)
        out.push_back(base);
}

} // namespace swf::avm1
