#pragma once
// TMainForm: the player's one window. Its children and settings come from MainFrm.ui; the
// handlers below keep the names of the events they serve.

#include "ui_MainFrm.h"

#include <QFileDialog>
#include <QIcon>
#include <QList>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <functional>

class QMenu;
class QProgressBar;

namespace orvane {

// The application-wide message hook: sees every event before it is delivered, in modal
// loops too, and may mark it handled so that nobody else gets it.
class TApplicationEvents : public QObject {
    Q_OBJECT
public:
    using MessageEvent = std::function<void(QObject* receiver, QEvent* Msg, bool& Handled)>;
    explicit TApplicationEvents(QObject* owner);
    ~TApplicationEvents() override;

    MessageEvent OnMessage;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class TMainForm : public QMainWindow, public Ui::TMainForm {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The program file the start-up extracts its movie from; empty means the running program.
    static QString programFile;
    // The movie named on the command line; played by the bare player (no movie appended).
    static QString commandLineFile;
    // Where start-up's one-line reasons go (standard error unless a test replaces it).
    static std::function<void(const QString&)> startupReporter;

    // True when the program carries its own movie: Open and Close stay disabled then.
    bool isProjector() const { return m_projector; }

    // Non-visual members.
    QList<QIcon> ImageList1; // 0 open, 1 play, 2 stop, 3 backward, 4 forward, 5 loop
    QFileDialog* OpenDialog = nullptr;
    QTimer* TimerPlay = nullptr;
    TApplicationEvents* ApplicationEvents1 = nullptr;
    // The window's context menu, which the right-button hook pops up over the movie.
    QMenu* PopupMenu = nullptr;

    // Beyond the form data: keyboard commands, full screen and the bare player's recent files.
    // Every shortcut carries a modifier (F11 aside, and Escape while in full screen), so plain
    // keys, arrows and Space reach the movie.
    QAction* PlayStop1 = nullptr;        // Ctrl+Enter: Play when stopped, Stop when playing
    QAction* FullScreen1 = nullptr;      // View menu, F11 or Ctrl+F
    QAction* LeaveFullScreen1 = nullptr; // Escape, only while in full screen
    QMenu* Recent1 = nullptr;            // File menu, the bare player only
    // Shown in the slider's place while a movie takes long to load (slowLoadMs or more).
    QProgressBar* LoadProgress = nullptr;
    static int slowLoadMs;

    // The client area: the window below its menu bar (toolbar, movie, slider strip).
    int clientWidth() const;
    int clientHeight() const;
    void setClientWidth(int width);
    void setClientHeight(int height);
    // Window coordinates of the client area's top-left corner.
    int clientTop() const;

    bool savedPlaying() const { return m_playing; }

    // Handlers.
    void FormCreate(QObject* Sender);
    void FormResize(QObject* Sender);
    void Open1Click(QObject* Sender);
    void Close1Click(QObject* Sender);
    void Exit1Click(QObject* Sender);
    void N1001Click(QObject* Sender);
    void Play1Click(QObject* Sender);
    void Stop1Click(QObject* Sender);
    void Backward1Click(QObject* Sender);
    void Forward1Click(QObject* Sender);
    void Loop1Click(QObject* Sender);
    void About1Click(QObject* Sender);
    void TimerPlayTimer(QObject* Sender);
    void SliderPlayMouseDown(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X,
                             int Y);
    void SliderPlayMouseUp(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X,
                           int Y);
    void ApplicationEvents1Message(QObject* Receiver, QEvent* Msg, bool& Handled);
    void PlayStop1Click(QObject* Sender);
    void FullScreen1Click(QObject* Sender);
    void ShockwaveFlashFSCommand(const QString& command, const QString& args);
    void Recent1Show(QObject* Sender);

    // Full screen: menu, toolbar and slider hidden, the stage scaled to fit on black.
    void setFullScreenMode(bool on);
    bool isFullScreenMode() const { return m_fullScreen; }
    // Opens a movie as Open does with the file chosen (the bare player only).
    void openMovieFile(const QString& path);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildImageList();
    void connectHandlers();
    void addKeyCommands();
    void showLoopState();
    // The window-sizing rule: client = movie width x (movie height + slider + toolbar).
    void sizeToMovie();
    // Loads a movie and runs the sizing, Play and slider steps that start-up and Open share.
    void loadMovie(const QString& path);
    // The control finished or failed loading the movie given last.
    void MovieReady(int readyState);
    void MovieFailed(const QString& reason);
    void MovieProgress(int percentDone);
    void showLoadProgress(bool on);
    static void reportStartupProblem(const QString& reason);
    int menuHeightFor(int width) const;
    QSize largestSize() const;

    bool m_playing = false; // play state held across a slider drag
    bool m_projector = false;
    bool m_userOpened = false; // the movie loading now came from Open, which shows its errors
    bool m_fullScreen = false;
    QRect m_normalGeometry; // where the window was before full screen
    bool m_centred = false;
    QElapsedTimer m_loadStarted;
};

} // namespace orvane
