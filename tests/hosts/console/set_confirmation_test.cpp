// When `ldctl set` counts its value as confirmed, from the panel's events: one setpoints reply for
// every set frame sent, the last one's setpoint printed.
#include "hosts/console/set_confirmation.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

TEST(SetConfirmation, NeedsAnAnswerForEverySetFrameSent) {
    struct Case {
        const char* name;
        std::vector<int> events;  // -1 a set frame sent, else a setpoints reply with this setpoint
        std::optional<int> confirmed;
    };
    const Case cases[] = {
        {"answered", {-1, 300}, 300},
        {"nothing sent", {}, std::nullopt},
        {"a reply before the frame answers none", {100, -1}, std::nullopt},
        {"a second frame before the answer: two frames, one answer", {-1, -1, 100}, std::nullopt},
        {"both answered, the last one printed", {-1, -1, 100, 300}, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetConfirmation confirmation;
        for (int event : c.events) {
            if (event < 0) {
                confirmation.OnSetSent(PanelSetSent{});
            } else {
                PanelSetpoints setpoints;
                setpoints.activeSetpoint = event;
                confirmation.OnSetpointsConfirmed(setpoints);
            }
        }
        EXPECT_EQ(confirmation.Confirmed(), c.confirmed.has_value());
        if (c.confirmed) {
            EXPECT_EQ(confirmation.Setpoint(), *c.confirmed);
        }
    }
}

}  // namespace
