#include "swf/render/Damage.h"

#include <algorithm>

namespace swf::render {

QRect damagedArea(const FrameItems& before, const FrameItems& after, const QRect& stage) {
    if (before.whole || after.whole)
        return stage;
    QRectF area;
    auto add = [&area](const QRectF& r) { area = area.isNull() ? r : area.united(r); };
    const std::size_t common = std::min(before.items.size(), after.items.size());
    // Items are compared in drawing order: one that comes or goes shifts the rest, which then
    // count as changed too (they may now draw over or under something else).
    for (std::size_t i = 0; i < common; ++i)
        if (!(before.items[i] == after.items[i])) {
            add(before.items[i].bounds);
            add(after.items[i].bounds);
        }
    for (std::size_t i = common; i < before.items.size(); ++i)
        add(before.items[i].bounds);
    for (std::size_t i = common; i < after.items.size(); ++i)
        add(after.items[i].bounds);
    if (area.isNull())
        return QRect();
    return area.toAlignedRect().adjusted(-1, -1, 1, 1).intersected(stage);
}

} // namespace swf::render
