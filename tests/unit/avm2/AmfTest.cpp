// ByteArray.writeObject/readObject: the AMF3 and AMF0 bytes of common values (as the
// published format lays them out), copies through a round trip with shared and cyclic
// references, class aliases, and damaged or hostile data that must fail cleanly.
#include "MachineRun.h"

#include <gtest/gtest.h>

using namespace orvane::testing::avm2run;
using orvane::testing::AbcAssembler;

namespace {

const std::string kNewBytes = "findpropstrict flash.utils::ByteArray\nconstructprop flash.utils::ByteArray 0\n";

// The bytes of local 1 as "1,2,3" (`tag` keeps the labels of each use apart).
std::string traceBytes(const std::string& tag) {
    return "pushstring \"\"\nsetlocal3\npushbyte 0\nsetlocal2\nloop" + tag + ":\ngetlocal2\ngetlocal1\n"
           "getproperty length\nifnlt done" + tag + "\ngetlocal3\ngetlocal2\npushbyte 0\nifeq first" + tag +
           "\npushstring \",\"\nadd\nfirst" + tag + ":\ngetlocal1\ngetlocal2\ngetproperty late\nadd\nsetlocal3\n"
           "inclocal_i 2\njump loop" + tag + "\ndone" + tag + ":\n" + traceOf("getlocal3");
}

// A new byte array in local 1 holding `bytes`, at position 0.
std::string bytesInLocal1(const std::vector<int>& bytes) {
    std::string code = kNewBytes + "setlocal1\n";
    for (int b : bytes)
        code += "getlocal1\npushshort " + std::to_string(b) + "\ncallpropvoid writeByte 1\n";
    return code + "getlocal1\npushbyte 0\nsetproperty position\n";
}

// Writes what `push` pushes into a new byte array in local 1 (encoding 0 or 3) and traces its bytes.
std::string encode(const std::string& push, int encoding, const std::string& tag) {
    return kNewBytes + "setlocal1\ngetlocal1\npushbyte " + std::to_string(encoding) + "\nsetproperty objectEncoding\n"
           "getlocal1\n" + push + "\ncallpropvoid writeObject 1\n" + traceBytes(tag);
}

} // namespace

TEST(Avm2Amf, WritesTheFormatsBytes) {
    EXPECT_EQ(runScript(
                  // {a: 1}: an anonymous dynamic object, then its second use as a traits reference.
                  encode("pushstring \"a\"\npushbyte 1\nnewobject 1", 3, "a") +
                  encode("pushstring \"a\"\npushbyte 1\nnewobject 1\npushstring \"b\"\npushbyte 2\nnewobject 1\nnewarray 2", 3, "b") +
                  // Strings are referenced on their second use; "" never is.
                  encode("pushbyte 1\npushstring \"x\"\npushstring \"x\"\npushstring \"\"\nnewarray 4", 3, "c") +
                  // 300 takes two bytes; 2^28 no longer fits an integer; 1.5 is a double.
                  encode("pushshort 300", 3, "d") + encode("pushint 268435456", 3, "e") +
                  encode("pushdouble 1.5", 3, "f") + encode("pushint -1", 3, "g") +
                  encode("pushtrue", 3, "h") + encode("pushnull", 3, "i") + encode("pushundefined", 3, "j") +
                  // The same object twice is written once.
                  kNewBytes + "setlocal1\nnewobject 0\nsetlocal2\ngetlocal1\ngetlocal2\ngetlocal2\nnewarray 2\n"
                  "callpropvoid writeObject 1\n" + traceBytes("k") +
                  // AMF0: an object ends with an empty name and the end marker; arrays are strict.
                  encode("pushstring \"a\"\npushbyte 1\nnewobject 1", 0, "l") +
                  encode("pushstring \"hi\"\npushfalse\nnewarray 2", 0, "m")),
              (Lines{"10,11,1,3,97,4,1,1",
                     "9,5,1,10,11,1,3,97,4,1,1,10,1,3,98,4,2,1",
                     "9,9,1,4,1,6,3,120,6,0,6,1",
                     "4,130,44", "5,65,176,0,0,0,0,0,0", "5,63,248,0,0,0,0,0,0", "4,255,255,255,255",
                     "3", "1", "0",
                     "9,5,1,10,11,1,1,10,2",
                     "3,0,1,97,0,63,240,0,0,0,0,0,0,0,0,9",
                     "10,0,0,0,2,2,0,2,104,105,1,0"}));
}

TEST(Avm2Amf, ReadsBackWhatItWrote) {
    for (int encoding : {0, 3}) {
        // o = {n: "name", list: [1, 2.5, true], when: new Date(86400000)}; o.self = o; o.again = o.list
        const std::string body =
            kNewBytes + "setlocal1\ngetlocal1\npushbyte " + std::to_string(encoding) + "\nsetproperty objectEncoding\n"
            "pushstring \"n\"\npushstring \"name\"\npushstring \"list\"\npushbyte 1\npushdouble 2.5\npushtrue\nnewarray 3\n"
            "pushstring \"when\"\nfindpropstrict Date\npushint 86400000\nconstructprop Date 1\nnewobject 3\nsetlocal2\n"
            "getlocal2\ngetlocal2\nsetproperty self\ngetlocal2\ngetlocal2\ngetproperty list\nsetproperty again\n"
            "getlocal1\ngetlocal2\ncallpropvoid writeObject 1\n"
            "getlocal1\npushstring \"tail\"\ncallpropvoid writeObject 1\n"
            "getlocal1\npushbyte 0\nsetproperty position\n"
            "getlocal1\ncallproperty readObject 0\nsetlocal3\n" +
            traceOf("getlocal3\ngetproperty n") + traceOf("getlocal3\ngetproperty list\ngetproperty length") +
            traceOf("getlocal3\ngetproperty list\npushbyte 1\ngetproperty late") +
            traceOf("getlocal3\ngetproperty when\ncallproperty getTime 0") +
            traceOf("getlocal3\ngetproperty self\ngetlocal3\nstrictequals") +
            traceOf("getlocal3\ngetproperty again\ngetlocal3\ngetproperty list\nstrictequals") +
            traceOf("getlocal3\ngetlocal2\nstrictequals") + traceOf("getlocal1\ncallproperty readObject 0") +
            traceOf("getlocal1\ngetproperty bytesAvailable");
        EXPECT_EQ(runScript(body), (Lines{"name", "3", "2.5", "86400000", "true", "true", "false", "tail", "0"}))
            << "encoding " << encoding;
    }
}

TEST(Avm2Amf, ClassAliasesComeBackAsTheirClass) {
    AbcAssembler a;
    a.method("Item$init", "getlocal0\nconstructsuper 0\nreturnvoid\n");
    AbcAssembler::ClassDef item;
    item.name = "Item";
    item.constructor = "Item$init";
    item.slots = {{"count", "int"}, {"label", "String"}};
    a.defineClass(item);
    a.method("main",
             "getlocal0\npushscope\ngetscopeobject 0\ngetlex Object\nnewclass Item\ninitproperty Item\n"
             "findpropstrict flash.net::registerClassAlias\npushstring \"shop.Item\"\ngetlex Item\n"
             "callpropvoid flash.net::registerClassAlias 2\n"
             "findpropstrict Item\nconstructprop Item 0\nsetlocal2\n"
             "getlocal2\npushbyte 7\nsetproperty count\ngetlocal2\npushstring \"pen\"\nsetproperty label\n" +
                 kNewBytes + "setlocal1\ngetlocal1\ngetlocal2\ncallpropvoid writeObject 1\n"
                 "getlocal1\npushbyte 0\nsetproperty position\ngetlocal1\ncallproperty readObject 0\nsetlocal3\n" +
                 traceOf("getlocal3\ngetlex Item\nistypelate") + traceOf("getlocal3\ngetproperty count") +
                 traceOf("getlocal3\ngetproperty label") +
                 traceOf("findpropstrict flash.net::getClassByAlias\npushstring \"shop.Item\"\n"
                         "callproperty flash.net::getClassByAlias 1\ngetlex Item\nstrictequals") +
                 // Inline traits of two variables, not dynamic, then the alias.
                 traceOf("getlocal1\npushbyte 1\ngetproperty late") +
                 traceOf("getlocal1\npushbyte 3\ngetproperty late") + "returnvoid\n");
    a.script("main", {"Item"});
    EXPECT_EQ(runAbc(a), (Lines{"true", "7", "pen", "true", "35", "115"}));
}

TEST(Avm2Amf, RefusesDamagedData) {
    const Lines eof{"EOFError: Error #2030: End of file was encountered."};
    const Lines bad{"RangeError: Error #2006: The supplied index is out of bounds."};
    const std::string read = "getlocal1\ncallpropvoid readObject 0\n";
    // An array that promises 2^28 elements in four bytes.
    EXPECT_EQ(runScript(bytesInLocal1({9, 0xFF, 0xFF, 0xFF, 0x7F}) + read), eof);
    // A string longer than the data, a reference to a string never read, a marker AMF3 lacks.
    EXPECT_EQ(runScript(bytesInLocal1({6, 0x7F, 65}) + read), eof);
    EXPECT_EQ(runScript(bytesInLocal1({6, 0x04}) + read), bad);
    EXPECT_EQ(runScript(bytesInLocal1({0x20}) + read), bad);
    // Objects referring to an object, or to traits, that were never read.
    EXPECT_EQ(runScript(bytesInLocal1({10, 0x02}) + read), bad);
    EXPECT_EQ(runScript(bytesInLocal1({10, 0x05}) + read), bad);
    // AMF0: a reference past the table, and an object with no end marker.
    EXPECT_EQ(runScript(bytesInLocal1({7, 0, 3}) +
                        "getlocal1\npushbyte 0\nsetproperty objectEncoding\n" + read),
              bad);
    EXPECT_EQ(runScript(bytesInLocal1({3, 0, 1, 97, 5}) + "getlocal1\npushbyte 0\nsetproperty objectEncoding\n" + read),
              eof);
    // Arrays nested past the limit fail instead of exhausting the stack.
    std::vector<int> deep;
    for (int i = 0; i < 300; ++i)
        deep.insert(deep.end(), {9, 3, 1});
    deep.push_back(0);
    EXPECT_EQ(runScript(bytesInLocal1(deep) + read), bad);
    // Writing a structure nested past the limit is a stack overflow error, not a crash.
    std::string nest = "newobject 0\nsetlocal2\ngetlocal2\nsetlocal3\n";
    nest += "pushbyte 0\nsetlocal 4\nloop:\ngetlocal3\npushstring \"next\"\nnewobject 0\ndup\nsetlocal 5\n"
            "setproperty late\ngetlocal 5\nsetlocal3\ninclocal_i 4\ngetlocal 4\npushshort 400\niflt loop\n";
    EXPECT_EQ(runScript(nest + kNewBytes + "getlocal2\ncallpropvoid writeObject 1\n"),
              (Lines{"Error: Error #1023: Stack overflow occurred."}));
}

// An aliased class that implements IExternalizable writes its own bytes after traits marked
// externalizable, and reads them back through readExternal; a second use is a reference and
// the message goes on after the object's bytes. ByteArray is an IDataInput.
TEST(Avm2Amf, ExternalizableObjectsWriteAndReadTheirOwnBytes) {
    AbcAssembler a;
    a.method("Pt$init", "getlocal0\nconstructsuper 0\nreturnvoid\n");
    AbcAssembler::MethodOptions one;
    one.params = 1;
    a.method("Pt$write", "getlocal1\ngetlocal0\ngetproperty n\ncallpropvoid writeInt 1\n"
                         "getlocal1\ngetlocal0\ngetproperty tag\ncallpropvoid writeObject 1\nreturnvoid\n", one);
    a.method("Pt$read", "getlocal0\ngetlocal1\ncallproperty readInt 0\nsetproperty n\n"
                        "getlocal0\ngetlocal1\ncallproperty readObject 0\nsetproperty tag\nreturnvoid\n", one);
    AbcAssembler::ClassDef pt;
    pt.name = "Pt";
    pt.constructor = "Pt$init";
    pt.interfaces = {"flash.utils::IExternalizable"};
    pt.slots = {{"n", "int"}, {"tag", "String"}};
    pt.methods = {{"writeExternal", "Pt$write"}, {"readExternal", "Pt$read"}};
    a.defineClass(pt);
    a.method("main",
             "getlocal0\npushscope\ngetscopeobject 0\ngetlex Object\nnewclass Pt\ninitproperty Pt\n"
             "findpropstrict flash.net::registerClassAlias\npushstring \"geo.Pt\"\ngetlex Pt\n"
             "callpropvoid flash.net::registerClassAlias 2\n"
             "findpropstrict Pt\nconstructprop Pt 0\nsetlocal2\n"
             "getlocal2\npushbyte 7\nsetproperty n\ngetlocal2\npushstring \"x\"\nsetproperty tag\n" +
                 kNewBytes + "setlocal1\ngetlocal1\ngetlocal2\ngetlocal2\npushstring \"after\"\nnewarray 3\n"
                 "callpropvoid writeObject 1\n"
                 // 9 7 1 | 10 7 13 "geo.Pt" | 0 0 0 7 | 6 3 "x" | 10 2 | 6 11 "after"
                 + traceOf("getlocal1\npushbyte 4\ngetproperty late") + traceOf("getlocal1\npushbyte 15\ngetproperty late") +
                 traceOf("getlocal1\npushbyte 19\ngetproperty late") +
                 "getlocal1\npushbyte 0\nsetproperty position\ngetlocal1\ncallproperty readObject 0\nsetlocal3\n" +
                 traceOf("getlocal3\npushbyte 0\ngetproperty late\ngetproperty n\npushstring \" \"\nadd\n"
                         "getlocal3\npushbyte 0\ngetproperty late\ngetproperty tag\nadd\npushstring \" \"\nadd\n"
                         "getlocal3\npushbyte 0\ngetproperty late\ngetlocal3\npushbyte 1\ngetproperty late\nstrictequals\nadd\n"
                         "pushstring \" \"\nadd\ngetlocal3\npushbyte 2\ngetproperty late\nadd") +
                 traceOf("getlocal3\npushbyte 0\ngetproperty late\ngetlex Pt\nistypelate") +
                 traceOf("getlocal1\ngetproperty bytesAvailable") +
                 traceOf("getlocal1\ngetlex flash.utils::IDataInput\nistypelate") + "returnvoid\n");
    a.script("main", {"Pt"});
    EXPECT_EQ(runAbc(a), (Lines{"7", "7", "10", "7 x true after", "true", "0", "true"}));
}
