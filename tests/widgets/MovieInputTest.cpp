// The movie widget forwards the mouse and keys to the movie: a button reacts to QTest
// events sent to the real widget, through the "show all" mapping.

#include "flashhost/ShockwaveFlash.h"
#include "PlayerTestSupport.h"
#include "swf/Player.h"

#include "ActionAssembler.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace orvane;
using namespace orvane::testing;

class MovieInputTest : public QObject {
    Q_OBJECT
private slots:
    void buttonHearsTheMouseThroughTheMapping();
    void rightButtonAndKeys();
    void typingIntoAFieldAndTheClipboard();

private:
    QString saveButtonMovie(QTemporaryDir& dir);
    QString saveFieldMovie(QTemporaryDir& dir);
    static QStringList lines(const QSignalSpy& spy);
    static bool showSized(TShockwaveFlash& flash, int width, int height);
};

// A 200x100 stage with a 20x20 button at (40,40) whose transitions trace their names.
QString MovieInputTest::saveButtonMovie(QTemporaryDir& dir) {
    auto traceText = [](const char* text) {
        auto b = assembleActions(std::string("push \"") + text + "\"; trace");
        b.pop_back();
        return b;
    };
    ShapeBuilder box;
    box.setFill1(box.addFill(FillStyle::solid({255, 0, 0}))).rectangle(0, 0, 400, 400);
    ButtonBuilder b;
    b.records.push_back(ButtonRecord::of(ButtonRecord::Up | ButtonRecord::Over | ButtonRecord::Down |
                                             ButtonRecord::HitTest,
                                         1, 1));
    b.condActions.push_back({ButtonCondAction::IdleToOverUp, traceText("rollOver")});
    b.condActions.push_back({ButtonCondAction::OverUpToOverDown, traceText("press")});
    b.condActions.push_back({ButtonCondAction::OverDownToOverUp, traceText("release")});
    b.condActions.push_back({ButtonCondAction::OverUpToIdle, traceText("rollOut")});
    b.condActions.push_back({ButtonCondAction::keyPress('k'), traceText("key k")});
    SwfWriter movie;
    movie.setVersion(6).setStageSize(200, 100).setFrameRate(12);
    movie.defineShape(1, box).defineButton(2, b, 2).place(2, 1, Matrix::translate(800, 800));
    movie.showFrame();
    const QString path = dir.filePath("button.swf");
    writeBytes(path, toQByteArray(movie.bytes()));
    return path;
}

// A 200x100 stage with a 100x20 input field at (0,0) whose onChanged traces its text.
QString MovieInputTest::saveFieldMovie(QTemporaryDir& dir) {
    EditText field;
    field.fontId = 99; // no such font: device text
    field.variableName = "v";
    auto script = assembleActions(R"(
        push "f"; getvariable; push "onChanged"
        function (tf) { push "tf"; getvariable; push "text"; getmember; trace }
        setmember
        stop)");
    SwfWriter movie;
    movie.setVersion(8).setStageSize(200, 100).setFrameRate(12);
    PlaceObject p;
    p.depth = 1;
    p.characterId = 1;
    p.name = "f";
    movie.defineEditText(1, field).placeObject2(p).doAction(script).showFrame();
    const QString path = dir.filePath("field.swf");
    writeBytes(path, toQByteArray(movie.bytes()));
    return path;
}

bool MovieInputTest::showSized(TShockwaveFlash& flash, int width, int height) {
    flash.resize(width, height);
    flash.show();
    return QTest::qWaitForWindowExposed(&flash);
}

QStringList MovieInputTest::lines(const QSignalSpy& spy) {
    QStringList out;
    for (const auto& args : spy)
        out << args.at(0).toString();
    return out;
}

void MovieInputTest::buttonHearsTheMouseThroughTheMapping() {
    if (!TShockwaveFlash::runsScripts())
        QSKIP("the interpreter is not built in");
    QTemporaryDir dir;
    TShockwaveFlash flash;
    flash.resize(500, 200); // the stage shows twice its size, 50 pixels in from the left
    flash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&flash));
    QSignalSpy traced(&flash, &TShockwaveFlash::traced);
    flash.setMovie(saveButtonMovie(dir));
    QVERIFY(flash.waitUntilLoaded(5000)); // movies load on a worker thread
    QCOMPARE(flash.toStage(QPointF(150, 100)), QPointF(50, 50));
    QTest::mouseMove(&flash, QPoint(60, 60)); // stage (5,5): nothing there
    QTest::mouseMove(&flash, QPoint(150, 100));
    QTRY_COMPARE(lines(traced), QStringList{"rollOver"});
    QCOMPARE(flash.cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(&flash, Qt::LeftButton, {}, QPoint(150, 100));
    QCOMPARE(lines(traced), (QStringList{"rollOver", "press", "release"}));
    QTest::mouseMove(&flash, QPoint(300, 100));
    QCOMPARE(lines(traced).last(), QStringLiteral("rollOut"));
    QCOMPARE(flash.cursor().shape(), Qt::ArrowCursor);
}

void MovieInputTest::rightButtonAndKeys() {
    if (!TShockwaveFlash::runsScripts())
        QSKIP("the interpreter is not built in");
    QTemporaryDir dir;
    TShockwaveFlash flash;
    QVERIFY(showSized(flash, 200, 100));
    QSignalSpy traced(&flash, &TShockwaveFlash::traced);
    flash.setMovie(saveButtonMovie(dir));
    QVERIFY(flash.waitUntilLoaded(5000)); // movies load on a worker thread
    // The right button never reaches the movie: no press over the button.
    QTest::mouseClick(&flash, Qt::RightButton, {}, QPoint(50, 50));
    QVERIFY(!lines(traced).contains("press"));
    QVERIFY(!flash.player().inputState().mouseDown);
    QTest::keyClick(&flash, Qt::Key_K);
    QVERIFY(lines(traced).contains("key k"));
    QTest::keyPress(&flash, Qt::Key_Shift);
    QVERIFY(flash.player().inputState().keyDown(16));
    QTest::keyRelease(&flash, Qt::Key_Shift);
    QVERIFY(!flash.player().inputState().keyDown(16));
}

// Click, type, Backspace, and copy/paste through the desktop clipboard.
void MovieInputTest::typingIntoAFieldAndTheClipboard() {
    if (!TShockwaveFlash::runsScripts())
        QSKIP("the interpreter is not built in");
    QTemporaryDir dir;
    TShockwaveFlash flash;
    QVERIFY(showSized(flash, 200, 100));
    QSignalSpy traced(&flash, &TShockwaveFlash::traced);
    flash.setMovie(saveFieldMovie(dir));
    QVERIFY(flash.waitUntilLoaded(5000));
    QTest::mouseMove(&flash, QPoint(20, 10));
    QCOMPARE(flash.cursor().shape(), Qt::IBeamCursor);
    QTest::mouseClick(&flash, Qt::LeftButton, {}, QPoint(20, 10));
    QTest::keyClicks(&flash, "hi");
    QTest::keyClick(&flash, Qt::Key_Backspace);
    QTest::keyClick(&flash, Qt::Key_O);
    QCOMPARE(lines(traced), (QStringList{"h", "hi", "h", "ho"}));
    QClipboard* clipboard = QGuiApplication::clipboard();
    QTest::keyClick(&flash, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&flash, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(flash.player().inputState().clipboard, std::string("ho"));
    QCOMPARE(clipboard->text(), QStringLiteral("ho"));
    clipboard->setText("yes");
    QTest::keyClick(&flash, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(lines(traced).last(), QStringLiteral("yes"));
}

QTEST_MAIN(MovieInputTest)
#include "MovieInputTest.moc"
