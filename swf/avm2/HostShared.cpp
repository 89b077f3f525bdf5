// flash.net.SharedObject, kept in memory for the session: getLocal gives the same object
// for the same name and path until the movie is unloaded, and flush always succeeds.
// Nothing is written to disk, so a movie starts every session with empty data. Also
// flash.ui.Mouse, the pointer's visibility and cursor.
#include "swf/avm2/Amf.h"
#include "swf/avm2/HostState.h"
#include "swf/timeline/World.h"

#include <string_view>

namespace swf::avm2 {

namespace {

// The characters the player refuses in a shared object's name (Error #2134).
bool validName(const std::string& name) {
    if (name.empty())
        return false;
    for (char c : name)
        if (std::string_view("~%&\\;:\"',<>?# ").find(c) != std::string_view::npos)
            return false;
    return true;
}

Object* dataOf(HostState& host, Value self) {
    DisplayHandle* h = host.handleOf(self);
    Value& data = h->extras["data"];
    if (!data.isObject())
        data = Value::object(host.machine.newObject());
    return data.o;
}

} // namespace

void installSharedObjectClass(HostState& host) {
    Machine& m = host.machine;
    HostState* s = &host;
    ClassObject* status = m.defineNativeClass("flash.net", "SharedObjectFlushStatus", m.objectClass);
    m.defineStatic(status, "FLUSHED", m.string("flushed"));
    m.defineStatic(status, "PENDING", m.string("pending"));

    ClassObject* cls = m.defineNativeClass("flash.net", "SharedObject", m.findClass("flash.events.EventDispatcher"));
    cls->init = m.newNative("SharedObject", [](Machine&, Value, std::span<Value>) { return Value(); });
    m.defineStatic(cls, "defaultObjectEncoding", Value::uinteger(3));
    m.defineStaticMethod(cls, "getLocal", [s, cls](Machine& m, Value, std::span<Value> a) {
        std::string name = m.toString(arg(a, 0));
        if (arg(a, 0).isNullish() || !validName(name))
            m.throwError(m.errorClass, 2134, "Cannot create SharedObject.");
        std::string key = name + '\n' + (arg(a, 1).isNullish() ? "" : m.toString(a[1]));
        DisplayHandle*& made = s->sharedObjects[key];
        if (!made) {
            made = nativeOf<DisplayHandle>(Value::object(m.allocateInstance(cls)));
            if (!made)
                m.throwError(m.errorClass, 2134, "Cannot create SharedObject.");
            made->extras["data"] = Value::object(m.newObject());
        }
        return Value::object(made);
    }, 3);
    m.defineGetter(cls, "data", [s](Machine&, Value self, std::span<Value>) { return Value::object(dataOf(*s, self)); });
    m.defineMethod(cls, "flush", [](Machine& m, Value, std::span<Value>) { return m.string("flushed"); }, 1);
    m.defineMethod(cls, "clear", [s](Machine&, Value self, std::span<Value>) {
        Object* data = dataOf(*s, self);
        for (const std::string& name : data->enumerableNames())
            data->deleteOwn(name);
        return Value();
    });
    for (const char* name : {"close", "setDirty"})
        m.defineMethod(cls, name, [](Machine&, Value, std::span<Value>) { return Value(); });
    m.defineMethod(cls, "setProperty", [s](Machine& m, Value self, std::span<Value> a) {
        dataOf(*s, self)->setOwn(m.toString(arg(a, 0)), arg(a, 1));
        return Value();
    }, 2);
    // The size of the data as the object's AMF; an empty store is 0.
    m.defineGetter(cls, "size", [s](Machine& m, Value self, std::span<Value>) {
        Object* data = dataOf(*s, self);
        if (data->enumerableNames().empty())
            return Value::uinteger(0);
        std::vector<std::uint8_t> bytes;
        writeAmf(m, bytes, Value::object(data), 3);
        return Value::uinteger(static_cast<std::uint32_t>(bytes.size()));
    });
    m.defineGetter(cls, "objectEncoding", [](Machine&, Value, std::span<Value>) { return Value::uinteger(3); });
    m.defineSetter(cls, "objectEncoding", [](Machine&, Value, std::span<Value>) { return Value(); });
}

} // namespace swf::avm2

namespace swf::avm2 {

// flash.ui.Mouse: hide and show the pointer over the movie, and its cursor.
void installMouseClass(HostState& host) {
    Machine& m = host.machine;
    HostState* s = &host;
    ClassObject* mouse = m.defineNativeClass("flash.ui", "Mouse", m.objectClass);
    for (bool hide : {true, false})
        m.defineStaticMethod(mouse, hide ? "hide" : "show", [s, hide](Machine&, Value, std::span<Value>) {
            if (timeline::World* w = s->world())
                w->input.mouseHidden = hide;
            return Value();
        });
    m.defineStatic(mouse, "supportsCursor", Value::boolean(true));
    m.defineStatic(mouse, "supportsNativeCursor", Value::boolean(false));
    Function* get = m.newNative("cursor", [s](Machine& m, Value, std::span<Value>) {
        timeline::World* w = s->world();
        input::Cursor c = w ? w->input.cursor : input::Cursor::Arrow;
        return m.string(c == input::Cursor::Hand ? "button" : c == input::Cursor::IBeam ? "ibeam" : "auto");
    });
    Function* set = m.newNative("cursor", [s](Machine& m, Value, std::span<Value> a) {
        std::string name = m.toString(arg(a, 0));
        if (timeline::World* w = s->world())
            w->input.cursor = name == "button" || name == "hand" ? input::Cursor::Hand
                              : name == "ibeam"                  ? input::Cursor::IBeam
                                                                 : input::Cursor::Arrow;
        return Value();
    });
    Binding& b = mouse->staticTraits.define("cursor", kPublicNs);
    b = Binding{};
    b.kind = Binding::Kind::Accessor;
    b.getter = get;
    b.setter = set;
}

} // namespace swf::avm2
