#include "load_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

namespace bench_server {

namespace {

using Clock = std::chrono::steady_clock;

std::size_t discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

}  // namespace

void run(const std::string& url, const std::optional<std::string>& body, int clients, double seconds, Load& load,
         double pace) {
  std::mutex mutex;
  const auto begin = Clock::now();
  const auto end = begin + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  std::vector<std::thread> threads;
  const auto step = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(pace));
  for (int c = 0; c < clients; ++c) {
    // Paced clients start spread over one step, not all at once.
    const auto first = begin + step * c / std::max(1, clients);
    threads.emplace_back([&, first] {
      std::vector<double> mine;
      long failed = 0;
      CURL* curl = curl_easy_init();
      curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
      if (body) curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body->c_str());
      curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &discard);
      curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
      curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
      curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
      curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
      // A server whose listen queue overflows keeps a client for many SYN
      // retries; past this it counts as failed and the run stays bounded.
      curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
      auto next = first;
      while (Clock::now() < end) {
        if (pace > 0) {
          std::this_thread::sleep_until(next);
          next += step;
        }
        const auto start = Clock::now();
        long status = 0;
        if (curl_easy_perform(curl) != CURLE_OK ||
            (curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status), status != 200))
          ++failed;
        mine.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      }
      curl_easy_cleanup(curl);
      std::lock_guard lock(mutex);
      load.latencies.insert(load.latencies.end(), mine.begin(), mine.end());
      load.failures += failed;
    });
  }
  for (auto& t : threads) t.join();
  load.seconds += std::chrono::duration<double>(Clock::now() - begin).count();
}

double percentile(std::vector<double>& latencies, double p) {
  if (latencies.empty()) return 0;
  std::sort(latencies.begin(), latencies.end());
  return latencies[static_cast<std::size_t>(p * static_cast<double>(latencies.size() - 1))];
}

double report(const char* what, Load& load) {
  std::vector<double>& l = load.latencies;
  const double p50 = percentile(l, 0.5), p99 = percentile(l, 0.99), p999 = percentile(l, 0.999);
  std::printf("%s\n  requests %zu (%ld failed), %.0f/s, p50 %.2f ms, p99 %.2f ms, p99.9 %.2f ms, max %.2f ms\n", what,
              l.size(), load.failures, load.per_second(), p50, p99, p999, l.empty() ? 0 : l.back());
  return p999;
}

}  // namespace bench_server
