#include "swf/timeline/Clip.h"

#include "swf/format/Timeline.h"
#include "swf/timeline/ButtonParts.h"
#include "swf/timeline/World.h"

#include <algorithm>
#include <limits>

namespace swf::timeline {

namespace {
const std::string kNoName;
} // namespace

// ASCII folding only: the result must not depend on the process locale.
bool sameName(std::string_view a, std::string_view b, bool caseSensitive) {
    if (a.size() != b.size())
        return false;
    if (caseSensitive)
        return a == b;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

Clip::Clip(World& world, const format::Timeline& timeline, Clip* parent, DisplayObject* owner, int nesting,
           const movie::Movie* movie, int level)
    : m_world(world), m_timeline(timeline),
      m_movie(movie ? movie : parent ? parent->m_movie : &world.movie), m_level(level), m_parent(parent),
      m_owner(owner), m_nesting(nesting) {
    m_isRoot = parent == nullptr;
    m_id = owner ? owner->serial : m_world.nextSerial++;
    m_bornTick = m_world.tick;
    m_world.clips[m_id] = this;
}

Clip::~Clip() {
    if (m_world.events && !m_removalAnnounced)
        m_world.events->clipRemoved(*this);
    m_world.liveObjects -= std::min(m_world.liveObjects, m_list.size());
    m_world.clips.erase(m_id);
}

Clip& Clip::root() {
    Clip* c = this;
    while (c->m_parent)
        c = c->m_parent;
    return *c;
}

int Clip::level() const {
    const Clip* c = this;
    while (c->m_parent)
        c = c->m_parent;
    return c->m_level;
}

const std::string& Clip::name() const {
    return m_owner ? m_owner->name : kNoName;
}

std::string Clip::targetPath() const {
    const int n = level();
    const std::string top = n ? "_level" + std::to_string(n) : std::string();
    if (m_isRoot)
        return n ? top : "/";
    std::string path;
    for (const Clip* c = this; c && !c->m_isRoot; c = c->m_parent)
        path = "/" + c->name() + path;
    return top + path;
}

Clip* Clip::findChild(std::string_view name) const {
    bool caseSensitive = m_movie->version() >= 7;
    for (auto& [depth, obj] : m_list)
        if (obj.clip && sameName(obj.name, name, caseSensitive))
            return obj.clip.get();
    return nullptr;
}

namespace {

// "_level" followed by its number: only digits name a level.
Clip* levelNamed(const World& world, std::string_view digits) {
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9' || n > 100000)
            return nullptr;
        n = n * 10 + (c - '0');
    }
    return world.level(n);
}

} // namespace

Clip* Clip::resolvePath(std::string_view path) {
    Clip* at = this;
    if (path.empty())
        return at;
    char separator = path.find('/') != std::string_view::npos ? '/' : '.';
    if (path.front() == '/') {
        at = &root();
        path.remove_prefix(1);
    }
    if (path == "..")
        return m_parent;
    // Each step is a name, "..", "_root", "_parent", "_levelN" or "this".
    while (!path.empty() && at) {
        std::size_t cut = path.find(separator);
        std::string_view step = path.substr(0, cut);
        path = cut == std::string_view::npos ? std::string_view{} : path.substr(cut + 1);
        if (step.empty() || step == "." || step == "this")
            continue;
        if (step == ".." || sameName(step, "_parent", false))
            at = at->m_parent;
        else if (sameName(step, "_root", false))
            at = &at->root();
        else if (step.size() > 6 && sameName(step.substr(0, 6), "_level", false))
            at = levelNamed(m_world, step.substr(6));
        else
            at = at->findChild(step);
    }
    return at;
}

int Clip::totalFrames() const {
    return std::max(1, m_timeline.frameCount());
}

DisplayObject* Clip::objectAt(int depth) {
    auto it = addressed(m_list, depth);
    return it == m_list.end() ? nullptr : &it->second;
}

bool Clip::removeAt(int depth) {
    return m_world.remove(*this, depth);
}

void Clip::changed() {
    ++m_world.generation;
}

void Clip::enterFirstFrame() {
    if (m_entered)
        return;
    m_entered = true;
    m_frame = 0;
    applyFrame(0);
    m_pendingFrame = 0;
    changed();
}

void Clip::applyFrame(int frame) {
    forEachDisplayListTag(
        *m_movie, m_timeline, frame,
        [this](const format::PlaceObject& place) { m_world.placeFromTag(*this, place); },
        [this](std::uint16_t depth) { m_world.removeFromTag(*this, depth); });
}

DisplayObject* Clip::placeScripted(std::uint16_t characterId, int depth, const std::string& name) {
    PlaceState state;
    state.depth = depth;
    state.characterId = characterId;
    state.name = name;
    return m_world.createByScript(*this, state, nullptr);
}

DisplayObject* Clip::createEmptyClip(int depth, const std::string& name) {
    PlaceState state;
    state.depth = depth;
    state.name = name;
    return m_world.createByScript(*this, state, &m_world.emptySprite);
}

DisplayObject* Clip::duplicate(int fromDepth, int toDepth, const std::string& name) {
    DisplayObject* from = objectAt(fromDepth);
    if (!from || fromDepth == toDepth)
        return nullptr;
    PlaceState state = *from;
    const format::Character* character = from->character;
    state.depth = toDepth;
    state.name = name;
    return m_world.createByScript(*this, state, character);
}

void Clip::swapDepths(int depthA, int depthB) {
    m_world.swapDepths(*this, depthA, depthB);
}

int Clip::nextHighestDepth() const {
    if (m_list.empty())
        return 0;
    int top = m_list.rbegin()->first;
    return top == std::numeric_limits<int>::max() ? top : std::max(0, top + 1);
}

void Clip::detach() {
    m_parent = nullptr;
    m_owner = nullptr;
    m_isRoot = false;
    m_pendingFrame = -1;
    m_loadPending = false;
}

void Clip::stepForward() {
    int count = totalFrames();
    if (m_frame + 1 < count) {
        ++m_frame;
        applyFrame(m_frame);
        m_pendingFrame = m_frame;
        changed();
    } else if (!m_loop) {
        m_playing = false;
    } else if (count > 1) {
        gotoFrame(0);
    }
}

void Clip::advance() {
    if (!m_entered) {
        enterFirstFrame();
        return;
    }
    if (m_bornTick == m_world.tick && !m_isRoot)
        return; // placed during this tick: it shows its first frame now
    // A frame whose actions have not run yet (a script's goto earlier in this
    // tick) is held for this tick so that they run before the playhead moves on.
    if (m_playing && m_pendingFrame < 0)
        stepForward();
    for (auto& [depth, obj] : m_list)
        if (obj.clip)
            obj.clip->advance();
        else if (obj.kind == ObjectKind::Button)
            advanceButtonParts(m_world, *this, obj);
        else if (obj.state)
            obj.state->advance(obj, m_world);
}

PlaceMap Clip::stateFor(int frame) {
    if (SeekIndex* index = m_world.seekIndex(m_timeline, *m_movie))
        return index->stateAt(frame);
    PlaceMap state;
    for (int f = 0; f <= frame; ++f)
        applyFrameTags(*m_movie, m_timeline, f, state);
    return state;
}

void Clip::gotoFrame(int frame) {
    frame = std::clamp(frame, 0, totalFrames() - 1);
    if (!m_entered)
        enterFirstFrame();
    if (frame == m_frame)
        return;
    bool forward = frame > m_frame;
    if (forward && (frame - m_frame <= kSnapshotInterval || !m_world.seekIndex(m_timeline, *m_movie))) {
        for (int f = m_frame + 1; f <= frame; ++f)
            applyFrame(f);
    } else {
        m_world.reconcile(*this, stateFor(frame));
    }
    m_frame = frame;
    m_pendingFrame = frame;
    changed();
}

bool Clip::gotoLabel(std::string_view label) {
    int frame = m_timeline.findLabel(label);
    if (frame < 0 && m_isRoot) {
        for (const auto& l : m_movie->sceneFrameLabels())
            if (l.name == label)
                frame = l.frame;
    }
    if (frame < 0)
        return false;
    gotoFrame(frame);
    return true;
}

void Clip::nextFrame() {
    m_playing = false;
    if (m_frame + 1 < totalFrames())
        gotoFrame(m_frame + 1);
}

void Clip::prevFrame() {
    m_playing = false;
    if (m_frame > 0)
        gotoFrame(m_frame - 1);
}

void Clip::forEachClip(const std::function<void(Clip&)>& visit) {
    visit(*this);
    for (auto& [depth, obj] : m_list)
        if (obj.clip)
            obj.clip->forEachClip(visit);
        else if (obj.kind == ObjectKind::Button)
            forEachPartClip(obj, visit);
}

} // namespace swf::timeline
