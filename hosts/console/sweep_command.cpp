// `ldctl sweep`: the light-current curve. Each step is typed into the panel's current field and
// applied as SET applies it; once the module confirmed it and the dwell passed, the next complete
// temperature and power readings make the step's row. Whatever ends the sweep, the current the
// module held before it is typed and applied again while the port is there.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "hosts/console/commands.h"
#include "hosts/console/console_host.h"
#include "hosts/console/exit_status.h"
#include "hosts/console/li_fit.h"
#include "hosts/console/plain_decimal.h"
#include "hosts/console/set_confirmation.h"

namespace {

using Clock = ConsoleLoop::Clock;

// As watch: a module polled for this long without a reading is taken as silent.
constexpr std::chrono::seconds kReadingTimeout{10};
// A sweep longer than this many steps is taken as a typing error (a step of 0.001 mA).
constexpr long long kMaxSteps = 100'000;

double Value(const std::string& name, const std::string& text) {
    if (!IsPlainDecimal(text) || text[0] == '-') {
        throw CommandFailure(ExitStatus::kUsage,
                             name +
                                 " is not a plain decimal of 0 or more (digits and an optional "
                                 "point): '" +
                                 text + "'; nothing was sent");
    }
    return std::stod(text);
}

// The shortest text that reads back as the value, as a script would type it.
std::string Text(double value) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::to_string(value);
}

// From --from up to --to by --step, never beyond --to (a step that would pass it is left out);
// with --back, down again to --from.
std::vector<double> Steps(double from, double to, double step, bool back) {
    std::vector<double> up;
    for (long long k = 0;; ++k) {
        const double value = from + static_cast<double>(k) * step;
        if (value > to + step * 1e-9) {
            break;
        }
        up.push_back(std::min(value, to));
    }
    std::vector<double> all = up;
    if (back) {
        all.insert(all.end(), up.rbegin() + 1, up.rend());
    }
    return all;
}

// The next complete reading once armed: a temperature reported after arming, then the power
// reported next.
class StepReading : public PanelListener {
  public:
    struct Values {
        std::chrono::system_clock::time_point time;
        std::string temperatureC;
        std::string powerMw;
        double milliwatts;
    };

    void Arm() {
        armed_ = true;
        temperature_.reset();
        values_.reset();
    }
    const std::optional<Values>& Taken() const { return values_; }

    void OnTemperature(const PanelTemperature& temperature) override {
        if (armed_ && !values_) {
            temperature_ = ShownTemperature(temperature);
        }
    }
    void OnPower(const PanelPower& power) override {
        if (armed_ && !values_ && temperature_) {
            values_ = Values{std::chrono::system_clock::now(), *temperature_, ShownPower(power),
                             power.milliwatts};
            armed_ = false;
        }
    }

  private:
    bool armed_ = false;
    std::optional<std::string> temperature_;
    std::optional<Values> values_;
};

// Every set frame of the sweep, the way back included, and the module's answers to them.
class SweepSets : public PanelListener {
  public:
    void OnSetSent(const PanelSetSent&) override { ++sent_; }
    void OnSetpointsConfirmed(const PanelSetpoints&) override {
        answers_ = std::min(answers_ + 1, sent_);
    }
    bool AllAnswered() const { return answers_ >= sent_; }
    bool AnySent() const { return sent_ > 0; }
    // A step the module did not confirm in time: the panel has given its frame up and asked for
    // the configuration instead, so no answer is waited for any more.
    void GiveUpUnanswered() { answers_ = sent_; }

  private:
    int sent_ = 0;
    int answers_ = 0;
};

// The module's answer to the set frame that returns the current. While an earlier frame is
// unanswered the panel reports a reply as the value it sent last, not as the module's: only a
// reply once every frame of the sweep is answered tells what the module holds.
class ReturnConfirmation : public PanelListener {
  public:
    ReturnConfirmation(std::int32_t milliamps, const SweepSets& sweepSets)
        : milliamps_(milliamps), sweepSets_(sweepSets) {}
    void OnSetSent(const PanelSetSent&) override { sent_ = true; }
    void OnSetpointsConfirmed(const PanelSetpoints& setpoints) override {
        confirmed_ = confirmed_ ||
                     (sent_ && sweepSets_.AllAnswered() && setpoints.activeSetpoint == milliamps_);
    }
    bool Confirmed() const { return confirmed_; }

  private:
    std::int32_t milliamps_;
    const SweepSets& sweepSets_;  // heard before this listener
    bool sent_ = false;
    bool confirmed_ = false;
};

class SweepOutput {
  public:
    SweepOutput(std::ostream& out, ReadingFormat format) : out_(out), format_(format) {}

    bool Begin() {
        return format_ != ReadingFormat::kCsv || Emit("setpoint_ma,temperature_c,power_mw,time");
    }
    bool Row(std::int32_t setpoint, const StepReading::Values& v) {
        const std::string time = IsoLocalTime(v.time);
        switch (format_) {
            case ReadingFormat::kText:
                return Emit(std::to_string(setpoint) + " mA  " + v.temperatureC + " °C  " +
                            v.powerMw + " mW  " + time);
            case ReadingFormat::kCsv:
                return Emit(std::to_string(setpoint) + "," + v.temperatureC + "," + v.powerMw +
                            "," + time);
            case ReadingFormat::kJson:
                break;
        }
        nlohmann::ordered_json line;
        line["setpoint_ma"] = setpoint;
        line["temperature_c"] = Number(v.temperatureC);
        line["power_mw"] = Number(v.powerMw);
        line["time"] = time;
        return Emit(line.dump());
    }
    // Text and CSV: one line, in CSV as a comment that plotting tools skip. JSON: one object
    // with the fit's numbers, null when there is no fit, and why.
    bool Fit(const LiFit& fit) {
        if (format_ == ReadingFormat::kJson) {
            nlohmann::ordered_json line;
            line["threshold_ma"] = fit.found ? nlohmann::ordered_json(Round(fit.thresholdMa, 2))
                                             : nlohmann::ordered_json();
            line["slope_mw_per_ma"] = fit.found ? nlohmann::ordered_json(Round(fit.slopeMwPerMa, 4))
                                                : nlohmann::ordered_json();
            line["residual_mw"] = fit.found ? nlohmann::ordered_json(Round(fit.residualMw, 4))
                                            : nlohmann::ordered_json();
            line["points_above"] = fit.pointsAbove;
            if (!fit.found) {
                line["why"] = fit.why;
            }
            return Emit(line.dump());
        }
        std::ostringstream text;
        if (format_ == ReadingFormat::kCsv) {
            text << "# ";
        }
        if (fit.found) {
            text.setf(std::ios::fixed);
            text.precision(2);
            text << "threshold " << fit.thresholdMa << " mA, slope efficiency ";
            text.precision(4);
            text << fit.slopeMwPerMa << " mW/mA, residual " << fit.residualMw << " mW rms ("
                 << fit.pointsAbove << " points above threshold)";
        } else {
            text << "no fit: " << fit.why;
        }
        return Emit(text.str());
    }

  private:
    // The panel's number texts as JSON numbers, as watch prints them: whole ones as integers.
    // A text that is none becomes null.
    static nlohmann::ordered_json Number(const std::string& text) {
        const char* end = text.data() + text.size();
        if (long long whole = 0; std::from_chars(text.data(), end, whole).ptr == end) {
            return whole;
        }
        if (double value = 0; std::from_chars(text.data(), end, value).ptr == end) {
            return value;
        }
        return nullptr;
    }
    static double Round(double value, int decimals) {
        const double scale = std::pow(10.0, decimals);
        return std::round(value * scale) / scale;
    }
    bool Emit(const std::string& line) {
        out_ << line + "\n" << std::flush;
        return static_cast<bool>(out_);
    }

    std::ostream& out_;
    ReadingFormat format_;
};

// How the steps ended, short of the last one done.
enum class Stop { kNone, kSignal, kUnconfirmed, kSilent, kOutput, kLost, kNotSent, kError };

}  // namespace

int RunSweep(const SweepOptions& options) {
    const double from = Value("--from", options.fromMa);
    const double to = Value("--to", options.toMa);
    const double step = Value("--step", options.stepMa);
    const double dwellMs = Value("--dwell", options.dwellMs);
    if (!(step > 0)) {
        throw CommandFailure(ExitStatus::kUsage, "--step must be above 0 mA; nothing was sent");
    }
    if (from > to) {
        throw CommandFailure(ExitStatus::kUsage,
                             "--from is above --to (a sweep down is --back); nothing was sent");
    }
    if ((to - from) / step > static_cast<double>(kMaxSteps)) {
        throw CommandFailure(ExitStatus::kUsage,
                             "more than " + std::to_string(kMaxSteps) + " steps; nothing was sent");
    }
    const std::vector<double> steps = Steps(from, to, step, options.back);
    const auto dwell = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::milli>(dwellMs));

    StopSignals signals;
    StepReading reading;  // the listeners outlive the host they listen to
    SweepSets sweepSets;
    std::optional<SetConfirmation> confirmation;
    std::optional<ReturnConfirmation> returned;
    ConsoleHost host(signals);
    host.logic.AddListener(reading);
    host.logic.AddListener(sweepSets);

    host.Open(options.port);
    host.AwaitConfiguration();
    const PanelConfiguration before = host.Configuration();
    if (to > before.activeMaximum) {
        host.Close();
        throw CommandFailure(ExitStatus::kBeyondMaximum,
                             options.port + ": --to " + options.toMa +
                                 " mA is beyond the module's maximum of " +
                                 std::to_string(before.activeMaximum) + " mA; nothing was sent");
    }

    SweepOutput output(std::cout, options.format);
    std::vector<LiPoint> points;
    Stop stop = Stop::kNone;
    std::string why;  // the line for standard error when the steps stopped early
    int stopSignal = 0;
    if (!output.Begin()) {
        stop = Stop::kOutput;
        why = StandardOutputError();
    }
    // Runs the panel until `done`, the deadline, a lost port or a stop signal; false when the
    // sweep must stop.
    const auto run = [&](const std::function<bool()>& done, Clock::time_point deadline) {
        const auto ended = host.loop.RunUntil([&] { return done() || host.PortLost(); }, deadline);
        if (host.PortLost()) {
            stop = Stop::kLost;
            return false;
        }
        if (ended == ConsoleLoop::End::kStopSignal) {
            stop = Stop::kSignal;
            stopSignal = host.loop.StopSignal();
            return false;
        }
        return true;
    };

    // An error of ldctl's own in the middle (the system refusing it something) stops the steps
    // as any other ending does: the current is returned first.
    try {
        for (std::size_t i = 0; i < steps.size() && stop == Stop::kNone; ++i) {
            if (confirmation) {
                host.logic.RemoveListener(*confirmation);
            }
            confirmation.emplace();
            host.logic.AddListener(*confirmation);
            const SetOutcome outcome = host.logic.SetCurrentText(Text(steps[i]));
            if (outcome.status != SetStatus::Sent || outcome.clamped) {
                stop = Stop::kNotSent;
                why = "the panel sent no step of " + Text(steps[i]) + " mA";
                break;
            }
            if (!run([&] { return confirmation->Confirmed(); }, Clock::now() + kAnswerTimeout)) {
                break;
            }
            if (!confirmation->Confirmed() || confirmation->Setpoint() != outcome.milliamps) {
                stop = Stop::kUnconfirmed;
                sweepSets.GiveUpUnanswered();
                why = confirmation->Confirmed()
                          ? "the module confirmed " + std::to_string(confirmation->Setpoint()) +
                                " mA, not the " + std::to_string(outcome.milliamps) + " mA sent"
                          : "no confirmation of " + std::to_string(outcome.milliamps) +
                                " mA from the module within " +
                                std::to_string(kAnswerTimeout.count()) + " s";
                break;
            }
            if (!run([] { return false; }, Clock::now() + dwell)) {
                break;
            }
            reading.Arm();
            if (!run([&] { return reading.Taken().has_value(); }, Clock::now() + kReadingTimeout)) {
                break;
            }
            if (!reading.Taken()) {
                stop = Stop::kSilent;
                why = "no reading from the module for " + std::to_string(kReadingTimeout.count()) +
                      " s at " + std::to_string(outcome.milliamps) + " mA";
                break;
            }
            points.push_back({static_cast<double>(outcome.milliamps), reading.Taken()->milliwatts});
            if (!output.Row(outcome.milliamps, *reading.Taken())) {
                stop = Stop::kOutput;
                why = StandardOutputError();
            }
        }
    } catch (const std::exception& error) {
        stop = Stop::kError;
        why = error.what();
    }
    if (confirmation) {
        host.logic.RemoveListener(*confirmation);
    }

    // The current back where it was, while the port is there. A second stop signal does not cut
    // this short: the wait is bounded, and a laser left at the sweep's current is the worse end.
    // Without a step sent (standard output failed at once) the current never moved.
    bool back = !sweepSets.AnySent();
    // A port that hung up is re-opened by the panel when its device is still there (an adapter
    // that reset); the way back waits a while for that and the configuration after it.
    if (!back && (host.PortLost() || !host.Configured())) {
        host.loop.RunUntil([&] { return !host.PortLost() && host.Configured(); },
                           Clock::now() + kAnswerTimeout);
    }
    if (!back && !host.PortLost() && host.Configured()) {
        returned.emplace(before.activeSetpoint, sweepSets);
        host.logic.AddListener(*returned);
        const SetOutcome outcome = host.logic.SetCurrentText(std::to_string(before.activeSetpoint));
        const Clock::time_point deadline = Clock::now() + kAnswerTimeout;
        while (outcome.status == SetStatus::Sent && !returned->Confirmed() && !host.PortLost() &&
               Clock::now() < deadline) {
            host.loop.RunUntil([&] { return returned->Confirmed() || host.PortLost(); }, deadline);
        }
        back = returned->Confirmed();
        host.logic.RemoveListener(*returned);
    }
    const bool lost = host.PortLost();
    const CommandFailure lostFailure = host.LostPortFailure();
    host.Close();

    if (stop == Stop::kSignal) {
        why = std::string("stopped by signal ") + std::to_string(stopSignal);
    }
    if (stop == Stop::kLost) {
        why = "the port hung up or went away";
    }
    if (stop != Stop::kNone && !lost) {
        std::cerr << "ldctl: " << options.port << ": " << why << "; the sweep stopped"
                  << (back ? ", the current is back at " + std::to_string(before.activeSetpoint) +
                                 " mA"
                           : "")
                  << std::endl;
    }
    if (lost) {
        if (*lostFailure.what() != '\0') {
            std::cerr << "ldctl: " << lostFailure.what() << std::endl;
        }
        throw CommandFailure(ExitStatus::kPortFailed,
                             options.port + ": the current could not be returned to " +
                                 std::to_string(before.activeSetpoint) +
                                 " mA: the module may still hold the last step's current");
    }
    if (!back) {
        throw CommandFailure(ExitStatus::kNotReturned,
                             options.port + ": no confirmation of the current returned to " +
                                 std::to_string(before.activeSetpoint) +
                                 " mA: the module may still hold the last step's current");
    }
    switch (stop) {
        case Stop::kNone:
            break;
        case Stop::kSignal:
            throw CommandFailure(SignalStatus(stopSignal), "");
        case Stop::kOutput:
        case Stop::kError:
            throw CommandFailure(ExitStatus::kInternal, "");
        case Stop::kUnconfirmed:
        case Stop::kSilent:
            throw CommandFailure(ExitStatus::kNoAnswer, "");
        case Stop::kLost:
        case Stop::kNotSent:
            throw CommandFailure(ExitStatus::kPortFailed, "");
    }
    if (!output.Fit(FitLi(points))) {
        throw CommandFailure(ExitStatus::kInternal, StandardOutputError());
    }
    return ToInt(ExitStatus::kOk);
}
