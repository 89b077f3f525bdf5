// The script side of the keyboard focus and of typing: focus handlers and Selection
// listeners, a typed-in field's variable and onChanged, and the tab settings scripts make.

#include "swf/avm1/BuiltinButton.h"
#include "swf/avm1/BuiltinTextField.h"
#include "swf/avm1/FieldVariables.h"
#include "swf/avm1/PlayerScriptHost.h"
#include "swf/text/RichText.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/Focus.h"
#include "swf/timeline/World.h"
#include "swf/timeline/objects/ButtonObject.h"
#include "swf/timeline/objects/TextFieldObject.h"

#include <cmath>

namespace swf::avm1 {

namespace {

// A field's event reaches its listeners (the field is one of them), or the field alone
// when a script took its listener list away.
void tellField(Interpreter& vm, Object* field, const char* message) {
    const Value args[] = {Value(field)};
    if (vm.get(field, "_listeners").isObject())
        vm.broadcast(field, message, args);
    else if (const Value fn = vm.get(field, message); vm.isCallable(fn))
        vm.callFromHost(fn, Value(field), args);
}

} // namespace

void PlayerScriptHost::prepareRoot() {
    if (timeline::Clip* rootClip = find(m_root))
        prepare(*rootClip);
}

Object* PlayerScriptHost::scriptObject(const input::ObjectRef& ref) {
    if (!m_vm || !m_world)
        return nullptr;
    const timeline::Focused f = timeline::findObject(*m_world, ref);
    if (!f)
        return nullptr;
    if (f.object->clip)
        return m_vm->clipObject(f.object->clip->id());
    if (f.object->as<timeline::TextFieldObject>())
        return textFieldObject(*m_vm, FieldRef{ref.parent, ref.serial}, f.object->name);
    // Buttons are script objects from SWF 6 on, as on the display list.
    if (f.object->as<timeline::ButtonObject>() && m_vm->version() >= 6)
        return buttonObject(*m_vm, FieldRef{ref.parent, ref.serial});
    return nullptr;
}

// onKillFocus(newFocus) on the object losing the focus, onSetFocus(oldFocus) on the one
// taking it, then Selection's listeners hear onSetFocus(oldFocus, newFocus).
void PlayerScriptHost::focusChanged(const input::ObjectRef& from, const input::ObjectRef& to) {
    if (!m_vm || !m_world)
        return;
    prepareRoot();
    Object* lost = scriptObject(from);
    Object* took = scriptObject(to);
    const auto orNull = [](Object* o) { return o ? Value(o) : Value::null(); };
    const auto notify = [&](Object* o, const char* handler, const Value& other) {
        if (!o)
            return;
        const Value fn = m_vm->get(o, handler);
        if (m_vm->isCallable(fn)) {
            const Value args[] = {other};
            m_vm->callFromHost(fn, Value(o), args);
        }
    };
    notify(lost, "onKillFocus", orNull(took));
    notify(took, "onSetFocus", orNull(lost));
    if (Object* selection = m_vm->get(m_vm->global(), "Selection").object()) {
        const Value args[] = {orNull(lost), orNull(took)};
        m_vm->broadcast(selection, "onSetFocus", args);
    }
}

// The variable first, so onChanged reads the new value there too.
void PlayerScriptHost::fieldChanged(const input::ObjectRef& ref) {
    if (!m_vm || !m_world)
        return;
    prepareRoot();
    const timeline::Focused f = timeline::findObject(*m_world, ref);
    auto* field = f ? f.object->as<timeline::TextFieldObject>() : nullptr;
    if (!field)
        return;
    text::FieldState& state = field->field;
    if (!state.properties().variable.empty()) {
        std::string name;
        if (Object* holder = variableHolder(*m_vm, f.parent->id(), state.properties().variable, name);
            holder && !name.empty()) {
            const std::string value = text::utf16ToUtf8(state.text());
            m_vm->set(holder, name, value);
            state.boundValue = value;
        }
    }
    if (Object* o = scriptObject(ref))
        tellField(*m_vm, o, "onChanged");
}

// onScroller(field) on the field and its listeners, as onChanged.
void PlayerScriptHost::fieldScrolled(const input::ObjectRef& ref) {
    if (!m_vm || !m_world)
        return;
    prepareRoot();
    const timeline::Focused f = timeline::findObject(*m_world, ref);
    if (!f || !f.object->as<timeline::TextFieldObject>())
        return;
    if (Object* o = scriptObject(ref))
        tellField(*m_vm, o, "onScroller");
}

ActionRunner::TabSettings PlayerScriptHost::tabSettings(timeline::Clip&, timeline::DisplayObject& object) {
    TabSettings out;
    if (!m_vm)
        return out;
    Object* o = nullptr;
    if (object.clip && m_vm->hasClipObject(object.clip->id()))
        o = m_vm->clipObject(object.clip->id());
    else if (object.as<timeline::TextFieldObject>() || object.as<timeline::ButtonObject>())
        o = m_vm->fieldObject(object.serial);
    if (!o)
        return out;
    if (object.clip)
        if (const Value children = m_vm->get(o, "tabChildren"); !children.isUndefined())
            out.children = m_vm->toBoolean(children);
    if (const Value enabled = m_vm->get(o, "tabEnabled"); !enabled.isUndefined())
        out.enabled = m_vm->toBoolean(enabled);
    if (const Value index = m_vm->get(o, "tabIndex"); !index.isUndefined()) {
        const double n = m_vm->toNumber(index);
        if (std::isfinite(n) && n >= 0)
            out.index = int(std::min(n, 1e9));
    }
    return out;
}

Object* PlayerScriptHost::focusObject() {
    return m_world ? scriptObject(m_world->input.focus) : nullptr;
}

// Selection.setFocus: a field takes the focus with its whole text selected.
bool PlayerScriptHost::setFocusObject(Object* to) {
    if (!m_world)
        return false;
    input::ObjectRef ref;
    if (const FieldRef* field = fieldRefOf(to)) {
        ref = {field->parent, field->serial};
    } else if (const FieldRef* button = buttonRefOf(to)) {
        ref = {button->parent, button->serial};
    } else if (to && to->kind() == Object::Kind::Clip) {
        timeline::Clip* clip = find(static_cast<ClipObject*>(to)->clip);
        if (!clip || !clip->parent() || !clip->displayObject())
            return false;
        ref = timeline::refOf(*clip->parent(), *clip->displayObject());
    } else if (to) {
        return false;
    }
    if (ref && !timeline::findObject(*m_world, ref))
        return false;
    const input::ObjectRef from = timeline::moveFocus(*m_world, ref, true);
    if (!(from == ref))
        focusChanged(from, ref);
    return true;
}

} // namespace swf::avm1
