// pput, pdel and pget against a simulated handheld and the reference server.
#include <gtest/gtest.h>

#include <algorithm>

#include "command_world.h"
#include "hotsync/host.h"

using namespace cmdtest;

namespace {

class DatabaseCommandsTest : public ::testing::Test {
 protected:
  // `script` may use {{base}}; downloads come from server.files().
  void Start(const std::string& script = R"({"rules": []})") {
    ASSERT_TRUE(server.play(world.root / "server", script));
    ASSERT_TRUE(world.Connect());
    syncUrl = server.base() + "/sync.asp";
  }
  void Run(const std::string& cmd) {
    CTarvoServer actual;
    actual.sUrl = syncUrl;
    world.engine->RunCommand(cmd, syncUrl, actual);
  }
  fs::path Temp() const { return world.engine->m_tempPath; }

  CommandWorld world;
  SyncServer server;
  std::string syncUrl;
};

std::string Image(const pdb::Database& db) {
  const std::vector<uint8_t> bytes = pdb::serialize(db);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST_F(DatabaseCommandsTest, PPutSavesTheBodyAndQueuesItWithTheCardOfTheSameName) {
  world.AddDatabase(RecordDb("Other"), 0);
  world.AddDatabase(RecordDb("News", {"old"}), 1);
  Start();
  // A database whose records hold a zero byte, CR LF and 0x1A: saved and
  // queued byte for byte.
  const std::string news = Image(RecordDb("News", {std::string("a\0b\r\n\x1A\xE9", 7), "second"}));
  WriteFile(server.files() / "News.pdb", news);
  Run("pput url=\"" + server.base() +
      "/files/News.pdb\" title=\"Not\xED"
      "cias\"");

  EXPECT_EQ(ReadFile(Temp() / "News.pdb"), news);
  EXPECT_EQ(ReadFile(world.InstallFolder() / "News.pdb"), news);
  EXPECT_EQ(world.HandheldLog(),
            "Tarvo: Not\xC3\xAD"
            "cias on card: 1\n");
  EXPECT_EQ(world.engine->m_dlgprg->m_task,
            "Transferindo Not\xED"
            "cias");

  // The request carried only the language.
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/files/News.pdb");
  EXPECT_EQ(requests[0].body, "language=PT");

  // At the next HotSync the host installs it on card 0, replacing nothing
  // there (the card 1 copy is another database file).
  std::vector<std::string> messages;
  EXPECT_EQ(hotsync::installQueuedFiles(&messages), 1);
  const fs::path temp = Temp();
  world.Disconnect();
  EXPECT_FALSE(fs::exists(temp / "News.pdb")) << "the download outlived the HotSync";
  const auto installed = world.Database("News", 0);
  ASSERT_NE(installed, nullptr);
  ASSERT_EQ(installed->records.size(), 2u);
  EXPECT_EQ(installed->records[0].data, std::vector<uint8_t>({'a', 0, 'b', '\r', '\n', 0x1A, 0xE9}));
}

TEST_F(DatabaseCommandsTest, PPutOfAFileThatIsNoDatabaseIsRefusedAtInstall) {
  world.AddDatabase(RecordDb("News"));
  Start();
  WriteFile(server.files() / "short.pdb", "tiny");                // under 32 bytes: no name
  WriteFile(server.files() / "page.html", std::string(40, 'x'));  // a name no database has
  Run("pput url=\"" + server.base() + "/files/short.pdb\" title=\"A\"");
  Run("pput url=\"" + server.base() + "/files/page.html\" title=\"B\"");
  EXPECT_EQ(world.HandheldLog(), "Tarvo: A\nTarvo: B\n");
  EXPECT_EQ(ReadFile(world.InstallFolder() / "short.pdb"), "tiny");

  std::vector<std::string> messages;
  EXPECT_EQ(hotsync::installQueuedFiles(&messages), 0);
  const auto log = world.DesktopLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[0].find("page.html refused"), std::string::npos);
  EXPECT_NE(log[1].find("short.pdb refused"), std::string::npos);
  world.Disconnect();
  EXPECT_NE(world.Database("News"), nullptr);
}

TEST_F(DatabaseCommandsTest, PPutThatCannotQueueSaysSo) {
  Start();
  WriteFile(server.files() / "News.pdb", Image(RecordDb("News")));
  world.engine->m_installTarget = "Nobody";  // no such HotSync user
  Run("pput url=\"" + server.base() + "/files/News.pdb\" title=\"N\"");
  EXPECT_EQ(world.HandheldLog().find("Tarvo: N\n"), std::string::npos) << world.HandheldLog();
  EXPECT_NE(world.HandheldLog().find("not queued"), std::string::npos) << world.HandheldLog();
  const auto log = world.DesktopLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("N not queued"), std::string::npos) << log[0];
}

TEST_F(DatabaseCommandsTest, PPutNeverWritesOutsideThePrivateFolder) {
  Start(R"({"rules": [], "unmatched": {"status": 200, "body": "content"}})");
  const std::string base = server.base();
  struct Case {
    std::string url;
    std::string savedAs;  // empty: nothing may be saved or fetched
  };
  const std::vector<Case> cases = {
      {base + "/dir/..%2f", "..%2f"},
      {base + "/get.asp?f=abc", "get.asp?f=abc"},
      {base + "/q?f=..\\..\\evil", "evil"},
      {base + "/a\\../../escaped", ""},
      {base + "/.", ""},
      {base + "/..", ""},
      {base + "/", ""},
      {"", ""},
  };
  std::size_t fetched = 0;
  for (const Case& c : cases) {
    Run("pput url=\"" + c.url + "\" title=\"t\"");
    if (!c.savedAs.empty()) {
      ++fetched;
      EXPECT_EQ(ReadFile(Temp() / c.savedAs), "content") << c.url;
    }
  }
  EXPECT_EQ(server.requests().size(), fetched);
  for (const fs::path& file : world.WrittenFiles()) {
    EXPECT_EQ(file.parent_path(), fs::path("cache/tarvo/tmp")) << file;
  }
}

TEST_F(DatabaseCommandsTest, PPutOfAFailedDownloadSavesNothing) {
  Start();
  Run("pput url=\"" + server.base() + "/files/missing.pdb\" title=\"t\"");
  EXPECT_FALSE(fs::exists(Temp() / "missing.pdb"));
  EXPECT_TRUE(!fs::exists(world.InstallFolder()) || fs::is_empty(world.InstallFolder()));
  EXPECT_EQ(world.HandheldLog(), "");
}

TEST_F(DatabaseCommandsTest, PDelStopsAtTheFirstCardThatDeletes) {
  world.AddDatabase(RecordDb("Keep"), 0);
  world.AddDatabase(RecordDb("Twice"), 1);
  world.AddDatabase(RecordDb("Twice"), 2);
  Start();
  Run("pdel db=\"Twice\"");
  Run("pdel db=\"Nowhere\"");
  world.Disconnect();
  EXPECT_EQ(world.Database("Twice", 1), nullptr);
  EXPECT_NE(world.Database("Twice", 2), nullptr);
  EXPECT_NE(world.Database("Keep", 0), nullptr);
}

TEST_F(DatabaseCommandsTest, PGetSendsEveryRecordAndRunsTheAnswer) {
  pdb::Database db = RecordDb("My Notes", {std::string("ab\0c\0", 5), "x", "", std::string("\xE9&=+\0", 5)}, "DATA");
  db.records[3].uniqueId = 0x00ABCDEF;
  world.AddDatabase(db);
  Start(R"({"rules": [{"match": {"cmd": "pget"}, "body": "<tarvoconduit><device id=\"9\"/></tarvoconduit>"}]})");
  world.engine->m_credentials = "login=065&senha=066";
  world.engine->m_device_id = "D1";
  Run("pget db=\"My Notes\"");

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/sync.asp");
  // The last byte of each record stays behind; an empty record is left
  // out, and one of a single byte sends an empty value.
  EXPECT_EQ(requests[0].body,
            "language=PT&cmd=pget&login=065&senha=066&device_id=D1&dbname=My%20Notes&dbtype=DATA"
            "&My%20Notes_record=ab%00c&My%20Notes_record_id=100"
            "&My%20Notes_record=&My%20Notes_record_id=101"
            "&My%20Notes_record=%e9%26%3d%2b&My%20Notes_record_id=11259375");
  ASSERT_EQ(world.engine->m_commands.size(), 1u);
  EXPECT_EQ(world.engine->m_commands.front(), "device id=\"9\"");
}

TEST_F(DatabaseCommandsTest, PGetOfAnEmptyOrMissingDatabase) {
  world.AddDatabase(RecordDb("Empty", {}, "Zz01"));
  world.AddDatabase(RecordDb("Card1"), 1);
  Start();
  Run("pget db=\"Empty\" url=\"" + server.base() + "/other.asp?x=1\"");
  Run("pget db=\"Missing\"");
  Run("pget db=\"Card1\"");  // only card 0 is looked at
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/other.asp");
  EXPECT_EQ(requests[0].body, "language=PT&cmd=pget&&dbname=Empty&dbtype=Zz01&x=1");
}

TEST_F(DatabaseCommandsTest, PGetLeavesOutARecordLargerThanTheBuffer) {
  // Palm files can hold records the Sync Manager's buffer cannot take.
  world.AddDatabase(RecordDb("Big", {std::string(70000, 'b'), "ok!"}));
  Start();
  Run("pget db=\"Big\"");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].body, "language=PT&cmd=pget&&dbname=Big&dbtype=DATA&Big_record=ok&Big_record_id=101");
}
