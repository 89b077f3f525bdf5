#include "controls/kelTracker.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPointer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvane {

namespace {

using i64 = std::int64_t;

// Layout arithmetic runs in 64 bits: TumbWidth is stored unchecked and TumbHeight / TrackHeight may be
// negative, so the 32-bit sums could overflow. Results are stored back saturated.
std::int32_t saturate(i64 v) {
    return std::int32_t(std::clamp<i64>(v, std::numeric_limits<std::int32_t>::min(),
                                        std::numeric_limits<std::int32_t>::max()));
}

// Integer halving truncates toward zero, as C++ division does.
i64 half(i64 v) {
    return v / 2;
}

// Round to nearest, an exact half to the even neighbour, independent of the FPU rounding mode.
i64 roundHalfEven(double x) {
    if (!std::isfinite(x))
        return 0;
    constexpr double kLimit = 9.0e18;
    x = std::clamp(x, -kLimit, kLimit);
    const double lower = std::floor(x);
    const double fraction = x - lower;
    i64 result = i64(lower);
    if (fraction > 0.5 || (fraction == 0.5 && (result % 2) != 0))
        ++result;
    return result;
}

TRect makeRect(i64 left, i64 top, i64 right, i64 bottom) {
    return TRect{saturate(left), saturate(top), saturate(right), saturate(bottom)};
}

// Fills the part of [left, right) x [top, bottom) that lies on the control; an inverted or empty
// rectangle draws nothing.
void fillClipped(QPainter& painter, const QSize& size, i64 left, i64 top, i64 right, i64 bottom,
                 const QColor& color) {
    left = std::max<i64>(left, 0);
    top = std::max<i64>(top, 0);
    right = std::min<i64>(right, size.width());
    bottom = std::min<i64>(bottom, size.height());
    if (right <= left || bottom <= top)
        return;
    painter.fillRect(QRect(int(left), int(top), int(right - left), int(bottom - top)), color);
}

// 1-pixel frame on the outermost pixels of r. The right edge owns the top-right corner and the bottom
// edge owns the bottom-left corner, so `topLeft` covers top row and left column without those.
void drawFrame(QPainter& painter, const QSize& size, const TRect& r, const QColor& topLeft,
               const QColor& bottomRight) {
    const i64 l = r.Left, t = r.Top, rt = r.Right, b = r.Bottom;
    if (rt <= l || b <= t)
        return;
    fillClipped(painter, size, l, t, rt - 1, t + 1, topLeft);  // top
    fillClipped(painter, size, l, t, l + 1, b - 1, topLeft);   // left
    fillClipped(painter, size, rt - 1, t, rt, b, bottomRight); // right
    fillClipped(painter, size, l, b - 1, rt, b, bottomRight);  // bottom
}

QFont captionFont(bool bold) {
    // The historical face is "MS Sans Serif" 8 pt; where it is not installed the platform's UI font
    // at the same size stands in.
    static const QString kClassicFace = QStringLiteral("MS Sans Serif");
    static const bool kHaveClassicFace = QFontDatabase::hasFamily(kClassicFace);
    QFont font(kHaveClassicFace ? kClassicFace : QApplication::font().family());
    font.setPointSize(8);
    font.setBold(bold);
    return font;
}

} // namespace

QColor resolveColor(TColor color) {
    if ((color >> 24) == 0xFF) {
        const QPalette palette = QApplication::palette();
        switch (color & 0xFF) {
        case 5:
            return palette.color(QPalette::Base); // window
        case 8:
            return palette.color(QPalette::WindowText); // window text
        case 13:
            return palette.color(QPalette::Highlight);
        case 14:
            return palette.color(QPalette::HighlightedText);
        case 15:
            return palette.color(QPalette::Button); // button face
        case 16:
            return palette.color(QPalette::Mid); // button shadow
        case 18:
            return palette.color(QPalette::ButtonText);
        case 20:
            return palette.color(QPalette::Light); // button highlight
        default:
            return QColor(Qt::black);
        }
    }
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

// --- TBitmap ---------------------------------------------------------------------------------------

TBitmap::TBitmap(QObject* parent) : QObject(parent) {}

void TBitmap::setImage(const QImage& image) {
    m_image = image;
    emit changed();
}

void TBitmap::assign(const TBitmap* other) {
    if (other == this)
        return;
    setImage(other ? other->m_image : QImage());
}

bool TBitmap::load(const QString& path) {
    QImage loaded;
    if (!loaded.load(path))
        return false;
    setImage(loaded);
    return true;
}

void TBitmap::setSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == 0 || height == 0) {
        setImage(QImage());
        return;
    }
    QImage resized(width, height, QImage::Format_RGB32);
    resized.fill(Qt::black);
    if (!m_image.isNull()) {
        QPainter painter(&resized);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, m_image);
    }
    setImage(resized);
}

void TBitmap::clear() {
    setImage(QImage());
}

void TBitmap::edit(const std::function<void(QPainter&)>& draw) {
    if (isEmpty() || !draw)
        return;
    // QPainter cannot draw on palette-based images; those become true colour first.
    const QImage::Format f = m_image.format();
    if (f == QImage::Format_Mono || f == QImage::Format_MonoLSB || f == QImage::Format_Indexed8)
        m_image = m_image.convertToFormat(m_image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                    : QImage::Format_RGB32);
    {
        QPainter painter(&m_image);
        draw(painter);
    }
    emit changed();
}

// --- TkelTracker -----------------------------------------------------------------------------------

TkelTracker::TkelTracker(QWidget* parent) : QWidget(parent), m_backBitmap(new TBitmap(this)) {
    // Every property and the layout state are in place before the first resize or paint, since
    // ValueToPosition divides by Maximum - Minimum.
    connect(m_backBitmap, &TBitmap::changed, this, qOverload<>(&QWidget::update));
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(150, 24);
}

TkelTracker::~TkelTracker() = default;

void TkelTracker::setMinimum(int value) {
    if (value >= m_maximum)
        return;
    m_minimum = value;
    if (m_value < m_minimum)
        m_value = m_minimum;
    ValueToPosition();
}

void TkelTracker::setMaximum(int value) {
    if (value <= m_minimum)
        return;
    m_maximum = value;
    if (m_value > m_maximum)
        m_value = m_maximum;
    ValueToPosition();
}

void TkelTracker::setValue(int value) {
    if (value < m_minimum || value > m_maximum)
        return;
    m_value = value;
    ValueToPosition();
    update();
}

void TkelTracker::setOrientation(TktbOrientation orientation) {
    if (orientation != ktbHorizontal && orientation != ktbVertical)
        return;
    m_orientation = orientation;
    // The thumb is placed for the new axis at once rather than left at the old coordinate until the
    // next value or size change.
    CalcRange();
    CalcTrackRect();
    ValueToPosition();
    CalcThumbRect();
    update();
}

void TkelTracker::setBackBitmap(const TBitmap* bitmap) {
    m_backBitmap->assign(bitmap);
}
void TkelTracker::setBackBitmap(const QImage& image) {
    m_backBitmap->setImage(image);
}
void TkelTracker::setBackBitmap(const QPixmap& pixmap) {
    m_backBitmap->setImage(pixmap.toImage());
}

QPixmap TkelTracker::backBitmapPixmap() const {
    return QPixmap::fromImage(m_backBitmap->image());
}

void TkelTracker::setBackColor(TColor color) {
    m_backColor = color;
    update();
}

void TkelTracker::setBackBorder(bool on) {
    m_backBorder = on;
    update();
}

void TkelTracker::setTrackColor(TColor color) {
    m_trackColor = color;
    update();
}

void TkelTracker::setTrackBorder(bool on) {
    m_trackBorder = on;
    update();
}

void TkelTracker::setTumbColor(TColor color) {
    m_tumbColor = color;
    update();
}

void TkelTracker::setTumbBorder(bool on) {
    m_tumbBorder = on;
    update();
}

void TkelTracker::setTumbWidth(int value) {
    m_tumbWidth = value;
    CalcRange();
    CalcThumbRect();
    CalcTrackRect();
    update();
}

void TkelTracker::setTumbHeight(int value) {
    // Checked against the height in either orientation.
    if (value >= height())
        return;
    m_tumbHeight = value;
    CalcRange();
    CalcThumbRect();
    CalcTrackRect();
    update();
}

void TkelTracker::setTrackHeight(int value) {
    const int across = m_orientation == ktbHorizontal ? height() : width();
    if (value >= across)
        return;
    m_trackHeight = value;
    CalcTrackRect();
    update();
}

void TkelTracker::setShowCaption(bool on) {
    m_showCaption = on;
    update();
}

void TkelTracker::setCaptionColor(TColor color) {
    m_captionColor = color;
    update();
}

void TkelTracker::setCaptionBold(bool on) {
    m_captionBold = on;
    update();
}

// --- layout ----------------------------------------------------------------------------------------

// Ends of the thumb's travel: 5 pixels plus half a thumb in from the control's edges.
void TkelTracker::CalcRange() {
    const bool horizontal = m_orientation == ktbHorizontal;
    const i64 start = half(horizontal ? m_tumbWidth : m_tumbHeight) + 5;
    m_rangeStart = saturate(start);
    m_rangeEnd = saturate(i64(horizontal ? width() : height()) - start);
}

// The track centred across the control; the hit area is the track widened across to the thumb.
void TkelTracker::CalcTrackRect() {
    if (m_orientation == ktbHorizontal) {
        const i64 h = height();
        const i64 m = half(h - m_trackHeight);
        m_trackRect = makeRect(m_rangeStart, m, m_rangeEnd, h - m);
        const i64 d = half(i64(m_tumbHeight) - m_trackHeight);
        m_hitRect = makeRect(m_trackRect.Left, i64(m_trackRect.Top) - d, m_trackRect.Right,
                             i64(m_trackRect.Bottom) + d);
    } else {
        const i64 w = width();
        const i64 m = half(w - m_trackHeight);
        m_trackRect = makeRect(m, m_rangeStart, w - m, m_rangeEnd);
        const i64 d = half(i64(m_tumbWidth) - m_trackHeight);
        m_hitRect = makeRect(i64(m_trackRect.Left) - d, m_trackRect.Top, i64(m_trackRect.Right) + d,
                             m_trackRect.Bottom);
    }
}

void TkelTracker::CalcThumbRect() {
    if (m_orientation == ktbHorizontal) {
        const i64 h = height();
        const i64 m = half(h - m_tumbHeight);
        const i64 w = half(m_tumbWidth);
        m_thumbRect = makeRect(i64(m_thumbPos) - w, m, i64(m_thumbPos) + w, h - m);
    } else {
        const i64 w = width();
        const i64 m = half(w - m_tumbWidth);
        const i64 h = half(m_tumbHeight);
        m_thumbRect = makeRect(m, i64(m_thumbPos) - h, w - m, i64(m_thumbPos) + h);
    }
}

// Only the share of the travel is rounded; RangeStart is added afterwards.
void TkelTracker::ValueToPosition() {
    const double span = double(i64(m_maximum) - m_minimum); // > 0 by the Minimum < Maximum invariant
    if (span > 0) {
        const double share = double(i64(m_value) - m_minimum) / span;
        const double travel = double(i64(m_rangeEnd) - m_rangeStart);
        m_thumbPos = saturate(i64(m_rangeStart) + roundHalfEven(share * travel));
    }
    update();
}

// Minimum is added before rounding, so an exact half is settled on the final value.
void TkelTracker::PositionToValue() {
    const i64 travel = i64(m_rangeEnd) - m_rangeStart;
    if (travel <= 0)
        return;
    const double share = double(i64(m_thumbPos) - m_rangeStart) / double(travel);
    const double exact = share * double(i64(m_maximum) - m_minimum) + double(m_minimum);
    m_value = std::int32_t(std::clamp<i64>(roundHalfEven(exact), m_minimum, m_maximum));
}

void TkelTracker::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    CalcRange();
    CalcTrackRect();
    ValueToPosition();
}

// --- pointer ---------------------------------------------------------------------------------------

// Press and release belong to the owner untouched; accepting them keeps Qt's implicit grab on this
// control, so the drag's movements arrive here even outside its bounds.
void TkelTracker::mousePressEvent(QMouseEvent* event) {
    event->accept();
    const QPoint p = event->position().toPoint();
    QPointer<TkelTracker> alive(this);
    if (OnMouseDown)
        OnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
    if (alive)
        emit mouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TkelTracker::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const QPoint p = event->position().toPoint();
    QPointer<TkelTracker> alive(this);
    if (OnMouseUp)
        OnMouseUp(this, event->button(), event->modifiers(), p.x(), p.y());
    if (alive)
        emit mouseUp(this, event->button(), event->modifiers(), p.x(), p.y());
}

// Each movement stands alone: there is no drag state beyond the button being held.
void TkelTracker::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPointF pos = event->position();
    const double fx = std::floor(pos.x());
    const double fy = std::floor(pos.y());
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    if (!(fx >= kMin && fx <= kMax && fy >= kMin && fy <= kMax))
        return;
    const auto x = std::int32_t(fx);
    const auto y = std::int32_t(fy);
    if (!m_hitRect.contains(x, y))
        return;
    // An empty travel leaves HitRect empty too; the check keeps the division in PositionToValue safe
    // even if the two ever disagree.
    if (m_rangeEnd <= m_rangeStart)
        return;
    m_thumbPos = m_orientation == ktbHorizontal ? x : y;
    PositionToValue();
    CalcThumbRect();
    update();
    const int newValue = m_value;
    QPointer<TkelTracker> alive(this);
    if (onChangedValue)
        onChangedValue(this, newValue);
    if (alive)
        emit changedValue(this, newValue);
}

// --- painting --------------------------------------------------------------------------------------

void TkelTracker::paintEvent(QPaintEvent*) {
    CalcRange();
    CalcThumbRect();
    CalcTrackRect();
    QPainter painter(this);
    paintBackground(painter);
    paintTrack(painter);
    paintThumb(painter);
    if (m_showCaption)
        paintCaption(painter);
}

void TkelTracker::paintBackground(QPainter& painter) {
    const QSize sz = size();
    const QImage& bitmap = m_backBitmap->image();
    if (bitmap.width() > 0 && bitmap.height() > 0) {
        // Tiles are copied opaque: an alpha channel does not let the widget behind show through.
        const QImage tile = bitmap.hasAlphaChannel() ? bitmap.convertToFormat(QImage::Format_RGB32) : bitmap;
        const int bw = tile.width();
        const int bh = tile.height();
        for (int r = 0; r <= sz.height() / bh; ++r)
            for (int c = 0; c <= sz.width() / bw; ++c)
                painter.drawImage(c * bw, r * bh, tile);
        return;
    }
    fillClipped(painter, sz, 0, 0, sz.width(), sz.height(), resolveColor(m_backColor));
    if (m_backBorder) {
        const QColor black = resolveColor(clBlack);
        const TRect all{0, 0, sz.width(), sz.height()};
        drawFrame(painter, sz, all, black, black);
    }
}

void TkelTracker::paintTrack(QPainter& painter) {
    const QSize sz = size();
    const TRect& r = m_trackRect;
    fillClipped(painter, sz, r.Left, r.Top, r.Right, r.Bottom, resolveColor(m_trackColor));
    if (m_trackBorder)
        drawFrame(painter, sz, r, resolveColor(clBlack), resolveColor(clBtnHighlight));
}

void TkelTracker::paintThumb(QPainter& painter) {
    const QSize sz = size();
    const TRect& r = m_thumbRect;
    fillClipped(painter, sz, r.Left, r.Top, r.Right, r.Bottom, resolveColor(m_tumbColor));
    if (m_tumbBorder)
        drawFrame(painter, sz, r, resolveColor(clBtnHighlight), resolveColor(clBlack));
}

void TkelTracker::paintCaption(QPainter& painter) {
    const i64 left = i64(m_thumbRect.Left) + 1;
    const i64 top = i64(m_thumbRect.Top) + 1;
    const i64 right = i64(m_thumbRect.Right) - 1;
    const i64 bottom = i64(m_thumbRect.Bottom) - 1;
    if (right <= left || bottom <= top)
        return;
    // Clip the box to a margin around the control so QRect's int arithmetic cannot overflow; what lies
    // outside the control is not drawn anyway, but centring must use the whole box when it fits.
    constexpr i64 kReach = i64(1) << 24;
    if (left < -kReach || top < -kReach || right > kReach || bottom > kReach)
        return;
    const QRect box(int(left), int(top), int(right - left), int(bottom - top));

    // 64-bit so that the caption of the largest value does not overflow.
    const QString text = QString::number(i64(m_value) + 1);
    painter.save();
    painter.setFont(captionFont(m_captionBold));
    painter.setPen(resolveColor(m_captionColor));
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setClipRect(box);
    const QString shown = painter.fontMetrics().elidedText(text, Qt::ElideRight, box.width());
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, shown);
    painter.restore();
}

} // namespace orvane
