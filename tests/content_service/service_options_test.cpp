// How a provider places the service: the state kept private, download
// addresses built for the address clients really use.
#include <filesystem>
#include <fstream>
#include <regex>

#include <gtest/gtest.h>

#include "files.h"
#include "server_process.h"
#include "service_process.h"

namespace {

namespace fs = std::filesystem;
using content_service_test::login_form;
using content_service_test::scramble;
using content_service_test::service_args;
using content_service_test::ServiceProcess;
using syncserver_test::RawConnection;

class ServiceOptions : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = syncserver_test::temp_folder("service-options");
    fs::create_directories(root_ / "catalogue" / "files");
    std::ofstream(root_ / "catalogue" / "files" / "News.pdb") << "edition";
    std::ofstream(root_ / "catalogue" / "catalogue.json") << R"({
        "users": [{"login": "ana", "password": "pw"}],
        "modules": [{"name": "News", "edition": "20240601", "file": "News.pdb"}]})";
  }
  void TearDown() override { fs::remove_all(root_); }

  // The pput address a list sent with these extra header lines is answered with.
  static std::string offered(const std::string& url, const std::string& headers) {
    const std::string body = "cmd=list&login=" + scramble("ana") + "&senha=" + scramble("pw") +
                             "&modulo=News&param=__tarvo_timestamp%3a1%3b";
    RawConnection c(url);
    c.send("POST /sync HTTP/1.0\r\nContent-Type: application/x-www-form-urlencoded\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    c.read_to_end();
    std::smatch m;
    return std::regex_search(c.received, m, std::regex("<pput url=\"([^\"]+)\"")) ? m[1].str() : c.received;
  }

  fs::path root_;
};

TEST_F(ServiceOptions, AStateInsideTheServedFilesIsRefused) {
  for (const fs::path& state : {root_ / "catalogue" / "files" / "st", root_ / "catalogue" / "files"}) {
    const auto run =
        syncserver_test::run_to_end({"--catalogue", (root_ / "catalogue").string(), "--state", state.string()});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("inside the served folder"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(state / "state.sqlite"));
  }
}

TEST_F(ServiceOptions, DownloadAddressesUseThePublicUrlOrATrustedProxysHeaders) {
  const std::string proxied =
      "Host: internal:1\r\nX-Forwarded-Proto: https\r\nX-Forwarded-Host: content.acme.example\r\n";

  ServiceProcess plain, behind_proxy, published;
  ASSERT_TRUE(plain.start(root_ / "a", service_args(root_)));
  ASSERT_TRUE(behind_proxy.start(root_ / "b", service_args(root_, {"--trusted-proxy", "192.0.2.1,127.0.0.1"})));
  ASSERT_TRUE(published.start(root_ / "c", service_args(root_, {"--public-url", "https://sync.acme.example/tarvo/"})));

  // Headers from anyone else are not believed: the address stays the server's own.
  const std::string own = offered(plain.urls()[0], proxied);
  EXPECT_EQ(own.rfind(plain.urls()[0] + "files/20240601/", 0), 0u) << own;
  EXPECT_EQ(offered(behind_proxy.urls()[0], proxied).rfind("https://content.acme.example/files/20240601/", 0), 0u);
  EXPECT_EQ(offered(published.urls()[0], proxied).rfind("https://sync.acme.example/tarvo/files/20240601/", 0), 0u);

  // The conduit fetches the address as given, without credentials.
  const auto file = syncserver_test::fetch(own);
  EXPECT_EQ(file.status, 200);
  EXPECT_EQ(file.body, "edition");
  EXPECT_EQ(syncserver_test::fetch(plain.urls()[0] + "files/News.pdb").status, 403);

  const auto bad = syncserver_test::run_to_end(service_args(root_, {"--public-url", "https://x.example/\"><list"}));
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("--public-url"), std::string::npos) << bad.err;
}

TEST_F(ServiceOptions, OperationsSeeHealthMetricsAndLogsWithoutPasswords) {
  const std::string log = (root_ / "requests.jsonl").string();
  for (int run = 0; run < 2; ++run) {  // the log is appended to across restarts
    ServiceProcess service;
    ASSERT_TRUE(service.start(root_ / "run", service_args(root_, {"--log", log})));
    const std::string at = service.urls()[0];
    EXPECT_EQ(syncserver_test::fetch(at + "healthz").body, "ok\n");
    syncserver_test::fetch(at + "sync", syncserver_test::conduit_post(login_form("ana", "pw", "1001")));
    syncserver_test::fetch(at + "sync", syncserver_test::conduit_post(login_form("ana", "wrong", "1001")));
    const auto metrics = syncserver_test::fetch(at + "metrics");
    EXPECT_NE(metrics.body.find("tarvo_requests_total{command=\"login\",status=\"200\"} 2\n"), std::string::npos)
        << metrics.body;
    EXPECT_NE(metrics.body.find("tarvo_devices 1\n"), std::string::npos) << metrics.body;
    EXPECT_EQ(service.stop(), 0);
    if (run == 1) {
      // Each line says when, from where, which login and device, and what.
      EXPECT_TRUE(std::regex_search(service.out(),
                                    std::regex("\n20[0-9-]+T[0-9:.]+Z client=127\\.0\\.0\\.1 cmd=login login=ana "
                                               "device=1 logged in\n")))
          << service.out();
      EXPECT_NE(service.out().find("login=ana device=- credentials refused"), std::string::npos) << service.out();
    }
  }
  const std::string lines = tarvo::test::ReadFile(log);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 4);
  EXPECT_EQ(lines.find(scramble("pw")), std::string::npos);
  EXPECT_EQ(lines.find(scramble("wrong")), std::string::npos);
}

}  // namespace
