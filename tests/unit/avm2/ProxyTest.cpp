// flash.utils.Proxy and QName on assembled code: undeclared names reach the subclass's
// flash_proxy methods as QNames, declared members do not, enumeration goes through
// nextNameIndex/nextName/nextValue, and methods left out throw the player's error.
#include "MachineRun.h"

#include <gtest/gtest.h>

using namespace orvane::testing::avm2run;
using orvane::testing::AbcAssembler;

namespace {

const std::string kProxy = "http://www.adobe.com/2006/actionscript/flash/proxy::";

// Enumerates local 1 with hasnext2, tracing nextname or nextvalue of each step.
std::string enumerate(const std::string& op, const std::string& tag) {
    return "getlocal1\nsetlocal2\npushbyte 0\nsetlocal3\nloop" + tag + ":\nhasnext2 2 3\niffalse done" + tag +
           "\nfindpropstrict trace\ngetlocal2\ngetlocal3\n" + op + "\ncallpropvoid trace 1\njump loop" + tag +
           "\ndone" + tag + ":\n";
}

} // namespace

TEST(Avm2Proxy, UndeclaredNamesGoToTheFlashProxyMethods) {
    AbcAssembler a;
    AbcAssembler::MethodOptions one, two, rest;
    one.params = 1;
    two.params = 2;
    rest.params = 1;
    rest.flags = 4;
    a.method("Bag$init", "getlocal0\nconstructsuper 0\nreturnvoid\n");
    a.method("Bag$get", "pushstring \"got \"\ngetlocal1\nadd\nreturnvalue\n", one);
    a.method("Bag$set", traceOf("pushstring \"set \"\ngetlocal1\nadd\npushstring \"=\"\nadd\ngetlocal2\nadd") + "returnvoid\n", two);
    a.method("Bag$call", "getlocal1\ngetproperty localName\npushstring \" called with \"\nadd\ngetlocal2\ngetproperty length\nadd\nreturnvalue\n", rest);
    a.method("Bag$has", "getlocal1\ngetproperty localName\npushstring \"yes\"\nequals\nreturnvalue\n", one);
    a.method("Bag$delete", traceOf("pushstring \"delete \"\ngetlocal1\nadd") + "pushtrue\nreturnvalue\n", one);
    a.method("Bag$nextNameIndex", "getlocal1\npushbyte 2\nifge end\ngetlocal1\nincrement_i\nreturnvalue\nend:\npushbyte 0\nreturnvalue\n", one);
    a.method("Bag$nextName", "pushstring \"k\"\ngetlocal1\nadd\nreturnvalue\n", one);
    a.method("Bag$nextValue", "getlocal1\npushbyte 10\nmultiply\nreturnvalue\n", one);
    a.method("Bag$real", "pushstring \"declared\"\nreturnvalue\n");
    AbcAssembler::ClassDef bag;
    bag.name = "Bag";
    bag.super = "flash.utils::Proxy";
    bag.sealed = false;
    bag.constructor = "Bag$init";
    for (auto [proxyName, method] : {std::pair{"getProperty", "get"}, {"setProperty", "set"}, {"callProperty", "call"},
                                     {"hasProperty", "has"}, {"deleteProperty", "delete"}, {"nextNameIndex", "nextNameIndex"},
                                     {"nextName", "nextName"}, {"nextValue", "nextValue"}})
        bag.methods[kProxy + proxyName] = std::string("Bag$") + method;
    bag.methods["real"] = "Bag$real";
    a.defineClass(bag);
    a.method("Bare$init", "getlocal0\nconstructsuper 0\nreturnvoid\n");
    AbcAssembler::ClassDef bare;
    bare.name = "Bare";
    bare.super = "flash.utils::Proxy";
    bare.constructor = "Bare$init";
    a.defineClass(bare);
    a.method("main",
             "getlocal0\npushscope\ngetscopeobject 0\ngetlex flash.utils::Proxy\nnewclass Bag\ninitproperty Bag\n"
             "getscopeobject 0\ngetlex flash.utils::Proxy\nnewclass Bare\ninitproperty Bare\n"
             "findpropstrict Bag\nconstructprop Bag 0\nsetlocal1\n" +
                 traceOf("getlocal1\ngetproperty foo") + "getlocal1\npushbyte 5\nsetproperty bar\n" +
                 traceOf("getlocal1\npushbyte 1\npushbyte 2\ncallproperty run 2") +
                 traceOf("pushstring \"yes\"\ngetlocal1\nin") + traceOf("pushstring \"no\"\ngetlocal1\nin") +
                 traceOf("getlocal1\ndeleteproperty gone") + enumerate("nextname", "a") + enumerate("nextvalue", "b") +
                 traceOf("getlocal1\ncallproperty real 0") +
                 traceOf("findpropstrict QName\npushstring \"ns\"\npushstring \"n\"\nconstructprop QName 2") +
                 traceOf("findpropstrict QName\npushstring \"n\"\nconstructprop QName 1\ngetproperty uri") +
                 "findpropstrict Bare\nconstructprop Bare 0\ngetproperty anything\nreturnvoid\n");
    a.script("main", {"Bag", "Bare"});
    EXPECT_EQ(runAbc(a), (Lines{"got foo", "set bar=5", "run called with 2", "true", "false", "delete gone", "true",
                                "k1", "k2", "10", "20", "declared", "ns::n", "",
                                "IllegalOperationError: Error #2088: The Proxy class does not implement getProperty. "
                                "It must be overridden by a subclass."}));
}
