#pragma once
// Values a video file hands to scripts: the data of an FLV's script tags (onMetaData,
// onCuePoint and the like, in the AMF0 encoding) or the metadata FFmpeg reads from other
// containers. Plain data, so the script host can turn it into objects without FFmpeg.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace swf::video {

struct ScriptValue {
    enum class Kind : std::uint8_t { Undefined, Null, Number, Boolean, String, Date, Object, Array };
    Kind kind = Kind::Undefined;
    double number = 0; // Number, Boolean (0 or 1), Date (ms since 1970)
    std::string text;
    std::vector<std::pair<std::string, ScriptValue>> members; // Object: named; Array: names empty

    ScriptValue();
    static ScriptValue of(double n) {
        ScriptValue v;
        v.kind = Kind::Number;
        v.number = n;
        return v;
    }
    static ScriptValue of(std::string s) {
        ScriptValue v;
        v.kind = Kind::String;
        v.text = std::move(s);
        return v;
    }
};

// Defined after the class: clang before 15 checks the members' pair for a default
// constructor while the class is still incomplete when the constructor is implicit.
inline ScriptValue::ScriptValue() = default;

// A call a file makes on its NetStream's script object at a moment of the file:
// `handler` (onMetaData, onCuePoint, ...) with `args`.
struct ScriptCall {
    double seconds = 0;
    std::string handler;
    std::vector<ScriptValue> args;
};

} // namespace swf::video
