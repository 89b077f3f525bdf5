#include "swf/Player.h"

#include "swf/audio/SoundControl.h"
#include "swf/InputRouter.h"
#include "swf/avm1/TimelineActions.h"
#include "swf/format/Sound.h"
#include "swf/io/ByteReader.h"
#include "swf/format/TagCode.h"
#include "swf/movie/Movie.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/World.h"

#include <filesystem>
#include <fstream>

namespace swf {

namespace {
constexpr double kDefaultFrameRate = 12.0;
}

Player::Player() : m_runner(std::make_unique<avm1::TimelineActions>()) {}

Player::~Player() {
    unload();
}

std::unique_ptr<movie::Movie> Player::prepare(const std::string& path, std::string& error,
                                             const std::function<bool(std::size_t)>& progress) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec)) {
        error = path + " is not a file";
        return nullptr;
    }
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        error = "cannot open " + path;
        return nullptr;
    }
    std::streamoff size = in.tellg();
    // An uncompressed movie can be at most the body cap plus its 8-byte header;
    // compressed ones are smaller still.
    if (size < 0 || static_cast<std::uint64_t>(size) > movie::kMaxBodySize + 8) {
        error = size < 0 ? "cannot read " + path : "file larger than the 512 MiB movie limit";
        return nullptr;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), size)) {
        error = "cannot read " + path;
        return nullptr;
    }
    return movie::Movie::fromBytes(std::move(bytes), error, progress);
}

bool Player::load(const std::string& path) {
    unload();
    auto loaded = prepare(path, m_error);
    if (!loaded)
        return false;
    adopt(std::move(loaded));
    return true;
}

bool Player::loadFromBytes(std::vector<std::uint8_t> bytes) {
    unload();
    auto loaded = movie::Movie::fromBytes(std::move(bytes), m_error);
    if (!loaded)
        return false;
    adopt(std::move(loaded));
    return true;
}

void Player::adopt(std::unique_ptr<movie::Movie> loaded) {
    adopt(std::shared_ptr<const movie::Movie>(std::move(loaded)));
}

void Player::adopt(std::shared_ptr<const movie::Movie> loaded) {
    unload();
    if (!loaded)
        return;
    m_error.clear();
    m_movie = std::move(loaded);
    m_world = std::make_unique<timeline::World>(*m_movie);
    m_world->events = m_runner.get();
    m_world->quality = m_quality;
    m_world->sound = m_sound;
    ++m_loadCount;
    m_root = std::make_shared<timeline::Clip>(*m_world, m_movie->root(), nullptr, nullptr, 0);
    m_root->setLoops(m_loop);
    m_world->root = m_root.get();
    m_initDone.clear();
    m_started = false;
    m_mouseSeen = false;
    m_runner->movieLoaded(m_movie->version());
    m_input = std::make_unique<InputRouter>(*m_world, *m_root, *m_runner);
}

void Player::unload() {
    if (!m_movie)
        return;
    // The runner forgets everything at once; no per-clip notices while tearing down.
    m_world->events = nullptr;
    m_world->dropRemoved();
    m_input.reset();
    m_world->levels.clear();
    m_root.reset();
    m_runner->movieUnloaded();
    m_world.reset();
    m_movie.reset();
    m_initDone.clear();
    m_started = false;
}

bool Player::isLoaded() const {
    return m_movie != nullptr;
}

void Player::setSoundControl(audio::SoundControl* sound) {
    m_sound = sound;
    if (m_world)
        m_world->sound = sound;
}

// The event sounds of a frame just entered start with it (before its actions, so a
// stopAllSounds in the same frame silences them).
// Sounds are known to the sound engine by the level-0 movie's ids: a loaded movie's event
// sounds are not played.
void Player::startFrameSounds(timeline::Clip& clip, int frame) {
    if (!m_sound || &clip.movie() != m_movie.get())
        return;
    for (const format::TagRef& tag : clip.timeline().frameTags(frame)) {
        const auto code = static_cast<format::TagCode>(tag.code);
        if (code != format::TagCode::StartSound && code != format::TagCode::StartSound2)
            continue;
        io::ByteReader r(m_movie->tagBody(tag));
        format::StartSound start;
        if (!format::parseStartSound(code, r, m_world->parse, start))
            continue;
        if (code == format::TagCode::StartSound2) {
            auto it = m_movie->exports().find(start.className);
            if (it == m_movie->exports().end())
                continue;
            start.soundId = it->second;
        }
        m_sound->startSound(start.soundId, start.info, clip.id());
    }
}

void Player::setActionRunner(std::unique_ptr<avm1::ActionRunner> runner) {
    if (!runner)
        runner = std::make_unique<avm1::TimelineActions>();
    if (m_movie)
        m_runner->movieUnloaded();
    m_runner = std::move(runner);
    if (m_world)
        m_world->events = m_runner.get();
    if (m_movie) {
        m_runner->movieLoaded(m_movie->version());
        m_input = std::make_unique<InputRouter>(*m_world, *m_root, *m_runner);
    }
}

// Runs what is pending, parents before children and lower depths first: the construct
// and initialize events of newly placed clips, init actions, then frame actions, then
// the load event of newly placed clips. Work
// queued while this runs (a script's goto) waits for the next pass. Clips are
// held by weak pointers: a script may remove any of them.
void Player::runPendingActions() {
    for (timeline::Clip* level : m_world->levelRoots()) {
        // A script may unload a level: hold it while its work runs.
        const auto hold = level->shared_from_this();
        runPendingActions(*level);
    }
}

void Player::runPendingActions(timeline::Clip& root) {
    struct Job {
        std::weak_ptr<timeline::Clip> clip;
        int frame;
        std::uint32_t events; // clip events to run instead of a frame
    };
    std::vector<Job> jobs;
    root.forEachClip([&](timeline::Clip& clip) {
        if (clip.loadEventPending())
            jobs.push_back({clip.weak_from_this(), -1, format::kClipConstruct | format::kClipInitialize});
        if (clip.pendingFrame() >= 0)
            jobs.push_back({clip.weak_from_this(), clip.pendingFrame(), 0});
        if (clip.loadEventPending())
            jobs.push_back({clip.weak_from_this(), -1, format::kClipLoad});
        clip.clearPending();
        clip.clearLoadEvent();
    });
    for (const Job& job : jobs) {
        auto clip = job.clip.lock();
        if (!clip || !clip->isOnStage())
            continue;
        if (job.events) {
            // construct, then initialize, then (in its own job) load: once per instance each
            for (std::uint32_t event : {format::kClipConstruct, format::kClipInitialize, format::kClipLoad}) {
                if (!(job.events & event))
                    continue;
                if (auto* owner = clip->displayObject())
                    for (const auto& rec : std::vector(owner->clipActions))
                        if (rec.events & event && clip->isOnStage()) {
                            m_runner->runClipEvent(*clip, event, rec.actions);
                            m_world->flushRemoved();
                        }
            }
            continue;
        }
        // A script moved this clip since; its goto left the new frame pending.
        if (clip->currentFrame() != job.frame)
            continue;
        startFrameSounds(*clip, job.frame);
        auto tags = clip->timeline().frameTags(job.frame);
        for (const format::TagRef& tag : tags) {
            if (tag.code != static_cast<std::uint16_t>(format::TagCode::DoInitAction))
                continue;
            auto body = clip->movie().tagBody(tag);
            if (body.size() < 2)
                continue;
            std::uint16_t spriteId = body[0] | (body[1] << 8);
            if (!m_initDone.emplace(&clip->movie(), spriteId).second)
                continue;
            m_runner->runInitActions(*clip, spriteId, body.subspan(2));
            m_world->flushRemoved();
        }
        for (const format::TagRef& tag : tags) {
            if (tag.code != static_cast<std::uint16_t>(format::TagCode::DoAction))
                continue;
            // Blocks of one frame run together even when an earlier one jumped away,
            // as actions queued at frame entry do; a removed clip runs nothing more.
            if (!clip->isOnStage())
                break;
            m_runner->runFrameActions(*clip, clip->movie().tagBody(tag));
            m_world->flushRemoved();
        }
    }
}

void Player::adoptReplacement() {
    auto next = std::move(m_world->replacement);
    const bool loop = m_loop;
    adopt(std::move(next));
    m_loop = loop;
}

void Player::tick() {
    if (m_movie && m_world->replacement)
        adoptReplacement();
    if (!m_movie)
        return;
    if (!m_started) {
        m_started = true;
        m_root->enterFirstFrame();
        runPendingActions();
        return;
    }
    runPendingActions();
    ++m_world->tick;
    // Levels loaded since the last tick show their first frame now.
    for (timeline::Clip* level : m_world->levelRoots())
        level->advance();
    m_world->flushRemoved();
    // Every clip with an enterFrame handler gets it once per tick, after the move.
    std::vector<std::weak_ptr<timeline::Clip>> entering;
    for (timeline::Clip* level : m_world->levelRoots())
        level->forEachClip([&](timeline::Clip& clip) {
            if (auto* owner = clip.displayObject(); owner && (owner->clipEvents & format::kClipEnterFrame))
                entering.push_back(clip.weak_from_this());
        });
    for (auto& weak : entering) {
        auto clip = weak.lock();
        if (!clip || !clip->isOnStage())
            continue;
        if (auto* owner = clip->displayObject())
            for (const auto& rec : std::vector(owner->clipActions))
                if (rec.events & format::kClipEnterFrame) {
                    m_runner->runClipEvent(*clip, format::kClipEnterFrame, rec.actions);
                    m_world->flushRemoved();
                }
    }
    runPendingActions();
    // Things moved under a still mouse: buttons that came or went roll over or out.
    if (m_input && m_mouseSeen) {
        m_input->refresh();
        m_world->flushRemoved();
    }
}

void Player::handleInput(const input::InputEvent& event) {
    if (!m_movie || !m_started || !m_input)
        return;
    if (event.kind == input::InputKind::MouseMove || event.kind == input::InputKind::MouseDown ||
        event.kind == input::InputKind::MouseUp)
        m_mouseSeen = true;
    m_input->handle(event);
    if (m_inputObserver)
        m_inputObserver(event);
    runPendingActions();
}

void Player::mouseMove(double x, double y) {
    handleInput(input::InputEvent::mouse(input::InputKind::MouseMove, x, y));
}

void Player::mouseDown(double x, double y, input::MouseButton button) {
    handleInput(input::InputEvent::mouse(input::InputKind::MouseDown, x, y, button));
}

void Player::mouseUp(double x, double y, input::MouseButton button) {
    handleInput(input::InputEvent::mouse(input::InputKind::MouseUp, x, y, button));
}

void Player::wheel(int lines) {
    input::InputEvent e;
    e.kind = input::InputKind::Wheel;
    e.wheelLines = lines;
    handleInput(e);
}

void Player::keyDown(int keyCode, int charCode, std::uint8_t modifiers) {
    handleInput(input::InputEvent::key(input::InputKind::KeyDown, keyCode, charCode, modifiers));
}

void Player::keyUp(int keyCode, int charCode) {
    handleInput(input::InputEvent::key(input::InputKind::KeyUp, keyCode, charCode));
}

void Player::typeText(const std::string& utf8) {
    input::InputEvent e;
    e.kind = input::InputKind::Text;
    e.text = utf8;
    handleInput(e);
}

void Player::focusIn() {
    input::InputEvent e;
    e.kind = input::InputKind::FocusIn;
    handleInput(e);
}

void Player::focusOut() {
    input::InputEvent e;
    e.kind = input::InputKind::FocusOut;
    handleInput(e);
}

void Player::setClipboard(const std::string& utf8) {
    input::InputEvent e;
    e.kind = input::InputKind::Clipboard;
    e.text = utf8;
    handleInput(e);
}

const input::InputState& Player::inputState() const {
    static const input::InputState kNone;
    return m_world ? m_world->input : kNone;
}

int Player::totalFrames() const {
    return m_root ? m_root->totalFrames() : 0;
}

int Player::currentFrame() const {
    return m_root ? m_root->currentFrame() : 0;
}

void Player::gotoFrame(int frame) {
    if (m_root) {
        m_root->gotoFrame(frame);
        m_world->flushRemoved();
    }
}

void Player::play() {
    if (m_root)
        m_root->play();
}

void Player::stop() {
    if (m_root)
        m_root->stop();
}

bool Player::isPlaying() const {
    return m_root && m_root->isPlaying();
}

void Player::setPlaying(bool playing) {
    if (m_root)
        m_root->setPlaying(playing);
}

void Player::back() {
    if (m_root) {
        m_root->prevFrame();
        m_world->flushRemoved();
    }
}

void Player::forward() {
    if (m_root) {
        m_root->nextFrame();
        m_world->flushRemoved();
    }
}

void Player::setLoop(bool loop) {
    m_loop = loop;
    if (m_root)
        m_root->setLoops(loop);
}

double Player::frameRate() const {
    if (!m_movie || m_movie->headerFrameRate() <= 0.0)
        return kDefaultFrameRate;
    return m_movie->headerFrameRate();
}

timeline::Quality Player::quality() const {
    return m_world ? m_world->quality : m_quality;
}

void Player::setQuality(timeline::Quality quality) {
    m_quality = quality;
    if (m_world && m_world->quality != quality) {
        m_world->quality = quality;
        ++m_world->generation;
    }
}

format::Rect Player::stageRect() const {
    return m_movie ? m_movie->stageRect() : format::Rect{};
}

format::Rgba Player::backgroundColor() const {
    if (m_movie && !m_movie->hasBackgroundColor() && m_world)
        for (const auto& loaded : m_world->loadedMovies)
            if (loaded.movie->hasBackgroundColor())
                return loaded.movie->backgroundColor();
    return m_movie ? m_movie->backgroundColor() : format::Rgba{255, 255, 255, 255};
}

std::vector<timeline::Clip*> Player::levelRoots() const {
    return m_world ? m_world->levelRoots() : std::vector<timeline::Clip*>{};
}

std::uint64_t Player::displayGeneration() const {
    return m_world ? m_world->generation : 0;
}

} // namespace swf
