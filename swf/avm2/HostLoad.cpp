// Loading local files for ActionScript 3: flash.net.URLRequest, URLLoader (text, binary or
// variables) and flash.display.Loader with its LoaderInfo (PNG, JPEG and GIF pictures, shown
// as a Bitmap child). Files are read through the session's reader, which only opens plain
// files inside the movie's folder: nothing here touches the network. Requests wait until
// the next frame, as the player's loads never finished inside the call that started them.
#include "swf/avm2/HostDisplay.h"

#include "swf/Player.h"
#include "swf/format/Media.h"
#include "swf/movie/Movie.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/PictureServices.h"
#include "swf/timeline/World.h"

#include <algorithm>
#include <cctype>
#include <cmath>

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

} // namespace

Value urlParameters(Machine& m, const std::string& url) {
    const std::size_t query = url.find('?');
    return query == std::string::npos ? Value::object(m.newObject()) : variables(m, url.substr(query + 1));
}

namespace {

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

bool isMovieFile(const std::string& file) {
    return file.size() >= 8 && (file[0] == 'F' || file[0] == 'C' || file[0] == 'Z') && file[1] == 'W' && file[2] == 'S';
}

// What one session may load: distinct movie files, their decompressed bodies together, and
// contents made (each load of a movie makes a new tree of clips, and a movie may load itself).
constexpr double kTwips = 20.0;
constexpr std::size_t kMaxLoadedMovies = 64;
constexpr std::size_t kMaxLoadedBytes = std::size_t(256) << 20;
constexpr std::size_t kMaxLoadedContents = 1000;

// The movie in `file` as the world keeps it (a file loaded again shares the first parse);
// an ActionScript 3 movie's code goes into the machine the first time. Its classes join the
// movie's own: where both define a name the first definition stays, as a child application
// domain sees its parent's classes first.
const timeline::World::LoadedMovie* adoptMovie(HostState& host, const std::string& key, const std::string& file) {
    timeline::World* w = host.world();
    if (!w)
        return nullptr;
    if (const auto* known = w->loadedMovie(key))
        return known;
    if (w->loadedMovies.size() >= kMaxLoadedMovies)
        return nullptr;
    std::string error;
    std::shared_ptr<const movie::Movie> movie =
        movie::Movie::fromBytes(std::vector<std::uint8_t>(file.begin(), file.end()), error);
    if (!movie || movie->body().size() > kMaxLoadedBytes - w->loadedBytes)
        return nullptr;
    const timeline::World::LoadedMovie& loaded = w->addLoadedMovie(key, std::move(movie));
    if (loaded.movie->isActionScript3()) {
        host.addScriptMovie(*loaded.movie);
        for (const auto& block : loaded.movie->abcBlocks())
            if (!host.machine.loadAbc(loaded.movie->abcBytes(block), block.lazy, error))
                host.machine.trace("VerifyError: " + error);
    }
    return &loaded;
}

// A new clip showing the movie's root timeline, made off every list with its script object
// (its document class constructed, children first, while it has no stage yet, as in Flash).
Value movieContent(HostState& host, const timeline::World::LoadedMovie& loaded, DisplayHandle& loader,
                   DisplayHandle& info) {
    // An AS1/2 movie has no constructor to keep from the stage: it starts in the Loader, so
    // the AS1/2 machine runs its first frame's actions there.
    timeline::Clip* inLoader = loaded.movie->isActionScript3() ? nullptr : host.locate(loader).clip;
    timeline::Clip* off = inLoader ? inLoader : host.offList();
    if (!off)
        return Value::null();
    timeline::PlaceState place;
    place.depth = off->nextHighestDepth();
    timeline::DisplayObject* o = off->world().createByScript(*off, place, loaded.root.get());
    if (!o || !o->clip)
        return Value::null();
    const std::uint64_t serial = o->serial;
    host.loaderInfoFor[serial] = Value::object(&info);
    DisplayHandle* h = host.wrap(*off, *o);
    host.loaderInfoFor.erase(serial);
    return h ? Value::object(h) : Value::null();
}

std::string absoluteUrl(const std::string& base, const std::string& url) {
    if (url.find("://") != std::string::npos || base.empty())
        return url;
    return base.substr(0, base.rfind('/') + 1) + url;
}

void sendProgress(HostState& host, DisplayHandle& to, std::uint32_t bytes) {
    host.machine.runAndReport([&] {
        auto* e = dynamic_cast<EventObject*>(
            makeEvent(host, host.machine.findClass("flash.events.ProgressEvent"), "progress", false));
        if (!e)
            return;
        e->fields["bytesLoaded"] = e->fields["bytesTotal"] = Value::uinteger(bytes);
        host.dispatch(&to, Value::object(e));
    });
}

// Takes the Loader's content away: it leaves the Loader, and its LoaderInfo says unload.
void unloadContent(HostState& host, DisplayHandle& loader, DisplayHandle& info) {
    Value content = extra(info, "content");
    if (!content.isObject())
        return;
    Machine& m = host.machine;
    m.runAndReport([&] {
        Value args[] = {content};
        m.callProperty(Value::object(&loader), Machine::publicName("removeChild"), args);
    });
    info.extras["content"] = Value::null();
    send(host, info, nullptr, "unload");
}

// A Loader's file (or loadBytes' bytes): a movie plays in a new clip, a PNG, JPEG or GIF shows
// as a Bitmap; the content becomes the Loader's only child and its LoaderInfo tells open,
// progress, init and complete; anything else is an ioError.
void serveLoader(HostState& host, DisplayHandle& loader, const HostState::PendingLoad& load) {
    Machine& m = host.machine;
    DisplayHandle* info = nativeOf<DisplayHandle>(extra(loader, "contentLoaderInfo"));
    if (!info)
        return;
    unloadContent(host, loader, *info);
    const std::string path = load.url.substr(0, load.url.find('?'));
    std::string file;
    bool read = false;
    if (load.bytes) {
        file.assign(load.bytes->begin(), load.bytes->end());
        read = true;
    } else {
        read = host.readFile && host.readFile(load.url, file);
    }
    if (!read) {
        ioError(host, *info, load.url);
        return;
    }
    // What the file tells is there before its content is made (a document's constructor may read it).
    auto& x = info->extras;
    auto describe = [&](const std::string& contentType, std::uint32_t length) {
        x["url"] = m.string(load.bytes ? host.movieUrl : absoluteUrl(host.movieUrl, load.url));
        x["loaderURL"] = m.string(host.movieUrl);
        x["bytesLoaded"] = x["bytesTotal"] = Value::uinteger(length);
        x["contentType"] = m.string(contentType);
        x["parameters"] = urlParameters(m, load.bytes ? std::string() : load.url);
        x["sameDomain"] = x["childAllowsParent"] = x["parentAllowsChild"] = Value::boolean(true);
        send(host, *info, nullptr, "open");
        sendProgress(host, *info, length);
    };
    Value content = Value::null();
    if (isMovieFile(file)) {
        // Bytes are known by their length and a hash, so the same bytes share one parse too.
        std::string key = "url:" + path;
        if (load.bytes) {
            std::uint64_t hash = 1469598103934665603ull;
            for (unsigned char c : file)
                hash = (hash ^ c) * 1099511628211ull;
            key = "bytes:" + std::to_string(file.size()) + ":" + std::to_string(hash);
        }
        const timeline::World::LoadedMovie* loaded =
            host.loadedContents < kMaxLoadedContents ? adoptMovie(host, key, file) : nullptr;
        if (loaded) {
            ++host.loadedContents;
            const movie::Movie& movie = *loaded->movie;
            const format::Rect& stage = movie.stageRect();
            x["width"] = Value::integer(static_cast<std::int32_t>(std::lround(stage.width() / kTwips)));
            x["height"] = Value::integer(static_cast<std::int32_t>(std::lround(stage.height() / kTwips)));
            x["frameRate"] = Value::number(movie.headerFrameRate());
            x["swfVersion"] = Value::uinteger(movie.version());
            x["actionScriptVersion"] = Value::uinteger(movie.isActionScript3() ? 3 : 2);
            describe("application/x-shockwave-flash", movie.declaredFileLength());
            m.runAndReport([&] { content = movieContent(host, *loaded, loader, *info); });
        }
    } else if (host.pictures) {
        std::shared_ptr<timeline::Pixels> pixels =
            host.pictures->decodeImage(std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
        if (pixels) {
            x["width"] = Value::integer(pixels->width);
            x["height"] = Value::integer(pixels->height);
            const unsigned char first = static_cast<unsigned char>(file[0]);
            describe(first == 0x89 ? "image/png" : first == 'G' ? "image/gif" : "image/jpeg",
                     static_cast<std::uint32_t>(file.size()));
            m.runAndReport([&] { content = makeBitmap(host, std::move(pixels), true); });
        }
    }
    if (content.isNull()) {
        if (load.bytes)
            send(host, *info, host.machine.findClass("flash.events.IOErrorEvent"), "ioError",
                 "Error #2124: Loaded file is an unknown type.");
        else
            ioError(host, *info, load.url);
        return;
    }
    x["content"] = content;
    // A loaded picture's Bitmap answers loaderInfo with this LoaderInfo, as a loaded movie's document does.
    if (DisplayHandle* shown = nativeOf<DisplayHandle>(content))
        shown->extras.emplace("loaderInfo", Value::object(info));
    m.runAndReport([&] {
        Value args[] = {content};
        m.callProperty(Value::object(&loader), Machine::publicName("addChild"), args);
    });
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
            s->queueLoad({h, urlOf(m, a[0]), false, nullptr});
        return Value();
    }, 1);
    extraGetters(host, urlLoader, {"data", "bytesLoaded", "bytesTotal", "dataFormat"});
    m.defineSetter(urlLoader, "dataFormat", [s](Machine& m, Value self, std::span<Value> a) {
        s->handleOf(self)->extras["dataFormat"] = m.string(m.toString(arg(a, 0)));
        return Value();
    });
    m.defineMethod(urlLoader, "load", [s](Machine& m, Value self, std::span<Value> a) {
        s->queueLoad({s->handleOf(self), urlOf(m, arg(a, 0)), false, nullptr});
        return Value();
    }, 1);
    m.defineMethod(urlLoader, "close", [s](Machine&, Value self, std::span<Value>) {
        s->dropLoads(s->handleOf(self));
        return Value();
    });
}

} // namespace

// At most kMaxPendingLoads wait at once (later ones are dropped, as timers past their bound
// are); loadBytes' copies count against the machine's native memory until they are served.
void HostState::queueLoad(PendingLoad load) {
    constexpr std::size_t kMaxPendingLoads = 10'000;
    if (loads.size() >= kMaxPendingLoads)
        return;
    if (load.bytes)
        machine.holdNativeBytes(load.bytes->size());
    loads.push_back(std::move(load));
}

void HostState::dropLoads(DisplayHandle* target) {
    std::erase_if(loads, [&](const PendingLoad& l) {
        if (l.target != target)
            return false;
        if (l.bytes)
            machine.releaseNativeBytes(l.bytes->size());
        return true;
    });
}

void HostState::serveLoads() {
    std::vector<PendingLoad> due;
    due.swap(loads);
    for (const PendingLoad& load : due) {
        if (load.loader)
            serveLoader(*this, *load.target, load);
        else
            serveUrlLoader(*this, *load.target, load.url);
        if (load.bytes)
            machine.releaseNativeBytes(load.bytes->size());
    }
}

void installLoadClasses(HostState& host, ClassObject* container) {
    Machine& m = host.machine;
    HostState* s = &host;
    // A ByteArray subclass linked to a DefineBinaryData tag (an embedded file) starts with its bytes.
    if (ClassObject* bytes = m.findClass("flash.utils.ByteArray"))
        bytes->init = m.newNative("ByteArray", [s, bytes](Machine& m, Value self, std::span<Value>) {
            if (!self.isObject() || self.o->cls == bytes)
                return Value();
            const format::Character* c = s->linkedCharacter(self.o->cls);
            if (c && c->kind == format::CharacterKind::BinaryData)
                assignByteArray(m, self, static_cast<const format::BinaryDataCharacter*>(c)->data);
            return Value();
        });
    ClassObject* dispatcher = m.findClass("flash.events.EventDispatcher");
    installUrlLoader(host, dispatcher);
    ClassObject* info = m.defineNativeClass("flash.display", "LoaderInfo", dispatcher);
    extraGetters(host, info, {"content", "loader", "url", "bytesLoaded", "bytesTotal", "contentType", "loaderURL",
                              "sameDomain", "childAllowsParent", "parentAllowsChild", "applicationDomain"});
    // What only a loaded file can tell is Error #2099 before it is there.
    for (const char* name : {"width", "height", "frameRate", "swfVersion", "actionScriptVersion", "parameters"})
        m.defineGetter(info, name, [s, name](Machine& m, Value self, std::span<Value>) {
            DisplayHandle& h = *s->handleOf(self);
            auto it = h.extras.find(name);
            if (it == h.extras.end())
                m.throwError(m.errorClass, 2099, "The loading object is not sufficiently loaded to provide this information.");
            return it->second;
        });
    // Kept so scripts can listen; the machine reports uncaught errors itself and sends none here.
    ClassObject* uncaught = m.defineNativeClass("flash.events", "UncaughtErrorEvents", dispatcher);
    m.defineGetter(info, "uncaughtErrorEvents", [s, uncaught](Machine& m, Value self, std::span<Value>) {
        Value& events = s->handleOf(self)->extras["uncaughtErrorEvents"];
        if (!events.isObject())
            events = Value::object(m.allocateInstance(uncaught));
        return events;
    });
    // An AS1/2 movie a Loader loaded: it plays its timeline, and ActionScript 3 sees none of its insides.
    m.defineNativeClass("flash.display", "AVM1Movie", m.findClass("flash.display.DisplayObject"));
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
        s->queueLoad({s->handleOf(self), urlOf(m, arg(a, 0)), true, nullptr});
        return Value();
    }, 2);
    // loadBytes(bytes, context = null): the bytes are copied now and loaded on the next frame,
    // as a file would be.
    m.defineMethod(loader, "loadBytes", [s](Machine& m, Value self, std::span<Value> a) {
        const std::vector<std::uint8_t>* bytes = byteArrayBytes(arg(a, 0));
        if (!bytes)
            m.typeError(2007, "Parameter bytes must be non-null.");
        s->queueLoad({s->handleOf(self), std::string(), true, std::make_shared<const std::vector<std::uint8_t>>(*bytes)});
        return Value();
    }, 2);
    for (const char* name : {"unload", "unloadAndStop"})
        m.defineMethod(loader, name, [s](Machine&, Value self, std::span<Value>) {
            DisplayHandle& h = *s->handleOf(self);
            if (DisplayHandle* info = nativeOf<DisplayHandle>(extra(h, "contentLoaderInfo")))
                unloadContent(*s, h, *info);
            return Value();
        });
    // close: a load not yet served is dropped.
    m.defineMethod(loader, "close", [s](Machine&, Value self, std::span<Value>) {
        s->dropLoads(s->handleOf(self));
        return Value();
    });
}

} // namespace swf::avm2
