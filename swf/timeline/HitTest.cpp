#include "swf/timeline/HitTest.h"

#include "swf/timeline/SeekIndex.h"

#include "swf/format/Button.h"
#include "swf/format/Shape.h"
#include "swf/format/Text.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/SeekIndex.h"
#include "swf/timeline/ShapeHit.h"
#include "swf/timeline/World.h"
#include "swf/timeline/objects/ButtonObject.h"
#include "swf/timeline/objects/TextFieldObject.h"

#include <cmath>
#include <vector>

namespace swf::timeline {

HitShapeCache::HitShapeCache() = default;
HitShapeCache::~HitShapeCache() = default;

const HitShape& HitShapeCache::shape(const format::ShapeCharacter& character) {
    auto& slot = m_shapes[&character];
    if (!slot)
        slot = std::make_unique<HitShape>(character);
    return *slot;
}

bool invert(const format::Matrix& m, format::Matrix& out) {
    const double det = m.a * m.d - m.b * m.c;
    if (det == 0 || !std::isfinite(det))
        return false;
    out.a = m.d / det;
    out.b = -m.b / det;
    out.c = -m.c / det;
    out.d = m.a / det;
    out.tx = (m.c * m.ty - m.d * m.tx) / det;
    out.ty = (m.b * m.tx - m.a * m.ty) / det;
    return true;
}

void applyMatrix(const format::Matrix& m, double& x, double& y) {
    const double nx = m.a * x + m.c * y + m.tx;
    y = m.b * x + m.d * y + m.ty;
    x = nx;
}

namespace {

bool inRect(const format::Rect& r, double x, double y) {
    return x >= r.xMin && x <= r.xMax && y >= r.yMin && y <= r.yMax;
}

// Maps a point from the parent's space into the object's; false when it cannot.
bool toLocal(const format::Matrix& m, double& x, double& y) {
    format::Matrix inv;
    if (!invert(m, inv))
        return false;
    applyMatrix(inv, x, y);
    return std::isfinite(x) && std::isfinite(y);
}

bool buttonContainsAt(World& world, const format::ButtonCharacter& button, double x, double y, int nesting);

// A character in its own space, without instance state (button states, placed text).
bool characterContains(World& world, const format::Character& c, std::uint16_t ratio, double x, double y,
                       int nesting) {
    using K = format::CharacterKind;
    switch (c.kind) {
    case K::Shape:
        return world.hitShapes().shape(static_cast<const format::ShapeCharacter&>(c)).contains(x, y);
    case K::MorphShape: {
        const auto shape = static_cast<const format::MorphShapeCharacter&>(c).shapeAt(ratio);
        return HitShape(shape).contains(x, y);
    }
    case K::Text:
        return inRect(static_cast<const format::TextCharacter&>(c).bounds, x, y);
    case K::EditText:
        return inRect(static_cast<const format::EditTextCharacter&>(c).bounds, x, y);
    case K::Button:
        return buttonContainsAt(world, static_cast<const format::ButtonCharacter&>(c), x, y, nesting + 1);
    case K::Sprite: {
        // A sprite in a button's hit state is never shown: its first frame is what is hit.
        if (nesting > kMaxNesting)
            return false;
        PlaceMap first;
        applyFrameTags(world.movie, static_cast<const format::SpriteCharacter&>(c).timeline, 0, first);
        for (const auto& [depth, place] : first) {
            const format::Character* inner = world.movie.character(place.characterId);
            double lx = x, ly = y;
            if (inner && inner != &c && place.visible && place.clipDepth == 0 && toLocal(place.matrix, lx, ly) &&
                characterContains(world, *inner, place.ratio, lx, ly, nesting + 1))
                return true;
        }
        return false;
    }
    default:
        return false;
    }
}

struct Masks {
    struct Active {
        int clipDepth;
        bool hit;
    };
    std::vector<Active> active;
    // Drops masks that end below `depth`; true when every remaining mask holds the point.
    bool allow(int depth) {
        std::erase_if(active, [depth](const Active& a) { return a.clipDepth < depth; });
        for (const Active& a : active)
            if (!a.hit)
                return false;
        return true;
    }
};

bool objectContainsAt(World& world, const DisplayObject& obj, double x, double y, int nesting);

// A clip's run-time drawing is hit where it paints, like a shape (drawings change, so
// they are not cached).
bool drawingContains(const Clip& clip, double x, double y) {
    const Graphics& g = clip.graphics();
    return !g.empty() && inRect(g.shape().bounds, x, y) && HitShape(g.shape()).contains(x, y);
}

bool listContains(World& world, const DisplayList& list, double x, double y, int nesting) {
    Masks masks;
    for (const auto& [depth, obj] : list) {
        const bool allowed = masks.allow(depth);
        if (obj.clipDepth > 0) {
            masks.active.push_back({obj.clipDepth, objectContainsAt(world, obj, x, y, nesting)});
            continue;
        }
        if (allowed && obj.visible && objectContainsAt(world, obj, x, y, nesting))
            return true;
    }
    return false;
}

bool objectContainsAt(World& world, const DisplayObject& obj, double x, double y, int nesting) {
    if (!obj.character || nesting > kMaxNesting || !toLocal(obj.matrix, x, y))
        return false;
    if (obj.clip)
        return drawingContains(*obj.clip, x, y) || listContains(world, obj.clip->displayList(), x, y, nesting + 1);
    // Kinds whose outline is not worked out here answer for themselves (text by its box).
    using K = format::CharacterKind;
    const K kind = obj.character->kind;
    if (obj.state && kind != K::Shape && kind != K::MorphShape && kind != K::Button)
        return obj.state->hitTest(obj, x, y);
    return characterContains(world, *obj.character, obj.ratio, x, y, nesting);
}

// Shared walk of a display list from the top: masks are worked out bottom-up first so
// that the walk down knows which objects the point may reach.
template <class Visit>
bool walkTopDown(World& world, Clip& clip, double x, double y, int nesting, const Visit& visit) {
    if (nesting > kMaxNesting)
        return false;
    DisplayList& list = clip.displayList();
    std::vector<std::pair<DisplayObject*, bool>> order; // object, reachable through its masks
    order.reserve(list.size());
    Masks masks;
    for (auto& [depth, obj] : list) {
        const bool allowed = masks.allow(depth);
        if (obj.clipDepth > 0)
            masks.active.push_back({obj.clipDepth, objectContainsAt(world, obj, x, y, nesting)});
        else if (allowed && obj.visible && obj.character)
            order.emplace_back(&obj, true);
    }
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        double lx = x, ly = y;
        if (!toLocal(it->first->matrix, lx, ly))
            continue;
        if (visit(*it->first, lx, ly, nesting))
            return true;
    }
    return false;
}

bool findTarget(World& world, Clip& clip, double x, double y, int nesting,
                const std::function<bool(Clip&)>& actsAsButton, MouseTarget& out) {
    return walkTopDown(world, clip, x, y, nesting, [&](DisplayObject& obj, double lx, double ly, int n) {
        if (obj.character->kind == format::CharacterKind::Button) {
            const auto* state = obj.as<ButtonObject>();
            if ((state && !state->enabled) ||
                !buttonContains(world, static_cast<const format::ButtonCharacter&>(*obj.character), lx, ly))
                return false;
            out = {&clip, &obj};
            return true;
        }
        // A selectable text field takes the mouse for selecting its text.
        if (const auto* field = obj.as<TextFieldObject>())
            if (field->field.properties().selectable && field->hitTest(obj, lx, ly)) {
                out = {&clip, &obj};
                return true;
            }
        if (!obj.clip)
            return false;
        if (actsAsButton(*obj.clip)) {
            if (!listContains(world, obj.clip->displayList(), lx, ly, n + 1))
                return false;
            out = {&clip, &obj};
            return true;
        }
        return findTarget(world, *obj.clip, lx, ly, n + 1, actsAsButton, out);
    });
}

Clip* clipUnder(World& world, Clip& clip, double x, double y, int nesting, const Clip* ignore) {
    Clip* found = nullptr;
    walkTopDown(world, clip, x, y, nesting, [&](DisplayObject& obj, double lx, double ly, int n) {
        if (!obj.clip || obj.clip.get() == ignore)
            return false;
        if (!listContains(world, obj.clip->displayList(), lx, ly, n + 1))
            return false;
        Clip* inner = clipUnder(world, *obj.clip, lx, ly, n + 1, ignore);
        found = inner ? inner : obj.clip.get();
        return true;
    });
    return found;
}

bool buttonContainsAt(World& world, const format::ButtonCharacter& button, double x, double y, int nesting) {
    if (nesting > kMaxNesting)
        return false;
    for (const format::ButtonRecord& rec : button.records) {
        if (!rec.hitTest)
            continue;
        const format::Character* c = world.movieOf(button).character(rec.characterId);
        double lx = x, ly = y;
        if (c && c != &button && toLocal(rec.matrix, lx, ly) && characterContains(world, *c, 0, lx, ly, nesting))
            return true;
    }
    return false;
}

} // namespace

format::Matrix rootMatrix(const Clip& clip) {
    format::Matrix m;
    int guard = 0;
    for (const Clip* c = &clip; c && c->displayObject() && ++guard < 64; c = c->parent())
        m = c->displayObject()->matrix * m;
    return m;
}

bool buttonContains(World& world, const format::ButtonCharacter& button, double x, double y) {
    return buttonContainsAt(world, button, x, y, 0);
}

bool clipContains(World& world, const Clip& clip, double x, double y) {
    return drawingContains(clip, x, y) || listContains(world, clip.displayList(), x, y, clip.nesting());
}

bool objectContains(World& world, const DisplayObject& object, double x, double y) {
    return object.visible && objectContainsAt(world, object, x, y, 0);
}

MouseTarget findMouseTarget(World& world, Clip& root, double x, double y,
                            const std::function<bool(Clip&)>& actsAsButton) {
    MouseTarget out;
    findTarget(world, root, x, y, root.nesting(), actsAsButton, out);
    return out;
}

Clip* findClipUnder(World& world, Clip& root, double x, double y, const Clip* ignore) {
    return clipUnder(world, root, x, y, root.nesting(), ignore);
}

} // namespace swf::timeline
