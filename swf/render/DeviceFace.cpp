#include "swf/render/DeviceFace.h"

#include "swf/text/DeviceFaces.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>

namespace swf::render {
namespace {

// Measures are taken at this pixel size and scaled: large enough that rounding in the
// font engine does not show.
constexpr double kReferencePixels = 512;

} // namespace

QFont deviceFont(const QString& family, bool bold, bool italic, double pixels) {
    QFont f(family);
    f.setPixelSize(std::clamp(int(std::lround(pixels)), 1, 65535));
    f.setBold(bold);
    f.setItalic(italic);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false);
    return f;
}

QString deviceFamily(const std::string& flashName) {
    if (flashName.empty() || flashName == "_sans")
        return QStringLiteral("DejaVu Sans");
    if (flashName == "_serif")
        return QStringLiteral("DejaVu Serif");
    if (flashName == "_typewriter")
        return QStringLiteral("DejaVu Sans Mono");
    return QString::fromStdString(flashName);
}

DeviceFace::DeviceFace(const QString& family, bool bold, bool italic)
    : m_font(deviceFont(family, bold, italic, kReferencePixels)), m_metrics(m_font) {
    m_ascent = m_metrics.ascent() / kReferencePixels;
    m_descent = m_metrics.descent() / kReferencePixels;
}

double DeviceFace::advance(char32_t c) const {
    const auto it = m_advances.find(c);
    if (it != m_advances.end())
        return it->second;
    const double a = m_metrics.horizontalAdvance(QString::fromUcs4(&c, 1)) / kReferencePixels;
    m_advances.emplace(c, a);
    return a;
}

int DeviceFace::glyph(char32_t c) const {
    // The font configuration falls back to other fonts for what this one lacks.
    return c < 0x20 || c == 0x7F ? -1 : 0;
}

QFont DeviceFace::font(double pixels) const {
    QFont f = m_font;
    f.setPixelSize(std::clamp(int(std::lround(pixels)), 1, 65535));
    return f;
}

void installDeviceFaces() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    text::setDeviceFaceSource([](const text::TextFormat& f) -> const text::FontFace* {
        static DeviceFonts fonts;
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            return nullptr;
        return &fonts.face(f.font.value_or(""), f.bold.value_or(false), f.italic.value_or(false));
    });
}

const DeviceFace& DeviceFonts::face(const std::string& name, bool bold, bool italic) {
    auto& slot = m_faces[{name, bold, italic}];
    if (!slot)
        slot = std::make_unique<DeviceFace>(deviceFamily(name), bold, italic);
    return *slot;
}

} // namespace swf::render
