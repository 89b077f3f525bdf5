#include "swf/PlayerSession.h"

#include "swf/audio/AudioEngine.h"
#include "swf/avm1/PlayerScriptHost.h"
#include "swf/avm1/Value.h"
#include "swf/avm2/Avm2Host.h"
#include "swf/movie/Movie.h"
#include "swf/render/ScriptPictures.h"
#include "swf/video/VideoEngine.h"

#include <utility>

namespace swf {

PlayerSession::PlayerSession(SessionOptions options)
    : m_audio(std::make_unique<audio::AudioEngine>(m_player)), m_video(std::make_unique<video::VideoEngine>(m_player)) {
    m_player.setQuality(options.quality);
    m_dateOrigin = options.dateOrigin;
    if (!options.scripts)
        return;
    auto host = std::make_unique<avm1::PlayerScriptHost>();
    m_scripts = host.get();
    m_traceSink = options.traceSink;
    if (options.traceSink)
        m_scripts->setTraceSink(std::move(options.traceSink));
    m_fsCommandSink = [this, sink = std::move(options.fsCommandSink)](const std::string& command,
                                                                      const std::string& args) {
        if (avm1::asciiLower(command) == "quit")
            m_quitRequested = true;
        if (sink)
            sink(command, args);
    };
    m_scripts->setFsCommandSink(m_fsCommandSink);
    m_scripts->setDateOrigin(options.dateOrigin);
    m_scripts->setVideoControl(m_video.get());
    m_scripts->setPictures(std::make_shared<render::ScriptPictures>());
    m_scripts->setSharedObjectDirectory(options.sharedObjectDirectory);
    m_player.setActionRunner(std::move(host));
}

PlayerSession::~PlayerSession() = default;

void PlayerSession::movieOpening(const std::string& url) {
    m_url = url;
    m_ticks = 0;
    m_quitRequested = false;
    m_as3.reset();
    if (!m_scripts)
        return;
    m_scripts->setUrl(url);
    m_scripts->setTime(0);
}

bool PlayerSession::load(const std::string& path, const std::string& url) {
    movieOpening(!url.empty() ? url : "file://" + path);
    return movieLoaded(m_player.load(path));
}

bool PlayerSession::movieLoaded(bool ok) {
    if (ok && m_scripts && m_player.movie() && m_player.movie()->isActionScript3()) {
        m_as3 = std::make_unique<avm2::Avm2Host>(m_player, m_traceSink);
        m_as3->machine().dateOriginMs = m_dateOrigin;
        m_as3->machine().watch = m_watch;
        // Stage.displayState uses the host's full screen, as fscommand("fullscreen") does.
        m_as3->setFullScreenRequest([this](bool full) {
            if (m_fsCommandSink)
                m_fsCommandSink("fullscreen", full ? "true" : "false");
        });
        m_as3->setPictures(std::make_shared<render::ScriptPictures>());
        m_as3->setFileReader([this](const std::string& url, std::string& out) { return m_scripts->readLocalFile(url, out); });
        m_as3->setMovieUrl(m_url);
        m_as3->movieLoaded();
    }
    return ok;
}

void PlayerSession::adopt(std::unique_ptr<movie::Movie> movie, const std::string& url) {
    movieOpening(url);
    m_player.adopt(std::move(movie));
    movieLoaded(m_player.isLoaded());
}

void PlayerSession::setDateOrigin(double epochMs) {
    m_dateOrigin = epochMs;
    if (m_scripts)
        m_scripts->setDateOrigin(epochMs);
    if (m_as3)
        m_as3->machine().dateOriginMs = epochMs;
}

void PlayerSession::displayStateChanged(bool fullScreen) {
    if (m_as3)
        m_as3->displayStateChanged(fullScreen);
    else if (m_scripts)
        m_scripts->displayStateChanged(fullScreen);
}

void PlayerSession::setScriptWatch(std::function<bool(double)> watch) {
    m_watch = std::move(watch);
    if (m_scripts)
        m_scripts->setWatch(m_watch);
    if (m_as3)
        m_as3->machine().watch = m_watch;
}

bool PlayerSession::loadFromBytes(std::vector<std::uint8_t> bytes, const std::string& url) {
    movieOpening(url);
    return movieLoaded(m_player.loadFromBytes(std::move(bytes)));
}

void PlayerSession::syncVideo() {
    m_video->sync();
}

void PlayerSession::tick() {
    tickAt(static_cast<double>(m_ticks) * 1000.0 / m_player.frameRate());
}

void PlayerSession::tickAt(double movieTimeMs) {
    if (m_scripts)
        m_scripts->setTime(movieTimeMs);
    // NetStream pictures for this moment, before scripts look at them.
    m_video->advance(movieTimeMs);
    m_player.tick();
    if (m_scripts)
        m_scripts->afterTick();
    if (m_as3)
        m_as3->afterTick(movieTimeMs);
    m_video->sync();
    m_audio->mixTick(m_mix);
    ++m_ticks;
}

} // namespace swf
