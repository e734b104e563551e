// Reads the simulator's line log and reports the panel's poll timing: the intervals between
// temperature queries and the spacing from each temperature query to the power query after it.
// Usage: poll_timing LOG_FILE   (a log written by driverpanel-sim --log)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "panel/panel_timing.h"
#include "protocol/frame.h"

namespace {

struct Query {
    double seconds;
    int command;
};

// "12.345678 RX EF EF 02 0B EB valid": valid query frames received from the panel.
std::vector<Query> ReadQueries(std::istream& log) {
    std::vector<Query> queries;
    std::string line;
    while (std::getline(log, line)) {
        std::istringstream fields(line);
        double seconds = 0;
        std::string direction;
        std::vector<std::string> words;
        if (!(fields >> seconds >> direction) || direction != "RX") {
            continue;
        }
        for (std::string word; fields >> word;) {
            words.push_back(word);
        }
        if (words.size() == kQueryFrameSize + 1 && words.back() == "valid") {
            queries.push_back({seconds, std::stoi(words[kCodeIndex], nullptr, 16)});
        }
    }
    return queries;
}

void Report(const char* what, std::vector<double> ms, double goalMs) {
    if (ms.empty()) {
        std::printf("%s: none found\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    double worst = 0;
    for (double v : ms) {
        worst = std::max(worst, std::fabs(v - goalMs));
    }
    std::printf("%s: %zu, median %.2f ms (off by %.2f), min %.2f, max %.2f, worst off by %.2f ms\n",
                what, ms.size(), median, std::fabs(median - goalMs), ms.front(), ms.back(), worst);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LOG_FILE\n", argv[0]);
        return 2;
    }
    std::ifstream log(argv[1]);
    if (!log) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const std::vector<Query> queries = ReadQueries(log);
    std::vector<double> intervals;
    std::vector<double> spacings;
    const Query* lastTemp = nullptr;
    for (const Query& q : queries) {
        if (q.command == CMD_QUERY_TEMP) {
            if (lastTemp != nullptr) {
                intervals.push_back((q.seconds - lastTemp->seconds) * 1000.0);
            }
            lastTemp = &q;
        } else if (q.command == CMD_QUERY_POWER && lastTemp != nullptr) {
            spacings.push_back((q.seconds - lastTemp->seconds) * 1000.0);
        }
    }
    Report("temperature query intervals", intervals, kPollPeriodMs);
    Report("temperature to power query spacing", spacings, kFrameGapMs);
    return 0;
}
