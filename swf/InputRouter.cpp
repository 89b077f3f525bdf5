#include "swf/InputRouter.h"

#include "swf/FieldInput.h"
#include "swf/audio/SoundControl.h"
#include "swf/avm1/ActionRunner.h"
#include "swf/format/Button.h"
#include "swf/input/KeyCodes.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/HitTest.h"
#include "swf/timeline/Focus.h"
#include "swf/timeline/World.h"
#include "swf/timeline/ButtonParts.h"
#include "swf/timeline/objects/ButtonObject.h"
#include "swf/timeline/objects/TextFieldObject.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace swf {

namespace {

constexpr double kTwips = 20.0;
constexpr std::uint32_t kButtonClipEvents = format::kClipPress | format::kClipRelease |
                                            format::kClipReleaseOutside | format::kClipRollOver |
                                            format::kClipRollOut | format::kClipDragOver | format::kClipDragOut;

// What each transition fires: the button condition, the clip event and the handler.
// What each transition fires (the button condition, the clip event, the handler) and
// how the target looks after it. Out-down shows the over state.
using Look = timeline::ButtonState;
struct TransitionInfo {
    std::uint16_t condition;
    std::uint32_t clipEvent;
    const char* handler;
    Look look;
    const char* clipFrame; // the frame label a clip acting as a button shows
};
const TransitionInfo kTransitions[] = {
    {format::kIdleToOverUp, format::kClipRollOver, "onRollOver", Look::Over, "_over"},
    {format::kOverUpToIdle, format::kClipRollOut, "onRollOut", Look::Up, "_up"},
    {format::kOverUpToOverDown, format::kClipPress, "onPress", Look::Down, "_down"},
    {format::kOverDownToOverUp, format::kClipRelease, "onRelease", Look::Over, "_over"},
    {format::kOutDownToIdle, format::kClipReleaseOutside, "onReleaseOutside", Look::Up, "_up"},
    {format::kOverDownToOutDown, format::kClipDragOut, "onDragOut", Look::Over, "_over"},
    {format::kOutDownToOverDown, format::kClipDragOver, "onDragOver", Look::Down, "_down"},
    {format::kIdleToOverDown, format::kClipDragOver, "onDragOver", Look::Down, "_down"},
    {format::kOverDownToIdle, format::kClipDragOut, "onDragOut", Look::Up, "_up"},
};

// The key number button and clip key-press conditions use: the editing and moving keys
// have small codes of their own, everything else is the character typed.
int keyPressCode(int keyCode, int charCode) {
    using namespace input::key;
    switch (keyCode) {
    case kLeft:
        return 1;
    case kRight:
        return 2;
    case kHome:
        return 3;
    case kEnd:
        return 4;
    case kInsert:
        return 5;
    case kDelete:
        return 6;
    case kBackspace:
        return 8;
    case kEnter:
        return 13;
    case kUp:
        return 14;
    case kDown:
        return 15;
    case kPageUp:
        return 16;
    case kPageDown:
        return 17;
    case kTab:
        return 18;
    case kEscape:
        return 19;
    default:
        return charCode >= 32 && charCode <= 126 ? charCode : -1;
    }
}

bool actsAsButtonByPlacement(const timeline::Clip& clip) {
    const timeline::DisplayObject* o = clip.displayObject();
    return o && (o->clipEvents & kButtonClipEvents);
}

} // namespace

InputRouter::InputRouter(timeline::World& world, timeline::Clip& root, avm1::ActionRunner& runner)
    : m_world(world), m_root(root), m_runner(runner),
      m_fields(std::make_unique<FieldInput>(world, root, runner)) {}

InputRouter::~InputRouter() = default;

void InputRouter::handle(const input::InputEvent& e) {
    using input::InputKind;
    input::InputState& s = m_world.input;
    switch (e.kind) {
    case InputKind::Wait:
        break;
    case InputKind::MouseMove:
        mouseMove(e.x, e.y);
        break;
    case InputKind::MouseDown:
    case InputKind::MouseUp:
        // Movies see the left button only; the others just move the mouse.
        if (e.button != input::MouseButton::Left)
            moveIfElsewhere(e.x, e.y);
        else if (e.kind == InputKind::MouseDown)
            mouseDown(e.x, e.y);
        else
            mouseUp(e.x, e.y);
        break;
    case InputKind::Wheel:
        m_runner.broadcast(avm1::ActionRunner::Broadcast::MouseWheel, e.wheelLines);
        if (timeline::Clip* parent = nullptr; timeline::DisplayObject* over = resolve(m_over, &parent))
            m_fields->wheel(*parent, *over, e.wheelLines);
        break;
    case InputKind::KeyDown:
        keyDown(e.keyCode, e.charCode, e.modifiers);
        break;
    case InputKind::KeyUp:
        keyUp(e.keyCode, e.charCode);
        break;
    case InputKind::Text:
        m_fields->type(e.text);
        break;
    case InputKind::FocusIn:
        s.windowFocused = true;
        break;
    case InputKind::FocusOut:
        // Keys released while the window is away are never seen: forget them.
        s.windowFocused = false;
        s.keys.fill(false);
        break;
    case InputKind::Clipboard:
        s.clipboard = e.text;
        break;
    }
    m_world.flushRemoved();
    updateCursor();
}

void InputRouter::moveTo(double stageX, double stageY) {
    const format::Rect stage = m_world.movie.stageRect();
    m_world.input.mouseX = stageX + stage.xMin / kTwips;
    m_world.input.mouseY = stageY + stage.yMin / kTwips;
}

void InputRouter::mouseMove(double x, double y) {
    m_moved = true;
    moveTo(x, y);
    dragTo();
    if (m_world.input.mouseDown)
        m_fields->drag(m_world.input.mouseX * kTwips, m_world.input.mouseY * kTwips);
    clipEvents(format::kClipMouseMove);
    m_runner.broadcast(avm1::ActionRunner::Broadcast::MouseMove, 0);
    track();
}

// A press or release somewhere else than the mouse was is a move there first.
void InputRouter::moveIfElsewhere(double x, double y) {
    const input::InputState& s = m_world.input;
    const format::Rect stage = m_world.movie.stageRect();
    if (s.mouseX != x + stage.xMin / kTwips || s.mouseY != y + stage.yMin / kTwips || !m_moved)
        mouseMove(x, y);
}

void InputRouter::mouseDown(double x, double y) {
    moveIfElsewhere(x, y);
    m_world.input.mouseDown = true;
    clipEvents(format::kClipMouseDown);
    m_runner.broadcast(avm1::ActionRunner::Broadcast::MouseDown, 0);
    // The handlers above may have moved things: press what is under the mouse now.
    const Target under = targetUnderMouse();
    if (!(under == m_over)) {
        if (m_over)
            transition(m_over, Transition::RollOut);
        m_over = under;
    }
    {
        timeline::Clip* parent = nullptr;
        timeline::DisplayObject* obj = m_over ? resolve(m_over, &parent) : nullptr;
        m_fields->press(parent, obj, m_world.input.mouseX * kTwips, m_world.input.mouseY * kTwips);
    }
    if (m_over) {
        m_pressed = m_over;
        m_pressedOver = true;
        transition(m_pressed, Transition::Press);
    }
}

void InputRouter::mouseUp(double x, double y) {
    moveIfElsewhere(x, y);
    m_world.input.mouseDown = false;
    m_fields->release();
    clipEvents(format::kClipMouseUp);
    m_runner.broadcast(avm1::ActionRunner::Broadcast::MouseUp, 0);
    if (m_pressed) {
        const Target pressed = m_pressed;
        const bool over = m_pressedOver;
        m_pressed = {};
        m_pressedOver = false;
        if (over) {
            m_over = pressed;
            transition(pressed, Transition::Release);
        } else {
            if (m_over == pressed)
                m_over = {};
            transition(pressed, Transition::ReleaseOutside);
        }
    }
    track();
}

// Compares what is under the mouse with what was, and fires the transitions between.
void InputRouter::track() {
    const Target under = targetUnderMouse();
    if (!m_world.input.mouseDown) {
        if (under == m_over)
            return;
        const Target old = m_over;
        m_over = under;
        if (old)
            transition(old, Transition::RollOut);
        if (under)
            transition(under, Transition::RollOver);
        return;
    }
    // The button is held. A track-as-menu target takes the press over from whatever
    // holds it, or from nothing.
    if (under && !(under == m_pressed) && isMenu(under)) {
        if (m_pressed && m_pressedOver)
            transition(m_pressed, isMenu(m_pressed) ? Transition::MenuDragOut : Transition::DragOut);
        m_pressed = under;
        m_over = under;
        m_pressedOver = true;
        transition(under, Transition::MenuDragOver);
        return;
    }
    if (!m_pressed) {
        m_over = {}; // nothing rolls over while the button is held elsewhere
        return;
    }
    const bool inside = under == m_pressed;
    if (inside == m_pressedOver)
        return;
    m_pressedOver = inside;
    m_over = inside ? m_pressed : Target{};
    if (!inside && isMenu(m_pressed)) {
        const Target left = m_pressed;
        m_pressed = {};
        transition(left, Transition::MenuDragOut);
        return;
    }
    transition(m_pressed, inside ? Transition::DragOver : Transition::DragOut);
}

void InputRouter::refresh() {
    track();
    updateCursor();
}

InputRouter::Target InputRouter::targetUnderMouse() {
    if (!m_root.isOnStage())
        return {};
    auto actsAsButton = [this](timeline::Clip& clip) {
        return actsAsButtonByPlacement(clip) || m_runner.clipHandlesMouse(clip);
    };
    // Higher levels are drawn over lower ones and take the mouse first.
    const auto levels = m_world.levelRoots();
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        const auto found = timeline::findMouseTarget(m_world, **it, m_world.input.mouseX * kTwips,
                                                     m_world.input.mouseY * kTwips, actsAsButton);
        if (found)
            return {found.parent->weak_from_this(), found.object->serial};
    }
    return {};
}

timeline::DisplayObject* InputRouter::resolve(const Target& t, timeline::Clip** parentOut) const {
    auto parent = t.parent.lock();
    if (!parent || !parent->isOnStage())
        return nullptr;
    for (auto& [depth, obj] : parent->displayList())
        if (obj.serial == t.serial) {
            if (parentOut)
                *parentOut = parent.get();
            return &obj;
        }
    return nullptr;
}

bool InputRouter::isMenu(const Target& t) const {
    const timeline::DisplayObject* obj = resolve(t);
    if (obj && obj->clip)
        return m_runner.clipTracksAsMenu(*obj->clip);
    if (!obj || obj->character->kind != format::CharacterKind::Button)
        return false;
    const auto* state = obj->as<timeline::ButtonObject>();
    return state && state->trackAsMenu ? *state->trackAsMenu
                                       : static_cast<const format::ButtonCharacter&>(*obj->character).trackAsMenu;
}

void InputRouter::transition(const Target& t, Transition what) {
    timeline::Clip* parent = nullptr;
    timeline::DisplayObject* obj = resolve(t, &parent);
    if (!obj)
        return;
    const TransitionInfo& info = kTransitions[static_cast<int>(what)];
    ++m_world.generation; // the button's look follows its state
    if (auto* state = obj->as<timeline::ButtonObject>()) {
        state->state = info.look;
        timeline::syncButtonParts(m_world, *parent, *obj);
    }
    if (obj->character->kind == format::CharacterKind::Button) {
        const auto& button = static_cast<const format::ButtonCharacter&>(*obj->character);
        playButtonSound(button, info.condition, parent->id());
        std::vector<std::span<const std::uint8_t>> blocks;
        for (const format::ButtonAction& action : button.actions)
            if (action.conditions & info.condition)
                blocks.emplace_back(action.actions);
        auto keep = parent->weak_from_this();
        const std::uint64_t serial = obj->serial;
        for (auto code : blocks) {
            auto p = keep.lock();
            if (!p || !p->isOnStage())
                break;
            m_runner.runButtonActions(*p, code);
            m_world.flushRemoved();
        }
        if (auto p = keep.lock(); p && p->isOnStage()) {
            m_runner.callButtonHandler(*p, serial, info.handler);
            m_world.flushRemoved();
        }
        return;
    }
    if (!obj->clip)
        return;
    auto clip = obj->clip;
    // A clip with _up, _over and _down frames shows the one for its state.
    if (clip->timeline().findLabel(info.clipFrame) >= 0) {
        clip->gotoLabel(info.clipFrame);
        clip->stop();
        m_world.flushRemoved();
    }
    for (const auto& rec : std::vector(obj->clipActions))
        if ((rec.events & info.clipEvent) && clip->isOnStage()) {
            m_runner.runClipEvent(*clip, info.clipEvent, rec.actions);
            m_world.flushRemoved();
        }
    if (clip->isOnStage())
        m_runner.callClipHandler(*clip, info.handler);
}

// DefineButtonSound gives a sound to four transitions only; the others are silent. The
// sound starts before the transition's actions, so a stopAllSounds among them silences it.
void InputRouter::playButtonSound(const format::ButtonCharacter& button, std::uint16_t condition,
                                  std::uint64_t clipId) {
    static constexpr std::uint16_t kSoundConditions[4] = {format::kOverUpToIdle, format::kIdleToOverUp,
                                                          format::kOverUpToOverDown, format::kOverDownToOverUp};
    if (!m_world.sound || &m_world.movieOf(button) != &m_world.movie) // sounds are the level-0 movie's
        return;
    for (std::size_t i = 0; i < 4; ++i)
        if (condition == kSoundConditions[i] && button.sounds[i].soundId != 0)
            m_world.sound->startSound(button.sounds[i].soundId, button.sounds[i].info, clipId);
}

// Runs a placement event of every clip that has it, parents first. A key press event
// runs only where its key matches.
void InputRouter::clipEvents(std::uint32_t event, int keyPress) {
    std::vector<std::weak_ptr<timeline::Clip>> clips;
    for (timeline::Clip* level : m_world.levelRoots())
        level->forEachClip([&](timeline::Clip& clip) {
            if (const auto* o = clip.displayObject(); o && (o->clipEvents & event))
                clips.push_back(clip.weak_from_this());
        });
    for (auto& weak : clips) {
        auto clip = weak.lock();
        if (!clip || !clip->isOnStage() || !clip->displayObject())
            continue;
        for (const auto& rec : std::vector(clip->displayObject()->clipActions)) {
            if (!(rec.events & event) || (keyPress >= 0 && rec.keyCode != keyPress) || !clip->isOnStage())
                continue;
            m_runner.runClipEvent(*clip, event, rec.actions);
            m_world.flushRemoved();
        }
    }
}

// DefineButton2 key conditions: every button on stage listens for its keys.
void InputRouter::buttonKeyActions(int keyPress) {
    struct Job {
        std::weak_ptr<timeline::Clip> parent;
        std::span<const std::uint8_t> code;
    };
    std::vector<Job> jobs;
    m_root.forEachClip([&](timeline::Clip& clip) {
        for (const auto& [depth, obj] : clip.displayList()) {
            if (obj.character->kind != format::CharacterKind::Button)
                continue;
            for (const auto& action : static_cast<const format::ButtonCharacter&>(*obj.character).actions)
                if (action.keyCode != 0 && action.keyCode == keyPress)
                    jobs.push_back({clip.weak_from_this(), action.actions});
        }
    });
    for (const Job& job : jobs) {
        auto parent = job.parent.lock();
        if (!parent || !parent->isOnStage())
            continue;
        m_runner.runButtonActions(*parent, job.code);
        m_world.flushRemoved();
    }
}

void InputRouter::keyDown(int keyCode, int charCode, std::uint8_t modifiers) {
    input::InputState& s = m_world.input;
    if (keyCode >= 0 && keyCode < 256) {
        const bool repeat = s.keys[std::size_t(keyCode)];
        s.keys[std::size_t(keyCode)] = true;
        if (!repeat && keyCode == input::key::kCapsLock)
            s.capsLock = !s.capsLock;
        if (!repeat && keyCode == input::key::kNumLock)
            s.numLock = !s.numLock;
        if (!repeat && keyCode == input::key::kScrollLock)
            s.scrollLock = !s.scrollLock;
    }
    s.lastKeyCode = keyCode;
    s.lastCharCode = charCode;
    clipEvents(format::kClipKeyDown);
    m_runner.broadcast(avm1::ActionRunner::Broadcast::KeyDown, 0);
    focusedKeyHandler("onKeyDown");
    const int press = keyPressCode(keyCode, charCode);
    if (press >= 0) {
        clipEvents(format::kClipKeyPress, press);
        buttonKeyActions(press);
    }
    if (!pressFocused(keyCode))
        m_fields->key(keyCode, modifiers);
}

// Enter or Space on a button or clip that Tab focused presses and releases it.
bool InputRouter::pressFocused(int keyCode) {
    const input::InputState& s = m_world.input;
    if (!s.focusShown || (keyCode != input::key::kEnter && keyCode != input::key::kSpace))
        return false;
    const timeline::Focused f = timeline::focusedObject(m_world);
    if (!f || f.object->as<timeline::TextFieldObject>())
        return false;
    const Target t{f.parent->weak_from_this(), f.object->serial};
    transition(t, Transition::Press);
    transition(t, Transition::Release);
    return true;
}

void InputRouter::keyUp(int keyCode, int charCode) {
    input::InputState& s = m_world.input;
    if (keyCode >= 0 && keyCode < 256)
        s.keys[std::size_t(keyCode)] = false;
    s.lastKeyCode = keyCode;
    s.lastCharCode = charCode;
    clipEvents(format::kClipKeyUp);
    m_runner.broadcast(avm1::ActionRunner::Broadcast::KeyUp, 0);
    focusedKeyHandler("onKeyUp");
}

// A clip's or button's own onKeyDown/onKeyUp hears keys only while it has the focus.
void InputRouter::focusedKeyHandler(std::string_view handler) {
    const timeline::Focused f = timeline::focusedObject(m_world);
    if (!f || f.object->as<timeline::TextFieldObject>())
        return;
    if (f.object->clip) {
        auto clip = f.object->clip;
        m_runner.callClipHandler(*clip, handler);
    } else if (f.object->as<timeline::ButtonObject>()) {
        auto parent = f.parent->shared_from_this();
        m_runner.callButtonHandler(*parent, f.object->serial, handler);
    }
    m_world.flushRemoved();
}

// startDrag: the dragged clip follows the mouse, in its parent's space, within the
// constraint rectangle.
void InputRouter::dragTo() {
    input::DragState& d = m_world.input.drag;
    if (!d.clip)
        return;
    timeline::Clip* clip = m_world.clipById(d.clip);
    if (!clip || !clip->isOnStage() || !clip->parent() || !clip->displayObject()) {
        d.clip = 0;
        return;
    }
    format::Matrix toParent;
    if (!timeline::invert(timeline::rootMatrix(*clip->parent()), toParent))
        return;
    double x = m_world.input.mouseX * kTwips, y = m_world.input.mouseY * kTwips;
    timeline::applyMatrix(toParent, x, y);
    x /= kTwips;
    y /= kTwips;
    if (!d.lockCenter) {
        x += d.offsetX;
        y += d.offsetY;
    }
    if (d.constrained) {
        x = std::clamp(x, std::min(d.left, d.right), std::max(d.left, d.right));
        y = std::clamp(y, std::min(d.top, d.bottom), std::max(d.top, d.bottom));
    }
    if (!std::isfinite(x) || !std::isfinite(y))
        return;
    timeline::DisplayObject& o = *clip->displayObject();
    o.matrix.tx = x * kTwips;
    o.matrix.ty = y * kTwips;
    o.scriptTransformed = true;
    ++m_world.generation;
}

void InputRouter::updateCursor() {
    input::InputState& s = m_world.input;
    input::Cursor cursor = input::Cursor::Arrow;
    if (s.mouseHidden) {
        cursor = input::Cursor::Hidden;
    } else if (const Target t = m_pressed ? m_pressed : m_over) {
        timeline::DisplayObject* obj = resolve(t);
        const auto* button = obj ? obj->as<timeline::ButtonObject>() : nullptr;
        if (obj && obj->as<timeline::TextFieldObject>())
            cursor = input::Cursor::IBeam;
        else if (obj && (button ? button->useHandCursor : !obj->clip || m_runner.showsHandCursor(*obj->clip)))
            cursor = input::Cursor::Hand;
    }
    s.cursor = cursor;
}

} // namespace swf
