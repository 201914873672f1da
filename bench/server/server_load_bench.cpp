// tarvo-syncserver --catalogue under many clients: N client threads post
// requests for S seconds, each on a new connection (as the conduit does),
// and the latencies are summed up as p50, p99 and p99.9, with the p99.9 to
// p99 ratio and the kernel's listen-queue overflow count over the run
// (system-wide: other programs on the machine count too).
//   bench_server_load [CLIENTS] [SECONDS]   (default 50 clients, 10 s)
#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "server_process.h"

namespace {

using Clock = std::chrono::steady_clock;

std::size_t discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

// TcpExt ListenOverflows from /proc/net/netstat; -1 when unreadable.
long listenOverflows() {
  std::ifstream in("/proc/net/netstat");
  std::string names, values;
  while (std::getline(in, names) && std::getline(in, values)) {
    if (!names.starts_with("TcpExt:")) continue;
    std::istringstream n(names), v(values);
    std::string name, value;
    while (n >> name && v >> value) {
      if (name == "ListenOverflows") return std::atol(value.c_str());
    }
  }
  return -1;
}

double percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  const auto at = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1));
  return sorted[at];
}

}  // namespace

int main(int argc, char** argv) {
  const int clients = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
  namespace fs = std::filesystem;
  const fs::path state = fs::temp_directory_path() / ("tarvo-bench-server-" + std::to_string(::getpid()));
  fs::remove_all(state);
  fs::create_directories(state);
  fs::copy(fs::path(TARVO_EXAMPLES) / "catalogue", state / "catalogue", fs::copy_options::recursive);
  fs::create_directories(state / "catalogue" / "files");
  const auto made = tarvo::test::runProgram(
      TARVO_MAKE_EXAMPLE, {"--news-edition", (state / "catalogue" / "files" / "Tarvo_News.pdb").string()}, {});
  syncserver_test::ServerProcess server;
  if (made.status != 0 || !server.start({"--catalogue", (state / "catalogue").string(), "--state", (state / "state").string()})) {
    std::printf("the server did not start\n");
    return 1;
  }
  curl_global_init(CURL_GLOBAL_DEFAULT);
  const std::string url = server.url() + "sync";
  const std::string body = "language=PT&cmd=list&login=nobody&senha=000";
  std::mutex mutex;
  std::vector<double> latencies;
  std::atomic<long> failures{0};
  const long overflowsBefore = listenOverflows();
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&] {
      std::vector<double> mine;
      CURL* curl = curl_easy_init();
      curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
      curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
      curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &discard);
      curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
      curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
      curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
      while (Clock::now() < end) {
        const auto start = Clock::now();
        if (curl_easy_perform(curl) != CURLE_OK) ++failures;
        mine.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      }
      curl_easy_cleanup(curl);
      std::lock_guard lock(mutex);
      latencies.insert(latencies.end(), mine.begin(), mine.end());
    });
  }
  for (auto& t : threads) t.join();
  const long overflowsAfter = listenOverflows();
  server.stop();
  curl_global_cleanup();
  std::error_code ec;
  fs::remove_all(state, ec);

  std::sort(latencies.begin(), latencies.end());
  const double p99 = percentile(latencies, 0.99), p999 = percentile(latencies, 0.999);
  std::printf("tarvo-syncserver --catalogue, %d clients for %d s, a new connection per request\n", clients, seconds);
  std::printf("  requests %zu (%ld failed), p50 %.2f ms, p99 %.2f ms, p99.9 %.2f ms, max %.2f ms\n",
              latencies.size(), failures.load(), percentile(latencies, 0.5), p99, p999,
              latencies.empty() ? 0 : latencies.back());
  std::printf("  ratio p99.9 / p99: %.1f\n", p99 > 0 ? p999 / p99 : 0);
  std::printf("  listen-queue overflows during the run: %ld\n", overflowsAfter - overflowsBefore);
  return 0;
}
