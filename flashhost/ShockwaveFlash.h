#pragma once
// TShockwaveFlash: the movie area of the main window. It owns one swf::Player, gives it the
// properties and methods the window drives (Movie, TotalFrames, FrameNum, Playing, Loop,
// Play, Stop, Back, Forward), runs the frame clock and paints the player's stage.
//
// Booleans are Flash booleans: 16-bit, -1 for true, 0 for false, any non-zero read as true.
// A call the control cannot carry out raises FlashError.

#include <QByteArray>
#include <QColor>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace swf {
class Player;
class PlayerSession;
} // namespace swf
namespace swf::audio {
class AudioClock;
}

namespace orvane {

class SoundOutput;

using FlashBool = std::int16_t;
inline constexpr FlashBool kFlashTrue = -1;
inline constexpr FlashBool kFlashFalse = 0;

class FlashError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The control's stored settings, decoded from its design-time state stream.
struct FlashDesignState {
    enum class Scale { ShowAll, NoBorder, ExactFit, NoScale };
    enum class Quality { Low, Medium, High, Best, AutoLow, AutoHigh };
    Scale scale = Scale::ShowAll;
    Quality quality = Quality::High;
    bool loop = true;
    bool play = true;      // a loaded movie starts playing by itself
    int extentWidth = 475; // pixels, from the stored HIMETRIC extent
    int extentHeight = 178;

    // Reads what it can; anything unknown, short or malformed keeps the defaults.
    static FlashDesignState parse(const QByteArray& stream);
    // The 170-byte stream the main window's form data carries.
    static QByteArray defaultStream();
};

class TShockwaveFlash : public QWidget {
    Q_OBJECT
    // The design-time state as hexadecimal text, so that form data can carry it.
    Q_PROPERTY(QString DesignState READ designStateHex WRITE setDesignState)

public:
    explicit TShockwaveFlash(QWidget* parent = nullptr);
    ~TShockwaveFlash() override;

    // Setting a file path starts loading that movie and returns at once; "http://" or an
    // empty string unloads. Raises FlashError at once for a file that cannot be opened or is
    // no movie (the control is then empty). The rest (decompressing, parsing) runs on a
    // worker thread; when it ends the movie shows its first frame and OnReadyStateChange(4)
    // is emitted, or loadFailed with the reason. Play and Stop given meanwhile take effect
    // before the first frame's actions run, so a movie's own stop on frame 1 wins.
    QString Movie() const { return m_movie; }
    void setMovie(const QString& path);
    // 0 empty or failed, 1 loading, 4 loaded.
    int ReadyState() const;
    // Runs events until the pending load ends; true when a movie is loaded (for tests and tools).
    bool waitUntilLoaded(int timeoutMs = 30000);

    int TotalFrames() const;
    // Current frame of the root timeline, from 0. Writing jumps there; values outside the
    // movie are clamped to it.
    int FrameNum() const;
    void setFrameNum(int frame);
    FlashBool Playing() const;
    void setPlaying(FlashBool playing);
    FlashBool Loop() const { return m_loop ? kFlashTrue : kFlashFalse; }
    void setLoop(FlashBool loop);

    void Play();
    void Stop();
    // One frame back or on, then stopped.
    void Back();
    void Forward();

    // Design-time state, accepted as opaque bytes; only the settings it understands are used.
    void loadDesignState(const QByteArray& stream);
    QByteArray designState() const { return m_designStream; }
    const FlashDesignState& settings() const { return m_settings; }
    QString designStateHex() const { return QString::fromLatin1(m_designStream.toHex().toUpper()); }
    void setDesignState(const QString& hex);

    bool isLoaded() const;
    const swf::Player& player() const { return *m_player; }

    // Where the stage lands inside the widget under the current scale mode.
    QRectF stageViewport() const;
    // The colour around the stage (full screen shows the stage on black); an invalid colour,
    // the default, fills the whole area with the movie's background colour.
    void setLetterbox(const QColor& colour);
    // The window went in or out of full screen; the movie hears of it (Stage.displayState,
    // onFullScreen) from the event loop, never inside one of its scripts.
    void displayStateChanged(bool fullScreen);
    // A point of the widget (logical pixels) in stage pixels, through the same mapping.
    QPointF toStage(const QPointF& widgetPos) const;

    // Frame clock figures, for tests and diagnostics.
    std::uint64_t ticks() const { return m_ticks; }
    std::uint64_t droppedFrames() const { return m_dropped; }
    std::uint64_t paints() const { return m_paints; }
    double framePeriodMs() const { return m_periodMs; }
    // When the next frame is due, in milliseconds since the movie was loaded.
    double nextDeadlineMs() const { return m_nextDeadlineMs; }

    // True while the frame clock follows the audio device (a root stream sound plays).
    bool followsAudioClock() const { return m_audioClock != nullptr; }

    // Whether the movie's ActionScript runs in full (always, since the shared session runs it).
    static bool runsScripts();

    // While a movie's script runs long (a runaway loop), the window keeps handling its own
    // events from inside it: menus, Stop and Exit answer. Meanwhile input to the movie is
    // dropped and commands wait until the script ends; Stop, a new movie and closing the
    // window end the script at once.
    bool inRunningScript() const { return m_scriptPause; }
    // Scripts that run longer than this (a twentieth of a second) get the window's events handled from inside them.
    static constexpr double kScriptPauseAfterSeconds = 0.05;

signals:
    void OnReadyStateChange(int newState);
    void OnProgress(int percentDone);
    void loadFailed(const QString& reason);
    // A tick or a command changed what the stage shows.
    void frameShown();
    // A line the movie's scripts traced.
    void traced(const QString& line);
    // A script's fscommand(command, args); the window decides what to honour.
    void fsCommand(const QString& command, const QString& args);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Input goes to the movie. The main window's right-button hook sees right presses
    // first and keeps them; the movie only ever sees the left button.
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Tab belongs to the movie while one is loaded.
    bool focusNextPrevChild(bool next) override;

private:
    void startClock();
    void stopClock();
    void onClock();
    void afterChange();
    void tickPlayer(double movieTimeMs);
    void showLoadedMovie();
    bool loading() const;
    bool runAudioClock(double now);
    void afterInput();
    void forwardKey(QKeyEvent* event, bool down);
    bool scriptWatch(double seconds);
    // True when called from inside a running script: `command` then runs once it has ended
    // (and `endScript` ends it now).
    bool deferredInScript(std::function<void()> command, bool endScript = false);
    void runDeferred();

    struct StagePainter;
    std::unique_ptr<swf::PlayerSession> m_session; // the player, its scripts and tick order
    swf::Player* m_player = nullptr;               // m_session's player
    std::unique_ptr<StagePainter> m_stagePainter;
    class MovieLoader* m_loader = nullptr;
    std::unique_ptr<SoundOutput> m_soundOut;
    std::unique_ptr<swf::audio::AudioClock> m_audioClock; // set while the audio clock leads
    QString m_movie;
    QString m_loadingFile;
    bool m_wantPlaying = true; // play state asked for while a movie loads
    bool m_loop = true;
    QByteArray m_designStream;
    QColor m_letterbox;
    FlashDesignState m_settings;

    QTimer m_clock;
    QElapsedTimer m_elapsed;
    double m_periodMs = 1000.0 / 12.0;
    double m_nextDeadlineMs = 0;
    std::uint64_t m_ticks = 0;
    std::uint64_t m_dropped = 0;
    std::uint64_t m_paints = 0;
    std::uint64_t m_shownGeneration = 0;

    bool m_scriptPause = false; // handling events from inside a running script
    bool m_endScript = false;   // the running script is to stop
    std::vector<std::function<void()>> m_deferred;
    QElapsedTimer m_sincePump;
};

} // namespace orvane
