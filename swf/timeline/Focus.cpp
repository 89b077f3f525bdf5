#include "swf/timeline/Focus.h"

#include "swf/timeline/Clip.h"
#include "swf/timeline/World.h"
#include "swf/timeline/objects/TextFieldObject.h"

namespace swf::timeline {

Focused findObject(World& world, const input::ObjectRef& ref) {
    if (!ref)
        return {};
    Clip* parent = world.clipById(ref.parent);
    if (!parent || !parent->isOnStage())
        return {};
    for (auto& [depth, obj] : parent->displayList())
        if (obj.serial == ref.serial)
            return {parent, &obj};
    return {};
}

Focused focusedObject(World& world) {
    return findObject(world, world.input.focus);
}

input::ObjectRef refOf(const Clip& parent, const DisplayObject& object) {
    return {parent.id(), object.serial};
}

namespace {

void showFocus(World& world, const input::ObjectRef& ref, bool focused, bool selectAll) {
    const Focused f = findObject(world, ref);
    auto* field = f ? f.object->as<TextFieldObject>() : nullptr;
    if (!field)
        return;
    text::FieldState& state = field->field;
    state.focused = focused;
    state.caretBlink = 0;
    if (focused && selectAll)
        state.selectAll();
    state.touch();
    ++world.generation;
}

} // namespace

input::ObjectRef moveFocus(World& world, const input::ObjectRef& to, bool selectAll) {
    const input::ObjectRef from = world.input.focus;
    if (from == to)
        return from;
    world.input.focus = to;
    world.input.focusShown = false;
    showFocus(world, from, false, false);
    showFocus(world, to, true, selectAll);
    ++world.generation;
    return from;
}

} // namespace swf::timeline
