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
#include "shared_state_check.h"

namespace {

namespace fs = std::filesystem;
using content_service_test::device_in;
using content_service_test::list_form;
using content_service_test::login_form;
using content_service_test::scramble;
using content_service_test::service_args;
using content_service_test::ServiceProcess;
using syncserver_test::conduit_post;
using syncserver_test::fetch;

class SharedState : public ::testing::Test {
 protected:
  void SetUp() override {
    curl_global_init(CURL_GLOBAL_ALL);
    root_ = syncserver_test::temp_folder("shared-state");
    content_service_test::write_shared_catalogue(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path root_;
};

TEST_F(SharedState, TwoProcessesGiveUniqueIdsAndSendEachChangeSetOnce) {
  content_service_test::expect_one_id_per_handheld_and_one_send(root_, (root_ / "state").string());
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
