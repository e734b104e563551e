// The readings kept for the trend window and the recording, beside the panel: one listener of
// the panel's logic that feeds both, and the trend window, built when first asked for.
#ifndef DRIVERPANEL_HOSTS_QT_TREND_HOST_H
#define DRIVERPANEL_HOSTS_QT_TREND_HOST_H

#include <QPointer>
#include <QString>

#include "hosts/qt/qt_ui_timers.h"
#include "trend/trend_data.h"
#include "trend/trend_feed.h"
#include "trend/trend_recording.h"
#include "trend/wall_clock.h"

class PanelLogic;
class QWidget;
class CTrendWindow;

class QtWallClock : public WallClock {
  public:
    std::int64_t UtcMs() override;
    int LocalOffsetMinutes(std::int64_t utcMs) override;
};

class TrendHost {
  public:
    // Listens to `logic` until destroyed; the window, once shown, belongs to `panel`.
    TrendHost(PanelLogic& logic, QWidget* panel);
    ~TrendHost();
    TrendHost(const TrendHost&) = delete;
    TrendHost& operator=(const TrendHost&) = delete;

    // Shows the trend window, raised and active.
    void ShowWindow();
    CTrendWindow* Window() const;  // null until first shown

    // Records to `path` from the next poll on, replacing a recording in progress. False when
    // the file cannot be created; the reason is reported as a failure is.
    bool StartRecording(const QString& path);
    void StopRecording();
    bool Recording() const { return recording_.Recording(); }
    QString RecordingPath() const { return recordingPath_; }
    QString LastProblem() const { return lastProblem_; }

    TrendData& Data() { return data_; }
    UiTimers& Clock() { return clock_; }
    WallClock& Wall() { return wall_; }

  private:
    // Told on standard error and in a box that does not block the panel, which goes on polling.
    void ReportProblem(const QString& text);

    PanelLogic& logic_;
    QWidget* panel_;
    QtUiTimers clock_;  // its clock only: no timer is started
    QtWallClock wall_;
    TrendData data_;
    TrendFeed feed_{data_};
    TrendRecording recording_;
    QString recordingPath_;
    QString lastProblem_;
    QPointer<CTrendWindow> window_;
};

#endif
