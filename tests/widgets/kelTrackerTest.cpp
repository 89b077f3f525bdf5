// TkelTracker: layout numbers, pointer handling and the pixels it paints.

#include "controls/kelTracker.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <initializer_list>
#include <memory>

using namespace orvane;

namespace {

QString text(const TRect& r) {
    return QStringLiteral("%1,%2,%3,%4").arg(r.Left).arg(r.Top).arg(r.Right).arg(r.Bottom);
}

// A shown control, so that its first resize has been delivered.
std::unique_ptr<TkelTracker> shownTracker(int width = 150, int height = 24) {
    auto w = std::make_unique<TkelTracker>();
    w->resize(width, height);
    w->show();
    return w;
}

// The main window's settings for its position bar, applied in form-data order.
std::unique_ptr<TkelTracker> playerTracker(int width) {
    auto w = std::make_unique<TkelTracker>();
    w->resize(width, 16);
    w->setMinimum(-1);
    w->setMaximum(9999);
    w->setBackColor(clBtnFace);
    w->setTumbWidth(30);
    w->setTumbHeight(14);
    w->setTrackHeight(3);
    w->show();
    return w;
}

// Left-button drag through the given points; the press happens at the first of them.
void leftDrag(TkelTracker& w, std::initializer_list<QPoint> points) {
    QTest::mousePress(&w, Qt::LeftButton, {}, *points.begin());
    for (QPoint p : points)
        QTest::mouseMove(&w, p);
    QTest::mouseRelease(&w, Qt::LeftButton, {}, *(points.end() - 1));
}

QRgb pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}
QRgb rgbOf(TColor c) {
    return resolveColor(c).rgb() & 0xFFFFFF;
}

} // namespace

class TkelTrackerTest : public QObject {
    Q_OBJECT

private slots:
    void newControlGeometry();
    void dragEndsAndHalves();
    void playerSettingsAndVertical();
    void refusalsAndRangeChanges();
    void degenerateSizes();
    void pressDragReleaseSequence();
    void otherButtonsAndLeavingHitRect();
    void playerPixels();
    void framesTilesAndBitmapChanges();
};

void TkelTrackerTest::newControlGeometry() {
    TkelTracker fresh;
    QCOMPARE(fresh.size(), QSize(150, 24));
    QCOMPARE(text(fresh.HitRect()), QString("0,0,0,0")); // nothing derived before the first resize

    auto w = shownTracker();
    QCOMPARE(w->RangeStart(), 15);
    QCOMPARE(w->RangeEnd(), 135);
    QCOMPARE(text(w->TrackRect()), QString("15,9,135,15"));
    QCOMPARE(text(w->HitRect()), QString("15,4,135,20"));
    w->setValue(50);
    QCOMPARE(w->ThumbPos(), 75);
    w->grab();
    QCOMPARE(text(w->ThumbRect()), QString("65,4,85,20"));

    // Form data sets the published properties by name.
    QVERIFY(w->setProperty("Maximum", 200));
    QVERIFY(w->setProperty("Orientation", "ktbVertical"));
    QCOMPARE(w->Orientation(), ktbVertical);
}

void TkelTrackerTest::dragEndsAndHalves() {
    auto w = shownTracker();
    leftDrag(*w, {{75, 12}, {134, 12}});
    QCOMPARE(w->Value(), 99);
    leftDrag(*w, {{75, 12}, {135, 12}}); // outside HitRect: a drag never reaches Maximum here
    QCOMPARE(w->Value(), 50);
    leftDrag(*w, {{15, 12}});
    QCOMPARE(w->Value(), 0);
    leftDrag(*w, {{40, 12}, {14, 12}});
    QCOMPARE(w->ThumbPos(), 40);
    w->setValue(100); // an assignment does
    QCOMPARE(w->ThumbPos(), 135);

    // Halves go to the even neighbour; Minimum is added before rounding a position.
    auto h = shownTracker(94);
    QCOMPARE(h->RangeEnd(), 79);
    h->setMaximum(32);
    leftDrag(*h, {{20, 12}}); // 2.5
    QCOMPARE(h->Value(), 2);
    leftDrag(*h, {{22, 12}}); // 3.5
    QCOMPARE(h->Value(), 4);
    h->setMaximum(33);
    h->setMinimum(1);
    leftDrag(*h, {{20, 12}}); // 2.5 + 1
    QCOMPARE(h->Value(), 4);
    h->setMinimum(0);
    h->setMaximum(128);
    h->setValue(1); // share 0.5 rounds to 0 before RangeStart is added
    QCOMPARE(h->ThumbPos(), 15);
    h->setValue(3);
    QCOMPARE(h->ThumbPos(), 17);
}

void TkelTrackerTest::playerSettingsAndVertical() {
    auto p = playerTracker(300);
    QCOMPARE(p->RangeEnd(), 280);
    p->grab();
    QCOMPARE(text(p->TrackRect()), QString("20,6,280,10")); // 4 rows: 16 - 3 is odd
    QCOMPARE(text(p->HitRect()), QString("20,1,280,15"));
    QCOMPARE(text(p->ThumbRect()), QString("5,1,35,15"));
    leftDrag(*p, {{150, 8}, {20, 8}});
    QCOMPARE(p->Value(), -1);

    auto w = shownTracker(150, 150);
    w->setValue(25);
    QCOMPARE(w->ThumbPos(), 45);
    w->setOrientation(ktbVertical); // placed for the new axis at once
    QCOMPARE(w->RangeStart(), 13);
    QCOMPARE(w->RangeEnd(), 137);
    QCOMPARE(w->ThumbPos(), 44);

    w->resize(24, 150);
    QCOMPARE(text(w->TrackRect()), QString("9,13,15,137"));
    QCOMPARE(text(w->HitRect()), QString("2,13,22,137"));
    w->setValue(0);
    QCOMPARE(w->ThumbPos(), 13); // Minimum at the top, values grow downward
    leftDrag(*w, {{12, 13}, {12, 136}, {1, 100}});
    QCOMPARE(w->Value(), 99);
    w->grab();
    QCOMPARE(text(w->ThumbRect()), QString("2,128,22,144"));

    // Across a vertical track is the width; TumbHeight is checked against the height always.
    w->setTrackHeight(24);
    w->setTumbHeight(150);
    QCOMPARE(w->TrackHeight(), 6);
    QCOMPARE(w->TumbHeight(), 16);
    w->setTrackHeight(23);
    QCOMPARE(w->TrackHeight(), 23);
}

void TkelTrackerTest::refusalsAndRangeChanges() {
    auto w = shownTracker();
    int raised = 0;
    w->onChangedValue = [&](QObject*, int) { ++raised; };
    w->setValue(30);
    const int pos = w->ThumbPos();
    w->setMinimum(100);
    w->setMaximum(0);
    w->setValue(-1);
    w->setValue(101);
    w->setTumbHeight(24);
    w->setTrackHeight(24);
    w->setOrientation(static_cast<TktbOrientation>(7));
    QCOMPARE(QList<int>(
                 {w->Minimum(), w->Maximum(), w->Value(), w->TumbHeight(), w->TrackHeight(), w->ThumbPos()}),
             QList<int>({0, 100, 30, 16, 6, pos}));
    QCOMPARE(w->Orientation(), ktbHorizontal);
    w->setTumbWidth(400); // no check at all, even wider than the control
    QCOMPARE(w->RangeEnd(), -55);
    w->setTumbWidth(20);

    w->setValue(80);
    w->setMaximum(50); // pulls Value down and moves the thumb
    QCOMPARE(w->Value(), 50);
    QCOMPARE(w->ThumbPos(), 135);
    w->setMaximum(300); // a range moves up by setting Maximum first
    w->setMinimum(200);
    QCOMPARE(w->Value(), 200);
    QCOMPARE(w->ThumbPos(), 15);
    QCOMPARE(raised, 0);
}

void TkelTrackerTest::degenerateSizes() {
    // Too small to travel: RangeEnd < RangeStart, still paints, no drag moves it.
    auto w = shownTracker(20, 24);
    w->setValue(50);
    QCOMPARE(w->ThumbPos(), 10); // 15 + round(0.5 * -10)
    int raised = 0;
    w->onChangedValue = [&](QObject*, int) { ++raised; };
    QTest::mousePress(w.get(), Qt::LeftButton, {}, QPoint(10, 12));
    for (int x = -2; x < 24; ++x)
        QTest::mouseMove(w.get(), QPoint(x, 12));
    QTest::mouseRelease(w.get(), Qt::LeftButton, {}, QPoint(10, 12));
    QCOMPARE(raised, 0);
    QVERIFY(!w->grab().isNull());

    // Extreme values: the arithmetic stays defined (run under UBSan) and the answers stay sane.
    auto e = shownTracker();
    e->setMinimum(INT_MIN);
    e->setMaximum(INT_MAX);
    e->setValue(INT_MAX);
    QCOMPARE(e->ThumbPos(), 135);
    leftDrag(*e, {{134, 12}});
    QVERIFY(e->Value() > 2000000000);
    e->setValue(INT_MAX); // caption is INT_MAX + 1
    e->grab();
    for (int v : {INT_MIN, INT_MAX}) {
        e->setTumbWidth(v);
        e->setTumbHeight(v);
        e->setTrackHeight(v);
        leftDrag(*e, {{75, 12}});
        QVERIFY(!e->grab().isNull());
        e->setOrientation(ktbVertical);
        QVERIFY(!e->grab().isNull());
        e->setOrientation(ktbHorizontal);
    }
}

void TkelTrackerTest::pressDragReleaseSequence() {
    auto w = shownTracker();
    w->setValue(50);
    QStringList log;
    w->OnMouseDown = [&](QObject* sender, Qt::MouseButton b, Qt::KeyboardModifiers shift, int x, int y) {
        QCOMPARE(sender, w.get());
        log << QStringLiteral("down %1 %2 %3,%4 v%5")
                   .arg(int(b))
                   .arg(int(shift))
                   .arg(x)
                   .arg(y)
                   .arg(w->Value());
    };
    w->OnMouseUp = [&](QObject*, Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
        log << QStringLiteral("up %1 %2,%3 v%4").arg(int(b)).arg(x).arg(y).arg(w->Value());
    };
    w->onChangedValue = [&](QObject* sender, int v) {
        QCOMPARE(sender, w.get());
        log << QStringLiteral("changed %1 = %2 at %3").arg(v).arg(w->Value()).arg(w->ThumbPos());
    };
    QSignalSpy downs(w.get(), &TkelTracker::mouseDown);
    QSignalSpy changes(w.get(), &TkelTracker::changedValue);
    QSignalSpy ups(w.get(), &TkelTracker::mouseUp);

    // A press away from the thumb does not move it; each movement reports, also an unchanged value.
    QTest::mousePress(w.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(105, 12));
    for (int x : {105, 105, 106})
        QTest::mouseMove(w.get(), QPoint(x, 12));
    QTest::mouseRelease(w.get(), Qt::LeftButton, {}, QPoint(106, 12));
    const QStringList expected{
        QStringLiteral("down 1 %1 105,12 v50").arg(int(Qt::ShiftModifier)),
        "changed 75 = 75 at 105",
        "changed 75 = 75 at 105",
        "changed 76 = 76 at 106",
        "up 1 106,12 v76",
    };
    QCOMPARE(log, expected);
    QCOMPARE(downs.count(), 1);
    QCOMPARE(changes.count(), 3);
    QCOMPARE(changes.last().at(1).toInt(), 76);
    QCOMPARE(ups.count(), 1);

    // Press and release without moving: the owner's events only.
    log.clear();
    QTest::mouseClick(w.get(), Qt::LeftButton, {}, QPoint(20, 12));
    QCOMPARE(log, (QStringList{"down 1 0 20,12 v76", "up 1 20,12 v76"}));
    QCOMPARE(w->ThumbPos(), 106);
}

void TkelTrackerTest::otherButtonsAndLeavingHitRect() {
    auto w = shownTracker();
    w->setValue(50);
    QStringList log;
    w->OnMouseDown = [&](QObject*, Qt::MouseButton b, Qt::KeyboardModifiers, int, int) {
        log << QString::number(int(b));
    };
    w->OnMouseUp = w->OnMouseDown;
    int raised = 0;
    w->onChangedValue = [&](QObject*, int) { ++raised; };

    for (Qt::MouseButton b : {Qt::RightButton, Qt::MiddleButton}) {
        QTest::mousePress(w.get(), b, {}, QPoint(75, 12));
        QTest::mouseMove(w.get(), QPoint(100, 12));
        QTest::mouseRelease(w.get(), b, {}, QPoint(100, 12));
    }
    QCOMPARE(raised, 0);
    QCOMPARE(w->Value(), 50);
    QCOMPARE(log, (QStringList{"2", "2", "4", "4"}));

    // Outside HitRect the thumb stays where it was last inside, and follows again on return.
    QTest::mousePress(w.get(), Qt::LeftButton, {}, QPoint(75, 12));
    for (QPoint p : {QPoint(90, 12), QPoint(90, 3), QPoint(200, 12), QPoint(90, 30)})
        QTest::mouseMove(w.get(), p);
    QCOMPARE(w->ThumbPos(), 90);
    QTest::mouseMove(w.get(), QPoint(60, 19));
    QCOMPARE(w->ThumbPos(), 60);
    QTest::mouseRelease(w.get(), Qt::LeftButton, {}, QPoint(60, 19));
    QCOMPARE(raised, 2);
}

void TkelTrackerTest::playerPixels() {
    auto w = playerTracker(200);
    w->setValue(-1);
    const QImage img = w->grab().toImage();
    const QRgb face = rgbOf(clBtnFace), black = rgbOf(clBlack), light = rgbOf(clBtnHighlight);
    const QRgb gray = rgbOf(clGray), silver = rgbOf(clSilver);

    // Track rows 6 to 9 under a sunken frame, columns 20 to 179.
    const QList<QRgb> column{pixel(img, 120, 5), pixel(img, 120, 6), pixel(img, 120, 7),
                             pixel(img, 120, 8), pixel(img, 120, 9), pixel(img, 120, 10)};
    QCOMPARE(column, (QList<QRgb>{face, black, gray, gray, light, face}));
    QCOMPARE(pixel(img, 179, 6), light); // the right edge owns the top-right corner
    QCOMPARE(pixel(img, 180, 7), face);

    // Flat thumb on rows 1 to 14, columns 5 to 34 around ThumbPos 20.
    for (QPoint p : {QPoint(5, 1), QPoint(34, 1), QPoint(5, 14), QPoint(34, 14)})
        QCOMPARE(pixel(img, p.x(), p.y()), silver);
    for (QPoint p : {QPoint(4, 7), QPoint(20, 0), QPoint(20, 15)})
        QCOMPARE(pixel(img, p.x(), p.y()), face);
    QCOMPARE(pixel(img, 35, 7), gray);

    // Caption "0" inside the thumb less its 1-pixel margin, nothing on that margin.
    int dark = 0;
    for (int y = 1; y < 15; ++y)
        for (int x = 5; x < 35; ++x) {
            const bool isDark = qGray(img.pixel(x, y)) < 96;
            if (y == 1 || y == 14 || x == 5 || x == 34)
                QVERIFY2(!isDark, qPrintable(QStringLiteral("caption on margin at %1,%2").arg(x).arg(y)));
            dark += isDark;
        }
    QVERIFY(dark > 3);
}

void TkelTrackerTest::framesTilesAndBitmapChanges() {
    auto w = shownTracker();
    w->setValue(50); // thumb 65,4,85,20
    w->setShowCaption(false);
    w->setBackBorder(true);
    w->setTumbBorder(true);
    QImage img = w->grab().toImage();
    const QRgb black = rgbOf(clBlack), light = rgbOf(clBtnHighlight), silver = rgbOf(clSilver);
    for (QPoint p : {QPoint(0, 0), QPoint(149, 23), QPoint(40, 0), QPoint(0, 12)})
        QCOMPARE(pixel(img, p.x(), p.y()), black);
    QCOMPARE(pixel(img, 1, 1), silver);
    // Raised thumb frame; the right and bottom edges own their corners.
    const QList<QRgb> corners{pixel(img, 65, 4),  pixel(img, 83, 4),  pixel(img, 84, 4),
                              pixel(img, 65, 18), pixel(img, 65, 19), pixel(img, 75, 12)};
    QCOMPARE(corners, (QList<QRgb>{light, light, black, light, black, silver}));
    QCOMPARE(pixel(img, 15, 14), light); // the sunken track's bottom-left corner

    // 10 x 10 tiles, opaque, from the top-left: markers at every tile origin on rows clear of
    // track and thumb; 15 whole tiles across and a third row cut off at the bottom.
    QImage tile(10, 10, QImage::Format_ARGB32);
    tile.fill(QColor(0, 160, 0, 0));
    tile.setPixel(0, 0, qRgb(255, 0, 0));
    w->setBackBitmap(tile);
    img = w->grab().toImage();
    const QRgb red = qRgb(255, 0, 0) & 0xFFFFFF, green = qRgb(0, 160, 0) & 0xFFFFFF;
    for (int y : {0, 3, 20, 23})
        for (int x = 0; x < 150; ++x)
            QCOMPARE(pixel(img, x, y), (x % 10 == 0 && y % 10 == 0) ? red : green);
    QCOMPARE(pixel(img, 140, 10), red);

    // Drawing on the control's own bitmap in place repaints the control.
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
    w->BackBitmap()->edit([](QPainter& p) { p.fillRect(0, 0, 10, 10, Qt::blue); });
    QTRY_VERIFY(counter.paints > 0);
    QCOMPARE(pixel(w->grab().toImage(), 0, 0), qRgb(0, 0, 255) & 0xFFFFFF);
    w->removeEventFilter(&counter);

    // A palette-based picture can be drawn on as well; no picture gives the plain background.
    QImage indexed(4, 4, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0)});
    indexed.fill(0);
    w->setBackBitmap(indexed);
    w->BackBitmap()->edit([](QPainter& p) { p.fillRect(0, 0, 4, 4, Qt::red); });
    QCOMPARE(pixel(w->grab().toImage(), 4, 0), red);
    w->setBackBitmap(static_cast<const TBitmap*>(nullptr));
    QCOMPARE(pixel(w->grab().toImage(), 1, 1), silver);
}

QTEST_MAIN(TkelTrackerTest)
#include "kelTrackerTest.moc"
