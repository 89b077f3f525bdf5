#pragma once
// Device fonts: the system's fonts through Qt, measured for the text layout. Flash's generic
// names map to the DejaVu families the player installs (`_sans`, `_serif`, `_typewriter`);
// other names go to the font configuration, which substitutes what it has.

#include "swf/text/TextLayout.h"

#include <QFont>
#include <QFontMetricsF>

#include <map>
#include <memory>
#include <tuple>
#include <unordered_map>

namespace swf::render {

class DeviceFace : public text::FontFace {
public:
    DeviceFace(const QString& family, bool bold, bool italic);

    double ascent() const override { return m_ascent; }
    double descent() const override { return m_descent; }
    double advance(char32_t c) const override;
    int glyph(char32_t c) const override;
    // The font to draw with at `pixels` (the painter's units).
    QFont font(double pixels) const;

private:
    QFont m_font; // at the reference size the measures are taken at
    QFontMetricsF m_metrics;
    double m_ascent = 0, m_descent = 0;
    mutable std::unordered_map<char32_t, double> m_advances;
};

// One face per family and style, kept for the renderer's life.
class DeviceFonts {
public:
    const DeviceFace& face(const std::string& name, bool bold, bool italic);

private:
    std::map<std::tuple<std::string, bool, bool>, std::unique_ptr<DeviceFace>> m_faces;
};

// Makes the system's fonts (through the GUI application, while there is one) the faces
// the text layout measures device text with.
void installDeviceFaces();

QString deviceFamily(const std::string& flashName);
QFont deviceFont(const QString& family, bool bold, bool italic, double pixels);

} // namespace swf::render
