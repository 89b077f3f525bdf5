#include "swf/timeline/ButtonParts.h"

#include "swf/format/Button.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/World.h"
#include "swf/timeline/objects/ButtonObject.h"

#include <vector>

namespace swf::timeline {

namespace {

ButtonObject* buttonState(DisplayObject& button) {
    if (!button.character || button.character->kind != format::CharacterKind::Button)
        return nullptr;
    return button.as<ButtonObject>();
}

// The holder's placement follows the button's, for paths and for what scripts in the parts
// read of where they are.
void follow(DisplayObject& holderPlacement, const DisplayObject& button) {
    holderPlacement.matrix = button.matrix;
    holderPlacement.name = button.name;
    holderPlacement.visible = button.visible;
}

} // namespace

void syncButtonParts(World& world, Clip& parent, DisplayObject& button) {
    ButtonObject* b = buttonState(button);
    if (!b)
        return;
    const auto& records = static_cast<const format::ButtonCharacter&>(*button.character).records;
    if (b->holder.empty()) {
        if (parent.nesting() + 1 > kMaxNesting)
            return;
        DisplayObject placement;
        placement.kind = ObjectKind::Button;
        placement.character = button.character;
        placement.serial = world.nextSerial++;
        DisplayObject& at = b->holder.emplace(0, std::move(placement))->second;
        at.clip = std::make_shared<Clip>(world, world.emptySprite.timeline, &parent, &at, parent.nesting() + 1);
        at.clip->enterFirstFrame();
        at.clip->stop();
        at.clip->clearPending();
        b->partsState = b->state;
        b->partRecords.clear();
    } else if (b->partsState == b->state) {
        follow(b->holder.begin()->second, button);
        return;
    }
    follow(b->holder.begin()->second, button);
    // Held while parts are made: making one may run nothing, but keeps the order simple.
    const std::shared_ptr<Clip> holder = b->holder.begin()->second.clip;
    b->partsState = b->state;
    // Parts whose record the new state does not show go first.
    for (auto it = b->partRecords.begin(); it != b->partRecords.end();) {
        if (it->second < records.size() && shownIn(records[it->second], b->state)) {
            ++it;
            continue;
        }
        world.remove(*holder, it->first);
        it = b->partRecords.erase(it);
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        const format::ButtonRecord& r = records[i];
        if (!shownIn(r, b->state))
            continue;
        if (auto kept = b->partRecords.find(r.depth);
            kept != b->partRecords.end() && kept->second == i && holder->objectAt(r.depth))
            continue;
        const format::Character* c = world.movie.character(r.characterId);
        // A button inside a button is never drawn (nor a button inside itself).
        if (!c || c->kind == format::CharacterKind::Button)
            continue;
        PlaceState place;
        place.depth = r.depth;
        place.characterId = r.characterId;
        place.matrix = r.matrix;
        place.colorTransform = r.colorTransform;
        place.blendMode = r.blendMode;
        place.filters = r.filters;
        if (world.createByScript(*holder, place, c))
            b->partRecords[r.depth] = i;
        else
            b->partRecords.erase(r.depth);
    }
}

void advanceButtonParts(World& world, Clip& parent, DisplayObject& button) {
    ButtonObject* b = buttonState(button);
    if (!b)
        return;
    syncButtonParts(world, parent, button);
    if (b->holder.empty())
        return;
    // Keep the holder alive while its parts advance.
    const std::shared_ptr<Clip> holder = b->holder.begin()->second.clip;
    std::vector<std::shared_ptr<Clip>> clips;
    for (auto& [depth, obj] : holder->displayList())
        if (obj.clip)
            clips.push_back(obj.clip);
        else if (obj.state)
            obj.state->advance(obj, world);
    for (const auto& clip : clips)
        clip->advance();
}

void forEachPartClip(const DisplayObject& button, const std::function<void(Clip&)>& visit) {
    const auto* b = button.as<ButtonObject>();
    Clip* holder = b ? b->parts() : nullptr;
    if (!holder)
        return;
    const std::shared_ptr<Clip> keep = holder->shared_from_this();
    for (auto& [depth, obj] : holder->displayList())
        if (obj.clip)
            obj.clip->forEachClip(visit);
}

bool isButtonPartsHolder(const Clip& clip) {
    const DisplayObject* owner = clip.displayObject();
    return owner && owner->kind == ObjectKind::Button && owner->clip.get() == &clip;
}

void dropButtonParts(DisplayObject& button, World& world) {
    auto* b = button.as<ButtonObject>();
    if (!b)
        return;
    b->partRecords.clear();
    // Parked like a removed clip: scripts still running in a part keep a live parent
    // until the world announces the removal.
    if (!b->holder.empty())
        world.removed.push_back(b->holder.extract(b->holder.begin()));
}

void ButtonObject::removed(DisplayObject& self, World& world) {
    dropButtonParts(self, world);
}

} // namespace swf::timeline
