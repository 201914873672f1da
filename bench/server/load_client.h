#pragma once
// Many clients at once against one address, each request on a new
// connection (as the conduit makes them), and the latencies summed up.
#include <optional>
#include <string>
#include <vector>

namespace bench_server {

struct Load {
  std::vector<double> latencies;  // ms
  long failures = 0;              // transport errors, 10 s without an answer, statuses other than 200
  double seconds = 0;             // time spent loading
  double per_second() const { return seconds > 0 ? static_cast<double>(latencies.size()) / seconds : 0; }
};

// `clients` threads send for `seconds`: POST of `body` when given, else GET.
// Each sends its next request as soon as the last is answered, or, with a
// `pace`, starts one every `pace` milliseconds (an offered load below what
// the server can carry, so the figures are the server's, not the queue's).
void run(const std::string& url, const std::optional<std::string>& body, int clients, double seconds, Load& load,
         double pace = 0);

double percentile(std::vector<double>& latencies, double p);  // sorts them
// Prints one line of figures under `what`; returns p99.9.
double report(const char* what, Load& load);

}  // namespace bench_server
