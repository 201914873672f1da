// The content service on PostgreSQL, as a provider runs it on several
// machines: processes sharing one database, and the admin command reading
// what they kept.
#include <curl/curl.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "pdb/pdb.h"
#include "run_program.h"
#include "server_process.h"
#include "service_process.h"
#include "shared_state_check.h"
#include "throwaway_postgres.h"

namespace {

namespace fs = std::filesystem;
using content_service_test::scramble;
using content_service_test::ServiceProcess;
using syncserver_test::conduit_post;
using syncserver_test::fetch;

class PostgresService : public ::testing::Test {
 protected:
  void SetUp() override {
    curl_global_init(CURL_GLOBAL_ALL);
    root_ = syncserver_test::temp_folder("postgres-service");
    content_service_test::write_shared_catalogue(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path root_;
};

TEST_F(PostgresService, TwoProcessesGiveUniqueIdsAndSendEachChangeSetOnce) {
  TARVO_NEEDS_POSTGRES(server);
  content_service_test::expect_one_id_per_handheld_and_one_send(root_,
                                                                content_service_test::fresh_postgres_database(server));
}

TEST_F(PostgresService, ACollectedDatabaseComesBackThroughTheAdminCommand) {
  TARVO_NEEDS_POSTGRES(server);
  const std::string state = content_service_test::fresh_postgres_database(server);
  ServiceProcess service;
  ASSERT_TRUE(service.start(root_ / "a", {"--catalogue", (root_ / "catalogue").string(), "--state", state}));
  const std::string at = service.urls()[0] + "sync";
  const std::string device = content_service_test::device_in(
      fetch(at, conduit_post(content_service_test::login_form("ana", "pw", "1001"))).body);
  ASSERT_EQ(device, "1");
  const auto kept =
      fetch(at, conduit_post("cmd=pget&device_id=1&login=" + scramble("ana") + "&senha=" + scramble("pw") +
                             "&dbname=Notas&Notas_record=a%00%FF&Notas_record_id=7"));
  EXPECT_NE(kept.body.find("1 registros recebidos"), std::string::npos) << kept.body;
  EXPECT_EQ(service.stop(), 0) << service.err();

  const auto listed = syncserver_test::run_to_end({"admin", "collected", "--state", state});
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_NE(listed.out.find("1\tana\tNotas\t1\t"), std::string::npos) << listed.out;
  const auto upload = syncserver_test::run_to_end({"admin", "upload", "1", "--state", state});
  ASSERT_EQ(upload.status, 0) << upload.err;
  const auto db = pdb::parse(std::vector<std::uint8_t>(upload.out.begin(), upload.out.end()));
  ASSERT_EQ(db.records.size(), 1u);
  EXPECT_EQ(db.records[0].data, (std::vector<std::uint8_t>{'a', 0, 0xFF}));
}

TEST(PostgresStart, AnUnreachableDatabaseStopsTheStartInOneLineThatKeepsItsPassword) {
  const fs::path root = syncserver_test::temp_folder("postgres-unreachable");
  content_service_test::write_shared_catalogue(root);
  const auto run = syncserver_test::run_to_end(
      {"--catalogue", (root / "catalogue").string(), "--state",
       "postgresql://tarvo:s3cretpw@/none?host=" + (root / "no-socket-here").string() + "&connect_timeout=5"});
  fs::remove_all(root);
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("PostgreSQL: cannot connect"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("s3cretpw"), std::string::npos) << run.err;
  EXPECT_EQ(run.out.find("listening"), std::string::npos) << run.out;
}

}  // namespace
