// The player's environment as a standalone player on a local file shows it: flash.system
// (Security, Capabilities, System, ApplicationDomain, LoaderContext), flash.external
// (ExternalInterface, not available), navigateToURL and sendToURL (which go nowhere),
// URLVariables, getQualifiedSuperclassName, and the classes of named constants scripts
// pass around (StageAlign, BlendMode, Keyboard, ...).
#include "swf/avm2/Machine.h"

#include <cctype>
#include <string_view>

namespace swf::avm2 {

namespace {

struct ConstantClass {
    const char* package;
    const char* name;
    // "NAME=value" pairs, space separated; all-digit values are ints, the rest strings.
    const char* constants;
};

constexpr ConstantClass kConstantClasses[] = {
    {"flash.display", "StageScaleMode", "EXACT_FIT=exactFit NO_BORDER=noBorder NO_SCALE=noScale SHOW_ALL=showAll"},
    {"flash.display", "StageAlign", "TOP=T BOTTOM=B LEFT=L RIGHT=R TOP_LEFT=TL TOP_RIGHT=TR BOTTOM_LEFT=BL BOTTOM_RIGHT=BR"},
    {"flash.display", "StageQuality", "LOW=low MEDIUM=medium HIGH=high BEST=best"},
    {"flash.display", "StageDisplayState", "NORMAL=normal FULL_SCREEN=fullScreen FULL_SCREEN_INTERACTIVE=fullScreenInteractive"},
    {"flash.display", "BlendMode", "NORMAL=normal LAYER=layer MULTIPLY=multiply SCREEN=screen LIGHTEN=lighten "
                                   "DARKEN=darken DIFFERENCE=difference ADD=add SUBTRACT=subtract INVERT=invert "
                                   "ALPHA=alpha ERASE=erase OVERLAY=overlay HARDLIGHT=hardlight SHADER=shader"},
    {"flash.display", "LineScaleMode", "NORMAL=normal NONE=none VERTICAL=vertical HORIZONTAL=horizontal"},
    {"flash.display", "CapsStyle", "NONE=none ROUND=round SQUARE=square"},
    {"flash.display", "JointStyle", "BEVEL=bevel MITER=miter ROUND=round"},
    {"flash.display", "GradientType", "LINEAR=linear RADIAL=radial"},
    {"flash.display", "SpreadMethod", "PAD=pad REFLECT=reflect REPEAT=repeat"},
    {"flash.display", "InterpolationMethod", "RGB=rgb LINEAR_RGB=linearRGB"},
    {"flash.display", "PixelSnapping", "NEVER=never ALWAYS=always AUTO=auto"},
    {"flash.display", "BitmapDataChannel", "RED=1 GREEN=2 BLUE=4 ALPHA=8"},
    {"flash.text", "TextFieldAutoSize", "NONE=none LEFT=left RIGHT=right CENTER=center"},
    {"flash.text", "TextFormatAlign", "LEFT=left RIGHT=right CENTER=center JUSTIFY=justify START=start END=end"},
    {"flash.text", "TextFieldType", "DYNAMIC=dynamic INPUT=input"},
    {"flash.text", "AntiAliasType", "NORMAL=normal ADVANCED=advanced"},
    {"flash.text", "GridFitType", "NONE=none PIXEL=pixel SUBPIXEL=subpixel"},
    {"flash.text", "FontStyle", "REGULAR=regular BOLD=bold ITALIC=italic BOLD_ITALIC=boldItalic"},
    {"flash.text", "FontType", "EMBEDDED=embedded DEVICE=device EMBEDDED_CFF=embeddedCFF"},
    {"flash.filters", "BitmapFilterQuality", "LOW=1 MEDIUM=2 HIGH=3"},
    {"flash.filters", "BitmapFilterType", "INNER=inner OUTER=outer FULL=full"},
    {"flash.filters", "DisplacementMapFilterMode", "WRAP=wrap CLAMP=clamp IGNORE=ignore COLOR=color"},
    {"flash.ui", "MouseCursor", "AUTO=auto ARROW=arrow BUTTON=button HAND=hand IBEAM=ibeam"},
    {"flash.ui", "KeyLocation", "STANDARD=0 LEFT=1 RIGHT=2 NUM_PAD=3"},
    {"flash.net", "URLRequestMethod", "GET=GET POST=POST"},
    {"flash.system", "SecurityDomain", ""},
    {"flash.system", "SecurityPanel", "DEFAULT=default CAMERA=camera MICROPHONE=microphone PRIVACY=privacy "
                                      "SETTINGS_MANAGER=settingsManager LOCAL_STORAGE=localStorage DISPLAY=display"},
};

// Key codes by name, as flash.ui.Keyboard names them.
constexpr std::pair<const char*, int> kKeys[] = {
    {"BACKSPACE", 8}, {"TAB", 9}, {"ENTER", 13}, {"SHIFT", 16}, {"CONTROL", 17}, {"ALTERNATE", 18},
    {"CAPS_LOCK", 20}, {"ESCAPE", 27}, {"SPACE", 32}, {"PAGE_UP", 33}, {"PAGE_DOWN", 34}, {"END", 35},
    {"HOME", 36}, {"LEFT", 37}, {"UP", 38}, {"RIGHT", 39}, {"DOWN", 40}, {"INSERT", 45}, {"DELETE", 46},
    {"NUMPAD_MULTIPLY", 106}, {"NUMPAD_ADD", 107}, {"NUMPAD_ENTER", 108}, {"NUMPAD_SUBTRACT", 109},
    {"NUMPAD_DECIMAL", 110}, {"NUMPAD_DIVIDE", 111}, {"SEMICOLON", 186}, {"EQUAL", 187}, {"COMMA", 188},
    {"MINUS", 189}, {"PERIOD", 190}, {"SLASH", 191}, {"BACKQUOTE", 192}, {"LEFTBRACKET", 219},
    {"BACKSLASH", 220}, {"RIGHTBRACKET", 221}, {"QUOTE", 222},
};

Value constantValue(Machine& m, std::string_view text) {
    bool number = !text.empty();
    for (char c : text)
        number = number && c >= '0' && c <= '9';
    return number ? Value::integer(std::stoi(std::string(text))) : m.string(std::string(text));
}

void installConstants(Machine& m) {
    for (const ConstantClass& c : kConstantClasses) {
        ClassObject* cls = m.defineNativeClass(c.package, c.name, m.objectClass);
        std::string_view rest = c.constants;
        while (!rest.empty()) {
            std::size_t end = std::min(rest.find(' '), rest.size());
            std::string_view pair = rest.substr(0, end);
            std::size_t eq = pair.find('=');
            if (eq != std::string_view::npos)
                m.defineStatic(cls, std::string(pair.substr(0, eq)), constantValue(m, pair.substr(eq + 1)));
            rest = end < rest.size() ? rest.substr(end + 1) : std::string_view{};
        }
    }
    ClassObject* keyboard = m.defineNativeClass("flash.ui", "Keyboard", m.objectClass);
    for (auto [name, code] : kKeys)
        m.defineStatic(keyboard, name, Value::uinteger(static_cast<std::uint32_t>(code)));
    for (int i = 0; i < 26; ++i)
        m.defineStatic(keyboard, std::string(1, static_cast<char>('A' + i)), Value::uinteger(65u + static_cast<std::uint32_t>(i)));
    for (int i = 0; i < 10; ++i) {
        m.defineStatic(keyboard, "NUMBER_" + std::to_string(i), Value::uinteger(48u + static_cast<std::uint32_t>(i)));
        m.defineStatic(keyboard, "NUMPAD_" + std::to_string(i), Value::uinteger(96u + static_cast<std::uint32_t>(i)));
    }
    for (int i = 1; i <= 15; ++i)
        m.defineStatic(keyboard, "F" + std::to_string(i), Value::uinteger(111u + static_cast<std::uint32_t>(i)));
    for (const char* name : {"capsLock", "numLock"})
        m.defineStatic(keyboard, name, Value::boolean(false));
}

Value nothing(Machine&, Value, std::span<Value>) {
    return Value();
}

void installSecurity(Machine& m) {
    ClassObject* security = m.defineNativeClass("flash.system", "Security", m.objectClass);
    for (const char* name : {"allowDomain", "allowInsecureDomain", "loadPolicyFile", "showSettings"})
        m.defineStaticMethod(security, name, nothing);
    m.defineStatic(security, "sandboxType", m.string("localTrusted"));
    for (auto [name, value] : {std::pair{"REMOTE", "remote"}, {"LOCAL_WITH_FILE", "localWithFile"},
                               {"LOCAL_WITH_NETWORK", "localWithNetwork"}, {"LOCAL_TRUSTED", "localTrusted"},
                               {"APPLICATION", "application"}})
        m.defineStatic(security, name, m.string(value));

    // A standalone player on Linux; numbers are those of a common desktop.
    ClassObject* caps = m.defineNativeClass("flash.system", "Capabilities", m.objectClass);
    for (auto [name, value] : {std::pair{"playerType", "StandAlone"}, {"version", "LNX 32,0,0,465"},
                               {"os", "Linux"}, {"manufacturer", "Adobe Linux"}, {"language", "en"},
                               {"cpuArchitecture", "x86"}, {"screenColor", "color"}, {"touchscreenType", "none"}})
        m.defineStatic(caps, name, m.string(value));
    for (auto [name, value] : {std::pair{"screenResolutionX", 1920.0}, {"screenResolutionY", 1080.0},
                               {"screenDPI", 72.0}, {"pixelAspectRatio", 1.0}, {"maxLevelIDC", 0.0}})
        m.defineStatic(caps, name, Machine::numberValue(value));
    for (auto [name, value] : {std::pair{"isDebugger", false}, {"hasAudio", true}, {"hasMP3", true},
                               {"hasVideoEncoder", false}, {"hasStreamingAudio", true}, {"hasStreamingVideo", true},
                               {"hasAccessibility", false}, {"isEmbeddedInAcrobat", false}, {"localFileReadDisable", false},
                               {"avHardwareDisable", true}, {"hasIME", false}, {"hasPrinting", false},
                               {"hasScreenBroadcast", false}, {"hasScreenPlayback", false}, {"hasTLS", true},
                               {"supports32BitProcesses", false}, {"supports64BitProcesses", true}})
        m.defineStatic(caps, name, Value::boolean(value));
    m.defineStaticMethod(caps, "hasMultiChannelAudio", [](Machine&, Value, std::span<Value>) { return Value::boolean(false); });

    ClassObject* system = m.defineNativeClass("flash.system", "System", m.objectClass);
    for (const char* name : {"gc", "pause", "resume", "setClipboard", "pauseForGCIfCollectionImminent", "disposeXML", "exit"})
        m.defineStaticMethod(system, name, nothing);
    for (const char* name : {"totalMemory", "privateMemory", "totalMemoryNumber", "freeMemory"})
        m.defineStatic(system, name, Value::uinteger(64u << 20));
    m.defineStatic(system, "useCodePage", Value::boolean(false));
    m.defineStatic(system, "ime", Value::null());

    // One application domain: definitions are looked up in the machine's.
    ClassObject* domain = m.defineNativeClass("flash.system", "ApplicationDomain", m.objectClass);
    domain->init = m.newNative("ApplicationDomain", nothing);
    m.defineStatic(domain, "currentDomain", Value::object(m.allocateInstance(domain)));
    m.defineMethod(domain, "getDefinition", [](Machine& m, Value, std::span<Value> a) {
        std::string name = m.toString(arg(a, 0));
        ClassObject* c = m.findClass(name);
        if (!c)
            m.referenceError(1065, "Variable " + name + " is not defined.");
        return Value::object(c);
    }, 1);
    m.defineMethod(domain, "hasDefinition", [](Machine& m, Value, std::span<Value> a) {
        return Value::boolean(m.findClass(m.toString(arg(a, 0))) != nullptr);
    }, 1);
    ClassObject* context = m.defineNativeClass("flash.system", "LoaderContext", m.objectClass);
    context->init = m.newNative("LoaderContext", nothing);
}

void installExternal(Machine& m) {
    // Not in a browser: ExternalInterface is unavailable and its calls fail as the player's do.
    ClassObject* ei = m.defineNativeClass("flash.external", "ExternalInterface", m.objectClass);
    m.defineStatic(ei, "available", Value::boolean(false));
    m.defineStatic(ei, "objectID", Value::null());
    m.defineStatic(ei, "marshallExceptions", Value::boolean(false));
    for (const char* name : {"call", "addCallback"})
        m.defineStaticMethod(ei, name, [](Machine& m, Value, std::span<Value>) -> Value {
            m.throwError(m.errorClass, 2067, "The ExternalInterface is not available in this container. "
                                             "ExternalInterface requires Internet Explorer ActiveX, Firefox, "
                                             "Mozilla 1.7.5 and greater, or other browsers that support NPRuntime.");
        });
    for (const char* name : {"navigateToURL", "sendToURL"})
        m.defineGlobal("flash.net", name, Value::object(m.newNative(name, nothing, 2)));
    m.defineGlobal("flash.system", "fscommand", Value::object(m.newNative("fscommand", nothing, 2)));

    // URLVariables: "a=1&b=2" as dynamic properties, and back.
    ClassObject* vars = m.defineNativeClass("flash.net", "URLVariables", m.objectClass);
    auto decode = [](Machine& m, Value self, std::span<Value> a) {
        std::string text = m.toString(arg(a, 0));
        auto unescape = [](const std::string& s) {
            std::string out;
            for (std::size_t i = 0; i < s.size(); ++i) {
                auto hex = [](char c) { return c >= '0' && c <= '9' ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : -1; };
                if (s[i] == '+')
                    out += ' ';
                else if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0)
                    out += static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2])), i += 2;
                else
                    out += s[i];
            }
            return out;
        };
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t end = std::min(text.find('&', at), text.size());
            std::string pair = text.substr(at, end - at);
            std::size_t eq = pair.find('=');
            if (eq == std::string::npos)
                m.throwError(m.errorClass, 2101, "The String passed to URLVariables.decode() must be a URL-encoded query string containing name/value pairs.");
            self.o->setOwn(unescape(pair.substr(0, eq)), m.string(unescape(pair.substr(eq + 1))));
            at = end + 1;
        }
        return Value();
    };
    vars->init = m.newNative("URLVariables", [decode](Machine& m, Value self, std::span<Value> a) {
        if (!arg(a, 0).isNullish() && self.isObject())
            decode(m, self, a);
        return Value();
    }, 1);
    m.defineMethod(vars, "decode", [decode](Machine& m, Value self, std::span<Value> a) {
        return self.isObject() ? decode(m, self, a) : Value();
    }, 1);
    m.defineMethod(vars, "toString", [](Machine& m, Value self, std::span<Value>) {
        std::string out;
        auto escape = [](const std::string& s) {
            std::string e;
            for (unsigned char c : s) {
                if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
                    e += static_cast<char>(c);
                } else {
                    static const char* hex = "0123456789ABCDEF";
                    e += '%';
                    e += hex[c >> 4];
                    e += hex[c & 15];
                }
            }
            return e;
        };
        if (self.isObject())
            for (const std::string& name : self.o->enumerableNames())
                out += (out.empty() ? "" : "&") + escape(name) + "=" + escape(m.toString(*self.o->own(name)));
        return m.string(out);
    });

    m.defineGlobal("flash.utils", "getQualifiedSuperclassName", Value::object(m.newNative("getQualifiedSuperclassName", [](Machine& m, Value, std::span<Value> a) {
        Value v = arg(a, 0);
        ClassObject* c = v.isObject() && v.o->kind == ObjectKind::Class ? static_cast<ClassObject*>(v.o) : m.classOf(v);
        return c && c->super ? m.string(c->super->qualified) : Value::null();
    }, 1)));
}

} // namespace

void installSystemBuiltins(Machine& m) {
    installConstants(m);
    installSecurity(m);
    installExternal(m);
}

} // namespace swf::avm2
