// How much CTHttp costs over plain libcurl for the sync's short POSTs, and
// what a large answer costs in memory.
//
//   http_bench                      both loops, their ratio, then the memory runs
//   http_bench --benchmark_filter=  the usual Google Benchmark options
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>

#include "http/thttp.h"

namespace {

const std::string kBody = "language=PT&cmd=list&zembra=4.7&modulo=News&param=abc&device_id=5";
const std::string kContentLength = "Content-Length: " + std::to_string(kBody.size());

// The sync server stand-in for the request loops.
class EchoServer {
 public:
  EchoServer() {
    m_server.Post("/sync.asp", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<tarvoconduit><log text=\"ok\"/></tarvoconduit>", "text/xml");
    });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~EchoServer() {
    m_server.stop();
    m_thread.join();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/sync.asp"; }

 private:
  httplib::Server m_server;
  int m_port = 0;
  std::thread m_thread;
};

EchoServer* g_server = nullptr;

void BM_CTHttpPost(benchmark::State& state) {
  CTHttp http;
  http.SetUrl(g_server->Url());
  const HeaderLines headers{"Content-Type: application/x-www-form-urlencoded", kContentLength};
  std::string result;
  HeaderLines responseHeaders;
  for (auto _ : state) {
    http.Post(kBody, headers, result, responseHeaders);
    benchmark::DoNotOptimize(result.data());
  }
}
BENCHMARK(BM_CTHttpPost)->Unit(benchmark::kMicrosecond)->Iterations(1000);

size_t Collect(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

void BM_BareCurlPost(benchmark::State& state) {
  CURL* easy = curl_easy_init();
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded");
  const std::string url = g_server->Url();
  std::string result;
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);  // as CTHttp: one connection per POST
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, "Tarvo Sync 1.0");
  curl_easy_setopt(easy, CURLOPT_POSTFIELDS, kBody.c_str());
  curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(kBody.size()));
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &result);
  for (auto _ : state) {
    result.clear();
    if (const CURLcode rc = curl_easy_perform(easy); rc != CURLE_OK) {
      state.SkipWithError(curl_easy_strerror(rc));
      break;
    }
    benchmark::DoNotOptimize(result.data());
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(easy);
}
BENCHMARK(BM_BareCurlPost)->Unit(benchmark::kMicrosecond)->Iterations(1000);

// Prints as usual and keeps each run's time per iteration for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.iterations > 0) {
        perIteration[run.benchmark_name()] = run.GetAdjustedRealTime();
        cpuPerIteration[run.benchmark_name()] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> perIteration;
  std::map<std::string, double> cpuPerIteration;
};

// Serves one answer of `size` bytes from a small buffer, so the server
// itself adds nothing to the process's peak memory.
void ServeLargeAnswer(int listenFd, size_t size, bool withLength) {
  const int fd = accept(listenFd, nullptr, nullptr);
  if (fd < 0) return;
  char request[8192];
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 10000) > 0) (void)recv(fd, request, sizeof request, 0);
  std::string head = "HTTP/1.0 200 OK\r\n";
  if (withLength) head += "Content-Length: " + std::to_string(size) + "\r\n";
  head += "\r\n";
  send(fd, head.data(), head.size(), MSG_NOSIGNAL);
  const std::string chunk(64 * 1024, 'x');
  for (size_t sent = 0; sent < size;) {
    const size_t n = std::min(chunk.size(), size - sent);
    if (send(fd, chunk.data(), n, MSG_NOSIGNAL) <= 0) break;
    sent += n;
  }
  close(fd);
}

long MaxRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Runs in a child process so each case starts from a fresh peak.
long PeakDeltaKiB(size_t size, bool withLength) {
  const int listenFd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  bind(listenFd, reinterpret_cast<sockaddr*>(&addr), len);
  listen(listenFd, 1);
  getsockname(listenFd, reinterpret_cast<sockaddr*>(&addr), &len);

  CTHttp http;
  http.SetUrl("http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/big");
  std::string result;
  HeaderLines headers;
  std::thread server(ServeLargeAnswer, listenFd, size, withLength);
  const long before = MaxRssKiB();
  try {
    http.Post("a=1", {}, result, headers);
  } catch (const CInternetException& e) {
    std::fprintf(stderr, "large answer failed: %u\n", e.m_dwError);
  }
  const long after = MaxRssKiB();
  server.join();
  close(listenFd);
  return result.size() == size ? after - before : -1;
}

void ReportPeakMemory() {
  constexpr size_t kSize = 64u * 1024 * 1024;
  for (bool withLength : {true, false}) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return;
    const pid_t pid = fork();
    if (pid == 0) {
      const long delta = PeakDeltaKiB(kSize, withLength);
      (void)!write(pipeFds[1], &delta, sizeof delta);
      _exit(0);
    }
    long delta = -1;
    (void)!read(pipeFds[0], &delta, sizeof delta);
    waitpid(pid, nullptr, 0);
    close(pipeFds[0]);
    close(pipeFds[1]);
    std::printf("64 MiB answer %s Content-Length: peak memory grew %.1f MiB (%.2f x the body)\n",
                withLength ? "with" : "without", delta / 1024.0, delta / 1024.0 / 64.0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Memory first, in children forked before any thread exists.
  ReportPeakMemory();

  benchmark::Initialize(&argc, argv);
  EchoServer server;
  g_server = &server;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const auto* times : {&reporter.perIteration, &reporter.cpuPerIteration}) {
    const auto ours = times->find("BM_CTHttpPost/iterations:1000");
    const auto bare = times->find("BM_BareCurlPost/iterations:1000");
    if (ours == times->end() || bare == times->end() || bare->second <= 0) continue;
    std::printf("%s time: CTHttp %.1f us per POST, bare libcurl %.1f us per POST, ratio %.2f\n",
                times == &reporter.perIteration ? "real" : "CPU", ours->second, bare->second,
                ours->second / bare->second);
  }
  g_server = nullptr;
  benchmark::Shutdown();
  return 0;
}
