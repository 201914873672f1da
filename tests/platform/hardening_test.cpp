// Odd and hostile states of the handheld and user folders: kills in the
// middle of a multi-file change, leftovers, links, special files, damaged
// journals, out-of-range settings.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>

#include "hotsync/instaide.h"
#include "hotsync/syncmgr.h"
#include "test_handheld.h"

using namespace testing_hh;

namespace {

class Hardening : public TempRoot {
 protected:
  std::vector<std::string> names(uint8_t card = 0) {
    CDbList list[16];
    int32_t count = 16;
    std::vector<std::string> out;
    if (SyncReadDBList(card, 0, DB_LIST_RAM, list, &count) != SYNCERR_NONE) return out;
    for (int32_t i = 0; i < count; ++i) out.emplace_back(list[i].m_Name);
    return out;
  }

  // Runs `body` in a child process that is killed at `step`.
  template <typename Body>
  void killedAt(const char* step, Body body) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::setenv("TARVO_CRASH_AT", step, 1);
      body();
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child was not stopped at " << step;
  }

  static std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const auto& line : lines) all += line + "\n";
    return all;
  }
};

// A journal as a killed writer leaves it: a header naming the file it
// applies to (size and FNV-1a hash), then frames with a CRC-32 each.
std::string journalFor(const std::vector<uint8_t>& file, const std::vector<std::string>& frames) {
  auto le = [](uint64_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return out;
  };
  uint64_t hash = 0xcbf29ce484222325ull;
  for (uint8_t b : file) hash = (hash ^ b) * 0x100000001b3ull;
  std::string out = "TJNL" + le(1, 4) + le(file.size(), 8) + le(hash, 8);
  for (const std::string& frame : frames) {
    uint32_t crc = 0xFFFFFFFFu;
    for (char ch : frame) {
      crc ^= static_cast<uint8_t>(ch);
      for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    out += le(frame.size(), 4) + le(crc ^ 0xFFFFFFFFu, 4) + frame;
  }
  return out;
}

std::string writeOp(uint32_t id, const std::string& data) {
  std::string op = "W";
  for (int i = 0; i < 4; ++i) op.push_back(static_cast<char>((id >> (8 * i)) & 0xFF));
  op.push_back(0);
  for (int i = 0; i < 4; ++i) op.push_back(static_cast<char>((data.size() >> (8 * i)) & 0xFF));
  return op + data;
}

TEST_F(Hardening, KilledInstallNeverLeavesTheReplacedDatabaseBehind) {
  const auto dir = makeHandheld({resourceDb("Tarvo"), recordDb("Keep")});
  connect(dir);
  const fs::path queue = hotsync::userInstallDir("Ana");
  hotsync::disconnectHandheld();
  WriteFile(queue / "Tarvo.pdb", pdb::serialize(recordDb("Tarvo", {BytesOf("edition 2")})));

  killedAt("install-replace", [&] {
    std::string error;
    if (hotsync::connectHandheld(dir, &error)) hotsync::installQueuedFiles(nullptr);
  });

  connect(dir);
  EXPECT_EQ(names(), (std::vector<std::string>{"Keep", "Tarvo"}));
  uint8_t h = 0;
  ASSERT_EQ(SyncOpenDB("Tarvo", 0, &h, eDbRead), SYNCERR_NONE);
  uint16_t count = 0;
  EXPECT_EQ(SyncGetDBRecordCount(h, &count), SYNCERR_NONE);  // the new record database
  EXPECT_EQ(count, 1);
  SyncCloseDB(h);
  // Deleting it leaves nothing that could come back at the next connect.
  ASSERT_EQ(SyncDeleteDB("Tarvo", 0), SYNCERR_NONE);
  hotsync::disconnectHandheld();
  connect(dir);
  EXPECT_EQ(names(), (std::vector<std::string>{"Keep"}));
}

TEST_F(Hardening, LeftoverQueueTemporaryIsRemovedNeverInstalled) {
  const auto dir = makeHandheld({});
  connect(dir);
  const fs::path queue = hotsync::userInstallDir("Ana");
  // What a writer killed before its rename leaves: a whole database, even,
  // however recent. One a writer still holds (locked) is a copy in progress
  // and stays.
  WriteFile(queue / ".News.pdb.tmp-Ab12Cd", pdb::serialize(recordDb("News")));
  WriteFile(queue / ".Other.pdb.tmp-Xy34Zw", pdb::serialize(recordDb("Other")));
  const int writer = ::open((queue / ".Other.pdb.tmp-Xy34Zw").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(writer, LOCK_EX), 0);

  std::vector<std::string> messages;
  EXPECT_EQ(hotsync::installQueuedFiles(&messages), 0);
  ::close(writer);
  EXPECT_FALSE(fs::exists(queue / ".News.pdb.tmp-Ab12Cd"));
  EXPECT_TRUE(fs::exists(queue / ".Other.pdb.tmp-Xy34Zw"));
  EXPECT_TRUE(names().empty());
  ASSERT_EQ(messages.size(), 1u) << joined(messages);
  EXPECT_EQ(messages[0].rfind("Install: removed 1 unfinished copy of queued files (", 0), 0u) << messages[0];
  EXPECT_FALSE(fs::exists(hotsync::userLogFile("Ana")) &&
               ReadFile(hotsync::userLogFile("Ana")).find("News") != std::string::npos);
}

TEST_F(Hardening, QueueingForAUserNameWindows1252CannotHoldReachesTheHostsUser) {
  // "Ł" has no Windows-1252 byte: the conduit is handed "?ukasz".
  const auto dir = makeHandheld({}, "user.name = Łukasz\n");
  connect(dir);
  ASSERT_EQ(hotsync::currentUser(), "Łukasz");
  const fs::path download = root / "dl" / "News.pdb";
  WriteFile(download, pdb::serialize(recordDb("News")));
  ASSERT_EQ(PltInstallFile("?ukasz", download.c_str()), 0);
  EXPECT_TRUE(fs::exists(hotsync::userInstallDir("Łukasz") / "News.pdb"));
}

TEST_F(Hardening, SpecialAndMalformedCardFilesAreSkippedWithOneWarningEach) {
  const auto dir = makeHandheld({recordDb("Good")});
  const fs::path card = dir / "card0";
  ASSERT_EQ(::mkfifo((card / "Fifo.pdb").c_str(), 0600), 0);
  fs::create_directory(card / "Folder.pdb");
  fs::create_symlink("/dev/zero", card / "Zero.pdb");
  WriteFile(card / "Garbage.prc", "no database at all");
  // A header that claims no records in front of 64 MiB of nothing.
  WriteFile(card / "Huge.pdb", pdb::serialize(recordDb("Huge")));
  fs::resize_file(card / "Huge.pdb", 64u << 20);

  connect(dir);
  EXPECT_EQ(names(), (std::vector<std::string>{"Good"}));
  const auto warnings = hotsync::connectWarnings();
  EXPECT_EQ(warnings.size(), 5u) << joined(warnings);
  for (const char* file : {"Fifo.pdb", "Folder.pdb", "Zero.pdb", "Garbage.prc", "Huge.pdb"}) {
    EXPECT_NE(joined(warnings).find(file), std::string::npos) << file << "\n" << joined(warnings);
  }
  EXPECT_NE(ReadFile(hotsync::userLogFile("Ana")).find("Huge.pdb"), std::string::npos);
}

TEST_F(Hardening, TwoFilesOfOneDatabaseNameGiveOneWarningNamingBoth) {
  const auto dir = makeHandheld({recordDb("Good", {BytesOf("original")})});
  WriteFile(dir / "card0" / "Copy.pdb", pdb::serialize(recordDb("Good")));

  connect(dir);
  EXPECT_EQ(names(), (std::vector<std::string>{"Good"}));
  const auto warnings = hotsync::connectWarnings();
  ASSERT_EQ(warnings.size(), 1u) << joined(warnings);
  // The first in name order is the one used; the other is named as skipped.
  EXPECT_EQ(warnings[0].rfind("card0/Good.pdb skipped:", 0), 0u) << warnings[0];
  EXPECT_NE(warnings[0].find("card0/Copy.pdb, which is used"), std::string::npos) << warnings[0];
  EXPECT_NE(ReadFile(hotsync::userLogFile("Ana")).find("card0/Good.pdb skipped"), std::string::npos);
  hotsync::disconnectHandheld();
  // The skipped file is left as it was.
  EXPECT_EQ(pdb::readFile(dir / "card0" / "Good.pdb").db.records.size(), 1u);
}

TEST_F(Hardening, JournalLinksAreNeverFollowed) {
  const auto dir = makeHandheld({recordDb("A", {BytesOf("base")})});
  const fs::path outside = root / "outside";
  // A link planted while connected: the close must not write through it.
  connect(dir);
  fs::create_symlink(outside, dir / "card0" / "A.pdb.journal");
  uint8_t h = 0;
  ASSERT_EQ(SyncOpenDB("A", 0, &h, eDbRead | eDbWrite), SYNCERR_NONE);
  std::vector<uint8_t> data = BytesOf("new");
  RecordInfo rec{};
  rec.m_FileHandle = h;
  rec.m_RecSize = static_cast<uint32_t>(data.size());
  rec.m_pBytes = data.data();
  ASSERT_EQ(SyncWriteRec(&rec), SYNCERR_NONE);
  EXPECT_EQ(SyncCloseDB(h), SYNCERR_NONE);
  EXPECT_FALSE(fs::exists(outside));
  hotsync::disconnectHandheld();
  EXPECT_EQ(pdb::readFile(dir / "card0" / "A.pdb").db.records.size(), 2u);

  // A handheld whose journal is a link is refused.
  fs::remove(dir / "card0" / "A.pdb.journal");
  fs::create_symlink(outside, dir / "card0" / "A.pdb.journal");
  std::string error;
  EXPECT_FALSE(hotsync::connectHandheld(dir, &error));
  EXPECT_NE(error.find("A.pdb.journal"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(outside));
}

TEST_F(Hardening, JournalFramesThatCannotApplyAreRefusedOnce) {
  const auto app = resourceDb("App");
  const auto notes = recordDb("Notes", {BytesOf("one")});
  const auto dir = makeHandheld({app, notes});
  const auto appImage = pdb::serialize(app);
  const auto notesImage = pdb::serialize(notes);
  // A record written into a resource database cannot apply; the frame after
  // it, and the other database's journal, still do.
  WriteFile(dir / "card0" / "App.prc.journal", journalFor(appImage, {writeOp(5, "x"), "S" + std::string(8, '\1')}));
  WriteFile(dir / "card0" / "Notes.pdb.journal", journalFor(notesImage, {writeOp(7, "two")}));

  connect(dir);
  const auto warnings = hotsync::connectWarnings();
  ASSERT_EQ(warnings.size(), 1u) << joined(warnings);
  EXPECT_NE(warnings[0].find("App.prc"), std::string::npos) << warnings[0];
  EXPECT_EQ(names(), (std::vector<std::string>{"App", "Notes"}));
  hotsync::disconnectHandheld();

  const auto readBack = pdb::readFile(dir / "card0" / "App.prc").db;
  EXPECT_TRUE(readBack.isResourceDb());
  EXPECT_TRUE(readBack.records.empty());
  EXPECT_EQ(readBack.resources.size(), 1u);
  EXPECT_EQ(readBack.modificationNumber, 0x01010101u);
  EXPECT_EQ(pdb::readFile(dir / "card0" / "Notes.pdb").db.records.size(), 2u);

  connect(dir);  // reported once: the journal is gone
  EXPECT_TRUE(hotsync::connectWarnings().empty());
}

TEST_F(Hardening, ClockOffsetOutOfRangeIsRefusedInOneLine) {
  const auto dir = makeHandheld({}, "user.name = Ana\nclock.offset = 9223372036854775807\n");
  std::string error;
  EXPECT_FALSE(hotsync::connectHandheld(dir, &error));
  EXPECT_NE(error.find("clock.offset"), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  WriteFile(dir / "device.conf", "clock.offset = -3600\n");
  connect(dir);
}

}  // namespace
