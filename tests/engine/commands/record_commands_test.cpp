// rput, rdel and rget against a simulated handheld.
#include <gtest/gtest.h>

#include "command_world.h"

using namespace cmdtest;

namespace {

class RecordCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world.AddDatabase(RecordDb("Notes", {"one", "two"}));
    world.AddDatabase(RecordDb("Notes", {"card one"}), 1);
    world.AddDatabase(RecordDb("ReadMe", {"r"}));
    ASSERT_TRUE(world.Connect());
  }
  void Run(const std::string& cmd) { world.engine->RunCommand(cmd, "http://127.0.0.1:9/", CTarvoServer()); }
  // The records of a database as (id, bytes), after the handheld was let go.
  std::vector<std::pair<uint32_t, std::string>> Records(const std::string& name, int card = 0) {
    world.Disconnect();
    std::vector<std::pair<uint32_t, std::string>> out;
    const auto db = world.Database(name, card);
    if (!db) return out;
    for (const pdb::Record& r : db->records) out.emplace_back(r.uniqueId, std::string(r.data.begin(), r.data.end()));
    return out;
  }
  using Records_t = std::vector<std::pair<uint32_t, std::string>>;

  CommandWorld world;
};

}  // namespace

TEST_F(RecordCommandsTest, RPutDecodesEscapesAndKeepsPlusSigns) {
  Run("rput db=\"Notes\" id=\"100\" data=\"a+b%20c%00%e9%FF\"");
  Run("rput db=\"Notes\" cardno=\"1\" id=\" +5\" data=\"five\"");  // blanks and a sign before the digits
  EXPECT_EQ(Records("Notes"), (Records_t{{100, std::string("a+b c\0\xE9\xFF", 8)}, {101, "two"}}));
  EXPECT_EQ(Records("Notes", 1), (Records_t{{100, "card one"}, {5, "five"}}));
}

TEST_F(RecordCommandsTest, RPutWithoutIdAddsARecord) {
  Run("rput db=\"Notes\" data=\"new\"");
  const auto records = Records("Notes");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[2].second, "new");
  EXPECT_NE(records[2].first, 0u);
}

TEST_F(RecordCommandsTest, RPutWritesNothingForBadData) {
  const Records_t before = {{100, "one"}, {101, "two"}};
  for (const std::string data : {"", "ok%4", "ok%zz1", "ok%", "%41%g1"}) {
    Run("rput db=\"Notes\" id=\"100\" data=\"" + data + "\"");
  }
  // Longer than a record can be: 65,536 bytes.
  Run("rput db=\"Notes\" id=\"100\" data=\"" + std::string(65536, 'x') + "\"");
  // Values cut short by "/>" inside them leave no closing quote: empty data.
  world.engine->ParseResponse("<tarvoconduit><rput db=\"Notes\" id=\"100\" data=\"a/>b\"/></tarvoconduit>");
  while (!world.engine->m_commands.empty()) {
    const std::string cmd = world.engine->m_commands.front();
    world.engine->m_commands.pop_front();
    Run(cmd);
  }
  EXPECT_EQ(Records("Notes"), before);
}

TEST_F(RecordCommandsTest, RPutOfTheLargestRecordFits) {
  Run("rput db=\"Notes\" id=\"100\" data=\"" + std::string(65535, 'x') + "\"");
  const auto records = Records("Notes");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].second.size(), 65535u);
}

TEST_F(RecordCommandsTest, RPutToAMissingDatabaseOrCardChangesNothing) {
  Run("rput db=\"Nowhere\" data=\"x\"");
  Run("rput db=\"ReadMe\" cardno=\"1\" data=\"x\"");
  Run("rput db=\"Notes\" cardno=\"7\" data=\"x\"");
  Run("rput db=\"Notes\" cardno=\"-1\" data=\"x\"");
  Run("rput db=\"Notes\" cardno=\"99999999999\" data=\"x\"");
  EXPECT_EQ(Records("ReadMe"), (Records_t{{100, "r"}}));
  EXPECT_EQ(Records("Notes"), (Records_t{{100, "one"}, {101, "two"}}));
  EXPECT_EQ(Records("Notes", 1), (Records_t{{100, "card one"}}));
}

TEST_F(RecordCommandsTest, RDelPurgesOnlyAfterADeleteAndAlwaysResetsFlags) {
  Run("rdel db=\"Notes\" id=\"101\"");
  Run("rdel db=\"ReadMe\" id=\"4242\"");
  Run("rdel db=\"Notes\" cardno=\"1\" id=\"100\"");
  Run("rget db=\"Notes\" id=\"100\"");
  world.Disconnect();
  const auto notes = world.Database("Notes");
  ASSERT_NE(notes, nullptr);
  ASSERT_EQ(notes->records.size(), 1u);
  EXPECT_EQ(notes->records[0].uniqueId, 100u);
  EXPECT_EQ(notes->records[0].attributes & pdb::kRecDirty, 0);
  // Nothing was deleted here, yet the sync flags were reset.
  const auto readMe = world.Database("ReadMe");
  ASSERT_NE(readMe, nullptr);
  ASSERT_EQ(readMe->records.size(), 1u);
  EXPECT_EQ(readMe->records[0].attributes & pdb::kRecDirty, 0);
  EXPECT_TRUE(world.Database("Notes", 1)->records.empty());
}
