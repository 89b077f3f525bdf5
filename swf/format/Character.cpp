#include "swf/format/Character.h"
#include "swf/format/Timeline.h"

#include <cctype>

namespace swf::format {

const char* characterKindName(CharacterKind kind) {
    switch (kind) {
    case CharacterKind::Shape:
        return "shape";
    case CharacterKind::MorphShape:
        return "morphshape";
    case CharacterKind::Bitmap:
        return "bitmap";
    case CharacterKind::Font:
        return "font";
    case CharacterKind::Text:
        return "text";
    case CharacterKind::EditText:
        return "edittext";
    case CharacterKind::Button:
        return "button";
    case CharacterKind::Sound:
        return "sound";
    case CharacterKind::VideoStream:
        return "video";
    case CharacterKind::Sprite:
        return "sprite";
    case CharacterKind::BinaryData:
        return "binary";
    }
    return "unknown";
}

int Timeline::findLabel(std::string_view name) const {
    for (const auto& label : labels)
        if (label.name == name)
            return label.frame;
    auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    for (const auto& label : labels) {
        if (label.name.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = lower(label.name[i]) == lower(name[i]);
        if (same)
            return label.frame;
    }
    return -1;
}

} // namespace swf::format
