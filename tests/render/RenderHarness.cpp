#include "RenderHarness.h"

#include "swf/PlayerSession.h"
#include "swf/render/DeviceFace.h"
#include "swf/render/StageRenderer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>

#include <cstdlib>
#include <sstream>

namespace orvane::testing {
namespace {

// System fonts (device text) need a GUI application; the offscreen platform needs no display.
void ensureGuiApplication() {
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    swf::render::prepareDeviceFonts();
    static int argc = 1;
    static char name[] = "render_ref_tests";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv); // lives until the process ends
}

bool updating() {
    const char* v = std::getenv("UPDATE_REFS");
    return v && std::string(v) == "1";
}

QString refPath(const RefCase& c, const std::string& suffix) {
    return QString("%1/%2/%3%4.png")
        .arg(ORVANE_RENDER_REF_DIR, QString::fromStdString(c.feature), QString::fromStdString(c.name),
             QString::fromStdString(suffix));
}

QImage sideBySide(const QImage& expected, const QImage& actual, int tolerance) {
    const int w = std::max(expected.width(), actual.width());
    const int h = std::max(expected.height(), actual.height());
    QImage out(w * 3 + 8, h, QImage::Format_ARGB32);
    out.fill(QColor(255, 0, 255));
    QPainter p(&out);
    p.drawImage(0, 0, expected);
    p.drawImage(2 * (w + 4), 0, actual);
    p.end();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            QRgb d = qRgb(255, 255, 0); // outside one of the images
            if (x < expected.width() && y < expected.height() && x < actual.width() && y < actual.height()) {
                const QRgb e = expected.pixel(x, y), a = actual.pixel(x, y);
                const int m = std::max({std::abs(qRed(e) - qRed(a)), std::abs(qGreen(e) - qGreen(a)),
                                        std::abs(qBlue(e) - qBlue(a)), std::abs(qAlpha(e) - qAlpha(a))});
                d = m > tolerance ? qRgb(255, 0, 0) : qRgb(m * 8, m * 8, m * 8);
            }
            out.setPixel(w + 4 + x, y, d);
        }
    }
    return out;
}

swf::SessionOptions withQuality(swf::timeline::Quality quality) {
    swf::SessionOptions options;
    options.quality = quality;
    return options;
}

} // namespace

QImage renderMovie(const std::vector<std::uint8_t>& movie, int ticks, double scale,
                   swf::timeline::Quality quality) {
    ensureGuiApplication();
    swf::PlayerSession session(withQuality(quality));
    if (!session.loadFromBytes(movie))
        return {};
    for (int i = 0; i < ticks; ++i)
        session.tick();
    swf::render::StageRenderer renderer;
    return renderer.renderImage(session.player(), scale);
}

std::string checkImage(const RefCase& c, const QImage& actualIn, const std::string& suffix) {
    const QImage actual = actualIn.convertToFormat(QImage::Format_ARGB32);
    const QString path = refPath(c, suffix);
    if (updating()) {
        QDir().mkpath(QFileInfo(path).path());
        return actual.save(path, "PNG") ? "" : "cannot write " + path.toStdString();
    }
    QImage expected(path);
    if (expected.isNull())
        return "no reference image " + path.toStdString() + " (run with UPDATE_REFS=1)";
    expected = expected.convertToFormat(QImage::Format_ARGB32);
    int differing = 0;
    if (expected.size() == actual.size()) {
        for (int y = 0; y < actual.height(); ++y) {
            const auto* e = reinterpret_cast<const QRgb*>(expected.constScanLine(y));
            const auto* a = reinterpret_cast<const QRgb*>(actual.constScanLine(y));
            for (int x = 0; x < actual.width(); ++x) {
                const int m =
                    std::max({std::abs(qRed(e[x]) - qRed(a[x])), std::abs(qGreen(e[x]) - qGreen(a[x])),
                              std::abs(qBlue(e[x]) - qBlue(a[x])), std::abs(qAlpha(e[x]) - qAlpha(a[x]))});
                differing += m > c.tolerance;
            }
        }
        if (differing <= c.allowedPixels)
            return "";
    }
    QDir().mkpath(ORVANE_RENDER_OUT_DIR);
    const QString diffPath = QString("%1/%2-%3%4.png")
                                 .arg(ORVANE_RENDER_OUT_DIR, QString::fromStdString(c.feature),
                                      QString::fromStdString(c.name), QString::fromStdString(suffix));
    sideBySide(expected, actual, c.tolerance).save(diffPath, "PNG");
    std::ostringstream msg;
    if (expected.size() != actual.size())
        msg << "size " << actual.width() << "x" << actual.height() << ", expected " << expected.width() << "x"
            << expected.height();
    else
        msg << differing << " pixels differ by more than " << c.tolerance << " (allowed " << c.allowedPixels
            << ")";
    msg << "; see " << diffPath.toStdString();
    return msg.str();
}

std::string checkAgainstReference(const RefCase& c, const std::vector<std::uint8_t>& movie) {
    // RENDER_CORPUS_DIR=dir also saves each case's movie there (seeds for the fuzz corpus).
    if (const char* dir = std::getenv("RENDER_CORPUS_DIR")) {
        QFile f(QString("%1/%2-%3.swf")
                    .arg(dir, QString::fromStdString(c.feature), QString::fromStdString(c.name)));
        if (f.open(QIODevice::WriteOnly))
            f.write(reinterpret_cast<const char*>(movie.data()), static_cast<qint64>(movie.size()));
    }
    ensureGuiApplication();
    swf::PlayerSession session(withQuality(c.quality)); // as the player plays it: scripts run
    if (!session.loadFromBytes(movie))
        return "movie does not load: " + session.player().error();
    swf::render::StageRenderer renderer;
    int shown = 0;
    std::string failures;
    for (int f : c.frames) {
        while (shown < f) {
            session.tick();
            ++shown;
        }
        const std::string suffix = c.frames.size() > 1 ? "-f" + std::to_string(f) : "";
        const std::string r = checkImage(c, renderer.renderImage(session.player(), c.scale), suffix);
        if (!r.empty())
            failures += (failures.empty() ? "" : "\n") + ("frame " + std::to_string(f) + ": " + r);
    }
    return failures;
}

} // namespace orvane::testing
