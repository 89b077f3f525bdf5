// The main window: start-up, commands, the right-button hook, tracking and seeking.

#include "MainFrm.h"
#include "OrvaneApplication.h"
#include "RecentFiles.h"
#include "WindowFit.h"
#include "PlayerTestSupport.h"
#include "about/AboutFrm.h"
#include "swf/Player.h"

#ifdef ORVANE_HAVE_AVM1ASM
#include "ActionAssembler.h"
#endif

#include <QDir>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QSettings>
#include <QToolBar>
#include <QToolButton>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace orvane;
using namespace orvane::testing;

namespace {

// Counts the presses a widget receives after the application's filters had their say.
class PressSpy : public QObject {
public:
    explicit PressSpy(QWidget* widget) { widget->installEventFilter(this); }
    int presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress)
            ++presses;
        return false;
    }
};

// Presses a mouse button with the cursor really there, as the hook reads the cursor.
void pressAt(QWidget* widget, QPoint pos, Qt::MouseButton button) {
    QCursor::setPos(widget->mapToGlobal(pos));
    QTest::mousePress(widget, button, {}, pos);
}

void releaseAt(QWidget* widget, QPoint pos, Qt::MouseButton button) {
    QCursor::setPos(widget->mapToGlobal(pos));
    QTest::mouseRelease(widget, button, {}, pos);
}

} // namespace

class MainFormTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startupExtractsLoadsSizesAndPlays();
    void startupNeverLoadsAMovieItDidNotWrite();
    void movieThatStopsOnItsFirstFrameStaysStopped();
    void runawayScriptLeavesTheWindowAnswering();
    void startupWithoutMovieKeepsDesignSize();
    void hugeStageIsCappedAtTheDesktop();
    void playbackCommands();
    void loopTwiceRestores();
    void hundredPercentAfterResize();
    void closeUnloads();
    void hookOverMovieSwallowsAndShowsMenu();
    void hookPassesSliderStripAndSwallowsToolbar();
    void hookTakesPressesInModalWindows();
    void timerTracksFrame();
    void dragCycleRestoresPlayState();
    void dragToEndsSeeks();
    void otherButtonsPauseAndRestore();
    void escapedErrorsReachTheApplication();
    void aboutIsCreatedOnceAndReused();

    void barePlayerOpensClosesAndRemembers();
    void barePlayerTakesDroppedMovies();
    void slowLoadShowsProgressInTheSlidersPlace();
    void windowFitsScreenAndToolbar();
    void smallStageKeepsTheWholeToolbar();
    void shortcutsDriveTheCommands();
    void plainKeysReachTheMovie();
    void fullScreenInAndOut();
    void moviesAskForFullScreenByFscommand();
    void stageDisplayStateUsesTheWindowsFullScreen();

private:
    std::unique_ptr<TMainForm> makeForm(const std::vector<std::uint8_t>& movie);
    QString extracted() const { return m_tmp->filePath(QStringLiteral("orvane/player.swf")); }

    std::unique_ptr<QTemporaryDir> m_tmp;
    QStringList m_errors;
    QStringList m_startupProblems;
};

void MainFormTest::init() {
    m_tmp = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_tmp->filePath(QStringLiteral("config")));
    RecentFiles::clear();
    qputenv("TMPDIR", (m_tmp->path() + QLatin1Char('/')).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", m_tmp->path().toLocal8Bit());
    TMainForm::programFile = m_tmp->filePath(QStringLiteral("missing-projector"));
    m_errors.clear();
    m_startupProblems.clear();
    OrvaneApplication::errorReporter = [this](const QString& text) { m_errors << text; };
    TMainForm::startupReporter = [this](const QString& text) { m_startupProblems << text; };
}

void MainFormTest::cleanup() {
    delete AboutForm; // each test opens its own
    OrvaneApplication::errorReporter = nullptr;
    TMainForm::startupReporter = nullptr;
    TMainForm::programFile.clear();
    m_tmp.reset();
}

std::unique_ptr<TMainForm> MainFormTest::makeForm(const std::vector<std::uint8_t>& movie) {
    const QString program = m_tmp->filePath(QStringLiteral("projector"));
    writeBytes(program, projector(movie));
    TMainForm::programFile = program;
    auto form = std::make_unique<TMainForm>();
    form->ShockwaveFlash->waitUntilLoaded();
    return form;
}

void MainFormTest::startupExtractsLoadsSizesAndPlays() {
    const auto movie = steppingMovie(400, 300, 10, {0, 128, 255});
    auto form = makeForm(movie);
    QCOMPARE(readBytes(extracted()), toQByteArray(movie));
    QCOMPARE(form->ShockwaveFlash->Movie(), extracted());
    QVERIFY(form->isProjector());
    QVERIFY(!form->Open1->isEnabled() && !form->Close1->isEnabled() && !form->ToolButton1->isEnabled());
    QCOMPARE(form->windowTitle(), QStringLiteral("Orvane 1.0"));
    QCOMPARE(form->clientWidth(), 400);
    QCOMPARE(form->clientHeight(), 300 + 16 + 29);
    QVERIFY(form->ShockwaveFlash->Playing() != 0);
    QCOMPARE(form->SliderPlay->Minimum(), -1);
    QCOMPARE(form->SliderPlay->Maximum(), 9);
    QVERIFY(form->ControlLoop->isChecked());
    QVERIFY(form->TimerPlay->isActive());

    // Once laid out, the movie area is exactly the stage.
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QCOMPARE(form->ShockwaveFlash->size(), QSize(400, 300));
    QCOMPARE(form->centralWidget()->geometry().top(), form->clientTop());
    QCOMPARE(form->ToolBar1->geometry().top(), 0);
    QCOMPARE(form->ToolBar1->height(), 29);
    QCOMPARE(form->SliderPanel->height(), 16);
    QCOMPARE(form->SliderPlay->height(), 16);
}

void MainFormTest::startupNeverLoadsAMovieItDidNotWrite() {
    // A movie is waiting where extraction would put it (an earlier run's, or one someone
    // planted), and this run's extraction fails: nothing is loaded, and one line says why.
    const QString dir = m_tmp->filePath(QStringLiteral("orvane"));
    QVERIFY(QDir().mkdir(dir));
    writeBytes(extracted(), toQByteArray(steppingMovie(320, 200, 5, {})));
    writeBytes(m_tmp->filePath(QStringLiteral("projector")), projector(steppingMovie(400, 300, 3, {})));
    TMainForm::programFile = m_tmp->filePath(QStringLiteral("projector"));
    for (QFile::Permissions loose : {QFile::Permissions(0x7777), QFile::Permissions(0x7705)}) {
        m_startupProblems.clear();
        QVERIFY(QFile::setPermissions(dir, loose));
        TMainForm form;
        QVERIFY(form.isProjector());
        QVERIFY(!form.ShockwaveFlash->isLoaded());
        QVERIFY(form.ShockwaveFlash->Movie().isEmpty());
        QCOMPARE(form.size(), QSize(483, 319));
        QCOMPARE(form.SliderPlay->Maximum(), 9999);
        QCOMPARE(m_startupProblems.size(), 1);
        QVERIFY2(m_startupProblems[0].contains(dir), qPrintable(m_startupProblems[0]));
        QVERIFY(m_errors.isEmpty()); // the window itself stays silent
    }
}

void MainFormTest::movieThatStopsOnItsFirstFrameStaysStopped() {
    SwfWriter movie;
    const std::vector<std::uint8_t> stop = {0x07, 0x00}; // ActionStop, end of actions
    movie.setStageSize(200, 100).doAction(stop).showFrame().showFrame().showFrame();
    auto form = makeForm(movie.bytes());
    QCOMPARE(form->ShockwaveFlash->Playing(), kFlashFalse);
    QTest::qWait(300);
    QCOMPARE(form->ShockwaveFlash->FrameNum(), 0);
    // A movie that does not stop itself plays as before.
    auto playing = makeForm(steppingMovie(200, 100, 3, {}));
    QVERIFY(playing->ShockwaveFlash->Playing() != 0);
}

// A movie whose first frame never ends its script leaves the window answering: Stop ends the
// script and stops the movie, and Exit closes the window while the script runs.
void MainFormTest::runawayScriptLeavesTheWindowAnswering() {
    SwfWriter movie;
    const std::vector<std::uint8_t> endless = {0x99, 0x02, 0x00, 0xFB, 0xFF, 0x00}; // a jump to itself
    // ScriptLimits: 256 levels, a 60 s timeout (the longest action budget), so the loop lasts.
    movie.rawTag(65, std::vector<std::uint8_t>{0x00, 0x01, 60, 0});
    movie.setStageSize(200, 100).setFrameRate(30).doAction(endless).showFrame().showFrame();
    auto form = makeForm(movie.bytes());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    int step = 0;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, form.get(), [&] {
        if (!form->ShockwaveFlash->inRunningScript())
            return;
        if (step == 0) {
            form->Stop1->trigger();
            step = 1;
        } else if (step == 2) {
            form->Exit1->trigger();
            step = 3;
        }
    });
    poll.start();
    QTRY_VERIFY_WITH_TIMEOUT(step == 1 && !form->ShockwaveFlash->inRunningScript(), 10000);
    QTRY_COMPARE(form->ShockwaveFlash->Playing(), kFlashFalse);
    QCOMPARE(form->ShockwaveFlash->FrameNum(), 0);
    // Played again, the movie comes back round to its endless first frame.
    step = 2;
    form->Play1->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(step == 3, 10000);
    QTRY_VERIFY(!form->isVisible());
    QTRY_VERIFY(!form->ShockwaveFlash->inRunningScript());
}

void MainFormTest::startupWithoutMovieKeepsDesignSize() {
    TMainForm form;
    QCOMPARE(form.size(), QSize(483, 319));
    // No movie appended: the bare player, waiting for a movie to be opened.
    QVERIFY(!form.isProjector());
    QVERIFY(form.Open1->isEnabled() && form.Close1->isEnabled() && form.ToolButton1->isEnabled());
    QVERIFY(form.ShockwaveFlash->Movie().isEmpty());
    QVERIFY(!form.ShockwaveFlash->isLoaded());
    QCOMPARE(form.ShockwaveFlash->Playing(), kFlashFalse);
    QCOMPARE(form.SliderPlay->Minimum(), -1);
    QCOMPARE(form.SliderPlay->Maximum(), 9999);
    // Nothing is shown to the user, and commands without a movie do no harm.
    form.Play1->trigger();
    form.Forward1->trigger();
    form.TimerPlayTimer(form.TimerPlay);
    QCOMPARE(form.SliderPlay->Value(), 0);
    QVERIFY(m_errors.isEmpty());
}

void MainFormTest::hugeStageIsCappedAtTheDesktop() {
    // A header may claim a stage of millions of pixels; the window stays within the desktop.
    auto form = makeForm(steppingMovie(100000, 60000, 2, {}));
    const QSize desktop = QGuiApplication::primaryScreen()->virtualSize();
    QVERIFY(form->width() <= std::max(desktop.width(), 640));
    QVERIFY(form->height() <= std::max(desktop.height(), 480));
    QVERIFY(form->ShockwaveFlash->Playing() != 0); // start-up went on to the end
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QVERIFY(!form->ShockwaveFlash->grab().isNull());
}

void MainFormTest::playbackCommands() {
    auto form = makeForm(steppingMovie(400, 300, 10, {}));
    TShockwaveFlash* flash = form->ShockwaveFlash;
    form->Stop1->trigger();
    QCOMPARE(flash->Playing(), kFlashFalse);
    const int frame = flash->FrameNum();
    form->Forward1->trigger();
    QCOMPARE(flash->FrameNum(), frame + 1);
    form->ToolButton5->trigger();
    QCOMPARE(flash->FrameNum(), frame + 2);
    form->Backward1->trigger();
    form->ToolButton4->trigger();
    QCOMPARE(flash->FrameNum(), frame);
    QCOMPARE(flash->Playing(), kFlashFalse);
    form->ToolButton2->trigger();
    QVERIFY(flash->Playing() != 0);
    form->ToolButton3->trigger();
    QCOMPARE(flash->Playing(), kFlashFalse);
    form->Play1->trigger();
    QVERIFY(flash->Playing() != 0);
}

void MainFormTest::loopTwiceRestores() {
    auto form = makeForm(steppingMovie(400, 300, 3, {}));
    const FlashBool before = form->ShockwaveFlash->Loop();
    QCOMPARE(before, kFlashTrue);
    form->Loop1->trigger();
    QCOMPARE(form->ShockwaveFlash->Loop(), kFlashFalse);
    QVERIFY(!form->ControlLoop->isChecked());
    QVERIFY(!form->ShockwaveFlash->player().loop());
    form->ControlLoop->trigger();
    QCOMPARE(form->ShockwaveFlash->Loop(), before);
    QVERIFY(form->ControlLoop->isChecked());
    QVERIFY(form->ShockwaveFlash->player().loop());
}

void MainFormTest::hundredPercentAfterResize() {
    auto form = makeForm(steppingMovie(400, 300, 3, {}));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->resize(640, 520);
    QTRY_COMPARE(form->width(), 640);
    form->N1001->trigger();
    QCOMPARE(form->clientWidth(), 400);
    QCOMPARE(form->clientHeight(), 345);
    QTRY_COMPARE(form->ShockwaveFlash->size(), QSize(400, 300));
    // With the movie file gone, 100% changes nothing and says nothing.
    QFile::remove(form->ShockwaveFlash->Movie());
    form->resize(500, 500);
    form->N1001->trigger();
    QCOMPARE(form->size(), QSize(500, 500));
    QVERIFY(m_errors.isEmpty());
}

void MainFormTest::closeUnloads() {
    auto form = makeForm(steppingMovie(400, 300, 3, {}));
    form->setWindowTitle(QStringLiteral("something else"));
    form->Close1Click(form->Close1);
    QCOMPARE(form->windowTitle(), OrvaneApplication::title());
    QCOMPARE(form->ShockwaveFlash->Movie(), QStringLiteral("http://"));
    QVERIFY(!form->ShockwaveFlash->isLoaded());
    QCOMPARE(form->ShockwaveFlash->TotalFrames(), 0);
}

void MainFormTest::hookOverMovieSwallowsAndShowsMenu() {
    auto form = makeForm(steppingMovie(400, 300, 3, {}));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    PressSpy flashSpy(form->ShockwaveFlash);
    pressAt(form->ShockwaveFlash, QPoint(200, 150), Qt::RightButton);
    QCOMPARE(flashSpy.presses, 0);
    QTRY_VERIFY(form->PopupMenu->isVisible());
    QVERIFY(form->PopupMenu->actions().contains(form->Play1));
    QVERIFY(form->PopupMenu->actions().contains(form->N1001));
    form->PopupMenu->close();
    // Left presses and other messages pass.
    pressAt(form->ShockwaveFlash, QPoint(200, 150), Qt::LeftButton);
    QCOMPARE(flashSpy.presses, 1);
    releaseAt(form->ShockwaveFlash, QPoint(200, 150), Qt::LeftButton);
}

void MainFormTest::hookPassesSliderStripAndSwallowsToolbar() {
    auto form = makeForm(steppingMovie(400, 300, 10, {}));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    PressSpy sliderSpy(form->SliderPlay);
    PressSpy toolbarSpy(form->ToolBar1);
    pressAt(form->SliderPlay, QPoint(100, 8), Qt::RightButton);
    QCOMPARE(sliderSpy.presses, 1);
    QVERIFY(!form->PopupMenu->isVisible());
    releaseAt(form->SliderPlay, QPoint(100, 8), Qt::RightButton);

    pressAt(form->ToolBar1, QPoint(form->ToolBar1->width() - 5, 10), Qt::RightButton);
    QCOMPARE(toolbarSpy.presses, 0);
    QTRY_VERIFY(form->PopupMenu->isVisible());
    form->PopupMenu->close();
    // The hook reads the cursor, not the event: a press delivered to the movie while the
    // cursor is over the slider strip passes.
    PressSpy flashSpy(form->ShockwaveFlash);
    QCursor::setPos(form->SliderPlay->mapToGlobal(QPoint(50, 8)));
    QTest::mousePress(form->ShockwaveFlash, Qt::RightButton, {}, QPoint(10, 10));
    QCOMPARE(flashSpy.presses, 1);
    QTest::mouseRelease(form->ShockwaveFlash, Qt::RightButton, {}, QPoint(10, 10));
}

void MainFormTest::hookTakesPressesInModalWindows() {
    auto form = makeForm(steppingMovie(400, 300, 3, {}));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    bool ran = false;
    // Inside the About box's own modal loop: the hook reads only the cursor, so a press on the
    // box at a point that lies over the movie area is taken too.
    QTimer::singleShot(0, [&] {
        ran = true;
        QVERIFY(AboutForm && AboutForm->isVisible());
        PressSpy aboutSpy(AboutForm);
        const QPoint overMovie = form->ShockwaveFlash->mapToGlobal(QPoint(200, 150));
        QCursor::setPos(overMovie);
        QTest::mousePress(AboutForm, Qt::RightButton, {}, AboutForm->mapFromGlobal(overMovie));
        QCOMPARE(aboutSpy.presses, 0);
        QTRY_VERIFY(form->PopupMenu->isVisible());
        form->PopupMenu->close();
        QTest::mouseRelease(AboutForm, Qt::RightButton, {}, AboutForm->mapFromGlobal(overMovie));
        // Away from the main window the box gets its presses.
        const QPoint away = form->mapToGlobal(QPoint(-50, -50));
        QCursor::setPos(away);
        QTest::mousePress(AboutForm, Qt::RightButton, {}, AboutForm->mapFromGlobal(away));
        QCOMPARE(aboutSpy.presses, 1);
        QTest::mouseRelease(AboutForm, Qt::RightButton, {}, AboutForm->mapFromGlobal(away));
        AboutForm->Button1Click(AboutForm);
    });
    form->About1->trigger();
    QVERIFY(ran);
}

void MainFormTest::timerTracksFrame() {
    auto form = makeForm(steppingMovie(400, 300, 10, {}));
    form->Stop1->trigger();
    form->ShockwaveFlash->setFrameNum(6);
    form->TimerPlayTimer(form->TimerPlay);
    QCOMPARE(form->SliderPlay->Value(), 6);
    QCOMPARE(form->SliderPlay->toolTip(), QStringLiteral("7"));
    form->ShockwaveFlash->setFrameNum(0);
    QTRY_COMPARE(form->SliderPlay->Value(), 0); // the real timer catches up
    QCOMPARE(form->SliderPlay->toolTip(), QStringLiteral("1"));
}

void MainFormTest::dragCycleRestoresPlayState() {
    auto form = makeForm(steppingMovie(400, 300, 10, {}));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    TShockwaveFlash* flash = form->ShockwaveFlash;
    for (const bool playing : {true, false}) {
        flash->setPlaying(playing ? kFlashTrue : kFlashFalse);
        flash->setFrameNum(2);
        form->TimerPlayTimer(form->TimerPlay);
        const QPoint thumb((form->SliderPlay->ThumbRect().Left + form->SliderPlay->ThumbRect().Right) / 2, 8);
        pressAt(form->SliderPlay, thumb, Qt::LeftButton);
        QCOMPARE(flash->Playing(), kFlashFalse);
        QVERIFY(!form->TimerPlay->isActive());
        QCOMPARE(form->savedPlaying(), playing);
        form->SliderPlay->setValue(5); // where the drag left the thumb
        releaseAt(form->SliderPlay, thumb, Qt::LeftButton);
        QCOMPARE(flash->FrameNum(), 5);
        QVERIFY(form->TimerPlay->isActive());
        QCOMPARE(flash->Playing() != 0, playing);
    }
}

void MainFormTest::dragToEndsSeeks() {
    auto form = makeForm(steppingMovie(400, 300, 10, {}));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    TShockwaveFlash* flash = form->ShockwaveFlash;
    flash->Stop();
    flash->setFrameNum(0);
    form->TimerPlayTimer(form->TimerPlay);
    QTest::qWait(20);
    const int width = form->SliderPlay->width();
    const QPoint thumb((form->SliderPlay->ThumbRect().Left + form->SliderPlay->ThumbRect().Right) / 2, 8);
    pressAt(form->SliderPlay, thumb, Qt::LeftButton);
    QTest::mouseMove(form->SliderPlay, QPoint(form->SliderPlay->RangeEnd() - 1, 8));
    releaseAt(form->SliderPlay, QPoint(form->SliderPlay->RangeEnd() - 1, 8), Qt::LeftButton);
    QCOMPARE(form->SliderPlay->Value(), 9);
    QCOMPARE(flash->FrameNum(), flash->TotalFrames() - 1);
    // The far left end is -1, which the control clamps to the first frame.
    pressAt(form->SliderPlay, QPoint(form->SliderPlay->RangeEnd() - 1, 8), Qt::LeftButton);
    QTest::mouseMove(form->SliderPlay, QPoint(form->SliderPlay->RangeStart(), 8));
    releaseAt(form->SliderPlay, QPoint(form->SliderPlay->RangeStart(), 8), Qt::LeftButton);
    QCOMPARE(form->SliderPlay->Value(), -1);
    QCOMPARE(flash->FrameNum(), 0);
    QCOMPARE(flash->Playing(), kFlashFalse);
    Q_UNUSED(width);
}

void MainFormTest::otherButtonsPauseAndRestore() {
    auto form = makeForm(steppingMovie(400, 300, 10, {}));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    TShockwaveFlash* flash = form->ShockwaveFlash;
    flash->Stop();
    flash->setFrameNum(4);
    form->TimerPlayTimer(form->TimerPlay);
    flash->Play();
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        pressAt(form->SliderPlay, QPoint(30, 8), button);
        QCOMPARE(flash->Playing(), kFlashFalse);
        QVERIFY(!form->TimerPlay->isActive());
        QTest::mouseMove(form->SliderPlay, QPoint(200, 8));
        releaseAt(form->SliderPlay, QPoint(200, 8), button);
        // Only a left drag moves the thumb: the movie goes to the frame it showed at the press.
        QCOMPARE(flash->FrameNum(), 4);
        QVERIFY(flash->Playing() != 0);
        QVERIFY(form->TimerPlay->isActive());
        flash->Stop();
        flash->setFrameNum(4);
        flash->Play();
    }
}

void MainFormTest::escapedErrorsReachTheApplication() {
    auto form = makeForm(steppingMovie(400, 300, 3, {}));
    const QString bad = m_tmp->filePath(QStringLiteral("bad.swf"));
    writeBytes(bad, QByteArray("this is not a movie at all"));
    QTimer::singleShot(0, form.get(), [&] { form->ShockwaveFlash->setMovie(bad); });
    QTRY_COMPARE(m_errors.size(), 1);
    QVERIFY(m_errors[0].contains(QStringLiteral("bad.swf")));
    // The loop goes on: the timer still moves the slider.
    form->ShockwaveFlash->setMovie(extracted());
    QVERIFY(form->ShockwaveFlash->waitUntilLoaded());
    form->ShockwaveFlash->Stop();
    form->ShockwaveFlash->setFrameNum(2);
    QTRY_COMPARE(form->SliderPlay->Value(), 2);
}

void MainFormTest::aboutIsCreatedOnceAndReused() {
    auto form = makeForm(steppingMovie(400, 300, 3, {}));
    QVERIFY(!AboutForm);
    TAboutForm* first = nullptr;
    for (int opening = 0; opening < 2; ++opening) {
        QTimer::singleShot(0, [&first] {
            QVERIFY(AboutForm && AboutForm->isVisible());
            if (!first)
                first = AboutForm;
            QCOMPARE(AboutForm, first);
            AboutForm->Button1Click(AboutForm);
        });
        form->About1->trigger();
    }
    QVERIFY(first);
    QVERIFY(!AboutForm->isVisible());
}

void MainFormTest::barePlayerOpensClosesAndRemembers() {
    const QString movie = m_tmp->filePath(QStringLiteral("given.swf"));
    writeBytes(movie, toQByteArray(steppingMovie(300, 200, 6, {})));
    TMainForm::commandLineFile = movie;
    TMainForm form;
    TMainForm::commandLineFile.clear();
    QVERIFY(!form.isProjector());
    QVERIFY(form.acceptDrops());
    QVERIFY(form.Recent1->menuAction()->isVisible());
    QVERIFY(form.ShockwaveFlash->waitUntilLoaded());
    QCOMPARE(form.ShockwaveFlash->Movie(), movie);
    QCOMPARE(form.clientWidth(), std::max(300, form.ToolBar1->sizeHint().width()));
    QCOMPARE(form.SliderPlay->Maximum(), 5);
    QVERIFY(form.ShockwaveFlash->Playing() != 0);
    QCOMPARE(RecentFiles::list(), QStringList{movie});

    form.Close1->trigger();
    QVERIFY(!form.ShockwaveFlash->isLoaded());
    QCOMPARE(form.windowTitle(), QStringLiteral("Orvane 1.0"));

    // Open, through the file dialog as the user would use it.
    const QString other = m_tmp->filePath(QStringLiteral("other.swf"));
    writeBytes(other, toQByteArray(steppingMovie(200, 150, 3, {})));
    QTimer::singleShot(0, form.OpenDialog, [&] {
        form.OpenDialog->selectFile(other);
        static_cast<QDialog*>(form.OpenDialog)->accept();
    });
    form.Open1->trigger();
    QVERIFY(form.ShockwaveFlash->waitUntilLoaded());
    QCOMPARE(form.ShockwaveFlash->Movie(), other);
    QCOMPARE(form.SliderPlay->Maximum(), 2);
    QCOMPARE(RecentFiles::list(), (QStringList{other, movie}));

    // The recent list opens what it shows, newest first, and stays short.
    form.Recent1Show(form.Recent1); // as the menu does when it opens
    QCOMPARE(form.Recent1->actions().size(), 2);
    form.Recent1->actions().at(1)->trigger();
    QVERIFY(form.ShockwaveFlash->waitUntilLoaded());
    QCOMPARE(form.ShockwaveFlash->Movie(), movie);
    for (int i = 0; i < RecentFiles::kMaxEntries + 3; ++i)
        RecentFiles::add(m_tmp->filePath(QStringLiteral("m%1.swf").arg(i)));
    QCOMPARE(RecentFiles::list().size(), RecentFiles::kMaxEntries);

    // A file that is no movie opened by the user says so in a message box.
    const QString junk = m_tmp->filePath(QStringLiteral("junk.swf"));
    writeBytes(junk, QByteArray("FWS\x0a not really"));
    QTimer::singleShot(0, &form, [&] { form.openMovieFile(junk); });
    QTRY_VERIFY(!m_errors.isEmpty());
    QVERIFY(m_errors[0].contains(junk));
    QVERIFY(m_startupProblems.isEmpty());

    // A command-line file that cannot be played: the window opens empty, the reason goes to
    // standard error (here, the test's reporter).
    TMainForm::commandLineFile = m_tmp->filePath(QStringLiteral("missing.swf"));
    TMainForm missing;
    TMainForm::commandLineFile.clear();
    QVERIFY(!missing.ShockwaveFlash->isLoaded());
    QCOMPARE(m_startupProblems.size(), 1);
    QVERIFY(m_startupProblems[0].contains(QStringLiteral("missing.swf")));
}

void MainFormTest::barePlayerTakesDroppedMovies() {
    const QString movie = m_tmp->filePath(QStringLiteral("dropped.SWF"));
    writeBytes(movie, toQByteArray(steppingMovie(300, 200, 4, {})));
    auto drop = [](TMainForm& form, const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 60), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&form, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(10, 60), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&form, &dropped);
        return dropped.isAccepted();
    };
    TMainForm bare;
    QVERIFY(!drop(bare, {QUrl::fromLocalFile(m_tmp->filePath(QStringLiteral("notes.txt")))}));
    QVERIFY(!drop(bare, {QUrl(QStringLiteral("https://example.org/movie.swf"))}));
    QVERIFY(!bare.ShockwaveFlash->isLoaded());
    QVERIFY(drop(bare, {QUrl::fromLocalFile(movie)}));
    QVERIFY(bare.ShockwaveFlash->waitUntilLoaded());
    QCOMPARE(bare.ShockwaveFlash->Movie(), movie);

    // A projector plays only its own movie.
    auto projectorForm = makeForm(steppingMovie(400, 300, 3, {}));
    QVERIFY(!projectorForm->acceptDrops());
    QVERIFY(!drop(*projectorForm, {QUrl::fromLocalFile(movie)}));
    projectorForm->openMovieFile(movie);
    QCOMPARE(projectorForm->ShockwaveFlash->Movie(), extracted());
}

// A load that takes a while shows how far it got where the slider is; the slider comes back
// with the movie.
void MainFormTest::slowLoadShowsProgressInTheSlidersPlace() {
    SwfWriter big;
    big.setCompression(Compression::Zlib).setStageSize(200, 100);
    big.rawTag(87, std::vector<std::uint8_t>(24u << 20, 0)).showFrame();
    const QString path = m_tmp->filePath(QStringLiteral("big.swf"));
    writeBytes(path, toQByteArray(big.bytes()));
    TMainForm::slowLoadMs = 0;
    TMainForm form;
    bool shown = false;
    int lastPercent = -1;
    connect(form.ShockwaveFlash, &TShockwaveFlash::OnProgress, &form, [&](int percent) {
        shown = shown || (!form.LoadProgress->isHidden() && form.SliderPlay->isHidden());
        lastPercent = form.LoadProgress->value() == percent ? percent : -2;
    });
    form.openMovieFile(path);
    QVERIFY(form.ShockwaveFlash->waitUntilLoaded());
    TMainForm::slowLoadMs = 250;
    QVERIFY(shown);
    QVERIFY(lastPercent > 0);
    QVERIFY(form.LoadProgress->isHidden());
    QVERIFY(!form.SliderPlay->isHidden());
}

void MainFormTest::windowFitsScreenAndToolbar() {
    const QRect screen(0, 0, 1024, 768);
    WindowFitInput in;
    in.strips = 45;
    in.menuHeight = 20;
    in.frame = QMargins(4, 30, 4, 4);
    in.available = screen;
    in.minClientWidth = 180;
    // Fits: the movie's own size.
    in.stage = QSize(550, 400);
    WindowFit fit = fitWindow(in);
    QCOMPARE(fit.client, QSize(550, 445));
    QCOMPARE(fit.scale, 1.0);
    // As tall as the screen: scaled down so that frame, menu, strips and stage all fit.
    in.stage = QSize(800, 768);
    fit = fitWindow(in);
    QVERIFY(fit.scale < 1.0);
    QVERIFY(fit.client.height() + in.menuHeight + 34 <= 768);
    QCOMPARE(fit.client.height() - 45, int(768 * fit.scale));
    QCOMPARE(fit.client.width(), std::max(180, int(800 * fit.scale)));
    // Wider than the screen: the width decides.
    in.stage = QSize(4000, 300);
    fit = fitWindow(in);
    QVERIFY(fit.client.width() + 8 <= 1024);
    QCOMPARE(fit.client.height(), int(300 * fit.scale) + 45);
    // A tiny stage: never narrower than the toolbar.
    in.stage = QSize(10, 10);
    fit = fitWindow(in);
    QCOMPARE(fit.client, QSize(180, 55));
    // A screen that does not start at 0, 0 (a second monitor, a panel on top).
    in.available = QRect(1024, 40, 800, 560);
    in.stage = QSize(800, 600);
    fit = fitWindow(in);
    QVERIFY(fit.client.width() + 8 <= 800 && fit.client.height() + 54 <= 560);
}

void MainFormTest::smallStageKeepsTheWholeToolbar() {
    for (int side : {10, 100}) {
        auto form = makeForm(steppingMovie(side, side, 2, {}));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QVERIFY(form->clientWidth() >= form->ToolBar1->sizeHint().width());
        // No overflow chevron: every button is on the toolbar itself.
        for (QToolButton* button : form->ToolBar1->findChildren<QToolButton*>())
            if (button->objectName() == QLatin1String("qt_toolbar_ext_button"))
                QVERIFY(!button->isVisible());
        for (QAction* action : {form->ToolButton2, form->ToolButton5, form->ControlLoop})
            QVERIFY(form->ToolBar1->widgetForAction(action)->isVisible());
        // The stage is centred in the wider movie area, at its own size.
        const QRectF stage = form->ShockwaveFlash->stageViewport();
        QCOMPARE(stage.size(), QSizeF(side, side));
        QCOMPARE(stage.center().x(), form->ShockwaveFlash->width() / 2.0);
    }
    // A stage larger than the screen gives a window that lies on it, frame and all.
    auto huge = makeForm(steppingMovie(3000, 3000, 2, {}));
    huge->show();
    QVERIFY(QTest::qWaitForWindowExposed(huge.get()));
    const QRect available = huge->screen()->availableGeometry();
    QVERIFY(huge->height() <= available.height());
    QVERIFY(huge->width() <= available.width());
}

void MainFormTest::shortcutsDriveTheCommands() {
    auto form = makeForm(steppingMovie(400, 300, 10, {}));
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    TShockwaveFlash* flash = form->ShockwaveFlash;
    auto press = [&](QKeyCombination key) { QTest::keyClick(flash, key.key(), key.keyboardModifiers()); };

    press(Qt::CTRL | Qt::Key_Return);
    QCOMPARE(flash->Playing(), kFlashFalse);
    press(Qt::CTRL | Qt::Key_Enter);
    QVERIFY(flash->Playing() != 0);
    press(Qt::CTRL | Qt::Key_Return);
    flash->setFrameNum(4);
    press(Qt::CTRL | Qt::Key_Right);
    QCOMPARE(flash->FrameNum(), 5);
    press(Qt::CTRL | Qt::Key_Left);
    press(Qt::CTRL | Qt::Key_Left);
    QCOMPARE(flash->FrameNum(), 3);

    // Loop: the control, the toolbar button and the menu's check mark move together.
    QVERIFY(form->Loop1->isCheckable() && form->Loop1->isChecked());
    press(Qt::CTRL | Qt::Key_L);
    QCOMPARE(flash->Loop(), kFlashFalse);
    QVERIFY(!form->ControlLoop->isChecked() && !form->Loop1->isChecked());
    form->ControlLoop->trigger();
    QVERIFY(form->ControlLoop->isChecked() && form->Loop1->isChecked());

    form->resize(600, 500);
    press(Qt::CTRL | Qt::Key_0);
    QCOMPARE(form->clientWidth(), 400);
    QCOMPARE(form->clientHeight(), 345);

    // Open and Close are the bare player's: in a projector their keys do nothing.
    press(Qt::CTRL | Qt::Key_W);
    QVERIFY(flash->isLoaded());
    QCOMPARE(form->Open1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));

    press(Qt::Key_F11);
    QVERIFY(form->isFullScreenMode());
    press(Qt::Key_Escape);
    QVERIFY(!form->isFullScreenMode());
    press(Qt::CTRL | Qt::Key_F);
    QVERIFY(form->isFullScreenMode());
    press(Qt::CTRL | Qt::Key_F);
    QVERIFY(!form->isFullScreenMode());

    press(Qt::CTRL | Qt::Key_Q);
    QTRY_VERIFY(!form->isVisible());

    // In the bare player, Ctrl+W closes the movie.
    const QString movie = m_tmp->filePath(QStringLiteral("bare.swf"));
    writeBytes(movie, toQByteArray(steppingMovie(300, 200, 3, {})));
    TMainForm::programFile = m_tmp->filePath(QStringLiteral("missing-projector"));
    TMainForm::commandLineFile = movie;
    TMainForm bare;
    TMainForm::commandLineFile.clear();
    QVERIFY(bare.ShockwaveFlash->waitUntilLoaded());
    bare.show();
    QVERIFY(QTest::qWaitForWindowActive(&bare));
    QTest::keyClick(bare.ShockwaveFlash, Qt::Key_W, Qt::ControlModifier);
    QVERIFY(!bare.ShockwaveFlash->isLoaded());
}

void MainFormTest::plainKeysReachTheMovie() {
    auto form = makeForm(steppingMovie(400, 300, 10, {}));
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    form->ShockwaveFlash->setFocus();
    int keys = 0;
    struct KeySpy : QObject {
        int* count;
        explicit KeySpy(int* c) : count(c) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::KeyPress)
                ++*count;
            return false;
        }
    } spy(&keys);
    form->ShockwaveFlash->installEventFilter(&spy);
    const FlashBool playing = form->ShockwaveFlash->Playing();
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_Return,
                        Qt::Key_Escape, Qt::Key_A, Qt::Key_L, Qt::Key_0})
        QTest::keyClick(form->ShockwaveFlash, key);
    QCOMPARE(keys, 10);
    // None of them was taken for a command.
    QCOMPARE(form->ShockwaveFlash->Playing(), playing);
    QVERIFY(form->ShockwaveFlash->Loop() != 0);
    QVERIFY(!form->isFullScreenMode());
}

void MainFormTest::fullScreenInAndOut() {
    // Wider than any usual screen's shape, so black bars show above and below it.
    auto form = makeForm(steppingMovie(400, 100, 3, {10, 20, 30}));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const QRect before = form->geometry();
    form->FullScreen1->trigger();
    QVERIFY(form->isFullScreenMode());
    QVERIFY(form->FullScreen1->isChecked());
    QTRY_VERIFY(form->isFullScreen());
    QVERIFY(!form->menuWidget()->isVisible());
    QVERIFY(!form->ToolBar1->isVisible());
    QVERIFY(!form->SliderPanel->isVisible());
    // The stage is shown whole ("show all") on black.
    QTRY_COMPARE(form->ShockwaveFlash->size(), form->size());
    const QRectF stage = form->ShockwaveFlash->stageViewport();
    QVERIFY(qFuzzyCompare(stage.width() / stage.height(), 4.0));
    const QImage shot = form->ShockwaveFlash->grab().toImage();
    const QPoint inside = stage.center().toPoint() + QPoint(0, int(stage.height() / 3));
    QCOMPARE(shot.pixelColor(inside), QColor(10, 20, 30));
    QVERIFY(stage.top() >= 2);
    QCOMPARE(shot.pixelColor(shot.width() / 2, 0), QColor(Qt::black));
    // Commands keep working without the menu bar.
    form->PlayStop1->trigger();
    QCOMPARE(form->ShockwaveFlash->Playing(), kFlashFalse);

    form->LeaveFullScreen1->trigger();
    QVERIFY(!form->isFullScreenMode());
    QTRY_VERIFY(!form->isFullScreen());
    QVERIFY(form->menuWidget()->isVisible() && form->ToolBar1->isVisible() && form->SliderPanel->isVisible());
    QVERIFY(!form->LeaveFullScreen1->isEnabled()); // Escape is the movie's again
    QTRY_COMPARE(form->geometry(), before);
    const QImage normal = form->ShockwaveFlash->grab().toImage();
    QCOMPARE(normal.pixelColor(2, normal.height() / 2), QColor(10, 20, 30));
}

void MainFormTest::moviesAskForFullScreenByFscommand() {
    // getURL("FSCommand:fullscreen", ARGS), as fscommand compiles, on frames 1 and 3.
    auto fscommand = [](const std::string& args) {
        const std::string url = "FSCommand:fullscreen";
        const auto length = static_cast<std::uint16_t>(url.size() + 1 + args.size() + 1);
        std::vector<std::uint8_t> code = {0x83, std::uint8_t(length), std::uint8_t(length >> 8)};
        code.insert(code.end(), url.begin(), url.end());
        code.push_back(0);
        code.insert(code.end(), args.begin(), args.end());
        code.insert(code.end(), {0, 0x00});
        return code;
    };
    SwfWriter movie;
    movie.setStageSize(200, 100).setFrameRate(20);
    movie.doAction(fscommand("true")).showFrame().showFrame();
    movie.doAction(fscommand("false")).doAction(std::vector<std::uint8_t>{0x07, 0x00}).showFrame();
    auto form = makeForm(movie.bytes());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QVERIFY(form->isFullScreenMode());
    QTRY_VERIFY(!form->isFullScreenMode());
    QCOMPARE(form->ShockwaveFlash->FrameNum(), 2);
}

// Stage.displayState = "fullScreen" puts the window in full screen; leaving it with Escape
// tells the movie (Stage's onFullScreen listeners, displayState back to "normal").
void MainFormTest::stageDisplayStateUsesTheWindowsFullScreen() {
#ifndef ORVANE_HAVE_AVM1ASM
    QSKIP("no action assembler in this build");
#else
    SwfWriter movie;
    movie.setStageSize(200, 100).setFrameRate(20);
    movie.doAction(assembleActions(R"(
        push "l"; push 0, "Object"; newobject; setvariable
        push "l"; getvariable; push "onFullScreen"
        function (full) { push "full"; getvariable; trace }
        setmember
        push "l"; getvariable; push 1; push "Stage"; getvariable; push "addListener"; callmethod; pop
    )")).showFrame();
    movie.doAction(assembleActions(R"(push "Stage"; getvariable; push "displayState", "fullScreen"; setmember)"))
        .showFrame();
    movie.doAction(assembleActions(R"(push "Stage"; getvariable; push "displayState"; getmember; trace; stop)"))
        .showFrame();
    auto form = makeForm(movie.bytes());
    QSignalSpy traced(form->ShockwaveFlash, &TShockwaveFlash::traced);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QTRY_VERIFY(form->isFullScreenMode());
    QTRY_COMPARE(traced.count(), 2);
    QCOMPARE(traced.at(0).at(0).toString(), QStringLiteral("true"));
    QCOMPARE(traced.at(1).at(0).toString(), QStringLiteral("fullScreen"));
    form->LeaveFullScreen1->trigger();
    QVERIFY(!form->isFullScreenMode());
    QTRY_COMPARE(traced.count(), 3);
    QCOMPARE(traced.at(2).at(0).toString(), QStringLiteral("false"));
#endif
}

int main(int argc, char** argv) {
    OrvaneApplication app(argc, argv);
    MainFormTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainFormTest.moc"
