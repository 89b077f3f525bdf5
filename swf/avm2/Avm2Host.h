#pragma once
// Runs an ActionScript 3 movie's code beside the player: loads its ABC blocks, gives
// the root timeline its document class instance, and each frame raises enterFrame
// and runs the frame scripts registered with addFrameScript. The display and event
// classes (flash.display, flash.events) live here because they reach the engine's
// timelines; the machine itself knows nothing of them.

#include "swf/avm2/Machine.h"

#include <functional>
#include <memory>
#include <string>

namespace swf {
class Player;
}

namespace swf::avm2 {

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
    // After each Player::tick: on the first, builds the document object; then raises
    // enterFrame and runs the frame script of a frame the root has just entered.
    void afterTick(double movieTimeMs);

    Machine& machine() { return *m_machine; }
    // The document object (null before the first frame or when it failed to construct).
    Object* document() const { return m_document; }

private:
    void installDisplayClasses();
    void runFrameScript();

    Player& m_player;
    std::unique_ptr<Machine> m_machine;
    Object* m_document = nullptr;
    bool m_started = false;
    int m_lastScriptFrame = -1;
};

} // namespace swf::avm2
