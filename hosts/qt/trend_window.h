// The trend window: the readings over time as the core draws them, the span, and Record/Stop.
#ifndef DRIVERPANEL_HOSTS_QT_TREND_WINDOW_H
#define DRIVERPANEL_HOSTS_QT_TREND_WINDOW_H

#include <QTimer>
#include <QWidget>

#include "trend/trend_view.h"

class QButtonGroup;
class QLabel;
class QPushButton;
class TrendHost;

// Strokes and writes what TrendView::Draw gives; decides nothing itself.
class CTrendPlot : public QWidget {
    Q_OBJECT

  public:
    CTrendPlot(TrendHost& host, TrendView& view, QWidget* parent);

  signals:
    void Scrolled();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void ScrollBy(double spans);

    TrendHost& host_;
    TrendView& view_;
};

class CTrendWindow : public QWidget {
    Q_OBJECT

  public:
    CTrendWindow(TrendHost& host, QWidget* panel);

    // Redraws the plot and the controls from the host's state.
    void Refresh();

  private:
    void OnRecord();

    TrendHost& host_;
    TrendView view_;
    CTrendPlot* plot_ = nullptr;
    QButtonGroup* spans_ = nullptr;
    QPushButton* newest_ = nullptr;
    QPushButton* record_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer redraw_;
};

#endif
