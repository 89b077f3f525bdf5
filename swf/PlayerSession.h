#pragma once
// One way to play a movie: a Player with the script host and the sound engine installed,
// a clock and the tick order every host uses (set the scripts' time, tick, run the
// scripts' timers and enterFrame handlers, then mix the tick's sound). The player widget and every orvane-tool command build their
// player through this, so none of them can leave a piece out.
//
// The clock is virtual unless the host gives its own time: tick N happens at movie time
// N frame intervals, and Date() starts at a fixed moment, so tools print repeatable output.

#include "swf/Player.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace swf::avm1 {
class PlayerScriptHost;
}
namespace swf::avm2 {
class Avm2Host;
}
namespace swf::audio {
class AudioEngine;
}
namespace swf::video {
class VideoEngine;
}

namespace swf {

struct SessionOptions {
    // Off: timeline control only (stop, play, goto), for debugging a movie's drawing.
    bool scripts = true;
    // Where trace() lines go; dropped when empty.
    std::function<void(const std::string&)> traceSink;
    // Where fscommand(command, args) calls go; dropped when empty.
    std::function<void(const std::string&, const std::string&)> fsCommandSink;
    // What Date() answers at the first frame, in ms since 1970 (2000-01-01T00:00:00Z).
    double dateOrigin = 946684800000.0;
    // Where SharedObject.getLocal keeps data between runs (the player's per-user folder);
    // empty: nowhere, so flush answers false.
    std::string sharedObjectDirectory;
    // The quality movies start with (scripts may change it).
    timeline::Quality quality = timeline::Quality::High;
};

class PlayerSession {
public:
    explicit PlayerSession(SessionOptions options = {});
    ~PlayerSession();
    PlayerSession(const PlayerSession&) = delete;
    PlayerSession& operator=(const PlayerSession&) = delete;

    // Loads a movie; the scripts see `url` as _url (by default the path as a file:// address).
    // False with player().error() set when it cannot be loaded.
    bool load(const std::string& path, const std::string& url = {});
    bool loadFromBytes(std::vector<std::uint8_t> bytes, const std::string& url = {});
    // Takes a movie read and parsed elsewhere (Player::prepare, on a worker thread).
    void adopt(std::unique_ptr<movie::Movie> movie, const std::string& url);
    // What Date() answers at the first frame of the next movie loaded.
    void setDateOrigin(double epochMs);
    // Asked by both script machines every few thousand steps with the seconds the running
    // script has taken; false stops that script. The window keeps handling its events
    // through this while a movie's script runs away.
    void setScriptWatch(std::function<bool(double scriptSeconds)> watch);
    // The host's window went in or out of full screen (Stage.displayState follows it).
    void displayStateChanged(bool fullScreen);

    // One frame on the virtual clock.
    void tick();
    // One frame at a movie time the host measured itself (milliseconds since load).
    void tickAt(double movieTimeMs);
    // Ticks since the movie was loaded.
    std::uint64_t ticks() const { return m_ticks; }
    // The movie has called fscommand("quit") since it was loaded.
    bool quitRequested() const { return m_quitRequested; }
    // The sound of the last tick: 44,100 Hz stereo 16-bit, one frame interval long.
    const std::vector<std::int16_t>& lastMix() const { return m_mix; }
    audio::AudioEngine& audio() { return *m_audio; }
    video::VideoEngine& video() { return *m_video; }
    // Gives video objects the pictures their frames name. tick() does it; a host that jumps
    // the player itself (gotoFrame, back, forward) calls it before drawing.
    void syncVideo();

    Player& player() { return m_player; }
    const Player& player() const { return m_player; }
    // The script host, null when scripts are off.
    avm1::PlayerScriptHost* scripts() { return m_scripts; }
    bool runsScripts() const { return m_scripts != nullptr; }
    // The ActionScript 3 host while an AS3 movie is loaded with scripts on, else null.
    avm2::Avm2Host* as3() { return m_as3.get(); }

private:
    void movieOpening(const std::string& url);
    // A loaded movie marked as ActionScript 3 runs its ABC code instead of AVM1 actions.
    bool movieLoaded(bool ok);

    Player m_player;
    avm1::PlayerScriptHost* m_scripts = nullptr; // owned by m_player
    std::unique_ptr<audio::AudioEngine> m_audio; // attached to m_player, so declared after it
    std::unique_ptr<video::VideoEngine> m_video;
    std::vector<std::int16_t> m_mix;
    std::uint64_t m_ticks = 0;
    std::string m_url; // the address the movie was opened from
    bool m_quitRequested = false;
    std::function<void(const std::string&)> m_traceSink;
    double m_dateOrigin = 0;
    std::function<bool(double)> m_watch;
    std::function<void(const std::string&, const std::string&)> m_fsCommandSink;
    std::unique_ptr<avm2::Avm2Host> m_as3;
};

} // namespace swf
