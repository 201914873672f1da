// Journals: what a process killed after SyncCloseDB left behind is replayed
// at the next connect; torn and stale journals are not.
#include <sys/wait.h>
#include <chrono>
#include <csignal>
#include <fstream>
#include <random>
#include <thread>

#include "files.h"
#include "hotsync/syncmgr.h"
#include "test_handheld.h"

using namespace testing_hh;

namespace {

class Journal : public TempRoot {
 protected:
  // Writes `data` as a new record through its own open/close.
  static uint32_t append(const char* db, const std::string& data) {
    uint8_t h = 0;
    if (SyncOpenDB(db, 0, &h, eDbRead | eDbWrite) != SYNCERR_NONE) return 0;
    std::vector<uint8_t> bytes = BytesOf(data);
    RecordInfo rec{};
    rec.m_FileHandle = h;
    rec.m_RecSize = static_cast<uint32_t>(bytes.size());
    rec.m_pBytes = bytes.data();
    const int32_t status = SyncWriteRec(&rec);
    if (SyncCloseDB(h) != SYNCERR_NONE || status != SYNCERR_NONE) return 0;
    return rec.m_RecId;
  }

  // The state a killed process leaves: a copy of the folder while connected.
  fs::path snapshot(const fs::path& dir, const std::string& name) {
    const fs::path copy = root / name;
    fs::copy(dir, copy, fs::copy_options::recursive);
    fs::remove(copy / ".lock");
    return copy;
  }

  std::vector<std::string> texts(const pdb::Database& db) {
    std::vector<std::string> out;
    for (const auto& r : db.records) out.emplace_back(r.data.begin(), r.data.end());
    return out;
  }
};

TEST_F(Journal, CompletedClosesSurviveAKillAndAreFoldedAtConnect) {
  const auto dir = makeHandheld({recordDb("A", {BytesOf("base")})});
  connect(dir);
  ASSERT_NE(append("A", "first"), 0u);
  ASSERT_NE(append("A", "second"), 0u);
  const fs::path crashed = snapshot(dir, "crashed");
  hotsync::disconnectHandheld();

  connect(crashed);
  hotsync::disconnectHandheld();
  EXPECT_FALSE(fs::exists(crashed / "card0" / "A.pdb.journal"));
  EXPECT_EQ(texts(pdb::readFile(crashed / "card0" / "A.pdb").db),
            (std::vector<std::string>{"base", "first", "second"}));
}

TEST_F(Journal, TornTailIsDroppedAndStaleJournalIgnored) {
  const auto dir = makeHandheld({recordDb("A"), recordDb("B")});
  connect(dir);
  ASSERT_NE(append("A", "kept"), 0u);
  ASSERT_NE(append("B", "stale"), 0u);
  const fs::path crashed = snapshot(dir, "crashed");
  hotsync::disconnectHandheld();

  // A frame the killed writer never finished.
  {
    std::ofstream j(crashed / "card0" / "A.pdb.journal", std::ios::binary | std::ios::app);
    const char partial[] = {40, 0, 0, 0, 1, 2, 3, 4, 'W', 9};
    j.write(partial, sizeof partial);
  }
  // B's file was replaced after its journal was written (a fold whose
  // journal removal was lost): the journal must not be applied again.
  auto replaced = recordDb("B", {BytesOf("reinstalled")});
  WriteFile(crashed / "card0" / "B.pdb", pdb::serialize(replaced));
  // A journal without its database (deleted mid-way).
  WriteFile(crashed / "card0" / "Gone.pdb.journal", "TJNL");

  connect(crashed);
  hotsync::disconnectHandheld();
  EXPECT_EQ(texts(pdb::readFile(crashed / "card0" / "A.pdb").db), (std::vector<std::string>{"kept"}));
  EXPECT_EQ(texts(pdb::readFile(crashed / "card0" / "B.pdb").db), (std::vector<std::string>{"reinstalled"}));
  EXPECT_FALSE(fs::exists(crashed / "card0" / "Gone.pdb.journal"));
  EXPECT_FALSE(fs::exists(crashed / "card0" / "B.pdb.journal"));
}

// A journal written before journals named their file by the block hash
// (version 1, a byte-wise FNV-1a hash) is still replayed.
TEST_F(Journal, FirstVersionJournalIsReplayed) {
  const auto dir = makeHandheld({recordDb("A", {BytesOf("base")})});
  connect(dir);
  ASSERT_NE(append("A", "kept"), 0u);
  const fs::path crashed = snapshot(dir, "crashed");
  hotsync::disconnectHandheld();

  const std::string file = tarvo::test::ReadFile(crashed / "card0" / "A.pdb");
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : file) hash = (hash ^ static_cast<uint8_t>(c)) * 0x100000001b3ull;
  std::fstream journal(crashed / "card0" / "A.pdb.journal", std::ios::binary | std::ios::in | std::ios::out);
  char header[24];
  ASSERT_TRUE(journal.read(header, sizeof header));
  header[4] = 1;
  for (int i = 0; i < 8; ++i) header[16 + i] = static_cast<char>(hash >> (8 * i));
  journal.seekp(0);
  journal.write(header, sizeof header);
  journal.close();

  connect(crashed);
  hotsync::disconnectHandheld();
  EXPECT_EQ(texts(pdb::readFile(crashed / "card0" / "A.pdb").db), (std::vector<std::string>{"base", "kept"}));
}

// A journal an earlier build wrote (version 2, data/journal_v2) names its
// file by the same hash today, so it is still replayed.
TEST_F(Journal, SecondVersionJournalOfAnEarlierBuildIsReplayed) {
  const auto dir = makeHandheld({});
  for (const char* name : {"Memo.pdb", "Memo.pdb.journal"}) {
    fs::copy_file(fs::path(PLATFORM_TEST_DATA) / "journal_v2" / name, dir / "card0" / name);
  }
  connect(dir);
  hotsync::disconnectHandheld();
  EXPECT_FALSE(fs::exists(dir / "card0" / "Memo.pdb.journal"));
  EXPECT_EQ(texts(pdb::readFile(dir / "card0" / "Memo.pdb").db),
            (std::vector<std::string>{"base 95", "first", "second"}));
}

TEST_F(Journal, SecondProgramCannotConnectTheSameHandheld) {
  const auto dir = makeHandheld({});
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char go = 0;
    if (read(ready[0], &go, 1) != 1) _exit(2);
    std::string error;
    _exit(hotsync::connectHandheld(dir, &error) ? 1 : 0);
  }
  connect(dir);
  ASSERT_EQ(write(ready[1], "g", 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the second program got in";
  close(ready[0]);
  close(ready[1]);
}

// A writer killed at random moments: every database still parses and holds
// every record whose SyncCloseDB had returned.
TEST_F(Journal, WriterKilledAtRandomKeepsEveryCompletedClose) {
  const auto dir = makeHandheld({recordDb("Log"), recordDb("Other", {BytesOf("x")})});
  std::mt19937 random(12345);
  int next = 0;
  for (int round = 0; round < 12; ++round) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      std::string error;
      hotsync::setFlushEachClose(round % 2 == 0);
      if (!hotsync::connectHandheld(dir, &error)) _exit(2);
      for (int i = next;; ++i) {
        if (append("Log", "rec-" + std::to_string(i)) == 0) _exit(3);
        if (write(fds[1], &i, sizeof i) != sizeof i) _exit(4);
        if (i % 7 == 0) append("Other", "y");
        if (i % 25 == 24) {  // folding is killed at random too
          hotsync::disconnectHandheld();
          if (!hotsync::connectHandheld(dir, &error)) _exit(5);
        }
      }
    }
    close(fds[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 200));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself: " << WEXITSTATUS(status);
    int last = next - 1, reported = 0;
    while (read(fds[0], &reported, sizeof reported) == sizeof reported) last = reported;
    close(fds[0]);

    connect(dir);
    hotsync::disconnectHandheld();
    for (const char* file : {"Log.pdb", "Other.pdb"}) {
      EXPECT_NO_THROW(pdb::readFile(dir / "card0" / file)) << file;
    }
    const auto records = texts(pdb::readFile(dir / "card0" / "Log.pdb").db);
    // Everything reported is there, in order; at most one more (closed, not yet reported).
    ASSERT_GE(static_cast<int>(records.size()), last + 1) << "round " << round;
    ASSERT_LE(static_cast<int>(records.size()), last + 2) << "round " << round;
    for (int i = 0; i < static_cast<int>(records.size()); ++i) ASSERT_EQ(records[i], "rec-" + std::to_string(i));
    next = static_cast<int>(records.size());
  }
  EXPECT_GT(next, 12);
}

}  // namespace
