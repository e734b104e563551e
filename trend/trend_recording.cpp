#include "trend/trend_recording.h"

#include <utility>

TrendRecording::TrendRecording(TrendFeed& feed, WallClock& clock,
                               std::function<void(const std::string&)> onFailure)
    : feed_(feed), clock_(clock), onFailure_(std::move(onFailure)) {}

TrendRecording::~TrendRecording() {
    feed_.SetRecorder(nullptr);
}

// The feed lets go of the old recorder before it goes, and the old recorder goes before its
// sink.
bool TrendRecording::Start(std::unique_ptr<RecordSink> sink, std::string fileName) {
    Stop();
    feed_.SetRecorder(nullptr);
    recorder_.reset();
    sink_ = std::move(sink);
    recorder_ = std::make_unique<CsvRecorder>(clock_, *sink_, std::move(fileName), onFailure_);
    feed_.SetRecorder(recorder_.get());
    // Started while the port is open, the rows carry the setpoint the trend already holds.
    return recorder_->Start(feed_.Data().ConfirmedSetpoint());
}

void TrendRecording::Stop() {
    if (recorder_) {
        recorder_->Stop();
    }
    if (sink_) {
        sink_->Close();
    }
}
