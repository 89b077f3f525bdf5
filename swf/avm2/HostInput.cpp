// Mouse and key input as ActionScript 3 events. The mouse's target is the deepest
// interactive object under it (a sprite, button or field; a shape's container takes its
// hits), or the stage when there is none. Moving onto another target raises mouseOut on
// the old one and mouseOver on the new; a release on the object the press went down on
// is a click. Keys go to the stage.
#include "swf/avm2/Avm2Host.h"

#include "swf/Player.h"
#include "swf/avm2/HostDisplay.h"
#include "swf/input/InputEvent.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/HitTest.h"
#include "swf/timeline/World.h"

#include <algorithm>
#include <vector>

namespace swf::avm2 {

namespace {

struct Hit {
    bool hit = false;
    DisplayHandle* target = nullptr; // null with `hit`: the container takes it
};

DisplayHandle* known(HostState& s, const timeline::DisplayObject& obj) {
    auto it = s.wrappers.find(obj.serial);
    return it == s.wrappers.end() ? nullptr : it->second;
}

// The point is in `clip`'s own space (twips).
Hit hitIn(HostState& s, timeline::World& w, timeline::Clip& clip, double x, double y, int nesting) {
    if (nesting > timeline::kMaxNesting)
        return {};
    auto& list = clip.displayList();
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        timeline::DisplayObject& obj = it->second;
        if (!obj.visible || obj.clipDepth > 0)
            continue;
        if (obj.clip) {
            format::Matrix inverse;
            if (!timeline::invert(obj.matrix, inverse))
                continue;
            double lx = x, ly = y;
            timeline::applyMatrix(inverse, lx, ly);
            if (!timeline::clipContains(w, *obj.clip, lx, ly))
                continue;
            DisplayHandle* h = known(s, obj);
            // A script's SimpleButton is hit where its hit state is; its states are not targets.
            if (h && h->scriptButton) {
                if (scriptButtonContains(s, *h, lx, ly))
                    return {true, h->mouseEnabled ? h : nullptr};
                continue;
            }
            if (!h || h->mouseChildren) {
                Hit inner = hitIn(s, w, *obj.clip, lx, ly, nesting + 1);
                if (inner.target)
                    return inner;
            }
            // An AVM1Movie is no InteractiveObject: its container takes its hits.
            return {true, h && h->mouseEnabled && !h->avm1Content ? h : nullptr};
        }
        if (timeline::objectContains(w, obj, x, y)) {
            DisplayHandle* h = known(s, obj);
            bool interactive = obj.kind == timeline::ObjectKind::Button || obj.kind == timeline::ObjectKind::EditText;
            return {true, interactive && h && h->mouseEnabled ? h : nullptr};
        }
    }
    return {};
}

DisplayHandle* targetAt(HostState& s, double stageX, double stageY) {
    timeline::Clip* root = s.root();
    timeline::World* w = s.world();
    if (!root || !w)
        return s.stage;
    Hit hit = hitIn(s, *w, *root, stageX * 20, stageY * 20, 0);
    if (hit.target)
        return hit.target;
    if (hit.hit && s.document && s.document->mouseEnabled)
        return s.document;
    return s.stage;
}

void mouseEvent(HostState& s, DisplayHandle* target, const std::string& type, const input::InputEvent& in,
                DisplayHandle* related = nullptr) {
    if (!target)
        return;
    auto* e = dynamic_cast<EventObject*>(makeEvent(s, s.mouseEventClass, type, type != "rollOver" && type != "rollOut"));
    if (!e)
        return;
    double lx = in.x * 20, ly = in.y * 20;
    format::Matrix inverse;
    if (!target->isStage && timeline::invert(globalMatrix(s.locate(*target)), inverse))
        timeline::applyMatrix(inverse, lx, ly);
    const input::InputState* state = s.world() ? &s.world()->input : nullptr;
    auto key = [&](int code) { return Value::boolean(state && state->keyDown(code)); };
    e->fields = {{"localX", Machine::numberValue(lx / 20)},
                 {"localY", Machine::numberValue(ly / 20)},
                 {"stageX", Machine::numberValue(in.x)},
                 {"stageY", Machine::numberValue(in.y)},
                 {"relatedObject", Value::object(related)},
                 {"shiftKey", key(16)},
                 {"ctrlKey", key(17)},
                 {"altKey", key(18)},
                 {"buttonDown", Value::boolean(state && state->mouseDown)},
                 {"delta", Value::integer(in.wheelLines)}};
    s.machine.runAndReport([&] { s.dispatch(target, Value::object(e)); });
}

// The object and its ancestors below the document and the stage: where roll events go.
std::vector<DisplayHandle*> rollChain(HostState& s, DisplayHandle* h) {
    std::vector<DisplayHandle*> out;
    for (int i = 0; h && !h->isStage && i <= timeline::kMaxNesting + 1; ++i) {
        if (!out.empty() && h->isRoot)
            break;
        out.push_back(h);
        h = parentOf(s, *h);
    }
    return out;
}

// rollOut goes up from the object left to the highest ancestor the new one is not inside,
// rollOver down from the highest ancestor entered to the object entered (Flash's rule, so a
// container hears of the pointer entering and leaving it whichever child it is on).
// Each pointer move: mouseOut, the rollOuts, mouseOver, the rollOvers.
void crossEvents(HostState& s, DisplayHandle* was, DisplayHandle* now, const input::InputEvent& in) {
    const std::vector<DisplayHandle*> left = rollChain(s, was);
    const std::vector<DisplayHandle*> entered = rollChain(s, now);
    auto inside = [](const std::vector<DisplayHandle*>& chain, DisplayHandle* h) {
        return std::find(chain.begin(), chain.end(), h) != chain.end();
    };
    mouseEvent(s, was, "mouseOut", in, now);
    for (DisplayHandle* h : left)
        if (!inside(entered, h))
            mouseEvent(s, h, "rollOut", in, now);
    mouseEvent(s, now, "mouseOver", in, was);
    for (auto it = entered.rbegin(); it != entered.rend(); ++it)
        if (!inside(left, *it))
            mouseEvent(s, *it, "rollOver", in, was);
}

} // namespace

void Avm2Host::input(const input::InputEvent& in) {
    HostState& s = *m_state;
    if (!m_started)
        return;
    switch (in.kind) {
    case input::InputKind::MouseMove:
    case input::InputKind::MouseDown:
    case input::InputKind::MouseUp:
    case input::InputKind::Wheel: {
        DisplayHandle* now = in.kind == input::InputKind::Wheel ? m_over : targetAt(s, in.x, in.y);
        // Buttons take their new look before the events go out, so listeners see it.
        DisplayHandle* pressedAfter = in.kind == input::InputKind::MouseDown ? now
                                      : in.kind == input::InputKind::MouseUp ? nullptr
                                                                             : m_pressed;
        for (DisplayHandle* b : {m_over, m_pressed, now, pressedAfter})
            updateButtonLook(s, b, now, pressedAfter);
        if (now != m_over) {
            DisplayHandle* was = m_over;
            m_over = now;
            crossEvents(s, was, now, in);
        }
        if (in.kind == input::InputKind::MouseMove) {
            mouseEvent(s, m_over, "mouseMove", in);
        } else if (in.kind == input::InputKind::MouseDown) {
            m_pressed = m_over;
            mouseEvent(s, m_over, "mouseDown", in);
        } else if (in.kind == input::InputKind::MouseUp) {
            mouseEvent(s, m_over, "mouseUp", in);
            if (m_pressed && m_pressed == m_over) {
                // A second click on an object with doubleClickEnabled within the usual
                // double-click time (half a second) is a doubleClick instead.
                const auto at = std::chrono::steady_clock::now();
                auto enabled = m_over->extras.find("doubleClickEnabled");
                const bool twice = m_clicked == m_over && at - m_clickedAt < std::chrono::milliseconds(500) &&
                                   enabled != m_over->extras.end() && m_machine->toBoolean(enabled->second);
                mouseEvent(s, m_over, twice ? "doubleClick" : "click", in);
                m_clicked = twice ? nullptr : m_over;
                m_clickedAt = at;
            }
            m_pressed = nullptr;
        } else {
            mouseEvent(s, m_over ? m_over : s.stage, "mouseWheel", in);
        }
        break;
    }
    case input::InputKind::KeyDown:
    case input::InputKind::KeyUp: {
        auto* e = dynamic_cast<EventObject*>(
            makeEvent(s, s.keyboardEventClass, in.kind == input::InputKind::KeyDown ? "keyDown" : "keyUp", true));
        if (!e)
            break;
        const input::InputState* state = s.world() ? &s.world()->input : nullptr;
        auto key = [&](int code) { return Value::boolean(state && state->keyDown(code)); };
        e->fields = {{"charCode", Value::integer(in.charCode)}, {"keyCode", Value::integer(in.keyCode)},
                     {"keyLocation", Value::integer(0)},        {"shiftKey", key(16)},
                     {"ctrlKey", key(17)},                      {"altKey", key(18)}};
        // Keys go to the object given stage.focus while it is on the stage, and bubble up to
        // the stage; with no focus, to the stage.
        DisplayHandle* target = s.stage;
        if (auto it = s.stage->extras.find("focus"); it != s.stage->extras.end())
            if (auto* focus = nativeOf<DisplayHandle>(it->second); focus && !focus->isStage && onStage(s, s.locate(*focus)))
                target = focus;
        m_machine->runAndReport([&] { s.dispatch(target, Value::object(e)); });
        break;
    }
    default:
        break;
    }
    s.sync();
}

} // namespace swf::avm2
