// The CSV recording: one row per completed poll from the panel's events, empty fields for
// replies that did not come, and a failing file reported once while the panel goes on; and its
// start and stop from the trend's feed, as both windows do them.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "tests/panel/fake_panel.h"
#include "trend/csv_recorder.h"
#include "trend/trend_recording.h"

namespace {

// Wall time follows the virtual clock from 2026-12-09T14:00:00Z.
class FakeWallClock : public WallClock {
  public:
    explicit FakeWallClock(FakeTimers& timers) : timers_(timers) {}
    std::int64_t UtcMs() override { return 1'796'824'800'000LL + timers_.now; }
    int LocalOffsetMinutes(std::int64_t) override { return 0; }

  private:
    FakeTimers& timers_;
};

class MemorySink : public RecordSink {
  public:
    std::string text;
    int failAfter = -1;  // lines accepted before every write fails
    bool closed = false;
    bool Write(std::string_view line) override {
        if (failAfter == 0 || closed) {
            return false;
        }
        --failAfter;
        text += line;
        return true;
    }
    std::string Error() const override { return "No space left on device"; }
    void Close() override { closed = true; }
};

// A MemorySink the test keeps, handed over to a recording that owns what it is given.
class SinkHandle : public RecordSink {
  public:
    explicit SinkHandle(MemorySink& sink) : sink_(sink) {}
    bool Write(std::string_view line) override { return sink_.Write(line); }
    std::string Error() const override { return sink_.Error(); }
    void Close() override { sink_.Close(); }

  private:
    MemorySink& sink_;
};

Bytes Reply(std::uint8_t type, std::uint16_t first, std::uint16_t second) {
    return MakeReply(type,
                     {static_cast<std::uint8_t>(first >> 8), static_cast<std::uint8_t>(first),
                      static_cast<std::uint8_t>(second >> 8), static_cast<std::uint8_t>(second)});
}

struct Recording {
    PanelHarness panel;
    FakeWallClock wall{panel.timers};
    MemorySink sink;
    std::vector<std::string> failures;
    CsvRecorder recorder{wall, sink, "run.csv",
                         [this](const std::string& m) { failures.push_back(m); }};

    explicit Recording(std::uint8_t variant) {
        panel.logic.AddListener(recorder);
        panel.Start({3});
        panel.logic.OnOpenClose();
        panel.Receive(PanelHarness::ConfigReply(250, 40, 500, 60, variant));
    }
};

using Step = std::function<void(PanelHarness&)>;

TEST(CsvRecorder, WritesOneRowPerCompletedPoll) {
    const Step poll = [](PanelHarness& p) { p.RunFor(500); };
    const Step temp = [](PanelHarness& p) { p.Receive(Reply(0x0B, 2531, 1907)); };
    const Step power = [](PanelHarness& p) { p.Receive(Reply(0x22, 124, 0)); };
    const Step confirm = [](PanelHarness& p) { p.Receive(Reply(0x07, 120, 40)); };
    const Step close = [](PanelHarness& p) { p.logic.OnOpenClose(); };
    struct Case {
        const char* name;
        std::uint8_t variant;
        std::vector<Step> steps;
        const char* rows;
    };
    const Case cases[] = {
        {"an answered poll",
         1,
         {poll, temp, power},
         "2026-12-09T14:00:00.600Z,COM3,250,25.31,12.4\n"},
        {"variant B: channel B's word and whole milliwatts",
         2,
         {poll, temp, power},
         "2026-12-09T14:00:00.600Z,COM3,40,19.07,124\n"},
        {"a silent module: empty fields at the next poll, nothing repeated",
         1,
         {poll, temp, power, poll, poll, temp, power},
         "2026-12-09T14:00:00.600Z,COM3,250,25.31,12.4\n"
         "2026-12-09T14:00:01.100Z,COM3,250,,\n"
         "2026-12-09T14:00:01.600Z,COM3,250,25.31,12.4\n"},
        {"the confirmed setpoint from the next poll on",
         1,
         {poll, confirm, temp, power, poll, power},
         "2026-12-09T14:00:00.600Z,COM3,250,25.31,12.4\n"
         "2026-12-09T14:00:01.100Z,COM3,120,,12.4\n"},
        {"a poll in progress is written when the port closes",
         1,
         {poll, temp, close, poll},
         "2026-12-09T14:00:00.600Z,COM3,250,25.31,\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r(c.variant);
        ASSERT_TRUE(r.recorder.Start());
        for (const Step& step : c.steps) {
            step(r.panel);
        }
        EXPECT_EQ(r.sink.text, std::string(kCsvHeader) + c.rows);
        EXPECT_TRUE(r.failures.empty());
    }
}

TEST(CsvRecorder, AFailingFileStopsTheRecordingOnceAndThePanelGoesOn) {
    for (const int accepted : {0, 2}) {
        Recording r(1);
        r.sink.failAfter = accepted;
        EXPECT_EQ(r.recorder.Start(), accepted > 0);
        for (int i = 0; i < 4; ++i) {
            r.panel.RunFor(500);
            r.panel.Receive(Reply(0x22, 124, 0));
        }
        ASSERT_EQ(r.failures.size(), 1u);
        EXPECT_EQ(r.failures[0], "Recording to run.csv stopped: No space left on device.");
        EXPECT_FALSE(r.recorder.Recording());
        EXPECT_EQ(r.recorder.RowsWritten(), accepted > 0 ? accepted - 1 : 0);
        // Still polling: the last poll's queries went out.
        EXPECT_FALSE(r.panel.port.sent.empty());
        EXPECT_EQ(r.panel.port.sent.back().bytes, QueryBytes(kQueryPowerFrame));
    }
}

TEST(CsvRecorder, FieldsAndTimes) {
    EXPECT_EQ(FormatUtcIso(0), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(FormatUtcIso(951'782'400'999LL), "2000-02-29T00:00:00.999Z");
    EXPECT_EQ(FormatUtcIso(-1), "1969-12-31T23:59:59.999Z");
    EXPECT_EQ(CsvField("ttyUSB0"), "ttyUSB0");
    EXPECT_EQ(CsvField("a,b\"c"), "\"a,b\"\"c\"");
}

// Record, Stop and Record again in a window, through the trend's feed: a stopped file is closed
// with the poll in progress written, and a new one gets rows from its next poll on.
TEST(TrendRecording, StartsAndStopsThroughTheFeed) {
    struct Case {
        const char* name;
        const char* script;  // 1, 2: start on that sink; s: stop; p: poll; t, w: the replies
        int firstAccepts;    // lines the first sink takes before it fails
        const char* first;
        const char* second;  // null when not started
        bool recording;
        std::size_t failures;
    };
    const Case cases[] = {
        {"a stop writes the poll in progress and closes the file", "1ptspw", -1,
         "2026-12-09T14:00:00.600Z,COM3,250,25.31,\n", nullptr, false, 0},
        {"a new start closes the old file and fills the new one from its next poll", "1pt2wptw", -1,
         "2026-12-09T14:00:00.600Z,COM3,250,25.31,\n",
         "2026-12-09T14:00:01.100Z,COM3,250,25.31,12.4\n", true, 0},
        {"a failed file is told once and a new start records again", "1pw2ptw", 1, "",
         "2026-12-09T14:00:01.100Z,COM3,250,25.31,12.4\n", true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PanelHarness panel;
        FakeWallClock wall{panel.timers};
        TrendData data(panel.timers);
        TrendFeed feed(data);
        panel.logic.AddListener(feed);
        panel.Start({3});
        panel.logic.OnOpenClose();
        panel.Receive(PanelHarness::ConfigReply(250, 40, 500, 60, 1));
        std::vector<std::string> failures;
        MemorySink sinks[2];
        sinks[0].failAfter = c.firstAccepts;
        {
            TrendRecording recording(feed, wall,
                                     [&](const std::string& m) { failures.push_back(m); });
            for (const char* step = c.script; *step != '\0'; ++step) {
                if (*step == '1' || *step == '2') {
                    recording.Start(std::make_unique<SinkHandle>(sinks[*step - '1']), "run.csv");
                } else if (*step == 's') {
                    recording.Stop();
                } else if (*step == 'p') {
                    panel.RunFor(500);
                } else {
                    panel.Receive(*step == 't' ? Reply(0x0B, 2531, 1907) : Reply(0x22, 124, 0));
                }
            }
            EXPECT_EQ(recording.Recording(), c.recording);
        }
        EXPECT_EQ(sinks[0].text, std::string(kCsvHeader) + c.first);
        EXPECT_TRUE(sinks[0].closed);
        EXPECT_EQ(sinks[1].text, c.second != nullptr ? std::string(kCsvHeader) + c.second : "");
        EXPECT_EQ(failures.size(), c.failures);
        // The recording is gone from the feed with it: the panel goes on polling.
        panel.RunFor(500);
        panel.Receive(Reply(0x22, 124, 0));
        panel.logic.RemoveListener(feed);
    }
}

#ifndef _WIN32
TEST(CsvRecorder, FileSinkReportsWhyAFileCannotBeWritten) {
    FileRecordSink missing;
    EXPECT_FALSE(missing.Open("/nonexistent-folder/run.csv"));
    EXPECT_EQ(missing.Error(), "No such file or directory");
    FileRecordSink full;
    ASSERT_TRUE(full.Open("/dev/full"));
    EXPECT_FALSE(full.Write("time,port\n"));
    EXPECT_EQ(full.Error(), "No space left on device");
}
#endif

}  // namespace
