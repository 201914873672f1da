// The two stores of the service's state, a folder with SQLite and a
// PostgreSQL database, held to the same rules: what one remembers, the
// other remembers the same way, byte for byte, and several connections at
// once (as several service processes) never hand out an id twice.
#include <cstdlib>
#include <filesystem>
#include <latch>
#include <set>
#include <thread>

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include "catalogue_state.h"
#include "server_process.h"
#include "service_state.h"
#include "throwaway_postgres.h"

namespace tarvo::server {
namespace {

namespace fs = std::filesystem;

class Stores : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (std::string(GetParam()) == "PostgreSQL") {
      TARVO_NEEDS_POSTGRES(server);
      where_ = content_service_test::fresh_postgres_database(server);
    } else {
      folder_ = syncserver_test::temp_folder("stores");
      where_ = (folder_ / "state").string();
    }
  }
  void TearDown() override {
    if (!folder_.empty()) fs::remove_all(folder_);
  }
  std::unique_ptr<ServiceState> open(StateSettings settings = {}) { return open_state(where_, settings); }

  fs::path folder_;
  std::string where_;
};

pdb::Database notes(std::vector<std::uint8_t> record) {
  pdb::Database db;
  db.name = "Notas";
  db.records.push_back(pdb::Record{0, 1, std::move(record)});
  return db;
}

TEST_P(Stores, DevicesOutliveTheConnectionWithTheirBytesAndBelongToOneLogin) {
  // Windows-1252 names, a zero byte included, come back as sent.
  const std::string login("ana\xE9", 4), user(std::string("Jo\xE3o\0x", 6));
  std::string first;
  {
    auto state = open();
    first = state->device_for(login, {user, "1001"});
    EXPECT_EQ(state->device_for(login, {user, "1001"}), first);
    EXPECT_NE(state->device_for(login, {user, "1002"}), first);
    EXPECT_TRUE(state->mark_delivered(login, first, "welcome"));
    EXPECT_FALSE(state->mark_delivered(login, first, "welcome"));
    EXPECT_FALSE(state->mark_delivered("bia", first, "other"));  // not hers
  }
  auto again = open();
  EXPECT_EQ(again->device_for(login, {user, "1001"}), first);
  EXPECT_TRUE(again->owns(login, first));
  EXPECT_FALSE(again->owns("bia", first));
  EXPECT_FALSE(again->owns(login, "x1"));
  EXPECT_TRUE(again->delivered(login, first, "welcome"));
  EXPECT_FALSE(again->delivered(login, first, "other"));
  EXPECT_NE(again->device_for("bia", {user, "1001"}), first);
  const auto devices = again->devices();
  ASSERT_EQ(devices.size(), 3u);
  EXPECT_EQ(devices[0].id, first);
  EXPECT_EQ(devices[0].login, login);
  EXPECT_EQ(devices[0].user_name, user);
  EXPECT_EQ(again->device_count(login), 2);
}

TEST_P(Stores, UploadsKeepTheLastFewByteForByte) {
  auto state = open(StateSettings{2});
  const std::string device = state->device_for("ana", {"Ana", "1001"});
  const std::vector<std::vector<std::uint8_t>> sent{{'a', 0, 0xFF}, {'b'}, {'c', 0x80, 0}};
  for (const auto& record : sent) state->store_database("ana", device, notes(record));
  EXPECT_THROW(state->store_database("bia", device, notes({'x'})), StateError);

  const auto kept = state->uploads();
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].db, "Notas");
  EXPECT_EQ(kept[0].records, 1);
  EXPECT_LT(kept[0].id, kept[1].id);
  const auto latest = state->upload_bytes(kept[1].id);
  ASSERT_TRUE(latest);
  EXPECT_EQ(pdb::parse(std::vector<std::uint8_t>(latest->begin(), latest->end())).records.at(0).data, sent[2]);
  const auto before = state->upload_bytes(kept[0].id);
  ASSERT_TRUE(before);
  EXPECT_EQ(pdb::parse(std::vector<std::uint8_t>(before->begin(), before->end())).records.at(0).data, sent[1]);
  EXPECT_FALSE(state->upload_bytes(kept[0].id - 1));  // the oldest went
  EXPECT_EQ(state->counts().uploads, 2);
}

TEST_P(Stores, AnOfferIsInstalledWhenTheDeviceHoldsThatEdition) {
  auto state = open();
  const std::string device = state->device_for("ana", {"Ana", "1001"});
  state->note_offer(device, "News", "20240601");
  state->note_offer(device, "News", "20240601");  // offered again at the next HotSync
  state->note_held(device, "News", "20240501");   // still the old one
  auto rows = state->deliveries();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_FALSE(rows[0].installed);
  state->note_held(device, "News", "20240601");
  rows = state->deliveries();
  ASSERT_TRUE(rows[0].installed);
  EXPECT_EQ(rows[0].login, "ana");
  const StateCounts counts = state->counts();
  EXPECT_EQ(counts.devices, 1);
  EXPECT_EQ(counts.offered, 1);
  EXPECT_EQ(counts.installed, 1);
}

TEST_P(Stores, FailedLoginsAreCountedByLoginAndByAddressSinceAMoment) {
  auto state = open();
  state->note_login("ana", "10.0.0.1", false);
  state->note_login("ana", "10.0.0.2", false);
  state->note_login("ana", "10.0.0.1", true);
  state->note_login("bia", "10.0.0.1", false);
  std::int64_t by_address = 0;
  EXPECT_EQ(state->failures_since("ana", "10.0.0.1", unix_now() - 60, &by_address), 2);
  EXPECT_EQ(by_address, 2);
  EXPECT_EQ(state->failures_since("ana", "10.0.0.1", unix_now() + 60, &by_address), 0);
  EXPECT_EQ(by_address, 0);
  // Every connection signs with the same key.
  EXPECT_EQ(state->link_key(), open()->link_key());
}

TEST_P(Stores, ConnectionsAtOnceGiveEachHandheldOneIdAndEachSendOnce) {
  constexpr int kConnections = 8, kHandhelds = 15;
  open();  // the tables, before the race
  std::vector<std::vector<std::string>> ids(kConnections);
  std::vector<int> sent(kConnections, 0), refused(kConnections, 0);
  std::latch ready(kConnections);  // every connection open before the race starts
  std::vector<std::thread> threads;
  for (int c = 0; c < kConnections; ++c) {
    threads.emplace_back([&, c] {
      auto state = open();
      ready.arrive_and_wait();
      // Three handhelds of each connection's own on a login with a ceiling of three.
      for (int h = 0; h < 3; ++h)
        if (state->device_for("cid", {"Cid", std::to_string(10 * c + h)}, 3).empty()) ++refused[c];
      for (int h = 0; h < kHandhelds; ++h) {
        const std::string id = state->device_for("ana", {"Ana", std::to_string(h)});
        ids[c].push_back(id);
        if (state->mark_delivered("ana", id, "n1")) ++sent[c];
      }
    });
  }
  for (auto& t : threads) t.join();
  std::set<std::string> distinct;
  for (int h = 0; h < kHandhelds; ++h) {
    for (int c = 1; c < kConnections; ++c) EXPECT_EQ(ids[c][h], ids[0][h]) << "handheld " << h;
    distinct.insert(ids[0][h]);
  }
  EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kHandhelds));
  int sends = 0, refusals = 0;
  for (int c = 0; c < kConnections; ++c) sends += sent[c], refusals += refused[c];
  EXPECT_EQ(sends, kHandhelds);
  EXPECT_EQ(refusals, 3 * kConnections - 3);
  EXPECT_EQ(open()->device_count("cid"), 3);
}

INSTANTIATE_TEST_SUITE_P(BothStores, Stores, ::testing::Values("SQLite", "PostgreSQL"),
                         [](const auto& info) { return std::string(info.param); });

TEST(PostgresState, ASessionTheServerEndedIsOpenedAgainForTheNextRequest) {
  TARVO_NEEDS_POSTGRES(server);
  const std::string where = content_service_test::fresh_postgres_database(server);
  auto state = open_state(where);
  const std::string id = state->device_for("ana", {"Ana", "1001"});
  // What a restart or a fail-over does to every session: ended by the server.
  PGconn* admin = PQconnectdb(where.c_str());
  auto others = [&] {
    PGresult* r = PQexec(admin,
                         "SELECT count(*) FROM pg_stat_activity "
                         "WHERE datname = current_database() AND pid <> pg_backend_pid()");
    const int n = PQntuples(r) == 1 ? std::atoi(PQgetvalue(r, 0, 0)) : -1;
    PQclear(r);
    return n;
  };
  ASSERT_EQ(others(), 1);
  PQclear(PQexec(admin,
                 "SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                 "WHERE datname = current_database() AND pid <> pg_backend_pid()"));
  while (others() != 0) std::this_thread::yield();  // until it has gone
  PQfinish(admin);
  EXPECT_EQ(state->device_for("ana", {"Ana", "1001"}), id);
}

}  // namespace
}  // namespace tarvo::server
