// The recording in progress, beside the trend: the CSV recorder on a sink the host has opened,
// and its place in the trend feed, so that both windows start and stop a recording alike. The
// host only makes its platform's sink from a path and tells a failure its own way.
#ifndef DRIVERPANEL_TREND_TREND_RECORDING_H
#define DRIVERPANEL_TREND_TREND_RECORDING_H

#include <functional>
#include <memory>
#include <string>

#include "trend/csv_recorder.h"
#include "trend/trend_feed.h"
#include "trend/wall_clock.h"

class TrendRecording {
  public:
    // onFailure gets the recorder's one message when the sink fails while recording.
    TrendRecording(TrendFeed& feed, WallClock& clock,
                   std::function<void(const std::string&)> onFailure);
    ~TrendRecording();
    TrendRecording(const TrendRecording&) = delete;
    TrendRecording& operator=(const TrendRecording&) = delete;

    // Records to `sink`, already open and empty, from the next poll on; `fileName` as the
    // failure names it. Stop the recording in progress before opening the sink, so a file
    // recorded again is closed before it is emptied. False when the header cannot be written.
    bool Start(std::unique_ptr<RecordSink> sink, std::string fileName);
    // Writes the poll in progress, if any, and closes the sink.
    void Stop();
    bool Recording() const { return recorder_ && recorder_->Recording(); }

  private:
    TrendFeed& feed_;
    WallClock& clock_;
    std::function<void(const std::string&)> onFailure_;
    // Both are kept after a stop or a failure until the next start: a failure is reported from
    // inside one of the recorder's calls, which must not see it destroyed under itself.
    std::unique_ptr<RecordSink> sink_;
    std::unique_ptr<CsvRecorder> recorder_;
};

#endif
