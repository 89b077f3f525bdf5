#include "swf/avm1/PlayerScriptHost.h"

#include "swf/audio/SoundControl.h"
#include "swf/avm1/BuiltinLoad.h"
#include "swf/avm1/BuiltinSound.h"
#include "swf/avm1/BuiltinVideo.h"
#include "swf/avm1/FieldVariables.h"
#include "swf/avm1/SharedObjectStore.h"

#include "swf/format/Shape.h"
#include "swf/format/TagCode.h"
#include "swf/movie/Movie.h"
#include "swf/timeline/ButtonParts.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/HitTest.h"
#include "swf/timeline/World.h"
#include "swf/timeline/PictureServices.h"
#include "swf/timeline/objects/BitmapObject.h"
#include "swf/timeline/objects/TextFieldObject.h"
#include "swf/format/Media.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

namespace swf::avm1 {

namespace {

// Script depths count from 0 where timeline depths count from -16384.
constexpr int kDepthOffset = 16384;
constexpr double kTwips = 20.0;
constexpr double kPi = 3.14159265358979323846;

struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0; // pixels

    static Affine of(const format::Matrix& m) { return {m.a, m.b, m.c, m.d, m.tx / kTwips, m.ty / kTwips}; }
    // this after inner
    Affine operator*(const Affine& n) const {
        return {a * n.a + c * n.b, b * n.a + d * n.b,        a * n.c + c * n.d,
                b * n.c + d * n.d, a * n.tx + c * n.ty + tx, b * n.tx + d * n.ty + ty};
    }
    Affine inverse() const {
        const double det = a * d - b * c;
        if (det == 0 || !std::isfinite(det))
            return {1, 0, 0, 1, -tx, -ty};
        return {d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
    }
    void apply(double& x, double& y) const {
        const double nx = a * x + c * y + tx;
        y = b * x + d * y + ty;
        x = nx;
    }
};

// _quality travels as its level (0 low to 3 best); _highquality is 0 low, 1 high, 2 best.
double qualityProperty(timeline::Quality q, ClipProperty p) {
    if (p == ClipProperty::Quality)
        return static_cast<int>(q);
    return q == timeline::Quality::Low ? 0 : q == timeline::Quality::Best ? 2 : 1;
}

timeline::Quality qualityFromProperty(double value, ClipProperty p) {
    if (p == ClipProperty::Quality)
        return static_cast<timeline::Quality>(static_cast<int>(std::clamp(value, 0.0, 3.0)));
    return value == 0   ? timeline::Quality::Low
           : value >= 2 ? timeline::Quality::Best
                        : timeline::Quality::High;
}

Affine globalOf(const timeline::Clip& clip) {
    Affine m;
    int guard = 0;
    for (const timeline::Clip* c = &clip; c && c->displayObject() && ++guard < 64; c = c->parent())
        m = Affine::of(c->displayObject()->matrix) * m;
    return m;
}

struct Box {
    double xMin = std::numeric_limits<double>::infinity(), yMin = xMin;
    double xMax = -std::numeric_limits<double>::infinity(), yMax = xMax;
    bool empty() const { return xMin > xMax; }
    void add(double x, double y) {
        xMin = std::min(xMin, x);
        yMin = std::min(yMin, y);
        xMax = std::max(xMax, x);
        yMax = std::max(yMax, y);
    }
};

void addRect(const format::Rect& r, const Affine& m, Box& box) {
    const double xs[] = {r.xMin / kTwips, r.xMax / kTwips};
    const double ys[] = {r.yMin / kTwips, r.yMax / kTwips};
    for (double x : xs)
        for (double y : ys) {
            double px = x, py = y;
            m.apply(px, py);
            box.add(px, py);
        }
}

// Bounds of a clip's shapes and script drawing (text and other kinds are not measured
// yet), mapped by `m`.
void addBounds(const timeline::Clip& clip, const Affine& m, Box& box, int nesting) {
    if (nesting > timeline::kMaxNesting)
        return;
    if (!clip.graphics().empty())
        addRect(clip.graphics().shape().bounds, m, box);
    for (const auto& [depth, obj] : clip.displayList()) {
        const Affine local = m * Affine::of(obj.matrix);
        if (obj.clip) {
            addBounds(*obj.clip, local, box, nesting + 1);
        } else if (obj.character && obj.character->kind == format::CharacterKind::Shape) {
            addRect(static_cast<const format::ShapeCharacter&>(*obj.character).bounds, local, box);
        }
    }
}

Box boundsIn(const timeline::Clip& clip, const Affine& toSpace) {
    Box box;
    addBounds(clip, toSpace, box, clip.nesting());
    return box;
}

// The ScriptLimits tag sits among the top-level tags, which the movie's index does
// not keep; walk the tag headers once. Returns false when there is none.
bool findScriptLimits(std::span<const std::uint8_t> body, int& recursion, int& timeout) {
    if (body.empty())
        return false;
    const std::size_t rectBytes = (5 + 4 * static_cast<std::size_t>(body[0] >> 3) + 7) / 8;
    std::size_t at = rectBytes + 4; // stage rect, frame rate, frame count
    while (at + 2 <= body.size()) {
        const unsigned header = body[at] | (body[at + 1] << 8);
        at += 2;
        const unsigned code = header >> 6;
        std::size_t length = header & 0x3F;
        if (length == 0x3F) {
            if (at + 4 > body.size())
                return false;
            length = body[at] | (body[at + 1] << 8) | (body[at + 2] << 16) |
                     (static_cast<std::size_t>(body[at + 3]) << 24);
            at += 4;
        }
        if (code == 0 || length > body.size() - at)
            return false;
        if (code == static_cast<unsigned>(format::TagCode::ScriptLimits) && length >= 4) {
            recursion = body[at] | (body[at + 1] << 8);
            timeout = body[at + 2] | (body[at + 3] << 8);
            return true;
        }
        at += length;
    }
    return false;
}

} // namespace

PlayerScriptHost::PlayerScriptHost() = default;
PlayerScriptHost::~PlayerScriptHost() = default;

void PlayerScriptHost::setTraceSink(std::function<void(const std::string&)> sink) {
    m_trace = std::move(sink);
    if (m_vm)
        m_vm->setTraceSink(m_trace);
}

void PlayerScriptHost::setTime(double ms) {
    m_time = ms;
    if (m_vm)
        m_vm->setTime(ms);
}

void PlayerScriptHost::setDateOrigin(double epochMs) {
    m_dateOrigin = epochMs;
    if (m_vm)
        m_vm->setDateOrigin(epochMs);
}

void PlayerScriptHost::displayStateChanged(bool fullScreen) {
    if (!m_vm || fullScreen == m_fullScreen)
        return;
    m_fullScreen = fullScreen;
    Object* stage = m_vm->get(m_vm->global(), "Stage").object();
    if (!stage)
        return;
    m_vm->define(stage, "\x01displayState", fullScreen ? "fullScreen" : "normal", kDontEnum);
    const Value args[] = {Value(fullScreen)};
    m_vm->broadcast(stage, "onFullScreen", args);
}

void PlayerScriptHost::setWatch(std::function<bool(double)> watch) {
    m_watch = std::move(watch);
    if (m_vm)
        m_vm->setWatch(m_watch);
    m_fullScreen = false;
}

void PlayerScriptHost::movieLoaded(int swfVersion) {
    m_vm = std::make_unique<Interpreter>(swfVersion, this);
    m_vm->setTraceSink(m_trace);
    m_vm->setWatch(m_watch);
    m_vm->setTime(m_time);
    m_vm->setDateOrigin(m_dateOrigin);
    m_world = nullptr;
    m_root = kNoClip;
    m_dropTargets.clear();
    m_enterFrameTick = 0;
    m_lastSerial = 0;
    m_seen.clear();
    m_linkage.clear();
}

void PlayerScriptHost::setSharedObjectDirectory(const std::string& directory) {
    m_sharedObjects = directory.empty() ? nullptr : std::make_unique<SharedObjectStore>(directory);
}

// Shared objects are written when the movie goes away, as Flash wrote them.
void PlayerScriptHost::movieUnloaded() {
    if (m_vm)
        saveSharedObjects(*m_vm);
    m_vm.reset();
    m_seen.clear();
    m_linkage.clear();
    m_pens.clear();
    m_loadedBytes.clear();
    m_world = nullptr;
    m_root = kNoClip;
}

void PlayerScriptHost::attachWorld(timeline::Clip& clip) {
    if (!clip.isOnStage())
        return;
    if (m_world != &clip.world() && m_vm) {
        m_linkage.clear();
        int recursion = 0;
        int timeout = 0;
        if (findScriptLimits(clip.world().movie.body(), recursion, timeout))
            m_vm->setScriptLimits(recursion, timeout);
    }
    m_world = &clip.world();
    m_root = clip.world().root ? clip.world().root->id() : clip.root().id(); // _level0, whichever level runs
}

// Before any script runs: the world is known, new clips have their classes and this
// tick's onEnterFrame handlers have run.
void PlayerScriptHost::prepare(timeline::Clip& clip) {
    attachWorld(clip);
    constructNewClips();
    enterFramePass();
    // Fields placed since the last look give their variables their text before code runs.
    if (m_world && m_world->nextSerial != m_fieldSerial) {
        m_fieldSerial = m_world->nextSerial;
        syncFields();
    }
}

void PlayerScriptHost::run(timeline::Clip& clip, std::span<const std::uint8_t> code) {
    if (!m_vm)
        return;
    prepare(clip);
    if (clip.isOnStage())
        runAsMovie(clip, [&] { m_vm->run(code, clip.id()); });
}

// A loaded movie's code runs by its own version's rules (case, conversions); handlers and
// intervals called from elsewhere follow the level-0 movie's.
void PlayerScriptHost::runAsMovie(const timeline::Clip& clip, const std::function<void()>& body) {
    const int outer = m_vm->version();
    m_vm->setVersion(clip.movie().version());
    body();
    if (m_vm)
        m_vm->setVersion(outer);
}

void PlayerScriptHost::runFrameActions(timeline::Clip& clip, std::span<const std::uint8_t> code) {
    run(clip, code);
}

void PlayerScriptHost::runInitActions(timeline::Clip& clip, std::uint16_t,
                                      std::span<const std::uint8_t> code) {
    run(clip, code);
}

void PlayerScriptHost::runClipEvent(timeline::Clip& clip, std::uint32_t, std::span<const std::uint8_t> code) {
    run(clip, code);
}

void PlayerScriptHost::clipRemoved(timeline::Clip& clip) {
    // From World::flushRemoved a removed clip's onClipEvent(unload) runs, still naming
    // the clip it left; from the clip's destructor no script may run.
    if (m_vm && clip.isBeingUnloaded())
        if (const timeline::DisplayObject* owner = clip.displayObject())
            for (const auto& rec : std::vector(owner->clipActions))
                if (rec.events & format::kClipUnload) {
                    prepare(clip);
                    runAsMovie(clip, [&] { m_vm->run(rec.actions, clip.id()); });
                }
    if (m_vm)
        m_vm->clipRemoved(clip.id());
    m_seen.erase(clip.id());
    m_pens.erase(clip.id());
    m_dropTargets.erase(clip.id());
    m_loadedBytes.erase(clip.id());
}

void PlayerScriptHost::afterTick() {
    if (!m_vm || !m_world)
        return;
    constructNewClips();
    enterFramePass();
    m_vm->runIntervals();
    if (audio::SoundControl* sound = soundControl())
        dispatchSoundEvents(*m_vm, *sound);
    if (m_video)
        dispatchNetStreamEvents(*m_vm, *m_video);
    syncFields();
}

void PlayerScriptHost::syncFields() {
    if (timeline::Clip* rootClip = find(m_root))
        syncFieldVariables(*m_vm, *rootClip);
}

audio::SoundControl* PlayerScriptHost::soundControl() {
    return m_world ? m_world->sound : nullptr;
}

// Export names match exactly, or else ignoring ASCII case as older players did.
int PlayerScriptHost::exportedSound(std::string_view name) {
    if (!m_world)
        return -1;
    const auto& exports = m_world->movie.exports();
    auto it = exports.find(std::string(name));
    if (it == exports.end())
        it = std::find_if(exports.begin(), exports.end(),
                          [&](const auto& e) { return timeline::sameName(e.first, name, false); });
    if (it == exports.end())
        return -1;
    const format::Character* ch = m_world->movie.character(it->second);
    return ch && ch->kind == format::CharacterKind::Sound ? it->second : -1;
}

// Gives newly placed clips of exported symbols their registered class. Only looks
// again when the world has made new objects since the last look.
void PlayerScriptHost::constructNewClips() {
    if (!m_world || m_world->nextSerial == m_lastSerial || !m_vm->hasRegisteredClasses())
        return;
    m_lastSerial = m_world->nextSerial;
    std::vector<std::pair<ClipId, std::string>> fresh;
    for (timeline::Clip* level : m_world->levelRoots())
        level->forEachClip([&](timeline::Clip& c) {
            if (!m_seen.insert(c.id()).second)
                return;
            const timeline::DisplayObject* o = c.displayObject();
            if (!o || !o->character || m_vm->hasClipObject(c.id()))
                return;
            // A clip's symbol is in its parent's movie (a loaded movie's root is no symbol).
            const timeline::Clip* owner = c.parent() ? c.parent() : &c;
            const auto& names = linkageOf(owner->movie());
            auto it = names.find(o->character->id);
            if (it != names.end() && o->character == owner->movie().character(o->character->id))
                fresh.emplace_back(c.id(), it->second);
        });
    for (const auto& [id, linkage] : fresh)
        if (exists(id))
            m_vm->constructClip(id, linkage);
}

// Script onEnterFrame handlers, once per tick, parents first.
void PlayerScriptHost::enterFramePass() {
    if (!m_world || m_world->tick == m_enterFrameTick)
        return;
    m_enterFrameTick = m_world->tick;
    callOnEveryClip("onEnterFrame");
}

// ---- ClipHost ---------------------------------------------------------------------------------

timeline::Clip* PlayerScriptHost::find(ClipId clip) const {
    if (!m_world)
        return nullptr;
    timeline::Clip* c = m_world->clipById(clip);
    // A clip running its unload handler is still itself to its scripts.
    return c && (c->isOnStage() || c->isBeingUnloaded()) ? c : nullptr;
}

bool PlayerScriptHost::exists(ClipId clip) {
    return find(clip) != nullptr;
}

ClipId PlayerScriptHost::parent(ClipId clip) {
    timeline::Clip* c = find(clip);
    timeline::Clip* p = c ? c->parent() : nullptr;
    // A sprite inside a button belongs to the button's timeline: the holder is skipped.
    if (p && timeline::isButtonPartsHolder(*p))
        p = p->parent();
    return p ? p->id() : kNoClip;
}

ClipId PlayerScriptHost::child(ClipId clip, std::string_view name, bool caseSensitive) {
    timeline::Clip* c = find(clip);
    if (!c)
        return kNoClip;
    for (const auto& [depth, obj] : c->displayList())
        if (obj.clip && timeline::sameName(obj.name, name, caseSensitive))
            return obj.clip->id();
    return kNoClip;
}

FieldRef PlayerScriptHost::childOfKind(ClipId clip, std::string_view name, bool caseSensitive,
                                       timeline::ObjectKind kind) {
    if (timeline::Clip* c = find(clip))
        for (const auto& [depth, obj] : c->displayList())
            if (obj.kind == kind && timeline::sameName(obj.name, name, caseSensitive))
                return {clip, obj.serial};
    return {};
}

FieldRef PlayerScriptHost::fieldChild(ClipId clip, std::string_view name, bool caseSensitive) {
    return childOfKind(clip, name, caseSensitive, timeline::ObjectKind::EditText);
}

FieldRef PlayerScriptHost::videoChild(ClipId clip, std::string_view name, bool caseSensitive) {
    return childOfKind(clip, name, caseSensitive, timeline::ObjectKind::Video);
}

text::FieldState* PlayerScriptHost::field(const FieldRef& ref) {
    if (timeline::Clip* c = find(ref.parent))
        for (auto& [depth, obj] : c->displayList())
            if (obj.serial == ref.serial)
                if (auto* f = obj.as<timeline::TextFieldObject>())
                    return &f->field;
    return nullptr;
}

std::vector<ClipId> PlayerScriptHost::children(ClipId clip) {
    std::vector<ClipId> out;
    if (timeline::Clip* c = find(clip))
        for (const auto& [depth, obj] : c->displayList())
            if (obj.clip && !obj.name.empty())
                out.push_back(obj.clip->id());
    return out;
}

std::string PlayerScriptHost::name(ClipId clip) {
    timeline::Clip* c = find(clip);
    return c ? c->name() : std::string();
}

void PlayerScriptHost::setName(ClipId clip, const std::string& name) {
    timeline::Clip* c = find(clip);
    if (c && c->displayObject())
        c->displayObject()->name = name;
}

double PlayerScriptHost::property(ClipId clip, ClipProperty p) {
    timeline::Clip* c = find(clip);
    if (!c)
        return 0;
    if (p == ClipProperty::Quality || p == ClipProperty::HighQuality)
        return qualityProperty(c->world().quality, p);
    const timeline::DisplayObject* o = c->displayObject();
    switch (p) {
    case ClipProperty::X:
    case ClipProperty::Y:
    case ClipProperty::XScale:
    case ClipProperty::YScale:
    case ClipProperty::Rotation:
    case ClipProperty::Alpha:
    case ClipProperty::Visible:
        return objectProperty(o, p);
    case ClipProperty::CurrentFrame:
        return c->currentFrame() + 1;
    case ClipProperty::TotalFrames:
    case ClipProperty::FramesLoaded:
        return c->totalFrames();
    case ClipProperty::Width:
    case ClipProperty::Height: {
        const Affine toParent = o ? Affine::of(o->matrix) : Affine{};
        const Box b = boundsIn(*c, toParent);
        if (b.empty())
            return 0;
        return p == ClipProperty::Width ? b.xMax - b.xMin : b.yMax - b.yMin;
    }
    case ClipProperty::FocusRect:
        return m_focusRect ? 1 : 0;
    case ClipProperty::SoundBufTime:
        return 5;
    case ClipProperty::XMouse:
    case ClipProperty::YMouse: {
        double x = c->world().input.mouseX, y = c->world().input.mouseY;
        globalOf(*c).inverse().apply(x, y);
        return p == ClipProperty::XMouse ? x : y;
    }
    default:
        return 0;
    }
}

void PlayerScriptHost::setProperty(ClipId clip, ClipProperty p, double value) {
    timeline::Clip* c = find(clip);
    if (c && (p == ClipProperty::Quality || p == ClipProperty::HighQuality) && std::isfinite(value)) {
        // Global to the player, whichever clip it is set through.
        const timeline::Quality q = qualityFromProperty(value, p);
        if (c->world().quality != q) {
            c->world().quality = q;
            ++c->world().generation;
        }
        return;
    }
    if (c && p == ClipProperty::FocusRect && std::isfinite(value)) {
        // Kept for the whole player, whichever clip it is set through (as _quality).
        if (m_focusRect != (value != 0)) {
            m_focusRect = value != 0;
            ++c->world().generation;
        }
        return;
    }
    timeline::DisplayObject* o = c ? c->displayObject() : nullptr;
    if (!o || !std::isfinite(value))
        return;
    value = std::clamp(value, -1e9, 1e9);
    if (p == ClipProperty::Width || p == ClipProperty::Height) {
        format::Matrix& m = o->matrix;
        const double now = property(clip, p);
        if (now <= 0)
            return;
        const double k = value / now;
        if (p == ClipProperty::Width) {
            m.a *= k;
            m.b *= k;
        } else {
            m.c *= k;
            m.d *= k;
        }
        o->scriptTransformed = true;
        ++c->world().generation;
        return;
    }
    if (setObjectProperty(*o, p, value))
        ++c->world().generation;
}

double PlayerScriptHost::objectProperty(const timeline::DisplayObject* o, ClipProperty p) {
    const format::Matrix m = o ? o->matrix : format::Matrix{};
    switch (p) {
    case ClipProperty::X:
        return m.tx / kTwips;
    case ClipProperty::Y:
        return m.ty / kTwips;
    case ClipProperty::XScale:
        return std::hypot(m.a, m.b) * 100;
    case ClipProperty::YScale:
        return std::hypot(m.c, m.d) * 100;
    case ClipProperty::Rotation:
        return std::atan2(m.b, m.a) * 180 / kPi;
    case ClipProperty::Alpha:
        return o ? o->colorTransform.aMul / 256.0 * 100 : 100;
    case ClipProperty::Visible:
        return !o || o->visible ? 1 : 0;
    default:
        return 0;
    }
}

// The placement properties every display object has; false for the others.
bool PlayerScriptHost::setObjectProperty(timeline::DisplayObject& obj, ClipProperty p, double value) {
    timeline::DisplayObject* o = &obj;
    format::Matrix& m = o->matrix;
    const double xs = std::hypot(m.a, m.b);
    const double ys = std::hypot(m.c, m.d);
    const double angle = std::atan2(m.b, m.a);
    const double angleY = std::atan2(-m.c, m.d);
    switch (p) {
    case ClipProperty::X:
        m.tx = value * kTwips;
        break;
    case ClipProperty::Y:
        m.ty = value * kTwips;
        break;
    case ClipProperty::XScale:
        m.a = value / 100 * std::cos(angle);
        m.b = value / 100 * std::sin(angle);
        break;
    case ClipProperty::YScale:
        m.c = -value / 100 * std::sin(angleY);
        m.d = value / 100 * std::cos(angleY);
        break;
    case ClipProperty::Rotation: {
        const double r = std::fmod(value, 360.0) * kPi / 180;
        m.a = xs * std::cos(r);
        m.b = xs * std::sin(r);
        m.c = -ys * std::sin(r);
        m.d = ys * std::cos(r);
        break;
    }
    case ClipProperty::Alpha:
        o->colorTransform.aMul = static_cast<std::int16_t>(std::clamp(value / 100 * 256, -32768.0, 32767.0));
        break;
    case ClipProperty::Visible:
        o->visible = value != 0;
        break;
    default:
        return false;
    }
    // From now on the timeline no longer moves or tints it, as in the player.
    if (p != ClipProperty::Visible)
        o->scriptTransformed = true;
    return true;
}

bool PlayerScriptHost::colorTransform(ClipId clip, ClipColor& out) {
    timeline::Clip* c = find(clip);
    const timeline::DisplayObject* o = c ? c->displayObject() : nullptr;
    if (!o)
        return false;
    const format::ColorTransform& t = o->colorTransform;
    out = ClipColor{{t.rMul, t.gMul, t.bMul, t.aMul}, {t.rAdd, t.gAdd, t.bAdd, t.aAdd}};
    return true;
}

void PlayerScriptHost::setColorTransform(ClipId clip, const ClipColor& in) {
    timeline::Clip* c = find(clip);
    timeline::DisplayObject* o = c ? c->displayObject() : nullptr;
    if (!o)
        return;
    o->colorTransform = format::ColorTransform{in.mul[0], in.mul[1], in.mul[2], in.mul[3],
                                               in.add[0], in.add[1], in.add[2], in.add[3]};
    o->scriptTransformed = true;
    ++c->world().generation;
}

namespace {

std::string percentDecoded(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hexDigit(s[i + 1]) >= 0 && hexDigit(s[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(s[i + 1]) * 16 + hexDigit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

} // namespace

// Only plain relative names inside the movie's folder: no scheme, no absolute path,
// no "..", no links out of the folder. A query string is ignored, as a local file has none.
bool PlayerScriptHost::localFilePath(const std::string& url, std::string& path) {
    namespace fs = std::filesystem;
    // The URL is %-escaped; an escaped NUL ends the name.
    std::string rel = percentDecoded(url.substr(0, url.find('?')));
    rel = rel.substr(0, rel.find('\0'));
    if (rel.empty() || rel.find(':') != std::string::npos || rel.front() == '/' || rel.front() == '\\')
        return false;
    for (const fs::path& part : fs::path(rel))
        if (part == "..")
            return false;
    std::string movie = m_url.starts_with("file://") ? m_url.substr(7) : m_url;
    const std::string decoded = percentDecoded(movie);
    std::error_code ec;
    const fs::path folder = fs::weakly_canonical(fs::absolute(fs::path(decoded), ec).parent_path(), ec);
    if (ec || folder.empty())
        return false;
    const fs::path file = fs::weakly_canonical(folder / rel, ec);
    if (ec || !fs::is_regular_file(file, ec))
        return false;
    const auto [end, inside] = std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
    if (end != folder.end())
        return false;
    path = file.string();
    return true;
}

bool PlayerScriptHost::readLocalFile(const std::string& url, std::string& out) {
    constexpr std::uintmax_t kMaxBytes = 16u << 20;
    std::string path;
    if (!localFilePath(url, path))
        return false;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxBytes)
        return false;
    std::ifstream in(path, std::ios::binary);
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return static_cast<bool>(in) || in.eof();
}

bool PlayerScriptHost::stageSize(double& width, double& height) {
    if (!m_world)
        return false;
    const format::Rect& r = m_world->movie.stageRect();
    width = (r.xMax - r.xMin) / kTwips;
    height = (r.yMax - r.yMin) / kTwips;
    return true;
}

// fscommand, and loadMovie/unloadMovie into clips (done after the tick, pictures only):
// nothing here opens pages or touches the network.
void PlayerScriptHost::getUrl(const std::string& url, const std::string& target, int) {
    constexpr std::string_view kPrefix = "fscommand:";
    if (url.size() < kPrefix.size() || asciiLower(url.substr(0, kPrefix.size())) != kPrefix) {
        // "_levelN" loads into that level (loadMovieNum), which need not exist yet.
        int level = 0;
        if (m_vm && Interpreter::levelNumber(target, level)) {
            queueLevelLoad(*m_vm, level, url, nullptr);
            return;
        }
        Object* o = m_vm && !target.empty() ? m_vm->resolveTarget(Value(target), m_root) : nullptr;
        if (o && o->kind() == Object::Kind::Clip)
            queueClipLoad(*m_vm, static_cast<ClipObject*>(o)->clip, url, nullptr);
        return;
    }
    if (m_fsCommand)
        m_fsCommand(url.substr(kPrefix.size()), target);
}

void PlayerScriptHost::draw(ClipId clip, const DrawOp& op) {
    timeline::Clip* c = find(clip);
    if (!c)
        return;
    m_pens[clip].apply(c->graphics(), op);
    ++c->world().generation;
}

void PlayerScriptHost::setMask(ClipId clip, ClipId mask) {
    timeline::Clip* m = mask != kNoClip ? find(mask) : nullptr;
    maskBy(clip, m ? m->displayObject() : nullptr);
}

void PlayerScriptHost::setFieldMask(ClipId clip, const FieldRef& mask) {
    maskBy(clip, fieldObject(mask));
}

void PlayerScriptHost::maskBy(ClipId clip, const timeline::DisplayObject* mo) {
    timeline::Clip* c = find(clip);
    timeline::DisplayObject* o = c ? c->displayObject() : nullptr;
    if (!o)
        return;
    o->scriptMask = mo && mo != o ? mo->serial : 0;
    c->world().hasScriptMasks = c->world().hasScriptMasks || o->scriptMask != 0;
    ++c->world().generation;
}

void PlayerScriptHost::play(ClipId clip) {
    if (timeline::Clip* c = find(clip))
        c->play();
}

void PlayerScriptHost::stop(ClipId clip) {
    if (timeline::Clip* c = find(clip))
        c->stop();
}

void PlayerScriptHost::gotoFrame(ClipId clip, int frame, bool play) {
    if (timeline::Clip* c = find(clip)) {
        c->gotoFrame(frame - 1);
        c->setPlaying(play);
    }
}

bool PlayerScriptHost::gotoLabel(ClipId clip, std::string_view label, bool play) {
    timeline::Clip* c = find(clip);
    if (!c || !c->gotoLabel(label))
        return false;
    c->setPlaying(play);
    return true;
}

void PlayerScriptHost::nextFrame(ClipId clip) {
    if (timeline::Clip* c = find(clip))
        c->nextFrame();
}

void PlayerScriptHost::prevFrame(ClipId clip) {
    if (timeline::Clip* c = find(clip))
        c->prevFrame();
}

namespace {

// A script depth as a timeline depth, or false when it cannot be one.
bool timelineDepth(int scriptDepth, int& out) {
    const long long d = static_cast<long long>(scriptDepth) + kDepthOffset;
    if (d < std::numeric_limits<int>::min() || d > std::numeric_limits<int>::max())
        return false;
    out = static_cast<int>(d);
    return true;
}

ClipId instanceOf(const timeline::DisplayObject* obj) {
    return obj && obj->clip ? obj->clip->id() : kNoClip;
}

} // namespace

ClipId PlayerScriptHost::duplicate(ClipId clip, const std::string& newName, int depth) {
    timeline::Clip* c = find(clip);
    int to;
    if (!c || !c->parent() || !c->displayObject() || !timelineDepth(depth, to))
        return kNoClip;
    const ClipId made = instanceOf(c->parent()->duplicate(c->displayObject()->depth, to, newName));
    // The copy takes the drawing too, pen, open fill and all: drawing goes on from there.
    timeline::Clip* copy = made != kNoClip ? find(made) : nullptr;
    if (copy && !c->graphics().empty()) {
        copy->graphics() = c->graphics();
        copy->graphics().changed();
        if (auto pen = m_pens.find(clip); pen != m_pens.end())
            m_pens[made] = pen->second;
    }
    return made;
}

const std::unordered_map<std::uint16_t, std::string>& PlayerScriptHost::linkageOf(const movie::Movie& movie) {
    auto [it, fresh] = m_linkage.try_emplace(&movie);
    if (fresh)
        for (const auto& [name, id] : movie.exports())
            it->second.emplace(id, name);
    return it->second;
}

int PlayerScriptHost::exportedId(const movie::Movie& movie, std::string_view linkageName) const {
    const auto& exports = movie.exports();
    auto it = exports.find(std::string(linkageName));
    if (it == exports.end()) // linkage names were matched without case before SWF 7
        it = std::find_if(exports.begin(), exports.end(), [&](const auto& e) {
            return m_vm && !m_vm->caseSensitive() && timeline::sameName(e.first, linkageName, false);
        });
    return it == exports.end() ? -1 : it->second;
}

ClipId PlayerScriptHost::attach(ClipId parent, std::string_view linkageName, const std::string& newName,
                                int depth) {
    timeline::Clip* p = find(parent);
    int to;
    const int id = p ? exportedId(p->movie(), linkageName) : -1; // from the clip's own movie's library
    if (!p || !timelineDepth(depth, to) || id < 0)
        return kNoClip;
    return instanceOf(p->placeScripted(static_cast<std::uint16_t>(id), to, newName));
}

// The character behind every bitmap a script shows: it has no image of its own, the
// object's pixels are what is drawn.
timeline::DisplayObject* PlayerScriptHost::placeBitmap(timeline::Clip& clip, int timelineDepth,
                                                       std::shared_ptr<const timeline::Pixels> pixels,
                                                       bool smoothing) {
    static const format::BitmapCharacter kScriptBitmap;
    timeline::PlaceState state;
    state.depth = timelineDepth;
    timeline::DisplayObject* o = clip.world().createByScript(clip, state, &kScriptBitmap);
    auto* bitmap = o ? o->as<timeline::BitmapObject>() : nullptr;
    if (!bitmap)
        return nullptr;
    bitmap->pixels = std::move(pixels);
    bitmap->smoothing = smoothing;
    ++clip.world().generation;
    return o;
}

bool PlayerScriptHost::attachBitmap(ClipId clip, std::shared_ptr<const timeline::Pixels> pixels, int depth,
                                    bool smoothing) {
    timeline::Clip* p = find(clip);
    int to;
    return p && pixels && timelineDepth(depth, to) && placeBitmap(*p, to, std::move(pixels), smoothing);
}

namespace {

// A loaded picture sits under every depth a script can use, so children made after the load
// cover it.
constexpr int kLoadedContentDepth = 1;
// Bounds on what scripts may load: distinct movie files, their decompressed bodies together,
// movies loaded inside movies loaded inside ..., live levels above 0 and level numbers.
constexpr std::size_t kMaxLoadedMovies = 64;
constexpr std::size_t kMaxLoadedBytes = std::size_t(256) << 20;
constexpr int kMaxLoadNesting = 8;
constexpr std::size_t kMaxLevels = 64;
constexpr int kMaxLevelNumber = 16000;

bool isMovieFile(const std::string& bytes) {
    return bytes.size() >= 8 && (bytes[0] == 'F' || bytes[0] == 'C' || bytes[0] == 'Z') && bytes[1] == 'W' &&
           bytes[2] == 'S';
}

// How many loaded movies hold `clip`: the clips up its parents made of a loaded movie's root.
int loadNesting(const timeline::Clip& clip) {
    int n = 0;
    for (const timeline::Clip* c = &clip; c; c = c->parent())
        if (const timeline::DisplayObject* o = c->displayObject(); o && o->character)
            n += clip.world().movieRootedAt(*o->character) != nullptr;
    return n;
}

} // namespace

// ActionScript 3 movies are refused (this interpreter runs only AVM1 code), as are files past
// the bounds above.
const timeline::World::LoadedMovie* PlayerScriptHost::adoptMovieFile(const std::string& url,
                                                                    const std::string& bytes) {
    std::string path;
    if (!m_world || !localFilePath(url, path))
        return nullptr;
    if (const auto* known = m_world->loadedMovie(path))
        return known;
    if (m_world->loadedMovies.size() >= kMaxLoadedMovies)
        return nullptr;
    std::string error;
    std::shared_ptr<const movie::Movie> movie =
        movie::Movie::fromBytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), error);
    if (!movie || movie->isActionScript3() || movie->body().size() > kMaxLoadedBytes - m_world->loadedBytes)
        return nullptr;
    return &m_world->addLoadedMovie(path, std::move(movie));
}

// A JPEG, PNG or GIF file's pixels; null when it is none or no decoder is set.
std::shared_ptr<timeline::Pixels> PlayerScriptHost::decodePicture(const std::string& file) const {
    if (!m_pictures)
        return nullptr;
    return m_pictures->decodeImage(std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
}

// A load gives a fresh clip in the target's place: the same name, depth, placement and clip
// events, none of the old content or script properties. A movie's root timeline plays in it,
// a picture shows under its children. A level's root reloads the level.
ClipId PlayerScriptHost::loadIntoClip(ClipId clip, const std::string& url, long long& bytes) {
    timeline::Clip* c = find(clip);
    timeline::Clip* parent = c ? c->parent() : nullptr;
    if (c && !parent)
        return loadIntoLevel(c->level(), url, bytes);
    if (!parent || !c->displayObject())
        return kNoClip;
    std::string file;
    std::shared_ptr<timeline::Pixels> pixels;
    const timeline::World::LoadedMovie* movie = nullptr;
    if (!url.empty()) {
        if (!readLocalFile(url, file))
            return kNoClip;
        if (isMovieFile(file)) {
            if (loadNesting(*parent) >= kMaxLoadNesting || !(movie = adoptMovieFile(url, file)))
                return kNoClip;
        } else {
            pixels = decodePicture(file);
            if (!pixels)
                return kNoClip;
        }
    }
    const timeline::PlaceState place = *c->displayObject();
    const format::Character* content = movie ? movie->root.get() : &parent->world().emptySprite;
    timeline::DisplayObject* o = parent->world().createByScript(*parent, place, content);
    if (!o || !o->clip)
        return kNoClip;
    const bool picture = pixels != nullptr;
    if (picture && !placeBitmap(*o->clip, kLoadedContentDepth, std::move(pixels), false))
        return kNoClip;
    const ClipId fresh = instanceOf(o);
    if (m_vm)
        m_vm->clipReplaced(clip, fresh);
    // A movie reports the length its header declares, as Flash did; a picture its file size.
    bytes = movie ? static_cast<long long>(movie->movie->declaredFileLength()) : static_cast<long long>(file.size());
    if (picture || movie)
        m_loadedBytes[fresh] = static_cast<double>(bytes);
    ++parent->world().generation;
    return fresh;
}

// Levels: a movie (or picture) replaces what the level showed; the old level's clips go
// as removed clips do. Level 0 takes a movie only, and then the whole player changes over
// at its next frame; unloading level 0 empties the stage.
ClipId PlayerScriptHost::loadIntoLevel(int n, const std::string& url, long long& bytes) {
    if (!m_world || n < 0 || n > kMaxLevelNumber)
        return kNoClip;
    std::string file;
    std::shared_ptr<timeline::Pixels> pixels;
    const timeline::World::LoadedMovie* movie = nullptr;
    if (!url.empty()) {
        if (!readLocalFile(url, file))
            return kNoClip;
        if (isMovieFile(file))
            movie = adoptMovieFile(url, file);
        else if (n > 0)
            pixels = decodePicture(file);
        if (!movie && !pixels)
            return kNoClip;
    }
    if (n == 0) {
        timeline::Clip* root = m_world->root;
        if (!root)
            return kNoClip;
        if (movie) {
            m_world->replacement = movie->movie;
            m_url = "file://" + movie->file;
        } else {
            // Nothing left to show: every object goes and the timeline stops.
            std::vector<int> depths;
            for (const auto& [depth, obj] : root->displayList())
                depths.push_back(depth);
            for (int depth : depths)
                m_world->remove(*root, depth);
            root->graphics().clear();
            root->stop();
        }
        bytes = movie ? static_cast<long long>(movie->movie->declaredFileLength()) : 0;
        return root->id();
    }
    // The old level's clips are released here; their scripts hear of it as of destroyed clips.
    m_world->levels.erase(n);
    if (url.empty())
        return kNoClip;
    if (m_world->levels.size() >= kMaxLevels)
        return kNoClip;
    const format::Timeline& timeline = movie ? movie->root->timeline : m_world->emptySprite.timeline;
    auto level = std::make_shared<timeline::Clip>(*m_world, timeline, nullptr, nullptr, 0,
                                                  movie ? movie->movie.get() : &m_world->movie, n);
    level->enterFirstFrame();
    if (pixels && !placeBitmap(*level, kLoadedContentDepth, std::move(pixels), false))
        return kNoClip;
    m_world->levels[n] = level;
    bytes = movie ? static_cast<long long>(movie->movie->declaredFileLength()) : static_cast<long long>(file.size());
    m_loadedBytes[level->id()] = static_cast<double>(bytes);
    ++m_world->generation;
    return level->id();
}

ClipId PlayerScriptHost::level(int n) {
    const timeline::Clip* c = m_world ? m_world->level(n) : nullptr;
    return c ? c->id() : kNoClip;
}

int PlayerScriptHost::swfVersion(ClipId clip) {
    const timeline::Clip* c = find(clip);
    return c ? c->movie().version() : -1;
}

void PlayerScriptHost::runClipEvent(ClipId clip, std::uint32_t event) {
    timeline::Clip* c = find(clip);
    const timeline::DisplayObject* owner = c ? c->displayObject() : nullptr;
    if (!owner || !m_vm)
        return;
    for (const auto& rec : std::vector(owner->clipActions))
        if ((rec.events & event) && c->isOnStage())
            runAsMovie(*c, [&] { m_vm->run(rec.actions, clip); });
}

int PlayerScriptHost::levelOf(ClipId clip) {
    const timeline::Clip* c = find(clip);
    return c ? c->level() : 0;
}

// What Flash reported: a loaded file's size, nothing for clips a script made empty, and the
// movie's declared length for everything the movie itself holds.
bool PlayerScriptHost::clipBytes(ClipId clip, double& loaded, double& total) {
    timeline::Clip* c = find(clip);
    if (!c)
        return false;
    auto it = m_loadedBytes.find(clip);
    if (it != m_loadedBytes.end())
        loaded = it->second;
    else if (c->displayObject() && c->displayObject()->character == &c->world().emptySprite)
        loaded = 0;
    else
        loaded = c->movie().declaredFileLength();
    total = loaded;
    return true;
}

timeline::DisplayObject* PlayerScriptHost::displayObject(ClipId clip) {
    timeline::Clip* c = find(clip);
    return c ? c->displayObject() : nullptr;
}

// A script's matrix holds against the timeline's later moves, like _x and friends.
void PlayerScriptHost::displayChanged(ClipId clip, bool placement) {
    if (timeline::Clip* c = find(clip); c && c->displayObject()) {
        c->displayObject()->scriptTransformed |= placement;
        ++c->world().generation;
    }
}

void PlayerScriptHost::pixelsChanged() {
    if (m_world)
        ++m_world->generation;
}

std::shared_ptr<timeline::Pixels> PlayerScriptHost::exportedBitmap(std::string_view linkage, bool& transparent) {
    const int id = m_world ? exportedId(m_world->movie, linkage) : -1;
    timeline::Clip* root = find(m_root);
    const format::Character* c = root && id >= 0 ? m_world->movie.character(static_cast<std::uint16_t>(id)) : nullptr;
    if (!c || !m_pictures)
        return nullptr;
    return m_pictures->decodeBitmap(*root, *c, transparent);
}

bool PlayerScriptHost::drawClip(timeline::Pixels& target, ClipId clip, const double (&matrix)[6],
                                const ClipColor* tint, const ClipRect* clipRect, bool smoothing) {
    const timeline::Clip* c = find(clip);
    if (!c || !m_pictures)
        return false;
    format::ColorTransform cx;
    if (tint)
        cx = format::ColorTransform{tint->mul[0], tint->mul[1], tint->mul[2], tint->mul[3],
                                    tint->add[0], tint->add[1], tint->add[2], tint->add[3]};
    double area[4] = {0, 0, double(target.width), double(target.height)};
    if (clipRect) {
        area[0] = std::max(area[0], clipRect->xMin);
        area[1] = std::max(area[1], clipRect->yMin);
        area[2] = std::min(area[2], clipRect->xMax);
        area[3] = std::min(area[3], clipRect->yMax);
    }
    if (area[2] <= area[0] || area[3] <= area[1])
        return false;
    return m_pictures->drawClip(*c, target, matrix, tint ? &cx : nullptr, area, smoothing);
}

ClipId PlayerScriptHost::createEmpty(ClipId parent, const std::string& newName, int depth) {
    timeline::Clip* p = find(parent);
    int to;
    if (!p || !timelineDepth(depth, to))
        return kNoClip;
    return instanceOf(p->createEmptyClip(to, newName));
}

FieldRef PlayerScriptHost::createField(ClipId parent, const std::string& name, int depth, double x, double y,
                                       double width, double height) {
    timeline::Clip* p = find(parent);
    int to;
    // A movie making fields every frame forever stops getting them at some point.
    if (!p || !m_world || !timelineDepth(depth, to) || m_scriptFields.size() >= 100000)
        return {};
    const auto twips = [](double px) {
        return std::isfinite(px) ? std::int32_t(std::clamp(std::trunc(px) * kTwips, -1e9, 1e9)) : 0;
    };
    auto def = std::make_unique<format::EditTextCharacter>();
    def->bounds = {0, std::max(0, twips(width)), 0, std::max(0, twips(height))};
    def->fontHeight = 240; // Times New Roman 12, black, dynamic: the field default
    def->readOnly = true;
    timeline::PlaceState state;
    state.depth = to;
    state.name = name;
    state.matrix.tx = twips(x);
    state.matrix.ty = twips(y);
    const timeline::DisplayObject* obj = m_world->createByScript(*p, state, def.get());
    if (!obj)
        return {};
    m_scriptFields.push_back(std::move(def));
    return {parent, obj->serial};
}

bool PlayerScriptHost::remove(ClipId clip) {
    timeline::Clip* c = find(clip);
    if (!c || !c->parent() || !c->displayObject())
        return false;
    // Only instances at script depths can be removed by script.
    const int d = c->displayObject()->depth;
    if (d < kDepthOffset)
        return false;
    if (m_vm)
        m_vm->callHandler(clip, "onUnload"); // while it is still there to see
    timeline::Clip* stillThere = find(clip);
    if (!stillThere || !stillThere->parent() || !stillThere->displayObject())
        return false;
    return stillThere->parent()->removeAt(stillThere->displayObject()->depth);
}

void PlayerScriptHost::swapDepths(ClipId clip, int depth) {
    timeline::Clip* c = find(clip);
    int to;
    if (c && !c->displayObject() && !c->parent()) {
        m_levelDepths[clip] = depth; // a level has no siblings: it only takes the number
        return;
    }
    if (c && c->parent() && c->displayObject() && timelineDepth(depth, to))
        c->parent()->swapDepths(c->displayObject()->depth, to);
}

// A level reports its number below the lowest timeline depth, -16384 for _level0 (measured).
int PlayerScriptHost::depth(ClipId clip) {
    timeline::Clip* c = find(clip);
    if (c && !c->displayObject() && !c->parent()) {
        const auto it = m_levelDepths.find(clip);
        return it != m_levelDepths.end() ? it->second : c->level() - kDepthOffset;
    }
    return c && c->displayObject() ? c->displayObject()->depth - kDepthOffset : 0;
}

ClipId PlayerScriptHost::clipAtDepth(ClipId parent, int depth) {
    timeline::Clip* p = find(parent);
    int d;
    if (!p || !timelineDepth(depth, d))
        return kNoClip;
    return instanceOf(p->objectAt(d));
}

int PlayerScriptHost::nextHighestDepth(ClipId clip) {
    timeline::Clip* c = find(clip);
    if (!c)
        return 0;
    int top = -1;
    for (const auto& [d, obj] : c->displayList())
        top = std::max(top, d - kDepthOffset);
    return top + 1;
}

ClipRect PlayerScriptHost::bounds(ClipId clip, ClipId targetSpace) {
    timeline::Clip* c = find(clip);
    timeline::Clip* space = find(targetSpace);
    if (!c || !space)
        return {};
    const Affine m = globalOf(*space).inverse() * globalOf(*c);
    const Box b = boundsIn(*c, m);
    if (b.empty()) // the player answered this for an empty clip
        return {6710886.35, 6710886.35, 6710886.35, 6710886.35};
    return {b.xMin, b.yMin, b.xMax, b.yMax};
}

bool PlayerScriptHost::hitTestPoint(ClipId clip, double x, double y, bool shapeFlag) {
    timeline::Clip* c = find(clip);
    if (!c)
        return false;
    if (shapeFlag) {
        // The point is in root space; test it in the clip's own, in twips.
        globalOf(*c).inverse().apply(x, y);
        return std::isfinite(x) && std::isfinite(y) &&
               timeline::clipContains(c->world(), *c, x * kTwips, y * kTwips);
    }
    const Box b = boundsIn(*c, globalOf(*c));
    return !b.empty() && x >= b.xMin && x <= b.xMax && y >= b.yMin && y <= b.yMax;
}

bool PlayerScriptHost::hitTestClip(ClipId clip, ClipId other) {
    timeline::Clip* a = find(clip);
    timeline::Clip* b = find(other);
    if (!a || !b)
        return false;
    const Box x = boundsIn(*a, globalOf(*a));
    const Box y = boundsIn(*b, globalOf(*b));
    return !x.empty() && !y.empty() && x.xMin <= y.xMax && y.xMin <= x.xMax && x.yMin <= y.yMax &&
           y.yMin <= x.yMax;
}

void PlayerScriptHost::localToGlobal(ClipId clip, double& x, double& y) {
    if (timeline::Clip* c = find(clip))
        globalOf(*c).apply(x, y);
}

void PlayerScriptHost::globalToLocal(ClipId clip, double& x, double& y) {
    if (timeline::Clip* c = find(clip))
        globalOf(*c).inverse().apply(x, y);
}

std::vector<std::span<const std::uint8_t>> PlayerScriptHost::frameActions(ClipId clip, int frame) {
    std::vector<std::span<const std::uint8_t>> out;
    timeline::Clip* c = find(clip);
    if (!c)
        return out;
    for (const format::TagRef& tag : c->timeline().frameTags(frame - 1))
        if (tag.code == static_cast<std::uint16_t>(format::TagCode::DoAction))
            out.push_back(c->movie().tagBody(tag));
    return out;
}

// ---- Input ------------------------------------------------------------------------------------

void PlayerScriptHost::callClipHandler(timeline::Clip& clip, std::string_view name) {
    if (!m_vm)
        return;
    prepare(clip);
    if (clip.isOnStage())
        m_vm->callHandler(clip.id(), name);
}

// A clip that scripts gave a mouse handler acts as a button unless disabled.
bool PlayerScriptHost::clipHandlesMouse(timeline::Clip& clip) {
    if (!m_vm || !m_vm->hasClipObject(clip.id()))
        return false;
    Object* o = m_vm->clipObject(clip.id());
    if (!o)
        return false;
    const Value enabled = m_vm->get(o, "enabled");
    if (!enabled.isUndefined() && !m_vm->toBoolean(enabled))
        return false;
    for (const char* name :
         {"onPress", "onRelease", "onReleaseOutside", "onRollOver", "onRollOut", "onDragOver", "onDragOut"})
        if (m_vm->isCallable(m_vm->get(o, name)))
            return true;
    return false;
}

bool PlayerScriptHost::showsHandCursor(timeline::Clip& clip) {
    return clipFlag(clip, "useHandCursor", true);
}

bool PlayerScriptHost::clipTracksAsMenu(timeline::Clip& clip) {
    return clipFlag(clip, "trackAsMenu", false);
}

bool PlayerScriptHost::clipFlag(timeline::Clip& clip, std::string_view name, bool unset) {
    Object* o = m_vm && m_vm->hasClipObject(clip.id()) ? m_vm->clipObject(clip.id()) : nullptr;
    if (!o)
        return unset;
    const Value v = m_vm->get(o, name);
    return v.isUndefined() ? unset : m_vm->toBoolean(v);
}

// Only a button some script reached has an object, and so handlers.
void PlayerScriptHost::callButtonHandler(timeline::Clip& parent, std::uint64_t serial, std::string_view name) {
    Object* o = m_vm ? m_vm->fieldObject(serial) : nullptr;
    if (!o)
        return;
    prepare(parent);
    if (parent.isOnStage())
        m_vm->callHandler(o, name);
}

void PlayerScriptHost::broadcast(Broadcast what, int wheelDelta) {
    if (!m_vm || !m_world)
        return;
    if (timeline::Clip* rootClip = find(m_root))
        prepare(*rootClip);
    const bool mouse = what != Broadcast::KeyDown && what != Broadcast::KeyUp;
    static const char* const kMessages[] = {"onMouseDown", "onMouseUp", "onMouseMove",
                                            "onMouseWheel", "onKeyDown", "onKeyUp"};
    const char* message = kMessages[static_cast<int>(what)];
    std::vector<Value> args;
    if (what == Broadcast::MouseWheel)
        args.push_back(double(wheelDelta));
    if (Object* source = m_vm->get(m_vm->global(), mouse ? "Mouse" : "Key").object())
        m_vm->broadcast(source, message, args);
    // Every clip's own mouse handlers hear the mouse too; key handlers need the focus.
    if (!mouse || what == Broadcast::MouseWheel)
        return;
    callOnEveryClip(message);
}

// Calls a handler on every clip that has a script object, parents first; clips that a
// handler removes are skipped.
void PlayerScriptHost::callOnEveryClip(std::string_view handler) {
    timeline::Clip* rootClip = find(m_root);
    if (!rootClip)
        return;
    std::vector<ClipId> ids;
    rootClip->forEachClip([&](timeline::Clip& c) {
        if (m_vm->hasClipObject(c.id()))
            ids.push_back(c.id());
    });
    for (ClipId id : ids)
        if (exists(id))
            m_vm->callHandler(id, handler);
}

void PlayerScriptHost::startDrag(ClipId clip, bool lockCenter, const ClipRect* constraint) {
    timeline::Clip* c = find(clip);
    if (!c || !c->parent() || !c->displayObject())
        return;
    input::InputState& s = c->world().input;
    input::DragState d;
    d.clip = clip;
    d.lockCenter = lockCenter;
    double mx = s.mouseX, my = s.mouseY;
    globalOf(*c->parent()).inverse().apply(mx, my);
    d.offsetX = c->displayObject()->matrix.tx / kTwips - mx;
    d.offsetY = c->displayObject()->matrix.ty / kTwips - my;
    if (constraint && std::isfinite(constraint->xMin) && std::isfinite(constraint->yMin) &&
        std::isfinite(constraint->xMax) && std::isfinite(constraint->yMax)) {
        d.constrained = true;
        d.left = constraint->xMin;
        d.top = constraint->yMin;
        d.right = constraint->xMax;
        d.bottom = constraint->yMax;
    }
    s.drag = d;
}

void PlayerScriptHost::stopDrag() {
    if (!m_world || !m_world->input.drag.clip)
        return;
    const ClipId dragged = m_world->input.drag.clip;
    m_world->input.drag = {};
    timeline::Clip* c = find(dragged);
    timeline::Clip* rootClip = find(m_root);
    if (!c || !rootClip)
        return;
    const input::InputState& s = m_world->input;
    timeline::Clip* under = timeline::findClipUnder(*m_world, *rootClip, s.mouseX * kTwips, s.mouseY * kTwips, c);
    m_dropTargets[dragged] = under ? under->targetPath() : std::string();
}

std::string PlayerScriptHost::dropTarget(ClipId clip) {
    auto it = m_dropTargets.find(clip);
    return it == m_dropTargets.end() ? std::string() : it->second;
}

input::InputState* PlayerScriptHost::inputState() {
    return m_world ? &m_world->input : nullptr;
}

int PlayerScriptHost::frameOfLabel(ClipId clip, std::string_view label) {
    timeline::Clip* c = find(clip);
    if (!c)
        return 0;
    const int f = c->timeline().findLabel(label);
    return f < 0 ? 0 : f + 1;
}

} // namespace swf::avm1
