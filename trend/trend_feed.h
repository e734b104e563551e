// The trend's one listener of the panel: each event goes to the samples kept for the trend
// window, then to the recording in progress, if any, in that order, so that a row recorded never
// holds a reading the window does not. The host owns both and tells the feed which recording
// is in progress.
#ifndef DRIVERPANEL_TREND_TREND_FEED_H
#define DRIVERPANEL_TREND_TREND_FEED_H

#include "panel/panel_events.h"
#include "trend/trend_data.h"

class TrendFeed : public PanelListener {
  public:
    explicit TrendFeed(TrendData& data) : data_(data) {}

    // Null when nothing is recorded; the host keeps the recorder alive while it is set here.
    void SetRecorder(PanelListener* recorder) { recorder_ = recorder; }
    const TrendData& Data() const { return data_; }

    void OnConfiguration(const PanelConfiguration& e) override {
        Forward(&PanelListener::OnConfiguration, e);
    }
    void OnSetpointsConfirmed(const PanelSetpoints& e) override {
        Forward(&PanelListener::OnSetpointsConfirmed, e);
    }
    void OnTemperature(const PanelTemperature& e) override {
        Forward(&PanelListener::OnTemperature, e);
    }
    void OnPower(const PanelPower& e) override { Forward(&PanelListener::OnPower, e); }
    void OnPollSent(const PanelPoll& e) override { Forward(&PanelListener::OnPollSent, e); }
    void OnPortClosed(const PanelPortClosed& e) override {
        Forward(&PanelListener::OnPortClosed, e);
    }
    void OnPortLost(const PanelPortLost& e) override { Forward(&PanelListener::OnPortLost, e); }

  private:
    template <typename Event>
    void Forward(void (PanelListener::*handler)(const Event&), const Event& event) {
        (data_.*handler)(event);
        if (recorder_ != nullptr) {
            (recorder_->*handler)(event);
        }
    }

    TrendData& data_;
    PanelListener* recorder_ = nullptr;
};

#endif
