// Loading local files for ActionScript 3: flash.net.URLRequest, URLLoader (text, binary or
// variables) and flash.display.Loader with its LoaderInfo (PNG, JPEG and GIF pictures, shown
// as a Bitmap child). Files are read through the session's reader, which only opens plain
// files inside the movie's folder: nothing here touches the network. Requests wait until
// the next frame, as the player's loads never finished inside the call that started them.
#include "swf/avm2/HostDisplay.h"

#include "swf/Player.h"
#include "swf/format/Media.h"
#include "swf/movie/Movie.h"
#include "swf/timeline/PictureServices.h"

#include <algorithm>
#include <cctype>

namespace swf::avm2 {

namespace {

Value extra(DisplayHandle& h, const char* name) {
    auto it = h.extras.find(name);
    return it == h.extras.end() ? Value::null() : it->second;
}

// Getters of values kept in the handle's extras.
void extraGetters(HostState& host, ClassObject* cls, std::initializer_list<const char*> names) {
    HostState* s = &host;
    for (const char* name : names)
        host.machine.defineGetter(cls, name, [s, name](Machine&, Value self, std::span<Value>) {
            return extra(*s->handleOf(self), name);
        });
}

std::string urlOf(Machine& m, Value request) {
    if (!request.isObject())
        m.typeError(2007, "Parameter request must be non-null.");
    return m.toString(m.getProperty(request, Machine::publicName("url")));
}

void send(HostState& host, DisplayHandle& to, ClassObject* cls, const std::string& type, const std::string& text = {}) {
    host.machine.runAndReport([&] {
        Object* e = makeEvent(host, cls ? cls : host.eventClass, type, false);
        if (auto* event = dynamic_cast<EventObject*>(e)) {
            if (!text.empty())
                event->fields["text"] = host.machine.string(text);
            host.dispatch(&to, Value::object(e));
        }
    });
}

void ioError(HostState& host, DisplayHandle& to, const std::string& url) {
    send(host, to, host.machine.findClass("flash.events.IOErrorEvent"), "ioError",
         "Error #2035: URL Not Found. URL: " + url);
}

// "a=1&b=two%20words" as an object of strings.
Value variables(Machine& m, const std::string& text) {
    Object* o = m.newObject();
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = std::min(text.find('&', at), text.size());
        std::string pair = text.substr(at, end - at);
        std::size_t eq = pair.find('=');
        auto decode = [](const std::string& s) {
            std::string out;
            for (std::size_t i = 0; i < s.size(); ++i) {
                if (s[i] == '+') {
                    out += ' ';
                } else if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
                           std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
                    out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
                    i += 2;
                } else {
                    out += s[i];
                }
            }
            return out;
        };
        if (!pair.empty())
            o->setOwn(decode(pair.substr(0, eq)), m.string(eq == std::string::npos ? "" : decode(pair.substr(eq + 1))));
        at = end + 1;
    }
    return Value::object(o);
}

void serveUrlLoader(HostState& host, DisplayHandle& loader, const std::string& url) {
    Machine& m = host.machine;
    std::string file;
    if (!host.readFile || !host.readFile(url, file)) {
        ioError(host, loader, url);
        return;
    }
    std::string format = m.toString(extra(loader, "dataFormat"));
    Value data = Value::null();
    bool made = m.runAndReport([&] {
        if (format == "binary")
            data = newByteArray(m, std::vector<std::uint8_t>(file.begin(), file.end()));
        else if (format == "variables")
            data = variables(m, file);
        else
            data = m.string(file);
    });
    if (!made)
        return;
    loader.extras["data"] = data;
    loader.extras["bytesLoaded"] = loader.extras["bytesTotal"] = Value::uinteger(static_cast<std::uint32_t>(file.size()));
    send(host, loader, nullptr, "complete");
}

void serveLoader(HostState& host, DisplayHandle& loader, const std::string& url) {
    Machine& m = host.machine;
    DisplayHandle* info = nativeOf<DisplayHandle>(extra(loader, "contentLoaderInfo"));
    if (!info)
        return;
    std::string file;
    std::shared_ptr<timeline::Pixels> pixels;
    if (host.readFile && host.pictures && host.readFile(url, file))
        pixels = host.pictures->decodeImage(std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
    Value content = Value::null();
    if (pixels)
        m.runAndReport([&] { content = makeBitmap(host, std::move(pixels), true); });
    if (content.isNull()) {
        ioError(host, *info, url); // a movie (or anything but a picture) is not loaded
        return;
    }
    m.runAndReport([&] {
        Value args[] = {content};
        m.callProperty(Value::object(&loader), Machine::publicName("addChild"), args);
    });
    info->extras["content"] = content;
    info->extras["url"] = m.string(url);
    info->extras["bytesLoaded"] = info->extras["bytesTotal"] = Value::uinteger(static_cast<std::uint32_t>(file.size()));
    send(host, *info, nullptr, "init");
    send(host, *info, nullptr, "complete");
}

void installUrlLoader(HostState& host, ClassObject* dispatcher) {
    Machine& m = host.machine;
    HostState* s = &host;
    ClassObject* request = m.defineNativeClass("flash.net", "URLRequest", m.objectClass);
    request->init = m.newNative("URLRequest", [](Machine& m, Value self, std::span<Value> a) {
        m.setProperty(self, Machine::publicName("url"), arg(a, 0).isNullish() ? Value::null() : m.string(m.toString(a[0])));
        return Value();
    }, 1);
    ClassObject* formats = m.defineNativeClass("flash.net", "URLLoaderDataFormat", m.objectClass);
    for (const char* name : {"TEXT", "BINARY", "VARIABLES"}) {
        std::string value = name;
        for (char& c : value)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        m.defineStatic(formats, name, m.string(value));
    }
    ClassObject* urlLoader = m.defineNativeClass("flash.net", "URLLoader", dispatcher);
    urlLoader->init = m.newNative("URLLoader", [s](Machine& m, Value self, std::span<Value> a) {
        DisplayHandle* h = s->handleOf(self);
        h->extras["dataFormat"] = m.string("text");
        h->extras["bytesLoaded"] = h->extras["bytesTotal"] = Value::uinteger(0);
        if (!arg(a, 0).isNullish())
            s->loads.push_back({h, urlOf(m, a[0]), false});
        return Value();
    }, 1);
    extraGetters(host, urlLoader, {"data", "bytesLoaded", "bytesTotal", "dataFormat"});
    m.defineSetter(urlLoader, "dataFormat", [s](Machine& m, Value self, std::span<Value> a) {
        s->handleOf(self)->extras["dataFormat"] = m.string(m.toString(arg(a, 0)));
        return Value();
    });
    m.defineMethod(urlLoader, "load", [s](Machine& m, Value self, std::span<Value> a) {
        s->loads.push_back({s->handleOf(self), urlOf(m, arg(a, 0)), false});
        return Value();
    }, 1);
    m.defineMethod(urlLoader, "close", [](Machine&, Value, std::span<Value>) { return Value(); });
}

} // namespace

void HostState::serveLoads() {
    std::vector<PendingLoad> due;
    due.swap(loads);
    for (const PendingLoad& load : due) {
        if (load.picture)
            serveLoader(*this, *load.target, load.url);
        else
            serveUrlLoader(*this, *load.target, load.url);
    }
}

void installLoadClasses(HostState& host, ClassObject* container) {
    Machine& m = host.machine;
    HostState* s = &host;
    // A ByteArray subclass linked to a DefineBinaryData tag (an embedded file) starts with its bytes.
    if (ClassObject* bytes = m.findClass("flash.utils.ByteArray"))
        bytes->init = m.newNative("ByteArray", [s, bytes](Machine& m, Value self, std::span<Value>) {
            const movie::Movie* movie = s->player.movie();
            if (!movie || !self.isObject() || self.o->cls == bytes)
                return Value();
            int id = s->linkedId(self.o->cls);
            const format::Character* c = id > 0 ? movie->character(static_cast<std::uint16_t>(id)) : nullptr;
            if (c && c->kind == format::CharacterKind::BinaryData)
                assignByteArray(m, self, static_cast<const format::BinaryDataCharacter*>(c)->data);
            return Value();
        });
    ClassObject* dispatcher = m.findClass("flash.events.EventDispatcher");
    installUrlLoader(host, dispatcher);
    ClassObject* info = m.defineNativeClass("flash.display", "LoaderInfo", dispatcher);
    extraGetters(host, info, {"content", "loader", "url", "bytesLoaded", "bytesTotal", "parameters", "width", "height",
                              "frameRate", "swfVersion", "actionScriptVersion", "contentType", "loaderURL", "sameDomain",
                              "childAllowsParent", "parentAllowsChild", "applicationDomain"});
    ClassObject* loader = m.defineNativeClass("flash.display", "Loader", container);
    loader->init = m.newNative("Loader", [s, info](Machine& m, Value self, std::span<Value>) {
        DisplayHandle* h = s->handleOf(self);
        s->createOffList(*h);
        DisplayHandle* made = nativeOf<DisplayHandle>(Value::object(m.allocateInstance(info)));
        if (made) {
            made->extras["loader"] = self;
            made->extras["bytesLoaded"] = made->extras["bytesTotal"] = Value::uinteger(0);
        }
        h->extras["contentLoaderInfo"] = Value::object(made);
        return Value();
    });
    extraGetters(host, loader, {"contentLoaderInfo"});
    m.defineGetter(loader, "content", [s](Machine&, Value self, std::span<Value>) {
        DisplayHandle* info = nativeOf<DisplayHandle>(extra(*s->handleOf(self), "contentLoaderInfo"));
        return info ? extra(*info, "content") : Value::null();
    });
    m.defineMethod(loader, "load", [s](Machine& m, Value self, std::span<Value> a) {
        s->loads.push_back({s->handleOf(self), urlOf(m, arg(a, 0)), true});
        return Value();
    }, 2);
    m.defineMethod(loader, "unload", [s](Machine& m, Value self, std::span<Value>) {
        DisplayHandle* info = nativeOf<DisplayHandle>(extra(*s->handleOf(self), "contentLoaderInfo"));
        Value content = info ? extra(*info, "content") : Value::null();
        if (content.isObject()) {
            Value args[] = {content};
            m.callProperty(self, Machine::publicName("removeChild"), args);
            info->extras["content"] = Value::null();
        }
        return Value();
    });
}

} // namespace swf::avm2
