// Text fields, buttons and the other placed objects that are not clips, as display objects
// for scripts: placement properties, name, depth, removal, and buttons' script flags.

#include "swf/avm1/PlayerScriptHost.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/World.h"
#include "swf/timeline/objects/ButtonObject.h"
#include "swf/timeline/objects/TextFieldObject.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

constexpr int kDepthOffset = 16384; // script depth 0 is timeline depth 16384
constexpr double kTwips = 20.0;

// The field's box (autoSized) through its placement: the extent in the parent, pixels.
void extentInParent(const timeline::DisplayObject& o, const text::FieldState& f, double& width, double& height) {
    const text::TextLayout& laid = f.layout();
    const double x0 = f.properties().x + laid.xShift, y0 = f.properties().y;
    const double xs[] = {x0, x0 + laid.width}, ys[] = {y0, y0 + laid.height};
    double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    for (double x : xs)
        for (double y : ys) {
            const double px = o.matrix.a * x + o.matrix.c * y, py = o.matrix.b * x + o.matrix.d * y;
            minX = std::min(minX, px);
            maxX = std::max(maxX, px);
            minY = std::min(minY, py);
            maxY = std::max(maxY, py);
        }
    width = (maxX - minX) / kTwips;
    height = (maxY - minY) / kTwips;
}

} // namespace

timeline::DisplayObject* PlayerScriptHost::placedObject(const FieldRef& ref, timeline::Clip** parent) {
    timeline::Clip* c = find(ref.parent);
    if (!c)
        return nullptr;
    for (auto& [depth, obj] : c->displayList())
        if (obj.serial == ref.serial) {
            if (parent)
                *parent = c;
            return &obj;
        }
    return nullptr;
}

timeline::DisplayObject* PlayerScriptHost::fieldObject(const FieldRef& ref, timeline::Clip** parent) {
    timeline::DisplayObject* o = placedObject(ref, parent);
    return o && o->as<timeline::TextFieldObject>() ? o : nullptr;
}

bool PlayerScriptHost::placedLives(const FieldRef& ref) {
    return placedObject(ref) != nullptr;
}

double PlayerScriptHost::placedProperty(const FieldRef& ref, ClipProperty p) {
    if (fieldObject(ref))
        return fieldProperty(ref, p);
    const timeline::DisplayObject* o = placedObject(ref);
    return o ? objectProperty(o, p) : 0;
}

void PlayerScriptHost::setPlacedProperty(const FieldRef& ref, ClipProperty p, double value) {
    if (fieldObject(ref))
        return setFieldProperty(ref, p, value);
    timeline::DisplayObject* o = placedObject(ref);
    if (o && std::isfinite(value) && setObjectProperty(*o, p, std::clamp(value, -1e9, 1e9)))
        ++m_world->generation;
}

double PlayerScriptHost::fieldProperty(const FieldRef& ref, ClipProperty p) {
    const timeline::DisplayObject* o = fieldObject(ref);
    if (!o)
        return 0;
    if (p == ClipProperty::Width || p == ClipProperty::Height) {
        double w = 0, h = 0;
        extentInParent(*o, o->as<timeline::TextFieldObject>()->field, w, h);
        return p == ClipProperty::Width ? w : h;
    }
    return objectProperty(o, p);
}

namespace {

// value * 20 as a 32-bit integer, wrapping as ECMAScript's ToInt32 does (NaN and the
// infinities give 0).
double twipsWrapped(double value) {
    const double t = std::trunc(value * kTwips);
    if (!std::isfinite(t))
        return 0;
    double m = std::fmod(t, 4294967296.0);
    if (m < 0)
        m += 4294967296.0;
    return m >= 2147483648.0 ? m - 4294967296.0 : m;
}

} // namespace

// A field's _width and _height size its box in its own space; the text keeps its size.
void PlayerScriptHost::setFieldProperty(const FieldRef& ref, ClipProperty p, double value) {
    timeline::DisplayObject* o = fieldObject(ref);
    if (!o || std::isnan(value))
        return;
    const bool sized = p == ClipProperty::Width || p == ClipProperty::Height;
    if (p == ClipProperty::X || p == ClipProperty::Y || sized) {
        // Flash keeps these in whole twips of 32 bits: a value wraps there, and infinities
        // become 0 (a negative size is refused first).
        if (sized && value < 0)
            return;
        value = twipsWrapped(value) / kTwips;
    } else if (!std::isfinite(value)) {
        return;
    }
    value = std::clamp(value, -1e9, 1e9);
    if (sized) {
        const double scale = p == ClipProperty::Width ? std::hypot(o->matrix.a, o->matrix.b)
                                                      : std::hypot(o->matrix.c, o->matrix.d);
        if (scale <= 0 || value < 0)
            return;
        const double twips = value * kTwips / scale;
        o->as<timeline::TextFieldObject>()->field.change([&](text::FieldProperties& props) {
            (p == ClipProperty::Width ? props.width : props.height) = twips;
        });
    } else if (!setObjectProperty(*o, p, value)) {
        return;
    }
    ++m_world->generation;
}

bool PlayerScriptHost::placedName(const FieldRef& ref, std::string& name, int& depth) {
    const timeline::DisplayObject* o = placedObject(ref);
    if (!o)
        return false;
    name = o->name;
    depth = o->depth - kDepthOffset;
    return true;
}

bool PlayerScriptHost::fieldPlacement(const FieldRef& ref, std::string& name, int& depth) {
    return fieldObject(ref) && placedName(ref, name, depth);
}

void PlayerScriptHost::renamePlaced(const FieldRef& ref, const std::string& name) {
    if (timeline::DisplayObject* o = placedObject(ref))
        o->name = name;
}

void PlayerScriptHost::renameField(const FieldRef& ref, const std::string& name) {
    if (fieldObject(ref))
        renamePlaced(ref, name);
}

bool PlayerScriptHost::removeField(const FieldRef& ref) {
    timeline::Clip* parent = nullptr;
    const timeline::DisplayObject* o = fieldObject(ref, &parent);
    if (!o || o->depth < kDepthOffset)
        return false;
    return parent->removeAt(o->depth);
}

FieldRef PlayerScriptHost::buttonChild(ClipId clip, std::string_view name, bool caseSensitive) {
    return childOfKind(clip, name, caseSensitive, timeline::ObjectKind::Button);
}

std::optional<bool> PlayerScriptHost::buttonFlag(const FieldRef& ref, ButtonFlag flag) {
    const timeline::DisplayObject* o = placedObject(ref);
    const auto* b = o ? o->as<timeline::ButtonObject>() : nullptr;
    if (!b)
        return std::nullopt;
    switch (flag) {
    case ButtonFlag::Enabled:
        return b->enabled;
    case ButtonFlag::HandCursor:
        return b->useHandCursor;
    case ButtonFlag::TrackAsMenu:
        return b->trackAsMenu.value_or(static_cast<const format::ButtonCharacter&>(*o->character).trackAsMenu);
    }
    return std::nullopt;
}

void PlayerScriptHost::setButtonFlag(const FieldRef& ref, ButtonFlag flag, bool value) {
    timeline::DisplayObject* o = placedObject(ref);
    auto* b = o ? o->as<timeline::ButtonObject>() : nullptr;
    if (!b)
        return;
    if (flag == ButtonFlag::Enabled)
        b->enabled = value;
    else if (flag == ButtonFlag::HandCursor)
        b->useHandCursor = value;
    else
        b->trackAsMenu = value;
    ++m_world->generation; // the cursor and what the mouse is over may change
}

} // namespace swf::avm1
