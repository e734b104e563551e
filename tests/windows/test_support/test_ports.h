// The COM ports that scripts/test-windows.sh links into the private Wine prefix, as the script
// passes them through the environment. Tests that need them skip when they are not set.
#ifndef DRIVERPANEL_TESTS_WINDOWS_TEST_PORTS_H
#define DRIVERPANEL_TESTS_WINDOWS_TEST_PORTS_H

#include <optional>
#include <string>

// Two COM ports joined by a socat pty pair: the port object opens `port`, the test plays the
// module on `farPort`.
struct LinkedPair {
    int port;
    int farPort;
};
std::optional<LinkedPair> LinkedPairFromEnvironment();

// A COM port whose far end goes away (the pty is hung up) once the test creates `trigger`.
struct HangUpLink {
    int port;
    std::string trigger;
};
std::optional<HangUpLink> HangUpLinkFromEnvironment();
// Another such port, for the panel program started by a test: each link hangs up only once.
std::optional<HangUpLink> PanelHangUpLinkFromEnvironment();

// The script never links this one.
constexpr int kAbsentPort = 16;

#endif
