// TkelTracker: layout numbers, pointer handling and the pixels it paints.

#include "controls/kelTracker.h"

#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <memory>

using namespace orvane;

namespace {

QString rectText(const TRect& r) {
    return QStringLiteral("(%1,%2,%3,%4)").arg(r.Left).arg(r.Top).arg(r.Right).arg(r.Bottom);
}

#define COMPARE_RECT(actual, l, t, r, b) QCOMPARE(rectText(actual), rectText(TRect{l, t, r, b}))

// A shown control, so that its first resize has been delivered.
std::unique_ptr<TkelTracker> shownTracker(int width = 150, int height = 24) {
    auto w = std::make_unique<TkelTracker>();
    w->resize(width, height);
    w->show();
    return w;
}

// The main window's settings for its position bar.
std::unique_ptr<TkelTracker> playerTracker(int width) {
    auto w = std::make_unique<TkelTracker>();
    w->resize(width, 16);
    w->setMinimum(-1);
    w->setMaximum(9999);
    w->setValue(0);
    w->setOrientation(ktbHorizontal);
    w->setBackColor(clBtnFace);
    w->setBackBorder(false);
    w->setTrackColor(clGray);
    w->setTrackBorder(true);
    w->setTumbColor(clSilver);
    w->setTumbBorder(false);
    w->setTumbWidth(30);
    w->setTumbHeight(14);
    w->setTrackHeight(3);
    w->setShowCaption(true);
    w->setCaptionColor(clBlack);
    w->setCaptionBold(false);
    w->show();
    return w;
}

void dragTo(TkelTracker& w, int x, int y) { QTest::mouseMove(&w, QPoint(x, y)); }

QRgb pixel(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }
QRgb rgbOf(TColor c) { return resolveColor(c).rgb() & 0xFFFFFF; }

} // namespace

class TkelTrackerTest : public QObject {
    Q_OBJECT

private slots:
    void newControlGeometry();
    void dragAlongTrackEnds();
    void roundingOfHalves();
    void playerSettings();
    void verticalOrientation();
    void refusedAssignments();
    void rangeChangesMoveValueSilently();
    void tooSmallToTravel();
    void extremeValuesStayDefined();
    void pressDragReleaseSequence();
    void otherButtonsAndLeavingHitRect();
    void playerPixels();
    void framesAndOutline();
    void backgroundTiles();
    void bitmapChangesRepaint();
};

void TkelTrackerTest::newControlGeometry() {
    TkelTracker fresh;
    QCOMPARE(fresh.size(), QSize(150, 24));
    QCOMPARE(fresh.Minimum(), 0);
    QCOMPARE(fresh.Maximum(), 100);
    QCOMPARE(fresh.TumbWidth(), 20);
    QCOMPARE(fresh.TumbHeight(), 16);
    QCOMPARE(fresh.TrackHeight(), 6);
    QCOMPARE(fresh.BackColor(), clSilver);
    QCOMPARE(fresh.TrackColor(), clGray);
    QVERIFY(fresh.TrackBorder() && !fresh.TumbBorder() && !fresh.BackBorder() && fresh.ShowCaption());
    QVERIFY(fresh.BackBitmap()->isEmpty());
    COMPARE_RECT(fresh.HitRect(), 0, 0, 0, 0);
    QCOMPARE(fresh.RangeEnd(), 0);

    auto w = shownTracker();
    QCOMPARE(w->RangeStart(), 15);
    QCOMPARE(w->RangeEnd(), 135);
    COMPARE_RECT(w->TrackRect(), 15, 9, 135, 15);
    COMPARE_RECT(w->HitRect(), 15, 4, 135, 20);
    w->setValue(50);
    QCOMPARE(w->ThumbPos(), 75);
    w->grab();
    COMPARE_RECT(w->ThumbRect(), 65, 4, 85, 20);

    // The published properties are reachable by name, as form data sets them.
    QVERIFY(w->setProperty("Maximum", 200));
    QCOMPARE(w->property("Maximum").toInt(), 200);
    QVERIFY(w->setProperty("BackColor", QVariant::fromValue(clBtnFace)));
    QCOMPARE(w->BackColor(), clBtnFace);
}

void TkelTrackerTest::dragAlongTrackEnds() {
    auto w = shownTracker();
    QTest::mousePress(w.get(), Qt::LeftButton, {}, QPoint(75, 12));
    dragTo(*w, 134, 12);
    QCOMPARE(w->Value(), 99);
    dragTo(*w, 135, 12); // outside HitRect: a drag never reaches Maximum here
    QCOMPARE(w->Value(), 99);
    QCOMPARE(w->ThumbPos(), 134);
    dragTo(*w, 15, 12);
    QCOMPARE(w->Value(), 0);
    dragTo(*w, 40, 12);
    dragTo(*w, 14, 12);
    QCOMPARE(w->ThumbPos(), 40);
    QTest::mouseRelease(w.get(), Qt::LeftButton, {}, QPoint(14, 12));
    w->setValue(100); // an assignment does
    QCOMPARE(w->ThumbPos(), 135);
}

void TkelTrackerTest::roundingOfHalves() {
    auto w = shownTracker(94);
    QCOMPARE(w->RangeStart(), 15);
    QCOMPARE(w->RangeEnd(), 79);
    w->setMaximum(32);
    QTest::mousePress(w.get(), Qt::LeftButton, {}, QPoint(20, 12));
    dragTo(*w, 20, 12); // 2.5 -> 2
    QCOMPARE(w->Value(), 2);
    dragTo(*w, 22, 12); // 3.5 -> 4
    QCOMPARE(w->Value(), 4);
    QTest::mouseRelease(w.get(), Qt::LeftButton, {}, QPoint(22, 12));

    w->setMaximum(33);
    w->setMinimum(1); // 2.5 + 1 settles on 4, not 3
    QTest::mousePress(w.get(), Qt::LeftButton, {}, QPoint(20, 12));
    dragTo(*w, 20, 12);
    QCOMPARE(w->Value(), 4);
    QTest::mouseRelease(w.get(), Qt::LeftButton, {}, QPoint(20, 12));

    w->setMinimum(0);
    w->setMaximum(128);
    w->setValue(1); // share 0.5 rounds to 0 before RangeStart is added
    QCOMPARE(w->ThumbPos(), 15);
    w->setValue(3); // 1.5 -> 2
    QCOMPARE(w->ThumbPos(), 17);
}

void TkelTrackerTest::playerSettings() {
    auto w = playerTracker(300);
    QCOMPARE(w->RangeStart(), 20);
    QCOMPARE(w->RangeEnd(), 280);
    w->grab();
    COMPARE_RECT(w->TrackRect(), 20, 6, 280, 10); // 4 rows: 16 - 3 is odd
    COMPARE_RECT(w->HitRect(), 20, 1, 280, 15);
    QCOMPARE(w->ThumbRect().Top, 1);
    QCOMPARE(w->ThumbRect().Bottom, 15);
    QCOMPARE(w->ThumbRect().Right - w->ThumbRect().Left, 30);

    QTest::mousePress(w.get(), Qt::LeftButton, {}, QPoint(150, 8));
    dragTo(*w, 150, 8);
    dragTo(*w, 20, 8);
    QTest::mouseRelease(w.get(), Qt::LeftButton, {}, QPoint(20, 8));
    QCOMPARE(w->Value(), -1);
}

void TkelTrackerTest::verticalOrientation() {
    auto w = shownTracker(150, 150);
    w->setValue(25);
    QCOMPARE(w->ThumbPos(), 45);
    // Turning at run time places the thumb for the new axis at once.
    w->setOrientation(ktbVertical);
    QCOMPARE(w->RangeStart(), 13);
    QCOMPARE(w->RangeEnd(), 137);
    QCOMPARE(w->ThumbPos(), 44);

    w->resize(24, 150);
    COMPARE_RECT(w->TrackRect(), 9, 13, 15, 137);
    COMPARE_RECT(w->HitRect(), 2, 13, 22, 137);
    w->setValue(0); // Minimum at the top
    QCOMPARE(w->ThumbPos(), 13);
    QTest::mousePress(w.get(), Qt::LeftButton, {}, QPoint(12, 13));
    dragTo(*w, 12, 136); // values grow downward
    QCOMPARE(w->Value(), 99);
    QCOMPARE(w->ThumbPos(), 136);
    w->grab();
    COMPARE_RECT(w->ThumbRect(), 2, 128, 22, 144);
    dragTo(*w, 1, 100); // left of HitRect
    QCOMPARE(w->Value(), 99);
    QTest::mouseRelease(w.get(), Qt::LeftButton, {}, QPoint(1, 100));

    // TrackHeight is checked against the width when vertical, TumbHeight against the height always.
    w->setTrackHeight(24);
    QCOMPARE(w->TrackHeight(), 6);
    w->setTrackHeight(23);
    QCOMPARE(w->TrackHeight(), 23);
    w->setTumbHeight(150);
    QCOMPARE(w->TumbHeight(), 16);
    w->setTumbHeight(40);
    QCOMPARE(w->TumbHeight(), 40);
}

void TkelTrackerTest::refusedAssignments() {
    auto w = shownTracker();
    w->setValue(30);
    const int pos = w->ThumbPos();
    w->setMinimum(100);
    w->setMinimum(150);
    w->setMaximum(0);
    w->setMaximum(-5);
    w->setValue(-1);
    w->setValue(101);
    w->setTumbHeight(24);
    w->setTrackHeight(24);
    QCOMPARE(w->Minimum(), 0);
    QCOMPARE(w->Maximum(), 100);
    QCOMPARE(w->Value(), 30);
    QCOMPARE(w->TumbHeight(), 16);
    QCOMPARE(w->TrackHeight(), 6);
    QCOMPARE(w->ThumbPos(), pos);
    w->setOrientation(static_cast<TktbOrientation>(7));
    QCOMPARE(w->Orientation(), ktbHorizontal);

    w->setTumbHeight(23);
    QCOMPARE(w->TumbHeight(), 23);
    w->setTumbWidth(400); // wider than the control is accepted
    QCOMPARE(w->TumbWidth(), 400);
    QCOMPARE(w->RangeStart(), 205);
    QCOMPARE(w->RangeEnd(), -55);
}

void TkelTrackerTest::rangeChangesMoveValueSilently() {
    auto w = shownTracker();
    int raised = 0;
    w->onChangedValue = [&](QObject*, int) { ++raised; };
    w->setValue(80);
    w->setMaximum(50); // pulls Value down and moves the thumb
    QCOMPARE(w->Value(), 50);
    QCOMPARE(w->ThumbPos(), 135);
    w->setMinimum(200); // not below Maximum: ignored; move a range up Maximum first
    QCOMPARE(w->Minimum(), 0);
    w->setMaximum(300);
    w->setMinimum(200);
    QCOMPARE(w->Value(), 200);
    QCOMPARE(w->ThumbPos(), 15);
    QCOMPARE(raised, 0);
}

void TkelTrackerTest::tooSmallToTravel() {
    auto w = shownTracker(20, 24);
    QCOMPARE(w->RangeStart(), 15);
    QCOMPARE(w->RangeEnd(), 5);
    w->setValue(50);
    QCOMPARE(w->ThumbPos(), 10); // 15 + round(0.5 * -10)
    int raised = 0;
    w->onChangedValue = [&](QObject*, int) { ++raised; };
    QTest::mousePress(w.get(), Qt::LeftButton, {}, QPoint(10, 12));
    for (int x = -2; x < 24; ++x)
        dragTo(*w, x, 12);
    QTest::mouseRelease(w.get(), Qt::LeftButton, {}, QPoint(10, 12));
    QCOMPARE(raised, 0);
    QCOMPARE(w->Value(), 50);
    QVERIFY(!w->grab().isNull());
}

void TkelTrackerTest::extremeValuesStayDefined() {
    auto w = shownTracker();
    w->setMinimum(INT_MIN);
    w->setMaximum(INT_MAX);
    w->setValue(INT_MAX);
    QCOMPARE(w->ThumbPos(), 135);
    w->setValue(INT_MIN);
    QCOMPARE(w->ThumbPos(), 15);
    QTest::mousePress(w.get(), Qt::LeftButton, {}, QPoint(75, 12));
    dragTo(*w, 134, 12);
    QVERIFY(w->Value() > 2000000000);
    QTest::mouseRelease(w.get(), Qt::LeftButton, {}, QPoint(134, 12));
    w->setValue(INT_MAX); // caption INT_MAX + 1 without overflow
    w->grab();

    for (int v : {INT_MIN, INT_MAX, -1000000}) {
        w->setTumbWidth(v);
        w->setTumbHeight(v);
        w->setTrackHeight(v);
        w->setValue(0);
        QVERIFY(!w->grab().isNull());
        w->setOrientation(ktbVertical);
        QVERIFY(!w->grab().isNull());
        w->setOrientation(ktbHorizontal);
    }
}

void TkelTrackerTest::pressDragReleaseSequence() {
    auto w = shownTracker();
    w->setValue(50);
    QStringList log;
    w->OnMouseDown = [&](QObject* sender, Qt::MouseButton b, Qt::KeyboardModifiers shift, int x, int y) {
        QCOMPARE(sender, w.get());
        log << QStringLiteral("down %1 %2 %3,%4 v%5").arg(int(b)).arg(int(shift)).arg(x).arg(y).arg(w->Value());
    };
    w->OnMouseUp = [&](QObject*, Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
        log << QStringLiteral("up %1 %2,%3 v%4").arg(int(b)).arg(x).arg(y).arg(w->Value());
    };
    w->onChangedValue = [&](QObject* sender, int v) {
        QCOMPARE(sender, w.get());
        QCOMPARE(v, w->Value());
        log << QStringLiteral("changed %1 pos%2").arg(v).arg(w->ThumbPos());
    };
    QSignalSpy downs(w.get(), &TkelTracker::mouseDown);
    QSignalSpy changes(w.get(), &TkelTracker::changedValue);
    QSignalSpy ups(w.get(), &TkelTracker::mouseUp);

    // A press away from the thumb does not move it; the first movement does.
    QTest::mousePress(w.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(105, 12));
    dragTo(*w, 105, 12);
    dragTo(*w, 105, 12); // same value again still reports
    dragTo(*w, 106, 12);
    QTest::mouseRelease(w.get(), Qt::LeftButton, {}, QPoint(106, 12));
    const QStringList expected{
        QStringLiteral("down 1 %1 105,12 v50").arg(int(Qt::ShiftModifier)),
        QStringLiteral("changed 75 pos105"),
        QStringLiteral("changed 75 pos105"),
        QStringLiteral("changed 76 pos106"),
        QStringLiteral("up 1 106,12 v76"),
    };
    QCOMPARE(log, expected);
    QCOMPARE(downs.count(), 1);
    QCOMPARE(changes.count(), 3);
    QCOMPARE(changes.last().at(1).toInt(), 76);
    QCOMPARE(ups.count(), 1);

    // Press and release without moving: events only, nothing moves.
    log.clear();
    QTest::mouseClick(w.get(), Qt::LeftButton, {}, QPoint(20, 12));
    QCOMPARE(log.size(), 2);
    QVERIFY(log[0].startsWith("down") && log[1].startsWith("up"));
    QCOMPARE(w->Value(), 76);
    QCOMPARE(w->ThumbPos(), 106);
}

void TkelTrackerTest::otherButtonsAndLeavingHitRect() {
    auto w = shownTracker();
    w->setValue(50);
    QStringList log;
    w->OnMouseDown = [&](QObject*, Qt::MouseButton b, Qt::KeyboardModifiers, int, int) { log << QString::number(int(b)); };
    w->OnMouseUp = w->OnMouseDown;
    int raised = 0;
    w->onChangedValue = [&](QObject*, int) { ++raised; };

    for (Qt::MouseButton b : {Qt::RightButton, Qt::MiddleButton}) {
        QTest::mousePress(w.get(), b, {}, QPoint(75, 12));
        dragTo(*w, 100, 12);
        QTest::mouseRelease(w.get(), b, {}, QPoint(100, 12));
    }
    QCOMPARE(raised, 0);
    QCOMPARE(w->Value(), 50);
    QCOMPARE(log, (QStringList{"2", "2", "4", "4"}));

    // Leaving HitRect freezes the thumb where it was last inside; coming back it follows again.
    QTest::mousePress(w.get(), Qt::LeftButton, {}, QPoint(75, 12));
    dragTo(*w, 90, 12);
    dragTo(*w, 90, 3);   // above HitRect
    dragTo(*w, 200, 12); // beyond the control
    dragTo(*w, 90, 30);
    QCOMPARE(w->ThumbPos(), 90);
    dragTo(*w, 60, 19);
    QCOMPARE(w->ThumbPos(), 60);
    QTest::mouseRelease(w.get(), Qt::LeftButton, {}, QPoint(60, 19));
    QCOMPARE(raised, 2);
}

void TkelTrackerTest::playerPixels() {
    auto w = playerTracker(200);
    w->setValue(-1);
    const QImage img = w->grab().toImage();
    QCOMPARE(img.size(), QSize(200, 16));
    const QRgb face = rgbOf(clBtnFace), black = rgbOf(clBlack), light = rgbOf(clBtnHighlight);
    const QRgb gray = rgbOf(clGray), silver = rgbOf(clSilver);

    // Track rows 6 to 9 with the sunken frame, between 20 and 179.
    for (int y : {0, 5, 10, 15})
        QCOMPARE(pixel(img, 120, y), face);
    QCOMPARE(pixel(img, 120, 6), black);
    QCOMPARE(pixel(img, 120, 7), gray);
    QCOMPARE(pixel(img, 120, 8), gray);
    QCOMPARE(pixel(img, 120, 9), light);
    QCOMPARE(pixel(img, 179, 6), light); // top-right corner belongs to the right edge
    QCOMPARE(pixel(img, 180, 7), face);

    // Thumb: rows 1 to 14, 30 pixels wide around ThumbPos 20 (columns 5 to 34), flat silver.
    for (int y : {1, 14}) {
        QCOMPARE(pixel(img, 5, y), silver);
        QCOMPARE(pixel(img, 34, y), silver);
    }
    QCOMPARE(pixel(img, 4, 7), face);
    QCOMPARE(pixel(img, 20, 0), face);
    QCOMPARE(pixel(img, 20, 15), face);
    QCOMPARE(pixel(img, 35, 7), gray);

    // Caption "0": dark pixels inside the thumb less its 1-pixel margin, none on that margin.
    int dark = 0;
    for (int y = 1; y < 15; ++y)
        for (int x = 5; x < 35; ++x) {
            const bool margin = y == 1 || y == 14 || x == 5 || x == 34;
            const bool isDark = qGray(img.pixel(x, y)) < 96;
            if (margin)
                QVERIFY2(!isDark, qPrintable(QStringLiteral("caption on margin at %1,%2").arg(x).arg(y)));
            dark += isDark;
        }
    QVERIFY(dark > 3);

    w->setShowCaption(false);
    const QImage bare = w->grab().toImage();
    QCOMPARE(pixel(bare, 20, 7), silver);
}

void TkelTrackerTest::framesAndOutline() {
    auto w = shownTracker();
    w->setValue(50); // thumb (65,4,85,20)
    w->setShowCaption(false);
    w->setBackBorder(true);
    w->setTumbBorder(true);
    const QImage img = w->grab().toImage();
    const QRgb black = rgbOf(clBlack), light = rgbOf(clBtnHighlight), silver = rgbOf(clSilver);
    for (QPoint p : {QPoint(0, 0), QPoint(149, 0), QPoint(0, 23), QPoint(149, 23), QPoint(40, 0), QPoint(0, 12)})
        QCOMPARE(pixel(img, p.x(), p.y()), black);
    QCOMPARE(pixel(img, 1, 1), silver);
    // Raised thumb frame: highlight top and left, black right and bottom with their corners.
    QCOMPARE(pixel(img, 65, 4), light);
    QCOMPARE(pixel(img, 83, 4), light);
    QCOMPARE(pixel(img, 84, 4), black);
    QCOMPARE(pixel(img, 65, 18), light);
    QCOMPARE(pixel(img, 65, 19), black);
    QCOMPARE(pixel(img, 75, 12), silver);
    // Sunken track frame: bottom-left corner belongs to the bottom edge.
    QCOMPARE(pixel(img, 15, 9), black);
    QCOMPARE(pixel(img, 15, 14), light);
}

void TkelTrackerTest::backgroundTiles() {
    auto w = shownTracker();
    w->setShowCaption(false);
    QImage tile(10, 10, QImage::Format_ARGB32);
    tile.fill(QColor(0, 160, 0, 0)); // alpha is ignored: tiles are opaque
    tile.setPixel(0, 0, qRgb(255, 0, 0));
    w->setBackBitmap(tile);
    const QImage img = w->grab().toImage();
    const QRgb red = qRgb(255, 0, 0) & 0xFFFFFF, green = qRgb(0, 160, 0) & 0xFFFFFF;
    // Rows clear of track and thumb show only tiles, with a marker at every tile origin: 15 tiles
    // across (the 16th starts at the edge) on rows 0 and 20 (the third row of tiles, cut off).
    int markers = 0;
    for (int y : {0, 1, 2, 3, 20, 21, 22, 23})
        for (int x = 0; x < 150; ++x) {
            const QRgb p = pixel(img, x, y);
            const bool origin = x % 10 == 0 && y % 10 == 0;
            QCOMPARE(p, origin ? red : green);
            markers += origin;
        }
    QCOMPARE(markers, 30);
    // Beside the track on the middle row the second row of tiles is visible too.
    QCOMPARE(pixel(img, 140, 10), red);
    QCOMPARE(pixel(img, 141, 10), green);
}

void TkelTrackerTest::bitmapChangesRepaint() {
    auto w = shownTracker();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    w->installEventFilter(&counter);
    QCoreApplication::processEvents();
    counter.paints = 0;
    w->BackBitmap()->setSize(8, 8);
    w->BackBitmap()->edit([](QPainter& p) { p.fillRect(0, 0, 8, 8, Qt::blue); });
    QTRY_VERIFY(counter.paints > 0);
    QCOMPARE(pixel(w->grab().toImage(), 0, 0), qRgb(0, 0, 255) & 0xFFFFFF);

    // A palette-based picture can be drawn on in place as well.
    QImage indexed(4, 4, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0)});
    indexed.fill(0);
    w->setBackBitmap(indexed);
    w->BackBitmap()->edit([](QPainter& p) { p.fillRect(0, 0, 4, 4, Qt::red); });
    QCOMPARE(pixel(w->grab().toImage(), 4, 0), qRgb(255, 0, 0) & 0xFFFFFF);

    // Assigning nothing, or a 0 x 0 image, leaves the plain background.
    w->setBackBitmap(static_cast<const TBitmap*>(nullptr));
    QVERIFY(w->BackBitmap()->isEmpty());
    w->setBackBitmap(QImage());
    QCOMPARE(pixel(w->grab().toImage(), 0, 0), rgbOf(clSilver));
}

QTEST_MAIN(TkelTrackerTest)
#include "kelTrackerTest.moc"
