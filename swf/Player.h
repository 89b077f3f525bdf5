#pragma once
// The engine's facade: one movie, its timelines and its frame clock as the host
// sees them. No Qt here; drawing lives in swf/render, which reads the display list
// exposed below. Frames count from 0.
//
// Timing model: load() prepares the movie without showing anything; each tick()
// shows one frame. The first tick shows frame 0 and runs its actions; later ticks
// first run actions left pending by gotos, then advance every playing timeline
// (sprites advance whether or not the root plays) and run the actions of the
// frames entered.

#include "swf/format/Records.h"
#include "swf/timeline/Quality.h"
#include "swf/input/InputEvent.h"
#include "swf/input/InputState.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace swf::movie {
class Movie;
}
namespace swf::timeline {
class Clip;
struct World;
struct DisplayObject;
} // namespace swf::timeline
namespace swf::avm1 {
class ActionRunner;
}
namespace swf::audio {
class SoundControl;
}

namespace swf {

class InputRouter;

class Player {
public:
    Player();
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Loads a movie file; the previous movie is unloaded first. False with error()
    // set when the file cannot be read or is not a movie.
    bool load(const std::string& path);
    bool loadFromBytes(std::vector<std::uint8_t> bytes);
    // The two halves of load(): reading and parsing a file touches no player and may run on
    // another thread (`progress` may cancel it); adopting the result is quick.
    static std::unique_ptr<movie::Movie> prepare(const std::string& path, std::string& error,
                                                 const std::function<bool(std::size_t)>& progress = {});
    void adopt(std::unique_ptr<movie::Movie> movie);
    void adopt(std::shared_ptr<const movie::Movie> movie);
    void unload();
    bool isLoaded() const;
    const std::string& error() const { return m_error; }

    // One frame: run pending actions, advance timelines, apply control tags, run
    // the new frames' actions.
    void tick();

    int totalFrames() const;
    int currentFrame() const;
    // Jumps the root timeline (clamped to the movie); the play state is kept.
    void gotoFrame(int frame);
    void play();
    void stop();
    bool isPlaying() const;
    void setPlaying(bool playing);
    // One frame back or on, then stop.
    void back();
    void forward();
    bool loop() const { return m_loop; }
    void setLoop(bool loop);

    // Frames per second, never 0 (a header rate of 0 plays at 12).
    double frameRate() const;
    format::Rect stageRect() const;
    // The movie's SetBackgroundColor; a movie without one takes the first loaded movie's.
    format::Rgba backgroundColor() const;
    // How the renderer draws: the host's setting, which the movie's scripts may change
    // while it plays (a newly loaded movie starts from the host's setting).
    timeline::Quality quality() const;
    void setQuality(timeline::Quality quality);
    // Changes whenever anything visible changed; hosts repaint only then.
    std::uint64_t displayGeneration() const;
    // Frames shown since load (the first tick shows frame 0).
    bool hasShownFirstFrame() const { return m_started; }

    // The root timeline instance (_level0), null when nothing is loaded. Its displayList()
    // is what the renderer draws, then the levels above it (levelRoots()).
    const timeline::Clip* root() const { return m_root.get(); }
    timeline::Clip* root() { return m_root.get(); }
    const movie::Movie* movie() const { return m_movie.get(); }
    // _level0 and the levels loaded over it, lowest first (empty when nothing is loaded).
    std::vector<timeline::Clip*> levelRoots() const;

    // Where StartSound tags (and, through the World, buttons and scripts) send sounds;
    // null plays nothing. Not owned; the sound engine sets and clears itself.
    void setSoundControl(audio::SoundControl* sound);
    audio::SoundControl* soundControl() const { return m_sound; }
    // Counts loads, so that whoever keeps per-movie state can tell a new movie apart.
    std::uint64_t loadCount() const { return m_loadCount; }
    // --- Input, in stage pixels from the stage's top-left corner. Ignored until the
    // first frame has been shown. Scripts see it at once; frame actions that a handler's
    // goto left pending run before the call returns.
    void handleInput(const input::InputEvent& event);
    void mouseMove(double x, double y);
    void mouseDown(double x, double y, input::MouseButton button = input::MouseButton::Left);
    void mouseUp(double x, double y, input::MouseButton button = input::MouseButton::Left);
    void wheel(int lines);
    void keyDown(int keyCode, int charCode, std::uint8_t modifiers = 0);
    void keyUp(int keyCode, int charCode);
    void typeText(const std::string& utf8);
    void focusIn();
    void focusOut();
    void setClipboard(const std::string& utf8);
    // Mouse, keys and focus as the movie sees them (defaults when nothing is loaded).
    const input::InputState& inputState() const;
    // The cursor the movie wants over the stage now.
    input::Cursor cursor() const { return inputState().cursor; }

    // Also told of every input event the movie gets, after the routing above (the AS3
    // host dispatches its own events from it); empty for none.
    void setInputObserver(std::function<void(const input::InputEvent&)> observer) {
        m_inputObserver = std::move(observer);
    }

    // Replaces the action runner (the built-in one handles timeline control only).
    void setActionRunner(std::unique_ptr<avm1::ActionRunner> runner);
    avm1::ActionRunner& actionRunner() { return *m_runner; }
    const avm1::ActionRunner& actionRunner() const { return *m_runner; }

private:
    void runPendingActions();
    void runPendingActions(timeline::Clip& root);
    void adoptReplacement(); // a script loaded another movie into _level0
    void startFrameSounds(timeline::Clip& clip, int frame);

    std::string m_error;
    std::shared_ptr<const movie::Movie> m_movie;
    std::unique_ptr<timeline::World> m_world;
    std::shared_ptr<timeline::Clip> m_root;
    std::unique_ptr<avm1::ActionRunner> m_runner;
    std::unique_ptr<InputRouter> m_input;
    std::function<void(const input::InputEvent&)> m_inputObserver;
    // DoInitAction run, by movie and sprite id.
    std::set<std::pair<const movie::Movie*, std::uint16_t>> m_initDone;
    bool m_loop = true;
    bool m_started = false;
    timeline::Quality m_quality = timeline::Quality::High;
    audio::SoundControl* m_sound = nullptr;
    std::uint64_t m_loadCount = 0;
    bool m_mouseSeen = false; // the mouse has been over the stage since load
};

} // namespace swf
