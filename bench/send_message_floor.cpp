// Wine's floor for the Windows receive path on its own: the cross-thread SendMessage round trip
// of bench/send_message_round_trip.h, without a port.
// Usage: send_message_floor [SAMPLES]   (default 5000; run under Wine by scripts/bench-wine.sh)
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "bench/send_message_round_trip.h"

int main(int argc, char** argv) {
    const int samples = argc > 1 ? std::atoi(argv[1]) : 5000;
    if (samples <= 0) {
        std::fprintf(stderr, "usage: %s [SAMPLES]\n", argv[0]);
        return 2;
    }
    const RoundTripResult floor = MeasureSendMessageRoundTrips(static_cast<std::size_t>(samples));
    if (floor.failure != nullptr) {
        std::fprintf(stderr, "%s (error %lu)\n", floor.failure, floor.errorCode);
        return 1;
    }
    std::printf("%d round trips\n", samples);
    PrintStats("cross-thread SendMessage round trip", floor.stats);
    return 0;
}
