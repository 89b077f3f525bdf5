#pragma once
// Runs an ActionScript 3 movie's code beside the player: loads its ABC blocks, gives
// the root timeline its document class instance and every placed sprite, button and
// field its script object, and each frame raises enterFrame, constructs the new
// frame's objects, raises frameConstructed, runs frame scripts and raises exitFrame.
// Mouse and key input become MouseEvent and KeyboardEvent dispatches. The display and
// event classes (flash.display, flash.events) live beside this file because they reach
// the engine's timelines; the machine itself knows nothing of them.

#include "swf/avm2/Machine.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace swf {
class Player;
}
namespace swf::input {
struct InputEvent;
}
namespace swf::timeline {
class PictureServices;
}

namespace swf::avm2 {

class HostState;
class DisplayHandle;

class Avm2Host {
public:
    Avm2Host(Player& player, std::function<void(const std::string&)> traceSink);
    ~Avm2Host();
    Avm2Host(const Avm2Host&) = delete;
    Avm2Host& operator=(const Avm2Host&) = delete;

    // Loads the code of the player's movie (which must be loaded). Blocks that fail to
    // parse are reported through the trace sink and skipped.
    void movieLoaded();
    // After each Player::tick: on the first, builds the document object; then the
    // frame's events and scripts.
    void afterTick(double movieTimeMs);
    // One input event the player has routed (stage pixels).
    void input(const input::InputEvent& event);

    Machine& machine() { return *m_machine; }
    // What BitmapData uses to decode images and draw display objects.
    void setPictures(std::shared_ptr<timeline::PictureServices> pictures);
    // How Loader and URLLoader read files next to the movie (relative URL in, bytes out).
    void setFileReader(std::function<bool(const std::string& url, std::string& out)> read);
    // The movie's address as LoaderInfo.url shows it.
    void setMovieUrl(const std::string& url);
    // Where Stage.displayState asks for full screen (true) or the normal window.
    void setFullScreenRequest(std::function<void(bool fullScreen)> request);
    // The host's window went in or out of full screen (a script's request, or the user):
    // Stage.displayState follows and the stage gets a FullScreenEvent.
    void displayStateChanged(bool fullScreen);
    // The document object (null before the first frame or when it failed to construct).
    Object* document() const;

private:
    void runFrameScripts();

    Player& m_player;
    std::unique_ptr<Machine> m_machine;
    std::unique_ptr<HostState> m_state;
    bool m_started = false;
    bool m_fullScreen = false;
    DisplayHandle* m_over = nullptr;    // what the mouse is over
    DisplayHandle* m_pressed = nullptr; // what the button went down on
    // The last click, for a second one on the same object soon after (doubleClick).
    DisplayHandle* m_clicked = nullptr;
    std::chrono::steady_clock::time_point m_clickedAt;
};

} // namespace swf::avm2
