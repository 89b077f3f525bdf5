// flash.utils.ByteArray on assembled code: byte order, positions, text, compression and
// the errors for reading past the end, bad arguments and damaged compressed data.
#include "MachineRun.h"

#include <gtest/gtest.h>

using namespace orvane::testing::avm2run;

namespace {

const std::string kNewBytes = "findpropstrict flash.utils::ByteArray\nconstructprop flash.utils::ByteArray 0\n";

// The bytes of local 1 as "1,2,3"; `tag` keeps the labels of each use apart.
std::string traceBytes(const std::string& tag) {
    return "pushstring \"\"\nsetlocal3\npushbyte 0\nsetlocal2\nloop" + tag + ":\ngetlocal2\ngetlocal1\n"
           "getproperty length\nifnlt done" + tag + "\ngetlocal3\ngetlocal2\npushbyte 0\nifeq first" + tag +
           "\npushstring \",\"\nadd\nfirst" + tag + ":\ngetlocal1\ngetlocal2\ngetproperty late\nadd\nsetlocal3\n"
           "inclocal_i 2\njump loop" + tag + "\ndone" + tag + ":\n" + traceOf("getlocal3");
}

} // namespace

TEST(Avm2ByteArray, WritesAndReadsNumbersInEitherByteOrder) {
    EXPECT_EQ(runScript(kNewBytes + "setlocal1\n"
                        "getlocal1\npushint 16909060\ncallpropvoid writeInt 1\n"
                        "getlocal1\npushbyte -2\ncallpropvoid writeShort 1\n" +
                        traceBytes("a") + traceOf("getlocal1\ngetproperty position") +
                        "getlocal1\npushstring \"littleEndian\"\nsetproperty endian\n"
                        "getlocal1\npushint 16909060\ncallpropvoid writeInt 1\n" + traceBytes("b") +
                        // Reading back: both orders, signed and unsigned.
                        "getlocal1\npushbyte 0\nsetproperty position\n"
                        "getlocal1\npushstring \"bigEndian\"\nsetproperty endian\n" +
                        traceOf("getlocal1\ncallproperty readInt 0") + traceOf("getlocal1\ncallproperty readShort 0") +
                        traceOf("getlocal1\ngetproperty bytesAvailable") +
                        "getlocal1\npushbyte 4\nsetproperty position\n" +
                        traceOf("getlocal1\ncallproperty readUnsignedShort 0") +
                        "getlocal1\npushstring \"littleEndian\"\nsetproperty endian\n" +
                        traceOf("getlocal1\ncallproperty readUnsignedInt 0")),
              (Lines{"1,2,3,4,255,254", "6", "1,2,3,4,255,254,4,3,2,1", "16909060", "-2", "4", "65534",
                     "16909060"}));
    EXPECT_EQ(runScript(kNewBytes + "setlocal1\n"
                        "getlocal1\npushdouble 0.1\ncallpropvoid writeDouble 1\n"
                        "getlocal1\npushdouble 1.5\ncallpropvoid writeFloat 1\n"
                        "getlocal1\npushint -1\ncallpropvoid writeUnsignedInt 1\n"
                        "getlocal1\npushtrue\ncallpropvoid writeBoolean 1\n"
                        "getlocal1\npushshort 200\ncallpropvoid writeByte 1\n"
                        "getlocal1\npushbyte 0\nsetproperty position\n" +
                        traceOf("getlocal1\ncallproperty readDouble 0") + traceOf("getlocal1\ncallproperty readFloat 0") +
                        traceOf("getlocal1\ncallproperty readUnsignedInt 0") +
                        traceOf("getlocal1\ncallproperty readBoolean 0") + traceOf("getlocal1\ncallproperty readByte 0") +
                        // Indexing reads bytes, writing past the end grows the array.
                        traceOf("getlocal1\npushbyte 12\ngetproperty late") +
                        "getlocal1\npushbyte 20\npushshort 258\nsetproperty late\n" +
                        traceOf("getlocal1\ngetproperty length") + traceOf("getlocal1\npushbyte 20\ngetproperty late") +
                        traceOf("getlocal1\npushbyte 30\ngetproperty late")),
              (Lines{"0.1", "1.5", "4294967295", "true", "-56", "255", "21", "2", "undefined"}));
}

TEST(Avm2ByteArray, ReadsAndWritesText) {
    EXPECT_EQ(runScript(kNewBytes + "setlocal1\n"
                        "getlocal1\npushstring \"h\xC3\xA9llo\"\ncallpropvoid writeUTF 1\n"
                        "getlocal1\npushstring \"ab\"\ncallpropvoid writeUTFBytes 1\n"
                        "getlocal1\npushstring \"\xC3\xA9!\"\npushstring \"iso-8859-1\"\ncallpropvoid writeMultiByte 2\n" +
                        traceBytes("a") + "getlocal1\npushbyte 0\nsetproperty position\n" +
                        traceOf("getlocal1\ncallproperty readUTF 0") +
                        traceOf("getlocal1\npushbyte 2\ncallproperty readUTFBytes 1") +
                        traceOf("getlocal1\npushbyte 2\npushstring \"iso-8859-1\"\ncallproperty readMultiByte 2") +
                        // toString skips a byte order mark.
                        kNewBytes + "setlocal2\n"
                        "getlocal2\npushshort 239\ncallpropvoid writeByte 1\n"
                        "getlocal2\npushshort 187\ncallpropvoid writeByte 1\n"
                        "getlocal2\npushshort 191\ncallpropvoid writeByte 1\n"
                        "getlocal2\npushstring \"ok\"\ncallpropvoid writeUTFBytes 1\n" +
                        traceOf("getlocal2\ncallproperty toString 0")),
              (Lines{"0,6,104,195,169,108,108,111,97,98,233,33", "h\xC3\xA9llo", "ab", "\xC3\xA9!", "ok"}));
}

TEST(Avm2ByteArray, CopiesBetweenArrays) {
    EXPECT_EQ(runScript(kNewBytes + "setlocal1\ngetlocal1\npushstring \"abcdef\"\ncallpropvoid writeUTFBytes 1\n" +
                        kNewBytes + "setlocal2\n"
                        "getlocal2\ngetlocal1\npushbyte 2\npushbyte 3\ncallpropvoid writeBytes 3\n" +
                        traceOf("getlocal2\ncallproperty toString 0") +
                        "getlocal1\npushbyte 1\nsetproperty position\n"
                        "getlocal1\ngetlocal2\npushbyte 1\npushbyte 2\ncallpropvoid readBytes 3\n" +
                        traceOf("getlocal2\ncallproperty toString 0") + traceOf("getlocal1\ngetproperty position") +
                        // An array copied into itself reads what was there before.
                        "getlocal1\npushbyte 0\nsetproperty position\n"
                        "getlocal1\ngetlocal1\npushbyte 3\npushbyte 3\ncallpropvoid readBytes 3\n" +
                        traceOf("getlocal1\ncallproperty toString 0") +
                        // Shrinking the length pulls the position back.
                        "getlocal1\npushbyte 2\nsetproperty length\n" + traceOf("getlocal1\ngetproperty position") +
                        "getlocal1\ncallpropvoid clear 0\n" + traceOf("getlocal1\ngetproperty length")),
              (Lines{"cde", "cbc", "3", "abcabc", "2", "0"}));
}

TEST(Avm2ByteArray, CompressesAndUncompressesEachAlgorithm) {
    std::string body = kNewBytes + "setlocal1\n";
    std::vector<std::string> expected;
    for (const char* algorithm : {"zlib", "deflate", "lzma"}) {
        body += "getlocal1\ncallpropvoid clear 0\n"
                "getlocal1\npushstring \"to be or not to be, to be or not to be\"\ncallpropvoid writeUTFBytes 1\n"
                "getlocal1\npushstring \"" + std::string(algorithm) + "\"\ncallpropvoid compress 1\n" +
                traceOf("getlocal1\ngetproperty length\npushbyte 38\nequals\nnot") +
                traceOf("getlocal1\ngetproperty position\ngetlocal1\ngetproperty length\nequals") +
                "getlocal1\npushstring \"" + algorithm + "\"\ncallpropvoid uncompress 1\n" +
                traceOf("getlocal1\ncallproperty toString 0") + traceOf("getlocal1\ngetproperty position");
        for (const char* line : {"true", "true", "to be or not to be, to be or not to be", "0"})
            expected.push_back(line);
    }
    // deflate()/inflate() are the raw deflate pair.
    body += "getlocal1\ncallpropvoid deflate 0\ngetlocal1\npushstring \"deflate\"\ncallpropvoid uncompress 1\n" +
            traceOf("getlocal1\ncallproperty toString 0");
    expected.push_back("to be or not to be, to be or not to be");
    EXPECT_EQ(runScript(body), expected);
}

TEST(Avm2ByteArray, RefusesBadReadsArgumentsAndData) {
    const Lines eof{"EOFError: Error #2030: End of file was encountered."};
    EXPECT_EQ(runScript(kNewBytes + "setlocal1\ngetlocal1\npushbyte 1\ncallpropvoid writeByte 1\n"
                        "getlocal1\npushbyte 0\nsetproperty position\n" + traceOf("getlocal1\ncallproperty readInt 0")),
              eof);
    // A length field that promises more than there is.
    EXPECT_EQ(runScript(kNewBytes + "setlocal1\ngetlocal1\npushshort 9999\ncallpropvoid writeShort 1\n"
                        "getlocal1\npushbyte 0\nsetproperty position\n" + traceOf("getlocal1\ncallproperty readUTF 0")),
              eof);
    EXPECT_EQ(runScript(kNewBytes + "setlocal1\ngetlocal1\npushbyte 5\nsetproperty position\n" +
                        traceOf("getlocal1\ngetproperty bytesAvailable") +
                        traceOf("getlocal1\npushbyte 1\ncallproperty readUTFBytes 1")),
              (Lines{"0", "EOFError: Error #2030: End of file was encountered."}));
    EXPECT_EQ(runScript(kNewBytes + "setlocal1\ngetlocal1\n" + kNewBytes + "pushbyte 5\npushbyte 1\n"
                        "callpropvoid writeBytes 3\n"),
              (Lines{"RangeError: Error #2006: The supplied index is out of bounds."}));
    EXPECT_EQ(runScript(kNewBytes + "pushstring \"middle\"\nsetproperty endian\n"),
              (Lines{"ArgumentError: Error #2008: Parameter endian must be one of the accepted values."}));
    // Damaged or cut compressed data is an error.
    const std::string damaged =
        kNewBytes + "setlocal1\ngetlocal1\npushstring \"some text to pack\"\ncallpropvoid writeUTFBytes 1\n"
                    "getlocal1\ncallpropvoid compress 0\ngetlocal1\ngetlocal1\ngetproperty length\npushbyte 6\n"
                    "subtract\nsetproperty length\n" +
        traceOf("getlocal1\ngetproperty length") + "getlocal1\ncallpropvoid uncompress 0\n";
    Lines lines = runScript(damaged);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "IOError: Error #2058: There was an error decompressing the data.");
    EXPECT_EQ(runScript(kNewBytes + "setlocal1\ngetlocal1\npushstring \"not compressed\"\ncallpropvoid writeUTFBytes 1\n"
                        "getlocal1\npushstring \"lzma\"\ncallpropvoid uncompress 1\n"),
              (Lines{"IOError: Error #2058: There was an error decompressing the data."}));
    // Sizes past the limit stop the script instead of allocating.
    EXPECT_EQ(runScript(kNewBytes + "pushint 2147483647\nsetproperty length\n"),
              (Lines{"Error #1000: The system is out of memory."}));
}
