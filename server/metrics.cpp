#include "metrics.h"

#include <cstdio>

#include "file_store.h"

namespace tarvo::server {

std::string Metrics::command_of(const Request& request) {
    if (request.path.starts_with(FileStore::kPrefix)) return "download";
    const std::string cmd = form_value(request.form, "cmd").value_or("");
    // Only known words become labels: a client cannot make up new series.
    if (cmd == "login" || cmd == "list" || cmd == "pget") return cmd;
    return "other";
}

void Metrics::count(const std::string& command, int status, std::chrono::nanoseconds took) {
    const double seconds = std::chrono::duration<double>(took).count();
    std::lock_guard lock(mutex_);
    ++requests_[{command, status}];
    for (std::size_t i = 0; i < kBuckets.size(); ++i) {
        if (seconds <= kBuckets[i]) ++buckets_[i];
    }
    ++observed_;
    seconds_ += seconds;
}

std::string Metrics::render(const std::string& extra) const {
    std::string out;
    char line[160];
    std::lock_guard lock(mutex_);
    out += "# HELP tarvo_requests_total Requests answered, by command and HTTP status.\n";
    out += "# TYPE tarvo_requests_total counter\n";
    for (const auto& [key, n] : requests_) {
        std::snprintf(line, sizeof line,
                      "tarvo_requests_total{command=\"%s\",status=\"%d\"} %llu\n",
                      key.first.c_str(), key.second, static_cast<unsigned long long>(n));
        out += line;
    }
    out += "# HELP tarvo_request_seconds Time from a request's arrival to its answer.\n";
    out += "# TYPE tarvo_request_seconds histogram\n";
    for (std::size_t i = 0; i < kBuckets.size(); ++i) {
        std::snprintf(line, sizeof line, "tarvo_request_seconds_bucket{le=\"%g\"} %llu\n",
                      kBuckets[i], static_cast<unsigned long long>(buckets_[i]));
        out += line;
    }
    std::snprintf(line, sizeof line,
                  "tarvo_request_seconds_bucket{le=\"+Inf\"} %llu\n"
                  "tarvo_request_seconds_sum %.6f\ntarvo_request_seconds_count %llu\n",
                  static_cast<unsigned long long>(observed_), seconds_,
                  static_cast<unsigned long long>(observed_));
    out += line;
    return out + extra;
}

}  // namespace tarvo::server
