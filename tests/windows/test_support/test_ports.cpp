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
    const auto port = PortNumber("DRIVERPANEL_TEST_HANGUP_COM");
    const char* trigger = std::getenv("DRIVERPANEL_TEST_HANGUP_TRIGGER");
    if (!port || trigger == nullptr) {
        return std::nullopt;
    }
    return HangUpLink{*port, trigger};
}
