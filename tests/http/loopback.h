// Real servers on loopback for the HTTP client's tests beside the scripted
// server of tests/0support: tinyproxy with Basic authentication, and
// certificates made with the openssl command line.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "quiet_device.h"
#include "scripted_server.h"
#include "temp_folder.h"

namespace http_test {

using tarvo::test::ScriptedServer;

// Clears http_proxy and friends so loopback requests go straight out.
void ClearProxyEnvironment();

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

}  // namespace http_test
