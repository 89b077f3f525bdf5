#include "swf/avm2/Object.h"

#include <algorithm>

namespace swf::avm2 {

bool Name::hasPublic() const {
    return anyNamespace || std::find(namespaces.begin(), namespaces.end(), kPublicNs) != namespaces.end();
}

Binding* Traits::find(const Name& name) {
    auto it = m_map.find(name.local);
    if (it == m_map.end())
        return nullptr;
    for (auto& [ns, binding] : it->second) {
        if (name.anyNamespace)
            return &binding;
        for (const auto& want : name.namespaces)
            if (want == ns)
                return &binding;
    }
    return nullptr;
}

Binding* Traits::find(const std::string& local, const NsKey& ns) {
    auto it = m_map.find(local);
    if (it == m_map.end())
        return nullptr;
    for (auto& [key, binding] : it->second)
        if (key == ns)
            return &binding;
    return nullptr;
}

Binding& Traits::define(const std::string& local, const NsKey& ns) {
    auto& list = m_map[local];
    for (auto& [key, binding] : list)
        if (key == ns)
            return binding;
    order.emplace_back(local, ns);
    list.emplace_back(ns, Binding{});
    return list.back().second;
}

bool Object::hasOwn(const std::string& name) const {
    return m_index.count(name) != 0;
}

Value* Object::own(const std::string& name) {
    auto it = m_index.find(name);
    return it == m_index.end() ? nullptr : &m_props[it->second].value;
}

void Object::setOwn(const std::string& name, Value v) {
    auto it = m_index.find(name);
    if (it != m_index.end()) {
        m_props[it->second].value = v;
        return;
    }
    ++m_namesVersion;
    // Compact once tombstones dominate so a delete-heavy object does not grow forever.
    if (m_props.size() > 32 && m_props.size() > 2 * m_index.size()) {
        std::vector<Entry> live;
        for (auto& e : m_props)
            if (e.live)
                live.push_back(std::move(e));
        m_props = std::move(live);
        m_index.clear();
        for (std::size_t i = 0; i < m_props.size(); ++i)
            m_index[m_props[i].name] = i;
    }
    m_index[name] = m_props.size();
    m_props.push_back(Entry{name, v, true, false});
}

bool Object::deleteOwn(const std::string& name) {
    auto it = m_index.find(name);
    if (it == m_index.end())
        return false;
    m_props[it->second].live = false;
    m_props[it->second].value = Value();
    m_index.erase(it);
    ++m_namesVersion;
    return true;
}

void Object::setDontEnum(const std::string& name) {
    auto it = m_index.find(name);
    if (it != m_index.end()) {
        m_props[it->second].dontEnum = true;
        ++m_namesVersion;
    }
}

std::vector<std::string> Object::enumerableNames() const {
    std::vector<std::string> names;
    for (const auto& e : m_props)
        if (e.live && !e.dontEnum)
            names.push_back(e.name);
    return names;
}

void Object::initSlots() {
    if (!traits)
        return;
    slots = traits->slotDefaults;
    slots.resize(traits->slotCount + 1);
}

bool ClassObject::isSubclassOf(const ClassObject* other) const {
    for (const ClassObject* c = this; c; c = c->super)
        if (c == other)
            return true;
    return false;
}

bool ClassObject::implements(const ClassObject* iface) const {
    for (const ClassObject* c = this; c; c = c->super)
        for (const ClassObject* i : c->interfaces)
            if (i == iface || i->implements(iface))
                return true;
    return false;
}

bool arrayIndex(const std::string& name, std::uint32_t& index) {
    if (name.empty() || name.size() > 10 || (name.size() > 1 && name[0] == '0'))
        return false;
    std::uint64_t v = 0;
    for (char c : name) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v >= 0xFFFFFFFFull)
        return false;
    index = static_cast<std::uint32_t>(v);
    return true;
}

const std::string& DictionaryObject::nameFor(Object* key) {
    // A control character starts it, so no name a script writes can collide with it.
    std::string name = "\x01" + std::to_string(reinterpret_cast<std::uintptr_t>(key));
    auto [it, added] = keys.try_emplace(name, Value::object(key));
    return it->first;
}

} // namespace swf::avm2
