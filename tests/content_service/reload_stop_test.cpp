// A provider publishing an edition or rotating logs sends SIGHUP, and a
// restart sends SIGTERM: neither may break a HotSync under way.
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

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
using syncserver_test::conduit_post;
using syncserver_test::fetch;
using syncserver_test::RawConnection;

const std::string kList = "cmd=list&device_id=1&login=" + scramble("ana") + "&senha=" + scramble("pw") +
                          "&modulo=News&param=__tarvo_timestamp%3a1%3b";

std::string pput_url(const std::string& body) {
  std::smatch m;
  return std::regex_search(body, m, std::regex("<pput url=\"([^\"]+)\"")) ? m[1].str() : std::string{};
}

// A request whose body is only half sent: a conversation under way. The
// connection first gets a whole answer, so the server is known to have
// taken it up (a connection still in the listen queue at a stop never is).
class HalfSent {
 public:
  explicit HalfSent(const std::string& url) : c_(url) {
    c_.send("GET /healthz HTTP/1.1\r\nHost: service\r\n\r\n");
    c_.read_until("ok\n");
    c_.send(
        "POST /sync HTTP/1.1\r\nHost: service\r\nConnection: close\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
        std::to_string(kList.size()) + "\r\n\r\n" + kList.substr(0, 20));
  }
  std::string finish() {
    c_.send(kList.substr(20));
    c_.read_to_end();
    return c_.received;
  }

 private:
  RawConnection c_;
};

class ReloadAndStop : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = syncserver_test::temp_folder("reload-stop");
    fs::create_directories(root_ / "catalogue" / "files");
    std::ofstream(root_ / "catalogue" / "files" / "News.pdb") << "june";
    std::ofstream(root_ / "catalogue" / "files" / "News-july.pdb") << "july";
    write_catalogue("20240601", "News.pdb");
  }
  void TearDown() override { fs::remove_all(root_); }

  void write_catalogue(const std::string& edition, const std::string& file) {
    std::ofstream(root_ / "catalogue" / "catalogue.json") << R"({"users": [{"login": "ana", "password": "pw"}],
              "modules": [{"name": "News", "edition": ")" << edition
                                                          << R"(", "file": ")" << file << R"("}]})";
  }

  fs::path root_;
};

TEST_F(ReloadAndStop, HupPutsInAGoodCatalogueKeepsTheRunningOneForABadOneAndReopensTheLog) {
  ServiceProcess service;
  ASSERT_TRUE(service.start(root_ / "run", service_args(root_, {"--log", (root_ / "requests.jsonl").string()})));
  const std::string sync = service.urls()[0] + "sync";
  ASSERT_NE(fetch(sync, conduit_post(login_form("ana", "pw", "1001"))).body.find("<device id=\"1\""),
            std::string::npos);
  const std::string june = pput_url(fetch(sync, conduit_post(kList)).body);
  ASSERT_NE(june.find("/20240601/"), std::string::npos) << june;

  HalfSent under_way(service.urls()[0]);
  // A mistake (the edition file is missing): refused in one line, the running catalogue kept.
  write_catalogue("20240701", "News-august.pdb");
  service.signal(SIGHUP);
  ASSERT_TRUE(service.wait_for("the running catalogue is kept", true)) << service.err();
  EXPECT_NE(service.err().find("modules[0].file"), std::string::npos) << service.err();
  EXPECT_NE(pput_url(fetch(sync, conduit_post(kList)).body).find("/20240601/"), std::string::npos);
  EXPECT_EQ(fetch(june).body, "june");

  // Publishing a new edition, with the log file rotated meanwhile.
  fs::rename(root_ / "requests.jsonl", root_ / "requests.jsonl.1");
  write_catalogue("20240701", "News-july.pdb");
  service.signal(SIGHUP);
  ASSERT_TRUE(service.wait_for("reloaded", true)) << service.err();
  const std::string answer = under_way.finish();
  EXPECT_NE(answer.find("200 OK"), std::string::npos) << answer;
  EXPECT_NE(answer.find("<pput url="), std::string::npos) << answer;

  const std::string july = pput_url(fetch(sync, conduit_post(kList)).body);
  EXPECT_EQ(fetch(july).body, "july");
  EXPECT_EQ(fetch(june).status, 404);  // no longer the current edition
  EXPECT_EQ(service.stop(), 0);
  EXPECT_EQ(tarvo::test::ReadLines((root_ / "requests.jsonl.1").string()).size(), 4u);
  EXPECT_GE(tarvo::test::ReadLines((root_ / "requests.jsonl").string()).size(), 3u);
}

TEST_F(ReloadAndStop, TermLetsARequestUnderWayFinishWithinTheGrace) {
  ServiceProcess service;
  ASSERT_TRUE(service.start(root_ / "run", service_args(root_, {"--stop-grace", "60"})));
  HalfSent under_way(service.urls()[0]);
  // The server's thread is back waiting on this connection by then.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  service.signal(SIGTERM);
  // New connections are refused once it has stopped listening...
  for (int i = 0; i < 500 && fetch(service.urls()[0]).code == CURLE_OK; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  // ...and the one under way still gets its whole answer.
  const std::string answer = under_way.finish();
  EXPECT_NE(answer.find("<pput url="), std::string::npos) << answer << service.err();
  EXPECT_EQ(service.stop(0), 0);

  // With no grace left the process ends anyway, and says so.
  ServiceProcess stubborn;
  ASSERT_TRUE(stubborn.start(root_ / "run2", service_args(root_, {"--stop-grace", "0"})));
  HalfSent never_finished(stubborn.urls()[0]);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(stubborn.stop(), 1);
  EXPECT_NE(stubborn.err().find("cut short"), std::string::npos) << stubborn.err();
}

}  // namespace
