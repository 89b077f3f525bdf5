#pragma once

// TkelTracker: the self-drawn slider used as the player's position bar.
//
// How an owner uses it
// --------------------
//   auto* slider = new orvane::TkelTracker(parent);   // 150 x 24, range 0..100
//   slider->setMinimum(-1);                           // setters refuse silently, see below
//   slider->setMaximum(totalFrames - 1);
//   slider->setValue(frame);                          // never raises onChangedValue
//   slider->setToolTip(...);                          // hint, cursor, size: plain QWidget
//
// Events. Each event exists twice, as a plain callback member (assign it, or leave it empty) and as
// a Qt signal; the callback runs first, then the signal is emitted. Use whichever suits:
//   slider->OnMouseDown = [this](QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift,
//                                int x, int y) { SliderPlayMouseDown(sender, button, shift, x, y); };
//   slider->OnMouseUp   = ...;                                    // same parameters
//   slider->onChangedValue = [](QObject* sender, int NewValue) { ... };
//   QObject::connect(slider, &orvane::TkelTracker::mouseDown, this, &TMainForm::SliderPlayMouseDown);
//   QObject::connect(slider, &orvane::TkelTracker::mouseUp, ...);
//   QObject::connect(slider, &orvane::TkelTracker::changedValue, ...);
//
// OnMouseDown / OnMouseUp fire for every button on press and on release, with the press position in
// the control's coordinates; the control does nothing else on press or release, so at OnMouseDown
// the thumb has not moved yet and at OnMouseUp Value() holds the result of the drag's last movement.
// A double click's second press also arrives as OnMouseDown. onChangedValue fires on every pointer
// movement (left button held, pointer inside HitRect) after Value has been stored, also when the
// value did not change; assignments to Value, Minimum and Maximum never fire it.
//
// Properties are Q_PROPERTYs in the order form data sets them; each setter checks against what is
// already stored. Refused assignments (Minimum >= Maximum, Maximum <= Minimum, Value out of range,
// TumbHeight >= height, TrackHeight >= the size across the track) are ignored and change nothing.
// Alignment in the parent is left to Qt layouts. Setting Orientation at run time derives the
// thumb's position for the new axis at once.

#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QWidget>

#include <cstdint>
#include <functional>

class QColor;
class QPainter;

namespace orvane {

// 32-bit colour: top byte 00 = an RGB colour with red in the lowest byte, then green, then blue;
// top byte FF = a system colour whose index is in the lowest byte, resolved through the application
// palette when drawn.
using TColor = std::uint32_t;

constexpr TColor rgbColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16);
}
constexpr TColor systemColor(std::uint8_t index) {
    return 0xFF000000u | index;
}

inline constexpr TColor clBlack = rgbColor(0x00, 0x00, 0x00);
inline constexpr TColor clGray = rgbColor(0x80, 0x80, 0x80);
inline constexpr TColor clSilver = rgbColor(0xC0, 0xC0, 0xC0);
inline constexpr TColor clBlue = rgbColor(0x00, 0x00, 0xFF);
inline constexpr TColor clWindowText = systemColor(8);
inline constexpr TColor clBtnFace = systemColor(15);
inline constexpr TColor clBtnHighlight = systemColor(20);

// The colour a TColor stands for now; system colours come from the application palette
// (button face = Button, button highlight = Light, window text = WindowText).
QColor resolveColor(TColor color);

// A rectangle in the control's pixel coordinates covering columns Left..Right-1 and rows
// Top..Bottom-1. Unlike QRect, Right and Bottom lie just outside.
struct TRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;

    bool contains(std::int32_t x, std::int32_t y) const {
        return Left <= x && x < Right && Top <= y && y < Bottom;
    }
    friend bool operator==(const TRect&, const TRect&) = default;
};

// The control's background picture. Any change made through it (assign, load, resize, edit) emits
// changed(), which the owning control turns into a repaint.
class TBitmap : public QObject {
    Q_OBJECT
public:
    explicit TBitmap(QObject* parent = nullptr);

    const QImage& image() const { return m_image; }
    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    bool isEmpty() const { return m_image.width() == 0 || m_image.height() == 0; }

    void setImage(const QImage& image);
    // Copies another bitmap's content; nullptr empties this one.
    void assign(const TBitmap* other);
    // False (content unchanged) when the file cannot be read as an image.
    bool load(const QString& path);
    // Keeps the top-left content that still fits; new pixels are black. Negative sizes count as 0.
    void setSize(int width, int height);
    void clear();
    // Draws on the bitmap in place; the change is announced once the painter is done.
    void edit(const std::function<void(QPainter&)>& draw);

signals:
    void changed();

private:
    QImage m_image;
};

class TkelTracker : public QWidget {
    Q_OBJECT
public:
    enum TktbOrientation : std::uint8_t { ktbHorizontal = 0, ktbVertical = 1 };
    Q_ENUM(TktbOrientation)

    using TMouseEvent = std::function<void(QObject* sender, Qt::MouseButton button,
                                           Qt::KeyboardModifiers shift, int x, int y)>;
    using TonChangedValue = std::function<void(QObject* sender, int NewValue)>;

private:
    // Published properties, in the order form data applies them.
    Q_PROPERTY(int Minimum READ Minimum WRITE setMinimum)
    Q_PROPERTY(int Maximum READ Maximum WRITE setMaximum)
    Q_PROPERTY(int Value READ Value WRITE setValue)
    Q_PROPERTY(TktbOrientation Orientation READ Orientation WRITE setOrientation)
    Q_PROPERTY(QPixmap BackBitmap READ backBitmapPixmap WRITE setBackBitmap)
    Q_PROPERTY(TColor BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(bool BackBorder READ BackBorder WRITE setBackBorder)
    Q_PROPERTY(TColor TrackColor READ TrackColor WRITE setTrackColor)
    Q_PROPERTY(bool TrackBorder READ TrackBorder WRITE setTrackBorder)
    Q_PROPERTY(TColor TumbColor READ TumbColor WRITE setTumbColor)
    Q_PROPERTY(bool TumbBorder READ TumbBorder WRITE setTumbBorder)
    Q_PROPERTY(int TumbWidth READ TumbWidth WRITE setTumbWidth)
    Q_PROPERTY(int TumbHeight READ TumbHeight WRITE setTumbHeight)
    Q_PROPERTY(int TrackHeight READ TrackHeight WRITE setTrackHeight)
    Q_PROPERTY(bool ShowCaption READ ShowCaption WRITE setShowCaption)
    Q_PROPERTY(TColor CaptionColor READ CaptionColor WRITE setCaptionColor)
    Q_PROPERTY(bool CaptionBold READ CaptionBold WRITE setCaptionBold)

public:
    explicit TkelTracker(QWidget* parent = nullptr);
    ~TkelTracker() override;

    // Owner's event handlers (see the top of this file); empty means unassigned.
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TonChangedValue onChangedValue;

    int Minimum() const { return m_minimum; }
    void setMinimum(int value);
    int Maximum() const { return m_maximum; }
    void setMaximum(int value);
    int Value() const { return m_value; }
    void setValue(int value);
    TktbOrientation Orientation() const { return m_orientation; }
    void setOrientation(TktbOrientation orientation);

    // The control's own bitmap; changes made to it in place repaint the control.
    TBitmap* BackBitmap() const { return m_backBitmap; }
    // Copies the content; nullptr or an empty image leaves the background plain.
    void setBackBitmap(const TBitmap* bitmap);
    void setBackBitmap(const QImage& image);
    void setBackBitmap(const QPixmap& pixmap);

    TColor BackColor() const { return m_backColor; }
    void setBackColor(TColor color);
    bool BackBorder() const { return m_backBorder; }
    void setBackBorder(bool on);
    TColor TrackColor() const { return m_trackColor; }
    void setTrackColor(TColor color);
    bool TrackBorder() const { return m_trackBorder; }
    void setTrackBorder(bool on);
    TColor TumbColor() const { return m_tumbColor; }
    void setTumbColor(TColor color);
    bool TumbBorder() const { return m_tumbBorder; }
    void setTumbBorder(bool on);
    int TumbWidth() const { return m_tumbWidth; }
    void setTumbWidth(int value);
    int TumbHeight() const { return m_tumbHeight; }
    void setTumbHeight(int value);
    int TrackHeight() const { return m_trackHeight; }
    void setTrackHeight(int value);
    bool ShowCaption() const { return m_showCaption; }
    void setShowCaption(bool on);
    TColor CaptionColor() const { return m_captionColor; }
    void setCaptionColor(TColor color);
    bool CaptionBold() const { return m_captionBold; }
    void setCaptionBold(bool on);

    // Layout state, derived; zero until the control is first sized or painted.
    TRect HitRect() const { return m_hitRect; }
    TRect TrackRect() const { return m_trackRect; }
    TRect ThumbRect() const { return m_thumbRect; }
    int ThumbPos() const { return m_thumbPos; }
    int RangeStart() const { return m_rangeStart; }
    int RangeEnd() const { return m_rangeEnd; }

signals:
    void mouseDown(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void mouseUp(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void changedValue(QObject* sender, int NewValue);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap backBitmapPixmap() const;

    void CalcRange();
    void CalcTrackRect();
    void CalcThumbRect();
    void ValueToPosition();
    void PositionToValue();

    void paintBackground(QPainter& painter);
    void paintTrack(QPainter& painter);
    void paintThumb(QPainter& painter);
    void paintCaption(QPainter& painter);

    // Layout state first, then property storage.
    TRect m_hitRect;
    TRect m_trackRect;
    TRect m_thumbRect;
    std::int32_t m_thumbPos = 0;
    std::int32_t m_rangeStart = 0;
    std::int32_t m_rangeEnd = 0;

    std::int32_t m_value = 0;
    std::int32_t m_minimum = 0;
    std::int32_t m_maximum = 100;
    TColor m_trackColor = clGray;
    TColor m_tumbColor = clSilver;
    TColor m_backColor = clSilver;
    std::int32_t m_tumbWidth = 20;
    std::int32_t m_tumbHeight = 16;
    std::int32_t m_trackHeight = 6;
    bool m_showCaption = true;
    TColor m_captionColor = clBlack;
    bool m_trackBorder = true;
    bool m_tumbBorder = false;
    bool m_backBorder = false;
    bool m_captionBold = false;
    TktbOrientation m_orientation = ktbHorizontal;
    TBitmap* m_backBitmap = nullptr;
};

using TktbOrientation = TkelTracker::TktbOrientation;
using TonChangedValue = TkelTracker::TonChangedValue;
inline constexpr TktbOrientation ktbHorizontal = TkelTracker::ktbHorizontal;
inline constexpr TktbOrientation ktbVertical = TkelTracker::ktbVertical;

} // namespace orvane
