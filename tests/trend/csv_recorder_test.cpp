// The CSV recording: one row per completed poll from the panel's events, empty fields for
// replies that did not come, and a failing file reported once while the panel goes on.
#include <gtest/gtest.h>

#include <functional>

#include "tests/panel/fake_panel.h"
#include "trend/csv_recorder.h"

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
    bool Write(std::string_view line) override {
        if (failAfter == 0) {
            return false;
        }
        --failAfter;
        text += line;
        return true;
    }
    std::string Error() const override { return "No space left on device"; }
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
