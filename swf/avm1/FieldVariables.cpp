#include "swf/avm1/FieldVariables.h"

#include "swf/text/RichText.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/objects/TextFieldObject.h"

namespace swf::avm1 {

Object* variableHolder(Interpreter& vm, ClipId timeline, std::string_view path, std::string& name) {
    const std::size_t split = path.find_last_of(":.");
    if (split == std::string_view::npos) {
        name = std::string(path);
        return vm.clipObject(timeline);
    }
    name = std::string(path.substr(split + 1));
    const std::string_view target = path.substr(0, split);
    if (target.empty())
        return vm.clipObject(timeline);
    return vm.resolveTarget(Value(target), timeline);
}

void syncFieldVariables(Interpreter& vm, timeline::Clip& root) {
    root.forEachClip([&](timeline::Clip& clip) {
        for (auto& [depth, object] : clip.displayList()) {
            auto* field = object.as<timeline::TextFieldObject>();
            if (!field || field->field.properties().variable.empty())
                continue;
            text::FieldState& state = field->field;
            std::string name;
            Object* holder = variableHolder(vm, clip.id(), state.properties().variable, name);
            if (!holder || name.empty())
                continue;
            const Value v = vm.get(holder, name);
            if (v.isUndefined() && state.rebound)
                state.restoreInitialText();
            state.rebound = false;
            if (v.isUndefined()) {
                if (state.length() > 0)
                    vm.set(holder, name, text::utf16ToUtf8(state.text()));
                continue;
            }
            std::string shown = vm.toString(v);
            if (state.boundValue && *state.boundValue == shown)
                continue;
            const std::u16string s = text::utf8ToUtf16(shown);
            if (state.properties().html)
                state.setHtmlText(s, vm.version());
            else
                state.setText(s);
            state.boundValue = std::move(shown);
        }
    });
}

} // namespace swf::avm1
