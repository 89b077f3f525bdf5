#include "AbcAssembler.h"

#include "swf/avm2/Opcodes.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace orvane::testing {

using swf::avm2::Operands;

namespace {

void u30(std::vector<std::uint8_t>& out, std::uint32_t v) {
    do {
        std::uint8_t b = v & 0x7F;
        v >>= 7;
        if (v)
            b |= 0x80;
        out.push_back(b);
    } while (v);
}

void s24(std::vector<std::uint8_t>& out, std::size_t at, std::int32_t v) {
    out[at] = static_cast<std::uint8_t>(v & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    out[at + 2] = static_cast<std::uint8_t>((v >> 16) & 0xFF);
}

void append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& more) {
    out.insert(out.end(), more.begin(), more.end());
}

// The opcode whose table name, lower-cased, is `word` without its underscores (add_i, getlocal_0).
std::uint8_t opcodeNamed(std::string word) {
    std::erase(word, '_');
    for (int code = 0; code < 256; ++code) {
        const auto& info = swf::avm2::opInfo(static_cast<std::uint8_t>(code));
        if (!info.name)
            continue;
        std::string lower = info.name;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        if (lower == word)
            return static_cast<std::uint8_t>(code);
    }
    throw std::runtime_error("unknown instruction " + word);
}

std::vector<std::string> tokens(const std::string& line) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
        } else if (line[i] == '"') {
            std::string s = "\"";
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    char c = line[++i];
                    s += c == 'n' ? '\n' : c == 't' ? '\t' : c;
                } else {
                    s += line[i];
                }
            }
            ++i;
            out.push_back(s);
        } else {
            std::size_t b = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t')
                ++i;
            out.push_back(line.substr(b, i - b));
        }
    }
    return out;
}

} // namespace

std::uint32_t AbcAssembler::stringIndex(const std::string& s) {
    auto it = std::find(m_strings.begin() + 1, m_strings.end(), s);
    if (it != m_strings.end())
        return static_cast<std::uint32_t>(it - m_strings.begin());
    m_strings.push_back(s);
    return static_cast<std::uint32_t>(m_strings.size() - 1);
}

std::uint32_t AbcAssembler::intIndex(std::int32_t v) {
    m_ints.push_back(v);
    return static_cast<std::uint32_t>(m_ints.size() - 1);
}

std::uint32_t AbcAssembler::uintIndex(std::uint32_t v) {
    m_uints.push_back(v);
    return static_cast<std::uint32_t>(m_uints.size() - 1);
}

std::uint32_t AbcAssembler::doubleIndex(double v) {
    m_doubles.push_back(v);
    return static_cast<std::uint32_t>(m_doubles.size() - 1);
}

std::uint32_t AbcAssembler::nsIndex(std::uint8_t kind, const std::string& uri) {
    std::pair<std::uint8_t, std::uint32_t> ns{kind, stringIndex(uri)};
    if (uri.empty())
        ns.second = 0; // the public namespace's name is the empty string
    for (std::size_t i = 1; i < m_namespaces.size(); ++i)
        if (m_namespaces[i] == ns)
            return static_cast<std::uint32_t>(i);
    m_namespaces.push_back(ns);
    return static_cast<std::uint32_t>(m_namespaces.size() - 1);
}

std::uint32_t AbcAssembler::nsSetIndex(const std::vector<std::uint32_t>& set) {
    for (std::size_t i = 1; i < m_nsSets.size(); ++i)
        if (m_nsSets[i] == set)
            return static_cast<std::uint32_t>(i);
    m_nsSets.push_back(set);
    return static_cast<std::uint32_t>(m_nsSets.size() - 1);
}

std::uint32_t AbcAssembler::qname(const std::string& written) {
    // "@name" is an attribute's name (E4X's x.@name).
    const bool attribute = !written.empty() && written[0] == '@';
    const std::string name = attribute ? written.substr(1) : written;
    std::string package, local = name;
    if (auto colons = name.rfind("::"); colons != std::string::npos) {
        package = name.substr(0, colons);
        local = name.substr(colons + 2);
    }
    std::vector<std::uint8_t> mn{static_cast<std::uint8_t>(attribute ? 0x0D : 0x07)};
    u30(mn, nsIndex(0x16, package));
    u30(mn, stringIndex(local));
    for (std::size_t i = 1; i < m_multinames.size(); ++i)
        if (m_multinames[i] == mn)
            return static_cast<std::uint32_t>(i);
    m_multinames.push_back(mn);
    return static_cast<std::uint32_t>(m_multinames.size() - 1);
}

std::uint32_t AbcAssembler::lateName() {
    std::vector<std::uint8_t> mn{0x1B};
    u30(mn, nsSetIndex({nsIndex(0x16, "")}));
    for (std::size_t i = 1; i < m_multinames.size(); ++i)
        if (m_multinames[i] == mn)
            return static_cast<std::uint32_t>(i);
    m_multinames.push_back(mn);
    return static_cast<std::uint32_t>(m_multinames.size() - 1);
}

std::uint32_t AbcAssembler::typeName(const std::string& name) {
    return name.empty() || name == "*" ? 0 : qname(name);
}

std::uint32_t AbcAssembler::methodIndex(const std::string& name) {
    auto it = std::find(m_methodNames.begin(), m_methodNames.end(), name);
    if (it == m_methodNames.end())
        throw std::runtime_error("unknown method " + name);
    return static_cast<std::uint32_t>(it - m_methodNames.begin());
}

std::uint32_t AbcAssembler::classIndex(const std::string& name) {
    for (std::size_t i = 0; i < m_classes.size(); ++i)
        if (m_classes[i].name == name)
            return static_cast<std::uint32_t>(i);
    throw std::runtime_error("unknown class " + name);
}

void AbcAssembler::method(const std::string& name, std::string_view code) {
    method(name, code, MethodOptions{});
}

void AbcAssembler::method(const std::string& name, std::string_view code, const MethodOptions& options) {
    m_methodNames.push_back(name);
    m_methods.push_back({options, std::string(code)});
}

void AbcAssembler::defineClass(const ClassDef& def) {
    m_classes.push_back(def);
}

void AbcAssembler::script(const std::string& init, const std::vector<std::string>& classes, const std::vector<Slot>& vars) {
    m_scripts.push_back({init, classes, vars});
}

std::vector<std::uint8_t> AbcAssembler::assemble(std::string_view code, std::map<std::string, std::uint32_t>& labels) {
    std::vector<std::uint8_t> out;
    struct Fixup {
        std::size_t at;   // where the s24 goes
        std::size_t base; // offset it is relative to
        std::string label;
        int line;
    };
    std::vector<Fixup> fixups;
    std::istringstream in{std::string(code)};
    std::string raw;
    int lineNo = 0;
    while (std::getline(in, raw)) {
        ++lineNo;
        if (auto hash = raw.find('#'); hash != std::string::npos && raw.find('"') > hash)
            raw = raw.substr(0, hash);
        auto t = tokens(raw);
        if (t.empty())
            continue;
        try {
            if (t.size() == 1 && t[0].back() == ':') {
                labels[t[0].substr(0, t[0].size() - 1)] = static_cast<std::uint32_t>(out.size());
                continue;
            }
            std::uint8_t code = opcodeNamed(t[0]);
            const auto& info = swf::avm2::opInfo(code);
            std::size_t start = out.size();
            out.push_back(code);
            auto need = [&](std::size_t n) {
                if (t.size() < n + 1)
                    throw std::runtime_error("missing operand");
            };
            auto integer = [&](std::size_t i) { return std::stoll(t[i]); };
            auto name = [&](std::size_t i) { return t[i] == "late" ? lateName() : qname(t[i]); };
            auto text = [&](std::size_t i) { return t[i].size() && t[i][0] == '"' ? t[i].substr(1) : t[i]; };
            switch (info.operands) {
            case Operands::None: break;
            case Operands::U8: need(1); out.push_back(static_cast<std::uint8_t>(integer(1))); break;
            case Operands::Int: need(1); u30(out, static_cast<std::uint32_t>(integer(1)) & 0x3FFFFFFF); break;
            case Operands::String: need(1); u30(out, stringIndex(text(1))); break;
            case Operands::IntPool: need(1); u30(out, intIndex(static_cast<std::int32_t>(integer(1)))); break;
            case Operands::UIntPool: need(1); u30(out, uintIndex(static_cast<std::uint32_t>(integer(1)))); break;
            case Operands::DoublePool: need(1); u30(out, doubleIndex(std::stod(t[1]))); break;
            case Operands::Namespace: need(1); u30(out, nsIndex(0x08, text(1))); break;
            case Operands::Multiname: need(1); u30(out, name(1)); break;
            case Operands::MultinameArgc: need(2); u30(out, name(1)); u30(out, static_cast<std::uint32_t>(integer(2))); break;
            case Operands::Argc: case Operands::Slot: case Operands::Skip: case Operands::Register: case Operands::Exception:
                need(1); u30(out, static_cast<std::uint32_t>(integer(1))); break;
            case Operands::TwoRegisters: case Operands::DispArgc:
                need(2); u30(out, static_cast<std::uint32_t>(integer(1))); u30(out, static_cast<std::uint32_t>(integer(2))); break;
            case Operands::Method: need(1); u30(out, methodIndex(t[1])); break;
            case Operands::MethodArgc: need(2); u30(out, methodIndex(t[1])); u30(out, static_cast<std::uint32_t>(integer(2))); break;
            case Operands::Class: need(1); u30(out, classIndex(t[1])); break;
            case Operands::Branch:
                need(1);
                out.resize(out.size() + 3);
                fixups.push_back({out.size() - 3, out.size(), t[1], lineNo});
                break;
            case Operands::Switch: {
                need(2);
                out.resize(out.size() + 3);
                fixups.push_back({out.size() - 3, start, t[1], lineNo});
                u30(out, static_cast<std::uint32_t>(t.size() - 3));
                for (std::size_t i = 2; i < t.size(); ++i) {
                    out.resize(out.size() + 3);
                    fixups.push_back({out.size() - 3, start, t[i], lineNo});
                }
                break;
            }
            case Operands::Debug:
                need(1); out.push_back(1); u30(out, stringIndex(text(1))); out.push_back(0); u30(out, 0); break;
            }
        } catch (const std::exception& e) {
            throw std::runtime_error("abc line " + std::to_string(lineNo) + ": " + e.what());
        }
    }
    for (const auto& f : fixups) {
        auto it = labels.find(f.label);
        if (it == labels.end())
            throw std::runtime_error("abc line " + std::to_string(f.line) + ": unknown label " + f.label);
        s24(out, f.at, static_cast<std::int32_t>(it->second) - static_cast<std::int32_t>(f.base));
    }
    return out;
}

std::vector<std::uint8_t> AbcAssembler::bytes() {
    // Classes that name no static initialiser get an empty one.
    for (auto& c : m_classes) {
        if (c.staticInit.empty()) {
            c.staticInit = c.name + "$cinit";
            method(c.staticInit, "returnvoid\n");
        }
    }
    // Bodies and traits first: they add names and constants to the pools.
    struct Body {
        std::vector<std::uint8_t> code;
        std::map<std::string, std::uint32_t> labels;
    };
    std::vector<Body> bodies(m_methods.size());
    for (std::size_t i = 0; i < m_methods.size(); ++i)
        bodies[i].code = assemble(m_methods[i].code, bodies[i].labels);
    std::vector<std::uint8_t> methodInfos;
    u30(methodInfos, static_cast<std::uint32_t>(m_methods.size()));
    for (std::size_t i = 0; i < m_methods.size(); ++i) {
        const auto& o = m_methods[i].options;
        u30(methodInfos, o.params);
        u30(methodInfos, typeName(o.returnType));
        for (std::uint32_t p = 0; p < o.params; ++p)
            u30(methodInfos, typeName(p < o.paramTypes.size() ? o.paramTypes[p] : ""));
        u30(methodInfos, stringIndex(m_methodNames[i]));
        methodInfos.push_back(static_cast<std::uint8_t>(o.flags | (o.intDefaults.empty() ? 0 : 0x08)));
        if (!o.intDefaults.empty()) {
            u30(methodInfos, static_cast<std::uint32_t>(o.intDefaults.size()));
            for (auto d : o.intDefaults) {
                u30(methodInfos, intIndex(d));
                methodInfos.push_back(0x03);
            }
        }
    }
    auto slotTrait = [&](std::vector<std::uint8_t>& out, const Slot& s, std::uint32_t id) {
        u30(out, qname(s.name));
        out.push_back(s.constant ? 6 : 0);
        u30(out, id);
        u30(out, typeName(s.type));
        u30(out, 0);
    };
    auto methodTrait = [&](std::vector<std::uint8_t>& out, const std::string& publicName, const std::string& method, std::uint8_t kind) {
        u30(out, qname(publicName));
        out.push_back(kind);
        u30(out, 0);
        u30(out, methodIndex(method));
    };
    std::vector<std::uint8_t> classInfos;
    u30(classInfos, static_cast<std::uint32_t>(m_classes.size()));
    for (const auto& c : m_classes) {
        u30(classInfos, qname(c.package.empty() ? c.name : c.package + "::" + c.name));
        u30(classInfos, c.super.empty() ? 0 : qname(c.super));
        std::uint8_t flags = (c.sealed ? 0x01 : 0) | (c.interface ? 0x04 : 0) | 0x08;
        classInfos.push_back(flags);
        u30(classInfos, nsIndex(0x18, c.package.empty() ? c.name : c.package + ":" + c.name));
        u30(classInfos, static_cast<std::uint32_t>(c.interfaces.size()));
        for (const auto& i : c.interfaces) {
            // "pkg::Name" names an interface of a package.
            const std::size_t colons = i.find("::");
            const std::string package = colons == std::string::npos ? "" : i.substr(0, colons);
            std::vector<std::uint8_t> mn{0x09};
            u30(mn, stringIndex(colons == std::string::npos ? i : i.substr(colons + 2)));
            u30(mn, nsSetIndex({nsIndex(0x16, package)}));
            m_multinames.push_back(mn);
            u30(classInfos, static_cast<std::uint32_t>(m_multinames.size() - 1));
        }
        u30(classInfos, c.constructor.empty() ? methodIndex(c.staticInit) : methodIndex(c.constructor));
        u30(classInfos, static_cast<std::uint32_t>(c.slots.size() + c.methods.size() + c.getters.size() + c.setters.size()));
        for (const auto& s : c.slots)
            slotTrait(classInfos, s, 0);
        for (const auto& [pub, m] : c.methods)
            methodTrait(classInfos, pub, m, 1);
        for (const auto& [pub, m] : c.getters)
            methodTrait(classInfos, pub, m, 2);
        for (const auto& [pub, m] : c.setters)
            methodTrait(classInfos, pub, m, 3);
    }
    for (const auto& c : m_classes) {
        u30(classInfos, methodIndex(c.staticInit));
        u30(classInfos, static_cast<std::uint32_t>(c.staticSlots.size() + c.staticMethods.size()));
        for (const auto& s : c.staticSlots)
            slotTrait(classInfos, s, 0);
        for (const auto& [pub, m] : c.staticMethods)
            methodTrait(classInfos, pub, m, 1);
    }
    std::vector<std::uint8_t> scriptInfos;
    u30(scriptInfos, static_cast<std::uint32_t>(m_scripts.size()));
    for (const auto& s : m_scripts) {
        u30(scriptInfos, methodIndex(s.init));
        u30(scriptInfos, static_cast<std::uint32_t>(s.classes.size() + s.vars.size()));
        std::uint32_t slot = 1;
        for (const auto& c : s.classes) {
            const ClassDef& def = m_classes[classIndex(c)];
            u30(scriptInfos, qname(def.package.empty() ? def.name : def.package + "::" + def.name));
            scriptInfos.push_back(4);
            u30(scriptInfos, slot++);
            u30(scriptInfos, classIndex(c));
        }
        for (const auto& v : s.vars)
            slotTrait(scriptInfos, v, slot++);
    }
    std::vector<std::uint8_t> bodyInfos;
    u30(bodyInfos, static_cast<std::uint32_t>(m_methods.size()));
    for (std::size_t i = 0; i < m_methods.size(); ++i) {
        const auto& o = m_methods[i].options;
        u30(bodyInfos, static_cast<std::uint32_t>(i));
        u30(bodyInfos, o.maxStack);
        u30(bodyInfos, o.locals ? o.locals : o.params + 8);
        u30(bodyInfos, o.initScope);
        u30(bodyInfos, o.maxScope);
        u30(bodyInfos, static_cast<std::uint32_t>(bodies[i].code.size()));
        append(bodyInfos, bodies[i].code);
        u30(bodyInfos, static_cast<std::uint32_t>(o.catches.size()));
        for (const auto& c : o.catches) {
            auto label = [&](const std::string& l) {
                auto it = bodies[i].labels.find(l);
                if (it == bodies[i].labels.end())
                    throw std::runtime_error("unknown label " + l);
                return it->second;
            };
            u30(bodyInfos, label(c.from));
            u30(bodyInfos, label(c.to));
            u30(bodyInfos, label(c.target));
            u30(bodyInfos, typeName(c.type));
            u30(bodyInfos, c.var.empty() ? 0 : qname(c.var));
        }
        u30(bodyInfos, 0);
    }

    std::vector<std::uint8_t> out{16, 0, 46, 0}; // minor 16, major 46
    auto pool = [&](auto& values, auto write) {
        u30(out, values.size() <= 1 ? 0 : static_cast<std::uint32_t>(values.size()));
        for (std::size_t i = 1; i < values.size(); ++i)
            write(values[i]);
    };
    pool(m_ints, [&](std::int32_t v) { u30(out, static_cast<std::uint32_t>(v)); });
    pool(m_uints, [&](std::uint32_t v) { u30(out, v); });
    pool(m_doubles, [&](double v) {
        std::uint8_t b[8];
        std::memcpy(b, &v, 8);
        out.insert(out.end(), b, b + 8);
    });
    pool(m_strings, [&](const std::string& s) {
        u30(out, static_cast<std::uint32_t>(s.size()));
        out.insert(out.end(), s.begin(), s.end());
    });
    pool(m_namespaces, [&](const std::pair<std::uint8_t, std::uint32_t>& ns) {
        out.push_back(ns.first);
        u30(out, ns.second);
    });
    pool(m_nsSets, [&](const std::vector<std::uint32_t>& set) {
        u30(out, static_cast<std::uint32_t>(set.size()));
        for (auto n : set)
            u30(out, n);
    });
    pool(m_multinames, [&](const std::vector<std::uint8_t>& mn) { append(out, mn); });
    append(out, methodInfos);
    u30(out, 0); // metadata
    append(out, classInfos);
    append(out, scriptInfos);
    append(out, bodyInfos);
    return out;
}

} // namespace orvane::testing

#include "SwfWriter.h"

namespace orvane::testing {

std::vector<std::uint8_t> AbcAssembler::movie(const std::vector<std::vector<std::uint8_t>>& blocks,
                                              const std::string& documentClass, int frames) {
    SwfWriter swf;
    swf.setVersion(10);
    swf.fileAttributes(0x08); // ActionScript 3
    for (const auto& block : blocks) {
        std::vector<std::uint8_t> body{0, 0, 0, 0, 0}; // flags 0 (run at once), empty name
        body.insert(body.end(), block.begin(), block.end());
        swf.rawTag(82, body);
    }
    if (!documentClass.empty()) {
        std::vector<std::uint8_t> body{1, 0, 0, 0};
        body.insert(body.end(), documentClass.begin(), documentClass.end());
        body.push_back(0);
        swf.rawTag(76, body);
    }
    swf.showFrame(frames);
    return swf.bytes();
}

} // namespace orvane::testing
