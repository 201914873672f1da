// Runs an httplib server (plain or TLS) on a free loopback port until
// destroyed. Include httplib.h (with any feature macros) before this.
#pragma once

#include <chrono>
#include <thread>

namespace tarvo::test {

class HttplibRunner {
 public:
  explicit HttplibRunner(httplib::Server& server) : m_server(server) {
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    for (int i = 0; i < 1000 && !m_server.is_running(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  ~HttplibRunner() {
    m_server.stop();
    m_thread.join();
  }
  HttplibRunner(const HttplibRunner&) = delete;
  HttplibRunner& operator=(const HttplibRunner&) = delete;
  int port() const { return m_port; }

 private:
  httplib::Server& m_server;
  int m_port;
  std::thread m_thread;
};

}  // namespace tarvo::test
