#include "swf/avm2/HostState.h"

#include "swf/avm2/HostDisplay.h"

#include "swf/Player.h"
#include "swf/movie/Movie.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/World.h"

#include <algorithm>

namespace swf::avm2 {

bool DisplayHandle::hasListener(const std::string& type) const {
    return std::any_of(listeners.begin(), listeners.end(), [&](const Listener& l) { return l.type == type; });
}

timeline::World* HostState::world() {
    timeline::Clip* r = player.root();
    return r ? &r->world() : nullptr;
}

timeline::Clip* HostState::root() {
    return player.root();
}

timeline::Clip* HostState::offList() {
    timeline::World* w = world();
    if (!w)
        return nullptr;
    if (!w->offList) {
        w->offList = std::make_shared<timeline::Clip>(*w, w->emptySprite.timeline, nullptr, nullptr, 0);
        w->offList->enterFirstFrame();
    }
    return w->offList.get();
}

namespace {

timeline::DisplayObject* findSerial(timeline::Clip& clip, std::uint64_t serial) {
    for (auto& [depth, obj] : clip.displayList())
        if (obj.serial == serial)
            return &obj;
    return nullptr;
}

// Timeline objects that get their script object as soon as they are placed; shapes and
// static text get theirs when a script first reaches them.
bool madeEagerly(const timeline::DisplayObject& o) {
    return o.kind == timeline::ObjectKind::Sprite || o.kind == timeline::ObjectKind::Button ||
           o.kind == timeline::ObjectKind::EditText;
}

} // namespace

Located HostState::locate(const DisplayHandle& h) {
    Located at;
    timeline::World* w = world();
    if (!w || !h.serial || h.isStage)
        return at;
    if (h.isRoot) {
        at.clip = root();
        return at;
    }
    timeline::Clip* self = w->clipById(h.serial);
    if (self && !self->isRoot() && self->displayObject() && self->parent()) {
        at.clip = self;
        at.object = self->displayObject();
        at.parent = self->parent();
        return at;
    }
    if (timeline::Clip* parent = w->clipById(h.parentId)) {
        at.object = findSerial(*parent, h.serial);
        if (at.object)
            at.parent = parent;
    }
    return at;
}

DisplayHandle* HostState::handleOf(Value v) {
    auto* h = v.isObject() ? dynamic_cast<DisplayHandle*>(v.o) : nullptr;
    if (!h)
        machine.typeError(1034, "Type Coercion failed: cannot convert " + machine.className(v) +
                                    " to flash.events.EventDispatcher.");
    return h;
}

ClassObject* HostState::classFor(const timeline::DisplayObject& object) {
    timeline::World* w = world();
    const movie::Movie* movie = player.movie();
    if (w && object.character) {
        // The root of a movie a Loader loaded: its document class, else a plain MovieClip;
        // an AS1/2 movie is an AVM1Movie.
        if (const movie::Movie* loaded = w->movieRootedAt(*object.character)) {
            if (!loaded->isActionScript3())
                return machine.findClass("flash.display.AVM1Movie");
            for (const auto& link : loaded->symbolClasses())
                if (link.id == 0)
                    if (ClassObject* c = machine.findClass(link.name))
                        return c;
            return machine.findClass("flash.display.MovieClip");
        }
        movie = &w->movieOf(*object.character);
    }
    if (movie)
        for (const auto& link : movie->symbolClasses())
            if (link.id == object.characterId && link.id != 0)
                if (ClassObject* c = machine.findClass(link.name))
                    return c;
    const char* name = "flash.display.DisplayObject";
    switch (object.kind) {
    case timeline::ObjectKind::Sprite: name = "flash.display.MovieClip"; break;
    case timeline::ObjectKind::Button: name = "flash.display.SimpleButton"; break;
    case timeline::ObjectKind::EditText: name = "flash.text.TextField"; break;
    case timeline::ObjectKind::StaticText: name = "flash.text.StaticText"; break;
    case timeline::ObjectKind::Shape: name = "flash.display.Shape"; break;
    case timeline::ObjectKind::MorphShape: name = "flash.display.MorphShape"; break;
    case timeline::ObjectKind::Bitmap: name = "flash.display.Bitmap"; break;
    case timeline::ObjectKind::Video: name = "flash.media.Video"; break;
    case timeline::ObjectKind::Other: break;
    }
    ClassObject* c = machine.findClass(name);
    return c ? c : machine.findClass("flash.display.DisplayObject");
}

HostState::Link HostState::linkOf(ClassObject* cls) {
    // Links never change, so each class is looked up once (constructors ask every time);
    // a newly loaded movie clears what was found.
    if (auto known = m_links.find(cls); known != m_links.end())
        return known->second;
    Link found;
    std::vector<const movie::Movie*> movies;
    if (const movie::Movie* movie = player.movie())
        movies.push_back(movie);
    movies.insert(movies.end(), scriptMovies.begin(), scriptMovies.end());
    for (ClassObject* c = cls; c && !found.movie; c = c->super)
        for (const movie::Movie* movie : movies) {
            for (const auto& link : movie->symbolClasses())
                if (link.id != 0 && machine.findClass(link.name) == c) {
                    found = {movie, link.id};
                    break;
                }
            if (found.movie)
                break;
        }
    m_links[cls] = found;
    return found;
}

int HostState::linkedId(ClassObject* cls) {
    Link link = linkOf(cls);
    return link.movie && link.movie == player.movie() ? link.id : -1;
}

const format::Character* HostState::linkedCharacter(ClassObject* cls) {
    Link link = linkOf(cls);
    return link.movie ? link.movie->character(static_cast<std::uint16_t>(link.id)) : nullptr;
}

void HostState::addScriptMovie(const movie::Movie& movie) {
    scriptMovies.push_back(&movie);
    m_links.clear();
}

DisplayHandle* HostState::rootOf(DisplayHandle& h) {
    if (h.isStage)
        return nullptr;
    if (h.isRoot)
        return document;
    timeline::World* w = world();
    Located at = locate(h);
    for (timeline::Clip* c = at.clip ? at.clip : at.parent; c && w; c = c->parent()) {
        const timeline::DisplayObject* o = c->displayObject();
        if (o && o->character && w->movieRootedAt(*o->character))
            return wrapClip(*c);
    }
    return onStage(*this, at) ? document : nullptr;
}

DisplayHandle* HostState::wrap(timeline::Clip& parent, timeline::DisplayObject& object) {
    if (auto it = wrappers.find(object.serial); it != wrappers.end()) {
        it->second->parentId = parent.id();
        return it->second;
    }
    ClassObject* cls = classFor(object);
    if (!cls)
        return nullptr;
    auto* h = dynamic_cast<DisplayHandle*>(machine.allocateInstance(cls));
    if (!h)
        return nullptr; // a linked class that is no display object
    h->parentId = parent.id();
    h->serial = object.serial;
    wrappers[object.serial] = h;
    const movie::Movie* rooted = object.character && world() ? world()->movieRootedAt(*object.character) : nullptr;
    h->avm1Content = rooted && !rooted->isActionScript3();
    if (auto info = loaderInfoFor.find(object.serial); info != loaderInfoFor.end()) {
        h->extras["loaderInfo"] = info->second;
        loaderInfoFor.erase(info);
    }
    // Children are made first, so the constructor finds them on its properties.
    if (object.clip && !h->avm1Content)
        wrapChildren(*object.clip, *h, object.clip->nesting());
    if (cls->init)
        machine.runAndReport([&] { machine.call(Value::object(cls->init), Value::object(h), {}); });
    if (onStage(*this, locate(*h)))
        tellAddedToStage(*h);
    return h;
}

void HostState::tellAddedToStage(DisplayHandle& h) {
    if (!h.hasListener("addedToStage"))
        return;
    machine.runAndReport([&] {
        if (Object* e = makeEvent(*this, eventClass, "addedToStage", false))
            dispatch(&h, Value::object(e));
    });
}

DisplayHandle* HostState::wrapClip(timeline::Clip& clip) {
    if (&clip == root())
        return document;
    if (&clip == offList() || !clip.parent() || !clip.displayObject())
        return nullptr;
    return wrap(*clip.parent(), *clip.displayObject());
}

DisplayHandle* HostState::wrapRoot(ClassObject* docClass) {
    timeline::Clip* r = root();
    if (!r || !docClass)
        return nullptr;
    DisplayHandle* h = nullptr;
    machine.runAndReport([&] { h = dynamic_cast<DisplayHandle*>(machine.allocateInstance(docClass)); });
    if (!h)
        return nullptr;
    h->isRoot = true;
    h->serial = r->id();
    wrappers[r->id()] = h;
    document = h;
    wrapChildren(*r, *h, 0);
    if (docClass->init)
        machine.runAndReport([&] { machine.call(Value::object(docClass->init), Value::object(h), {}); });
    tellAddedToStage(*h);
    return h;
}

void HostState::sync() {
    if (timeline::Clip* r = root(); r && document)
        wrapChildren(*r, *document, 0);
}

void HostState::wrapChildren(timeline::Clip& clip, DisplayHandle& owner, int nesting) {
    timeline::World* w = world();
    if (!w || nesting > timeline::kMaxNesting + 1)
        return;
    // Constructors may change the list; walk a copy of it and find each object again.
    const std::uint64_t clipId = clip.id();
    std::vector<std::uint64_t> serials;
    for (const auto& [depth, obj] : clip.displayList())
        if (madeEagerly(obj))
            serials.push_back(obj.serial);
    for (std::uint64_t serial : serials) {
        timeline::Clip* c = w->clipById(clipId);
        timeline::DisplayObject* obj = c ? findSerial(*c, serial) : nullptr;
        if (!obj)
            continue;
        auto known = wrappers.find(serial);
        if (known != wrappers.end()) {
            known->second->parentId = clipId;
            if (obj->clip && !known->second->avm1Content)
                wrapChildren(*obj->clip, *known->second, nesting + 1);
            continue;
        }
        std::string name = obj->name;
        DisplayHandle* h = wrap(*c, *obj);
        // A named child is a property of its parent, as declared stage instances are.
        if (h && !name.empty())
            machine.runAndReport([&] {
                try {
                    machine.setProperty(Value::object(&owner), Machine::publicName(name), Value::object(h));
                } catch (const ScriptError&) {
                    // a sealed class without the variable: the child is reached by name only
                }
            });
    }
}

void HostState::createOffList(DisplayHandle& h) {
    timeline::Clip* off = offList();
    if (!off || h.serial)
        return;
    timeline::DisplayObject* o = off->createEmptyClip(off->nextHighestDepth(), "");
    if (!o)
        return;
    h.serial = o->serial;
    h.parentId = off->id();
    wrappers[o->serial] = &h;
}

bool HostState::moveTo(DisplayHandle& h, timeline::Clip& to, int depth) {
    Located at = locate(h);
    timeline::World* w = world();
    if (!at.object || !at.parent || !w)
        return false;
    if (at.parent == &to && at.object->depth == depth)
        return true;
    if (!w->reparent(*at.parent, at.object->depth, to, depth))
        return false;
    h.parentId = to.id();
    return true;
}

} // namespace swf::avm2
