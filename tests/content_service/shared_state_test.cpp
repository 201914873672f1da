// Several service processes on one state folder, as a provider runs them
// (one per port, or restarted while another still serves), and an older
// state folder brought over: device ids stay unique and each handheld's,
// and a change set reaches each device once.
#include <curl/curl.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "files.h"
#include "pdb/pdb.h"
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

std::string device_in(const std::string& body) {
  std::smatch m;
  return std::regex_search(body, m, std::regex("<device id=\"([0-9]+)\"/>")) ? m[1].str() : std::string{};
}

std::string list_form(const std::string& device) {
  return "cmd=list&device_id=" + device + "&login=" + scramble("ana") + "&senha=" + scramble("pw") +
         "&modulo=News&param=__tarvo_timestamp%3a1%3b&unknowndbname=Notas";
}

class SharedState : public ::testing::Test {
 protected:
  void SetUp() override {
    curl_global_init(CURL_GLOBAL_ALL);
    root_ = syncserver_test::temp_folder("shared-state");
    fs::create_directories(root_ / "catalogue" / "files");
    std::ofstream(root_ / "catalogue" / "files" / "News.pdb") << "edition";
    std::ofstream(root_ / "catalogue" / "catalogue.json") << R"({
        "users": [{"login": "ana", "password": "pw"}],
        "modules": [{"name": "News", "edition": "20240601", "file": "News.pdb"}],
        "collect": ["Notas"],
        "record_changes": [{"name": "n1", "db": "Notas", "write": [{"id": 9, "text": "hello"}]}]})";
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path root_;
};

TEST_F(SharedState, TwoProcessesGiveUniqueIdsAndSendEachChangeSetOnce) {
  const std::string cert = (root_ / "cert.pem").string(), key = (root_ / "key.pem").string();
  ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost "
                         "-addext subjectAltName=IP:127.0.0.1 -keyout " +
                         key + " -out " + cert + " >/dev/null 2>&1")
                            .c_str()),
            0);
  ServiceProcess plain, both;
  // 25 handhelds on one login: more than the default ceiling.
  ASSERT_TRUE(plain.start(root_ / "a", service_args(root_, {"--max-devices", "0"})));
  // One process serving HTTP and HTTPS together.
  ASSERT_TRUE(
      both.start(root_ / "b", service_args(root_, {"--max-devices", "0", "--https-port", "0", "--tls", cert, key}), 2));
  ASSERT_EQ(both.urls()[0].rfind("http://", 0), 0u);
  ASSERT_EQ(both.urls()[1].rfind("https://", 0), 0u);
  const std::vector<std::string> servers{plain.urls()[0], both.urls()[0], both.urls()[1]};
  auto post = [&](std::size_t server, const std::string& form) {
    return fetch(servers[server % servers.size()] + "sync", conduit_post(form).trust(cert));
  };

  // 25 handhelds, each logging in twice through different ports, all at once.
  constexpr int kHandhelds = 25;
  std::mutex mutex;
  std::map<int, std::set<std::string>> ids;
  std::vector<std::thread> clients;
  for (int i = 0; i < 2 * kHandhelds; ++i) {
    clients.emplace_back([&, i] {
      const int handheld = i % kHandhelds;
      const auto reply = post(i, login_form("ana", "pw", std::to_string(1000 + handheld)));
      std::lock_guard lock(mutex);
      ids[handheld].insert(device_in(reply.body));
    });
  }
  for (auto& c : clients) c.join();
  std::set<std::string> all;
  for (const auto& [handheld, given] : ids) {
    ASSERT_EQ(given.size(), 1u) << "handheld " << handheld << " got two ids";
    EXPECT_FALSE(given.begin()->empty());
    all.insert(*given.begin());
  }
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kHandhelds));

  // Every device asks for its list through all three ports at once: the
  // change set goes out once per device.
  std::map<std::string, int> sent;
  clients.clear();
  for (const auto& device : all) {
    for (std::size_t server = 0; server < servers.size(); ++server) {
      clients.emplace_back([&, device, server] {
        const auto reply = post(server, list_form(device));
        std::lock_guard lock(mutex);
        EXPECT_NE(reply.body.find("<pput"), std::string::npos) << reply.body;
        if (reply.body.find("<rput") != std::string::npos) ++sent[device];
      });
    }
  }
  for (auto& c : clients) c.join();
  for (const auto& device : all) EXPECT_EQ(sent[device], 1) << "device " << device;
  EXPECT_EQ(plain.stop(), 0) << plain.err();
  EXPECT_EQ(both.stop(), 0) << both.err();
}

TEST_F(SharedState, AnOlderStateFolderIsBroughtOverWithNothingLost) {
  // What the server kept before its state had a database.
  const fs::path state = root_ / "state";
  fs::create_directories(state / "users" / "ana" / "3");
  std::ofstream(state / "devices.json") << R"({"next_id": 8, "devices": [
      {"id": "3", "login": "ana", "user_name": "Ana", "user_id": "1001"}]})";
  std::ofstream(state / "users" / "ana" / "3" / "delivered.json") << R"(["n1"])";
  pdb::Database notes;
  notes.name = "Notas";
  notes.records.push_back(pdb::Record{0, 1, {'o', 'l', 'd'}});
  pdb::writeFileAtomic(state / "users" / "ana" / "3" / "Notas.pdb", pdb::serialize(notes));

  ServiceProcess service;
  ASSERT_TRUE(service.start(root_ / "a", service_args(root_)));
  const std::string at = service.urls()[0] + "sync";
  EXPECT_EQ(device_in(fetch(at, conduit_post(login_form("ana", "pw", "1001"))).body), "3");
  // Ids handed out before are never given again.
  EXPECT_EQ(device_in(fetch(at, conduit_post(login_form("ana", "pw", "1002"))).body), "8");
  // The change set it had already sent is not sent again; a new upload
  // keeps the old one in the history.
  const auto list = fetch(at, conduit_post(list_form("3")));
  EXPECT_EQ(list.body.find("<rput"), std::string::npos) << list.body;
  EXPECT_NE(list.body.find("<pget db=\"Notas\"/>"), std::string::npos) << list.body;
  fetch(at, conduit_post("cmd=pget&device_id=3&login=" + scramble("ana") + "&senha=" + scramble("pw") +
                         "&dbname=Notas&Notas_record=new&Notas_record_id=1"));
  EXPECT_EQ(service.stop(), 0);

  EXPECT_TRUE(fs::exists(state / "devices.json.migrated"));
  EXPECT_FALSE(fs::exists(state / "devices.json"));
  const auto latest = pdb::readFile(state / "users" / "ana" / "3" / "Notas.pdb").db;
  ASSERT_EQ(latest.records.size(), 1u);
  EXPECT_EQ(std::string(latest.records[0].data.begin(), latest.records[0].data.end()), "new");
  std::set<std::string> history;
  for (const auto& item : fs::directory_iterator(state / "users" / "ana" / "3" / "history")) {
    const auto db = pdb::readFile(item.path()).db;
    history.insert(std::string(db.records.at(0).data.begin(), db.records.at(0).data.end()));
  }
  EXPECT_EQ(history, (std::set<std::string>{"old", "new"}));

  // A second start finds the database and does not bring anything over again.
  ServiceProcess again;
  ASSERT_TRUE(again.start(root_ / "b", service_args(root_)));
  EXPECT_EQ(device_in(fetch(again.urls()[0] + "sync", conduit_post(login_form("ana", "pw", "1001"))).body), "3");
  EXPECT_EQ(again.stop(), 0);
}

}  // namespace
