#include "swf/render/DeviceFace.h"

#include "swf/text/DeviceFaces.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>

namespace swf::render {
namespace {

// Device text larger than this is measured at this size and scaled (hinting no longer
// matters there, and every size would otherwise keep a face of its own).
constexpr int kLargestHintedPixels = 256;

int wholePixels(double pixels) {
    return std::isfinite(pixels) ? std::clamp(int(std::lround(pixels)), 1, 65535) : 12;
}

} // namespace

void prepareDeviceFonts() {
    const QByteArray now = qgetenv("FREETYPE_PROPERTIES");
    if (now.contains("interpreter-version"))
        return;
    qputenv("FREETYPE_PROPERTIES",
            now.isEmpty() ? QByteArray("truetype:interpreter-version=35")
                          : now + " truetype:interpreter-version=35");
}

QFont deviceFont(const QString& family, bool bold, bool italic, double pixels) {
    QFont f(family);
    f.setPixelSize(wholePixels(pixels));
    f.setBold(bold);
    f.setItalic(italic);
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setKerning(false);
    return f;
}

// A named font the system has is used as it is. One it does not have is shown in the
// default sans face, as Flash Player on Linux showed it (its screenshots show "Times New
// Roman" as DejaVu Sans where only DejaVu is installed), not in whatever the font
// configuration would substitute.
QString deviceFamily(const std::string& flashName) {
    if (flashName.empty() || flashName == "_sans")
        return QStringLiteral("DejaVu Sans");
    if (flashName == "_serif")
        return QStringLiteral("DejaVu Serif");
    if (flashName == "_typewriter")
        return QStringLiteral("DejaVu Sans Mono");
    const QString name = QString::fromStdString(flashName);
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return name;
    static const QStringList installed = QFontDatabase::families();
    return installed.contains(name, Qt::CaseInsensitive) ? name : QStringLiteral("DejaVu Sans");
}

DeviceFace::DeviceFace(const QString& family, bool bold, bool italic, int pixels)
    : m_pixels(std::clamp(pixels, 1, kLargestHintedPixels)), m_font(deviceFont(family, bold, italic, m_pixels)),
      m_metrics(m_font) {
    // The line's extent from the outlines, unhinted (hinting rounds the face's ascent up a
    // whole pixel, which Flash's lines do not show).
    QFont design = m_font;
    design.setHintingPreference(QFont::PreferNoHinting);
    const QFontMetricsF unhinted(design);
    m_ascent = unhinted.ascent() / m_pixels;
    m_descent = unhinted.descent() / m_pixels;
}

double DeviceFace::advance(char32_t c) const {
    const auto it = m_advances.find(c);
    if (it != m_advances.end())
        return it->second;
    const double a = m_metrics.horizontalAdvance(QString::fromUcs4(&c, 1)) / m_pixels;
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
    prepareDeviceFonts();
    text::setDeviceFaceSource([](const text::TextFormat& f) -> const text::FontFace* {
        static DeviceFonts fonts;
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            return nullptr;
        return &fonts.face(f.font.value_or(""), f.bold.value_or(false), f.italic.value_or(false),
                           f.size.value_or(12));
    });
}

const DeviceFace& DeviceFonts::face(const std::string& name, bool bold, bool italic, double pixels) {
    const int size = std::min(wholePixels(pixels), kLargestHintedPixels);
    auto& slot = m_faces[{name, bold, italic, size}];
    if (!slot)
        slot = std::make_unique<DeviceFace>(deviceFamily(name), bold, italic, size);
    return *slot;
}

} // namespace swf::render
