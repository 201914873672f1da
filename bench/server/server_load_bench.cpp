// tarvo-syncserver --catalogue under many clients: N client threads post
// requests for S seconds, each on a new connection (as the conduit does),
// and the latencies are summed up as p50, p99 and p99.9, with the p99.9 to
// p99 ratio and the kernel's listen-queue overflow count over the run
// (system-wide: other programs on the machine count too). The same load goes,
// in alternating halves of the run, to a trivial cpp-httplib server in this
// process (the same library, thread count and listen queue, a fixed answer):
// what that one shows too is the machine's, not the reference server's.
//   bench_server_load [CLIENTS] [SECONDS]   (default 50 clients, 10 s)
#include <curl/curl.h>
#include <httplib.h>
#include <sys/socket.h>
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

#include "load_client.h"
#include "server_process.h"

namespace {

using bench_server::Load;
using bench_server::report;

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

// cpp-httplib as the reference server sets it up, answering every POST with a
// small fixed page.
// What every client posts: a list for the demo user, as a conduit without
// a device id sends it.
const std::string kBody =
    "language=PT&cmd=list&login=100101109111&senha=112097108109116111112&modulo=Tarvo%20News&param=x";

class TrivialServer {
 public:
  bool start() {
    server_.new_task_queue = [] { return new httplib::ThreadPool(128); };
    server_.set_socket_options([this](socket_t sock) {
      httplib::default_socket_options(sock);
      socket_ = sock;
    });
    server_.Post(".*", [](const httplib::Request&, httplib::Response& out) {
      out.set_content("<tarvoconduit><login status=\"1\"/></tarvoconduit>", "text/html");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) return false;
    ::listen(socket_, 1024);
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
  }
  void stop() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/sync"; }

 private:
  httplib::Server server_;
  socket_t socket_ = -1;
  int port_ = 0;
  std::thread thread_;
};

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
  if (made.status != 0 ||
      !server.start({"--catalogue", (state / "catalogue").string(), "--state", (state / "state").string()})) {
    std::printf("the server did not start\n");
    return 1;
  }
  curl_global_init(CURL_GLOBAL_DEFAULT);
  TrivialServer trivial;
  if (!trivial.start()) {
    std::printf("the trivial server did not start\n");
    return 1;
  }
  Load ours, theirs;
  const long overflowsBefore = listenOverflows();
  // Alternating quarters, so both sides see the same machine.
  for (int quarter = 0; quarter < 4; ++quarter) {
    const double span = seconds / 4.0;
    if (quarter % 2 == 0) {
      bench_server::run(server.url() + "sync", kBody, clients, span, ours);
    } else {
      bench_server::run(trivial.url(), kBody, clients, span, theirs);
    }
  }
  const long overflowsAfter = listenOverflows();
  trivial.stop();
  server.stop();
  curl_global_cleanup();
  std::error_code ec;
  fs::remove_all(state, ec);

  std::printf("%d clients, %d s in alternating quarters, a new connection per request\n", clients, seconds);
  const double p999 = report("tarvo-syncserver --catalogue", ours);
  const double trivialP999 = report("trivial cpp-httplib server, same threads and queue", theirs);
  std::printf("  ratio p99.9 to the trivial server's: %.2f\n", trivialP999 > 0 ? p999 / trivialP999 : 0);
  std::printf("  listen-queue overflows during the run: %ld\n", overflowsAfter - overflowsBefore);
  return 0;
}
