#pragma once
// The player's rendering quality: set by the host (window setting, orvane-tool --quality)
// and by scripts (_quality, _highquality, toggleHighQuality); the renderer reads it.
//   low     no anti-aliasing, bitmaps unsmoothed
//   medium  anti-aliased, bitmaps unsmoothed
//   high    anti-aliased, bitmaps smoothed where the fill asks for it
//   best    anti-aliased, bitmaps always smoothed (Flash's documented difference)

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>

namespace swf::timeline {

enum class Quality { Low, Medium, High, Best };

inline const char* qualityName(Quality q) {
    static const char* const names[] = {"LOW", "MEDIUM", "HIGH", "BEST"};
    return names[static_cast<int>(q)];
}

// The quality named by `name` in any letter case; nothing for another word.
inline std::optional<Quality> qualityFromName(std::string_view name) {
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (Quality q : {Quality::Low, Quality::Medium, Quality::High, Quality::Best})
        if (upper == qualityName(q))
            return q;
    return std::nullopt;
}

inline bool antialiased(Quality q) {
    return q != Quality::Low;
}

inline bool smoothsBitmaps(Quality q) {
    return q == Quality::High || q == Quality::Best;
}

// Bitmaps are smoothed even where their fill or object asks for them not to be.
inline bool alwaysSmoothsBitmaps(Quality q) {
    return q == Quality::Best;
}

} // namespace swf::timeline
