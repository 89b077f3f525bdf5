// flash.utils.ByteArray and Endian: bytes with a position, read and written as numbers of
// either byte order and as text, compressed with zlib, raw deflate or LZMA, indexed as
// ba[i]. A byte array holds at most kMaxByteArray bytes, and decompression stops there too.
#include "swf/avm2/Amf.h"
#include "swf/avm2/Machine.h"
#include "swf/io/Decompress.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>

namespace swf::avm2 {

inline constexpr std::size_t kMaxByteArray = 64u << 20;

namespace {

class ByteArrayObject : public IndexedObject {
public:
    std::vector<std::uint8_t> data;
    std::uint32_t position = 0;
    bool littleEndian = false;
    std::uint32_t objectEncoding = 3;

    std::size_t indexedLength() const override { return data.size(); }
    Value getIndex(std::uint32_t index) const override {
        return index < data.size() ? Value::integer(data[index]) : Value();
    }
    void setIndex(Machine& m, std::uint32_t index, Value v) override {
        if (index >= kMaxByteArray)
            throw ScriptAbort{"Error #1000: The system is out of memory."};
        resize(m, std::max<std::size_t>(data.size(), std::size_t{index} + 1));
        data[index] = static_cast<std::uint8_t>(m.toInt(v));
    }

    // Every change of size goes through here, so the machine's count of bytes held by
    // native objects stays right.
    void resize(Machine& m, std::size_t size) {
        if (size > data.size())
            m.holdNativeBytes(size - data.size());
        else
            m.releaseNativeBytes(data.size() - size);
        data.resize(size);
    }
    void assign(Machine& m, std::vector<std::uint8_t> bytes) {
        resize(m, bytes.size());
        data = std::move(bytes);
    }
    std::size_t available() const { return position < data.size() ? data.size() - position : 0; }

    // The next n bytes, moving the position past them; EOFError when there are fewer.
    const std::uint8_t* take(Machine& m, std::size_t n) {
        if (n > available())
            m.throwError(m.findClass("flash.errors.EOFError"), 2030, "End of file was encountered.");
        const std::uint8_t* at = data.data() + position;
        position += static_cast<std::uint32_t>(n);
        return at;
    }
    // Writes n bytes at the position, growing the array as needed.
    void put(Machine& m, const void* bytes, std::size_t n) {
        std::size_t end = std::size_t{position} + n;
        if (end > kMaxByteArray)
            throw ScriptAbort{"Error #1000: The system is out of memory."};
        if (end > data.size())
            resize(m, end);
        if (n)
            std::memcpy(data.data() + position, bytes, n);
        position = static_cast<std::uint32_t>(end);
    }

    std::uint64_t readUnsigned(Machine& m, std::size_t n) {
        const std::uint8_t* at = take(m, n);
        std::uint64_t v = 0;
        for (std::size_t k = 0; k < n; ++k)
            v |= std::uint64_t{at[littleEndian ? k : n - 1 - k]} << (8 * k);
        return v;
    }
    void writeUnsigned(Machine& m, std::uint64_t v, std::size_t n) {
        std::uint8_t bytes[8];
        for (std::size_t k = 0; k < n; ++k)
            bytes[littleEndian ? k : n - 1 - k] = static_cast<std::uint8_t>(v >> (8 * k));
        put(m, bytes, n);
    }
};

ByteArrayObject& bytesOf(Machine& m, Value v) {
    return requireNative<ByteArrayObject>(m, v, "flash.utils.ByteArray");
}

[[noreturn]] void outOfBounds(Machine& m) {
    m.rangeError(2006, "The supplied index is out of bounds.");
}

// Charsets that mean one byte per character; every other name is read as UTF-8.
bool singleByteCharset(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name == "iso-8859-1" || name == "latin1" || name == "us-ascii" || name == "ascii" ||
           name == "windows-1252";
}

std::string text(const std::uint8_t* at, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(at), n);
}

// The numbers, each read and written as `size` bytes in the array's byte order.
enum class Num { Bool, Signed, Unsigned, Float, Double };
struct NumberAccess {
    const char* read;
    const char* write;
    std::size_t size;
    Num kind;
};
constexpr NumberAccess kNumbers[] = {
    {"readBoolean", "writeBoolean", 1, Num::Bool},      {"readByte", "writeByte", 1, Num::Signed},
    {"readUnsignedByte", nullptr, 1, Num::Unsigned},    {"readShort", "writeShort", 2, Num::Signed},
    {"readUnsignedShort", nullptr, 2, Num::Unsigned},   {"readInt", "writeInt", 4, Num::Signed},
    {"readUnsignedInt", "writeUnsignedInt", 4, Num::Unsigned}, {"readFloat", "writeFloat", 4, Num::Float},
    {"readDouble", "writeDouble", 8, Num::Double},
};

Value readNumber(Machine& m, ByteArrayObject& b, const NumberAccess& n) {
    std::uint64_t raw = b.readUnsigned(m, n.size);
    switch (n.kind) {
    case Num::Bool: return Value::boolean(raw != 0);
    case Num::Unsigned: return n.size == 4 ? Value::uinteger(static_cast<std::uint32_t>(raw)) : Value::integer(static_cast<std::int32_t>(raw));
    case Num::Signed: {
        std::uint64_t sign = std::uint64_t{1} << (8 * n.size - 1);
        return Value::integer(static_cast<std::int32_t>(static_cast<std::int64_t>(raw ^ sign) - static_cast<std::int64_t>(sign)));
    }
    case Num::Float: return Value::number(std::bit_cast<float>(static_cast<std::uint32_t>(raw)));
    case Num::Double: return Value::number(std::bit_cast<double>(raw));
    }
    return Value();
}

void writeNumber(Machine& m, ByteArrayObject& b, const NumberAccess& n, Value v) {
    std::uint64_t raw = 0;
    switch (n.kind) {
    case Num::Bool: raw = m.toBoolean(v) ? 1 : 0; break;
    case Num::Signed: case Num::Unsigned: raw = m.toUint(v); break;
    case Num::Float: raw = std::bit_cast<std::uint32_t>(static_cast<float>(m.toNumber(v))); break;
    case Num::Double: raw = std::bit_cast<std::uint64_t>(m.toNumber(v)); break;
    }
    b.writeUnsigned(m, raw, n.size);
}

// compress/uncompress take "zlib" (the default), "deflate" or "lzma".
enum class Codec { Zlib, Deflate, Lzma };

Codec codecOf(Machine& m, Value v) {
    std::string name = v.isUndefined() ? "zlib" : m.toString(v);
    if (name == "zlib")
        return Codec::Zlib;
    if (name == "deflate")
        return Codec::Deflate;
    if (name == "lzma")
        return Codec::Lzma;
    m.throwError(m.argumentErrorClass, 2008, "Parameter algorithm must be one of the accepted values.");
}

void compress(Machine& m, ByteArrayObject& b, Codec codec) {
    if (b.data.empty())
        return;
    std::vector<std::uint8_t> packed =
        codec == Codec::Lzma ? io::encodeLzmaAlone(b.data) : io::deflateBytes(b.data, codec == Codec::Deflate);
    if (packed.empty() || packed.size() > kMaxByteArray)
        throw ScriptAbort{"Error #1000: The system is out of memory."};
    b.assign(m, std::move(packed));
    b.position = static_cast<std::uint32_t>(b.data.size());
}

void uncompress(Machine& m, ByteArrayObject& b, Codec codec) {
    if (b.data.empty())
        return;
    io::Inflated out = codec == Codec::Zlib      ? io::inflateZlib(b.data, kMaxByteArray)
                       : codec == Codec::Deflate ? io::inflateRaw(b.data, kMaxByteArray)
                                                 : io::decodeLzmaAlone(b.data, kMaxByteArray);
    // Past the size limit the data is refused as a whole rather than cut short.
    if (!out.complete || out.bytes.size() >= kMaxByteArray)
        m.throwError(m.findClass("flash.errors.IOError"), 2058, "There was an error decompressing the data.");
    b.assign(m, std::move(out.bytes));
    b.position = 0;
}

// readBytes(into, offset, length) and writeBytes(from, offset, length): a length of 0 means
// all there is.
void readBytes(Machine& m, ByteArrayObject& self, std::span<Value> a) {
    ByteArrayObject& into = bytesOf(m, arg(a, 0));
    std::uint32_t offset = a.size() > 1 ? m.toUint(a[1]) : 0;
    std::size_t length = a.size() > 2 ? m.toUint(a[2]) : 0;
    if (length == 0)
        length = self.available();
    if (std::size_t{offset} + length > kMaxByteArray)
        outOfBounds(m);
    const std::uint8_t* from = self.take(m, length);
    std::vector<std::uint8_t> copy(from, from + length); // `into` may be `self`
    if (std::size_t{offset} + length > into.data.size())
        into.resize(m, std::size_t{offset} + length);
    std::copy(copy.begin(), copy.end(), into.data.begin() + offset);
}

void writeBytes(Machine& m, ByteArrayObject& self, std::span<Value> a) {
    ByteArrayObject& from = bytesOf(m, arg(a, 0));
    std::uint32_t offset = a.size() > 1 ? m.toUint(a[1]) : 0;
    std::size_t length = a.size() > 2 ? m.toUint(a[2]) : 0;
    if (offset > from.data.size())
        outOfBounds(m);
    if (length == 0)
        length = from.data.size() - offset;
    if (std::size_t{offset} + length > from.data.size())
        outOfBounds(m);
    std::vector<std::uint8_t> copy(from.data.begin() + offset, from.data.begin() + offset + static_cast<std::ptrdiff_t>(length));
    self.put(m, copy.data(), copy.size());
}

// A native method of ByteArray: `fn(machine, the byte array, arguments)`.
template <typename F>
void method(Machine& m, ClassObject* cls, const char* name, F fn, std::uint32_t length = 0) {
    m.defineMethod(cls, name, [fn](Machine& m, Value self, std::span<Value> a) -> Value {
        return fn(m, bytesOf(m, self), a);
    }, length);
}

void installTextMethods(Machine& m, ClassObject* cls) {
    method(m, cls, "readUTF", [](Machine& m, ByteArrayObject& b, std::span<Value>) {
        std::size_t n = b.readUnsigned(m, 2);
        return m.string(text(b.take(m, n), n));
    });
    method(m, cls, "readUTFBytes", [](Machine& m, ByteArrayObject& b, std::span<Value> a) {
        std::size_t n = m.toUint(arg(a, 0));
        return m.string(text(b.take(m, n), n));
    }, 1);
    method(m, cls, "readMultiByte", [](Machine& m, ByteArrayObject& b, std::span<Value> a) {
        std::size_t n = m.toUint(arg(a, 0));
        const std::uint8_t* at = b.take(m, n);
        if (!singleByteCharset(m.toString(arg(a, 1))))
            return m.string(text(at, n));
        std::string out;
        for (std::size_t k = 0; k < n; ++k) {
            if (at[k] < 0x80) {
                out += static_cast<char>(at[k]);
            } else {
                out += static_cast<char>(0xC0 | (at[k] >> 6));
                out += static_cast<char>(0x80 | (at[k] & 0x3F));
            }
        }
        return m.string(out);
    }, 2);
    method(m, cls, "writeUTF", [](Machine& m, ByteArrayObject& b, std::span<Value> a) {
        std::string s = m.toString(arg(a, 0));
        if (s.size() > 0xFFFF)
            outOfBounds(m);
        b.writeUnsigned(m, s.size(), 2);
        b.put(m, s.data(), s.size());
        return Value();
    }, 1);
    method(m, cls, "writeUTFBytes", [](Machine& m, ByteArrayObject& b, std::span<Value> a) {
        std::string s = m.toString(arg(a, 0));
        b.put(m, s.data(), s.size());
        return Value();
    }, 1);
    method(m, cls, "writeMultiByte", [](Machine& m, ByteArrayObject& b, std::span<Value> a) {
        std::string s = m.toString(arg(a, 0));
        if (singleByteCharset(m.toString(arg(a, 1)))) {
            // UTF-8 in, one byte per character out ('?' past Latin-1).
            std::string narrow;
            for (std::size_t k = 0; k < s.size(); ++k) {
                auto c = static_cast<unsigned char>(s[k]);
                if ((c == 0xC2 || c == 0xC3) && k + 1 < s.size()) {
                    narrow += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(s[++k]) & 0x3F));
                } else if (c >= 0x80) {
                    narrow += '?';
                    while (k + 1 < s.size() && (static_cast<unsigned char>(s[k + 1]) & 0xC0) == 0x80)
                        ++k;
                } else {
                    narrow += static_cast<char>(c);
                }
            }
            s = std::move(narrow);
        }
        b.put(m, s.data(), s.size());
        return Value();
    }, 2);
    method(m, cls, "toString", [](Machine& m, ByteArrayObject& b, std::span<Value>) {
        std::size_t skip = b.data.size() >= 3 && b.data[0] == 0xEF && b.data[1] == 0xBB && b.data[2] == 0xBF ? 3 : 0;
        return m.string(text(b.data.data() + skip, b.data.size() - skip));
    });
}

void installProperties(Machine& m, ClassObject* cls) {
    m.defineGetter(cls, "length", [](Machine& m, Value self, std::span<Value>) {
        return Value::uinteger(static_cast<std::uint32_t>(bytesOf(m, self).data.size()));
    });
    m.defineSetter(cls, "length", [](Machine& m, Value self, std::span<Value> a) {
        ByteArrayObject& b = bytesOf(m, self);
        b.resize(m, m.toUint(arg(a, 0)));
        b.position = std::min<std::uint32_t>(b.position, static_cast<std::uint32_t>(b.data.size()));
        return Value();
    });
    m.defineGetter(cls, "position", [](Machine& m, Value self, std::span<Value>) {
        return Value::uinteger(bytesOf(m, self).position);
    });
    m.defineSetter(cls, "position", [](Machine& m, Value self, std::span<Value> a) {
        bytesOf(m, self).position = m.toUint(arg(a, 0));
        return Value();
    });
    m.defineGetter(cls, "bytesAvailable", [](Machine& m, Value self, std::span<Value>) {
        return Value::uinteger(static_cast<std::uint32_t>(bytesOf(m, self).available()));
    });
    m.defineGetter(cls, "endian", [](Machine& m, Value self, std::span<Value>) {
        return m.string(bytesOf(m, self).littleEndian ? "littleEndian" : "bigEndian");
    });
    m.defineSetter(cls, "endian", [](Machine& m, Value self, std::span<Value> a) {
        std::string e = m.toString(arg(a, 0));
        if (e != "bigEndian" && e != "littleEndian")
            m.throwError(m.argumentErrorClass, 2008, "Parameter endian must be one of the accepted values.");
        bytesOf(m, self).littleEndian = e == "littleEndian";
        return Value();
    });
    m.defineGetter(cls, "objectEncoding", [](Machine& m, Value self, std::span<Value>) {
        return Value::uinteger(bytesOf(m, self).objectEncoding);
    });
    m.defineSetter(cls, "objectEncoding", [](Machine& m, Value self, std::span<Value> a) {
        bytesOf(m, self).objectEncoding = m.toUint(arg(a, 0)) == 0 ? 0 : 3;
        return Value();
    });
}

} // namespace

Value newByteArray(Machine& m, std::vector<std::uint8_t> bytes) {
    ClassObject* cls = m.findClass("flash.utils.ByteArray");
    auto* b = cls ? nativeOf<ByteArrayObject>(Value::object(m.allocateInstance(cls))) : nullptr;
    if (!b)
        return Value::null();
    if (bytes.size() > kMaxByteArray)
        throw ScriptAbort{"Error #1000: The system is out of memory."};
    b->assign(m, std::move(bytes));
    return Value::object(b);
}

bool assignByteArray(Machine& m, Value v, std::vector<std::uint8_t> bytes) {
    auto* b = nativeOf<ByteArrayObject>(v);
    if (!b)
        return false;
    if (bytes.size() > kMaxByteArray)
        throw ScriptAbort{"Error #1000: The system is out of memory."};
    b->assign(m, std::move(bytes));
    b->position = 0;
    return true;
}

const std::vector<std::uint8_t>* byteArrayBytes(Value v) {
    auto* b = nativeOf<ByteArrayObject>(v);
    return b ? &b->data : nullptr;
}

void installByteArrayBuiltins(Machine& m) {
    ClassObject* endian = m.defineNativeClass("flash.utils", "Endian", m.objectClass);
    m.defineStatic(endian, "BIG_ENDIAN", m.string("bigEndian"));
    m.defineStatic(endian, "LITTLE_ENDIAN", m.string("littleEndian"));
    ClassObject* algorithm = m.defineNativeClass("flash.utils", "CompressionAlgorithm", m.objectClass);
    for (const char* name : {"zlib", "deflate", "lzma"}) {
        std::string upper = name;
        std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
        m.defineStatic(algorithm, upper, m.string(name));
    }

    ClassObject* cls = m.defineNativeClass("flash.utils", "ByteArray", m.objectClass);
    cls->allocate = [](Machine& m, ClassObject*) -> Object* { return m.adopt(std::make_unique<ByteArrayObject>()); };
    cls->init = m.newNative("ByteArray", [](Machine&, Value, std::span<Value>) { return Value(); });
    m.defineStatic(cls, "defaultObjectEncoding", Value::uinteger(3));
    installProperties(m, cls);
    for (const NumberAccess& n : kNumbers) {
        method(m, cls, n.read, [&n](Machine& m, ByteArrayObject& b, std::span<Value>) { return readNumber(m, b, n); });
        if (n.write)
            method(m, cls, n.write, [&n](Machine& m, ByteArrayObject& b, std::span<Value> a) {
                writeNumber(m, b, n, arg(a, 0));
                return Value();
            }, 1);
    }
    installTextMethods(m, cls);
    method(m, cls, "readBytes", [](Machine& m, ByteArrayObject& b, std::span<Value> a) {
        readBytes(m, b, a);
        return Value();
    }, 3);
    method(m, cls, "writeBytes", [](Machine& m, ByteArrayObject& b, std::span<Value> a) {
        writeBytes(m, b, a);
        return Value();
    }, 3);
    // AMF in the array's objectEncoding; each call is a message of its own.
    method(m, cls, "writeObject", [](Machine& m, ByteArrayObject& b, std::span<Value> a) {
        std::vector<std::uint8_t> out;
        writeAmf(m, out, arg(a, 0), b.objectEncoding);
        b.put(m, out.data(), out.size());
        return Value();
    }, 1);
    method(m, cls, "readObject", [](Machine& m, ByteArrayObject& b, std::span<Value>) {
        std::size_t pos = b.position;
        // Only objects of aliased classes run script while they are read (constructors,
        // setters), which may change the array: then the bytes are read from a copy.
        std::vector<std::uint8_t> copy;
        if (!m.classAliases.empty())
            copy = b.data;
        Value v = readAmf(m, m.classAliases.empty() ? std::span<const std::uint8_t>(b.data) : copy, pos, b.objectEncoding);
        b.position = static_cast<std::uint32_t>(pos);
        return v;
    });
    method(m, cls, "clear", [](Machine& m, ByteArrayObject& b, std::span<Value>) {
        b.resize(m, 0);
        b.data.shrink_to_fit();
        b.position = 0;
        return Value();
    });
    method(m, cls, "compress", [](Machine& m, ByteArrayObject& b, std::span<Value> a) {
        compress(m, b, codecOf(m, arg(a, 0)));
        return Value();
    });
    method(m, cls, "uncompress", [](Machine& m, ByteArrayObject& b, std::span<Value> a) {
        uncompress(m, b, codecOf(m, arg(a, 0)));
        return Value();
    });
    method(m, cls, "deflate", [](Machine& m, ByteArrayObject& b, std::span<Value>) {
        compress(m, b, Codec::Deflate);
        return Value();
    });
    method(m, cls, "inflate", [](Machine& m, ByteArrayObject& b, std::span<Value>) {
        uncompress(m, b, Codec::Deflate);
        return Value();
    });
}

} // namespace swf::avm2
