// flash.display.SimpleButton. A button a script makes (`new SimpleButton(up, over, down,
// hit)`) is an empty clip whose only child is the display object of the state it shows; the
// mouse takes it where its hitTestState object is (placed in the button's space, wherever
// that object lives) and moves it between up, over and down as a timeline button's look
// moves: over while the pointer is on it, down while pressed on it, over again while pressed
// and dragged off, up when released away or when disabled. Buttons the timeline places
// (DefineButton) draw their own records; their state properties keep what scripts set.
#include "swf/avm2/HostDisplay.h"

#include "swf/timeline/Clip.h"
#include "swf/timeline/HitTest.h"
#include "swf/timeline/World.h"

namespace swf::avm2 {

namespace {

const char* const kStates[] = {"upState", "overState", "downState", "hitTestState"};

Value stateOf(DisplayHandle& b, const char* name) {
    auto it = b.extras.find(name);
    return it == b.extras.end() ? Value::null() : it->second;
}

bool enabled(Machine& m, DisplayHandle& b) {
    auto it = b.extras.find("enabled");
    return it == b.extras.end() || m.toBoolean(it->second);
}

} // namespace

void showButtonLook(HostState& host, DisplayHandle& button, int look) {
    if (!button.scriptButton || look < 0 || look > 2)
        return;
    button.buttonLook = look;
    timeline::Clip* clip = host.locate(button).clip;
    if (!clip)
        return;
    DisplayHandle* was = nativeOf<DisplayHandle>(button.buttonShown);
    Value next = stateOf(button, kStates[look]);
    DisplayHandle* now = nativeOf<DisplayHandle>(next);
    if (was == now && (!was || host.locate(*was).parent == clip))
        return;
    // The state shown before goes back off every list (unless something else took it since).
    if (was && host.locate(*was).parent == clip)
        if (timeline::Clip* off = host.offList())
            host.moveTo(*was, *off, off->nextHighestDepth());
    button.buttonShown = Value::null();
    // The stage, a document or the button itself cannot be a state (moving it would make a cycle).
    if (now && !now->isStage && !now->isRoot && now != &button && host.moveTo(*now, *clip, 0))
        button.buttonShown = next;
}

bool scriptButtonContains(HostState& host, DisplayHandle& button, double x, double y) {
    auto* hit = nativeOf<DisplayHandle>(stateOf(button, "hitTestState"));
    timeline::World* w = host.world();
    if (!hit || hit == &button || !w)
        return false;
    Located at = host.locate(*hit);
    if (!at.object)
        return false;
    if (!at.object->clip)
        return timeline::objectContains(*w, *at.object, x, y);
    format::Matrix inverse;
    if (!timeline::invert(at.object->matrix, inverse))
        return false;
    timeline::applyMatrix(inverse, x, y);
    return timeline::clipContains(*w, *at.object->clip, x, y);
}

void updateButtonLook(HostState& host, DisplayHandle* button, DisplayHandle* over, DisplayHandle* pressed) {
    if (!button || !button->scriptButton)
        return;
    int look = 0;
    if (enabled(host.machine, *button)) {
        if (pressed == button)
            look = over == button ? 2 : 1;
        else if (over == button && !pressed)
            look = 1;
    }
    if (look != button->buttonLook)
        showButtonLook(host, *button, look);
}

void installSimpleButton(HostState& host, ClassObject* button) {
    Machine& m = host.machine;
    HostState* s = &host;
    // new SimpleButton(upState = null, overState = null, downState = null, hitTestState = null)
    button->init = m.newNative("SimpleButton", [s](Machine&, Value self, std::span<Value> a) {
        DisplayHandle* h = s->handleOf(self);
        for (std::size_t i = 0; i < 4; ++i)
            if (i < a.size())
                h->extras[kStates[i]] = a[i].isUndefined() ? Value::null() : a[i];
        if (h->serial)
            return Value(); // a timeline button's class constructor
        s->createOffList(*h);
        h->scriptButton = true;
        showButtonLook(*s, *h, 0);
        return Value();
    }, 4);
    for (int i = 0; i < 4; ++i) {
        const char* name = kStates[i];
        defineAccessor(
            m, button, name, [s, name](Machine&, Value self, std::span<Value>) { return stateOf(*s->handleOf(self), name); },
            [s, name, i](Machine& m, Value self, std::span<Value> a) {
                DisplayHandle& h = *s->handleOf(self);
                Value v = arg(a, 0);
                if (!v.isNullish() && !nativeOf<DisplayHandle>(v))
                    m.typeError(1034, "Type Coercion failed: cannot convert " + m.className(v) +
                                          " to flash.display.DisplayObject.");
                h.extras[name] = v.isUndefined() ? Value::null() : v;
                if (i == h.buttonLook)
                    showButtonLook(*s, h, i);
                return Value();
            });
    }
    defineAccessor(
        m, button, "enabled", [s](Machine& m, Value self, std::span<Value>) { return Value::boolean(enabled(m, *s->handleOf(self))); },
        [s](Machine& m, Value self, std::span<Value> a) {
            DisplayHandle& h = *s->handleOf(self);
            h.extras["enabled"] = Value::boolean(m.toBoolean(arg(a, 0)));
            if (!enabled(m, h))
                showButtonLook(*s, h, 0);
            return Value();
        });
}

} // namespace swf::avm2
