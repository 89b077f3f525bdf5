#include "swf/input/InputScript.h"

#include "swf/input/KeyCodes.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

namespace swf::input {

namespace {

// Coordinates beyond this are refused: no stage is a million pixels wide, and the
// engine works in 32-bit twips.
constexpr double kMaxCoordinate = 1'000'000;
constexpr int kMaxWheelLines = 10'000;
// A script is a hand-written test input; anything larger is refused outright.
constexpr std::size_t kMaxScriptBytes = 16u << 20;

bool isSpace(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (isSpace(s.front()) || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (isSpace(s.back()) || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> words(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && isSpace(s[i]))
            ++i;
        const std::size_t start = i;
        while (i < s.size() && !isSpace(s[i]))
            ++i;
        if (i > start)
            out.push_back(s.substr(start, i - start));
    }
    return out;
}

std::optional<double> coordinate(std::string_view w) {
    double v = 0;
    const char* end = w.data() + w.size();
    auto [ptr, ec] = std::from_chars(w.data(), end, v);
    if (ec != std::errc() || ptr != end || !std::isfinite(v) || std::fabs(v) > kMaxCoordinate)
        return std::nullopt;
    return v;
}

// \n \t \\ and nothing else; a lone backslash at the end is an error too.
bool unescape(std::string_view in, std::string& out, std::string& why) {
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out += in[i];
            continue;
        }
        if (i + 1 == in.size()) {
            why = "a backslash ends the line (write \\\\ for one)";
            return false;
        }
        const char e = in[++i];
        if (e == 'n')
            out += '\n';
        else if (e == 't')
            out += '\t';
        else if (e == '\\')
            out += '\\';
        else {
            why = std::string("unknown escape \\") + e;
            return false;
        }
    }
    return true;
}

// One line; false with `why` set when it is malformed.
bool parseLine(std::string_view line, InputScript& script, std::string& why) {
    const std::string_view body = trim(line);
    const std::size_t cut = body.find_first_of(" \t");
    const std::string_view verb = body.substr(0, cut);
    const std::string_view rest = cut == std::string_view::npos ? std::string_view{} : body.substr(cut + 1);
    const auto args = words(rest);
    InputEvent e;

    auto want = [&](std::size_t low, std::size_t high, const char* usage) {
        if (args.size() >= low && args.size() <= high)
            return true;
        why = std::string(verb) + " wants " + usage;
        return false;
    };

    if (verb == "wait" || verb == "focus_in" || verb == "focus_out") {
        if (!want(0, 0, "nothing after it"))
            return false;
        e.kind = verb == "wait" ? InputKind::Wait : verb == "focus_in" ? InputKind::FocusIn : InputKind::FocusOut;
    } else if (verb == "mouse_move" || verb == "mouse_down" || verb == "mouse_up") {
        const bool withButton = verb != "mouse_move";
        if (!want(2, withButton ? 3 : 2, withButton ? "X Y [left|right|middle]" : "X Y"))
            return false;
        const auto x = coordinate(args[0]);
        const auto y = coordinate(args[1]);
        if (!x || !y) {
            why = "coordinates must be numbers within a million pixels";
            return false;
        }
        e.kind = verb == "mouse_move" ? InputKind::MouseMove
                 : verb == "mouse_down" ? InputKind::MouseDown
                                        : InputKind::MouseUp;
        e.x = *x;
        e.y = *y;
        if (args.size() == 3) {
            if (args[2] == "left")
                e.button = MouseButton::Left;
            else if (args[2] == "right")
                e.button = MouseButton::Right;
            else if (args[2] == "middle")
                e.button = MouseButton::Middle;
            else {
                why = "unknown mouse button " + std::string(args[2]);
                return false;
            }
        }
    } else if (verb == "wheel") {
        if (!want(1, 1, "LINES"))
            return false;
        int lines = 0;
        const char* end = args[0].data() + args[0].size();
        const char* begin = args[0].data() + (args[0].front() == '+' ? 1 : 0);
        auto [ptr, ec] = std::from_chars(begin, end, lines);
        if (ec != std::errc() || ptr != end || lines == 0 || std::abs(lines) > kMaxWheelLines) {
            why = "wheel wants a whole number of lines, not 0";
            return false;
        }
        e.kind = InputKind::Wheel;
        e.wheelLines = lines;
    } else if (verb == "key_down" || verb == "key_up") {
        if (!want(1, 1, "one KEY"))
            return false;
        const auto stroke = keyByName(args[0]);
        if (!stroke) {
            why = "unknown key " + std::string(args[0]);
            return false;
        }
        e.kind = verb == "key_down" ? InputKind::KeyDown : InputKind::KeyUp;
        e.keyCode = stroke->keyCode;
        e.charCode = stroke->charCode;
    } else if (verb == "text" || verb == "clipboard") {
        // The text is the rest of the line after one separating blank, kept as written
        // (trailing blanks too; only a Windows line end is dropped).
        std::string_view full = line;
        while (!full.empty() && isSpace(full.front()))
            full.remove_prefix(1);
        if (!full.empty() && full.back() == '\r')
            full.remove_suffix(1);
        std::string_view raw = full.size() > verb.size() ? full.substr(verb.size() + 1) : std::string_view{};
        e.kind = verb == "text" ? InputKind::Text : InputKind::Clipboard;
        if (!unescape(raw, e.text, why))
            return false;
        if (e.kind == InputKind::Text && e.text.empty()) {
            why = "text wants the characters to type";
            return false;
        }
    } else {
        why = "unknown event " + std::string(verb);
        return false;
    }
    script.events.push_back(std::move(e));
    return true;
}

} // namespace

std::size_t InputScript::waits() const {
    std::size_t n = 0;
    for (const InputEvent& e : events)
        n += e.kind == InputKind::Wait;
    return n;
}

std::optional<InputScript> parseInputScript(std::string_view text, std::string& error) {
    InputScript script;
    if (text.size() > kMaxScriptBytes) {
        error = "line 1: the script is larger than 16 MiB";
        return std::nullopt;
    }
    std::size_t lineNo = 0;
    while (!text.empty() || lineNo == 0) {
        ++lineNo;
        const std::size_t nl = text.find('\n');
        const std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        const std::string_view body = trim(line);
        if (body.empty() || body.front() == '#')
            continue;
        std::string why;
        if (line.find('\0') != std::string_view::npos) {
            why = "a NUL byte";
        } else if (parseLine(line, script, why)) {
            continue;
        }
        error = "line " + std::to_string(lineNo) + ": " + why;
        return std::nullopt;
    }
    return script;
}

std::optional<InputScript> loadInputScript(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return std::nullopt;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    std::string why;
    auto script = parseInputScript(buffer.str(), why);
    if (!script)
        error = path + ": " + why;
    return script;
}

} // namespace swf::input
