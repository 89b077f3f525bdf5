// The movie widget: its control interface, design-time state and frame clock.

#include "flashhost/ShockwaveFlash.h"
#include "PlayerTestSupport.h"
#include "swf/Player.h"

#ifdef ORVANE_HAVE_AVM1ASM
#include "ActionAssembler.h"
#endif

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace orvane;
using namespace orvane::testing;

class ShockwaveFlashTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void loadAndUnload();
    void failedLoadRaisesAndLeavesEmpty();
    void commandsWhileLoadingAndLoadsReplacedOrDropped();
    void flashBooleans();
    void frameNumIsClamped();
    void backAndForwardStepAndStop();
    void loopOffStopsAtLastFrame();
    void designStateDefaults();
    void designStateSettingsAndGarbage();
    void viewportFollowsScaleMode();
    void clockPlaysInRealTime();
    void repaintsOnlyOnVisibleChange();
    void paintsBackgroundColour();
    void scriptsRunInFull();
    void runawayScriptLeavesTheWidgetAnswering();

private:
    QString save(const std::vector<std::uint8_t>& movie, const QString& name = QStringLiteral("m.swf"));
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {
void loadNow(TShockwaveFlash& flash, const QString& path) {
    flash.setMovie(path);
    QVERIFY(flash.waitUntilLoaded());
}
} // namespace

void ShockwaveFlashTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
}

QString ShockwaveFlashTest::save(const std::vector<std::uint8_t>& movie, const QString& name) {
    const QString path = m_dir->filePath(name);
    writeBytes(path, toQByteArray(movie));
    return path;
}

void ShockwaveFlashTest::loadAndUnload() {
    TShockwaveFlash flash;
    QVERIFY(!flash.isLoaded());
    QCOMPARE(flash.TotalFrames(), 0);
    const QString path = save(steppingMovie(200, 100, 7, {}));
    flash.setMovie(path);
    // Loading runs on a worker: the call returns at once, the movie arrives soon after.
    QCOMPARE(flash.ReadyState(), 1);
    QVERIFY(flash.waitUntilLoaded());
    QCOMPARE(flash.ReadyState(), 4);
    QVERIFY(flash.isLoaded());
    QCOMPARE(flash.Movie(), path);
    QCOMPARE(flash.TotalFrames(), 7);
    QCOMPARE(flash.FrameNum(), 0);
    flash.setMovie(QStringLiteral("http://"));
    QVERIFY(!flash.isLoaded());
    QCOMPARE(flash.TotalFrames(), 0);
    QCOMPARE(flash.FrameNum(), 0);
    flash.setFrameNum(3); // no movie: nothing to do, nothing raised
    flash.Play();
    QCOMPARE(flash.Playing(), kFlashFalse);
}

void ShockwaveFlashTest::failedLoadRaisesAndLeavesEmpty() {
    TShockwaveFlash flash;
    loadNow(flash, save(steppingMovie(200, 100, 7, {})));
    QVERIFY_THROWS_EXCEPTION(FlashError, flash.setMovie(m_dir->filePath(QStringLiteral("missing.swf"))));
    QVERIFY(!flash.isLoaded());
    QCOMPARE(flash.Movie(), m_dir->filePath(QStringLiteral("missing.swf")));
    const QString junk = m_dir->filePath(QStringLiteral("junk.swf"));
    writeBytes(junk, QByteArray("not a movie"));
    QVERIFY_THROWS_EXCEPTION(FlashError, flash.setMovie(junk));
    QVERIFY_THROWS_EXCEPTION(FlashError, flash.setMovie(m_dir->path()));
    QVERIFY(!flash.isLoaded());
    // A movie whose header looks right fails later, on the worker: reported by signal.
    writeBytes(junk, QByteArray("FWS\x0a garbage"));
    QSignalSpy failed(&flash, &TShockwaveFlash::loadFailed);
    flash.setMovie(junk);
    QVERIFY(!flash.waitUntilLoaded());
    QCOMPARE(failed.count(), 1);
    QVERIFY(failed.at(0).at(0).toString().contains(junk));
    QCOMPARE(flash.ReadyState(), 0);
}

void ShockwaveFlashTest::commandsWhileLoadingAndLoadsReplacedOrDropped() {
    // Stop given while the movie loads holds when it arrives: the first frame stays.
    TShockwaveFlash flash;
    QSignalSpy ready(&flash, &TShockwaveFlash::OnReadyStateChange);
    flash.setMovie(save(steppingMovie(200, 100, 7, {}, 100.0)));
    flash.Stop();
    QCOMPARE(flash.Playing(), kFlashFalse);
    QVERIFY(flash.waitUntilLoaded());
    QCOMPARE(flash.Playing(), kFlashFalse);
    QTest::qWait(100);
    QCOMPARE(flash.FrameNum(), 0);
    QCOMPARE(ready.count(), 2); // loading, then loaded
    QCOMPARE(ready.at(1).at(0).toInt(), 4);

    // A second movie given before the first arrived replaces it; only the second shows.
    ready.clear();
    flash.setMovie(save(steppingMovie(200, 100, 7, {}), QStringLiteral("a.swf")));
    flash.setMovie(save(steppingMovie(200, 100, 3, {}), QStringLiteral("b.swf")));
    QVERIFY(flash.waitUntilLoaded());
    QTest::qWait(50);
    QCOMPARE(flash.TotalFrames(), 3);
    QCOMPARE(ready.count(), 3);
    // Unloading or closing while a load runs drops it without harm.
    flash.setMovie(save(steppingMovie(200, 100, 5, {}), QStringLiteral("c.swf")));
    flash.setMovie(QStringLiteral("http://"));
    QTest::qWait(50);
    QVERIFY(!flash.isLoaded());
    auto closing = std::make_unique<TShockwaveFlash>();
    closing->setMovie(save(steppingMovie(200, 100, 5, {}), QStringLiteral("d.swf")));
    closing.reset();
}

void ShockwaveFlashTest::flashBooleans() {
    TShockwaveFlash flash;
    loadNow(flash, save(steppingMovie(200, 100, 7, {})));
    flash.setPlaying(0);
    QCOMPARE(flash.Playing(), kFlashFalse);
    flash.setPlaying(1); // any non-zero value is true, and reads back as -1
    QCOMPARE(flash.Playing(), kFlashTrue);
    flash.setPlaying(0);
    flash.setPlaying(std::int16_t(0x7FFF));
    QCOMPARE(flash.Playing(), kFlashTrue);
    flash.setLoop(2);
    QCOMPARE(flash.Loop(), kFlashTrue);
    flash.setLoop(kFlashFalse);
    QCOMPARE(flash.Loop(), kFlashFalse);
    QVERIFY(!flash.player().loop());
    // The loop setting is the control's: it survives loading another movie.
    loadNow(flash, save(steppingMovie(200, 100, 3, {}), QStringLiteral("other.swf")));
    QCOMPARE(flash.Loop(), kFlashFalse);
    QVERIFY(!flash.player().loop());
}

void ShockwaveFlashTest::frameNumIsClamped() {
    TShockwaveFlash flash;
    loadNow(flash, save(steppingMovie(200, 100, 7, {})));
    flash.Stop();
    flash.setFrameNum(4);
    QCOMPARE(flash.FrameNum(), 4);
    flash.setFrameNum(-1);
    QCOMPARE(flash.FrameNum(), 0);
    flash.setFrameNum(1'000'000);
    QCOMPARE(flash.FrameNum(), 6);
    flash.setFrameNum(std::numeric_limits<int>::min());
    QCOMPARE(flash.FrameNum(), 0);
    // A jump keeps the play state.
    QCOMPARE(flash.Playing(), kFlashFalse);
}

void ShockwaveFlashTest::backAndForwardStepAndStop() {
    TShockwaveFlash flash;
    loadNow(flash, save(steppingMovie(200, 100, 7, {})));
    flash.Play();
    flash.setFrameNum(3);
    flash.Forward();
    QCOMPARE(flash.FrameNum(), 4);
    QCOMPARE(flash.Playing(), kFlashFalse);
    flash.Back();
    flash.Back();
    QCOMPARE(flash.FrameNum(), 2);
    flash.setFrameNum(0);
    flash.Back();
    QCOMPARE(flash.FrameNum(), 0);
}

void ShockwaveFlashTest::loopOffStopsAtLastFrame() {
    TShockwaveFlash flash;
    loadNow(flash, save(steppingMovie(200, 100, 4, {}, 100.0)));
    flash.setLoop(kFlashFalse);
    flash.Play();
    QTRY_COMPARE(flash.FrameNum(), 3);
    QTRY_COMPARE(flash.Playing(), kFlashFalse);
    QTest::qWait(60);
    QCOMPARE(flash.FrameNum(), 3);
}

void ShockwaveFlashTest::designStateDefaults() {
    const QByteArray stream = FlashDesignState::defaultStream();
    QCOMPARE(stream.size(), 170);
    QVERIFY(stream.startsWith(QByteArray("\x67\x55\x66\x55\x00\x03\x00\x00", 8)));
    const FlashDesignState state = FlashDesignState::parse(stream);
    QCOMPARE(state.scale, FlashDesignState::Scale::ShowAll);
    QCOMPARE(state.quality, FlashDesignState::Quality::High);
    QVERIFY(state.loop);
    QCOMPARE(state.extentWidth, 475);
    QCOMPARE(state.extentHeight, 178);
    // Form data carries it as text and hands it over unchanged.
    TShockwaveFlash flash;
    flash.setDesignState(QString::fromLatin1(stream.toHex()));
    QCOMPARE(flash.designState(), stream);
}

void ShockwaveFlashTest::designStateSettingsAndGarbage() {
    auto withField = [](std::uint8_t tag, const QByteArray& text) {
        QByteArray b = FlashDesignState::defaultStream().left(16);
        b.append(char(tag)).append(char(1)).append(char(text.size())).append(char(0)).append(text);
        return b;
    };
    QCOMPARE(FlashDesignState::parse(withField(11, "noscale")).scale, FlashDesignState::Scale::NoScale);
    QCOMPARE(FlashDesignState::parse(withField(11, "ExactFit")).scale, FlashDesignState::Scale::ExactFit);
    QCOMPARE(FlashDesignState::parse(withField(6, "Low")).quality, FlashDesignState::Quality::Low);
    QCOMPARE(FlashDesignState::parse(withField(11, "Sideways")).scale, FlashDesignState::Scale::ShowAll);
    // Play off: a loaded movie waits on its first frame.
    QByteArray still = FlashDesignState::defaultStream().left(16);
    still.append(char(4)).append(char(0)).append(char(0)).append(char(0));
    QVERIFY(!FlashDesignState::parse(still).play);
    TShockwaveFlash paused;
    paused.loadDesignState(still);
    loadNow(paused, save(steppingMovie(200, 100, 7, {})));
    QCOMPARE(paused.Playing(), kFlashFalse);
    QCOMPARE(paused.FrameNum(), 0);
    // Truncated, lying or foreign streams keep the defaults and never read past their end.
    QByteArray lying = withField(11, "NoScale");
    lying[18] = char(0xFF), lying[19] = char(0xFF);
    QCOMPARE(FlashDesignState::parse(lying).scale, FlashDesignState::Scale::ShowAll);
    const QByteArray full = FlashDesignState::defaultStream();
    for (int n = 0; n < full.size(); ++n)
        QCOMPARE(FlashDesignState::parse(full.left(n)).scale, FlashDesignState::Scale::ShowAll);
    QCOMPARE(FlashDesignState::parse(QByteArray(170, '\xFF')).quality, FlashDesignState::Quality::High);
    TShockwaveFlash flash;
    flash.setDesignState(QStringLiteral("not hex at all"));
    QCOMPARE(flash.settings().scale, FlashDesignState::Scale::ShowAll);
}

void ShockwaveFlashTest::viewportFollowsScaleMode() {
    TShockwaveFlash flash;
    flash.resize(400, 400);
    loadNow(flash, save(steppingMovie(200, 100, 2, {})));
    QCOMPARE(flash.stageViewport(), QRectF(0, 100, 400, 200)); // show all: aspect kept, centred
    auto mode = [&](const char* scale) {
        QByteArray b = FlashDesignState::defaultStream().left(16);
        b.append(char(11)).append(char(1)).append(char(qstrlen(scale))).append(char(0)).append(scale);
        flash.loadDesignState(b);
        return flash.stageViewport();
    };
    QCOMPARE(mode("NoScale"), QRectF(100, 150, 200, 100));
    QCOMPARE(mode("ExactFit"), QRectF(0, 0, 400, 400));
    QCOMPARE(mode("NoBorder"), QRectF(-200, 0, 800, 400));
}

void ShockwaveFlashTest::clockPlaysInRealTime() {
    TShockwaveFlash flash;
    loadNow(flash, save(steppingMovie(200, 100, 1000, {}, 50.0)));
    QCOMPARE(flash.framePeriodMs(), 20.0);
    flash.Play();
    QElapsedTimer elapsed;
    elapsed.start();
    QTest::qWait(400);
    const double expected = double(elapsed.elapsed()) / 20.0;
    const auto shown = double(flash.ticks() + flash.droppedFrames());
    // Every period is accounted for, as a tick or as a dropped frame, on a fixed schedule: the
    // next deadline is always a whole number of periods after the load.
    QCOMPARE(shown, flash.nextDeadlineMs() / 20.0);
    // Never ahead of real time; behind only by what a loaded machine delays timer events.
    QVERIFY2(shown <= expected + 2, qPrintable(QString::number(shown) + " > " + QString::number(expected)));
    QVERIFY2(shown >= expected - 10, qPrintable(QString::number(shown) + " < " + QString::number(expected)));
    QVERIFY(flash.FrameNum() > 3);
}

void ShockwaveFlashTest::repaintsOnlyOnVisibleChange() {
    TShockwaveFlash flash;
    flash.resize(200, 100);
    loadNow(flash, save(steppingMovie(200, 100, 50, {}, 60.0)));
    flash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&flash));
    QTRY_VERIFY(flash.paints() > 2); // playing: frames change, so it paints
    flash.Stop();
    QTest::qWait(50);
    const auto paints = flash.paints();
    const auto ticks = flash.ticks();
    QTest::qWait(200);
    QVERIFY(flash.ticks() > ticks); // the clock still runs (sprites would play on)
    QCOMPARE(flash.paints(), paints);
    QSignalSpy shown(&flash, &TShockwaveFlash::frameShown);
    flash.Forward();
    QCOMPARE(shown.count(), 1);
    QTRY_VERIFY(flash.paints() > paints);
}

void ShockwaveFlashTest::paintsBackgroundColour() {
    TShockwaveFlash flash;
    flash.resize(300, 300);
    loadNow(flash, save(steppingMovie(200, 100, 2, {10, 200, 30})));
    flash.Stop();
    const QImage image = flash.grab().toImage();
    // Outside the stage and on the stage away from the red square: the background colour.
    QCOMPARE(image.pixelColor(150, 20), QColor(10, 200, 30));
    QCOMPARE(image.pixelColor(280, 180), QColor(10, 200, 30));
}

void ShockwaveFlashTest::scriptsRunInFull() {
#ifndef ORVANE_HAVE_AVM1ASM
    QSKIP("no action assembler in this build");
#else
    if (!TShockwaveFlash::runsScripts())
        QSKIP("the interpreter is not built in");
    // Arithmetic, a condition and trace are beyond timeline control: only the interpreter
    // gets the second frame to trace its sum and stop the movie on the third.
    SwfWriter movie;
    movie.setStageSize(200, 100).setFrameRate(50);
    movie.showFrame();
    auto code = assembleActions("push 1, 2\nadd2\ntrace\n"
                                "push 2, 2\nadd2\npush 4\nequals2\nnot\nif skip\ngotoframe 2\nstop\nskip:");
    code.pop_back(); // the writer closes the block itself
    movie.doAction(code).showFrame();
    movie.showFrame(3);
    TShockwaveFlash flash;
    QSignalSpy traced(&flash, &TShockwaveFlash::traced);
    loadNow(flash, save(movie.bytes()));
    QTRY_COMPARE(traced.count(), 1);
    QCOMPARE(traced.at(0).at(0).toString(), QStringLiteral("3"));
    QTRY_COMPARE(flash.Playing(), kFlashFalse);
    QCOMPARE(flash.FrameNum(), 2);
#endif
}

// A script that never ends leaves the widget answering: its events are handled from inside
// the script, commands given meanwhile wait until the script has ended, and Stop ends it.
void ShockwaveFlashTest::runawayScriptLeavesTheWidgetAnswering() {
    SwfWriter movie;
    const std::vector<std::uint8_t> endless = {0x99, 0x02, 0x00, 0xFB, 0xFF, 0x00}; // a jump to itself
    // ScriptLimits: 256 levels, a 60 s timeout (the longest action budget), so the loop lasts.
    movie.rawTag(65, std::vector<std::uint8_t>{0x00, 0x01, 60, 0});
    movie.setStageSize(200, 100).setFrameRate(30).doAction(endless).showFrame().showFrame().showFrame();
    TShockwaveFlash flash;
    bool inside = false, waited = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, &flash, [&] {
        if (!flash.inRunningScript() || inside)
            return;
        inside = true;
        flash.setFrameNum(2);
        waited = flash.FrameNum() == 0; // not while the script runs
        flash.Stop();
    });
    poll.start();
    loadNow(flash, save(movie.bytes()));
    QTRY_VERIFY_WITH_TIMEOUT(inside, 10000);
    QVERIFY(waited);
    QTRY_COMPARE(flash.Playing(), kFlashFalse);
    QCOMPARE(flash.FrameNum(), 2);
    QVERIFY(!flash.inRunningScript());
}

QTEST_MAIN(ShockwaveFlashTest)
#include "ShockwaveFlashTest.moc"
