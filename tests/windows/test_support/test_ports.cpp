// Reads the linked test ports from the environment.
#include "tests/windows/test_support/test_ports.h"

#include <cstdlib>

namespace {

std::optional<int> PortNumber(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    const int number = std::atoi(value);
    if (number < 1 || number > 16) {
        return std::nullopt;
    }
    return number;
}

std::optional<HangUpLink> HangUpLinkNamed(const char* portVariable, const char* triggerVariable) {
    const auto port = PortNumber(portVariable);
    const char* trigger = std::getenv(triggerVariable);
    if (!port || trigger == nullptr) {
        return std::nullopt;
    }
    return HangUpLink{*port, trigger};
}

}  // namespace

std::optional<LinkedPair> LinkedPairFromEnvironment() {
    const auto port = PortNumber("DRIVERPANEL_TEST_COM");
    const auto farPort = PortNumber("DRIVERPANEL_TEST_FAR_COM");
    if (!port || !farPort) {
        return std::nullopt;
    }
    return LinkedPair{*port, *farPort};
}

std::optional<HangUpLink> HangUpLinkFromEnvironment() {
    return HangUpLinkNamed("DRIVERPANEL_TEST_HANGUP_COM", "DRIVERPANEL_TEST_HANGUP_TRIGGER");
}

std::optional<HangUpLink> PanelHangUpLinkFromEnvironment() {
    return HangUpLinkNamed("DRIVERPANEL_TEST_PANEL_HANGUP_COM",
                           "DRIVERPANEL_TEST_PANEL_HANGUP_TRIGGER");
}
