// The setpoint slider and its tick marks.
#include "hosts/qt/tick_slider.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

namespace {
constexpr int kDefaultMaximum = 100;  // a new trackbar's range is 0 to 100
constexpr int kTickLength = 4;
constexpr int kTickGap = 2;  // between the handle's bottom and the tick
}  // namespace

CTickSlider::CTickSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(0, kDefaultMaximum);
    setTickPosition(QSlider::NoTicks);  // drawn here, at the panel's positions
}

void CTickSlider::ClearTicks() {
    ticks_.clear();
    update();
}

void CTickSlider::AddTick(int position) {
    ticks_.insert(position);
    update();
}

int CTickSlider::PixelOf(int value) const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int span = groove.width() - handle.width();
    return groove.left() + handle.width() / 2 +
           QStyle::sliderPositionFromValue(minimum(), maximum(), value, span);
}

void CTickSlider::paintEvent(QPaintEvent* event) {
    QSlider::paintEvent(event);

    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int top = qMin(handle.bottom() + kTickGap, height() - kTickLength);

    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    auto drawTick = [&](int value) {
        const int x = PixelOf(value);
        painter.drawLine(x, top, x, top + kTickLength - 1);
    };
    drawTick(minimum());
    drawTick(maximum());
    for (int tick : ticks_) {
        if (tick > minimum() && tick < maximum()) {
            drawTick(tick);
        }
    }
}

// A wheel turned while the pointer merely passes over the panel must not move the drive
// current: the next poll would send the new position. As a Windows control receives wheel
// messages only while it has the focus, the slider takes the wheel only then; otherwise the
// event goes on to the panel, which does nothing with it.
void CTickSlider::wheelEvent(QWheelEvent* event) {
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QSlider::wheelEvent(event);
}
