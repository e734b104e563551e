// When `ldctl set` has its answer: the module answers each set frame with its setpoints, so the
// value is confirmed once a setpoints reply came for every set frame the panel sent since the
// command applied it. Replies to earlier queries (a slow module's configuration replies) still
// carry the old setpoint and are no answer.
#ifndef DRIVERPANEL_HOSTS_CONSOLE_SET_CONFIRMATION_H
#define DRIVERPANEL_HOSTS_CONSOLE_SET_CONFIRMATION_H

#include <cstdint>

#include "panel/panel_events.h"

class SetConfirmation : public PanelListener {
  public:
    void OnSetSent(const PanelSetSent&) override { ++sent_; }
    // A reply that comes before any set frame answers none.
    void OnSetpointsConfirmed(const PanelSetpoints& setpoints) override {
        if (sent_ > answers_) {
            ++answers_;
            setpoint_ = setpoints.activeSetpoint;
        }
    }

    bool Confirmed() const { return sent_ > 0 && answers_ >= sent_; }
    // The module's answer to the last set frame answered so far.
    std::int32_t Setpoint() const { return setpoint_; }

  private:
    int sent_ = 0;
    int answers_ = 0;
    std::int32_t setpoint_ = 0;
};

#endif
