// The panel's timers, their periods, the pauses between frames, and the auto-repeat limit.
#ifndef DRIVERPANEL_PANEL_PANEL_TIMING_H
#define DRIVERPANEL_PANEL_PANEL_TIMING_H

#include <cstddef>
#include <cstdint>

constexpr int TIMER_POLL = 1;         // follow the slider, ask for temperature and power
constexpr int TIMER_STEP_DOWN = 2;    // repeat 《 while held
constexpr int TIMER_STEP_UP = 3;      // repeat 》 while held
constexpr int TIMER_CONFIG = 4;       // ask for the configuration until it arrives
constexpr int TIMER_CONFIRM = 5;      // no confirmation in time: ask what the module holds
constexpr int TIMER_TEMP_STALE = 6;   // no temperature reading for a while
constexpr int TIMER_POWER_STALE = 7;  // no power reading for a while

constexpr int kPollPeriodMs = 500;
constexpr int kStepRepeatPeriodMs = 200;
constexpr int kConfigQueryPeriodMs = 200;
// A set frame the module has not confirmed within this long, or a configuration query it has not
// answered, is followed by (another) configuration query.
constexpr int kConfirmTimeoutMs = 1000;
// Configuration queries of a resync remembered while unanswered; beyond this they still go out,
// and the replies without a remembered query no longer end the resync.
constexpr std::size_t kResyncQueriesKept = 32;
// A reading not refreshed for this long (four polls) shows as stale.
constexpr int kReadingStaleMs = 2000;

// Blocking pauses on the UI thread that keep frames apart on the line.
constexpr int kFrameGapMs = 100;    // after a set frame in the poll, between the two queries
constexpr int kSettleWaitMs = 200;  // after a typed value, around closing and re-opening

// A held step button grows its step by one every five ticks, up to 10 at this count.
constexpr std::uint8_t kRepeatCountLimit = 49;
constexpr int kRepeatTicksPerStepSize = 5;

#endif
