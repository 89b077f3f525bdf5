#include "MainFrm.h"

#include "OrvaneApplication.h"
#include "about/AboutFrm.h"
#include "platform/TempDir.h"
#include "platform/VersionInfo.h"
#include "shell/MovieExtract.h"
#include "shell/MovieSize.h"
#include "shell/RecentFiles.h"
#include "shell/WindowFit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWindow>
#include <QFontDatabase>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace orvane {

QString TMainForm::programFile;
QString TMainForm::commandLineFile;
std::function<void(const QString&)> TMainForm::startupReporter;
int TMainForm::slowLoadMs = 250;

namespace {

constexpr int kTimerPlayInterval = 100;
constexpr int kToolBarHeight = 29;

// The form's font family where it exists, else the platform's own UI family.
QFont formFont() {
    QFont font = QApplication::font();
    if (QFontDatabase::hasFamily(QStringLiteral("MS Sans Serif")))
        font.setFamily(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    return font;
}

std::string moviePath(const TShockwaveFlash* flash) {
    return flash->Movie().toStdString();
}

// A window manager's frame is known only once the window is on screen; until then, room is
// kept for a usual title bar and border.
const QMargins kFrameGuess(8, 40, 8, 8);

// The first local .swf file among dropped data, or nothing.
QString droppedMovie(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && url.toLocalFile().endsWith(QLatin1String(".swf"), Qt::CaseInsensitive))
            return url.toLocalFile();
    return {};
}

} // namespace

TApplicationEvents::TApplicationEvents(QObject* owner) : QObject(owner) {
    qApp->installEventFilter(this);
}

TApplicationEvents::~TApplicationEvents() {
    if (qApp)
        qApp->removeEventFilter(this);
}

bool TApplicationEvents::eventFilter(QObject* watched, QEvent* event) {
    bool handled = false;
    if (OnMessage)
        OnMessage(watched, event, handled);
    return handled || QObject::eventFilter(watched, event);
}

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setupUi(this);
    setFont(formFont());
    // The movie area is a window of its own, as a hosted player control is.
    ShockwaveFlash->setAttribute(Qt::WA_DontCreateNativeAncestors);
    ShockwaveFlash->setAttribute(Qt::WA_NativeWindow);
    ToolBar1->setStyleSheet(QStringLiteral("QToolBar#ToolBar1 { border-top: 1px solid palette(mid);"
                                           " border-bottom: 1px solid palette(light); padding: 1px; }"));
    ToolBar1->setFixedHeight(kToolBarHeight);
    // The toolbar shows pictures only, without captions or hints.
    for (QAction* action : ToolBar1->actions())
        if (QWidget* button = ToolBar1->widgetForAction(action))
            button->setToolTip(QString());

    buildImageList();

    OpenDialog = new QFileDialog(this);
    OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
    OpenDialog->setNameFilter(QStringLiteral("Flash file (*.swf)"));
    OpenDialog->setFileMode(QFileDialog::ExistingFile);

    TimerPlay = new QTimer(this);
    TimerPlay->setObjectName(QStringLiteral("TimerPlay"));
    TimerPlay->setInterval(kTimerPlayInterval);

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    PopupMenu->addActions({Play1, Stop1});
    PopupMenu->addSeparator();
    PopupMenu->addActions({Backward1, Forward1});
    PopupMenu->addSeparator();
    PopupMenu->addActions({Loop1, N1001});

    ApplicationEvents1 = new TApplicationEvents(this);
    ApplicationEvents1->setObjectName(QStringLiteral("ApplicationEvents1"));

    // Loading runs on a worker thread; a slow one shows how far it got in the slider's place.
    LoadProgress = new QProgressBar(SliderPanel);
    LoadProgress->setObjectName(QStringLiteral("LoadProgress"));
    LoadProgress->setRange(0, 100);
    LoadProgress->setFormat(QStringLiteral("Loading %p%"));
    LoadProgress->setMaximumHeight(16);
    LoadProgress->hide();
    SliderPanelLayout->addWidget(LoadProgress);

    connectHandlers();
    addKeyCommands();
    // Fonts and styles settle the menu bar's height, which the client area is measured from.
    ensurePolished();
    TimerPlay->start();
    FormCreate(this);
}

TMainForm::~TMainForm() {
    // Children are destroyed after this body, and events still flow while they go: the
    // handlers must not reach a window that is half gone.
    ApplicationEvents1->OnMessage = nullptr;
    SliderPlay->OnMouseDown = nullptr;
    SliderPlay->OnMouseUp = nullptr;
    TimerPlay->stop();
}

void TMainForm::buildImageList() {
    static const char* const names[][2] = {
        {"document-open", "open"},         {"media-playback-start", "play"},
        {"media-playback-stop", "stop"},   {"media-skip-backward", "backward"},
        {"media-skip-forward", "forward"}, {"media-playlist-repeat", "loop"}};
    for (const auto& [theme, bundled] : names)
        ImageList1.append(
            QIcon::fromTheme(QLatin1String(theme),
                             QIcon(QStringLiteral(":/orvane/toolbar/%1.png").arg(QLatin1String(bundled)))));
    const std::pair<QAction*, int> pictures[] = {{Open1, 0},       {Play1, 1},       {Stop1, 2},
                                                 {Backward1, 3},   {Forward1, 4},    {Loop1, 5},
                                                 {ToolButton1, 0}, {ToolButton2, 1}, {ToolButton3, 2},
                                                 {ToolButton4, 3}, {ToolButton5, 4}, {ControlLoop, 5}};
    for (const auto& [action, index] : pictures)
        action->setIcon(ImageList1[index]);
}

void TMainForm::connectHandlers() {
    auto on = [this](QAction* action, void (TMainForm::*handler)(QObject*)) {
        connect(action, &QAction::triggered, this, [this, action, handler] { (this->*handler)(action); });
    };
    on(Open1, &TMainForm::Open1Click);
    on(ToolButton1, &TMainForm::Open1Click);
    on(Close1, &TMainForm::Close1Click);
    on(Exit1, &TMainForm::Exit1Click);
    on(N1001, &TMainForm::N1001Click);
    on(Play1, &TMainForm::Play1Click);
    on(ToolButton2, &TMainForm::Play1Click);
    on(Stop1, &TMainForm::Stop1Click);
    on(ToolButton3, &TMainForm::Stop1Click);
    on(Backward1, &TMainForm::Backward1Click);
    on(ToolButton4, &TMainForm::Backward1Click);
    on(Forward1, &TMainForm::Forward1Click);
    on(ToolButton5, &TMainForm::Forward1Click);
    on(Loop1, &TMainForm::Loop1Click);
    on(ControlLoop, &TMainForm::Loop1Click);
    on(About1, &TMainForm::About1Click);
    connect(TimerPlay, &QTimer::timeout, this, [this] { TimerPlayTimer(TimerPlay); });
    SliderPlay->OnMouseDown = [this](QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift,
                                     int x, int y) { SliderPlayMouseDown(sender, button, shift, x, y); };
    SliderPlay->OnMouseUp = [this](QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift,
                                   int x, int y) { SliderPlayMouseUp(sender, button, shift, x, y); };
    ApplicationEvents1->OnMessage = [this](QObject* receiver, QEvent* msg, bool& handled) {
        ApplicationEvents1Message(receiver, msg, handled);
    };
    connect(ShockwaveFlash, &TShockwaveFlash::OnReadyStateChange, this, [this](int state) {
        if (state != 1)
            showLoadProgress(false);
        MovieReady(state);
    });
    connect(ShockwaveFlash, &TShockwaveFlash::OnProgress, this, [this](int percent) { MovieProgress(percent); });
    connect(ShockwaveFlash, &TShockwaveFlash::loadFailed, this, [this](const QString& why) { MovieFailed(why); });
    connect(ShockwaveFlash, &TShockwaveFlash::fsCommand, this,
            [this](const QString& command, const QString& args) { ShockwaveFlashFSCommand(command, args); });
}

int TMainForm::menuHeightFor(int width) const {
    const QWidget* menu = menuWidget();
    if (!menu || menu->isHidden())
        return 0;
    const int h = menu->heightForWidth(width);
    return h > 0 ? h : menu->sizeHint().height();
}

int TMainForm::clientTop() const {
    return menuHeightFor(width());
}
int TMainForm::clientWidth() const {
    return width();
}
int TMainForm::clientHeight() const {
    return height() - clientTop();
}
// A stage size comes straight from the movie's header, which may claim anything up to
// millions of pixels. Like a desktop that caps windows at its own size, the window is
// never made larger than the whole desktop; the stage is then scaled to fit.
QSize TMainForm::largestSize() const {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QSize desktop = screen ? screen->virtualSize() : QSize(4096, 4096);
    return desktop.expandedTo(QSize(640, 480));
}

void TMainForm::setClientWidth(int w) {
    resize(std::clamp(w, 0, largestSize().width()), height());
}

void TMainForm::setClientHeight(int h) {
    const int top = menuHeightFor(width());
    resize(width(), std::clamp(h, 0, largestSize().height() - top) + top);
}

void TMainForm::sizeToMovie() {
    // Width first, then the height from a second reading of the file; the pair is then made
    // to fit the screen (frame included) and the toolbar.
    const int toolbarWidth = ToolBar1->sizeHint().width();
    const int width = MovieWidth(moviePath(ShockwaveFlash));
    setClientWidth(std::max(width, toolbarWidth));
    const int height = MovieHeight(moviePath(ShockwaveFlash));
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    WindowFitInput in;
    in.stage = QSize(width, height);
    in.strips = SliderPlay->height() + ToolBar1->height();
    in.menuHeight = menuHeightFor(std::max(width, toolbarWidth));
    in.frame = isVisible() && frameGeometry() != geometry()
                   ? QMargins(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                              frameGeometry().right() - geometry().right(),
                              frameGeometry().bottom() - geometry().bottom())
                   : kFrameGuess;
    in.available = screen ? screen->availableGeometry() : QRect(0, 0, 4096, 4096);
    in.minClientWidth = toolbarWidth;
    const WindowFit fit = fitWindow(in);
    resize(fit.client.width(), fit.client.height() + menuHeightFor(fit.client.width()));
    // A window that would reach off the screen moves back onto it.
    if (isVisible() && screen) {
        QRect frame = frameGeometry();
        frame.moveRight(std::min(frame.right(), in.available.right()));
        frame.moveBottom(std::min(frame.bottom(), in.available.bottom()));
        frame.moveLeft(std::max(frame.left(), in.available.left()));
        frame.moveTop(std::max(frame.top(), in.available.top()));
        move(frame.topLeft());
    }
}

void TMainForm::reportStartupProblem(const QString& reason) {
    if (startupReporter) {
        startupReporter(reason);
        return;
    }
    std::fprintf(stderr, "orvane: %s\n", reason.toLocal8Bit().constData());
    std::fflush(stderr);
}

void TMainForm::FormCreate(QObject*) {
    setWindowTitle(OrvaneApplication::title());
    // Qt paints every window through a back buffer already; nothing to turn on.
    const std::string program = programFile.isEmpty() ? platform::programPath() : programFile.toStdString();
    m_projector = HasEmbeddedMovie(program);
    // The projector plays only its own movie; the bare player opens any.
    for (QAction* action : {Open1, ToolButton1, Close1})
        action->setEnabled(!m_projector);
    Recent1->menuAction()->setVisible(!m_projector);
    setAcceptDrops(!m_projector);
    if (!m_projector) {
        if (!commandLineFile.isEmpty()) {
            try {
                loadMovie(commandLineFile);
            } catch (const std::exception& error) {
                reportStartupProblem(QString::fromLocal8Bit(error.what()));
            }
        }
        return;
    }
    // Only a file this run wrote is ever loaded: when extraction fails, whatever lies at the
    // path (an earlier run's movie, or one someone else put there) is left alone.
    std::string moviePath, why;
    try {
        moviePath = platform::extractionDirectory() + "player.swf";
    } catch (const std::exception& error) {
        reportStartupProblem(QString::fromLocal8Bit(error.what()));
        return;
    }
    if (!ExtractEmbeddedMovie(program, moviePath, &why)) {
        reportStartupProblem(QString::fromLocal8Bit(why.c_str()));
        return;
    }
    try {
        loadMovie(QString::fromStdString(moviePath));
    } catch (const std::exception&) {
        // Start-up never troubles the window: what was done so far stays done.
    }
}

void TMainForm::loadMovie(const QString& path) {
    showLoadProgress(false);
    m_loadStarted.start();
    ShockwaveFlash->setMovie(path);
    sizeToMovie();
    ShockwaveFlash->Play();
    if (ShockwaveFlash->isLoaded())
        MovieReady(ShockwaveFlash->ReadyState());
    showLoopState();
}

void TMainForm::showLoopState() {
    const bool on = ShockwaveFlash->Loop() != 0;
    ControlLoop->setChecked(on);
    Loop1->setChecked(on);
}

void TMainForm::MovieReady(int readyState) {
    if (readyState != 4)
        return;
    m_userOpened = false;
    SliderPlay->setMaximum(ShockwaveFlash->TotalFrames() - 1);
    showLoopState();
    if (!m_projector)
        RecentFiles::add(ShockwaveFlash->Movie());
}

void TMainForm::MovieProgress(int percentDone) {
    if (ShockwaveFlash->ReadyState() != 1 || !m_loadStarted.isValid() || m_loadStarted.elapsed() < slowLoadMs)
        return;
    LoadProgress->setValue(percentDone);
    showLoadProgress(true);
}

void TMainForm::showLoadProgress(bool on) {
    if (LoadProgress->isVisibleTo(SliderPanel) == on)
        return;
    LoadProgress->setVisible(on);
    SliderPlay->setVisible(!on);
}

void TMainForm::MovieFailed(const QString& reason) {
    const bool shown = m_userOpened;
    m_userOpened = false;
    if (shown)
        OrvaneApplication::showError(reason);
    else
        reportStartupProblem(reason);
}

void TMainForm::Open1Click(QObject*) {
    if (OpenDialog->exec() != QDialog::Accepted || OpenDialog->selectedFiles().isEmpty())
        return;
    openMovieFile(OpenDialog->selectedFiles().constFirst());
}

void TMainForm::openMovieFile(const QString& path) {
    if (m_projector)
        return;
    m_userOpened = true;
    try {
        loadMovie(path);
    } catch (...) {
        // A load under way still reports its own outcome to the user.
        m_userOpened = ShockwaveFlash->ReadyState() == 1;
        throw; // shown by the application, as Open's errors are
    }
}

void TMainForm::Close1Click(QObject*) {
    ShockwaveFlash->Stop();
    ShockwaveFlash->setMovie(QStringLiteral("http://"));
    setWindowTitle(OrvaneApplication::title());
}

void TMainForm::Exit1Click(QObject*) {
    close();
}

void TMainForm::N1001Click(QObject*) {
    try {
        sizeToMovie();
    } catch (const std::exception&) {
        // The size stays as far as it got.
    }
}

void TMainForm::Play1Click(QObject*) {
    ShockwaveFlash->Play();
}
void TMainForm::Stop1Click(QObject*) {
    ShockwaveFlash->Stop();
}
void TMainForm::Backward1Click(QObject*) {
    ShockwaveFlash->Back();
}
void TMainForm::Forward1Click(QObject*) {
    ShockwaveFlash->Forward();
}

void TMainForm::Loop1Click(QObject*) {
    ShockwaveFlash->setLoop(ShockwaveFlash->Loop() == 0 ? kFlashTrue : kFlashFalse);
    showLoopState();
}

void TMainForm::About1Click(QObject*) {
    if (!AboutForm)
        AboutForm = new TAboutForm(nullptr);
    AboutForm->exec();
}

void TMainForm::FormResize(QObject*) {
    if (!isVisible())
        return;
    // Makes the movie area take its new size and repaint at once.
    ShockwaveFlash->hide();
    ShockwaveFlash->show();
    ShockwaveFlash->setFocus();
}

void TMainForm::TimerPlayTimer(QObject*) {
    SliderPlay->setValue(ShockwaveFlash->FrameNum());
    SliderPlay->setToolTip(QString::number(ShockwaveFlash->FrameNum() + 1));
}

void TMainForm::SliderPlayMouseDown(QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    m_playing = ShockwaveFlash->Playing() != 0;
    ShockwaveFlash->setPlaying(kFlashFalse);
    TimerPlay->stop();
}

void TMainForm::SliderPlayMouseUp(QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    ShockwaveFlash->setFrameNum(SliderPlay->Value());
    TimerPlay->start();
    ShockwaveFlash->setPlaying(m_playing ? kFlashTrue : kFlashFalse);
}

void TMainForm::ApplicationEvents1Message(QObject*, QEvent* Msg, bool& Handled) {
    if (Msg->type() != QEvent::MouseButtonPress ||
        static_cast<QMouseEvent*>(Msg)->button() != Qt::RightButton)
        return;
    // An open popup menu runs its own loop; its presses are its own.
    if (QApplication::activePopupWidget() || !isVisible())
        return;
    // The cursor's position now, not the one the event carries.
    const QPoint screen = QCursor::pos();
    const QPoint local = mapFromGlobal(screen) - QPoint(0, clientTop());
    if (local.y() < 0 || local.y() >= clientHeight() - SliderPlay->height() || local.x() < 0 ||
        local.x() >= clientWidth())
        return;
    Handled = true;
    if (PopupMenu && !PopupMenu->isEmpty())
        PopupMenu->popup(mapToGlobal(local + QPoint(0, clientTop())));
}

void TMainForm::addKeyCommands() {
    const std::pair<QAction*, QList<QKeySequence>> keys[] = {
        {Open1, {QKeySequence(Qt::CTRL | Qt::Key_O)}},
        {Close1, {QKeySequence(Qt::CTRL | Qt::Key_W)}},
        {Exit1, {QKeySequence(Qt::CTRL | Qt::Key_Q)}},
        {N1001, {QKeySequence(Qt::CTRL | Qt::Key_0)}},
        {Backward1, {QKeySequence(Qt::CTRL | Qt::Key_Left)}},
        {Forward1, {QKeySequence(Qt::CTRL | Qt::Key_Right)}},
        {Loop1, {QKeySequence(Qt::CTRL | Qt::Key_L)}}};
    for (const auto& [action, sequences] : keys)
        action->setShortcuts(sequences);
    Loop1->setCheckable(true);

    PlayStop1 = new QAction(QStringLiteral("Play/Stop"), this);
    PlayStop1->setObjectName(QStringLiteral("PlayStop1"));
    PlayStop1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    connect(PlayStop1, &QAction::triggered, this, [this] { PlayStop1Click(PlayStop1); });

    FullScreen1 = new QAction(QStringLiteral("&Full Screen"), this);
    FullScreen1->setObjectName(QStringLiteral("FullScreen1"));
    FullScreen1->setCheckable(true);
    FullScreen1->setShortcuts({QKeySequence(Qt::Key_F11), QKeySequence(Qt::CTRL | Qt::Key_F)});
    connect(FullScreen1, &QAction::triggered, this, [this] { FullScreen1Click(FullScreen1); });
    View1->addAction(FullScreen1);

    LeaveFullScreen1 = new QAction(this);
    LeaveFullScreen1->setObjectName(QStringLiteral("LeaveFullScreen1"));
    LeaveFullScreen1->setShortcut(QKeySequence(Qt::Key_Escape));
    LeaveFullScreen1->setEnabled(false); // Escape belongs to the movie outside full screen
    connect(LeaveFullScreen1, &QAction::triggered, this, [this] { setFullScreenMode(false); });

    Recent1 = new QMenu(QStringLiteral("&Recent"), this);
    Recent1->setObjectName(QStringLiteral("Recent1"));
    File1->insertMenu(Close1, Recent1);
    connect(Recent1, &QMenu::aboutToShow, this, [this] { Recent1Show(Recent1); });

    // Actions of a hidden menu bar lose their shortcuts; the window keeps them all working
    // in full screen as well.
    addActions({Open1, Close1, Exit1, N1001, Play1, Stop1, Backward1, Forward1, Loop1, PlayStop1, FullScreen1,
                LeaveFullScreen1});
}

void TMainForm::PlayStop1Click(QObject*) {
    if (ShockwaveFlash->Playing() != 0)
        ShockwaveFlash->Stop();
    else
        ShockwaveFlash->Play();
}

// A movie's fscommand("fullscreen", "true" or "false") uses the window's own full screen.
void TMainForm::ShockwaveFlashFSCommand(const QString& command, const QString& args) {
    if (command.compare(QLatin1String("fullscreen"), Qt::CaseInsensitive) == 0)
        setFullScreenMode(args.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0);
}

void TMainForm::FullScreen1Click(QObject*) {
    setFullScreenMode(!m_fullScreen);
}

void TMainForm::setFullScreenMode(bool on) {
    if (on == m_fullScreen)
        return;
    m_fullScreen = on;
    if (on)
        m_normalGeometry = geometry();
    if (QWidget* menu = menuWidget())
        menu->setVisible(!on);
    ToolBar1->setVisible(!on);
    SliderPanel->setVisible(!on);
    ShockwaveFlash->setLetterbox(on ? QColor(Qt::black) : QColor());
    ShockwaveFlash->displayStateChanged(on);
    FullScreen1->setChecked(on);
    LeaveFullScreen1->setEnabled(on);
    if (on) {
        showFullScreen();
    } else {
        showNormal();
        if (m_normalGeometry.isValid())
            setGeometry(m_normalGeometry);
    }
}

void TMainForm::Recent1Show(QObject*) {
    Recent1->clear();
    const QStringList files = RecentFiles::list();
    for (const QString& file : files) {
        QAction* item = Recent1->addAction(QFileInfo(file).fileName());
        item->setToolTip(file);
        connect(item, &QAction::triggered, this, [this, file] { openMovieFile(file); });
    }
    if (files.isEmpty())
        Recent1->addAction(QStringLiteral("(none)"))->setEnabled(false);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (!m_projector && !droppedMovie(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
    const QString file = m_projector ? QString() : droppedMovie(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    openMovieFile(file);
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize(this);
}

void TMainForm::showEvent(QShowEvent* event) {
    if (!m_centred) {
        m_centred = true;
        if (QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    }
    QMainWindow::showEvent(event);
}

void TMainForm::contextMenuEvent(QContextMenuEvent* event) {
    // The right-button hook decides what opens; the window adds no menu of its own.
    event->accept();
}

} // namespace orvane
