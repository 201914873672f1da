#pragma once
// Counters for /metrics, in the Prometheus text format: requests by command
// and status, and a latency histogram. Thread-safe; cheap enough to update
// on every request.

#include <array>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "exchange.h"

namespace tarvo::server {

class Metrics {
public:
    // The command a request counts under: login, list, pget, download or other.
    static std::string command_of(const Request& request);

    void count(const std::string& command, int status, std::chrono::nanoseconds took);
    // Everything counted, with `extra` (further metrics in the same format) appended.
    std::string render(const std::string& extra) const;

private:
    static constexpr std::array<double, 11> kBuckets = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                        0.1,   0.25,   0.5,   1.0,  2.5};
    mutable std::mutex mutex_;
    std::map<std::pair<std::string, int>, std::uint64_t> requests_;
    std::array<std::uint64_t, kBuckets.size()> buckets_{};
    std::uint64_t observed_ = 0;
    double seconds_ = 0;
};

}  // namespace tarvo::server
