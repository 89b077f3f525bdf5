#include "ShockwaveFlash.h"

#include "InputMapping.h"
#include "MovieLoader.h"
#include "swf/PlayerSession.h"

#include <QStandardPaths>
#include "swf/movie/Movie.h"
#include "swf/audio/AudioClock.h"
#include "swf/audio/AudioEngine.h"
#include "SoundOutput.h"

#ifdef ORVANE_HAVE_STAGE_RENDERER
#include "swf/render/StageRenderer.h"
#endif

#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QFileInfo>
#include <QEventLoop>
#include <QFile>

#include <QInputMethodEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QWheelEvent>
#include <QPainter>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

// Design-time state stream, little-endian:
//   0  bytes 67 55 66 55
//   4  u32 format version 0x300
//   8  u32 extent width, u32 extent height, in HIMETRIC (1/100 mm)
//   16 tagged fields: u8 tag, u8 kind (0 boolean: i16 -1/0; 1 string: u16 length + 8-bit text);
//      a zero tag or the end of the stream ends them; the rest is reserved and zero.
enum FieldTag : std::uint8_t {
    kTagMovie = 1,
    kTagSrc,
    kTagWMode,
    kTagPlay,
    kTagLoop,
    kTagQuality,
    kTagSAlign,
    kTagMenu,
    kTagBase,
    kTagAllowScriptAccess,
    kTagScale,
    kTagDeviceFont,
    kTagEmbedMovie,
    kTagBGColor,
    kTagSWRemote,
    kTagMovieData
};
constexpr int kStreamSize = 170;
constexpr double kHimetricPerInch = 2540.0;

std::uint16_t rd16(const QByteArray& b, int at) {
    return std::uint16_t(std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8);
}
std::uint32_t rd32(const QByteArray& b, int at) {
    return rd16(b, at) | std::uint32_t(rd16(b, at + 2)) << 16;
}

FlashDesignState::Scale parseScale(const QString& s, FlashDesignState::Scale fallback) {
    using S = FlashDesignState::Scale;
    if (s.compare(QLatin1String("ShowAll"), Qt::CaseInsensitive) == 0)
        return S::ShowAll;
    if (s.compare(QLatin1String("NoBorder"), Qt::CaseInsensitive) == 0)
        return S::NoBorder;
    if (s.compare(QLatin1String("ExactFit"), Qt::CaseInsensitive) == 0)
        return S::ExactFit;
    if (s.compare(QLatin1String("NoScale"), Qt::CaseInsensitive) == 0)
        return S::NoScale;
    return fallback;
}

FlashDesignState::Quality parseQuality(const QString& s, FlashDesignState::Quality fallback) {
    using Q = FlashDesignState::Quality;
    static const std::pair<const char*, Q> names[] = {{"Low", Q::Low},         {"Medium", Q::Medium},
                                                      {"High", Q::High},       {"Best", Q::Best},
                                                      {"AutoLow", Q::AutoLow}, {"AutoHigh", Q::AutoHigh}};
    for (const auto& [name, q] : names)
        if (s.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return q;
    return fallback;
}

// The engine's quality for the control's setting; the automatic ones start where they say.
swf::timeline::Quality engineQuality(FlashDesignState::Quality q) {
    using Q = FlashDesignState::Quality;
    switch (q) {
    case Q::Low:
    case Q::AutoLow:
        return swf::timeline::Quality::Low;
    case Q::Medium:
        return swf::timeline::Quality::Medium;
    case Q::Best:
        return swf::timeline::Quality::Best;
    case Q::High:
    case Q::AutoHigh:
        break;
    }
    return swf::timeline::Quality::High;
}

bool isUnloadAddress(const QString& path) {
    return path.isEmpty() || path.compare(QLatin1String("http://"), Qt::CaseInsensitive) == 0;
}

// What can be told at once about a movie file: whether it opens as a regular file and starts
// like a movie, and the body size its header declares. Raises FlashError otherwise.
std::uint64_t checkMovieFile(const QString& file, const QString& shownAs) {
    auto refuse = [&](const std::string& why) {
        throw FlashError("Cannot load movie \"" + shownAs.toStdString() + "\": " + why);
    };
    const QFileInfo info(file);
    if (!info.exists())
        refuse("no such file");
    if (!info.isFile())
        refuse("not a regular file");
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        refuse(in.errorString().toStdString());
    const QByteArray head = in.read(8);
    if (head.size() < 8 || head.at(1) != 'W' || head.at(2) != 'S' ||
        (head.at(0) != 'F' && head.at(0) != 'C' && head.at(0) != 'Z'))
        refuse("not an SWF movie");
    return rd32(head, 4);
}

} // namespace

FlashDesignState FlashDesignState::parse(const QByteArray& b) {
    FlashDesignState state;
    if (b.size() < 16 || !b.startsWith(QByteArray("\x67\x55\x66\x55", 4)))
        return state;
    const std::uint32_t cx = rd32(b, 8), cy = rd32(b, 12);
    const double dpi = 96.0;
    if (cx > 0 && cx < 10'000'000 && cy > 0 && cy < 10'000'000) {
        state.extentWidth = int(std::lround(cx * dpi / kHimetricPerInch));
        state.extentHeight = int(std::lround(cy * dpi / kHimetricPerInch));
    }
    int at = 16;
    while (at + 2 <= b.size()) {
        const std::uint8_t tag = std::uint8_t(b[at]), kind = std::uint8_t(b[at + 1]);
        at += 2;
        if (tag == 0)
            break;
        if (kind == 0) {
            if (at + 2 > b.size())
                break;
            const bool value = rd16(b, at) != 0;
            at += 2;
            if (tag == kTagLoop)
                state.loop = value;
            else if (tag == kTagPlay)
                state.play = value;
        } else if (kind == 1) {
            if (at + 2 > b.size())
                break;
            const int length = rd16(b, at);
            at += 2;
            if (length > b.size() - at)
                break;
            const QString text = QString::fromLatin1(b.constData() + at, length);
            at += length;
            if (tag == kTagScale)
                state.scale = parseScale(text, state.scale);
            else if (tag == kTagQuality)
                state.quality = parseQuality(text, state.quality);
        } else {
            break; // a kind we cannot size: nothing after it can be trusted
        }
    }
    return state;
}

QByteArray FlashDesignState::defaultStream() {
    QByteArray b("\x67\x55\x66\x55", 4);
    auto put16 = [&](std::uint16_t v) { b.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto put32 = [&](std::uint32_t v) { put16(std::uint16_t(v)), put16(std::uint16_t(v >> 16)); };
    put32(0x300);
    put32(12568);
    put32(4710);
    auto str = [&](std::uint8_t tag, const char* text) {
        b.append(char(tag)).append(char(1));
        put16(std::uint16_t(qstrlen(text)));
        b.append(text);
    };
    auto flag = [&](std::uint8_t tag, bool on) {
        b.append(char(tag)).append(char(0));
        put16(on ? 0xFFFF : 0);
    };
    str(kTagMovie, ""), str(kTagSrc, ""), str(kTagWMode, "Window"), flag(kTagPlay, true),
        flag(kTagLoop, true);
    str(kTagQuality, "High"), str(kTagSAlign, ""), flag(kTagMenu, true), str(kTagBase, "");
    str(kTagAllowScriptAccess, ""), str(kTagScale, "ShowAll"), flag(kTagDeviceFont, false);
    flag(kTagEmbedMovie, false), str(kTagBGColor, ""), str(kTagSWRemote, ""), str(kTagMovieData, "");
    b.append(QByteArray(kStreamSize - b.size(), '\0'));
    return b;
}

// Draws the stage through the renderer when it is built in; otherwise the stage shows
// only its background colour.
struct TShockwaveFlash::StagePainter {
#ifdef ORVANE_HAVE_STAGE_RENDERER
    swf::render::StageRenderer renderer; // keeps its shape and bitmap caches across frames
    StagePainter() { renderer.setThreads(0); } // a band a core
#endif
    // What the next paint changes, in widget coordinates (all of `widget` without a renderer).
    QRect damage(const swf::Player& player, const QRectF& viewport, double dpr, const QRect& widget) {
#ifdef ORVANE_HAVE_STAGE_RENDERER
        (void)widget;
        return renderer.damage(player, viewport, dpr);
#else
        (void)player, (void)viewport, (void)dpr;
        return widget;
#endif
    }
    void paint(QPainter& painter, const swf::Player& player, const QRectF& viewport, double dpr) {
#ifdef ORVANE_HAVE_STAGE_RENDERER
        renderer.render(painter, player, viewport, dpr);
#else
        (void)painter, (void)player, (void)viewport, (void)dpr;
#endif
    }
};

bool TShockwaveFlash::runsScripts() {
    return true;
}

TShockwaveFlash::TShockwaveFlash(QWidget* parent)
    : QWidget(parent), m_stagePainter(std::make_unique<StagePainter>()), m_loader(new MovieLoader(this)) {
    swf::SessionOptions options;
    options.traceSink = [this](const std::string& line) { emit traced(QString::fromStdString(line)); };
    options.fsCommandSink = [this](const std::string& command, const std::string& args) {
        emit fsCommand(QString::fromStdString(command), QString::fromStdString(args));
    };
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!data.isEmpty())
        options.sharedObjectDirectory = (data + QStringLiteral("/SharedObjects")).toStdString();
    m_session = std::make_unique<swf::PlayerSession>(std::move(options));
    m_player = &m_session->player();
    m_session->setScriptWatch([this](double seconds) { return scriptWatch(seconds); });
    m_sincePump.start();
    // The stage is painted whole every time; nothing behind it needs drawing.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    // The movie hears the mouse move without a button held, and takes typed text.
    setMouseTracking(true);
    setAttribute(Qt::WA_InputMethodEnabled);
    m_clock.setSingleShot(true);
    m_clock.setTimerType(Qt::PreciseTimer);
    connect(&m_clock, &QTimer::timeout, this, &TShockwaveFlash::onClock);
    connect(m_loader, &MovieLoader::progress, this, &TShockwaveFlash::OnProgress);
    connect(m_loader, &MovieLoader::loaded, this, [this] {
        if (!deferredInScript([this] { showLoadedMovie(); }))
            showLoadedMovie();
    });
    connect(m_loader, &MovieLoader::failed, this, [this](const QString& reason) {
        update();
        emit OnReadyStateChange(ReadyState());
        emit loadFailed(QStringLiteral("Cannot load movie \"%1\": %2").arg(m_movie, reason));
    });
    loadDesignState(FlashDesignState::defaultStream());
}

TShockwaveFlash::~TShockwaveFlash() = default;

void TShockwaveFlash::loadDesignState(const QByteArray& stream) {
    if (deferredInScript([this, stream] { loadDesignState(stream); }))
        return;
    m_designStream = stream;
    m_settings = FlashDesignState::parse(stream);
    m_player->setQuality(engineQuality(m_settings.quality));
    setLoop(m_settings.loop ? kFlashTrue : kFlashFalse);
    update();
}

void TShockwaveFlash::setDesignState(const QString& hex) {
    loadDesignState(QByteArray::fromHex(hex.toLatin1()));
}

bool TShockwaveFlash::isLoaded() const {
    return m_player->isLoaded();
}

// Everything the engine does runs on this thread. A script that runs long calls scriptWatch
// every few thousand steps; past a twentieth of a second it handles the window's events from
// there, so the menus, Stop and Exit answer while a movie runs away. The engine is never
// re-entered meanwhile: input to the movie is dropped, and commands wait in m_deferred
// until the script has ended (Stop, a new movie and closing the window end it first).
bool TShockwaveFlash::scriptWatch(double seconds) {
    if (m_endScript || m_scriptPause)
        return !m_endScript;
    if (seconds < kScriptPauseAfterSeconds || m_sincePump.elapsed() < 30)
        return true;
    QWidget* top = window();
    const bool shown = top != this && top->isVisible();
    m_scriptPause = true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    m_scriptPause = false;
    m_sincePump.restart();
    if (shown && !top->isVisible())
        m_endScript = true; // the window closed (Exit): nothing more of the movie runs
    if (!m_deferred.empty() || m_endScript)
        QTimer::singleShot(0, this, [this] { runDeferred(); });
    return !m_endScript;
}

bool TShockwaveFlash::deferredInScript(std::function<void()> command, bool endScript) {
    if (!m_scriptPause)
        return false;
    m_deferred.push_back(std::move(command));
    m_endScript = m_endScript || endScript;
    return true;
}

// Runs from the event loop once the script that deferred these commands has ended.
void TShockwaveFlash::runDeferred() {
    if (m_scriptPause)
        return; // still inside it: the pump posts this again
    m_endScript = false;
    auto commands = std::move(m_deferred);
    m_deferred.clear();
    for (auto& command : commands)
        command();
}

void TShockwaveFlash::setMovie(const QString& path) {
    if (m_scriptPause) {
        // What can be told at once is told at once; the rest waits for the script to end.
        if (!isUnloadAddress(path))
            checkMovieFile(path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive) ? QUrl(path).toLocalFile() : path,
                           path);
        m_movie = path;
        deferredInScript([this, path] { setMovie(path); }, true);
        return;
    }
    m_movie = path;
    m_loader->cancel();
    stopClock();
    m_player->unload();
    m_wantPlaying = m_settings.play;
    afterChange();
    update();
    if (isUnloadAddress(path))
        return;
    QString file = path;
    if (path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        file = QUrl(path).toLocalFile();
    const std::uint64_t declared = checkMovieFile(file, path);
    m_loadingFile = file;
    m_loader->start(file, declared);
    emit OnReadyStateChange(ReadyState());
}

bool TShockwaveFlash::loading() const {
    return m_loader->busy();
}

int TShockwaveFlash::ReadyState() const {
    return isLoaded() ? 4 : loading() ? 1 : 0;
}

bool TShockwaveFlash::waitUntilLoaded(int timeoutMs) {
    if (loading()) {
        QEventLoop wait;
        connect(m_loader, &MovieLoader::loaded, &wait, &QEventLoop::quit, Qt::QueuedConnection);
        connect(m_loader, &MovieLoader::failed, &wait, &QEventLoop::quit, Qt::QueuedConnection);
        QTimer::singleShot(timeoutMs, &wait, &QEventLoop::quit);
        wait.exec();
    }
    return isLoaded();
}

// The worker's movie goes into the player; the play state asked for while it loaded is
// applied before the first frame shows, so that frame's own actions have the last word.
void TShockwaveFlash::showLoadedMovie() {
    auto movie = m_loader->takeMovie();
    if (!movie)
        return;
    // Scripts see the real date; the movie clock is the widget's own (tickPlayer).
    m_session->setDateOrigin(double(QDateTime::currentMSecsSinceEpoch()));
    m_session->adopt(std::move(movie), QUrl::fromLocalFile(m_loadingFile).toString().toStdString());
    m_player->setLoop(m_loop);
    m_player->setPlaying(m_wantPlaying);
    // The output opens with the first movie (a headless host says once that it has none).
    if (!m_soundOut)
        m_soundOut = std::make_unique<SoundOutput>();
    m_soundOut->flush();
    m_audioClock.reset();
    tickPlayer(0);
    afterChange();
    update();
    startClock();
    emit OnReadyStateChange(ReadyState());
}

int TShockwaveFlash::TotalFrames() const {
    return isLoaded() ? m_player->totalFrames() : 0;
}

int TShockwaveFlash::FrameNum() const {
    return isLoaded() ? m_player->currentFrame() : 0;
}

void TShockwaveFlash::setFrameNum(int frame) {
    if (!isLoaded() || deferredInScript([this, frame] { setFrameNum(frame); }))
        return;
    m_player->gotoFrame(std::clamp(frame, 0, std::max(0, m_player->totalFrames() - 1)));
    afterChange();
}

FlashBool TShockwaveFlash::Playing() const {
    if (loading())
        return m_wantPlaying ? kFlashTrue : kFlashFalse;
    return isLoaded() && m_player->isPlaying() ? kFlashTrue : kFlashFalse;
}

void TShockwaveFlash::setPlaying(FlashBool playing) {
    if (deferredInScript([this, playing] { setPlaying(playing); }))
        return;
    if (loading())
        m_wantPlaying = playing != 0;
    if (!isLoaded())
        return;
    m_player->setPlaying(playing != 0);
    afterChange();
}

void TShockwaveFlash::setLoop(FlashBool loop) {
    m_loop = loop != 0;
    if (deferredInScript([this, loop] { setLoop(loop); }))
        return;
    m_player->setLoop(m_loop);
}

void TShockwaveFlash::Play() {
    setPlaying(kFlashTrue);
}
// Stop silences every sound as well; Play lets the streams start again with their frames.
void TShockwaveFlash::Stop() {
    if (deferredInScript([this] { Stop(); }, true))
        return;
    setPlaying(kFlashFalse);
    if (isLoaded())
        m_session->audio().stopAll();
}

void TShockwaveFlash::Back() {
    if (!isLoaded() || deferredInScript([this] { Back(); }))
        return;
    m_player->back();
    afterChange();
}

void TShockwaveFlash::Forward() {
    if (!isLoaded() || deferredInScript([this] { Forward(); }))
        return;
    m_player->forward();
    afterChange();
}

// The frame clock keeps a fixed schedule (start + n periods) measured on a monotonic
// clock, so timer jitter never accumulates into drift. When the host falls behind by whole
// periods, those frames are dropped: the next tick lands on the next future deadline.
void TShockwaveFlash::startClock() {
    const double rate = m_player->frameRate();
    m_periodMs = rate > 0 && std::isfinite(rate) ? std::clamp(1000.0 / rate, 1.0, 60'000.0) : 1000.0 / 12.0;
    m_elapsed.start();
    m_nextDeadlineMs = m_periodMs;
    m_clock.start(int(std::ceil(m_periodMs)));
}

void TShockwaveFlash::stopClock() {
    m_clock.stop();
}

void TShockwaveFlash::onClock() {
    if (!isLoaded())
        return;
    if (m_scriptPause) {
        m_clock.start(int(std::ceil(m_periodMs))); // the frame waits for the script
        return;
    }
    const double now = double(m_elapsed.nsecsElapsed()) / 1e6;
    // A timer may wake a little early; only a whole millisecond early is worth waiting out.
    if (now + 1.0 < m_nextDeadlineMs) {
        m_clock.start(int(std::ceil(m_nextDeadlineMs - now)));
        return;
    }
    if (runAudioClock(now))
        return;
    tickPlayer(now);
    afterInput(); // a frame can move things under the mouse
    m_nextDeadlineMs += m_periodMs;
    if (now >= m_nextDeadlineMs) {
        const double late = std::floor((now - m_nextDeadlineMs) / m_periodMs) + 1.0;
        m_dropped += std::uint64_t(late);
        m_nextDeadlineMs += late * m_periodMs;
    }
    m_clock.start(std::max(0, int(std::ceil(m_nextDeadlineMs - now))));
    afterChange();
}

void TShockwaveFlash::tickPlayer(double movieTimeMs) {
    m_session->tickAt(movieTimeMs);
    ++m_ticks;
    if (m_soundOut)
        m_soundOut->write(m_session->lastMix());
}

// While the root timeline's stream sound (or a video file's sound) plays through a device, the device's position
// says which frame is due: when the host falls behind, frames are dropped (only the
// last one of a catch-up is painted) and the sound never is. Returns false when the
// wall clock schedule applies instead.
bool TShockwaveFlash::runAudioClock(double now) {
    constexpr int kPollMs = 5;
    if (m_soundOut)
        m_soundOut->pump();
    const bool follow = m_soundOut && m_soundOut->hasDevice() && m_session->audio().audioLeadsClock();
    if (!follow) {
        if (m_audioClock) {
            m_audioClock.reset();
            m_nextDeadlineMs = now; // back on the wall clock from here
        }
        return false;
    }
    if (!m_audioClock) {
        m_audioClock = std::make_unique<swf::audio::AudioClock>(m_player->frameRate());
        m_audioClock->reset(m_soundOut->playedFrames());
        m_audioClock->ticked(); // the tick that started the stream is already queued
    }
    const std::uint64_t due = m_audioClock->dueTicks(m_soundOut->playedFrames(), now);
    for (std::uint64_t i = 0; i < due && m_audioClock; ++i) {
        tickPlayer(now);
        m_audioClock->ticked();
    }
    if (due > 1)
        m_dropped += due - 1;
    m_nextDeadlineMs = now + m_periodMs;
    m_clock.start(kPollMs);
    afterChange();
    return true;
}

// Scripts may have changed the display list or the cursor; show both.
void TShockwaveFlash::afterInput() {
    afterChange();
    static const Qt::CursorShape kShapes[] = {Qt::ArrowCursor, Qt::PointingHandCursor, Qt::IBeamCursor,
                                              Qt::BlankCursor};
    const Qt::CursorShape shape = kShapes[static_cast<int>(m_player->cursor())];
    if (cursor().shape() != shape)
        setCursor(shape);
}

void TShockwaveFlash::afterChange() {
    m_session->syncVideo(); // jumps made here bypass the session's tick
    // Only a visible change costs a repaint.
    const std::uint64_t generation = m_player->displayGeneration();
    if (generation == m_shownGeneration)
        return;
    m_shownGeneration = generation;
    // Only the part of the stage that changed is painted again.
    const QRect changed = m_stagePainter->damage(*m_player, stageViewport(), devicePixelRatioF(), rect());
    if (!changed.isEmpty())
        update(changed);
    emit frameShown();
}

void TShockwaveFlash::setLetterbox(const QColor& colour) {
    m_letterbox = colour;
    update();
}

void TShockwaveFlash::displayStateChanged(bool fullScreen) {
    QTimer::singleShot(0, this, [this, fullScreen] {
        auto tell = [this, fullScreen] {
            m_session->displayStateChanged(fullScreen);
            afterInput();
        };
        if (!deferredInScript(tell))
            tell();
    });
}

QPointF TShockwaveFlash::toStage(const QPointF& widgetPos) const {
    const QRectF view = stageViewport();
    const auto stage = m_player->stageRect();
    const double w = double(stage.width()) / 20.0, h = double(stage.height()) / 20.0;
    if (!isLoaded() || view.width() <= 0 || view.height() <= 0 || w <= 0 || h <= 0)
        return widgetPos;
    // Event positions and the viewport are both in logical pixels, so the device
    // pixel ratio cancels out here.
    return {(widgetPos.x() - view.left()) * w / view.width(), (widgetPos.y() - view.top()) * h / view.height()};
}

void TShockwaveFlash::mouseMoveEvent(QMouseEvent* event) {
    if (!isLoaded() || m_scriptPause)
        return QWidget::mouseMoveEvent(event);
    const QPointF p = toStage(event->position());
    m_player->mouseMove(p.x(), p.y());
    afterInput();
}

void TShockwaveFlash::mousePressEvent(QMouseEvent* event) {
    if (!isLoaded() || m_scriptPause || event->button() == Qt::RightButton)
        return QWidget::mousePressEvent(event);
    const QPointF p = toStage(event->position());
    m_player->mouseDown(p.x(), p.y(), flashButton(event->button()));
    afterInput();
}

void TShockwaveFlash::mouseReleaseEvent(QMouseEvent* event) {
    if (!isLoaded() || m_scriptPause || event->button() == Qt::RightButton)
        return QWidget::mouseReleaseEvent(event);
    const QPointF p = toStage(event->position());
    m_player->mouseUp(p.x(), p.y(), flashButton(event->button()));
    afterInput();
}

void TShockwaveFlash::wheelEvent(QWheelEvent* event) {
    // One notch is 120 eighths of a degree and scrolls three lines.
    const int lines = event->angleDelta().y() / 40;
    if (!isLoaded() || m_scriptPause || lines == 0)
        return QWidget::wheelEvent(event);
    m_player->wheel(lines);
    afterInput();
}

void TShockwaveFlash::forwardKey(QKeyEvent* event, bool down) {
    const int code = flashKeyCode(*event);
    const int charCode = flashCharCode(*event);
    if (code == 0 && charCode == 0)
        return;
    if (down) {
        // A paste takes what the desktop clipboard holds now.
        if ((event->modifiers() & Qt::ControlModifier) && QGuiApplication::clipboard())
            m_player->setClipboard(QGuiApplication::clipboard()->text().toStdString());
        const std::uint64_t writes = m_player->inputState().clipboardWrites;
        std::uint8_t modifiers = 0;
        if (event->modifiers() & Qt::ShiftModifier)
            modifiers |= swf::input::modifier::kShift;
        if (event->modifiers() & Qt::ControlModifier)
            modifiers |= swf::input::modifier::kControl;
        m_player->keyDown(code, charCode, modifiers);
        // A copy or cut in a text field fills the desktop clipboard.
        if (const auto& s = m_player->inputState(); s.clipboardWrites != writes) {
            if (QGuiApplication::clipboard())
                QGuiApplication::clipboard()->setText(QString::fromStdString(s.clipboard));
        }
        // What the key typed reaches a focused text field as text; Control with a letter is a
        // command (copy, paste...), unless Alt is held too (AltGr types on some layouts).
        const bool command = (modifiers & swf::input::modifier::kControl) && !(event->modifiers() & Qt::AltModifier);
        if (charCode >= 0x20 && charCode != 0x7F && !command)
            m_player->typeText(event->text().toStdString());
    } else {
        m_player->keyUp(code, charCode);
    }
    afterInput();
}

void TShockwaveFlash::keyPressEvent(QKeyEvent* event) {
    if (!isLoaded() || m_scriptPause)
        return QWidget::keyPressEvent(event);
    forwardKey(event, true);
}

void TShockwaveFlash::keyReleaseEvent(QKeyEvent* event) {
    if (!isLoaded() || m_scriptPause || event->isAutoRepeat())
        return QWidget::keyReleaseEvent(event);
    forwardKey(event, false);
}

void TShockwaveFlash::inputMethodEvent(QInputMethodEvent* event) {
    if (isLoaded() && !m_scriptPause && !event->commitString().isEmpty()) {
        m_player->typeText(event->commitString().toStdString());
        afterInput();
    }
    event->accept();
}

void TShockwaveFlash::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (isLoaded() && !m_scriptPause) {
        m_player->focusIn();
        afterInput();
    }
}

void TShockwaveFlash::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (isLoaded() && !m_scriptPause) {
        m_player->focusOut();
        afterInput();
    }
}

bool TShockwaveFlash::focusNextPrevChild(bool next) {
    return isLoaded() ? false : QWidget::focusNextPrevChild(next);
}

QRectF TShockwaveFlash::stageViewport() const {
    const QRectF area = rect();
    if (!isLoaded())
        return area;
    const auto stage = m_player->stageRect();
    const double w = double(stage.width()) / 20.0, h = double(stage.height()) / 20.0;
    if (w <= 0 || h <= 0)
        return area;
    using S = FlashDesignState::Scale;
    double sx = area.width() / w, sy = area.height() / h;
    switch (m_settings.scale) {
    case S::ShowAll:
        sx = sy = std::min(sx, sy);
        break;
    case S::NoBorder:
        sx = sy = std::max(sx, sy);
        break;
    case S::ExactFit:
        break;
    case S::NoScale:
        sx = sy = 1.0;
        break;
    }
    const QSizeF size(w * sx, h * sy);
    return QRectF(area.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

void TShockwaveFlash::paintEvent(QPaintEvent*) {
    ++m_paints;
    QPainter painter(this);
    if (!isLoaded()) {
        painter.fillRect(rect(), palette().color(QPalette::Base));
        return;
    }
    const auto bg = m_player->backgroundColor();
    if (m_letterbox.isValid()) {
        painter.fillRect(rect(), m_letterbox);
        painter.fillRect(stageViewport(), QColor(bg.r, bg.g, bg.b));
    } else {
        painter.fillRect(rect(), QColor(bg.r, bg.g, bg.b));
    }
    painter.setClipRect(rect());
    m_stagePainter->paint(painter, *m_player, stageViewport(), devicePixelRatioF());
}

} // namespace orvane
