#include "swf/FieldInput.h"

#include "swf/avm1/ActionRunner.h"
#include "swf/format/PlaceObject.h"
#include "swf/input/InputEvent.h"
#include "swf/input/KeyCodes.h"
#include "swf/text/RichText.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/Focus.h"
#include "swf/timeline/HitTest.h"
#include "swf/timeline/World.h"
#include "swf/timeline/objects/ButtonObject.h"
#include "swf/timeline/objects/TextFieldObject.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <vector>

namespace swf {

struct FieldInput::Target {
    timeline::Clip* parent = nullptr;
    timeline::DisplayObject* object = nullptr;
    text::FieldState* field = nullptr;
    explicit operator bool() const { return field != nullptr; }
    input::ObjectRef ref() const { return timeline::refOf(*parent, *object); }
    bool editable() const { return field->properties().type == text::FieldType::Input; }
};

namespace {

text::FieldState* fieldOf(timeline::DisplayObject* object) {
    auto* f = object ? object->as<timeline::TextFieldObject>() : nullptr;
    return f ? &f->field : nullptr;
}

// Where the lines of the field's layout start and end, for Home/End and Up/Down.
text::LineMap lineMap(const text::TextLayout& laid) {
    text::LineMap m;
    m.lineStart = [&laid](std::size_t i) { return laid.lines[laid.lineOf(i)].begin; };
    m.lineEnd = [&laid](std::size_t i) { return laid.lines[laid.lineOf(i)].end; };
    m.verticalMove = [&laid](std::size_t i, int by) {
        const std::size_t line = laid.lineOf(i);
        const long to = long(line) + by;
        if (to < 0)
            return std::size_t(0);
        if (to >= long(laid.lines.size()))
            return laid.lines.back().end;
        return laid.indexAt(laid.caretX(i), laid.lines[std::size_t(to)].top + 1);
    };
    return m;
}

} // namespace

FieldInput::FieldInput(timeline::World& world, timeline::Clip& root, avm1::ActionRunner& runner)
    : m_world(world), m_root(root), m_runner(runner) {}

FieldInput::Target FieldInput::focusedField() {
    const timeline::Focused f = timeline::focusedObject(m_world);
    text::FieldState* field = f ? fieldOf(f.object) : nullptr;
    return field ? Target{f.parent, f.object, field} : Target{};
}

void FieldInput::focus(const input::ObjectRef& to, bool selectAll) {
    const input::ObjectRef from = timeline::moveFocus(m_world, to, selectAll);
    if (!(from == to))
        m_runner.focusChanged(from, to);
}

// The caret position under a root point: the point in the field's own space, then in its
// laid-out text (which starts at the box corner and moves with the scroll).
std::size_t FieldInput::indexAt(const Target& t, double x, double y) const {
    format::Matrix toField;
    if (!timeline::invert(timeline::rootMatrix(*t.parent) * t.object->matrix, toField))
        return t.field->selection.caret;
    timeline::applyMatrix(toField, x, y);
    const text::TextLayout& laid = t.field->layout();
    const std::size_t first = std::size_t(std::clamp(t.field->scroll, 1, int(laid.lines.size()))) - 1;
    x -= t.field->properties().x + laid.xShift - t.field->hscroll;
    y -= t.field->properties().y - (laid.lines[first].top - laid.lines[0].top);
    return std::min(laid.indexAt(x, y), t.field->length());
}

void FieldInput::press(timeline::Clip* parent, timeline::DisplayObject* object, double x, double y) {
    // The mouse takes over from the keyboard: the focus rectangle goes away.
    if (m_world.input.focusShown) {
        m_world.input.focusShown = false;
        ++m_world.generation;
    }
    text::FieldState* field = fieldOf(object);
    if (!parent || !field || !field->properties().selectable) {
        m_dragging = {};
        if (focusedField())
            focus({}, false);
        return;
    }
    const Target t{parent, object, field};
    const input::ObjectRef ref = t.ref();
    focus(ref, false);
    // The focus handlers may have removed or changed the field.
    const Target now = focusedField();
    if (!now || !(now.ref() == ref))
        return;
    const std::size_t at = indexAt(now, x, y);
    if (!m_world.input.keyDown(input::key::kShift))
        now.field->selection.anchor = at;
    now.field->selection.caret = at;
    now.field->restartBlink();
    now.field->touch();
    ++m_world.generation;
    m_dragging = ref;
}

void FieldInput::drag(double x, double y) {
    if (!m_dragging)
        return;
    const Target t = focusedField();
    if (!t || !(t.ref() == m_dragging)) {
        m_dragging = {};
        return;
    }
    const std::size_t at = indexAt(t, x, y);
    if (at == t.field->selection.caret)
        return;
    t.field->selection.caret = at;
    revealCaret(t);
    ++m_world.generation;
}

// Scrolls the field so the caret's line and position are in view; scripts hear when it moves.
void FieldInput::revealCaret(const Target& t) {
    text::FieldState& field = *t.field;
    const int scrollWas = field.scroll;
    const double hscrollWas = field.hscroll;
    const text::TextLayout& laid = field.layout();
    const int line = int(laid.lineOf(field.selection.caret)) + 1;
    if (line < field.scroll)
        field.scroll = line;
    else
        while (field.scroll < line && field.bottomScroll() < line)
            ++field.scroll;
    const double x = laid.caretX(field.selection.caret);
    const double visible = field.properties().width - 2 * text::kGutter;
    if (x - field.hscroll < text::kGutter)
        field.hscroll = std::max(0.0, x - text::kGutter);
    else if (x - field.hscroll > text::kGutter + visible)
        field.hscroll = std::min(x - text::kGutter - visible, field.maxHScroll() * 20);
    field.restartBlink();
    field.touch();
    if (field.scroll != scrollWas || field.hscroll != hscrollWas)
        m_runner.fieldScrolled(t.ref());
}

void FieldInput::wheel(timeline::Clip& parent, timeline::DisplayObject& object, int lines) {
    text::FieldState* field = fieldOf(&object);
    if (!field || lines == 0)
        return;
    const int to = std::clamp(field->scroll - std::clamp(lines, -1000, 1000), 1, std::max(1, field->maxScroll()));
    if (to == field->scroll)
        return;
    field->scroll = to;
    field->touch();
    ++m_world.generation;
    m_runner.fieldScrolled(timeline::refOf(parent, object));
}

void FieldInput::changed(const Target& t) {
    revealCaret(t);
    ++m_world.generation;
    m_runner.fieldChanged(t.ref());
}

void FieldInput::type(std::string_view utf8) {
    const Target t = focusedField();
    if (!t || !t.editable() || utf8.empty())
        return;
    if (t.field->typeText(text::utf8ToUtf16(utf8)))
        changed(t);
}

bool FieldInput::key(int keyCode, std::uint8_t modifiers) {
    using namespace input::key;
    const input::InputState& s = m_world.input;
    const bool shift = s.keyDown(kShift) || (modifiers & input::modifier::kShift);
    const bool control = s.keyDown(kControl) || (modifiers & input::modifier::kControl);
    if (keyCode == kTab) {
        tab(shift);
        return true;
    }
    const Target t = focusedField();
    if (!t)
        return false;
    text::FieldState& f = *t.field;
    const auto extend = shift ? text::Extend::Yes : text::Extend::No;
    const auto move = [&](text::CaretMove how) {
        const text::LineMap lines = lineMap(f.layout());
        f.moveCaret(how, extend, &lines);
        revealCaret(t);
        ++m_world.generation;
        return true;
    };
    const auto edit = [&](bool changedText) {
        if (changedText)
            changed(t);
        return true;
    };
    // Password fields keep their text to themselves.
    const bool mayCopy = !f.properties().password;
    switch (keyCode) {
    case kLeft:
        return move(control ? text::CaretMove::WordLeft : text::CaretMove::Left);
    case kRight:
        return move(control ? text::CaretMove::WordRight : text::CaretMove::Right);
    case kUp:
        return move(text::CaretMove::Up);
    case kDown:
        return move(text::CaretMove::Down);
    case kHome:
        return move(control ? text::CaretMove::TextStart : text::CaretMove::LineStart);
    case kEnd:
        return move(control ? text::CaretMove::TextEnd : text::CaretMove::LineEnd);
    case kBackspace:
        return t.editable() && edit(f.deleteBackward());
    case kDelete:
        return t.editable() && edit(f.deleteForward());
    case kEnter:
        return t.editable() && f.properties().multiline && edit(f.typeText(u"\r"));
    default:
        break;
    }
    if (!control)
        return false;
    input::InputState& state = m_world.input;
    switch (keyCode) {
    case 'A':
        f.selectAll();
        ++m_world.generation;
        return true;
    case 'C':
    case 'X':
        if (f.selection.empty() || !mayCopy)
            return true;
        state.clipboard = text::utf16ToUtf8(f.selectedText());
        ++state.clipboardWrites;
        return keyCode == 'C' || !t.editable() || edit(f.deleteForward());
    case 'V':
        return t.editable() && edit(f.typeText(text::utf8ToUtf16(state.clipboard)));
    default:
        return false;
    }
}

// Tab order: objects with a tabIndex in its order when any has one, else everything that
// takes the focus from the top of the stage down, left to right within a row.
void FieldInput::tab(bool backwards) {
    struct Candidate {
        input::ObjectRef ref;
        int index;
        double x, y;
    };
    std::vector<Candidate> all;
    bool indexed = false;
    // Clips whose tabChildren is false keep everything inside them out of the order.
    std::unordered_set<const timeline::Clip*> shut;
    m_root.forEachClip([&](timeline::Clip& clip) {
        if (!clip.isOnStage())
            return;
        if (timeline::Clip* parent = clip.parent(); parent && clip.displayObject() &&
                                                    (shut.count(parent) ||
                                                     !m_runner.tabSettings(*parent, *clip.displayObject()).children)) {
            shut.insert(&clip);
            return;
        }
        for (auto& [depth, obj] : clip.displayList()) {
            if (!obj.visible || !obj.character || obj.clipDepth > 0)
                continue;
            const avm1::ActionRunner::TabSettings tab = m_runner.tabSettings(clip, obj);
            bool takes = false;
            if (const text::FieldState* f = fieldOf(&obj))
                takes = f->properties().type == text::FieldType::Input && f->properties().selectable;
            else if (const auto* b = obj.as<timeline::ButtonObject>())
                takes = b->enabled;
            else if (obj.clip)
                takes = (obj.clipEvents & (format::kClipPress | format::kClipRelease)) ||
                        m_runner.clipHandlesMouse(*obj.clip);
            if (!tab.enabled.value_or(takes))
                continue;
            double x = 0, y = 0;
            if (const text::FieldState* f = fieldOf(&obj)) {
                x = f->properties().x;
                y = f->properties().y;
            }
            timeline::applyMatrix(timeline::rootMatrix(clip) * obj.matrix, x, y);
            all.push_back({timeline::refOf(clip, obj), tab.index, x, y});
            indexed = indexed || tab.index >= 0;
        }
    });
    if (indexed)
        std::erase_if(all, [](const Candidate& c) { return c.index < 0; });
    std::stable_sort(all.begin(), all.end(), [indexed](const Candidate& a, const Candidate& b) {
        if (indexed)
            return a.index < b.index;
        return a.y != b.y ? a.y < b.y : a.x < b.x;
    });
    if (all.empty())
        return;
    const input::ObjectRef current = m_world.input.focus;
    auto it = std::find_if(all.begin(), all.end(), [&](const Candidate& c) { return c.ref == current; });
    std::size_t next = 0;
    if (it == all.end())
        next = backwards ? all.size() - 1 : 0;
    else {
        const std::size_t at = std::size_t(it - all.begin());
        next = backwards ? (at + all.size() - 1) % all.size() : (at + 1) % all.size();
    }
    const input::ObjectRef to = all[next].ref;
    focus(to, true);
    // Tab shows where the focus went on buttons and clips: the yellow rectangle.
    if (m_world.input.focus == to && !focusedField()) {
        m_world.input.focusShown = true;
        ++m_world.generation;
    }
}

} // namespace swf
