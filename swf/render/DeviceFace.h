#pragma once
// Device fonts: the system's fonts through Qt, measured for the text layout. Flash's generic
// names map to the DejaVu families the player installs (`_sans`, `_serif`, `_typewriter`);
// other names are used when the system has the family, else DejaVu Sans stands in.

#include "swf/text/TextLayout.h"

#include <QFont>
#include <QFontMetricsF>

#include <map>
#include <memory>
#include <tuple>
#include <unordered_map>

namespace swf::render {

// A face measured at one whole pixel size with full hinting, so that the layout places
// letters by the hinted advances the font shows at that size, as Flash Player's device text
// did (FreeType's TrueType interpreter hinting in both directions: see prepareDeviceFonts).
class DeviceFace : public text::FontFace {
public:
    DeviceFace(const QString& family, bool bold, bool italic, int pixels);

    double ascent() const override { return m_ascent; }
    double descent() const override { return m_descent; }
    double advance(char32_t c) const override;
    int glyph(char32_t c) const override;
    // The font to draw with at `pixels` (the painter's units).
    QFont font(double pixels) const;

private:
    int m_pixels;
    QFont m_font; // at the size the measures are taken at
    QFontMetricsF m_metrics;
    double m_ascent = 0, m_descent = 0;
    mutable std::unordered_map<char32_t, double> m_advances;
};

// One face per family, style and whole pixel size, kept for the process's life.
class DeviceFonts {
public:
    const DeviceFace& face(const std::string& name, bool bold, bool italic, double pixels);

private:
    std::map<std::tuple<std::string, bool, bool, int>, std::unique_ptr<DeviceFace>> m_faces;
};

// Makes the system's fonts (through the GUI application, while there is one) the faces
// the text layout measures device text with.
void installDeviceFaces();

// Asks FreeType for its TrueType interpreter that hints in both directions (version 35),
// unless the environment already chose one. Call before the GUI application is made: font
// libraries read the setting when they start (Qt starts one per thread).
void prepareDeviceFonts();

QString deviceFamily(const std::string& flashName);
QFont deviceFont(const QString& family, bool bold, bool italic, double pixels);

} // namespace swf::render
