// The setpoint slider: a horizontal slider with tick marks below it at whatever positions the
// panel sets (tenths of a range are not evenly spaced in whole numbers), plus one at each end. It
// takes the mouse wheel only while it has the keyboard focus.
#ifndef DRIVERPANEL_HOSTS_QT_TICK_SLIDER_H
#define DRIVERPANEL_HOSTS_QT_TICK_SLIDER_H

#include <QSlider>
#include <set>

class CTickSlider : public QSlider {
    Q_OBJECT

  public:
    // A new slider has the range 0 to 100 and no ticks of its own.
    explicit CTickSlider(QWidget* parent = nullptr);

    void ClearTicks();
    void AddTick(int position);
    const std::set<int>& Ticks() const { return ticks_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    // Horizontal pixel centre of the handle at `value`.
    int PixelOf(int value) const;

    std::set<int> ticks_;
};

#endif
