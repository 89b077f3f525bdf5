#include "swf/avm2/Avm2Host.h"

#include "swf/Player.h"
#include "swf/avm2/HostState.h"
#include "swf/movie/Movie.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/World.h"

namespace swf::avm2 {

Avm2Host::Avm2Host(Player& player, std::function<void(const std::string&)> traceSink)
    : m_player(player), m_machine(std::make_unique<Machine>()),
      m_state(std::make_unique<HostState>(player, *m_machine)) {
    m_machine->traceSink = std::move(traceSink);
    installEventClasses(*m_state);
    installDisplayClasses(*m_state);
    installGraphicsClass(*m_state);
    installTimerClass(*m_state);
    installSoundClasses(*m_state);
    installSharedObjectClass(*m_state);
    installMouseClass(*m_state);
    m_player.setInputObserver([this](const input::InputEvent& e) { input(e); });
}

Avm2Host::~Avm2Host() {
    m_player.setInputObserver({});
}

void Avm2Host::setPictures(std::shared_ptr<timeline::PictureServices> pictures) {
    m_state->pictures = std::move(pictures);
}

void Avm2Host::setFileReader(std::function<bool(const std::string& url, std::string& out)> read) {
    m_state->readFile = std::move(read);
}

void Avm2Host::setMovieUrl(const std::string& url) {
    m_state->movieUrl = url;
}

void Avm2Host::setFullScreenRequest(std::function<void(bool)> request) {
    m_state->requestFullScreen = std::move(request);
}

void Avm2Host::displayStateChanged(bool fullScreen) {
    DisplayHandle* stage = m_state->stage;
    if (!stage || fullScreen == m_fullScreen)
        return;
    m_fullScreen = fullScreen;
    Machine& m = *m_machine;
    // Leaving is "normal" whoever asked; entering keeps the kind of full screen a script set.
    Value& state = stage->extras["displayState"];
    if (!fullScreen || !state.isString() || m.toString(state) == "normal")
        state = m.string(fullScreen ? "fullScreen" : "normal");
    const bool interactive = m.toString(state) == "fullScreenInteractive";
    ClassObject* cls = m.findClass("flash.events.FullScreenEvent");
    if (!cls)
        return;
    m.runAndReport([&] {
        auto* e = dynamic_cast<EventObject*>(makeEvent(*m_state, cls, "fullScreen", false));
        if (!e)
            return;
        e->fields["fullScreen"] = Value::boolean(fullScreen);
        e->fields["interactive"] = Value::boolean(interactive);
        m_state->dispatch(stage, Value::object(e));
    });
}

Object* Avm2Host::document() const {
    return m_state->document;
}

void Avm2Host::movieLoaded() {
    const movie::Movie* movie = m_player.movie();
    if (!movie)
        return;
    for (const auto& block : movie->abcBlocks()) {
        std::string error;
        if (!m_machine->loadAbc(movie->abcBytes(block), block.lazy, error))
            m_machine->trace("VerifyError: " + error);
    }
}

void Avm2Host::afterTick(double movieTimeMs) {
    Machine& m = *m_machine;
    m.timeMs = movieTimeMs;
    if (!m_player.root())
        return;
    if (!m_started) {
        m_started = true;
        ClassObject* docClass = nullptr;
        if (const movie::Movie* movie = m_player.movie())
            for (const auto& link : movie->symbolClasses())
                if (link.id == 0)
                    docClass = m.findClass(link.name);
        if (!docClass)
            docClass = m.findClass("flash.display.MovieClip");
        // The root is bound before the constructor runs, so the constructor can already
        // drive the timeline and reach the first frame's children.
        m_state->wrapRoot(docClass);
        runFrameScripts();
        return;
    }
    m_state->announceLoaded();
    m_state->serveLoads();
    for (const auto& task : m_state->frameTasks)
        task();
    m.runTimers();
    m_state->broadcast("enterFrame");
    m_state->sync();
    m_state->broadcast("frameConstructed");
    runFrameScripts();
    m_state->broadcast("exitFrame");
}

void Avm2Host::runFrameScripts() {
    // A script's goto runs the new frame's script in the same pass; a bounded number of
    // rounds keeps scripts that jump back and forth from spinning.
    for (int round = 0; round < 8; ++round) {
        bool ran = false;
        std::vector<std::pair<DisplayHandle*, Value>> due;
        timeline::Clip* root = m_player.root();
        if (!root)
            return;
        root->forEachClip([&](timeline::Clip& c) {
            auto it = m_state->wrappers.find(c.id());
            if (it == m_state->wrappers.end() || it->second->frameScripts.empty())
                return;
            DisplayHandle* h = it->second;
            int frame = c.currentFrame();
            if (frame == h->lastScriptFrame)
                return;
            h->lastScriptFrame = frame;
            auto script = h->frameScripts.find(frame);
            if (script != h->frameScripts.end())
                due.emplace_back(h, script->second);
        });
        for (auto& [h, fn] : due) {
            m_machine->callAndReport(fn, Value::object(h));
            ran = true;
        }
        if (!ran)
            return;
        m_state->sync();
    }
}

} // namespace swf::avm2
