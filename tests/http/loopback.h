// Real servers on loopback for the HTTP client's tests: a raw socket server
// whose answers a test writes byte by byte, tinyproxy with Basic
// authentication, and certificates made with the openssl command line.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "quiet_device.h"
#include "temp_folder.h"

namespace http_test {

// Clears http_proxy and friends so loopback requests go straight out.
void ClearProxyEnvironment();

// Accepts connections on 127.0.0.1; for each one reads a whole request
// (headers and Content-Length body) and hands it and the socket to the
// answer function. Stop() closes everything; no wait is unbounded.
class RawServer {
 public:
  using Answer = std::function<void(int fd, const std::string& request)>;
  explicit RawServer(Answer answer);
  ~RawServer();

  int port() const { return m_port; }
  std::string Url(const std::string& pathAndQuery) const;
  // Requests received so far, whole.
  std::vector<std::string> Requests();
  // Waits (bounded) until n requests have been received.
  bool WaitForRequests(size_t n);
  // Lets answers that call WaitForRelease() go on.
  void Release();
  // For answers: blocks until Release() or Stop(); false when stopped.
  bool WaitForRelease();
  void Stop();

  static void SendAll(int fd, const std::string& bytes);

 private:
  void Run();

  Answer m_answer;
  int m_listen = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::string> m_requests;
  bool m_released = false;
  std::vector<std::thread> m_handlers;
  std::thread m_thread;
};

// tinyproxy on a free loopback port, requiring Basic "user"/"pass".
class Tinyproxy {
 public:
  Tinyproxy();
  ~Tinyproxy();
  bool running() const { return m_pid > 0 && m_ready; }
  int port() const { return m_port; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(m_port); }

 private:
  tarvo::test::TempFolder m_dir{"tarvo-http"};
  int m_pid = -1;
  int m_port = 0;
  bool m_ready = false;
};

// A test CA, and server certificates made for each case.
class TestCertificates {
 public:
  TestCertificates();
  bool ok() const { return m_ok; }
  std::string caFile() const { return (m_dir.path() / "ca.pem").string(); }
  // Certificate and key, PEM files, of a server certificate signed by the
  // test CA with the given subject name and validity ("" = usual 30 days;
  // otherwise openssl ca -startdate/-enddate values).
  struct Pair {
    std::string cert;
    std::string key;
  };
  Pair Issue(const std::string& name, const std::string& start, const std::string& end);
  // A certificate signed by a CA nobody trusts.
  Pair IssueByStranger(const std::string& name);

 private:
  tarvo::test::TempFolder m_dir{"tarvo-http"};
  bool m_ok = false;
  int m_serial = 1;
};

// The one fake of these tests: no handheld here, so count the keep-alives.
class CountingDevice : public tarvo::test::QuietDevice {
 public:
  std::atomic<int> yields{0};
  std::atomic<int> yieldsOfOtherThanOne{0};
  int32_t YieldCycles(uint16_t count) override {
    ++yields;
    if (count != 1) ++yieldsOfOtherThanOne;
    return 0;
  }
};

// "HTTP/1.0 200 OK" answer with the body and a Content-Length.
std::string OkAnswer(const std::string& body);

}  // namespace http_test
