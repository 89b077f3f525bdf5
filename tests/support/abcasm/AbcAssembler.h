#pragma once
// Builds ABC blocks for tests, with method bodies written as text. One instruction a
// line, named as in the machine's opcode table in lower case (getlocal0, pushscope,
// callpropvoid, ...); operands follow the instruction's format:
//
//   pushstring "text"        strings are quoted (\n \" \\ escapes)
//   pushint 70000            int, uint and double pool entries are given by value
//   getproperty name         a public name; pkg::name for a package's; @name for an
//                            attribute's (E4X); late for a name
//                            taken from the stack (public namespace)
//   callproperty trace 1     a name and an argument count
//   newfunction helper       a method by the name it was added under
//   newclass Foo             a class by name
//   jump done / done:        labels end with ':'
//   lookupswitch dflt a b    default target, then the cases
//   getlocal 4 / hasnext2 1 2 / getslot 1 / pushbyte -3
//
// '#' starts a comment. Bodies get generous stack and scope limits unless told.
// Errors throw std::runtime_error naming the line.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::testing {

class AbcAssembler {
public:
    struct Catch {
        std::string from, to, target; // labels
        std::string type;             // class name; empty catches everything
        std::string var;              // empty: no variable
    };
    struct MethodOptions {
        std::uint32_t params = 0;
        std::uint8_t flags = 0;                  // NEED_ARGUMENTS 1, NEED_ACTIVATION 2, NEED_REST 4
        std::vector<std::int32_t> intDefaults;   // defaults of the last parameters
        std::vector<std::string> paramTypes;     // names; empty or "*" is any
        std::string returnType;
        std::uint32_t locals = 0;                // 0: params + 8
        std::uint32_t maxStack = 32;
        std::uint32_t initScope = 0;
        std::uint32_t maxScope = 16;
        std::vector<Catch> catches;
    };
    struct Slot {
        std::string name;
        std::string type; // empty: any
        bool constant = false;
    };
    struct ClassDef {
        std::string name;
        std::string package;
        std::string super = "Object"; // empty: none
        bool sealed = true;
        bool interface = false;
        std::vector<std::string> interfaces;
        std::string constructor;                 // method name (params as added)
        std::string staticInit;                  // method name; empty: an empty one
        std::vector<Slot> slots;                 // instance variables
        std::map<std::string, std::string> methods;  // public name -> method name
        std::map<std::string, std::string> getters;
        std::map<std::string, std::string> setters;
        std::vector<Slot> staticSlots;
        std::map<std::string, std::string> staticMethods;
    };

    // Adds a method with a body; its name is how code and classes refer to it.
    void method(const std::string& name, std::string_view code);
    void method(const std::string& name, std::string_view code, const MethodOptions& options);
    void defineClass(const ClassDef& def);
    // Adds a script whose init is the named method; its traits are `classes` (bound to the
    // script's slots in order) and `vars`.
    void script(const std::string& init, const std::vector<std::string>& classes = {},
                const std::vector<Slot>& vars = {});

    std::vector<std::uint8_t> bytes();

    // A whole movie around the blocks: FileAttributes with the AS3 flag, DoABC, the
    // document class link (empty: none), `frames` frames.
    static std::vector<std::uint8_t> movie(const std::vector<std::vector<std::uint8_t>>& blocks,
                                           const std::string& documentClass, int frames = 1);

private:
    std::uint32_t stringIndex(const std::string& s);
    std::uint32_t intIndex(std::int32_t v);
    std::uint32_t uintIndex(std::uint32_t v);
    std::uint32_t doubleIndex(double v);
    std::uint32_t nsIndex(std::uint8_t kind, const std::string& uri);
    std::uint32_t nsSetIndex(const std::vector<std::uint32_t>& set);
    std::uint32_t qname(const std::string& name); // "pkg::name" or "name"
    std::uint32_t lateName();
    std::uint32_t typeName(const std::string& name);
    std::uint32_t methodIndex(const std::string& name);
    std::uint32_t classIndex(const std::string& name);
    std::vector<std::uint8_t> assemble(std::string_view code, std::map<std::string, std::uint32_t>& labels);

    struct MethodRec {
        MethodOptions options;
        std::string code;
    };
    std::vector<std::string> m_strings{""};
    std::vector<std::int32_t> m_ints{0};
    std::vector<std::uint32_t> m_uints{0};
    std::vector<double> m_doubles{0};
    std::vector<std::pair<std::uint8_t, std::uint32_t>> m_namespaces{{0, 0}};
    std::vector<std::vector<std::uint32_t>> m_nsSets{{}};
    std::vector<std::vector<std::uint8_t>> m_multinames{{}};
    std::vector<std::string> m_methodNames;
    std::vector<MethodRec> m_methods;
    std::vector<ClassDef> m_classes;
    struct ScriptRec {
        std::string init;
        std::vector<std::string> classes;
        std::vector<Slot> vars;
    };
    std::vector<ScriptRec> m_scripts;
};

} // namespace orvane::testing
